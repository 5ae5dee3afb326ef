// The layout files of windows and grids: a grid's settings written and applied, and the profile
// files that hold them, read as hand-edited files come and written back without harm.
#include "grid/layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "grid/profile.h"

namespace ws::grid {
namespace {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
struct TempFolder {
  TempFolder() { std::filesystem::create_directories(path_); }
  ~TempFolder() { std::filesystem::remove_all(path_, ignored_); }
  const std::filesystem::path& Path() const { return path_; }
  std::string Text() const { return path_.string(); }

  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("ws_grid_test_" + std::to_string(std::random_device()()) +
                                 std::to_string(std::random_device()()));
  std::error_code ignored_;
};

using forms::Grid;

// id (hidden) | category | item | amount
std::unique_ptr<Grid> MakeGrid(const std::string& name, int index = -1,
                               const std::string& type = forms::kFlexGrid) {
  auto grid = std::make_unique<Grid>(name, index, type);
  grid->SetFormatString("ID|分类    |项目            |金额      ");
  grid->SetColHidden(0, true);
  return grid;
}

void AddRows(Grid& grid, const std::vector<std::vector<std::string>>& rows) {
  for (const auto& cells : rows) {
    int r = grid.AddRow();
    for (size_t c = 0; c < cells.size(); ++c) grid.SetTextMatrix(r, static_cast<int>(c), cells[c]);
  }
}

// Everything the layout file may carry of a grid, as one text to compare.
std::string Summary(const Grid& grid) {
  std::string text = std::to_string(grid.RowHeight()) + "/" +
                     std::to_string(grid.FixedRowHeight()) + "/" +
                     std::to_string(grid.FrozenCols()) + "/" + std::to_string(grid.DataRows());
  for (int c = 0; c < grid.Cols(); ++c) {
    const auto& col = grid.Col(c);
    text += "|" + std::to_string(col.width) + "," + std::to_string(grid.ColWidth(c)) + "," +
            col.format + "," + std::to_string(col.merge) + std::to_string(col.dataType) + "," +
            std::to_string(col.alignment);
  }
  return text;
}

std::vector<std::string> Column(const Grid& grid, int col) {
  std::vector<std::string> texts;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
  return texts;
}

TEST(LayoutTest, PathFolderAndGridSuffixes) {
  TempFolder temp;
  const std::string work = (temp.Path() / "work").string();
  auto expected = temp.Path() / "work" / "selfbb" / "PDM_cl.txt";
  EXPECT_EQ(LayoutPath(work, "PDM_cl"), expected);
  EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / "work" / "selfbb"));
  EXPECT_EQ(LayoutPath(work + "\\", "PDM_cl"), expected);  // no doubled separator
  const std::pair<std::string, std::string> refused[] = {
      {"", "PDM_cl"}, {work, "../escape"}, {work, ""}};
  for (const auto& [folder, name] : refused) {
    EXPECT_THROW(LayoutPath(folder, name), std::invalid_argument) << folder << name;
  }
  // The first grid "Vs" in any case has no suffix; others have their name and index.
  EXPECT_EQ(GridSuffix(*MakeGrid("vS")) + "," + GridSuffix(*MakeGrid("Vs", 2)), ",_Vs_2");
}

TEST(LayoutTest, EachGridKeepsItsWidthsAndAHiddenColumnItsLastOne) {
  auto vs = MakeGrid("Vs");
  auto items = MakeGrid("ywGridXM");
  vs->SetColWidth(2, 1500);
  items->SetColWidth(2, 3300);
  Profile profile;
  WriteGridSettings(profile, *vs, true);
  WriteGridSettings(profile, *items, false);
  vs->SetColWidth(2, 0);  // the user drags the column shut
  WriteGridSettings(profile, *vs, true);
  EXPECT_EQ(profile.Get("VsIsHidden", "VsCol2", ""), "1");
  EXPECT_EQ(profile.Get("VsColWidth", "VsCol2", ""), "1500");  // 0 is never written
  EXPECT_EQ(profile.Get("VsColWidth_ywGridXM", "VsCol2", ""), "3300");
  EXPECT_FALSE(profile.Has("VsColWidth", "VsCol0"));  // hidden from the start: no width at all

  auto vsBack = MakeGrid("Vs");
  auto itemsBack = MakeGrid("ywGridXM");
  ApplyGridSettings(profile, *vsBack, true);
  ApplyGridSettings(profile, *itemsBack, true);
  EXPECT_EQ(vsBack->ColWidth(2), 0);  // hidden although a width is stored
  EXPECT_EQ(itemsBack->ColWidth(2), 3300);
  profile.Set("VsIsHidden", "VsCol2", "0");  // shown again
  ApplyGridSettings(profile, *vsBack, true);
  EXPECT_EQ(vsBack->ColWidth(2), 1500);
}

