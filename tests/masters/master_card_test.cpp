#include "masters/master_card.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "masters/descriptions.h"
#include "masters_fixture.h"

namespace ws::masters {
namespace {

using forms::Input;
using host::MsgAnswer;
using host::MsgIcon;

// What each card must do, written out independently of the descriptions.
struct CardCase {
  Kind kind;
  const MasterCardDescription& (*description)();
  int64_t program;
  std::string title;
  std::string codeWord;
  std::string nameWord;
  int thirdField;  // the field showing the row's third text
  std::string usageQuery;
  std::string inUse;
  std::string deleted;
};

// clang-format off
const CardCase kCardCases[] = {
    {Kind::Vehicle, &VehicleCard, 200012, "clAdd_S", "编号", "车牌号", 2,
     "select top 1 车辆ID from wsdj where 车辆ID= ", "不能删除已启用的车辆!",
     "成功删除数据,往来ID号="},
    {Kind::Item, &ItemCard, 200013, "wxAdd_S", "编码", "维修项目", 2,
     "select top 1 项目ID from wsdjxm where 项目ID= ", "不能删除已启用的维修项目!",
     "成功删除数据,往来ID号="},
    {Kind::Category, &CategoryCard, 200029, "wxflAdd_S", "编码", "维修分类", 2,
     "select top 1 维修分类ID from wsdj where 维修分类ID= ", "不能删除已启用的维修分类!",
     "成功删除数据,往来ID号="},
};
// clang-format on

void PrintTo(const CardCase& c, std::ostream* os) {
  *os << KindName(c.kind);
}

class CardTestBase : public MastersTest {
 protected:
  void Open(const MasterCardDescription& description, int64_t program, int64_t requestedId = 0) {
    card_ = std::make_unique<MasterCard>(description);
    card_->Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(card_->Init(host_.System(), program, requestedId));
  }
  forms::Field& Field(int index) { return card_->FieldAt(index); }
  void Type(int index, const std::string& text) {
    auto result = Input::Type(Field(index), text);
    ASSERT_TRUE(result.accepted) << result.reason;
  }
  std::string RecordLabel() {
    return card_->Form().Get<forms::Label>(host::DocumentControl::kRecordLabel).Caption();
  }
  // The card's answer to a refused save: false, still editing, nothing written.
  void ExpectRefused(const std::string& text, const std::string& title, MsgIcon icon,
                     int focusField) {
    int64_t before = host_.Db().Log().size();
    size_t boxes = Boxes().size();
    EXPECT_FALSE(card_->FileSave()) << text;
    ASSERT_EQ(Boxes().size(), boxes + 1) << text;
    EXPECT_EQ(Boxes().back().text, text);
    EXPECT_EQ(Boxes().back().title, title);
    EXPECT_EQ(Boxes().back().icon, icon) << text;
    EXPECT_EQ(card_->Form().Focus(), &Field(focusField)) << text;
    EXPECT_TRUE(card_->Editing());
    for (size_t i = static_cast<size_t>(before); i < host_.Db().Log().size(); ++i) {
      const std::string& sql = host_.Db().Log()[i];
      EXPECT_TRUE(sql.find("insert") == std::string::npos &&
                  sql.find("update") == std::string::npos)
          << sql;
    }
  }

