// A new shop database file, built the way `ws init` builds one: under a temporary name beside
// the target, moved into place only when complete, so a failed run never leaves a half-made
// database and --force replaces an existing file only by a finished one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/date.h"
#include "db/sql.h"
#include "platform/sqlite_database.h"

namespace ws::cli {

// Why a target file cannot be created ("already exists; use --force", "is a folder", "the
// folder ... does not exist"); empty when it can. Nothing is touched.
std::string CheckNewDatabaseTarget(const std::string& file, bool force);

// The statements that create the catalogue and the default configuration started on initDate,
// without the catalogue's indexes: a bulk load runs faster into bare tables and the indexes are
// built once afterwards (CatalogueIndexStatements).
std::vector<db::Sql> CatalogueTableStatements(const db::Date& initDate);
std::vector<db::Sql> CatalogueIndexStatements();

class NewDatabaseFile {
 public:
  // Nothing is created until Open.
  explicit NewDatabaseFile(std::string file);
  // Removes the temporary file unless Finish moved it into place.
  ~NewDatabaseFile();
  NewDatabaseFile(const NewDatabaseFile&) = delete;
  NewDatabaseFile& operator=(const NewDatabaseFile&) = delete;

  // Creates the empty temporary database; answers the error text, empty on success.
  std::string Open();
  platform::SqliteDatabase& Db() { return *db_; }
  // Closes the connection (folding the write-ahead log into the file) and moves the file onto
  // the target, replacing it. Answers the error text, empty on success.
  std::string Finish();

  const std::string& TempPath() const { return temp_; }

 private:
  void RemoveTemp();

  std::string file_;
  std::string temp_;
  std::unique_ptr<platform::SqliteDatabase> db_;
  bool finished_ = false;
};

}  // namespace ws::cli
