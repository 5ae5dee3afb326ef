// The pickers driven as a host drives them. The three master pickers, one implementation
// configured by a description: listing, choosing by click, keys and Enter, the empty choice,
// Validate on a typed prefix (quotes and wildcards included), the popup menu with its card and
// its delete; then what only one of them does (the vehicle's owner join, search settings, load
// failure and wheel; the item's value and text parameters; the category's second read). Then the
// generic picker and the typed value in its conditions; codes in the order a clerk reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>

#include "db/sql.h"
#include "forms/input.h"
#include "framework/natural_order.h"
#include "pickers/generic_picker.h"
#include "pickers/master_picker.h"
#include "support/test_host.h"

namespace ws::pickers {
namespace {

using framework::kKeyEnter;
using framework::NaturalLess;
using framework::SortRowsNaturally;
using framework::WithTyped;
using host::MsgAnswer;

struct PickerCase {
  const char* name;
  const MasterPickerDescription& (*description)();
  const char* table;
  const char* columns;  // id, code, name (the second grid column)
  const char* use;      // makes row 1 used
  const char* idProperty;
  const char* codeProperty;
  const char* nameProperty;
  bool textIsCode;  // Text is the code, not the name
  int64_t card;
  const char* deleted;  // success text ahead of the id
  int nameColumn;       // the grid column of the name (a vehicle's plate leads its list)
  friend void PrintTo(const PickerCase& c, std::ostream* out) { *out << c.name; }
};

const PickerCase kPickers[] = {
    {"Vehicle", &VehiclePicker, "clzl", "车辆ID,车辆编号,车牌号",
     "insert into wsdj (单据ID,progid,车辆ID) values (9,200001,1)", "i车辆ID", "i车辆编号",
     "i车牌号", false, 200012, "成功删除数据,往来ID号=", 0},
    {"Item", &ItemPicker, "PDMWXXM", "AutoID,编码,维修项目",
     "insert into wsdjxm (单据明细ID,单据ID,项目ID) values (9,9,1)", "i项目ID", "i项目编码",
     "i维修项目", true, 200013, "成功删除数据,往来ID号=", 1},
    {"Category", &CategoryPicker, "pdmwxfl", "维修分类ID,编码,维修分类",
     "insert into wsdj (单据ID,progid,维修分类ID) values (9,200001,1)", "i维修分类ID", "i编码",
     "i维修分类", false, 200029, "成功删除数据,维修分类ID号=", 1},
};

class MasterPickerTest : public test::HostTest {
 protected:
  void Add(const PickerCase& c, int64_t id, const std::string& code, const std::string& name) {
    db::Sql sql("insert into " + std::string(c.table) + " (" + c.columns + ") values (");
    host_.Exec(sql.Key(id).Raw(",").Text(code).Raw(",").Text(name).Raw(")"));
  }
  // A picker initialised on the test host with its events recorded.
  std::unique_ptr<MasterPicker> Open(const MasterPickerDescription& description) {
    auto picker = std::make_unique<MasterPicker>(description);
    picker->Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(picker->Init(host_.System(), 0, ""));
    return picker;
  }
  // Value, Text and the data object name the chosen row (id 0 and empty texts for none).
  static void ExpectChosen(MasterPicker& picker, const PickerCase& c, int64_t id,
                           const std::string& code, const std::string& name) {
    EXPECT_EQ(picker.GetValue(), std::to_string(id));
    EXPECT_EQ(picker.GetText(), c.textIsCode ? code : name);
    EXPECT_EQ(picker.Objects().Get(c.idProperty), db::Value(id));
    EXPECT_EQ(picker.Objects().Text(c.codeProperty), code);
    EXPECT_EQ(picker.Objects().Text(c.nameProperty), name);
  }
};

class EveryMasterPickerTest : public MasterPickerTest,
                              public ::testing::WithParamInterface<PickerCase> {};

TEST_P(EveryMasterPickerTest, ListsAndChoosesByClickKeysAndEnter) {
  const PickerCase& c = GetParam();
  auto picker = Open(c.description());
  ASSERT_TRUE(picker->Refresh());
  picker->KeyDown(kKeyEnter);
  ExpectChosen(*picker, c, 0, "", "");

  Add(c, 12, "C002", "京B00001");
  Add(c, 11, "C001", "京A12345");
  Add(c, 13, "D001", "沪C9");
  ASSERT_TRUE(picker->Refresh());
  auto& grid = picker->Grid();
  ASSERT_EQ(grid.DataRows(), 3);
  ASSERT_TRUE(forms::Input::DoubleClick(grid, 2));
  ExpectChosen(*picker, c, 12, "C002", "京B00001");

  grid.SetRow(1);  // the lowest code first
  picker->KeyDown(kKeyEnter);
  ExpectChosen(*picker, c, 11, "C001", "京A12345");
}

TEST_P(EveryMasterPickerTest, ValidateTakesTheFirstRowWhoseCodeOrNameStartsWithTheText) {
  const PickerCase& c = GetParam();
  // Row i holds id 20 + i (row 0: the empty choice).
  const std::tuple<int64_t, const char*, const char*> rows[] = {
      {0, "", ""},           {21, "C100", "粤A1"},   {22, "C101", "粤A2"}, {23, "X9", "C1-plate"},
      {24, "B_1", "50%off"}, {25, "C\\1", "O'Brien"}};
  for (const auto& [id, code, name] : rows)
    if (id > 0) Add(c, id, code, name);
  auto picker = Open(c.description());
  // "C10": two rows match, the first in code order wins; "A1" is inside, not a prefix.
  // Wildcards and the escape character typed match only themselves.
  const std::pair<std::string, int> cases[] = {{"C10", 1},  {"粤A2", 2},         {"A1", 0},
                                               {"O'Br", 5}, {"x' OR '1'='1", 0}, {"%", 0},
                                               {"B_", 4},   {"C\\", 5},          {"B%1", 0}};
  for (const auto& [typed, row] : cases) {
    SCOPED_TRACE(typed);
    std::string value = "x", text = "x";
    EXPECT_FALSE(picker->Validate("", "", "", typed, value, text));
    EXPECT_EQ(value + "|" + text, picker->GetValue() + "|" + picker->GetText());
    const auto& [id, code, name] = rows[row];
    ExpectChosen(*picker, c, id, code, name);
  }
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_P(EveryMasterPickerTest, MenuHandsTheCardToTheHostAndDeletesOnlyFreeRows) {
  const PickerCase& c = GetParam();
  const MasterPickerDescription& description = c.description();
  auto picker = Open(description);
  auto& menu = picker->Menu();

  Add(c, 1, "A", "在用");  // row 1 in code (or plate) order
  Add(c, 2, "B", "空闲");
  host_.Exec(c.use);
  ASSERT_TRUE(picker->Refresh());
  auto& grid = picker->Grid();
  grid.SetRow(2);
  ASSERT_TRUE(forms::Input::MenuChoice(menu, "Edit"));
  const auto events = host_.Sink().Named("EditForm");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].args, (std::vector<db::Value>{c.card, int64_t{2}, db::Value{}, 2}));

