// The desktop's grid over a report-sized result: 100,000 rows of twelve columns with formatted
// amounts, shown in the GridView a report tab uses, on the offscreen platform. Each case moves
// the view as a user scrolls (a page at a time, a drag of the scroll bar to anywhere, the end)
// and paints the viewport synchronously, or makes another row current and syncs the view with
// the grid as after every input (totals row and column state included); the counters give the
// median and the worst step, the figure a stall shows in. One case fills the rows again as a
// report's refresh does, shows them, and gives the memory they hold. One case syncs an order's
// few lines after a move to another record, which is what a clerk paging through orders waits on.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <malloc.h>

#include "db/value.h"
#include "desk/grid_view.h"
#include "forms/form.h"

namespace {

constexpr int kRows = 100000;

// A report's rows: order numbers and amounts differ from row to row, dates, customers,
// plates, models and categories repeat.
void Fill(ws::forms::Grid& grid) {
  grid.SetRows(grid.FixedRows() + kRows);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> amount(0, 5000);
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    const int n = r - grid.FixedRows();
    grid.SetTextMatrix(r, 0, "2012" + std::to_string(100000 + n));
    grid.SetTextMatrix(r, 1, "2012-06-" + std::to_string(10 + n % 19));
    grid.SetTextMatrix(r, 2, "北京嘉禾快递服务有限公司" + std::to_string(n % 977));
    grid.SetTextMatrix(r, 3, "京A" + std::to_string(10000 + n % 89999));
    grid.SetTextMatrix(r, 4, "金杯海狮 2.0L 商务型");
    grid.SetTextMatrix(r, 5, "常规保养");
    for (int c : {6, 7, 8, 9, 10}) grid.SetTextMatrix(r, c, ws::db::DecimalText(amount(random)));
    grid.SetTextMatrix(r, 11, std::to_string(n + 1));
  }
}

class GridOnScreen {
 public:
  GridOnScreen() {
    auto& grid = form_.Add<ws::forms::Grid>("ywGrid");
    grid.SetFormatString(
        "工单号码|进厂日期|车主|车牌号|车型|维修分类|维修费用|配件费用|诊断费|检测费|应收合计|"
        "单据ID");
    for (int c : {6, 7, 8, 9, 10}) grid.Col(c).format = "#,##0.00";
    grid.SetColHidden(11, true);
    Fill(grid);
    view_ = std::make_unique<ws::desk::GridView>(grid, form_);
    view_->resize(1280, 800);
    view_->show();
    QApplication::processEvents();
    // The first paints lay out the header and fill the font caches: not a scroll step.
    for (int value : {0, Bar().maximum() / 2, Bar().maximum(), 0}) MoveTo(value);
  }

  QScrollBar& Bar() { return *view_->verticalScrollBar(); }
  // Replaces the rows as a report's refresh does and shows them; answers the milliseconds of
  // the fill and of the view's sync and first paint.
  std::pair<double, double> Refill() {
    auto start = std::chrono::steady_clock::now();
    view_->Grid().ClearData();
    Fill(view_->Grid());
    auto filled = std::chrono::steady_clock::now();
    view_->Sync();
    view_->viewport()->repaint();
    QApplication::processEvents();
    auto shown = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::milli>(filled - start).count(),
            std::chrono::duration<double, std::milli>(shown - filled).count()};
  }
  // Makes a row current as a click does and syncs the view; answers the milliseconds.
  double SelectRow(int row) {
    auto start = std::chrono::steady_clock::now();
    view_->Grid().SetRow(row);
    view_->Sync();
    view_->viewport()->repaint();
    QApplication::processEvents();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  }
  void Clear() {
    view_->Grid().ClearData();
    view_->Sync();
  }
  // Moves the view and paints what it now shows; answers the milliseconds it took.
  double MoveTo(int value) {
    auto start = std::chrono::steady_clock::now();
    Bar().setValue(value);
    view_->viewport()->repaint();
    QApplication::processEvents();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  }

 private:
  ws::forms::Form form_;
  std::unique_ptr<ws::desk::GridView> view_;
};

GridOnScreen& Screen() {
  static GridOnScreen screen;
  return screen;
}

