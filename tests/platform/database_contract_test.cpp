// What the module may count on from either database service: values of every kind in and out,
// the desktop dialect translated, placeholders refused, errors, nested transactions and a
// second user's view. The program runs once per engine; the cases at the end are the
// engines' own (opening, locks, a dropped connection, the server's plans of the pickers, SQLite's
// log copied back) and the translation of the dialect, statement by statement.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "framework/line_price.h"
#include "framework/picker_control.h"
#include "pickers/master_picker.h"
#include "platform/postgres_database.h"
#include "platform/sql_translator.h"
#include "platform/sqlite_database.h"
#include "platform/wal_checkpointer.h"
#include "reports/receivables_age.h"
#include "requisition/stock_posting.h"
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
  EXPECT_TRUE(rs->Field("progid").IsInteger());
  EXPECT_EQ(rs->Long("PROGID"), 200011);
  EXPECT_TRUE(rs->Field("金额").IsReal());
  EXPECT_DOUBLE_EQ(rs->Number("金额"), 12.5);
  EXPECT_EQ(rs->Text("说明"), "O'Brien");
  EXPECT_EQ(rs->Text("进厂日期"), "2012-06-01");
  rs->MoveNext();
  EXPECT_TRUE(rs->Field("金额").IsNull());

  // Numbers come back of the kind the embedded engine gives: a sum of whole numbers (numeric on
  // the server) and a count are whole, a real stays real, a comparison is 0/1.
  const std::pair<const char*, db::Value> kinds[] = {
      {"select sum(progID) from t_doc", db::Value(int64_t{400022})},
      {"select count(*) from t_doc", db::Value(int64_t{2})},
      {"select sum(金额) * 2 from t_doc", db::Value(25.0)},
      {"select 1 = 1", db::Value(int64_t{1})},
      // GetValue: the first column of the first row; Null when there is no row.
      {"select 工单号码, 单据ID from t_doc order by 单据ID desc", db::Value("W002")},
      {"select 工单号码 from t_doc where 单据ID=99", db::Value()},
  };
  for (const auto& [sql, value] : kinds) EXPECT_EQ(Scalar(sql), value) << sql;
  if (host_.OnPostgres()) {
    // A NUMERIC keeps every digit (no double on the way), without the scale's trailing zeros.
    const std::pair<const char*, db::Value> numerics[] = {
        {"select 7.2500::numeric(19,4)", db::Value(db::DecimalNumber{"7.25"})},
        {"select 99999999999.9999::numeric", db::Value(db::DecimalNumber{"99999999999.9999"})},
        {"select -3.000::numeric", db::Value(int64_t{-3})}};
    for (const auto& [sql, value] : numerics) EXPECT_EQ(Scalar(sql), value) << sql;
  }

  // RowsAffected counts the statement's own rows, not those of the statement before it.
  for (const auto& [sql, count] : {std::pair{"update t_doc set 说明='x' where progID=200011", 2},
                                   {"create table other (a int)", 0},
                                   {"delete from t_doc where 单据ID=2", 1}}) {
    EXPECT_EQ(Run(sql, &rows), "");
    EXPECT_EQ(rows, count) << sql;
  }
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
  // LIKE ignores case as the desktop dialect does; a date or a number matches as its text; a
  // literal holding the word "like" is left alone.
  for (const auto& [condition, count] : {std::pair{"工单号码 like 'ab%'", 3},
                                         {"工单号码 not like '%B%'", 1},
                                         {"进厂日期 like '2012-06%'", 2},
                                         {"A.单据ID like '%3'", 1},
                                         {"'like it' || 工单号码 = 'like itxy3'", 1}}) {
    EXPECT_EQ(runner.ScalarNumber(
                  db::Sql("select count(*) from t_doc A where " + std::string(condition))),
              count)
        << condition;
  }
  EXPECT_EQ(db_.LastError(), "");
}

TEST_F(DatabaseContractTest, FailuresSetLastErrorUntilTheNextSuccess) {
  auto command = db_.CreateCommand("insert into no_such_table values (1)", 1);
  command->Execute();
  EXPECT_NE(db_.LastError().find("no_such_table"), std::string::npos) << db_.LastError();
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
  for (const auto& [sql, runs] :
       {std::pair{"insert into t_doc (单据ID) values (3); delete from t_doc", false},
        {"insert into t_doc (单据ID) values (5); -- done\n ", true},
        {"update t_doc set 说明=? where 单据ID=1", false},
        {"update t_doc set 说明='x' where 进厂日期=#abc", false},
        {"", false}}) {
    EXPECT_EQ(Run(sql).empty(), runs) << sql;
  }
  EXPECT_EQ(Ids(), "1,2,5");
  EXPECT_EQ(Scalar("select count(*) from t_doc where 说明 is not null").ToLong(), 0);
  // The server refuses a text that is no date for a date column; SQLite stores any text.
  EXPECT_EQ(Run("update t_doc set 进厂日期='' where 单据ID=1").empty(), !host_.OnPostgres());
}

