#include "shop/exchange/master_import.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "db/catalogue.h"
#include "db/date.h"
#include "db/runner.h"
#include "db/sql.h"
#include "forms/text.h"
#include "platform/navigator.h"
#include "shop/exchange/csv.h"
#include "shop/store/id_counters.h"

namespace ws::shop {

namespace {

using forms::Trim;

// A column that must name an existing row of another table; 0 means "none". A shop moving
// from another program knows its customers and parts by code or name, not by our ids: the
// column `byName` ("车主") gives the same reference as a code, or failing that a name, of the
// referenced table (codeColumn, nameColumn), narrowed by `where` (depots among the
// departments).
struct Reference {
  std::string column;
  std::string table;
  std::string key;
  std::string byName = {};
  std::string codeColumn = {};
  std::string nameColumn = {};
  std::string whereColumn = {};
  int64_t whereValue = 0;
};

// The value a column takes when the file has no such column or leaves it empty. "=COLUMN"
// copies another column; kCurrentPeriod is the shop's current stock period.
constexpr std::string_view kCurrentPeriod = "@period";

struct ColumnDefault {
  std::string column;
  std::string value;
};

struct ImportRules {
  ImportTableInfo info;
  std::vector<std::string> required;  // columns every row must fill (the id keys always)
  std::vector<std::string> unique;    // columns whose non-empty values must be unique
  std::vector<Reference> references;
  std::vector<ColumnDefault> defaults;
  std::string mirror;  // a table that receives the same rows (the receivables' partners)
};

const std::vector<ImportRules>& AllRules() {
  static const std::vector<ImportRules> rules = {
      {{"customers", "pdmwldw", "customers (also written to PDMWLDWJS with the same 往来ID)"},
       {"往来ID", "公司名称"},
       {"往来编码"},
       {},
       {{"属性", "2"}},
       "PDMWLDWJS"},
      {{"vehicles", "clzl", "vehicles (车主: a customer's code or name)"},
       {"车辆ID", "车牌号"},
       {"车牌号", "车辆编号"},
       {{"车主ID", "pdmwldw", "往来ID", "车主", "往来编码", "公司名称"}},
       {{"车辆编号", "=车辆ID"}},
       ""},
      {{"parts", "PDMCPML", "parts of the product catalogue"},
       {"产品ID", "物品编码", "物品名称"},
       {"物品编码"},
       {},
       {},
       ""},
      {{"items", "PDMWXXM", "repair items (labour)"},
       {"AutoID", "编码", "维修项目"},
       {"编码", "维修项目"},
       {},
       {},
       ""},
      {{"categories", "pdmwxfl", "repair categories"},
       {"维修分类ID", "编码", "维修分类"},
       {"编码", "维修分类"},
       {},
       {},
       ""},
      {{"departments", "PDMBM", "departments (组织类型 1 unless given)"},
       {"部门ID", "部门名称"},
       {"部门编码"},
       {},
       {{"组织类型", "1"}, {"是否明细", "1"}, {"是否使用", "1"}, {"属性", "0"}},
       ""},
      {{"depots", "PDMBM", "depots (组织类型 2 unless given)"},
       {"部门ID", "部门名称"},
       {"部门编码"},
       {},
       {{"组织类型", "2"}, {"是否明细", "1"}, {"是否使用", "1"}, {"属性", "0"}},
       ""},
      {{"employees", "PDMGY", "employees (部门: a department's code or name)"},
       {"雇员ID", "姓名"},
       {"雇员编码"},
       {{"部门ID", "PDMBM", "部门ID", "部门", "部门编码", "部门名称", "组织类型", 1}},
       {},
       ""},
      {{"accounts", "PDMKJKM", "ledger accounts, cash and bank"},
       {"科目ID", "科目编码", "科目名称"},
       {"科目编码"},
       {},
       {{"是否明细", "1"}},
       ""},
      {{"methods", "PDMSJZD", "settlement methods"},
       {"ID", "名称"},
       {"编码"},
       {},
       {{"类型", "结算方式"}},
       ""},
      {{"currencies", "PDMBZ", "currencies"}, {"币种ID", "外币名称"}, {}, {}, {{"汇率", "1"}}, ""},
      {{"stock", "JXCGoodsZzTz", "opening stock (会计期间 yyyymm, 仓库 and 配件 by code or name)"},
       {"会计期间", "仓库ID", "产品ID"},
       {},
       {{"仓库ID", "PDMBM", "部门ID", "仓库", "部门编码", "部门名称", "组织类型", 2},
        {"产品ID", "PDMCPML", "产品ID", "配件", "物品编码", "物品名称"}},
       {{"会计期间", std::string(kCurrentPeriod)}},
       ""},
  };
  return rules;
}

constexpr auto SameName = &forms::EqualsIgnoringCase;

// By friendly name, or by real table name (the first rules that write that table).
const ImportRules* FindRules(std::string_view name) {
  for (const auto& rules : AllRules()) {
    if (SameName(rules.info.name, name)) return &rules;
  }
  for (const auto& rules : AllRules()) {
    if (SameName(rules.info.table, name)) return &rules;
  }
  return nullptr;
}

std::optional<int64_t> WholeNumber(const std::string& text) {
  int64_t value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
  return value;
}

std::optional<double> Number(const std::string& text) {
  double value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end || begin == end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// One checked cell, ready for the statement builder.
struct Cell {
  bool empty = true;
  int64_t id = 0;
  double number = 0;
  std::string text;  // text columns as given; dates as yyyy-mm-dd
};

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

class Importer {
 public:
  Importer(db::IDatabase& db, const ImportRules& rules)
      : db_(db), runner_(db), rules_(rules), table_(*db::FindTable(rules.info.table)) {}

  ImportOutcome Run(std::string_view csvText) {
    outcome_.table = table_.name;
    outcome_.mirror = rules_.mirror;
    CsvTable csv = ParseCsv(csvText);
    if (!csv.error.empty()) {
      Issue(csv.errorLine, "", csv.error);
      return outcome_;
    }
    if (csv.records.empty()) {
      Issue(0, "", "the file is empty: the first line must name the columns");
      return outcome_;
    }
    if (!ReadHeader(csv.records.front())) return outcome_;
    LoadExisting();
    if (!outcome_.error.empty()) return outcome_;
    size_t first = 1;
    while (first < csv.records.size() && IsExplanation(csv.records.front(), csv.records[first])) {
      ++first;
    }
    for (size_t r = first; r < csv.records.size(); ++r) CheckRow(csv.records[r]);
    if (!outcome_.issues.empty()) return outcome_;
    Write();
    return outcome_;
  }

 private:
  void Issue(int line, std::string column, std::string message) {
    outcome_.issues.push_back(ImportIssue{line, std::move(column), std::move(message)});
  }

  bool IsRequired(const db::ColumnDef& column) const {
    for (const auto& name : rules_.required) {
      if (SameName(name, column.name)) return true;
    }
    for (const auto& name : table_.primaryKey) {
      if (SameName(name, column.name) && column.kind == db::ColumnKind::Id) return true;
    }
    return false;
  }

  // The single id key of a table whose counter the load moves past its keys.
  bool IsCounterKey(const db::ColumnDef& column) const {
    return table_.primaryKey.size() == 1 && SameName(table_.primaryKey.front(), column.name) &&
           column.kind == db::ColumnKind::Id;
  }

  // A line the template wrote under the header: "# COLUMN: meaning" for a column of the
  // header, and only where nothing but such lines stands between it and the header, so that a
  // customer whose name begins with '#' is never taken for one.
  static bool IsExplanation(const CsvRecord& header, const CsvRecord& record) {
    if (record.fields.empty()) return false;
    const std::string& first = record.fields.front();
    if (!first.starts_with(kExplanationMark)) return false;
    const std::string_view rest = std::string_view(first).substr(kExplanationMark.size());
    return std::any_of(header.fields.begin(), header.fields.end(), [&](const std::string& name) {
      const std::string column = Trim(name);
      return rest.starts_with(column) && rest.substr(column.size()).starts_with(':');
    });
  }

  // The stock period the shop is in (parameter 1 of module 12, as the documents read it).
  std::optional<int64_t> CurrentPeriod() {
    std::string error;
    auto rs = runner_.Open(
        db::Sql("SELECT value FROM ws_parameter WHERE module=").Key(12).Raw(" AND number=").Key(1),
        &error);
    if (!error.empty() || rs->Eof()) return std::nullopt;
    const auto period = WholeNumber(Trim(rs->Field(0).ToText()));
    if (!period || *period < 190001) return std::nullopt;
    return period;
  }

  const Reference* ReferenceByName(std::string_view name) const {
    for (const auto& reference : rules_.references) {
      if (!reference.byName.empty() && SameName(reference.byName, name)) return &reference;
    }
    return nullptr;
  }

  bool ReadHeader(const CsvRecord& header) {
    const size_t before = outcome_.issues.size();
    for (const auto& raw : header.fields) {
      const std::string name = Trim(raw);
      const Reference* byName = ReferenceByName(name);
      const db::ColumnDef* column = table_.FindColumn(byName ? byName->column : name);
      if (!column) {
        Issue(header.line, name, "no such column in " + table_.name);
        continue;
      }
      if (std::find(columns_.begin(), columns_.end(), column) != columns_.end()) {
        Issue(header.line, name,
              byName ? "gives the same as " + byName->column + ": name one of them"
                     : "the column is named twice");
        continue;
      }
      columns_.push_back(column);
      byName_.push_back(byName);
    }
    headerFields_ = columns_.size();
    for (const auto& d : rules_.defaults) {
      const db::ColumnDef* column = table_.FindColumn(d.column);
      if (d.value != kCurrentPeriod || ColumnIndex(d.column) >= 0) continue;
      const std::optional<int64_t> period = CurrentPeriod();
      if (!period) {
        Issue(header.line, d.column, "the shop has no current period: give the column");
        continue;
      }
      Cell cell;
      cell.empty = false;
      cell.id = *period;
      columns_.push_back(column);
      byName_.push_back(nullptr);
      extraCells_.push_back(cell);
    }
    // Rows from another program come without our ids: they get new ones from the counter.
    for (const auto& column : table_.columns) {
      if (IsCounterKey(column) &&
          std::find(columns_.begin(), columns_.end(), &column) == columns_.end()) {
        assignIds_ = true;
        columns_.push_back(&column);
        byName_.push_back(nullptr);
      }
    }
    for (const auto& column : table_.columns) {
      if (IsRequired(column) && !DefaultOf(column.name) &&
          std::find(columns_.begin(), columns_.end(), &column) == columns_.end()) {
        Issue(header.line, column.name, "the required column is missing");
      }
    }
    return outcome_.issues.size() == before;
  }

  int ColumnIndex(std::string_view name) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (SameName(columns_[i]->name, name)) return static_cast<int>(i);
    }
    return -1;
  }

