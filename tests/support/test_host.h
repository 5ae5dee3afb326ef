// The shared test fixture: a database with the catalogue and the default configuration, a
// system object logged in as "测试员" on 2012-06-15 with a fresh work folder, scripted dialogs
// and a recording event sink. The statement log is on.
//
// The engine is SQLite unless the run asks for PostgreSQL (WS_TEST_ENGINE=postgres, with
// WS_PG_URL naming a server, as scripts/with_postgres.sh sets it): then every host gets a fresh
// schema of its own on that server, dropped afterwards, so test programs run side by side.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "db/date.h"
#include "db/sql.h"
#include "db/value.h"
#include "platform/engine_database.h"
#include "platform/sqlite_database.h"
#include "platform/system_object.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"

namespace ws::platform::testing {
class PostgresScratch;
}

namespace ws::test {

inline constexpr const char* kTestUser = "测试员";
inline const db::Date kTestLoginDate{2012, 6, 15};

// True when the run asks for PostgreSQL (WS_TEST_ENGINE=postgres).
bool PostgresUnderTest();

// Creates the catalogue and the default configuration (started on initDate) on an empty
// database of either engine; answers the first error text, empty on success.
std::string InstallCatalogue(platform::EngineDatabase& db, const db::Date& initDate);

class TestHost {
 public:
  // Memory: a private ":memory:" database. File: a database file in the work folder, so a
  // test can open further connections to it (other users). On PostgreSQL both are a schema
  // of their own, which further connections reach as well.
  enum class Storage { Memory, File };

  explicit TestHost(Storage storage = Storage::Memory);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  platform::EngineDatabase& Db() { return *db_; }
  bool OnPostgres() const { return schema_ != nullptr; }
  // The SQLite service, or nullptr on PostgreSQL: for tests about that engine's own handle.
  platform::SqliteDatabase* Sqlite();
  platform::SystemObject& System() { return *system_; }
  ScriptedDialogs& Dialogs() { return dialogs_; }
  RecordingSink& Sink() { return sink_; }
  const std::filesystem::path& WorkFolder() const { return workFolder_; }
  // The database file (Storage::File), empty for a memory database and on PostgreSQL.
  const std::string& DatabasePath() const { return databasePath_; }

  // Another connection to the same database, as a second user would have (SQLite: only to a
  // database file).
  std::unique_ptr<platform::EngineDatabase> OpenSecondConnection();

  // Makes the database refuse an event ("INSERT", "UPDATE", "DELETE") on a table with the
  // message as its error text: a trigger on either engine. `when` is an optional row
  // condition over OLD/NEW columns ("old.单据ID=7"). DropRefusal takes it away again.
  void RefuseOn(const std::string& name, const std::string& table, const std::string& event,
                const std::string& message, const std::string& when = {});
  void DropRefusal(const std::string& name, const std::string& table);

  // Runs a statement; a failure fails the test with the statement and the error. A plain
  // text is a fixed statement of the test's own.
  void Exec(const db::Sql& sql);
  void Exec(const std::string& sql) { Exec(db::Sql(sql)); }
  // The first column of the first row (Null when none); a failure fails the test.
  db::Value Scalar(const db::Sql& sql);
  db::Value Scalar(const std::string& sql) { return Scalar(db::Sql(sql)); }
  // Every row as text (its columns joined by "/", as RowText), the rows joined by the
  // separator in their order: what SQLite's group_concat gives, on either engine.
  std::string Joined(const std::string& sql, const std::string& separator = ",");
  // Every column of the first row as text, joined by the separator. Numbers read as the
  // module reads them ("100", "2.5"), where SQL's || would give each engine's own text.
  std::string RowText(const std::string& sql, const std::string& separator = "/");
  // The engine's plan of a logged statement, one step a line. On the server with sorts,
  // whole-table and bitmap reads disabled, as a few rows would have it read otherwise: a plan
  // that can walk an index in the statement's order instead of sorting shows that walk (as the
  // server takes it when it misjudges how many rows match), and one with no range of an index
  // to search reads the index whole.
  std::string PlanOnIndexes(const std::string& statement);
  // Each logged statement containing `part` with its plan (PlanOnIndexes), in the log's order.
  std::vector<std::pair<std::string, std::string>> LoggedPlans(const std::string& part);

 private:
  std::string Rows(const std::string& sql, const std::string& columnSeparator,
                   const std::string& rowSeparator, size_t rows);

  std::filesystem::path workFolder_;
  std::string databasePath_;
  std::unique_ptr<platform::testing::PostgresScratch> schema_;
  std::unique_ptr<platform::EngineDatabase> db_;
  ScriptedDialogs dialogs_;
  RecordingSink sink_;
  std::unique_ptr<platform::SystemObject> system_;
};

// Skips the rest of a test when it runs on PostgreSQL; the reason says what is SQLite's own.
#define WS_SQLITE_ONLY(reason)                                                      \
  do {                                                                              \
    if (::ws::test::PostgresUnderTest()) GTEST_SKIP() << "SQLite only: " << reason; \
  } while (false)

// A gtest fixture owning a TestHost on a memory database.
class HostTest : public ::testing::Test {
 protected:
  TestHost host_;
};

}  // namespace ws::test
