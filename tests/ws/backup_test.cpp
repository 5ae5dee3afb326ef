// `ws backup` / `ws restore` on shop files that other users keep open (WAL): the copy holds
// what was committed when it began, a restore replaces everything at once, and a user who
// holds the write lock makes a restore stop with the shop's busy message instead of waiting
// forever or writing half a shop.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "db/runner.h"
#include "lib/backup.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "run_ws.h"

namespace ws::cli {
namespace {

class BackupTest : public WsProcessTest {
 protected:
  void SetUp() override {
    WsProcessTest::SetUp();
    ASSERT_EQ(Ws("init --db " + Quoted("shop.db") + " --date 2012-06-15").status, 0);
    user_ = Connect("shop.db");
    ASSERT_EQ(
        db::Runner(*user_).Execute(
            "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','x')"),
        "");
  }
  std::unique_ptr<platform::SqliteDatabase> Connect(const std::string& file) {
    std::string error;
    auto db = platform::SqliteDatabase::Open(Path(file), &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }
  std::string Categories(platform::SqliteDatabase& db) {
    std::string error;
    std::string text = db::Runner(db).ScalarText(
        "select group_concat(编码 || '=' || 说明, ',') from (select * from pdmwxfl order by 编码)",
        &error);
    EXPECT_EQ(error, "");
    return text;
  }

  std::unique_ptr<platform::SqliteDatabase> user_;  // another user working in the shop
};

TEST_F(BackupTest, CopyHoldsWhatWasCommittedAndRestoreReplacesItForEveryUser) {
  // Another user is in the middle of a save while the backup runs.
  user_->BeginTrans();
  ASSERT_EQ(db::Runner(*user_).Execute("update pdmwxfl set 说明='uncommitted'"), "");
  ASSERT_EQ(BackupShop(Path("shop.db"), Path("copy.db"), false), "");
  user_->CommitTrans();
  ASSERT_EQ(user_->LastError(), "");
  EXPECT_FALSE(std::filesystem::exists(Path("copy.db.part")));
  auto copy = Connect("copy.db");
  EXPECT_EQ(Categories(*copy), "F01=x") << "the snapshot before the open save";
  copy.reset();

  // Later work is undone by the restore; the other user's open connection sees the restored
  // shop without reconnecting.
  ASSERT_EQ(db::Runner(*user_).Execute(
                "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (2,'F02','大修','y')"),
            "");
  ASSERT_EQ(RestoreShop(Path("shop.db"), Path("copy.db")), "");
  EXPECT_EQ(Categories(*user_), "F01=x");

  // A second backup refuses to overwrite the first unless told to.
  EXPECT_NE(BackupShop(Path("shop.db"), Path("copy.db"), false), "");
  EXPECT_EQ(BackupShop(Path("shop.db"), Path("copy.db"), true), "");
}

TEST_F(BackupTest, RestoreRefusesWhatIsNoShopAndStopsWhileAUserHoldsTheWriteLock) {
  Write("notes.txt", "not a database");
  EXPECT_NE(RestoreShop(Path("shop.db"), Path("notes.txt")), "");
  EXPECT_NE(RestoreShop(Path("shop.db"), Path("missing.db")), "");
  EXPECT_EQ(Categories(*user_), "F01=x");

  ASSERT_EQ(BackupShop(Path("shop.db"), Path("copy.db"), false), "");
  user_->BeginTrans();
  ASSERT_EQ(db::Runner(*user_).Execute("update pdmwxfl set 说明='saving'"), "");
  EXPECT_EQ(RestoreShop(Path("shop.db"), Path("copy.db")), platform::kDatabaseBusyText);
  user_->CommitTrans();
  EXPECT_EQ(Categories(*user_), "F01=saving") << "the user's save is kept, not overwritten";

  // Restored into a file that did not exist: a complete shop.
  ASSERT_EQ(RestoreShop(Path("fresh.db"), Path("copy.db")), "");
  auto fresh = Connect("fresh.db");
  EXPECT_EQ(Categories(*fresh), "F01=x");
}

TEST_F(BackupTest, CommandsAsAUserRunsThem) {
  const Outcome backedUp = Ws("backup --db " + Quoted("shop.db") + " " + Quoted("b.db"));
  EXPECT_EQ(backedUp.status, 0) << backedUp.err;
  EXPECT_EQ(Ws("backup --db " + Quoted("shop.db") + " " + Quoted("b.db")).status, 1)
      << "an existing backup is kept";
  EXPECT_EQ(Ws("backup --db " + Quoted("shop.db")).status, 2) << "no OUT";
  ASSERT_EQ(db::Runner(*user_).Execute("delete from pdmwxfl"), "");
  const Outcome restored = Ws("restore --db " + Quoted("shop.db") + " " + Quoted("b.db"));
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(Categories(*user_), "F01=x");
  const Outcome refused = Ws("restore --db " + Quoted("shop.db") + " " + Quoted("nothing.db"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("nothing.db"), std::string::npos) << refused.err;
}

// The same on a server: a dump from one snapshot, restored in one transaction.
TEST_F(BackupTest, ServerShopRoundTrip) {
  const char* url = std::getenv("WS_PG_URL");
  if (!url || !*url) GTEST_SKIP() << "WS_PG_URL is not set (scripts/with_postgres.sh)";
  const std::string base = url;
  const auto withDatabase = [&](const std::string& database) {
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "dbname=" + database;
  };
  std::string error;
  auto server = platform::PostgresDatabase::Open(withDatabase("postgres"), &error);
  ASSERT_NE(server, nullptr) << error;
  const std::string database = "ws_backup_" + std::to_string(::getpid());
  const std::string shop = withDatabase(database);
  ASSERT_EQ(Ws("init --force --db '" + shop + "' --date 2012-06-15").status, 0);
  auto db = platform::PostgresDatabase::Open(shop, &error);
  ASSERT_NE(db, nullptr) << error;
  ASSERT_EQ(db::Runner(*db).Execute("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) "
                                    "values (1,'F01','小修','it''s -- 100%_#@\\')"),
            "");
  ASSERT_EQ(BackupShop(shop, Path("server.dump"), false), "");
  ASSERT_EQ(db::Runner(*db).Execute("delete from pdmwxfl"), "");
  db.reset();
  ASSERT_EQ(RestoreShop(shop, Path("server.dump")), "");
  db = platform::PostgresDatabase::Open(shop, &error);
  ASSERT_NE(db, nullptr) << error;
  EXPECT_EQ(db::Runner(*db).ScalarText("select 说明 from pdmwxfl", &error), "it's -- 100%_#@\\");
  db.reset();
  server->ExecScript("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
}

}  // namespace
}  // namespace ws::cli
