// Checking a repair settlement: its voucher lines, the statements and what a check, an uncheck
// and a second check leave in the ledger.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/runner.h"
#include "settlement/period_gate.h"
#include "settlement/settlement_voucher.h"
#include "support/test_host.h"

namespace ws::settlement {
namespace {

constexpr int64_t kProgram = 200003;
constexpr int64_t kCustomer = 7;
constexpr int64_t kMethod = 3;

// Fees 300 labour, 200 parts, 20 management; 500 collected into cash account 1001, 20 written
// off.
SettlementDocument Example() {
  SettlementDocument s;
  s.id = 41;
  s.programNumber = kProgram;
  s.number = "JS001";
  s.date = "2012-06-10";
  s.period = 201206;
  s.customerId = kCustomer;
  s.methodId = kMethod;
  s.accountId = 9;
  s.collected = 500;
  s.writeOff = 20;
  s.fees = {300, 200, 0, 0, 20};
  s.orderNumber = "WS001";
  s.plate = "京A12345";
  s.enteredBy = "张三";
  s.entryDate = "2012-06-09";
  return s;
}

// "D 113101 300" or "C 113102 100": the side, account and amount of a line.
std::vector<std::string> Brief(const std::vector<VoucherLine>& lines) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    out.push_back(std::string(line.debit ? "D " : "C ") + line.account + " " +
                  db::DecimalText(line.amount));
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(SettlementVoucherLines, ClearTheFeesInOrderUntilTheMoneyRunsOut) {
  SettlementDocument s = Example();
  EXPECT_EQ(Brief(SettlementVoucherLines(s, "1001")),
            (Lines{"D 113101 300", "D 113102 200", "D 113105 20", "D 1001 500", "D 550101 20",
                   "C 113101 300", "C 113102 200", "C 113105 20"}));

  s.collected = 400;
  s.writeOff = 0;
  EXPECT_EQ(Brief(SettlementVoucherLines(s, "1001")),
            (Lines{"D 113101 300", "D 113102 200", "D 113105 20", "D 1001 400", "C 113101 300",
                   "C 113102 100"}));

  // Nothing collected: only the write-off clears, and no cash line.
  s.collected = 0;
  s.writeOff = 20;
  EXPECT_EQ(Brief(SettlementVoucherLines(s, "1001")),
            (Lines{"D 113101 300", "D 113102 200", "D 113105 20", "D 550101 20", "C 113101 20"}));

  // No cash account: no cash line, the rest as before.
  s = Example();
  s.accountId = 0;
  EXPECT_EQ(Brief(SettlementVoucherLines(s, "")),
            (Lines{"D 113101 300", "D 113102 200", "D 113105 20", "D 550101 20", "C 113101 300",
                   "C 113102 200", "C 113105 20"}));

  // All five fees take their own accounts; more money than fees credits each fee in full.
  s = Example();
  s.fees = {1, 2, 3, 4, 5};
  s.collected = 100;
  EXPECT_EQ(
      Brief(SettlementVoucherLines(s, "1001")),
      (Lines{"D 113101 1", "D 113102 2", "D 113103 3", "D 113104 4", "D 113105 5", "D 1001 100",
             "D 550101 20", "C 113101 1", "C 113102 2", "C 113103 3", "C 113104 4", "C 113105 5"}));
}

TEST(SettlementVoucherLines, CarryTheSummaryPartnerAndMethodOfTheirKind) {
  auto lines = SettlementVoucherLines(Example(), "1001");
  ASSERT_EQ(lines.size(), 8u);
  const VoucherLine& fee = lines[0];
  EXPECT_EQ(fee.summary, "汽修单[WS001 京A12345]");
  EXPECT_EQ(fee.partnerId, kCustomer);
  EXPECT_EQ(fee.methodId, 0) << "fee debits carry no settlement method";
  for (const VoucherLine* money : {&lines[3], &lines[4]}) {  // cash and write-off
    EXPECT_EQ(money->summary, "汽修单[WS001 京A12345]");
    EXPECT_EQ(money->partnerId, 0);
    EXPECT_EQ(money->methodId, kMethod);
  }
  const VoucherLine& credit = lines[5];
  EXPECT_EQ(credit.summary, "收款单[WS001 京A12345]");
  EXPECT_EQ(credit.partnerId, kCustomer);
  EXPECT_EQ(credit.methodId, kMethod);
}

TEST(SettlementVoucherLines, ARoundingResidueOfTheMoneyIsNoCredit) {
  SettlementDocument s = Example();
  s.fees = {0.3, 0.1, 0, 0, 0.01};
  s.collected = 0.1;
  s.writeOff = 0.2;  // 0.1 + 0.2 is a hair above 0.3 in binary
  auto lines = SettlementVoucherLines(s, "1001");
  EXPECT_EQ(Brief(lines), (Lines{"D 113101 0.3", "D 113102 0.1", "D 113105 0.01", "D 1001 0.1",
                                 "D 550101 0.2", "C 113101 0.3"}));
}

TEST(SettlementStatements, HeaderMarkInBothDialects) {
  Checker checker{"李四", db::Date{2012, 6, 15}};
  EXPECT_EQ(CheckMarkUpdate(kProgram, 41, checker, "jet").Literal(),
            " Update arpreceive Set progID=200003,smark='02', 审核人='李四', "
            "审核日期=#2012-06-15#, status='审核' Where 单据ID=41");
  EXPECT_EQ(CheckMarkUpdate(kProgram, 41, checker, "sqlite").Literal(),
            " Update arpreceive Set progID=200003,smark='02', 审核人='李四', "
            "审核日期='2012-06-15', status='审核' Where 单据ID=41");
  EXPECT_EQ(UnCheckMarkUpdate(kProgram, 41, "jet").Literal(),
            " Update arpreceive Set progID=200003,smark='01', 审核人='', "
            "审核日期=#1900-01-01#, status='填单' Where 单据ID=41");
  EXPECT_EQ(UnCheckMarkUpdate(kProgram, 41, "Jet").Literal(),
            " Update arpreceive Set progID=200003,smark='01', 审核人='', "
            "审核日期='1900-01-01', status='填单' Where 单据ID=41");
}

// The settlement of Example() saved in the database, checked as its document will check it:
// gate, then every statement in one transaction.
class SettlementCheckTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmkjkm (科目ID,科目编码,科目名称,是否现金科目,是否明细) "
        "values (9,'1001','现金',1,1)");
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,status,单据编号,往来ID,结算方式ID,科目ID,"
        "单据日期,会计期间,总金额,扣零金额,前置单据ID,制单人,制单日期) values (41,200003,'01',"
        "'填单','JS001',7,3,9,'2012-06-10',201206,500,20,5,'张三','2012-06-09')");
    navigator_ = host_.System().CreateNavigator();
  }

  // Answers "" when the check went through, else the refusal or the database's error.
  std::string Check(const SettlementDocument& s) {
    if (!gate_.Pass(GateOperation::Check, s.id, *db::Date::Parse(s.date))) return "refused";
    SettlementPosting posting(host_.System(), *navigator_);
    std::vector<db::Sql> statements;
    if (std::string error = posting.CheckStatements(s, checker_, statements); !error.empty()) {
      return error;
    }
    return RunAll(statements);
  }
  std::string UnCheck(const SettlementDocument& s) {
    if (!gate_.Pass(GateOperation::UnCheck, s.id, *db::Date::Parse(s.date))) return "refused";
    return RunAll(SettlementPosting(host_.System(), *navigator_).UnCheckStatements(s));
  }
  std::string RunAll(const std::vector<db::Sql>& statements) {
    db::Transaction tx(host_.Db());
    for (const auto& sql : statements) {
      if (!tx.Run(sql)) break;
    }
    return tx.Commit() ? "" : tx.Error();
  }

  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  // The settlement's voucher lines as "D 113101 300", in the order written.
  Lines Ledger() {
    Lines out;
    auto rs =
        db::Runner(host_.Db())
            .Open(
                "select 科目编码, 借方金额, 贷方金额 from gl_accvouch where 前置单据=200003 and "
                "前置单据ID=41 order by autoid");
    for (; !rs->Eof(); rs->MoveNext()) {
      bool debit = rs->Number("借方金额") != 0;
      out.push_back(std::string(debit ? "D " : "C ") + rs->Text("科目编码") + " " +
                    db::DecimalText(rs->Number(debit ? "借方金额" : "贷方金额")));
    }
    return out;
  }

  PeriodGate gate_{host_.System()};
  Checker checker_{test::kTestUser, test::kTestLoginDate};
  std::unique_ptr<host::INavigator> navigator_;
};

