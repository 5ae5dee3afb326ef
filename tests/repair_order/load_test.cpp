// Loading repair orders: the list window, the requested document, one order read into the form.
#include "forms/text.h"
#include "framework/list_window.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

TEST(DateWindowTest, WindowCarriesWholeYearsBothWays) {
  struct Case {
    db::Date login;
    int months;
    db::Date from;
    db::Date to;
  };
  const Case cases[] = {
      {{2013, 1, 20}, 1, {2012, 12, 1}, {2013, 2, 1}},   // January reaches into last year
      {{2012, 12, 5}, 12, {2011, 12, 1}, {2013, 1, 1}},  // December ends with next January
      {{2012, 3, 1}, 27, {2009, 12, 1}, {2012, 4, 1}},
  };
  for (const auto& c : cases) {
    auto [from, to] = framework::DateWindow(c.login, c.months);
    EXPECT_EQ(from.Text() + "/" + to.Text(), c.from.Text() + "/" + c.to.Text())
        << c.login.Text() << " / " << c.months;
  }
}

TEST_F(RepairOrderTest, ListKeepsToTheWindowOfTheLoginMonthInBothDialects) {
  AddOrder(1, "W-NOV", "2012-11-30");
  AddOrder(2, "W-DEC", "2012-12-01");
  AddOrder(3, "W-JAN", "2013-01-31");
  AddOrder(4, "W-FEB", "2013-02-01");
  host_.System().SetOption(12, "befmonth", "1");

  // A clerk logged in on 20 January with a one-month window sees December and January, in
  // either dialect: the driver is read again on every load.
  platform::SystemObject january(host_.Db(), host_.Dialogs(),
                                 {test::kTestUser, {2013, 1, 20}, host_.WorkFolder().string()});
  ASSERT_TRUE(order_.Init(january, kProgram, 0));
  for (const char* driver : {"sqlite", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    ASSERT_TRUE(order_.RecordTop());
    EXPECT_EQ(F(WS_S::kNumber).Text(), "W-DEC") << driver;
    ASSERT_TRUE(order_.RecordBottom());
    EXPECT_EQ(F(WS_S::kNumber).Text(), "W-JAN") << driver;
  }
  EXPECT_EQ(order_.BaseCondition(),
            "progid=200001 and 进厂日期>=#2012-12-01# and 进厂日期<#2013-02-01#");
}

TEST_F(RepairOrderTest, OrderIsReadWithItsVehicleOwnerLinesAndTotals) {
  AddOrder(5, "W005", "2012-06-02");
  host_.Exec(
      "update WSDJ set 出厂日期='2012-06-03', 公里数=12000.5, 诊断费=10, 检测费=5.5, "
      "维修分类ID=1, 维修分类='小修', 审核人='' where 单据ID=5");
  AddLine(LineKind::Items, 11, 5, 2, 300);
  AddLine(LineKind::Items, 10, 5, 1, 50);
  AddLine(LineKind::Parts, 12, 5, 1, 30);
  AddOrder(6, "W006", "2012-06-03", 99);  // owner and vehicle rows missing
  host_.Exec("update WSDJ set 车辆ID=77 where 单据ID=6");
  host_.System().SetOption(12, "12", "2");
  ASSERT_TRUE(Start());

  ASSERT_TRUE(order_.RecordTop());
  std::string header;
  for (int field : {WS_S::kPlate, WS_S::kOwner, WS_S::kEngine, WS_S::kChassis, WS_S::kModel,
                    WS_S::kCategory, WS_S::kDateIn, WS_S::kDateOut, WS_S::kMileage,
                    WS_S::kCheckedBy, WS_S::kLabour, WS_S::kParts, WS_S::kTotal})
    header += F(field).Text() + "/";
  EXPECT_EQ(header,
            "京A12345/顺达物流/E100/J100/桑塔纳/小修/2012-06-02/2012-06-03/12000.5//350/30/395.5/");
  EXPECT_EQ(F(WS_S::kPlate).Key() + F(WS_S::kOwner).Key() + F(WS_S::kCategory).Key(), "111");
  EXPECT_FALSE(order_.CheckStatus(""));
  EXPECT_EQ(Label(host::DocumentControl::kRecordLabel).Caption(), "记录：1/2");
  EXPECT_EQ(Label(WS_S::kAmountFigures).Caption(), "395.50");
  EXPECT_EQ(Label(WS_S::kAmountWords).Caption(), "叁佰玖拾伍元伍角整");
  forms::Grid& items = Grid(LineKind::Items);
  ASSERT_EQ(items.DataRows(), 2);
  // Lines in the order they were added.
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kCode) + items.CellKey(1, LineGrid::kCode) +
                items.TextMatrix(1, LineGrid::kName) + items.TextMatrix(1, LineGrid::kAttribute) +
                items.TextMatrix(1, LineGrid::kLineId) + items.TextMatrix(2, LineGrid::kRowNumber),
            "X011换机油保养102");
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kName) +
                Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAttribute),
            "机油滤芯小号");
  // The grid as its cells describe it, the amount in the shop's two decimals.
  std::string built, described;
  for (const auto& cell : order_.Lines(LineKind::Items).Schema().cells)
    described += cell.caption + std::to_string(forms::Grid::WidthOfColumns(cell.width)) + "|";
  for (int c = 0; c < items.Cols(); ++c)
    built += items.ColCaption(c) + std::to_string(items.Col(c).width) + "|";
  EXPECT_EQ(built + items.Col(LineGrid::kAmount).format, described + "###.##");

  ASSERT_TRUE(order_.RecordNext());
  EXPECT_EQ(order_.GetID(), 6);
  EXPECT_EQ(F(WS_S::kPlate).Text() + F(WS_S::kOwner).Text(), "") << "left joins: rows gone";
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 0);
  EXPECT_EQ(F(WS_S::kTotal).Text() + "/" + Label(WS_S::kAmountFigures).Caption(), "0/0.00");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());

  // A broken line query shows the header and reports the database text.
  host_.Exec("drop table PDMWXXM");
  ASSERT_TRUE(order_.RecordTop());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W005");
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 0);
  ASSERT_EQ(host_.Sink().ErrMessages().size(), 1u);
  EXPECT_NE(forms::FoldCase(host_.Sink().ErrMessages()[0]).find("pdmwxxm"), std::string::npos);
  // A broken list: the navigator's text, the form left as it was.
  host_.Sink().Clear();
  host_.Exec("drop table pdmwldw");
  EXPECT_TRUE(order_.RecordNext());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W005");
  EXPECT_EQ(host_.Sink().Count("ErrMessage") * 10 + host_.Sink().Count("FormRefreshed"), 11);
}

}  // namespace
}  // namespace ws::repair_order
