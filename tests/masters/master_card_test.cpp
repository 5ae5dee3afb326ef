#include "masters/master_card.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "masters_fixture.h"

namespace ws::masters {
namespace {

using forms::Input;
using host::MsgAnswer;
using host::MsgIcon;

class CardTestBase : public MastersTest {
 protected:
  void Open(const MasterCardDescription& description, int64_t program) {
    card_ = std::make_unique<MasterCard>(description);
    card_->Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(card_->Init(host_.System(), program, 0));
  }
  forms::Field& Field(int index) { return card_->FieldAt(index); }
  void Type(int index, const std::string& text) {
    ASSERT_TRUE(Input::Type(Field(index), text).accepted) << index;
  }
  std::string RecordLabel() {
    return card_->Form().Get<forms::Label>(host::DocumentControl::kRecordLabel).Caption();
  }
  // A refused save: false, the box, the focus, still editing, nothing written.
  void ExpectRefused(const std::string& text, const std::string& title, MsgIcon icon,
                     int focusField) {
    const size_t logged = host_.Db().Log().size();
    EXPECT_FALSE(card_->FileSave()) << text;
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back().text + "|" + Boxes().back().title, text + "|" + title);
    EXPECT_EQ(Boxes().back().icon, icon) << text;
    EXPECT_EQ(card_->Form().Focus(), &Field(focusField)) << text;
    EXPECT_TRUE(card_->Editing());
    for (size_t i = logged; i < host_.Db().Log().size(); ++i) {
      const std::string& sql = host_.Db().Log()[i];
      EXPECT_TRUE(sql.find("insert") == std::string::npos &&
                  sql.find("update") == std::string::npos)
          << sql;
    }
  }

