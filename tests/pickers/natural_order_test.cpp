// Codes in the order a clerk reads them, and rows moved whole into that order.
#include "pickers/natural_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ws::pickers {
namespace {

TEST(NaturalOrderTest, NumbersCompareAsNumbersAndTheOrderIsTotal) {
  // Each pair is strictly ordered: the first before the second, never the other way round.
  const std::pair<const char*, const char*> ordered[] = {
      {"2", "10"},          {"V9", "V10"},     {"PJ00009", "PJ00010"},
      {"7", "007"},         {"A1B2", "A1B10"}, {"", "0"},
      {"京A9", "京A10"},    {"10", "10a"},     {"a", "b"},
      {"XM0101", "XM0102"}, {"1.5", "1.10"},
  };
  for (const auto& [a, b] : ordered) {
    EXPECT_TRUE(NaturalLess(a, b)) << a << " < " << b;
    EXPECT_FALSE(NaturalLess(b, a)) << b << " !< " << a;
  }
  EXPECT_FALSE(NaturalLess("C1", "C1"));
}

TEST(NaturalOrderTest, RowsMoveWholeWithTheirKeys) {
  forms::Grid grid("Vs");
  grid.SetFormatString("编号|名称");
  for (const char* code : {"10", "9", "1", "9"}) {
    const int row = grid.AddRow();
    grid.SetTextMatrix(row, 0, code);
    grid.SetTextMatrix(row, 1, "n" + std::to_string(row));
    grid.SetCellKey(row, 1, "k" + std::to_string(row));
  }
  SortRowsNaturally(grid, 0);
  std::vector<std::string> rows;
  for (int r = 1; r < grid.Rows(); ++r) {
    rows.push_back(grid.TextMatrix(r, 0) + grid.TextMatrix(r, 1) + grid.CellKey(r, 1));
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"1n3k3", "9n2k2", "9n4k4", "10n1k1"}));
}

}  // namespace
}  // namespace ws::pickers
