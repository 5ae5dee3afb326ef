// The master pickers driven as a host drives them: Init, Refresh, typing, keys, choosing,
// Validate, the popup menu and the search settings, on the shared in-memory host.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "db/sql.h"
#include "forms/input.h"
#include "grid/profile.h"
#include "pickers/master_picker.h"
#include "support/test_host.h"

namespace ws::pickers {
namespace {

using host::MsgAnswer;

class MasterPickerTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (1,'K01','甲运输公司')");
  }

  void AddVehicle(int64_t id, const std::string& number, const std::string& plate,
                  const std::string& engine, int64_t owner = 1) {
    host_.Exec(db::Sql("insert into clzl (车辆ID,车辆编号,车牌号,发动机号,车主ID) values (")
                   .Key(id)
                   .Raw(",")
                   .Text(number)
                   .Raw(",")
                   .Text(plate)
                   .Raw(",")
                   .Text(engine)
                   .Raw(",")
                   .Key(owner)
                   .Raw(")"));
  }

  // A picker initialised on the test host with its events recorded.
  std::unique_ptr<MasterPicker> Open(const MasterPickerDescription& description) {
    auto picker = std::make_unique<MasterPicker>(description);
    picker->Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(picker->Init(host_.System(), 0, ""));
    return picker;
  }

  int RowOf(MasterPicker& picker, int col, const std::string& text) {
    auto& grid = picker.Grid();
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      if (grid.TextMatrix(r, col) == text) return r;
    }
    return -1;
  }

  std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(MasterPickerTest, VehiclePickerListsAndChoosesByClickKeysAndEnter) {
  AddVehicle(12, "C002", "京B00001", "EB1");
  AddVehicle(11, "C001", "京A12345", "EA1");
  AddVehicle(13, "D001", "沪C9", "EC1", /*owner=*/0);
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());

  auto& grid = picker->Grid();
  ASSERT_EQ(grid.DataRows(), 3);
  EXPECT_EQ(grid.TextMatrix(1, 0), "C001");  // ordered by 车辆编号
  EXPECT_EQ(grid.TextMatrix(1, 5), "甲运输公司");
  EXPECT_EQ(grid.TextMatrix(3, 5), "");  // a vehicle without owner is still listed
  EXPECT_TRUE(grid.ColHidden(6));
  EXPECT_TRUE(grid.ColHidden(7));
  EXPECT_FALSE(grid.ColHidden(5));
  EXPECT_EQ(picker->CountLabel().Caption(), "共:3条");
  EXPECT_EQ(picker->ScrollRate(), 5);

  // Double click on the second row.
  ASSERT_TRUE(forms::Input::DoubleClick(grid, 2));
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 1);
  EXPECT_EQ(picker->GetValue(), "12");
  EXPECT_EQ(picker->GetText(), "京B00001");
  const auto& bag = picker->Objects();
  EXPECT_EQ(bag.Get("i车辆ID"), db::Value(int64_t{12}));
  EXPECT_EQ(bag.Get("i车主ID"), db::Value(int64_t{1}));
  EXPECT_EQ(bag.Text("i车辆编号"), "C002");
  EXPECT_EQ(bag.Text("i发动机号"), "EB1");
  EXPECT_EQ(bag.Text("i车主"), "甲运输公司");

  // Keys: Down twice from the first row stops on the last one; Up goes back; Enter chooses.
  grid.SetRow(1);
  picker->KeyDown(kKeyDown);
  picker->KeyDown(kKeyDown);
  picker->KeyDown(kKeyDown);
  EXPECT_EQ(grid.Row(), 3);
  picker->KeyDown(kKeyUp);
  picker->KeyDown(kKeyUp);
  picker->KeyDown(kKeyUp);
  EXPECT_EQ(grid.Row(), 1);  // never into the header
  picker->KeyDown(kKeyEnter);
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 2);
  EXPECT_EQ(picker->GetValue(), "11");
  EXPECT_EQ(picker->GetText(), "京A12345");
}

TEST_F(MasterPickerTest, ChoosingOnAnEmptyGridGivesTheEmptyChoice) {
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  EXPECT_EQ(picker->CountLabel().Caption(), "共:0条");
  picker->SetValue("77");
  picker->KeyDown(kKeyEnter);
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 1);
  EXPECT_EQ(picker->GetValue(), "0");
  EXPECT_EQ(picker->GetText(), "");
  EXPECT_EQ(picker->Objects().Get("i车辆ID"), db::Value(int64_t{0}));
  EXPECT_EQ(picker->Objects().Get("i车牌号"), db::Value(std::string()));
  ASSERT_EQ(picker->Objects().Items().size(), 8u);
}

