#include "floor_server.h"

#include <httplib.h>
#include <sodium.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>

#include "db/date.h"
#include "db/runner.h"
#include "pages.h"
#include "platform/accounts.h"
#include "platform/engine_database.h"
#include "platform/navigator.h"
#include "platform/output_file.h"
#include "platform/postgres_database.h"
#include "shop/floor/floor_actor.h"
#include "shop/store/database_file.h"
#include "workshop/examination.h"
#include "workshop/floor.h"

namespace ws::serve {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kSessionCookie = "ws_session";
constexpr const char* kLoginCookie = "ws_login";
constexpr size_t kMaxPendingLogins = 10000;

// Why the server ended a session, kept for a while under its cookie so that its next request
// is told on the login page; the query parameter of the login page names it.
struct EndReason {
  const char* code;
  const char* message;
};
constexpr EndReason kExpired{"idle", "登录已过期，请重新登录"};
constexpr EndReason kReleased{"released", "因长时间未操作，已自动退出登录，请重新登录"};
constexpr EndReason kLost{"lost", "与数据库的连接已断开，请重新登录"};
constexpr EndReason kEndReasons[] = {kExpired, kReleased, kLost};
// An ended session's cookie is recognised this long, which covers a tablet left overnight.
constexpr std::chrono::hours kEndedKept{36};

std::string RandomToken() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) out += {hex[b >> 4], hex[b & 15]};
  return out;
}

bool SameToken(const std::string& a, const std::string& b) {
  return a.size() == b.size() && !a.empty() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string CookieOf(const httplib::Request& req, const std::string& name) {
  const std::string header = req.get_header_value("Cookie");
  std::istringstream in(header);
  for (std::string part; std::getline(in, part, ';');) {
    const size_t start = part.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    part = part.substr(start);
    if (part.rfind(name + "=", 0) == 0) return part.substr(name.size() + 1);
  }
  return {};
}

// A field of a form, plain or multipart.
std::string Field(const httplib::Request& req, const std::string& name) {
  if (req.has_param(name.c_str())) return req.get_param_value(name.c_str());
  if (req.has_file(name.c_str())) return req.get_file_value(name.c_str()).content;
  return {};
}

// The photo's type by its first bytes; empty when it is neither a JPEG nor a PNG.
std::string PhotoTypeOf(const std::string& bytes) {
  static const std::string jpeg("\xFF\xD8\xFF", 3);
  static const std::string png("\x89PNG\r\n\x1A\n", 8);
  if (bytes.size() > 3 && bytes.compare(0, 3, jpeg) == 0) return "image/jpeg";
  if (bytes.size() > 8 && bytes.compare(0, 8, png) == 0) return "image/png";
  return {};
}

int64_t IdOf(const std::string& text) {
  if (text.empty() || text.size() > 18) return 0;
  int64_t id = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    id = id * 10 + (c - '0');
  }
  return id;
}

struct Session {
  std::string token;
  std::string csrf;
  std::string user;
  std::string name;
  workshop::Actor actor;
  std::unique_ptr<platform::EngineDatabase> db;
  std::unique_ptr<platform::RecordNavigator> ids;
  std::mutex lock;  // one request at a time on the session's connection
  Clock::time_point seen;
  std::string flash;
  bool flashIsError = false;
};

// Where a request thread's time went: wall, on the processor, waiting in the run queue, and
// what it had to read from the disk (the kernel's statistics of the thread; 0 where it keeps
// none).
struct ThreadTimes {
  Clock::time_point wall;
  double cpuMs = 0;
  double queuedMs = 0;
  unsigned long long diskBytes = 0;

  static ThreadTimes Now() {
    ThreadTimes t;
    t.wall = Clock::now();
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    t.cpuMs = cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6;
    if (std::FILE* stat = std::fopen("/proc/thread-self/schedstat", "r")) {
      unsigned long long running = 0;
      unsigned long long waiting = 0;
      if (std::fscanf(stat, "%llu %llu", &running, &waiting) == 2) t.queuedMs = waiting / 1e6;
      std::fclose(stat);
    }
    if (std::FILE* io = std::fopen("/proc/thread-self/io", "r")) {
      char key[32];
      unsigned long long value = 0;
      while (std::fscanf(io, "%31s %llu", key, &value) == 2) {
        if (std::string_view(key) == "read_bytes:") t.diskBytes = value;
      }
      std::fclose(io);
    }
    return t;
  }
};
thread_local ThreadTimes requestBegan;