  // In use: refused with the picker's own text and title, without a question.
  auto& dialogs = host_.Dialogs();
  grid.SetRow(1);
  ASSERT_TRUE(forms::Input::MenuChoice(menu, "Delete"));
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].args,
            (std::vector<db::Value>{description.refusalText, 2, description.title}));
  EXPECT_TRUE(dialogs.Boxes().empty());
  // Free, answered No: asked about the row, nothing deleted; Yes: deleted and reported.
  grid.SetRow(2);
  dialogs.Queue(MsgAnswer::No);
  EXPECT_FALSE(picker->DeleteCurrent());
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text + "|" + dialogs.Boxes()[0].title,
            "是否删除当前记录:空闲|提示:");
  const std::string count = std::string("select count(*) from ") + c.table;
  EXPECT_EQ(host_.Scalar(count).ToLong(), 2);
  dialogs.Queue(MsgAnswer::Yes);
  EXPECT_TRUE(picker->DeleteCurrent());
  EXPECT_EQ(host_.Scalar(count).ToLong(), 1);
  ASSERT_EQ(grid.DataRows(), 1);
  EXPECT_EQ(grid.TextMatrix(1, c.nameColumn), "在用");
  errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1].args,
            (std::vector<db::Value>{std::string(c.deleted) + "2", 1, description.title}));
  EXPECT_FALSE(host_.Db().InTransaction());
}

