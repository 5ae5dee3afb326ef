// The repair-order report over the demo shop compared with direct queries of the same rows, its
// subtotals with grouped sums, and `ws report`'s run of the same filters. A long load reads its
// rows from the cursor in chunks, tells the host how many it has read (the total is not known
// before the end), and stops the statement when the host says so, keeping the rows read by
// then under a status line that says the list was cut short; while it reads, and after it
// failed, the line counts no list the clerk no longer has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "reports/technician_pay.h"
#include "reports/ws_rpt.h"
#include "shop/demo/demo_data.h"
#include "shop/exchange/csv.h"
#include "shop/exchange/report_run.h"
#include "support/test_host.h"
#include "workshop/floor.h"

namespace ws::reports {
namespace {

namespace fs = std::filesystem;

const int kNumberCol = ColumnOf(WS_RPT::Columns(), "工单号码");
const int kCustomerCol = ColumnOf(WS_RPT::Columns(), "客户名称");
const int kCategoryCol = ColumnOf(WS_RPT::Columns(), "维修分类");
const int kReceivableCol = ColumnOf(WS_RPT::Columns(), "应收合计");

class DemoShopTest : public test::HostTest {
 protected:
  void SetUp() override {
    shop::DemoOptions options;
    options.seed = 11;
    options.orders = 400;
    options.date = db::Date{2012, 6, 15};
    ASSERT_EQ(shop::GenerateDemoData(host_.Db(), options), "");
    report_.Events().AttachSink(&host_.Sink());
    report_.Init(host_.System(), WS_RPT::kProgram);
  }

  // Rows of a direct query: one vector of texts per row.
  std::vector<std::vector<std::string>> Rows(const char* fixed) { return Rows(db::Sql(fixed)); }
  std::vector<std::vector<std::string>> Rows(const db::Sql& sql) {
    std::string error;
    auto records = db::Runner(host_.Db()).Open(sql, &error);
    EXPECT_EQ(error, "") << sql.Literal();
    std::vector<std::vector<std::string>> rows;
    for (; !records->Eof(); records->MoveNext()) {
      std::vector<std::string> row;
      for (int f = 0; f < records->FieldCount(); ++f) row.push_back(records->Field(f).ToText());
      rows.push_back(row);
    }
    return rows;
  }

  WS_RPT report_;
};

TEST_F(DemoShopTest, FilteredReportShowsWhatADirectQueryFinds) {
  const char* direct =
      "SELECT w.工单号码, p.公司名称, w.应收合计 FROM WSDJ w LEFT JOIN pdmwldw p ON "
      "p.往来ID = w.车主ID WHERE w.进厂日期 >= '2012-03-01' AND w.进厂日期 <= '2012-05-31' AND "
      "w.smark = '02' ORDER BY w.进厂日期, w.工单号码";
  const auto expected = Rows(direct);
  const auto all = Rows("SELECT count(*) FROM WSDJ");
  ASSERT_GT(expected.size(), 10u);
  ASSERT_LT(expected.size(), static_cast<size_t>(std::stoi(all[0][0])));

  report_.FilterInput(WS_RPT::kDateFrom).SetText("2012-03-01");
  report_.FilterInput(WS_RPT::kDateTo).SetText("2012-05-31");
  report_.CheckedOnly().SetValue(1);
  ASSERT_TRUE(report_.Refresh());
  const forms::Grid& grid = report_.Grid();
  ASSERT_EQ(static_cast<size_t>(grid.DataRows()), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const int r = static_cast<int>(i) + 1;
    EXPECT_EQ(grid.TextMatrix(r, kNumberCol), expected[i][0]);
    EXPECT_EQ(grid.TextMatrix(r, kCustomerCol), expected[i][1]);
    EXPECT_DOUBLE_EQ(db::NumericValue(grid.TextMatrix(r, kReceivableCol)),
                     db::NumericValue(expected[i][2]));
  }

  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 0);

