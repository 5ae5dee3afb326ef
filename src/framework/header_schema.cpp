#include "framework/header_schema.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "db/date.h"
#include "db/value.h"
#include "forms/field.h"
#include "forms/text.h"
#include "framework/columns.h"

namespace ws::framework {

namespace {

bool Inserted(const HeaderColumn& c) {
  return c.save == SaveMode::Always || c.save == SaveMode::InsertOnly;
}

HeaderColumn Described(int field, std::string caption, std::string column, ValueKind kind,
                       forms::FieldKind fieldKind) {
  HeaderColumn c(std::move(column), field, kind);
  c.caption = std::move(caption);
  c.fieldKind = fieldKind;
  return c;
}

}  // namespace

HeaderColumn Stored(std::string column, ValueKind kind, SaveMode save) {
  return HeaderColumn(std::move(column), -1, kind, save);
}

HeaderColumn TextField(int field, std::string caption, std::string column) {
  return Described(field, std::move(caption), std::move(column), ValueKind::Text,
                   forms::FieldKind::Text);
}

HeaderColumn NumberField(int field, std::string caption, std::string column) {
  return Described(field, std::move(caption), std::move(column), ValueKind::Number,
                   forms::FieldKind::Number);
}

HeaderColumn DateField(int field, std::string caption, std::string column) {
  return Described(field, std::move(caption), std::move(column), ValueKind::Date,
                   forms::FieldKind::Date);
}

HeaderColumn LookupField(int field, std::string caption, std::string idColumn,
                         std::string textColumn, std::string picker) {
  HeaderColumn c = Described(field, std::move(caption), std::move(idColumn), ValueKind::Id,
                             forms::FieldKind::Lookup);
  c.textColumn = std::move(textColumn);
  c.picker = std::move(picker);
  return c;
}

HeaderColumn FormField(int field, std::string caption, forms::FieldKind kind) {
  HeaderColumn c = Described(field, std::move(caption), "", ValueKind::Text, kind);
  c.save = SaveMode::FormOnly;
  return c;
}

std::vector<HeaderColumn> DocumentHeader(std::string programColumn, SaveMode programSave,
                                         std::vector<HeaderColumn> fields,
                                         const AuditFields& audit) {
  constexpr const char* kAudit = "审核";
  std::vector<HeaderColumn> columns{Stored(col::kId, ValueKind::Id, SaveMode::InsertOnly),
                                    Stored(std::move(programColumn), ValueKind::Id, programSave),
                                    Stored(col::kMark, ValueKind::Text, SaveMode::InsertOnly)};
  for (auto& field : fields) columns.push_back(std::move(field));
  columns.push_back(TextField(audit.enteredBy, audit.enteredByCaption, audit.enteredByColumn)
                        .ReadOnly()
                        .Role(FieldRole::EnteredBy)
                        .At(kAudit, audit.order));
  columns.push_back(DateField(audit.entryDate, audit.entryDateCaption, audit.entryDateColumn)
                        .ReadOnly()
                        .Role(FieldRole::EntryDate)
                        .At(kAudit, audit.order + 1));
  columns.push_back(TextField(audit.checkedBy, "审核人", audit.checkedByColumn)
                        .Saves(SaveMode::ReadOnly)
                        .ReadOnly()
                        .Role(FieldRole::CheckedBy)
                        .At(kAudit, audit.order + 2));
  // An uncheck of a money document clears the date to the stand-in for none.
  columns.push_back(DateField(audit.checkDate, "审核日期", col::kCheckDate)
                        .Saves(SaveMode::ReadOnly)
                        .EmptyDate("1900-01-01")
                        .ReadOnly()
                        .Role(FieldRole::CheckDate)
                        .At(kAudit, audit.order + 3));
  return columns;
}

HeaderSchema::HeaderSchema(std::string table, std::string keyColumn,
                           std::vector<HeaderColumn> columns)
    : table_(std::move(table)), keyColumn_(std::move(keyColumn)), columns_(std::move(columns)) {
  std::set<std::string> seen;
  std::set<int> fields;
  for (const auto& c : columns_) {
    if (c.save != SaveMode::FormOnly && !seen.insert(c.column).second) {
      throw std::logic_error("column described twice: " + table_ + "." + c.column);
    }
    if (c.IsFormField() && !fields.insert(c.field).second) {
      throw std::logic_error("field described twice: " + table_ + " field " +
                             std::to_string(c.field));
    }
  }
}

const HeaderColumn* HeaderSchema::FieldOf(int index) const {
  for (const auto& c : columns_) {
    if (c.field == index && c.IsFormField()) return &c;
  }
  return nullptr;
}

int HeaderSchema::FieldWith(FieldRole role) const {
  for (const auto& c : columns_) {
    if (c.role == role && c.IsFormField()) return c.field;
  }
  return -1;
}

const std::string& HeaderSchema::ProgramColumn() const {
  static const std::string none;
  for (const auto& c : columns_) {
    if (forms::FoldCase(c.column) == "progid") return c.column;
  }
  return none;
}

const std::string& HeaderSchema::ColumnWith(FieldRole role) const {
  static const std::string none;
  for (const auto& c : columns_) {
    if (c.role == role && c.IsFormField()) return c.column;
  }
  return none;
}

void HeaderSchema::BuildFields(forms::Form& form, const std::string& fieldArray) const {
  // Made in index order: the form's array order is the order a save tells the first invalid
  // field in, whatever the visual order.
  std::vector<const HeaderColumn*> fields;
  for (const auto& c : columns_) {
    if (c.IsFormField()) fields.push_back(&c);
  }
  std::sort(fields.begin(), fields.end(),
            [](const HeaderColumn* a, const HeaderColumn* b) { return a->field < b->field; });
  for (const HeaderColumn* c : fields) {
    auto& field = form.Add<forms::Field>(fieldArray, c->field);
    field.SetCaption(c->caption);
    field.SetKind(c->fieldKind);
    field.SetPicker(c->picker);
    field.SetContainer(c->container);
    field.SetAlwaysReadOnly(c->readOnly);
    // Who entered and checked a document matters less at the counter than what it is about.
    const bool audit = c->role == FieldRole::EnteredBy || c->role == FieldRole::EntryDate ||
                       c->role == FieldRole::CheckedBy || c->role == FieldRole::CheckDate;
    field.SetPlacement({c->group, c->order, audit, c->prominent});
  }
}

db::Sql HeaderSchema::Select(int64_t id) const {
  db::Sql sql("SELECT ");
  bool first = true;
  for (const auto& c : columns_) {
    if (c.save == SaveMode::Shown || c.save == SaveMode::FormOnly) continue;
    sql.Raw(first ? "" : ", ").Raw(c.column);
    first = false;
  }
  return sql.Raw(" FROM ").Raw(table_).Raw(" WHERE ").Raw(keyColumn_).Raw("=").Key(id);
}

void HeaderSchema::Append(db::Sql& sql, const HeaderColumn& c, const RowValues& values,
                          std::string_view driver) const {
  auto it = values.find(c.column);
  const std::string value = it == values.end() ? std::string() : it->second;
  switch (c.kind) {
    case ValueKind::Text:
      sql.Text(value);
      break;
    case ValueKind::Number:
      sql.NumOf(value);
      break;
    case ValueKind::Id:
      sql.Key(static_cast<int64_t>(db::NumericValue(value)));
      break;
    case ValueKind::Date:
      if (!forms::Trim(value).empty()) {
        sql.Date(value, driver);
      } else if (!c.emptyDate.empty()) {
        sql.Date(c.emptyDate, driver);
      } else {
        // No date is Null, as a row loaded without one holds it: an empty text is no date
        // on the server, and on the embedded engine it would sort before every real date.
        sql.Raw("NULL");
      }
      break;
  }
}

db::Sql HeaderSchema::Insert(const RowValues& values, std::string_view driver) const {
  db::Sql sql("INSERT INTO ");
  sql.Raw(table_).Raw(" (");
  bool first = true;
  for (const auto& c : columns_) {
    if (!Inserted(c)) continue;
    sql.Raw(first ? "" : ",").Raw(c.column);
    first = false;
  }
  sql.Raw(") VALUES (");
  first = true;
  for (const auto& c : columns_) {
    if (!Inserted(c)) continue;
    if (!first) sql.Raw(",");
    first = false;
    Append(sql, c, values, driver);
  }
  return sql.Raw(")");
}

db::Sql HeaderSchema::Update(const RowValues& values, int64_t id, std::string_view guard,
                             std::string_view driver) const {
  db::Sql sql("UPDATE ");
  sql.Raw(table_).Raw(" SET ");
  bool first = true;
  for (const auto& c : columns_) {
    if (c.save != SaveMode::Always) continue;
    sql.Raw(first ? "" : ", ").Raw(c.column).Raw("=");
    first = false;
    Append(sql, c, values, driver);
  }
  return sql.Raw(" WHERE ").Raw(keyColumn_).Raw("=").Key(id).Raw(guard);
}

RowValues HeaderSchema::Collect(const forms::Form& form, const std::string& fieldArray) const {
  RowValues values;
  for (const auto& c : columns_) {
    if (c.field < 0 || !Inserted(c)) continue;
    const auto& field = form.Get<forms::Field>(fieldArray, c.field);
    values[c.column] = c.kind == ValueKind::Id && !c.lookupText ? field.Key() : field.Text();
  }
  return values;
}

void HeaderSchema::Show(const db::Recordset& row, forms::Form& form,
                        const std::string& fieldArray) const {
  for (const auto& c : columns_) {
    if (!c.IsFormField() || c.save == SaveMode::FormOnly) continue;
    auto& field = form.Get<forms::Field>(fieldArray, c.field);
    if (c.kind == ValueKind::Id) {
      field.SetValue(row.Text(c.column),
                     c.textColumn.empty() ? row.Text(c.column) : row.Text(c.textColumn));
    } else if (c.kind == ValueKind::Date) {
      // The shop's stand-in for "no date" is stored, never shown: the field is as empty as
      // the clerk left it, and saving it again stores the stand-in again.
      std::string date = db::FormatDateText(row.Text(c.column));
      if (!c.emptyDate.empty() && date == c.emptyDate) date.clear();
      field.SetText(date);
    } else {
      field.SetText(row.Text(c.column));
    }
    field.MarkValid();
  }
}

std::vector<std::pair<std::string, std::string>> HeaderSchema::PrintValues(
    const forms::Form& form, const std::string& fieldArray) const {
  std::vector<const forms::Field*> fields;
  for (const auto* widget : form.Array(fieldArray)) {
    fields.push_back(static_cast<const forms::Field*>(widget));
  }
  std::sort(fields.begin(), fields.end(),
            [](const forms::Field* a, const forms::Field* b) { return a->Index() < b->Index(); });
  std::vector<std::pair<std::string, std::string>> out;
  for (const forms::Field* field : fields) {
    std::string caption = forms::Trim(field->Caption());
    if (!caption.empty()) out.emplace_back(caption, field->Text());
  }
  return out;
}

}  // namespace ws::framework