  std::unique_ptr<MasterCard> card_;
};

class MasterCardTest : public CardTestBase, public ::testing::WithParamInterface<CardCase> {
 protected:
  void SetUp() override { Open(GetParam().description(), GetParam().program); }
  Kind kind() const { return GetParam().kind; }
};

TEST_P(MasterCardTest, NewAndEditSaveAsTypedAndShowTheRowReadOnly) {
  AddRow(kind(), 4, "A01", "Alpha");
  ASSERT_TRUE(card_->RecordBottom());
  EXPECT_EQ(card_->GetID(), 4);
  EXPECT_EQ(Field(1).Text(), "Alpha");
  EXPECT_EQ(RecordLabel(), "记录：1/1");
  EXPECT_FALSE(Input::Type(Field(0), "x").accepted) << "browsing is read-only";

  ASSERT_TRUE(card_->FileNew());
  EXPECT_EQ(Field(0).Text(), "");
  EXPECT_EQ(card_->GetID(), 0);
  EXPECT_EQ(RecordLabel(), "新建记录...");
  EXPECT_EQ(host_.Sink().Messages().back(), "正在新建单据中...");
  EXPECT_FALSE(card_->IsDirty());
  Type(0, "N02");
  Type(1, "O'Brien 车");
  Type(GetParam().thirdField, " 备注 'x' ");
  EXPECT_TRUE(card_->IsDirty());
  ASSERT_TRUE(card_->FileSave());

  const int64_t id = card_->GetID();
  EXPECT_GT(id, 4) << "the new id comes from the navigator, past every existing one";
  EXPECT_EQ(NameOf(kind(), id), "O'Brien 车") << "quotes are stored as typed";
  EXPECT_EQ(Field(1).Text(), "O'Brien 车");
  EXPECT_EQ(Field(GetParam().thirdField).Text(), " 备注 'x' ") << "texts are not trimmed";
  EXPECT_FALSE(card_->Editing());
  EXPECT_FALSE(card_->IsDirty());
  EXPECT_EQ(RowCount(kind()), 2);

  ASSERT_TRUE(card_->FileEdit());
  EXPECT_EQ(host_.Sink().Messages().back(), "正在修改单据中...");
  Type(1, "O'Brien 二");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(card_->GetID(), id);
  EXPECT_EQ(NameOf(kind(), id), "O'Brien 二");
  EXPECT_EQ(RowCount(kind()), 2);
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST_P(MasterCardTest, SaveRefusesMissingAndDuplicateCodesAndNames) {
  const std::string& code = GetParam().codeWord;
  const std::string& name = GetParam().nameWord;
  AddRow(kind(), 1, "A01", "Alpha");
  AddRow(kind(), 2, "B02", "Beta");

  ASSERT_TRUE(card_->FileNew());
  Type(1, "New");
  ExpectRefused("没有具体的" + code + ",请录入!", "提示：", MsgIcon::Information, 0);
  Type(0, "C03");
  Type(1, "  ");
  ExpectRefused("没有具体的" + name + ",请录入!", "提示：", MsgIcon::Information, 1);
  Type(0, " A01 ");
  Type(1, "New");
  ExpectRefused(code + "(A01)重复,请检查!", "提示：", MsgIcon::Exclamation, 0);
  Type(0, "C03");
  Type(1, "Alpha");
  ExpectRefused(name + "(Alpha)重复,请检查!", "提示：", MsgIcon::Exclamation, 1);
  EXPECT_EQ(RowCount(kind()), 2);

  ASSERT_TRUE(card_->RecordBottom());
  ASSERT_EQ(card_->GetID(), 2);
  ASSERT_TRUE(card_->FileEdit());
  Type(0, "A01");
  ExpectRefused(code + "A01重复,请检查!", "提示：", MsgIcon::Exclamation, 0);
  Type(0, "B02");
  Type(1, "Alpha");
  ExpectRefused(name + "Alpha重复,请检查!", "提示：", MsgIcon::Exclamation, 1);
  Type(1, "Beta");
  EXPECT_TRUE(card_->FileSave()) << "the row's own code and name are no duplicates";

  ASSERT_TRUE(card_->FileEdit());
  Type(1, "Beta 2");
  host_.Exec("delete from " + Table(kind()) + " where " + KeyColumn(kind()) + "=2");
  ExpectRefused("需要修改的" + name + "找不到内部ID号,请重新刷新数据",
                "提示:", MsgIcon::Exclamation, 1);
  EXPECT_EQ(RowCount(kind()), 1) << "the row deleted meanwhile is not written back";
}

// Blanks around a code or a name must not make a second row that reads the same: the card
// stores what it compares. The comparison runs inside the write transaction (which holds the
// write lock from its BEGIN), so nobody can store the same code between the check and the
// insert; and the database itself refuses a duplicate that some other path writes.
TEST_P(MasterCardTest, CodesAreStoredTrimmedAndCheckedInsideTheWriteTransaction) {
  const std::string& code = GetParam().codeWord;
  // The order of BEGIN IMMEDIATE, check and insert is seen through SQLite's own statement trace.
  std::vector<std::string> trace;
  platform::SqliteDatabase* sqlite = host_.Sqlite();
  if (sqlite) {
    sqlite3_trace_v2(
        sqlite->Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* context, void* statement, void*) {
          char* text = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
          static_cast<std::vector<std::string>*>(context)->push_back(text ? text : "");
          sqlite3_free(text);
          return 0;
        },
        &trace);
  }

  ASSERT_TRUE(card_->FileNew());
  Type(0, " A01  ");
  Type(1, "Alpha ");
  ASSERT_TRUE(card_->FileSave());
  const int64_t id = card_->GetID();
  EXPECT_EQ(NameOf(kind(), id), "Alpha");
  EXPECT_EQ(Field(0).Text(), "A01") << "the card shows what was stored";

  auto position = [&](const std::string& part) {
    for (size_t i = 0; i < trace.size(); ++i) {
      if (trace[i].find(part) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
  };
  if (sqlite) {
    const int begin = position("BEGIN IMMEDIATE");
    const int check = position("Where " + NameColumn(kind()) + "=");
    const int insert = position("insert into");
    ASSERT_GE(begin, 0);
    EXPECT_LT(begin, check) << "the duplicate check runs after the write lock is taken";
    EXPECT_LT(check, insert);
    sqlite3_trace_v2(sqlite->Handle(), 0, nullptr, nullptr);
  }

  ASSERT_TRUE(card_->FileNew());
  Type(0, "A01");
  Type(1, "Other");
  ExpectRefused(code + "(A01)重复,请检查!", "提示：", MsgIcon::Exclamation, 0);
  EXPECT_FALSE(host_.Db().InTransaction()) << "no lock is held while the box waits";
  Type(0, "B02");
  Type(1, "Alpha");
  ExpectRefused(GetParam().nameWord + "(Alpha)重复,请检查!", "提示：", MsgIcon::Exclamation, 1);
  EXPECT_EQ(RowCount(kind()), 1);

  // Past the card: the unique index on the name (the plate of a vehicle) refuses the row.
  db::Runner runner(host_.Db());
  EXPECT_NE(runner.Execute(db::Sql("insert into " + Table(kind()) + " (" + KeyColumn(kind()) + "," +
                                   NameColumn(kind()) + ") values (99,'Alpha')")),
            "");
  EXPECT_EQ(RowCount(kind()), 1);
}

TEST_P(MasterCardTest, CancelReturnsToTheRowShownBeforeNew) {
  AddRow(kind(), 1, "A01", "Alpha", "one");
  AddRow(kind(), 2, "B02", "Beta", "two");
  ASSERT_TRUE(card_->RecordBottom());

  ASSERT_TRUE(card_->FileNew());
  Type(0, "X");
  ASSERT_TRUE(card_->FileNew());  // a second New still returns to the row
  Type(0, "Y");
  EXPECT_EQ(card_->PreviousId(), 2);
  ASSERT_TRUE(card_->FileCancel());
  EXPECT_EQ(card_->GetID(), 2);
  EXPECT_EQ(Field(0).Text(), "B02");
  EXPECT_FALSE(card_->Editing());
  EXPECT_FALSE(card_->IsDirty());
  EXPECT_EQ(host_.Sink().Messages().back(), "");

  // With "keep contents" New starts from the shown row's texts.
  ASSERT_TRUE(Input::Click(card_->Form().Get<forms::CheckBox>(MasterCard::kCopyOnNew)));
  ASSERT_TRUE(card_->FileNew());
  EXPECT_EQ(card_->GetID(), 0);
  EXPECT_EQ(Field(GetParam().thirdField).Text(), "two");
  Type(0, "C03");
  Type(1, "Gamma");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_NE(card_->GetID(), 2);
  EXPECT_EQ(RowCount(kind()), 3);
  EXPECT_EQ(Field(GetParam().thirdField).Text(), "two");
  EXPECT_EQ(NameOf(kind(), 2), "Beta") << "the copied row is untouched";
}

TEST_P(MasterCardTest, DeleteAsksTwiceAndRefusesRowsInUse) {
  const std::string& title = GetParam().title;
  EXPECT_FALSE(card_->FileDelete());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "没有可删除的记录!");
  EXPECT_EQ(Boxes()[0].title, "提示:");

  AddRow(kind(), 1, "A01", "Alpha");
  AddRow(kind(), 2, "B02", "Beta");
  AddRow(kind(), 3, "C03", "Gamma");
  UseRow(kind(), 1);
  host_.Dialogs().Clear();
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->RecordNext());
  ASSERT_EQ(card_->GetID(), 2);

  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  EXPECT_EQ(Boxes().size(), 1u);
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[1].text, "是否删除当前记录:");
  EXPECT_EQ(Boxes()[2].text, "是否删除当前记录:Beta");
  EXPECT_EQ(Boxes()[2].buttons, host::MsgButtons::YesNo);
  EXPECT_TRUE(RowExists(kind(), 2));

  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Sink().Clear();
  EXPECT_TRUE(card_->FileDelete());
  EXPECT_FALSE(RowExists(kind(), 2));
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].text, GetParam().deleted + "2");
  EXPECT_EQ(Errs()[0].level, 1);
  EXPECT_EQ(Errs()[0].title, title);
  EXPECT_EQ(card_->GetID(), 3) << "the next row is shown";
  EXPECT_EQ(Field(1).Text(), "Gamma");

  ASSERT_TRUE(card_->RecordTop());
  host_.Dialogs().Clear();
  host_.Sink().Clear();
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_FALSE(card_->FileDelete());
  EXPECT_EQ(Boxes().size(), 1u) << "no second question for a row in use";
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].text, GetParam().inUse);
  EXPECT_EQ(Errs()[0].level, 2);
  EXPECT_EQ(Errs()[0].title, title);
  EXPECT_TRUE(Logged(GetParam().usageQuery + "1"));
  EXPECT_TRUE(RowExists(kind(), 1));
}