TEST_F(MasterPickerTest, ValidateMatchesAPrefixOfEitherColumnAndTheFirstRowWins) {
  AddVehicle(21, "C100", "粤A1", "E1");
  AddVehicle(22, "C101", "粤A2", "E2");
  AddVehicle(23, "X9", "C1-plate", "E3");
  auto picker = Open(VehiclePicker());

  struct Case {
    std::string typed;
    std::string value;
    std::string text;
  };
  const Case cases[] = {
      {"C10", "21", "粤A1"},      // code prefix, two rows match: the first returned wins
      {"粤A2", "22", "粤A2"},     // plate prefix
      {"C1-", "23", "C1-plate"},  // plate prefix that is no code prefix
      {"A1", "0", ""},            // inside, not a prefix
      {"zzz", "0", ""},
  };
  for (const auto& c : cases) {
    std::string value = "x", text = "x";
    EXPECT_FALSE(picker->Validate("", "", "", c.typed, value, text)) << c.typed;
    EXPECT_EQ(value, c.value) << c.typed;
    EXPECT_EQ(text, c.text) << c.typed;
    EXPECT_EQ(picker->GetValue(), c.value) << c.typed;
    EXPECT_EQ(picker->GetText(), c.text) << c.typed;
    EXPECT_EQ(picker->Objects().Long("i车辆ID"), db::NumericValue(c.value)) << c.typed;
  }
  // The owner comes through the join, as a number and a name.
  std::string value, text;
  picker->Validate("", "", "", "X9", value, text);
  EXPECT_EQ(picker->Objects().Get("i车主ID"), db::Value(int64_t{1}));
  EXPECT_EQ(picker->Objects().Text("i车主"), "甲运输公司");
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(MasterPickerTest, TypedQuotesNeverBreakTheStatement) {
  AddVehicle(31, "V1", "O'Brien-1", "E");
  auto picker = Open(VehiclePicker());
  std::string value, text;
  picker->Validate("", "", "", "O'Brien", value, text);
  EXPECT_EQ(value, "31");
  EXPECT_EQ(text, "O'Brien-1");
  // An attempt to close the literal and add a condition finds nothing and changes nothing.
  picker->Validate("", "", "", "x' OR '1'='1", value, text);
  EXPECT_EQ(value, "0");
  EXPECT_TRUE(host_.Dialogs().Boxes().empty()) << host_.Dialogs().Boxes().front().text;
  EXPECT_NE(host_.Db().Log().back().find("'x'' OR ''1''=''1%'"), std::string::npos)
      << host_.Db().Log().back();
}

// "%", "_", "\" and "'" typed into a picker match themselves: a typed "%" used to resolve to the
// first row of the list.
TEST_F(MasterPickerTest, TypedWildcardsMatchOnlyThemselves) {
  AddVehicle(41, "A1", "粤A1", "E1");
  AddVehicle(42, "B_1", "50%off", "E2");
  AddVehicle(43, "C\\1", "O'B", "E3");
  auto picker = Open(VehiclePicker());
  struct Case {
    std::string typed;
    std::string value;
  };
  const Case cases[] = {
      {"%", "0"},    {"_", "0"},    {"\\", "0"},  {"'", "0"},   {"B_", "42"},
      {"50%", "42"}, {"C\\", "43"}, {"O'", "43"}, {"B%1", "0"}, {"A_", "0"},
  };
  for (const auto& c : cases) {
    std::string value, text;
    picker->Validate("", "", "", c.typed, value, text);
    EXPECT_EQ(value, c.value) << c.typed;
  }
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(MasterPickerTest, ItemPickerTakesValueAndTextFromItsParameters) {
  host_.Exec(
      "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (5,'X01','换机油','保养')");
  host_.Exec("insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (6,'X02','补胎','修理')");
  auto picker = Open(ItemPicker());
  ASSERT_TRUE(picker->Refresh());
  EXPECT_TRUE(picker->Grid().ColHidden(3));

  forms::Input::DoubleClick(picker->Grid(), 2);
  EXPECT_EQ(picker->GetValue(), "6");  // defaults: 项目ID / 项目编码
  EXPECT_EQ(picker->GetText(), "X02");
  EXPECT_EQ(picker->Objects().Text("i维修项目"), "补胎");
  EXPECT_EQ(picker->Objects().Get("i项目ID"), db::Value(int64_t{6}));

  auto parameters = std::make_shared<host::Parameters>();
  parameters->Set("field_code", "项目编码");
  parameters->Set("field_name", "维修项目");
  picker->SetParameters(parameters);
  forms::Input::DoubleClick(picker->Grid(), 1);
  EXPECT_EQ(picker->GetValue(), "X01");
  EXPECT_EQ(picker->GetText(), "换机油");
  std::string value, text;
  picker->Validate("", "", "", "补", value, text);
  EXPECT_EQ(value, "X02");
  EXPECT_EQ(text, "补胎");

  // An empty parameter does not count.
  parameters->Set("field_code", "");
  picker->Validate("", "", "", "X01", value, text);
  EXPECT_EQ(value, "5");
}

TEST_F(MasterPickerTest, CategoryPickerReadsTheChosenRowAgain) {
  host_.Exec("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (3,'F1','大修','发动机')");
  auto picker = Open(CategoryPicker());
  ASSERT_TRUE(picker->Refresh());
  // The row changed after the list was read: Value and Text come from the database.
  host_.Exec("update pdmwxfl set 维修分类='大修(新)' where 维修分类ID=3");
  forms::Input::DoubleClick(picker->Grid(), 1);
  EXPECT_EQ(picker->GetValue(), "3");
  EXPECT_EQ(picker->GetText(), "大修(新)");
  EXPECT_EQ(picker->Objects().Text("i维修分类"), "大修");  // the data object is the grid row
  EXPECT_EQ(picker->Objects().Text("i说明"), "发动机");
}

TEST_F(MasterPickerTest, MenuAddAndEditHandTheCardToTheHost) {
  AddVehicle(41, "C1", "P1", "E1");
  auto picker = Open(VehiclePicker());
  auto& menu = picker->Menu();

  // Nothing listed yet: Add works, Edit raises nothing.
  ASSERT_TRUE(forms::Input::MenuChoice(menu, "Edit"));
  ASSERT_TRUE(forms::Input::MenuChoice(menu, "Add"));
  ASSERT_EQ(menu.Items().size(), 4u);
  EXPECT_EQ(menu.Items()[0].caption, "新建车辆信息");
  EXPECT_EQ(menu.Items()[2].caption, "-");
  EXPECT_EQ(menu.Items()[3].caption, "删除车辆信息");
  EXPECT_EQ(menu.Items()[3].group, "PDM");
  auto events = host_.Sink().Named("EditForm");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].args, (std::vector<db::Value>{int64_t{200012}, int64_t{0}, db::Value{}, 1}));

  ASSERT_TRUE(picker->Refresh());
  picker->Grid().SetRow(1);
  ASSERT_TRUE(forms::Input::MenuChoice(menu, "Edit"));
  events = host_.Sink().Named("EditForm");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].args, (std::vector<db::Value>{int64_t{200012}, int64_t{41}, db::Value{}, 2}));

  auto items = Open(ItemPicker());
  forms::Input::MenuChoice(items->Menu(), "Add");
  auto categories = Open(CategoryPicker());
  forms::Input::MenuChoice(categories->Menu(), "Add");
  events = host_.Sink().Named("EditForm");
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[2].args[0], db::Value(int64_t{200013}));
  EXPECT_EQ(events[3].args[0], db::Value(int64_t{200029}));
  EXPECT_EQ(items->Menu().Items()[1].caption, "修改维修项目");
  EXPECT_EQ(categories->Menu().Items()[3].caption, "删除维修分类");
}

