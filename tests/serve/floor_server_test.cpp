// The floor's web front end against a server on the loopback address, driven as a hostile
// client would: forged and missing CSRF tokens, guessed passwords, fake and oversize photos,
// names that try to leave the photo folder.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "db/sql.h"
#include "floor_server.h"
#include "platform/accounts.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::serve {
namespace {

namespace fs = std::filesystem;

// A shop with an owner and two technicians: 张 (employee 1) dispatched to line 1 of order 10,
// 李 (employee 2) to line 2; a checklist item; prices and amounts a technician must never see;
// the floor served on a free port. On PostgreSQL logins are the server's own (named per
// process: the server's roles outlive a test's schema) and each session is its own login.
class FloorServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    const std::string suffix = std::to_string(::getpid()) + "_" + std::to_string(serial++);
    owner_ = "老板" + suffix;
    zhang_ = "zhang" + suffix;
    li_ = "li" + suffix;
    for (const char* sql :
         {"insert into clzl (车辆ID,车牌号,车名) values (1,'粤A12345','卡罗拉')",
          "insert into PDMWXXM (AutoID,编码,维修项目,参考价格,工时) values (1,'BY01','保养',"
          "345.67,1.5),(2,'SC01','刹车',345.67,2)",
          "insert into WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期,维修费用,总金额) values "
          "(10,200001,'01','WS010',1,'2012-06-14',987.65,987.65)",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values "
          "(1,10,1,1,456.78,456.78),(2,10,2,1,456.78,456.78)",
          "insert into ws_job_tech (派工ID,单据明细ID,单据ID,雇员ID,计划工时) values "
          "(1,1,10,1,1.5),(2,2,10,2,2)",
          "insert into ws_job (单据明细ID,单据ID,状态) values (1,10,'在修'),(2,10,'在修')",
          "insert into ws_check_item (项目ID,序号,名称,停用) values (1,1,'刹车片',0)"}) {
      host_.Exec(sql);
    }
    host_.Exec(db::Sql("insert into PDMGY (雇员ID,雇员编码,姓名,登录账号,是否技师) values (1,'T1',"
                       "'张师傅',")
                   .Text(zhang_)
                   .Raw(",1),(2,'T2','李师傅',")
                   .Text(li_)
                   .Raw(",1)"));
    platform::AccountStore accounts(host_.Db());
    accounts.SetHashCost(platform::HashCost::Minimal);
    ASSERT_EQ(accounts.Add(owner_, "owner-secret", "店主"), "");
    ASSERT_EQ(accounts.Add(zhang_, "zhang-secret", "技师"), "");
    ASSERT_EQ(accounts.Add(li_, "li-secret", "技师"), "");
    ServeOptions options;
    if (host_.OnPostgres()) {
      const std::string schema = host_.Scalar("SELECT current_schema()").ToText();
      options.shop = *platform::testing::PostgresUrl();
      options.shop += std::string(options.shop.find('?') == std::string::npos ? "?" : "&") +
                      "options=-c%20search_path%3D" + schema;
      options.photoFolder = (host_.WorkFolder() / "photos").string();
    } else {
      options.shop = host_.DatabasePath();
    }
    options.port = 0;
    options.maxPhotoBytes = 64 << 10;
    options.loginFailures = 3;
    options.refusalDelay = std::chrono::milliseconds(0);
    options.now = [] { return std::string("2012-06-15 09:00:00"); };
    options.clock = [this] {
      return std::chrono::steady_clock::now() + std::chrono::minutes(minutesLater_.load());
    };
    options_ = options;
    Start(options);
    photos_ = host_.OnPostgres() ? options.photoFolder : host_.DatabasePath() + ".photos";
  }
  void TearDown() override { StopServer(); }
  void StopServer() {
    if (server_) server_->Stop();
    if (runner_.joinable()) runner_.join();
  }
  void Start(const ServeOptions& options) {
    StopServer();
    server_ = std::make_unique<FloorServer>(options);
    ASSERT_EQ(server_->Open(), "");
    runner_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
  }

  static std::string Cookie(const httplib::Result& res, const std::string& name) {
    for (const auto& [key, value] : res->headers) {
      if (key == "Set-Cookie" && value.rfind(name + "=", 0) == 0) {
        return value.substr(name.size() + 1, value.find(';') - name.size() - 1);
      }
    }
    return {};
  }
  static std::string Token(const std::string& html) {
    std::smatch m;
    std::regex_search(html, m, std::regex(R"re(name="csrf" value="([0-9a-f]{64})")re"));
    return m.size() > 1 ? m[1].str() : std::string();
  }
  httplib::Result LoginAs(const std::string& user, const std::string& password,
                          bool forgeToken = false) {
    auto page = client_->Get("/login");
    EXPECT_TRUE(page);
    const std::string cookie = Cookie(page, "ws_login");
    const std::string token = forgeToken ? std::string(64, 'a') : Token(page->body);
    return client_->Post("/login", {{"Cookie", "ws_login=" + cookie}},
                         httplib::Params{{"csrf", token}, {"user", user}, {"password", password}});
  }
  // Logged in: the session cookie header and the page token.
  std::pair<httplib::Headers, std::string> Session(const std::string& user,
                                                   const std::string& password) {
    auto res = LoginAs(user, password);
    EXPECT_EQ(res->status, 303) << res->body;
    httplib::Headers headers = {{"Cookie", "ws_session=" + Cookie(res, "ws_session")}};
    auto board = client_->Get("/board", headers);
    return {headers, Token(board->body)};
  }
  // The connections an account holds on the server (none on a shop file).
  int64_t Backends(const std::string& user) {
    if (!host_.OnPostgres()) return 0;
    return host_.Scalar(db::Sql("select count(*) from pg_stat_activity where usename=").Text(user))
        .ToLong();
  }
  // Waits for a condition the server meets on its own time, at most a few seconds.
  static bool Eventually(const std::function<bool()>& met) {
    for (int i = 0; i < 500 && !met(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return met();
  }
  // Where a page sent the session, and what the login page there says.
  std::string LoginMessage(const httplib::Headers& session) {
    auto board = client_->Get("/board", session);
    if (!board || board->status != 303) return "no redirect";
    const std::string to = board->get_header_value("Location");
    if (to.rfind("/login", 0) != 0) return "sent to " + to;
    std::smatch m;
    const std::string login = client_->Get(to)->body;
    std::regex_search(login, m, std::regex(R"re(role="alert">([^<]*)<)re"));
    return m.size() > 1 ? m[1].str() : std::string("no message");
  }
  int64_t RunningClocks() {
    return host_.Scalar("select count(*) from ws_clock where 结束时间=''").ToLong();
  }

  std::pair<httplib::Headers, std::string> Zhang() { return Session(zhang_, "zhang-secret"); }

  test::TestHost host_{test::TestHost::Storage::File};
  std::string owner_;
  std::string zhang_;
  std::string li_;
  ServeOptions options_;
  std::atomic<int> minutesLater_{0};  // the sessions' clock, moved on by the tests
  std::unique_ptr<FloorServer> server_;
  std::thread runner_;
  std::unique_ptr<httplib::Client> client_;
  std::string photos_;
};

TEST_F(FloorServerTest, SessionsAndTokensGuardEveryStep) {
  EXPECT_EQ(client_->Get("/board")->status, 303) << "the board without a session";
  EXPECT_EQ(LoginAs(zhang_, "zhang-secret", true)->status, 403) << "a forged login token";
  auto login = LoginAs(zhang_, "zhang-secret");
  ASSERT_EQ(login->status, 303);
  const std::string setCookie = login->get_header_value("Set-Cookie");
  EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos) << setCookie;
  EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos) << setCookie;
  httplib::Headers headers = {{"Cookie", "ws_session=" + Cookie(login, "ws_session")}};
  auto board = client_->Get("/board", headers);
  ASSERT_EQ(board->status, 200);
  EXPECT_NE(board->body.find("保养"), std::string::npos) << "张's job on his board";
  EXPECT_EQ(board->body.find("http://"), std::string::npos) << "nothing loaded from elsewhere";
  EXPECT_NE(board->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  const std::string token = Token(board->body);
  for (const std::string& forged : {std::string(), std::string(64, '0'), token.substr(1)}) {
    EXPECT_EQ(client_->Post("/job/1/on", headers, httplib::Params{{"csrf", forged}})->status, 403);
  }
  EXPECT_EQ(client_->Post("/job/1/on", httplib::Params{{"csrf", token}})->status, 403)
      << "a token without its session";
  EXPECT_EQ(RunningClocks(), 0);
  EXPECT_EQ(client_->Post("/job/1/on", headers, httplib::Params{{"csrf", token}})->status, 303);
  EXPECT_EQ(RunningClocks(), 1);
  EXPECT_EQ(client_->Post("/logout", headers, httplib::Params{{"csrf", token}})->status, 303);
  EXPECT_EQ(client_->Get("/board", headers)->status, 303) << "the session ended";
}

