// A read-only, client-side record set as the database service hands it out: the rows of one
// SELECT, a cursor, fields by name (matched without regard to case, as PostgreSQL folds
// unquoted names to lower case) and Null values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/amount.h"
#include "db/value.h"

namespace ws::db {

class Recordset {
 public:
  Recordset() = default;
  Recordset(std::vector<std::string> names, std::vector<std::vector<Value>> rows);

  bool Eof() const { return closed_ || pos_ >= rows_.size(); }
  bool Bof() const { return closed_ || rows_.empty() || pos_ == kBeforeFirst; }
  int64_t RecordCount() const { return closed_ ? 0 : static_cast<int64_t>(rows_.size()); }
  void MoveNext();
  void MoveFirst() { pos_ = 0; }
  // Places the cursor on a row by number (0-based); past the end means Eof.
  void Move(size_t row) { pos_ = row; }
  size_t Position() const { return pos_; }
  void Close() { closed_ = true; }
  bool IsOpen() const { return !closed_; }

  int FieldCount() const { return static_cast<int>(names_.size()); }
  const std::string& FieldName(int i) const { return names_.at(static_cast<size_t>(i)); }
  // Index of a field by name (case-insensitive for ASCII letters), or -1.
  int FieldIndex(std::string_view name) const;
  bool HasField(std::string_view name) const { return FieldIndex(name) >= 0; }

  // Value of a field of the current row; Null for an unknown field or when there is no row,
  // so a missing joined column reads as empty text, as a left join would give it.
  const Value& Field(std::string_view name) const;
  const Value& Field(int index) const;
  std::string Text(std::string_view name) const { return Field(name).ToText(); }
  int64_t Long(std::string_view name) const { return Field(name).ToLong(); }
  double Number(std::string_view name) const { return Field(name).ToDouble(); }
  // A money column read exactly (see db::Amount::OfValue).
  Amount Money(std::string_view name) const { return Amount::OfValue(Field(name)); }

  const std::vector<std::vector<Value>>& Rows() const { return rows_; }

 private:
  static constexpr size_t kBeforeFirst = static_cast<size_t>(-1);
  // Names looked up without regard to ASCII case, without a copy of the name asked for.
  struct FoldedHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  std::vector<std::string> names_;
  // Made at the first lookup: a list reads every cell by name, and comparing the name with
  // each column in turn was a sixth of opening a 50-line requisition.
  mutable std::unordered_map<std::string, int, FoldedHash, FoldedEqual> indexByName_;
  std::vector<std::vector<Value>> rows_;
  size_t pos_ = 0;
  bool closed_ = false;
};

}  // namespace ws::db
