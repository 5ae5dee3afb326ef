#include "platform/sqlite_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::platform {
namespace {

namespace fs = std::filesystem;

// A file name in the temp folder, removed with its WAL companions afterwards.
class TempPath {
 public:
  explicit TempPath(const std::string& name)
      : path_(fs::temp_directory_path() /
              ("ws_sqlite_test_" + std::to_string(::getpid()) + "_" + name)) {
    Remove();
  }
  ~TempPath() { Remove(); }
  std::string str() const { return path_.string(); }

 private:
  void Remove() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      fs::remove(path_.string() + suffix, ignored);
    }
  }
  fs::path path_;
};

std::unique_ptr<SqliteDatabase> OpenOrFail(const std::string& path) {
  std::string error;
  auto db = SqliteDatabase::Open(path, &error);
  EXPECT_NE(db, nullptr) << error;
  return db;
}

class SqliteDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = OpenOrFail(":memory:");
    ASSERT_NE(db_, nullptr);
    ASSERT_EQ(
        db_->ExecScript("CREATE TABLE wsdj (单据ID INTEGER PRIMARY KEY, progID INTEGER, "
                        "工单号码 TEXT, 进厂日期 TEXT, 金额 REAL, 说明 TEXT);"
                        "CREATE TABLE wsdjxm (单据明细ID INTEGER PRIMARY KEY, 单据ID INTEGER, "
                        "单价 REAL);"),
        "");
  }

  std::string Run(const std::string& sql, int64_t* rows = nullptr) {
    return db::Runner(*db_).Execute(db::Sql(sql), rows);
  }
  db::Value Scalar(const std::string& sql) { return db::Runner(*db_).Scalar(db::Sql(sql)); }
  int64_t Count(const std::string& table) {
    return Scalar("select count(*) from " + table).ToLong();
  }

  std::unique_ptr<SqliteDatabase> db_;
};

TEST(SqliteDatabaseOpenTest, OpensMemoryAndFilesAndRefusesWhatIsNoDatabase) {
  auto memory = OpenOrFail(":memory:");
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->Settings("driver"), "sqlite");

  // A file database is created, runs in WAL mode and keeps its data across connections.
  TempPath file("open.db");
  {
    auto db = OpenOrFail(file.str());
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db::Runner(*db).ScalarText(db::Sql("PRAGMA journal_mode")), "wal");
    EXPECT_EQ(db::Runner(*db).ScalarText(db::Sql("PRAGMA synchronous")), "1");  // NORMAL
    EXPECT_EQ(db->ExecScript("CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('kept');"), "");
  }
  auto reopened = OpenOrFail(file.str());
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(db::Runner(*reopened).ScalarText(db::Sql("select a from t")), "kept");

  // A text file is refused at Open, with the engine's reason and the path.
  TempPath text("not_a_database.txt");
  {
    std::ofstream out(text.str());
    out << "This is a plain text file and certainly not an SQLite database.\n";
    for (int i = 0; i < 100; ++i) out << "more text to fill the first page " << i << "\n";
  }
  std::string error;
  EXPECT_EQ(SqliteDatabase::Open(text.str(), &error), nullptr);
  EXPECT_NE(error.find("not a database"), std::string::npos) << error;
  EXPECT_NE(error.find(text.str()), std::string::npos) << error;

  // A folder that does not exist, and no name at all.
  error.clear();
  EXPECT_EQ(
      SqliteDatabase::Open((fs::temp_directory_path() / "ws_no_such_dir/x.db").string(), &error),
      nullptr);
  EXPECT_FALSE(error.empty());
}