// The three pickers' delete, each on a row in use and a free one.
struct DeleteCase {
  const MasterPickerDescription& (*description)();
  std::string insertFree;  // id 2, shown text "free"
  std::string insertUsed;  // id 1
  std::string use;         // makes id 1 used
  std::string count;       // rows left
  std::string success;
};

class MasterPickerDeleteTest : public MasterPickerTest,
                               public ::testing::WithParamInterface<int> {};

const DeleteCase& DeleteCaseOf(int i) {
  static const DeleteCase cases[] = {
      {&VehiclePicker, "insert into clzl (车辆ID,车辆编号,车牌号) values (2,'B','free')",
       "insert into clzl (车辆ID,车辆编号,车牌号) values (1,'A','used')",
       "insert into wsdj (单据ID,progid,车辆ID) values (9,200001,1)", "select count(*) from clzl",
       "成功删除数据,往来ID号=2"},
      {&ItemPicker, "insert into PDMWXXM (AutoID,编码,维修项目) values (2,'B','free')",
       "insert into PDMWXXM (AutoID,编码,维修项目) values (1,'A','used')",
       "insert into wsdjxm (单据明细ID,单据ID,项目ID) values (9,9,1)",
       "select count(*) from PDMWXXM", "成功删除数据,往来ID号=2"},
      {&CategoryPicker, "insert into pdmwxfl (维修分类ID,编码,维修分类) values (2,'B','free')",
       "insert into pdmwxfl (维修分类ID,编码,维修分类) values (1,'A','used')",
       "insert into wsdj (单据ID,progid,维修分类ID) values (9,200001,1)",
       "select count(*) from pdmwxfl", "成功删除数据,维修分类ID号=2"},
  };
  return cases[i];
}

