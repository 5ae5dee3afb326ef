// The record navigator on a realistic list: 200,000 repair orders over two years, of which the
// default date window (twelve months back from the login date) holds about half, joined to
// 5,000 vehicles and 800 customers as the repair order's list query joins them. The database
// is a WAL file, as a shop's would be; a second connection plays the other users.
//
// Compared: a move that recounts the list and the current row's rank each time (the obvious
// way), and the navigator's moves over an unchanged list, after another user saved, and a
// search that jumps across the list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/navigator.h"
#include "platform/sqlite_database.h"

namespace {

using ws::platform::RecordNavigator;
using ws::platform::SqliteDatabase;

constexpr int kOrders = 200000;
const std::string kSelect =
    " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
    "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
    "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kWindow = "progid=200001 and 进厂日期>='2011-06-01' and 进厂日期<'2012-07-01'";

void Check(const std::string& error, const char* what) {
  if (!error.empty()) {
    std::fprintf(stderr, "%s: %s\n", what, error.c_str());
    std::exit(1);
  }
}
void Check(const ws::db::Status& status, const char* what) {
  Check(status.Error(), what);
}

struct Shop {
  std::filesystem::path folder;
  std::unique_ptr<SqliteDatabase> db;     // this user's connection
  std::unique_ptr<SqliteDatabase> other;  // another user's
  int64_t windowFirst = 0;
  int64_t windowLast = 0;

  Shop() {
    folder = std::filesystem::temp_directory_path() / "ws_navigator_bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::string path = (folder / "shop.db").string();
    std::string error;
    auto opened = SqliteDatabase::Open(path);
    Check(opened.Error(), "open");
    db = std::move(opened).Take();
    for (const auto& sql : ws::db::CatalogueStatements(ws::db::Engine::Sqlite)) {
      Check(db->ExecScript(sql.Literal()), "catalogue");
    }
    Check(db->ExecScript(
              "BEGIN;"
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 800) "
              "INSERT INTO pdmwldw (往来ID, 公司名称) SELECT i, '客户' || i FROM n;"
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
              "INSERT INTO clzl (车辆ID, 车牌号, 车型, 车主ID) "
              "SELECT i, '京A' || (10000 + i), '轿车', i % 800 + 1 FROM n;"
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
              std::to_string(kOrders) +
              ") INSERT INTO WSDJ (单据ID, progid, smark, 系统, 工单号码, 进厂日期, 车辆ID, "
              "车主ID, 维修费用, 应收合计) SELECT i, 200001, '01', '填单', 'WX' || i, "
              "date('2010-07-01', '+' || (i * 730 / " +
              std::to_string(kOrders) +
              ") || ' days'), i % 5000 + 1, i % 800 + 1, 100, 100 FROM n;"
              "COMMIT;"),
          "orders");
    windowFirst = ws::db::Runner(*db)
                      .Scalar(ws::db::Sql("SELECT MIN(单据ID) FROM WSDJ WHERE " + kWindow))
                      .ToLong();
    windowLast = ws::db::Runner(*db)
                     .Scalar(ws::db::Sql("SELECT MAX(单据ID) FROM WSDJ WHERE " + kWindow))
                     .ToLong();
    auto openedOther = SqliteDatabase::Open(path);
    Check(openedOther.Error(), "open other");
    other = std::move(openedOther).Take();
  }
  ~Shop() {
    db.reset();
    other.reset();
    std::filesystem::remove_all(folder);
  }

  // Another user saves an order into the window (and takes it out again next time).
  void OtherUserSaves(int64_t n) {
    std::string sql = n % 2 == 0
                          ? "INSERT INTO WSDJ (单据ID, progid, 工单号码, 进厂日期) VALUES (" +
                                std::to_string(kOrders + 1) + ", 200001, 'X', '2012-06-15')"
                          : "DELETE FROM WSDJ WHERE 单据ID=" + std::to_string(kOrders + 1);
    Check(ws::db::Runner(*other).Execute(ws::db::Sql(sql)), "other user");
  }
};

Shop& TheShop() {
  static Shop shop;
  return shop;
}

// The next id inside the window, wrapping to the first.
int64_t NextCurrent(const Shop& shop, int64_t current) {
  return current >= shop.windowLast ? shop.windowFirst : current;
}

