// Checking and unchecking requisitions: the ledger rows and their numbers, the parts cost of
// the repair order, the gate, and the whole step rolling back as one. On PostgreSQL the server
// keeps the rights: an account's own connection has no write on what its role may not change,
// even by hand, while the real check of an account that may check posts through its own
// connection.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/runner.h"
#include "db/schema.h"
#include "framework/period_gate.h"
#include "money/js_s.h"
#include "money/js_ws.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "repair_order/ws_s.h"
#include "requisition/check_step.h"
#include "requisition/ckll_ws.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

constexpr int64_t kRequisition = 200002;
constexpr int kPeriod = 201206;  // the login date's period, the current stock period

// Postings of two users at once keep their ledger numbers apart: the harness's.
class PostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,配件费用) values (7,200001,'02','W7',0),"
        "(8,200001,'02','W8',9)");
  }

  // A requisition of `order` (0: none) with lines (line id, quantity, price), entered.
  void AddRequisition(int64_t id, int64_t order, const std::vector<std::vector<double>>& lines) {
    double total = 0;
    for (const auto& l : lines) total += l[1] * l[2];
    host_.Exec(
        "insert into JXCDJ (单据ID,progID,smark,系统,单据编号,前置单据,前置单据ID,往来ID,"
        "部门ID,仓库ID,仓库填单,操作日期,填单日期,会计期间,总金额,备注) values (" +
        std::to_string(id) + ",200002,'01','填单','L" + std::to_string(id) + "'," +
        (order ? "200001," : "0,") + std::to_string(order) +
        ",3,4,5,'库管员','2012-06-10','2012-06-11',201206," + db::DecimalText(total) + ",'急用')");
    for (const auto& l : lines) {
      host_.Exec(
          "insert into JXCDJMX (单据明细ID,单据ID,仓库ID,产品ID,货位,等级,特征码,产品批次,"
          "数量,重量,单价,金额,会计期间,装箱数) values (" +
          db::DecimalText(l[0]) + "," + std::to_string(id) + ",5," + db::DecimalText(l[0] + 1000) +
          ",'A-1','','','B9'," + db::DecimalText(l[1]) + ",0.5," + db::DecimalText(l[2]) + "," +
          db::DecimalText(l[1] * l[2]) + ",201206,12)");
    }
  }

  RequisitionKeys Keys(int64_t id) {
    RequisitionKeys keys;
    keys.programNumber = kRequisition;
    keys.documentId = id;
    keys.sourceProgram = Number("select 前置单据 from JXCDJ where 单据ID=" + std::to_string(id));
    keys.sourceId = Number("select 前置单据ID from JXCDJ where 单据ID=" + std::to_string(id));
    return keys;
  }

  // Posts requisition `id`'s lines in a transaction of their own.
  void Append(int64_t id) {
    db::Transaction tx(host_.Db());
    ASSERT_TRUE(AppendCheck(tx, Keys(id)).Ok()) << tx.Error();
    ASSERT_TRUE(tx.Commit());
  }
  bool Step(int64_t id, CheckDirection direction) {
    return RunCheckStep(host_.System(), gate_, Keys(id), kPeriod, direction, "CKLL_WS");
  }

  int64_t Number(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  double PartsCost(int64_t order) {
    return Number("select 配件费用 from WSDJ where 单据ID=" + std::to_string(order));
  }
  std::string Smark(int64_t id) {
    return host_.Scalar("select smark from JXCDJ where 单据ID=" + std::to_string(id)).ToText();
  }
  // "autoid:单据明细ID" of the ledger rows, by autoid.
  std::string Ledger() {
    return host_.Joined("select autoid || ':' || 单据明细ID from JxcGoodsList order by autoid",
                        " ");
  }
  std::string BoxTexts() {
    std::string texts;
    for (const auto& box : host_.Dialogs().Boxes()) texts += box.text + "|";
    return texts;
  }
  void FailOn(const std::string& table, const std::string& event) {
    host_.RefuseOn("fail_" + event, table, event, "单据被锁定");
  }

  test::TestHost host_;
  framework::PeriodGate gate_{framework::kStockPeriod, kPeriod, 201112};
};

