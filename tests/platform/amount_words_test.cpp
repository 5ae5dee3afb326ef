#include "platform/amount_words.h"

#include <gtest/gtest.h>

#include <limits>

namespace ws::platform {
namespace {

TEST(AmountInWordsTest, YuanJiaoFenZerosRoundingSignsAndLimits) {
  struct Case {
    double amount;
    const char* words;
  };
  const Case cases[] = {{0, "零元整"},
                        {0.05, "伍分"},
                        {1001.01, "壹仟零壹元零壹分"},
                        // Zeros inside a group or opening one are written; those closing a group or
                        // the yuan are optional on financial documents and are not.
                        {100000, "壹拾万元整"},
                        {100000000, "壹亿元整"},
                        {1010000, "壹佰零壹万元整"},
                        {1010, "壹仟零壹拾元整"},
                        {20005, "贰万零伍元整"},
                        {10100, "壹万零壹佰元整"},
                        {10001000, "壹仟万壹仟元整"},
                        {107000.53, "壹拾万柒仟元伍角叁分"},
                        {10000001, "壹仟万零壹元整"},
                        {100010000, "壹亿零壹万元整"},
                        {100000001, "壹亿零壹元整"},
                        {1000000000000, "壹万亿元整"},
                        {1234567890123, "壹万贰仟叁佰肆拾伍亿陆仟柒佰捌拾玖万零壹佰贰拾叁元整"},
                        {100000.01, "壹拾万元零壹分"},
                        // Rounded to the fen as the decimal reads (1.005 is stored as 1.00499...);
                        // a sign only when something is left.
                        {1.005, "壹元零壹分"},
                        {9.999, "壹拾元整"},
                        {0.1 + 0.2, "叁角整"},
                        {-1234.5, "负壹仟贰佰叁拾肆元伍角整"},
                        {-0.001, "零元整"},
                        {9999999999999999.0, ""},
                        {std::numeric_limits<double>::quiet_NaN(), ""},
                        {std::numeric_limits<double>::infinity(), ""}};
  for (const auto& c : cases) EXPECT_EQ(AmountInWords(c.amount), c.words) << c.amount;
}

}  // namespace
}  // namespace ws::platform