// The engines may keep statements prepared by their text: a text run again sees its own
// values, the table as it is now, and is refused again when it was refused.
TEST_F(DatabaseContractTest, ATextRunAgainSeesItsValuesAndTheTableAsItIsNow) {
  ASSERT_EQ(Run("insert into t_doc (单据ID, 说明) values (1, 'a'), (2, 'b')"), "");
  const std::string byId = "select 说明 from t_doc where 单据ID = ?";
  for (const auto& [id, expected] : {std::pair{1, "a"}, {2, "b"}, {3, ""}, {1, "a"}}) {
    auto command = db_.CreateCommand(byId, 1);
    command->Bind(1, db::Value(int64_t{id}));
    EXPECT_EQ(command->GetValue().ToText(), expected) << id;
  }
  auto unbound = db_.CreateCommand(byId, 1);
  unbound->GetValue();
  EXPECT_NE(unbound->Error(), "") << "the last run's value is not kept for the next";

  const std::string all = "select * from t_doc where 单据ID = 1";
  const int before = db_.CreateCommand(all, 1)->OpenRecordset()->FieldCount();
  ASSERT_EQ(Run("ALTER TABLE t_doc ADD COLUMN 备注 TEXT"), "");
  EXPECT_EQ(db_.CreateCommand(all, 1)->OpenRecordset()->FieldCount(), before + 1);

  for (int run = 0; run < 2; ++run) {
    EXPECT_NE(Run("delete from t_doc where 单据ID = 1; delete from t_doc"), "") << run;
  }
  EXPECT_EQ(Ids(), "1,2");
}

TEST_F(DatabaseContractTest, PlaceholdersLeftOpenOrNamedFailTheRun) {
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (7)"), "");
  // A placeholder left unbound, a value past the last placeholder, a position below 1 and a
  // named parameter all fail the run instead of running with Null.
  // The statement, the positions bound and a part of the refusal.
  const std::tuple<const char*, std::vector<int>, const char*> refused[] = {
      {"update t_doc set 说明 = ? where 单据ID = ?", {2}, "placeholder 1"},
      {"update t_doc set 说明 = ? where 单据ID = ?", {1}, ""},
      {"update t_doc set 说明 = ?", {1, 2}, ""},
      {"update t_doc set 说明 = ?", {0, 1}, ""},
      {"update t_doc set 说明 = :x", {1}, ""},
  };
  for (const auto& [sql, positions, error] : refused) {
    auto last = db_.CreateCommand(sql, 1);
    for (int position : positions) last->Bind(position, db::Value(int64_t{7}));
    last->Execute();
    EXPECT_NE(last->Error(), "") << sql;
    EXPECT_NE(last->Error().find(error), std::string::npos) << last->Error();
  }
  EXPECT_TRUE(Scalar("select 说明 from t_doc where 单据ID = 7").IsNull());
}

TEST_F(DatabaseContractTest, TransactionsCommitRollBackAndNest) {
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (1)"), "");

  // Nested levels: an inner rollback undoes only its own work; the outer commit keeps the rest.
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (2)"), "");
  db_.BeginTrans();
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

  // The guard the module saves with: a failed statement rolls everything back.
  {
    db::Transaction tx(db_);
    EXPECT_TRUE(tx.Run(db::Sql("insert into t_doc (单据ID) values (7)")));
    EXPECT_FALSE(tx.Run(db::Sql("insert into t_doc (单据ID) values (1)")));
    EXPECT_NE(tx.Error(), "");
  }
  EXPECT_FALSE(db_.InTransaction());
  EXPECT_EQ(Ids(), "1,2,4,6");

  // The guard inside an open transaction: its failed statement (and its row lock) go with its
  // own level, and the outer work goes on and commits.
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (8)"), "");
  {
    db::Transaction tx(db_);
    EXPECT_TRUE(tx.LockRow("t_doc", "单据ID", 8));
    EXPECT_TRUE(tx.Run(db::Sql("insert into t_doc (单据ID) values (9)")));
    EXPECT_FALSE(tx.Run(db::Sql("insert into t_doc (单据ID) values (1)")));
    EXPECT_FALSE(tx.Run(db::Sql("insert into t_doc (单据ID) values (10)")));
  }
  ASSERT_EQ(Run("update t_doc set 说明='kept' where 单据ID=8"), "");
  db_.CommitTrans();
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_EQ(Ids(), "1,2,4,6,8");
  EXPECT_EQ(Scalar("select 说明 from t_doc where 单据ID=8").ToText(), "kept");
}