// A list that gains a column in the middle gives it the next layout number: every saved width
// and hidden flag stays on the column it was saved for, and the new one starts as the list
// made it.
TEST(LayoutTest, AColumnKeepsItsLayoutNumberWhereverItStands) {
  auto released = MakeGrid("Vs");
  released->SetColWidth(1, 1100);
  released->SetColWidth(2, 2200);
  released->SetColWidth(3, 3300);
  released->SetColHidden(2, true);
  Profile profile;
  WriteGridSettings(profile, *released, false);

  auto next = std::make_unique<Grid>("Vs", -1, forms::kFlexGrid);
  next->SetFormatString("ID|分类    |工位|项目            |金额      ");
  const int numbers[] = {0, 1, 4, 2, 3};
  for (int c = 0; c < next->Cols(); ++c) next->Col(c).layoutNumber = numbers[c];
  const int bayWidth = next->ColWidth(2);
  ApplyGridSettings(profile, *next, false);
  EXPECT_EQ(next->ColWidth(next->FindCol("分类")), 1100);
  EXPECT_TRUE(next->ColHidden(next->FindCol("项目")));
  EXPECT_EQ(next->ColWidth(next->FindCol("金额")), 3300);
  EXPECT_TRUE(next->ColHidden(0));
  EXPECT_FALSE(next->ColHidden(2));
  EXPECT_EQ(next->ColWidth(2), bayWidth);

  // Written back, each column lands under its own number.
  next->SetColWidth(2, 1700);
  WriteGridSettings(profile, *next, false);
  EXPECT_EQ(profile.Get("VsColWidth", ColumnKey(4), ""), "1700");
  EXPECT_EQ(profile.Get("VsColWidth", ColumnKey(3), ""), "3300");
  EXPECT_EQ(ColumnKey(*next, 3), ColumnKey(2));
}

TEST(LayoutTest, WidthsOnlyLeavesEverythingElseAloneInFileAndGrid) {
  const std::string file =
      "[VsColWidth]\nVsCol3=1800\n"
      "[VsColFormat]\nVsCol3=#,##0.00\n"
      "[VsColDataType]\nVsCol3=5\n"
      "[VsIsColMerge]\nVsCol1=1\n"
      "[VsIsGroupOn]\nVsCol1=1\n"
      "[VsIsTotalOn]\nVsCol3=1\n"
      "[Vs]\nVsRowHeight=400\n";
  Profile profile = Profile::Parse(file);
  auto grid = MakeGrid("Vs");
  grid->Col(3).format = "0.0";
  AddRows(*grid, {{"1", "A", "x", "10"}, {"2", "A", "y", "5"}});
  grid->SetColWidth(3, 1800);
  const std::string widthOnly = Summary(*grid);
  grid->SetColWidth(3, 500);
  ApplyGridSettings(profile, *grid, true);
  EXPECT_EQ(Summary(*grid), widthOnly);  // the width only: no format, merge, subtotals
  grid->SetColWidth(3, 900);
  WriteGridSettings(profile, *grid, true);
  EXPECT_EQ(profile.Get("VsColWidth", "VsCol3", ""), "900");
  EXPECT_EQ(profile.Get("VsColFormat", "VsCol3", ""), "#,##0.00");
  EXPECT_EQ(profile.Get("Vs", "VsRowHeight", ""), "400");
}

