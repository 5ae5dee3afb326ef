// The demo shop: every reference resolves, totals add up, the counter's documents are what the
// module's checks leave (the harness's invariants), the counters end above the data, and a load
// that fails or is stopped half-way leaves nothing behind (the seed: commands_test).
#include "shop/demo/demo_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "harness/invariants.h"
#include "host/registry.h"
#include "shop/module_controls.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

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

  // Every row a query answers, its fields separated, "@" standing for the document's id.
  std::string Rows(std::string sql, int64_t id) {
    for (size_t at; (at = sql.find('@')) != std::string::npos;) {
      sql.replace(at, 1, std::to_string(id));
    }
    std::string error;
    auto rows = db::Runner(host_.Db()).Open(db::Sql(sql), &error);
    EXPECT_EQ(error, "") << sql;
    std::string text;
    for (; rows && !rows->Eof(); rows->MoveNext()) {
      for (int i = 0; i < rows->FieldCount(); ++i) text += rows->Field(i).ToText() + "|";
      text += "\n";
    }
    return text;
  }

  test::TestHost host_;
};

TEST_F(DemoDataTest, EveryReferenceResolvesEveryTotalAddsUpAndTheCountersGoOnAboveTheData) {
  DemoCounts counts;
  ASSERT_EQ(GenerateDemoData(host_.Db(), Options(1), &counts), "");
  EXPECT_EQ(counts.orders, kOrders);
  EXPECT_EQ(counts.customers, DemoCustomerCount(kOrders));
  for (const auto& [rows, counted] : {std::pair{"wsdj", counts.orders},
                                      {"wsdjxm", counts.itemLines},
                                      {"wsdjpj", counts.partLines},
                                      {"pdmwldw", counts.customers},
                                      {"jxcdj", counts.requisitions},
                                      {"jxcdjmx", counts.requisitionLines},
                                      {"jxcgoodslist", counts.stockMovements},
                                      {"gl_accvouch", counts.voucherLines},
                                      {"arpreceive WHERE progid=200003", counts.settlements},
                                      {"arpreceive WHERE progid=200004", counts.receipts}}) {
    EXPECT_EQ(Count(std::string("SELECT COUNT(*) FROM ") + rows), counted) << rows;
  }
  const harness::InvariantReport invariants = harness::CheckInvariants(host_.Db());
  EXPECT_TRUE(invariants.Ok()) << invariants.Describe();

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
           // The chain: requisition -> checked order, its lines -> the order's part lines;
           // settlement and receipt lines -> their order, the fee and line rows -> settlement.
           "SELECT COUNT(*) FROM jxcdj d LEFT JOIN wsdj o ON d.前置单据ID = o.单据ID "
           "WHERE o.smark IS NULL OR o.smark <> '02' OR d.前置单据 <> o.progid",
           "SELECT COUNT(*) FROM jxcdjmx m JOIN jxcdj d ON d.单据ID = m.单据ID LEFT JOIN wsdjpj p "
           "ON m.前置单据ID = p.单据明细ID WHERE p.单据ID IS NULL OR p.单据ID <> d.前置单据ID "
           "OR p.产品ID <> m.产品ID OR p.数量 <> m.数量",
           "SELECT COUNT(*) FROM arpreceive a LEFT JOIN wsdj o ON a.前置单据ID = o.单据ID "
           "WHERE a.progid = 200003 AND (o.smark IS NULL OR o.smark <> '02' "
           "OR a.往来ID <> o.车主ID)",
           "SELECT COUNT(*) FROM arpreceivemx m LEFT JOIN wsdj o ON m.源单ID = o.单据ID "
           "LEFT JOIN arpreceive a ON a.单据ID = m.单据ID WHERE o.单据ID IS NULL "
           "OR a.progid IS NULL OR a.progid <> 200004 OR a.往来ID <> o.车主ID",
           "SELECT COUNT(*) FROM arpreceive a WHERE (progid = 200003) <> EXISTS "
           "(SELECT 1 FROM arpreceive_fy f WHERE f.单据ID = a.单据ID)",
           "SELECT COUNT(*) FROM arpreceive_xm x LEFT JOIN arpreceive a ON a.单据ID = x.单据ID "
           "WHERE a.progid IS NULL OR a.progid <> 200003",
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
           // What the receipts' checks wrote back: collected = checked write-offs, and the
           // balance what is left; none below 0; a receipt is the sum of its lines.
           "SELECT COUNT(*) FROM wsdj WHERE abs(补收金额 - (SELECT coalesce(sum(m.结算金额), 0) "
           "FROM arpreceivemx m JOIN arpreceive a ON a.单据ID = m.单据ID WHERE a.smark = '02' "
           "AND m.源单ID = wsdj.单据ID)) > 0.005 OR 余额 < 0",
           "SELECT COUNT(*) FROM arpreceive a WHERE progid = 200004 AND abs(总金额 - (SELECT "
           "sum(结算金额) FROM arpreceivemx m WHERE m.单据ID = a.单据ID)) > 0.005",
           // A settlement bills the order's labour and the parts its requisitions issued, with
           // the management fee on the parts; one per order, and paid only once checked.
           "SELECT COUNT(*) FROM arpreceive a JOIN arpreceive_fy f ON f.单据ID = a.单据ID "
           "JOIN wsdj o ON o.单据ID = a.前置单据ID WHERE abs(f.维修费用 - o.维修费用) > 0.005 "
           "OR abs(f.配件费用 - (SELECT coalesce(sum(m.实际金额), 0) FROM jxcdj d JOIN jxcdjmx m "
           "ON m.单据ID = d.单据ID WHERE d.前置单据ID = o.单据ID)) > 0.005 "
           "OR abs(f.配件费用 - (SELECT coalesce(sum(金额), 0) FROM arpreceive_pj p WHERE "
           "p.单据ID = a.单据ID)) > 0.005 OR abs(f.管理费 - f.配件费用 * 0.1) > 0.00005",
           "SELECT COUNT(*) FROM (SELECT 前置单据ID FROM arpreceive WHERE progid = 200003 "
           "GROUP BY 前置单据ID HAVING COUNT(*) > 1) t",
           "SELECT COUNT(*) FROM arpreceivemx m WHERE NOT EXISTS (SELECT 1 FROM arpreceive s "
           "WHERE s.progid = 200003 AND s.smark = '02' AND s.前置单据ID = m.源单ID)",
       }) {
    EXPECT_EQ(Count(mismatches), 0) << mismatches;
  }

  // States: both with their status words and checkers; numbers unique in the host's scheme.
  EXPECT_GT(Count("SELECT COUNT(*) FROM wsdj WHERE smark='01' AND 系统='填单' AND 审核人=''"), 0);
  EXPECT_GT(Count("SELECT COUNT(*) FROM wsdj WHERE smark='02' AND 系统='审核' AND 审核人<>'' "
                  "AND 审核日期 >= 进厂日期"),
            kOrders / 2);
  EXPECT_EQ(Count("SELECT COUNT(DISTINCT 工单号码) FROM wsdj"), kOrders);
  // The counter's life: documents entered and checked, orders paid in two receipts, orders
  // still owing after one, and none of it on the newest orders.
  for (const char* some : {
           "SELECT COUNT(*) FROM jxcdj WHERE smark='01' AND 仓库审核='' AND 审核日期 IS NULL",
           "SELECT COUNT(*) FROM jxcdj WHERE smark='02' AND 仓库审核<>'' AND 审核日期 IS NOT NULL",
           "SELECT COUNT(*) FROM arpreceive WHERE progid=200003 AND smark='02' AND status='审核'",
           "SELECT COUNT(*) FROM (SELECT 源单ID FROM arpreceivemx GROUP BY 源单ID "
           "HAVING COUNT(*) = 2) t",
           "SELECT COUNT(*) FROM wsdj WHERE 补收金额 > 0 AND 余额 > 0",
           "SELECT COUNT(*) FROM wsdj WHERE 补收金额 > 0 AND 余额 = 0",
       }) {
    EXPECT_GT(Count(some), 0) << some;
  }
  EXPECT_EQ(
      Count("SELECT COUNT(*) FROM wsdj WHERE 进厂日期 >= '2012-06-14' AND (单据ID IN "
            "(SELECT 前置单据ID FROM jxcdj) OR 单据ID IN (SELECT 前置单据ID FROM arpreceive))"),
      0);

  // The counters end above every id written, and the numbering goes on after the last order.
  using Key = std::pair<std::string, const char*>;  // table, key column
  for (const auto& [table, column] :
       {Key{"wsdj", "单据ID"}, Key{"wsdjxm", "单据明细ID"}, Key{"wsdjpj", "单据明细ID"},
        Key{"clzl", "车辆ID"}, Key{"pdmwxxm", "AutoID"}, Key{"pdmwxfl", "维修分类ID"},
        Key{"pdmwldw", "往来ID"}, Key{"pdmcpml", "产品ID"}, Key{"pdmbm", "部门ID"},
        Key{"pdmgy", "雇员ID"}, Key{"jxcdj", "单据ID"}, Key{"jxcdjmx", "单据明细ID"},
        Key{"jxcgoodslist", "autoid"}, Key{"arpreceive", "单据ID"},
        Key{"arpreceivemx", "单据明细ID"}, Key{"gl_accvouch", "AutoID"}}) {
    const int64_t max = Count("SELECT max(" + std::string(column) + ") FROM " + table);
    EXPECT_GT(max, 0) << table;
    EXPECT_EQ(Count("SELECT last_id FROM ws_id WHERE table_name='" + table + "' AND key_column='" +
                    column + "'"),
              max)
        << table;
    // What the record navigator issues next for the table.
    int64_t id = 0;
    auto navigator = host_.System().CreateNavigator();
    ASSERT_EQ(navigator->GetNewID(table, column, id), "");
    EXPECT_EQ(id, max + 1) << table;
  }
  // So does each document's numbering on the day of its newest document: the program, its
  // table, date and number columns.
  std::string number;
  for (const auto& [program, table, date, column] :
       {std::tuple{200001, "wsdj", "进厂日期", "工单号码"},
        std::tuple{200002, "jxcdj", "操作日期", "单据编号"},
        std::tuple{200003, "arpreceive", "单据日期", "单据编号"},
        std::tuple{200004, "arpreceive", "单据日期", "单据编号"}}) {
    const std::string where =
        " FROM " + std::string(table) + " WHERE progid=" + std::to_string(program);
    auto newest = db::Date::Parse(
        host_.Scalar("SELECT max(" + std::string(date) + ")" + where).ToText().substr(0, 10));
    ASSERT_TRUE(newest) << table;
    ASSERT_TRUE(host_.System().NewBillNo(program, *newest, number, true));
    const int64_t sequence =
        Count("SELECT max(CAST(substr(" + std::string(column) + ", 9) AS INTEGER))" + where +
              " AND " + column + " LIKE '" + newest->Text().substr(0, 4) +
              newest->Text().substr(5, 2) + newest->Text().substr(8, 2) + "%'");
    EXPECT_EQ(std::stoll(number.substr(8)), sequence + 1) << program;
  }
}