  std::unique_ptr<MasterCard> card_;
};

class MasterCardTest : public CardTestBase, public ::testing::WithParamInterface<MasterCase> {
 protected:
  void SetUp() override { Open(GetParam().card(), GetParam().cardProgram); }
  const MasterCase& C() const { return GetParam(); }
};

TEST_P(MasterCardTest, NewEditCancelAndKeepContents) {
  AddRow(C(), 4, "A01", "Alpha", "two");
  ASSERT_TRUE(card_->RecordBottom());
  EXPECT_EQ(card_->GetID(), 4);
  EXPECT_EQ(RecordLabel(), "记录：1/1");
  EXPECT_FALSE(Input::Type(Field(0), "x").accepted) << "browsing is read-only";

  ASSERT_TRUE(card_->FileNew());
  EXPECT_EQ(Field(0).Text() + RecordLabel(), "新建记录...");
  EXPECT_EQ(host_.Sink().Messages().back(), "正在新建单据中...");
  EXPECT_FALSE(card_->IsDirty());
  Type(0, "X");
  ASSERT_TRUE(card_->FileNew());  // a second New still returns to the row
  EXPECT_EQ(card_->PreviousId(), 4);
  ASSERT_TRUE(card_->FileCancel());
  EXPECT_EQ(card_->GetID(), 4);
  EXPECT_EQ(Field(0).Text(), "A01");
  EXPECT_FALSE(card_->Editing() || card_->IsDirty());
  EXPECT_EQ(host_.Sink().Messages().back(), "");

  ASSERT_TRUE(card_->FileNew());
  Type(0, " N02  ");
  Type(1, "O'Brien 车 ");
  Type(2, " 备注 'x' ");
  EXPECT_TRUE(card_->IsDirty());
  ASSERT_TRUE(card_->FileSave());
  const int64_t id = card_->GetID();
  EXPECT_GT(id, 4) << "the new id comes from the navigator, past every existing one";
  EXPECT_EQ(NameOf(C(), id), "O'Brien 车") << "code and name are stored trimmed, quotes as typed";
  EXPECT_EQ(Field(0).Text(), "N02") << "the card shows what was stored";
  EXPECT_EQ(Field(2).Text(), " 备注 'x' ") << "other texts are not trimmed";
  EXPECT_FALSE(card_->Editing() || card_->IsDirty());

  ASSERT_TRUE(card_->FileEdit());
  EXPECT_EQ(host_.Sink().Messages().back(), "正在修改单据中...");
  Type(1, "O'Brien 二");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(card_->GetID(), id);
  EXPECT_EQ(NameOf(C(), id), "O'Brien 二");
  EXPECT_EQ(Count(C()), 2);

  // With "keep contents" New starts from the shown row's texts and writes a row of its own.
  ASSERT_TRUE(Input::Click(card_->Form().Get<forms::CheckBox>(MasterCard::kCopyOnNew)));
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->FileNew());
  EXPECT_EQ(card_->GetID(), 0);
  EXPECT_EQ(Field(2).Text(), "two");
  Type(0, "C03");
  Type(1, "Gamma");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(Count(C()), 3);
  EXPECT_EQ(NameOf(C(), 4), "Alpha") << "the copied row is untouched";
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

// The duplicate checks run inside the write transaction (its BEGIN takes the write lock), so
// nobody stores the same code between check and insert; the database refuses what gets past.
TEST_P(MasterCardTest, SaveRefusesMissingAndDuplicateCodesAndNamesUnderTheWriteLock) {
  const std::string& code = C().codeWord;
  const std::string& name = C().nameWord;
  AddRow(C(), 1, "A01", "Alpha");
  AddRow(C(), 2, "B02", "Beta");
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

  // Code and name typed, then the refusal: its text, icon and the field that gets the focus.
  auto refused = [&](const char* typedCode, const char* typedName, const std::string& text,
                     MsgIcon icon, int focus) {
    Type(0, typedCode);
    Type(1, typedName);
    ExpectRefused(text, "提示：", icon, focus);
  };
  ASSERT_TRUE(card_->FileNew());
  refused("", "New", "没有具体的" + code + ",请录入!", MsgIcon::Information, 0);
  refused("C03", "  ", "没有具体的" + name + ",请录入!", MsgIcon::Information, 1);
  refused(" A01 ", "New", code + "(A01)重复,请检查!", MsgIcon::Exclamation, 0);
  EXPECT_FALSE(host_.Db().InTransaction()) << "no lock is held while the box waits";
  refused("C03", "Alpha ", name + "(Alpha)重复,请检查!", MsgIcon::Exclamation, 1);
  Type(1, "Gamma");
  trace.clear();
  ASSERT_TRUE(card_->FileSave());
  if (sqlite) {
    auto position = [&](const std::string& part, size_t from) {
      for (size_t i = from; i < trace.size(); ++i) {
        if (trace[i].find(part) != std::string::npos) return i;
      }
      return trace.size();
    };
    const size_t begin = position("BEGIN IMMEDIATE", 0);
    const size_t check = position("Where " + C().nameColumn + "='Gamma'", 0);
    ASSERT_LT(begin, trace.size());
    EXPECT_LT(begin, check) << "the duplicate check runs after the write lock is taken";
    EXPECT_LT(check, position("insert into", check));
    sqlite3_trace_v2(sqlite->Handle(), 0, nullptr, nullptr);
  }

  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->RecordNext());
  ASSERT_EQ(card_->GetID(), 2);
  ASSERT_TRUE(card_->FileEdit());
  refused("A01", "Beta", code + "A01重复,请检查!", MsgIcon::Exclamation, 0);
  refused("B02", "Alpha", name + "Alpha重复,请检查!", MsgIcon::Exclamation, 1);
  Type(1, "Beta");
  EXPECT_TRUE(card_->FileSave()) << "the row's own code and name are no duplicates";

  ASSERT_TRUE(card_->FileEdit());
  Type(1, "Beta 2");
  host_.Exec("delete from " + C().table + " where " + C().key + "=2");
  ExpectRefused("需要修改的" + name + "找不到内部ID号,请重新刷新数据",
                "提示:", MsgIcon::Exclamation, 1);
  EXPECT_EQ(Count(C()), 2) << "the row deleted meanwhile is not written back";

  // Past the card: the unique index on the name refuses the row.
  EXPECT_NE(db::Runner(host_.Db())
                .Execute(db::Sql("insert into " + C().table + " (" + C().key + "," +
                                 C().nameColumn + ") values (99,'Alpha')")),
            "");
}

