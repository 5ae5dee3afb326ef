// The grid (rows, sums, keys, texts kept once, hidden columns), the text pool under it, and the
// input a clerk gives fields, cells and buttons.
#include "forms/grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/form.h"
#include "forms/grid_pack.h"
#include "forms/input.h"
#include "forms/text.h"
#include "forms/text_pool.h"

namespace ws::forms {
namespace {

class GridTest : public ::testing::Test {
 protected:
  GridTest() { grid_.SetFormatString("行号|项目编码      |维修项目             |数量   |金额"); }
  Grid grid_{"ywGridXM"};
};

TEST_F(GridTest, RowsSumsAndFormats) {
  int r1 = grid_.AddRow();
  int r2 = grid_.AddRow();
  grid_.SetTextMatrix(r1, 4, "12.5");
  grid_.SetTextMatrix(r2, 4, "abc");  // not a number: counts as 0, shown as it is
  grid_.Col(4).format = "0.00";
  EXPECT_DOUBLE_EQ(grid_.SumData(4), 12.5);
  EXPECT_EQ(grid_.DisplayText(r1, 4) + grid_.DisplayText(r2, 4), "12.50abc");
  EXPECT_EQ(grid_.DisplayText(0, 4), "金额") << "headers are never formatted";
  grid_.RemoveRow(r1);
  EXPECT_EQ(grid_.TextMatrix(1, 4), "abc");
  EXPECT_THROW(grid_.SetTextMatrix(9, 0, "x"), std::out_of_range);
}

// Keys travel with their rows through sorting, subtotals, removal and growth, and a key set
// empty is gone.
TEST_F(GridTest, KeysStayWithTheirRows) {
  for (const char* text : {"c", "a", "b"}) {
    int r = grid_.AddRow();
    grid_.SetTextMatrix(r, 2, text);
    grid_.SetCellKey(r, 1, std::string("k") + text);
  }
  grid_.Sort(2, 1);
  grid_.AddSubtotals(-1, {4}, "合计", 2);
  grid_.SetRows(grid_.Rows() + 2);
  grid_.ClearSubtotals();
  grid_.RemoveRow(1);
  ASSERT_EQ(grid_.DataRows(), 4);
  EXPECT_EQ(grid_.TextMatrix(1, 2) + grid_.CellKey(1, 1), "bkb");
  EXPECT_EQ(grid_.TextMatrix(2, 2) + grid_.CellKey(2, 1), "ckc");
  EXPECT_EQ(grid_.CellKey(3, 1), "");
  grid_.SetCellKey(1, 1, "");
  EXPECT_EQ(grid_.CellKey(1, 1) + std::to_string(grid_.CellKeyLong(1, 1)), "0");
}

// A report's texts repeat from row to row: the grid keeps each once, the cells keep their
// texts through sorting, subtotals and removal, and the texts of rows that went, or of cells
// written over and over, do not stay for the life of the grid.
TEST_F(GridTest, RepeatedTextsAreKeptOnceAndDroppedWithTheirRows) {
  const size_t header = grid_.StoredTexts();
  grid_.SetRows(1 + 3000);
  for (int r = 1; r <= 3000; ++r) {
    grid_.SetTextMatrix(r, 1, "京A" + std::to_string(r % 7));
    grid_.SetTextMatrix(r, 2, "北京嘉禾快递服务有限公司");
    grid_.SetTextMatrix(r, 4, std::to_string(r));
  }
  EXPECT_EQ(grid_.StoredTexts(), header + 7 + 1 + 3000);
  grid_.Sort(4, 2);
  grid_.AddSubtotals(-1, {4}, "合计", 2);
  EXPECT_EQ(grid_.TextMatrix(1, 4) + grid_.TextMatrix(1, 1), "3000京A4");
  EXPECT_EQ(grid_.TextMatrix(3001, 2) + grid_.TextMatrix(3001, 4), "合计4501500");
  EXPECT_EQ(grid_.TextMatrix(0, 2), "维修项目");

  grid_.SetRows(3);
  EXPECT_LE(grid_.StoredTexts(), 3u * 5 + 256) << "a big list cut back keeps its texts";
  EXPECT_EQ(grid_.TextMatrix(2, 4) + grid_.TextMatrix(2, 2), "2999北京嘉禾快递服务有限公司");
  EXPECT_EQ(grid_.ColCaption(1), "项目编码");
  for (int i = 0; i < 5000; ++i) grid_.SetTextMatrix(1, 3, std::to_string(i));
  EXPECT_LE(grid_.StoredTexts(), 3u * 5 * 3 + 256 + 256) << "texts written over are dropped";
  EXPECT_EQ(grid_.TextMatrix(1, 3), "4999");
  EXPECT_EQ(grid_.TextMatrix(1, 4), "3000");
  grid_.ClearData();
  EXPECT_EQ(grid_.StoredTexts(), header);
}

// Whether a column's texts repeat is judged on its own first texts: a total that equals the
// amount before it in every row differs from row to row all the same, and its texts are then
// kept as they come (a repeated one again), not each looked up among the grid's texts.
TEST_F(GridTest, AColumnIsJudgedOnItsOwnTexts) {
  const int judged = 600;
  grid_.SetRows(1 + judged + 100);
  for (int r = 1; r <= judged; ++r) {
    grid_.SetTextMatrix(r, 3, std::to_string(r));
    grid_.SetTextMatrix(r, 4, std::to_string(r));
    grid_.SetTextMatrix(r, 1, "京A" + std::to_string(r % 7));
  }
  const size_t before = grid_.StoredTexts();
  for (int r = judged + 1; r <= judged + 100; ++r) {
    grid_.SetTextMatrix(r, 4, "1");
    grid_.SetTextMatrix(r, 1, "京A1");
  }
  EXPECT_EQ(grid_.StoredTexts(), before + 100);
}

TEST_F(GridTest, HiddenColumnKeepsItsWidthAndEditability) {
  grid_.SetColWidth(3, 900);
  grid_.SetColHidden(3, true);
  EXPECT_EQ(grid_.ColWidth(3), 0);
  grid_.SetColHidden(3, false);
  EXPECT_EQ(grid_.ColWidth(3), 900);
  grid_.SetColWidth(3, 0);  // a zero width hides without losing the stored width
  EXPECT_TRUE(grid_.ColHidden(3));
  EXPECT_EQ(grid_.Col(3).width, 900);

  int r = grid_.AddRow();
  EXPECT_FALSE(grid_.CellEditable(r, 1)) << "a read-only grid takes no typing";
  grid_.SetEditable(true);
  grid_.Col(2).editable = false;
  EXPECT_TRUE(grid_.CellEditable(r, 1));
  EXPECT_FALSE(grid_.CellEditable(r, 2));
  EXPECT_FALSE(grid_.CellEditable(0, 1)) << "header rows are never editable";
}

// Texts that share a hash, or only the slot their hash starts at, are told apart by their bytes,
// through the index's growth; a text never added is not found.
TEST(TextIndexTest, FindsEachTextWhateverItsHashSharesWithOthers) {
  std::vector<std::string> texts;
  TextIndex index;
  auto textOf = [&](uint32_t number) -> const std::string& { return texts[number]; };
  const std::vector<uint32_t> hashes = {7, 7, 7, 7 + 16, 7 + 1024, 8};
  for (int round = 0; round < 100; ++round) {
    for (uint32_t hash : hashes) {
      texts.push_back("京A" + std::to_string(texts.size()));
      index.Add(hash, static_cast<uint32_t>(texts.size() - 1));
    }
  }
  EXPECT_EQ(index.Size(), texts.size());
  for (uint32_t n = 0; n < texts.size(); ++n) {
    EXPECT_EQ(index.Find(texts[n], hashes[n % hashes.size()], textOf), n) << texts[n];
  }
  EXPECT_EQ(index.Find("京A", 7, textOf), TextIndex::kNone);
  EXPECT_EQ(index.Find(texts[1], 9, textOf), TextIndex::kNone) << "looked for under another hash";
  index.Clear();
  EXPECT_EQ(index.Find(texts[0], 7, textOf), TextIndex::kNone);
}

// A text is kept once, at an address that stays while thousands more are added, whether it
// came as a copy or moved in; the empty text is never stored.
TEST(TextPoolTest, KeepsEachTextOnceWhereItStays) {
  TextPool pool;
  const std::string* first = pool.Intern(std::string_view("北京嘉禾快递服务有限公司"));
  for (int i = 0; i < 5000; ++i) pool.Intern(std::to_string(i));
  EXPECT_EQ(pool.Intern(std::string("北京嘉禾快递服务有限公司")), first);
  EXPECT_EQ(*first, "北京嘉禾快递服务有限公司");
  EXPECT_EQ(pool.Intern(std::string_view("42")), pool.Intern(std::string("42")));
  EXPECT_EQ(pool.Intern(std::string()), &TextPool::Empty());
  EXPECT_EQ(pool.Size(), 5001u);
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    field_ = &form_.Add<Field>("ywTxt", 2);
    field_->OnChange = [this] { log_.push_back("change:" + field_->Text()); };
    field_->OnLeave = [this] { log_.push_back("leave"); };
    grid_ = &form_.Add<Grid>("ywGridXM");
    grid_->SetFormatString("行号|编码|数量");
    grid_->OnAfterEdit = [this](int r, int c) {
      log_.push_back("edit:" + std::to_string(r) + "," + std::to_string(c));
    };
    button_ = &form_.Add<CommandButton>("cmdOK");
    button_->OnClick = [this] { log_.push_back("click"); };
  }

