// Running statements the one way the module does it: create the command, bind the builder's
// values, run it and hand back the command's own error. Nobody reads LastError by hand.
#pragma once

#include <memory>
#include <string>

#include "db/database.h"
#include "db/sql.h"

namespace ws::db {

class Runner {
 public:
  // `kind` is the IDatabase command kind every statement is created with.
  explicit Runner(IDatabase& db, int kind = IDatabase::kCommandText) : db_(db), kind_(kind) {}

  // Runs an INSERT, UPDATE or DELETE; answers the error text, empty on success. *busy tells
  // whether a failure was only another connection's lock (ICommand::Busy).
  std::string Execute(const Sql& sql, int64_t* rowsAffected = nullptr, bool* busy = nullptr);
  // First column of the first row (Null when no row). Error text into *error when given.
  Value Scalar(const Sql& sql, std::string* error = nullptr);
  // "" + value of a scalar query.
  std::string ScalarText(const Sql& sql, std::string* error = nullptr);
  // Numeric value of the scalar's text: no row gives 0.
  double ScalarNumber(const Sql& sql, std::string* error = nullptr);
  // The scalar as an exact amount: no row gives 0.
  Amount ScalarAmount(const Sql& sql, std::string* error = nullptr);
  // The record set of a SELECT; on failure an empty closed set and the error in *error.
  std::shared_ptr<Recordset> Open(const Sql& sql, std::string* error = nullptr);
  // The rows of a SELECT in chunks as the cursor reads them (see ICommand::Stream): the
  // failure's text, empty when every row was taken or the sink stopped the statement (then
  // *stopped is set).
  std::string Stream(const Sql& sql, size_t chunkRows, const ICommand::ChunkSink& take,
                     bool* stopped = nullptr);

  // Commits the open transaction with the query read as its last statement
  // (IDatabase::CommitReading); on failure an empty closed set and the error in *error.
  std::shared_ptr<Recordset> CommitReading(const Sql& sql, std::string* error);
  // Has the query's rows come with the next statement (ICommand::ReadAhead); a later Open or
  // Scalar of the same Sql takes them. A query that cannot be built is left alone.
  void ReadAhead(const Sql& sql);

  // The same where a failure aborts the operation: the database's text is thrown as
  // std::runtime_error, for the interface's guard to report under its tag.
  void ExecuteOrThrow(const Sql& sql, int64_t* rowsAffected = nullptr);
  std::string ScalarTextOrThrow(const Sql& sql);
  double ScalarNumberOrThrow(const Sql& sql);
  Amount ScalarAmountOrThrow(const Sql& sql);
  std::shared_ptr<Recordset> OpenOrThrow(const Sql& sql);

  // A statement written out as a string literal is fixed text by construction; text assembled
  // at run time still has to come as an Sql.
  template <size_t N>
  std::string Execute(const char (&fixed)[N], int64_t* rowsAffected = nullptr) {
    return Execute(Sql(fixed), rowsAffected);
  }
  template <size_t N>
  Value Scalar(const char (&fixed)[N], std::string* error = nullptr) {
    return Scalar(Sql(fixed), error);
  }
  template <size_t N>
  std::string ScalarText(const char (&fixed)[N], std::string* error = nullptr) {
    return ScalarText(Sql(fixed), error);
  }
  template <size_t N>
  double ScalarNumber(const char (&fixed)[N], std::string* error = nullptr) {
    return ScalarNumber(Sql(fixed), error);
  }
  template <size_t N>
  std::shared_ptr<Recordset> Open(const char (&fixed)[N], std::string* error = nullptr) {
    return Open(Sql(fixed), error);
  }

  std::string Driver() const { return db_.Settings("driver"); }
  bool IsJet() const;
  IDatabase& Database() { return db_; }

 private:
  std::unique_ptr<ICommand> Command(const Sql& sql);

  IDatabase& db_;
  int kind_;
};

// A unit of work that cleans up after itself: begun on construction, rolled back on
// destruction unless committed. Run stops at the first failing statement, rolls back and
// keeps the database's own error text.
class Transaction {
 public:
  explicit Transaction(IDatabase& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Runs a statement; false (and rolled back) on failure. Once failed, every further call
  // does nothing and answers false.
  bool Run(const Sql& sql, int64_t* rowsAffected = nullptr);
  template <size_t N>
  bool Run(const char (&fixed)[N], int64_t* rowsAffected = nullptr) {
    return Run(Sql(fixed), rowsAffected);
  }
  // Runs a write that must change exactly one row: a row gone or already moved on (by another
  // user) fails the unit with `refusal`, as a failing statement would with its own error.
  bool RunOne(const Sql& sql, const std::string& refusal);
  // Runs a write whose outcome this unit does not wait for: on a server it may travel with
  // the next statement, so its failure can surface there (in the write's own words) or at
  // Commit, and the unit then fails as a whole. False when it is already known to have failed.
  bool Send(const Sql& sql);
  // Records a failure that did not come from a statement and rolls back.
  void Fail(const std::string& error);
  // Holds the row of `table` whose `keyColumn` is `id` until the transaction ends, so that
  // whatever this transaction reads next about it is read after every other writer of it has
  // committed: SELECT ... FOR UPDATE on the server (sent as Send sends a write); on SQLite the
  // transaction already holds the write lock. False (and failed) on a database error; a
  // missing row locks nothing.
  bool LockRow(std::string_view table, std::string_view keyColumn, int64_t id);
  // Takes the turn of one value of a table (a typed document number, a card's code) until the
  // transaction ends, so that of two users storing the same value at once the second checks
  // for it after the first has committed: a transaction-scoped advisory lock on the server
  // (sent as Send sends a write), nothing on SQLite, whose transaction holds the write lock.
  bool LockValue(std::string_view table, const std::string& value);
  bool Commit();
  // Commits with `query` read as the unit's last statement, on a server in the commit's own
  // round trip; *rows gets its rows. False (and rolled back) when either failed.
  bool CommitReading(const Sql& query, std::shared_ptr<Recordset>* rows);
  void Rollback();

  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }
  Runner& Db() { return runner_; }

 private:
  // The unit after its commit: failed and rolled back when the commit did not take.
  bool Ended(const std::string& commitError);

  IDatabase& db_;
  Runner runner_;
  // Run and LockRow roll everything back on a failure: their statements are all or nothing.
  Runner allOrNothing_;
  Runner heldBack_;
  bool open_ = false;
  bool failed_ = false;
  std::string error_;
};

}  // namespace ws::db
