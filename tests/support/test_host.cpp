#include "support/test_host.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "host/ui.h"
#include "platform/postgres_database.h"
#include "support/postgres_scratch.h"

namespace ws::test {

namespace {

std::filesystem::path MakeWorkFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ws_test_XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    ADD_FAILURE() << "cannot create a work folder from " << pattern;
    return {};
  }
  return std::filesystem::path(buffer.data());
}

// Nothing can run without a database; stop here rather than crash in every test.
[[noreturn]] void NoDatabase(const std::string& why) {
  std::fprintf(stderr, "TestHost: %s\n", why.c_str());
  std::abort();
}

}  // namespace

bool PostgresUnderTest() {
  const char* engine = std::getenv("WS_TEST_ENGINE");
  return engine && std::string(engine) == "postgres";
}

std::string InstallCatalogue(platform::EngineDatabase& db, const db::Date& initDate) {
  const db::Engine engine =
      dynamic_cast<platform::PostgresDatabase*>(&db) ? db::Engine::Postgres : db::Engine::Sqlite;
  for (const auto& sql : db::CatalogueStatements(engine)) {
    std::string error = db::Runner(db).Execute(sql);
    if (!error.empty()) return error + " in " + sql.Literal();
  }
  for (const auto& sql : db::DefaultConfigStatements(initDate)) {
    std::string error = db::Runner(db).Execute(sql);
    if (!error.empty()) return error + " in " + sql.Literal();
  }
  return {};
}

TestHost::TestHost(Storage storage) : workFolder_(MakeWorkFolder()) {
  std::string error;
  if (PostgresUnderTest()) {
    if (!platform::testing::PostgresUrl()) {
      NoDatabase("WS_TEST_ENGINE=postgres needs WS_PG_URL (scripts/with_postgres.sh)");
    }
    schema_ = std::make_unique<platform::testing::PostgresScratch>();
    if (!schema_->Ok()) NoDatabase(schema_->Error());
    db_ = schema_->Connect();
    if (!db_) NoDatabase(schema_->Error());
  } else {
    std::string path = ":memory:";
    if (storage == Storage::File) {
      databasePath_ = (workFolder_ / "ws.db").string();
      path = databasePath_;
    }
    auto opened = platform::SqliteDatabase::Open(path);
    if (!opened) NoDatabase(opened.Error());
    db_ = std::move(opened).Take();
  }
  if (std::string installError = InstallCatalogue(*db_, kTestLoginDate); !installError.empty()) {
    ADD_FAILURE() << "catalogue: " << installError;
  }
  db_->EnableLog(true);
  host::LoginInfo login{kTestUser, kTestLoginDate, workFolder_.string()};
  system_ = std::make_unique<platform::SystemObject>(*db_, dialogs_, login);
  // No one sits at a test's pickers: whatever a control shows is closed with nothing chosen.
  system_->SetPickerHandler(
      [](const std::string&, const std::string&) { return host::PickResult{}; });
  system_->SetRunPickerHandler(
      [](host::IControl&, const std::string&) { return host::PickResult{}; });
}

TestHost::~TestHost() {
  system_.reset();
  db_.reset();
  schema_.reset();
  if (!workFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(workFolder_, ignored);
  }
}

platform::SqliteDatabase* TestHost::Sqlite() {
  return dynamic_cast<platform::SqliteDatabase*>(db_.get());
}

std::unique_ptr<platform::EngineDatabase> TestHost::OpenSecondConnection() {
  if (schema_) {
    auto other = schema_->Connect();
    if (!other) ADD_FAILURE() << schema_->Error();
    return other;
  }
  if (databasePath_.empty()) {
    ADD_FAILURE() << "a memory database has no second connection";
    return nullptr;
  }
  std::string error;
  auto other = platform::SqliteDatabase::Open(databasePath_);
  if (!other) ADD_FAILURE() << other.Error();
  return std::move(other).Take();
}

