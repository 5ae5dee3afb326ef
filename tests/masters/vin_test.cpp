#include "masters/vin.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace ws::masters {
namespace {

// Published examples and variations of them by one character, each with the reason the counter
// reads (empty: it passes). The check digits of the variations are worked out by hand.
const std::pair<const char*, const char*> kVins[] = {
    {"1M8GDM9AXKP042788", ""},  // remainder 10: X
    {"1HGCM82633A004352", ""},
    {" 1m8gdm9axkp042788\t", ""},  // as a clerk may type it
    {"", ""},
    // A Chinese maker (L) writes the check digit: 1s weigh 89 in all, L counts 3 at weight 8,
    // so 89 - 8 + 24 = 105 leaves 6. Japanese makers (J) put anything in position 9.
    {"L1111111611111111", ""},
    {"L1111111111111111", "第9位校验位应为“6”，现为“1”"},
    {"JHMCM56557C404450", ""},
    {"1M8GDM9A1KP042788", "第9位校验位应为“X”，现为“1”"},
    // The last character up by one moves the sum by its weight, 2: remainder 12 mod 11 = 1.
    {"1M8GDM9AXKP042789", "第9位校验位应为“1”，现为“X”"},
    {"1M8GDM9AXKP04278", "应为17位，现为16位"},
    {"京A12345", "应为17位，现为7位"},  // characters, not bytes
    {"1M8GDM9AXKPO42788", "第12位不用“O”（易与1、0混淆）"},
    {"1M8GDM9AXKP04278８", "第17位“８”不可用：只用数字和字母"},
};

TEST(VinTest, EachVinPassesOrFailsWithItsReason) {
  for (const auto& [typed, reason] : kVins) {
    const VinCheck check = CheckVin(typed);
    EXPECT_EQ(check.Reason(), reason) << typed;
    EXPECT_EQ(check.Ok(), std::string(reason).empty()) << typed;
  }
}

TEST(VinTest, AWarningIsDueOncePerTextAndNotForAKnownOne) {
  VinWarning warning;
  EXPECT_EQ(warning.Due("1M8GDM9AXKP042788"), "");
  EXPECT_EQ(
      warning.Due("1m8gdm9a1kp042788"),
      "车架号 "
      "1m8gdm9a1kp042788：\n第9位校验位应为“X”，现为“1”。\n可能是其中某一位录错，不一定是第9位。\n"
      "仅作提示，不影响保存，请核对。");
  EXPECT_EQ(warning.Due(" 1M8GDM9A1KP042788"), "") << "the same number, however typed";
  EXPECT_NE(warning.Due("1M8GDM9A2KP042788"), "") << "another mistake is told";
  warning.Known("J100");
  EXPECT_EQ(warning.Due("J100"), "") << "handed to the window, not typed";
  EXPECT_NE(warning.Due("J101"), "");
}

}  // namespace
}  // namespace ws::masters
