// Typing a repair order: line lookups and arithmetic, totals, header lookups, the vehicle and
// its last visit, field formats.
#include <stdexcept>

#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

TEST_F(RepairOrderTest, LineLookupsArithmeticAndTotalsFollowEveryEdit) {
  host_.System().SetOption(12, "12", "2");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  EXPECT_FALSE(order_.IsDirty());
  forms::Grid& items = Grid(LineKind::Items);
  const auto row = [&](forms::Grid& grid, int r) {
    std::string text;
    for (int col : {LineGrid::kCode, LineGrid::kName, LineGrid::kAttribute, LineGrid::kQuantity})
      text += grid.TextMatrix(r, col) + "/";
    return text + grid.CellKey(r, LineGrid::kCode);
  };

  // The picker resolves the typed code; a chosen item counts once.
  Cell(LineKind::Items, 1, LineGrid::kCode, "x01");
  EXPECT_EQ(row(items, 1), "X01/换机油/保养/1/1");
  EXPECT_TRUE(order_.IsDirty());
  Cell(LineKind::Items, 1, LineGrid::kQuantity, "3");
  Cell(LineKind::Items, 1, LineGrid::kPrice, "12.5");
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kAmount), "37.5");
  Cell(LineKind::Items, 1, LineGrid::kAmount, "40");
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kPrice), "13.3333333333");
  EXPECT_EQ(items.DisplayText(1, LineGrid::kPrice), "13.33") << "shown in the price format";

  Line(LineKind::Items, 2, "X02", "0", "7");
  Cell(LineKind::Items, 2, LineGrid::kAmount, "20");
  EXPECT_EQ(items.TextMatrix(2, LineGrid::kPrice), "7") << "no price from an amount of nothing";

  Line(LineKind::Parts, 1, "P02", "2", "600");
  EXPECT_EQ(row(Grid(LineKind::Parts), 1), "P02/刹车片/前轮/2/2");
  EXPECT_EQ(F(WS_S::kLabour).Text() + "/" + F(WS_S::kParts).Text(), "60/1200");

  // Fees count at once, typed or not yet left.
  ASSERT_TRUE(forms::Input::Type(F(WS_S::kDiagnosis), "10"));
  EXPECT_EQ(F(WS_S::kTotal).Text(), "1270");
  F(WS_S::kInspection).SetText("5");
  F(WS_S::kInspection).OnChange();
  EXPECT_EQ(F(WS_S::kTotal).Text(), "1275");
  Cell(LineKind::Items, 1, LineGrid::kAmount, "-25.5");
  EXPECT_EQ(F(WS_S::kTotal).Text(), "1209.5");
  EXPECT_EQ(Label(WS_S::kAmountFigures).Caption(), "1209.50");
  EXPECT_EQ(Label(WS_S::kAmountWords).Caption(), "壹仟贰佰零玖元伍角整");

  // Emptying a code forgets its item but keeps the figures typed.
  Cell(LineKind::Parts, 1, LineGrid::kCode, " ");
  EXPECT_EQ(row(Grid(LineKind::Parts), 1), " ///2/0");
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount), "1200");

  // Read-only fields stay so while editing.
  EXPECT_FALSE(forms::Input::Type(F(WS_S::kTotal), "1"));
  EXPECT_FALSE(forms::Input::Type(F(WS_S::kEnteredBy), "x"));
  EXPECT_FALSE(forms::Input::EditCell(items, 1, LineGrid::kRowNumber, "9"));

  // An unknown code drops the list down on it and keeps the row as it was; a partial code is
  // completed in the list; the help key on a part code opens the part list.
  Line(LineKind::Items, 3, "X01", "2", "50");
  Cell(LineKind::Items, 3, LineGrid::kCode, "ZZZ");
  EXPECT_EQ(pickedIn_.back(), "sel_xm:ZZZ");
  EXPECT_EQ(items.TextMatrix(3, LineGrid::kCode) + items.CellKey(3, LineGrid::kCode) +
                items.TextMatrix(3, LineGrid::kAmount),
            "X011100");
  Cell(LineKind::Items, 4, LineGrid::kCode, "喷");
  EXPECT_EQ(items.TextMatrix(4, LineGrid::kCode), "X02") << "resolved by its name";
  ShowTab(LineKind::Parts);
  ASSERT_TRUE(forms::Input::CellPicker(Grid(LineKind::Parts), 2, LineGrid::kCode));
  EXPECT_EQ(pickedIn_.back(), "pdmcpml_j:");
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(2, LineGrid::kCode), "P01");

  // A picker that breaks: the failure is reported with its tag and the row is put back.
  for (const char* name : {"pdmxm", "pdmcpml_j"}) {
    host_.System().Pickers().Register(name, []() -> std::shared_ptr<host::IControl> {
      throw std::runtime_error("picker broken");
    });
  }
  Cell(LineKind::Items, 3, LineGrid::kCode, "X02");
  EXPECT_TRUE(host_.Sink().HasErrMessage("XS_S-->ywGridXM_TxtValidBmS::picker broken"));
  EXPECT_EQ(items.TextMatrix(3, LineGrid::kCode) + items.TextMatrix(3, LineGrid::kName),
            "X01换机油");
  ShowTab(LineKind::Parts);
  ASSERT_TRUE(forms::Input::CellPicker(Grid(LineKind::Parts), 2, LineGrid::kCode));
  EXPECT_TRUE(host_.Sink().HasErrMessage("XS_S-->ywGridPJ_UserHelpEvent::picker broken"));
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(2, LineGrid::kCode), "P01");
}

