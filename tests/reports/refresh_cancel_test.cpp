// A long report load reports its progress to the host and stops when the host says so,
// leaving an empty grid instead of part of the list.
#include <gtest/gtest.h>

#include <cstdint>
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

TEST_F(RefreshCancelTest, AStoppedLoadLeavesNoRowsAndTheNextRefreshLoadsThemAll) {
  std::vector<int64_t> done;
  size_t cancelAt = 3;  // the user presses Cancel at the third report
  host_.System().SetProgressHandler([&](const std::string&, int64_t rows, int64_t total) {
    EXPECT_EQ(total, kOrders);
    done.push_back(rows);
    return done.size() < cancelAt;
  });
  EXPECT_FALSE(report_.Refresh());
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[0], 0) << "the host hears of a long load before its first row";
  EXPECT_LT(done[2], kOrders);
  EXPECT_EQ(report_.Grid().DataRows(), 0);
  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 0);
  ASSERT_FALSE(host_.Sink().Messages().empty());
  EXPECT_EQ(host_.Sink().Messages().back(), WS_RPT::kCancelled);

  done.clear();
  cancelAt = SIZE_MAX;
  EXPECT_TRUE(report_.Refresh());
  EXPECT_EQ(report_.Grid().DataRows(), kOrders);
  EXPECT_EQ(done.back(), kOrders);  // the host can close its progress display

  // A short load never asks: a host that would stop a long one does not stop it.
  done.clear();
  cancelAt = 0;
  report_.FilterInput(WS_RPT::kDateFrom).SetText(test::kTestLoginDate.Text());
  EXPECT_TRUE(report_.Refresh());
  EXPECT_GT(report_.Grid().DataRows(), 0);
  EXPECT_TRUE(done.empty());
}

}  // namespace
}  // namespace ws::reports