TEST_F(SqliteDatabaseTest, StatementsReadAndWriteValuesOfEveryKind) {
  int64_t rows = -1;
  EXPECT_EQ(Run("insert into wsdj (单据ID, progID, 工单号码, 进厂日期, 金额, 说明) values "
                "(1, 200011, 'W001', '2012-06-01', 12.5, " +
                    db::QuoteText("O'Brien") + ")",
                &rows),
            "");
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(Run("insert into wsdj (单据ID, progID, 工单号码) values (2, 200011, 'W002')"), "");

  auto rs = db::Runner(*db_).Open(db::Sql("SELECT WSDJ.* FROM wsdj ORDER BY 单据ID"));
  ASSERT_TRUE(rs->IsOpen());
  ASSERT_EQ(rs->RecordCount(), 2);
  // Names as SQLite reports them: "WSDJ.*" gives the bare column names.
  ASSERT_EQ(rs->FieldCount(), 6);
  EXPECT_EQ(rs->FieldName(0), "单据ID");
  EXPECT_EQ(rs->FieldName(1), "progID");
  // Kinds as stored, and fields found without regard to case.
  EXPECT_TRUE(rs->Field("progid").IsInteger());
  EXPECT_EQ(rs->Long("PROGID"), 200011);
  EXPECT_TRUE(rs->Field("金额").IsReal());
  EXPECT_DOUBLE_EQ(rs->Number("金额"), 12.5);
  EXPECT_EQ(rs->Text("说明"), "O'Brien");
  EXPECT_EQ(rs->Text("进厂日期"), "2012-06-01");
  rs->MoveNext();
  EXPECT_TRUE(rs->Field("金额").IsNull());
  EXPECT_TRUE(rs->Field("说明").IsNull());
  EXPECT_EQ(rs->Text("说明"), "");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  // GetValue: first column of the first row; Null when there is no row.
  EXPECT_EQ(Scalar("select 工单号码, 单据ID from wsdj order by 单据ID desc"), db::Value("W002"));
  EXPECT_TRUE(Scalar("select 工单号码 from wsdj where 单据ID=99").IsNull());

  // RowsAffected counts the statement's own rows; a statement that changes nothing says 0,
  // not the count of the UPDATE before it.
  EXPECT_EQ(Run("update wsdj set 说明='x' where progID=200011", &rows), "");
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(Run("create table other (a int)", &rows), "");
  EXPECT_EQ(rows, 0);

  // An empty result still names its columns.
  rs = db::Runner(*db_).Open(db::Sql("select 单据ID as id, 工单号码 from wsdj where 1=0"));
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->HasField("ID"));
}

TEST_F(SqliteDatabaseTest, TheModulesDialectRunsAfterTranslation) {
  db_->SetSetting("driver", "jet");
  ASSERT_EQ(db_->ExecScript("INSERT INTO wsdj (单据ID, progID, 进厂日期) VALUES "
                            "(1, 1, '2012-05-31'), (2, 1, '2012-06-01'), (3, 1, '2012-06-15'), "
                            "(4, 1, '2012-07-01');"
                            "INSERT INTO wsdjxm VALUES (10, 2, 5), (11, 2, NULL), (12, 3, 7);"),
            "");
  db::Runner runner(*db_);
  // Dates between "#", as the desktop dialect writes them, compare as the stored ISO text.
  EXPECT_EQ(runner.ScalarNumber(db::Sql("select count(*) from wsdj where 进厂日期>=")
                                    .Date("2012/6/1", db_->Settings("driver"))
                                    .Raw(" and 进厂日期<#2012-7-1#")),
            2);
  EXPECT_EQ(runner.ScalarNumber(db::Sql(" SELECT TOP 1 单价 from wsdj A left join wsdjxm B on "
                                        "A.单据ID=B.单据ID where B.单价 is not null order by "
                                        "B.单据明细ID desc")),
            7);
  auto rs = runner.Open(db::Sql(
      "select 单据明细ID, iif(isnull(单价),0,单价) as p1, isnull(单价,-1) as p2 from wsdjxm "
      "where 单据ID in (select top 1 单据ID from wsdj where 进厂日期>=#2012-06-01# order by "
      "单据ID) order by 单据明细ID"));
  ASSERT_EQ(rs->RecordCount(), 2);
  rs->Move(1);
  EXPECT_EQ(rs->Long("单据明细ID"), 11);
  EXPECT_EQ(rs->Number("p1"), 0);
  EXPECT_EQ(rs->Number("p2"), -1);
  EXPECT_EQ(db_->LastError(), "");
}