TEST_F(RepairOrderTest, NameColumnsAreTypedOnlyUnderTheGoodsMessageOption) {
  host_.System().SetOption(12, "readonlyforecolor", "255");
  host_.System().SetOption(12, "readonlybackcolor", "65535");
  host_.System().SetOption(12, "9", "0");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  forms::Grid& items = Grid(LineKind::Items);
  Cell(LineKind::Items, 1, LineGrid::kCode, "X01");
  EXPECT_FALSE(forms::Input::EditCell(items, 1, LineGrid::kName, "自拟"));
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kAttribute, "x"));
  EXPECT_EQ(items.Col(LineGrid::kName).readOnlyForeColor, 255);
  EXPECT_EQ(items.Col(LineGrid::kAttribute).readOnlyBackColor, 65535);
  EXPECT_EQ(items.Col(LineGrid::kPrice).format + items.Col(LineGrid::kAmount).format, "######.##");
  EXPECT_TRUE(items.ColHidden(LineGrid::kLineId));
  EXPECT_EQ(
      items.ColCaption(LineGrid::kCode) + Grid(LineKind::Parts).ColCaption(LineGrid::kAttribute),
      "项目编码配件规格");

  host_.System().SetOption(1, "goodsmsggageedit", "1");
  WS_S editable;
  ASSERT_TRUE(editable.Init(host_.System(), kProgram, 0));
  ASSERT_TRUE(editable.FileNew());
  forms::Grid& grid = editable.Lines(LineKind::Items).Grid();
  ASSERT_TRUE(forms::Input::EditCell(grid, 1, LineGrid::kCode, "X01"));
  ASSERT_TRUE(forms::Input::EditCell(grid, 1, LineGrid::kName, "换机油(全合成)"));
  // A line whose name was emptied is not saved, though it has a code.
  ASSERT_TRUE(forms::Input::EditCell(grid, 2, LineGrid::kCode, "X02"));
  ASSERT_TRUE(forms::Input::EditCell(grid, 2, LineGrid::kName, ""));
  ASSERT_TRUE(editable.FileSave());
  EXPECT_EQ(host_.Joined("select 项目ID from WSDJXM"), "1");
  EXPECT_EQ(grid.TextMatrix(1, LineGrid::kName), "换机油") << "the name shown is the item's";
}

TEST_F(RepairOrderTest, PlateFillsVehicleOwnerAndLastVisitAndANewPlateIsNoLookAlike) {
  AddOrder(3, "W003", "2012-05-01");
  AddOrder(4, "W004", "2012-05-20");
  host_.Exec("update WSDJ set 车厂='老厂', 送修人='旧人', 司机电话='1', 公里数=1 where 单据ID=3");
  host_.Exec(
      "update WSDJ set 车厂='一汽', 送修人='老王', 司机电话='139', 公里数=8000 where 单据ID=4");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kMaker, "手填厂");
  Type(WS_S::kPerson, "手填人");
  const auto shown = [&] {
    std::string text;
    for (int field : {WS_S::kPlate, WS_S::kEngine, WS_S::kChassis, WS_S::kModel, WS_S::kOwner,
                      WS_S::kMaker, WS_S::kPerson, WS_S::kTelephone, WS_S::kMileage})
      text += F(field).Text() + "/";
    return text + F(WS_S::kPlate).Key() + "/" + F(WS_S::kOwner).Key();
  };
  // The plate as the vehicle master holds it; the most recent visit's values replace the typed.
  Type(WS_S::kPlate, "京a12345");
  EXPECT_EQ(shown(), "京A12345/E100/J100/桑塔纳/顺达物流/一汽/老王/139/8000/1/1");
  Type(WS_S::kPlate, "");
  EXPECT_EQ(F(WS_S::kEngine).Text(), "") << "no plate, no vehicle's data";
  Type(WS_S::kPlate, "V001");
  EXPECT_EQ(F(WS_S::kPlate).Text() + F(WS_S::kPlate).Key(), "京A123451") << "by vehicle number";

  // A new car whose plate starts like the known one: accepted, the other car's data gone, the
  // customer kept; retyping the same plate changes nothing.
  Type(WS_S::kPlate, " 京A1234 ");
  EXPECT_TRUE(F(WS_S::kPlate).Valid());
  EXPECT_EQ(shown(), "京A1234////顺达物流/一汽/老王/139/8000/0/1");
  Type(WS_S::kEngine, "E-NEW");
  Type(WS_S::kPlate, "京A1234");
  EXPECT_EQ(F(WS_S::kEngine).Text(), "E-NEW");
  // The help key lists the plates that start with the text; the clerk takes the first.
  ASSERT_TRUE(forms::Input::Picker(F(WS_S::kPlate)));
  EXPECT_EQ(pickedIn_.back(), "sel_cl:京A1234");
  EXPECT_EQ(F(WS_S::kPlate).Text() + F(WS_S::kEngine).Text(), "京A12345E100");
}

