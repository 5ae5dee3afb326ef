// The database service the host hands out (GetDatabase): a statement is a text in the module's
// dialect whose values are bound to "?" placeholders; each command reports its own failure
// (Error), and LastError mirrors the last statement run. Implementations live in platform/
// (SQLite, PostgreSQL); the module sees only this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/recordset.h"
#include "db/value.h"

namespace ws::db {

// A prepared statement text. Execute, GetValue and OpenRecordset never throw: a failure
// leaves its text in Error (and in the owning service's LastError) and answers nothing (Null,
// an empty closed record set). A "?" placeholder left without a bound value, or a value bound
// to a position the text does not have, fails the run instead of running as Null.
class ICommand {
 public:
  virtual ~ICommand() = default;
  virtual void Execute() = 0;
  // First column of the first row; Null when there is no row or on failure.
  virtual Value GetValue() = 0;
  virtual std::shared_ptr<Recordset> OpenRecordset() = 0;
  // Takes the rows of a query as the engine's cursor reads them: a list too big to wait for
  // shows how far it has come, and the user can stop the statement.
  // Each chunk is a record set of its own (the field names included) that is only valid
  // during the call. complete marks the last one, handed over once the statement ended
  // (possibly empty).
  using ChunkSink = std::function<bool(Recordset& chunk, bool complete)>;
  // Hands the rows over in chunks of at most chunkRows, and whatever was read (possibly
  // nothing) about every tenth of a second while the statement works (a sort before its first
  // row). A sink answering false to a chunk that is not the last stops the statement: false,
  // with Error() empty. A failure answers false with its text in Error(); true once every row
  // was taken.
  virtual bool Stream(size_t chunkRows, const ChunkSink& take) = 0;
  // Number of rows the last Execute changed (0 after a failure).
  virtual int64_t RowsAffected() const { return 0; }
  // Binds the value of the position-th "?" placeholder (1-based) of the statement text.
  virtual void Bind(int position, const Value& value) = 0;
  // This statement's own failure text; empty when it succeeded (LastError of the service
  // still mirrors the last statement, as the host contract says).
  virtual std::string Error() const = 0;
  // Whether the last run failed only because another connection held a lock the statement
  // needed (past the wait, or at once for kCommandTextNoWait): it did nothing, and the same
  // statement may succeed once the other connection has ended its work.
  virtual bool Busy() const { return false; }
  // Asks for this query's rows no later than with the connection's next statement: an engine
  // with a round trip per statement sends it with the next one. The next run of a command of
  // the same text and values outside a transaction is then answered from those rows, as long as
  // nothing else went to the database in between; a statement sent meanwhile (a write above
  // all) drops them, and the run asks anew. Queries meant to be answered together are read
  // ahead in the order they will run. An engine without round trips ignores it.
  virtual void ReadAhead() {}
};

class IDatabase {
 public:
  static constexpr int kCommandText = 1;
  // Plain text whose failure the caller answers by rolling back the whole transaction level it
  // runs in, so the failure need not be undone alone: an engine that fences every statement in
  // a transaction to undo its failure alone (a savepoint on the server) may run it unfenced.
  static constexpr int kCommandTextAllOrNothing = 2;
  // An all-or-nothing write whose outcome its caller does not wait for: an engine with a round
  // trip per statement may hold it back inside a transaction and send it with the next
  // statement, which then answers the write's failure in the write's own words, as does the
  // commit. Its count of changed rows is not told.
  static constexpr int kCommandTextHeldBack = 3;
  // Plain text that never waits for a lock another connection holds (the write lock of a
  // file, a row another transaction wrote or locked): it fails at once instead, with Busy()
  // set. For a write worth making only when it costs the user nothing now.
  static constexpr int kCommandTextNoWait = 4;
  virtual ~IDatabase() = default;

  virtual std::unique_ptr<ICommand> CreateCommand(const std::string& sql,
                                                  int kind = kCommandText) = 0;
  // Ends an operation; the connection stays usable.
  virtual void Close() = 0;
  virtual void BeginTrans() = 0;
  virtual void CommitTrans() = 0;
  // Commits the transaction with `query` read as its last statement: an engine with a round
  // trip per statement sends both together. The query's rows; nullptr when the query or the
  // commit failed (the query's Error or LastError tells; the caller rolls back).
  virtual std::shared_ptr<Recordset> CommitReading(ICommand& query) {
    auto rows = query.OpenRecordset();
    if (!query.Error().empty()) return nullptr;
    CommitTrans();
    return LastError().empty() ? rows : nullptr;
  }
  virtual void RollbackTrans() = 0;
  virtual bool InTransaction() const = 0;
  // Description of the last statement's failure; empty when it succeeded.
  virtual std::string LastError() const = 0;
  // Keyed settings; "driver" gives the dialect text ("jet" for the desktop dialect).
  virtual std::string Settings(const std::string& key) const = 0;
  virtual void SetSetting(const std::string& key, const std::string& value) = 0;
  // Whether ICommand::ReadAhead saves anything here: where it does not, a caller need not
  // even build what it would read ahead.
  virtual bool ReadsAhead() const { return false; }
  // How many writes this connection has sent or held back so far. A reader that remembers the
  // figure learns whether its own connection wrote since, and so what it may find moved;
  // an engine that does not read ahead need not count.
  virtual uint64_t WritesSent() const { return 0; }
};

}  // namespace ws::db
