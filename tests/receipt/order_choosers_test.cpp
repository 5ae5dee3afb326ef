// The choosers' queries run on the database, the proposal of a receipt's amount over the orders
// they list, and the statements of a receipt's check applied to the orders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/runner.h"
#include "orders_fixture.h"
#include "receipt/order_choosers.h"
#include "receipt/receipt_check.h"

namespace ws::receipt {
namespace {

using Names = std::vector<std::string>;

// A filter with the fields the setter gives it.
template <typename Filter, typename Set>
Filter With(Set set) {
  Filter filter;
  set(filter);
  return filter;
}

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
  // "补收金额/扣减金额/余额" of an order.
  std::string Amounts(int64_t id) {
    return host_.RowText("select 补收金额,扣减金额,余额 from WSDJ where 单据ID=" +
                         std::to_string(id));
  }
  std::string Run(const std::vector<db::Sql>& statements) {
    db::Transaction tx(host_.Db());
    for (const auto& sql : statements) {
      if (!tx.Run(sql)) break;
    }
    return tx.Commit() ? "" : tx.Error();
  }
};

TEST_F(OrderChoosersTest, SettlementChooserOffersCheckedOrdersNoOtherSettlementHolds) {
  const std::pair<SettlementChooserFilter, Names> cases[] = {
      {{}, {"WS000", "WS001", "WS004", "WS005"}},
      // The settlement of order 2, being edited, still sees its order.
      {With<SettlementChooserFilter>([](auto& f) { f.settlementId = 50; }),
       {"WS000", "WS001", "WS002", "WS004", "WS005"}},
      {With<SettlementChooserFilter>([](auto& f) {
         f.dateFrom = "2012-05-01";
         f.dateTo = "2012-05-31";
         f.customerId = 1;
       }),
       {"WS001", "WS005"}},
      {With<SettlementChooserFilter>([](auto& f) { f.plate = "京B00002"; }), {"WS004"}},
      {With<SettlementChooserFilter>([](auto& f) { f.orderNumber = "WS005"; }), {"WS005"}},
      {With<SettlementChooserFilter>([](auto& f) { f.rows = 2; }), {"WS000", "WS001"}},
  };
  for (const char* driver : {"", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    for (const auto& [filter, names] : cases) {
      EXPECT_EQ(Orders(SettlementChooserSelect(filter, driver)), names) << driver;
    }
  }
}

TEST_F(OrderChoosersTest, ReceivableChooserListsOneCustomersCheckedOrdersWithABalance) {
  // Oldest first; a settlement does not hide an order from receipts.
  const std::pair<ReceivableChooserFilter, Names> cases[] = {
      {With<ReceivableChooserFilter>([](auto& f) { f.customerId = 1; }),
       {"WS002", "WS001", "WS000"}},
      {With<ReceivableChooserFilter>([](auto& f) { f.customerId = f.vehicleId = 1; }),
       {"WS002", "WS001"}},
      {With<ReceivableChooserFilter>([](auto& f) {
         f.customerId = f.vehicleId = 1;
         f.dateFrom = "2012-04-02";
       }),
       {"WS001"}},
      {With<ReceivableChooserFilter>([](auto& f) {
         f.customerId = 1;
         f.dateTo = "2012-04-30";
       }),
       {"WS002"}},
      {With<ReceivableChooserFilter>([](auto& f) { f.orderNumber = "WS004"; }), {"WS004"}},
  };
  for (const char* driver : {"", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    for (const auto& [filter, names] : cases) {
      EXPECT_EQ(Orders(ReceivableChooserSelect(filter, driver)), names) << driver;
    }
  }
}

TEST(AllocateReceipt, StopsWhereTheAmountRunsOut) {
  struct Case {
    double amount;
    std::vector<double> balances;
    std::vector<double> taken;  // -1: not ticked
  };
  const Case cases[] = {
      {1000, {600, 300, 500}, {600, 300, 100}},
      {0, {600, 300}, {-1, -1}},
      {-5, {600}, {-1}},
      {900, {600, 300, 500}, {600, 300, -1}},  // exactly used up: the third is not ticked
      {250, {600, 300}, {250, -1}},
      {2000, {600, 300}, {600, 300}},  // more than owed: every order is paid in full
      {100, {}, {}},
  };
  for (const Case& c : cases) {
    auto proposal = AllocateReceipt(c.amount, c.balances);
    ASSERT_EQ(proposal.size(), c.taken.size());
    for (size_t i = 0; i < proposal.size(); ++i) {
      EXPECT_EQ(proposal[i].chosen, c.taken[i] >= 0) << c.amount << " row " << i;
      EXPECT_EQ(proposal[i].amount, c.taken[i] >= 0 ? c.taken[i] : 0) << c.amount << " row " << i;
    }
  }
}

TEST_F(OrderChoosersTest, CheckAppliesLineAfterLineSkipsLinesWithoutAnOrderAndIsAllOrNothing) {
  host_.Exec("update WSDJ set 总金额=应收合计");
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号) "
      "values (30,200004,'01','填单','SK001')");
  // A correcting line of -50 must not become "补收金额  - -50", a comment.
  ReceiptDocument receipt{30, 200004, {{1, 200, 0}, {0, 999, 999}, {1, 50, 20}, {6, -50, 0}}};
  const std::vector<db::Sql> check = ReceiptCheckStatements(receipt, {"u", {2012, 6, 12}}, "");
  EXPECT_EQ(check.size(), 1u + 3 * 3) << "the mark, then three per line with an order";
  ASSERT_EQ(Run(check), "");
  EXPECT_EQ(Amounts(1), "280/20/40");  // 400 - 60 - (30 + 250) - 20
  EXPECT_EQ(Amounts(6), "-50/0/550");
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "02");
  const std::vector<db::Sql> uncheck = ReceiptUnCheckStatements(receipt, "");
  ASSERT_EQ(Run(uncheck), "");
  EXPECT_EQ(Amounts(1) + " " + Amounts(6), "30/0/310 0/0/500");

  host_.RefuseOn("order_6_locked", "WSDJ", "UPDATE", "order 6 is locked", "old.单据ID=6");
  EXPECT_NE(Run(check).find("order 6 is locked"), std::string::npos);
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "01");
  EXPECT_EQ(Amounts(1), "30/0/310") << "the first lines were rolled back with the rest";
}

}  // namespace
}  // namespace ws::receipt
