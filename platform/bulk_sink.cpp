#include "platform/bulk_sink.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"

namespace ws::platform {

namespace {

std::string InsertColumns(std::string_view table, std::initializer_list<const char*> columns) {
  std::string sql = std::string(table) + " (";
  bool first = true;
  for (const char* column : columns) {
    if (!first) sql += ", ";
    first = false;
    sql += column;
  }
  return sql + ")";
}

// Rows held back and written kBatchRows at a time by one prepared multi-row INSERT: a statement
// run per batch costs far less than one per row. The rows left at the end go one by one. As
// with COPY, a failing row is reported when its batch is written.
class SqliteSink : public RowSink {
 public:
  SqliteSink(sqlite3* db, std::string_view table, std::initializer_list<const char*> columns,
             std::string& error)
      : db_(db), table_(table), error_(error), columns_(columns.size()) {
    // SQLite binds at most 32766 values to one statement.
    batchRows_ = std::max<size_t>(1, std::min<size_t>(kBatchRows, 32766 / columns_));
    const std::string head = "INSERT INTO " + InsertColumns(table, columns) + " VALUES ";
    std::string row = "(";
    for (size_t i = 0; i < columns_; ++i) row += i ? ", ?" : "?";
    row += ")";
    std::string many = head;
    for (size_t r = 0; r < batchRows_; ++r) many += r ? ", " + row : row;
    single_ = Prepare(head + row);
    batch_ = batchRows_ > 1 ? Prepare(many) : nullptr;
  }
  ~SqliteSink() override {
    sqlite3_finalize(single_);
    sqlite3_finalize(batch_);
  }

  void Id(int64_t value) override { cells_.push_back({Cell::kInt, value, 0, 0, 0}); }
  void Num(double value) override { cells_.push_back({Cell::kReal, 0, value, 0, 0}); }
  void Text(std::string_view value) override {
    cells_.push_back({Cell::kText, 0, 0, text_.size(), value.size()});
    text_.append(value);
  }
  void Null() override { cells_.push_back({Cell::kNull, 0, 0, 0, 0}); }
  bool Row() override {
    if (!single_ || !error_.empty()) {
      cells_.clear();
      text_.clear();
      return false;
    }
    if (cells_.size() == batchRows_ * columns_ && batch_) Step(batch_, 0, cells_.size());
    return error_.empty();
  }
  bool Flush() override {
    for (size_t at = 0; at < cells_.size() && error_.empty(); at += columns_) {
      Step(single_, at, columns_);
    }
    cells_.clear();
    text_.clear();
    return single_ && error_.empty();
  }

 private:
  static constexpr size_t kBatchRows = 64;

  struct Cell {
    enum Kind { kInt, kReal, kText, kNull } kind;
    int64_t integer;
    double real;
    size_t offset;  // of a text in text_
    size_t size;
  };

  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK) {
      Fail();
    }
    return stmt;
  }

  // Binds cells [from, from + count) and runs the statement; a whole batch empties the buffer.
  void Step(sqlite3_stmt* stmt, size_t from, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      const Cell& cell = cells_[from + i];
      const int index = static_cast<int>(i) + 1;
      switch (cell.kind) {
        case Cell::kInt:
          sqlite3_bind_int64(stmt, index, cell.integer);
          break;
        case Cell::kReal:
          sqlite3_bind_double(stmt, index, cell.real);
          break;
        case Cell::kText:
          // The buffer stays as it is until the statement has run.
          sqlite3_bind_text(stmt, index, text_.data() + cell.offset, static_cast<int>(cell.size),
                            SQLITE_STATIC);
          break;
        case Cell::kNull:
          sqlite3_bind_null(stmt, index);
          break;
      }
    }
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) Fail();
    if (stmt == batch_) {
      cells_.clear();
      text_.clear();
    }
  }

  void Fail() {
    if (error_.empty()) error_ = table_ + ": " + sqlite3_errmsg(db_);
  }

  sqlite3* db_;
  std::string table_;
  std::string& error_;
  size_t columns_;
  size_t batchRows_ = 1;
  sqlite3_stmt* single_ = nullptr;
  sqlite3_stmt* batch_ = nullptr;
  std::vector<Cell> cells_;
  std::string text_;
};

// Rows in COPY's text format, sent by one COPY whenever a few megabytes are held.
class PostgresSink : public RowSink {
 public:
  PostgresSink(PGconn* conn, std::string_view table, std::initializer_list<const char*> columns,
               std::string& error)
      : conn_(conn), table_(table), error_(error) {
    copy_ = "COPY " + InsertColumns(table, columns) + " FROM STDIN";
  }

  void Id(int64_t value) override { Cell(std::to_string(value)); }
  void Num(double value) override {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    Cell(text);
  }
  void Text(std::string_view value) override {
    Separate();
    for (char c : value) {
      switch (c) {
        case '\\':
          buffer_ += "\\\\";
          break;
        case '\t':
          buffer_ += "\\t";
          break;
        case '\n':
          buffer_ += "\\n";
          break;
        case '\r':
          buffer_ += "\\r";
          break;
        default:
          buffer_ += c;
      }
    }
  }
  void Null() override { Cell("\\N"); }
  bool Row() override {
    buffer_ += '\n';
    rowStarted_ = false;
    if (buffer_.size() >= kFlushBytes) return Flush();
    return error_.empty();
  }
  bool Flush() override {
    if (!error_.empty()) return false;
    if (buffer_.empty()) return true;
    PGresult* start = PQexec(conn_, copy_.c_str());
    bool ok = PQresultStatus(start) == PGRES_COPY_IN;
    PQclear(start);
    if (ok) {
      ok = PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) == 1;
      ok = PQputCopyEnd(conn_, ok ? nullptr : "the rows could not be sent") == 1 && ok;
    }
    // The COPY's outcome, and nothing left pending on the connection.
    while (PGresult* result = PQgetResult(conn_)) {
      if (PQresultStatus(result) != PGRES_COMMAND_OK) ok = false;
      PQclear(result);
    }
    buffer_.clear();
    if (!ok) Fail();
    return ok;
  }

 private:
  static constexpr size_t kFlushBytes = 4 << 20;

  void Separate() {
    if (rowStarted_) buffer_ += '\t';
    rowStarted_ = true;
  }
  void Cell(std::string_view text) {
    Separate();
    buffer_ += text;
  }
  void Fail() {
    if (error_.empty()) {
      std::string reason = PQerrorMessage(conn_);
      while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
      error_ = table_ + ": " + (reason.empty() ? "COPY failed" : reason);
    }
  }

  PGconn* conn_;
  std::string table_;
  std::string& error_;
  std::string copy_;
  std::string buffer_;
  bool rowStarted_ = false;
};

}  // namespace

std::unique_ptr<RowSink> MakeRowSink(db::IDatabase& db, std::string_view table,
                                     std::initializer_list<const char*> columns,
                                     std::string& error) {
  if (auto* sqlite = dynamic_cast<SqliteDatabase*>(&db)) {
    return std::make_unique<SqliteSink>(sqlite->Handle(), table, columns, error);
  }
  if (auto* postgres = dynamic_cast<PostgresDatabase*>(&db)) {
    return std::make_unique<PostgresSink>(postgres->Handle(), table, columns, error);
  }
  if (error.empty()) {
    error = std::string(table) + ": rows can be written in bulk only on SQLite or PostgreSQL";
  }
  return nullptr;
}

}  // namespace ws::platform
