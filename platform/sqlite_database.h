// The database service on SQLite: the embedded default. Statements arrive in the module's
// dialect and are translated (TOP n, #date#, isnull, iif) before they run.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine_database.h"

struct sqlite3;

namespace ws::platform {

class SqliteDatabase : public EngineDatabase {
 public:
  // Opens (or creates) a database file; ":memory:" gives a private in-memory database.
  // Fails with the reason when the file cannot be opened as a database.
  static db::Result<std::unique_ptr<SqliteDatabase>> Open(const std::string& path);
  // Opens an existing file only to read it: nothing of it is written, its journal mode
  // included, so the file stays byte for byte as it was.
  static db::Result<std::unique_ptr<SqliteDatabase>> OpenReadOnly(const std::string& path);
  // The engine's failure (result code rc, its text) as the user reads it: another user holding
  // the database past the busy timeout, a full disk and a failing disk in the shop's words.
  static std::string FailureText(int rc, const std::string& engineText);
  ~SqliteDatabase() override;

  // The text is translated once here; each run prepares exactly one statement, binds the
  // values given to its "?" placeholders and refuses a text holding a second statement, a
  // named parameter or a placeholder without a value. A command kept past its service does
  // nothing but report so.
  std::unique_ptr<db::ICommand> CreateCommand(const std::string& sql, int kind) override;
  // Resets statements left half-read through Handle(); an open transaction is left alone.
  void Close() override;
  // The outermost level is BEGIN IMMEDIATE; a BeginTrans inside it opens a savepoint, which
  // CommitTrans releases and RollbackTrans undoes, innermost level first. RollbackTrans with
  // nothing open is harmless; CommitTrans with nothing open (or after the engine rolled back
  // by itself) sets LastError.
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  bool InTransaction() const override;

  // Runs a script of several statements as they stand (no translation): the catalogue.
  db::Status ExecScript(const std::string& sql) override;

  sqlite3* Handle() const;
  // How long a statement waits for another connection's lock before it fails as busy; the
  // default that Open sets is kDefaultBusyTimeoutMs.
  static constexpr int kDefaultBusyTimeoutMs = 5000;
  void SetBusyTimeout(int milliseconds);
  // Copies every page of this database into target's in one step (the engine's backup), so
  // target's connection and every other one of its file see the copy at once.
  db::Status CopyPagesTo(SqliteDatabase& target);
  // Writes every page of this database into the file at path, made or replaced, as one
  // self-contained file in rollback-journal mode (no -wal beside it).
  db::Status CopyPagesToFile(const std::string& path);

 private:
  SqliteDatabase();
  EngineState& State() const override;
  static db::Result<std::unique_ptr<SqliteDatabase>> OpenFile(const std::string& path,
                                                              bool readOnly);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend class SqliteCommand;
};

}  // namespace ws::platform
