// The demo shop: every reference resolves, totals add up, the counters end above the data, and
// a load that fails or is stopped half-way leaves nothing behind (the seed: commands_test).
#include "shop/demo_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/runner.h"
#include "support/test_host.h"

namespace ws::shop {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kOrders = 300;

class DemoDataTest : public ::testing::Test {
 protected:
  static DemoOptions Options(uint64_t seed) {
    DemoOptions options;
    options.seed = seed;
    options.orders = kOrders;
    options.date = db::Date{2012, 6, 15};
    return options;
  }

  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }

  test::TestHost host_;
};

TEST_F(DemoDataTest, EveryReferenceResolvesEveryTotalAddsUpAndTheCountersGoOnAboveTheData) {
  DemoCounts counts;
  ASSERT_EQ(GenerateDemoData(host_.Db(), Options(1), &counts), "");
  EXPECT_EQ(counts.orders, kOrders);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM wsdj"), kOrders);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM wsdjxm"), counts.itemLines);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM wsdjpj"), counts.partLines);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM pdmwldw"), counts.customers);
  EXPECT_EQ(counts.customers, DemoCustomerCount(kOrders));

  // References: order -> customer, vehicle; vehicle -> owner; line -> order, item or part;
  // stock -> depot and part; the receivables' partners mirror the customers row for row.
  for (const char* orphans : {
           "SELECT COUNT(*) FROM wsdj LEFT JOIN pdmwldw ON wsdj.车主ID = pdmwldw.往来ID "
           "WHERE pdmwldw.往来ID IS NULL",
           "SELECT COUNT(*) FROM wsdj LEFT JOIN clzl ON wsdj.车辆ID = clzl.车辆ID "
           "WHERE clzl.车辆ID IS NULL OR clzl.车主ID <> wsdj.车主ID",
           "SELECT COUNT(*) FROM clzl LEFT JOIN pdmwldw ON clzl.车主ID = pdmwldw.往来ID "
           "WHERE pdmwldw.往来ID IS NULL",
           "SELECT COUNT(*) FROM wsdjxm LEFT JOIN wsdj ON wsdjxm.单据ID = wsdj.单据ID "
           "LEFT JOIN PDMWXXM ON wsdjxm.项目ID = PDMWXXM.AutoID "
           "WHERE wsdj.单据ID IS NULL OR PDMWXXM.AutoID IS NULL",
           "SELECT COUNT(*) FROM wsdjpj LEFT JOIN wsdj ON wsdjpj.单据ID = wsdj.单据ID "
           "LEFT JOIN PDMCPML ON wsdjpj.产品ID = PDMCPML.产品ID "
           "WHERE wsdj.单据ID IS NULL OR PDMCPML.产品ID IS NULL",
           "SELECT COUNT(*) FROM JXCGoodsZzTz z LEFT JOIN PDMBM b ON z.仓库ID = b.部门ID "
           "LEFT JOIN PDMCPML p ON z.产品ID = p.产品ID "
           "WHERE b.组织类型 <> 2 OR b.部门ID IS NULL OR p.产品ID IS NULL OR z.会计期间 <> 201206",
           "SELECT COUNT(*) FROM pdmwldw a LEFT JOIN PDMWLDWJS b ON a.往来ID = b.往来ID "
           "WHERE b.往来ID IS NULL OR a.公司名称 <> b.公司名称",
       }) {
    EXPECT_EQ(Count(orphans), 0) << orphans;
  }

  // Totals (labour: the harness's invariants): parts are the sum of their lines, the
  // receivable adds the fees, the balance is what is still owed; an amount is quantity times price.
  for (const char* mismatches : {
           "SELECT COUNT(*) FROM wsdj WHERE abs(配件费用 - (SELECT coalesce(sum(金额), 0) FROM "
           "wsdjpj WHERE wsdjpj.单据ID = wsdj.单据ID)) > 0.005",
           "SELECT COUNT(*) FROM wsdj WHERE abs(应收合计 - 维修费用 - 配件费用 - 诊断费 - 检测费) "
           "> 0.005 OR 总金额 <> 应收合计 OR 余额 <> 总金额 - 现收金额 - 补收金额 - 扣减金额",
           "SELECT COUNT(*) FROM wsdjxm WHERE abs(金额 - 数量 * 单价) > 0.005",
           "SELECT COUNT(*) FROM wsdj WHERE NOT EXISTS (SELECT 1 FROM wsdjxm WHERE "
           "wsdjxm.单据ID = wsdj.单据ID)",
       }) {
    EXPECT_EQ(Count(mismatches), 0) << mismatches;
  }

  // States: both with their status words and checkers; numbers unique in the host's scheme.
  EXPECT_GT(Count("SELECT COUNT(*) FROM wsdj WHERE smark='01' AND 系统='填单' AND 审核人=''"), 0);
  EXPECT_GT(Count("SELECT COUNT(*) FROM wsdj WHERE smark='02' AND 系统='审核' AND 审核人<>'' "
                  "AND 审核日期 >= 进厂日期"),
            kOrders / 2);
  EXPECT_EQ(Count("SELECT COUNT(DISTINCT 工单号码) FROM wsdj"), kOrders);

  // The counters end above every id written, and the numbering goes on after the last order.
  struct Key {
    const char* table;
    const char* column;
  };
  for (const Key& key :
       {Key{"wsdj", "单据ID"}, Key{"wsdjxm", "单据明细ID"}, Key{"wsdjpj", "单据明细ID"},
        Key{"clzl", "车辆ID"}, Key{"pdmwxxm", "AutoID"}, Key{"pdmwxfl", "维修分类ID"},
        Key{"pdmwldw", "往来ID"}, Key{"pdmcpml", "产品ID"}, Key{"pdmbm", "部门ID"},
        Key{"pdmgy", "雇员ID"}}) {
    const std::string table = key.table;
    const int64_t max = Count("SELECT max(" + std::string(key.column) + ") FROM " + table);
    EXPECT_GT(max, 0) << table;
    EXPECT_EQ(Count("SELECT last_id FROM ws_id WHERE table_name='" + table + "' AND key_column='" +
                    key.column + "'"),
              max)
        << table;
    // What the record navigator issues next for the table.
    int64_t id = 0;
    auto navigator = host_.System().CreateNavigator();
    ASSERT_EQ(navigator->GetNewID(table, key.column, id), "");
    EXPECT_EQ(id, max + 1) << table;
  }
  std::string number;
  ASSERT_TRUE(host_.System().NewBillNo(200001, db::Date{2012, 6, 15}, number, true));
  const int64_t last = Count(
      "SELECT max(CAST(substr(工单号码, 9) AS INTEGER)) FROM wsdj "
      "WHERE 进厂日期 = '2012-06-15'");
  EXPECT_EQ(number,
            "20120615" + std::string(last + 1 < 10 ? "00" : "0") + std::to_string(last + 1));
}

