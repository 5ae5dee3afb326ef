// A database value as record sets hand it out: Null, a whole number, a real number, a text or
// an exact decimal number.
// This is deliberately not a general Variant: the module only ever turns a value into text
// ("" + value) or into a number through the converter, and both rules live here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace ws::db {

struct Null {
  bool operator==(const Null&) const = default;
};

// An exact decimal number in plain decimal text (an amount, see db::Amount): bound as a number
// of exactly these digits, and what a NUMERIC column of the server hands back.
struct DecimalNumber {
  std::string text;
  bool operator==(const DecimalNumber&) const = default;
};

class Value {
 public:
  Value() = default;
  Value(Null) {}
  Value(int v) : data_(static_cast<int64_t>(v)) {}
  Value(int64_t v) : data_(v) {}
  Value(double v) : data_(v) {}
  Value(DecimalNumber v) : data_(std::move(v)) {}
  Value(std::string v) : data_(std::move(v)) {}
  Value(const char* v) : data_(std::string(v)) {}
  Value(std::string_view v) : data_(std::string(v)) {}

  bool IsNull() const { return std::holds_alternative<Null>(data_); }
  bool IsInteger() const { return std::holds_alternative<int64_t>(data_); }
  bool IsReal() const { return std::holds_alternative<double>(data_); }
  bool IsText() const { return std::holds_alternative<std::string>(data_); }
  bool IsDecimal() const { return std::holds_alternative<DecimalNumber>(data_); }

  // The text of a text value without copying it; empty for any other value.
  std::string_view TextView() const {
    const auto* text = std::get_if<std::string>(&data_);
    return text ? std::string_view(*text) : std::string_view();
  }
  // "" + value: Null gives "", numbers their plain decimal text.
  std::string ToText() const;
  // The converter's long: Null gives 0, a real is rounded, a text is read as a number; a value
  // beyond the range of a long gives 0.
  int64_t ToLong() const;
  // Numeric value: Null and non-numeric text give 0.
  double ToDouble() const;

  bool operator==(const Value&) const = default;

 private:
  std::variant<Null, int64_t, double, std::string, DecimalNumber> data_;
};

// Numeric value of a text the way the module reads typed or stored numbers: leading blanks
// are skipped, the longest numeric prefix counts, and empty or non-numeric text is 0.
double NumericValue(std::string_view text);

// Plain decimal text of a number: no exponent, no trailing zeros, "0" for zero (and for a value
// that is not finite), every digit before the point, the shortest digits that read back as the
// same double, at most 10 decimals (enough for every quantity and price the module stores;
// amounts are written exactly by db::Amount::Text).
std::string DecimalText(double value);

}  // namespace ws::db
