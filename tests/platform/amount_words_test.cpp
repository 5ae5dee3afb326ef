#include "platform/amount_words.h"

#include <gtest/gtest.h>

namespace ws::platform {
namespace {

TEST(AmountInWordsTest, YuanJiaoFenZerosRoundingSignsAndLimits) {
  struct Case {
    db::Amount amount;
    const char* words;
  };
  using db::Amount;
  const Case cases[] = {
      {Amount(), "零元整"},
      {Amount::Of("0.05"), "伍分"},
      {Amount::Of("1001.01"), "壹仟零壹元零壹分"},
      // Zeros inside a group or opening one are written; those closing a group or
      // the yuan are optional on financial documents and are not.
      {Amount::Of("100000"), "壹拾万元整"},
      {Amount::Of("100000000"), "壹亿元整"},
      {Amount::Of("1010000"), "壹佰零壹万元整"},
      {Amount::Of("1010"), "壹仟零壹拾元整"},
      {Amount::Of("20005"), "贰万零伍元整"},
      {Amount::Of("10100"), "壹万零壹佰元整"},
      {Amount::Of("10001000"), "壹仟万壹仟元整"},
      {Amount::Of("107000.53"), "壹拾万柒仟元伍角叁分"},
      {Amount::Of("10000001"), "壹仟万零壹元整"},
      {Amount::Of("100010000"), "壹亿零壹万元整"},
      {Amount::Of("100000001"), "壹亿零壹元整"},
      {Amount::Of("12345678901.23"), "壹佰贰拾叁亿肆仟伍佰陆拾柒万捌仟玖佰零壹元贰角叁分"},
      {Amount::Of("100000.01"), "壹拾万元零壹分"},
      // Rounded half away from zero at the fen; a sign only when something is
      // left.
      {Amount::Of("1.005"), "壹元零壹分"},
      {Amount::Of("9.995"), "壹拾元整"},
      {Amount::Of("0.1") + Amount::Of("0.2"), "叁角整"},
      {Amount::Of("-1234.5"), "负壹仟贰佰叁拾肆元伍角整"},
      {Amount::Of("-1.0049"), "负壹元整"},
      {Amount::Of("-0.0049"), "零元整"},
      {Amount::Of("100000000000"), ""}};
  for (const auto& c : cases) EXPECT_EQ(AmountInWords(c.amount), c.words) << c.amount.Text();
}

}  // namespace
}  // namespace ws::platform
