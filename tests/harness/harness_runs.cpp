#include "harness/harness_runs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "db/runner.h"
#include "db/sql.h"
#include "harness/invariants.h"
#include "harness/order_clerk.h"
#include "platform/navigator.h"
#include "platform/sqlite_database.h"
#include "platform/system_object.h"
#include "requisition/check_step.h"
#include "shop/demo/demo_data.h"
#include "shop/store/database_file.h"

extern char** environ;

namespace ws::harness {

namespace {

// An SQLite file layer that fails on request: the k-th write after arming reports an I/O error
// or a full disk, as a dying disk or a full partition would, and every write after it fails
// too until disarmed (a disk does not recover in the middle of a save). Installed as the
// default layer (harmless to do again), so every connection opened afterwards goes through it.
enum class Fault { IoError, DiskFull };

std::atomic<int> gWrites{0};  // since the last arming or disarming, failed ones included
std::atomic<int> gFailAt{0};  // 0: never
std::atomic<int> gFault{0};
std::atomic<bool> gFired{false};  // a write failed since the last arming

// The layer is the default one with its open replaced: a file is opened by the real layer
// into the same handle and then gets a copy of its real methods whose writes and truncations
// can fail. The real layer's own functions take the layer as an argument only for its
// settings, which the copy carries unchanged.
sqlite3_vfs* gReal = nullptr;
sqlite3_vfs gVfs;

// A copy of one real method table (database files and journals have different ones), the
// real table beside it.
struct Wrapped {
  sqlite3_io_methods methods;
  const sqlite3_io_methods* real;
};
Wrapped gWrapped[8];
int gWrappedCount = 0;

const sqlite3_io_methods* Real(sqlite3_file* f) {
  return reinterpret_cast<const Wrapped*>(f->pMethods)->real;
}

bool FailThisWrite() {
  const int n = ++gWrites;
  const int at = gFailAt.load();
  if (at <= 0 || n < at) return false;
  gFired = true;
  return true;
}

int FailureCode() {
  return static_cast<Fault>(gFault.load()) == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
}

int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  return FailThisWrite() ? FailureCode() : Real(f)->xWrite(f, buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return FailThisWrite() ? FailureCode() : Real(f)->xTruncate(f, size);
}
// Memory-mapped I/O would write around xWrite; the layer offers none.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
  *out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) {
  return SQLITE_OK;
}

int OpenFile(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  int rc = gReal->xOpen(gReal, name, file, flags, outFlags);
  if (!file->pMethods) return rc;
  int i = 0;
  while (i < gWrappedCount && gWrapped[i].real != file->pMethods) ++i;
  if (i == gWrappedCount) {
    if (i == static_cast<int>(std::size(gWrapped))) return rc;  // not seen: left unfailing
    gWrapped[i] = {*file->pMethods, file->pMethods};
    gWrapped[i].methods.xWrite = Write;
    gWrapped[i].methods.xTruncate = Truncate;
    if (gWrapped[i].methods.iVersion >= 3) {
      gWrapped[i].methods.xFetch = Fetch;
      gWrapped[i].methods.xUnfetch = Unfetch;
    }
    ++gWrappedCount;
  }
  file->pMethods = &gWrapped[i].methods;
  return rc;
}

bool InstallFaultLayer() {
  if (gReal) return true;
  gReal = sqlite3_vfs_find(nullptr);
  if (!gReal) return false;
  gVfs = *gReal;
  gVfs.pNext = nullptr;
  gVfs.zName = "ws_fault";
  gVfs.xOpen = OpenFile;
  return sqlite3_vfs_register(&gVfs, 1) == SQLITE_OK;
}

// From now on count writes; the k-th (1-based) and all later ones fail with `fault`.
void ArmFaults(int k, Fault fault) {
  gFault = static_cast<int>(fault);
  gFired = false;
  gWrites = 0;
  gFailAt = k;
}

// Writes pass again; the count restarts.
void DisarmFaults() {
  gFailAt = 0;
  gWrites = 0;
}

bool IsServer(const std::string& name) {
  return name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0;
}

std::vector<std::string> Split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// A child running the driver with args; its standard output goes to outFd.
pid_t Spawn(const std::string& driver, const std::vector<std::string>& args, int outFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  std::vector<char*> argv{const_cast<char*>(driver.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, driver.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs the driver once per argument list, all at once, and answers each child's output lines.
// Children that could not start or did not end well are counted in `failed`.
std::vector<std::vector<std::string>> RunChildren(const std::string& driver,
                                                  const std::vector<std::vector<std::string>>& runs,
                                                  int& failed, Figures& figures) {
  auto folder = std::filesystem::temp_directory_path() /
                ("ws_harness_" + std::to_string(::getpid()) + "_" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  std::vector<pid_t> children;
  for (size_t i = 0; i < runs.size(); ++i) {
    std::string out = (folder / ("child" + std::to_string(i) + ".out")).string();
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = Spawn(driver, runs[i], fd);
    ::close(fd);
    if (pid < 0) figures.failures.push_back("cannot start child " + std::to_string(i));
    children.push_back(pid);
  }
  failed = 0;
  for (pid_t pid : children) {
    int status = 0;
    failed += pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
              WEXITSTATUS(status) != 0;
  }
  std::vector<std::vector<std::string>> outputs(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    std::ifstream in(folder / ("child" + std::to_string(i) + ".out"));
    for (std::string line; std::getline(in, line);) outputs[i].push_back(line);
  }
  std::filesystem::remove_all(folder);
  return outputs;
}

// A connection to the shop; when there is none the run's figures say why, or a child (no
// figures) prints it as a refusal.
std::unique_ptr<db::IDatabase> Open(const std::string& name, Figures* figures = nullptr) {
  std::string error;
  auto db = shop::OpenShopDatabase(name, &error);
  if (!db && figures) figures->failures.push_back("cannot open " + name + ": " + error);
  if (!db && !figures) std::printf("refused 0 %s\n", error.c_str());
  return db;
}

// A "refused busy text" line of a child: counted, and the first few kept as failures.
void Refused(const std::string& line, const std::vector<std::string>& words, int64_t& busy,
             Figures& figures) {
  busy += words.size() > 1 ? std::stoll(words[1]) : 0;
  if (figures.failures.size() < 5) figures.failures.push_back("refused: " + line);
}

std::string Joined(const std::vector<std::string>& shown) {
  std::string text;
  for (const auto& t : shown) text += (text.empty() ? "" : " | ") + t;
  return text;
}

}  // namespace

std::string RunDatabaseName(const std::string& base, const std::string& database) {
  if (!IsServer(base)) return base;
  size_t query = base.find('?');
  size_t end = query == std::string::npos ? base.size() : query;
  size_t slash = base.rfind('/', end);
  if (slash == std::string::npos || slash < base.find("//") + 2) return base;
  return base.substr(0, slash + 1) + database + base.substr(end);
}

std::string PrepareShop(const std::string& name) {
  shop::DemoOptions options;
  options.seed = 7;
  options.orders = 20;
  options.date = kHarnessDate;
  if (!IsServer(name)) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(name + suffix, ignored);
  }
  if (std::string why = shop::CheckNewDatabaseTarget(name, true); !why.empty()) return why;
  return shop::CreateDemoDatabase(name, options, nullptr, {});
}

void Figures::Set(const std::string& name, int64_t value) {
  auto it = std::find_if(values.begin(), values.end(), [&](auto& nv) { return nv.first == name; });
  if (it != values.end()) it->second = value;
  if (it == values.end()) values.emplace_back(name, value);
}

int64_t Figures::Get(const std::string& name) const {
  for (const auto& [n, v] : values) {
    if (n == name) return v;
  }
  return 0;
}

std::string Figures::Text() const {
  std::string text;
  for (const auto& [n, v] : values) text += n + "=" + std::to_string(v) + " ";
  text += failures.empty() ? "\nOK" : "\nFAILED";
  for (const auto& f : failures) text += "\n  " + f;
  return text;
}

int WriterMain(const std::string& database, const std::string& user, int orders, int lines,
               int ids) {
  auto db = Open(database);
  if (!db) return 1;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each event reaches the parent as it happens
  // Ids and proposed numbers first, drawn as fast as the database gives them: the tightest
  // race there is for the counters.
  if (ids > 0) {
    test::ScriptedDialogs dialogs;
    platform::SystemObject system(*db, dialogs, host::LoginInfo{user, kHarnessDate, ""});
    auto navigator = system.CreateNavigator();
    for (int i = 0; i < ids; ++i) {
      int64_t id = 0;
      std::string failure = navigator->GetNewID("gl_accvouch", "AutoID", id);
      failure.empty() ? std::printf("id %lld\n", static_cast<long long>(id))
                      : std::printf("refused %d %s\n", CountBusyTexts({failure}), failure.c_str());
      std::string number;
      if (system.NewBillNo(kOrderProgram, kHarnessDate, number, true)) {
        std::printf("no %s\n", number.c_str());
      } else {
        std::printf("refused %d %s\n", CountBusyTexts({dialogs.Boxes().back().text}),
                    dialogs.Boxes().back().text.c_str());
      }
    }
  }
  OrderClerk clerk(*db, user, kHarnessDate);
  if (!clerk.Problem().empty()) {
    std::printf("refused 0 %s\n", clerk.Problem().c_str());
    return 1;
  }
  std::printf("ready\n");
  // The time from pressing Save to its answer: the span a crash run kills in.
  auto start = std::chrono::steady_clock::now();
  int current = 0;
  clerk.OnSave([&] {
    std::printf("saving %d\n", current);
    start = std::chrono::steady_clock::now();
  });
  for (int i = 1; i <= orders; ++i) {
    current = i;
    SaveOutcome outcome = clerk.SaveNewOrder(lines);
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
    if (outcome.saved) {
      std::printf("ack %lld %s %lld\n", static_cast<long long>(outcome.id), outcome.number.c_str(),
                  static_cast<long long>(micros));
    } else {
      std::printf("refused %d %s\n", CountBusyTexts(outcome.shown), Joined(outcome.shown).c_str());
    }
  }
  std::printf("done\n");
  return 0;
}

int PosterMain(const std::string& database, const std::string& user, int postings) {
  constexpr int64_t kRequisitionProgram = 200006;
  auto db = Open(database);
  if (!db) return 1;
  test::ScriptedDialogs dialogs;
  platform::SystemObject system(*db, dialogs, host::LoginInfo{user, kHarnessDate, ""});
  auto navigator = system.CreateNavigator();
  const int64_t orderId =
      db::Runner(*db)
          .Scalar(db::Sql("SELECT MIN(单据ID) FROM WSDJ WHERE progid=").Key(kOrderProgram))
          .ToLong();
  const int period = static_cast<int>(framework::PeriodGate::PeriodOf(system, kHarnessDate));
  framework::PeriodGate gate = framework::PeriodGate::FromSystem(framework::kStockPeriod, system);
  for (int i = 0; i < postings; ++i) {
    dialogs.Clear();
    // The requisition as its control saves it: header and lines in one transaction.
    int64_t id = 0;
    std::string failure = navigator->GetNewID("jxcdj", "单据ID", id);
    {
      db::Transaction tx(*db);
      tx.Run(db::Sql("INSERT INTO JXCDJ (单据ID,progID,smark,系统,单据编号,前置单据,前置单据ID,"
                     "操作日期,会计期间,总金额) VALUES (" +
                     std::to_string(id) + ",200006,'01','填单',")
                 .Text(user + "-" + std::to_string(i))
                 .Raw(",200001," + std::to_string(orderId) + ",")
                 .Date(kHarnessDate.Text(), db->Settings("driver"))
                 .Raw("," + std::to_string(period) + ",60)"));
      // Three lines: 1, 2 and 3 of part 1 at 10, ids from the host's counter.
      db::Sql lines(
          "INSERT INTO JXCDJMX (单据明细ID,单据ID,产品ID,数量,单价,金额,会计期间) VALUES ");
      for (int line = 1; line <= 3 && failure.empty(); ++line) {
        int64_t lineId = 0;
        failure = navigator->GetNewID("jxcdjmx", "单据明细ID", lineId);
        lines.Raw((line > 1 ? ",(" : "(") + std::to_string(lineId) + "," + std::to_string(id) +
                  ",1," + std::to_string(line) + ",10," + std::to_string(10 * line) + "," +
                  std::to_string(period) + ")");
      }
      tx.Run(lines);
      if (failure.empty() && !tx.Commit()) failure = tx.Error();
    }
    auto step = [&](requisition::CheckDirection direction) {
      try {
        return requisition::RunCheckStep(system, gate,
                                         {kRequisitionProgram, id, kOrderProgram, orderId}, period,
                                         direction, "harness");
      } catch (const std::exception& e) {
        failure = e.what();
        return false;
      }
    };
    bool checked = failure.empty() && step(requisition::CheckDirection::Check);
    // Every second requisition is unchecked again at once, so checks and unchecks of the one
    // order's requisitions roll its parts cost up side by side.
    const bool unchecked = checked && i % 2 == 1;
    if (unchecked) checked = step(requisition::CheckDirection::UnCheck);
    if (checked) {
      std::printf("ack %lld%s\n", static_cast<long long>(id), unchecked ? " unchecked" : "");
    } else {
      std::vector<std::string> shown{failure};
      for (const auto& box : dialogs.Boxes()) shown.push_back(box.text);
      std::printf("refused %d %s\n", CountBusyTexts(shown), Joined(shown).c_str());
    }
    std::fflush(stdout);
  }
  return 0;
}

void CheckWritten(db::IDatabase& db, const std::string& user, const std::vector<int64_t>& acked,
                  int lines, Figures& figures) {
  db::Runner runner(db);
  std::string error;
  // Lines per order of the user, items and parts together.
  db::Sql perOrder(
      "SELECT h.单据ID, (SELECT COUNT(*) FROM WSDJXM x WHERE x.单据ID=h.单据ID) + (SELECT "
      "COUNT(*) FROM WSDJPJ p WHERE p.单据ID=h.单据ID) AS n FROM WSDJ h WHERE h.制单人=");
  perOrder.Text(user);
  auto rs = runner.Open(perOrder, &error);
  if (!error.empty()) {
    figures.failures.push_back("cannot read the orders: " + error);
    return;
  }
  std::map<int64_t, int64_t> found;
  int64_t partial = 0, lost = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    found[rs->Field(0).ToLong()] = rs->Field(1).ToLong();
    partial += rs->Field(1).ToLong() != lines ? 1 : 0;
  }
  for (int64_t id : acked) lost += found.count(id) && found[id] == lines ? 0 : 1;
  figures.Set("orders_in_db", static_cast<int64_t>(found.size()));
  figures.Set("acked", static_cast<int64_t>(acked.size()));
  figures.Set("lost", lost);
  figures.Set("partial", partial);
  if (lost > 0) figures.failures.push_back(std::to_string(lost) + " acknowledged order(s) lost");
  if (partial > 0) figures.failures.push_back(std::to_string(partial) + " partial order(s)");
  if (std::set<int64_t>(acked.begin(), acked.end()).size() != acked.size()) {
    figures.failures.push_back("one order id acknowledged twice");
  }
  InvariantReport report = CheckInvariants(db);
  if (!report.Ok()) figures.failures.push_back("invariants: " + report.Describe());
  if (db.Settings("driver") != "sqlite") return;
  std::string integrity = runner.ScalarText(db::Sql("PRAGMA integrity_check"), &error);
  if (integrity != "ok") figures.failures.push_back("integrity_check: " + integrity + error);
}

Figures RunConcurrency(const std::string& driver, const std::string& database, int writers,
                       int orders, int lines, int ids) {
  Figures figures;
  auto start = std::chrono::steady_clock::now();
  int crashed = 0;
  auto outputs = RunChildren(
      driver,
      std::vector<std::vector<std::string>>(
          static_cast<size_t>(writers),
          {"writer", "--db", database, "--user", "harness", "--orders", std::to_string(orders),
           "--lines", std::to_string(lines), "--ids", std::to_string(ids)}),
      crashed, figures);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
  std::vector<int64_t> acked;
  std::set<std::string> numbers;
  std::set<int64_t> drawnIds;
  std::set<std::string> proposed;
  int64_t busy = 0, idCollisions = 0, numberCollisions = 0, proposalCollisions = 0;
  for (const auto& output : outputs) {
    for (const std::string& line : output) {
      auto words = Split(line);
      if (words.empty()) continue;
      if (words[0] == "ack" && words.size() >= 3) {
        acked.push_back(std::stoll(words[1]));
        if (!numbers.insert(words[2]).second) ++numberCollisions;
      } else if (words[0] == "refused") {
        Refused(line, words, busy, figures);
      } else if (words[0] == "id" && words.size() >= 2) {
        if (!drawnIds.insert(std::stoll(words[1])).second) ++idCollisions;
      } else if (words[0] == "no" && words.size() >= 2) {
        if (!proposed.insert(words[1]).second) ++proposalCollisions;
      }
    }
  }
  figures.Set("millis", millis);
  figures.Set("saved", static_cast<int64_t>(acked.size()));
  figures.Set("busy_shown", busy);
  figures.Set("ids_drawn", static_cast<int64_t>(drawnIds.size()) + idCollisions);
  figures.Set("collisions", idCollisions + proposalCollisions + numberCollisions);
  if (crashed > 0) figures.failures.push_back(std::to_string(crashed) + " writer(s) failed");
  if (figures.Get("collisions") > 0) figures.failures.push_back("ids or numbers collided");
  if (static_cast<int64_t>(acked.size()) != static_cast<int64_t>(writers) * orders) {
    figures.failures.push_back("saved " + std::to_string(acked.size()) + " of " +
                               std::to_string(writers * orders));
  }
  if (auto db = Open(database, &figures)) CheckWritten(*db, "harness", acked, lines, figures);
  return figures;
}

Figures RunPostings(const std::string& driver, const std::string& database, int posters,
                    int postings) {
  Figures figures;
  std::vector<std::vector<std::string>> runs;
  for (int p = 0; p < posters; ++p) {
    runs.push_back({"poster", "--db", database, "--user", "poster" + std::to_string(p),
                    "--postings", std::to_string(postings)});
  }
  int crashed = 0;
  auto outputs = RunChildren(driver, runs, crashed, figures);
  int64_t checked = 0, unchecked = 0, busy = 0;
  for (const auto& output : outputs) {
    for (const std::string& line : output) {
      auto words = Split(line);
      if (words.empty()) continue;
      if (words[0] == "ack") ++checked;
      if (words[0] == "ack" && words.size() > 2) ++unchecked;
      if (words[0] == "refused") Refused(line, words, busy, figures);
    }
  }
  figures.Set("checked", checked);
  figures.Set("unchecked", unchecked);
  figures.Set("busy_shown", busy);
  if (crashed > 0) figures.failures.push_back(std::to_string(crashed) + " poster(s) failed");
  if (checked != static_cast<int64_t>(posters) * postings) {
    figures.failures.push_back("checked " + std::to_string(checked) + " of " +
                               std::to_string(posters * postings));
  }
  if (auto db = Open(database, &figures)) {
    db::Runner runner(*db);
    // Three movements per checked requisition, each with a ledger number of its own.
    figures.Set(
        "movements",
        runner.Scalar(db::Sql("SELECT COUNT(*) FROM JxcGoodsList WHERE sFunNumber='21'")).ToLong());
    figures.Set("ledger_numbers",
                runner.Scalar(db::Sql("SELECT COUNT(DISTINCT autoid) FROM JxcGoodsList")).ToLong());
    if (figures.Get("movements") < 3 * (checked - unchecked)) {
      figures.failures.push_back("movements missing from the stock ledger");
    }
    InvariantReport report = CheckInvariants(*db);
    if (!report.Ok()) figures.failures.push_back("invariants: " + report.Describe());
  }
  return figures;
}

Figures RunCrash(const std::string& driver, const std::string& database, int trials, int lines,
                 uint64_t seed) {
  Figures figures;
  std::mt19937_64 random(seed);
  std::vector<int64_t> acked;
  int64_t killedInSave = 0, killedBetween = 0;
  int64_t saveMicros = 20000;  // until the first save tells
  for (int trial = 0; trial < trials; ++trial) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
      figures.failures.push_back("no pipe");
      break;
    }
    pid_t pid = Spawn(driver,
                      {"writer", "--db", database, "--user", "crash", "--orders", "1000", "--lines",
                       std::to_string(lines)},
                      pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
      ::close(pipeFds[0]);
      figures.failures.push_back("cannot start a writer");
      break;
    }
    // The save to kill: the first or the second of this writer, at a random point between
    // pressing Save and a little past the time a save takes.
    const int target = 1 + static_cast<int>(random() % 2);
    FILE* in = ::fdopen(pipeFds[0], "r");
    char buffer[4096];
    bool killed = false;
    bool inSave = false;
    while (std::fgets(buffer, sizeof buffer, in)) {
      auto words = Split(buffer);
      if (words.empty()) continue;
      if (words[0] == "ack" && words.size() >= 4) {
        acked.push_back(std::stoll(words[1]));
        saveMicros = std::max<int64_t>(1000, std::stoll(words[3]));
        inSave = false;
      } else if (words[0] == "refused") {
        figures.failures.push_back("a save was refused: " + std::string(buffer));
      } else if (words[0] == "saving") {
        inSave = true;
        if (!killed && std::stoi(words[1]) == target) {
          std::uniform_int_distribution<int64_t> delay(0, saveMicros + saveMicros / 4);
          std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
          ::kill(pid, SIGKILL);
          killed = true;
        }
      }
    }
    std::fclose(in);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!killed) figures.failures.push_back("a writer ended before it was killed");
    ++(inSave ? killedInSave : killedBetween);
  }
  figures.Set("killed_in_save", killedInSave);
  figures.Set("killed_after_ack", killedBetween);
  if (auto db = Open(database, &figures)) {
    CheckWritten(*db, "crash", acked, lines, figures);
    // Killed after the commit but before the clerk saw "saved": a kill late in a save.
    figures.Set("committed_unacknowledged", figures.Get("orders_in_db") - figures.Get("acked"));
  }
  return figures;
}

