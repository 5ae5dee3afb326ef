// A demo load stopped half-way leaves nothing: no rows in the database it was writing into, no
// file (and no temporary one) where a new shop was being built.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "db/sql.h"
#include "lib/demo_data.h"
#include "support/test_host.h"

namespace ws::cli {
namespace {

namespace fs = std::filesystem;

DemoOptions StoppedAfter(int asks, int* count) {
  DemoOptions options;
  options.orders = 5000;
  options.date = test::kTestLoginDate;
  options.cancelled = [asks, count] { return ++*count >= asks; };
  return options;
}

TEST(DemoCancelTest, AStoppedLoadRollsBackEveryTable) {
  test::TestHost host;
  int asks = 0;
  EXPECT_EQ(GenerateDemoData(host.Db(), StoppedAfter(2, &asks)), kDemoCancelled);
  EXPECT_EQ(asks, 2);
  for (const char* table : {"wsdj", "wsdjxm", "wsdjpj", "pdmwldw", "clzl", "pdmcpml"}) {
    EXPECT_EQ(host.Scalar(db::Sql("SELECT COUNT(*) FROM ").Raw(table)).ToLong(), 0) << table;
  }
  // The same database takes a whole load afterwards.
  asks = 0;
  DemoOptions whole = StoppedAfter(1000, &asks);
  whole.orders = 1500;
  EXPECT_EQ(GenerateDemoData(host.Db(), whole), "");
  EXPECT_EQ(host.Scalar("SELECT COUNT(*) FROM wsdj").ToLong(), 1500);
}

TEST(DemoCancelTest, AStoppedNewShopLeavesNoFileBehind) {
  const fs::path folder =
      fs::temp_directory_path() / ("ws_demo_cancel_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  int asks = 0;
  const std::string error =
      CreateDemoDatabase((folder / "shop.db").string(), StoppedAfter(3, &asks), nullptr, {});
  EXPECT_NE(error.find(kDemoCancelled), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(folder));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ws::cli
