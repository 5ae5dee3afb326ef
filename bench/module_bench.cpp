// The module's own operations on a demo shop of shop size, each next to the raw statements it
// ran. Every case drives the real controls (repair order, requisition, settlement, pickers,
// report) on a database the way a desk would, and captures the statement log of one run; the
// twin replays exactly those statement texts (values written in) through the database service
// with no module code around them. Counters: ms (median of the module runs), raw_ms (median of
// the replays), x_raw (ms / raw_ms).
//
// The shop: `ws demo` of WS_BENCH_ORDERS repair orders (default 20000), reference date
// 2012-06-15 (with the posted history of its checked orders), made once into WS_BENCH_CACHE
// (default <temp>/ws_bench_cache) with a 50-line requisition added (harness/shop_rows.h); each run
// works on a copy, so runs do not drift. With WS_PG_URL set (scripts/with_postgres.sh) the same
// cases run on PostgreSQL as well, on a database made once per size.
//
// WS_BENCH_SHOP=<file or postgresql:// URL> runs on that shop instead, as it is (no copy, no
// bench rows, no upgrade: a shop of an older build is refused, upgrade a copy of it first), and
// leaves it as it found it: the reading cases run as they are; the saves run on a desk of their
// own inside a transaction rolled back after the case (each save's own transaction a savepoint
// of it, so the figures hold every statement of the save but not its commit); the kept list
// counts, which the first opens forget, are put back; the cases that need another user's
// committed save, the bench's requisition or a changed setting are skipped with a line saying
// so. The row count of every table, the orders' rows and the kept counts are compared before
// and after, and a difference fails the run.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/runner.h"
#include "db/schema.h"
#include "db/sql.h"
#include "forms/input.h"
#include "framework/line_price.h"
#include "harness/order_clerk.h"
#include "harness/shop_rows.h"
#include "money/js_ws.h"
#include "pickers/master_picker.h"
#include "platform/engine_database.h"
#include "platform/menu_model.h"
#include "platform/postgres_database.h"
#include "platform/server_logins.h"
#include "platform/system_object.h"
#include "repair_order/ws_s.h"
#include "reports/day_work.h"
#include "reports/issued_billed.h"
#include "reports/period_checklist.h"
#include "reports/receivables_age.h"
#include "reports/service_due.h"
#include "reports/vehicle_history.h"
#include "reports/ws_rpt.h"
#include "requisition/ckll_ws.h"
#include "shop/demo/demo_data.h"
#include "shop/exchange/report_run.h"
#include "shop/store/database_file.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using ws::platform::EngineDatabase;

const ws::db::Date kLoginDate{2012, 6, 15};
constexpr const char* kUser = "测试员";
constexpr int64_t kOrderProgram = 200001;
constexpr int64_t kRequisitionProgram = 200002;
constexpr int64_t kSettlementProgram = 200003;
constexpr int kRequisitionLines = 50;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "module_bench: %s\n", what.c_str());
  std::exit(1);
}
void Check(const std::string& error, const std::string& what) {
  if (!error.empty()) Fail(what + ": " + error);
}
void Check(const ws::db::Status& status, const std::string& what) {
  Check(status.Error(), what);
}

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::atoll(text) : fallback;
}

double Millis(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The clerk feels the slow moves too: the mean and the 99th percentile (nearest rank) go
// beside the median.
void SpreadCounters(benchmark::State& state, std::vector<double> times) {
  if (times.empty()) return;
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (double t : times) sum += t;
  const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(times.size())));
  state.counters["mean_ms"] = sum / static_cast<double>(times.size());
  state.counters["p99_ms"] = times[std::max<size_t>(rank, 1) - 1];
}

int64_t Scalar(ws::db::IDatabase& db, const std::string& sql) {
  std::string error;
  int64_t value = ws::db::Runner(db).Scalar(ws::db::Sql(sql), &error).ToLong();
  Check(error, sql);
  return value;
}

// --- The statement log of one operation and its replay.

using Statements = std::vector<std::string>;

Statements Capture(EngineDatabase& db, const std::function<void()>& operation) {
  db.ClearLog();
  db.EnableLog(true);
  operation();
  Statements log = db.Log();
  db.EnableLog(false);
  db.ClearLog();
  return log;
}

bool IsQuery(const std::string& sql) {
  size_t b = sql.find_first_not_of(" \t\r\n(");
  if (b == std::string::npos) return false;
  std::string head = sql.substr(b, 6);
  for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return head.rfind("SELECT", 0) == 0 || head.rfind("WITH", 0) == 0 ||
         sql.find("RETURNING") != std::string::npos;
}

// Runs the texts as the database service runs any statement, reading every row of a query;
// inside one transaction when `transaction` (a save or a posting is one).
void Replay(ws::db::IDatabase& db, const Statements& statements, bool transaction) {
  std::unique_ptr<ws::db::Transaction> tx;
  if (transaction) tx = std::make_unique<ws::db::Transaction>(db);
  // WS_BENCH_PROFILE=ms prints every replayed statement slower than that (1 ms when empty).
  static const char* profileEnv = std::getenv("WS_BENCH_PROFILE");
  static const bool profile = profileEnv != nullptr;
  static const double profileMs = profileEnv && *profileEnv ? std::atof(profileEnv) : 1.0;
  for (const std::string& text : statements) {
    std::string error;
    auto start = Clock::now();
    // Writes and row locks go as the save's guard sends them: all or nothing.
    const int kind = tx && (!IsQuery(text) || text.find("FOR UPDATE") != std::string::npos)
                         ? ws::db::IDatabase::kCommandTextAllOrNothing
                         : ws::db::IDatabase::kCommandText;
    if (IsQuery(text)) {
      auto rs = ws::db::Runner(db, kind).Open(ws::db::Sql(text), &error);
      for (; error.empty() && !rs->Eof(); rs->MoveNext()) {
        for (int f = 0; f < rs->FieldCount(); ++f) benchmark::DoNotOptimize(rs->Field(f));
      }
    } else {
      error = ws::db::Runner(db, kind).Execute(ws::db::Sql(text));
    }
    Check(error, "replay of " + text.substr(0, 200));
    if (double ms = Millis(Clock::now() - start); profile && ms > profileMs) {
      std::fprintf(stderr, "%8.2f ms  %s\n", ms, text.substr(0, 300).c_str());
    }
  }
  if (tx && !tx->Commit()) Fail("replay commit: " + tx->Error());
}

// Times `operation` (and nothing of `before`) per iteration; afterwards replays the captured
// statements as often (at most 200 times) and reports both medians and their ratio.
struct Twin {
  Statements statements;
  bool transaction = false;
  std::function<void()> beforeReplay;  // untimed: undo what the last run wrote
  int operations = 1;                  // how many timed operations the statements hold
};

