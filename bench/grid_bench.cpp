// The operations a user feels on a long list: sorting it by a column and narrowing it with
// the search box, on grids of 10,000 and 100,000 rows.
#include <benchmark/benchmark.h>

#include <string>

#include "forms/grid.h"
#include "forms/grid_search.h"

namespace {

void Fill(ws::forms::Grid& grid, int rows) {
  grid.SetFormatString("行号|编号|车牌号|发动机号|公里数");
  grid.SetRows(1 + rows);
  for (int r = 1; r <= rows; ++r) {
    // Scrambled so a sort has real work to do.
    const int k = static_cast<int>((static_cast<int64_t>(r) * 7919) % rows);
    grid.SetTextMatrix(r, 1, "V" + std::to_string(k));
    grid.SetTextMatrix(r, 2, "京A" + std::to_string(10000 + k));
    grid.SetTextMatrix(r, 3, "ENG" + std::to_string(k * 3));
    grid.SetTextMatrix(r, 4, std::to_string(k % 250000));
  }
}

void BM_SortByNumberColumn(benchmark::State& state) {
  ws::forms::Grid grid("Vs", -1, ws::forms::kFlexGrid);
  Fill(grid, static_cast<int>(state.range(0)));
  int order = 1;
  for (auto _ : state) {
    grid.Sort(4, order);
    order = 3 - order;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortByNumberColumn)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SortByTextColumn(benchmark::State& state) {
  ws::forms::Grid grid("Vs", -1, ws::forms::kFlexGrid);
  Fill(grid, static_cast<int>(state.range(0)));
  int order = 1;
  for (auto _ : state) {
    grid.Sort(2, order);
    order = 3 - order;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortByTextColumn)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_IncrementalFilter(benchmark::State& state) {
  ws::forms::Grid grid("Vs", -1, ws::forms::kFlexGrid);
  Fill(grid, static_cast<int>(state.range(0)));
  const char* typed[] = {"京a1", "eng3", "v99"};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ws::forms::IncrementalSearch(grid, {1, 2, 3}, typed[i++ % 3], true));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_IncrementalFilter)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