// Two tablets of one technician clock him on two lines at the same moment, again and again:
// one of them wins each time.
TEST_F(FloorServerTest, TwoTabletsAtOnceNeverRunTwoJobsOfOneTechnician) {
  auto first = Zhang();
  auto second = Zhang();
  for (int round = 0; round < 10; ++round) {
    std::vector<std::thread> tablets;
    for (auto [line, login] : {std::pair{1, &first}, std::pair{2, &second}}) {
      tablets.emplace_back([this, line, login] {
        httplib::Client client("127.0.0.1", server_->Port());
        auto res = client.Post("/job/" + std::to_string(line) + "/on", login->first,
                               httplib::Params{{"csrf", login->second}});
        EXPECT_TRUE(res && res->status == 303);
      });
    }
    for (auto& t : tablets) t.join();
    ASSERT_EQ(RunningClocks(), 1) << "round " << round;
    host_.Exec("update ws_clock set 结束时间='2012-06-15 09:00:00' where 结束时间=''");
  }
}

// A technician's pages: his own jobs under 我的工作, never a colleague's there, no step on a
// colleague's line, and no price or amount on any page he reaches (on the server his login
// could not read one: a page that tried would fail).
TEST_F(FloorServerTest, ATechnicianSeesHisOwnJobsAndNoMoney) {
  auto [headers, token] = Zhang();
  auto mine = [](const std::string& board) {
    const size_t shop = board.find("本店待修项目");
    return board.substr(0, shop == std::string::npos ? board.size() : shop);
  };
  const auto board = client_->Get("/board", headers);
  ASSERT_EQ(board->status, 200);
  EXPECT_NE(mine(board->body).find("/job/1\""), std::string::npos) << "his line under 我的工作";
  EXPECT_EQ(mine(board->body).find("/job/2\""), std::string::npos) << "李's line under 我的工作";
  EXPECT_EQ(client_->Post("/job/2/on", headers, httplib::Params{{"csrf", token}})->status, 303);
  EXPECT_EQ(RunningClocks(), 0) << "张 clocked on 李's line";
  EXPECT_EQ(client_->Post("/job/1/on", headers, httplib::Params{{"csrf", token}})->status, 303);
  EXPECT_EQ(RunningClocks(), 1);
  for (const char* path : {"/board", "/job/1", "/job/2", "/examine/10"}) {
    auto page = client_->Get(path, headers);
    ASSERT_EQ(page->status, 200) << path << ": " << page->body;
    for (const char* money : {"345.67", "456.78", "987.65", "¥", "金额", "单价"}) {
      EXPECT_EQ(page->body.find(money), std::string::npos) << money << " on " << path;
    }
  }
}

