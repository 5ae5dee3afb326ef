#include "db/runner.h"

#include <stdexcept>

namespace ws::db {

std::unique_ptr<ICommand> Runner::Command(const Sql& sql) {
  auto command = db_.CreateCommand(sql.Statement(), kind_);
  int position = 0;
  for (const Value& value : sql.Values()) command->Bind(++position, value);
  return command;
}

std::shared_ptr<Recordset> Runner::CommitReading(const Sql& sql, std::string* error) {
  auto command = Command(sql);
  auto rows = db_.CommitReading(*command);
  *error = rows ? std::string() : command->Error();
  if (rows) return rows;
  if (error->empty()) *error = db_.LastError();
  if (error->empty()) *error = "the transaction could not be committed";
  rows = std::make_shared<Recordset>();
  rows->Close();
  return rows;
}

void Runner::ReadAhead(const Sql& sql) {
  if (db_.ReadsAhead()) Command(sql)->ReadAhead();
}

std::string Runner::Execute(const Sql& sql, int64_t* rowsAffected, bool* busy) {
  auto command = Command(sql);
  command->Execute();
  std::string error = command->Error();
  if (rowsAffected) *rowsAffected = error.empty() ? command->RowsAffected() : 0;
  if (busy) *busy = !error.empty() && command->Busy();
  return error;
}

Value Runner::Scalar(const Sql& sql, std::string* error) {
  auto command = Command(sql);
  Value v = command->GetValue();
  std::string e = command->Error();
  if (error) *error = e;
  return e.empty() ? v : Value{};
}

std::string Runner::ScalarText(const Sql& sql, std::string* error) {
  return Scalar(sql, error).ToText();
}

double Runner::ScalarNumber(const Sql& sql, std::string* error) {
  return NumericValue(ScalarText(sql, error));
}

Amount Runner::ScalarAmount(const Sql& sql, std::string* error) {
  return Amount::OfValue(Scalar(sql, error));
}

std::shared_ptr<Recordset> Runner::Open(const Sql& sql, std::string* error) {
  auto command = Command(sql);
  auto rs = command->OpenRecordset();
  std::string e = command->Error();
  if (error) *error = e;
  if (!rs || !e.empty()) {
    rs = std::make_shared<Recordset>();
    rs->Close();
  }
  return rs;
}

std::string Runner::Stream(const Sql& sql, size_t chunkRows, const ICommand::ChunkSink& take,
                           bool* stopped) {
  auto command = Command(sql);
  const bool complete = command->Stream(chunkRows, take);
  std::string error = command->Error();
  if (stopped) *stopped = !complete && error.empty();
  return error;
}

void Runner::ExecuteOrThrow(const Sql& sql, int64_t* rowsAffected) {
  if (std::string error = Execute(sql, rowsAffected); !error.empty()) {
    throw std::runtime_error(error);
  }
}

std::string Runner::ScalarTextOrThrow(const Sql& sql) {
  std::string error;
  std::string text = ScalarText(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  return text;
}

double Runner::ScalarNumberOrThrow(const Sql& sql) {
  return NumericValue(ScalarTextOrThrow(sql));
}

Amount Runner::ScalarAmountOrThrow(const Sql& sql) {
  std::string error;
  Amount value = ScalarAmount(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  return value;
}

std::shared_ptr<Recordset> Runner::OpenOrThrow(const Sql& sql) {
  std::string error;
  auto records = Open(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  return records;
}

bool Runner::IsJet() const {
  return IsJetDriver(Driver());
}

Transaction::Transaction(IDatabase& db)
    : db_(db),
      runner_(db),
      allOrNothing_(db, IDatabase::kCommandTextAllOrNothing),
      heldBack_(db, IDatabase::kCommandTextHeldBack) {
  db_.BeginTrans();
  std::string error = db_.LastError();
  open_ = error.empty();
  if (!open_) {
    failed_ = true;
    error_ = std::move(error);
  }
}

Transaction::~Transaction() {
  if (open_) db_.RollbackTrans();
}

bool Transaction::Run(const Sql& sql, int64_t* rowsAffected) {
  if (failed_) return false;
  std::string error = allOrNothing_.Execute(sql, rowsAffected);
  if (error.empty()) return true;
  Fail(error);
  return false;
}

bool Transaction::RunOne(const Sql& sql, const std::string& refusal) {
  int64_t rows = 0;
  if (!Run(sql, &rows)) return false;
  if (rows == 1) return true;
  Fail(refusal);
  return false;
}

bool Transaction::Send(const Sql& sql) {
  if (failed_) return false;
  std::string error = heldBack_.Execute(sql);
  if (error.empty()) return true;
  Fail(error);
  return false;
}

void Transaction::Fail(const std::string& error) {
  if (!failed_) {
    failed_ = true;
    error_ = error;
  }
  Rollback();
}

bool Transaction::LockRow(std::string_view table, std::string_view keyColumn, int64_t id) {
  if (failed_) return false;
  if (runner_.Driver().find("postgres") == std::string::npos) return true;
  // The locked row is not read here: the lock travels with the statement that reads it.
  return Send(Sql("SELECT ")
                  .Raw(keyColumn)
                  .Raw(" FROM ")
                  .Raw(table)
                  .Raw(" WHERE ")
                  .Raw(keyColumn)
                  .Raw("=")
                  .Key(id)
                  .Raw(" FOR UPDATE"));
}

bool Transaction::LockValue(std::string_view table, const std::string& value) {
  if (failed_) return false;
  if (runner_.Driver().find("postgres") == std::string::npos) return true;
  return Send(Sql("SELECT pg_advisory_xact_lock(hashtext(")
                  .Text(std::string(table))
                  .Raw("), hashtext(")
                  .Text(value)
                  .Raw("))"));
}

bool Transaction::Commit() {
  if (failed_ || !open_) return false;
  db_.CommitTrans();
  return Ended(db_.LastError());
}

bool Transaction::CommitReading(const Sql& query, std::shared_ptr<Recordset>* rows) {
  if (failed_ || !open_) return false;
  std::string error;
  *rows = allOrNothing_.CommitReading(query, &error);
  return Ended(error);
}

bool Transaction::Ended(const std::string& commitError) {
  open_ = false;
  if (commitError.empty()) return true;
  failed_ = true;
  error_ = commitError;
  db_.RollbackTrans();
  return false;
}

void Transaction::Rollback() {
  if (open_) {
    db_.RollbackTrans();
    open_ = false;
  }
}

}  // namespace ws::db
