// A long report load reads its rows from the cursor in chunks, tells the host how many it has
// read (the total is not known before the end), and stops the statement when the host says so,
// keeping the rows read by then under a status line that says the list was cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "reports/ws_rpt.h"
#include "shop/demo_data.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

constexpr int64_t kOrders = 9000;  // a few progress steps

class RefreshCancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shop::DemoOptions options;
    options.orders = kOrders;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(shop::GenerateDemoData(host_.Db(), options), "");
    ASSERT_TRUE(report_.Init(host_.System(), WS_RPT::kProgram));
    report_.Events().AttachSink(&host_.Sink());
  }

  test::TestHost host_;
  WS_RPT report_;
};

TEST_F(RefreshCancelTest, AStoppedLoadKeepsTheRowsReadAndTheNextRefreshLoadsThemAll) {
  std::vector<int64_t> done;
  std::vector<int64_t> totals;
  size_t cancelAt = 3;  // the user presses Cancel at the third report
  std::string statusWhileReading;
  host_.System().SetProgressHandler([&](const std::string&, int64_t rows, int64_t total) {
    done.push_back(rows);
    totals.push_back(total);
    statusWhileReading = report_.Status().Caption();
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
  EXPECT_FALSE(grid.TextMatrix(grid.Rows() - 1, grid.Cols() - 1).empty());
  EXPECT_TRUE(grid.ColHidden(grid.Cols() - 1));

  done.clear();
  totals.clear();
  cancelAt = SIZE_MAX;
  EXPECT_TRUE(report_.Refresh());
  EXPECT_EQ(report_.Grid().DataRows(), kOrders);
  EXPECT_EQ(done.back(), kOrders);
  EXPECT_EQ(totals.back(), kOrders) << "the host can close its progress display";
  EXPECT_EQ(report_.Status().Caption(), "共" + std::to_string(kOrders) + "条记录");
  EXPECT_EQ(host_.Sink().Messages().back(), "") << "the host no longer says it was cut short";
  EXPECT_EQ(statusWhileReading, "") << "nor does the status line while the full read runs";

  // A load that fits one chunk never asks: a host that would stop a long one does not stop it.
  done.clear();
  cancelAt = 0;
  report_.FilterInput(WS_RPT::kDateFrom).SetText(test::kTestLoginDate.Text());
  EXPECT_TRUE(report_.Refresh());
  EXPECT_GT(report_.Grid().DataRows(), 0);
  EXPECT_LT(report_.Grid().DataRows(), WS_RPT::kChunkRows);
  EXPECT_TRUE(done.empty());
}

}  // namespace
}  // namespace ws::reports