struct EndedSession {
  std::chrono::steady_clock::time_point at;
  const EndReason* why;
};

}  // namespace

size_t SessionCap(size_t maxSessions, int slots) {
  if (slots <= 0) return maxSessions;
  const int desks = std::max(slots / 4, kDeskConnections);
  return std::min(maxSessions, static_cast<size_t>(std::max(slots - desks, 1)));
}

struct FloorServer::Impl {
  ServeOptions options;
  size_t limit = 0;
  // A stop that comes before the server listens must not be lost (the library's stop does
  // nothing then, and the listen that follows would never end).
  std::atomic<bool> runStarted{false};
  std::atomic<bool> runEnded{false};
  std::atomic<bool> stopRequested{false};
  std::unique_ptr<httplib::Server> http;
  bool tls = false;
  int port = 0;
  bool postgres = false;
  std::string photos;

  mutable std::mutex sessionsLock;
  std::map<std::string, std::shared_ptr<Session>> sessions;  // each holding its connection
  std::map<std::string, EndedSession> ended;
  std::mutex sweepLock;
  std::condition_variable sweepWake;
  bool sweepStop = false;
  std::map<std::string, Clock::time_point> pendingLogins;
  std::mutex limiterLock;
  std::map<std::string, std::deque<Clock::time_point>> failures;

  std::string Now() const { return options.now ? options.now() : db::NowStamp(); }
  Clock::time_point Tick() const { return options.clock ? options.clock() : Clock::now(); }

  std::string CookieAttributes() const {
    return std::string("; Path=/; HttpOnly; SameSite=Strict") + (tls ? "; Secure" : "");
  }

