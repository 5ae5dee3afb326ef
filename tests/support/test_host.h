// The shared test fixture: an SQLite database with the catalogue and the default
// configuration, a system object logged in as "测试员" on 2012-06-15 with a fresh work folder,
// scripted dialogs and a recording event sink. The statement log is on.
#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/date.h"
#include "db/sql.h"
#include "db/value.h"
#include "platform/sqlite_database.h"
#include "platform/system_object.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"

namespace ws::test {

inline constexpr const char* kTestUser = "测试员";
inline const db::Date kTestLoginDate{2012, 6, 15};

// Creates the catalogue and the default configuration (started on initDate) on an empty
// database; answers the first error text, empty on success.
std::string InstallCatalogue(platform::SqliteDatabase& db, const db::Date& initDate);

// A picker shown through the system object: ShowPicker's description or RunPicker's control
// class name, and the text it was given.
struct PickCall {
  std::string picker;
  std::string text;
};

class TestHost {
 public:
  // Memory: a private ":memory:" database. File: a database file in the work folder, so a
  // test can open further connections to it (other users).
  enum class Storage { Memory, File };

  explicit TestHost(Storage storage = Storage::Memory);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  platform::SqliteDatabase& Db() { return *db_; }
  platform::SystemObject& System() { return *system_; }
  ScriptedDialogs& Dialogs() { return dialogs_; }
  RecordingSink& Sink() { return sink_; }
  const std::filesystem::path& WorkFolder() const { return workFolder_; }
  // The database file (Storage::File), empty for a memory database.
  const std::string& DatabasePath() const { return databasePath_; }

  // Another connection to the database file, as a second user would have.
  std::unique_ptr<platform::SqliteDatabase> OpenSecondConnection();

  // What the next picker the system shows (ShowPicker or RunPicker) answers; with an empty
  // queue nothing is chosen. Every picker shown is recorded.
  void QueuePick(host::PickResult result) { picks_.push_back(std::move(result)); }
  const std::vector<PickCall>& PickCalls() const { return pickCalls_; }

  // Runs a statement; a failure fails the test with the statement and the error. A plain
  // text is a fixed statement of the test's own.
  void Exec(const db::Sql& sql);
  void Exec(const std::string& sql) { Exec(db::Sql(sql)); }
  // The first column of the first row (Null when none); a failure fails the test.
  db::Value Scalar(const db::Sql& sql);
  db::Value Scalar(const std::string& sql) { return Scalar(db::Sql(sql)); }

 private:
  std::filesystem::path workFolder_;
  std::string databasePath_;
  std::unique_ptr<platform::SqliteDatabase> db_;
  ScriptedDialogs dialogs_;
  RecordingSink sink_;
  std::unique_ptr<platform::SystemObject> system_;
  std::deque<host::PickResult> picks_;
  std::vector<PickCall> pickCalls_;

  host::PickResult NextPick(const std::string& picker, const std::string& text);
};

// A gtest fixture owning a TestHost on a memory database.
class HostTest : public ::testing::Test {
 protected:
  TestHost host_;
};

}  // namespace ws::test
