#include "lib/database_file.h"

#include <filesystem>
#include <system_error>

#include "db/catalogue.h"
#include "db/default_config.h"

namespace ws::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kIndexPrefix = "CREATE INDEX";

bool IsIndexStatement(const db::Sql& sql) {
  return sql.Statement().rfind(kIndexPrefix, 0) == 0;
}

// A database file's companions (WAL, shared memory, rollback journal): left beside a new file
// under the same name they would be read as part of it.
void RemoveCompanions(const std::string& file) {
  std::error_code ignored;
  for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(file + suffix, ignored);
}

}  // namespace

std::string CheckNewDatabaseTarget(const std::string& file, bool force) {
  const fs::path target(file);
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  if (fs::is_directory(status)) return file + " is a folder, not a database file";
  if (fs::exists(status) && !force) return file + " already exists; use --force to replace it";
  const fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    return "the folder " + folder.string() + " does not exist";
  }
  return "";
}

std::vector<db::Sql> CatalogueTableStatements(const db::Date& initDate) {
  std::vector<db::Sql> out;
  for (auto& sql : db::CatalogueStatements(db::Engine::Sqlite)) {
    if (!IsIndexStatement(sql)) out.push_back(std::move(sql));
  }
  for (auto& sql : db::DefaultConfigStatements(initDate)) out.push_back(std::move(sql));
  return out;
}

std::vector<db::Sql> CatalogueIndexStatements() {
  std::vector<db::Sql> out;
  for (auto& sql : db::CatalogueStatements(db::Engine::Sqlite)) {
    if (IsIndexStatement(sql)) out.push_back(std::move(sql));
  }
  return out;
}

NewDatabaseFile::NewDatabaseFile(std::string file)
    : file_(std::move(file)), temp_(file_ + ".new-tmp") {}

NewDatabaseFile::~NewDatabaseFile() {
  if (!finished_) RemoveTemp();
}

void NewDatabaseFile::RemoveTemp() {
  db_.reset();
  std::error_code ignored;
  fs::remove(temp_, ignored);
  RemoveCompanions(temp_);
}

std::string NewDatabaseFile::Open() {
  RemoveTemp();
  std::string error;
  db_ = platform::SqliteDatabase::Open(temp_, &error);
  if (!db_) return "cannot create " + temp_ + ": " + error;
  return "";
}

std::string NewDatabaseFile::Finish() {
  db_.reset();
  RemoveCompanions(file_);
  std::error_code ec;
  fs::rename(temp_, file_, ec);
  if (ec) return "cannot move the new database to " + file_ + ": " + ec.message();
  finished_ = true;
  return "";
}

}  // namespace ws::cli
