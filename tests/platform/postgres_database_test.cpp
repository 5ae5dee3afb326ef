#include "platform/postgres_database.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/catalogue.h"
#include "db/date.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/navigator.h"
#include "platform/sql_translator.h"
#include "support/postgres_scratch.h"

namespace ws::platform {
namespace {

using testing::PostgresScratch;

class PostgresDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WS_REQUIRE_POSTGRES(scratch_);
    db_ = scratch_.Connect();
    ASSERT_NE(db_, nullptr) << scratch_.Error();
    // Column names as the module writes them: mixed case (progID) folds to lower case.
    ASSERT_EQ(db_->ExecScript("CREATE TABLE wsdj (单据ID BIGINT PRIMARY KEY, progID BIGINT, "
                              "工单号码 TEXT, 进厂日期 DATE, 金额 DOUBLE PRECISION, 说明 TEXT);"
                              "CREATE TABLE wsdjxm (单据明细ID BIGINT PRIMARY KEY, 单据ID BIGINT, "
                              "单价 DOUBLE PRECISION);"),
              "");
  }

  std::string Run(const std::string& sql, int64_t* rows = nullptr) {
    return db::Runner(*db_).Execute(db::Sql(sql), rows);
  }
  db::Value Scalar(const std::string& sql) { return db::Runner(*db_).Scalar(db::Sql(sql)); }
  int64_t Count(const std::string& table) {
    return Scalar("select count(*) from " + table).ToLong();
  }
  std::string Ids() {
    return db::Runner(*db_).ScalarText(
        "select string_agg(单据ID::text, ',' order by 单据ID) from wsdj");
  }

  PostgresScratch scratch_;
  std::unique_ptr<PostgresDatabase> db_;
};