  Form form_{"frm"};
  Field* field_ = nullptr;
  Grid* grid_ = nullptr;
  CommandButton* button_ = nullptr;
  std::vector<std::string> log_;
};

// A list of codes sorts as a clerk reads them, numbers inside a code by their value, when the
// column is not all numbers.
TEST(NaturalOrderTest, DigitsInsideTextsCompareByValue) {
  const std::vector<std::pair<std::string, std::string>> before = {
      {"V2", "V10"},  {"9", "10"}, {"1", "V1"},   {"京A9", "京A10"},
      {"V007", "V8"}, {"A", "B"},  {"V1", "V1a"}, {"", "0"},
  };
  for (const auto& [x, y] : before) {
    EXPECT_TRUE(NaturalLess(x, y)) << x << " < " << y;
    EXPECT_FALSE(NaturalLess(y, x)) << y << " !< " << x;
  }
  EXPECT_FALSE(NaturalLess("V01", "V1"));
  Grid grid("Vs");
  grid.SetFormatString("编号");
  for (const char* code : {"100", "V2", "10", "1", "V10"})
    grid.SetTextMatrix(grid.AddRow(), 0, code);
  grid.Sort(0, 1);
  std::string order;
  for (int r = 1; r < grid.Rows(); ++r) order += grid.TextMatrix(r, 0) + " ";
  EXPECT_EQ(order, "1 10 100 V2 V10 ");
}

// What a spreadsheet would run as a formula goes behind an apostrophe; numbers, signed ones
// included, and every other text go as they are (quoted where CSV needs it).
TEST(CsvCellTest, FormulasAreNeutralisedAndNumbersKept) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+86 139", "'+86 139"},
      {"-rf", "'-rf"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tcmd", "'\tcmd"},
      {"-12.50", "-12.50"},
      {"+3", "+3"},
      {"-1,234.00", "\"-1,234.00\""},
      {"12%", "12%"},
      {"京A=1", "京A=1"},
      {"", ""},
      {"a,b", "\"a,b\""},
  };
  for (const auto& [cell, written] : cases) EXPECT_EQ(CsvCell(cell), written) << cell;
}

