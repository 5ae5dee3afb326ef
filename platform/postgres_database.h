// The database service on PostgreSQL: the server engine, for shops where several users work
// on one database. Statements arrive in the module's dialect and are translated (TOP n, #date#,
// isnull, iif, case-insensitive LIKE) before they run.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine_database.h"

struct pg_conn;

namespace ws::platform {

// True when a database name is a PostgreSQL connection URL ("postgresql://..." or
// "postgres://..."), as opposed to a database file.
bool IsPostgresUrl(std::string_view name);
// The URL as it may be shown to a user: a password in it is replaced by "***".
std::string DisplayUrl(std::string_view url);
// True when a connection failed for want of the server (out of reach, starting or stopping,
// out of connection slots) rather than over the login it was asked for: a login page must not
// tell such a failure as a wrong password, nor count it against the one who typed it.
bool ServerUnavailable(std::string_view connectError);
// True when the server refused a connection because every slot it gives ordinary logins is
// taken: a case of ServerUnavailable that closing a connection of one's own can end.
bool ServerFull(std::string_view connectError);

class PostgresDatabase : public EngineDatabase {
 public:
  // Connects to the database a "postgresql://" URL names (libpq's URL form, e.g.
  // "postgresql://user@/shop?host=/run/postgresql"). Fails with the reason when no connection
  // can be made.
  static db::Result<std::unique_ptr<PostgresDatabase>> Open(const std::string& url);
  // The same database as another login: the user and password given replace the URL's (the
  // web front end connects each logged-in account as itself, so the server keeps its rights).
  static db::Result<std::unique_ptr<PostgresDatabase>> OpenAs(const std::string& url,
                                                              const std::string& user,
                                                              const std::string& password);
  ~PostgresDatabase() override;
  // Creates the database the URL names when the server has none of that name yet (connecting
  // to the server's "postgres" database to do so); the database a new shop is made in need not
  // exist beforehand.
  static db::Status CreateDatabaseIfMissing(const std::string& url);

  // The text is translated once here; each run sends exactly one statement (the server refuses
  // a text holding two). Inside a transaction a failed statement is undone alone, so the
  // transaction stays usable as on the embedded engine; without this PostgreSQL would refuse
  // every further statement until the rollback. A kCommandTextAllOrNothing command is not
  // fenced so: its failure leaves the transaction refusing everything but the rollback its
  // caller makes. A command kept past its service does nothing.
  std::unique_ptr<db::ICommand> CreateCommand(const std::string& sql, int kind) override;
  // Nothing is held between statements (results are read whole) but queries read ahead
  // (ICommand::ReadAhead), which end with the operation; an open transaction is left alone.
  void Close() override;
  // The outermost level is BEGIN; a BeginTrans inside it opens a savepoint, which CommitTrans
  // releases and RollbackTrans undoes, innermost level first. RollbackTrans with nothing open
  // is harmless; CommitTrans with nothing open sets LastError.
  void BeginTrans() override;
  void CommitTrans() override;
  // At the outermost level the read and the COMMIT go in one round trip, after what is held
  // back; a read that fails leaves the transaction uncommitted for the caller's rollback.
  std::shared_ptr<db::Recordset> CommitReading(db::ICommand& query) override;
  void RollbackTrans() override;
  bool InTransaction() const override;
  // "driver" is "postgresql" unless set otherwise.
  // Queries read ahead go with the next statement in one round trip.
  bool ReadsAhead() const override { return true; }
  uint64_t WritesSent() const override;

  // Runs a script of several statements as they stand (no translation): the catalogue.
  db::Status ExecScript(const std::string& sql) override;

  // False once the server has dropped the connection (a restart, a terminated backend); the
  // next statement makes it again, with what it knew of the old one lost.
  bool Connected() const;
  // How many connections the server gives logins that are not superusers: max_connections less
  // the slots it reserves (superuser_reserved_connections, and reserved_connections where the
  // server has it). 0 with the error when the settings cannot be read.
  int OrdinaryConnectionSlots(std::string* error);

  // The libpq connection, for bulk loading with COPY.
  pg_conn* Handle() const;

 private:
  PostgresDatabase();
  EngineState& State() const override;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend class PostgresCommand;
};

}  // namespace ws::platform