void Measure(benchmark::State& state, const std::function<void()>& before,
             const std::function<void()>& operation, ws::db::IDatabase& db, const Twin& twin) {
  std::vector<double> times;
  for (auto _ : state) {
    if (before) before();
    auto start = Clock::now();
    operation();
    double ms = Millis(Clock::now() - start);
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  std::vector<double> raw;
  const size_t replays = std::min<size_t>(times.size(), 200);
  for (size_t i = 0; i < replays && !twin.statements.empty(); ++i) {
    if (twin.beforeReplay) twin.beforeReplay();
    auto start = Clock::now();
    Replay(db, twin.statements, twin.transaction);
    raw.push_back(Millis(Clock::now() - start) / twin.operations);
  }
  SpreadCounters(state, times);
  double ms = Median(times);
  double rawMs = Median(raw);
  state.counters["ms"] = ms;
  state.counters["raw_ms"] = rawMs;
  state.counters["x_raw"] = rawMs > 0 ? ms / rawMs : 0;
  state.counters["statements"] = static_cast<double>(twin.statements.size());
}

// --- The shop.

// The demo (with its posted history: requisitions, stock ledger, settlements, general ledger,
// receipts) and a 50-line requisition of a 50-line order, marked as made for the bench.
void AddBenchRows(EngineDatabase& db) {
  std::string error;
  const int64_t requisition =
      ws::harness::AddRequisitionOfOrder(db, kRequisitionLines, kUser, &error);
  Check(error, "bench rows");
  Check(ws::db::Runner(db).Execute(
            ws::db::Sql("INSERT INTO ws_meta (key, value) VALUES ('bench:requisition', ")
                .Text(std::to_string(requisition))
                .Raw(")")),
        "bench mark");
}

std::unique_ptr<EngineDatabase> OpenEngine(const std::string& name) {
  std::string error;
  auto db = ws::shop::OpenShopDatabase(name, &error);
  Check(error, "open " + name);
  auto* engine = dynamic_cast<EngineDatabase*>(db.get());
  if (!engine) Fail("not an engine database: " + name);
  db.release();
  return std::unique_ptr<EngineDatabase>(engine);
}

bool HasBenchRows(const std::string& name) {
  std::string error;
  auto db = ws::shop::OpenShopDatabase(name, &error);
  if (!db || !error.empty()) return false;
  return ws::db::Runner(*db)
                 .Scalar(ws::db::Sql("SELECT COUNT(*) FROM ws_meta WHERE key='bench:requisition'"),
                         &error)
                 .ToLong() == 1 &&
         error.empty();
}

int64_t DemoOrders(const std::string& name) {
  std::string error;
  auto db = ws::shop::OpenShopDatabase(name, &error);
  if (!db || !error.empty()) return 0;
  const int64_t count =
      ws::db::Runner(*db).Scalar(ws::db::Sql("SELECT COUNT(*) FROM WSDJ"), &error).ToLong();
  return error.empty() ? count : 0;
}

// A shop made by an older build is brought forward as the desk brings it when it opens it.
void Upgrade(const std::string& name) {
  Check(ws::db::UpgradeSchema(*OpenEngine(name)), "upgrade " + name);
}

void MakeShop(const std::string& name, int64_t orders, int years) {
  std::fprintf(stderr, "module_bench: making a demo shop of %lld orders over %d years in %s\n",
               static_cast<long long>(orders), years, name.c_str());
  ws::shop::DemoOptions options;
  options.orders = orders;
  options.years = years;
  options.date = kLoginDate;
  Check(ws::shop::CheckNewDatabaseTarget(name, true), "target");
  Check(ws::shop::CreateDemoDatabase(name, options, nullptr, {}), "demo");
  AddBenchRows(*OpenEngine(name));
}

// --- A desk: one user's system object with its dialogs.

struct Desk {
  std::unique_ptr<EngineDatabase> db;
  ws::test::ScriptedDialogs dialogs;
  ws::test::RecordingSink sink;
  std::unique_ptr<ws::platform::SystemObject> system;

  explicit Desk(const std::string& name) : db(OpenEngine(name)) {
    ws::host::LoginInfo login{kUser, kLoginDate, fs::temp_directory_path().string()};
    system = std::make_unique<ws::platform::SystemObject>(*db, dialogs, login);
  }
};

struct Shop {
  std::string name;
  std::string engine;
  int64_t orders = 0;
  std::unique_ptr<Desk> desk;
  std::unique_ptr<EngineDatabase> other;  // another user's connection
  int64_t requisition = 0;
  std::vector<int64_t> saved;  // orders the benchmarks saved
  bool named = false;          // WS_BENCH_SHOP: a shop of its owner, left as found
};

std::vector<std::unique_ptr<Shop>>& Shops() {
  static std::vector<std::unique_ptr<Shop>> shops;
  return shops;
}

std::unique_ptr<Shop> OpenShop(const std::string& name, const std::string& engine, int64_t orders,
                               bool named = false) {
  auto shop = std::make_unique<Shop>();
  shop->name = name;
  shop->engine = engine;
  shop->orders = orders;
  shop->named = named;
  shop->desk = std::make_unique<Desk>(name);
  shop->other = OpenEngine(name);
  if (!named) {
    shop->requisition =
        Scalar(*shop->desk->db, "SELECT value FROM ws_meta WHERE key='bench:requisition'");
  }
  return shop;
}

// --- A named shop left as found.

// What a run must not change: every table's row count, the orders' rows and the kept list
// counts (a digest of each row's every field, in key order).
struct ShopPrint {
  std::vector<std::pair<std::string, int64_t>> counts;
  uint64_t orders = 0;
  uint64_t listCounts = 0;
};

uint64_t Digest(ws::db::IDatabase& db, const std::string& sql) {
  std::string error;
  auto rows = ws::db::Runner(db).Open(ws::db::Sql(sql), &error);
  uint64_t hash = 1469598103934665603ULL;  // FNV-1a
  auto mix = [&hash](std::string_view text) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    hash = (hash ^ 0x1F) * 1099511628211ULL;  // a field's end: "ab","c" is not "a","bc"
  };
  for (; error.empty() && !rows->Eof(); rows->MoveNext()) {
    for (int f = 0; f < rows->FieldCount(); ++f) {
      const auto field = rows->Field(f);
      mix(field.IsNull() ? std::string_view("\\N") : std::string_view(field.ToText()));
    }
  }
  Check(error, sql);
  return hash;
}

ShopPrint TakePrint(ws::db::IDatabase& db) {
  ShopPrint print;
  for (const ws::db::TableDef& table : ws::db::Tables()) {
    std::string error;
    const int64_t count = ws::db::Runner(db)
                              .Scalar(ws::db::Sql("SELECT COUNT(*) FROM ").Raw(table.name), &error)
                              .ToLong();
    print.counts.emplace_back(table.name, error.empty() ? count : -1);
  }
  print.orders = Digest(db, "SELECT * FROM WSDJ ORDER BY 单据ID");
  print.listCounts = Digest(db, "SELECT * FROM ws_list_count ORDER BY list_key");
  return print;
}

std::string Differences(const ShopPrint& before, const ShopPrint& after) {
  std::string found;
  for (size_t i = 0; i < before.counts.size() && i < after.counts.size(); ++i) {
    if (before.counts[i] != after.counts[i]) {
      found += " " + before.counts[i].first + " " + std::to_string(before.counts[i].second) +
               " -> " + std::to_string(after.counts[i].second) + ";";
    }
  }
  if (before.orders != after.orders) found += " the orders' rows;";
  if (before.listCounts != after.listCounts) found += " the kept list counts;";
  return found;
}

// The kept list counts as found: the first opens and the uncounted moves forget them, and a
// desk keeps what it counts; they are written back as they were when the run ends.
struct KeptCounts {
  std::vector<std::vector<ws::db::Value>> rows;

  explicit KeptCounts(ws::db::IDatabase& db) {
    std::string error;
    auto read = ws::db::Runner(db).Open(
        ws::db::Sql("SELECT list_key, list_text, version_sum, figures, kept_at FROM ws_list_count"),
        &error);
    for (; error.empty() && !read->Eof(); read->MoveNext()) {
      rows.push_back(
          {read->Field(0), read->Field(1), read->Field(2), read->Field(3), read->Field(4)});
    }
    Check(error, "the kept list counts");
  }

  void PutBack(ws::db::IDatabase& db) const {
    ws::db::Transaction tx(db);
    tx.Run("DELETE FROM ws_list_count");
    for (const auto& row : rows) {
      tx.Run(ws::db::Sql("INSERT INTO ws_list_count (list_key, list_text, version_sum, figures, "
                         "kept_at) VALUES (")
                 .Text(row[0].ToText())
                 .Raw(", ")
                 .Text(row[1].ToText())
                 .Raw(", ")
                 .Key(row[2].ToLong())
                 .Raw(", ")
                 .Text(row[3].ToText())
                 .Raw(", ")
                 .Key(row[4].ToLong())
                 .Raw(")"));
    }
    if (!tx.Commit()) Fail("putting the kept list counts back: " + tx.Error());
  }
};

// A case that saves, run on a named shop by a desk of its own inside a transaction rolled back
// at its end: the shop's desk keeps no figures of rows that never were.
void RolledBack(Shop* shop, const std::function<void()>& run) {
  if (!shop->named) return run();
  auto own = std::make_unique<Desk>(shop->name);
  std::swap(shop->desk, own);
  shop->desk->db->BeginTrans();
  run();
  shop->desk->db->RollbackTrans();
  std::swap(shop->desk, own);
  shop->saved.clear();
}

