// Rows written in bulk by the host itself, bypassing statement texts: on SQLite a prepared
// multi-row INSERT with bound values, on PostgreSQL COPY, one COPY per few megabytes of rows,
// so several tables can be filled side by side on one connection (the server allows one COPY
// at a time). The engines' own calls stay here, in platform/.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"

namespace ws::platform {

// Where the rows of one table go; one implementation per engine.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void Id(int64_t value) = 0;
  virtual void Num(double value) = 0;
  virtual void Text(std::string_view value) = 0;
  virtual void Null() = 0;
  // Ends the row; false once anything failed.
  virtual bool Row() = 0;
  // Sends what is still held back; false once anything failed.
  virtual bool Flush() = 0;
};

// The sink of db's engine for the columns of table; the first failure is kept in `error`
// ("TABLE: reason"). Null, with `error` saying so, when db is neither a SqliteDatabase nor a
// PostgresDatabase.
std::unique_ptr<RowSink> MakeRowSink(db::IDatabase& db, std::string_view table,
                                     std::initializer_list<const char*> columns,
                                     std::string& error);

}  // namespace ws::platform