// A query read from the cursor in chunks: every row once, in order, the names with every
// chunk, the last chunk marked (empty when the rows filled the chunks); a sink that says stop
// ends the statement without a failure and the connection goes on; a failure is the
// statement's error; inside a transaction the rows come the same way.
TEST_F(DatabaseContractTest, QueriesStreamInChunksAndStopWhenTheSinkSaysSo) {
  ASSERT_EQ(Run("insert into t_doc (单据ID, 工单号码, 说明) "
                "select 1000 + n, 'W' || n, case when n % 3 = 0 then null else '同' end "
                "from (select 0 as n union all select 1 union all select 2 union all select 3 "
                "union all select 4 union all select 5 union all select 6) d"),
            "");
  struct Read {
    std::vector<int64_t> ids;
    std::vector<std::pair<int64_t, bool>> chunks;  // rows, complete
    std::string names;
    int nulls = 0;
  };
  auto stream = [&](const std::string& sql, size_t chunkRows, size_t stopAfter, Read& read,
                    bool* stopped) {
    auto take = [&](db::Recordset& chunk, bool complete) {
      if (chunk.FieldCount() > 0) read.names = chunk.FieldName(0) + "," + chunk.FieldName(2);
      for (chunk.MoveFirst(); !chunk.Eof(); chunk.MoveNext()) {
        read.ids.push_back(chunk.Long("单据ID"));
        read.nulls += chunk.Field("说明").IsNull() ? 1 : 0;
      }
      // Heartbeats (empty, not last) may come any time: only chunks with rows count.
      if (chunk.RecordCount() > 0 || complete)
        read.chunks.emplace_back(chunk.RecordCount(), complete);
      return read.chunks.size() < stopAfter;
    };
    return db::Runner(db_).Stream(db::Sql(sql), chunkRows, take, stopped);
  };
  const std::string query = "select 单据ID, 工单号码, 说明 from t_doc order by 单据ID";
  const std::vector<int64_t> all = {1000, 1001, 1002, 1003, 1004, 1005, 1006};
  // Rows a chunk, whether in a transaction, and the chunks (rows, complete) that come.
  const std::tuple<size_t, bool, std::vector<std::pair<int64_t, bool>>> cases[] = {
      {3, false, {{3, false}, {3, false}, {1, true}}},
      {7, false, {{7, false}, {0, true}}},
      {100, true, {{7, true}}},
      {2, true, {{2, false}, {2, false}, {2, false}, {1, true}}},
  };
  for (const auto& [chunkRows, inTransaction, chunks] : cases) {
    if (inTransaction) db_.BeginTrans();
    Read read;
    bool stopped = true;
    EXPECT_EQ(stream(query, chunkRows, SIZE_MAX, read, &stopped), "");
    EXPECT_FALSE(stopped);
    EXPECT_EQ(read.ids, all) << chunkRows;
    EXPECT_EQ(read.chunks, chunks) << chunkRows;
    EXPECT_EQ(read.nulls, 3);
    EXPECT_EQ(read.names, "单据ID,说明");
    if (inTransaction) db_.CommitTrans();
  }

  Read stoppedRead;
  bool stopped = false;
  EXPECT_EQ(stream(query, 2, 2, stoppedRead, &stopped), "");
  EXPECT_TRUE(stopped);
  EXPECT_EQ(stoppedRead.ids, (std::vector<int64_t>{1000, 1001, 1002, 1003}));
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_EQ(Scalar("select count(*) from t_doc"), db::Value(int64_t{7}))
      << "the connection goes on after a stopped statement";

  // The text being streamed, read whole from inside the sink and streamed again after it, has a
  // statement of its own each time: a kept statement is never one still being stepped.
  std::vector<int64_t> inside;
  auto reread = [&](db::Recordset&, bool) {
    if (inside.empty()) inside.push_back(Scalar(query).ToLong());
    return true;
  };
  EXPECT_EQ(db::Runner(db_).Stream(db::Sql(query), 3, reread, &stopped), "");
  EXPECT_EQ(inside, std::vector<int64_t>{1000});
  Read again;
  EXPECT_EQ(stream(query, 3, SIZE_MAX, again, &stopped), "");
  EXPECT_EQ(again.ids, all);

  Read empty;
  EXPECT_EQ(stream("select 单据ID, 工单号码, 说明 from t_doc where 单据ID < 0", 5, SIZE_MAX, empty,
                   &stopped),
            "");
  EXPECT_EQ(empty.chunks, (std::vector<std::pair<int64_t, bool>>{{0, true}}));
  EXPECT_EQ(empty.names, "单据ID,说明") << "an empty result still names its columns";

  Read failed;
  EXPECT_NE(stream("select nope from t_doc", 5, SIZE_MAX, failed, &stopped), "");
  EXPECT_FALSE(stopped);
  EXPECT_NE(db_.LastError(), "");
  EXPECT_TRUE(failed.ids.empty());
}

// Writes the guard sends without waiting for them (a server holds them back to go with the
// next statement): what they wrote is seen by what follows, and a failure fails the whole unit
// in the write's own words, however late it is told.
TEST_F(DatabaseContractTest, SentWritesFailTheirWholeUnitInTheirOwnWords) {
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (1)"), "");
  const db::Sql duplicate("insert into t_doc (单据ID) values (1)");
  std::string refusal;
  {
    db::Transaction tx(db_);
    EXPECT_FALSE(tx.Run(duplicate));
    refusal = tx.Error();
  }
  ASSERT_NE(refusal, "");
  {
    db::Transaction tx(db_);
    EXPECT_TRUE(tx.Send(db::Sql("insert into t_doc (单据ID) values (2)")));
    EXPECT_TRUE(tx.LockRow("t_doc", "单据ID", 2));
    EXPECT_EQ(tx.Db().ScalarText("select count(*) from t_doc"), "2");
    EXPECT_TRUE(tx.Send(db::Sql("update t_doc set 说明='sent' where 单据ID=2")));
    EXPECT_TRUE(tx.Commit()) << tx.Error();
  }
  EXPECT_EQ(Scalar("select 说明 from t_doc where 单据ID=2").ToText(), "sent");
  // Outside a unit there is nothing to travel with: the write runs at once and tells.
  db::Runner unheld(db_, db::IDatabase::kCommandTextHeldBack);
  EXPECT_EQ(unheld.Execute(db::Sql("update t_doc set 说明='alone' where 单据ID=2")), "");
  EXPECT_EQ(Scalar("select 说明 from t_doc where 单据ID=2").ToText(), "alone");
  EXPECT_EQ(unheld.Execute(duplicate), refusal);

  // Told by the next statement of the unit, or else by the commit.
  for (bool readAfter : {true, false}) {
    db::Transaction tx(db_);
    tx.Send(db::Sql("insert into t_doc (单据ID) values (3)"));
    tx.Send(duplicate);
    if (readAfter) {
      std::string error;
      tx.Db().Scalar(db::Sql("select count(*) from t_doc"), &error);
      if (host_.OnPostgres()) {
        EXPECT_EQ(error, refusal);
      }
      EXPECT_FALSE(tx.Run(db::Sql("insert into t_doc (单据ID) values (4)")));
    }
    EXPECT_FALSE(tx.Commit());
    EXPECT_EQ(tx.Error(), refusal) << readAfter;
    EXPECT_FALSE(db_.InTransaction());
  }
  // A unit rolled back before anything reached the server.
  {
    db::Transaction tx(db_);
    tx.Send(db::Sql("insert into t_doc (单据ID) values (5)"));
  }
  EXPECT_EQ(Ids(), "1,2");

  // Inside an open transaction the failure goes with the guard's own level only.
  db_.BeginTrans();
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (6)"), "");
  {
    db::Transaction tx(db_);
    tx.Send(db::Sql("insert into t_doc (单据ID) values (7)"));
    tx.Send(duplicate);
  }
  ASSERT_EQ(Run("insert into t_doc (单据ID) values (8)"), "");
  db_.CommitTrans();
  EXPECT_EQ(db_.LastError(), "");
  EXPECT_EQ(Ids(), "1,2,6,8");

  // A unit committed with its last read: the read sees the unit's writes; a write or the read
  // failing leaves nothing committed and tells why.
  const std::tuple<const char*, bool, std::string> lastReads[] = {
      {"select count(*) from t_doc", false, ""},
      {"select count(*) from t_missing", false, "t_missing"},
      {"select count(*) from t_doc", true, refusal}};
  for (const auto& [read, failingWrite, error] : lastReads) {
    db::Transaction tx(db_);
    tx.Send(db::Sql("insert into t_doc (单据ID) values (9)"));
    if (failingWrite) tx.Send(duplicate);
    std::shared_ptr<db::Recordset> rows;
    EXPECT_EQ(tx.CommitReading(db::Sql(read), &rows), error.empty()) << read;
    EXPECT_FALSE(db_.InTransaction());
    if (error.empty()) {
      EXPECT_EQ(rows->Field(0).ToLong(), 5);
      EXPECT_EQ(Ids(), "1,2,6,8,9");
      ASSERT_EQ(Run("delete from t_doc where 单据ID=9"), "");
    } else {
      EXPECT_EQ(Ids(), "1,2,6,8");
      EXPECT_NE(tx.Error().find(error), std::string::npos) << tx.Error();
    }
  }
}

