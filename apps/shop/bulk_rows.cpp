#include "shop/bulk_rows.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>

#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"

namespace ws::shop {

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

// A prepared INSERT, stepped once per row.
class SqliteSink : public RowSink {
 public:
  SqliteSink(sqlite3* db, std::string_view table, std::initializer_list<const char*> columns,
             std::string& error)
      : db_(db), table_(table), error_(error) {
    std::string sql = "INSERT INTO " + InsertColumns(table, columns) + " VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
      Fail();
    }
  }
  ~SqliteSink() override { sqlite3_finalize(stmt_); }

  void Id(int64_t value) override {
    if (stmt_) sqlite3_bind_int64(stmt_, next_, value);
    ++next_;
  }
  void Num(double value) override {
    if (stmt_) sqlite3_bind_double(stmt_, next_, value);
    ++next_;
  }
  void Text(std::string_view value) override {
    if (stmt_) {
      sqlite3_bind_text(stmt_, next_, value.data(), static_cast<int>(value.size()),
                        SQLITE_TRANSIENT);
    }
    ++next_;
  }
  void Null() override {
    if (stmt_) sqlite3_bind_null(stmt_, next_);
    ++next_;
  }
  bool Row() override {
    next_ = 1;
    if (!stmt_ || !error_.empty()) return false;
    const int rc = sqlite3_step(stmt_);
    sqlite3_reset(stmt_);
    if (rc != SQLITE_DONE) {
      Fail();
      return false;
    }
    return true;
  }
  bool Flush() override { return stmt_ && error_.empty(); }

 private:
  void Fail() {
    if (error_.empty()) error_ = table_ + ": " + sqlite3_errmsg(db_);
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string table_;
  std::string& error_;
  int next_ = 1;
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

BulkInserter::BulkInserter(db::IDatabase& db, std::string_view table,
                           std::initializer_list<const char*> columns, std::string& error) {
  if (auto* sqlite = dynamic_cast<platform::SqliteDatabase*>(&db)) {
    sink_ = std::make_unique<SqliteSink>(sqlite->Handle(), table, columns, error);
  } else if (auto* postgres = dynamic_cast<platform::PostgresDatabase*>(&db)) {
    sink_ = std::make_unique<PostgresSink>(postgres->Handle(), table, columns, error);
  } else if (error.empty()) {
    error = std::string(table) + ": rows can be written in bulk only on SQLite or PostgreSQL";
  }
}

BulkInserter::~BulkInserter() {
  if (sink_) sink_->Flush();
}

bool BulkInserter::Row() {
  if (!sink_ || !sink_->Row()) return false;
  ++rows_;
  return true;
}

}  // namespace ws::shop