  // Values of a statement's columns as comparable texts; error into the outcome.
  std::vector<std::string> ReadKeys(const db::Sql& sql) {
    std::string error;
    auto rs = runner_.Open(sql, &error);
    std::vector<std::string> keys;
    if (!error.empty()) {
      outcome_.error = error;
      return keys;
    }
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string key;
      for (int f = 0; f < rs->FieldCount(); ++f) {
        if (f > 0) key += '\x1f';
        const db::Value& v = rs->Field(f);
        key += v.IsReal() ? std::to_string(v.ToLong()) : v.ToText();
      }
      keys.push_back(std::move(key));
    }
    return keys;
  }

  static std::string JoinNames(const std::vector<std::string>& names, const char* separator) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : separator) + n;
    return out;
  }

  void LoadExisting() {
    const std::string keyList = JoinNames(table_.primaryKey, ", ");
    for (const std::string& table : {table_.name, rules_.mirror}) {
      if (table.empty()) continue;
      for (auto& key : ReadKeys(db::Sql("SELECT " + keyList + " FROM " + table))) {
        existingKeys_[std::move(key)] = table;
      }
    }
    for (const auto& name : rules_.unique) {
      if (ColumnIndex(name) < 0) continue;
      auto& set = existingUnique_[name];
      for (auto& value : ReadKeys(db::Sql("SELECT ")
                                      .Raw(name)
                                      .Raw(" FROM ")
                                      .Raw(table_.name)
                                      .Raw(" WHERE ")
                                      .Raw(name)
                                      .Raw("<>")
                                      .Text(""))) {
        set.insert(Trim(value));  // rows stored with blanks before codes were trimmed
      }
    }
    for (size_t i = 0; i < byName_.size(); ++i) {
      if (byName_[i]) LoadNames(*byName_[i]);
    }
    for (const auto& reference : rules_.references) {
      if (ColumnIndex(reference.column) < 0) continue;
      auto& set = referenced_[reference.column];
      for (const auto& value :
           ReadKeys(db::Sql("SELECT " + reference.key + " FROM " + reference.table))) {
        if (auto id = WholeNumber(value)) set.insert(*id);
      }
    }
  }

  // The codes and names of the rows a reference by name may pick.
  struct Names {
    std::unordered_map<std::string, std::vector<int64_t>> byCode;
    std::unordered_map<std::string, std::vector<int64_t>> byName;
  };

  void LoadNames(const Reference& reference) {
    db::Sql sql("SELECT ");
    sql.Raw(reference.key)
        .Raw(", ")
        .Raw(reference.codeColumn)
        .Raw(", ")
        .Raw(reference.nameColumn)
        .Raw(" FROM ")
        .Raw(reference.table);
    if (!reference.whereColumn.empty()) {
      sql.Raw(" WHERE ").Raw(reference.whereColumn).Raw("=").Key(reference.whereValue);
    }
    std::string error;
    auto rs = runner_.Open(sql, &error);
    if (!error.empty()) {
      outcome_.error = error;
      return;
    }
    Names& names = names_[reference.byName];
    for (; !rs->Eof(); rs->MoveNext()) {
      const int64_t id = rs->Field(0).ToLong();
      // Codes and names were stored with blanks before the cards trimmed them.
      const std::string code = Trim(rs->Field(1).ToText());
      const std::string name = Trim(rs->Field(2).ToText());
      if (!code.empty()) names.byCode[code].push_back(id);
      if (!name.empty()) names.byName[name].push_back(id);
    }
  }

  // The id a code, or else a name, stands for; a name two rows share picks neither.
  std::optional<int64_t> ResolveName(int line, const Reference& reference,
                                     const std::string& text) {
    const Names& names = names_[reference.byName];
    const auto* ids = [&]() -> const std::vector<int64_t>* {
      if (auto code = names.byCode.find(text); code != names.byCode.end()) return &code->second;
      if (auto name = names.byName.find(text); name != names.byName.end()) return &name->second;
      return nullptr;
    }();
    if (!ids) {
      Issue(line, reference.byName,
            Quoted(text) + " is no " + reference.codeColumn + " or " + reference.nameColumn +
                " of " + reference.table);
      return std::nullopt;
    }
    if (ids->size() > 1) {
      Issue(line, reference.byName,
            Quoted(text) + " names " + std::to_string(ids->size()) + " rows of " + reference.table +
                ": give the " + reference.codeColumn);
      return std::nullopt;
    }
    return ids->front();
  }

  // Checks one field; answers the cell or nullopt after reporting it.
  std::optional<Cell> CheckField(int line, const db::ColumnDef& column, const std::string& raw,
                                 const Reference* byName) {
    Cell cell;
    const std::string text = Trim(raw);
    cell.empty = text.empty();
    if (cell.empty) {
      if (IsRequired(column)) {
        Issue(line, byName ? byName->byName : column.name, "the required value is empty");
        return std::nullopt;
      }
      return cell;
    }
    if (byName) {
      auto id = ResolveName(line, *byName, text);
      if (!id) return std::nullopt;
      cell.id = *id;
      return cell;
    }
    switch (column.kind) {
      case db::ColumnKind::Id: {
        auto id = WholeNumber(text);
        if (!id) {
          Issue(line, column.name, Quoted(raw) + " is not a whole number");
          return std::nullopt;
        }
        if (SameName(column.name, "会计期间") &&
            (*id / 100 < 1900 || *id / 100 > 9999 || *id % 100 < 1 || *id % 100 > 12)) {
          Issue(line, column.name, Quoted(raw) + " is not a period (yyyymm)");
          return std::nullopt;
        }
        if (IsCounterKey(column)) {
          if (std::string problem = CheckLoadedId(*id); !problem.empty()) {
            Issue(line, column.name, problem);
            return std::nullopt;
          }
        }
        cell.id = *id;
        break;
      }
      case db::ColumnKind::Number:
      case db::ColumnKind::Money: {
        auto number = Number(text);
        if (!number) {
          Issue(line, column.name, Quoted(raw) + " is not a number");
          return std::nullopt;
        }
        // An amount keeps its digits to be stored exactly.
        if (column.kind == db::ColumnKind::Money) {
          if (!db::Amount::Of(text).InRange()) {
            Issue(line, column.name, Quoted(raw) + " is out of range");
            return std::nullopt;
          }
          cell.text = text;
        }
        cell.number = *number;
        break;
      }
      case db::ColumnKind::Date: {
        auto date = db::Date::Parse(text);
        if (!date) {
          Issue(line, column.name, Quoted(raw) + " is not a date (yyyy-mm-dd)");
          return std::nullopt;
        }
        cell.text = date->Text();
        break;
      }
      case db::ColumnKind::Text:
      case db::ColumnKind::Mark:
        // Stored as compared: a code "A1 " would pass the uniqueness test beside "A1".
        cell.text = text;
        break;
    }
    return cell;
  }

  // A key given twice in the file or already in the table.
  bool CheckKey(const CsvRecord& record, const std::vector<Cell>& cells) {
    std::string key;
    for (size_t k = 0; k < table_.primaryKey.size(); ++k) {
      const std::string& name = table_.primaryKey[k];
      const int index = ColumnIndex(name);
      if (k > 0) key += '\x1f';
      if (index < 0) continue;  // a text part of a composite key left to its default ''
      const Cell& cell = cells[static_cast<size_t>(index)];
      key +=
          table_.FindColumn(name)->kind == db::ColumnKind::Id ? std::to_string(cell.id) : cell.text;
    }
    const std::string keyColumns = JoinNames(table_.primaryKey, "+");
    std::string shownKey = key;
    std::replace(shownKey.begin(), shownKey.end(), '\x1f', '/');
    if (auto seen = fileKeys_.find(key); seen != fileKeys_.end()) {
      Issue(record.line, keyColumns,
            "the key " + shownKey + " is also on line " + std::to_string(seen->second));
      return false;
    }
    fileKeys_[key] = record.line;
    if (auto there = existingKeys_.find(key); there != existingKeys_.end()) {
      Issue(record.line, keyColumns, "the key " + shownKey + " is already in " + there->second);
      return false;
    }
    return true;
  }

  void CheckRow(const CsvRecord& record) {
    if (record.fields.size() != headerFields_) {
      Issue(record.line, "",
            "the row has " + std::to_string(record.fields.size()) + " fields, the header names " +
                std::to_string(headerFields_) + " columns");
      return;
    }
    std::vector<Cell> cells;
    bool good = true;
    for (size_t i = 0; i < headerFields_; ++i) {
      auto cell = CheckField(record.line, *columns_[i], record.fields[i], byName_[i]);
      good = good && cell.has_value();
      cells.push_back(cell.value_or(Cell{}));
    }
    if (!good) return;
    cells.insert(cells.end(), extraCells_.begin(), extraCells_.end());
    // The new id, taken from the counter when the rows are written.
    if (assignIds_) {
      Cell key;
      key.empty = false;
      cells.push_back(std::move(key));
    }
    if (!assignIds_ && !CheckKey(record, cells)) good = false;
    for (const auto& name : rules_.unique) {
      const int index = ColumnIndex(name);
      if (index < 0) continue;
      const Cell& cell = cells[static_cast<size_t>(index)];
      if (cell.empty) continue;
      auto& seen = fileUnique_[name];
      if (auto it = seen.find(cell.text); it != seen.end()) {
        Issue(record.line, name,
              Quoted(cell.text) + " is also on line " + std::to_string(it->second));
        good = false;
      } else if (existingUnique_[name].count(cell.text)) {
        Issue(record.line, name, Quoted(cell.text) + " is already in " + table_.name);
        good = false;
      } else {
        seen[cell.text] = record.line;
      }
    }
    for (const auto& reference : rules_.references) {
      const int index = ColumnIndex(reference.column);
      if (index < 0) continue;
      const Cell& cell = cells[static_cast<size_t>(index)];
      if (cell.id != 0 && !referenced_[reference.column].count(cell.id)) {
        Issue(record.line, reference.column,
              std::to_string(cell.id) + " is no " + reference.key + " of " + reference.table);
        good = false;
      }
    }
    if (good) rows_.push_back(std::move(cells));
  }

  // The INSERT of one row into a table: the file's columns, then the defaults of the columns
  // the file does not have.
  db::Sql InsertStatement(const std::string& table, const std::vector<Cell>& cells) const {
    const std::string driver = db_.Settings("driver");
    db::Sql names;
    db::Sql values;
    auto separate = [&] {
      if (!names.empty()) {
        names.Raw(", ");
        values.Raw(", ");
      }
    };
    auto append = [&](const db::ColumnDef& column, const Cell& cell) {
      separate();
      names.Raw(column.name);
      switch (column.kind) {
        case db::ColumnKind::Id:
          values.Key(cell.id);
          break;
        case db::ColumnKind::Number:
          values.Num(cell.number);
          break;
        case db::ColumnKind::Money:
          values.Money(db::Amount::Of(cell.text));
          break;
        case db::ColumnKind::Date:
          if (cell.empty) {
            values.Raw("NULL");
          } else {
            values.Date(cell.text, driver);
          }
          break;
        case db::ColumnKind::Text:
        case db::ColumnKind::Mark:
          values.Text(cell.text);
          break;
      }
    };
    for (size_t i = 0; i < columns_.size(); ++i) {
      const Cell& cell = cells[i];
      // An empty cell of a column with a default takes the default (车辆编号 = the id).
      if (cell.empty && DefaultOf(columns_[i]->name)) continue;
      append(*columns_[i], cell);
    }
    for (const auto& d : rules_.defaults) {
      const int index = ColumnIndex(d.column);
      if (index >= 0 && !cells[static_cast<size_t>(index)].empty) continue;
      const db::ColumnDef& column = *table_.FindColumn(d.column);
      Cell cell;
      cell.empty = false;
      std::string value = d.value;
      if (!value.empty() && value[0] == '=') {
        const int source = ColumnIndex(value.substr(1));
        const Cell& from = cells[static_cast<size_t>(source)];
        value = table_.FindColumn(value.substr(1))->kind == db::ColumnKind::Id
                    ? std::to_string(from.id)
                    : from.text;
      }
      cell.text = value;
      cell.id = WholeNumber(value).value_or(0);
      cell.number = Number(value).value_or(0);
      append(column, cell);
    }
    return db::Sql("INSERT INTO ")
        .Raw(table)
        .Raw(" (")
        .Append(names)
        .Raw(") VALUES (")
        .Append(values)
        .Raw(")");
  }

  const ColumnDefault* DefaultOf(std::string_view column) const {
    for (const auto& d : rules_.defaults) {
      if (SameName(d.column, column)) return &d;
    }
    return nullptr;
  }

  void Write() {
    if (assignIds_ && !rows_.empty()) {
      // The counter hands these ids out once, whether or not the load commits, so a desk
      // saving a new card meanwhile never takes one of them.
      std::vector<int64_t> ids;
      platform::RecordNavigator navigator(db_);
      if (std::string failure = navigator.GetNewIDs(table_.name, table_.primaryKey.front(),
                                                    static_cast<int64_t>(rows_.size()), ids);
          !failure.empty()) {
        outcome_.error = failure;
        return;
      }
      for (size_t r = 0; r < rows_.size(); ++r) rows_[r].back().id = ids[r];
    }
    db::Transaction transaction(db_);
    for (const auto& cells : rows_) {
      for (const std::string& table : {table_.name, rules_.mirror}) {
        if (!table.empty() && !transaction.Run(InsertStatement(table, cells))) break;
      }
      if (transaction.Failed()) break;
    }
    const bool singleId = table_.primaryKey.size() == 1 &&
                          table_.FindColumn(table_.primaryKey.front())->kind == db::ColumnKind::Id;
    if (singleId) {
      for (const std::string& table : {table_.name, rules_.mirror}) {
        if (!table.empty()) {
          transaction.Run(AdvanceIdCounterStatement(table, table_.primaryKey.front()));
        }
      }
    }
    if (transaction.Failed() || !transaction.Commit()) {
      outcome_.error = transaction.Error();
      return;
    }
    outcome_.rows = static_cast<int64_t>(rows_.size());
  }

  db::IDatabase& db_;
  db::Runner runner_;
  const ImportRules& rules_;
  const db::TableDef& table_;
  ImportOutcome outcome_;
  std::vector<const db::ColumnDef*> columns_;  // in the order of the header, then a new key
  std::vector<const Reference*> byName_;       // a column given by code or name
  size_t headerFields_ = 0;
  std::vector<Cell> extraCells_;  // the columns a default fills for every row (the period)
  bool assignIds_ = false;        // the key is not in the file: new ids from the counter
  std::map<std::string, Names> names_;
  std::unordered_map<std::string, std::string> existingKeys_;  // key -> table holding it
  std::unordered_map<std::string, int> fileKeys_;              // key -> line
  std::map<std::string, std::unordered_set<std::string>> existingUnique_;
  std::map<std::string, std::unordered_map<std::string, int>> fileUnique_;
  std::map<std::string, std::unordered_set<int64_t>> referenced_;
  std::vector<std::vector<Cell>> rows_;
};

}  // namespace

