// Loading and typing a repair order: the list window, the requested document, one order read
// into the form; line lookups and arithmetic, totals, header lookups, the vehicle and its last
// visit, field formats; the unit price proposed for a new line, and clsFun::GetCpPrice.
#include <stdexcept>

#include "forms/text.h"
#include "framework/cls_fun.h"
#include "framework/list_window.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

TEST_F(RepairOrderTest, LineLookupsArithmeticAndTotalsFollowEveryEdit) {
  host_.System().SetOption(12, "12", "2");
  ASSERT_TRUE(Start() && order_.FileNew());
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
  ASSERT_TRUE(Start() && order_.FileNew());
  forms::Grid& items = Grid(LineKind::Items);
  Cell(LineKind::Items, 1, LineGrid::kCode, "X01");
  EXPECT_FALSE(forms::Input::EditCell(items, 1, LineGrid::kName, "自拟"));
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kAttribute, "x"));

  host_.System().SetOption(1, "goodsmsggageedit", "1");
  WS_S editable;
  ASSERT_TRUE(editable.Init(host_.System(), kProgram, 0) && editable.FileNew());
  forms::Grid& grid = editable.Lines(LineKind::Items).Grid();
  ASSERT_TRUE(forms::Input::EditCell(grid, 1, LineGrid::kCode, "X01"));
  ASSERT_TRUE(forms::Input::EditCell(grid, 1, LineGrid::kName, "换机油(全合成)"));
  // A line whose name was emptied is not saved, though it has a code.
  ASSERT_TRUE(forms::Input::EditCell(grid, 2, LineGrid::kCode, "X02"));
  ASSERT_TRUE(forms::Input::EditCell(grid, 2, LineGrid::kName, "") && editable.FileSave());
  EXPECT_EQ(host_.Joined("select 项目ID from WSDJXM"), "1");
  EXPECT_EQ(grid.TextMatrix(1, LineGrid::kName), "换机油") << "the name shown is the item's";
}

TEST_F(RepairOrderTest, PlateFillsVehicleOwnerAndLastVisitAndANewPlateIsNoLookAlike) {
  AddOrder(3, "W003", "2012-05-01");
  AddOrder(4, "W004", "2012-05-20");
  host_.Exec("update WSDJ set 车厂='老厂', 送修人='旧人', 司机电话='1', 公里数=1 where 单据ID=3");
  host_.Exec(
      "update WSDJ set 车厂='一汽', 送修人='老王', 司机电话='139', 公里数=8000 where 单据ID=4");
  ASSERT_TRUE(Start() && order_.FileNew());
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
  EXPECT_EQ(built + items.Col(LineGrid::kAmount).format, described + "###.00");

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

using framework::clsFun;

class PriceTest : public RepairOrderTest {
 protected:
  // An order of the owner with one line of the item or part at the price, checked or not.
  void History(int64_t orderId, int64_t ownerId, LineKind kind, int64_t key, double price,
               const std::string& smark) {
    AddOrder(orderId, "H" + std::to_string(orderId), "2012-01-01", ownerId, smark);
    AddLine(kind, orderId * 10, orderId, key, price);
  }
  void SetRule(int rule) {
    host_.Exec("update xt_objects set fetchPrice=" + std::to_string(rule) + " where progid=200001");
  }
  void Stock(const std::string& rows) {
    host_.Exec("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,库存数量,库存金额) values " +
               rows);
  }
  // The price a new line of the code gets on a new order of the owner text.
  std::string Proposed(LineKind kind, const std::string& owner, const std::string& code,
                       const std::string& typedPrice = "") {
    EXPECT_TRUE(order_.FileNew());
    Type(WS_S::kOwner, owner);
    if (!typedPrice.empty()) Cell(kind, 1, LineGrid::kPrice, typedPrice);
    Cell(kind, 1, LineGrid::kCode, code);
    return Grid(kind).TextMatrix(1, LineGrid::kPrice);
  }
};

TEST_F(PriceTest, CustomerHistoryComesFirstThenThePriceRule) {
  History(20, 1, LineKind::Items, 1, 80, "02");
  History(21, 2, LineKind::Items, 1, 90, "02");
  History(22, 1, LineKind::Items, 1, 70, "01");  // the latest, but never checked
  History(23, 2, LineKind::Parts, 2, 110, "02");
  ASSERT_TRUE(Start());

  EXPECT_EQ(Proposed(LineKind::Items, "顺达", "X01"), "80") << "the customer's own price";
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kAmount), "80");
  EXPECT_EQ(Proposed(LineKind::Items, "", "X01"), "90") << "a new customer: anyone's latest";
  EXPECT_EQ(Proposed(LineKind::Parts, "顺达", "P02"), "110");

  // Without history the price rule decides: 5 and 6 are the catalogue's retail price.
  for (int rule : {5, 6}) {
    SetRule(rule);
    EXPECT_EQ(Proposed(LineKind::Parts, "", "P01"), "30") << "rule " << rule;
  }
  SetRule(0);
  EXPECT_EQ(Proposed(LineKind::Items, "", "X02", "12"), "0") << "rule 0 proposes a price of 0";

  // Fetch mode 1 skips the history; 3 proposes nothing.
  host_.System().SetOption(12, "fetchmode", "1");
  SetRule(1);
  History(24, 1, LineKind::Items, 1, 84, "02");
  EXPECT_EQ(Proposed(LineKind::Items, "顺达", "X01"), "80") << "the lowest checked price";
  SetRule(4);
  EXPECT_EQ(Proposed(LineKind::Items, "顺达", "X01"), "84") << "the latest checked price";
  host_.System().SetOption(12, "fetchmode", "3");
  EXPECT_EQ(Proposed(LineKind::Items, "顺达", "X01", "12"), "12");
  // Module 12 unset: module 3 decides.
  host_.System().SetOption(12, "fetchmode", "0");
  host_.System().SetOption(3, "fetchmode", "2");
  SetRule(2);
  EXPECT_EQ(Proposed(LineKind::Items, "顺达", "X01"), "90") << "the highest";

  // Rule 7, the stock's average cost, for parts only.
  host_.System().SetOption(12, "fetchmode", "1");
  SetRule(7);
  host_.Exec(
      "insert into PDMBM (部门ID,部门名称,组织类型,不参与物料运算) values (1,'总库',2,0),"
      "(2,'废品库',2,1)");
  Stock("(201206,1,1,'',0,0),(201206,2,1,'',6,600)");  // the second depot is outside the figures
  EXPECT_EQ(Proposed(LineKind::Parts, "", "P01", "55"), "55") << "no stock: the price stays";
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount), "55");

  Stock("(201206,1,1,'A-1',4,100)");
  EXPECT_EQ(Proposed(LineKind::Parts, "", "P01", "55"), "25");
  EXPECT_EQ(Proposed(LineKind::Items, "", "X01", "55"), "55") << "labour has no stock";

  // A broken stock ledger ends the lookup without a word.
  host_.Exec("drop table JXCGoodsZzTz");
  EXPECT_EQ(Proposed(LineKind::Parts, "", "P01", "55"), "55");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