// A second server on a port taken is refused, not let in to share the tablets' connections.
TEST_F(FloorServerTest, ASecondServerCannotTakeThePort) {
  ServeOptions options = options_;
  options.port = server_->Port();
  FloorServer second(options);
  EXPECT_NE(second.Open(), "");
}

TEST_F(FloorServerTest, GuessedPasswordsAreStoppedPerClient) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(LoginAs(zhang_, "wrong-" + std::to_string(i))->status, 401);
  EXPECT_EQ(LoginAs(zhang_, "zhang-secret")->status, 429) << "the right one, after the limit";
}

TEST_F(FloorServerTest, PhotosAreJpegOrPngOfBoundedSizeUnderNamesOfTheServers) {
  auto [headers, token] = Zhang();
  const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(200, '\x01');
  auto upload = [&](const std::string& bytes, const std::string& name, const std::string& type) {
    httplib::MultipartFormDataItems form = {{"csrf", token, "", ""},
                                            {"verdict", "需维修", "", ""},
                                            {"note", "刹车片磨损", "", ""},
                                            {"photo", bytes, name, type}};
    return client_->Post("/examine/10/item/1", headers, form);
  };
  auto photoRows = [&] { return host_.Scalar("select count(*) from ws_finding_photo").ToLong(); };
  EXPECT_EQ(upload("<?php system($_GET['c']); ?>", "x.jpg", "image/jpeg")->status, 303);
  EXPECT_EQ(upload("GIF89a" + std::string(100, 'x'), "x.gif", "image/gif")->status, 303);
  EXPECT_EQ(photoRows(), 0) << "a file that is no JPEG or PNG was kept";
  // Over the photo's limit, and over the request's: refused by the page, and by the server
  // before the page reads it.
  EXPECT_EQ(upload(png + std::string(80 << 10, '\0'), "big.png", "image/png")->status, 303);
  auto huge = upload(png + std::string(200 << 10, '\0'), "huge.png", "image/png");
  EXPECT_TRUE(!huge || huge->status == 413) << "an oversize request was read";
  EXPECT_EQ(photoRows(), 0);
  ASSERT_EQ(upload(png, "../../../etc/cron.d/evil.png", "image/png")->status, 303);
  ASSERT_EQ(photoRows(), 1);
  const std::string stored = host_.Scalar("select 文件名 from ws_finding_photo").ToText();
  EXPECT_TRUE(std::regex_match(stored, std::regex("[0-9a-f]{32}\\.png"))) << stored;
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(photos_)) {
    ++files;
    EXPECT_EQ(entry.path().filename().string(), stored);
  }
  EXPECT_EQ(files, 1u);
  auto served = client_->Get("/photo/" + stored, headers);
  ASSERT_EQ(served->status, 200);
  EXPECT_EQ(served->body, png);
  EXPECT_EQ(served->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(client_->Get("/photo/" + stored)->status, 303) << "a photo without a session";
  // The shop file itself, beside the folder, through every spelling of a way out.
  const std::string shop = fs::path(host_.DatabasePath()).filename().string();
  for (const std::string& path :
       {"/photo/../" + shop, "/photo/%2e%2e%2f" + shop, "/photo/..%2f..%2f" + shop,
        "/photo/" + std::string(32, 'a') + ".png", "/photo/" + stored + "%00.txt"}) {
    auto res = client_->Get(path, headers);
    EXPECT_TRUE(res && res->status == 404) << path;
  }
  // The finding itself was recorded, and proposed a suggested line.
  EXPECT_EQ(host_.Scalar("select count(*) from ws_suggestion").ToLong(), 1);
}

