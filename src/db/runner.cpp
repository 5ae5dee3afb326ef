#include "db/runner.h"

#include "db/sql.h"

namespace ws::db {

std::string Runner::Execute(const std::string& sql, int64_t* rowsAffected) {
  auto command = db_.CreateCommand(sql, IDatabase::kCommandText);
  command->Execute();
  std::string error = db_.LastError();
  if (rowsAffected) *rowsAffected = error.empty() ? command->RowsAffected() : 0;
  return error;
}

Value Runner::Scalar(const std::string& sql, std::string* error) {
  auto command = db_.CreateCommand(sql, IDatabase::kCommandText);
  Value v = command->GetValue();
  std::string e = db_.LastError();
  if (error) *error = e;
  return e.empty() ? v : Value{};
}

std::string Runner::ScalarText(const std::string& sql, std::string* error) {
  return Scalar(sql, error).ToText();
}

double Runner::ScalarNumber(const std::string& sql, std::string* error) {
  return NumericValue(ScalarText(sql, error));
}

std::shared_ptr<Recordset> Runner::Open(const std::string& sql, std::string* error) {
  auto command = db_.CreateCommand(sql, IDatabase::kCommandText);
  auto rs = command->OpenRecordset();
  std::string e = db_.LastError();
  if (error) *error = e;
  if (!rs || !e.empty()) {
    rs = std::make_shared<Recordset>();
    rs->Close();
  }
  return rs;
}

bool Runner::IsJet() const {
  return IsJetDriver(Driver());
}

Transaction::Transaction(IDatabase& db) : db_(db), runner_(db) {
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

bool Transaction::Run(const std::string& sql, int64_t* rowsAffected) {
  if (failed_) return false;
  std::string error = runner_.Execute(sql, rowsAffected);
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

bool Transaction::Commit() {
  if (failed_ || !open_) return false;
  db_.CommitTrans();
  open_ = false;
  std::string error = db_.LastError();
  if (!error.empty()) {
    failed_ = true;
    error_ = error;
    db_.RollbackTrans();
    return false;
  }
  return true;
}

void Transaction::Rollback() {
  if (open_) {
    db_.RollbackTrans();
    open_ = false;
  }
}

}  // namespace ws::db
