#include "forms/grid.h"

#include <gtest/gtest.h>

#include <memory>

namespace ws::forms {
namespace {

std::unique_ptr<Grid> MakeItemGrid() {
  auto grid = std::make_unique<Grid>("ywGridXM");
  grid->SetFormatString("行号|项目编码      |维修项目             |数量   |金额");
  return grid;
}

TEST(GridTest, FormatStringGivesCaptionsAndWidthsFromTheBlanks) {
  auto owner = MakeItemGrid();
  Grid& grid = *owner;
  ASSERT_EQ(grid.Cols(), 5);
  EXPECT_EQ(grid.Rows(), 1);
  EXPECT_EQ(grid.ColCaption(1), "项目编码");
  EXPECT_EQ(grid.FindCol("维修项目"), 2);
  EXPECT_EQ(grid.FindCol("nothing"), -1);
  // Wider header text (more blanks) means a wider column; CJK counts double.
  EXPECT_GT(grid.Col(2).width, grid.Col(1).width);
  EXPECT_EQ(Grid::WidthOfText("数量"), Grid::WidthOfText("abcd"));
}

TEST(GridTest, RowsKeysAndSums) {
  auto owner = MakeItemGrid();
  Grid& grid = *owner;
  int r1 = grid.AddRow();
  int r2 = grid.AddRow();
  grid.SetTextMatrix(r1, 4, "12.5");
  grid.SetCellKey(r1, 1, "42");
  grid.SetTextMatrix(r2, 4, "abc");  // not a number: counts as 0
  EXPECT_EQ(grid.DataRows(), 2);
  EXPECT_DOUBLE_EQ(grid.SumData(4), 12.5);
  EXPECT_EQ(grid.CellKeyLong(r1, 1), 42);
  EXPECT_EQ(grid.CellKeyLong(r2, 1), 0);
  grid.RenumberRows();
  EXPECT_EQ(grid.TextMatrix(r2, 0), "2");
  grid.RemoveRow(r1);
  EXPECT_EQ(grid.TextMatrix(1, 4), "abc");
  grid.ClearData();
  EXPECT_EQ(grid.DataRows(), 0);
  EXPECT_DOUBLE_EQ(grid.SumData(4), 0);
  // Reading outside the grid answers empty text; writing there is a programming error.
  EXPECT_EQ(grid.TextMatrix(9, 9), "");
  EXPECT_THROW(grid.SetTextMatrix(9, 0, "x"), std::out_of_range);
}

// Keys travel with their rows through sorting, subtotals, removal and growth, and a key set
// empty is gone.
TEST(GridTest, KeysStayWithTheirRows) {
  auto owner = MakeItemGrid();
  Grid& grid = *owner;
  for (const char* text : {"c", "a", "b"}) {
    int r = grid.AddRow();
    grid.SetTextMatrix(r, 2, text);
    grid.SetCellKey(r, 1, std::string("k") + text);
  }
  grid.Sort(2, 1);
  grid.AddSubtotals(-1, {4}, "合计", 2);
  grid.SetRows(grid.Rows() + 2);
  grid.ClearSubtotals();
  grid.RemoveRow(1);
  ASSERT_EQ(grid.DataRows(), 4);
  EXPECT_EQ(grid.TextMatrix(1, 2) + grid.CellKey(1, 1), "bkb");
  EXPECT_EQ(grid.TextMatrix(2, 2) + grid.CellKey(2, 1), "ckc");
  EXPECT_EQ(grid.CellKey(3, 1), "");
  grid.SetCellKey(1, 1, "");
  EXPECT_EQ(grid.CellKey(1, 1), "");
  EXPECT_EQ(grid.CellKeyLong(1, 1), 0);
}

TEST(GridTest, HiddenColumnKeepsItsWidthAndEditability) {
  auto owner = MakeItemGrid();
  Grid& grid = *owner;
  grid.SetColWidth(3, 900);
  grid.SetColHidden(3, true);
  EXPECT_TRUE(grid.ColHidden(3));
  EXPECT_EQ(grid.ColWidth(3), 0);
  grid.SetColHidden(3, false);
  EXPECT_EQ(grid.ColWidth(3), 900);
  grid.SetColWidth(3, 0);  // a zero width hides without losing the stored width
  EXPECT_TRUE(grid.ColHidden(3));
  EXPECT_EQ(grid.Col(3).width, 900);

  int r = grid.AddRow();
  EXPECT_FALSE(grid.CellEditable(r, 1)) << "a read-only grid takes no typing";
  grid.SetEditable(true);
  grid.Col(2).editable = false;
  EXPECT_TRUE(grid.CellEditable(r, 1));
  EXPECT_FALSE(grid.CellEditable(r, 2));
  EXPECT_FALSE(grid.CellEditable(0, 1)) << "header rows are never editable";
}

TEST(GridTest, DisplayTextUsesTheColumnFormatForNumbersOnly) {
  auto owner = MakeItemGrid();
  Grid& grid = *owner;
  grid.Col(4).format = "0.00";
  int r = grid.AddRow();
  grid.SetTextMatrix(r, 4, "13.3333333");
  EXPECT_EQ(grid.DisplayText(r, 4), "13.33");
  grid.SetTextMatrix(r, 4, "n/a");
  EXPECT_EQ(grid.DisplayText(r, 4), "n/a");
  EXPECT_EQ(grid.DisplayText(0, 4), "金额") << "headers are never formatted";
}

TEST(GridTest, SortNumbersAsNumbersAndSubtotalsComeAndGo) {
  Grid grid("Vs", -1, kFlexGrid);
  grid.SetFormatString("客户|金额");
  const char* rows[][2] = {{"B", "10"}, {"A", "2"}, {"B", "5"}, {"A", "1.5"}};
  for (auto& row : rows) {
    int r = grid.AddRow();
    grid.SetTextMatrix(r, 0, row[0]);
    grid.SetTextMatrix(r, 1, row[1]);
  }
  grid.Sort(1, 2);
  EXPECT_EQ(grid.TextMatrix(1, 1), "10");
  EXPECT_EQ(grid.TextMatrix(4, 1), "1.5");
  grid.SetRowHidden(1, true);  // the "10" row, hidden by a search filter
  grid.Sort(0, 1);
  EXPECT_EQ(grid.TextMatrix(1, 0), "A");
  EXPECT_TRUE(grid.RowHidden(3)) << "a hidden row stays hidden where the sort puts it";
  EXPECT_EQ(grid.TextMatrix(3, 1), "10");
  grid.SetRowHidden(3, false);

  grid.AddSubtotals(0, {1}, "小计", 0);
  // A, A, 小计, B, B, 小计
  ASSERT_EQ(grid.DataRows(), 6);
  EXPECT_TRUE(grid.IsSubtotalRow(3));
  EXPECT_EQ(grid.TextMatrix(3, 0), "小计");
  EXPECT_EQ(grid.TextMatrix(3, 1), "3.5");
  EXPECT_EQ(grid.TextMatrix(6, 1), "15");
  grid.AddSubtotals(-1, {1}, "合计", 0);
  EXPECT_EQ(grid.TextMatrix(grid.Rows() - 1, 1), "18.5") << "totals never count subtotal rows";
  EXPECT_DOUBLE_EQ(grid.SumData(1), 18.5);
  grid.ClearSubtotals();
  EXPECT_EQ(grid.DataRows(), 4);
}

}  // namespace
}  // namespace ws::forms
