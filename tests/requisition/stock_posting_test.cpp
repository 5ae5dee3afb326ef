// Checking and unchecking requisitions: the ledger rows and their numbers, the parts cost of
// the repair order, the gate, and the whole step rolling back as one.
#include <stdexcept>
#include <string>
#include <vector>

#include "db/runner.h"
#include "requisition/check_step.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

constexpr int64_t kRequisition = 200002;
constexpr int64_t kOrderProgram = 200001;
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
    {
      db::Transaction tx(host_.Db());
      ASSERT_TRUE(AppendCheck(tx, Keys(1)).Ok()) << tx.Error();
      ASSERT_TRUE(tx.Commit());
    }
    EXPECT_EQ(Ledger(), "101:12 102:25 103:31");

    host_.Exec("update JxcGoodsList set autoid=500 where autoid=103");
    db::Transaction tx(host_.Db());
    ASSERT_TRUE(AppendCheck(tx, Keys(2)).Ok()) << tx.Error();
    ASSERT_TRUE(tx.Commit());
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
  {
    db::Transaction tx(host_.Db());
    ASSERT_TRUE(AppendCheck(tx, Keys(1)).Ok());
    ASSERT_TRUE(tx.Commit());
  }
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

}  // namespace
}  // namespace ws::requisition
