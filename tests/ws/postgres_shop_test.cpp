// The `ws` tool on a PostgreSQL server: shops made, refused, replaced and opened by URL, bulk
// rows, backups. Skipped without WS_PG_URL. The demo shop on the server runs every example
// script.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/postgres_database.h"
#include "run_ws.h"
#include "shop/backup.h"
#include "shop/bulk_rows.h"

namespace ws::shop {
namespace {

class PostgresShopTest : public WsProcessTest {
 protected:
  void SetUp() override {
    const char* url = std::getenv("WS_PG_URL");
    if (!url || !*url) GTEST_SKIP() << "WS_PG_URL is not set (scripts/with_postgres.sh)";
    WsProcessTest::SetUp();
    base_ = url;
    database_ = "ws_shop_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : database_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    DropDatabase();
  }
  void TearDown() override {
    if (!database_.empty()) DropDatabase();
    WsProcessTest::TearDown();
  }

  // The URL of a database of this test's own on the server (a parameter overrides the path).
  std::string Url(const std::string& database) const {
    return base_ + (base_.find('?') == std::string::npos ? "?" : "&") + "dbname=" + database;
  }
  std::string ShopUrl() const { return Url(database_); }
  std::string Arg(const std::string& text) const { return "'" + text + "'"; }

  std::unique_ptr<platform::PostgresDatabase> Connect() {
    std::string error;
    auto db = platform::PostgresDatabase::Open(ShopUrl(), &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }
  std::string ServerScalar(const std::string& sql) {
    auto db = Connect();
    if (!db) return "";
    std::string error;
    std::string text = db::Runner(*db).ScalarText(db::Sql(sql), &error);
    EXPECT_EQ(error, "") << sql;
    return text;
  }

  void DropDatabase() {
    std::string error;
    auto server = platform::PostgresDatabase::Open(Url("postgres"), &error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_EQ(server->ExecScript("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)"), "");
  }

  std::string base_;
  std::string database_;
};

TEST_F(PostgresShopTest, InitMakesRefusesAndReplacesOnlyTheShopsOwnTables) {
  Outcome made = Ws("init --db " + Arg(ShopUrl()) + " --date 2012-06-15");
  ASSERT_EQ(made.status, 0) << made.err;
  // Something of the shop's and something that is not the shop's.
  ASSERT_EQ(db::Runner(*Connect()).Execute("INSERT INTO clzl (车辆ID, 车牌号) VALUES (1, '京A1')"),
            "");
  ASSERT_EQ(Connect()->ExecScript("CREATE TABLE other_app (a int); INSERT INTO other_app VALUES "
                                  "(7)"),
            "");

  Outcome refused = Ws("init --db " + Arg(ShopUrl()));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("already holds a shop database; use --force"), std::string::npos)
      << refused.err;
  EXPECT_EQ(ServerScalar("SELECT count(*) FROM clzl"), "1") << "a refused init changes nothing";

  Outcome replaced = Ws("init --db " + Arg(ShopUrl()) + " --force --date 2012-06-15");
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(ServerScalar("SELECT count(*) FROM clzl"), "0");
  EXPECT_EQ(ServerScalar("SELECT a FROM other_app"), "7") << "only the shop's tables are replaced";

  // The other commands open the shop by URL; a database without a shop is refused.
  Outcome report = Ws("report --db " + Arg(ShopUrl()) + " WS_RPT");
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("工单号码"), std::string::npos) << report.out;
  ASSERT_EQ(Connect()->ExecScript("DROP TABLE ws_meta"), "");
  Outcome foreign = Ws("script --db " + Arg(ShopUrl()) + " -", "# nothing to do\n");
  EXPECT_EQ(foreign.status, 2);
  EXPECT_NE(foreign.err.find("is not a repair-shop database"), std::string::npos) << foreign.err;
}

TEST_F(PostgresShopTest, BulkRowsArriveAsWrittenInSeveralCopies) {
  ASSERT_EQ(platform::PostgresDatabase::CreateDatabaseIfMissing(ShopUrl()), "");
  auto db = Connect();
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(db->ExecScript("CREATE TABLE t (id BIGINT PRIMARY KEY, s TEXT, n DOUBLE PRECISION, "
                           "d DATE)"),
            "");
  const std::string awkward[] = {"tab\there", "line\nbreak\r", "back\\slash \\N", "", "引号'\""};
  // Enough rows for several COPY runs (one per few megabytes).
  constexpr int kRows = 30000;
  std::string error;
  {
    db->BeginTrans();
    BulkInserter rows(*db, "t", {"id", "s", "n", "d"}, error);
    for (int i = 0; i < kRows; ++i) {
      rows.Id(i).Text(i < 5 ? awkward[i] : std::string(200, 'x')).Num(i + 0.25);
      (i % 2 ? rows.Date(db::Date{2012, 6, 15}) : rows.Null()).Row();
    }
    EXPECT_TRUE(rows.Flush()) << error;
    db->CommitTrans();
  }
  ASSERT_EQ(error, "");
  db::Runner runner(*db);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(runner.ScalarText(db::Sql("SELECT s FROM t WHERE id = ").Key(i)), awkward[i]);
  }
  EXPECT_EQ(runner.ScalarNumber("SELECT count(*) FROM t WHERE d IS NULL"), kRows / 2);
  EXPECT_DOUBLE_EQ(runner.ScalarNumber("SELECT sum(n) FROM t"),
                   kRows * (kRows - 1) / 2.0 + kRows * 0.25);