TEST_F(PostingTest, LinesTakeConsecutiveNumbersAfterTheLedgerMaximumInLineOrder) {
  // Line ids deliberately not in insertion order.
  AddRequisition(1, 7, {{31, 1, 10}, {12, 2, 20}, {25, 3, 30}});
  AddRequisition(2, 7, {{40, 1, 5}, {41, 1, 6}, {42, 1, 7}});

  for (const char* driver : {"sqlite", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Exec("delete from JxcGoodsList");
    host_.Db().SetSetting("driver", driver);
    Append(1);
    EXPECT_EQ(Ledger(), "101:12 102:25 103:31");

    host_.Exec("update JxcGoodsList set autoid=500 where autoid=103");
    Append(2);
    EXPECT_EQ(Ledger(), "101:12 102:25 500:31 501:40 502:41 503:42");
  }

  // Every column is the line's or the header's as stored.
  EXPECT_EQ(host_.RowText("select progid,单据ID,单据编号,仓库填单,操作日期,填单日期,往来ID,部门ID,"
                          "仓库ID,产品ID,货位,产品批次,数量,重量,单价,金额,会计期间,装箱数,"
                          "sFunNumber,备注,摘要 from JxcGoodsList where 单据明细ID=25"),
            "200002/1/L1/库管员/2012-06-10/2012-06-11/3/4/5/1025/A-1/B9/3/0.5/30/90/201206/12/21/"
            "急用/领用出库");
}

TEST_F(PostingTest, LedgerRowsStatusAndPartsCostFollowEveryCheckAndUncheck) {
  AddRequisition(1, 7, {{11, 1, 100}, {12, 2, 20}});
  AddRequisition(2, 7, {{13, 2, 25}});
  AddRequisition(3, 8, {{14, 1, 70}});  // another order
  AddRequisition(4, 0, {{15, 1, 60}});  // no order at all
  ASSERT_TRUE(Step(2, CheckDirection::Check));
  EXPECT_EQ(Ledger(), "101:13");
  EXPECT_EQ(PartsCost(7), 50) << "the requisition being checked counts";
  ASSERT_TRUE(Step(1, CheckDirection::Check));
  EXPECT_EQ(Smark(1), "02");
  EXPECT_EQ(host_.RowText("select 仓库审核, 审核日期 from JXCDJ where 单据ID=1"),
            "测试员/2012-06-15");
  EXPECT_EQ(Ledger(), "101:13 102:11 103:12");
  EXPECT_EQ(PartsCost(7), 190);
  EXPECT_EQ(PartsCost(8), 9) << "another order keeps its cost";

  ASSERT_TRUE(Step(1, CheckDirection::UnCheck));
  EXPECT_EQ(Smark(1), "01");
  EXPECT_EQ(Ledger(), "101:13") << "only checked documents stay";
  EXPECT_EQ(PartsCost(7), 50) << "the requisition being unchecked is left out";
  ASSERT_TRUE(Step(4, CheckDirection::Check));
  EXPECT_EQ(PartsCost(7) * 1000 + PartsCost(8), 50009);
  ASSERT_TRUE(Step(1, CheckDirection::Check));
  EXPECT_EQ(Ledger(), "101:13 102:15 103:11 104:12");

  // Posting again inside a check that did not go through the uncheck replaces the rows, and
  // the roll-up does not depend on the host writing smark before or after it.
  host_.Exec("update JXCDJ set smark='01' where 单据ID=2");
  Append(1);
  EXPECT_EQ(Number("select count(*) from JxcGoodsList where 单据ID=1"), 2);
  EXPECT_EQ(Number("select count(distinct autoid) from JxcGoodsList"), 4);
  EXPECT_EQ(PartsCost(7), 140);
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

// Refused by the gate, failing in the database, or overtaken by another user after the gate:
// posting, roll-up and status go back together and nothing is written.
TEST_F(PostingTest, RefusedOrFailedStepsWriteNothing) {
  AddRequisition(1, 7, {{11, 1, 100}});
  AddRequisition(2, 7, {{12, 1, 40}});
  host_.Exec("update JXCDJ set smark='02' where 单据ID=1");  // checked by someone else
  EXPECT_FALSE(Step(1, CheckDirection::Check));
  host_.Exec("update JXCDJ set smark='01' where 单据ID=1");
  EXPECT_FALSE(Step(1, CheckDirection::UnCheck));
  framework::PeriodGate closed(framework::kStockPeriod, kPeriod, kPeriod);
  EXPECT_FALSE(RunCheckStep(host_.System(), closed, Keys(1), kPeriod, CheckDirection::Check, "t"));
  EXPECT_EQ(
      BoxTexts(),
      "该单据已经被审核，不能再次审核！请刷新单据|该单据已经被取消审核，不能再次取消！请刷新单据|"
      "当前操作日期所在的会计期间为[201206]"
      "该会计期间已经进行仓库结帐，不能进行采购入库，请检查！|");
  EXPECT_EQ(Ledger() + "/" + Smark(1), "/01");
  EXPECT_EQ(PartsCost(7), 0);
  {
    db::Transaction tx(host_.Db());
    ASSERT_TRUE(AppendCheck(tx, Keys(1)).Ok());
    // Stands in for another user's check committed between this user's gate and the step.
    ASSERT_TRUE(tx.Db().Execute("update JXCDJ set smark='02' where 单据ID=1").empty());
    StepOutcome status =
        AppendStatusChange(tx, Keys(1), CheckDirection::Check, "乙", {2012, 6, 15});
    EXPECT_TRUE(status.refused);
    EXPECT_EQ(status.error, "该单据已经被审核，不能再次审核！请刷新单据");
    EXPECT_FALSE(tx.Commit());
  }
  EXPECT_EQ(Ledger() + "/" + Smark(1), "/01");
  EXPECT_EQ(PartsCost(7), 0);

  host_.Dialogs().Clear();
  ASSERT_TRUE(Step(2, CheckDirection::Check));
  const std::string before = Ledger();
  FailOn("WSDJ", "UPDATE");
  EXPECT_FALSE(Step(1, CheckDirection::Check));
  EXPECT_EQ(Ledger(), before) << "the posting went back with the roll-up";
  EXPECT_EQ(Smark(1), "01");
  EXPECT_FALSE(Step(2, CheckDirection::UnCheck));
  EXPECT_EQ(Smark(2), "02");
  EXPECT_EQ(Ledger(), before);
  host_.DropRefusal("fail_UPDATE", "WSDJ");
  FailOn("JxcGoodsList", "INSERT");
  EXPECT_FALSE(Step(1, CheckDirection::Check));
  EXPECT_EQ(Ledger(), before);
  EXPECT_EQ(PartsCost(7), 40);
  EXPECT_EQ(BoxTexts(),
            "单据被锁定|JRARPList::单据被锁定|单据被锁定|UnCheck::单据被锁定|单据被锁定|"
            "JRGoodsList::单据被锁定|");
  EXPECT_FALSE(host_.Db().InTransaction());

  // A database failure of the smark re-read is the caller's to report.
  RequisitionKeys keys = Keys(1);
  host_.Exec("drop table JXCDJ");
  EXPECT_THROW(RunCheckStep(host_.System(), gate_, keys, kPeriod, CheckDirection::Check, "CKLL_WS"),
               std::runtime_error);
}

// Over the posting's shop: orders 7 and 8, and requisition 1 of order 7 made by each test.
class ServerRightsTest : public PostingTest {
 protected:
  void SetUp() override {
    if (!host_.OnPostgres()) GTEST_SKIP() << "the server's roles are PostgreSQL's";
    PostingTest::SetUp();
    schema_ = host_.Scalar("SELECT current_schema()").ToText();
    store_.SetHashCost(platform::HashCost::Minimal);
    store_.SetRefusalDelay(std::chrono::milliseconds(0));
  }

  // A connection of the account: the URL of the test server with the account's name and
  // password, in the test's schema.
  std::unique_ptr<platform::PostgresDatabase> ConnectAs(const std::string& name,
                                                        const std::string& password) {
    std::string error;
    auto db =
        platform::PostgresDatabase::Open(platform::testing::LoginUrl(name, password, schema_));
    EXPECT_TRUE(db) << db.Error();
    return std::move(db).Take();
  }

  // A name of this run: logins are the whole server's, and other test programs run beside.
  static std::string Name(const std::string& base) { return base + std::to_string(::getpid()); }

  platform::AccountStore store_{host_.Db()};
  std::string schema_;
};

// A checker's check on its own connection is the hostile suite's (server_boundary_test).
TEST_F(ServerRightsTest, AClerkCannotWriteTheLedgers) {
  const std::string owner = Name("老板"), clerk = Name("小王");
  ASSERT_EQ(store_.Add(owner, "owner-secret", "店主"), "");
  ASSERT_EQ(store_.Add(clerk, "clerk-secret", "录入员"), "");
  // The server keeps a SCRAM verifier, never the password.
  const std::string verifier =
      host_.Scalar(db::Sql("SELECT rolpassword FROM pg_authid WHERE rolname = ").Text(clerk))
          .ToText();
  EXPECT_EQ(verifier.rfind("SCRAM-SHA-256$", 0), 0u) << verifier;
  EXPECT_EQ(verifier.find("clerk-secret"), std::string::npos);

  AddRequisition(1, 7, {{11, 1, 100}});
  host_.Exec("insert into WSDJ (单据ID,progid,smark,工单号码) values (9,200001,'01','W9')");

  auto clerkDb = ConnectAs(clerk, "clerk-secret");
  ASSERT_NE(clerkDb, nullptr);
  struct Attempt {
    const char* statement;
    bool allowed;
  };
  const Attempt attempts[] = {
      {"INSERT INTO gl_accvouch (autoid, 借方金额) VALUES (900, 1000)", false},
      {"UPDATE gl_accvouch SET 借方金额 = 0", false},
      {"INSERT INTO JxcGoodsList (autoid, 单据ID, 数量) VALUES (900, 1, 5)", false},
      {"UPDATE JxcGoodsList SET 数量 = 0", false},
      {"DELETE FROM JXCGoodsZzTz", false},
      {"UPDATE ws_account SET role = '店主'", false},
      {"UPDATE ws_role_right SET right_name = '管理'", false},
      {"UPDATE WSDJ SET 工单号码 = 'W9' WHERE 单据ID = 9", true},
      // The summaries the triggers keep follow the clerk's own writes.
      {"INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 单价) VALUES (70, 9, 1, 10)", true},
      {"UPDATE WSDJ SET 进厂日期 = '2012-06-01' WHERE 单据ID = 9", true},
      {"UPDATE JXCDJ SET 总金额 = 100 WHERE 单据ID = 1", true},
      // Every account appends to the audit trail; nobody changes or removes its rows.
      {"INSERT INTO ws_audit (单据类型, 单据ID, 序号) VALUES ('WS_S', 7, 1)", true},
      {"UPDATE ws_audit SET 用户 = 'x'", false},
      {"DELETE FROM ws_audit", false},
  };
  for (const Attempt& a : attempts) {
    const std::string error = db::Runner(*clerkDb).Execute(db::Sql(a.statement));
    EXPECT_EQ(error.empty(), a.allowed) << a.statement << ": " << error;
    if (!a.allowed) {
      EXPECT_EQ(error.find("permission denied"), std::string::npos) << error;
      EXPECT_TRUE(error.find("权限") != std::string::npos ||
                  error.find("不能") != std::string::npos)
          << error;
    }
  }

  // A table an upgrade makes (here the summary, as in a shop from before it) is the clerk's
  // to use like the others, or the clerk's saves would be refused by its triggers.
  host_.Exec("DROP TABLE ws_last_service");
  ASSERT_EQ(db::UpgradeSchema(host_.Db()), "");
  EXPECT_EQ(db::Runner(*clerkDb).Execute(db::Sql(
                "INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 单价) VALUES (71, 9, 2, 10)")),
            "");
  EXPECT_EQ(db::Runner(*clerkDb).ScalarText(db::Sql("SELECT COUNT(*) FROM ws_last_service")), "2");

  // Not even the owner, who manages every other table, may take an event back.
  auto ownerDb = ConnectAs(owner, "owner-secret");
  ASSERT_NE(ownerDb, nullptr);
  EXPECT_NE(db::Runner(*ownerDb).Execute("DELETE FROM ws_audit").find("操作记录只能追加"),
            std::string::npos);

  // A stopped account is no login any more.
  ASSERT_EQ(store_.SetActive(clerk, false), "");
  EXPECT_EQ(host_
                .Scalar(db::Sql("SELECT CASE WHEN rolcanlogin THEN 1 ELSE 0 END FROM pg_roles "
                                "WHERE rolname = ")
                            .Text(clerk))
                .ToLong(),
            0);
}

// The periods every document shares: the list window and the period gate of save and check.
using host::MsgAnswer;

class PeriodTest : public test::HostTest {
 protected:
  void Set(int module, const std::string& name, const std::string& value) {
    ASSERT_EQ(host_.System().SetOption(module, name, value), "");
  }
  void Parameter(int number, const std::string& value) {
    ASSERT_EQ(host_.System().SetParameter(12, number, value), "");
  }
  int Period(const char* date) {
    auto parsed = db::Date::Parse(date);
    EXPECT_TRUE(parsed) << date;
    return static_cast<int>(
        framework::PeriodGate::PeriodOf(host_.System(), parsed.value_or(db::Date{})));
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : host_.Dialogs().Boxes()) texts.push_back(box.text);
    return texts;
  }
};

// With no document requested every document's list reaches back "befmonth" months, and 0 or no
// option means a year for all four alike.
TEST_F(PeriodTest, EveryDocumentListReachesBackByOneRule) {
  struct Case {
    const char* befmonth;
    const char* orderFrom;
    const char* periodFrom;
  };
  const Case cases[] = {
      {"0", "2011-06-01", "201106"}, {"", "2011-06-01", "201106"}, {"2", "2012-04-01", "201204"}};
  for (const Case& c : cases) {
    Set(12, "befmonth", c.befmonth);
    repair_order::WS_S order;
    CKLl_WS requisition;
    money::JS_WS settlement{money::RepairOrderChooser{}};
    money::JS_S receipt;
    const std::pair<host::DocumentControl*, int64_t> documents[] = {
        {&order, 200001}, {&requisition, 200002}, {&settlement, 200003}, {&receipt, 200004}};
    for (auto [doc, program] : documents) {
      ASSERT_TRUE(doc->Init(host_.System(), program, 0) && doc->Refresh());
      const std::string from = program == 200001 ? std::string("进厂日期>='") + c.orderFrom + "'"
                                                 : std::string("会计期间>=") + c.periodFrom;
      EXPECT_NE(doc->BaseCondition().find(from), std::string::npos)
          << doc->ClassName() << " under '" << c.befmonth << "': " << doc->BaseCondition();
    }
  }
}

// One gate, the words of each ledger: the period of a date around month and year ends with the
// closing day, every verdict's text, and what the gate remembers.
TEST_F(PeriodTest, ThePeriodGateRefusesFutureAndClosedAndAsksOnceForThePast) {
  // After the closing day a date belongs to the next period, across month and year ends; the
  // closing day is read on every call.
  struct Day {
    const char* closingDay;
    const char* date;
    int period;
  };
  const Day days[] = {
      {"25", "2012-12-25", 201212},  // the closing day itself stays in its month
      {"25", "2012-12-26", 201301},  // December moves into January of the next year
      {"28", "2012-02-29", 201203},  // leap day after a closing day of 28
      {"31", "2012-12-31", 201212},  // no closing day: calendar months
  };
  for (const Day& d : days) {
    Parameter(3, d.closingDay);
    EXPECT_EQ(Period(d.date), d.period) << d.date << " closing day " << d.closingDay;
  }

  // Current period 2013-01, closed up to 2012-10. A period both after the current one and
  // closed is the future one.
  using framework::GateUse;
  using framework::GateVerdict;
  using framework::kLedgerPeriod;
  using framework::kStockPeriod;
  struct Case {
    const framework::PeriodWords& words;
    GateUse use;
    int64_t period;
    GateVerdict::Kind kind;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {kStockPeriod, GateUse::Check, 201302, GateVerdict::Refuse, "单据操作日期所属会计期间为[201302],大于当前仓库会计期间[201301],不能进行采购入库，请检查！"},
      {kStockPeriod, GateUse::Save, 201302, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201302],大于当前仓库会计期间[201301],不能进行保存，请检查！"},
      {kStockPeriod, GateUse::UnCheck, 201210, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201210]该会计期间已经进行仓库结帐，不能进行采购入库，请检查！"},
      {kStockPeriod, GateUse::Save, 201209, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201209]该会计期间已经进行仓库结帐，不能进行保存，请检查！"},
      {kStockPeriod, GateUse::Check, 201211, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],确认对会计期间[201211]的采购入库？？"},
      {kStockPeriod, GateUse::Save, 201212, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201212],而当前仓库的会计期间为[201301],确认对会计期间[201212]的仓库总帐进行变更？？"},
      {kStockPeriod, GateUse::Save, 201301, GateVerdict::Pass, ""},
      {kLedgerPeriod, GateUse::Check, 201302, GateVerdict::Refuse, "单据操作日期所属会计期间为[201302],大于当前总帐会计期间[201301],不能进行结算操作，请检查！"},
      {kLedgerPeriod, GateUse::Save, 201302, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201302],大于当前结帐会计期间[201301],不能进行保存，请检查！"},
      {kLedgerPeriod, GateUse::UnCheck, 201210, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201210]该会计期间已经进行结帐，不能进行结算操作，请检查！"},
      {kLedgerPeriod, GateUse::Save, 201201, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201201]该会计期间已经进行结帐，不能进行保存，请检查！"},
      {kLedgerPeriod, GateUse::Check, 201211, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201211],而当前总帐的会计期间为[201301],确认对会计期间[201211]的结算操作？？"},
      {kLedgerPeriod, GateUse::Save, 201212, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201212],而当前总帐的会计期间为[201301],确认对会计期间[201212]的总帐进行变更？？"},
      {kLedgerPeriod, GateUse::UnCheck, 201301, GateVerdict::Pass, ""},
  };
  // clang-format on
  Parameter(1, "201301");
  Set(12, "Jzperiod", "201210");
  for (const Case& c : cases) {
    const framework::PeriodGate gate = framework::PeriodGate::FromSystem(c.words, host_.System());
    const GateVerdict verdict = gate.Judge(c.use, c.period);
    EXPECT_EQ(verdict.kind, c.kind) << c.words.book << " " << c.period;
    EXPECT_EQ(verdict.message, c.text) << c.words.book << " " << c.period;
  }

  // A past period asks; a No is not remembered, a Yes is, for save and check alike. The
  // consent never opens a closed or a future period; a new gate asks again.
  framework::PeriodGate gate = framework::PeriodGate::FromSystem(kStockPeriod, host_.System());
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(gate.Admit(GateUse::Check, 201211, host_.Dialogs()));
  EXPECT_FALSE(gate.PastPeriodAccepted());
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_TRUE(gate.Admit(GateUse::Save, 201211, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(GateUse::Check, 201211, host_.Dialogs()) &&
              gate.Admit(GateUse::Save, 201212, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(GateUse::Save, 201210, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(GateUse::Check, 201302, host_.Dialogs()));
  EXPECT_EQ(BoxTexts().size(), 4u);
  for (const auto& box : host_.Dialogs().Boxes()) EXPECT_EQ(box.title, framework::kGateTitle);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(framework::PeriodGate::FromSystem(kStockPeriod, host_.System())
                   .Admit(GateUse::Save, 201211, host_.Dialogs()));

  // Check and uncheck read the stored mark first: a second check or uncheck is refused, a
  // requisition gone is told so, a settlement gone reads as unchecked.
  host_.Exec("insert into JXCDJ (单据ID,progID,smark) values (1,200002,'02')");
  host_.Exec("insert into ARPReceive (单据ID,progID,smark) values (2,200003,'01')");
  host_.Dialogs().Clear();
  framework::PeriodGate ledger = framework::PeriodGate::FromSystem(kLedgerPeriod, host_.System());
  EXPECT_FALSE(gate.AdmitPosting(host_.System(), GateUse::Check, 1, 201301));
  EXPECT_TRUE(gate.AdmitPosting(host_.System(), GateUse::UnCheck, 1, 201301));
  EXPECT_FALSE(gate.AdmitPosting(host_.System(), GateUse::Check, 9, 201301));
  EXPECT_FALSE(ledger.AdmitPosting(host_.System(), GateUse::UnCheck, 2, 201301));
  EXPECT_TRUE(ledger.AdmitPosting(host_.System(), GateUse::Check, 9, 201301));
  EXPECT_TRUE(ledger.Pass(host_.System(), GateUse::Check, 2, {2013, 1, 10}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "该单据已经被审核，不能再次审核！请刷新单据", "当前单据已被他人删除！",
                            "该单据已经被取消审核，不能再次取消！请刷新单据"}));
}

}  // namespace
}  // namespace ws::requisition