// The CSV written straight from the cells says what the shown cells say: hidden rows and
// columns left out, a number column in its format, a date column's stand-in for none empty.
TEST(CsvCellTest, TheGridsCsvIsItsShownCells) {
  Grid grid("Vs");
  grid.SetCols(4);
  const std::vector<std::string> captions = {"车牌,号", "金额", "日期", "id"};
  for (int c = 0; c < 4; ++c) grid.SetTextMatrix(0, c, captions[static_cast<size_t>(c)]);
  grid.Col(1).format = "#,##0.00";
  grid.SetColHidden(3, true);
  const std::vector<std::vector<std::string>> rows = {{"京A1", "1234.5", "2012-06-15", "7"},
                                                      {"=1+1", "", "1900-01-01", "8"},
                                                      {"hidden", "3", "", "9"},
                                                      {"b\"c", "-0.005", "1900-01-01 00:00", ""}};
  for (const auto& cells : rows) {
    const int row = grid.AddRow();
    for (int c = 0; c < 4; ++c) grid.SetTextMatrix(row, c, cells[static_cast<size_t>(c)]);
  }
  grid.SetRowHidden(3, true);
  const ShownCells shown = ShownGridCells(grid);
  std::string want;
  const auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) want += (i ? "," : "") + CsvCell(cells[i]);
    want += "\r\n";
  };
  line(shown.columns);
  for (const auto& cells : shown.rows) line(cells);
  ASSERT_EQ(shown.rows.size(), 3u);
  EXPECT_EQ(GridCsv(grid), want);
  EXPECT_EQ(GridCsv(grid, false), want.substr(want.find("\r\n") + 2));
}

