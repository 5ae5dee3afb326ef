#include "forms/typed_number.h"

#include <charconv>
#include <cmath>

namespace ws::forms {

namespace {

// Full-width forms (U+FF01..U+FF5E) are the ASCII characters 0x21..0x7E moved up by 0xFEE0;
// the ideographic blank U+3000 is the blank. Every other character is kept as it stands, so a
// multi-byte character that is none of these stays and is refused by the reading below.
std::string ToAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c0 = static_cast<unsigned char>(text[i]);
    if (c0 == 0xE3 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) == 0x80) {
      out += ' ';
      i += 3;
      continue;
    }
    if (c0 == 0xEF && i + 2 < text.size()) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      const auto c2 = static_cast<unsigned char>(text[i + 2]);
      // U+FF01..U+FF3F is EF BC 81..BF, U+FF40..U+FF5E is EF BD 80..9E.
      unsigned code = 0;
      if (c1 == 0xBC && c2 >= 0x81 && c2 <= 0xBF) code = 0xFF00u + (c2 - 0x80u);
      if (c1 == 0xBD && c2 >= 0x80 && c2 <= 0x9E) code = 0xFF40u + (c2 - 0x80u);
      if (code != 0) {
        out += static_cast<char>(code - 0xFEE0u);
        i += 3;
        continue;
      }
    }
    out += text[i];
    ++i;
  }
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The digits of a whole part written with or without thousands separators; empty when the
// grouping is broken. A whole part may be empty (".5").
std::optional<std::string> WholeDigits(std::string_view whole) {
  const size_t separatorAt = whole.find_first_of(", ");
  if (separatorAt == std::string_view::npos) {
    for (char c : whole) {
      if (!IsDigit(c)) return std::nullopt;
    }
    return std::string(whole);
  }
  const char separator = whole[separatorAt];
  std::string digits;
  size_t groupStart = 0;
  bool first = true;
  while (true) {
    const size_t end = whole.find(separator, groupStart);
    const std::string_view group = whole.substr(
        groupStart, end == std::string_view::npos ? std::string_view::npos : end - groupStart);
    const bool sizeOk = first ? group.size() >= 1 && group.size() <= 3 : group.size() == 3;
    if (!sizeOk) return std::nullopt;
    for (char c : group) {
      if (!IsDigit(c)) return std::nullopt;  // also the other separator kind
    }
    digits += group;
    if (end == std::string_view::npos) break;
    groupStart = end + 1;
    first = false;
  }
  return digits;
}

}  // namespace

bool IsBlankNumberText(std::string_view typed) {
  return ToAscii(typed).find_first_not_of(" \t") == std::string::npos;
}

std::optional<TypedNumber> ParseTypedNumber(std::string_view typed) {
  const std::string ascii = ToAscii(typed);
  const size_t first = ascii.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const size_t last = ascii.find_last_not_of(" \t");
  std::string_view text = std::string_view(ascii).substr(first, last - first + 1);

  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const size_t point = text.find('.');
  const std::string_view wholeText = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  auto whole = WholeDigits(wholeText);
  if (!whole) return std::nullopt;
  for (char c : fraction) {
    if (!IsDigit(c)) return std::nullopt;
  }
  if (whole->empty() && fraction.empty()) return std::nullopt;

  TypedNumber number;
  number.text = negative ? "-" : "";
  number.text += whole->empty() ? "0" : *whole;
  if (!fraction.empty()) number.text += "." + std::string(fraction);
  // from_chars reads the C locale's form whatever the process locale is.
  const char* begin = number.text.data();
  const char* end = begin + number.text.size();
  auto [ptr, ec] = std::from_chars(begin, end, number.value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end || !std::isfinite(number.value) ||
      std::fabs(number.value) > kMaxTypedNumber) {
    return std::nullopt;
  }
  if (number.value == 0 && negative) {  // no "-0" behind a typed "-0"
    number.value = 0;
    number.text.erase(0, 1);
  }
  return number;
}

}  // namespace ws::forms
