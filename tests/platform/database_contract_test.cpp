// What the module may count on from either database service: values of every kind in and out,
// the desktop dialect translated, placeholders bound, errors per command, nested transactions
// and a second user's view. The program runs once per engine; the cases at the end are the
// engines' own (opening, locks, a dropped connection).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::platform {
namespace {

using test::TestHost;

class DatabaseContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db_.ExecScript("CREATE TABLE t_doc (单据ID BIGINT PRIMARY KEY, progID BIGINT, "
                             "工单号码 TEXT, 进厂日期 DATE, 金额 DOUBLE PRECISION, 说明 TEXT);"
                             "CREATE TABLE t_line (单据明细ID BIGINT PRIMARY KEY, 单据ID BIGINT, "
                             "单价 DOUBLE PRECISION);"),
              "");
  }

  std::string Run(const std::string& sql, int64_t* rows = nullptr) {
    return db::Runner(db_).Execute(db::Sql(sql), rows);
  }
  db::Value Scalar(const std::string& sql) { return db::Runner(db_).Scalar(db::Sql(sql)); }
  std::string Ids() { return host_.Joined("SELECT 单据ID FROM t_doc ORDER BY 单据ID"); }

  TestHost host_{TestHost::Storage::File};
  EngineDatabase& db_ = host_.Db();
};

TEST_F(DatabaseContractTest, StatementsReadAndWriteValuesOfEveryKind) {
  int64_t rows = -1;
  EXPECT_EQ(Run("insert into t_doc (单据ID, progID, 工单号码, 进厂日期, 金额, 说明) values "
                "(1, 200011, 'W001', '2012-06-01', 12.5, " +
                    db::QuoteText("O'Brien") + ")",
                &rows),
            "");
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(Run("insert into t_doc (单据ID, progID, 工单号码) values (2, 200011, 'W002')"), "");

  auto rs = db::Runner(db_).Open(db::Sql("SELECT T_DOC.* FROM t_doc ORDER BY 单据ID"));
  ASSERT_TRUE(rs->IsOpen());
  ASSERT_EQ(rs->RecordCount(), 2);
  ASSERT_EQ(rs->FieldCount(), 6);
  EXPECT_EQ(rs->FieldName(0), "单据ID");
  // The server folds the unquoted name; either way it is found without regard to case.
  EXPECT_EQ(rs->FieldName(1), host_.OnPostgres() ? "progid" : "progID");
  EXPECT_TRUE(rs->Field("progid").IsInteger());
  EXPECT_EQ(rs->Long("PROGID"), 200011);
  EXPECT_TRUE(rs->Field("金额").IsReal());
  EXPECT_DOUBLE_EQ(rs->Number("金额"), 12.5);
  EXPECT_EQ(rs->Text("说明"), "O'Brien");
  EXPECT_EQ(rs->Text("进厂日期"), "2012-06-01");
  rs->MoveNext();
  EXPECT_TRUE(rs->Field("金额").IsNull());
  EXPECT_TRUE(rs->Field("进厂日期").IsNull());
  EXPECT_EQ(rs->Text("说明"), "");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  // Numbers come back of the kind the embedded engine gives: a sum of whole numbers (numeric on
  // the server) and a count are whole, a real stays real, a comparison is 0/1.
  struct Case {
    const char* sql;
    db::Value expected;
  };
  const Case kinds[] = {
      {"select sum(progID) from t_doc", db::Value(int64_t{400022})},
      {"select count(*) from t_doc", db::Value(int64_t{2})},
      {"select sum(金额) * 2 from t_doc", db::Value(25.0)},
      {"select 1 = 1", db::Value(int64_t{1})},
      // GetValue: the first column of the first row; Null when there is no row.
      {"select 工单号码, 单据ID from t_doc order by 单据ID desc", db::Value("W002")},
      {"select 工单号码 from t_doc where 单据ID=99", db::Value()},
  };
  for (const Case& c : kinds) EXPECT_EQ(Scalar(c.sql), c.expected) << c.sql;
  if (host_.OnPostgres()) {
    EXPECT_EQ(Scalar("select 7.25::numeric"), db::Value(7.25));
    // A whole number beyond a long reads as a real rather than wrapping round.
    db::Value huge = Scalar("select 12345678901234567890123::numeric");
    EXPECT_TRUE(huge.IsReal());
    EXPECT_NEAR(huge.ToDouble() / 1.2345678901234567890123e22, 1.0, 1e-12);
  }

  // RowsAffected counts the statement's own rows, not those of the statement before it.
  EXPECT_EQ(Run("update t_doc set 说明='x' where progID=200011", &rows), "");
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(Run("create table other (a int)", &rows), "");
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(Run("delete from t_doc where 单据ID=2", &rows), "");
  EXPECT_EQ(rows, 1);

  // An empty result still names its columns.
  rs = db::Runner(db_).Open(db::Sql("select 单据ID as id, 工单号码 from t_doc where 1=0"));
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->HasField("ID"));
}