TEST(PostgresDatabaseOpenTest, RefusesWhatIsNoReachableServer) {
  std::string error;
  EXPECT_EQ(PostgresDatabase::Open("shop.db", &error), nullptr);
  EXPECT_NE(error.find("not a postgresql:// URL"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(PostgresDatabase::Open("postgresql:///shop?host=/nonexistent/ws_socket_dir", &error),
            nullptr);
  EXPECT_NE(error.find("cannot connect to postgresql:///shop"), std::string::npos) << error;
}

TEST_F(PostgresDatabaseTest, StatementsReadAndWriteValuesOfEveryKind) {
  int64_t rows = -1;
  EXPECT_EQ(Run("insert into wsdj (单据ID, progID, 工单号码, 进厂日期, 金额, 说明) values "
                "(1, 200011, 'W001', '2012-06-01', 12.5, " +
                    db::QuoteText("O'Brien") + ")",
                &rows),
            "");
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(Run("insert into wsdj (单据ID, progID, 工单号码) values (2, 200011, 'W002')"), "");

  auto rs = db::Runner(*db_).Open("SELECT WSDJ.* FROM wsdj ORDER BY 单据ID");
  ASSERT_TRUE(rs->IsOpen());
  ASSERT_EQ(rs->RecordCount(), 2);
  ASSERT_EQ(rs->FieldCount(), 6);
  // The server folds unquoted names: "progID" comes back as "progid" and is still found.
  EXPECT_EQ(rs->FieldName(1), "progid");
  EXPECT_TRUE(rs->Field("progID").IsInteger());
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

  // Numbers come back as numbers of the kind the embedded engine gives: a sum of whole numbers
  // (numeric on the server) is whole, a count is whole, a real stays real, a flag is 0/1.
  EXPECT_EQ(Scalar("select sum(progID) from wsdj"), db::Value(int64_t{400022}));
  EXPECT_EQ(Scalar("select count(*) from wsdj"), db::Value(int64_t{2}));
  EXPECT_EQ(Scalar("select sum(金额) * 2 from wsdj"), db::Value(25.0));
  EXPECT_EQ(Scalar("select 7.25::numeric"), db::Value(7.25));
  EXPECT_EQ(Scalar("select 1 = 1"), db::Value(int64_t{1}));
  // A whole number beyond a long reads as a real rather than wrapping round.
  db::Value huge = Scalar("select 12345678901234567890123::numeric");
  EXPECT_TRUE(huge.IsReal());
  EXPECT_NEAR(huge.ToDouble() / 1.2345678901234567890123e22, 1.0, 1e-12);

  // GetValue: first column of the first row; Null when there is no row.
  EXPECT_EQ(Scalar("select 工单号码, 单据ID from wsdj order by 单据ID desc"), db::Value("W002"));
  EXPECT_TRUE(Scalar("select 工单号码 from wsdj where 单据ID=99").IsNull());

  // RowsAffected counts the statement's own rows; a statement that changes nothing says 0.
  EXPECT_EQ(Run("update wsdj set 说明='x' where progID=200011", &rows), "");
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(Run("create table other (a int)", &rows), "");
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(Run("delete from wsdj where 单据ID=2", &rows), "");
  EXPECT_EQ(rows, 1);

  // An empty result still names its columns.
  rs = db::Runner(*db_).Open("select 单据ID as id, 工单号码 from wsdj where 1=0");
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->HasField("ID"));
}

TEST_F(PostgresDatabaseTest, TheModulesDialectRunsAfterTranslation) {
  db_->SetSetting("driver", "jet");
  ASSERT_EQ(db_->ExecScript("INSERT INTO wsdj (单据ID, progID, 进厂日期, 工单号码) VALUES "
                            "(1, 1, '2012-05-31', 'ab1'), (2, 1, '2012-06-01', 'AB2'), "
                            "(3, 1, '2012-06-15', 'xy3'), (4, 1, '2012-07-01', 'Ab4');"
                            "INSERT INTO wsdjxm VALUES (10, 2, 5), (11, 2, NULL), (12, 3, 7);"),
            "");
  db::Runner runner(*db_);
  // Dates between "#" compare as dates; table names in any case address the same table.
  EXPECT_EQ(runner.ScalarNumber(db::Sql("select count(*) from WSDJ where 进厂日期>=")
                                    .Date("2012/6/1", db_->Settings("driver"))
                                    .Raw(" and 进厂日期<#2012-7-1#")),
            2);
  EXPECT_EQ(runner.ScalarNumber(" SELECT TOP 1 单价 from wsdj A left join WSDJXM B on "
                                "A.单据ID=B.单据ID where B.单价 is not null order by "
                                "B.单据明细ID desc"),
            7);
  auto rs = runner.Open(
      "select 单据明细ID, iif(isnull(单价),0,单价) as p1, isnull(单价,-1) as p2 from wsdjxm "
      "where 单据ID in (select top 1 单据ID from wsdj where 进厂日期>=#2012-06-01# order by "
      "单据ID) order by 单据明细ID");
  ASSERT_EQ(rs->RecordCount(), 2) << db_->LastError();
  // Names come back spelled as the statement writes them, not folded: grids show them.
  EXPECT_EQ(rs->FieldName(0), "单据明细ID");
  auto spelled =
      runner.Open("select progid, 单据ID As Key_Id, 工单号码 as \"MixedQuoted\" from WSDJ");
  ASSERT_EQ(spelled->FieldCount(), 3) << db_->LastError();
  EXPECT_EQ(spelled->FieldName(0), "progid") << "the statement's own spelling, not the table's";
  EXPECT_EQ(spelled->FieldName(1), "Key_Id");
  EXPECT_EQ(spelled->FieldName(2), "MixedQuoted");
  rs->Move(1);
  EXPECT_EQ(rs->Long("单据明细ID"), 11);
  EXPECT_EQ(rs->Number("p1"), 0);
  EXPECT_EQ(rs->Number("p2"), -1);
  // LIKE compares without regard to case, as the desktop dialect does; the pattern's own
  // quotes and a literal holding the word "like" are left alone.
  EXPECT_EQ(runner.ScalarNumber("select count(*) from wsdj where 工单号码 like 'ab%'"), 3);
  EXPECT_EQ(runner.ScalarNumber("select count(*) from wsdj where 工单号码 not like '%B%'"), 1);
  // A date or a number matches a pattern as its text, as on the desktop dialect.
  EXPECT_EQ(runner.ScalarNumber("select count(*) from wsdj where 进厂日期 like '2012-06%'"), 2);
  EXPECT_EQ(runner.ScalarNumber("select count(*) from wsdj A where A.单据ID like '%3'"), 1);
  EXPECT_EQ(runner.ScalarText("select 'like it' || 工单号码 from wsdj where 单据ID=3"),
            "like it" + std::string("xy3"));
  EXPECT_EQ(db_->LastError(), "");
}

TEST_F(PostgresDatabaseTest, FailuresSetLastErrorUntilTheNextSuccess) {
  auto command = db_->CreateCommand("insert into no_such_table values (1)", 1);
  command->Execute();
  EXPECT_NE(db_->LastError().find("no_such_table"), std::string::npos) << db_->LastError();
  // The server's own words, without its "ERROR:" decoration.
  EXPECT_EQ(db_->LastError().find("ERROR"), std::string::npos) << db_->LastError();
  EXPECT_EQ(command->RowsAffected(), 0);
  db_->CreateCommand("select 1", 1)->GetValue();
  EXPECT_EQ(db_->LastError(), "");

  ASSERT_EQ(Run("insert into wsdj (单据ID) values (1)"), "");
  EXPECT_NE(Run("insert into wsdj (单据ID) values (1)").find("duplicate key"), std::string::npos);
  EXPECT_EQ(Run("insert into wsdj (单据ID) values (2)"), "");

  // Failed reads answer nothing: Null and an empty closed record set.
  EXPECT_TRUE(db_->CreateCommand("select nope from wsdj", 1)->GetValue().IsNull());
  EXPECT_NE(db_->LastError(), "");
  auto rs = db_->CreateCommand("select nope from wsdj", 1)->OpenRecordset();
  ASSERT_NE(rs, nullptr);
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(rs->RecordCount(), 0);

  // Several statements in one text are refused whole; nothing of them runs.
  EXPECT_NE(Run("insert into wsdj (单据ID) values (3); delete from wsdj"), "");
  EXPECT_EQ(Count("wsdj"), 2);
  EXPECT_EQ(Run("insert into wsdj (单据ID) values (5); -- done\n "), "");
  EXPECT_EQ(Count("wsdj"), 3);

  // A placeholder with no value bound, or a "#" that is no date, is refused, never run as Null.
  EXPECT_NE(Run("update wsdj set 说明=$1 where 单据ID=1"), "");
  EXPECT_NE(Run("update wsdj set 说明='x' where 进厂日期=#abc"), "");
  EXPECT_EQ(Scalar("select count(*) from wsdj where 说明 is not null").ToLong(), 0);
  EXPECT_NE(Run(""), "");
  // A text that is no date for a date column: the server's refusal, not a silent Null.
  EXPECT_NE(Run("update wsdj set 进厂日期='' where 单据ID=1"), "");
}

TEST_F(PostgresDatabaseTest, BindsValuesToPlaceholdersAndReportsEachCommandsOwnError) {
  // The placeholders become the server's numbered ones in the order of the text, through iif
  // and TOP; a "?" inside a literal stays text.
  EXPECT_EQ(
      TranslateSql("select top 1 iif(a = ?, '?', ?) from t where b like ?", SqlTarget::Postgres),
      "select CASE WHEN a = $1 THEN '?' ELSE $2 END from t where b::text ILIKE $3 ESCAPE '' "
      "LIMIT 1");

  // Every kind of value arrives as itself, whatever the column's type: a text with quotes and
  // wildcards, a date as text, a long beyond 32 bits, a real, Null.
  auto insert = db_->CreateCommand(
      "insert into wsdj (单据ID, progID, 工单号码, 进厂日期, 金额, 说明) values (?, ?, ?, ?, ?, ?)",
      1);
  insert->Bind(1, db::Value(int64_t{7}));
  insert->Bind(2, db::Value(int64_t{9000000000}));
  insert->Bind(3, db::Value("O'Brien -- %_\\"));
  insert->Bind(4, db::Value("2012-06-01"));
  insert->Bind(5, db::Value(12.5));
  insert->Bind(6, db::Value());
  insert->Execute();
  ASSERT_EQ(insert->Error(), "");
  EXPECT_EQ(insert->RowsAffected(), 1);

  auto read = db_->CreateCommand(
      "select progID, 工单号码, 金额, 说明 from wsdj where 工单号码 = ? and 单据ID = ? and "
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
  ASSERT_EQ(Run("update wsdj set 金额 = 3 where 单据ID = 7"), "");
  EXPECT_EQ(read->OpenRecordset()->Number("金额"), 3) << "the same command runs again";

  // A real keeps its fraction where the server would otherwise read the CASE as whole
  // numbers; a "?" in a literal is no placeholder.
  auto mixed = db_->CreateCommand("select top 1 iif(单据ID = ?, ?, 0), '?' from wsdj", 1);
  mixed->Bind(1, db::Value(int64_t{7}));
  mixed->Bind(2, db::Value(0.1));
  EXPECT_EQ(mixed->GetValue(), db::Value(0.1));
  EXPECT_EQ(mixed->Error(), "");

  // A placeholder left unbound, a value past the last placeholder and a named parameter all
  // fail the run instead of running with Null.
  auto unbound = db_->CreateCommand("update wsdj set 说明 = ? where 单据ID = ?", 1);
  unbound->Bind(2, db::Value(int64_t{7}));
  unbound->Execute();
  EXPECT_NE(unbound->Error().find("placeholder 1"), std::string::npos) << unbound->Error();
  auto extra = db_->CreateCommand("update wsdj set 说明 = ?", 1);
  extra->Bind(1, db::Value("x"));
  extra->Bind(2, db::Value("y"));
  extra->Execute();
  EXPECT_NE(extra->Error(), "");
  auto named = db_->CreateCommand("update wsdj set 说明 = :x", 1);
  named->Bind(1, db::Value("x"));
  named->Execute();
  EXPECT_NE(named->Error(), "");
  // Each command keeps its own outcome; LastError mirrors whichever ran last.
  EXPECT_EQ(db_->LastError(), named->Error());
  EXPECT_TRUE(Scalar("select 说明 from wsdj where 单据ID = 7").IsNull());
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_NE(named->Error(), "");
  EXPECT_EQ(read->Error(), "");

  auto orphan = db_->CreateCommand("select 1", 1);
  db_.reset();
  EXPECT_TRUE(orphan->GetValue().IsNull());
  EXPECT_NE(orphan->Error(), "");
}

TEST_F(PostgresDatabaseTest, TransactionsCommitRollBackAndNest) {
  db_->BeginTrans();
  EXPECT_TRUE(db_->InTransaction());
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (1)"), "");
  db_->RollbackTrans();
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Count("wsdj"), 0);

  db_->BeginTrans();
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (1)"), "");
  db_->CommitTrans();
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Count("wsdj"), 1);

  // Nested levels: an inner rollback undoes only its own work; the outer commit keeps the rest.
  db_->BeginTrans();
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (2)"), "");
  db_->BeginTrans();
  EXPECT_EQ(db_->LastError(), "");
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (3)"), "");
  db_->RollbackTrans();
  EXPECT_TRUE(db_->InTransaction());
  db_->BeginTrans();
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (4)"), "");
  db_->CommitTrans();
  EXPECT_TRUE(db_->InTransaction());
  db_->CommitTrans();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Ids(), "1,2,4");

  // A failed statement inside a transaction undoes only itself: the server would otherwise
  // refuse everything up to the rollback, and the commit would silently roll back.
  db_->BeginTrans();
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (5)"), "");
  EXPECT_NE(Run("insert into wsdj (单据ID) values (1)"), "");
  EXPECT_TRUE(Scalar("select nope from wsdj").IsNull());
  EXPECT_EQ(Run("insert into wsdj (单据ID) values (6)"), "");
  db_->CommitTrans();
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_EQ(Ids(), "1,2,4,5,6");

  // Rolling back with nothing open is harmless; committing with nothing open is an error.
  db_->RollbackTrans();
  EXPECT_EQ(db_->LastError(), "");
  db_->CommitTrans();
  EXPECT_NE(db_->LastError(), "");

  // The guard the module saves with: a failed statement rolls everything back.
  {
    db::Transaction tx(*db_);
    EXPECT_TRUE(tx.Run("insert into wsdj (单据ID) values (7)"));
    EXPECT_FALSE(tx.Run("insert into wsdj (单据ID) values (1)"));
    EXPECT_NE(tx.Error().find("duplicate key"), std::string::npos) << tx.Error();
  }
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Ids(), "1,2,4,5,6");
}