void Report(benchmark::State& state, std::vector<double>& steps) {
  std::sort(steps.begin(), steps.end());
  state.counters["median_ms"] = steps[steps.size() / 2];
  state.counters["p99_ms"] = steps[steps.size() * 99 / 100];
  state.counters["worst_ms"] = steps.back();
  state.counters["rows"] = kRows;
}

void BM_PageDown(benchmark::State& state) {
  GridOnScreen& screen = Screen();
  std::vector<double> steps;
  int value = 0;
  for (auto _ : state) {
    value += screen.Bar().pageStep();
    if (value > screen.Bar().maximum()) value = 0;
    steps.push_back(screen.MoveTo(value));
  }
  Report(state, steps);
}
BENCHMARK(BM_PageDown)->Iterations(2000)->Unit(benchmark::kMillisecond);

void BM_DragAnywhere(benchmark::State& state) {
  GridOnScreen& screen = Screen();
  std::mt19937 random(11);
  std::vector<double> steps;
  for (auto _ : state) {
    std::uniform_int_distribution<int> to(0, screen.Bar().maximum());
    steps.push_back(screen.MoveTo(to(random)));
  }
  Report(state, steps);
}
BENCHMARK(BM_DragAnywhere)->Iterations(500)->Unit(benchmark::kMillisecond);

void BM_HomeEnd(benchmark::State& state) {
  GridOnScreen& screen = Screen();
  std::vector<double> steps;
  bool end = false;
  for (auto _ : state) {
    end = !end;
    steps.push_back(screen.MoveTo(end ? screen.Bar().maximum() : 0));
  }
  Report(state, steps);
}
BENCHMARK(BM_HomeEnd)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_SyncAfterInput(benchmark::State& state) {
  GridOnScreen& screen = Screen();
  std::mt19937 random(13);
  std::uniform_int_distribution<int> row(1, kRows);
  std::vector<double> steps;
  for (auto _ : state) steps.push_back(screen.SelectRow(row(random)));
  Report(state, steps);
}
BENCHMARK(BM_SyncAfterInput)->Iterations(200)->Unit(benchmark::kMillisecond);

// An order's lines as a move to another record leaves them: as many lines with other texts, the
// view synced (columns widened to the rows on screen) and painted.
void BM_SyncAnotherRecordsLines(benchmark::State& state) {
  ws::forms::Form form;
  auto& grid = form.Add<ws::forms::Grid>("ywGrid");
  grid.SetFormatString("行号|项目编码|维修项目|项目属性|数量|单价|金额");
  grid.SetRows(grid.FixedRows() + 12);
  ws::desk::GridView view(grid, form);
  view.resize(1100, 300);
  view.show();
  QApplication::processEvents();
  const char* items[] = {"补胎", "更换前刹车片", "发动机大修 正时皮带套件 气门室盖垫"};
  std::vector<double> steps;
  int record = 0;
  for (auto _ : state) {
    ++record;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      grid.SetTextMatrix(r, 2, items[(record + r) % 3]);
      grid.SetTextMatrix(r, 6, ws::db::DecimalText(record * 10.5 + r));
    }
    auto start = std::chrono::steady_clock::now();
    view.Sync();
    view.viewport()->repaint();
    steps.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  Report(state, steps);
  state.counters["rows"] = grid.DataRows();
}
BENCHMARK(BM_SyncAnotherRecordsLines)->Iterations(500)->Unit(benchmark::kMillisecond);

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// A report refreshed over the same 100,000 rows: the grid filled again, the view synced and
// painted, and the memory the rows hold once freed memory went back (the desk trims after a
// refresh).
void BM_RefillAndShow(benchmark::State& state) {
  GridOnScreen& screen = Screen();
  std::vector<double> fills;
  std::vector<double> shows;
  for (auto _ : state) {
    auto [fill, show] = screen.Refill();
    fills.push_back(fill);
    shows.push_back(show);
  }
  std::sort(fills.begin(), fills.end());
  std::sort(shows.begin(), shows.end());
  state.counters["fill_ms"] = fills[fills.size() / 2];
  state.counters["show_ms"] = shows[shows.size() / 2];
  malloc_trim(0);
  const long held = ResidentKb();
  screen.Clear();
  malloc_trim(0);
  state.counters["rows_MB"] = static_cast<double>(held - ResidentKb()) / 1024;
  screen.Refill();
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_RefillAndShow)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