INSTANTIATE_TEST_SUITE_P(Masters, EveryMasterPickerTest, ::testing::ValuesIn(kPickers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MasterPickerTest, ItemParametersNameValueAndTextAndItemAndCategoryReadTheRowAgain) {
  host_.Exec(
      "insert into PDMWXXM (AutoID,编码,维修项目) values (5,'X01','换机油'),(6,'X02','补胎')");
  host_.Exec("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (3,'F1','大修','发动机')");
  auto item = Open(ItemPicker());
  auto category = Open(CategoryPicker());
  ASSERT_TRUE(item->Refresh() && category->Refresh());
  auto parameters = std::make_shared<host::Parameters>();
  parameters->Set("field_code", "项目编码");
  parameters->Set("field_name", "维修项目");
  item->SetParameters(parameters);
  // The rows changed after the lists were read: Value and Text come from the database, the
  // data object from the grid.
  host_.Exec("update PDMWXXM set 维修项目='换机油(新)' where AutoID=5");
  host_.Exec("update pdmwxfl set 维修分类='大修(新)' where 维修分类ID=3");
  forms::Input::DoubleClick(item->Grid(), 1);
  forms::Input::DoubleClick(category->Grid(), 1);
  EXPECT_EQ(item->GetValue() + "|" + item->GetText(), "X01|换机油(新)");
  EXPECT_EQ(category->GetText() + "|" + category->Objects().Text("i维修分类") + "|" +
                category->Objects().Text("i说明"),
            "大修(新)|大修|发动机");
  std::string value, text;
  item->Validate("", "", "", "补", value, text);
  EXPECT_EQ(value + "|" + text, "X02|补胎");
}

TEST_F(MasterPickerTest, VehicleOwnerComesThroughTheJoinAndFilterModeHidesRows) {
  host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (1,'K01','甲运输公司')");
  host_.Exec(
      "insert into clzl (车辆ID,车辆编号,车牌号,发动机号,车主ID) values (61,'C1','京A1','ENG-X',1),"
      "(62,'C2','京B2','ENG-Y',0),(63,'C3','沪C3','ENG-Z',0)");
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  auto& grid = picker->Grid();
  // The owner comes through the join.
  EXPECT_EQ(grid.TextMatrix(1, 5), "甲运输公司");
  forms::Input::DoubleClick(grid, 1);
  EXPECT_EQ(picker->Objects().Text("i车主") + picker->Objects().Text("i发动机号"),
            "甲运输公司ENG-X");
  // Typing narrows the list to the rows whose first two columns hold the text; the count
  // follows.
  picker->SetText("京");
  EXPECT_FALSE(grid.RowHidden(1) || grid.RowHidden(2));
  EXPECT_TRUE(grid.RowHidden(3));
  EXPECT_EQ(picker->CountLabel().Caption(), "2 / 3");
  // Enter on a hidden row is no choice at all.
  grid.SetRow(3);
  picker->KeyDown(kKeyEnter);
  EXPECT_EQ(picker->GetValue(), "0");
  // The filter box turned off, typing only finds: every row stays.
  ASSERT_TRUE(forms::Input::Click(picker->FilterCheck()));
  EXPECT_FALSE(grid.RowHidden(3));
  EXPECT_EQ(picker->CountLabel().Caption(), "共:3条");
}

// A shop's vehicles grow with its history: the picker reads 200 of them at a time in plate
// order, the next page when asked, and a typed prefix goes to the database, which finds
// vehicles far past the first page by plate or by number.
TEST_F(MasterPickerTest, VehiclesBeyondAPageComeAPageAtATimeAndTypingNarrowsInTheDatabase) {
  std::string rows;
  for (int i = 0; i < 450; ++i) {
    char plate[16];
    std::snprintf(plate, sizeof plate, "京A%03d", i);
    rows += (i ? ",(" : "(") + std::to_string(i + 1) + ",'N" + std::to_string(9000 + i) + "','" +
            plate + "')";
  }
  host_.Exec("insert into clzl (车辆ID,车辆编号,车牌号) values " + rows);
  auto picker = Open(VehiclePicker());
  auto& grid = picker->Grid();
  host_.Db().ClearLog();
  host_.Db().EnableLog(true);
  ASSERT_TRUE(picker->Refresh());
  ASSERT_EQ(grid.DataRows(), 200);
  EXPECT_EQ(grid.TextMatrix(1, 0), "京A000");
  EXPECT_EQ(grid.TextMatrix(200, 0), "京A199");
  EXPECT_TRUE(picker->HasMore());
  EXPECT_EQ(picker->CountLabel().Caption(), "共:200+条");

  // The next pages join on without a gap or a repeat; the last says no more follow.
  ASSERT_TRUE(picker->LoadMore());
  ASSERT_TRUE(picker->LoadMore());
  EXPECT_FALSE(picker->LoadMore());
  ASSERT_EQ(grid.DataRows(), 450);
  for (int r = 1; r <= 450; ++r) {
    char plate[16];
    std::snprintf(plate, sizeof plate, "京A%03d", r - 1);
    ASSERT_EQ(grid.TextMatrix(r, 0), plate) << r;
  }
  EXPECT_FALSE(picker->HasMore());
  EXPECT_EQ(picker->CountLabel().Caption(), "共:450条");

  // A plate prefix of the third page, in any case; then a vehicle number's.
  picker->SetText("京a42");
  ASSERT_EQ(grid.DataRows(), 10);  // 京A420 to 京A429
  EXPECT_EQ(grid.TextMatrix(1, 0) + grid.TextMatrix(10, 0), "京A420京A429");
  picker->SetText("N9445");
  ASSERT_EQ(grid.DataRows(), 1);
  EXPECT_EQ(grid.TextMatrix(1, 0), "京A445");
  forms::Input::DoubleClick(grid, 1);
  EXPECT_EQ(picker->GetValue(), "446");
  // Narrowed to more than a page, the next page keeps to the narrowing.
  picker->SetText("京A");
  EXPECT_EQ(grid.DataRows(), 200);
  ASSERT_TRUE(picker->LoadMore() && picker->LoadMore());
  EXPECT_EQ(grid.DataRows(), 450);
  // The text taken away, the first page of the whole list is back.
  picker->SetText("");
  EXPECT_EQ(grid.DataRows(), 200);
  EXPECT_TRUE(picker->HasMore());

  // No page read more than its rows and the one that tells whether more follow.
  host_.Db().EnableLog(false);
  size_t pages = 0;
  for (const std::string& sql : host_.Db().Log()) {
    // The count that tells many matches from few stops at its own bound.
    if (sql.find("clzl") == std::string::npos || sql.find("COUNT(") != std::string::npos) continue;
    ++pages;
    EXPECT_TRUE(sql.find("LIMIT 201") != std::string::npos ||
                sql.find("TOP 201") != std::string::npos)
        << sql;
  }
  EXPECT_GE(pages, 8u);
}

// A prefix that most vehicles share is answered by walking the plates in order, which many
// matches fill at once, rather than by sorting every match; the rows are the same either way.
TEST_F(MasterPickerTest, APrefixManyVehiclesShareGivesTheSamePagesWithoutSortingThemAll) {
  std::string rows;
  for (int i = 0; i < 2100; ++i) {
    char plate[16];
    std::snprintf(plate, sizeof plate, "沪B%04d", 2099 - i);  // ids against plate order
    rows +=
        (i ? ",(" : "(") + std::to_string(i + 1) + ",'M" + std::to_string(i) + "','" + plate + "')";
  }
  host_.Exec("insert into clzl (车辆ID,车辆编号,车牌号) values " + rows);
  // Matches stored in lower case sort past every plate in upper case, 沪C1 (no match) among
  // them: the pages read by the upper-case range give way to the walk where it runs out.
  host_.Exec(
      "insert into clzl (车辆ID,车辆编号,车牌号) values (9000,'沪X','京Z1'),"
      "(9001,'N1','沪C1'),(9002,'N2','沪b7'),(9003,'N3','沪bb')");
  auto picker = Open(VehiclePicker());
  auto& grid = picker->Grid();
  ASSERT_TRUE(picker->Refresh());
  host_.Db().ClearLog();
  host_.Db().EnableLog(true);
  picker->SetText("沪b");
  // No vehicle number starts so: asked of a range of the numbers' index, not of every number
  // (the server's plan kept for the statement read them all).
  const auto probes = host_.LoggedPlans("TOP 1 车辆ID");
  for (const auto& [sql, plan] : probes) {
    EXPECT_NE(plan.find(host_.OnPostgres() ? "Index Cond: ((\"车辆编号\"" : "SEARCH clzl"),
              std::string::npos)
        << sql << "\n"
        << plan;
  }
  EXPECT_EQ(probes.size(), 1u);
  ASSERT_EQ(grid.DataRows(), 200);
  EXPECT_EQ(grid.TextMatrix(1, 0) + grid.TextMatrix(200, 0), "沪B0000沪B0199");
  for (int i = 0; i < 10 && picker->LoadMore(); ++i) {
  }
  ASSERT_EQ(grid.DataRows(), 2102);
  EXPECT_EQ(grid.TextMatrix(201, 0) + grid.TextMatrix(2100, 0) + grid.TextMatrix(2101, 0) +
                grid.TextMatrix(2102, 0),
            "沪B0200沪B2099沪b7沪bb");
  // The vehicle whose number, not plate, starts with the text is among them, in plate order.
  picker->SetText("沪");
  for (int i = 0; i < 10 && picker->LoadMore(); ++i) {
  }
  ASSERT_EQ(grid.DataRows(), 2104);
  EXPECT_EQ(grid.TextMatrix(1, 0) + grid.TextMatrix(2104, 0), "京Z1沪bb");
  host_.Db().EnableLog(false);
  size_t walks = 0;
  size_t ranges = 0;
  for (const std::string& sql : host_.Db().Log()) {
    walks += sql.find("||") != std::string::npos;
    ranges += sql.find("车牌号<") != std::string::npos &&
              sql.find("TOP 201 车牌号,") != std::string::npos;
  }
  EXPECT_EQ(walks, 1u);
  EXPECT_GE(ranges, 10u);
  // A rare prefix is found through the indexes and sorted.
  picker->SetText("沪B2");
  ASSERT_EQ(grid.DataRows(), 100);
  EXPECT_EQ(grid.TextMatrix(1, 0), "沪B2000");
}

TEST_F(MasterPickerTest, FailuresAreReportedAndChangeNothing) {
  host_.Exec("insert into clzl (车辆ID,车辆编号,车牌号) values (51,'C1','P1')");
  auto picker = Open(VehiclePicker());
  ASSERT_TRUE(picker->Refresh());
  picker->Grid().SetRow(1);
  // A delete failing inside the transaction is rolled back and reported with the database's
  // text.
  host_.RefuseOn("refuse_delete", "clzl", "DELETE", "locked");
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_FALSE(picker->DeleteCurrent());
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  const std::string text = errors[0].args[0].ToText();
  EXPECT_TRUE(text.find("删除数据时出错：") != text.npos && text.find("locked") != text.npos)
      << text;
  EXPECT_EQ(picker->Grid().DataRows(), 1);
  EXPECT_FALSE(host_.Db().InTransaction());
}

// sel_TY_INNER configured the way the repair order configures it for its distinct-value fields.
class GenericPickerTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into wsdj (单据ID,progid,主管部门) values (1,200001,'维修部'),(2,200001,'保险部'),"
        "(3,200001,''),(4,200001,'O''Brien车间'),(5,200001,'维修二部')");
    picker_.Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(picker_.Init(host_.System(), 200001, ""));
    parameters_->Set("FieldName", "主管部门");
    parameters_->Set("SQL", " select distinct 主管部门 from wsdj where 主管部门<>''");
    parameters_->Set("Valid", " 主管部门 Like '@%'");
    parameters_->Set("Order", " 主管部门 desc");
    picker_.SetParameters(parameters_);
  }

  std::vector<std::string> Listed() {
    std::vector<std::string> rows;
    auto& grid = picker_.Grid();
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) rows.push_back(grid.TextMatrix(r, 0));
    return rows;
  }

  GenericPicker picker_;
  host::ParametersPtr parameters_ = std::make_shared<host::Parameters>();
};

