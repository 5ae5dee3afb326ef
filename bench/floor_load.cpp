// The workshop's tablets against `ws serve` on the loopback address: a number of technicians
// log in, each refreshes the board every few seconds for the given time, and between the
// refreshes clocks on, pauses and finishes its own lines now and then and saves an
// examination finding. Reports the requests, the errors (any answer not the expected one, a
// step the page refused, a failed connection), the latency by kind of request and the server
// process's CPU and memory; exits 1 when there was an error.
//
//   floor_load --ws PATH --db FILE|URL --date yyyy-mm-dd [--seconds 600] [--tablets 20]
//              [--refresh 5] [--photos DIR] [--db-pid PID]
//
// Before the server starts it prepares the shop as a clerk would: the technicians' accounts
// ("tablet01"... with the password "tablet-secret", role 技师) and employee cards, a checklist
// when the shop has none, and open lines of the last 30 days dispatched so each technician has
// up to five unfinished; clocks left running by an earlier run are paused. It writes to the shop:
// run it on a copy. --db-pid names the database server's postmaster, whose backends' CPU is
// reported as well.
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/accounts.h"
#include "platform/navigator.h"
#include "shop/store/database_file.h"
#include "workshop/floor.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPassword = "tablet-secret";
constexpr int kLinesEach = 5;

struct Options {
  std::string ws;
  std::string db;
  std::string date;
  std::string photos;
  int seconds = 600;
  int tablets = 20;
  int refresh = 5;
  int dbPid = 0;
};

std::string Account(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "tablet%02d", i + 1);
  return name;
}

std::string DayBefore(const std::string& date, int days) {
  std::tm tm{};
  std::sscanf(date.c_str(), "%4d-%2d-%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday);
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_mday -= days;
  const std::time_t t = timegm(&tm);
  gmtime_r(&t, &tm);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
  return text;
}

// Accounts, employee cards, a checklist and dispatched lines; answers the error text.
std::string Prepare(const Options& o) {
  std::string error;
  std::string notice;
  auto db = ws::shop::OpenWorkingShop(o.db, &error, &notice);
  if (!db) return error;
  ws::db::Runner runner(*db);
  ws::platform::AccountStore accounts(*db);
  if (!accounts.HasAccounts(&error)) {
    if (!error.empty()) return error;
    if (error = accounts.Add("floorowner", "floorowner-secret", "店主"); !error.empty()) {
      return error;
    }
  }
  ws::platform::RecordNavigator ids(*db);
  const std::string now = o.date + " 07:30:00";
  ws::workshop::Floor floor(*db, ids, [&] { return now; });
  const ws::workshop::Actor clerk{"floorowner", 0, true, false, true, false};
  // Lines at work show on a board whatever their age, and the demo's own floor has the last
  // weeks' lines in hand already: the tablets' lines come from the year before.
  auto openLines = floor.OpenLines(DayBefore(o.date, 365), 5000, &error);
  if (!error.empty()) return error;
  std::vector<int64_t> employees;
  std::vector<int> unfinished;
  for (int i = 0; i < o.tablets; ++i) {
    const std::string name = Account(i);
    if (!accounts.Find(name, &error)) {
      if (error = accounts.Add(name, kPassword, "技师"); !error.empty()) return error;
    }
    auto tech = floor.TechnicianOfAccount(name, &error);
    if (!error.empty()) return error;
    int64_t employee = tech ? tech->id : 0;
    if (!employee) {
      employee = runner.Scalar(ws::db::Sql("SELECT MAX(雇员ID) FROM PDMGY")).ToLong() + 1;
      error = runner.Execute(
          ws::db::Sql("INSERT INTO PDMGY (雇员ID, 雇员编码, 姓名, 登录账号, 是否技师) VALUES (")
              .Key(employee)
              .Raw(", ")
              .Text("TB" + name.substr(6))
              .Raw(", ")
              .Text("平板技师" + name.substr(6))
              .Raw(", ")
              .Text(name)
              .Raw(", 1)"));
      if (!error.empty()) return error;
    }
    const ws::workshop::Actor self{name, employee, false, true, true, false};
    int open = 0;
    for (const auto& job : floor.JobsOf(employee, DayBefore(o.date, 30), &error)) {
      for (const auto& t : job.technicians) {
        if (t.employeeId == employee && !t.runningSince.empty()) {
          if (error = floor.Pause(self, job.lineId, "下班"); !error.empty()) return error;
        }
      }
      if (job.state != ws::workshop::JobState::Done) ++open;
    }
    if (!error.empty()) return error;
    employees.push_back(employee);
    unfinished.push_back(open);
  }
  // Dealt out one line a round, so a small shop's few lines reach every technician.
  size_t next = 0;
  for (int round = 0; round < kLinesEach; ++round) {
    for (int i = 0; i < o.tablets; ++i) {
      if (unfinished[i] > round) continue;
      while (next < openLines.size() && (openLines[next].state != ws::workshop::JobState::Waiting ||
                                         !openLines[next].technicians.empty())) {
        ++next;
      }
      if (next == openLines.size()) break;
      if (error = floor.Dispatch(clerk, openLines[next++].lineId, {{employees[i], 1.0}});
          !error.empty()) {
        return error;
      }
      ++unfinished[i];
    }
  }
  for (int i = 0; i < o.tablets; ++i) {
    if (unfinished[i] == 0) return "no open line left to dispatch to " + Account(i);
  }
  if (runner.Scalar(ws::db::Sql("SELECT COUNT(*) FROM ws_check_item")).ToLong() == 0) {
    error = runner.Execute(
        ws::db::Sql("INSERT INTO ws_check_item (项目ID, 序号, 名称, 停用) VALUES (1, 1, ")
            .Text("刹车片")
            .Raw(", 0), (2, 2, ")
            .Text("轮胎")
            .Raw(", 0)"));
  }
  return error;
}

int FreePort() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  int port = 0;
  if (bind(sock, reinterpret_cast<sockaddr*>(&addr), size) == 0 &&
      getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &size) == 0) {
    port = ntohs(addr.sin_port);
  }
  close(sock);
  return port;
}