class CpPriceTest : public test::HostTest {
 protected:
  void SetUp() override {
    // Two checked purchase documents of program 100 and one entered; partners 5 and 6.
    host_.Exec(
        "insert into JXCDJ (单据ID,progID,smark,往来ID) values (1,100,'02',5),(2,100,'02',6),"
        "(3,100,'01',5)");
    host_.Exec(
        "insert into JXCDJMX (单据明细ID,单据ID,产品ID,单价,含税单价) values (1,1,9,10,11.7),"
        "(2,2,9,14,16.38),(3,3,9,1,1)");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,参考批发价,参考零售价,参考进价) values "
        "(9,'P9',12,15,8)");
    host_.Exec("insert into PDMBM (部门ID,不参与物料运算) values (1,0),(2,0)");
    host_.Exec(
        "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,库存数量,库存金额) values "
        "(201206,1,9,'A',2,30), (201206,2,9,'B',3,20), (201205,1,9,'A',1,100)");
    host_.Exec(
        "insert into Pubwlprice (AutoID,往来ID,币种ID,产品ID,单价,smark,systemcode) values "
        "(1,5,100,9,9.5,'02','PO'), (2,5,100,9,1,'01','PO'), (3,5,1,9,2,'02','PO'), "
        "(4,6,100,9,3,'02','SO')");
    fun_.Init(host_.System());
  }
  std::string Price(int64_t rule, bool taxIncluded = false, int64_t partner = 0, int64_t depot = 0,
                    const std::string* place = nullptr) {
    db::Amount price = db::Amount::Of("-1");
    EXPECT_TRUE(fun_.GetCpPrice(price, rule, 201206, 9, taxIncluded, 100, partner, depot,
                                place != nullptr, place ? *place : "", false, "", false, "", false,
                                ""));
    return price.Text();
  }
  clsFun fun_;
};

TEST_F(CpPriceTest, EveryRule) {
  EXPECT_EQ(Price(1, true), "11.7");
  EXPECT_EQ(Price(3, true), "14.04") << "(11.7 + 16.38) / 2";
  EXPECT_EQ(Price(11, false, 5), "10") << "partner 5 only";
  EXPECT_EQ(Price(5), "12") << "wholesale";
  EXPECT_EQ(Price(6), "15") << "retail";
  EXPECT_EQ(Price(8), "8");
  EXPECT_EQ(Price(7), "10") << "(30 + 20) / (2 + 3) over the counted depots";
  const std::string place = "B";
  const std::string nowhere = "Z";
  EXPECT_EQ(Price(7, false, 0, 0, &place), "6.6667") << "20 / 3 to the ten-thousandth";
  EXPECT_EQ(Price(7, false, 0, 0, &nowhere), "-1") << "no stock: the price stays";
  EXPECT_EQ(Price(21, false, 5), "9.5") << "checked, currency 100, purchase";
  EXPECT_EQ(Price(21, false, 6), "0") << "a sales price is no purchase price";
  EXPECT_EQ(Price(9), "-1") << "no such rule: the price stays";

  host_.Exec("drop table Pubwlprice");
  db::Amount price = db::Amount::Of("5");
  EXPECT_FALSE(fun_.GetCpPrice(price, 21, 201206, 9, false, 100, 5, 0, false, "", false, "", false,
                               "", false, ""));
  EXPECT_EQ(price.Text(), "5");
  EXPECT_EQ(host_.Dialogs().Boxes().size(), 1u);
}

}  // namespace
}  // namespace ws::repair_order
