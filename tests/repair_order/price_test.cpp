// The unit price proposed for a new line, and clsFun::GetCpPrice.
#include "framework/cls_fun.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

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