TEST_F(DatabaseContractTest, TheModulesDialectRunsAfterTranslation) {
  db_.SetSetting("driver", "jet");
  ASSERT_EQ(db_.ExecScript("INSERT INTO t_doc (单据ID, progID, 进厂日期, 工单号码) VALUES "
                           "(1, 1, '2012-05-31', 'ab1'), (2, 1, '2012-06-01', 'AB2'), "
                           "(3, 1, '2012-06-15', 'xy3'), (4, 1, '2012-07-01', 'Ab4');"
                           "INSERT INTO t_line VALUES (10, 2, 5), (11, 2, NULL), (12, 3, 7);"),
            "");
  db::Runner runner(db_);
  // Dates between "#" compare as dates; table names in any case address the same table.
  EXPECT_EQ(runner.ScalarNumber(db::Sql("select count(*) from T_DOC where 进厂日期>=")
                                    .Date("2012/6/1", db_.Settings("driver"))
                                    .Raw(" and 进厂日期<#2012-7-1#")),
            2);
  EXPECT_EQ(runner.ScalarNumber(" SELECT TOP 1 单价 from t_doc A left join T_LINE B on "
                                "A.单据ID=B.单据ID where B.单价 is not null order by "
                                "B.单据明细ID desc"),
            7);
  auto rs = runner.Open(
      "select 单据明细ID, iif(isnull(单价),0,单价) as p1, isnull(单价,-1) as p2 from t_line "
      "where 单据ID in (select top 1 单据ID from t_doc where 进厂日期>=#2012-06-01# order by "
      "单据ID) order by 单据明细ID");
  ASSERT_EQ(rs->RecordCount(), 2) << db_.LastError();
  rs->Move(1);
  EXPECT_EQ(rs->Long("单据明细ID"), 11);
  EXPECT_EQ(rs->Number("p1"), 0);
  EXPECT_EQ(rs->Number("p2"), -1);
  // Names come back spelled as the statement writes them, not folded: grids show them.
  auto spelled =
      runner.Open("select 单据明细ID, 单据ID As Key_Id, 单价 as \"MixedQuoted\" from T_LINE");
  ASSERT_EQ(spelled->FieldCount(), 3) << db_.LastError();
  EXPECT_EQ(spelled->FieldName(0), "单据明细ID");
  EXPECT_EQ(spelled->FieldName(1), "Key_Id");
  EXPECT_EQ(spelled->FieldName(2), "MixedQuoted");
  // LIKE ignores case as the desktop dialect does; a date or a number matches as its text; a
  // literal holding the word "like" is left alone.
  struct Case {
    const char* condition;
    int count;
  };
  for (const Case& c : {Case{"工单号码 like 'ab%'", 3}, Case{"工单号码 not like '%B%'", 1},
                        Case{"进厂日期 like '2012-06%'", 2}, Case{"A.单据ID like '%3'", 1},
                        Case{"'like it' || 工单号码 = 'like itxy3'", 1}}) {
    EXPECT_EQ(runner.ScalarNumber(
                  db::Sql("select count(*) from t_doc A where " + std::string(c.condition))),
              c.count)
        << c.condition;
  }
  EXPECT_EQ(db_.LastError(), "");
}

