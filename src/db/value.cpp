#include "db/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

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
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    ++i;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return 0.0;
  // An exponent only counts when digits follow it ("1e" is 1, "1e3" is 1000).
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      i = j;
    }
  }
  std::string number(text.substr(start, i - start));
  double v = std::strtod(number.c_str(), nullptr);
  return std::isfinite(v) ? v : 0.0;
}

std::string DecimalText(double value) {
  if (!std::isfinite(value)) return "0";
  // A large value has hundreds of digits before the point; a fixed buffer would cut them off
  // and write a different number into the statement.
  int length = std::snprintf(nullptr, 0, "%.10f", value);
  if (length <= 0) return "0";
  std::string s(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(s.data(), s.size(), "%.10f", value);
  s.resize(static_cast<size_t>(length));
  if (auto dot = s.find('.'); dot != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace ws::db
