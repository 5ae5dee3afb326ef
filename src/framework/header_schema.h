// One description of a document's header: which form field shows which column of the header
// table, of what kind, and whether a save writes it. The statements that read, insert and update
// a header, the filling of the form from a row and the print values all come from it, so a
// column is named in one place only and cannot be dropped from one statement and kept in another.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/recordset.h"
#include "db/sql.h"
#include "forms/form.h"

namespace ws::framework {

// How a value is carried into a statement: text literal, the numeric value of the typed text,
// a date literal of the dialect, or an id (the lookup field's key).
enum class ValueKind { Text, Number, Date, Id };

// Which statements write a column. Always: insert and update. InsertOnly: written once when the
// document is created (id, program, state). ReadOnly: a column of the table written elsewhere
// (the checker, by Check): read and shown, never saved. Shown: not a column of the table at all
// but of a joined one (the vehicle's engine number): shown and printed only.
enum class SaveMode { Always, InsertOnly, ReadOnly, Shown };

struct HeaderColumn {
  HeaderColumn(std::string column_, int field_, ValueKind kind_, SaveMode save_ = SaveMode::Always,
               std::string textColumn_ = {}, std::string emptyDate_ = {}, bool lookupText_ = false)
      : column(std::move(column_)),
        field(field_),
        kind(kind_),
        save(save_),
        textColumn(std::move(textColumn_)),
        emptyDate(std::move(emptyDate_)),
        lookupText(lookupText_) {}

  std::string column;
  int field = -1;  // index in the form's field array; -1 for values the save supplies
  ValueKind kind = ValueKind::Text;
  SaveMode save = SaveMode::Always;
  // Id columns of lookup fields: the column whose text the field shows ("公司名称").
  std::string textColumn;
  // Date columns: what an empty field is stored as (empty: Null).
  std::string emptyDate;
  // A text column that is the text of a lookup field whose Id column fills the field: read from
  // the field's text on save, left to the Id column on show.
  bool lookupText = false;
};

// The values of one header row by column, as texts: ids as decimal text, numbers as typed,
// dates as "yyyy-mm-dd".
using RowValues = std::map<std::string, std::string>;

class HeaderSchema {
 public:
  HeaderSchema(std::string table, std::string keyColumn, std::vector<HeaderColumn> columns);

  const std::string& Table() const { return table_; }
  const std::string& KeyColumn() const { return keyColumn_; }
  const std::vector<HeaderColumn>& Columns() const { return columns_; }

  // "SELECT <every column of the table> FROM <table> WHERE <key>=<id>".
  db::Sql Select(int64_t id) const;
  // "INSERT INTO <table> (<Always and InsertOnly columns>) VALUES (...)". A column without a
  // value is written as the empty value of its kind (0, '' or the empty date).
  db::Sql Insert(const RowValues& values, std::string_view driver) const;
  // "UPDATE <table> SET <Always columns> WHERE <key>=<id>" followed by `guard` (a fixed piece
  // such as " AND smark='01'"), so a row changed by someone else meanwhile is not hit.
  db::Sql Update(const RowValues& values, int64_t id, std::string_view guard,
                 std::string_view driver) const;

  // The values a save writes, read from the form's field array.
  RowValues Collect(const forms::Form& form, const std::string& fieldArray) const;
  // Fills the form's fields from a row: texts as read, dates "yyyy-mm-dd", lookup fields key and
  // text; every field is marked valid.
  void Show(const db::Recordset& row, forms::Form& form, const std::string& fieldArray) const;
  // (trimmed caption, text) of every described field with a caption, in field order.
  std::vector<std::pair<std::string, std::string>> PrintValues(const forms::Form& form,
                                                               const std::string& fieldArray) const;

 private:
  void Append(db::Sql& sql, const HeaderColumn& column, const RowValues& values,
              std::string_view driver) const;

  std::string table_;
  std::string keyColumn_;
  std::vector<HeaderColumn> columns_;
};

}  // namespace ws::framework