TEST_F(DatabaseContractTest, FailuresSetLastErrorUntilTheNextSuccess) {
  auto command = db_.CreateCommand("insert into no_such_table values (1)", 1);
  command->Execute();
  EXPECT_NE(db_.LastError().find("no_such_table"), std::string::npos) << db_.LastError();
  // The engine's own words, without the server's "ERROR:" decoration.
  EXPECT_EQ(db_.LastError().find("ERROR"), std::string::npos) << db_.LastError();
  EXPECT_EQ(command->RowsAffected(), 0);
  db_.CreateCommand("select 1", 1)->GetValue();
  EXPECT_EQ(db_.LastError(), "");

  // A constraint failure, reported by the run rather than the preparation.
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (1)"), "");
  EXPECT_NE(Run("insert into t_doc (单据ID) values (1)"), "");
  EXPECT_EQ(Run("insert into t_doc (单据ID) values (2)"), "");

  // Failed reads answer nothing: Null and an empty closed record set.
  EXPECT_TRUE(db_.CreateCommand("select nope from t_doc", 1)->GetValue().IsNull());
  EXPECT_NE(db_.LastError(), "");
  auto rs = db_.CreateCommand("select nope from t_doc", 1)->OpenRecordset();
  ASSERT_NE(rs, nullptr);
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(rs->RecordCount(), 0);

  // Several statements in one text are refused whole; a closing ";" with blanks or a comment
  // after it is still one. A "?" without a value or a "#" that is no date never runs as Null.
  struct Case {
    const char* sql;
    bool runs;
  };
  for (const Case& c :
       {Case{"insert into t_doc (单据ID) values (3); delete from t_doc", false},
        Case{"insert into t_doc (单据ID) values (5); -- done\n ", true},
        Case{"update t_doc set 说明=? where 单据ID=1", false},
        Case{"update t_doc set 说明='x' where 进厂日期=#abc", false}, Case{"", false}}) {
    EXPECT_EQ(Run(c.sql).empty(), c.runs) << c.sql;
  }
  EXPECT_EQ(Ids(), "1,2,5");
  EXPECT_EQ(Scalar("select count(*) from t_doc where 说明 is not null").ToLong(), 0);
  // The server refuses a text that is no date for a date column; SQLite stores any text.
  EXPECT_EQ(Run("update t_doc set 进厂日期='' where 单据ID=1").empty(), !host_.OnPostgres());
}