// SQLite's own: files in WAL mode and a busy database told in the shop's words.
TEST(SqliteDatabaseTest, FilesLocksAndHandles) {
  WS_SQLITE_ONLY("SQLite's files and handle");
  TestHost host(TestHost::Storage::File);
  SqliteDatabase& db = *host.Sqlite();
  EXPECT_EQ(db::Runner(db).ScalarText("PRAGMA journal_mode"), "wal");

  // A second user who cannot get the write lock within the busy timeout is told so, on the
  // transaction's start and on a single write alike; reading goes on.
  host.Exec("CREATE TABLE t (a INTEGER)");
  std::string error;
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

  // A connection that closes leaves the planner true figures of what it read: 3,000 orders of
  // one program are 3,000 per program, not the thousand a bounded sample would claim.
  host.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
      "INSERT INTO WSDJ (单据ID, progid) SELECT i, 200001 FROM n");
  EXPECT_EQ(db::Runner(*other).ScalarNumber(
                "select count(*) from WSDJ where progid=200001 and 单据ID>10", &error),
            2990);
  other.reset();
  EXPECT_EQ(db::Runner(db).ScalarText("select stat from sqlite_stat1 where idx='ix_wsdj_keyset'"),
            "3000 3000 1 1");
}

// The server ends the connection of `db` as an administrator may.
void DropConnection(PostgresDatabase& db, PostgresDatabase& admin) {
  const std::string pid = db::Runner(db).ScalarText("select pg_backend_pid()");
  ASSERT_EQ(db::Runner(admin).ScalarText(db::Sql("select pg_terminate_backend(" + pid + ")")), "1");
}

// The server's own: URLs refused at Open, a dropped connection made again with the session's
// settings, and a lock not waited for forever.
TEST(PostgresUrlTest, RefusedAtOpenWithTheReason) {
  std::string error;
  auto notUrl = PostgresDatabase::Open("shop.db");
  EXPECT_FALSE(notUrl);
  EXPECT_EQ(notUrl.Value(), nullptr);
  EXPECT_NE(notUrl.Error().find("not a postgresql:// URL"), std::string::npos) << notUrl.Error();
  auto noServer = PostgresDatabase::Open("postgresql:///shop?host=/nonexistent/ws_socket_dir");
  EXPECT_FALSE(noServer);
  EXPECT_NE(noServer.Error().find("cannot connect to postgresql:///shop"), std::string::npos)
      << noServer.Error();
  EXPECT_TRUE(ServerUnavailable(noServer.Error())) << noServer.Error();
}

// What a login page makes of a failed connection: the server's absence is not a wrong password.
TEST(PostgresUrlTest, TheServersAbsenceIsToldFromARefusedLogin) {
  const std::string lead =
      "cannot connect to postgresql:///shop: connection to server on socket "
      "\"/run/postgresql/.s.PGSQL.5432\" failed: ";
  const std::pair<const char*, bool> cases[] = {
      {"FATAL:  sorry, too many clients already", true},
      {"FATAL:  remaining connection slots are reserved for non-replication superuser "
       "connections",
       true},
      {"FATAL:  the database system is starting up", true},
      {"FATAL:  the database system is shutting down", true},
      {"Connection refused\n\tIs the server running locally?", true},
      {"FATAL:  password authentication failed for user \"zhang\"", false},
      {"FATAL:  role \"zhang\" does not exist", false},
      {"FATAL:  role \"zhang\" is not permitted to log in", false},
  };
  for (const auto& [text, unavailable] : cases) {
    EXPECT_EQ(ServerUnavailable(lead + text), unavailable) << text;
  }
}

// A scratch schema on the server with two connections to it: the test's own and a second
// user's (or an administrator's).
class PostgresDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::PostgresUnderTest()) GTEST_SKIP() << "needs the server";
    scratch_.emplace();
    WS_REQUIRE_POSTGRES(*scratch_);
    db_ = scratch_->Connect();
    second_ = scratch_->Connect();
    ASSERT_TRUE(db_ && second_) << scratch_->Error();
  }

  std::optional<testing::PostgresScratch> scratch_;
  std::unique_ptr<PostgresDatabase> db_, second_;
};