TEST_F(SqliteDatabaseTest, FailuresSetLastErrorUntilTheNextSuccess) {
  auto command = db_->CreateCommand("insert into no_such_table values (1)", 1);
  command->Execute();
  EXPECT_NE(db_->LastError().find("no such table"), std::string::npos) << db_->LastError();
  EXPECT_EQ(command->RowsAffected(), 0);
  db_->CreateCommand("select 1", 1)->GetValue();
  EXPECT_EQ(db_->LastError(), "");

  // A constraint failure reported by the step, not the prepare.
  ASSERT_EQ(Run("insert into wsdj (单据ID) values (1)"), "");
  EXPECT_NE(Run("insert into wsdj (单据ID) values (1)").find("UNIQUE"), std::string::npos);
  EXPECT_EQ(Run("insert into wsdj (单据ID) values (2)"), "");

  // Failed reads answer nothing: Null and an empty closed record set.
  EXPECT_TRUE(db_->CreateCommand("select nope from wsdj", 1)->GetValue().IsNull());
  EXPECT_NE(db_->LastError(), "");
  auto rs = db_->CreateCommand("select nope from wsdj", 1)->OpenRecordset();
  ASSERT_NE(rs, nullptr);
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(rs->RecordCount(), 0);

  // Several statements in one text are refused whole; nothing of them runs.
  std::string error = Run("insert into wsdj (单据ID) values (3); delete from wsdj");
  EXPECT_NE(error.find("one statement"), std::string::npos) << error;
  EXPECT_EQ(Count("wsdj"), 2);
  // A closing ";" and trailing blanks or comments are one statement.
  EXPECT_EQ(Run("insert into wsdj (单据ID) values (5); -- done\n "), "");
  EXPECT_EQ(Count("wsdj"), 3);

  // A parameter nobody bound would run as Null: refused, whether a "?" left without a value
  // or a "#" that is no date (SQLite reads "#abc" as a named parameter).
  EXPECT_NE(Run("update wsdj set 说明=? where 单据ID=1"), "");
  EXPECT_NE(Run("update wsdj set 说明='x' where 进厂日期=#abc"), "");
  EXPECT_TRUE(Scalar("select count(*) from wsdj where 说明 is not null").ToLong() == 0);
  EXPECT_NE(Run(""), "");
}

