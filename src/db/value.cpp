#include "db/value.h"

#include <algorithm>
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
  if (auto* n = std::get_if<DecimalNumber>(&data_)) return n->text;
  return {};
}

int64_t Value::ToLong() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return *i;
  if (auto* d = std::get_if<double>(&data_)) return RoundToLong(*d);
  if (auto* s = std::get_if<std::string>(&data_)) return RoundToLong(NumericValue(*s));
  if (auto* n = std::get_if<DecimalNumber>(&data_)) return RoundToLong(NumericValue(n->text));
  return 0;
}

double Value::ToDouble() const {
  if (auto* i = std::get_if<int64_t>(&data_)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&data_)) return *d;
  if (auto* s = std::get_if<std::string>(&data_)) return NumericValue(*s);
  if (auto* n = std::get_if<DecimalNumber>(&data_)) return NumericValue(n->text);
  return 0.0;
}

double NumericValue(std::string_view text) {
  return forms::ReadLeadingNumber(text).value_or(0.0);
}

std::string DecimalText(double value) {
  if (!std::isfinite(value)) return "0";
  // Every digit before the point (a cut-off text would be a different number), in the C form
  // whatever the process locale: the largest double has 309 digits. The shortest text that reads
  // back as the same double is the decimal a stored 1000000000000.01 was written as; only where
  // that needs more than 10 decimals (the noise of a sum such as 0.1 + 0.2) are they cut to 10.
  char buffer[400];
  auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (written.ec != std::errc()) return "0";
  if (std::find(buffer, written.ptr, '.') + 11 < written.ptr) {
    written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 10);
    if (written.ec != std::errc()) return "0";
  }
  std::string s(buffer, written.ptr);
  if (auto dot = s.find('.'); dot != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace ws::db