TEST_F(PostgresDatabaseTest, DroppedConnectionsAndLockTimeouts) {
  auto& db = db_;
  auto& admin = second_;
  std::string error;
  auto run = [&](const std::string& sql) { return db::Runner(*db).Execute(db::Sql(sql)); };
  ASSERT_EQ(run("CREATE TABLE t_doc (单据ID BIGINT PRIMARY KEY, 进厂日期 DATE, 说明 TEXT)"), "");
  ASSERT_EQ(run("insert into t_doc (单据ID) values (1)"), "");
  auto dropConnection = [&] { DropConnection(*db, *admin); };
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
  auto other = scratch_->Connect(" -c lock_timeout=100ms");
  ASSERT_NE(other, nullptr) << scratch_->Error();
  db->BeginTrans();
  ASSERT_EQ(run("update t_doc set 说明='mine' where 单据ID=1"), "");
  error = db::Runner(*other).Execute("update t_doc set 说明='theirs' where 单据ID=1");
  EXPECT_EQ(error, kDatabaseBusyText);
  // One told not to wait waits 1 ms, in a transaction or not, and tells busy from refused.
  other->BeginTrans();
  db::Runner noWait(*other, db::IDatabase::kCommandTextNoWait);
  bool busy = false;
  EXPECT_NE(noWait.Execute(db::Sql("delete from t_doc where 单据ID=1"), nullptr, &busy), "");
  EXPECT_TRUE(busy);
  EXPECT_NE(noWait.Execute(db::Sql("insert into t_doc (单据ID) values (3)"), nullptr, &busy), "");
  EXPECT_FALSE(busy);
  for (const bool open : {true, false}) {
    EXPECT_EQ(noWait.ScalarText("select current_setting('lock_timeout')"), "1ms") << open;
    EXPECT_EQ(db::Runner(*other).ScalarText("select current_setting('lock_timeout')"), "100ms");
    if (open) other->CommitTrans();
  }
  db->CommitTrans();
  EXPECT_EQ(db::Runner(*other).ScalarText("select 说明 from t_doc where 单据ID=1"), "mine");
}

// A connection keeps the texts it ran prepared. Whatever happens to the server's copy (another
// user's change of the table's columns, a DISCARD, a new connection, a push out of the bounded
// cache) a text still runs and answers what it would unprepared; a failed preparation is not
// kept.
TEST_F(PostgresDatabaseTest, PreparedStatementsOutliveWhatHappensOnTheServer) {
  auto& db = db_;
  auto& admin = second_;
  db::Runner runner(*db);
  auto columns = [&] {
    std::string error;
    auto rs = runner.Open(db::Sql("select * from t_doc where 单据ID=").Key(1), &error);
    return error.empty() ? rs->FieldCount() : -1;
  };
  ASSERT_EQ(runner.Execute("CREATE TABLE t_doc (单据ID BIGINT PRIMARY KEY, 说明 TEXT)"), "");
  ASSERT_EQ(runner.Execute("insert into t_doc values (1, 'a')"), "");
  EXPECT_EQ(columns(), 2);
  EXPECT_EQ(columns(), 2);

  // Another user adds a column: outside a transaction, and inside one, where the work before
  // it stays (on another table, as the transaction's own use of t_doc would hold off the
  // change).
  ASSERT_EQ(db::Runner(*admin).Execute("alter table t_doc add column 备注 TEXT"), "");
  EXPECT_EQ(columns(), 3);
  ASSERT_EQ(runner.Execute("CREATE TABLE t_line (x INT)"), "");
  db->BeginTrans();
  ASSERT_EQ(runner.Execute("insert into t_line values (1)"), "");
  ASSERT_EQ(db::Runner(*admin).Execute("alter table t_doc add column 金额 NUMERIC"), "");
  EXPECT_EQ(columns(), 4);
  db->CommitTrans();
  ASSERT_EQ(db->LastError(), "");
  EXPECT_EQ(runner.ScalarText("select count(*) from t_line"), "1");

  // A text whose preparation failed runs once the table it names exists.
  const char* late = "select count(*) from t_late";
  db->BeginTrans();
  EXPECT_NE(runner.ScalarText(db::Sql(late)), "0");
  ASSERT_EQ(db::Runner(*admin).Execute("create table t_late (x int)"), "");
  EXPECT_EQ(runner.ScalarText(db::Sql(late)), "0");
  db->RollbackTrans();
  EXPECT_EQ(runner.ScalarText(db::Sql(late)), "0");

  // The server forgets every statement: DEALLOCATE ALL, then a dropped connection made again.
  ASSERT_EQ(db->ExecScript("DEALLOCATE ALL"), "");
  EXPECT_EQ(columns(), 4);
  DropConnection(*db, *admin);
  EXPECT_EQ(columns(), -1);  // meets the dropped connection
  EXPECT_EQ(columns(), 4);

  // More texts than the cache keeps: each answers its own value, and the ones pushed out are
  // freed on the server once no transaction is open.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      const std::string plus = " + " + std::to_string(i);
      ASSERT_EQ(runner.Scalar(db::Sql("select ").Key(round).Raw(plus)).ToLong(), i + round) << i;
    }
  }
  const int64_t kept =
      runner.Scalar("select count(*) from pg_prepared_statements where name like 'ws_p%'").ToLong();
  EXPECT_GT(kept, 100);
  EXPECT_LE(kept, 260);
}

