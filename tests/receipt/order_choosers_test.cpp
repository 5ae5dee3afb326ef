// The repair-order choosers of the settlement and the receipt, run on the database, and the
// proposal of a receipt's amount over the orders it lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/runner.h"
#include "orders_fixture.h"
#include "receipt/order_choosers.h"

namespace ws::receipt {
namespace {

using Names = std::vector<std::string>;

class OrderChoosersTest : public OrdersTest {
 protected:
  // The 工单号码 of every row the statement lists, in order.
  Names Orders(const db::Sql& sql) {
    std::string error;
    auto rs = db::Runner(host_.Db()).Open(sql, &error);
    EXPECT_EQ(error, "") << sql.Literal();
    Names out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Text("工单号码"));
    return out;
  }
  std::string Driver() { return host_.Db().Settings("driver"); }
};

TEST_F(OrderChoosersTest, SettlementChooserOffersCheckedOrdersNoOtherSettlementHolds) {
  for (const char* driver : {"", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Db().SetSetting("driver", driver);
    SettlementChooserFilter f;
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())),
              (Names{"WS000", "WS001", "WS004", "WS005"}));
    f.settlementId = 50;  // the settlement of order 2, edited
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())),
              (Names{"WS000", "WS001", "WS002", "WS004", "WS005"}));

    f = {};
    f.customerId = 1;
    f.dateFrom = "2012-05-01";
    f.dateTo = "2012-05-31";
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())), (Names{"WS001", "WS005"}));
    f = {};
    f.plate = "京B00002";
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())), (Names{"WS004"}));
    f = {};
    f.orderNumber = "WS005";
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())), (Names{"WS005"}));
    f = {};
    f.rows = 2;
    EXPECT_EQ(Orders(SettlementChooserSelect(f, Driver())), (Names{"WS000", "WS001"}));
  }
}

TEST_F(OrderChoosersTest, ReceivableChooserListsOneCustomersCheckedOrdersWithABalance) {
  for (const char* driver : {"", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Db().SetSetting("driver", driver);
    ReceivableChooserFilter f;
    f.customerId = 1;
    // Oldest first; a settlement does not hide an order from receipts.
    EXPECT_EQ(Orders(ReceivableChooserSelect(f, Driver())), (Names{"WS002", "WS001", "WS000"}));
    f.vehicleId = 1;
    EXPECT_EQ(Orders(ReceivableChooserSelect(f, Driver())), (Names{"WS002", "WS001"}));
    f.dateFrom = "2012-04-02";
    EXPECT_EQ(Orders(ReceivableChooserSelect(f, Driver())), (Names{"WS001"}));
    f = {};
    f.customerId = 1;
    f.dateTo = "2012-04-30";
    EXPECT_EQ(Orders(ReceivableChooserSelect(f, Driver())), (Names{"WS002"}));
    f = {};
    f.orderNumber = "WS004";
    EXPECT_EQ(Orders(ReceivableChooserSelect(f, Driver())), (Names{"WS004"}));
  }
}

TEST_F(OrderChoosersTest, TheReceiptAmountIsSpreadOverTheListedOrdersTopToBottom) {
  ReceivableChooserFilter f;
  f.customerId = 1;
  auto rs = db::Runner(host_.Db()).Open(ReceivableChooserSelect(f, Driver()));
  std::vector<double> balances;
  for (; !rs->Eof(); rs->MoveNext()) balances.push_back(rs->Number("余额"));
  ASSERT_EQ(balances, (std::vector<double>{600, 300, 500}));

  auto proposal = AllocateReceipt(1000, balances);
  ASSERT_EQ(proposal.size(), 3u);
  EXPECT_TRUE(proposal[0].chosen && proposal[1].chosen && proposal[2].chosen);
  EXPECT_EQ(proposal[0].amount, 600);
  EXPECT_EQ(proposal[1].amount, 300);
  EXPECT_EQ(proposal[2].amount, 100);
}

TEST(AllocateReceipt, StopsWhereTheAmountRunsOut) {
  struct Case {
    double amount;
    std::vector<double> balances;
    std::vector<double> taken;  // -1: not ticked
  };
  const Case cases[] = {
      {0, {600, 300}, {-1, -1}},
      {-5, {600}, {-1}},
      {900, {600, 300, 500}, {600, 300, -1}},  // exactly used up: the third is not ticked
      {250, {600, 300}, {250, -1}},
      {2000, {600, 300}, {600, 300}},  // more than owed: every order is paid in full
      {100, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amount);
    auto proposal = AllocateReceipt(c.amount, c.balances);
    ASSERT_EQ(proposal.size(), c.taken.size());
    for (size_t i = 0; i < proposal.size(); ++i) {
      EXPECT_EQ(proposal[i].chosen, c.taken[i] >= 0) << "row " << i;
      EXPECT_EQ(proposal[i].amount, c.taken[i] >= 0 ? c.taken[i] : 0) << "row " << i;
    }
  }
}

}  // namespace
}  // namespace ws::receipt