TEST_F(DatabaseContractTest, BindsValuesToPlaceholdersAndReportsEachCommandsOwnError) {
  // Every kind of value arrives as itself, whatever the column's type: a text with quotes and
  // wildcards, a date as text, a long beyond 32 bits, a real, Null.
  auto insert = db_.CreateCommand(
      "insert into t_doc (单据ID, progID, 工单号码, 进厂日期, 金额, 说明) values (?, ?, ?, ?, ?, "
      "?)",
      1);
  const db::Value values[] = {db::Value(int64_t{7}),
                              db::Value(int64_t{9000000000}),
                              db::Value("O'Brien -- %_\\"),
                              db::Value("2012-06-01"),
                              db::Value(12.5),
                              db::Value()};
  for (int i = 0; i < 6; ++i) insert->Bind(i + 1, values[i]);
  insert->Execute();
  ASSERT_EQ(insert->Error(), "");
  EXPECT_EQ(insert->RowsAffected(), 1);

  auto read = db_.CreateCommand(
      "select progID, 工单号码, 金额, 说明 from t_doc where 工单号码 = ? and 单据ID = ? and "
      "进厂日期 >= ?",
      1);
  read->Bind(2, db::Value(int64_t{7}));  // bound out of order on purpose
  read->Bind(1, db::Value("O'Brien -- %_\\"));
  read->Bind(3, db::Value("2012-05-31"));
  auto rs = read->OpenRecordset();
  ASSERT_EQ(read->Error(), "");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Field("progID"), db::Value(int64_t{9000000000}));
  EXPECT_EQ(rs->Text("工单号码"), "O'Brien -- %_\\");
  EXPECT_EQ(rs->Field("金额"), db::Value(12.5));
  EXPECT_TRUE(rs->Field("说明").IsNull());
  ASSERT_EQ(Run("update t_doc set 金额 = 3 where 单据ID = 7"), "");
  EXPECT_EQ(read->OpenRecordset()->Number("金额"), 3) << "the same command runs again";

  // The placeholders keep their order through iif and TOP; a real keeps its fraction where the
  // server would read the CASE as whole numbers; a "?" in a literal is no placeholder.
  auto mixed = db_.CreateCommand("select top 1 iif(单据ID = ?, ?, 0), '?' from t_doc", 1);
  mixed->Bind(1, db::Value(int64_t{7}));
  mixed->Bind(2, db::Value(0.1));
  rs = mixed->OpenRecordset();
  ASSERT_EQ(mixed->Error(), "");
  EXPECT_EQ(rs->Field(0), db::Value(0.1));
  EXPECT_EQ(rs->Field(1), db::Value("?"));

  // A placeholder left unbound, a value past the last placeholder, a position below 1 and a
  // named parameter all fail the run instead of running with Null.
  struct Case {
    const char* sql;
    std::vector<int> positions;
    const char* error;
  };
  const Case refused[] = {
      {"update t_doc set 说明 = ? where 单据ID = ?", {2}, "placeholder 1"},
      {"update t_doc set 说明 = ? where 单据ID = ?", {1}, ""},
      {"update t_doc set 说明 = ?", {1, 2}, ""},
      {"update t_doc set 说明 = ?", {0, 1}, ""},
      {"update t_doc set 说明 = :x", {1}, ""},
  };
  std::unique_ptr<db::ICommand> last;
  for (const Case& c : refused) {
    last = db_.CreateCommand(c.sql, 1);
    for (int position : c.positions) last->Bind(position, db::Value(int64_t{7}));
    last->Execute();
    EXPECT_NE(last->Error(), "") << c.sql;
    EXPECT_NE(last->Error().find(c.error), std::string::npos) << last->Error();
  }
  // Each command keeps its own outcome; LastError mirrors whichever ran last.
  EXPECT_EQ(db_.LastError(), last->Error());
  EXPECT_TRUE(Scalar("select 说明 from t_doc where 单据ID = 7").IsNull());
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_NE(last->Error(), "");
  EXPECT_EQ(read->Error(), "");
}

TEST_F(DatabaseContractTest, TransactionsCommitRollBackAndNest) {
  db_.BeginTrans();
  EXPECT_TRUE(db_.InTransaction());
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (9)"), "");
  db_.RollbackTrans();
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_FALSE(db_.InTransaction());
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (1)"), "");
  db_.CommitTrans();
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(Ids(), "1");

  // Nested levels: an inner rollback undoes only its own work; the outer commit keeps the rest.
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (2)"), "");
  db_.BeginTrans();
  EXPECT_EQ(db_.LastError(), "");
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (3)"), "");
  db_.RollbackTrans();
  EXPECT_TRUE(db_.InTransaction());
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (4)"), "");
  db_.CommitTrans();
  EXPECT_TRUE(db_.InTransaction());
  // A failed statement undoes only itself: the server would otherwise refuse everything up to
  // the rollback, and the commit would silently roll back.
  EXPECT_NE(Run("insert into t_doc (单据ID) values (1)"), "");
  EXPECT_TRUE(Scalar("select nope from t_doc").IsNull());
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (6)"), "");
  db_.CommitTrans();
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_EQ(Ids(), "1,2,4,6");

  // Rolling back with nothing open is harmless; committing with nothing open is an error.
  db_.RollbackTrans();
  EXPECT_EQ(db_.LastError(), "");
  db_.CommitTrans();
  EXPECT_NE(db_.LastError(), "");

  // The guard the module saves with: a failed statement rolls everything back.
  {
    db::Transaction tx(db_);
    EXPECT_TRUE(tx.Run(db::Sql("insert into t_doc (单据ID) values (7)")));
    EXPECT_FALSE(tx.Run(db::Sql("insert into t_doc (单据ID) values (1)")));
    EXPECT_NE(tx.Error(), "");
  }
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(Ids(), "1,2,4,6");
}