void BM_MoveWithTwoCounts(benchmark::State& state) {
  Shop& shop = TheShop();
  ws::db::Runner runner(*shop.db);
  int64_t current = shop.windowFirst + (shop.windowLast - shop.windowFirst) / 2;
  for (auto _ : state) {
    current = NextCurrent(shop, current);
    auto rs = runner.Open(ws::db::Sql(kSelect + " WHERE (" + kWindow + ") AND 单据ID > " +
                                      std::to_string(current) + " ORDER BY 单据ID LIMIT 1"));
    current = rs->Long("单据ID");
    int64_t total =
        runner.Scalar(ws::db::Sql("SELECT COUNT(*) FROM (" + kSelect + " WHERE " + kWindow + ") q"))
            .ToLong();
    int64_t rank =
        runner
            .Scalar(ws::db::Sql("SELECT COUNT(*) FROM (" + kSelect + " WHERE (" + kWindow +
                                ") AND 单据ID <= " + std::to_string(current) + ") q"))
            .ToLong();
    benchmark::DoNotOptimize(total + rank);
  }
}
BENCHMARK(BM_MoveWithTwoCounts)->Unit(benchmark::kMillisecond);

void BM_NavigatorNext(benchmark::State& state) {
  Shop& shop = TheShop();
  RecordNavigator nav(*shop.db);
  int64_t current = shop.windowFirst + (shop.windowLast - shop.windowFirst) / 2;
  for (auto _ : state) {
    current = NextCurrent(shop, current);
    auto r = nav.Navigate(kSelect, kWindow, ws::host::kNavNext, current, "单据ID", 1);
    current = r.records->Long("单据ID");
    benchmark::DoNotOptimize(r.position);
  }
  state.counters["counts/move"] = benchmark::Counter(static_cast<double>(nav.CountQueries()),
                                                     benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NavigatorNext)->Unit(benchmark::kMillisecond);

void BM_NavigatorNextAfterOtherUserSaved(benchmark::State& state) {
  Shop& shop = TheShop();
  RecordNavigator nav(*shop.db);
  int64_t current = shop.windowFirst + (shop.windowLast - shop.windowFirst) / 2;
  int64_t saves = 0;
  for (auto _ : state) {
    state.PauseTiming();
    shop.OtherUserSaves(saves++);
    state.ResumeTiming();
    current = NextCurrent(shop, current);
    auto r = nav.Navigate(kSelect, kWindow, ws::host::kNavNext, current, "单据ID", 1);
    current = r.records->Long("单据ID");
    benchmark::DoNotOptimize(r.position);
  }
  if (saves % 2 == 1) shop.OtherUserSaves(saves);
}
BENCHMARK(BM_NavigatorNextAfterOtherUserSaved)->Unit(benchmark::kMillisecond);

void BM_NavigatorFirstAndLast(benchmark::State& state) {
  Shop& shop = TheShop();
  RecordNavigator nav(*shop.db);
  int mode = ws::host::kNavFirst;
  for (auto _ : state) {
    auto r = nav.Navigate(kSelect, kWindow, mode, 0, "单据ID", 1);
    benchmark::DoNotOptimize(r.position);
    mode = mode == ws::host::kNavFirst ? ws::host::kNavLast : ws::host::kNavFirst;
  }
}
BENCHMARK(BM_NavigatorFirstAndLast)->Unit(benchmark::kMillisecond);

// A search that lands far from the remembered row: its rank is counted over the keys between.
void BM_NavigatorSearchJump(benchmark::State& state) {
  Shop& shop = TheShop();
  RecordNavigator nav(*shop.db);
  int64_t span = shop.windowLast - shop.windowFirst;
  int64_t step = 0;
  for (auto _ : state) {
    int64_t target = shop.windowFirst + (step++ * 7919) % span;
    auto r = nav.Search(kSelect, kWindow, "工单号码='WX" + std::to_string(target) + "'", "单据ID");
    benchmark::DoNotOptimize(r.position);
  }
}
BENCHMARK(BM_NavigatorSearchJump)->Unit(benchmark::kMillisecond);

void BM_GetNewID(benchmark::State& state) {
  Shop& shop = TheShop();
  RecordNavigator nav(*shop.db);
  int64_t id = 0;
  for (auto _ : state) {
    Check(nav.GetNewID("wsdjxm", "单据明细ID", id), "GetNewID");
  }
  benchmark::DoNotOptimize(id);
}
BENCHMARK(BM_GetNewID)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
