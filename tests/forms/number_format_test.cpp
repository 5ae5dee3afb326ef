#include "forms/number_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace ws::forms {
namespace {

struct Case {
  double value;
  const char* format;
  const char* text;
};

TEST(NumberFormatTest, PlaceholderPatterns) {
  const Case cases[] = {
      // "###": whole numbers, half away from zero, "0" for nothing.
      {1234.5, "###", "1235"},
      {1234.4, "###", "1234"},
      {-2.5, "###", "-3"},
      {0, "###", "0"},
      {0.4, "###", "0"},
      {-0.4, "###", "0"},
      // "###.##": up to n decimals, no trailing zeros, no lone ".".
      {1234.5, "###.##", "1234.5"},
      {1234, "###.##", "1234"},
      {13.3333333, "###.##", "13.33"},
      {0.5, "###.##", "0.5"},
      {0, "###.##", "0"},
      {1.005, "###.##", "1.01"},
      {2.675, "###.##", "2.68"},
      {-1.996, "###.##", "-2"},
      {12.7, "###.", "13"},
      // "###.00" and "0.00": exactly n decimals.
      {1234.5, "###.00", "1234.50"},
      {0.5, "###.00", "0.50"},
      {0, "0.00", "0.00"},
      {37.5, "0.00", "37.50"},
      {-0.001, "0.00", "0.00"},
      {99.995, "0.00", "100.00"},
      // "0" places and zero padding.
      {7, "##0", "7"},
      {0, "##0.00", "0.00"},
      {5, "0000", "0005"},
      {12345, "0000", "12345"},
      {3.2, "0.0#", "3.2"},
      {3.256, "0.0#", "3.26"},
      // Thousands.
      {1234567.891, ",##0.00", "1,234,567.89"},
      {-1234.5, "#,##0.00", "-1,234.50"},
      {999.999, "#,##0.00", "1,000.00"},
      {12, "#,##0", "12"},
      // Literal text around the number.
      {37.5, "0.00元", "37.50元"},
      {37.5, "¥#,##0.00", "¥37.50"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.format), c.text) << c.value << " " << c.format;
  }
}

TEST(NumberFormatTest, PlainTextLargeValuesAndOddInput) {
  EXPECT_EQ(FormatNumber(37.5, ""), "37.5");
  EXPECT_EQ(FormatNumber(40.0 / 3.0, ""), "13.3333333333");
  EXPECT_EQ(FormatNumber(-0.0, ""), "0");
  EXPECT_EQ(FormatNumber(1e15, "###"), "1000000000000000");
  EXPECT_EQ(FormatNumber(123456789.125, "###.##"), "123456789.13");
  EXPECT_EQ(FormatNumber(1e-7, "###.##"), "0");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN(), "0.00"), "0.00");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity(), "###"), "0");

  EXPECT_EQ(FixedText(1.005, 2), "1.01");
  EXPECT_EQ(FixedText(-2.5, 0), "-3");
  EXPECT_EQ(FixedText(9.995, 2), "10.00");
  EXPECT_EQ(FixedText(0.000123, 5), "0.00012");
  EXPECT_EQ(FixedText(12, 3), "12.000");
}

TEST(NumberFormatTest, FormatsFromDecimals) {
  EXPECT_EQ(DecimalsFormat(0, false), "###");
  EXPECT_EQ(DecimalsFormat(-1, true), "###");
  EXPECT_EQ(DecimalsFormat(2, false), "###.##");
  EXPECT_EQ(DecimalsFormat(3, true), "###.000");
  // The formats the grids build from the host's decimals read as intended.
  EXPECT_EQ(FormatNumber(1234.5, DecimalsFormat(2, true)), "1234.50");
  EXPECT_EQ(FormatNumber(1234.5, DecimalsFormat(2, false)), "1234.5");
}

}  // namespace
}  // namespace ws::forms
