// The grid pack on a grid of its own: what find skips, how filter treats subtotal rows, and
// what the CSV quotes.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "forms/grid_pack.h"

namespace ws::forms {
namespace {

// Customer | amount, with a subtotal row after the first two rows.
void Fill(Grid& grid) {
  grid.SetCols(2);
  grid.SetTextMatrix(0, 0, "客户");
  grid.SetTextMatrix(0, 1, "金额");
  for (const auto& [name, amount] : std::vector<std::pair<std::string, std::string>>{
           {"Alpha", "10"}, {"beta", "20"}, {"ALPHA", "5"}}) {
    int row = grid.AddRow();
    grid.SetTextMatrix(row, 0, name);
    grid.SetTextMatrix(row, 1, amount);
  }
}

TEST(GridPackTest, FindSkipsHiddenRowsAndFindNextWrapsOnce) {
  Grid grid("Vs", -1, kFlexGrid);
  Fill(grid);
  GridPack pack;
  pack.Attach(&grid);
  EXPECT_EQ(pack.FindNext(), -1);  // nothing to repeat yet
  grid.SetRowHidden(1, true);
  EXPECT_EQ(pack.Find(0, "alp"), 3);
  EXPECT_EQ(pack.FindNext(), 3);  // the only visible match, found again after wrapping
  grid.SetRowHidden(1, false);
  EXPECT_EQ(pack.FindNext(), 1);
  EXPECT_EQ(pack.Find(1, "7"), -1);
  EXPECT_EQ(grid.Row(), 1);  // a miss leaves the current row
  EXPECT_EQ(pack.Find(0, ""), -1);
}

TEST(GridPackTest, FilterKeepsEqualValuesHidesSubtotalsAndTogglesBack) {
  Grid grid("Vs", -1, kFlexGrid);
  Fill(grid);
  grid.AddSubtotals(-1, {1}, "合计", 0);
  GridPack pack;
  pack.Attach(&grid);
  grid.SetRow(1);
  EXPECT_EQ(pack.Filter(0), 1);  // "Alpha" only: "ALPHA" differs, the total row goes
  EXPECT_TRUE(pack.Filtering());
  EXPECT_TRUE(grid.RowHidden(3));
  EXPECT_TRUE(grid.RowHidden(4));
  EXPECT_EQ(pack.Filter(0), 4);
  EXPECT_FALSE(pack.Filtering());
  grid.SetRow(0);  // no current data row: nothing to filter by
  EXPECT_EQ(pack.Filter(0), 4);
  EXPECT_FALSE(pack.Filtering());
}

TEST(GridPackTest, CsvQuotesOnlyWhatNeedsItAndLeavesHiddenColumnsOut) {
  Grid grid("Vs", -1, kFlexGrid);
  Fill(grid);
  grid.SetTextMatrix(1, 0, "A,\"B\"");
  grid.Col(1).dataType = 5;
  grid.Col(1).format = "0.00";
  EXPECT_EQ(GridCsv(grid), "客户,金额\r\n\"A,\"\"B\"\"\",10.00\r\nbeta,20.00\r\nALPHA,5.00\r\n");
  grid.SetColHidden(1, true);
  grid.SetRowHidden(2, true);
  EXPECT_EQ(GridCsv(grid), "客户\r\n\"A,\"\"B\"\"\"\r\nALPHA\r\n");
}

}  // namespace
}  // namespace ws::forms