// Broken bytes typed into a field or a cell are marked where they are typed; good text, the
// Chinese and the four-byte characters included, is kept byte for byte.
TEST_F(InputTest, BrokenBytesAreMarkedWhereTheyAreTyped) {
  const std::string mark = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"京A12345", "京A12345"},
      {"\xF0\x9F\x9A\x97", "\xF0\x9F\x9A\x97"},  // a car, four bytes
      {"a\xFF"
       "b",
       "a" + mark + "b"},
      {"\xC0\xAF", mark + mark},             // overlong slash
      {"\xED\xA0\x80", mark + mark + mark},  // a lone surrogate
      {"\xE4\xBA", mark + mark},             // a character cut short
  };
  grid_->SetEditable(true);
  for (const auto& [typed, kept] : cases) {
    ASSERT_TRUE(Input::Type(*field_, typed));
    EXPECT_EQ(field_->Text(), kept);
    ASSERT_TRUE(Input::EditCell(*grid_, 1, 1, typed));
    EXPECT_EQ(grid_->TextMatrix(1, 1), kept);
    EXPECT_TRUE(IsValidUtf8(kept));
    EXPECT_EQ(IsValidUtf8(typed), typed == kept);
  }
  EXPECT_EQ(CutUtf8("京A", 2), "");
  EXPECT_EQ(CutUtf8("京A", 3), "京");
}

TEST_F(InputTest, TypingFiresChangeThenLeaveAndRespectsReadOnly) {
  ASSERT_TRUE(Input::Type(*field_, "W001"));
  EXPECT_EQ(log_, (std::vector<std::string>{"change:W001", "leave"}));
  log_.clear();
  ASSERT_TRUE(Input::Type(*field_, "W001"));
  EXPECT_EQ(log_, (std::vector<std::string>{"leave"})) << "no change event for the same text";

  field_->SetLocked(true);
  auto refused = Input::Type(*field_, "other");
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.reason.find("read-only"), std::string::npos);
  EXPECT_EQ(field_->Text(), "W001");
}

