#include "platform/amount_words.h"

#include <cstdint>
#include <string_view>

namespace ws::platform {

namespace {

constexpr std::string_view kDigits[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
constexpr uint64_t kWan = 10'000;
constexpr uint64_t kYi = 100'000'000;

// 1 to 9999 with 仟佰拾; inner zeros collapse into one 零, trailing zeros are not written.
std::string FourDigits(uint64_t n) {
  static constexpr std::string_view kUnits[] = {"仟", "佰", "拾", ""};
  const uint64_t digits[] = {n / 1000, n / 100 % 10, n / 10 % 10, n % 10};
  std::string out;
  bool pendingZero = false;
  for (int i = 0; i < 4; ++i) {
    if (digits[i] == 0) {
      pendingZero = !out.empty();
      continue;
    }
    if (pendingZero) out += kDigits[0];
    pendingZero = false;
    out += kDigits[digits[i]];
    out += kUnits[i];
  }
  return out;
}

// Any whole number from 1 below 10^16. The part below a 亿 or 万 boundary gets a leading 零
// when its highest place is empty (100010000 壹亿零壹万, 20005 贰万零伍).
std::string WholeNumber(uint64_t n) {
  if (n >= kYi) {
    std::string out = WholeNumber(n / kYi) + "亿";
    const uint64_t rest = n % kYi;
    if (rest > 0) out += (rest < kYi / 10 ? "零" : "") + WholeNumber(rest);
    return out;
  }
  if (n >= kWan) {
    std::string out = FourDigits(n / kWan) + "万";
    const uint64_t rest = n % kWan;
    if (rest > 0) out += (rest < kWan / 10 ? "零" : "") + FourDigits(rest);
    return out;
  }
  return FourDigits(n);
}

}  // namespace

std::string AmountInWords(const db::Amount& amount) {
  if (!amount.InRange()) return "";
  const int64_t units = amount.Units();
  const bool negative = units < 0;
  // Ten-thousandths to fen, half away from zero.
  constexpr uint64_t kUnitsPerFen = db::Amount::kScale / 100;
  const uint64_t magnitude = static_cast<uint64_t>(negative ? -units : units);
  const uint64_t fens = (magnitude + kUnitsPerFen / 2) / kUnitsPerFen;
  const uint64_t yuan = fens / 100;
  const int jiao = static_cast<int>(fens / 10 % 10);
  const int fen = static_cast<int>(fens % 10);
  if (fens == 0) return "零元整";

  std::string out = negative ? "负" : "";
  if (yuan > 0) out += WholeNumber(yuan) + "元";
  if (jiao > 0) {
    out += kDigits[jiao];
    out += "角";
  } else if (yuan > 0 && fen > 0) {
    out += kDigits[0];
  }
  if (fen > 0) {
    out += kDigits[fen];
    out += "分";
  } else {
    out += "整";
  }
  return out;
}

}  // namespace ws::platform