TEST_P(MasterPickerDeleteTest, RefusesRowsInUseAsksOnceAndDeletesOnYes) {
  const DeleteCase& c = DeleteCaseOf(GetParam());
  const MasterPickerDescription& description = c.description();
  host_.Exec(c.insertUsed);
  host_.Exec(c.insertFree);
  host_.Exec(c.use);
  auto picker = Open(description);
  ASSERT_TRUE(picker->Refresh());
  auto& grid = picker->Grid();
  auto& dialogs = host_.Dialogs();

  // In use: refused with the picker's own text and title, without a question.
  grid.SetRow(RowOf(*picker, 1, "used"));
  ASSERT_TRUE(forms::Input::MenuChoice(picker->Menu(), "Delete"));
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].args,
            (std::vector<db::Value>{description.refusalText, 2, description.title}));
  EXPECT_TRUE(dialogs.Boxes().empty());
  EXPECT_EQ(host_.Scalar(c.count), db::Value(int64_t{2}));

  // Free, answered No: asked about the row, nothing deleted.
  grid.SetRow(RowOf(*picker, 1, "free"));
  dialogs.Queue(MsgAnswer::No);
  EXPECT_FALSE(picker->DeleteCurrent());
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, "是否删除当前记录:free");
  EXPECT_EQ(dialogs.Boxes()[0].title, "提示:");
  EXPECT_EQ(dialogs.Boxes()[0].buttons, host::MsgButtons::YesNo);
  EXPECT_EQ(host_.Scalar(c.count), db::Value(int64_t{2}));
  EXPECT_EQ(grid.DataRows(), 2);

  // Yes: deleted in the database and the grid, success reported.
  dialogs.Queue(MsgAnswer::Yes);
  EXPECT_TRUE(picker->DeleteCurrent());
  EXPECT_EQ(host_.Scalar(c.count), db::Value(int64_t{1}));
  EXPECT_EQ(grid.DataRows(), 1);
  EXPECT_EQ(RowOf(*picker, 1, "free"), -1);
  errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1].args, (std::vector<db::Value>{c.success, 1, description.title}));
  EXPECT_FALSE(host_.Db().InTransaction());
}

INSTANTIATE_TEST_SUITE_P(AllMasters, MasterPickerDeleteTest, ::testing::Values(0, 1, 2));

TEST_F(MasterPickerTest, DeleteFailureIsRolledBackAndReported) {
  AddVehicle(51, "C1", "P1", "E1");
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  picker->Grid().SetRow(1);
  // A trigger makes the delete fail inside the transaction.
  host_.RefuseOn("refuse_delete", "clzl", "DELETE", "locked");
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_FALSE(picker->DeleteCurrent());
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].args[0].ToText().find("删除数据时出错："), std::string::npos);
  EXPECT_NE(errors[0].args[0].ToText().find("locked"), std::string::npos);
  EXPECT_EQ(errors[0].args[1], db::Value(8));
  EXPECT_EQ(picker->Grid().DataRows(), 1);
  EXPECT_FALSE(host_.Db().InTransaction());
}

