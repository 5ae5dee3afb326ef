#include "framework/vin.h"

#include <array>
#include <vector>

#include "forms/text.h"

namespace ws::framework {

namespace {

constexpr size_t kVinLength = 17;
constexpr size_t kCheckPosition = 8;  // 0-based
constexpr std::array<int, kVinLength> kWeights = {8, 7, 6, 5, 4, 3, 2, 10, 0,
                                                  9, 8, 7, 6, 5, 4, 3, 2};

// The value a character counts with, -1 for a character a VIN never holds.
int Transliterate(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  // The alphabet in three runs, A-I, J-R and S-Z, counting 1-9, 1-9 and 2-9; the letters a VIN
  // never holds (I, O, Q) keep their places empty.
  static constexpr std::string_view kLetters = "ABCDEFGHJKLMNPRSTUVWXYZ";
  static constexpr std::array<int, 23> kValues = {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4,
                                                  5, 7, 9, 2, 3, 4, 5, 6, 7, 8, 9};
  size_t at = kLetters.find(c);
  return at == std::string_view::npos ? -1 : kValues[at];
}

// The text as characters, each its UTF-8 sequence; a broken sequence is one byte per character.
std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 1;
    if (i + length > text.size()) length = 1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 1;
    }
    out.emplace_back(text.substr(i, length));
    i += length;
  }
  return out;
}

// Trimmed, ASCII letters in capitals: the text as the check reads it.
std::string Folded(std::string_view text) {
  std::string folded = forms::Trim(text);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

}  // namespace

std::string NormalizeVin(std::string_view typed) {
  std::string vin = Folded(typed);
  if (vin.size() != kVinLength) return std::string(typed);
  for (char c : vin) {
    // I, O and Q are kept in capitals too: the check then names them.
    if (Transliterate(c) < 0 && c != 'I' && c != 'O' && c != 'Q') return std::string(typed);
  }
  return vin;
}

bool UsesCheckDigit(std::string_view vin) {
  return !vin.empty() && ((vin[0] >= '1' && vin[0] <= '5') || vin[0] == 'L');
}

char VinCheckDigit(std::string_view vin) {
  if (vin.size() != kVinLength) return 0;
  int sum = 0;
  for (size_t i = 0; i < kVinLength; ++i) {
    int value = Transliterate(vin[i]);
    if (value < 0) return 0;
    sum += value * kWeights[i];
  }
  int remainder = sum % 11;
  return remainder == 10 ? 'X' : static_cast<char>('0' + remainder);
}

VinCheck CheckVin(std::string_view text) {
  const std::string vin = Folded(text);
  VinCheck check;
  if (vin.empty()) return check;
  const std::vector<std::string> characters = Characters(vin);
  check.length = static_cast<int>(characters.size());
  if (characters.size() != kVinLength) {
    check.problem = VinProblem::Length;
    return check;
  }
  for (size_t i = 0; i < characters.size(); ++i) {
    if (characters[i].size() != 1 || Transliterate(characters[i][0]) < 0) {
      check.problem = VinProblem::Character;
      check.position = static_cast<int>(i) + 1;
      check.found = characters[i];
      return check;
    }
  }
  if (!UsesCheckDigit(vin)) return check;
  check.expected = VinCheckDigit(vin);
  if (vin[kCheckPosition] != check.expected) {
    check.problem = VinProblem::CheckDigit;
    check.position = static_cast<int>(kCheckPosition) + 1;
    check.found = vin.substr(kCheckPosition, 1);
  }
  return check;
}

std::string VinCheck::Reason() const {
  switch (problem) {
    case VinProblem::None:
      return {};
    case VinProblem::Length:
      return "应为17位，现为" + std::to_string(length) + "位";
    case VinProblem::Character:
      // Short enough for the vehicle list's column: I, O and Q are letters, but not a VIN's.
      if (found == "I" || found == "O" || found == "Q") {
        return "第" + std::to_string(position) + "位不用“" + found + "”（易与1、0混淆）";
      }
      return "第" + std::to_string(position) + "位“" + found + "”不可用：只用数字和字母";
    case VinProblem::CheckDigit:
      return "第9位校验位应为“" + std::string(1, expected) + "”，现为“" + found + "”";
  }
  return {};
}

void VinWarning::Known(std::string_view text) {
  told_ = Folded(text);
}

std::string VinWarning::Due(std::string_view text) {
  const std::string vin = Folded(text);
  const VinCheck check = CheckVin(vin);
  if (check.Ok()) {
    told_.clear();
    return {};
  }
  if (vin == told_) return {};
  told_ = vin;
  // A wrong check digit says only that one of the seventeen was misread, not which.
  const char* misread =
      check.problem == VinProblem::CheckDigit ? "可能是其中某一位录错，不一定是第9位。\n" : "";
  return "车架号 " + forms::Trim(text) + "：\n" + check.Reason() + "。\n" + misread +
         kVinWarningEnd;
}

}  // namespace ws::framework