TEST_P(MasterCardTest, RequestedRowFindAndFilter) {
  AddRow(kind(), 1, "A01", "Alpha");
  AddRow(kind(), 2, "B02", "O'Brien");
  AddRow(kind(), 3, "B03", "Beta");

  MasterCard single(GetParam().description());
  single.Init(host_.System(), GetParam().program, 2);
  ASSERT_TRUE(single.RecordTop());
  EXPECT_EQ(single.GetID(), 2);
  single.RecordNext();
  EXPECT_EQ(single.GetID(), 2) << "a card opened on a row shows only that row";
  single.RecordPrevious();
  EXPECT_EQ(single.GetID(), 2);

  const std::string nameColumn = NameColumn(kind());
  const std::string codeColumn = kind() == Kind::Vehicle ? "车辆编号" : "编码";
  // Values go between single quotes whatever the dialect.
  host_.Db().SetSetting("driver", "jet");
  card_->Find(std::vector<host::Condition>{{"B0", codeColumn + " like"}, {"", "x="}});
  EXPECT_EQ(card_->FindCondition(), " " + codeColumn + " like '%B0%' escape '\\'");
  EXPECT_EQ(card_->GetID(), 2);
  card_->FindNext();
  EXPECT_EQ(card_->GetID(), 3);
  card_->FindNext();
  EXPECT_EQ(card_->GetID(), 0) << "nothing after the last match: the card is cleared";

  card_->Find(std::vector<host::Condition>{{"O'B", nameColumn + " like"}});
  EXPECT_EQ(card_->GetID(), 2);
  card_->Find(host::Conditions{});
  EXPECT_EQ(card_->GetID(), 2) << "an empty condition list changes nothing";

  // Only an empty value is skipped, and only text ending in "like" makes a like: a blank value
  // and a trailing blank after the operator are searched as written.
  card_->Find(std::vector<host::Condition>{{" ", codeColumn + " like"}});
  EXPECT_EQ(card_->FindCondition(), " " + codeColumn + " like '% %' escape '\\'");
  card_->Find(std::vector<host::Condition>{{"B0", codeColumn + " like "}, {"", nameColumn + "="}});
  EXPECT_EQ(card_->FindCondition(), " " + codeColumn + " like 'B0' escape '\\'");
  EXPECT_EQ(card_->GetID(), 0) << "without wildcards nothing is like 'B0'";

  card_->Filter(std::vector<host::Condition>{{"A01", codeColumn + "="}});
  EXPECT_EQ(card_->FilterCondition(), " " + codeColumn + "='A01'");
  EXPECT_EQ(card_->GetID(), 1);
  card_->RecordNext();
  EXPECT_EQ(card_->GetID(), 1);
  EXPECT_EQ(RecordLabel(), "记录：1/1");
}