TEST_F(MasterPickerTest, SearchDefaultsToFindModeOnTheFirstTwoColumnsAndPersists) {
  AddVehicle(61, "C1", "京A1", "ENG-X");
  AddVehicle(62, "C2", "京B2", "ENG-Y");
  AddVehicle(63, "C3", "沪C3", "ENG-Z");
  auto picker = Open(VehiclePicker());
  picker->DoGetFormStatus();  // no layout file yet
  ASSERT_TRUE(picker->Refresh());
  auto& grid = picker->Grid();
  EXPECT_EQ(picker->SearchColumns(), (std::vector<int>{0, 1}));
  EXPECT_FALSE(picker->FilterCheck().Checked());

  // Find mode: the first match becomes current, nothing is hidden.
  picker->SetText("京b");
  EXPECT_EQ(picker->GetText(), "京b");
  EXPECT_EQ(picker->SearchBox().Text(), "京b");
  EXPECT_EQ(grid.TextMatrix(grid.Row(), 1), "京B2");
  for (int r = 1; r < grid.Rows(); ++r) EXPECT_FALSE(grid.RowHidden(r));
  // The engine number is not searched by default.
  picker->SetText("ENG-Z");
  EXPECT_EQ(grid.TextMatrix(grid.Row(), 1), "京B2");

  // The check box switches to filter mode and searches again.
  picker->SetText("京");
  ASSERT_TRUE(forms::Input::Click(picker->FilterCheck()));
  EXPECT_TRUE(picker->SearchBox().filterMode);
  EXPECT_FALSE(grid.RowHidden(1));
  EXPECT_FALSE(grid.RowHidden(2));
  EXPECT_TRUE(grid.RowHidden(3));
  // Down skips the hidden row; Enter on a hidden row is no choice at all.
  grid.SetRow(2);
  picker->KeyDown(kKeyDown);
  EXPECT_EQ(grid.Row(), 2);
  grid.SetRow(3);
  picker->KeyDown(kKeyEnter);
  EXPECT_EQ(picker->GetValue(), "0");

  // Clear writes the settings; the next picker reads them back.
  picker->SearchBox().searchColumns = {false, false, true};
  EXPECT_TRUE(picker->Clear());
  const std::string file = ReadFile(host_.WorkFolder() / "selfbb" / "sel_cl.txt");
  EXPECT_NE(file.find("[Search]"), std::string::npos) << file;
  EXPECT_NE(file.find("Filter=True"), std::string::npos) << file;

  auto again = Open(VehiclePicker());
  again->DoGetFormStatus();
  ASSERT_TRUE(again->Refresh());
  EXPECT_TRUE(again->FilterCheck().Checked());
  EXPECT_EQ(again->SearchColumns(), (std::vector<int>{2}));
  again->SetText("eng-z");
  EXPECT_EQ(again->Grid().DataRows(), 3);
  EXPECT_TRUE(again->Grid().RowHidden(1));
  EXPECT_TRUE(again->Grid().RowHidden(2));
  EXPECT_FALSE(again->Grid().RowHidden(3));
}

TEST_F(MasterPickerTest, LoadFailureShowsTheErrorBoxAndKeepsTheGrid) {
  AddVehicle(71, "C1", "P1", "E1");
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  host_.Exec("DROP TABLE pdmwldw");
  EXPECT_FALSE(picker->Refresh());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].title, "错误：");
  EXPECT_EQ(host_.Dialogs().Boxes()[0].icon, host::MsgIcon::Critical);
  EXPECT_NE(host_.Dialogs().Boxes()[0].text.find("pdmwldw"), std::string::npos);
  EXPECT_EQ(picker->Grid().DataRows(), 1);
  EXPECT_EQ(picker->Grid().TextMatrix(1, 1), "P1");
}

TEST_F(MasterPickerTest, WheelScrollsByTheConfiguredRate) {
  host_.Exec(
      "update xt_accinformation set item_value='3' where system_code='system' and "
      "item_code='mouseeventscrollrate'");
  for (int i = 1; i <= 10; ++i) {
    AddVehicle(100 + i, "C" + std::to_string(10 + i), "P" + std::to_string(i), "E");
  }
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  EXPECT_EQ(picker->ScrollRate(), 3);
  EXPECT_EQ(picker->WheelRange(), 3);  // (11 rows - 1) / 3
  picker->MouseWheel(2);
  EXPECT_EQ(picker->TopRow(), 2);
  picker->MouseWheel(3);
  EXPECT_EQ(picker->TopRow(), 9);
  picker->MouseWheel(5);
  EXPECT_EQ(picker->TopRow(), 10);  // never past the last row

  // The rate is a number, fractions included; only 0 or nothing falls back to 5.
  host_.Exec(
      "update xt_accinformation set item_value='2.5' where system_code='system' and "
      "item_code='mouseeventscrollrate'");
  auto fractional = Open(VehiclePicker());
  ASSERT_TRUE(fractional->Refresh());
  EXPECT_EQ(fractional->ScrollRate(), 2.5);
  EXPECT_EQ(fractional->WheelRange(), 4);  // (11 rows - 1) / 2.5
  fractional->MouseWheel(2);
  EXPECT_EQ(fractional->TopRow(), 2);
  fractional->MouseWheel(3);
  EXPECT_EQ(fractional->TopRow(), 7);  // the integer part of 7.5
  host_.Exec(
      "update xt_accinformation set item_value='' where system_code='system' and "
      "item_code='mouseeventscrollrate'");
  EXPECT_EQ(Open(VehiclePicker())->ScrollRate(), 5);
}

}  // namespace
}  // namespace ws::pickers