// Queries read ahead reach the server with the statement that first asks for one of them; the
// others are answered from that round trip only until the connection sends anything else.
// Another user's commit in between tells a kept answer from one read afresh.
TEST_F(PostgresDatabaseTest, QueriesReadAheadAreAnsweredFromOneRoundTripNeverLater) {
  auto& db = db_;
  auto& other = second_;
  db::Runner runner(*db);
  ASSERT_EQ(runner.Execute("CREATE TABLE t_doc (单据ID BIGINT PRIMARY KEY, 说明 TEXT)"), "");
  ASSERT_EQ(runner.Execute("insert into t_doc values (1, 'a'), (2, 'b')"), "");
  auto text = [](int64_t id) { return db::Sql("select 说明 from t_doc where 单据ID=").Key(id); };
  auto set = [&](db::Runner& by, int64_t id, const std::string& value) {
    ASSERT_EQ(
        by.Execute(db::Sql("update t_doc set 说明=").Text(value).Raw(" where 单据ID=").Key(id)),
        "");
  };
  auto read = [&](int64_t id) {
    std::string error;
    std::string value = runner.ScalarText(text(id), &error);
    return error.empty() ? value : "error: " + error;
  };
  db::Runner theOther(*other);
  int round = 0;
  std::string last;
  // What comes between the run that sends the reads ahead and the run of the second one.
  struct Case {
    const char* between;
    bool inTransaction;
    bool kept;   // the second run answers what the first round trip read
    bool wrote;  // the connection counts a write of its own
  };
  for (const Case& c :
       {Case{"nothing", false, true, false}, Case{"nothing", true, true, false},
        Case{"another statement", false, false, false},
        Case{"another statement", true, false, false}, Case{"an own write", false, false, true},
        Case{"a write held back", true, false, true}, Case{"a transaction", false, false, false},
        Case{"the end of the operation", false, false, false}}) {
    const std::string between = c.between;
    const std::string before = "r" + std::to_string(++round);
    last = before + "+other";
    set(theOther, 2, before);
    if (c.inTransaction) db->BeginTrans();
    runner.ReadAhead(text(1));
    runner.ReadAhead(text(2));
    EXPECT_EQ(read(1), "a") << between;
    set(theOther, 2, last);
    const uint64_t writes = db->WritesSent();
    if (between == "another statement") {
      EXPECT_EQ(runner.ScalarText("select 1"), "1");
    }
    if (between == "an own write") set(runner, 1, "a");
    if (between == "a write held back") {
      db::Runner held(*db, db::IDatabase::kCommandTextHeldBack);
      EXPECT_EQ(held.Execute("update t_doc set 说明='a' where 单据ID=1"), "");
    }
    if (between == "a transaction") {
      db->BeginTrans();
      db->RollbackTrans();
    }
    if (between == "the end of the operation") db->Close();
    EXPECT_EQ(db->WritesSent() != writes, c.wrote) << between;
    EXPECT_EQ(read(2), c.kept ? before : last) << between << c.inTransaction;
    // Answered once: the next run reads afresh.
    EXPECT_EQ(read(2), last) << between << c.inTransaction;
    if (c.inTransaction) db->CommitTrans();
    EXPECT_EQ(db->LastError(), "");
  }

  // Only the same text with the same values is answered; a read ahead that fails leaves the
  // rest of the round trip alone, inside a transaction the transaction too, and fails its own
  // run in its own words.
  runner.ReadAhead(db::Sql("select count(*) from t_missing"));
  runner.ReadAhead(text(1));
  EXPECT_EQ(read(2), last);
  for (bool inTransaction : {false, true}) {
    if (inTransaction) db->BeginTrans();
    runner.ReadAhead(db::Sql("select count(*) from t_missing"));
    runner.ReadAhead(text(1));
    EXPECT_EQ(read(1), "a") << inTransaction;
    EXPECT_EQ(db->LastError(), "");
    set(runner, 2, "written");
    if (inTransaction) db->CommitTrans();
    EXPECT_EQ(db->LastError(), "");
    EXPECT_EQ(read(2), "written") << inTransaction;
  }
  std::string error;
  runner.Scalar(db::Sql("select count(*) from t_missing"), &error);
  EXPECT_NE(error.find("t_missing"), std::string::npos) << error;
}

// On the server a typed prefix is an ILIKE, which no b-tree serves: the catalogue gives the
// picker columns a trigram index, and the picker's own statement is answered from it.
std::string Plan(PostgresDatabase& db, const db::Sql& statement) {
  std::string error;
  auto rows = db::Runner(db).Open(db::Sql("EXPLAIN ").Append(statement), &error);
  EXPECT_EQ(error, "");
  std::string plan;
  for (; rows && !rows->Eof(); rows->MoveNext()) plan += rows->Field(0).ToText() + "\n";
  return plan;
}

