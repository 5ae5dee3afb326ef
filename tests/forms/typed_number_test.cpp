#include "forms/typed_number.h"

#include <gtest/gtest.h>

#include <string>

#include "support/comma_locale.h"

namespace ws::forms {
namespace {

struct Accepted {
  const char* typed;
  double value;
  const char* text;
};

TEST(TypedNumberTest, AcceptsPlainGroupedAndFullWidthNumbers) {
  const Accepted cases[] = {
      {"12", 12, "12"},
      {"  -0.5 ", -0.5, "-0.5"},
      {"+7", 7, "7"},
      {".5", 0.5, "0.5"},
      {"5.", 5, "5"},
      {"12.50", 12.5, "12.50"},
      {"-0", 0, "0"},
      // Thousands: "," or single blanks, one kind, groups of three after the first.
      {"1,000.50", 1000.5, "1000.50"},
      {"1 000", 1000, "1000"},
      {"12,345,678", 12345678, "12345678"},
      {"-999,999.9", -999999.9, "-999999.9"},
      // As a Chinese input method types them (full-width digits, point, comma, blank).
      {"１２．５", 12.5, "12.5"},
      {"１，０００", 1000, "1000"},
      {"\u3000３\u3000", 3, "3"},
      {"－８", -8, "-8"},
      {"999999999999999", 999999999999999, "999999999999999"},
  };
  for (const auto& c : cases) {
    auto number = ParseTypedNumber(c.typed);
    ASSERT_TRUE(number.has_value()) << c.typed;
    EXPECT_DOUBLE_EQ(number->value, c.value) << c.typed;
    EXPECT_EQ(number->text, c.text) << c.typed;
  }
}

TEST(TypedNumberTest, RefusesEverythingElse) {
  const std::string refused[] = {
      "", "   ", "abc", "12abc", "8元", "1,5", "1,00", "1,0000", ",100", "1,000,", "1,000 000",
      "1  000", "1 00", "1e3", "0x10", "inf", "nan", "--1", "+-1", "-", ".", "1.2.3", "1,000.5,0",
      "12 .5", "１２ａ", "1\t000",
      // Out of range: no amount, quantity or price of a shop, and no longer exact in cents.
      "1000000000000001", "-1,000,000,000,000,001", "1" + std::string(400, '0')};
  for (const std::string& text : refused) {
    EXPECT_FALSE(ParseTypedNumber(text).has_value()) << "'" << text << "'";
  }
  EXPECT_TRUE(IsBlankNumberText(" \u3000 "));
  EXPECT_FALSE(IsBlankNumberText(" 0 "));
}

TEST(TypedNumberTest, CommaLocaleChangesNothing) {
  test::CommaLocale locale;
  WS_REQUIRE_COMMA_LOCALE(locale);
  auto grouped = ParseTypedNumber("1,000.25");
  ASSERT_TRUE(grouped);
  EXPECT_DOUBLE_EQ(grouped->value, 1000.25);
  EXPECT_FALSE(ParseTypedNumber("1,5")) << "a comma is never the decimal mark";
}

}  // namespace
}  // namespace ws::forms
