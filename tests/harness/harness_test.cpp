// The harnesses in CI's bounds (longer runs: ws_harness, see the README), the two-counter
// races they are built on, and the invariants checker against the faults it exists to find.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "db/runner.h"
#include "db/sql.h"
#include "harness/harness_runs.h"
#include "harness/invariants.h"
#include "harness/order_clerk.h"
#include "shop/store/database_file.h"
#include "support/test_host.h"

namespace ws::harness {
namespace {

const char* kDuplicateText = "工单号码重复,请检查!";

int Bound(const char* variable, int fallback) {
  const char* value = std::getenv(variable);
  return value && *value ? std::atoi(value) : fallback;
}

// The engines a run goes over: an SQLite file always, PostgreSQL when WS_PG_URL names one.
struct Shop {
  std::string name;
  bool server = false;
};

// The shop files of this test program, removed when it ends.
const std::filesystem::path& ShopFolder() {
  struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ws_harness_test_" + std::to_string(::getpid()));
    std::error_code ignored;
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path, ignored); }
  };
  static Folder folder;
  return folder.path;
}

std::vector<Shop> Shops(const std::string& tag) {
  static int counter = 0;
  std::vector<Shop> shops;
  shops.push_back({(ShopFolder() / (tag + std::to_string(counter++) + ".db")).string(), false});
  if (const char* url = std::getenv("WS_PG_URL"); url && *url) {
    shops.push_back({RunDatabaseName(url, "ws_h_" + std::to_string(::getpid()) + "_" + tag +
                                              std::to_string(counter++)),
                     true});
  }
  return shops;
}

std::unique_ptr<db::IDatabase> OpenShop(const std::string& name) {
  std::string error;
  auto db = shop::OpenShopDatabase(name, &error);
  EXPECT_TRUE(db) << error;
  return db;
}

TEST(HarnessTest, SeveralWritersLoseAndCollideNothing) {
  for (const Shop& shop : Shops("multi")) {
    SCOPED_TRACE(shop.name);
    ASSERT_EQ(PrepareShop(shop.name), "");
    // Two processes on one SQLite file; eight users on the server.
    const int writers = shop.server ? 8 : 2;
    const int orders =
        shop.server ? Bound("WS_HARNESS_PG_ORDERS", 60) : Bound("WS_HARNESS_ORDERS", 60);
    Figures figures = RunConcurrency(WS_HARNESS, shop.name, writers, orders, 4, 100);
    EXPECT_TRUE(figures.Ok()) << figures.Text();
    EXPECT_EQ(figures.Get("saved"), writers * orders);
    EXPECT_EQ(figures.Get("busy_shown"), 0);
    EXPECT_EQ(figures.Get("ids_drawn"), writers * 100);
  }
}

TEST(HarnessTest, RequisitionsCheckedAndUncheckedAtOncePostAndRollUpExactly) {
  for (const Shop& shop : Shops("post")) {
    SCOPED_TRACE(shop.name);
    ASSERT_EQ(PrepareShop(shop.name), "");
    const int posters = shop.server ? 8 : 2;
    const int postings = Bound("WS_HARNESS_POSTINGS", 30);
    Figures figures = RunPostings(WS_HARNESS, shop.name, posters, postings);
    EXPECT_TRUE(figures.Ok()) << figures.Text();
    EXPECT_EQ(figures.Get("checked"), posters * postings);
    EXPECT_EQ(figures.Get("unchecked"), posters * (postings / 2)) << "unchecks ran alongside";
    EXPECT_EQ(figures.Get("ledger_numbers"), figures.Get("movements"));
  }
}

