// Numbers as the forms show and read them: the columns' placeholder formats, fixed texts, what a
// clerk may type, and the grid's sums and sorts. Every case runs twice, the second time under a
// comma locale, where the C library would read "1.5" as 1 and write 1.5 as "1,5".
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "forms/grid.h"
#include "forms/number_format.h"
#include "forms/typed_number.h"
#include "support/comma_locale.h"

namespace ws::forms {
namespace {

class NumbersTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) return;
    locale_.emplace();
    WS_REQUIRE_COMMA_LOCALE(*locale_);
  }
  std::optional<test::CommaLocale> locale_;
};

INSTANTIATE_TEST_SUITE_P(Locales, NumbersTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Comma" : "Point"; });

TEST_P(NumbersTest, FormatsAndFixedTexts) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  // clang-format off
  const std::tuple<double, const char*, const char*> cases[] = {
      // "###": whole numbers, half away from zero, "0" for nothing.
      {1234.5, "###", "1235"}, {-2.5, "###", "-3"}, {-0.4, "###", "0"}, {kInf, "###", "0"},
      // "###.##": up to n decimals, no trailing zeros, no lone ".".
      {1234, "###.##", "1234"}, {1.005, "###.##", "1.01"}, {-1.996, "###.##", "-2"},
      {12.7, "###.", "13"}, {123456789.125, "###.##", "123456789.13"},
      // "###.00" and "0.00": exactly n decimals.
      {0.5, "###.00", "0.50"}, {-0.001, "0.00", "0.00"}, {99.995, "0.00", "100.00"},
      {kNaN, "0.00", "0.00"},
      // "0" places and zero padding.
      {0, "##0.00", "0.00"}, {5, "0000", "0005"}, {3.2, "0.0#", "3.2"}, {3.256, "0.0#", "3.26"},
      // Thousands, and literal text around the number.
      {1234567.891, ",##0.00", "1,234,567.89"}, {-1234.5, "#,##0.00", "-1,234.50"},
      {999.999, "#,##0.00", "1,000.00"}, {37.5, "¥#,##0.00", "¥37.50"},
      // No format: the plain number.
      {37.5, "", "37.5"}, {40.0 / 3.0, "", "13.3333333333"}, {-0.0, "", "0"}};
  // clang-format on
  for (const auto& [value, format, text] : cases)
    EXPECT_EQ(FormatNumber(value, format), text) << value << " " << format;
  // The formats the grids build from the host's decimals.
  EXPECT_EQ(FormatNumber(13.333, DecimalsFormat(2, false)), "13.33");
  EXPECT_EQ(DecimalsFormat(-1, true), "###");
  EXPECT_EQ(DecimalsFormat(3, true), "###.000");
  const std::tuple<double, int, const char*> fixed[] = {
      {1.005, 2, "1.01"}, {-2.5, 0, "-3"}, {9.995, 2, "10.00"}, {12, 3, "12.000"}};
  for (const auto& [value, places, text] : fixed)
    EXPECT_EQ(FixedText(value, places), text) << value;
}

// A stored text formatted without reading it as a double first gives what formatting the
// number it reads as gives, wherever it answers at all, and answers for the stored amounts.
TEST_P(NumbersTest, StoredTextsFormatAsTheirNumbers) {
  const char* formats[] = {"###.00", "##0.00",   "###",    "0.0",  "###.##",
                           "0000",   "#,##0.00", "0.00元", "###.", "###.000"};
  std::vector<std::string> texts = {"610.3",
                                    "0",
                                    "-0",
                                    "-0.00",
                                    "0.5",
                                    "00.5",
                                    "120.00",
                                    "-12.345",
                                    "12.",
                                    ".5",
                                    "1e3",
                                    "+5",
                                    " 5",
                                    "5 ",
                                    "999999999999999",
                                    "9999999999999999",
                                    "123456789012.345",
                                    "-0.001",
                                    "99.995",
                                    "7",
                                    "-7.1",
                                    "",
                                    "abc",
                                    "1.2.3"};
  uint64_t seed = 7;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    std::string text = (seed >> 63) ? "-" : "";
    text += std::to_string((seed >> 20) % 100000000);
    const int places = static_cast<int>((seed >> 8) % 5);
    if (places > 0) {
      text += '.';
      for (int p = 0; p < places; ++p) text += static_cast<char>('0' + (seed >> (12 + 3 * p)) % 10);
    }
    texts.push_back(text);
  }
  int answered = 0;
  for (const char* format : formats) {
    for (const std::string& text : texts) {
      const std::optional<std::string> shown = FormatNumberText(text, format);
      if (!shown) continue;
      ++answered;
      const std::optional<double> value = ReadLeadingNumber(text);
      ASSERT_TRUE(value.has_value()) << text;
      EXPECT_EQ(*shown, FormatNumber(*value, format)) << "'" << text << "' " << format;
    }
  }
  EXPECT_GT(answered, 3000);
  EXPECT_EQ(FormatNumberText("610.3", "###.00"), "610.30");
  EXPECT_EQ(FormatNumberText("7", "##0.00"), "7.00");
  for (const auto& [text, format] : std::vector<std::pair<const char*, const char*>>{
           {"-0.00", "###.00"}, {"1.005", "###.00"}, {"007", "###"}, {"5", "###.##"}}) {
    EXPECT_FALSE(FormatNumberText(text, format).has_value()) << text << " " << format;
  }
}

