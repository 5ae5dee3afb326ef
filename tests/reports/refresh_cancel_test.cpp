// A long report load reports its progress to the host and stops when the host says so,
// leaving an empty grid instead of part of the list.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "lib/demo_data.h"
#include "reports/ws_rpt.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

constexpr int64_t kOrders = 9000;  // a few progress steps

class RefreshCancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli::DemoOptions options;
    options.orders = kOrders;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(cli::GenerateDemoData(host_.Db(), options), "");
    ASSERT_TRUE(report_.Init(host_.System(), WS_RPT::kProgram));
    report_.Events().AttachSink(&host_.Sink());
  }

  struct Call {
    int64_t done;
    int64_t total;
  };

  test::TestHost host_;
  WS_RPT report_;
};

TEST_F(RefreshCancelTest, AStoppedLoadLeavesNoRowsAndTheNextRefreshLoadsThemAll) {
  std::vector<Call> calls;
  size_t cancelAt = 3;  // the user presses Cancel at the third report
  host_.System().SetProgressHandler([&](const std::string& what, int64_t done, int64_t total) {
    EXPECT_EQ(what, WS_RPT::kLoading);
    calls.push_back({done, total});
    return calls.size() < cancelAt;
  });
  EXPECT_FALSE(report_.Refresh());
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].done, 0) << "the host hears of a long load before its first row";
  EXPECT_GT(calls[2].done, 0);
  EXPECT_LT(calls[2].done, kOrders);
  EXPECT_EQ(calls[2].total, kOrders);
  EXPECT_EQ(report_.Grid().DataRows(), 0);
  EXPECT_GT(report_.Grid().Cols(), 2);  // the header row stays, its id columns hidden
  EXPECT_TRUE(report_.Grid().ColHidden(report_.Grid().Cols() - 1));
  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 0);
  EXPECT_EQ(host_.Sink().Count("RefreshGetGridStatus"), 0);
  ASSERT_FALSE(host_.Sink().Messages().empty());
  EXPECT_EQ(host_.Sink().Messages().back(), WS_RPT::kCancelled);

  calls.clear();
  cancelAt = SIZE_MAX;
  EXPECT_TRUE(report_.Refresh());
  EXPECT_EQ(report_.Grid().DataRows(), kOrders);
  ASSERT_GE(calls.size(), 2u);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_GT(calls[i].done, calls[i - 1].done);
  EXPECT_EQ(calls.back().done, kOrders);  // the host can close its progress display

  // A short load never asks: a host that would stop a long one does not stop it.
  calls.clear();
  cancelAt = 0;
  report_.FilterInput(WS_RPT::kDateFrom).SetText(test::kTestLoginDate.Text());
  EXPECT_TRUE(report_.Refresh());
  EXPECT_GT(report_.Grid().DataRows(), 0);
  EXPECT_LT(report_.Grid().DataRows(), WS_RPT::kProgressStep);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace ws::reports