TEST(HarnessTest, KilledWritersLeaveEveryAcknowledgedSaveWholeAndNothingPartial) {
  for (const Shop& shop : Shops("crash")) {
    SCOPED_TRACE(shop.name);
    ASSERT_EQ(PrepareShop(shop.name), "");
    const int trials = shop.server ? Bound("WS_HARNESS_PG_CRASH_TRIALS", 50)
                                   : Bound("WS_HARNESS_CRASH_TRIALS", 200);
    Figures figures = RunCrash(WS_HARNESS, shop.name, trials, 30, 20121215);
    EXPECT_TRUE(figures.Ok()) << figures.Text();
    // Kills must land inside saves, or the harness proves nothing about them.
    EXPECT_GT(figures.Get("killed_in_save"), trials / 4);
  }
}

TEST(HarnessTest, EveryFailedWriteOfASaveIsShownAndLeavesNothingBehind) {
  auto shops = Shops("faults");
  const std::string& file = shops.front().name;
  ASSERT_EQ(PrepareShop(file), "");
  Figures figures = RunFaults(file, 30);
  EXPECT_TRUE(figures.Ok()) << figures.Text();
  EXPECT_GT(figures.Get("writes_per_save"), 2);
  // Each write of the save failed once per kind and was refused with a word to the user.
  EXPECT_EQ(figures.Get("failed_with_message") + figures.Get("saved_despite_fault") +
                figures.Get("fault_not_reached"),
            2 * figures.Get("writes_per_save"));
  // A save whose write failed did not go through anyway.
  EXPECT_EQ(figures.Get("saved_despite_fault"), 0);
  EXPECT_GT(figures.Get("failed_with_message"), 2 * figures.Get("writes_per_save") * 3 / 4);
}

// Two counters save the same number at the same moment: the first keeps it, the second is told
// the number is taken, in the shop's words, and nothing of its order is written.
TEST(HarnessTest, SameNumberSavedAtOnceIsRefusedForOneCounterAsDuplicate) {
  for (const Shop& shop : Shops("dup")) {
    SCOPED_TRACE(shop.name);
    ASSERT_EQ(PrepareShop(shop.name), "");
    auto first = OpenShop(shop.name);
    auto second = OpenShop(shop.name);
    ASSERT_TRUE(first && second);
    OrderClerk clerk(*second, "second", kHarnessDate);
    ASSERT_EQ(clerk.Problem(), "");
    const std::string number = "20120615777";
    // The first counter's save is in flight: its order is written but not yet committed while
    // the second counter presses Save; it commits a moment later.
    first->BeginTrans();
    ASSERT_EQ(db::Runner(*first).Execute(
                  db::Sql("INSERT INTO WSDJ (单据ID,progid,smark,系统,工单号码) VALUES (990001,")
                      .Key(kOrderProgram)
                      .Raw(",'01','填单',")
                      .Text(number)
                      .Raw(")")),
              "");
    std::thread commit([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      first->CommitTrans();
    });
    SaveOutcome outcome = clerk.SaveNewOrder(4, number);
    commit.join();
    EXPECT_FALSE(outcome.saved);
    ASSERT_FALSE(outcome.shown.empty());
    EXPECT_EQ(outcome.shown.front(), kDuplicateText);
    EXPECT_EQ(outcome.shown.size(), 1u) << outcome.shown.back();
    EXPECT_EQ(db::Runner(*first)
                  .Scalar(db::Sql("SELECT COUNT(*) FROM WSDJ WHERE 工单号码=").Text(number))
                  .ToLong(),
              1);
    EXPECT_EQ(CheckInvariants(*first).Describe(), "ok");
    // The clerk's form is still there to take another number.
    SaveOutcome retry = clerk.SaveNewOrder(4);
    EXPECT_TRUE(retry.saved);
  }
}

