#include "db/amount.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ws::db {

namespace {

// 128 bits hold any product of two amounts before it is rounded back to ten-thousandths.
__extension__ typedef __int128 Wide;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

Wide Abs(Wide v) {
  return v < 0 ? -v : v;
}

// numerator / denominator rounded half away from zero (denominator not 0).
Wide DivideRounded(Wide numerator, Wide denominator) {
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  Wide quotient = Abs(numerator) / denominator;
  if (2 * (Abs(numerator) % denominator) >= denominator) ++quotient;
  return numerator < 0 ? -quotient : quotient;
}

}  // namespace

Amount Amount::Beyond(double approximate) {
  Amount a;
  a.beyond_ = true;
  a.approximate_ = approximate;
  return a;
}

Amount Amount::FromUnits(int64_t units) {
  if (units > kLimitUnits || units < -kLimitUnits) {
    return Beyond(static_cast<double>(units) / static_cast<double>(kScale));
  }
  Amount a;
  a.units_ = units;
  return a;
}

namespace {

// The number a text stands for in units of 10^-places, rounded half away from zero at the last
// place; false when its magnitude passes `limit` units. Read as db::NumericValue reads it
// (leading blanks skipped, the longest numeric prefix with an optional exponent, empty or
// non-numeric text 0), but digit by digit, never through a double.
bool ReadUnits(std::string_view text, int places, Wide limit, Wide* out) {
  *out = 0;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The digits without the point, and how many of them stand after it.
  std::string digits;
  int decimals = 0;
  bool any = false;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    digits += text[i];
    any = true;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      digits += text[i];
      ++decimals;
      any = true;
    }
  }
  if (!any) return true;
  // An exponent counts only when digits follow it ("1e" is 1), as in db::NumericValue.
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      for (; j < text.size() && IsDigit(text[j]); ++j) {
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
      }
      if (negativeExponent) exponent = -exponent;
    }
  }
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return true;
  digits.erase(0, first);
  // value = digits × 10^(exponent - decimals); in units the power grows by `places`.
  const int64_t shift = exponent - decimals + places;
  // More integral digits of units than the widest limit has is beyond it whatever they are.
  if (static_cast<int64_t>(digits.size()) + shift > 20) return false;
  Wide units = 0;
  if (shift >= 0) {
    for (char c : digits) units = units * 10 + (c - '0');
    for (int64_t k = 0; k < shift; ++k) units *= 10;
  } else {
    const int64_t kept = static_cast<int64_t>(digits.size()) + shift;
    for (int64_t k = 0; k < kept; ++k) units = units * 10 + (digits[static_cast<size_t>(k)] - '0');
    // Half away from zero: the first dropped digit decides.
    if (kept >= 0 && digits[static_cast<size_t>(kept)] >= '5') ++units;
  }
  if (units > limit) return false;
  *out = negative ? -units : units;
  return true;
}

// What a double makes of a text, for showing an out-of-range number; a value no double holds
// shows as the largest one.
double Approximate(std::string_view text) {
  const double value = NumericValue(text);
  if (value != 0) return value;
  size_t i = text.find_first_not_of(" \t");
  const bool negative = i != std::string_view::npos && text[i] == '-';
  const double largest = std::numeric_limits<double>::max();
  return negative ? -largest : largest;
}

Wide PowerOfTen(int n) {
  Wide p = 1;
  for (int k = 0; k < n; ++k) p *= 10;
  return p;
}

int ClampedDecimals(int decimals) {
  return decimals < 0 ? 0 : (decimals > Amount::kDecimals ? Amount::kDecimals : decimals);
}

// A product or quotient in units of 10^-places (places >= 4), rounded once to `decimals` places
// and given back in ten-thousandths.
Wide RoundedUnits(Wide value, int places, int decimals) {
  const int kept = ClampedDecimals(decimals);
  return DivideRounded(value, PowerOfTen(places - kept)) * PowerOfTen(Amount::kDecimals - kept);
}

}  // namespace

Amount Amount::Of(std::string_view text) {
  Wide units = 0;
  if (!ReadUnits(text, kDecimals, kLimitUnits, &units)) return Beyond(Approximate(text));
  return FromUnits(static_cast<int64_t>(units));
}