TEST_F(SqliteDatabaseTest, BindsValuesToPlaceholdersAndReportsEachCommandsOwnError) {
  // Every kind of value arrives as itself: a text with quotes and wildcards is stored as typed,
  // an integer and a real keep their types, Null stays Null.
  auto insert = db_->CreateCommand(
      "insert into wsdj (单据ID, progID, 工单号码, 金额, 说明) values (?, ?, ?, ?, ?)", 1);
  insert->Bind(1, db::Value(int64_t{7}));
  insert->Bind(2, db::Value(int64_t{9000000000}));
  insert->Bind(3, db::Value("O'Brien -- %_\\"));
  insert->Bind(4, db::Value(12.5));
  insert->Bind(5, db::Value());
  insert->Execute();
  ASSERT_EQ(insert->Error(), "");
  EXPECT_EQ(insert->RowsAffected(), 1);

  auto read = db_->CreateCommand(
      "select progID, 工单号码, 金额, 说明 from wsdj where 工单号码 = ? and 单据ID = ?", 1);
  read->Bind(2, db::Value(int64_t{7}));  // bound out of order on purpose
  read->Bind(1, db::Value("O'Brien -- %_\\"));
  auto rs = read->OpenRecordset();
  ASSERT_EQ(read->Error(), "");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Field("progID"), db::Value(int64_t{9000000000}));
  EXPECT_EQ(rs->Text("工单号码"), "O'Brien -- %_\\");
  EXPECT_EQ(rs->Field("金额"), db::Value(12.5));
  EXPECT_TRUE(rs->Field("说明").IsNull());
  // The same command runs again with its values after the data changed.
  ASSERT_EQ(Run("update wsdj set 金额 = 3 where 单据ID = 7"), "");
  EXPECT_EQ(read->OpenRecordset()->Number("金额"), 3);

  // A "?" inside a string literal is text, not a placeholder; the translated dialect keeps the
  // placeholders in their order through iif and TOP.
  auto mixed = db_->CreateCommand("select top 1 iif(单据ID = ?, '?', ?) from wsdj", 1);
  mixed->Bind(1, db::Value(int64_t{7}));
  mixed->Bind(2, db::Value("no"));
  EXPECT_EQ(mixed->GetValue().ToText(), "?");
  EXPECT_EQ(mixed->Error(), "");

  // A placeholder left unbound, a value bound past the last placeholder, a position below 1
  // and a named parameter all fail the run instead of running with Null.
  auto unbound = db_->CreateCommand("update wsdj set 说明 = ? where 单据ID = ?", 1);
  unbound->Bind(1, db::Value("x"));
  unbound->Execute();
  EXPECT_NE(unbound->Error().find("placeholder 2"), std::string::npos) << unbound->Error();
  auto extra = db_->CreateCommand("update wsdj set 说明 = ?", 1);
  extra->Bind(1, db::Value("x"));
  extra->Bind(2, db::Value("y"));
  extra->Execute();
  EXPECT_NE(extra->Error(), "");
  auto zero = db_->CreateCommand("update wsdj set 说明 = ?", 1);
  zero->Bind(0, db::Value("x"));
  zero->Bind(1, db::Value("x"));
  zero->Execute();
  EXPECT_NE(zero->Error(), "");
  auto named = db_->CreateCommand("update wsdj set 说明 = :x", 1);
  named->Bind(1, db::Value("x"));
  named->Execute();
  EXPECT_NE(named->Error().find(":x"), std::string::npos) << named->Error();
  // Each command keeps its own outcome; LastError mirrors whichever ran last.
  EXPECT_EQ(db_->LastError(), named->Error());
  EXPECT_TRUE(Scalar("select 说明 from wsdj where 单据ID = 7").IsNull());
  EXPECT_EQ(Run("delete from wsdjxm"), "");
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_NE(named->Error(), "");
  EXPECT_EQ(read->Error(), "");

  // A command kept past its service reports that instead of touching the closed connection.
  auto orphan = db_->CreateCommand("select 1", 1);
  db_.reset();
  EXPECT_TRUE(orphan->GetValue().IsNull());
  EXPECT_NE(orphan->Error(), "");
}

TEST_F(SqliteDatabaseTest, TransactionsCommitRollBackAndNest) {
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
  EXPECT_EQ(
      db::Runner(*db_).ScalarText(db::Sql("select group_concat(单据ID) from (select 单据ID from "
                                          "wsdj order by 单据ID)")),
      "1,2,4");

  // Rolling back with nothing open is harmless; committing with nothing open is an error.
  db_->RollbackTrans();
  EXPECT_EQ(db_->LastError(), "");
  db_->CommitTrans();
  EXPECT_NE(db_->LastError(), "");

  // The guard the module saves with: a failed statement rolls everything back.
  {
    db::Transaction tx(*db_);
    EXPECT_TRUE(tx.Run(db::Sql("insert into wsdj (单据ID) values (5)")));
    EXPECT_FALSE(tx.Run(db::Sql("insert into wsdj (单据ID) values (1)")));
    EXPECT_NE(tx.Error().find("UNIQUE"), std::string::npos) << tx.Error();
  }
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Count("wsdj"), 3);
}

TEST(SqliteDatabaseFileTest, ReadersSeeCommittedDataWhileAnotherUserWrites) {
  TempPath file("two_users.db");
  auto writer = OpenOrFail(file.str());
  auto reader = OpenOrFail(file.str());
  ASSERT_TRUE(writer && reader);
  ASSERT_EQ(writer->ExecScript("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);"), "");

  writer->BeginTrans();
  ASSERT_EQ(writer->LastError(), "");
  ASSERT_EQ(db::Runner(*writer).Execute(db::Sql("insert into t values (2)")), "");
  // WAL: the reader is not blocked by the open write and sees only committed rows.
  std::string error;
  EXPECT_EQ(db::Runner(*reader).ScalarNumber(db::Sql("select count(*) from t"), &error), 1);
  EXPECT_EQ(error, "");
  writer->CommitTrans();
  EXPECT_EQ(db::Runner(*reader).ScalarNumber(db::Sql("select count(*) from t")), 2);
}