// --- Cases.

// WS_BENCH_START_SESSION=0 opens the first forms of a desk without the login's StartSession,
// as the desks did before it.
bool StartsSessions() {
  static const bool starts = EnvNumber("WS_BENCH_START_SESSION", 1) != 0;
  return starts;
}

using ws::repair_order::WS_S;

// Another user's save into the order list, taken back on the next call: an insert of an order
// in the window, then its delete.
std::function<void()> OtherUserSaves(Shop* shop, bool saves, int64_t& count) {
  return [shop, saves, &count] {
    if (!saves) return;
    const int64_t id = 900000000;
    Check(ws::db::Runner(*shop->other)
              .Execute(count++ % 2 == 0
                           ? ws::db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, "
                                         "进厂日期) VALUES (")
                                 .Key(id)
                                 .Raw(", 200001, '01', 'OTHER', '2012-06-15')")
                           : ws::db::Sql("DELETE FROM WSDJ WHERE 单据ID=").Key(id)),
          "other user");
  };
}

// next / previous / first / last through the repair order control: the keyset row, its lines
// and the position text "k/N"; filtered: the list narrowed to the plates holding "京A", as the
// filter dialog narrows it; uncounted: by a desk new to a list no desk of the shop counted, whose
// event loop never gets to count it (every move made before "k/N" is known).
void Navigate(benchmark::State& state, Shop* shop, int kind, bool otherUserSaves,
              bool filtered = false, bool uncounted = false) {
  std::unique_ptr<Desk> fresh;
  if (uncounted) {
    Check(ws::db::Runner(*shop->desk->db).Execute(ws::db::Sql("DELETE FROM ws_list_count")),
          "forget the shop's counts");
    fresh = std::make_unique<Desk>(shop->name);
    fresh->system->CountListsWhenIdle(
        ws::platform::CountLater{[](const std::function<bool()>&) {}});
  }
  Desk& desk = uncounted ? *fresh : *shop->desk;
  WS_S order;
  order.Events().AttachSink(&desk.sink);
  if (!order.Init(*desk.system, kOrderProgram, 0)) Fail("WS_S would not start");
  if (filtered) order.Filter(std::vector<ws::host::Condition>{{"京A", "clzl.车牌号 like"}});
  int64_t saves = 0;
  auto otherUser = OtherUserSaves(shop, otherUserSaves, saves);
  int flip = 0;
  const int64_t first = order.RecordTop() ? order.GetID() : 0;
  auto move = [&] {
    bool ok = false;
    switch (kind) {
      case 0:
        ok = order.RecordNext();
        break;
      case 1:
        ok = order.RecordPrevious();
        if (ok && order.GetID() == first) ok = order.RecordBottom();
        break;
      default:
        ok = (flip++ % 2 == 0) ? order.RecordTop() : order.RecordBottom();
    }
    if (!ok) Fail("move refused");
  };
  // Next starts from the first. One move warms the figures up.
  if (!(kind == 0 ? order.RecordTop() : order.RecordBottom())) Fail("first or last");
  move();
  Twin twin;
  otherUser();
  // First and last alternate: the twin replays both, move for move.
  twin.operations = kind == 2 ? 2 : 1;
  twin.statements = Capture(*desk.db, [&] {
    for (int i = 0; i < twin.operations; ++i) move();
  });
  twin.beforeReplay = otherUser;
  Measure(state, otherUser, move, *desk.db, twin);
  if (saves % 2 == 1) otherUser();
  state.counters["N"] = static_cast<double>(shop->orders);
  state.SetLabel(order.Form().Get<ws::forms::Label>(WS_S::kRecordLabel).Caption());
}