INSTANTIATE_TEST_SUITE_P(Masters, MasterCardTest, ::testing::ValuesIn(kCardCases),
                         [](const auto& info) { return KindName(info.param.kind); });

class VehicleCardTest : public CardTestBase {
 protected:
  void SetUp() override {
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (9,'K9','王五汽修')");
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (11,'K11','李四运输')");
    Open(VehicleCard(), 200012);
  }
  void FillNew() {
    for (int i = 0; i < 9; ++i) {
      if (i != 7) Type(i, "f" + std::to_string(i));
    }
  }
};

TEST_F(VehicleCardTest, StatementsWriteEveryColumnInItsPlace) {
  host_.Exec("insert into clzl (车辆ID) values (20)");
  ASSERT_TRUE(card_->FileNew());
  FillNew();
  Type(7, "K9");  // the owner may be typed by code
  EXPECT_EQ(Field(7).Key(), "9");
  EXPECT_EQ(Field(7).Text(), "王五汽修");
  ASSERT_TRUE(card_->FileSave());
  const int64_t id = card_->GetID();
  EXPECT_TRUE(
      Logged("insert into clzl (车辆ID,车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,"
             "车主ID) values ( " +
             std::to_string(id) + ",'f0','f1','f3','f2','f4','f5','f8','f6',9)"));
  EXPECT_TRUE(Logged(" Select count(*) From clzl Where 车辆编号='f0'"));
  EXPECT_EQ(Field(7).Text(), "王五汽修") << "the owner's name comes back through the join";

  ASSERT_TRUE(card_->FileEdit());
  Type(7, "李四运输");
  Type(1, "f1'");
  ASSERT_TRUE(card_->FileSave());
  const std::string idText = std::to_string(id);
  EXPECT_TRUE(
      Logged(" Select  count(*) From clzl Where 车辆ID <> " + idText + " and 车辆编号='f0'"));
  EXPECT_TRUE(Logged(" Select count(*) From clzl Where 车辆ID <> " + idText +
                     " and 车牌号='f1'''"
                     " "));
  EXPECT_TRUE(Logged(" Select count(*) From clzl Where 车辆ID = " + idText));
  EXPECT_TRUE(
      Logged("update clzl set 车辆编号='f0',车牌号='f1''',行驶证号='f3',发动机号='f2',车架号='f4',"
             "车型='f5',车名='f8',颜色='f6',车主ID=11 where 车辆ID=" +
             idText + " and ws_rowver=0"));
  EXPECT_EQ(host_.Scalar("select 车主ID from clzl where 车辆ID=" + idText).ToLong(), 11);
}