TEST_F(DatabaseContractTest, LogSettingsAndCommandsThatOutliveTheirService) {
  EXPECT_EQ(db_.Settings("driver"), host_.OnPostgres() ? "postgresql" : "sqlite");
  // The log keeps the text as the module sent it, untranslated, and only while enabled.
  db_.EnableLog(false);
  db_.ClearLog();
  Run("insert into t_doc (单据ID) values (1)");
  EXPECT_TRUE(db_.Log().empty());
  db_.EnableLog(true);
  const std::string top = "select top 1 单据ID from t_doc where 进厂日期>=#2012-06-01#";
  db::Runner(db_).Open(db::Sql(top));
  Run("bad statement");
  EXPECT_EQ(db_.Log(), (std::vector<std::string>{top, "bad statement"}));
  db_.ClearLog();
  EXPECT_TRUE(db_.Log().empty());

  // Settings are stored as given: "Jet" is not the desktop dialect's "jet".
  db_.SetSetting("driver", "Jet");
  EXPECT_FALSE(db::Runner(db_).IsJet());

  // A command kept past its service reports that instead of touching the closed connection.
  auto other = host_.OpenSecondConnection();
  auto orphan = other->CreateCommand("select count(*) from t_doc", 1);
  other.reset();
  orphan->Execute();
  EXPECT_NE(orphan->Error(), "");
  EXPECT_TRUE(orphan->GetValue().IsNull());
  EXPECT_FALSE(orphan->OpenRecordset()->IsOpen());
}