TEST(LayoutTest, FullRoundTrip) {
  auto grid = MakeGrid("Vs", 1);
  AddRows(*grid, {{"1", "A", "x", "10"}});
  grid->Col(1).merge = true;
  grid->Col(3).dataType = 5;
  grid->Col(3).format = "#,##0.00";
  grid->Col(3).alignment = 7;
  grid->SetRowHeight(320);
  grid->SetFixedRowHeight(410);
  grid->SetFrozenCols(2);
  Profile profile;
  WriteGridSettings(profile, *grid, false);
  auto back = MakeGrid("Vs", 1);
  AddRows(*back, {{"1", "A", "x", "10"}});
  ApplyGridSettings(profile, *back, false);
  EXPECT_EQ(Summary(*back), Summary(*grid));
}

TEST(LayoutTest, MissingFileOrDamagedValuesLeaveTheGridAsItIs) {
  TempFolder temp;
  auto grid = MakeGrid("Vs");
  grid->Col(3).dataType = 5;  // numeric without a format: must not become "###"
  grid->Col(2).format = "x";
  grid->SetFrozenCols(1);
  AddRows(*grid, {{"2", "B", "z", "7"}, {"1", "A", "x", "10"}});
  const std::string before = Summary(*grid);
  Profile none = Profile::Load(temp.Path() / "selfbb" / "nothing.txt");
  Profile damaged = Profile::Parse(
      "[VsColWidth]\nVsCol1=abc\nVsCol2=-5\ngarbage\n[VsIsHidden]\nVsCol1=\n[Vs]\nVsFixedCols="
      "99\n");
  for (const Profile* profile : {&none, &damaged}) {
    ApplyGridSettings(*profile, *grid, false);
    EXPECT_EQ(Summary(*grid), before);
    EXPECT_EQ(Column(*grid, 1), (std::vector<std::string>{"B", "A"}));  // not sorted
  }
}

TEST(LayoutTest, SubtotalsAreRebuiltFromGroupAndTotalColumns) {
  auto grid = MakeGrid("Vs");
  AddRows(*grid, {{"1", "A", "x", "10"}, {"2", "A", "y", "5.5"}, {"3", "B", "z", "7"}});
  // Grouping columns rebuild the subtotals even when the file asks to keep them.
  Profile profile =
      Profile::Parse("[VsIsGroupOn]\nVsCol1=1\n[VsIsTotalOn]\nVsCol3=1\n[Vs]\nVsTotalSave=1\n");
  for (int pass = 0; pass < 2; ++pass) {  // applying again rebuilds instead of adding more
    ApplyGridSettings(profile, *grid, false);
    EXPECT_EQ(Column(*grid, 1), (std::vector<std::string>{"A", "A", "小计", "B", "小计", "合计"}));
    ASSERT_EQ(grid->DataRows(), 6);
    EXPECT_DOUBLE_EQ(std::stod(grid->TextMatrix(3, 3)), 15.5);
    EXPECT_DOUBLE_EQ(std::stod(grid->TextMatrix(5, 3)), 7);
    EXPECT_DOUBLE_EQ(std::stod(grid->TextMatrix(6, 3)), 22.5);  // data rows only
    EXPECT_EQ(grid->TextMatrix(6, 0), "");  // column 0 is hidden: 合计 goes to column 1
  }

  // Without grouping columns the rows go, unless the file asks to keep them.
  ApplyGridSettings(Profile::Parse("[Vs]\nVsTotalSave=1\n"), *grid, false);
  EXPECT_EQ(grid->DataRows(), 6);
  ApplyGridSettings(Profile(), *grid, false);
  EXPECT_EQ(Column(*grid, 1), (std::vector<std::string>{"A", "A", "B"}));
}