// CPU seconds (user + system) of a process.
double CpuOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int ParentOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string state;
  int parent = 0;
  fields >> state >> parent;
  return parent;
}

// CPU seconds of a process and its children (a postmaster and its backends).
double TreeCpuOf(int pid) {
  double total = CpuOf(pid);
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ParentOf(std::stoi(name)) == pid) total += CpuOf(std::stoi(name));
  }
  return total;
}

// "VmRSS" or "VmHWM" of a process in MB.
double MemoryOf(int pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  }
  return 0;
}

struct Stats {
  std::mutex lock;
  std::map<std::string, std::vector<double>> millis;  // by kind of request
  std::atomic<int> errors{0};
  // The slow requests with when they began, for telling a stall of the server (many at one
  // moment) from a request slow on its own.
  std::vector<std::string> slow;
  void Add(const std::string& kind, double ms, Clock::time_point began, const std::string& who) {
    std::lock_guard<std::mutex> hold(lock);
    millis[kind].push_back(ms);
    if (ms > 50 && slow.size() < 100) {
      char line[160];
      std::snprintf(line, sizeof line, "%12.3f s  %-8s %-12s %8.1f ms",
                    std::chrono::duration<double>(began.time_since_epoch()).count(), who.c_str(),
                    kind.c_str(), ms);
      slow.push_back(line);
    }
  }
  void Error(const std::string& what) {
    if (errors++ < 20) std::cerr << "error: " << what << "\n";
  }
};

std::string CookieOf(const httplib::Response& res, const std::string& name) {
  for (const auto& [key, value] : res.headers) {
    if (key == "Set-Cookie" && value.rfind(name + "=", 0) == 0) {
      return value.substr(name.size() + 1, value.find(';') - name.size() - 1);
    }
  }
  return {};
}