const std::vector<ImportTableInfo>& ImportTables() {
  static const std::vector<ImportTableInfo> tables = [] {
    std::vector<ImportTableInfo> out;
    for (const auto& rules : AllRules()) out.push_back(rules.info);
    return out;
  }();
  return tables;
}

ImportOutcome ImportCsv(db::IDatabase& db, std::string_view tableName, std::string_view csvText) {
  const ImportRules* rules = FindRules(tableName);
  if (!rules) {
    ImportOutcome outcome;
    std::string known;
    for (const auto& info : ImportTables()) known += (known.empty() ? "" : ", ") + info.name;
    outcome.issues.push_back(
        {0, "", "unknown table '" + std::string(tableName) + "' (known: " + known + ")"});
    return outcome;
  }
  return Importer(db, *rules).Run(csvText);
}

namespace {

// What a column holds, for the template's explanation lines; a column not named here is
// explained by its kind.
const std::map<std::string, std::string, std::less<>>& Meanings() {
  static const std::map<std::string, std::string, std::less<>> meanings = {
      {"往来编码", "the customer's code, as the counter types it"},
      {"公司名称", "the customer's name (a person or a company)"},
      {"简称", "a short name"},
      {"联系人", "the person to ask for"},
      {"电话", "phone"},
      {"地址", "address"},
      {"属性", "kind of partner: 2 customer (the default)"},
      {"车辆编号", "the vehicle's own number (the id when left empty)"},
      {"车牌号", "licence plate, unique"},
      {"行驶证号", "registration certificate number"},
      {"发动机号", "engine number"},
      {"车架号", "VIN, 17 characters"},
      {"车型", "model"},
      {"车名", "make and name"},
      {"颜色", "colour"},
      {"车主", "the owner: a customer's 往来编码, or its 公司名称 when that is unique"},
      {"物品编码", "the part's code, unique"},
      {"物品名称", "the part's name"},
      {"规格", "size, grade or model"},
      {"库存单位", "unit of stock (个 升 套 ...)"},
      {"参考零售价", "retail price"},
      {"参考进价", "purchase price"},
      {"参考批发价", "wholesale price"},
      {"编码", "code, unique"},
      {"维修项目", "the repair item's name, unique"},
      {"项目属性", "kind of item"},
      {"参考价格", "price of the labour"},
      {"保养月数", "months between services (0 none)"},
      {"保养公里", "kilometres between services (0 none)"},
      {"维修分类", "the category's name, unique"},
      {"说明", "description"},
      {"部门编码", "code"},
      {"部门名称", "name"},
      {"组织类型", "1 department, 2 depot (set by the table name)"},
      {"雇员编码", "the employee's code"},
      {"姓名", "name"},
      {"部门", "the department: its 部门编码 or 部门名称"},
      {"登录账号", "the shop account the employee logs in as (ws user list)"},
      {"是否技师", "1 when the workshop may dispatch work to the employee"},
      {"科目编码", "ledger account code"},
      {"科目名称", "ledger account name"},
      {"是否现金科目", "1 for cash and bank accounts"},
      {"名称", "the settlement method's name (现金 转账 ...)"},
      {"外币代号", "currency code"},
      {"外币名称", "currency name"},
      {"汇率", "exchange rate (1 for the home currency)"},
      {"会计期间", "the period the stock opens in, yyyymm"},
      {"仓库", "the depot: its 部门编码 or 部门名称"},
      {"配件", "the part: its 物品编码 or 物品名称"},
      {"库存数量", "quantity on hand"},
      {"库存金额", "value on hand"},
  };
  return meanings;
}

std::string KindMeaning(db::ColumnKind kind) {
  switch (kind) {
    case db::ColumnKind::Id:
      return "a whole number";
    case db::ColumnKind::Number:
      return "a number";
    case db::ColumnKind::Money:
      return "an amount";
    case db::ColumnKind::Date:
      return "a date, yyyy-mm-dd";
    case db::ColumnKind::Text:
    case db::ColumnKind::Mark:
      break;
  }
  return "text";
}

}  // namespace

