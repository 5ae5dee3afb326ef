// Money as the module computes it: a fixed-point number of ten-thousandths in 64 bits, so that a
// typed 12.345 stays 12.345, 0.1 + 0.2 is 0.3 and a sum of a million lines is the sum of their
// digits, which a binary double cannot promise.
//
// Range: amounts up to ±99,999,999,999.9999 (kLimitUnits ten-thousandths). Every operation
// checks its result against that limit; a result beyond it is never wrapped or cut but kept as
// "out of range" (InRange() false), which every further operation carries on and every save
// refuses. Such an amount still answers its approximate value (ToDouble, Text), so a window can
// show the clerk what he typed before the save says no.
//
// Rounding: a text or a double with more than four decimals, a product and a quotient are
// rounded half away from zero at the fourth decimal, the precision of the money columns. What
// the till collects is rounded once more, to the shop's amount decimals (RoundedTo, Times): a
// product is rounded there in one step, since rounding at the fourth decimal first can carry a
// 12.34495 up to 12.3450 and then to 12.35.
//
// A quantity is no amount: it is kept as typed (Quantity), so 1.00005 of a part priced 10000
// costs 10000.5 and a quantity of 0.00004 is not nothing.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/value.h"

namespace ws::db {

class Quantity;

class Amount {
 public:
  static constexpr int kDecimals = 4;
  static constexpr int64_t kScale = 10'000;
  // 99,999,999,999.9999: every stored amount, and every sum the module forms of them.
  static constexpr int64_t kLimitUnits = 999'999'999'999'999;

  constexpr Amount() = default;
  // A whole number of ten-thousandths (out of range beyond the limit).
  static Amount FromUnits(int64_t units);
  // The number a typed or stored text stands for, read as db::NumericValue reads it (leading
  // blanks skipped, the longest numeric prefix with an optional exponent, empty or non-numeric
  // text 0) but digit by digit, never through a double.
  static Amount Of(std::string_view text);
  // The nearest amount to a binary number (a real an engine hands out): its shortest decimal
  // text, so the REAL 0.1 reads as 0.1.
  static Amount OfDouble(double value);
  // A stored value: an integer or a text exactly, a real as OfDouble, Null as 0.
  static Amount OfValue(const Value& value);

  bool InRange() const { return !beyond_; }
  bool IsZero() const { return InRange() && units_ == 0; }
  // Ten-thousandths; meaningful only in range.
  int64_t Units() const { return units_; }
  // The nearest double (for display formats and non-money arithmetic).
  double ToDouble() const;
  // Plain decimal text as db::DecimalText writes it: no exponent, no trailing zeros, "0" for
  // zero. Out of range: the approximate value's text.
  std::string Text() const;
  // The exact number to bind to a statement (see db::Sql::Money).
  Value ToValue() const;

  friend Amount operator+(Amount a, Amount b);
  friend Amount operator-(Amount a, Amount b);
  Amount operator-() const;
  Amount& operator+=(Amount b) { return *this = *this + b; }
  Amount& operator-=(Amount b) { return *this = *this - b; }
  // The product rounded at the fourth decimal: quantity × price, fee × rate.
  friend Amount operator*(Amount a, Amount b);
  // The quotient rounded at the fourth decimal: a unit price from an amount and a quantity.
  // A divisor of 0 gives an out-of-range amount; callers test the quantity first.
  Amount DividedBy(Amount divisor) const;
  Amount DividedBy(const Quantity& divisor) const;
  // Rounded half away from zero to `decimals` places (0 to 4; beyond them nothing changes).
  Amount RoundedTo(int decimals) const;
  // The exact product rounded once, half away from zero, to `decimals` places (0 to 4).
  Amount Times(Amount factor, int decimals) const;

  friend bool operator==(Amount a, Amount b);
  friend std::partial_ordering operator<=>(Amount a, Amount b);

 private:
  friend class Quantity;
  static Amount Beyond(double approximate);

  int64_t units_ = 0;
  bool beyond_ = false;
  double approximate_ = 0;  // the value of an out-of-range amount
};

// A quantity as typed or stored, exact to kDecimals places: enough for any quantity a clerk
// types, and a stored REAL's binary tail (0.30000000000000004) reads as the 0.3 it stood for.
// Up to ±92,233,720,368 units; beyond that it is out of range and so is every price or amount
// made with it.
class Quantity {
 public:
  static constexpr int kDecimals = 8;
  static constexpr int64_t kScale = 100'000'000;

  constexpr Quantity() = default;
  // Read as Amount::Of reads a text; more than eight decimals round half away from zero.
  static Quantity Of(std::string_view text);
  static Quantity OfDouble(double value);
  // A stored value: an integer or a text exactly, a real as OfDouble, Null as 0.
  static Quantity OfValue(const Value& value);

  bool InRange() const { return !beyond_; }
  bool IsZero() const { return InRange() && units_ == 0; }
  int64_t Units() const { return units_; }
  double ToDouble() const;

  // quantity × price rounded once, half away from zero, to `decimals` places (0 to 4): the
  // amount of a line.
  Amount Times(Amount price, int decimals) const;

 private:
  friend class Amount;

  int64_t units_ = 0;
  bool beyond_ = false;
  double approximate_ = 0;
};

}  // namespace ws::db
