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
#include "forms/field.h"
#include "forms/form.h"
#include "framework/picker_call.h"

namespace ws::framework {

// How a value is carried into a statement: text literal, the numeric value of the typed text,
// a date literal of the dialect, or an id (the lookup field's key).
enum class ValueKind { Text, Number, Date, Id };

// Which statements write a column. Always: insert and update. InsertOnly: written once when the
// document is created (id, program, state). ReadOnly: a column of the table written elsewhere
// (the checker, by Check): read and shown, never saved. Shown: not a column of the table at all
// but of a joined one (the vehicle's engine number): shown and printed only. FormOnly: a field
// with no column behind it (a computed amount, a text the document fills itself): the form
// shows and prints it, no statement names it.
enum class SaveMode { Always, InsertOnly, ReadOnly, Shown, FormOnly };

// What the template of the document base does with a field beyond showing and saving it.
enum class FieldRole {
  None,
  Number,        // the document number: proposed by New, checked for uniqueness by the save
  DocumentDate,  // the business date: the login date on New, the date a delete is judged by
  EntryDate,     // the login date on New
  EnteredBy,     // the login user on New
  CheckedBy,     // written by Check; emptied when a copy starts a new document
  CheckDate,
  FirstInput,  // where New puts the cursor once the number is proposed
};

// One header field or stored column, described once: the column and how a save writes it, and
// the form field that shows it (caption, kind, picker, read-only rule, format, width) with the
// group and the visual order a front end lays the form out by. Fields that show no column are
// FormOnly; columns no field shows have field -1.
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

  // --- The form field.
  std::string caption;
  forms::FieldKind fieldKind = forms::FieldKind::Text;
  std::string picker;
  PickerParameters pickerParameters;
  bool readOnly = false;   // never typed into: audit, computed and copied fields
  std::string format;      // number format a front end shows the value in ("" : as typed)
  int width = 0;           // the front end's width in characters (0: its default)
  std::string container;   // the frame the field sits in on the form ("" : the form)
  std::string group;       // the group of related fields a front end lays out together
  int order = 0;           // visual order on the form, across groups
  bool prominent = false;  // the figure the clerk looks for first (the total due)
  FieldRole role = FieldRole::None;
  // The column of a source document's row a copied field is filled from (the settlement's
  // copy of the repair order).
  std::string source;

  // Fluent refinements of a description line.
  HeaderColumn& Saves(SaveMode mode) { return save = mode, *this; }
  HeaderColumn& Picker(std::string name, PickerParameters parameters = {}) {
    picker = std::move(name);
    pickerParameters = std::move(parameters);
    return *this;
  }
  HeaderColumn& Kind(forms::FieldKind fieldKind_) { return fieldKind = fieldKind_, *this; }
  HeaderColumn& ReadOnly() { return readOnly = true, *this; }
  HeaderColumn& Format(std::string format_) { return format = std::move(format_), *this; }
  HeaderColumn& Width(int width_) { return width = width_, *this; }
  HeaderColumn& In(std::string container_) { return container = std::move(container_), *this; }
  HeaderColumn& At(std::string group_, int order_) {
    group = std::move(group_);
    order = order_;
    return *this;
  }
  HeaderColumn& Role(FieldRole role_) { return role = role_, *this; }
  HeaderColumn& Prominent() { return prominent = true, *this; }
  HeaderColumn& From(std::string column_) { return source = std::move(column_), *this; }
  HeaderColumn& EmptyDate(std::string date) { return emptyDate = std::move(date), *this; }
  // The text column of the lookup field `field_` (whose Id column is described too).
  HeaderColumn& TextOf(int field_) {
    field = field_;
    lookupText = true;
    return *this;
  }
  // Whether this line builds a form field (a lookup's text column shares its Id's field).
  bool IsFormField() const { return field >= 0 && !lookupText; }
};

// A column a save writes or reads with no field of its own.
HeaderColumn Stored(std::string column, ValueKind kind, SaveMode save = SaveMode::Always);
// A field over a column: its caption, the column and the value kind; the field kind follows the
// value kind (a date field for a date, a number field for a number, a lookup for an id).
HeaderColumn TextField(int field, std::string caption, std::string column);
HeaderColumn NumberField(int field, std::string caption, std::string column);
HeaderColumn DateField(int field, std::string caption, std::string column);
// A lookup field: the id column it saves, the column of the text it shows, the picker.
HeaderColumn LookupField(int field, std::string caption, std::string idColumn,
                         std::string textColumn, std::string picker);
// A field with no column of the table (FormOnly).
HeaderColumn FormField(int field, std::string caption, forms::FieldKind kind);

// The audit fields every document ends with: who entered it and when (saved), who checked it
// and when (written by Check, read only), all read-only, in the group "审核" from `order` on.
struct AuditFields {
  int enteredBy;
  int entryDate;
  int checkedBy;
  int checkDate;
  int order;
  std::string enteredByColumn = "制单人";
  std::string entryDateColumn = "制单日期";
  std::string checkedByColumn = "审核人";
  std::string enteredByCaption = "制单人";
  std::string entryDateCaption = "制单日期";
};

// A document's whole header: its id, program and state columns (written once, or the program
// with every save), its own fields, then the audit fields.
std::vector<HeaderColumn> DocumentHeader(std::string programColumn, SaveMode programSave,
                                         std::vector<HeaderColumn> fields,
                                         const AuditFields& audit);

// The values of one header row by column, as texts: ids as decimal text, numbers as typed,
// dates as "yyyy-mm-dd".
using RowValues = std::map<std::string, std::string>;

class HeaderSchema {
 public:
  HeaderSchema(std::string table, std::string keyColumn, std::vector<HeaderColumn> columns);

  const std::string& Table() const { return table_; }
  const std::string& KeyColumn() const { return keyColumn_; }
  const std::vector<HeaderColumn>& Columns() const { return columns_; }
  // The description of field `index` of the field array (its Id column for a lookup); nullptr
  // when no line describes it.
  const HeaderColumn* FieldOf(int index) const;
  // The field of a role, -1 when the document has none.
  int FieldWith(FieldRole role) const;
  // The column a role's field saves ("" when none).
  const std::string& ColumnWith(FieldRole role) const;
  // The column naming the program a row belongs to (progid in any case; "" when none): one
  // table may hold the documents of several programs.
  const std::string& ProgramColumn() const;

  // Adds every described field to the form's field array: caption, kind, picker, read-only rule
  // and container.
  void BuildFields(forms::Form& form, const std::string& fieldArray) const;

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
  // (trimmed caption, text) of every field of the array with a caption, in field order.
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
