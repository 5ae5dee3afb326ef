#include "masters/vin.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace ws::masters {
namespace {

struct VinCase {
  const char* typed;
  VinProblem problem;
  const char* reason;  // as the counter reads it
};

void PrintTo(const VinCase& c, std::ostream* os) {
  *os << '"' << c.typed << '"';
}

// Published examples and variations of them by one character; the check digits of the
// variations are worked out by hand from the weights (a change of the last character by one
// moves the sum by its weight, 2).
const VinCase kVins[] = {
    {"1M8GDM9AXKP042788", VinProblem::None, ""},     // remainder 10: X
    {"1HGCM82633A004352", VinProblem::None, ""},     // a Honda of the public examples
    {"11111111111111111", VinProblem::None, ""},     // weights sum to 89, 89 mod 11 = 1
    {" 1m8gdm9axkp042788\t", VinProblem::None, ""},  // as a clerk may type it
    {"", VinProblem::None, ""},
    {"   ", VinProblem::None, ""},
    // A Chinese maker (L) writes the check digit: L counts 3, so 89 - 8 + 3 * 8 = 105 gives 6.
    {"L1111111611111111", VinProblem::None, ""},
    {"L1111111111111111", VinProblem::CheckDigit,
     "车架号第9位校验位应为“6”，现为“1”，可能有字符录错"},
    // Makers of Europe and Japan put anything in position 9.
    {"W1111111111111111", VinProblem::None, ""},
    {"JHMCM56557C404450", VinProblem::None, ""},
    {"1M8GDM9A1KP042788", VinProblem::CheckDigit,
     "车架号第9位校验位应为“X”，现为“1”，可能有字符录错"},
    {"1M8GDM9AXKP042789", VinProblem::CheckDigit,
     "车架号第9位校验位应为“1”，现为“X”，可能有字符录错"},
    {"1M8GDM9AXKP04278", VinProblem::Length, "车架号应为17位，现为16位"},
    {"1M8GDM9AXKP0427881", VinProblem::Length, "车架号应为17位，现为18位"},
    {"京A12345", VinProblem::Length, "车架号应为17位，现为7位"},  // characters, not bytes
    {"1M8GDM9AXKPO42788", VinProblem::Character,
     "车架号第12位“O”不是允许的字符（只用数字和除I、O、Q以外的字母）"},
    {"1m8gdm9axkp04278q", VinProblem::Character,
     "车架号第17位“Q”不是允许的字符（只用数字和除I、O、Q以外的字母）"},
    {"1M8GDM9AXKP04278８", VinProblem::Character,  // a full-width digit from the IME
     "车架号第17位“８”不是允许的字符（只用数字和除I、O、Q以外的字母）"},
    {"1M8GDM9AX-P042788", VinProblem::Character,
     "车架号第10位“-”不是允许的字符（只用数字和除I、O、Q以外的字母）"},
};

class VinCheckTest : public ::testing::TestWithParam<VinCase> {};

TEST_P(VinCheckTest, ProblemAndReason) {
  const VinCheck check = CheckVin(GetParam().typed);
  EXPECT_EQ(check.problem, GetParam().problem);
  EXPECT_EQ(check.Ok(), GetParam().problem == VinProblem::None);
  EXPECT_EQ(check.Reason(), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Vins, VinCheckTest, ::testing::ValuesIn(kVins));

TEST(VinTest, OnlyAVinButForItsCaseIsPutInCapitals) {
  const std::pair<const char*, const char*> typed[] = {
      {" 1m8gdm9axkp042788 ", "1M8GDM9AXKP042788"},
      {"1m8gdm9axkpo42788", "1M8GDM9AXKPO42788"},  // the check then names the O
      {" c2184847", " c2184847"},                  // the last digits only, as some cards hold
      {"1m8gdm9axkp04278-", "1m8gdm9axkp04278-"},
      {"o'brien's chassis", "o'brien's chassis"},
  };
  for (const auto& [text, kept] : typed) EXPECT_EQ(NormalizeVin(text), kept) << text;
  EXPECT_EQ(VinCheckDigit("1M8GDM9A?KP042788"), 0) << "only VIN characters have a check digit";
}

TEST(VinTest, AWarningIsDueOncePerTextAndNotForAKnownOne) {
  VinWarning warning;
  EXPECT_EQ(warning.Due("1M8GDM9AXKP042788"), "");
  const std::string told = warning.Due("1m8gdm9a1kp042788");
  EXPECT_EQ(told,
            "车架号 1m8gdm9a1kp042788：\n车架号第9位校验位应为“X”，现为“1”，可能有字符录错。\n"
            "仅作提示，不影响保存，请核对。");
  EXPECT_EQ(warning.Due(" 1M8GDM9A1KP042788"), "") << "the same number, however typed";
  EXPECT_NE(warning.Due("1M8GDM9A2KP042788"), "") << "another mistake is told";
  EXPECT_EQ(warning.Due("1M8GDM9AXKP042788"), "");
  EXPECT_NE(warning.Due("1M8GDM9A2KP042788"), "") << "corrected and mistyped again";
  warning.Forget();
  EXPECT_NE(warning.Due("1M8GDM9A2KP042788"), "") << "a record shown again is told again";

  warning.Known("J100");
  EXPECT_EQ(warning.Due("J100"), "") << "handed to the window, not typed";
  EXPECT_NE(warning.Due("J101"), "");
}

}  // namespace
}  // namespace ws::masters
