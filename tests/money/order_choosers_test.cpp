// The choosers' queries run on the database, the proposal of a receipt's amount over the orders
// they list, and the statements of a receipt's check applied to the orders.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "money/order_choosers.h"
#include "money/receipt_check.h"
#include "orders_fixture.h"

// A filter names only the fields a case narrows by; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ws::money {
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

// The settlement chooser offers checked orders no other settlement holds; the receivable
// chooser one customer's checked orders with a balance, settled or not; both newest first.
TEST_F(OrderChoosersTest, ChoosersListTheirOrdersInEitherDialect) {
  using S = SettlementChooserFilter;
  using R = ReceivableChooserFilter;
  const std::pair<S, Names> settlement[] = {
      {{}, {"WS000", "WS004", "WS005", "WS001"}},
      // The settlement of order 2, being edited, still sees its order.
      {{.settlementId = 50}, {"WS000", "WS004", "WS005", "WS001", "WS002"}},
      {{.dateFrom = "2012-05-01", .dateTo = "2012-05-31", .customerId = 1}, {"WS005", "WS001"}},
      // The row limit keeps the newest.
      {{.rows = 2}, {"WS000", "WS004"}},
  };
  const std::pair<R, Names> receivable[] = {
      {{.customerId = 1}, {"WS000", "WS001", "WS002"}},
      {{.customerId = 1, .vehicleId = 1}, {"WS001", "WS002"}},
      {{.dateFrom = "2012-04-02", .customerId = 1, .vehicleId = 1}, {"WS001"}},
      {{.orderNumber = "WS004"}, {"WS004"}},
  };
  for (const char* driver : {"", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    for (const auto& [filter, names] : settlement) {
      EXPECT_EQ(Orders(SettlementChooserSelect(filter, driver)), names) << driver;
    }
    for (const auto& [filter, names] : receivable) {
      EXPECT_EQ(Orders(ReceivableChooserSelect(filter, driver)), names) << driver;
    }
  }
}

// What each order takes of the amount, "-" for an order left unticked.
TEST(AllocateReceipt, StopsWhereTheAmountRunsOut) {
  const std::tuple<const char*, std::vector<const char*>, std::string> cases[] = {
      {"1000", {"600", "300", "500"}, "600 300 100"},
      {"0", {"600", "300"}, "- -"},
      {"900", {"600", "300", "500"}, "600 300 -"},  // exactly used up: the third is not ticked
      {"0.3", {"0.1", "0.2", "5"}, "0.1 0.2 -"},    // so also in tenths
      {"2000", {"600", "300"}, "600 300"},          // more than owed: every order is paid in full
  };
  for (const auto& [amount, balanceTexts, taken] : cases) {
    std::vector<db::Amount> balances;
    for (const char* text : balanceTexts) balances.push_back(db::Amount::Of(text));
    std::string out;
    for (const auto& row : AllocateReceipt(db::Amount::Of(amount), balances)) {
      out += (out.empty() ? "" : " ") + (row.chosen ? row.amount.Text() : "-");
      EXPECT_TRUE(row.chosen || row.amount.IsZero()) << amount;
    }
    EXPECT_EQ(out, taken) << amount;
  }
}

TEST_F(OrderChoosersTest, CheckAppliesLineAfterLineSkipsLinesWithoutAnOrderAndIsAllOrNothing) {
  host_.Exec("update WSDJ set 总金额=应收合计");
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号) "
      "values (30,200004,'01','填单','SK001')");
  // A correcting line of -50 must not become "补收金额  - -50", a comment.
  auto line = [](int64_t order, const char* amount, const char* discount) {
    return WriteOff{order, db::Amount::Of(amount), db::Amount::Of(discount)};
  };
  ReceiptDocument receipt{
      30,
      200004,
      {line(1, "200", "0"), line(0, "999", "999"), line(1, "50", "20"), line(6, "-50", "0")}};
  // The receipt's mark first, then every line on its order, as the receipt's check runs them.
  auto statements = [&](bool check) {
    std::vector<db::Sql> out{check ? CheckMarkUpdate(200004, 30, {"u", {2012, 6, 12}}, "")
                                   : UnCheckMarkUpdate(200004, 30, "")};
    for (db::Sql& sql : WriteOffStatements(receipt, check ? +1 : -1)) out.push_back(sql);
    return out;
  };
  const std::vector<db::Sql> check = statements(true);
  ASSERT_EQ(Run(check), "");
  EXPECT_EQ(Amounts(1), "280/20/40");  // 400 - 60 - (30 + 250) - 20
  EXPECT_EQ(Amounts(6), "-50/0/550");
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "02");
  ASSERT_EQ(Run(statements(false)), "");
  EXPECT_EQ(Amounts(1) + " " + Amounts(6), "30/0/310 0/0/500");

  host_.RefuseOn("order_6_locked", "WSDJ", "UPDATE", "order 6 is locked", "old.单据ID=6");
  EXPECT_NE(Run(check).find("order 6 is locked"), std::string::npos);
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "01");
  EXPECT_EQ(Amounts(1), "30/0/310") << "the first lines were rolled back with the rest";
}

}  // namespace
}  // namespace ws::money