TEST_F(GenericPickerTest, ListsTheQueryInItsOrderAndChoosesAnEntry) {
  ASSERT_TRUE(picker_.Refresh());
  auto rows = Listed();
  ASSERT_EQ(rows.size(), 4u);  // the empty department is not listed
  EXPECT_TRUE(std::is_sorted(rows.rbegin(), rows.rend()));
  forms::Input::DoubleClick(picker_.Grid(), 2);
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 1);
  EXPECT_EQ(picker_.GetValue() + "|" + picker_.GetText(), Listed()[1] + "|" + Listed()[1]);
}

TEST_F(GenericPickerTest, ValidateNarrowsTheQueryByTheTypedValue) {
  // text: both out parameters; value: the picker's Value afterwards.
  struct Case {
    std::string sql, valid, typed, text, value;
  };
  const std::string names = " select distinct 主管部门 from wsdj where 主管部门<>''";
  const std::string miles = " select 公里数 from wsdj where 公里数>0";
  host_.Exec("update wsdj set 公里数=1250.5 where 单据ID=1");
  const Case cases[] = {
      {names, " 主管部门 Like '@%'", "保险", "保险部", "0"},  // a name: numeric value 0
      {names, " 主管部门='@'", "O'Brien车间", "O'Brien车间", "0"},
      {names, " 主管部门 Like '@%'", "x' OR 1=1 OR 主管部门 Like '", "", "0"},
      {miles, " 公里数>=@", "1000", "1250.5", "1250.5"},
  };
  for (const auto& c : cases) {
    parameters_->Set("SQL", c.sql);
    parameters_->Set("Valid", c.valid);
    SCOPED_TRACE(c.valid + " / " + c.typed);
    std::string value = "x", text = "x";
    EXPECT_FALSE(picker_.Validate("", "", "", c.typed, value, text));
    EXPECT_EQ(value + "|" + text + "|" + picker_.GetText() + "|" + picker_.GetValue(),
              c.text + "|" + c.text + "|" + c.text + "|" + c.value);
  }
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

// Every text starting with the typed one in any case lies in [from, below) in byte order.
TEST(TypedRangeTest, FromTheUpperCaseStartToPastTheCaselessHead) {
  struct Case {
    const char* typed;
    const char* from;
    bool whole;
    const char* below;
  };
  const Case cases[] = {{"京c8", "京C8", true, "亭"},
                        {"12a", "12A", true, "13"},
                        {"ab", "AB", true, ""},
                        {"", "", true, ""},
                        {"丿1", "丿1", true, "丿2"},
                        {"1丿", "1丿", true, "1乀"},  // U+4E3F, U+4E40
                        {"京é1", "京", false, "亭"},
                        {"a~", "A~", true, ""},
                        {"1\x7F", "1\x7F", true, "1\xC2\x80"}};
  for (const Case& c : cases) {
    const pickers::TypedRange range = pickers::TypedRangeOf(c.typed);
    EXPECT_EQ(range.from, c.from) << c.typed;
    EXPECT_EQ(range.whole, c.whole) << c.typed;
    EXPECT_EQ(range.below, c.below) << c.typed;
  }
  EXPECT_EQ(pickers::TextsPast("沪B"), "沪C");
}

TEST(WithTypedTest, TheTypedTextBecomesOneValueWhereverTheTemplatePutsIt) {
  struct Case {
    std::string pattern, typed, literal;
    size_t values;
  };
  const Case cases[] = {
      // Typed wildcards and the escape character match themselves; the template's "%" stays.
      {"名称 Like '@%'", "a_%\\'", "名称 like 'a\\_\\%\\\\''%' escape '\\'", 1},
      {"a='it''s @'", "y'", "a='it''s y'''", 1},  // a doubled quote keeps the literal open
      {"id=@", "1) OR (1=1", "id=NULL", 0},  // no number where one is expected: matches nothing
  };
  for (const auto& c : cases) {
    db::Sql sql = WithTyped(c.pattern, c.typed);
    EXPECT_EQ(sql.Literal(), c.literal) << c.pattern << " / " << c.typed;
    EXPECT_EQ(sql.Values().size(), c.values) << c.pattern << " / " << c.typed;
    // The statement itself never carries what was typed.
    if (c.values > 0 && c.typed.size() > 1) {
      EXPECT_EQ(sql.Statement().find(c.typed), std::string::npos) << sql.Statement();
    }
  }
}

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