std::string Match(const std::string& text, const std::regex& pattern) {
  std::smatch m;
  return std::regex_search(text, m, pattern) ? m[1].str() : std::string();
}

// One technician's tablet.
class Tablet {
 public:
  Tablet(int index, int port, Stats& stats, const Options& o)
      : name_(Account(index)),
        client_("127.0.0.1", port),
        stats_(stats),
        options_(o),
        random_(static_cast<unsigned>(index) * 7919u + 17u) {
    client_.set_keep_alive(true);
    client_.set_tcp_nodelay(true);
    client_.set_read_timeout(std::chrono::seconds(30));
  }

  bool LogIn() {
    auto page = Timed(
        "login", [&] { return client_.Get("/login"); }, 200);
    if (!page) return false;
    const std::string token =
        Match(page->body, std::regex(R"re(name="csrf" value="([0-9a-f]+)")re"));
    auto res = Timed(
        "login",
        [&] {
          return client_.Post(
              "/login", {{"Cookie", "ws_login=" + CookieOf(*page, "ws_login")}},
              httplib::Params{{"csrf", token}, {"user", name_}, {"password", kPassword}});
        },
        303);
    if (!res) return false;
    headers_ = {{"Cookie", "ws_session=" + CookieOf(*res, "ws_session")}};
    // The session's first page runs on a connection that has prepared nothing yet: told apart
    // from the refreshes, whose tail it would otherwise be.
    return Board("first board");
  }

  // Refreshes until the end, with a step now and then and an examination less often.
  void Work(Clock::time_point start, Clock::time_point end) {
    auto nextBoard = start;
    auto nextStep = start + Seconds(20, 60);
    auto nextExamination = start + Seconds(60, 180);
    while (true) {
      const auto due = std::min({nextBoard, nextStep, nextExamination});
      if (due >= end) break;
      std::this_thread::sleep_until(due);
      if (due == nextBoard) {
        Board();
        nextBoard += std::chrono::seconds(options_.refresh);
      } else if (due == nextStep) {
        Step();
        nextStep += Seconds(30, 90);
      } else {
        Examine();
        nextExamination += Seconds(120, 240);
      }
    }
  }

 private:
  Clock::duration Seconds(int from, int to) {
    return std::chrono::seconds(std::uniform_int_distribution<int>(from, to)(random_));
  }

  using Answer = std::optional<httplib::Response>;

  // The answer when it came with the expected status; anything else is an error of the run.
  template <typename Call>
  Answer Timed(const std::string& kind, Call call, int expected) {
    const auto begin = Clock::now();
    auto res = call();
    stats_.Add(kind, std::chrono::duration<double, std::milli>(Clock::now() - begin).count(), begin,
               name_);
    if (!res) {
      stats_.Error(name_ + " " + kind + ": " + httplib::to_string(res.error()));
    } else if (res->status != expected) {
      stats_.Error(name_ + " " + kind + ": status " + std::to_string(res->status));
    } else {
      return *res;
    }
    return std::nullopt;
  }