TEST_F(VehicleCardTest, OwnerLookupRefusesUnknownPartnersAndTakesThePickersChoice) {
  ASSERT_TRUE(card_->FileNew());
  FillNew();
  Type(7, "nobody");
  EXPECT_FALSE(Field(7).Valid());
  ExpectRefused("输入有误，请重新输入！", "提示：", MsgIcon::Information, 7);

  std::string pickerAsked;
  host_.System().SetPickerHandler([&](const std::string& description, const std::string& text) {
    pickerAsked = description + "|" + text;
    host::PickResult pick;
    pick.chosen = true;
    pick.value = "11";
    pick.text = "李四运输";
    return pick;
  });
  ASSERT_TRUE(Input::Picker(Field(7)));
  EXPECT_EQ(pickerAsked, "pdmkh_j|nobody");
  EXPECT_TRUE(Field(7).Valid());
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(host_.Scalar("select 车主ID from clzl where 车牌号='f1'").ToLong(), 11);

  ASSERT_TRUE(card_->FileEdit());
  Type(7, "");
  ASSERT_TRUE(card_->FileSave()) << "an empty owner is no owner";
  EXPECT_EQ(host_.Scalar("select 车主ID from clzl where 车牌号='f1'").ToLong(), 0);
}

TEST_F(VehicleCardTest, EditWithoutRowStatusChangePrintAndLayout) {
  EXPECT_FALSE(card_->FileEdit());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "没有具体的往来数据，不能编辑! ");
  EXPECT_EQ(Boxes()[0].title, "clAdd_S");

  AddRow(Kind::Vehicle, 1, "V1", "京A1");
  AddRow(Kind::Vehicle, 2, "V2", "京A2");
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->FileEdit());
  host_.Sink().Clear();
  EXPECT_TRUE(card_->DoSetStatus("browse", true));
  EXPECT_EQ(host_.Sink().Messages(), (std::vector<std::string>{"数据正在切换状态", ""}));
  EXPECT_FALSE(card_->Editing());
  EXPECT_EQ(card_->GetID(), 2) << "the last row";
  EXPECT_FALSE(card_->CheckStatus(""));

  host_.Exec("update clzl set 车牌号='京A2-新' where 车辆ID=2");
  EXPECT_TRUE(card_->DoSetStatus("change", false));
  EXPECT_EQ(Field(1).Text(), "京A2-新");

  EXPECT_FALSE(card_->DoPrint());
  EXPECT_EQ(std::filesystem::path(card_->ReturnPrintName()),
            host_.WorkFolder() / "selfPrint" / "200012.txt");
  EXPECT_TRUE(std::filesystem::is_directory(host_.WorkFolder() / "selfPrint"));

  card_->DoSaveFormStatus();
  card_->DoGetFormStatus();
  EXPECT_TRUE(std::filesystem::is_directory(host_.WorkFolder() / "selfbb"));
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST_F(CardTestBase, EveryLoadAndSearchEndsWithFormRefreshed) {
  Open(CategoryCard(), 200029);
  AddRow(Kind::Category, 1, "A01", "Alpha");
  AddRow(Kind::Category, 2, "B02", "Beta");
  // Each step reads through the navigator once.
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"RecordTop", [&] { card_->RecordTop(); }},
      {"Find",
       [&] {
         card_->Find(std::vector<host::Condition>{{"A", "编码 like"}});
       }},
      {"FindNext", [&] { card_->FindNext(); }},
      {"change", [&] { card_->DoSetStatus("change", false); }},
      {"browse", [&] { card_->DoSetStatus("browse", false); }},
      {"FileEdit+FileSave",
       [&] {
         ASSERT_TRUE(card_->FileEdit());
         ASSERT_TRUE(card_->FileSave());
       }},
      {"FileNew+FileCancel",
       [&] {
         ASSERT_TRUE(card_->FileNew());
         ASSERT_TRUE(card_->FileCancel());
       }},
  };
  for (const auto& [name, step] : steps) {
    host_.Sink().Clear();
    step();
    EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 1) << name;
  }
  EXPECT_EQ(card_->GetID(), 2);
  host_.Sink().Clear();
  card_->Find(host::Conditions{});
  card_->FileEdit();
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 0) << "no read, no refresh";
}