TEST_P(NumbersTest, TypedNumbersArePlainGroupedOrFullWidth) {
  // clang-format off
  const std::tuple<const char*, double, const char*> accepted[] = {
      {"  -0.5 ", -0.5, "-0.5"}, {"+7", 7, "7"}, {".5", 0.5, "0.5"}, {"5.", 5, "5"},
      {"12.50", 12.5, "12.50"}, {"-0", 0, "0"},
      // Thousands: "," or single blanks, one kind, groups of three after the first.
      {"1 000", 1000, "1000"}, {"-999,999.9", -999999.9, "-999999.9"},
      // As a Chinese input method types them (full-width digits, point, comma, blank).
      {"１２．５", 12.5, "12.5"}, {"１，０００", 1000, "1000"}, {"\u3000－８", -8, "-8"},
      {"999999999999999", 999999999999999, "999999999999999"}};
  const std::string refused[] = {
      "", "   ", "12abc", "8元", "1,5", "1,0000", ",100", "1,000,", "1,000 000", "1  000", "1e3",
      "0x10", "nan", "+-1", "-", ".", "1.2.3", "1,000.5,0", "12 .5", "１２ａ", "1\t000",
      // Out of range: no amount, quantity or price of a shop, and no longer exact in cents.
      "1000000000000001", "-1,000,000,000,000,001", "1" + std::string(400, '0')};
  // clang-format on
  for (const auto& [typed, value, text] : accepted) {
    auto number = ParseTypedNumber(typed);
    ASSERT_TRUE(number.has_value()) << typed;
    EXPECT_DOUBLE_EQ(number->value, value) << typed;
    EXPECT_EQ(number->text, text) << typed;
  }
  for (const std::string& text : refused)
    EXPECT_FALSE(ParseTypedNumber(text).has_value()) << "'" << text << "'";
  EXPECT_TRUE(IsBlankNumberText(" \u3000 "));
  EXPECT_FALSE(IsBlankNumberText(" 0 "));
}

TEST_P(NumbersTest, GridCellsAreReadAndSortedAsNumbers) {
  Grid grid("Vs", -1, kFlexGrid);
  grid.SetFormatString("客户|金额|数量");
  grid.Col(1).format = "###.##";
  const char* rows[][2] = {{"B", "10"}, {"A", "2"}, {"B", "5.25"}, {"A", "1.5"}};
  for (auto& row : rows) {
    int r = grid.AddRow();
    grid.SetTextMatrix(r, 0, row[0]);
    grid.SetTextMatrix(r, 1, row[1]);
  }
  EXPECT_EQ(grid.DisplayText(3, 1), "5.25");
  grid.Sort(1, 2);
  EXPECT_EQ(grid.TextMatrix(1, 1), "10") << "10 sorts above 2 as a number";
  EXPECT_EQ(grid.TextMatrix(4, 1), "1.5");
  grid.SetRowHidden(1, true);  // the "10" row, hidden by a search filter
  grid.Sort(0, 1);
  EXPECT_EQ(grid.TextMatrix(1, 0), "A");
  EXPECT_TRUE(grid.RowHidden(3)) << "a hidden row stays hidden where the sort puts it";
  EXPECT_EQ(grid.TextMatrix(3, 1), "10");
  grid.SetRowHidden(3, false);
  grid.AddSubtotals(-1, {1}, "合计", 0);
  EXPECT_EQ(grid.TextMatrix(grid.Rows() - 1, 1), "18.75");
  // Totals add the stored digits, where a double would drop the last ten-thousandths.
  EXPECT_EQ(DecimalSum({"99999999999.9999", "0.0001", " 0.0001kg", "-0.00005", "", "-"}),
            "100000000000.00005");
  EXPECT_EQ(DecimalSum({"1", "2e3"}), std::nullopt) << "an exponent: the doubles' sum";
}

}  // namespace
}  // namespace ws::forms