// A second user who cannot get the write lock within the busy timeout is told so in Chinese,
// on the transaction's start and on a single write alike; the other user's work is unharmed.
TEST(SqliteDatabaseFileTest, ALockedDatabaseIsReportedInWordsOfTheShop) {
  TempPath file("locked.db");
  auto holder = OpenOrFail(file.str());
  auto other = OpenOrFail(file.str());
  ASSERT_TRUE(holder && other);
  ASSERT_EQ(holder->ExecScript("CREATE TABLE t (a INTEGER)"), "");
  sqlite3_busy_timeout(other->Handle(), 50);  // no need to wait the full timeout here

  holder->BeginTrans();
  ASSERT_EQ(db::Runner(*holder).Execute("insert into t values (1)"), "");
  other->BeginTrans();
  EXPECT_EQ(other->LastError(), kDatabaseBusyText);
  EXPECT_FALSE(other->InTransaction());
  EXPECT_EQ(db::Runner(*other).Execute("insert into t values (2)"), kDatabaseBusyText);
  std::string error;
  EXPECT_EQ(db::Runner(*other).ScalarNumber("select count(*) from t", &error), 0)
      << "reading goes on while the other user writes";
  EXPECT_EQ(error, "");

  holder->CommitTrans();
  EXPECT_EQ(db::Runner(*other).Execute("insert into t values (2)"), "");
  EXPECT_EQ(db::Runner(*other).ScalarNumber("select count(*) from t"), 2);
}

TEST_F(SqliteDatabaseTest, LogSettingsCloseAndCommandLifetime) {
  // The log keeps the text as the module sent it, untranslated, and only while enabled.
  Run("insert into wsdj (单据ID) values (1)");
  EXPECT_TRUE(db_->Log().empty());
  db_->EnableLog(true);
  const std::string top = "select top 1 单据ID from wsdj where 进厂日期>=#2012-06-01#";
  db::Runner(*db_).Open(db::Sql(top));
  Run("update wsdj set 说明=iif(isnull(说明),'a','b')");
  Run("bad statement");
  ASSERT_EQ(db_->Log().size(), 3u);
  EXPECT_EQ(db_->Log()[0], top);
  EXPECT_EQ(db_->Log()[1], "update wsdj set 说明=iif(isnull(说明),'a','b')");
  EXPECT_EQ(db_->Log()[2], "bad statement");
  db_->ClearLog();
  EXPECT_TRUE(db_->Log().empty());

  // Settings are stored as given: "Jet" is not "jet", and the dialect check sees the difference.
  db_->SetSetting("driver", "Jet");
  EXPECT_EQ(db_->Settings("driver"), "Jet");
  EXPECT_FALSE(db::Runner(*db_).IsJet());
  db_->SetSetting("driver", "jet");
  EXPECT_TRUE(db::Runner(*db_).IsJet());

  // Close ends a read someone left half-done through the handle; the connection stays usable.
  sqlite3_stmt* pending = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db_->Handle(), "select 1 union all select 2", -1, &pending, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(pending), SQLITE_ROW);
  EXPECT_TRUE(sqlite3_stmt_busy(pending));
  db_->Close();
  EXPECT_FALSE(sqlite3_stmt_busy(pending));
  sqlite3_finalize(pending);
  EXPECT_EQ(Count("wsdj"), 1);

  // A command kept past its service does nothing rather than touch a closed connection.
  auto command = db_->CreateCommand("select count(*) from wsdj", 1);
  db_.reset();
  command->Execute();
  EXPECT_TRUE(command->GetValue().IsNull());
  EXPECT_FALSE(command->OpenRecordset()->IsOpen());
}

}  // namespace
}  // namespace ws::platform