  // `ws report`'s run of the first filters types them into the window: the same rows as CSV.
  shop::ReportFilters filters;
  filters.from = "2012-03-01";
  filters.to = "2012-05-31";
  filters.checked = true;
  shop::ReportRun run = shop::RunReport(host_.Db(), "WS_RPT", filters);
  ASSERT_EQ(run.error, "");
  shop::CsvTable table = shop::ParseCsv(run.csv);
  ASSERT_EQ(table.records.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(table.records[i + 1].fields[kNumberCol], expected[i][0]);
  }
  // A filter the report lacks, a date that is none, an unknown report: refused as usage.
  filters.collector = "王";
  EXPECT_TRUE(shop::RunReport(host_.Db(), "WS_RPT", filters).usage);
  filters.collector.reset();
  filters.to = "2012-04-31";
  EXPECT_TRUE(shop::RunReport(host_.Db(), "WS_RPT", filters).usage);
  EXPECT_TRUE(shop::RunReport(host_.Db(), "WS_S", {}).usage);
}

// The demo's floor is one the floor's own steps could have left: work only on technicians'
// dispatched lines, a record's hours its times apart, and the technicians' reports of its last
// weeks add up to what the lines hold.
TEST_F(DemoShopTest, TheFloorOfTheLastWeeksAddsUpInTheTechniciansReports) {
  EXPECT_EQ(host_
                .Scalar("select count(*) from ws_job_tech t join PDMGY g on g.雇员ID = t.雇员ID"
                        " where g.是否技师 <> 1")
                .ToLong(),
            0);
  EXPECT_EQ(host_
                .Scalar("select count(*) from ws_clock c where not exists (select 1 from "
                        "ws_job_tech t where t.单据明细ID = c.单据明细ID and t.雇员ID = c.雇员ID)")
                .ToLong(),
            0);
  for (const auto& record :
       Rows("select 开始时间, 结束时间, 工时 from ws_clock where 结束时间 <> ''")) {
    EXPECT_NEAR(workshop::HoursBetween(record[0], record[1]), db::NumericValue(record[2]), 0.005)
        << record[0];
  }
  const TechnicianPay efficiency = LoadEfficiency(host_.Db(), "2012-05-25", "2012-06-15");
  ASSERT_EQ(efficiency.error, "");
  int64_t billed = 0;
  int64_t clocked = 0;
  for (const auto& row : efficiency.rows) {
    billed += row.billedHundredths;
    clocked += row.clockedHundredths;
  }
  const double finished =
      host_
          .Scalar(
              "select sum(i.工时 * x.数量) from ws_job j join WSDJXM x on x.单据明细ID = "
              "j.单据明细ID "
              "join PDMWXXM i on i.AutoID = x.项目ID where j.状态 in ('完工', '已检验') and "
              "j.更新时间 >= '2012-05-25'")
          .ToDouble();
  EXPECT_NEAR(billed / 100.0, finished, 0.005);
  EXPECT_GT(clocked, billed / 2);
  EXPECT_LT(clocked, billed * 2);
  const TechnicianPay commission = LoadCommission(host_.Db(), "2012-05-25", "2012-06-15", 2);
  ASSERT_EQ(commission.error, "");
  db::Amount paid;
  for (const auto& row : commission.rows) paid += row.commission;
  EXPECT_GT(paid, db::Amount());
}

// `ws report` writes a report's rows as they are read: the same CSV as the whole grid gives, in
// pieces of a chunk each, and a spreadsheet of every row; a target that cannot take a piece
// stops the report with an error.
TEST_F(DemoShopTest, AStreamedReportWritesItsRowsAChunkAtATime) {
  host_.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
      "INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期, 应收合计) "
      "SELECT 100000 + i, 200001, '01', 'S' || i, '2012-06-01', i FROM n");
  const shop::ReportRun whole = shop::RunReport(host_.Db(), "WS_RPT", {});
  ASSERT_EQ(whole.error, "");
  ASSERT_GT(whole.rows, ReportControl::kChunkRows);
  shop::ReportFilters filters;
  filters.xlsxFile = (host_.WorkFolder() / "streamed.xlsx").string();
  std::vector<std::string> pieces;
  const shop::ReportRun streamed =
      shop::RunReport(host_.Db(), "WS_RPT", filters, [&](std::string_view text) {
        pieces.emplace_back(text);
        return true;
      });
  ASSERT_EQ(streamed.error, "");
  EXPECT_EQ(streamed.csv, "");
  EXPECT_EQ(streamed.rows, whole.rows);
  ASSERT_GE(pieces.size(), 2u);
  std::string joined;
  for (const std::string& piece : pieces) {
    EXPECT_LE(shop::ParseCsv(piece).records.size(), ReportControl::kChunkRows + 1u);
    joined += piece;
  }
  EXPECT_EQ(joined, whole.csv);
  std::string sheet;
  FILE* pipe = popen(("unzip -p '" + filters.xlsxFile + "' xl/worksheets/sheet1.xml").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) sheet.append(buffer, n);
  pclose(pipe);
  size_t sheetRows = 0;
  for (size_t at = sheet.find("<row "); at != std::string::npos; at = sheet.find("<row ", at + 1))
    ++sheetRows;
  EXPECT_EQ(sheetRows, static_cast<size_t>(whole.rows) + 1) << "the header and every row";