// The demo's newest checked requisition, settlement and receipt, unchecked and checked again by
// the module itself under the checker and date the demo gave them: what the check writes (the
// stock movements, the voucher lines, the orders' parts cost and balances, the status columns)
// comes out as the demo wrote it. Ids the check draws afresh are left out, and so are the
// checker columns a requisition's movements copy from an earlier check.
TEST_F(DemoDataTest, TheModulesOwnCheckWritesAgainWhatTheDemoWrote) {
  ASSERT_EQ(GenerateDemoData(host_.Db(), Options(1)), "");
  struct Posted {
    const char* control;
    int64_t program;
    const char* newest;
    const char* checker;  // the checker and the check date
    std::vector<const char*> written;
  };
  const Posted documents[] = {
      {"CKLl_WS",
       200002,
       "SELECT MAX(单据ID) FROM jxcdj WHERE smark='02'",
       "SELECT 仓库审核, 审核日期 FROM jxcdj WHERE 单据ID=@",
       {"SELECT progID, smark, 系统, 单据编号, 前置单据ID, 仓库填单, 填单日期, 仓库审核, 审核日期, "
        "会计期间, 总金额 FROM jxcdj WHERE 单据ID=@",
        "SELECT progid, 单据明细ID, 单据编号, 仓库填单, 操作日期, 填单日期, 往来ID, 部门ID, "
        "仓库ID, "
        "产品ID, 货位, 等级, 特征码, 产品批次, 数量, 重量, 单价, 金额, 装箱数, 会计期间, "
        "sFunNumber, 备注, 摘要 FROM jxcgoodslist WHERE 单据ID=@ ORDER BY 单据明细ID",
        "SELECT 配件费用 FROM wsdj WHERE 单据ID=(SELECT 前置单据ID FROM jxcdj WHERE 单据ID=@)"}},
      {"JS_WS",
       200003,
       "SELECT MAX(单据ID) FROM arpreceive WHERE progid=200003 AND smark='02'",
       "SELECT 审核人, 审核日期 FROM arpreceive WHERE 单据ID=@",
       {"SELECT progid, smark, status, 审核人, 审核日期 FROM arpreceive WHERE 单据ID=@",
        "SELECT progid, smark, status, 科目编码, 对方科目, 会计期间, 凭证日期, 出纳编号, "
        "结算方式ID, 币种ID, 摘要, 借方金额, 外币借方金额, 贷方金额, 外币贷方金额, 汇率, 部门ID, "
        "雇员ID, 往来ID, 项目, 制单, 制单日期 FROM gl_accvouch WHERE 前置单据=200003 AND "
        "前置单据ID=@ ORDER BY autoid"}},
      {"JS_S",
       200004,
       "SELECT MAX(单据ID) FROM arpreceive WHERE progid=200004 AND smark='02'",
       "SELECT 审核人, 审核日期 FROM arpreceive WHERE 单据ID=@",
       {"SELECT progid, smark, status, 审核人, 审核日期 FROM arpreceive WHERE 单据ID=@",
        "SELECT 单据ID, 补收金额, 扣减金额, 余额 FROM wsdj WHERE 单据ID IN (SELECT 源单ID FROM "
        "arpreceivemx WHERE 单据ID=@) ORDER BY 单据ID"}},
  };
  host::Registry registry;
  RegisterModuleControls(registry);
  for (const Posted& document : documents) {
    SCOPED_TRACE(document.control);
    const int64_t id = Count(document.newest);
    ASSERT_GT(id, 0);
    std::vector<std::string> demo;
    for (const char* query : document.written) demo.push_back(Rows(query, id));

    const std::string checker = Rows(document.checker, id);
    const size_t bar = checker.find('|');
    std::ostringstream text;
    text << "login " << checker.substr(0, bar) << " " << checker.substr(bar + 1, 10) << "\n"
         << "open " << document.control << " " << document.program << " " << id << "\n"
         << "call RecordBottom\ncall UnCheck\nexpect result true\ncall Check\nexpect result true\n";
    const Outcome run = RunScript(host_.Db(), registry, text.str());
    ASSERT_EQ(run.status, 0) << text.str() << run.out << run.err;

    for (size_t i = 0; i < demo.size(); ++i) {
      EXPECT_EQ(Rows(document.written[i], id), demo[i]) << document.written[i];
    }
  }
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

// The orders reach back as many years as asked, up to the date, ids ascending with the date.
TEST_F(DemoDataTest, OrdersSpreadOverTheYearsAskedFor) {
  struct Span {
    int years;
    const char* firstFrom;  // the first order falls in [firstFrom, firstBefore)
    const char* firstBefore;
  };
  const Span spans[] = {{1, "2011-06-17", "2011-07-17"}, {10, "2002-06-18", "2003-06-18"}};
  for (const Span& span : spans) {
    test::TestHost host;
    DemoOptions options = Options(1);
    options.years = span.years;
    ASSERT_EQ(GenerateDemoData(host.Db(), options), "");
    auto dates =
        db::Runner(host.Db()).Open(db::Sql("SELECT MIN(进厂日期), MAX(进厂日期) FROM wsdj"));
    const std::string first = dates->Field(0).ToText().substr(0, 10);
    const std::string last = dates->Field(1).ToText().substr(0, 10);
    EXPECT_GE(first, span.firstFrom) << span.years;
    EXPECT_LT(first, span.firstBefore) << span.years;
    EXPECT_GT(last, "2012-05-15") << span.years;
    EXPECT_LE(last, "2012-06-15") << span.years;
    EXPECT_EQ(host.Scalar("SELECT COUNT(*) FROM wsdj a JOIN wsdj b ON b.单据ID > a.单据ID AND "
                          "b.进厂日期 < a.进厂日期")
                  .ToLong(),
              0)
        << span.years;
  }
}

}  // namespace
}  // namespace ws::shop