TEST(SessionCapTest, LeavesTheDesksAQuarterOfTheServerAndNeverFewerThanTen) {
  struct Case {
    size_t maxSessions;
    int slots;
    size_t cap;
  } cases[] = {
      {500, 0, 500},  // a shop file: no server to share
      {500, 97, 73},  // the server's default 100, 3 kept for superusers
      {500, 197, 148}, {50, 197, 50}, {500, 30, 20}, {500, 11, 1}, {500, 5, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SessionCap(c.maxSessions, c.slots), c.cap) << c.maxSessions << " " << c.slots;
  }
}

// Two places on the floor: the one seen longest ago, unused for the release's while, gives its
// place to a new login, and its connection is closed; one in use never does.
TEST_F(FloorServerTest, AFullFloorReleasesTheLongestIdleSessionNeverAnActiveOne) {
  ServeOptions options = options_;
  options.maxSessions = 2;
  Start(options);
  if (host_.OnPostgres()) {
    // Open read what the server gives: fewer sessions than a server of 200 has connections.
    const int64_t slots = host_
                              .Scalar(
                                  "select current_setting('max_connections')::int - "
                                  "current_setting('superuser_reserved_connections')::int - "
                                  "coalesce(current_setting('reserved_connections', true)::int, 0)")
                              .ToLong();
    FloorServer probe(options_);
    ASSERT_EQ(probe.Open(), "");
    EXPECT_EQ(probe.SessionLimit(), SessionCap(options_.maxSessions, static_cast<int>(slots)));
  }
  auto li = Session(li_, "li-secret");
  minutesLater_ = 1;
  auto zhang = Zhang();
  minutesLater_ = 11;  // 李 idle for 11 minutes, 张 for 10
  EXPECT_EQ(LoginAs(owner_, "owner-secret")->status, 303) << "a place made for the owner";
  EXPECT_EQ(server_->Sessions(), 2u);
  EXPECT_TRUE(Eventually([&] { return Backends(li_) == 0; })) << "the released one's connection";
  EXPECT_EQ(Backends(zhang_), host_.OnPostgres() ? 1 : 0);
  EXPECT_EQ(LoginMessage(li.first), "因长时间未操作，已自动退出登录，请重新登录");
  EXPECT_EQ(client_->Get("/board", zhang.first)->status, 200) << "张 was still logged in";
  // 张 and the owner were both seen within the release's while: nobody gives way.
  minutesLater_ = 15;
  EXPECT_EQ(client_->Get("/board", zhang.first)->status, 200);
  auto full = LoginAs(li_, "li-secret");
  EXPECT_EQ(full->status, 503);
  EXPECT_NE(full->body.find("同时登录的人数已满，请稍后再试"), std::string::npos) << full->body;
  EXPECT_TRUE(Eventually([&] { return Backends(li_) == 0; })) << "the refused one's connection";
  EXPECT_EQ(client_->Get("/board", zhang.first)->status, 200) << "an active session released";
}