  static void Headers(httplib::Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self'; style-src 'self'; script-src 'self'; "
                   "form-action 'self'; frame-ancestors 'none'; base-uri 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Frame-Options", "DENY");
  }

  static void Html(httplib::Response& res, int status, const std::string& html) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(html, "text/html; charset=utf-8");
  }

  static void Fail(httplib::Response& res, int status, const std::string& message) {
    Html(res, status, ErrorPage(status, message));
  }

  static void Redirect(httplib::Response& res, const std::string& to) {
    res.status = 303;
    res.set_header("Location", to);
  }

  // The request's session, seen now; when its cookie names a session the server ended, `why`
  // tells why.
  std::shared_ptr<Session> SessionOf(const httplib::Request& req, const EndReason** why = nullptr) {
    const std::string token = CookieOf(req, kSessionCookie);
    if (token.size() != 64) return nullptr;
    std::shared_ptr<Session> expired;
    {
      std::lock_guard<std::mutex> hold(sessionsLock);
      auto at = sessions.find(token);
      if (at == sessions.end()) {
        auto gone = ended.find(token);
        if (why && gone != ended.end()) *why = gone->second.why;
        return nullptr;
      }
      if (Tick() - at->second->seen <= options.idleSession) {
        at->second->seen = Tick();
        return at->second;
      }
      expired = TakeOut(at, kExpired);
      if (why) *why = &kExpired;
    }
    Close(*expired);
    return nullptr;
  }

  // Ends a session (under sessionsLock): its cookie is remembered with the reason, and the
  // caller closes its connection with Close once the lock is let go.
  std::shared_ptr<Session> TakeOut(std::map<std::string, std::shared_ptr<Session>>::iterator at,
                                   const EndReason& why) {
    auto session = at->second;
    sessions.erase(at);
    if (ended.size() >= kMaxPendingLogins) ended.erase(ended.begin());
    ended[session->token] = {Tick(), &why};
    return session;
  }
  // Closes an ended session's connection once a request that still holds it is done.
  static void Close(Session& session) {
    std::lock_guard<std::mutex> hold(session.lock);
    session.ids.reset();
    session.db.reset();
  }

  // Ends the session seen longest ago among those unused for releaseIdle (under sessionsLock);
  // null when every session is in use.
  std::shared_ptr<Session> TakeOutLongestIdle() {
    auto oldest = sessions.end();
    for (auto it = sessions.begin(); it != sessions.end(); ++it) {
      if (Tick() - it->second->seen < options.releaseIdle) continue;
      if (oldest == sessions.end() || it->second->seen < oldest->second->seen) oldest = it;
    }
    return oldest == sessions.end() ? nullptr : TakeOut(oldest, kReleased);
  }
  bool ReleaseLongestIdle() {
    std::shared_ptr<Session> released;
    {
      std::lock_guard<std::mutex> hold(sessionsLock);
      released = TakeOutLongestIdle();
    }
    if (released) Close(*released);
    return released != nullptr;
  }

  // Ends the sessions unused for idleSession, and forgets what is old.
  void Sweep() {
    std::vector<std::shared_ptr<Session>> expired;
    {
      std::lock_guard<std::mutex> hold(sessionsLock);
      const auto now = Tick();
      for (auto it = sessions.begin(); it != sessions.end();) {
        if (now - it->second->seen > options.idleSession) {
          auto next = std::next(it);
          expired.push_back(TakeOut(it, kExpired));
          it = next;
        } else {
          ++it;
        }
      }
      for (auto it = ended.begin(); it != ended.end();) {
        it = now - it->second.at > kEndedKept ? ended.erase(it) : std::next(it);
      }
    }
    for (auto& session : expired) Close(*session);
  }
  void SweepUntilStopped() {
    std::unique_lock<std::mutex> hold(sweepLock);
    while (!sweepStop) {
      sweepWake.wait_for(hold, options.sweepEvery, [this] { return sweepStop; });
      if (sweepStop) break;
      hold.unlock();
      Sweep();
      hold.lock();
    }
  }

  // A page for a session the server ended: the login page, telling why.
  void SendToLogin(httplib::Response& res, const EndReason& why) {
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Max-Age=0" + CookieAttributes());
    Redirect(res, std::string("/login?ended=") + why.code);
  }

  // Whether the server dropped the session's connection (a restart, a terminated backend): the
  // login it was made with is gone with it, so the session ends rather than fail each page.
  static bool ConnectionLost(Session& session) {
    auto* server = dynamic_cast<platform::PostgresDatabase*>(session.db.get());
    return server && !server->Connected();
  }

  // The connection a session works on: its own login on the server, its own connection to
  // the file otherwise.
  std::unique_ptr<platform::EngineDatabase> Connect(const std::string& user,
                                                    const std::string& password,
                                                    std::string* error) {
    if (postgres) {
      auto own = platform::PostgresDatabase::OpenAs(options.shop, user, password);
      if (!own && error) *error = own.Error();
      return std::move(own).Take();
    }
    return shop::OpenShopDatabase(options.shop, error);
  }

  // Runs a page of a logged-in account: the session found, the CSRF token of a POST checked,
  // the session's connection held for the request.
  void Guarded(const httplib::Request& req, httplib::Response& res, bool post,
               const std::function<void(Session&)>& page) {
    Headers(res);
    const EndReason* why = nullptr;
    auto session = SessionOf(req, &why);
    if (!session && why) return SendToLogin(res, *why);
    if (!session) {
      if (post) return Fail(res, 403, "登录已过期，请重新登录");
      return Redirect(res, "/login");
    }
    if (post && !SameToken(Field(req, "csrf"), session->csrf)) {
      return Fail(res, 403, "表单已失效，请刷新页面后再试");
    }
    {
      std::lock_guard<std::mutex> hold(session->lock);
      // Released or swept while the request waited for the session.
      if (!session->db) return SendToLogin(res, kReleased);
      page(*session);
      if (!ConnectionLost(*session)) return;
    }
    {
      std::lock_guard<std::mutex> hold(sessionsLock);
      if (auto at = sessions.find(session->token); at != sessions.end()) TakeOut(at, kLost);
    }
    Close(*session);
    // Whatever the page answered of its failed statement gives way to the login page.
    res.headers.clear();
    res.body.clear();
    Headers(res);
    SendToLogin(res, kLost);
  }

  PageFrame Frame(Session& session) {
    PageFrame frame{session.user, session.name, session.csrf, session.flash, session.flashIsError};
    session.flash.clear();
    return frame;
  }

  void Tell(Session& session, const std::string& refusal, const std::string& done) {
    session.flash = refusal.empty() ? done : refusal;
    session.flashIsError = !refusal.empty();
  }

  bool LoginLimited(const std::string& address) {
    std::lock_guard<std::mutex> hold(limiterLock);
    auto& seen = failures[address];
    while (!seen.empty() && Tick() - seen.front() > options.loginWindow) seen.pop_front();
    return static_cast<int>(seen.size()) >= options.loginFailures;
  }
  void LoginFailed(const std::string& address) {
    std::lock_guard<std::mutex> hold(limiterLock);
    failures[address].push_back(Tick());
    if (failures.size() > 100000) failures.clear();
  }

  std::string NewLoginToken() {
    const std::string token = RandomToken();
    std::lock_guard<std::mutex> hold(sessionsLock);
    const auto now = Tick();
    for (auto it = pendingLogins.begin(); it != pendingLogins.end();) {
      it = now - it->second > std::chrono::hours(1) ? pendingLogins.erase(it) : std::next(it);
    }
    if (pendingLogins.size() >= kMaxPendingLogins) pendingLogins.erase(pendingLogins.begin());
    pendingLogins[token] = now;
    return token;
  }
  bool TakeLoginToken(const std::string& cookie, const std::string& field) {
    if (!SameToken(cookie, field)) return false;
    std::lock_guard<std::mutex> hold(sessionsLock);
    return pendingLogins.erase(cookie) == 1;
  }

  void ShowLogin(httplib::Response& res, int status, const std::string& message,
                 const std::string& user) {
    const std::string token = NewLoginToken();
    res.set_header("Set-Cookie", std::string(kLoginCookie) + "=" + token + CookieAttributes());
    Html(res, status, LoginPage(token, message, user));
  }

  void Login(const httplib::Request& req, httplib::Response& res) {
    Headers(res);
    const std::string user = Field(req, "user");
    if (!TakeLoginToken(CookieOf(req, kLoginCookie), Field(req, "csrf"))) {
      return ShowLogin(res, 403, "登录表单已失效，请重新输入", "");
    }
    if (LoginLimited(req.remote_addr)) {
      return ShowLogin(res, 429, "登录失败次数过多，请稍后再试", user);
    }
    const std::string password = Field(req, "password");
    std::string error;
    auto service = Connect(user, password, &error);
    // The server's slots are all taken, perhaps by sessions nobody uses: one of them makes room.
    // The server refuses before it checks the password, so the release counts against the
    // address as a failed login would: nobody logs idle tablets out by guessing.
    if (!service && postgres && platform::ServerFull(error) && ReleaseLongestIdle()) {
      LoginFailed(req.remote_addr);
      error.clear();
      service = Connect(user, password, &error);
    }
    if (!service && postgres && platform::ServerFull(error)) {
      return ShowLogin(res, 503, "数据库服务器的连接已满，请稍后再试", user);
    }
    if (!service && postgres && platform::ServerUnavailable(error)) {
      return ShowLogin(res, 503, "数据库服务器暂时无法连接，请稍后再试", user);
    }
    if (!service && postgres) {
      // The server refused the login itself: the same answer as a wrong password.
      LoginFailed(req.remote_addr);
      std::this_thread::sleep_for(options.refusalDelay);
      return ShowLogin(res, 401, "用户名或密码不正确，或账户已停用", user);
    }
    if (!service) return ShowLogin(res, 500, "无法打开数据库：" + error, user);
    platform::AccountStore accounts(*service);
    accounts.SetRefusalDelay(options.refusalDelay);
    if (std::string refusal = accounts.Authenticate(user, password); !refusal.empty()) {
      LoginFailed(req.remote_addr);
      return ShowLogin(res, 401, refusal, user);
    }
    const std::set<platform::Right> rights = accounts.RightsOf(user, &error);
    if (!error.empty()) return ShowLogin(res, 500, "无法读取账户的权限：" + error, user);
    auto session = std::make_shared<Session>();
    session->actor = shop::FloorActor(user, rights, 0, "serve");
    if (!session->actor.clock && !session->actor.examine && !session->actor.check) {
      return ShowLogin(res, 403, "账户“" + user + "”没有“车间”权限", user);
    }
    session->ids = std::make_unique<platform::RecordNavigator>(*service);
    workshop::Floor floor(*service, *session->ids, [this] { return Now(); });
    auto technician = floor.TechnicianOfAccount(user, &error);
    if (!error.empty()) return ShowLogin(res, 500, "无法读取员工：" + error, user);
    session->actor.employeeId = technician ? technician->id : 0;
    session->name = technician ? technician->name : user;
    session->user = user;
    session->token = RandomToken();
    session->csrf = RandomToken();
    session->db = std::move(service);
    session->seen = Tick();
    std::shared_ptr<Session> released;
    {
      std::lock_guard<std::mutex> hold(sessionsLock);
      if (sessions.size() >= limit) released = TakeOutLongestIdle();
      if (sessions.size() >= limit) {
        Fail(res, 503, "同时登录的人数已满，请稍后再试");
        return;
      }
      sessions[session->token] = session;
    }
    if (released) Close(*released);
    res.set_header("Set-Cookie",
                   std::string(kSessionCookie) + "=" + session->token + CookieAttributes());
    Redirect(res, "/board");
  }

  void Logout(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, true, [&](Session& session) {
      {
        std::lock_guard<std::mutex> hold(sessionsLock);
        sessions.erase(session.token);
      }
      res.set_header("Set-Cookie",
                     std::string(kSessionCookie) + "=; Max-Age=0" + CookieAttributes());
      Redirect(res, "/login");
    });
  }

  std::string OpenSince() const {
    std::string today = Now().substr(0, 10);
    std::tm tm{};
    if (std::sscanf(today.c_str(), "%4d-%2d-%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday) != 3) {
      return today;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_mday -= options.openDays;
    std::time_t t = timegm(&tm);
    gmtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
  }

  void Board(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, false, [&](Session& session) {
      workshop::Floor floor(*session.db, *session.ids, [this] { return Now(); });
      std::string error;
      std::vector<workshop::JobLine> mine;
      if (session.actor.employeeId != 0)
        mine = floor.JobsOf(session.actor.employeeId, OpenSince(), &error);
      auto open = error.empty() ? floor.OpenLines(OpenSince(), 200, &error)
                                : std::vector<workshop::JobLine>{};
      if (!error.empty()) return Fail(res, 500, "无法读取看板：" + error);
      Html(res, 200, BoardPage(Frame(session), mine, open, session.actor.employeeId != 0));
    });
  }

  void Job(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, false, [&](Session& session) {
      workshop::Floor floor(*session.db, *session.ids, [this] { return Now(); });
      std::string error;
      const int64_t lineId = IdOf(req.matches[1]);
      auto job = floor.Job(lineId, &error);
      if (!error.empty()) return Fail(res, 500, "无法读取项目：" + error);
      if (!job) return Fail(res, 404, "找不到这条维修项目");
      auto records = floor.ClockRecords(lineId, &error);
      Html(res, 200,
           JobPage(Frame(session), *job, records, session.actor.employeeId, session.actor.clock));
    });
  }

  void ClockStep(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, true, [&](Session& session) {
      workshop::Floor floor(*session.db, *session.ids, [this] { return Now(); });
      const int64_t lineId = IdOf(req.matches[1]);
      const std::string step = req.matches[2];
      std::string refusal;
      std::string done;
      if (step == "on") {
        refusal = floor.ClockOn(session.actor, lineId);
        done = "已开工";
      } else if (step == "pause") {
        std::string reason = Field(req, "reason");
        if (reason.empty()) reason = Field(req, "other");
        refusal = floor.Pause(session.actor, lineId, reason);
        done = "已暂停：" + reason;
      } else {
        refusal = floor.Finish(session.actor, lineId);
        done = "已完工";
      }
      Tell(session, refusal, done);
      Redirect(res, "/job/" + std::to_string(lineId));
    });
  }

  void ShowExamination(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, false, [&](Session& session) {
      const int64_t orderId = IdOf(req.matches[1]);
      workshop::Examination examination(*session.db, *session.ids, [this] { return Now(); });
      std::string error;
      auto findings = examination.Findings(orderId, &error);
      auto suggestions = error.empty() ? examination.Suggestions(orderId, &error)
                                       : std::vector<workshop::Suggestion>{};
      if (!error.empty()) return Fail(res, 500, "无法读取车检：" + error);
      // The order's number and plate, through a line of it the board would show.
      auto order = db::Runner(*session.db)
                       .Open(db::Sql("SELECT h.工单号码, c.车牌号 FROM WSDJ h LEFT JOIN clzl c ON "
                                     "c.车辆ID = h.车辆ID WHERE h.单据ID = ")
                                 .Key(orderId),
                             &error);
      if (!error.empty()) return Fail(res, 500, "无法读取维修单：" + error);
      if (order->Eof()) return Fail(res, 404, "找不到这张维修单");
      Html(res, 200,
           ExaminationPage(Frame(session), orderId, order->Text("工单号码"), order->Text("车牌号"),
                           findings, suggestions, session.actor.examine));
    });
  }

  void Examine(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, true, [&](Session& session) {
      const int64_t orderId = IdOf(req.matches[1]);
      const int64_t itemId = IdOf(req.matches[2]);
      const std::string back = "/examine/" + std::to_string(orderId);
      workshop::Examination examination(*session.db, *session.ids, [this] { return Now(); });
      auto verdict = workshop::VerdictByName(Field(req, "verdict"));
      if (!verdict) {
        Tell(session, "请选择 OK、注意 或 需维修", "");
        return Redirect(res, back);
      }
      // The photo is judged before anything is stored: a refused photo refuses the step.
      std::string photo;
      std::string type;
      if (req.has_file("photo") && !req.get_file_value("photo").content.empty()) {
        photo = req.get_file_value("photo").content;
        type = PhotoTypeOf(photo);
        if (type.empty()) {
          Tell(session, "照片只收 JPEG 或 PNG 图片", "");
          return Redirect(res, back);
        }
        if (photo.size() > options.maxPhotoBytes) {
          Tell(session, "照片太大", "");
          return Redirect(res, back);
        }
      }
      int64_t findingId = 0;
      std::string refusal = examination.Record(session.actor, orderId, itemId, *verdict,
                                               Field(req, "note"), &findingId);
      if (refusal.empty() && !photo.empty()) refusal = StorePhoto(session, findingId, photo, type);
      Tell(session, refusal, "已保存");
      Redirect(res, back);
    });
  }

  std::string StorePhoto(Session& session, int64_t findingId, const std::string& bytes,
                         const std::string& type) {
    const std::string name = RandomToken().substr(0, 32) + (type == "image/png" ? ".png" : ".jpg");
    const std::string path = (fs::path(photos) / name).string();
    platform::OutputFile file(path, options.shop, 0640);
    if (!file.Ok()) return "无法保存照片：" + file.Error();
    if (!file.Write(bytes)) return "无法保存照片";
    if (std::string error = file.Commit(); !error.empty()) return "无法保存照片：" + error;
    workshop::Examination examination(*session.db, *session.ids, [this] { return Now(); });
    std::string refusal = examination.AddPhoto(session.actor, findingId, name, type,
                                               static_cast<int64_t>(bytes.size()));
    if (!refusal.empty()) {
      std::error_code ignored;
      fs::remove(path, ignored);
    }
    return refusal;
  }

  void PhotoFile(const httplib::Request& req, httplib::Response& res) {
    Guarded(req, res, false, [&](Session& session) {
      const std::string name = req.matches[1];
      workshop::Examination examination(*session.db, *session.ids, [this] { return Now(); });
      auto type = examination.PhotoType(name);
      if (!type) return Fail(res, 404, "没有这张照片");
      std::ifstream in(fs::path(photos) / name, std::ios::binary);
      if (!in) return Fail(res, 404, "没有这张照片");
      std::ostringstream bytes;
      bytes << in.rdbuf();
      res.set_header("Cache-Control", "private, max-age=3600");
      res.set_content(bytes.str(), type->c_str());
    });
  }

  void Routes() {
    httplib::Server& s = *http;
    s.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
      requestBegan = ThreadTimes::Now();
      return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      // A request refused before routing (a malformed one) has no beginning of its own here.
      const ThreadTimes began = std::exchange(requestBegan, ThreadTimes{});
      if (began.wall == Clock::time_point{}) return;
      const ThreadTimes end = ThreadTimes::Now();
      const double wall = std::chrono::duration<double, std::milli>(end.wall - began.wall).count();
      if (wall < static_cast<double>(options.slowRequest.count())) return;
      std::fprintf(
          stderr,
          "慢请求 %.3f s %s %s %d：%.0f ms，其中 CPU %.0f ms，等待 CPU %.0f ms，读盘 %llu KB\n",
          std::chrono::duration<double>(began.wall.time_since_epoch()).count(), req.method.c_str(),
          req.path.c_str(), res.status, wall, end.cpuMs - began.cpuMs,
          end.queuedMs - began.queuedMs, (end.diskBytes - began.diskBytes) >> 10);
    });
    s.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
      Headers(res);
      Redirect(res, SessionOf(req) ? "/board" : "/login");
    });
    s.Get("/login", [this](const httplib::Request& req, httplib::Response& res) {
      Headers(res);
      std::string message;
      for (const EndReason& why : kEndReasons) {
        if (req.get_param_value("ended") == why.code) message = why.message;
      }
      ShowLogin(res, 200, message, "");
    });
    s.Post("/login", [this](const httplib::Request& q, httplib::Response& r) { Login(q, r); });
    s.Post("/logout", [this](const httplib::Request& q, httplib::Response& r) { Logout(q, r); });
    s.Get("/board", [this](const httplib::Request& q, httplib::Response& r) { Board(q, r); });
    s.Get(R"(/job/(\d{1,18}))",
          [this](const httplib::Request& q, httplib::Response& r) { Job(q, r); });
    s.Post(R"(/job/(\d{1,18})/(on|pause|finish))",
           [this](const httplib::Request& q, httplib::Response& r) { ClockStep(q, r); });
    s.Get(R"(/examine/(\d{1,18}))",
          [this](const httplib::Request& q, httplib::Response& r) { ShowExamination(q, r); });
    s.Post(R"(/examine/(\d{1,18})/item/(\d{1,18}))",
           [this](const httplib::Request& q, httplib::Response& r) { Examine(q, r); });
    s.Get(R"(/photo/([0-9a-f]{32}\.(?:jpg|png)))",
          [this](const httplib::Request& q, httplib::Response& r) { PhotoFile(q, r); });
    s.Get("/static/app.css", [](const httplib::Request&, httplib::Response& res) {
      Headers(res);
      res.set_content(std::string(StyleSheet()), "text/css; charset=utf-8");
    });
    s.Get("/static/app.js", [](const httplib::Request&, httplib::Response& res) {
      Headers(res);
      res.set_content(std::string(Script()), "text/javascript; charset=utf-8");
    });
    // Only for answers no page wrote: the library calls it for every status from 400 on, and a
    // page's own words (why the login was refused, what could not be read) must stand.
    s.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
          if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
          Headers(res);
          const std::string message = res.status == 413   ? "上传的内容太大"
                                      : res.status == 404 ? "没有这个页面"
                                                          : "请求无法处理";
          Html(res, res.status, ErrorPage(res.status, message));
          return httplib::Server::HandlerResponse::Handled;
        }));
    s.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
          Headers(res);
          Fail(res, 500, "服务器内部错误");
        });
  }
};

