// The floor's job board on a shop of the size the environment names: the shop's open labour
// lines and one technician's jobs, as `ws serve` reads them for each tablet's refresh.
//   WS_BENCH_SHOP   a shop file or postgresql:// URL (ws demo --orders 1000000 ...)
//   WS_BENCH_SINCE  the first arrival day of the open lines (yyyy-mm-dd)
//   WS_BENCH_TECH   the technician whose jobs are read (employee id, default 1)
// The bench dispatches the newest open order's lines to employee 1 when nobody has any yet.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "db/runner.h"
#include "platform/navigator.h"
#include "shop/store/database_file.h"
#include "workshop/floor.h"

namespace {

struct Shop {
  std::unique_ptr<ws::platform::EngineDatabase> db;
  std::unique_ptr<ws::platform::RecordNavigator> ids;
  std::unique_ptr<ws::workshop::Floor> floor;
  std::string since;
  int64_t technician = 1;
};

Shop& TheShop() {
  static Shop shop = [] {
    Shop s;
    const char* name = std::getenv("WS_BENCH_SHOP");
    const char* since = std::getenv("WS_BENCH_SINCE");
    std::string error;
    std::string notice;
    if (name) s.db = ws::shop::OpenWorkingShop(name, &error, &notice);
    if (!s.db) return s;
    s.since = since ? since : "2000-01-01";
    if (const char* tech = std::getenv("WS_BENCH_TECH")) s.technician = std::atoll(tech);
    s.ids = std::make_unique<ws::platform::RecordNavigator>(*s.db);
    s.floor = std::make_unique<ws::workshop::Floor>(
        *s.db, *s.ids, [] { return std::string("2026-01-01 08:00:00"); });
    ws::db::Runner runner(*s.db);
    runner.Execute("UPDATE PDMGY SET 是否技师 = 1 WHERE 雇员ID = 1");
    if (runner.Scalar("SELECT COUNT(*) FROM ws_job_tech").ToLong() == 0) {
      ws::workshop::Actor clerk{"bench", 0, true, false, false, false};
      for (const auto& line : s.floor->OpenLines(s.since, 20)) {
        s.floor->Dispatch(clerk, line.lineId, {{1, 1.0}});
      }
    }
    return s;
  }();
  return shop;
}

void OpenLines(benchmark::State& state) {
  Shop& shop = TheShop();
  if (!shop.floor) return state.SkipWithError("WS_BENCH_SHOP names no shop");
  size_t lines = 0;
  std::string error;
  for (auto _ : state) lines = shop.floor->OpenLines(shop.since, 200, &error).size();
  if (!error.empty()) return state.SkipWithError(error.c_str());
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(OpenLines)->Unit(benchmark::kMillisecond);

void JobsOfATechnician(benchmark::State& state) {
  Shop& shop = TheShop();
  if (!shop.floor) return state.SkipWithError("WS_BENCH_SHOP names no shop");
  size_t lines = 0;
  std::string error;
  for (auto _ : state) lines = shop.floor->JobsOf(shop.technician, shop.since, &error).size();
  if (!error.empty()) return state.SkipWithError(error.c_str());
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(JobsOfATechnician)->Unit(benchmark::kMillisecond);

// What one tablet's refresh reads: the technician's jobs and the shop's open lines.
void Board(benchmark::State& state) {
  Shop& shop = TheShop();
  if (!shop.floor) return state.SkipWithError("WS_BENCH_SHOP names no shop");
  std::string error;
  for (auto _ : state) {
    benchmark::DoNotOptimize(shop.floor->JobsOf(shop.technician, shop.since, &error));
    if (error.empty()) benchmark::DoNotOptimize(shop.floor->OpenLines(shop.since, 200, &error));
  }
  if (!error.empty()) return state.SkipWithError(error.c_str());
}
BENCHMARK(Board)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