const Lines kExampleLedger{"D 113101 300", "D 113102 200", "D 113105 20",  "D 1001 500",
                           "D 550101 20",  "C 113101 300", "C 113102 200", "C 113105 20"};

TEST_F(SettlementCheckTest, CheckMarksTheSettlementAndWritesEveryVoucherColumn) {
  ASSERT_EQ(Check(Example()), "");
  EXPECT_EQ(Text("select smark||status||审核人||审核日期 from ARPReceive where 单据ID=41"),
            "02审核测试员2012-06-15");
  EXPECT_EQ(Ledger(), kExampleLedger);

  auto rs = db::Runner(host_.Db())
                .Open("select * from gl_accvouch where 科目编码='1001' and 前置单据ID=41");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Long("progid"), kProgram);
  EXPECT_EQ(rs->Text("smark") + rs->Text("status"), "01填单");
  EXPECT_EQ(rs->Text("对方科目"), "");
  EXPECT_EQ(rs->Long("会计期间"), 201206);
  EXPECT_EQ(rs->Text("凭证日期"), "2012-06-10");
  EXPECT_EQ(rs->Text("出纳编号"), "JS001");
  EXPECT_EQ(rs->Long("结算方式ID"), kMethod);
  EXPECT_EQ(rs->Long("币种ID"), 1) << "the local currency of option 4";
  EXPECT_EQ(rs->Text("摘要"), "汽修单[WS001 京A12345]");
  EXPECT_EQ(rs->Number("借方金额"), 500);
  EXPECT_EQ(rs->Number("外币借方金额"), 500);
  EXPECT_EQ(rs->Number("汇率"), 1);
  EXPECT_EQ(rs->Long("部门ID") + rs->Long("雇员ID") + rs->Long("往来ID"), 0);
  EXPECT_EQ(rs->Text("项目"), "");
  EXPECT_EQ(rs->Text("制单") + " " + rs->Text("制单日期"), "张三 2012-06-09");
  EXPECT_EQ(rs->Long("前置单据"), kProgram);

  EXPECT_EQ(Count("select count(*) from gl_accvouch where 贷方金额<>外币贷方金额 "
                  "or 借方金额<>外币借方金额"),
            0);
  EXPECT_EQ(Count("select count(distinct autoid) from gl_accvouch"), 8);
}