FloorServer::FloorServer(ServeOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}

FloorServer::~FloorServer() {
  Stop();
}

std::string FloorServer::Open() {
  if (sodium_init() < 0) return "无法初始化随机数";
  Impl& m = *impl_;
  m.postgres = shop::EngineOf(m.options.shop) == db::Engine::Postgres;
  std::string error;
  std::string notice;
  auto db = shop::OpenWorkingShop(m.options.shop, &error, &notice);
  if (!db) return error;
  int slots = 0;
  if (auto* server = dynamic_cast<platform::PostgresDatabase*>(db.get())) {
    slots = server->OrdinaryConnectionSlots(&error);
    if (slots <= 0) return "无法读取数据库服务器的连接数：" + error;
  }
  m.limit = SessionCap(m.options.maxSessions, slots);
  platform::AccountStore accounts(*db);
  const bool closed = accounts.HasAccounts(&error);
  if (!error.empty()) return "无法读取账户：" + error;
  if (!closed) return "这个店还没有账户：车间网页只对有账户的店开放（先用 ws user add 建立账户）";
  m.photos = shop::PhotoFolder(m.options.shop, m.options.photoFolder);
  if (m.photos.empty()) return "服务器上的店请用 --photos 指定照片文件夹";
  std::error_code failed;
  fs::create_directories(m.photos, failed);
  if (failed) return "无法建立照片文件夹 " + m.photos + "：" + failed.message();
  fs::permissions(m.photos, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                  failed);
  m.tls = !m.options.certFile.empty() || !m.options.keyFile.empty();
  if (m.tls) {
    if (m.options.certFile.empty() || m.options.keyFile.empty()) {
      return "--cert 与 --key 须同时给出";
    }
    auto https =
        std::make_unique<httplib::SSLServer>(m.options.certFile.c_str(), m.options.keyFile.c_str());
    if (!https->is_valid()) return "无法读取证书或私钥：" + m.options.certFile;
    m.http = std::move(https);
  } else {
    m.http = std::make_unique<httplib::Server>();
  }
  // The library's default lets a second process bind the same port (SO_REUSEPORT), and the
  // kernel then shares the tablets' connections between two servers, each blind to the other's
  // sessions: only a restart's quick rebind is allowed.
  m.http->set_socket_options([](int sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  const int threads = m.options.threads;
  m.http->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  m.http->set_keep_alive_timeout(m.options.keepAlive.count());
  m.http->set_tcp_nodelay(true);
  m.http->set_payload_max_length(m.options.maxPhotoBytes + (64u << 10));
  m.http->set_read_timeout(std::chrono::seconds(20));
  m.http->set_write_timeout(std::chrono::seconds(20));
  m.Routes();
  if (m.options.port == 0) {
    m.port = m.http->bind_to_any_port(m.options.host);
    if (m.port < 0) return "无法监听 " + m.options.host;
  } else {
    if (!m.http->bind_to_port(m.options.host, m.options.port)) {
      return "无法监听 " + m.options.host + ":" + std::to_string(m.options.port);
    }
    m.port = m.options.port;
  }
  return {};
}

int FloorServer::Port() const {
  return impl_->port;
}

bool FloorServer::Tls() const {
  return impl_->tls;
}

bool FloorServer::Run() {
  Impl& m = *impl_;
  if (!m.http) return false;
  m.runStarted = true;
  std::thread sweeper([&m] { m.SweepUntilStopped(); });
  const bool ran = m.stopRequested || m.http->listen_after_bind();
  {
    std::lock_guard<std::mutex> hold(m.sweepLock);
    m.sweepStop = true;
  }
  m.sweepWake.notify_all();
  sweeper.join();
  m.runEnded = true;
  return ran;
}

size_t FloorServer::SessionLimit() const {
  return impl_->limit;
}

size_t FloorServer::Sessions() const {
  std::lock_guard<std::mutex> hold(impl_->sessionsLock);
  return impl_->sessions.size();
}

void FloorServer::Stop() {
  Impl& m = *impl_;
  m.stopRequested = true;
  {
    std::lock_guard<std::mutex> hold(m.sweepLock);
    m.sweepStop = true;
  }
  m.sweepWake.notify_all();
  if (!m.http) return;
  for (int i = 0; i < 10000 && m.runStarted && !m.runEnded && !m.http->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  m.http->stop();
}

}  // namespace ws::serve