void TestHost::RefuseOn(const std::string& name, const std::string& table, const std::string& event,
                        const std::string& message, const std::string& when) {
  std::string script;
  if (OnPostgres()) {
    // PostgreSQL triggers call a function; RAISE's text is the error's primary message.
    script = "CREATE FUNCTION " + name + "_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ " +
             "BEGIN RAISE EXCEPTION '" + message + "'; END $$; CREATE TRIGGER " + name +
             " BEFORE " + event + " ON " + table + " FOR EACH ROW" +
             (when.empty() ? "" : " WHEN (" + when + ")") + " EXECUTE FUNCTION " + name +
             "_refuse()";
  } else {
    script = "CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table +
             (when.empty() ? "" : " WHEN " + when) + " BEGIN SELECT RAISE(ABORT, '" + message +
             "'); END";
  }
  if (db::Status status = db_->ExecScript(script); !status) {
    ADD_FAILURE() << "cannot make " << table << " refuse " << event << ": " << status;
  }
}

void TestHost::DropRefusal(const std::string& name, const std::string& table) {
  const std::string script =
      OnPostgres() ? "DROP TRIGGER " + name + " ON " + table : "DROP TRIGGER " + name;
  if (db::Status status = db_->ExecScript(script); !status) {
    ADD_FAILURE() << "cannot drop " << name << ": " << status;
  }
}

void TestHost::Exec(const db::Sql& sql) {
  std::string error = db::Runner(*db_).Execute(sql);
  if (!error.empty()) ADD_FAILURE() << "statement failed: " << sql.Literal() << "\n  " << error;
}

std::string TestHost::PlanOnIndexes(const std::string& statement) {
  const char* settings[] = {"enable_sort", "enable_seqscan", "enable_bitmapscan"};
  for (const char* setting : settings) {
    if (OnPostgres()) Exec(std::string("SET ") + setting + " = off");
  }
  const std::string plan =
      Joined((OnPostgres() ? "EXPLAIN " : "EXPLAIN QUERY PLAN ") + statement, "\n");
  for (const char* setting : settings) {
    if (OnPostgres()) Exec(std::string("RESET ") + setting);
  }
  return plan;
}

std::vector<std::pair<std::string, std::string>> TestHost::LoggedPlans(const std::string& part) {
  const std::vector<std::string> logged = Db().Log();
  std::vector<std::pair<std::string, std::string>> plans;
  for (const std::string& sql : logged) {
    if (sql.find(part) != std::string::npos) plans.emplace_back(sql, PlanOnIndexes(sql));
  }
  return plans;
}

std::string TestHost::Joined(const std::string& sql, const std::string& separator) {
  return Rows(sql, "/", separator, SIZE_MAX);
}

std::string TestHost::RowText(const std::string& sql, const std::string& separator) {
  return Rows(sql, separator, "", 1);
}

std::string TestHost::Rows(const std::string& sql, const std::string& columnSeparator,
                           const std::string& rowSeparator, size_t rows) {
  std::string error;
  auto rs = db::Runner(*db_).Open(db::Sql(sql), &error);
  if (!error.empty()) ADD_FAILURE() << "query failed: " << sql << "\n  " << error;
  std::string text;
  for (size_t row = 0; rs && !rs->Eof() && row < rows; rs->MoveNext(), ++row) {
    text += row ? rowSeparator : "";
    for (int i = 0; i < rs->FieldCount(); ++i)
      text += (i ? columnSeparator : "") + rs->Field(i).ToText();
  }
  return text;
}

db::Value TestHost::Scalar(const db::Sql& sql) {
  std::string error;
  db::Value value = db::Runner(*db_).Scalar(sql, &error);
  if (!error.empty()) ADD_FAILURE() << "query failed: " << sql.Literal() << "\n  " << error;
  return value;
}

}  // namespace ws::test

namespace {

// A run that asks for PostgreSQL without a server skips every test instead of failing: a plain
// ctest outside scripts/with_postgres.sh runs the SQLite half only.
class PostgresRunEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (ws::test::PostgresUnderTest() && !ws::platform::testing::PostgresUrl()) {
      // gtest counts tests skipped here as passed; the marker makes ctest report them skipped.
      std::printf("[  SKIPPED ] WS_PG_URL is not set (scripts/with_postgres.sh)\n");
      GTEST_SKIP() << "WS_PG_URL is not set (scripts/with_postgres.sh)";
    }
  }
};

[[maybe_unused]] auto* const kPostgresRunEnvironment =
    ::testing::AddGlobalTestEnvironment(new PostgresRunEnvironment);

}  // namespace