TEST(PostgresPlanTest, TypedPrefixesOfPickersUseTheTrigramIndexes) {
  testing::PostgresScratch scratch;
  WS_REQUIRE_POSTGRES(scratch);
  // Two shops on one database: the second catalogue finds the extension made by the first
  // and still makes its own indexes.
  testing::PostgresScratch other;
  ASSERT_TRUE(other.Ok()) << other.Error();
  auto db = scratch.Connect();
  auto otherDb = other.Connect();
  ASSERT_NE(db, nullptr) << scratch.Error();
  ASSERT_NE(otherDb, nullptr) << other.Error();
  ASSERT_EQ(test::InstallCatalogue(*db, test::kTestLoginDate), "");
  ASSERT_EQ(test::InstallCatalogue(*otherDb, test::kTestLoginDate), "");
  auto trigramIndexes = [&](const testing::PostgresScratch& shop) {
    return db::Runner(*db).ScalarNumber(
        db::Sql("SELECT count(*) FROM pg_indexes WHERE indexname LIKE '%nocase' AND schemaname=")
            .Text(shop.Schema()));
  };
  EXPECT_GE(trigramIndexes(scratch), 4);
  EXPECT_EQ(trigramIndexes(other), trigramIndexes(scratch));
  // A small table is read whole by choice; with that choice taken away the index must serve.
  ASSERT_EQ(db->ExecScript("SET enable_seqscan = off"), "");
  const std::string plan =
      Plan(*db, framework::WithTyped(pickers::VehiclePicker().validateQuery, "京A1"));
  EXPECT_NE(plan.find("ix_clzl_plate_nocase"), std::string::npos) << plan;
  // The latest price of an item or part, walked newest first as the server does for an owner it
  // believes bought often: along the key's own lines, never along every line of the shop.
  ASSERT_EQ(db->ExecScript("SET enable_sort = off"), "");
  for (auto kind : {framework::LineKind::Items, framework::LineKind::Parts}) {
    for (std::optional<int64_t> owner : {std::optional<int64_t>(5), std::optional<int64_t>()}) {
      const std::string price =
          Plan(*db, db::Sql(framework::HistoryPriceSelect(kind, 1, 200001, owner)));
      EXPECT_NE(price.find("_line on"), std::string::npos) << price;
    }
  }
  // A requisition's check numbers each ledger row by the document's lines before its own:
  // counted along those lines by their key, not by reading every line of the document.
  const std::string ledger =
      Plan(*db, requisition::LedgerInsert(200002, 7, db->Settings("driver")));
  EXPECT_NE(ledger.find("Index Cond: ((\"单据id\" = '7'::bigint) AND (\"单据明细id\" <"),
            std::string::npos)
      << ledger;
  // Receivables by age walks every card by name, then id: an index holding both, read in its
  // order; the names' index alone left every card to be sorted.
  const std::string cards = Plan(*db, reports::CardsByName());
  EXPECT_EQ(cards.find("Sort"), std::string::npos) << cards;
  EXPECT_NE(cards.find("Index Only Scan using ix_pdmwldw_name_id"), std::string::npos) << cards;
}

void ExpectTranslations(const std::vector<std::pair<std::string, std::string>>& cases,
                        SqlTarget target = SqlTarget::Sqlite) {
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(TranslateSql(input, target), expected) << "input: " << input;
}

TEST(SqlTranslatorTest, TopBecomesLimitAtTheEndOfItsSelect) {
  ExpectTranslations({
      {"SELECT DISTINCT TOP 3 a FROM t", "SELECT DISTINCT a FROM t LIMIT 3"},
      // The outer SELECT has a subquery without TOP: its LIMIT goes after the ")".
      {"select top 1 工单号码 from wsdj where smark='02' and 单据ID in ( select 单据ID from "
       "wsdjpj where 单据明细ID=9)",
       "select 工单号码 from wsdj where smark='02' and 单据ID in ( select 单据ID from wsdjpj "
       "where 单据明细ID=9) LIMIT 1"},
      // Both levels at once.
      {"SELECT TOP 5 x FROM (SELECT TOP 10 x FROM t ORDER BY x) ORDER BY x DESC",
       "SELECT x FROM (SELECT x FROM t ORDER BY x LIMIT 10) ORDER BY x DESC LIMIT 5"},
      // The first member of a compound SELECT is wrapped; LIMIT may only end the compound.
      {"SELECT TOP 1 a FROM t UNION SELECT b FROM u",
       "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION SELECT b FROM u"},
  });
}

// What the desktop dialect would rewrite is left alone inside quotes, names and comments, and
// so are forms without a faithful translation.
TEST(SqlTranslatorTest, StatementsWithNothingToTranslateComeBackUnchanged) {
  const std::vector<std::string> statements = {
      "",
      "SELECT x FROM t WHERE y = ? AND z = :name",
      "select '#2012-06-01#', 'select top 1 x', 'isnull(a)', 'iif(a,b,c)' from t",
      "select \"isnull(a)\", [iif(a,b,c)], `top 1` from t",
      "SELECT TOP 10 PERCENT a FROM t",  // left for the engine to refuse
      "x=#2012-06-01",                   // no closing "#", or no digits: not a date
  };
  for (const std::string& sql : statements) {
    EXPECT_EQ(TranslateSql(sql, SqlTarget::Sqlite), sql);
  }
  // A LIMIT is not swallowed by a trailing line comment; a date outside quotes is translated
  // while the same text inside them is not.
  EXPECT_EQ(TranslateSql("select top 1 a from t -- isnull(x)", SqlTarget::Sqlite),
            "select a from t LIMIT 1 -- isnull(x)");
  EXPECT_EQ(TranslateSql("x=#2012-1-2# and y='#2012-1-2#'", SqlTarget::Sqlite),
            "x='2012-01-02' and y='#2012-1-2#'");
}