// SQLite's own: files in WAL mode, refusals at Open, a busy database told in the shop's words
// and a read left half-done through the handle.
TEST(SqliteDatabaseTest, FilesLocksAndHandles) {
  WS_SQLITE_ONLY("SQLite's files and handle");
  TestHost host(TestHost::Storage::File);
  SqliteDatabase& db = *host.Sqlite();
  EXPECT_EQ(db::Runner(db).ScalarText("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(db::Runner(db).ScalarText("PRAGMA synchronous"), "1");  // NORMAL

  // A text file is refused with the engine's reason and the path; so is a missing folder.
  const std::string text = (host.WorkFolder() / "not_a_database.txt").string();
  {
    std::ofstream out(text);
    for (int i = 0; i < 100; ++i) out << "plain text, certainly not an SQLite database " << i;
  }
  std::string error;
  EXPECT_EQ(SqliteDatabase::Open(text, &error), nullptr);
  EXPECT_NE(error.find("not a database"), std::string::npos) << error;
  EXPECT_NE(error.find(text), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(SqliteDatabase::Open((host.WorkFolder() / "no_such_dir/x.db").string(), &error),
            nullptr);
  EXPECT_FALSE(error.empty());

  // A second user who cannot get the write lock within the busy timeout is told so, on the
  // transaction's start and on a single write alike; reading goes on.
  host.Exec("CREATE TABLE t (a INTEGER)");
  auto other = host.OpenSecondConnection();
  sqlite3_busy_timeout(dynamic_cast<SqliteDatabase&>(*other).Handle(), 50);
  db.BeginTrans();
  host.Exec("insert into t values (1)");
  other->BeginTrans();
  EXPECT_EQ(other->LastError(), kDatabaseBusyText);
  EXPECT_FALSE(other->InTransaction());
  EXPECT_EQ(db::Runner(*other).Execute("insert into t values (2)"), kDatabaseBusyText);
  EXPECT_EQ(db::Runner(*other).ScalarNumber("select count(*) from t", &error), 0);
  EXPECT_EQ(error, "");
  db.CommitTrans();
  EXPECT_EQ(db::Runner(*other).Execute("insert into t values (2)"), "");

  // Close ends a read someone left half-done through the handle; the connection stays usable.
  sqlite3_stmt* pending = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.Handle(), "select 1 union all select 2", -1, &pending, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(pending), SQLITE_ROW);
  db.Close();
  EXPECT_FALSE(sqlite3_stmt_busy(pending));
  sqlite3_finalize(pending);
  EXPECT_GT(host.Scalar("select count(*) from xt_menu").ToLong(), 0);
}

// The server's own: URLs refused at Open, a dropped connection made again with the session's
// settings, and a lock not waited for forever.
TEST(PostgresDatabaseTest, UrlsDroppedConnectionsAndLockTimeouts) {
  std::string error;
  EXPECT_EQ(PostgresDatabase::Open("shop.db", &error), nullptr);
  EXPECT_NE(error.find("not a postgresql:// URL"), std::string::npos) << error;
  EXPECT_EQ(PostgresDatabase::Open("postgresql:///shop?host=/nonexistent/ws_socket_dir", &error),
            nullptr);
  EXPECT_NE(error.find("cannot connect to postgresql:///shop"), std::string::npos) << error;
  if (!test::PostgresUnderTest()) GTEST_SKIP() << "the rest needs the server";
  testing::PostgresScratch scratch;
  WS_REQUIRE_POSTGRES(scratch);
  auto db = scratch.Connect();
  auto admin = scratch.Connect();
  ASSERT_TRUE(db && admin) << scratch.Error();
  auto run = [&](const std::string& sql) { return db::Runner(*db).Execute(db::Sql(sql)); };
  ASSERT_EQ(run("CREATE TABLE t_doc (单据ID BIGINT PRIMARY KEY, 进厂日期 DATE, 说明 TEXT)"), "");
  ASSERT_EQ(run("insert into t_doc (单据ID) values (1)"), "");
  auto dropConnection = [&] {
    std::string pid = db::Runner(*db).ScalarText("select pg_backend_pid()");
    ASSERT_EQ(db::Runner(*admin).ScalarText(db::Sql("select pg_terminate_backend(" + pid + ")")),
              "1");
  };
  // The statement that meets the dropped connection fails; the next runs on a new connection
  // with the session's settings: the schema of the URL, dates as yyyy-mm-dd.
  dropConnection();
  EXPECT_NE(run("insert into t_doc (单据ID) values (2)"), "");
  EXPECT_EQ(run("insert into t_doc values (3, '2012-06-01', '')"), "");
  EXPECT_EQ(db::Runner(*db).ScalarText("select 进厂日期 from t_doc where 单据ID=3"), "2012-06-01");
  // A transaction open when the connection dropped is lost: its commit says so.
  db->BeginTrans();
  ASSERT_EQ(run("insert into t_doc (单据ID) values (4)"), "");
  dropConnection();
  EXPECT_NE(run("insert into t_doc (单据ID) values (5)"), "");
  db->CommitTrans();
  EXPECT_NE(db->LastError(), "");
  EXPECT_EQ(db::Runner(*db).ScalarNumber("select sum(单据ID) from t_doc"), 4);

  // Another user's open save holds its rows; a statement that needs them gives up after the
  // lock timeout (5 s by default, shortened here through the URL's own options) instead of
  // hanging the user's window.
  EXPECT_EQ(db::Runner(*db).ScalarText("show lock_timeout"), "5s");
  auto other = scratch.Connect(" -c lock_timeout=100ms");
  ASSERT_NE(other, nullptr) << scratch.Error();
  db->BeginTrans();
  ASSERT_EQ(run("update t_doc set 说明='mine' where 单据ID=1"), "");
  error = db::Runner(*other).Execute("update t_doc set 说明='theirs' where 单据ID=1");
  EXPECT_NE(error.find("lock timeout"), std::string::npos) << error;
  db->CommitTrans();
  EXPECT_EQ(db::Runner(*other).ScalarText("select 说明 from t_doc where 单据ID=1"), "mine");
}

}  // namespace
}  // namespace ws::platform
