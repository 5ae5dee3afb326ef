// Under a comma locale the C library reads "1.5" as 1 and writes 1.5 as "1,5"; the forms must
// read and show the module's numbers with their point whatever locale the desktop runs in.
#include <gtest/gtest.h>

#include <memory>

#include "forms/grid.h"
#include "forms/number_format.h"
#include "support/comma_locale.h"

namespace ws::forms {
namespace {

TEST(CommaLocaleFormsTest, FormatsKeepThePoint) {
  test::CommaLocale locale;
  WS_REQUIRE_COMMA_LOCALE(locale);
  EXPECT_EQ(FormatNumber(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(FormatNumber(37.5, "###.##"), "37.5");
  EXPECT_EQ(FormatNumber(0.125, ""), "0.125");
  EXPECT_EQ(FixedText(1.005, 2), "1.01");
  EXPECT_EQ(FixedText(-2.5, 0), "-3");
}

TEST(CommaLocaleFormsTest, GridCellsAreReadWithTheirPoint) {
  test::CommaLocale locale;
  WS_REQUIRE_COMMA_LOCALE(locale);
  Grid grid("ywGridXM");
  grid.SetFormatString("行号|数量|金额");
  grid.Col(2).format = "###.##";
  const int first = grid.AddRow();
  const int second = grid.AddRow();
  grid.SetTextMatrix(first, 2, "12.5");
  grid.SetTextMatrix(second, 2, "0.25");
  grid.SetCellKey(first, 1, "7");

  EXPECT_DOUBLE_EQ(grid.SumData(2), 12.75);
  EXPECT_EQ(grid.DisplayText(first, 2), "12.5");
  EXPECT_EQ(grid.CellKeyLong(first, 1), 7);
  grid.Sort(2, 1);
  EXPECT_EQ(grid.TextMatrix(first, 2), "0.25") << "numbers sort as numbers";
  grid.AddSubtotals(-1, {2}, "合计", 1);
  EXPECT_EQ(grid.TextMatrix(grid.Rows() - 1, 2), "12.75");
}

}  // namespace
}  // namespace ws::forms