TEST(LayoutTest, DecimalsAndSortFromReadOnlyKeys) {
  const std::tuple<const char*, int, const char*> decimals[] = {
      {"#,##0.00", 3, "#,##0.###"}, {"###.", 0, "###"}, {"0元", 1, "0.#元"}};
  for (const auto& [format, places, expected] : decimals) {
    EXPECT_EQ(WithDecimals(format, places), expected) << format;
  }

  auto grid = MakeGrid("Vs");
  AddRows(*grid, {{"1", "A", "x", "5"}, {"2", "B", "y", "12"}, {"3", "C", "z", "9"}});
  grid->Col(2).format = "keep";
  Profile profile = Profile::Parse(
      "[VsColDataType]\nVsCol0=3\nVsCol1=5\nVsCol2=8\nVsCol3=5\n"
      "[VsColFormat]\nVsCol1=#,##0.00\nVsCol2=###\nVsCol3=###\n"
      "[VsColFormat_Xs]\nVsCol1=3\nVsCol2=2\n"
      "[VsColValDataType]\nVsCol1=1\nVsCol2=3\nVsCol3=3\n"
      "[VsIsSort]\nVsCol3=2\n");
  ApplyGridSettings(profile, *grid, false);
  EXPECT_EQ(grid->Col(1).format, "#,##0.###");  // an explicit count wins over the value kind
  EXPECT_EQ(grid->Col(2).format, "keep");       // a text column takes no format
  EXPECT_EQ(grid->Col(3).format, "###.##");     // value kind 3: the third setting
  EXPECT_EQ(Column(*grid, 3), (std::vector<std::string>{"12", "9", "5"}));  // even: descending
}

void BuildForm(forms::Form& form) {
  form.Add<forms::TextBox>("txtMemo");
  form.Add<Grid>("Vs", -1, forms::kFlexGrid).SetFormatString("A|B|C");
  form.Add<Grid>("ywGrid", 1, forms::kLineGrid).SetFormatString("行号|编码|名称");
}

TEST(LayoutTest, DocumentCardsKeepOnlyLineGridWidthsInTheirFile) {
  TempFolder temp;
  const std::string work = temp.Text() + "/";
  forms::Form form;
  BuildForm(form);
  form.Get<Grid>("ywGrid", 1).SetColWidth(2, 2468);
  form.Get<forms::TextBox>("txtMemo").SetText("not kept");
  ASSERT_EQ(SaveLineGridWidths(work, "WS_S", form), "");
  Profile saved = Profile::Load(temp.Path() / "selfbb" / "WS_S.txt");
  EXPECT_EQ(saved.Get("Form", "ywGrid_1_Col2", ""), "2468");
  EXPECT_FALSE(saved.Has("Form", "txtMemo") || saved.Has("VsColWidth", "VsCol1"));

  forms::Form back;
  BuildForm(back);
  back.Get<forms::TextBox>("txtMemo").SetText("mine");
  ASSERT_EQ(LoadLineGridWidths(work, "WS_S", back), "");
  EXPECT_EQ(back.Get<Grid>("ywGrid", 1).ColWidth(2), 2468);
  EXPECT_EQ(back.Get<forms::TextBox>("txtMemo").Text(), "mine");
  EXPECT_NE(LoadLineGridWidths("", "WS_S", back), "");  // no work folder: an answer, no throw
}

// Hand-edited files carry all of this: keys before any section, comments, a value holding "=",
// blanks around keys, corrupt lines, a header missing its bracket, repeated keys and sections.
constexpr const char* kMessyFile =
    "top=0\r\n"
    "; written by hand\r\n"
    "[Form]\r\n"
    "txtFind=a=b\r\n"
    "  spaced =  two blanks kept\r\n"
    "not a key value line\r\n"
    "\r\n"
    "[Broken\r\n"
    "lost=1\r\n"
    "[Vs]\r\n"
    "VsRowHeight=300\r\n"
    "VsRowHeight=999\r\n"
    "VsFixedCols=12px\r\n"
    "Round= 2.6 \r\n"
    "=no key\r\n"
    "[Form]\r\n"
    "late=3\r\n";