TEST_F(CardTestBase, ItemPriceIsStoredAsTheNumberTyped) {
  Open(ItemCard(), 200013);
  const std::vector<std::pair<std::string, double>> prices = {
      {"12.5", 12.5}, {"", 0}, {"1,000.50", 1000.5}, {"１２．５", 12.5}, {" 8 ", 8}};
  int n = 0;
  for (const auto& [typed, stored] : prices) {
    ASSERT_TRUE(card_->FileNew());
    Type(0, "X" + std::to_string(++n));
    Type(1, "项目" + std::to_string(n));
    Type(3, typed);
    ASSERT_TRUE(card_->FileSave()) << typed;
    EXPECT_DOUBLE_EQ(
        host_.Scalar("select 参考价格 from PDMWXXM where AutoID=" + std::to_string(card_->GetID()))
            .ToDouble(),
        stored)
        << typed;
  }
  EXPECT_TRUE(Logged("insert into PDMWXXM (AutoID,编码,维修项目,项目属性,参考价格) values ( " +
                     std::to_string(card_->GetID()) + ",'X5','项目5','',8)"));

  // What is not a number is refused by name, not stored as the number it starts with.
  for (const char* typed : {"12abc", "8元", "1,5", "1e3"}) {
    ASSERT_TRUE(card_->FileNew());
    Type(0, "Y");
    Type(1, "坏价格");
    Type(3, typed);
    ExpectRefused("参考价格输入有误，请重新输入！", "提示：", MsgIcon::Information, 3);
  }
  EXPECT_EQ(host_.Scalar("select count(*) from PDMWXXM where 编码='Y'").ToLong(), 0);
}

}  // namespace
}  // namespace ws::masters