TEST_P(MasterCardTest, RequestedRowFindFilterAndDeleteThatAsksTwiceAndRefusesRowsInUse) {
  EXPECT_FALSE(card_->FileDelete());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text + "|" + Boxes()[0].title, "没有可删除的记录!|提示:");
  AddRow(C(), 1, "A01", "Alpha");
  AddRow(C(), 2, "B02", "O'Brien");
  AddRow(C(), 3, "B03", "Beta");
  UseRow(C(), 1);
  MasterCard single(C().card());
  single.Init(host_.System(), C().cardProgram, 2);
  ASSERT_TRUE(single.RecordTop());
  single.RecordNext();
  EXPECT_EQ(single.GetID(), 2) << "a card opened on a row shows only that row";

  const std::string& code = C().code;
  const std::string& name = C().nameColumn;
  host_.Db().SetSetting("driver", "jet");  // values go between single quotes in every dialect
  card_->Find(std::vector<host::Condition>{{"B0", code + " like"}, {"", "x="}});
  EXPECT_EQ(card_->FindCondition(), " " + code + " like '%B0%' escape '\\'");
  EXPECT_EQ(card_->GetID(), 2);
  card_->FindNext();
  EXPECT_EQ(card_->GetID(), 3);
  card_->FindNext();
  EXPECT_EQ(card_->GetID(), 0) << "nothing after the last match: the card is cleared";
  card_->Find(std::vector<host::Condition>{{"O'B", name + " like"}});
  EXPECT_EQ(card_->GetID(), 2);
  card_->Find(host::Conditions{});
  EXPECT_EQ(card_->GetID(), 2) << "an empty condition list changes nothing";
  // Only an empty value is skipped, and only text ending in "like" makes a like.
  card_->Find(std::vector<host::Condition>{{" ", code + " like"}});
  EXPECT_EQ(card_->FindCondition(), " " + code + " like '% %' escape '\\'");
  card_->Find(std::vector<host::Condition>{{"B0", code + " like "}, {"", name + "="}});
  EXPECT_EQ(card_->FindCondition(), " " + code + " like 'B0' escape '\\'");
  EXPECT_EQ(card_->GetID(), 0);

  card_->Filter(std::vector<host::Condition>{{"A01", code + "="}});
  EXPECT_EQ(card_->FilterCondition(), " " + code + "='A01'");
  card_->RecordNext();
  EXPECT_EQ(card_->GetID(), 1);
  EXPECT_EQ(RecordLabel(), "记录：1/1");
  card_->Filter(std::vector<host::Condition>{});
  host_.Db().SetSetting("driver", "");

  host_.Dialogs().Clear();
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->RecordNext());

  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[1].text, "是否删除当前记录:");
  EXPECT_EQ(Boxes()[2].text, "是否删除当前记录:O'Brien");
  EXPECT_EQ(Boxes()[2].buttons, host::MsgButtons::YesNo);
  EXPECT_TRUE(RowExists(C(), 2));

  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Sink().Clear();
  EXPECT_TRUE(card_->FileDelete());
  EXPECT_FALSE(RowExists(C(), 2));
  EXPECT_EQ(Errs(), std::vector<std::string>{C().cardDeleted + "2|1|" + C().cardTitle});
  EXPECT_EQ(card_->GetID(), 3) << "the next row is shown";
  EXPECT_EQ(Field(1).Text(), "Beta");

  ASSERT_TRUE(card_->RecordTop());
  host_.Dialogs().Clear();
  host_.Sink().Clear();
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_FALSE(card_->FileDelete());
  EXPECT_EQ(Boxes().size(), 1u) << "no second question for a row in use";
  EXPECT_EQ(Errs(), std::vector<std::string>{C().cardInUse + "|2|" + C().cardTitle});
  EXPECT_TRUE(RowExists(C(), 1));
}

INSTANTIATE_TEST_SUITE_P(Masters, MasterCardTest, ::testing::ValuesIn(kMasterCases),
                         [](const auto& info) { return info.param.name; });

class VehicleCardTest : public CardTestBase {
 protected:
  void SetUp() override {
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (9,'K9','王五汽修')");
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (11,'K11','李四运输')");
    Open(VehicleCard(), 200012);
  }
};

