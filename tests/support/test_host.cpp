#include "support/test_host.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "host/ui.h"

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

}  // namespace

std::string InstallCatalogue(platform::SqliteDatabase& db, const db::Date& initDate) {
  for (const auto& sql : db::CatalogueStatements(db::Engine::Sqlite)) {
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
  std::string path = ":memory:";
  if (storage == Storage::File) {
    databasePath_ = (workFolder_ / "ws.db").string();
    path = databasePath_;
  }
  std::string error;
  db_ = platform::SqliteDatabase::Open(path, &error);
  if (!db_) {
    // Nothing can run without a database; stop here rather than crash in every test.
    std::fprintf(stderr, "TestHost: %s\n", error.c_str());
    std::abort();
  }
  if (std::string installError = InstallCatalogue(*db_, kTestLoginDate); !installError.empty()) {
    ADD_FAILURE() << "catalogue: " << installError;
  }
  db_->EnableLog(true);
  host::LoginInfo login{kTestUser, kTestLoginDate, workFolder_.string()};
  system_ = std::make_unique<platform::SystemObject>(*db_, dialogs_, login);
  system_->SetPickerHandler([this](const std::string& description, const std::string& text) {
    return NextPick(description, text);
  });
  system_->SetRunPickerHandler([this](host::IControl& picker, const std::string& text) {
    return NextPick(picker.ClassName(), text);
  });
}

host::PickResult TestHost::NextPick(const std::string& picker, const std::string& text) {
  pickCalls_.push_back(PickCall{picker, text});
  if (picks_.empty()) return host::PickResult{};
  host::PickResult result = std::move(picks_.front());
  picks_.pop_front();
  return result;
}

TestHost::~TestHost() {
  system_.reset();
  db_.reset();
  if (!workFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(workFolder_, ignored);
  }
}

std::unique_ptr<platform::SqliteDatabase> TestHost::OpenSecondConnection() {
  if (databasePath_.empty()) {
    ADD_FAILURE() << "a memory database has no second connection";
    return nullptr;
  }
  std::string error;
  auto other = platform::SqliteDatabase::Open(databasePath_, &error);
  if (!other) ADD_FAILURE() << error;
  return other;
}

void TestHost::Exec(const db::Sql& sql) {
  std::string error = db::Runner(*db_).Execute(sql);
  if (!error.empty()) ADD_FAILURE() << "statement failed: " << sql.Literal() << "\n  " << error;
}

db::Value TestHost::Scalar(const db::Sql& sql) {
  std::string error;
  db::Value value = db::Runner(*db_).Scalar(sql, &error);
  if (!error.empty()) ADD_FAILURE() << "query failed: " << sql.Literal() << "\n  " << error;
  return value;
}

}  // namespace ws::test