// The checker over a shop with one of everything done right, then with each fault it guards
// against: each is found and named, and nothing else is.
class InvariantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sql : {
             "insert into WSDJ (单据ID,progid,smark,工单号码,维修费用,配件费用) values "
             "(1,200001,'01','A1',150,60)",
             "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values "
             "(1,1,1,1,100,100)",
             "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values (2,1,1,1,50,50)",
             "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,单价,金额) values (1,1,1,2,30,60)",
             "insert into JXCDJ (单据ID,progID,smark,前置单据,前置单据ID,总金额) values "
             "(5,200006,'02',200001,1,60)",
             "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,金额) values (7,5,1,2,60)",
             "insert into JxcGoodsList (autoid,progid,单据ID,单据明细ID,产品ID,数量,金额) "
             "values (101,200006,5,7,1,2,60)",
             // Fees 300, 200, 0, 0, 20; 500 collected into a cash account, 20 written off.
             "insert into ARPReceive (单据ID,progID,smark,总金额,扣零金额,科目ID,前置单据ID) "
             "values (9,200010,'02',500,20,3,1)",
             "insert into ARPReceive_FY (单据ID,维修费用,配件费用,诊断费,检测费,管理费) "
             "values (9,300,200,0,0,20)",
         }) {
      host_.Exec(sql);
    }
    // Debit: the three fees, the cash and the write-off; credit: the three fees.
    host_.Exec(
        "insert into gl_accvouch (autoid,progid,科目编码,借方金额,外币借方金额,贷方金额,"
        "外币贷方金额,前置单据,前置单据ID) values (1,200010,'113101',300,300,0,0,200010,9),"
        "(2,200010,'113102',200,200,0,0,200010,9),(3,200010,'113105',20,20,0,0,200010,9),"
        "(4,200010,'1001',500,500,0,0,200010,9),(5,200010,'550101',20,20,0,0,200010,9),"
        "(6,200010,'113101',0,0,300,300,200010,9),(7,200010,'113102',0,0,200,200,200010,9),"
        "(8,200010,'113105',0,0,20,20,200010,9)");
  }
  std::string Broken() {
    InvariantReport report = CheckInvariants(host_.Db());
    EXPECT_EQ(report.error, "");
    std::string rules;
    for (const auto& v : report.violations) rules += v.rule + ";";
    return rules;
  }
  test::TestHost host_;
};

TEST_F(InvariantsTest, ConsistentShopPassesAndEachFaultIsNamed) {
  EXPECT_EQ(CheckInvariants(host_.Db()).Describe(), "ok");
  // A corruption and the rule that names it.
  const std::pair<const char*, const char*> faults[] = {
      {"delete from WSDJ where 单据ID=1", "every repair-order item line has its order"},
      {"update WSDJXM set 金额=90 where 单据明细ID=2", "an order's labour cost"},
      {"update WSDJ set 配件费用=116 where 单据ID=1", "an order's parts cost"},
      {"delete from JxcGoodsList", ""},  // never posted: nothing to compare
      {"update JxcGoodsList set 数量=1", "a checked requisition's stock movements are its lines"},
      {"update gl_accvouch set 贷方金额=290, 外币贷方金额=290 where autoid=6",
       "a settlement's voucher lines add up"},
      {"update gl_accvouch set 外币借方金额=1 where autoid=1", "foreign-currency amount"},
      {"delete from ARPReceive", "a voucher line belongs to a settlement"},
  };
  for (const auto& [corruption, rule] : faults) {
    SCOPED_TRACE(corruption);
    host_.Exec("savepoint fault");
    host_.Exec(corruption);
    const std::string broken = Broken();
    EXPECT_TRUE(*rule ? broken.find(rule) != std::string::npos : broken.empty()) << broken;
    host_.Exec("rollback to fault");
    host_.Exec("release fault");
  }
  // A number stored twice, possible only where the unique index is missing.
  host_.Exec("drop index ix_wsdj_unique_number");
  host_.Exec("insert into WSDJ (单据ID,progid,工单号码) values (2,200001,'A1')");
  host_.Exec("insert into WSDJ (单据ID,progid,工单号码) values (3,200001,'A1')");
  EXPECT_NE(Broken().find("a work-order number belongs to one order"), std::string::npos);
}

}  // namespace
}  // namespace ws::harness