  // The page a step led to; a refusal shown there is an error of the run.
  bool Follow(const Answer& res) {
    if (!res) return false;
    const std::string to = res->get_header_value("Location");
    auto page = Timed(
        "page", [&] { return client_.Get(to, headers_); }, 200);
    if (!page) return false;
    if (page->body.find("class=\"flash error\"") != std::string::npos) {
      stats_.Error(name_ + " at " + to + ": " +
                   Match(page->body, std::regex(R"re(flash error" role="status">([^<]*))re")));
      return false;
    }
    return true;
  }

  // Reads the board: the token, and the own lines with their state.
  bool Board(const std::string& kind = "board") {
    auto res = Timed(
        kind, [&] { return client_.Get("/board", headers_); }, 200);
    if (!res) return false;
    if (csrf_.empty()) {
      csrf_ = Match(res->body, std::regex(R"re(name="csrf" value="([0-9a-f]{64})")re"));
    }
    const size_t shop = res->body.find("本店待修项目");
    const std::string mine = res->body.substr(0, shop);
    static const std::regex card(
        R"re(href="/job/(\d+)"><div class="row"><strong>[^<]*</strong><span class="badge (\w+)")re");
    lines_.clear();
    for (std::sregex_iterator it(mine.begin(), mine.end(), card), stop; it != stop; ++it) {
      lines_.push_back({std::stoll((*it)[1].str()), (*it)[2].str()});
    }
    return true;
  }

  // Clock on a line not done; a running one is paused or finished.
  void Step() {
    const std::string post = "/job/" + std::to_string(running_) + "/";
    if (running_) {
      const bool finish = std::uniform_int_distribution<int>(0, 2)(random_) == 0;
      auto res = Timed(
          "step",
          [&] {
            return client_.Post(post + (finish ? "finish" : "pause"), headers_,
                                httplib::Params{{"csrf", csrf_}, {"reason", "等配件"}});
          },
          303);
      Follow(res);
      running_ = 0;
      return;
    }
    std::vector<int64_t> open;
    for (const auto& [line, state] : lines_) {
      if (state != "done") open.push_back(line);
    }
    if (open.empty()) return;
    const int64_t line = open[std::uniform_int_distribution<size_t>(0, open.size() - 1)(random_)];
    const std::string path = "/job/" + std::to_string(line);
    auto page = Timed(
        "job", [&] { return client_.Get(path, headers_); }, 200);
    if (!page) return;
    order_ = Match(page->body, std::regex(R"re(href="/examine/(\d+)")re"));
    auto res = Timed(
        "step",
        [&] {
          return client_.Post(path + "/on", headers_, httplib::Params{{"csrf", csrf_}});
        },
        303);
    if (Follow(res)) running_ = line;
  }

  // A finding on the first checklist item of the order last opened, with a photo now and then.
  void Examine() {
    if (order_.empty()) return;
    const std::string path = "/examine/" + order_;
    auto page = Timed(
        "examination", [&] { return client_.Get(path, headers_); }, 200);
    if (!page) return;
    const std::string item =
        Match(page->body, std::regex(R"re(action="/examine/\d+/item/(\d+)")re"));
    if (item.empty()) return stats_.Error(name_ + ": no checklist item on " + path);
    httplib::MultipartFormDataItems form = {
        {"csrf", csrf_, "", ""}, {"verdict", "注意", "", ""}, {"note", "磨损", "", ""}};
    if (std::uniform_int_distribution<int>(0, 3)(random_) == 0) {
      const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(150 << 10, '\x07');
      form.push_back({"photo", png, "photo.png", "image/png"});
    }
    Follow(Timed(
        "finding", [&] { return client_.Post(path + "/item/" + item, headers_, form); }, 303));
  }

  std::string name_;
  httplib::Client client_;
  Stats& stats_;
  const Options& options_;
  std::mt19937 random_;
  httplib::Headers headers_;
  std::string csrf_;
  std::vector<std::pair<int64_t, std::string>> lines_;
  int64_t running_ = 0;
  std::string order_;
};

double Percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())));
  return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

