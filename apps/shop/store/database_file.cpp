#include "shop/store/database_file.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "db/default_config.h"
#include "db/runner.h"
#include "db/schema.h"
#include "db/sql.h"
#include "platform/open_files.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "shop/store/shop_input.h"

namespace ws::shop {

namespace fs = std::filesystem;

namespace {

bool IsIndexStatement(const db::Sql& sql) {
  const std::string& text = sql.Statement();
  // The change tracking and the server's trigram indexes go with the indexes: a bulk load
  // runs before all of them.
  return text.rfind("CREATE INDEX", 0) == 0 || text.rfind("CREATE UNIQUE INDEX", 0) == 0 ||
         text.rfind("CREATE TRIGGER", 0) == 0 || text.rfind("CREATE OR REPLACE FUNCTION", 0) == 0 ||
         text.rfind("DO $$", 0) == 0;
}

// A database file's companions (WAL, shared memory, rollback journal): left beside a new file
// under the same name they would be read as part of it.
void RemoveCompanions(const std::string& file) {
  std::error_code ignored;
  for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(file + suffix, ignored);
}

// Whether the server database already holds a table of the catalogue: a shop, whole or half
// made by something else. Tables are looked up in the connection's own schema search path.
bool HoldsCatalogueTable(db::IDatabase& database, std::string* error) {
  db::Sql sql(
      "SELECT count(*) FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON "
      "n.oid = c.relnamespace WHERE c.relkind = 'r' AND n.nspname = current_schema() "
      "AND c.relname IN (");
  bool first = true;
  for (const auto& table : db::Tables()) {
    if (!first) sql.Raw(", ");
    first = false;
    std::string lower = table.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    sql.Text(lower);
  }
  sql.Raw(")");
  return db::Runner(database).ScalarNumber(sql, error) > 0;
}

std::string AlreadyHoldsShop(const std::string& name) {
  return platform::DisplayUrl(name) + " already holds a shop database; use --force to replace it";
}

}  // namespace

db::Engine EngineOf(const std::string& name) {
  return platform::IsPostgresUrl(name) ? db::Engine::Postgres : db::Engine::Sqlite;
}

std::string CheckNewDatabaseTarget(const std::string& name, bool force) {
  if (EngineOf(name) == db::Engine::Postgres) {
    if (force) return "";
    auto database = platform::PostgresDatabase::Open(name);
    if (!database) return "";  // no server, or no such database yet: the build tells
    std::string error;
    if (HoldsCatalogueTable(*database, &error)) return AlreadyHoldsShop(name);
    return "";
  }
  const fs::path target(name);
  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  if (fs::is_directory(status)) return name + " is a folder, not a database file";
  if (fs::exists(status) && !force) return name + " already exists; use --force to replace it";
  if (fs::exists(status) && platform::open_files::InUse(name)) {
    return name + " is open in another program; close it there before replacing it";
  }
  const fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    return "the folder " + folder.string() + " does not exist";
  }
  return "";
}

std::vector<db::Sql> CatalogueTableStatements(const db::Date& initDate, db::Engine engine) {
  std::vector<db::Sql> out;
  for (auto& sql : db::CatalogueStatements(engine)) {
    if (!IsIndexStatement(sql)) out.push_back(std::move(sql));
  }
  for (auto& sql : db::DefaultConfigStatements(initDate)) out.push_back(std::move(sql));
  return out;
}

std::vector<db::Sql> CatalogueIndexStatements(db::Engine engine) {
  std::vector<db::Sql> out;
  for (const auto& table : db::Tables()) {
    if (!table.filledBy) continue;
    for (auto& fill : table.filledBy()) out.emplace_back(std::move(fill));
  }
  for (auto& sql : db::CatalogueStatements(engine)) {
    if (IsIndexStatement(sql)) out.push_back(std::move(sql));
  }
  return out;
}

NewShopDatabase::NewShopDatabase(std::string name, bool force)
    : name_(std::move(name)), force_(force), engine_(EngineOf(name_)) {
  if (engine_ == db::Engine::Sqlite) temp_ = name_ + ".new-tmp";
}

NewShopDatabase::~NewShopDatabase() {
  if (!finished_) RemoveTemp();
}

platform::SqliteDatabase* NewShopDatabase::Sqlite() {
  return dynamic_cast<platform::SqliteDatabase*>(db_.get());
}

void NewShopDatabase::RemoveTemp() {
  // Closing the server connection rolls its open transaction back.
  db_.reset();
  if (temp_.empty()) return;
  std::error_code ignored;
  fs::remove(temp_, ignored);
  RemoveCompanions(temp_);
}

std::string NewShopDatabase::Open() {
  RemoveTemp();
  return engine_ == db::Engine::Postgres ? OpenServer() : OpenFile();
}

