// Loading repair orders: the list window, the requested document, one order read into the form.
#include "forms/text.h"
#include "repair_order/register.h"
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
      {{2012, 6, 15}, 12, {2011, 6, 1}, {2012, 7, 1}},
      {{2012, 6, 15}, 0, {2011, 6, 1}, {2012, 7, 1}},    // 0 means 12
      {{2013, 1, 20}, 1, {2012, 12, 1}, {2013, 2, 1}},   // January reaches into last year
      {{2012, 12, 5}, 12, {2011, 12, 1}, {2013, 1, 1}},  // December ends with next January
      {{2012, 3, 1}, 27, {2009, 12, 1}, {2012, 4, 1}},
  };
  for (const auto& c : cases) {
    auto [from, to] = DateWindow(c.login, c.months);
    EXPECT_EQ(from, c.from) << c.login.Text() << " / " << c.months;
    EXPECT_EQ(to, c.to) << c.login.Text() << " / " << c.months;
  }
  EXPECT_EQ(DateWindowCondition({2012, 6, 15}, 12, "jet"),
            " and 进厂日期>=#2011-06-01# and 进厂日期<#2012-07-01#");
  EXPECT_EQ(DateWindowCondition({2012, 6, 15}, 12, "Jet"),
            " and 进厂日期>='2011-06-01' and 进厂日期<'2012-07-01'");
}

TEST(RegisterTest, HostCreatesTheRepairOrderByName) {
  host::Registry registry;
  RegisterRepairOrder(registry);
  auto control = registry.Create("WS.WS_S");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->ClassName(), "WS_S");
  EXPECT_NE(control->AsFormUI(), nullptr);
  EXPECT_NE(dynamic_cast<WS_S*>(control.get()), nullptr);
}

TEST_F(RepairOrderTest, ListKeepsToTheWindowOfTheLoginMonthInBothDialects) {
  AddOrder(1, "W-NOV", "2012-11-30");
  AddOrder(2, "W-DEC", "2012-12-01");
  AddOrder(3, "W-JAN", "2013-01-31");
  AddOrder(4, "W-FEB", "2013-02-01");
  host_.System().SetOption(12, "befmonth", "1");

  // A clerk logged in on 20 January with a one-month window sees December and January.
  platform::SystemObject january(host_.Db(), host_.Dialogs(),
                                 {test::kTestUser, {2013, 1, 20}, host_.WorkFolder().string()});
  ASSERT_TRUE(order_.Init(january, kProgram, 0));
  ASSERT_TRUE(order_.RecordTop());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-DEC");
  EXPECT_EQ(order_.BaseCondition(),
            "progid=200001 and 进厂日期>='2012-12-01' and 进厂日期<'2013-02-01'");
  ASSERT_TRUE(order_.RecordBottom());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-JAN");
  EXPECT_EQ(Label(host::DocumentControl::kRecordLabel).Caption(), "记录：2/2");

  // The driver is read again on every load: the desktop dialect writes "#" dates.
  host_.Db().SetSetting("driver", "jet");
  host_.Db().ClearLog();
  ASSERT_TRUE(order_.RecordTop());
  EXPECT_EQ(order_.BaseCondition(),
            "progid=200001 and 进厂日期>=#2012-12-01# and 进厂日期<#2013-02-01#");
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-DEC") << "the \"#\" dates select the same orders";
  EXPECT_FALSE(Logged("进厂日期>=#2012-12-01#").empty());

  // In December the window ends on the first of January: W-JAN is out, W-DEC in.
  host_.Db().SetSetting("driver", "sqlite");
  host_.System().SetOption(12, "befmonth", "");
  WS_S december;
  platform::SystemObject decemberLogin(
      host_.Db(), host_.Dialogs(), {test::kTestUser, {2012, 12, 31}, host_.WorkFolder().string()});
  ASSERT_TRUE(december.Init(decemberLogin, kProgram, 0));
  ASSERT_TRUE(december.RecordBottom());
  EXPECT_EQ(december.Header(WS_S::kNumber).Text(), "W-DEC");
  EXPECT_EQ(december.BaseCondition(),
            "progid=200001 and 进厂日期>='2011-12-01' and 进厂日期<'2013-01-01'")
      << "an empty befmonth reaches back 12 months";
}

TEST_F(RepairOrderTest, FilterValueCannotOpenTheDesktopDateLiteral) {
  AddOrder(1, "W-EARLY", "2012-06-01");
  AddOrder(2, "W-LATE", "2012-06-03");
  host_.Db().SetSetting("driver", "jet");
  ASSERT_TRUE(Start());
  order_.Filter(std::vector<host::Condition>{{"2012-06-02", "进厂日期<"}});
  ASSERT_EQ(order_.GetID(), 1);

  // A value that closes the "#" literal and adds an "or" of its own.
  order_.Filter(std::vector<host::Condition>{{"2012-06-02# or #1", "进厂日期<"}});
  EXPECT_NE(order_.GetID(), 2) << order_.FilterCondition();
  EXPECT_EQ(order_.FilterCondition().find("# or #"), std::string::npos);
}

