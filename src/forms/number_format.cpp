#include "forms/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace ws::forms {

namespace {

constexpr int kMaxDecimals = 15;
constexpr std::string_view kPlaceholders = "#0,.";

bool IsPlaceholder(char c) {
  return kPlaceholders.find(c) != std::string_view::npos;
}

// Inserts a "," between every three digits of an integer text, counted from the right.
std::string GroupThousands(const std::string& digits) {
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count > 0 && count % 3 == 0) out += ',';
    out += *it;
    ++count;
  }
  std::reverse(out.begin(), out.end());
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> ReadLeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) {
    ++i;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  // An exponent only counts when digits follow it ("1e" is 1, "1e3" is 1000).
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  // from_chars takes no "+" and reads the C locale's form whatever the process locale is.
  const char* begin = text.data() + start;
  if (*begin == '+') ++begin;
  double value = 0;
  auto [ptr, ec] = std::from_chars(begin, text.data() + i, value);
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::string> DecimalSum(const std::vector<std::string_view>& texts) {
  __extension__ typedef __int128 Wide;
  constexpr int kScaleDigits = 10;
  Wide sum = 0;
  for (std::string_view text : texts) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    Wide value = 0;
    int whole = 0;
    int decimals = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      if (++whole > 24) return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    if (i < text.size() && text[i] == '.') {
      for (++i; i < text.size() && IsDigit(text[i]); ++i, ++decimals) {
        if (decimals >= kScaleDigits) return std::nullopt;
        value = value * 10 + (text[i] - '0');
      }
    }
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E') &&
        (IsDigit(text[i + 1]) || (i + 2 < text.size() && IsDigit(text[i + 2])))) {
      return std::nullopt;
    }
    for (; decimals < kScaleDigits; ++decimals) value *= 10;
    sum += negative ? -value : value;
  }
  Wide magnitude = sum < 0 ? -sum : sum;
  std::string digits;
  for (; magnitude > 0 || digits.size() <= kScaleDigits; magnitude /= 10) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
  }
  digits.insert(digits.size() - kScaleDigits, ".");
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.back() == '.') digits.pop_back();
  return sum < 0 ? "-" + digits : digits;
}

std::string FixedText(double value, int decimals) {
  decimals = std::clamp(decimals, 0, kMaxDecimals);
  if (!std::isfinite(value)) value = 0;
  const bool negative = value < 0;

  // 15 significant digits: the decimal reading the value was typed or computed as, without the
  // noise of its binary form. to_chars writes "d.ddddddddddddddde+xx" in every locale.
  constexpr int kDigits = 15;
  char buf[48];
  const auto written =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  char digits[kDigits];
  digits[0] = buf[0];
  std::copy(buf + 2, buf + 2 + kDigits - 1, digits + 1);
  const char* e = std::find(buf, written.ptr, 'e') + 1;
  int exponent = 0;
  std::from_chars(e + (*e == '+' ? 1 : 0), written.ptr, exponent);
  const int pointPos = exponent + 1;  // digits before the point

  // Every cell is formatted so (a report's amounts, a grid's totals): the digits are laid out
  // in one buffer, not in texts. The k-th digit after the point, and how many there are.
  const int fracSize = pointPos <= 0 ? kDigits - pointPos : std::max(0, kDigits - pointPos);
  const auto fracDigit = [&](int k) {
    const int at = k + pointPos;
    return at < 0 ? '0' : digits[at];
  };
  const int places = decimals;
  const bool roundUp = fracSize > places && fracDigit(places) >= '5';
  // A spare leading digit takes the carry of a rounding up; the integer digits (a double's
  // 309 at most) and the places follow.
  char number[1 + 309 + kMaxDecimals + 1];
  int n = 0;
  number[n++] = '0';
  if (pointPos <= 0) {
    number[n++] = '0';
  } else {
    for (int i = 0; i < pointPos; ++i) number[n++] = i < kDigits ? digits[i] : '0';
  }
  for (int k = 0; k < places; ++k) number[n++] = k < fracSize ? fracDigit(k) : '0';
  if (roundUp) {
    for (int i = n - 1; i >= 0; --i) {
      if (number[i] != '9') {
        ++number[i];
        break;
      }
      number[i] = '0';
    }
  }
  const int intEnd = n - places;
  int firstDigit = 0;
  while (firstDigit < intEnd - 1 && number[firstDigit] == '0') ++firstDigit;
  const bool zero = std::all_of(number, number + n, [](char c) { return c == '0'; });
  std::string out;
  out.reserve(static_cast<size_t>(n + 2));
  if (negative && !zero) out += '-';
  out.append(number + firstDigit, number + intEnd);
  if (places > 0) {
    out += '.';
    out.append(number + intEnd, number + n);
  }
  return out;
}

