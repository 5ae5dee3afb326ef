// Shop databases by name, as every `--db` names one: a database file (SQLite), or a
// "postgresql://" URL naming a database on a PostgreSQL server.
//
// A new shop is built the way `ws init` builds one, so that a failed run never leaves a
// half-made shop and --force replaces an existing one only by a finished one: a file under a
// temporary name beside the target, moved into place when complete; on PostgreSQL one
// transaction (the server's DDL is transactional) that drops the old shop's tables first and
// is committed when complete.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/database.h"
#include "db/date.h"
#include "db/sql.h"
#include "platform/engine_database.h"

namespace ws::platform {
class SqliteDatabase;
class PostgresDatabase;
}  // namespace ws::platform

namespace ws::shop {

// The engine a database name stands for.
db::Engine EngineOf(const std::string& name);

// Why a new shop database cannot be made at name ("already exists; use --force", "is a
// folder", "the folder ... does not exist", "already holds a shop; use --force"); empty when
// it can. Nothing is changed. A server that cannot be reached is left for the build to report.
std::string CheckNewDatabaseTarget(const std::string& name, bool force);

// The statements that create the catalogue and the default configuration started on initDate,
// without the catalogue's indexes: a bulk load runs faster into bare tables and the indexes are
// built once afterwards (CatalogueIndexStatements).
std::vector<db::Sql> CatalogueTableStatements(const db::Date& initDate,
                                              db::Engine engine = db::Engine::Sqlite);
// What follows the bulk load: the tables the triggers keep filled from the loaded rows (the
// triggers were not there to see them), then the indexes and the triggers.
std::vector<db::Sql> CatalogueIndexStatements(db::Engine engine = db::Engine::Sqlite);

class NewShopDatabase {
 public:
  // Nothing is created or changed until Open.
  NewShopDatabase(std::string name, bool force);
  // Abandons the build unless Finish completed it: the temporary file is removed, the server
  // transaction rolled back.
  ~NewShopDatabase();
  NewShopDatabase(const NewShopDatabase&) = delete;
  NewShopDatabase& operator=(const NewShopDatabase&) = delete;

  // Makes the empty database to build in: a temporary file, or a connection to the server
  // database (created when missing) with the build's transaction begun and the tables of a
  // shop already there dropped (refused without force). Answers the error text, empty on
  // success.
  std::string Open();
  db::IDatabase& Db() { return *db_; }
  db::Engine Engine() const { return engine_; }
  // The file's connection while building one; nullptr on PostgreSQL.
  platform::SqliteDatabase* Sqlite();
  // Completes the build: the file is closed (folding the write-ahead log into it) and moved
  // onto the target; the server transaction is committed. Answers the error text, empty on
  // success.
  std::string Finish();

  const std::string& TempPath() const { return temp_; }

 private:
  std::string OpenFile();
  std::string OpenServer();
  void RemoveTemp();

  std::string name_;
  bool force_;
  db::Engine engine_;
  std::string temp_;
  std::unique_ptr<db::IDatabase> db_;
  bool finished_ = false;
};

// An existing shop database by name, made by `ws init` or `ws demo`. Answers nullptr and a
// message for the user in *error when there is none (no such file, no server, not a
// database, no shop of ours).
std::unique_ptr<platform::EngineDatabase> OpenShopDatabase(const std::string& name,
                                                           std::string* error,
                                                           bool* notNamed = nullptr);

// The shop as every command that works in it opens it: OpenShopDatabase, then a file of an
// older build brought to this build's layout (db::UpgradeSchema) and a newer one refused.
// Rows that keep a unique index from being made are listed in *notice for the user; the shop
// opens all the same, so they can be set right.
// *notNamed (when given) tells a name that names no shop (a missing file, a folder, a file or
// database that is no shop of ours: the user's mistake) from a shop that could not be opened
// (a server out of reach, a failing disk).
std::unique_ptr<platform::EngineDatabase> OpenWorkingShop(const std::string& name,
                                                          std::string* error, std::string* notice,
                                                          bool* notNamed = nullptr);

}  // namespace ws::shop
