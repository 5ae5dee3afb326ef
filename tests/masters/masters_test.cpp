#include "masters/master_card.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "forms/input.h"
#include "masters_fixture.h"

namespace ws::masters {
namespace {

using forms::Input;
using host::MsgAnswer;

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
  // A refused save: false, the box, the focus, still editing, nothing written.
  void ExpectRefused(const std::string& text, int focusField) {
    const size_t logged = host_.Db().Log().size();
    EXPECT_FALSE(card_->FileSave()) << text;
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back().text, text);
    EXPECT_EQ(card_->Form().Focus(), &Field(focusField)) << text;
    EXPECT_TRUE(card_->Editing());
    for (size_t i = logged; i < host_.Db().Log().size(); ++i) {
      EXPECT_EQ(host_.Db().Log()[i].find("insert"), std::string::npos);
      EXPECT_EQ(host_.Db().Log()[i].find("update"), std::string::npos);
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
  EXPECT_FALSE(Input::Type(Field(0), "x").accepted) << "browsing is read-only";

  ASSERT_TRUE(card_->FileNew());
  Type(0, "X");
  ASSERT_TRUE(card_->FileCancel());
  EXPECT_EQ(card_->GetID(), 4);
  EXPECT_EQ(Field(0).Text(), "A01");
  EXPECT_FALSE(card_->Editing() || card_->IsDirty());

  ASSERT_TRUE(card_->FileNew());
  Type(0, " N02  ");
  Type(1, "O'Brien 车 ");
  Type(2, " 备注 'x' ");
  ASSERT_TRUE(card_->FileSave());
  const int64_t id = card_->GetID();
  EXPECT_GT(id, 4) << "the new id comes from the navigator, past every existing one";
  EXPECT_EQ(NameOf(C(), id), "O'Brien 车") << "code and name are stored trimmed, quotes as typed";
  EXPECT_EQ(Field(0).Text(), "N02") << "the card shows what was stored";
  EXPECT_EQ(Field(2).Text(), " 备注 'x' ") << "other texts are not trimmed";

  ASSERT_TRUE(card_->FileEdit());
  Type(1, "O'Brien 二");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(card_->GetID(), id);
  EXPECT_EQ(NameOf(C(), id), "O'Brien 二");
  EXPECT_EQ(Count(C()), 2);

  // With "keep contents" New starts from the shown row's texts and writes a row of its own.
  ASSERT_TRUE(Input::Click(card_->Form().Get<forms::CheckBox>(MasterCard::kCopyOnNew)));
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->FileNew());
  EXPECT_EQ(Field(2).Text(), "two");
  Type(0, "C03");
  Type(1, "Gamma");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(Count(C()), 3);
  EXPECT_EQ(NameOf(C(), 4), "Alpha") << "the copied row is untouched";
}

TEST_P(MasterCardTest, SaveRefusesMissingAndDuplicateCodesAndNames) {
  const std::string& code = C().codeWord;
  const std::string& name = C().nameWord;
  AddRow(C(), 1, "A01", "Alpha");
  AddRow(C(), 2, "B02", "Beta");

  auto refused = [&](const char* typedCode, const char* typedName, const std::string& text,
                     int focus) {
    Type(0, typedCode);
    Type(1, typedName);
    ExpectRefused(text, focus);
  };
  ASSERT_TRUE(card_->FileNew());
  refused("", "New", "没有具体的" + code + ",请录入!", 0);
  refused("C03", "  ", "没有具体的" + name + ",请录入!", 1);
  refused(" A01 ", "New", code + "(A01)重复,请检查!", 0);
  refused("C03", "Alpha ", name + "(Alpha)重复,请检查!", 1);
  Type(1, "Gamma");
  ASSERT_TRUE(card_->FileSave());

  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->RecordNext());
  ASSERT_EQ(card_->GetID(), 2);
  ASSERT_TRUE(card_->FileEdit());
  refused("A01", "Beta", code + "A01重复,请检查!", 0);
  refused("B02", "Alpha", name + "Alpha重复,请检查!", 1);
  Type(1, "Beta");
  EXPECT_TRUE(card_->FileSave()) << "the row's own code and name are no duplicates";

  ASSERT_TRUE(card_->FileEdit());
  Type(1, "Beta 2");
  host_.Exec("delete from " + C().table + " where " + C().key + "=2");
  ExpectRefused("需要修改的" + name + "找不到内部ID号,请重新刷新数据", 1);
  EXPECT_EQ(Count(C()), 2) << "the row deleted meanwhile is not written back";
}

