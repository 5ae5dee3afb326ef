#include "platform/amount_words.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ws::platform {
namespace {

struct Case {
  double amount;
  const char* words;
};

TEST(AmountInWordsTest, YuanJiaoFenAndTheClosingZheng) {
  const Case cases[] = {
      {1234.5, "壹仟贰佰叁拾肆元伍角整"},
      {1234.56, "壹仟贰佰叁拾肆元伍角陆分"},
      {1234, "壹仟贰佰叁拾肆元整"},
      {0, "零元整"},
      {0.05, "伍分"},
      {0.5, "伍角整"},
      {0.56, "伍角陆分"},
      {1001.01, "壹仟零壹元零壹分"},
      {1.01, "壹元零壹分"},
      {1.1, "壹元壹角整"},
      {10, "壹拾元整"},
      {15, "壹拾伍元整"},
      {37.5, "叁拾柒元伍角整"},
  };
  for (const auto& c : cases) EXPECT_EQ(AmountInWords(c.amount), c.words) << c.amount;
}

TEST(AmountInWordsTest, ZerosInsideAndBetweenGroups) {
  const Case cases[] = {
      {100000, "壹拾万元整"},
      {100000000, "壹亿元整"},
      {1010000, "壹佰零壹万元整"},
      {1001, "壹仟零壹元整"},
      {1010, "壹仟零壹拾元整"},
      {1100, "壹仟壹佰元整"},
      {101, "壹佰零壹元整"},
      {20005, "贰万零伍元整"},
      {10100, "壹万零壹佰元整"},
      {11000, "壹万壹仟元整"},
      // Zeros that close a group or the yuan are optional on financial documents and are not
      // written; zeros inside a group or opening one are.
      {10001000, "壹仟万壹仟元整"},
      {1680.32, "壹仟陆佰捌拾元叁角贰分"},
      {107000.53, "壹拾万柒仟元伍角叁分"},
      {10000001, "壹仟万零壹元整"},
      {100010000, "壹亿零壹万元整"},
      {101000000, "壹亿零壹佰万元整"},
      {110000000, "壹亿壹仟万元整"},
      {100000001, "壹亿零壹元整"},
      {1000000000000, "壹万亿元整"},
      {1234567890123, "壹万贰仟叁佰肆拾伍亿陆仟柒佰捌拾玖万零壹佰贰拾叁元整"},
      {100000.1, "壹拾万元壹角整"},
      {100000.01, "壹拾万元零壹分"},
  };
  for (const auto& c : cases) EXPECT_EQ(AmountInWords(c.amount), c.words) << c.amount;
}

TEST(AmountInWordsTest, RoundsToFenSignsAndLimits) {
  EXPECT_EQ(AmountInWords(1.005), "壹元零壹分") << "1.005 is stored as 1.00499999...";
  EXPECT_EQ(AmountInWords(0.125), "壹角叁分");
  EXPECT_EQ(AmountInWords(9.999), "壹拾元整");
  EXPECT_EQ(AmountInWords(0.004), "零元整");
  EXPECT_EQ(AmountInWords(-1234.5), "负壹仟贰佰叁拾肆元伍角整");
  EXPECT_EQ(AmountInWords(-0.05), "负伍分");
  EXPECT_EQ(AmountInWords(-0.001), "零元整") << "rounds to nothing: no sign";
  EXPECT_EQ(AmountInWords(0.1 + 0.2), "叁角整");
  EXPECT_EQ(AmountInWords(9999999999999999.0), "");
  EXPECT_EQ(AmountInWords(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(AmountInWords(std::numeric_limits<double>::infinity()), "");
}

}  // namespace
}  // namespace ws::platform