TEST_F(PostgresDatabaseTest, UsersSeeCommittedWorkAndNeverShareAnId) {
  ASSERT_EQ(db_->ExecScript("DROP TABLE wsdj; DROP TABLE wsdjxm"), "");
  for (const auto& sql : db::CatalogueStatements(db::Engine::Postgres)) {
    ASSERT_EQ(Run(sql.Literal()), "") << sql.Literal();
  }
  auto other = scratch_.Connect();
  ASSERT_NE(other, nullptr) << scratch_.Error();

  // An open save of one user is invisible to the other until it is committed.
  db_->BeginTrans();
  ASSERT_EQ(Run("insert into WSDJ (单据ID, progid) values (1, 1)"), "");
  EXPECT_EQ(db::Runner(*other).ScalarNumber("select count(*) from wsdj"), 0);
  db_->CommitTrans();
  EXPECT_EQ(db::Runner(*other).ScalarNumber("select count(*) from wsdj"), 1);

  // Several users saving at once each take ids from the shared counter inside their own
  // transactions: the counter row is locked until the taker commits, so no id is issued twice
  // and every insert succeeds.
  constexpr int kUsers = 4;
  constexpr int kSaves = 25;
  std::vector<std::unique_ptr<PostgresDatabase>> users;
  for (int u = 0; u < kUsers; ++u) {
    users.push_back(scratch_.Connect());
    ASSERT_NE(users.back(), nullptr) << scratch_.Error();
  }
  std::vector<std::vector<std::string>> errors(kUsers);
  std::vector<std::thread> threads;
  for (int u = 0; u < kUsers; ++u) {
    threads.emplace_back([&, u] {
      RecordNavigator navigator(*users[u]);
      for (int s = 0; s < kSaves; ++s) {
        db::Transaction tx(*users[u]);
        int64_t id = 0;
        std::string error = navigator.GetNewID("wsdj", "单据ID", id);
        if (error.empty()) {
          tx.Run(db::Sql("insert into wsdj (单据ID, progid) values (")
                     .Key(id)
                     .Raw(", ")
                     .Key(u)
                     .Raw(")"));
          if (!tx.Failed()) tx.Commit();
          error = tx.Error();
        }
        if (!error.empty()) errors[u].push_back(error);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int u = 0; u < kUsers; ++u) EXPECT_TRUE(errors[u].empty()) << errors[u].front();
  EXPECT_EQ(Count("wsdj"), 1 + kUsers * kSaves);
  EXPECT_EQ(Scalar("select max(单据ID) from wsdj").ToLong(), 1 + kUsers * kSaves);
}

TEST_F(PostgresDatabaseTest, ADroppedConnectionIsMadeAgainAndLocksAreNotWaitedForForever) {
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (1)"), "");
  auto admin = scratch_.Connect();
  ASSERT_NE(admin, nullptr);
  auto dropConnection = [&] {
    std::string pid = db::Runner(*db_).ScalarText("select pg_backend_pid()");
    ASSERT_EQ(db::Runner(*admin).ScalarText(db::Sql("select pg_terminate_backend(" + pid + ")")), "1");
  };

  // The statement that meets the dropped connection fails; the next runs on a new connection
  // with the session's settings: the schema of the URL, dates as yyyy-mm-dd.
  dropConnection();
  EXPECT_NE(Run("insert into wsdj (单据ID) values (2)"), "");
  EXPECT_EQ(Run("insert into wsdj (单据ID, 进厂日期) values (3, '2012-06-01')"), "");
  EXPECT_EQ(Scalar("select 进厂日期 from wsdj where 单据ID=3"), db::Value("2012-06-01"));

  // A transaction open when the connection dropped is lost: its commit says so.
  db_->BeginTrans();
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (4)"), "");
  dropConnection();
  EXPECT_NE(Run("insert into wsdj (单据ID) values (5)"), "");
  db_->CommitTrans();
  EXPECT_NE(db_->LastError(), "");
  EXPECT_EQ(Ids(), "1,3");

  // Another user's open save holds its rows; a statement that needs them gives up after the
  // lock timeout (5 s by default, shortened here through the URL's own options) instead of
  // hanging the user's window.
  EXPECT_EQ(db::Runner(*db_).ScalarText("show lock_timeout"), "5s");
  auto other = scratch_.Connect(" -c lock_timeout=100ms");
  ASSERT_NE(other, nullptr);
  db_->BeginTrans();
  ASSERT_EQ(Run("update wsdj set 说明='mine' where 单据ID=1"), "");
  std::string error = db::Runner(*other).Execute("update wsdj set 说明='theirs' where 单据ID=1");
  EXPECT_NE(error.find("lock timeout"), std::string::npos) << error;
  db_->CommitTrans();
  EXPECT_EQ(db::Runner(*other).ScalarText("select 说明 from wsdj where 单据ID=1"), "mine");
}

TEST_F(PostgresDatabaseTest, CatalogueAndDefaultConfigurationInstall) {
  ASSERT_EQ(db_->ExecScript("DROP TABLE wsdj; DROP TABLE wsdjxm"), "");
  EXPECT_FALSE(db::SchemaVersion(*db_));
  db::Transaction tx(*db_);
  for (const auto& sql : db::CatalogueStatements(db::Engine::Postgres)) tx.Run(sql);
  for (const auto& sql : db::DefaultConfigStatements(db::Date{2012, 6, 15})) tx.Run(sql);
  ASSERT_TRUE(tx.Commit()) << tx.Error();
  EXPECT_EQ(db::SchemaVersion(*db_), std::string(db::kSchemaVersion));
  // Tables answer to every case the module writes them in, columns too.
  EXPECT_EQ(db::Runner(*db_).ScalarText("select count(*) from XT_MENU where progID>0"),
            db::Runner(*db_).ScalarText("select count(*) from xt_menu where progid>0"));
  EXPECT_GT(db::Runner(*db_).ScalarNumber("select count(*) from xt_menu"), 0);
}

TEST_F(PostgresDatabaseTest, TheLogKeepsTheTextsAsSentOnlyWhileEnabled) {
  EXPECT_EQ(db_->Settings("driver"), "postgresql");
  Run("insert into wsdj (单据ID) values (1)");
  EXPECT_TRUE(db_->Log().empty());
  db_->EnableLog(true);
  const std::string top = "select top 1 单据ID from wsdj where 进厂日期>=#2012-06-01#";
  db::Runner(*db_).Open(db::Sql(top));
  Run("bad statement");
  EXPECT_EQ(db_->Log(), (std::vector<std::string>{top, "bad statement"}));
}

}  // namespace
}  // namespace ws::platform