TEST_F(InputTest, CellEditingAddsTheNewRowLineAndChecksColumns) {
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 1, "X")) << "grid starts read-only";
  grid_->SetEditable(true);
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 1, "X"));  // row after the last: adds it
  EXPECT_EQ(grid_->DataRows(), 1);
  EXPECT_EQ(grid_->TextMatrix(1, 1), "X");
  grid_->Col(2).editable = false;
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 2, "5") || Input::EditCell(*grid_, 1, 9, "5"));
  // A refused edit or picker on the new-row line leaves no empty row behind.
  EXPECT_FALSE(Input::EditCell(*grid_, 2, 2, "5") || Input::EditCell(*grid_, 2, -1, "5") ||
               Input::CellPicker(*grid_, 2, 2));
  EXPECT_EQ(grid_->DataRows(), 1);
  ASSERT_TRUE(Input::EditCell(*grid_, 2, 1, "Z"));
  EXPECT_EQ(grid_->DataRows(), 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"edit:1,1", "edit:2,1"}));
}

// A number field keeps a number the way a clerk writes it as plain text and leaves anything
// else for the control to refuse; a number cell refuses it at once, keeping what it holds.
TEST_F(InputTest, NumberFieldsAndCellsKeepPlainNumbers) {
  field_->SetKind(FieldKind::Number);
  // An empty number field is allowed; "12abc" is kept for the control to judge, not read as 12.
  const std::pair<const char*, const char*> typed[] = {
      {"1,000.50", "1000.50"}, {"１ ０００", "1000"}, {"  ", ""}, {"12abc", "12abc"}};
  for (const auto& [text, kept] : typed) {
    ASSERT_TRUE(Input::Type(*field_, text));
    EXPECT_EQ(field_->Text(), kept) << text;
  }

  grid_->SetEditable(true);
  grid_->Col(2).format = "###.##";
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 2, "1 000"));
  EXPECT_EQ(grid_->TextMatrix(1, 2), "1000");
  log_.clear();
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 2, "12abc"));
  EXPECT_EQ(grid_->TextMatrix(1, 2), "1000") << "the cell keeps and shows what it holds";
  EXPECT_FALSE(Input::EditCell(*grid_, 2, 2, "x")) << "a refused new-row edit adds no row";
  EXPECT_EQ(grid_->DataRows(), 1);
  EXPECT_TRUE(log_.empty());
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 1, "12abc")) << "a text column takes any text";
}

TEST_F(InputTest, RowDeletionAndButtonsObeyTheirState) {
  grid_->SetEditable(true);
  grid_->AddRow();
  int after = -1;
  grid_->OnAfterDeleteRow = [&](int r) { after = r; };
  EXPECT_FALSE(Input::DeleteRow(*grid_, 0)) << "the header row cannot be deleted";
  EXPECT_TRUE(Input::DeleteRow(*grid_, 1));
  EXPECT_EQ(after, 1);

  button_->SetEnabled(false);
  EXPECT_FALSE(Input::Click(*button_));
  EXPECT_FALSE(Input::Picker(*field_)) << "a field without a picker refuses the help key";
  EXPECT_TRUE(log_.empty());
}

TEST_F(InputTest, HeaderSortKeepsTheCurrentRowAndLeavesEditedGridsAlone) {
  for (const char* code : {"C", "A", "B"}) grid_->SetTextMatrix(grid_->AddRow(), 1, code);
  grid_->SetRow(1);  // "C"
  ASSERT_TRUE(Input::SortColumn(*grid_, 1, 1));
  EXPECT_EQ(grid_->TextMatrix(1, 1), "A");
  EXPECT_EQ(grid_->Row(), 3) << "the current row follows its data";
  ASSERT_TRUE(Input::SortColumn(*grid_, 1, 2));
  EXPECT_FALSE(Input::SortColumn(*grid_, 7, 1) || Input::SortColumn(*grid_, 1, 3));
  grid_->SetEditable(true);
  EXPECT_FALSE(Input::SortColumn(*grid_, 1, 1)) << "lines being edited keep their order";
  EXPECT_EQ(grid_->TextMatrix(1, 1), "C");
}

}  // namespace
}  // namespace ws::forms