int Usage() {
  std::cerr << "usage: floor_load --ws PATH --db FILE|URL --date yyyy-mm-dd [--seconds N] "
               "[--tablets N] [--refresh N] [--photos DIR] [--db-pid PID]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--ws")
      o.ws = value;
    else if (key == "--db")
      o.db = value;
    else if (key == "--date")
      o.date = value;
    else if (key == "--photos")
      o.photos = value;
    else if (key == "--seconds")
      o.seconds = std::stoi(value);
    else if (key == "--tablets")
      o.tablets = std::stoi(value);
    else if (key == "--refresh")
      o.refresh = std::stoi(value);
    else if (key == "--db-pid")
      o.dbPid = std::stoi(value);
    else
      return Usage();
  }
  if (o.ws.empty() || o.db.empty() || o.date.size() != 10 || o.tablets < 1 || o.seconds < 1) {
    return Usage();
  }
  if (o.photos.empty()) o.photos = std::filesystem::temp_directory_path() / "floor_load.photos";
  const auto prepared = Clock::now();
  if (std::string error = Prepare(o); !error.empty()) {
    std::cerr << "floor_load: " << error << "\n";
    return 1;
  }
  std::printf("prepared %d technicians in %.1f s\n", o.tablets,
              std::chrono::duration<double>(Clock::now() - prepared).count());

  const int port = FreePort();
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  const pid_t server = fork();
  if (server == 0) {
    execl(o.ws.c_str(), o.ws.c_str(), "serve", "--db", o.db.c_str(), "--listen", listen.c_str(),
          "--photos", o.photos.c_str(), "--date", o.date.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  auto stopServer = [&] {
    kill(server, SIGTERM);
    int status = 0;
    waitpid(server, &status, 0);
    return status;
  };
  bool up = false;
  for (int i = 0; i < 600 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    up = static_cast<bool>(httplib::Client("127.0.0.1", port).Get("/login"));
  }
  if (!up) {
    stopServer();
    std::cerr << "floor_load: the server did not answer on " << listen << "\n";
    return 1;
  }

  Stats stats;
  std::vector<std::unique_ptr<Tablet>> tablets;
  for (int i = 0; i < o.tablets; ++i) {
    tablets.push_back(std::make_unique<Tablet>(i, port, stats, o));
    if (!tablets.back()->LogIn()) stats.Error(Account(i) + " could not log in");
  }
  const double cpuBefore = CpuOf(server);
  const double dbCpuBefore = o.dbPid ? TreeCpuOf(o.dbPid) : 0;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(o.seconds);
  std::vector<std::thread> threads;
  for (int i = 0; i < o.tablets; ++i) {
    // The tablets' refreshes spread over the interval, as tablets switched on one by one.
    const auto offset = std::chrono::milliseconds(o.refresh * 1000 * i / o.tablets);
    threads.emplace_back([&, i, offset] { tablets[i]->Work(start + offset, end); });
  }
  for (auto& t : threads) t.join();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = CpuOf(server) - cpuBefore;
  const double dbCpu = o.dbPid ? TreeCpuOf(o.dbPid) - dbCpuBefore : 0;
  const double rss = MemoryOf(server, "VmRSS");
  const double peak = MemoryOf(server, "VmHWM");
  const int status = stopServer();

  size_t requests = 0;
  std::vector<double> all;
  std::printf("%d tablets, board every %d s, %.0f s on %s\n", o.tablets, o.refresh, wall,
              o.db.c_str());
  std::printf("%-12s %8s %10s %10s %10s\n", "request", "count", "median ms", "p99 ms", "max ms");
  for (auto& [kind, millis] : stats.millis) {
    requests += millis.size();
    all.insert(all.end(), millis.begin(), millis.end());
    std::printf("%-12s %8zu %10.1f %10.1f %10.1f\n", kind.c_str(), millis.size(),
                Percentile(millis, 0.5), Percentile(millis, 0.99), Percentile(millis, 1.0));
  }
  std::printf("%-12s %8zu %10.1f %10.1f %10.1f\n", "all", requests, Percentile(all, 0.5),
              Percentile(all, 0.99), Percentile(all, 1.0));
  std::printf("errors %d\n", stats.errors.load());
  std::printf("requests over 50 ms (began at, on the monotonic clock):\n");
  for (const std::string& line : stats.slow) std::printf("  %s\n", line.c_str());
  std::printf("server CPU %.1f s (%.1f%% of one core), resident %.0f MB (peak %.0f MB)\n", cpu,
              100 * cpu / wall, rss, peak);
  if (o.dbPid)
    std::printf("database server CPU %.1f s (%.1f%% of one core)\n", dbCpu, 100 * dbCpu / wall);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("the server ended with status %d\n", status);
    return 1;
  }
  return stats.errors == 0 ? 0 : 1;
}