TEST(SqlTranslatorTest, PostgresAlsoComparesLikeWithoutCase) {
  ExpectTranslations(
      {
          {"SELECT TOP 1 a FROM t WHERE b like 'like' AND d>=#2012/6/1#",
           "SELECT a FROM t WHERE b::text ILIKE 'like' ESCAPE '' AND d>='2012-06-01' LIMIT 1"},
          // A backslash in a pattern is a backslash, as on the desktop; a pattern that names its
          // own escape character keeps it.
          {"a like '%C:\\w\\%'", "a::text ILIKE '%C:\\w\\%' ESCAPE ''"},
          {"a like '%!%%' escape '!' and b like ?",
           "a::text ILIKE '%!%%' escape '!' and b::text ILIKE $1 ESCAPE ''"},
          // A column on the left is read as text (numbers and dates match as on the desktop);
          // an expression or a literal on the left is left alone.
          {"where a.进厂日期 like '2012%' and 'x' like b and iif(c,d,e) like 'f' and (g) like 'h'",
           "where a.进厂日期::text ILIKE '2012%' ESCAPE '' and 'x' ILIKE b and CASE WHEN c THEN d "
           "ELSE e END ILIKE 'f' ESCAPE '' and (g) ILIKE 'h' ESCAPE ''"},
          {"select likes, \"like\" from t", "select likes, \"like\" from t"},
      },
      SqlTarget::Postgres);
  // SQLite's LIKE already ignores ASCII case.
  EXPECT_EQ(TranslateSql("a Like 'x%'", SqlTarget::Sqlite), "a Like 'x%'");
}

// Placeholders pass through to SQLite and are numbered for PostgreSQL in the order they were
// bound, through every rewrite; a "?" inside a literal, a quoted name or a comment is no
// placeholder.
TEST(SqlTranslatorTest, PlaceholdersAreKeptInTheirOrder) {
  const std::string escaped = "SELECT a FROM t WHERE b like ? escape '\\' AND c='?'";
  EXPECT_EQ(TranslateSql(escaped, SqlTarget::Sqlite), escaped);
  ExpectTranslations(
      {
          {escaped, "SELECT a FROM t WHERE b::text ILIKE $1 escape '\\' AND c='?'"},
          {"SELECT TOP 1 iif(a=?, ?, isnull(b, ?)) FROM t WHERE \"?\"=? -- ?\n AND d=?",
           "SELECT CASE WHEN a=$1 THEN $2 ELSE COALESCE(b, $3) END FROM t WHERE \"?\"=$4 -- ?\n "
           "AND d=$5 LIMIT 1"},
          {"SELECT TOP 2 a FROM t WHERE b=? UNION SELECT a FROM u WHERE c=?",
           "SELECT * FROM (SELECT a FROM t WHERE b=$1 LIMIT 2) UNION SELECT a FROM u WHERE c=$2"},
          // A word right after the mark would otherwise run into the number.
          {"SELECT a FROM t WHERE b=?and c=?or d=?", "SELECT a FROM t WHERE b=$1 and c=$2 or d=$3"},
      },
      SqlTarget::Postgres);
}

// The log is copied back by the checkpointer's thread, not by the clerk's commit: each batch
// past the threshold is checkpointed, the log starts again instead of growing, and nothing
// written is lost, whether the checkpointer goes away idle or just woken.
void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << message;
}

std::string Text(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  std::string value = sqlite3_step(stmt) == SQLITE_ROW
                          ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                          : "no row";
  sqlite3_finalize(stmt);
  return value;
}

// Some forty pages of the log per batch.
void WriteBatch(sqlite3* db) {
  Exec(db,
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) "
       "INSERT INTO t (b) SELECT randomblob(1500) FROM n");
}

bool WaitForDone(const WalCheckpointer& checkpointer, int64_t count) {
  for (int i = 0; i < 1000 && checkpointer.Done() < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return checkpointer.Done() >= count;
}

// A file in WAL mode with one table, opened by a connection of the test's own.
class WalCheckpointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WS_SQLITE_ONLY("SQLite's write-ahead log");
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
    Exec(db_, "PRAGMA journal_mode=WAL");
    Exec(db_, "CREATE TABLE t (b BLOB)");
  }
  void TearDown() override { sqlite3_close(db_); }

  test::TestHost host_{test::TestHost::Storage::File};
  const std::string path_ = (host_.WorkFolder() / "log.db").string();
  sqlite3* db_ = nullptr;
};

TEST_F(WalCheckpointerTest, BatchesAreCopiedBackOnItsThreadAndNothingIsLost) {
  const std::string& path = path_;
  sqlite3*& db = db_;  // closed and opened again below
  auto checkpointer = std::make_unique<WalCheckpointer>(path);
  checkpointer->Attach(db, 20);

  WriteBatch(db);
  ASSERT_TRUE(WaitForDone(*checkpointer, 1));
  const auto batch = std::filesystem::file_size(path + "-wal");
  for (int k = 2; k <= 10; ++k) {
    WriteBatch(db);
    ASSERT_TRUE(WaitForDone(*checkpointer, k)) << "batch " << k;
  }
  EXPECT_LE(std::filesystem::file_size(path + "-wal"), 2 * batch)
      << "a log copied back whole starts again from its beginning";

  // Gone right after being woken: the pending checkpoint is dropped, not run on a closed
  // connection.
  WriteBatch(db);
  WalCheckpointer::Detach(db);
  checkpointer.reset();
  sqlite3_close(db);

  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(Text(db, "select count(*) from t where length(b)=1500"), "1100");
  EXPECT_EQ(Text(db, "PRAGMA integrity_check"), "ok");
}

TEST_F(WalCheckpointerTest, WithoutAConnectionOfItsOwnTheCommitsCheckpointAsBefore) {
  WalCheckpointer checkpointer((host_.WorkFolder() / "no-folder" / "log.db").string());
  checkpointer.Attach(db_, 20);
  WriteBatch(db_);  // wakes the thread, which cannot open its connection
  for (int k = 0; k < 100 && checkpointer.Done() == 0; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    WriteBatch(db_);
  }
  EXPECT_GT(checkpointer.Done(), 0);
  const auto size = std::filesystem::file_size(path_ + "-wal");
  WriteBatch(db_);
  EXPECT_EQ(std::filesystem::file_size(path_ + "-wal"), size) << "the log starts again";
  WalCheckpointer::Detach(db_);
}

}  // namespace
}  // namespace ws::platform