TEST(ProfileTest, ReadsWhatCanBeReadAndSkipsTheRest) {
  Profile p = Profile::Parse(kMessyFile);
  EXPECT_EQ(p.Get("", "top", "d"), "0");
  EXPECT_EQ(p.Get("Form", "txtFind", "d"), "a=b");  // split at the first "="
  EXPECT_EQ(p.Get("Form", "spaced", "d"), "  two blanks kept");
  EXPECT_EQ(p.Get("Form", "late", "d"), "3");         // a repeated section still answers
  EXPECT_EQ(p.Get("Form", "lost", "d"), "d");         // under the broken header: no section owns it
  EXPECT_EQ(p.Get("Vs", "VsRowHeight", "d"), "300");  // first occurrence wins
  EXPECT_EQ(p.Get("form", "txtFind", "d"), "d");      // case-sensitive

  EXPECT_EQ(p.GetInt("Vs", "VsFixedCols", -1), -1);  // "12px" is not a number
  EXPECT_EQ(p.GetInt("Vs", "Round", -1), 3);
  Profile bools = Profile::Parse("[S]\na=True\nc=-1\nd=0\ne=yes\nf=99999999999\n");
  EXPECT_TRUE(bools.GetBool("S", "a", false) && bools.GetBool("S", "c", false));
  EXPECT_FALSE(bools.GetBool("S", "d", true) || bools.GetBool("S", "e", false));
  EXPECT_EQ(bools.GetInt("S", "f", 5), 5);  // out of range for an int
}

TEST(ProfileTest, SettingKeepsEveryOtherLineWhereItWas) {
  Profile p = Profile::Parse(std::string("\xEF\xBB\xBF") + kMessyFile);
  p.Set("Form", "txtFind", "new=value");
  p.Set("Form", "added", "x");  // after the first [Form] block's last key, before the blank
  p.Set("", "alsoTop", "1");    // after the keys before any header
  p.Set("Search", "Filter", "False");
  // Each new key right after the last key of its section, every other line as it was.
  std::string expected = std::string("\xEF\xBB\xBF") + kMessyFile + "[Search]\r\nFilter=False\r\n";
  expected.replace(expected.find("top=0\r\n"), 7, "top=0\r\nalsoTop=1\r\n");
  expected.replace(expected.find("txtFind=a=b"), 11, "txtFind=new=value");
  expected.insert(expected.find("not a key value"), "added=x\r\n");
  EXPECT_EQ(p.Text(), expected);

  // Names and values that would read back differently are refused and change nothing.
  std::string before = p.Text();
  // clang-format off
  const char* refused[][3] = {{"Form", "a=b", "1"}, {"Form", "", "1"}, {"Form", "[x", "1"},
      {"Form", "memo", "two\nlines"}, {" Form", "k", "1"}};
  // clang-format on
  for (const auto& [section, key, value] : refused) {
    EXPECT_THROW(p.Set(section, key, value), std::invalid_argument) << section << "/" << key;
  }
  EXPECT_EQ(p.Text(), before);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ProfileTest, FileRoundTripIsAtomicAndNeverClobbersAnUnreadableFile) {
  TempFolder folder;
  auto path = folder.Path() / "PDM_cl.txt";

  Profile missing = Profile::Load(path);
  EXPECT_EQ(missing.LoadError(), "");
  missing.Set("Form", "车牌号", "京A12345");
  ASSERT_EQ(missing.Save(), "");

  {
    std::ofstream append(path, std::ios::app | std::ios::binary);
    append << "# kept by hand\n[Other]\nkeep=me\n";
  }
  Profile loaded = Profile::Load(path);
  EXPECT_EQ(loaded.Get("Form", "车牌号", ""), "京A12345");
  loaded.Set("Form", "车牌号", "沪B1");
  ASSERT_EQ(loaded.Save(), "");
  EXPECT_EQ(ReadFile(path), "[Form]\n车牌号=沪B1\n# kept by hand\n[Other]\nkeep=me\n");
  // The temporary file went away with the rename.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

  // A path that cannot be read gives defaults, and Save refuses to replace it.
  std::filesystem::create_directory(folder.Path() / "dir.txt");
  Profile unreadable = Profile::Load(folder.Path() / "dir.txt");
  EXPECT_NE(unreadable.LoadError(), "");
  unreadable.Set("A", "b", "c");
  EXPECT_NE(unreadable.Save().find("could not be read"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "dir.txt"));
}

}  // namespace
}  // namespace ws::grid