  int calls = 0;
  const shop::ReportRun refused =
      shop::RunReport(host_.Db(), "WS_RPT", {}, [&](std::string_view) { return ++calls < 2; });
  EXPECT_NE(refused.error, "");
  EXPECT_EQ(calls, 2) << "the report stops at the piece that could not be written";
}

TEST_F(DemoShopTest, CategorySubtotalsAndGrandTotalMatchGroupedSums) {
  const fs::path layout = host_.WorkFolder() / "WS_RPT_subtotals.txt";
  grid::Profile profile = grid::Profile::Load(layout);
  // Keyed as the report keeps its columns in layout files.
  const std::vector<int> numbers = LayoutNumbers(WS_RPT::Columns());
  const std::string category = grid::ColumnKey(numbers[kCategoryCol]);
  profile.Set("VsIsSort", category, "1");
  profile.Set("VsIsGroupOn", category, "1");
  profile.Set("VsIsTotalOn", grid::ColumnKey(numbers[kReceivableCol]), "1");
  ASSERT_EQ(profile.Save(), "");

  std::map<std::string, double> expected;
  for (const auto& row : Rows("SELECT 维修分类, sum(应收合计) FROM WSDJ GROUP BY 维修分类")) {
    expected[row[0]] = db::NumericValue(row[1]);
  }
  const double total = db::NumericValue(Rows("SELECT sum(应收合计) FROM WSDJ")[0][0]);
  ASSERT_GT(expected.size(), 2u);

  report_.DoGetFormStatus(layout.string());
  // Every refresh builds them afresh: a second one neither keeps nor doubles the first's rows.
  for (int pass = 0; pass < 2; ++pass) {
    host_.Sink().Clear();
    ASSERT_TRUE(report_.Refresh());
    EXPECT_EQ(host_.Sink().Count("RefreshGetGridStatus"), 1);
    const forms::Grid& grid = report_.Grid();
    std::map<std::string, double> subtotals;
    std::string group;
    for (int r = 1; r < grid.Rows() - 1; ++r) {
      if (!grid.IsSubtotalRow(r)) {
        group = grid.TextMatrix(r, kCategoryCol);
        continue;
      }
      EXPECT_EQ(grid.TextMatrix(r, kCategoryCol), "小计");
      EXPECT_EQ(subtotals.count(group), 0u) << group << " is split";
      subtotals[group] = db::NumericValue(grid.TextMatrix(r, kReceivableCol));
    }
    ASSERT_EQ(subtotals.size(), expected.size());
    for (const auto& [name, sum] : expected) EXPECT_NEAR(subtotals[name], sum, 0.005) << name;
    const int last = grid.Rows() - 1;
    EXPECT_EQ(grid.TextMatrix(last, 0), "合计");
    EXPECT_NEAR(db::NumericValue(grid.TextMatrix(last, kReceivableCol)), total, 0.005);
  }
  // Neither a subtotal nor the grand total opens a document.
  forms::Input::DoubleClick(report_.Grid(), report_.Grid().Rows() - 1);
  EXPECT_EQ(host_.Sink().Count("Detaile"), 0);
}

constexpr int64_t kOrders = 9000;  // a few progress steps