TEST_F(SettlementCheckTest, CheckUncheckCheckLeavesOneSetOfLines) {
  // Other vouchers of the ledger are never touched.
  host_.Exec(
      "insert into gl_accvouch (autoid,progid,科目编码,借方金额,前置单据,前置单据ID) "
      "values (1,200004,'1001',99,200004,41)");
  SettlementDocument s = Example();
  ASSERT_EQ(Check(s), "");
  EXPECT_EQ(Check(s), "refused") << "a checked settlement is not checked twice";
  EXPECT_EQ(Ledger(), kExampleLedger);

  ASSERT_EQ(UnCheck(s), "");
  EXPECT_EQ(Text("select smark||status||审核人||审核日期 from ARPReceive where 单据ID=41"),
            "01填单1900-01-01");
  EXPECT_EQ(Ledger(), kExampleLedger) << "an uncheck leaves the lines for the next check";
  EXPECT_EQ(UnCheck(s), "refused");

  // The settlement was changed while unchecked: the next check writes its new lines only.
  s.collected = 400;
  s.writeOff = 0;
  ASSERT_EQ(Check(s), "");
  EXPECT_EQ(Ledger(), (Lines{"D 113101 300", "D 113102 200", "D 113105 20", "D 1001 400",
                             "C 113101 300", "C 113102 100"}));
  EXPECT_EQ(Count("select count(*) from gl_accvouch where 前置单据=200004"), 1);
}

TEST_F(SettlementCheckTest, TheDesktopDialectWritesTheSameLedger) {
  host_.Db().SetSetting("driver", "jet");
  ASSERT_EQ(Check(Example()), "");
  EXPECT_EQ(Ledger(), kExampleLedger);
  EXPECT_EQ(Text("select 审核日期 from ARPReceive where 单据ID=41"), "2012-06-15");
  EXPECT_EQ(Count("select count(*) from gl_accvouch where 凭证日期='2012-06-10' and "
                  "制单日期='2012-06-09'"),
            8);
  ASSERT_EQ(UnCheck(Example()), "");
  EXPECT_EQ(Text("select 审核日期 from ARPReceive where 单据ID=41"), "1900-01-01");
}

TEST_F(SettlementCheckTest, AFailingLineUndoesTheWholeCheck) {
  ASSERT_EQ(Check(Example()), "");
  ASSERT_EQ(UnCheck(Example()), "");
  host_.RefuseOn("no_write_off", "gl_accvouch", "INSERT", "write-off account locked",
                 "new.科目编码='550101'");

  EXPECT_NE(Check(Example()).find("write-off account locked"), std::string::npos);
  EXPECT_EQ(Text("select smark from ARPReceive where 单据ID=41"), "01");
  EXPECT_EQ(Ledger(), kExampleLedger) << "the earlier lines are still there, none added";
}

TEST_F(SettlementCheckTest, AnAccountWithoutACodeStillWritesItsCashLine) {
  // The account was removed from the chart after the settlement was saved.
  host_.Exec("delete from pdmkjkm");
  ASSERT_EQ(Check(Example()), "");
  EXPECT_EQ(Count("select count(*) from gl_accvouch where 科目编码='' and 借方金额=500"), 1);
}

}  // namespace
}  // namespace ws::settlement