TEST_P(MasterCardTest, RequestedRowFindAndDeleteThatAsksTwiceAndRefusesRowsInUse) {
  AddRow(C(), 1, "A01", "Alpha");
  AddRow(C(), 2, "B02", "O'Brien");
  AddRow(C(), 3, "B03", "Beta");
  UseRow(C(), 1);
  MasterCard single(C().card());
  single.Init(host_.System(), C().cardProgram, 2);
  ASSERT_TRUE(single.RecordTop());
  single.RecordNext();
  EXPECT_EQ(single.GetID(), 2) << "a card opened on a row shows only that row";

  card_->Find(std::vector<host::Condition>{{"O'B", C().nameColumn + " like"}});
  EXPECT_EQ(card_->GetID(), 2);

  host_.Dialogs().Clear();
  ASSERT_TRUE(card_->RecordTop());
  ASSERT_TRUE(card_->RecordNext());

  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(card_->FileDelete());
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[2].text, "是否删除当前记录:O'Brien");
  EXPECT_TRUE(RowExists(C(), 2));

  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Sink().Clear();
  EXPECT_TRUE(card_->FileDelete());
  EXPECT_FALSE(RowExists(C(), 2));
  EXPECT_EQ(Errs(), std::vector<std::string>{C().cardDeleted + "2|1|" + C().cardTitle});
  EXPECT_EQ(card_->GetID(), 3) << "the next row is shown";

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
  ExpectRefused("输入有误，请重新输入！", 7);
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
  EXPECT_EQ(host_.RowText("select 车牌号, 车主ID from clzl where 车辆ID=" + id), "f1'/11");

  ASSERT_TRUE(card_->FileEdit());
  Type(7, "");
  ASSERT_TRUE(card_->FileSave()) << "an empty owner is no owner";
  EXPECT_EQ(host_.Scalar("select 车主ID from clzl where 车辆ID=" + id).ToLong(), 0);
}

TEST_F(CardTestBase, ItemPriceIsStoredAsTheNumberTypedAndAnythingElseAsZero) {
  Open(ItemCard(), 200013);
  // What the parser takes is stored as its number (the parser has its own tests).
  const std::vector<std::pair<std::string, double>> prices = {
      {"1,000.50", 1000.5}, {"", 0}, {"12abc", 0}, {" 8 ", 8}};
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
}

TEST_F(CardTestBase, ServiceIntervalsAreWholeNumbersAboveZeroOrNone) {
  Open(ItemCard(), 200013);
  // Typed months and kilometres, and what is stored; nullopt: refused, nothing written.
  const std::vector<std::tuple<std::string, std::string, std::optional<std::pair<int, int>>>>
      cases = {{"6", "5000", std::pair{6, 5000}}, {"", " 12 ", std::pair{0, 12}},
               {"", "", std::pair{0, 0}},         {"0", "", std::nullopt},
               {"", "-500", std::nullopt},        {"半年", "", std::nullopt},
               {"1.5", "", std::nullopt}};
  int n = 0;
  for (const auto& [months, km, stored] : cases) {
    ASSERT_TRUE(card_->FileNew());
    Type(0, "S" + std::to_string(++n));
    Type(1, "保养" + std::to_string(n));
    Type(4, months);
    Type(5, km);
    if (!stored) {
      const bool monthsBad = !ParseServiceInterval(months);
      ExpectRefused(
          std::string(monthsBad ? "保养月数" : "保养公里") + "须为大于0的整数,不提醒请留空!",
          monthsBad ? 4 : 5);
      ASSERT_TRUE(card_->FileCancel());
      continue;
    }
    ASSERT_TRUE(card_->FileSave()) << months << "/" << km;
    const std::string id = std::to_string(card_->GetID());
    EXPECT_EQ(host_.RowText("select 保养月数, 保养公里 from PDMWXXM where AutoID=" + id),
              std::to_string(stored->first) + "/" + std::to_string(stored->second));
    // None shows as an empty field, not as 0.
    EXPECT_EQ(Field(4).Text(), stored->first ? std::to_string(stored->first) : "");
  }
  EXPECT_EQ(host_.Scalar("select count(*) from PDMWXXM where 编码 like 'S%'").ToLong(), 3);
}

TEST_F(CardTestBase, VehicleVinIsWarnedAboutAsLeftAndAsSavedAndAlwaysStored) {
  Open(VehicleCard(), 200012);
  const auto stored = [&] { return host_.Scalar("select 车架号 from clzl").ToText(); };
  ASSERT_TRUE(card_->FileNew());
  Type(0, "V9");
  Type(1, "京Z99999");
  Type(4, " 1m8gdm9a1kp042788 ");
  EXPECT_EQ(Field(4).Text(), "1M8GDM9A1KP042788") << "a VIN typed in lower case";
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].text.find("第9位校验位应为“X”"), std::string::npos) << Boxes()[0].text;
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(Boxes().size(), 1u) << "the number left is not asked about again";
  EXPECT_EQ(stored(), "1M8GDM9A1KP042788");
  // Shown again, its failing VIN is told as the card saves; what is no VIN is kept as typed.
  ASSERT_TRUE(card_->FileEdit());
  Type(5, "轿车");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(Boxes().size(), 2u);
  ASSERT_TRUE(card_->FileEdit());
  Type(4, " c2184847");
  ASSERT_TRUE(card_->FileSave());
  EXPECT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(stored(), " c2184847");
}

}  // namespace
}  // namespace ws::masters
