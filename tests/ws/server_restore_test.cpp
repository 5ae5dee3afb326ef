// `ws backup` and `ws restore` of a server shop by an account: the tables belong to the shop's
// owner role, which nobody logs in as, so a 管理 account restores through its own login as that
// role (its group a member without the role's rights), and an account without 管理 is refused
// before anything of the shop is dropped. A database of its own: pg_dump and pg_restore work on
// whole databases, not on a test's schema.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "db/runner.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "support/postgres_scratch.h"
#include "ws/run_ws.h"

namespace ws::shop {
namespace {

class ServerRestoreTest : public WsProcessTest {
 protected:
  void SetUp() override {
    auto url = platform::testing::PostgresUrl();
    // Once, in the server's run of the folder.
    const char* engine = std::getenv("WS_TEST_ENGINE");
    if (!url || !engine || std::string(engine) != "postgres") {
      GTEST_SKIP() << "a server's restore: the pg. run with WS_PG_URL (scripts/with_postgres.sh)";
    }
    WsProcessTest::SetUp();
    base_ = *url + (url->find('?') == std::string::npos ? "?" : "&");
    std::string error;
    auto admin = platform::PostgresDatabase::Open(*url);
    ASSERT_TRUE(admin) << admin.Error();
    admin_ = std::move(admin).Take();
    database_ = "ws_restore_" + std::to_string(::getpid());
    ASSERT_EQ(admin_->ExecScript("DROP DATABASE IF EXISTS " + database_), "");
    ASSERT_EQ(admin_->ExecScript("CREATE DATABASE " + database_), "");
    const Outcome made = Ws("init --db '" + Url() + "' --date 2012-06-15");
    ASSERT_EQ(made.status, 0) << made.err;
    auto maker = platform::PostgresDatabase::Open(Url());
    ASSERT_TRUE(maker) << maker.Error();
    maker_ = std::move(maker).Take();
    platform::AccountStore store(*maker_);
    store.SetHashCost(platform::HashCost::Minimal);
    store.SetRefusalDelay(std::chrono::milliseconds(0));
    ASSERT_EQ(store.Add(Login("老板"), "owner-secret", "店主"), "");
    ASSERT_EQ(store.SetRoleRights("经理", {platform::Right::Manage}), "");
    ASSERT_EQ(store.Add(Login("经理"), "manager-secret", "经理"), "");
    ASSERT_EQ(store.Add(Login("小王"), "wang-2012", "录入员"), "");
  }
  void TearDown() override {
    if (!admin_) return;
    maker_.reset();
    admin_->ExecScript("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    // The logins and the shop's group roles are the whole server's.
    for (const char* name : {"老板", "经理", "小王"}) {
      admin_->ExecScript("DROP ROLE IF EXISTS \"" + Login(name) + "\"");
    }
    for (const char* group : {"owner", "desk", "enter", "check", "receive", "manage"}) {
      admin_->ExecScript("DROP ROLE IF EXISTS " + database_ + "_public_" + group);
    }
    WsProcessTest::TearDown();
  }

  // A login of this run (logins are the server's, not the database's).
  std::string Login(const std::string& name) const { return name + std::to_string(::getpid()); }
  // The shop's URL, as the maker or as an account's own login.
  std::string Url(const std::string& login = "") const {
    return base_ + "dbname=" + database_ +
           (login.empty() ? "" : "&user=" + platform::testing::UrlEncoded(login));
  }
  std::string Categories() {
    std::string error;
    std::string text = db::Runner(*maker_).ScalarText(
        "select string_agg(编码, ',' order by 编码) from pdmwxfl", &error);
    EXPECT_EQ(error, "");
    return text;
  }
  int64_t Count(const std::string& sql) {
    std::string error;
    const int64_t n = db::Runner(*maker_).Scalar(db::Sql(sql), &error).ToLong();
    EXPECT_EQ(error, "") << sql;
    return n;
  }

  std::string base_;
  std::string database_;
  std::unique_ptr<platform::PostgresDatabase> admin_;
  std::unique_ptr<platform::PostgresDatabase> maker_;
};

TEST_F(ServerRestoreTest, AManagersLoginBacksUpAndRestoresTheShopAndAClerksIsRefused) {
  ASSERT_EQ(db::Runner(*maker_).Execute(
                "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','x')"),
            "");
  const std::string guards =
      "select count(*) from pg_trigger where not tgisinternal and left(tgname, 8) = 'ws_guard'";
  const int64_t guardsMade = Count(guards);
  ASSERT_GT(guardsMade, 0);
  // A clerk's login may not read the password hashes a backup holds: refused in the shop's
  // words, no file left. A manager's login backs up as the owner role.
  const Outcome clerkCopy = Ws("backup --db '" + Url(Login("小王")) + "' " + Quoted("clerk.dump"));
  EXPECT_EQ(clerkCopy.status, 1);
  EXPECT_NE(clerkCopy.err.find("没有“管理”权限，不能备份"), std::string::npos) << clerkCopy.err;
  EXPECT_FALSE(std::filesystem::exists(Path("clerk.dump")));
  const Outcome backedUp = Ws("backup --db '" + Url(Login("经理")) + "' " + Quoted("shop.dump"));
  ASSERT_EQ(backedUp.status, 0) << backedUp.err;

  // Later work, undone by the restore.
  ASSERT_EQ(db::Runner(*maker_).Execute(
                "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (2,'F02','大修','y')"),
            "");
  ASSERT_EQ(db::Runner(*maker_).Execute("delete from pdmwxfl where 编码='F01'"), "");

  // A clerk's login is refused in the shop's words, and the shop stays as it is.
  const Outcome clerk = Ws("restore --db '" + Url(Login("小王")) + "' " + Quoted("shop.dump"));
  EXPECT_EQ(clerk.status, 1);
  EXPECT_NE(clerk.err.find("没有“管理”权限"), std::string::npos) << clerk.err;
  EXPECT_EQ(clerk.err.find("permission denied"), std::string::npos) << clerk.err;
  EXPECT_EQ(Categories(), "F02");

  const Outcome restored = Ws("restore --db '" + Url(Login("经理")) + "' " + Quoted("shop.dump"));
  ASSERT_EQ(restored.status, 0) << restored.err;
  std::string error;
  auto maker = platform::PostgresDatabase::Open(Url());
  ASSERT_TRUE(maker) << maker.Error();
  maker_ = std::move(maker).Take();
  EXPECT_EQ(Categories(), "F01");
  // The server's guards and the grants came back with the tables.
  EXPECT_EQ(Count(guards), guardsMade);
  for (const auto& [name, password] : {std::pair<std::string, std::string>{"老板", "owner-secret"},
                                       {"经理", "manager-secret"},
                                       {"小王", "wang-2012"}}) {
    std::string error;
    auto own = platform::PostgresDatabase::Open(Url(Login(name)));
    ASSERT_TRUE(own) << name << ": " << own.Error();
    platform::AccountStore store(*own);
    store.SetRefusalDelay(std::chrono::milliseconds(0));
    EXPECT_EQ(store.Authenticate(Login(name), password), "") << name;
    EXPECT_EQ(db::Runner(*own).ScalarText("select 编码 from pdmwxfl", &error), "F01") << name;
    EXPECT_EQ(error, "") << name;
  }
  // The clerk still may not do by hand what the guards keep from him.
  auto clerkDb = platform::PostgresDatabase::Open(Url(Login("小王")));
  ASSERT_TRUE(clerkDb) << clerkDb.Error();
  EXPECT_NE(db::Runner(*clerkDb).Execute("delete from ws_audit"), "");
  EXPECT_NE(db::Runner(*clerkDb).Execute("update pdmwxfl set 说明='z'"), "");
}

}  // namespace
}  // namespace ws::shop