Amount Amount::OfDouble(double value) {
  if (!std::isfinite(value)) return Beyond(value);
  // The shortest text that reads back as the same double is the decimal it was made from.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return Beyond(value);
  return Of(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

Amount Amount::OfValue(const Value& value) {
  if (value.IsNull()) return Amount();
  if (value.IsInteger()) {
    const int64_t whole = value.ToLong();
    if (whole > kLimitUnits / kScale || whole < -kLimitUnits / kScale) {
      return Beyond(static_cast<double>(whole));
    }
    return FromUnits(whole * kScale);
  }
  if (value.IsReal()) return OfDouble(value.ToDouble());
  return Of(value.ToText());
}

double Amount::ToDouble() const {
  if (beyond_) return approximate_;
  return static_cast<double>(units_) / static_cast<double>(kScale);
}

std::string Amount::Text() const {
  if (beyond_) return DecimalText(approximate_);
  const int64_t magnitude = units_ < 0 ? -units_ : units_;
  std::string text = std::to_string(magnitude / kScale);
  if (int64_t fraction = magnitude % kScale; fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, static_cast<size_t>(kDecimals) - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return units_ < 0 ? "-" + text : text;
}

Value Amount::ToValue() const {
  if (beyond_) return Value(approximate_);
  if (units_ % kScale == 0) return Value(units_ / kScale);
  return Value(DecimalNumber{Text()});
}

Amount operator+(Amount a, Amount b) {
  if (a.beyond_ || b.beyond_) return Amount::Beyond(a.ToDouble() + b.ToDouble());
  // Both within ±1e15: the sum cannot leave 64 bits before the limit check.
  return Amount::FromUnits(a.units_ + b.units_);
}

Amount operator-(Amount a, Amount b) {
  return a + -b;
}

Amount Amount::operator-() const {
  if (beyond_) return Beyond(-approximate_);
  return FromUnits(-units_);
}

Amount operator*(Amount a, Amount b) {
  if (a.beyond_ || b.beyond_) return Amount::Beyond(a.ToDouble() * b.ToDouble());
  const Wide product = DivideRounded(static_cast<Wide>(a.units_) * b.units_, Amount::kScale);
  if (Abs(product) > Amount::kLimitUnits) return Amount::Beyond(a.ToDouble() * b.ToDouble());
  return Amount::FromUnits(static_cast<int64_t>(product));
}

Amount Amount::DividedBy(Amount divisor) const {
  if (beyond_ || divisor.beyond_ || divisor.units_ == 0) {
    return Beyond(divisor.ToDouble() == 0 ? std::numeric_limits<double>::infinity()
                                          : ToDouble() / divisor.ToDouble());
  }
  const Wide quotient = DivideRounded(static_cast<Wide>(units_) * kScale, divisor.units_);
  if (Abs(quotient) > kLimitUnits) return Beyond(ToDouble() / divisor.ToDouble());
  return FromUnits(static_cast<int64_t>(quotient));
}

Amount Amount::DividedBy(const Quantity& divisor) const {
  if (beyond_ || divisor.beyond_ || divisor.units_ == 0) {
    return Beyond(divisor.ToDouble() == 0 ? std::numeric_limits<double>::infinity()
                                          : ToDouble() / divisor.ToDouble());
  }
  // Ten-thousandths over hundred-millionths: the quotient in ten-thousandths needs 10^8 above.
  const Wide quotient = DivideRounded(static_cast<Wide>(units_) * Quantity::kScale, divisor.units_);
  if (Abs(quotient) > kLimitUnits) return Beyond(ToDouble() / divisor.ToDouble());
  return FromUnits(static_cast<int64_t>(quotient));
}

Amount Amount::RoundedTo(int decimals) const {
  if (beyond_) return *this;
  const Wide rounded = RoundedUnits(units_, kDecimals, decimals);
  if (Abs(rounded) > kLimitUnits) return Beyond(ToDouble());
  return FromUnits(static_cast<int64_t>(rounded));
}

Amount Amount::Times(Amount factor, int decimals) const {
  if (beyond_ || factor.beyond_) return Beyond(ToDouble() * factor.ToDouble());
  const Wide product = static_cast<Wide>(units_) * factor.units_;
  const Wide rounded = RoundedUnits(product, 2 * kDecimals, decimals);
  if (Abs(rounded) > kLimitUnits) return Beyond(ToDouble() * factor.ToDouble());
  return FromUnits(static_cast<int64_t>(rounded));
}

bool operator==(Amount a, Amount b) {
  if (a.beyond_ || b.beyond_) return a.beyond_ == b.beyond_ && a.approximate_ == b.approximate_;
  return a.units_ == b.units_;
}

std::partial_ordering operator<=>(Amount a, Amount b) {
  if (a.beyond_ || b.beyond_) return a.ToDouble() <=> b.ToDouble();
  return a.units_ <=> b.units_;
}

Quantity Quantity::Of(std::string_view text) {
  // Within int64 units, so that a product with the widest price stays inside 128 bits.
  constexpr Wide kLimit = std::numeric_limits<int64_t>::max();
  Wide units = 0;
  Quantity q;
  if (!ReadUnits(text, kDecimals, kLimit, &units)) {
    q.beyond_ = true;
    q.approximate_ = Approximate(text);
    return q;
  }
  q.units_ = static_cast<int64_t>(units);
  return q;
}

Quantity Quantity::OfDouble(double value) {
  Quantity q;
  if (!std::isfinite(value)) {
    q.beyond_ = true;
    q.approximate_ = value;
    return q;
  }
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) {
    q.beyond_ = true;
    q.approximate_ = value;
    return q;
  }
  return Of(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

Quantity Quantity::OfValue(const Value& value) {
  if (value.IsNull()) return Quantity();
  if (value.IsReal()) return OfDouble(value.ToDouble());
  return Of(value.ToText());
}

double Quantity::ToDouble() const {
  if (beyond_) return approximate_;
  return static_cast<double>(units_) / static_cast<double>(kScale);
}

Amount Quantity::Times(Amount price, int decimals) const {
  if (beyond_ || !price.InRange()) return Amount::Beyond(ToDouble() * price.ToDouble());
  const Wide product = static_cast<Wide>(units_) * price.units_;
  const Wide rounded = RoundedUnits(product, kDecimals + Amount::kDecimals, decimals);
  if (Abs(rounded) > Amount::kLimitUnits) return Amount::Beyond(ToDouble() * price.ToDouble());
  return Amount::FromUnits(static_cast<int64_t>(rounded));
}

}  // namespace ws::db
