#include "db/value.h"

#include <charconv>
#include <cmath>
#include <string>

#include "forms/number_format.h"

namespace ws::db {

namespace {
// A value no long can hold (infinite, or beyond the range) is no id or count at all: 0, as for
// Null, rather than whatever the processor makes of the conversion.
int64_t RoundToLong(double v) {
  constexpr double kLimit = 9.2e18;
  if (!std::isfinite(v) || v >= kLimit || v <= -kLimit) return 0;
  return static_cast<int64_t>(std::llround(v));
}
}  // namespace

std::string Value::ToText() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&data_)) return DecimalText(*d);
  if (auto* s = std::get_if<std::string>(&data_)) return *s;
  return {};
}

int64_t Value::ToLong() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return *i;
  if (auto* d = std::get_if<double>(&data_)) return RoundToLong(*d);
  if (auto* s = std::get_if<std::string>(&data_)) return RoundToLong(NumericValue(*s));
  return 0;
}

double Value::ToDouble() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&data_)) return *d;
  if (auto* s = std::get_if<std::string>(&data_)) return NumericValue(*s);
  return 0.0;
}

double NumericValue(std::string_view text) {
  return forms::ReadLeadingNumber(text).value_or(0.0);
}

std::string DecimalText(double value) {
  if (!std::isfinite(value)) return "0";
  // Every digit before the point (a cut-off text would be a different number) and 10 decimals,
  // in the C form whatever the process locale: the largest double has 309 digits.
  char buffer[400];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 10);
  if (ec != std::errc()) return "0";
  std::string s(buffer, end);
  if (auto dot = s.find('.'); dot != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace ws::db