TEST_F(RepairOrderTest, RequestedOrderIsShownWhateverItsDate) {
  AddOrder(7, "W-OLD", "2001-03-04");
  AddOrder(8, "W-NOW", "2012-06-01");
  ASSERT_TRUE(Start(7));
  ASSERT_TRUE(order_.Refresh());
  EXPECT_EQ(order_.GetID(), 7);
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-OLD");
  EXPECT_EQ(order_.BaseCondition(), "progid=200001 and 单据ID=7");
  ASSERT_TRUE(order_.RecordNext());
  EXPECT_EQ(order_.GetID(), 7) << "the list holds the requested order only";
}

TEST_F(RepairOrderTest, OrderIsReadWithItsVehicleOwnerLinesAndTotals) {
  AddOrder(5, "W005", "2012-06-02");
  host_.Exec(
      "update WSDJ set 出厂日期='2012-06-03', 公里数=12000.5, 诊断费=10, 检测费=5.5, "
      "维修分类ID=1, 维修分类='小修', 送修人='王五', 审核人='', 制单人='测试员', "
      "制单日期='2012-06-02' where 单据ID=5");
  AddLine(LineKind::Items, 11, 5, 2, 300);
  AddLine(LineKind::Items, 10, 5, 1, 50);
  AddLine(LineKind::Parts, 12, 5, 1, 30);
  AddOrder(6, "W006", "2012-06-03", 99);  // owner and vehicle rows missing
  host_.Exec("update WSDJ set 车辆ID=77 where 单据ID=6");
  host_.System().SetOption(12, "12", "2");
  ASSERT_TRUE(Start());

  ASSERT_TRUE(order_.RecordTop());
  EXPECT_EQ(order_.GetID(), 5);
  EXPECT_EQ(F(WS_S::kPlate).Text(), "京A12345");
  EXPECT_EQ(F(WS_S::kPlate).KeyLong(), 1);
  EXPECT_EQ(F(WS_S::kOwner).Text(), "顺达物流");
  EXPECT_EQ(F(WS_S::kOwner).KeyLong(), 1);
  EXPECT_EQ(F(WS_S::kEngine).Text(), "E100");
  EXPECT_EQ(F(WS_S::kChassis).Text(), "J100");
  EXPECT_EQ(F(WS_S::kModel).Text(), "桑塔纳");
  EXPECT_EQ(F(WS_S::kCategory).Text(), "小修");
  EXPECT_EQ(F(WS_S::kCategory).KeyLong(), 1);
  EXPECT_EQ(F(WS_S::kDateIn).Text(), "2012-06-02");
  EXPECT_EQ(F(WS_S::kDateOut).Text(), "2012-06-03");
  EXPECT_EQ(F(WS_S::kMileage).Text(), "12000.5");
  EXPECT_EQ(F(WS_S::kCheckedBy).Text(), "");
  EXPECT_FALSE(order_.CheckStatus(""));
  EXPECT_EQ(Label(host::DocumentControl::kRecordLabel).Caption(), "记录：1/2");

  forms::Grid& items = Grid(LineKind::Items);
  ASSERT_EQ(items.DataRows(), 2);
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kCode), "X01") << "lines in the order they were added";
  EXPECT_EQ(items.CellKeyLong(1, LineGrid::kCode), 1);
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kName), "换机油");
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kAttribute), "保养");
  EXPECT_EQ(items.TextMatrix(1, LineGrid::kLineId), "10");
  EXPECT_EQ(items.TextMatrix(2, LineGrid::kRowNumber), "2");
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kName), "机油滤芯");
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAttribute), "小号");

  // Totals come from the lines; the fees from the order.
  EXPECT_EQ(F(WS_S::kLabour).Text(), "350");
  EXPECT_EQ(F(WS_S::kParts).Text(), "30");
  EXPECT_EQ(F(WS_S::kTotal).Text(), "395.5");
  EXPECT_EQ(Label(WS_S::kAmountFigures).Caption(), "395.50");
  EXPECT_EQ(Label(WS_S::kAmountWords).Caption(), "叁佰玖拾伍元伍角整");

  ASSERT_TRUE(order_.RecordNext());
  EXPECT_EQ(order_.GetID(), 6);
  EXPECT_EQ(F(WS_S::kPlate).Text(), "") << "a vehicle row that is gone shows no plate";
  EXPECT_EQ(F(WS_S::kOwner).Text(), "");
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 0);
  EXPECT_EQ(F(WS_S::kTotal).Text(), "0");
  EXPECT_EQ(Label(WS_S::kAmountFigures).Caption(), "0.00");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST_F(RepairOrderTest, BrokenLineQueryShowsTheHeaderAndReportsTheDatabaseText) {
  AddOrder(5, "W005", "2012-06-02");
  AddLine(LineKind::Items, 10, 5, 1, 50);
  host_.Exec("drop table PDMWXXM");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.RecordTop());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W005");
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 0);
  ASSERT_EQ(host_.Sink().ErrMessages().size(), 1u);
  EXPECT_NE(forms::FoldCase(host_.Sink().ErrMessages()[0]).find("pdmwxxm"), std::string::npos)
      << host_.Sink().ErrMessages()[0];

  // A broken list: the navigator's text, the form left as it was.
  host_.Sink().Clear();
  host_.Exec("drop table pdmwldw");
  EXPECT_TRUE(order_.RecordNext());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W005");
  ASSERT_EQ(host_.Sink().Count("ErrMessage"), 1);
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 1);
}

}  // namespace
}  // namespace ws::repair_order