// Nobody comes back to a session left for the night: the sweep ends it on its own and closes its
// connection; the next page, in the morning, asks for the login again.
TEST_F(FloorServerTest, IdleSessionsAreSweptWithTheirConnections) {
  ServeOptions options = options_;
  options.sweepEvery = std::chrono::milliseconds(20);
  Start(options);
  auto zhang = Zhang();
  EXPECT_EQ(server_->Sessions(), 1u);
  EXPECT_EQ(Backends(zhang_), host_.OnPostgres() ? 1 : 0);
  minutesLater_ = 12 * 60 + 1;
  EXPECT_TRUE(Eventually([&] { return server_->Sessions() == 0 && Backends(zhang_) == 0; }))
      << server_->Sessions() << " sessions, " << Backends(zhang_) << " connections";
  EXPECT_EQ(LoginMessage(zhang.first), "登录已过期，请重新登录");
}

// The server dropped the session's connection (a restart): the next page is the login page,
// and so is the one after it, never an error page over and over.
TEST_F(FloorServerTest, ASessionWhoseConnectionBrokeEndsOnTheLoginPage) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "a shop file's connection does not break";
  auto zhang = Zhang();
  host_.Scalar(
      db::Sql("select count(pg_terminate_backend(pid)) from pg_stat_activity where usename=")
          .Text(zhang_));
  EXPECT_EQ(LoginMessage(zhang.first), "与数据库的连接已断开，请重新登录");
  EXPECT_EQ(server_->Sessions(), 0u);
  EXPECT_EQ(client_->Get("/board", zhang.first)->status, 303);
  auto again = Zhang();
  EXPECT_EQ(client_->Get("/board", again.first)->status, 200);
  EXPECT_TRUE(Eventually([&] { return Backends(zhang_) == 1; })) << Backends(zhang_);
}

// Under TLS the cookies are Secure, and a client that speaks plain HTTP gets no page.
TEST_F(FloorServerTest, CertificateFilesServeHttpsWithSecureCookies) {
  WS_SQLITE_ONLY("TLS is the listener's, whatever the engine");
  const std::string key = (host_.WorkFolder() / "key.pem").string();
  const std::string cert = (host_.WorkFolder() / "cert.pem").string();
  const std::string make =
      "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 "
      "-keyout '" +
      key + "' -out '" + cert + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no openssl to make a certificate";
  ServeOptions options = options_;
  options.certFile = cert;
  options.keyFile = key;
  FloorServer https(options);
  ASSERT_EQ(https.Open(), "");
  std::thread running([&] { https.Run(); });
  httplib::SSLClient client("127.0.0.1", https.Port());
  client.enable_server_certificate_verification(false);
  auto page = client.Get("/login");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
  auto plain = httplib::Client("127.0.0.1", https.Port()).Get("/login");
  EXPECT_TRUE(!plain || plain->status != 200);
  options.keyFile = cert;
  EXPECT_NE(FloorServer(options).Open(), "") << "a certificate without its key";
  https.Stop();
  running.join();
}

}  // namespace
}  // namespace ws::serve
