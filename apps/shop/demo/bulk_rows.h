// Rows written in bulk by the host itself (demo data), bypassing the module's statement texts:
// a million orders are too many for one statement text each. The engines' writers are
// platform's (platform/bulk_sink.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"
#include "db/date.h"
#include "platform/bulk_sink.h"

namespace ws::shop {

using platform::RowSink;

// The values of one row after the other, in the order the columns were named; Row() ends the
// row. The first failure is kept in `error` ("TABLE: reason") and everything after it does
// nothing. Rows held back are sent when the inserter goes out of scope.
class BulkInserter {
 public:
  // db must be a SqliteDatabase or a PostgresDatabase; otherwise `error` says so.
  BulkInserter(db::IDatabase& db, std::string_view table,
               std::initializer_list<const char*> columns, std::string& error);
  ~BulkInserter();
  BulkInserter(const BulkInserter&) = delete;
  BulkInserter& operator=(const BulkInserter&) = delete;

  BulkInserter& Id(int64_t value) {
    if (sink_) sink_->Id(value);
    return *this;
  }
  BulkInserter& Num(double value) {
    if (sink_) sink_->Num(value);
    return *this;
  }
  // An amount in fen (hundredths) as a number of yuan.
  BulkInserter& Fen(int64_t fen) { return Num(static_cast<double>(fen) / 100.0); }
  BulkInserter& Text(std::string_view value) {
    if (sink_) sink_->Text(value);
    return *this;
  }
  BulkInserter& Date(const db::Date& date) { return Text(date.Text()); }
  BulkInserter& Null() {
    if (sink_) sink_->Null();
    return *this;
  }
  bool Row();
  // Sends the rows held back; false once anything failed.
  bool Flush() { return sink_ && sink_->Flush(); }
  int64_t Rows() const { return rows_; }

 private:
  std::unique_ptr<RowSink> sink_;
  int64_t rows_ = 0;
};

}  // namespace ws::shop