TEST_F(RepairOrderTest, HeaderLookupsJudgeTheirText) {
  host_.Exec(
      "insert into WSDJ (单据ID,progid,车厂,主管部门,接待人) values "
      "(9,200001,'一汽','车队','小张')");
  std::vector<std::string> opened;
  host_.System().SetOpenFormHandler(
      [&](const std::string& program, const db::Value& a, const db::Value&, const db::Value&,
          bool flag) { opened.push_back(program + ":" + a.ToText() + (flag ? ":1" : ":0")); });
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());

  Type(WS_S::kOwner, "李");
  EXPECT_EQ(F(WS_S::kOwner).Text() + F(WS_S::kOwner).Key(), "李四2");
  Type(WS_S::kOwner, "没有这个客户");
  EXPECT_FALSE(F(WS_S::kOwner).Valid());
  EXPECT_EQ(F(WS_S::kOwner).Hint(), "车主输入有误，请重新输入！");
  EXPECT_EQ(F(WS_S::kOwner).KeyLong(), 0);
  Type(WS_S::kOwner, "");
  EXPECT_TRUE(F(WS_S::kOwner).Valid()) << "no customer is a valid choice";
  Type(WS_S::kCategory, "F0");
  EXPECT_EQ(F(WS_S::kCategory).Text() + F(WS_S::kCategory).Key(), "小修1");
  Type(WS_S::kCategory, "大修");
  EXPECT_EQ(F(WS_S::kCategory).Hint(), "维修分类输入有误，请重新输入！");

  // The names of earlier orders are offered; a new name is taken as typed.
  ASSERT_TRUE(forms::Input::Picker(F(WS_S::kMaker)));
  EXPECT_EQ(pickedIn_.back(), "sel_TY_INNER:");
  EXPECT_EQ(F(WS_S::kMaker).Text(), "一汽");
  Type(WS_S::kReceptionist, "新来的");
  EXPECT_TRUE(F(WS_S::kReceptionist).Valid());
  ASSERT_TRUE(forms::Input::Picker(F(WS_S::kDepartment)));
  EXPECT_EQ(F(WS_S::kDepartment).Text(), "车队");

  // Dates (the number rule is the typed-number tests', a refused mileage the integrity test's).
  Type(WS_S::kDateOut, "2012/6/5");
  EXPECT_EQ(F(WS_S::kDateOut).Text(), "2012-06-05");
  Type(WS_S::kDateOut, "2012-02-30");
  EXPECT_EQ(F(WS_S::kDateOut).Hint(), "出厂日期输入有误，请重新输入！");

  // A picker the host does not have: the lookup does nothing.
  declinePicks_ = true;
  ASSERT_TRUE(forms::Input::Picker(F(WS_S::kCategory)));
  EXPECT_EQ(F(WS_S::kCategory).Text(), "大修");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());

  // Links to other programs go to the host and mark the order changed.
  ASSERT_TRUE(order_.FileNew());
  ASSERT_TRUE(forms::Input::OpenForm(F(WS_S::kOwner), "PDM_KH", "7"));
  EXPECT_TRUE(order_.IsDirty());
  ASSERT_TRUE(forms::Input::OpenForm(Grid(LineKind::Items), "PDMWXXM", "5"));
  EXPECT_EQ(opened, (std::vector<std::string>{"PDM_KH:7:1", "PDMWXXM:5:1"}));
}

}  // namespace
}  // namespace ws::repair_order