TEST_F(VehicleCardTest, StatementsWriteEveryColumnAndTheOwnerIsLookedUp) {
  ASSERT_TRUE(card_->FileNew());
  for (int i = 0; i < 9; ++i) {
    if (i != 7) Type(i, "f" + std::to_string(i));
  }
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
  EXPECT_EQ(Field(7).Key() + Field(7).Text(), "11李四运输");
  EXPECT_TRUE(Field(7).Valid());
  Type(7, "K9");  // the owner may be typed by code
  EXPECT_EQ(Field(7).Key() + Field(7).Text(), "9王五汽修");
  ASSERT_TRUE(card_->FileSave());
  const std::string id = std::to_string(card_->GetID());
  EXPECT_TRUE(Logged(
      "insert into clzl (车辆ID,车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,车主ID) "
      "values ( " +
      id + ",'f0','f1','f3','f2','f4','f5','f8','f6',9)"));
  EXPECT_EQ(Field(7).Text(), "王五汽修") << "the owner's name comes back through the join";

  ASSERT_TRUE(card_->FileEdit());
  Type(1, "f1'");
  Type(7, "李四运输");  // or by name
  ASSERT_TRUE(card_->FileSave());
  EXPECT_TRUE(
      Logged("update clzl set 车辆编号='f0',车牌号='f1''',行驶证号='f3',发动机号='f2',车架号='f4',"
             "车型='f5',车名='f8',颜色='f6',车主ID=11 where 车辆ID=" +
             id + " and ws_rowver=0"));

  ASSERT_TRUE(card_->FileEdit());
  Type(7, "");
  ASSERT_TRUE(card_->FileSave()) << "an empty owner is no owner";
  EXPECT_EQ(host_.Scalar("select 车主ID from clzl where 车辆ID=" + id).ToLong(), 0);
}

TEST_F(VehicleCardTest, EditWithoutRowStatusChangePrintLayoutAndRefreshEvents) {
  EXPECT_FALSE(card_->FileEdit());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text + "|" + Boxes()[0].title, "没有具体的往来数据，不能编辑! |clAdd_S");

  AddRow(kMasterCases[0], 1, "V1", "京A1");
  AddRow(kMasterCases[0], 2, "V2", "京A2");
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->FileEdit());
  host_.Sink().Clear();
  EXPECT_TRUE(card_->DoSetStatus("browse", true));
  EXPECT_EQ(host_.Sink().Messages(), (std::vector<std::string>{"数据正在切换状态", ""}));
  EXPECT_FALSE(card_->Editing());
  EXPECT_EQ(card_->GetID(), 2) << "the last row";
  EXPECT_FALSE(card_->CheckStatus(""));
  host_.Exec("update clzl set 车牌号='京A2-新' where 车辆ID=2");

  // Each step reads through the navigator once and ends with one FormRefreshed.
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"RecordTop", [&] { card_->RecordTop(); }},
      {"Find",
       [&] {
         card_->Find(std::vector<host::Condition>{{"V", "车辆编号 like"}});
       }},
      {"FindNext", [&] { card_->FindNext(); }},
      {"change", [&] { card_->DoSetStatus("change", false); }},
      {"browse", [&] { card_->DoSetStatus("browse", false); }},
      {"FileEdit+FileSave", [&] { ASSERT_TRUE(card_->FileEdit() && card_->FileSave()); }},
      {"FileNew+FileCancel", [&] { ASSERT_TRUE(card_->FileNew() && card_->FileCancel()); }},
  };
  for (const auto& [name, step] : steps) {
    host_.Sink().Clear();
    step();
    EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 1) << name;
  }
  EXPECT_EQ(card_->GetID(), 2);
  EXPECT_EQ(Field(1).Text(), "京A2-新");
  host_.Sink().Clear();
  card_->Find(host::Conditions{});
  card_->FileEdit();
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 0) << "no read, no refresh";

  EXPECT_FALSE(card_->DoPrint());
  EXPECT_EQ(std::filesystem::path(card_->ReturnPrintName()),
            host_.WorkFolder() / "selfPrint" / "200012.txt");
  EXPECT_TRUE(std::filesystem::is_directory(host_.WorkFolder() / "selfPrint"));
  card_->DoSaveFormStatus();
  card_->DoGetFormStatus();
  EXPECT_TRUE(std::filesystem::is_directory(host_.WorkFolder() / "selfbb"));
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST_F(CardTestBase, ItemPriceIsStoredAsTheNumberTypedAndAnythingElseAsZero) {
  Open(ItemCard(), 200013);
  // What the parser takes is stored as its number (the parser has its own tests).
  const std::vector<std::pair<std::string, double>> prices = {
      {"1,000.50", 1000.5}, {"", 0}, {"12abc", 0}, {"8元", 0}, {" 8 ", 8}};
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
}

}  // namespace
}  // namespace ws::masters
