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
#include "shop/exchange/csv.h"
#include "shop/store/id_counters.h"

namespace ws::shop {

namespace {

using forms::Trim;

// A column that must name an existing row of another table; 0 means "none".
struct Reference {
  std::string column;
  std::string table;
  std::string key;
};

// The value a column takes when the file has no such column or leaves it empty. "=COLUMN"
// copies another column.
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
      {{"vehicles", "clzl", "vehicles (车主ID: a customer's 往来ID)"},
       {"车辆ID", "车牌号"},
       {"车牌号", "车辆编号"},
       {{"车主ID", "pdmwldw", "往来ID"}},
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
      {{"employees", "PDMGY", "employees (部门ID: a department's 部门ID)"},
       {"雇员ID", "姓名"},
       {"雇员编码"},
       {{"部门ID", "PDMBM", "部门ID"}},
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
      {{"stock", "JXCGoodsZzTz", "stock balances (会计期间 yyyymm, 仓库ID, 产品ID)"},
       {"会计期间", "仓库ID", "产品ID"},
       {},
       {{"仓库ID", "PDMBM", "部门ID"}, {"产品ID", "PDMCPML", "产品ID"}},
       {},
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
    for (size_t r = 1; r < csv.records.size(); ++r) CheckRow(csv.records[r]);
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

  bool ReadHeader(const CsvRecord& header) {
    const size_t before = outcome_.issues.size();
    for (const auto& raw : header.fields) {
      const std::string name = Trim(raw);
      const db::ColumnDef* column = table_.FindColumn(name);
      if (!column) {
        Issue(header.line, name, "no such column in " + table_.name);
        continue;
      }
      if (std::find(columns_.begin(), columns_.end(), column) != columns_.end()) {
        Issue(header.line, name, "the column is named twice");
        continue;
      }
      columns_.push_back(column);
    }
    for (const auto& column : table_.columns) {
      if (IsRequired(column) &&
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
    for (const auto& reference : rules_.references) {
      if (ColumnIndex(reference.column) < 0) continue;
      auto& set = referenced_[reference.column];
      for (const auto& value :
           ReadKeys(db::Sql("SELECT " + reference.key + " FROM " + reference.table))) {
        if (auto id = WholeNumber(value)) set.insert(*id);
      }
    }
  }

  // Checks one field; answers the cell or nullopt after reporting it.
  std::optional<Cell> CheckField(int line, const db::ColumnDef& column, const std::string& raw) {
    Cell cell;
    const std::string text = Trim(raw);
    cell.empty = text.empty();
    if (cell.empty) {
      if (IsRequired(column)) {
        Issue(line, column.name, "the required value is empty");
        return std::nullopt;
      }
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

  void CheckRow(const CsvRecord& record) {
    if (record.fields.size() != columns_.size()) {
      Issue(record.line, "",
            "the row has " + std::to_string(record.fields.size()) + " fields, the header names " +
                std::to_string(columns_.size()) + " columns");
      return;
    }
    std::vector<Cell> cells;
    bool good = true;
    for (size_t i = 0; i < columns_.size(); ++i) {
      auto cell = CheckField(record.line, *columns_[i], record.fields[i]);
      good = good && cell.has_value();
      cells.push_back(cell.value_or(Cell{}));
    }
    if (!good) return;

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
      good = false;
    } else {
      fileKeys_[key] = record.line;
      if (auto there = existingKeys_.find(key); there != existingKeys_.end()) {
        Issue(record.line, keyColumns, "the key " + shownKey + " is already in " + there->second);
        good = false;
      }
    }
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
  std::vector<const db::ColumnDef*> columns_;                  // in the order of the header
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

std::string DescribeIssue(const ImportIssue& issue) {
  std::string out;
  if (issue.line > 0) out += "line " + std::to_string(issue.line);
  if (!issue.column.empty())
    out += (out.empty() ? "" : ", ") + std::string("column ") + issue.column;
  return out.empty() ? issue.message : out + ": " + issue.message;
}

}  // namespace ws::shop
