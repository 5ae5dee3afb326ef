// The two database services side by side on the same demo shop (20,000 repair orders): a
// repair order saved with 30 lines in one transaction (an id from the navigator per row, as
// the module saves), and a step through the order list with its position text. SQLite is a
// WAL file; PostgreSQL is the server WS_PG_URL names (scripts/with_postgres.sh), measured only
// when it is set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/navigator.h"
#include "shop/demo/demo_data.h"
#include "shop/store/database_file.h"

namespace {

constexpr int kOrders = 20000;
constexpr int kLines = 30;
const std::string kSelect =
    " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
    "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
    "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kWindow = "progid=200001 and 进厂日期>='2011-06-16' and 进厂日期<'2012-07-01'";

void Check(const std::string& error, const char* what) {
  if (!error.empty()) {
    std::fprintf(stderr, "%s: %s\n", what, error.c_str());
    std::exit(1);
  }
}

// A demo shop made once per engine and opened as a user opens it.
std::unique_ptr<ws::db::IDatabase> Shop(const std::string& name) {
  ws::shop::DemoOptions options;
  options.orders = kOrders;
  options.date = ws::db::Date{2012, 6, 15};
  Check(ws::shop::CheckNewDatabaseTarget(name, true), "target");
  Check(ws::shop::CreateDemoDatabase(name, options, nullptr, {}), "demo");
  std::string error;
  auto db = ws::shop::OpenShopDatabase(name, &error);
  Check(error, "open");
  return db;
}

void SaveOrder(benchmark::State& state, ws::db::IDatabase* db) {
  ws::platform::RecordNavigator navigator(*db);
  for (auto _ : state) {
    ws::db::Transaction tx(*db);
    int64_t id = 0;
    Check(navigator.GetNewID("wsdj", "单据ID", id), "id");
    tx.Run(ws::db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期) VALUES (")
               .Key(id)
               .Raw(", 200001, '01', ")
               .Text("B" + std::to_string(id))
               .Raw(", '2012-06-15')"));
    for (int line = 0; line < kLines; ++line) {
      int64_t lineId = 0;
      Check(navigator.GetNewID("wsdjxm", "单据明细ID", lineId), "line id");
      tx.Run(ws::db::Sql("INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 数量, 单价, 金额) "
                         "VALUES (")
                 .Key(lineId)
                 .Raw(", ")
                 .Key(id)
                 .Raw(", 1, 2, 30.5, 61)"));
    }
    if (!tx.Commit()) Check(tx.Error(), "save");
  }
}

void StepThroughList(benchmark::State& state, ws::db::IDatabase* db) {
  ws::platform::RecordNavigator navigator(*db);
  int64_t current = 0;
  for (auto _ : state) {
    ws::host::NavResult r = navigator.Navigate(
        kSelect, kWindow, current ? ws::host::kNavNext : ws::host::kNavFirst, current, "单据ID", 1);
    if (!r.records || r.records->Eof()) Check("no row", "navigate");
    int64_t next = r.records->Long("单据ID");
    current = next == current ? 0 : next;  // wrap at the end
    benchmark::DoNotOptimize(r.position);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const auto folder = std::filesystem::temp_directory_path() / "ws_database_bench";
  std::filesystem::create_directories(folder);
  std::unique_ptr<ws::db::IDatabase> sqlite = Shop((folder / "shop.db").string());
  benchmark::RegisterBenchmark("SaveOrder30Lines/sqlite", SaveOrder, sqlite.get());
  benchmark::RegisterBenchmark("StepThroughList/sqlite", StepThroughList, sqlite.get());
  std::unique_ptr<ws::db::IDatabase> postgres;
  if (const char* url = std::getenv("WS_PG_URL"); url && *url) {
    std::string name = url;
    name += (name.find('?') == std::string::npos ? "?" : "&");
    name += "dbname=ws_database_bench";
    postgres = Shop(name);
    benchmark::RegisterBenchmark("SaveOrder30Lines/postgres", SaveOrder, postgres.get());
    benchmark::RegisterBenchmark("StepThroughList/postgres", StepThroughList, postgres.get());
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