std::string FormatNumber(double value, std::string_view format) {
  if (!std::isfinite(value)) value = 0;
  const size_t first = std::find_if(format.begin(), format.end(), IsPlaceholder) - format.begin();
  if (first == format.size()) {
    // No placeholder (also the empty format): the plain decimal text.
    std::string text = FixedText(value, 10);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
  }
  size_t last = format.size();
  while (!IsPlaceholder(format[last - 1])) --last;
  const std::string_view prefix = format.substr(0, first);
  const std::string_view suffix = format.substr(last);
  const std::string_view pattern = format.substr(first, last - first);

  const size_t point = pattern.find('.');
  const std::string_view intPattern = pattern.substr(0, point);
  const std::string_view fracPattern =
      point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);

  const size_t intMin = std::max<size_t>(1, std::count(intPattern.begin(), intPattern.end(), '0'));
  const bool grouped = intPattern.find(',') != std::string_view::npos;
  size_t fracMax = 0;
  size_t fracMin = 0;
  for (char c : fracPattern) {
    if (c == '0' || c == '#') ++fracMax;
    if (c == '0') fracMin = fracMax;
  }

  std::string text = FixedText(value, static_cast<int>(fracMax));
  std::string sign;
  if (!text.empty() && text[0] == '-') {
    sign = "-";
    text.erase(0, 1);
  }
  const size_t dot = text.find('.');
  std::string intPart = text.substr(0, dot);
  std::string frac = dot == std::string::npos ? "" : text.substr(dot + 1);
  while (frac.size() > fracMin && frac.back() == '0') frac.pop_back();
  if (intPart.size() < intMin) intPart.insert(0, intMin - intPart.size(), '0');
  if (grouped) intPart = GroupThousands(intPart);

  std::string out(prefix);
  out += sign + intPart;
  if (!frac.empty()) out += "." + frac;
  out += suffix;
  return out;
}

std::optional<std::string> FormatNumberText(std::string_view text, std::string_view format) {
  const size_t point = format.find('.');
  const std::string_view intPattern = format.substr(0, point);
  const size_t places = point == std::string_view::npos ? 0 : format.size() - point - 1;
  if (intPattern.empty() || intPattern.find_first_not_of("#0") != std::string_view::npos ||
      std::count(intPattern.begin(), intPattern.end(), '0') > 1 ||
      (point != std::string_view::npos &&
       (places == 0 || format.find_first_not_of('0', point + 1) != std::string_view::npos))) {
    return std::nullopt;
  }
  const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  size_t at = sign;
  while (at < text.size() && isDigit(text[at])) ++at;
  const size_t intDigits = at - sign;
  size_t fracDigits = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at + fracDigits < text.size() && isDigit(text[at + fracDigits])) ++fracDigits;
    if (fracDigits == 0) return std::nullopt;
    at += fracDigits;
  }
  // A leading zero, more places than the format shows (they round), more digits than a double
  // holds, and a negative zero (shown without its sign) are left to FormatNumber.
  if (at != text.size() || intDigits == 0 || (intDigits > 1 && text[sign] == '0') ||
      fracDigits > places || intDigits + fracDigits > 15) {
    return std::nullopt;
  }
  if (sign && text.find_first_not_of("0.", 1) == std::string_view::npos) return std::nullopt;
  std::string out;
  out.reserve(text.size() + places + 1);
  out.append(text);
  if (places > 0 && fracDigits == 0) out += '.';
  out.append(places - fracDigits, '0');
  return out;
}

std::string DecimalsFormat(int decimals, bool fixed) {
  if (decimals <= 0) return "###";
  return "###." +
         std::string(static_cast<size_t>(std::min(decimals, kMaxDecimals)), fixed ? '0' : '#');
}

}  // namespace ws::forms