// The first save of a tab opened for New: a new order of 30 lines in a new tab of a desk that has
// the order list open already; the save and the list shown after it are timed.
void FirstSaveOfNewTab(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  {
    WS_S order;
    if (!order.Init(*desk.system, kOrderProgram, 0) || !order.Refresh())
      Fail("WS_S would not start");
  }
  std::vector<double> times;
  std::vector<double> cpu;
  for (auto _ : state) {
    state.PauseTiming();
    ws::harness::OrderClerk clerk(*desk.db, kUser, kLoginDate, desk.system->SharedListCounts());
    Check(clerk.Problem(), "clerk");
    Clock::time_point pressed;
    double cpuPressed = 0;
    clerk.OnSave([&] {
      pressed = Clock::now();
      cpuPressed = ThreadCpuMs();
    });
    state.ResumeTiming();
    auto outcome = clerk.SaveNewOrder(30);
    double ms = Millis(Clock::now() - pressed);
    cpu.push_back(ThreadCpuMs() - cpuPressed);
    if (!outcome.saved) Fail("save refused");
    if (std::getenv("WS_BENCH_PROFILE")) {
      std::fprintf(stderr, "save %zu: %.2f ms, %.2f ms of CPU\n", times.size() + 1, ms, cpu.back());
    }
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  SpreadCounters(state, times);
  state.counters["ms"] = Median(times);
  // This thread's CPU beside the wall clock: a slow save that took no more CPU than the others
  // waited (for the machine, the disk or the server), it did not work longer.
  state.counters["cpu_ms"] = Median(cpu);
  state.counters["cpu_max_ms"] = cpu.empty() ? 0 : *std::max_element(cpu.begin(), cpu.end());
}

// A document form opened on its list (the control made and started, its last row shown) by a
// desk that has the list open already, after another user saved. first_ms is the first open by
// a desk new to the shop (another machine, a clerk's first session) after another user saved,
// the list counted by an earlier desk; shop_first_ms the open of a list no desk of the shop
// ever counted (a shop just made, the first day of a month's window) by a desk that counts it
// after showing the row (shop_counted_ms until its "k/N" is known, shop_turn_max_ms the longest
// turn of the count between events), shop_first_atonce_ms the same open counting it first.
template <typename Make>
void OpenForm(benchmark::State& state, Shop* shop, int64_t program, Make make) {
  Desk& desk = *shop->desk;
  int64_t saves = 0;
  auto otherUser = OtherUserSaves(shop, program == kOrderProgram, saves);
  auto open = [&] {
    auto control = make();
    control->Events().AttachSink(&desk.sink);
    if (!control->Init(*desk.system, program, 0) || !control->Refresh()) {
      Fail("the form would not open");
    }
  };
  // Desks of their own, logged in (their menu read): no list counted in them yet. A desk
  // whose event loop counts a list after showing its row (idle) leaves the rest of the count
  // queued; it is run after the open, each turn timed as a key pressed meanwhile would wait.
  auto firstOpen = [&](bool idle) {
    Desk fresh(shop->name);
    std::vector<std::function<bool()>> queued;
    if (idle) {
      fresh.system->CountListsWhenIdle(ws::platform::CountLater{
          [&](std::function<bool()> work) { queued.push_back(std::move(work)); }});
    }
    ws::platform::MenuModel menu;
    Check(menu.Load(*fresh.db), "menu");
    // The rest of the desk's login (DeskHost), timed apart.
    const auto login = Clock::now();
    if (StartsSessions()) Check(fresh.system->StartSession(), "session");
    state.counters[idle ? "shop_login_ms" : "login_ms"] = Millis(Clock::now() - login);
    fresh.db->ClearLog();
    fresh.db->EnableLog(true);
    auto start = Clock::now();
    auto control = make();
    control->Events().AttachSink(&fresh.sink);
    if (!control->Init(*fresh.system, program, 0) || !control->Refresh()) {
      Fail("the form would not open");
    }
    const double ms = Millis(Clock::now() - start);
    fresh.db->EnableLog(false);
    // The round trips of a first open, each listed with WS_BENCH_PROFILE.
    state.counters[idle ? "shop_first_statements" : "first_statements"] =
        static_cast<double>(fresh.db->Log().size());
    if (std::getenv("WS_BENCH_PROFILE") && !idle) {
      for (const std::string& sql : fresh.db->Log()) {
        std::fprintf(stderr, "first open: %s\n", sql.substr(0, 160).c_str());
      }
    }
    fresh.db->ClearLog();
    if (idle) {
      double longest = 0;
      int turns = 0;
      const std::clock_t cpu = std::clock();
      while (!queued.empty()) {
        auto turn = Clock::now();
        if (!queued.front()()) queued.erase(queued.begin());
        longest = std::max(longest, Millis(Clock::now() - turn));
        ++turns;
      }
      state.counters["shop_counted_ms"] = Millis(Clock::now() - start);
      state.counters["shop_counted_cpu_ms"] = 1000.0 * (std::clock() - cpu) / CLOCKS_PER_SEC;
      state.counters["shop_turn_max_ms"] = longest;
      state.counters["shop_turns"] = turns;
    }
    return ms;
  };
  auto forgetShopCounts = [&] {
    Check(ws::db::Runner(*desk.db).Execute(ws::db::Sql("DELETE FROM ws_list_count")),
          "forget the shop's counts");
  };
  forgetShopCounts();
  state.counters["shop_first_atonce_ms"] = firstOpen(false);
  forgetShopCounts();
  state.counters["shop_first_ms"] = firstOpen(true);
  otherUser();
  state.counters["first_ms"] = firstOpen(false);
  open();
  Twin twin;
  otherUser();
  twin.statements = Capture(*desk.db, open);
  twin.beforeReplay = otherUser;
  Measure(state, otherUser, open, *desk.db, twin);
  if (saves % 2 == 1) otherUser();
}

// A new order of 30 lines typed by the counter clerk; only the save is timed.
void SaveOrder(benchmark::State& state, Shop* shop) {
  ws::harness::OrderClerk clerk(*shop->desk->db, kUser, kLoginDate);
  Check(clerk.Problem(), "clerk");
  Clock::time_point pressed;
  std::clock_t cpuPressed = 0;
  clerk.OnSave([&] {
    pressed = Clock::now();
    cpuPressed = std::clock();
  });
  std::vector<double> times;
  int64_t lastId = 0;
  std::vector<int64_t> saved;
  std::vector<double> cpus;
  auto save = [&] {
    auto outcome = clerk.SaveNewOrder(30);
    auto done = Clock::now();
    cpus.push_back(1000.0 * (std::clock() - cpuPressed) / CLOCKS_PER_SEC);
    if (!outcome.saved) {
      Fail("save refused: " + (outcome.shown.empty() ? std::string() : outcome.shown[0]));
    }
    lastId = outcome.id;
    saved.push_back(lastId);
    return Millis(done - pressed);
  };
  save();
  auto& db = *shop->desk->db;
  db.ClearLog();
  db.EnableLog(true);
  Twin twin;
  // The log of the save alone: the typing before it is dropped at the press of Save.
  size_t atSave = 0;
  clerk.OnSave([&] {
    pressed = Clock::now();
    cpuPressed = std::clock();
    atSave = db.Log().size();
  });
  save();
  twin.statements.assign(db.Log().begin() + static_cast<std::ptrdiff_t>(atSave), db.Log().end());
  db.EnableLog(false);
  db.ClearLog();
  clerk.OnSave([&] {
    pressed = Clock::now();
    cpuPressed = std::clock();
  });
  const int64_t replayed = lastId;
  twin.transaction = true;
  twin.beforeReplay = [&db, replayed] {
    for (const auto& sql : ws::repair_order::DeleteOrderStatements(replayed)) {
      Check(ws::db::Runner(db).Execute(sql), "delete before replay");
    }
  };
  for (auto _ : state) {
    double ms = save();
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  std::vector<double> raw;
  for (size_t i = 0; i < std::min<size_t>(times.size(), 200); ++i) {
    twin.beforeReplay();
    auto start = Clock::now();
    Replay(db, twin.statements, true);
    raw.push_back(Millis(Clock::now() - start));
  }
  SpreadCounters(state, times);
  state.counters["ms"] = Median(times);
  state.counters["raw_ms"] = Median(raw);
  state.counters["x_raw"] = Median(times) / Median(raw);
  state.counters["statements"] = static_cast<double>(twin.statements.size());
  state.counters["cpu_ms"] = Median(cpus);
  shop->saved.insert(shop->saved.end(), saved.begin(), saved.end());
}

// A check measured against its statements replayed raw: each iteration unchecks (untimed)
// and checks again; the raw twin replays the uncheck's statements before each replay.
void MeasureCheck(benchmark::State& state, Desk& desk, const std::function<void()>& check,
                  const std::function<void()>& uncheck) {
  check();
  Statements unchecking = Capture(*desk.db, uncheck);
  Twin twin;
  twin.statements = Capture(*desk.db, check);
  twin.transaction = true;
  twin.beforeReplay = [&] { Replay(*desk.db, unchecking, true); };
  Measure(state, uncheck, check, *desk.db, twin);
  uncheck();
}

// The bench requisition opened in a form of the shop's desk.
std::shared_ptr<ws::requisition::CKLl_WS> OpenRequisition(Shop* shop) {
  Desk& desk = *shop->desk;
  auto doc = std::make_shared<ws::requisition::CKLl_WS>();
  doc->Events().AttachSink(&desk.sink);
  if (!doc->Init(*desk.system, kRequisitionProgram, shop->requisition) || !doc->Refresh() ||
      doc->GetID() != shop->requisition) {
    Fail("the bench requisition would not open");
  }
  return doc;
}

void CheckOrFail(Desk& desk, ws::requisition::CKLl_WS& doc) {
  if (!doc.Check()) {
    Fail("check refused: " +
         (desk.dialogs.Boxes().empty()
              ? desk.sink.ErrMessages().empty() ? std::string() : desk.sink.ErrMessages()[0]
              : desk.dialogs.Boxes()[0].text));
  }
}

void UnCheckOrFail(ws::requisition::CKLl_WS& doc) {
  if (!doc.UnCheck()) Fail("uncheck refused");
}

// Check of the 50-line requisition (stock ledger, the order's issued quantities and cost);
// the uncheck between runs is not timed.
void CheckRequisition(benchmark::State& state, Shop* shop) {
  auto doc = OpenRequisition(shop);
  MeasureCheck(
      state, *shop->desk, [&] { CheckOrFail(*shop->desk, *doc); }, [&] { UnCheckOrFail(*doc); });
}

// Check of a settlement of a checked demo order (ledger voucher, the order's receivable).
void CheckSettlement(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  Check(desk.system->SetParameter(12, 1, "201206"), "period");
  const int64_t orderId = Scalar(*desk.db,
                                 "SELECT MAX(单据ID) FROM WSDJ WHERE smark='02' AND 单据ID NOT IN "
                                 "(SELECT 前置单据ID FROM ARPReceive) AND 单据ID NOT IN (SELECT "
                                 "前置单据ID FROM JXCDJ)");
  std::string number;
  {
    std::string error;
    number = ws::db::Runner(*desk.db).ScalarText(
        ws::db::Sql("SELECT 工单号码 FROM WSDJ WHERE 单据ID=").Key(orderId), &error);
    Check(error, "order number");
  }
  ws::money::JS_WS doc([&](ws::host::ISystem&, int64_t, int64_t, int64_t) {
    return ws::money::ChosenRepairOrder{orderId, number};
  });
  doc.Events().AttachSink(&desk.sink);
  if (!doc.Init(*desk.system, kSettlementProgram, 0) || !doc.FileNew()) {
    Fail("JS_WS would not start");
  }
  auto type = [&](int index, const std::string& text) {
    auto typed = ws::forms::Input::Type(doc.Header(index), text);
    if (!typed) Fail("settlement field " + std::to_string(index) + ": " + typed.reason);
  };
  if (!ws::forms::Input::Click(
          doc.Form().Get<ws::forms::Widget>(ws::money::JS_WS::kSelectButton))) {
    Fail("chooser");
  }
  type(ws::money::JS_WS::kDate, "2012-06-15");
  type(ws::money::JS_WS::kAccount, "1001");
  type(ws::money::JS_WS::kCollected, "100");
  if (!doc.FileSave()) Fail("settlement save refused");
  auto check = [&] {
    if (!doc.Check()) Fail("settlement check refused");
  };
  auto uncheck = [&] {
    if (!doc.UnCheck()) Fail("settlement uncheck refused");
  };
  MeasureCheck(state, desk, check, uncheck);
}

// The price a line proposes: fetch mode 0 (history of the customer, then anyone's, then the
// rule) or 1 (the rule straight away), for a labour item and a part.
void ProposePrice(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  const int mode = static_cast<int>(state.range(0));
  const int rule = static_cast<int>(state.range(1));
  const auto kind =
      state.range(2) == 0 ? ws::framework::LineKind::Items : ws::framework::LineKind::Parts;
  Check(desk.system->SetOption(12, std::string("fetchmode"), std::to_string(mode)), "mode");
  Check(ws::db::Runner(*desk.db).Execute(ws::db::Sql("UPDATE xt_objects SET fetchPrice=")
                                             .Num(rule)
                                             .Raw(" WHERE progid=")
                                             .Key(kOrderProgram)),
        "rule");
  // A customer with a few orders and a key used on many lines.
  const int64_t owner = Scalar(*desk.db,
                               "SELECT 车主ID FROM WSDJ WHERE 单据ID=(SELECT "
                               "MAX(单据ID) FROM WSDJ WHERE smark='02')");
  const int64_t key = kind == ws::framework::LineKind::Items
                          ? Scalar(*desk.db, "SELECT MIN(AutoID) FROM PDMWXXM")
                          : Scalar(*desk.db, "SELECT MIN(产品ID) FROM PDMCPML");
  ws::framework::LinePricer pricer(*desk.system, kOrderProgram);
  auto propose = [&] { benchmark::DoNotOptimize(pricer.Propose(kind, key, owner)); };
  Twin twin;
  twin.statements = Capture(*desk.db, propose);
  Measure(state, nullptr, propose, *desk.db, twin);
  Check(desk.system->SetOption(12, std::string("fetchmode"), "0"), "mode");
}

// The vehicle picker: its first page into its grid (a page of 200 in plate order), the next
// page as the popup scrolls, then a keystroke, which narrows the list in the database.
void VehiclePickerLoad(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  auto picker = std::make_unique<ws::pickers::MasterPicker>(ws::pickers::VehiclePicker());
  if (!picker->Init(*desk.system, 0, "")) Fail("picker init");
  auto load = [&] {
    if (!picker->Refresh()) Fail("picker refresh");
  };
  Twin twin;
  twin.statements = Capture(*desk.db, load);
  Measure(state, nullptr, load, *desk.db, twin);
  state.counters["rows"] = picker->Grid().DataRows();
}

void VehiclePickerNextPage(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  auto picker = std::make_unique<ws::pickers::MasterPicker>(ws::pickers::VehiclePicker());
  if (!picker->Init(*desk.system, 0, "") || !picker->Refresh()) Fail("picker");
  std::vector<double> times;
  for (auto _ : state) {
    // Twenty pages down, the list starts again (not timed): the pages read stay near the start.
    if (!picker->HasMore() || picker->Grid().DataRows() >= 4000) {
      if (!picker->Refresh()) Fail("picker refresh");
    }
    auto start = Clock::now();
    picker->LoadMore();
    double ms = Millis(Clock::now() - start);
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["ms"] = Median(times);
  state.counters["max_ms"] = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
}

void VehiclePickerKeystroke(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  auto picker = std::make_unique<ws::pickers::MasterPicker>(ws::pickers::VehiclePicker());
  if (!picker->Init(*desk.system, 0, "") || !picker->Refresh()) Fail("picker");
  // A plate typed one character at a time, the last vehicle's so the search runs far.
  std::string error;
  const std::string plate = ws::db::Runner(*desk.db).ScalarText(
      ws::db::Sql("SELECT 车牌号 FROM clzl ORDER BY 车辆ID DESC LIMIT 1"), &error);
  Check(error, "plate");
  std::vector<std::string> prefixes;
  for (size_t i = 1; i <= plate.size(); ++i) {
    if (i == plate.size() || (static_cast<unsigned char>(plate[i]) & 0xC0) != 0x80) {
      prefixes.push_back(plate.substr(0, i));
    }
  }
  size_t next = 0;
  std::vector<double> times;
  double cpuMax = 0;  // a slow keystroke that took no more CPU than the others waited
  for (auto _ : state) {
    auto start = Clock::now();
    const double cpu = ThreadCpuMs();
    picker->SetText(prefixes[next++ % prefixes.size()]);
    double ms = Millis(Clock::now() - start);
    cpuMax = std::max(cpuMax, ThreadCpuMs() - cpu);
    if (std::getenv("WS_BENCH_PROFILE")) {
      std::fprintf(stderr, "%8.2f ms  %s\n", ms, prefixes[(next - 1) % prefixes.size()].c_str());
    }
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["ms"] = Median(times);
  state.counters["max_ms"] = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
  state.counters["cpu_max_ms"] = cpuMax;
  state.counters["rows"] = picker->Grid().DataRows();
}

// A plate typed into a field resolved through the picker without showing it: the prefix
// search of both columns.
void VehiclePickerTyped(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  auto picker = std::make_unique<ws::pickers::MasterPicker>(ws::pickers::VehiclePicker());
  if (!picker->Init(*desk.system, 0, "")) Fail("picker");
  std::string error;
  const std::string plate = ws::db::Runner(*desk.db).ScalarText(
      ws::db::Sql("SELECT 车牌号 FROM clzl ORDER BY 车辆ID DESC LIMIT 1"), &error);
  Check(error, "plate");
  auto typed = [&] {
    std::string value;
    std::string text;
    picker->Validate("", "", "", plate.substr(0, plate.size() - 2), value, text);
    if (value == "0") Fail("typed plate not found");
  };
  Twin twin;
  twin.statements = Capture(*desk.db, typed);
  Measure(state, nullptr, typed, *desk.db, twin);
}

long ResidentKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return 0;
}

// The days before the login date that hold about 100,000 orders.
void SetReportWindow(ws::reports::WS_RPT& report, int64_t orders) {
  const int64_t days = std::min<int64_t>(365, (100000 * 365 + orders - 1) / orders);
  const std::chrono::year_month_day from{
      std::chrono::sys_days{std::chrono::year{kLoginDate.year} /
                            static_cast<unsigned>(kLoginDate.month) /
                            static_cast<unsigned>(kLoginDate.day)} -
      std::chrono::days{days - 1}};
  const ws::db::Date fromDate{static_cast<int>(from.year()),
                              static_cast<int>(unsigned(from.month())),
                              static_cast<int>(unsigned(from.day()))};
  report.FilterInput(ws::reports::WS_RPT::kDateFrom).SetText(fromDate.Text());
  report.FilterInput(ws::reports::WS_RPT::kDateTo).SetText(kLoginDate.Text());
}

// The repair-order report over a date range of about 100,000 orders, or (asTabOpens) on the
// month of the login date, as the desktop's report tab opens it.
void Report(benchmark::State& state, Shop* shop, bool asTabOpens) {
  Desk& desk = *shop->desk;
  ws::reports::WS_RPT report;
  report.Events().AttachSink(&desk.sink);
  report.Init(*desk.system, ws::reports::WS_RPT::kProgram);
  if (asTabOpens) {
    report.ShowMonthOf(kLoginDate);
  } else {
    SetReportWindow(report, shop->orders);
  }
  // The client's CPU time beside the wall-clock time: on a shared machine the latter swings
  // with the load, the former hardly (the engine's too on SQLite, none of the server's).
  std::vector<double> cpuMs;
  auto refresh = [&] {
    timespec start{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    if (!report.Refresh()) Fail("report refresh");
    timespec end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    cpuMs.push_back(static_cast<double>(end.tv_sec - start.tv_sec) * 1e3 +
                    static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e6);
  };
  // Memory of one load: the peak while the rows come in (the record set and the grid), and
  // what stays afterwards (the grid), each above the process before it.
  malloc_trim(0);
  { std::ofstream("/proc/self/clear_refs") << "5"; }  // resets the peak
  const long before = ResidentKb("VmRSS:");
  Twin twin;
  twin.statements = Capture(*desk.db, refresh);
  const long peak = ResidentKb("VmHWM:");
  malloc_trim(0);
  state.counters["peak_MB"] = static_cast<double>(peak - before) / 1024;
  state.counters["kept_MB"] = static_cast<double>(ResidentKb("VmRSS:") - before) / 1024;
  cpuMs.clear();
  Measure(state, nullptr, refresh, *desk.db, twin);
  state.counters["cpu_ms"] = Median(cpuMs);
  state.counters["rows"] = report.Grid().DataRows();
}

// The lists the module computes, read and put in their grids as the desk opens them: a
// vehicle's history (the vehicle with the most visits), the services due in the month from the
// login day, the receivables by age per customer on the login day, the parts issued against
// billed of the month up to the login day and the checklist of the last whole period before it.
// A shop cached before the items had intervals gets the demo's (untimed).
void List(benchmark::State& state, Shop* shop, int kind) {
  Desk& desk = *shop->desk;
  std::string error;
  ws::db::Runner runner(*desk.db);
  if (!shop->named &&
      Scalar(*desk.db, "SELECT COUNT(*) FROM PDMWXXM WHERE 保养月数>0 OR 保养公里>0") == 0) {
    Check(runner.Execute(ws::db::Sql("UPDATE PDMWXXM SET 保养月数=6, 保养公里=5000 WHERE "
                                     "维修项目='更换机油机滤'")),
          "intervals");
  }
  const std::string plate = runner.ScalarText(
      ws::db::Sql("SELECT 车牌号 FROM clzl WHERE 车辆ID=(SELECT 车辆ID FROM WSDJ GROUP BY 车辆ID"
                  " ORDER BY COUNT(*) DESC, 车辆ID LIMIT 1)"),
      &error);
  Check(error, "plate");
  const std::string today = kLoginDate.Text();
  const std::string monthEnd = ws::db::Date{2012, 7, 14}.Text();
  // The orders end on the login day: the month before it is a full month of them.
  const std::string monthBefore = ws::db::Date{2012, 5, 16}.Text();
  size_t rows = 0;
  ws::forms::Grid grid("Vs");
  auto load = [&] {
    std::string failure;
    if (kind == 0) {
      auto history = ws::reports::LoadVehicleHistory(*desk.db, plate);
      failure = history.error;
      ws::reports::FillHistoryGrid(history, grid);
    } else if (kind == 1) {
      auto due = ws::reports::LoadServiceDue(*desk.db, today, monthEnd);
      failure = due.error;
      ws::reports::FillServiceDueGrid(due, grid);
    } else if (kind == 2) {
      failure = ws::reports::FillAgeSummaryGrid(*desk.db, today, grid);
    } else if (kind == 3) {
      auto issued = ws::reports::LoadIssuedAgainstBilled(*desk.db, monthBefore, today);
      failure = issued.error;
      ws::reports::FillIssuedGrid(issued, grid);
    } else {
      auto checklist = ws::reports::LoadPeriodChecklist(*desk.db, 201205, 0);
      failure = checklist.error;
      ws::reports::FillChecklistGrid(checklist, grid);
    }
    rows = static_cast<size_t>(grid.DataRows());
    Check(failure, "list");
  };
  Twin twin;
  twin.statements = Capture(*desk.db, load);
  Measure(state, nullptr, load, *desk.db, twin);
  state.counters["rows"] = static_cast<double>(rows);
}

// One operation of a shop: `before` readies it untimed, `run` answers its milliseconds, and
// `after` leaves the shop as the other benchmarks expect it.
struct TimedOperation {
  std::function<void()> before;
  std::function<double()> run;
  std::function<void()> after;
};

TimedOperation SaveOperation(Shop* shop) {
  struct Clerk {
    explicit Clerk(ws::db::IDatabase& db) : clerk(db, kUser, kLoginDate) {}
    ws::harness::OrderClerk clerk;
    Clock::time_point pressed;
  };
  auto clerk = std::make_shared<Clerk>(*shop->desk->db);
  Check(clerk->clerk.Problem(), "clerk");
  clerk->clerk.OnSave([state = clerk.get()] { state->pressed = Clock::now(); });
  return {nullptr,
          [clerk, shop] {
            auto outcome = clerk->clerk.SaveNewOrder(30);
            auto done = Clock::now();
            if (!outcome.saved) Fail("save refused");
            shop->saved.push_back(outcome.id);
            return Millis(done - clerk->pressed);
          },
          nullptr};
}

TimedOperation CheckOperation(Shop* shop) {
  auto doc = OpenRequisition(shop);
  auto unchecked = [doc, shop] {
    if (ws::requisition::IsChecked(*shop->desk->db, doc->GetID())) UnCheckOrFail(*doc);
  };
  return {unchecked,
          [doc, shop] {
            auto start = Clock::now();
            CheckOrFail(*shop->desk, *doc);
            return Millis(Clock::now() - start);
          },
          unchecked};
}

// The same operation on the embedded shop and the server's, taking turns iteration by
// iteration (which goes first swapped each time): a machine that slows down or speeds up
// meanwhile meets both alike, so their ratio holds better than that of two separate runs.
void ServerOverEmbedded(benchmark::State& state, const std::vector<Shop*>& shops,
                        const std::function<TimedOperation(Shop*)>& make) {
  std::vector<TimedOperation> operations;
  for (Shop* shop : shops) operations.push_back(make(shop));
  for (TimedOperation& operation : operations) {  // the first of each warms its caches
    if (operation.before) operation.before();
    operation.run();
  }
  std::vector<std::vector<double>> times(operations.size());
  std::vector<double> ratios;
  bool swapped = false;
  for (auto _ : state) {
    std::vector<double> now(operations.size());
    for (size_t k = 0; k < operations.size(); ++k) {
      const size_t i = swapped ? operations.size() - 1 - k : k;
      if (operations[i].before) operations[i].before();
      now[i] = operations[i].run();
      times[i].push_back(now[i]);
    }
    swapped = !swapped;
    ratios.push_back(now[1] / now[0]);
    state.SetIterationTime(now[1] / 1000);
  }
  for (TimedOperation& operation : operations) {
    if (operation.after) operation.after();
  }
  state.counters["embedded_ms"] = Median(times[0]);
  state.counters["server_ms"] = Median(times[1]);
  state.counters["x"] = Median(times[1]) / Median(times[0]);
  state.counters["x_pairs"] = Median(ratios);
}

// Sixty turns each: on the server every check and uncheck of the one requisition leaves its 50
// ledger rows dead at the top of the ledger's key until a vacuum, and each later check's maximum
// steps over all of them, so hundreds of turns would measure that pile, which a shop never builds,
// more than the check.
void RegisterPairs(const std::vector<Shop*>& shops) {
  auto reg = [&](const std::string& name, std::function<TimedOperation(Shop*)> make) {
    benchmark::RegisterBenchmark(
        ("ServerOverEmbedded/" + name).c_str(),
        [shops, make](benchmark::State& s) { ServerOverEmbedded(s, shops, make); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(60);
  };
  reg("SaveOrder30Lines", SaveOperation);
  reg("CheckRequisition50Lines", CheckOperation);
}

// The desk's start page: its three lists of the first 200 orders each (open, checked and not
// settled, owed on), read as the desk starts.
void DeskStart(benchmark::State& state, Shop* shop) {
  Desk& desk = *shop->desk;
  size_t rows = 0;
  auto load = [&] {
    const ws::reports::DayWork work = ws::reports::LoadDayWork(*desk.db, 200);
    Check(work.error, "start page");
    rows = work.openOrders.size() + work.unsettled.size() + work.receivable.size();
  };
  Twin twin;
  twin.statements = Capture(*desk.db, load);
  Measure(state, nullptr, load, *desk.db, twin);
  state.counters["rows"] = static_cast<double>(rows);
}

// Find on the repair order by the start of a number, as a clerk types one: all but the last two
// characters of numbers spread over the list's window (a year back from the login month), the
// first order found and shown. `anywhere` types the middle of a number instead (its day and
// sequence, without the year), which no index serves: the fall-back the find takes when no
// number starts so.
void FindByNumber(benchmark::State& state, Shop* shop, bool anywhere) {
  Desk& desk = *shop->desk;
  WS_S order;
  order.Events().AttachSink(&desk.sink);
  if (!order.Init(*desk.system, kOrderProgram, 0) || !order.Refresh()) Fail("WS_S would not start");
  const int64_t first =
      Scalar(*desk.db, "SELECT MIN(单据ID) FROM WSDJ WHERE 进厂日期>='2011-07-01'");
  const int64_t last = Scalar(*desk.db, "SELECT MAX(单据ID) FROM WSDJ");
  std::vector<std::string> typed;
  for (int64_t i = 0; i < 40; ++i) {
    std::string error;
    const std::string number =
        ws::db::Runner(*desk.db).ScalarText(ws::db::Sql("SELECT 工单号码 FROM WSDJ WHERE 单据ID>=")
                                                .Key(first + (last - first) * i / 40)
                                                .Raw(" ORDER BY 单据ID LIMIT 1"),
                                            &error);
    Check(error, "number");
    if (number.size() < 6) Fail("a short number: " + number);
    typed.push_back(anywhere ? number.substr(4, number.size() - 5)
                             : number.substr(0, number.size() - 2));
  }
  size_t next = 0;
  auto find = [&] {
    order.Find(std::vector<ws::host::Condition>{{typed[next++ % typed.size()], "工单号码 like"}});
    if (order.GetID() <= 0) Fail("find found nothing");
  };
  Twin twin;
  twin.statements = Capture(*desk.db, find);
  next = 0;
  Measure(state, nullptr, find, *desk.db, twin);
}

// `ws report WS_RPT` over the shop's whole history as the command writes it: CSV as the rows
// come (counted, not kept) and the spreadsheet in constant memory beside it. Rows a second and
// the process's peak memory above what it held before.
void ReportStream(benchmark::State& state, Shop* shop, bool xlsx) {
  Desk& desk = *shop->desk;
  const fs::path sheet = fs::temp_directory_path() / ("ws_bench_report_" + shop->engine + ".xlsx");
  size_t bytes = 0;
  int rows = 0;
  auto run = [&] {
    ws::shop::ReportFilters filters;
    if (xlsx) filters.xlsxFile = sheet.string();
    const ws::shop::ReportRun report =
        ws::shop::RunReport(*desk.db, "WS_RPT", filters, [&](std::string_view text) {
          bytes += text.size();
          return true;
        });
    Check(report.error, "report");
    rows = report.rows;
  };
  malloc_trim(0);
  { std::ofstream("/proc/self/clear_refs") << "5"; }  // resets the peak
  const long before = ResidentKb("VmRSS:");
  std::vector<double> times;
  for (auto _ : state) {
    bytes = 0;
    auto start = Clock::now();
    run();
    const double ms = Millis(Clock::now() - start);
    times.push_back(ms);
    state.SetIterationTime(ms / 1000);
  }
  const long peak = ResidentKb("VmHWM:");
  state.counters["peak_MB"] = static_cast<double>(peak - before) / 1024;
  state.counters["ms"] = Median(times);
  state.counters["rows"] = rows;
  state.counters["rows_per_s"] = Median(times) > 0 ? rows / Median(times) * 1000 : 0;
  state.counters["csv_MB"] = static_cast<double>(bytes) / 1e6;
  std::error_code ignored;
  fs::remove(sheet, ignored);
}

// The cases a named shop cannot take back, and why.
const char* SkippedOnNamedShop(const std::string& name) {
  static const std::vector<std::pair<std::string, const char*>> skipped = {
      {"RecordNextAfterOtherUserSaved", "another user's save must be committed to be seen"},
      {"FilteredNextAfterOtherUserSaved", "another user's save must be committed to be seen"},
      {"OpenRepairOrder", "another user's save must be committed to be seen"},
      {"CheckRequisition50Lines", "needs the bench's requisition of 50 lines"},
      {"CheckSettlement", "saves a settlement and sets the period"},
      {"ProposePrice", "sets the fetch mode and the order's price rule"},
  };
  for (const auto& [skip, why] : skipped) {
    if (name == skip) return why;
  }
  return nullptr;
}

void Register(Shop* shop) {
  const std::string suffix = "/" + shop->engine;
  // A case skipped is registered as one that says so (the line stands in the run's table).
  auto reg = [&](const std::string& name, auto&& fn) {
    if (const char* why = shop->named ? SkippedOnNamedShop(name) : nullptr) {
      std::fprintf(stderr, "module_bench: %s skipped on a named shop: %s\n",
                   (name + suffix).c_str(), why);
      return benchmark::RegisterBenchmark((name + suffix).c_str(),
                                          [why](benchmark::State& s) { s.SkipWithError(why); })
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
    }
    return benchmark::RegisterBenchmark((name + suffix).c_str(), fn)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  };
  reg("RecordNext", [shop](benchmark::State& s) { Navigate(s, shop, 0, false); });
  reg("RecordPrevious", [shop](benchmark::State& s) { Navigate(s, shop, 1, false); });
  reg("RecordTopBottom", [shop](benchmark::State& s) { Navigate(s, shop, 2, false); });
  reg("RecordNextAfterOtherUserSaved", [shop](benchmark::State& s) { Navigate(s, shop, 0, true); });
  reg("FilteredNextAfterOtherUserSaved",
      [shop](benchmark::State& s) { Navigate(s, shop, 0, true, true); });
  reg("FilteredTopBottom", [shop](benchmark::State& s) { Navigate(s, shop, 2, false, true); });
  reg("RecordTopBottomUncounted",
      [shop](benchmark::State& s) { Navigate(s, shop, 2, false, false, true); });
  reg("FilteredTopBottomUncounted",
      [shop](benchmark::State& s) { Navigate(s, shop, 2, false, true, true); });
  reg("FirstSaveOfNewTab", [shop](benchmark::State& s) {
    RolledBack(shop, [&] { FirstSaveOfNewTab(s, shop); });
  })->Iterations(20);
  reg("OpenRepairOrder", [shop](benchmark::State& s) {
    OpenForm(s, shop, kOrderProgram, [] { return std::make_unique<WS_S>(); });
  })->Iterations(30);
  reg("OpenRequisition", [shop](benchmark::State& s) {
    OpenForm(s, shop, kRequisitionProgram,
             [] { return std::make_unique<ws::requisition::CKLl_WS>(); });
  })->Iterations(30);
  reg("OpenSettlement", [shop](benchmark::State& s) {
    OpenForm(s, shop, kSettlementProgram, [] {
      return std::make_unique<ws::money::JS_WS>([](ws::host::ISystem&, int64_t, int64_t, int64_t) {
        return ws::money::ChosenRepairOrder{};
      });
    });
  })->Iterations(30);
  reg("SaveOrder30Lines", [shop](benchmark::State& s) {
    RolledBack(shop, [&] { SaveOrder(s, shop); });
  })->Iterations(30);
  reg("CheckRequisition50Lines", [shop](benchmark::State& s) {
    CheckRequisition(s, shop);
  })->Iterations(30);
  reg("CheckSettlement", [shop](benchmark::State& s) { CheckSettlement(s, shop); })->Iterations(30);
  auto* price = reg("ProposePrice", [shop](benchmark::State& s) { ProposePrice(s, shop); });
  if (!shop->named) {
    price->ArgNames({"mode", "rule", "part"});
    for (int part = 0; part < 2; ++part) {
      price->Args({0, 4, part});
      for (int rule = 1; rule <= 8; ++rule) price->Args({1, rule, part});
    }
  }
  reg("VehiclePickerLoad", [shop](benchmark::State& s) {
    VehiclePickerLoad(s, shop);
  })->Iterations(40);
  reg("VehiclePickerNextPage", [shop](benchmark::State& s) {
    VehiclePickerNextPage(s, shop);
  })->Iterations(40);
  reg("VehiclePickerKeystroke", [shop](benchmark::State& s) {
    VehiclePickerKeystroke(s, shop);
  })->Iterations(40);
  reg("VehiclePickerTyped", [shop](benchmark::State& s) { VehiclePickerTyped(s, shop); });
  reg("Report100k", [shop](benchmark::State& s) { Report(s, shop, false); })->Iterations(3);
  reg("ReportTabOpen", [shop](benchmark::State& s) { Report(s, shop, true); })->Iterations(5);
  reg("DeskStart", [shop](benchmark::State& s) { DeskStart(s, shop); })->Iterations(40);
  reg("FindByNumberStart", [shop](benchmark::State& s) {
    FindByNumber(s, shop, false);
  })->Iterations(40);
  reg("FindByNumberAnywhere", [shop](benchmark::State& s) {
    FindByNumber(s, shop, true);
  })->Iterations(10);
  reg("ReportStreamCsv", [shop](benchmark::State& s) {
    ReportStream(s, shop, false);
  })->Iterations(1);
  reg("ReportStreamXlsx", [shop](benchmark::State& s) {
    ReportStream(s, shop, true);
  })->Iterations(1);
  reg("VehicleHistory", [shop](benchmark::State& s) { List(s, shop, 0); })->Iterations(50);
  reg("ServiceDueMonth", [shop](benchmark::State& s) { List(s, shop, 1); })->Iterations(5);
  reg("ReceivablesByAge", [shop](benchmark::State& s) { List(s, shop, 2); })->Iterations(5);
  reg("IssuedAgainstBilledMonth", [shop](benchmark::State& s) { List(s, shop, 3); })->Iterations(5);
  reg("PeriodChecklist", [shop](benchmark::State& s) { List(s, shop, 4); })->Iterations(5);
}

}  // namespace

// WS_BENCH_SHOP: the cases on that shop alone, which is left as found (see the top).
int RunOnNamedShop(const std::string& name) {
  {
    std::string error;
    auto look = ws::shop::OpenShopDatabase(name, &error);
    Check(error, "open " + name);
    std::map<std::string, std::string> meta;
    auto rows = ws::db::Runner(*look).Open(ws::db::Sql("SELECT key, value FROM ws_meta"), &error);
    for (; error.empty() && !rows->Eof(); rows->MoveNext()) {
      meta[rows->Field(0).ToText()] = rows->Field(1).ToText();
    }
    Check(error, "ws_meta");
    for (const ws::db::Subsystem& subsystem : ws::db::Subsystems()) {
      const std::string key = ws::db::SubsystemVersionKey(subsystem);
      if (meta[key] != std::to_string(ws::db::CurrentVersion(subsystem))) {
        Fail(name + " holds " + key + " " + meta[key] + ", this build " +
             std::to_string(ws::db::CurrentVersion(subsystem)) +
             ": upgrade a copy of it (a bench run never changes a named shop)");
      }
    }
  }
  const std::string engine =
      ws::shop::EngineOf(name) == ws::db::Engine::Postgres ? "postgres" : "sqlite";
  const auto start = Clock::now();
  ShopPrint before;
  std::unique_ptr<KeptCounts> kept;
  int64_t orders = 0;
  {
    auto db = OpenEngine(name);
    before = TakePrint(*db);
    kept = std::make_unique<KeptCounts>(*db);
    orders = Scalar(*db, "SELECT COUNT(*) FROM WSDJ");
  }
  std::fprintf(stderr, "module_bench: %s, %lld orders, looked over in %.1f s\n", name.c_str(),
               static_cast<long long>(orders), Millis(Clock::now() - start) / 1000);
  Shops().push_back(OpenShop(name, engine, orders, true));
  Register(Shops().back().get());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Shops().clear();
  auto db = OpenEngine(name);
  kept->PutBack(*db);
  const std::string changed = Differences(before, TakePrint(*db));
  if (!changed.empty()) Fail(name + " was changed by the run:" + changed);
  std::fprintf(stderr, "module_bench: %s as found (row counts, orders and kept counts)\n",
               name.c_str());
  return 0;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* named = std::getenv("WS_BENCH_SHOP"); named && *named) {
    return RunOnNamedShop(named);
  }
  const int64_t orders = EnvNumber("WS_BENCH_ORDERS", 20000);
  // WS_BENCH_YEARS spreads the orders over that many years up to the login date.
  const int years = static_cast<int>(EnvNumber("WS_BENCH_YEARS", 1));
  const std::string size = std::to_string(orders) + (years > 1 ? "_y" + std::to_string(years) : "");
  const char* cacheEnv = std::getenv("WS_BENCH_CACHE");
  const fs::path cache =
      cacheEnv && *cacheEnv ? fs::path(cacheEnv) : fs::temp_directory_path() / "ws_bench_cache";
  fs::create_directories(cache);

  // SQLite: the cached shop stays as made; the run works on a copy.
  const fs::path made = cache / ("shop_" + size + ".db");
  if (!HasBenchRows(made.string())) {
    // A whole demo shop put there (a copy of one `ws demo` made, the million-order file) gets
    // the bench's rows; anything less is made anew.
    if (fs::exists(made) && DemoOrders(made.string()) >= orders) {
      AddBenchRows(*OpenEngine(made.string()));
    } else {
      MakeShop(made.string(), orders, years);
    }
  }
  Upgrade(made.string());
  const fs::path work = cache / ("run_" + size + ".db");
  fs::remove(work);
  fs::copy_file(made, work);
  Shops().push_back(OpenShop(work.string(), "sqlite", orders));

  if (const char* url = std::getenv("WS_PG_URL"); url && *url) {
    std::string name = url;
    name += (name.find('?') == std::string::npos ? "?" : "&");
    name += "dbname=ws_module_bench_" + size;
    if (!HasBenchRows(name)) MakeShop(name, orders, years);
    Upgrade(name);
    // The server's shop serves every run, and the runs' own churn piles its dead rows where
    // every later check and save looks: each check and uncheck of the one requisition leaves
    // its ledger rows dead at the top of the ledger's key, each run's saves are deleted again.
    // A shop's unchecks are few and scattered; a run starts from the tables vacuumed. Their
    // statistics stay as the shop's making left them: analysed anew, the sample moved plans and
    // the run's figures with them.
    Check(OpenEngine(name)->ExecScript(
              "VACUUM jxcgoodslist, jxcdj, jxcdjmx, wsdj, wsdjxm, wsdjpj, clzl, "
              "ws_audit, ws_change_block, ws_id, ws_billno, ws_list_count, ws_last_service, "
              "ws_price_sum"),
          "vacuum");
    // WS_BENCH_SERVER_RIGHTS=1 installs the server's roles and guards on the shop first (they
    // stay: the shop serves later runs), so the run pays for every trigger a clerk's save and
    // check meet.
    if (EnvNumber("WS_BENCH_SERVER_RIGHTS", 0) != 0) {
      auto maker = OpenEngine(name);
      auto* server = dynamic_cast<ws::platform::PostgresDatabase*>(maker.get());
      Check(server ? ws::platform::ServerLogins(*server).Install() : "not a server",
            "installing the server's rights");
    }
    Shops().push_back(OpenShop(name, "postgres", orders));
  }
  for (auto& shop : Shops()) Register(shop.get());
  if (Shops().size() == 2) RegisterPairs({Shops()[0].get(), Shops()[1].get()});
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The server's shop is left as it was made, once every benchmark has run: it serves every
  // run (SQLite's runs work on a copy), and unchecked orders piling up on the bench's one
  // customer turn the planner's estimates of him (his latest price took 180 ms a line to find
  // once he had 6,000).
  for (auto& shop : Shops()) {
    if (shop->engine != "postgres") continue;
    for (int64_t id : shop->saved) {
      for (const auto& sql : ws::repair_order::DeleteOrderStatements(id)) {
        Check(ws::db::Runner(*shop->desk->db).Execute(sql), "delete after the run");
      }
    }
  }
  Shops().clear();
  fs::remove(work);
  fs::remove(fs::path(work.string() + "-wal"));
  fs::remove(fs::path(work.string() + "-shm"));
  return 0;
}