// What a host that shows the form's labels again on each message or error, as the desktop does,
// has on screen; every event goes on to the recorder.
struct LabelRedrawingHost : host::IEventSink {
  LabelRedrawingHost(const forms::Label& label, host::IEventSink& next)
      : label(label), next(next) {}
  void OnEvent(const host::Event& event) override {
    if (event.name == "Message" || event.name == "ErrMessage") shown = label.Caption();
    next.OnEvent(event);
  }
  const forms::Label& label;
  host::IEventSink& next;
  std::string shown;
};

class RefreshCancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shop::DemoOptions options;
    options.orders = kOrders;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(shop::GenerateDemoData(host_.Db(), options), "");
    ASSERT_TRUE(report_.Init(host_.System(), WS_RPT::kProgram));
    report_.Events().AttachSink(&screen_);
  }

  test::TestHost host_;
  WS_RPT report_;
  LabelRedrawingHost screen_{report_.Status(), host_.Sink()};
};

TEST_F(RefreshCancelTest, AStoppedLoadKeepsTheRowsReadAndTheNextRefreshLoadsThemAll) {
  std::vector<int64_t> done;
  std::vector<int64_t> totals;
  size_t cancelAt = 3;  // the user presses Cancel at the third report
  std::string statusWhileReading;
  host_.System().SetProgressHandler([&](const std::string&, int64_t rows, int64_t total) {
    done.push_back(rows);
    totals.push_back(total);
    statusWhileReading = screen_.shown;
    return done.size() < cancelAt;
  });
  EXPECT_FALSE(report_.Refresh());
  ASSERT_GE(done.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(totals[i], host::ISystem::kUnknownTotal);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_LT(done[2], kOrders);
  EXPECT_EQ(report_.Grid().DataRows(), done[2]) << "the rows read before the stop stay";
  EXPECT_EQ(done.back(), totals.back()) << "the host can close its progress display";
  EXPECT_EQ(report_.Status().Caption(),
            std::string(WS_RPT::kCancelled) + "：只列出前" + std::to_string(done[2]) + "条记录");
  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 0);
  ASSERT_FALSE(host_.Sink().Messages().empty());
  EXPECT_EQ(host_.Sink().Messages().back(), WS_RPT::kCancelled);
  // The kept rows are the first of the query's order, whole, with their columns hidden as
  // after a full load.
  const forms::Grid& grid = report_.Grid();
  EXPECT_LE(grid.TextMatrix(1, 0), grid.TextMatrix(grid.Rows() - 1, 0));
  EXPECT_FALSE(grid.TextMatrix(grid.Rows() - 1, grid.FindCol("单据ID")).empty());
  EXPECT_TRUE(grid.ColHidden(grid.FindCol("单据ID")));

  done.clear();
  totals.clear();
  cancelAt = SIZE_MAX;
  EXPECT_TRUE(report_.Refresh());
  EXPECT_EQ(report_.Grid().DataRows(), kOrders);
  EXPECT_EQ(done.back(), kOrders);
  EXPECT_EQ(totals.back(), kOrders) << "the host can close its progress display";
  EXPECT_EQ(report_.Status().Caption(), "共" + std::to_string(kOrders) + "条记录");
  EXPECT_EQ(host_.Sink().Messages().back(), "") << "the host no longer says it was cut short";
  EXPECT_EQ(statusWhileReading, WS_RPT::kLoading) << "nor does the line over the emptied grid";

  // Nor does the count of a whole list stand over the grid a new read empties.
  done.clear();
  cancelAt = 1;
  statusWhileReading.clear();
  EXPECT_FALSE(report_.Refresh());
  EXPECT_EQ(statusWhileReading, WS_RPT::kLoading);

  // A load that fits one chunk never asks: a host that would stop a long one does not stop it.
  done.clear();
  cancelAt = 0;
  report_.FilterInput(WS_RPT::kDateFrom).SetText(test::kTestLoginDate.Text());
  EXPECT_TRUE(report_.Refresh());
  EXPECT_GT(report_.Grid().DataRows(), 0);
  EXPECT_LT(report_.Grid().DataRows(), WS_RPT::kChunkRows);
  EXPECT_TRUE(done.empty());

  // A read that fails says so in the line the error box stands over.
  host_.Exec("drop table CLZl");
  EXPECT_FALSE(report_.Refresh());
  EXPECT_EQ(screen_.shown, WS_RPT::kReadFailed);
}

}  // namespace
}  // namespace ws::reports