std::string ImportTemplate(std::string_view tableName) {
  const ImportRules* rules = FindRules(tableName);
  if (!rules) return {};
  const db::TableDef& table = *db::FindTable(rules->info.table);
  std::vector<std::pair<std::string, std::string>> columns;  // name, meaning
  for (const auto& column : table.columns) {
    const bool counterKey = table.primaryKey.size() == 1 &&
                            table.primaryKey.front() == column.name &&
                            column.kind == db::ColumnKind::Id;
    if (counterKey) continue;  // given from the counter
    std::string name = column.name;
    for (const auto& reference : rules->references) {
      if (reference.column == column.name && !reference.byName.empty()) name = reference.byName;
    }
    const auto meaning = Meanings().find(name);
    std::string text = meaning != Meanings().end() ? meaning->second : KindMeaning(column.kind);
    const bool required = std::find(rules->required.begin(), rules->required.end(), column.name) !=
                              rules->required.end() ||
                          (column.kind == db::ColumnKind::Id &&
                           std::find(table.primaryKey.begin(), table.primaryKey.end(),
                                     column.name) != table.primaryKey.end());
    if (std::any_of(rules->defaults.begin(), rules->defaults.end(), [&](const auto& d) {
          return d.column == column.name && d.value == kCurrentPeriod;
        })) {
      text += " (the shop's current period when left out)";
    } else if (required) {
      text += " (required)";
    }
    columns.emplace_back(std::move(name), std::move(text));
  }
  std::string out;
  for (const auto& [name, meaning] : columns) out += (out.empty() ? "" : ",") + name;
  out += "\n";
  for (const auto& [name, meaning] : columns) {
    out += std::string(kExplanationMark) + name + ": " + meaning + "\n";
  }
  return out;
}

std::string DescribeIssue(const ImportIssue& issue) {
  std::string out;
  if (issue.line > 0) out += "line " + std::to_string(issue.line);
  if (!issue.column.empty())
    out += (out.empty() ? "" : ", ") + std::string("column ") + issue.column;
  return out.empty() ? issue.message : out + ": " + issue.message;
}

}  // namespace ws::shop