TEST_F(DemoDataTest, AFailedOrStoppedLoadLeavesNoRowsAndNoFile) {
  // A customer already there collides with the demo's first id: the whole demo is undone.
  host_.Exec("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (1, '老客户')");
  const std::string error = GenerateDemoData(host_.Db(), Options(1));
  EXPECT_NE(error.find("pdmwldw"), std::string::npos) << error;
  EXPECT_EQ(Count("SELECT COUNT(*) FROM pdmwldw"), 1);
  EXPECT_FALSE(host_.Db().InTransaction());
  host_.Exec("DELETE FROM pdmwldw");

  // Stopped by the user half-way: no rows either (nor any the failure left).
  int asks = 0;
  DemoOptions stopped = Options(1);
  stopped.orders = 5000;
  stopped.cancelled = [&asks] { return ++asks >= 2; };
  EXPECT_EQ(GenerateDemoData(host_.Db(), stopped), kDemoCancelled);
  EXPECT_EQ(asks, 2);
  for (const char* table :
       {"wsdj", "wsdjxm", "wsdjpj", "pdmwldw", "clzl", "pdmcpml", "PDMBM", "ws_id"}) {
    EXPECT_EQ(Count("SELECT COUNT(*) FROM " + std::string(table)), 0) << table;
  }
  // The same database takes a whole load afterwards.
  EXPECT_EQ(GenerateDemoData(host_.Db(), Options(1)), "");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM wsdj"), kOrders);

  // A new shop file stopped half-way: no file, and no temporary one.
  const fs::path folder = host_.WorkFolder() / "stopped";
  fs::create_directories(folder);
  asks = 0;
  const std::string said = CreateDemoDatabase((folder / "shop.db").string(), stopped, nullptr, {});
  EXPECT_NE(said.find(kDemoCancelled), std::string::npos) << said;
  EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace ws::shop