  // A row the server refuses fails the load with the table's name and the server's reason.
  {
    BulkInserter bad(*db, "t", {"id", "s", "n", "d"}, error);
    bad.Id(1).Text("again").Num(1).Null().Row();
  }
  EXPECT_NE(error.find("t: "), std::string::npos) << error;
  EXPECT_NE(error.find("duplicate key"), std::string::npos) << error;
}

// The backup on a server: a dump from one snapshot, restored in one transaction, and an
// archive that is no shop's, or a newer program's, refused before anything is dropped.
TEST_F(PostgresShopTest, BackupAndRestoreRefuseForeignAndNewerArchives) {
  ASSERT_EQ(Ws("init --db " + Arg(ShopUrl()) + " --date 2012-06-15").status, 0);
  auto db = Connect();
  db::Runner runner(*db);
  ASSERT_EQ(runner.Execute("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) "
                           "values (1,'F01','小修','it''s -- 100%_#@\\')"),
            "");
  ASSERT_EQ(
      runner.Execute("insert into ws_audit (单据类型,单据ID,序号,操作) values ('WS_S',1,1,'新增')"),
      "");
  ASSERT_EQ(BackupShop(ShopUrl(), Path("server.dump"), false), "");
  ASSERT_EQ(runner.Execute("update ws_meta set value='3' where key='version'"), "");
  ASSERT_EQ(BackupShop(ShopUrl(), Path("newer.dump"), false), "");
  ASSERT_EQ(runner.Execute("update ws_meta set value='2' where key='version'"), "");
  // Another database's dump holding a table of the shop's name.
  const std::string shop = database_;
  database_ += "_other";
  DropDatabase();
  ASSERT_EQ(platform::PostgresDatabase::CreateDatabaseIfMissing(ShopUrl()), "");
  ASSERT_EQ(Connect()->ExecScript("CREATE TABLE wsdj (x int); INSERT INTO wsdj VALUES (1)"), "");
  ASSERT_EQ(std::system(("pg_dump --format=custom --file=" + Quoted("foreign.dump") +
                         " --dbname=" + Arg(ShopUrl()))
                            .c_str()),
            0);
  DropDatabase();
  database_ = shop;

  EXPECT_NE(RestoreShop(ShopUrl(), Path("foreign.dump")).find("is not a shop backup"),
            std::string::npos);
  EXPECT_NE(RestoreShop(ShopUrl(), Path("newer.dump")).find("newer program (schema version 3"),
            std::string::npos);
  EXPECT_EQ(runner.ScalarText("select 说明 from pdmwxfl"), "it's -- 100%_#@\\");
  ASSERT_EQ(runner.Execute("delete from pdmwxfl"), "");
  db.reset();
  ASSERT_EQ(RestoreShop(ShopUrl(), Path("server.dump")), "");
  EXPECT_EQ(ServerScalar("select 说明 from pdmwxfl"), "it's -- 100%_#@\\");
  EXPECT_EQ(ServerScalar("select value from ws_meta where key='version'"), "2");
  // The audit trail, whose rows no statement may change or delete, comes back whole.
  EXPECT_EQ(ServerScalar("select 操作 from ws_audit where 单据ID=1"), "新增");
}

}  // namespace
}  // namespace ws::shop