Figures RunFaults(const std::string& file, int lines) {
  Figures figures;
  if (!InstallFaultLayer()) {
    figures.failures.push_back("the fault layer could not be installed");
    return figures;
  }
  auto db = Open(file, &figures);
  if (!db) return figures;
  OrderClerk clerk(*db, "faults", kHarnessDate);
  if (!clerk.Problem().empty()) {
    figures.failures.push_back(clerk.Problem());
    return figures;
  }
  auto count = [&](const char* sql) { return db::Runner(*db).Scalar(db::Sql(sql)).ToLong(); };
  const char* kOrders = "SELECT COUNT(*) FROM WSDJ";
  const char* kLines = "SELECT (SELECT COUNT(*) FROM WSDJXM) + (SELECT COUNT(*) FROM WSDJPJ)";
  std::vector<int64_t> acked;
  // How many writes one save makes, undisturbed.
  DisarmFaults();
  SaveOutcome first = clerk.SaveNewOrder(lines);
  const int writes = gWrites.load();
  if (first.saved) acked.push_back(first.id);
  figures.Set("writes_per_save", writes);
  int64_t failedShown = 0, savedAnyway = 0, notReached = 0;
  for (Fault fault : {Fault::IoError, Fault::DiskFull}) {
    for (int k = 1; k <= writes; ++k) {
      const int64_t ordersBefore = count(kOrders), linesBefore = count(kLines);
      ArmFaults(k, fault);
      SaveOutcome outcome = clerk.SaveNewOrder(lines);
      const bool fired = gFired.load();
      DisarmFaults();
      const int64_t ordersAfter = count(kOrders), linesAfter = count(kLines);
      const std::string where = std::string(fault == Fault::IoError ? "I/O error" : "disk full") +
                                " at write " + std::to_string(k);
      if (outcome.saved) {
        fired ? ++savedAnyway : ++notReached;
        acked.push_back(outcome.id);
        if (ordersAfter != ordersBefore + 1 || linesAfter != linesBefore + lines) {
          figures.failures.push_back(where + ": saved, but not in full");
        }
      } else {
        if (outcome.shown.empty()) figures.failures.push_back(where + ": failed without a word");
        failedShown += outcome.shown.empty() ? 0 : 1;
        if (ordersAfter != ordersBefore || linesAfter != linesBefore) {
          figures.failures.push_back(where + ": refused, but rows were left behind");
        }
      }
    }
  }
  // The clerk goes on working once the disk is well again.
  SaveOutcome after = clerk.SaveNewOrder(lines);
  if (after.saved) {
    acked.push_back(after.id);
  } else {
    figures.failures.push_back("no save succeeded after the faults");
  }
  figures.Set("failed_with_message", failedShown);
  figures.Set("saved_despite_fault", savedAnyway);
  // The save made fewer writes than the first one (its pages were there already).
  figures.Set("fault_not_reached", notReached);
  db.reset();
  // A fresh connection, as the next user of the file would have.
  if (auto check = Open(file, &figures)) CheckWritten(*check, "faults", acked, lines, figures);
  return figures;
}

}  // namespace ws::harness
