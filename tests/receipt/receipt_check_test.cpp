// Checking and unchecking a receipt: its lines change the repair orders' collected amounts and
// balances, once per check, all or nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/runner.h"
#include "receipt/receipt_check.h"
#include "settlement/period_gate.h"
#include "support/test_host.h"

namespace ws::receipt {
namespace {

constexpr int64_t kProgram = 200004;

class ReceiptCheckTest : public test::HostTest {
 protected:
  void SetUp() override {
    // Order 6 (1000, 200 collected on the spot) and order 7 (500, nothing collected).
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,总金额,现收金额,余额) values "
        "(6,200001,'02','WS006',1,1000,200,800),(7,200001,'02','WS007',1,500,0,500)");
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,status,单据编号,往来ID,单据日期,总金额) "
        "values (30,200004,'01','填单','SK001',1,'2012-06-12',300)");
  }

  // Gate, then the statements in one transaction; "" when it went through.
  std::string Check(const ReceiptDocument& receipt) {
    if (!gate_.Pass(settlement::GateOperation::Check, receipt.id, date_)) return "refused";
    return RunAll(ReceiptCheckStatements(receipt, {test::kTestUser, test::kTestLoginDate},
                                         host_.Db().Settings("driver")));
  }
  std::string UnCheck(const ReceiptDocument& receipt) {
    if (!gate_.Pass(settlement::GateOperation::UnCheck, receipt.id, date_)) return "refused";
    return RunAll(ReceiptUnCheckStatements(receipt, host_.Db().Settings("driver")));
  }
  std::string RunAll(const std::vector<db::Sql>& statements) {
    db::Transaction tx(host_.Db());
    for (const auto& sql : statements) {
      if (!tx.Run(sql)) break;
    }
    return tx.Commit() ? "" : tx.Error();
  }
  // "补收金额/扣减金额/余额" of an order.
  std::string Amounts(int64_t orderId) {
    return host_.RowText("select 补收金额,扣减金额,余额 from WSDJ where 单据ID=" +
                         std::to_string(orderId));
  }
  std::string Mark() { return host_.Scalar("select smark from ARPReceive").ToText(); }

  settlement::PeriodGate gate_{host_.System()};
  db::Date date_{2012, 6, 12};
};

TEST_F(ReceiptCheckTest, CheckAddsTheLineAndUncheckTakesItBack) {
  // Order 6 is an order like any other.
  ReceiptDocument receipt{30, kProgram, {{6, 300, 0}}};
  ASSERT_EQ(Check(receipt), "");
  EXPECT_EQ(Mark(), "02");
  EXPECT_EQ(Amounts(6), "300/0/500");

  EXPECT_EQ(Check(receipt), "refused");
  EXPECT_EQ(Amounts(6), "300/0/500") << "a second check adds nothing";

  ASSERT_EQ(UnCheck(receipt), "");
  EXPECT_EQ(Mark(), "01");
  EXPECT_EQ(Amounts(6), "0/0/800");
  EXPECT_EQ(UnCheck(receipt), "refused");
  EXPECT_EQ(Amounts(6), "0/0/800");
  EXPECT_EQ(Amounts(7), "0/0/500");
}

TEST_F(ReceiptCheckTest, LinesApplyOneAfterAnotherAndLinesWithoutAnOrderAreSkipped) {
  ReceiptDocument receipt{30, kProgram, {{6, 300, 0}, {0, 999, 999}, {6, 100, 50}, {7, 80, 0}}};
  std::vector<db::Sql> statements = ReceiptCheckStatements(receipt, {"u", {2012, 6, 12}}, "jet");
  EXPECT_EQ(statements.size(), 1u + 3 * 3) << "the mark, then three per line with an order";

  ASSERT_EQ(Check(receipt), "");
  EXPECT_EQ(Amounts(6), "400/50/350");
  EXPECT_EQ(Amounts(7), "80/0/420");
  ASSERT_EQ(UnCheck(receipt), "");
  EXPECT_EQ(Amounts(6), "0/0/800");
  EXPECT_EQ(Amounts(7), "0/0/500");
}

TEST_F(ReceiptCheckTest, ANegativeAmountIsSubtractedNotCommentedOut) {
  // A correcting line of -50: "补收金额  - -50" must not become "--50", a comment.
  ReceiptDocument receipt{30, kProgram, {{7, -50, 0}}};
  ASSERT_EQ(Check(receipt), "");
  EXPECT_EQ(Amounts(7), "-50/0/550");
  ASSERT_EQ(UnCheck(receipt), "");
  EXPECT_EQ(Amounts(7), "0/0/500");
}

TEST(ReceiptStatements, TextsOfOneLineBothWays) {
  auto texts = [](const std::vector<db::Sql>& statements) {
    std::vector<std::string> out;
    for (const auto& sql : statements) out.push_back(sql.Literal());
    return out;
  };
  EXPECT_EQ(texts(ApplyWriteOff({6, 300, 12.5}, +1)),
            (std::vector<std::string>{
                " update wsdj   set 补收金额=补收金额  + 300   where 单据ID=6",
                " update wsdj   set 扣减金额=扣减金额  + 12.5   where 单据ID=6",
                " update wsdj   set 余额=总金额-现收金额-补收金额-扣减金额  where 单据ID=6"}));
  EXPECT_EQ(texts(ApplyWriteOff({6, 300, 0}, -1))[0],
            " update wsdj   set 补收金额=补收金额  - 300   where 单据ID=6");
}

TEST_F(ReceiptCheckTest, AFailingOrderUndoesTheWholeCheck) {
  host_.RefuseOn("order_7_locked", "WSDJ", "UPDATE", "order 7 is locked", "old.单据ID=7");
  ReceiptDocument receipt{30, kProgram, {{6, 300, 0}, {7, 100, 0}}};
  EXPECT_NE(Check(receipt).find("order 7 is locked"), std::string::npos);
  EXPECT_EQ(Mark(), "01");
  EXPECT_EQ(Amounts(6), "0/0/800") << "the first line was rolled back with the rest";
}

}  // namespace
}  // namespace ws::receipt