std::string NewShopDatabase::OpenFile() {
  auto opened = platform::SqliteDatabase::Open(temp_);
  if (!opened) return "cannot create " + temp_ + ": " + opened.Error();
  db_ = std::move(opened).Take();
  return "";
}

std::string NewShopDatabase::OpenServer() {
  if (db::Status made = platform::PostgresDatabase::CreateDatabaseIfMissing(name_); !made) {
    return "cannot create the database " + platform::DisplayUrl(name_) + ": " + made.Error();
  }
  auto opened = platform::PostgresDatabase::Open(name_);
  if (!opened) return opened.Error();
  db_ = std::move(opened).Take();
  std::string error;
  db_->BeginTrans();
  if (error = db_->LastError(); !error.empty()) return error;
  bool holds = HoldsCatalogueTable(*db_, &error);
  if (!error.empty()) return error;
  if (holds && !force_) return AlreadyHoldsShop(name_);
  if (holds) {
    db::Runner runner(*db_);
    for (const auto& table : db::Tables()) {
      // Only the catalogue's own tables go; anything else in the database is not ours.
      error = runner.Execute(db::Sql("DROP TABLE IF EXISTS ").Raw(table.name).Raw(" CASCADE"));
      if (!error.empty()) return "cannot remove the old " + table.name + ": " + error;
    }
  }
  return "";
}

std::string NewShopDatabase::Finish() {
  if (engine_ == db::Engine::Postgres) {
    // Fresh statistics, or the planner guesses on tables it has never seen filled.
    if (std::string error = db::Runner(*db_).Execute(db::Sql("ANALYZE")); !error.empty())
      return error;
    db_->CommitTrans();
    if (std::string error = db_->LastError(); !error.empty()) return error;
    // Every row loaded bumped its block's version: the navigators read these few rows on
    // every move, so the dead versions of them go before anyone works in the shop.
    if (std::string error = db::Runner(*db_).Execute(db::Sql("VACUUM ANALYZE ws_change_block"));
        !error.empty()) {
      return error;
    }
    finished_ = true;
    db_.reset();
    return "";
  }
  db_.reset();
  // Checked again at the end of a long build: a shop someone opened meanwhile keeps its file.
  if (fs::exists(name_) && platform::open_files::InUse(name_)) {
    return name_ + " is open in another program; close it there before replacing it";
  }
  RemoveCompanions(name_);
  std::error_code ec;
  // The shop holds the accounts' password hashes: readable by its owner only.
  fs::permissions(temp_, fs::perms::owner_read | fs::perms::owner_write, ec);
  fs::rename(temp_, name_, ec);
  if (ec) return "cannot move the new database to " + name_ + ": " + ec.message();
  finished_ = true;
  return "";
}

std::unique_ptr<platform::EngineDatabase> OpenShopDatabase(const std::string& name,
                                                           std::string* error, bool* notNamed) {
  auto fail = [&](const std::string& message) -> std::unique_ptr<platform::EngineDatabase> {
    if (error) *error = message;
    return nullptr;
  };
  auto noShop = [&](const std::string& message) {
    if (notNamed) *notNamed = true;
    return fail(message);
  };
  std::unique_ptr<platform::EngineDatabase> database;
  if (EngineOf(name) == db::Engine::Postgres) {
    auto opened = platform::PostgresDatabase::Open(name);
    if (!opened) return fail(opened.Error());
    database = std::move(opened).Take();
  } else {
    // Checked before the engine sees it: an empty file would be taken as a new database and
    // rewritten while it is refused.
    if (std::string problem = CheckExistingDatabaseFile(name); !problem.empty()) {
      return noShop(problem);
    }
    // Looked at read-only first: opening for work switches the file to WAL, which writes to
    // a file that may be no shop of ours. A file the engine cannot read without writing (a
    // WAL file left without its shared memory) is in WAL already and is looked at once open.
    // The reasons name the file and say it cannot be opened.
    if (auto look = platform::SqliteDatabase::OpenReadOnly(name)) {
      if (!db::SchemaVersion(*look)) return noShop(name + " is not a repair-shop database");
    }
    auto opened = platform::SqliteDatabase::Open(name);
    if (!opened) return fail(opened.Error());
    database = std::move(opened).Take();
  }
  if (!db::SchemaVersion(*database)) {
    return noShop(platform::DisplayUrl(name) + " is not a repair-shop database");
  }
  return database;
}

std::unique_ptr<platform::EngineDatabase> OpenWorkingShop(const std::string& name,
                                                          std::string* error, std::string* notice,
                                                          bool* notNamed) {
  if (notNamed) *notNamed = false;
  auto database = OpenShopDatabase(name, error, notNamed);
  if (!database) return nullptr;
  if (std::string upgrade = db::UpgradeSchema(*database, notice); !upgrade.empty()) {
    if (error) *error = platform::DisplayUrl(name) + ": " + upgrade;
    return nullptr;
  }
  return database;
}

}  // namespace ws::shop
