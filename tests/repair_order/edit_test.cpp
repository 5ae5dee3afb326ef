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
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kPrice), "13.3333") << "to the ten-thousandth";
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

  // An unknown code drops the list down on it and keeps the row as it was; a partial code is
  // completed in the list.
  Line(LineKind::Items, 3, "X01", "2", "50");
  Cell(LineKind::Items, 3, LineGrid::kCode, "ZZZ");
  EXPECT_EQ(pickedIn_.back(), "sel_xm:ZZZ");
  EXPECT_EQ(items.TextMatrix(3, LineGrid::kCode) + items.CellKey(3, LineGrid::kCode) +
                items.TextMatrix(3, LineGrid::kAmount),
            "X011100");
  Cell(LineKind::Items, 4, LineGrid::kCode, "喷");
  EXPECT_EQ(items.TextMatrix(4, LineGrid::kCode), "X02") << "resolved by its name";

  // A picker that breaks: the failure is reported with its tag and the row is put back.
  host_.System().Pickers().Register("pdmxm", []() -> std::shared_ptr<host::IControl> {
    throw std::runtime_error("picker broken");
  });
  Cell(LineKind::Items, 3, LineGrid::kCode, "X02");
  EXPECT_TRUE(host_.Sink().HasErrMessage("XS_S-->ywGridXM_TxtValidBmS::picker broken"));
  EXPECT_EQ(items.TextMatrix(3, LineGrid::kCode) + items.TextMatrix(3, LineGrid::kName),
            "X01换机油");
}

TEST_F(RepairOrderTest, NameColumnsAreTypedOnlyUnderTheGoodsMessageOption) {
  host_.System().SetOption(12, "9", "0");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  forms::Grid& items = Grid(LineKind::Items);
  Cell(LineKind::Items, 1, LineGrid::kCode, "X01");
  EXPECT_FALSE(forms::Input::EditCell(items, 1, LineGrid::kName, "自拟"));
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kAttribute, "x"));

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
}

}  // namespace
}  // namespace ws::repair_order
