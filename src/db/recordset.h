// A read-only, client-side record set as the database service hands it out: the rows of one
// SELECT, a cursor, fields by name (matched without regard to case, as PostgreSQL folds
// unquoted names to lower case) and Null values.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/amount.h"
#include "db/value.h"
#include "forms/text_pool.h"

namespace ws::db {

class Recordset {
 public:
  Recordset() = default;
  // textsOnce false: every cell keeps its own text, for a chunk handed on at once (finding a
  // text again costs more than copying it when the set lives for a moment).
  explicit Recordset(std::vector<std::string> names, bool textsOnce = true);
  Recordset(std::vector<std::string> names, const std::vector<std::vector<Value>>& rows);

  // --- Filling, as an engine reads its cursor: the cells of each row in field order. A text
  // seen before is kept once and the cell refers to it: a report's plates, names and dates
  // repeat over thousands of rows.
  void Append(Value value);
  void AppendText(std::string_view text);
  void AppendNull() { cells_.push_back(kNullCode); }
  // Drops the rows and the texts they held, keeping the field names: the next chunk of a
  // cursor fills the same set.
  void ClearRows();
  // Forgets which texts were seen, once no more rows come: the cells keep their texts.
  void EndFilling();
  // Distinct values held (each distinct text once, Null once, every other value per cell).
  size_t StoredValues() const { return values_.size(); }

  bool Eof() const { return closed_ || pos_ >= RowCount(); }
  bool Bof() const { return closed_ || RowCount() == 0 || pos_ == kBeforeFirst; }
  int64_t RecordCount() const { return closed_ ? 0 : static_cast<int64_t>(RowCount()); }
  void MoveNext();
  void MoveFirst() { pos_ = 0; }
  // Places the cursor on a row by number (0-based); past the end means Eof.
  void Move(size_t row) { pos_ = row; }
  size_t Position() const { return pos_; }
  void Close() { closed_ = true; }
  bool IsOpen() const { return !closed_; }

  int FieldCount() const { return static_cast<int>(names_.size()); }
  const std::string& FieldName(int i) const { return names_.at(static_cast<size_t>(i)); }
  const std::vector<std::string>& FieldNames() const { return names_; }
  // Index of a field by name (case-insensitive for ASCII letters), or -1.
  int FieldIndex(std::string_view name) const;
  bool HasField(std::string_view name) const { return FieldIndex(name) >= 0; }

  // Value of a field of the current row; Null for an unknown field or when there is no row,
  // so a missing joined column reads as empty text, as a left join would give it.
  const Value& Field(std::string_view name) const;
  const Value& Field(int index) const;
  // A cell of any row; Null outside the set.
  const Value& At(size_t row, int index) const;
  std::string Text(std::string_view name) const { return Field(name).ToText(); }
  int64_t Long(std::string_view name) const { return Field(name).ToLong(); }
  double Number(std::string_view name) const { return Field(name).ToDouble(); }
  // A money column read exactly (see db::Amount::OfValue).
  Amount Money(std::string_view name) const { return Amount::OfValue(Field(name)); }

  // The values of one row, copied; empty outside the set.
  std::vector<Value> Row(size_t row) const;

 private:
  static constexpr size_t kBeforeFirst = static_cast<size_t>(-1);
  static constexpr uint32_t kNullCode = 0;
  size_t RowCount() const { return names_.empty() ? 0 : cells_.size() / names_.size(); }
  uint32_t Store(Value value);

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
  // Cells row by row, each the number of its value in values_; a deque, so that a value never
  // moves and texts_ can look at it.
  std::vector<uint32_t> cells_;
  std::deque<Value> values_{Value()};
  forms::TextIndex texts_;
  size_t pos_ = 0;
  bool closed_ = false;
  bool textsOnce_ = true;
};

}  // namespace ws::db
