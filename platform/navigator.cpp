#include "platform/navigator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "forms/text.h"

namespace ws::platform {

namespace {

bool IsWordByte(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || u >= 0x80;  // every UTF-8 byte of a Chinese name
}

bool EqualsWordAt(std::string_view text, size_t pos, std::string_view word) {
  if (pos + word.size() > text.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[pos + i])) != word[i]) return false;
  }
  bool startOk = pos == 0 || !IsWordByte(text[pos - 1]);
  bool endOk = pos + word.size() == text.size() || !IsWordByte(text[pos + word.size()]);
  return startOk && endOk;
}

// Positions of the SELECT's own FROM and of any top-level word that makes a row count of the
// FROM part differ from the row count of the SELECT (DISTINCT, GROUP BY, UNION ...), skipping
// literals, quoted names and parenthesised subqueries.
struct SelectShape {
  size_t from = std::string_view::npos;
  bool countable = true;
};

SelectShape ScanSelect(std::string_view sql) {
  SelectShape shape;
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      char close = c == '[' ? ']' : c;
      size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) break;
      i = end;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth != 0 || !IsWordByte(c) || (i > 0 && IsWordByte(sql[i - 1]))) continue;
    if (shape.from == std::string_view::npos) {
      if (EqualsWordAt(sql, i, "FROM")) shape.from = i;
      if (EqualsWordAt(sql, i, "DISTINCT")) shape.countable = false;
    } else {
      for (std::string_view word : {"GROUP", "UNION", "INTERSECT", "EXCEPT", "HAVING"}) {
        if (EqualsWordAt(sql, i, word)) shape.countable = false;
      }
    }
  }
  return shape;
}

// Table and column names reach the statement unquoted, so only plain names are accepted.
bool IsPlainName(std::string_view name) {
  if (name.empty()) return false;
  if (std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!IsWordByte(c)) return false;
  }
  return true;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trimmed(std::string_view text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(b, e - b + 1));
}

constexpr auto SameName = &forms::EqualsIgnoringCase;

// The id of a search condition that names one row by its key ("单据ID=100024", as a document
// shows itself again after a save); nullopt for any other condition. Such a row is fetched
// with the id bound, so every save of a list runs the one statement text and its plan is
// kept, instead of a new text the server parses and plans for each new document.
std::optional<int64_t> KeyEquals(std::string_view condition, std::string_view key) {
  if (key.empty() || condition.size() <= key.size() ||
      !SameName(condition.substr(0, key.size()), key)) {
    return std::nullopt;
  }
  std::string_view rest = condition.substr(key.size());
  auto skipBlanks = [&rest] {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  };
  skipBlanks();
  if (rest.empty() || rest.front() != '=') return std::nullopt;
  rest.remove_prefix(1);
  skipBlanks();
  int64_t id = 0;
  auto [end, status] = std::from_chars(rest.data(), rest.data() + rest.size(), id);
  if (status != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
  return id;
}

// The words of a text outside string literals, a qualified name ("CLZl.车牌号") as one word;
// nullopt when the text holds quoted names or characters this reading does not know.
std::optional<std::vector<std::string>> Words(std::string_view text, std::string_view symbols) {
  std::vector<std::string> words;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '\'') {
      size_t end = i + 1;
      while (end < text.size() &&
             (text[end] != '\'' || (end + 1 < text.size() && text[end + 1] == '\''))) {
        end += text[end] == '\'' ? 2 : 1;
      }
      i = end + 1;
    } else if (IsWordByte(c)) {
      size_t end = i;
      while (end < text.size() && (IsWordByte(text[end]) || text[end] == '.')) ++end;
      words.emplace_back(text.substr(i, end - i));
      i = end;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (symbols.find(c) != std::string_view::npos) {
      words.emplace_back(1, c);
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return words;
}

// A FROM part of the form "FROM T LEFT JOIN U ON U.key = ... LEFT JOIN ...": the first table
// and the tables joined on their primary key, each by the name the statement gives it.
struct JoinedTable {
  const db::TableDef* table;
  std::string name;  // its alias, or the table's own name
  std::string join;  // " LEFT JOIN <table> [<alias>] ON <a> = <b>"
  std::string from;  // the ON's side that is not the joined table's key
};
struct FromShape {
  const db::TableDef* first = nullptr;
  std::string firstName;
  std::vector<JoinedTable> joined;
};

std::optional<FromShape> ReadFrom(const std::string& fromPart) {
  auto tokens = Words(fromPart, "()=");
  if (!tokens) return std::nullopt;
  std::vector<std::string> t;
  for (auto& token : *tokens) {
    if (token != "(" && token != ")") t.push_back(std::move(token));
  }
  if (t.size() < 2 || !SameName(t[0], "FROM")) return std::nullopt;
  FromShape shape;
  shape.first = db::FindTable(t[1]);
  shape.firstName = t[1];
  if (!shape.first || t[1].find('.') != std::string::npos) return std::nullopt;
  size_t i = 2;
  while (i < t.size()) {
    if (!SameName(t[i++], "LEFT")) return std::nullopt;
    if (i < t.size() && SameName(t[i], "OUTER")) ++i;
    if (i + 1 >= t.size() || !SameName(t[i], "JOIN")) return std::nullopt;
    const db::TableDef* table = db::FindTable(t[i + 1]);
    if (!table || table->primaryKey.size() != 1) return std::nullopt;
    std::string name = t[i + 1];
    std::string join = " LEFT JOIN " + t[i + 1];
    i += 2;
    // "PDMBM AS PDMBM_1" or "PDMBM PDMBM_1": the alias is what the ON and the condition use.
    if (i < t.size() && SameName(t[i], "AS")) ++i;
    if (i < t.size() && !SameName(t[i], "ON")) {
      name = t[i++];
      join += " " + name;
    }
    if (i + 4 > t.size() || !SameName(t[i], "ON") || t[i + 2] != "=") return std::nullopt;
    // One side of the ON must be the joined table's key.
    std::string from;
    for (int side : {0, 1}) {
      const std::string& own = t[i + 1 + 2 * side];
      size_t dot = own.find('.');
      if (dot != std::string::npos && SameName(own.substr(0, dot), name) &&
          SameName(own.substr(dot + 1), table->primaryKey[0])) {
        from = t[i + 3 - 2 * side];
      }
    }
    if (from.empty()) return std::nullopt;
    join += " ON " + t[i + 1] + " = " + t[i + 3];
    shape.joined.push_back({table, name, join, from});
    i += 4;
  }
  return shape;
}

// What a word of a condition names in a FROM part: the first table (or nothing of a table: a
// keyword, a function, a number), one of the joined tables, or something this reading cannot
// place (a qualifier it does not know).
struct Named {
  bool known = true;
  const JoinedTable* join = nullptr;
};

Named NamedBy(const FromShape& shape, const std::string& word) {
  if (std::isdigit(static_cast<unsigned char>(word[0]))) return {};
  size_t dot = word.find('.');
  if (dot == std::string::npos) {
    for (const JoinedTable& join : shape.joined) {
      if (join.table->FindColumn(word) && !shape.first->FindColumn(word)) return {true, &join};
    }
    return {};
  }
  const std::string qualifier = word.substr(0, dot);
  if (SameName(qualifier, shape.firstName) || SameName(qualifier, shape.first->name)) return {};
  for (const JoinedTable& join : shape.joined) {
    if (SameName(qualifier, join.name) || SameName(qualifier, join.table->name)) {
      return {true, &join};
    }
  }
  return {false, nullptr};
}

// Whether a joined table hangs on a column of the first table itself.
bool OnFirst(const FromShape& shape, const JoinedTable& join) {
  size_t dot = join.from.find('.');
  if (dot == std::string::npos) return shape.first->FindColumn(join.from) != nullptr;
  const std::string qualifier = join.from.substr(0, dot);
  return SameName(qualifier, shape.firstName) || SameName(qualifier, shape.first->name);
}

// The FROM part to count the list's rows with. A list query joins lookup tables for their
// names ("(WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID) LEFT JOIN pdmwldw ON ...");
// a LEFT JOIN on the joined table's primary key neither adds nor removes rows, so only the
// joined tables the condition or the key name are kept: with none, the first table is counted
// alone without a lookup per row (a third of the time on SQLite, which keeps these joins).
// Anything this reading cannot vouch for keeps the FROM part as it is.
std::string CountingFrom(const std::string& fromPart, const std::string& condition,
                         const std::string& key) {
  auto shape = ReadFrom(fromPart);
  if (!shape || shape->joined.empty()) return fromPart;
  auto used = Words(condition + " " + key, "()=<>!,+-*/%|#;");
  if (!used) return fromPart;
  std::vector<const JoinedTable*> named;
  for (const std::string& word : *used) {
    Named n = NamedBy(*shape, word);
    if (!n.known) return fromPart;
    if (n.join && std::find(named.begin(), named.end(), n.join) == named.end()) {
      named.push_back(n.join);
    }
  }
  std::string out = "FROM " + shape->firstName;
  for (const JoinedTable& join : shape->joined) {
    if (std::find(named.begin(), named.end(), &join) == named.end()) continue;
    // A join from another joined table's column needs that table: the FROM part stays whole.
    if (!OnFirst(*shape, join)) return fromPart;
    out += join.join;
  }
  return out;
}

// The tables whose rows decide a list's counts, in lower case as ws_change_block names them:
// the tracked document table whose key orders the list, and the tracked tables it looks up
// that the condition names ("clzl.车牌号 like ..."). Empty when the list cannot be counted
// block by block: the FROM part is no such join, the key is not the first table's, or the
// condition may name anything else (an untracked lookup, a subquery).
struct ListTables {
  std::string table;
  std::vector<std::string> lookups;
  std::string first;  // the table as the FROM part names it
};

ListTables TablesOf(const std::string& countedFrom, const std::string& condition,
                    const std::string& key) {
  auto shape = ReadFrom(countedFrom);
  if (!shape) return {};
  const db::TableDef* table = shape->first;
  if (table->trackedSince == 0 || table->primaryKey.size() != 1) return {};
  Named keyNamed = NamedBy(*shape, key);
  size_t dot = key.find('.');
  if (!keyNamed.known || keyNamed.join ||
      !SameName(dot == std::string::npos ? key : key.substr(dot + 1), table->primaryKey[0])) {
    return {};
  }
  auto used = Words(condition, "()=<>!,+-*/%|#;");
  if (!used) return {};
  // A lookup of a lookup changes the rows of the one it hangs on, which no version shows.
  for (const JoinedTable& join : shape->joined) {
    if (!OnFirst(*shape, join)) return {};
  }
  ListTables out{LowerAscii(table->name), {}, shape->firstName};
  for (const std::string& word : *used) {
    if (SameName(word, "SELECT")) return {};
    Named named = NamedBy(*shape, word);
    if (!named.known) return {};
    if (!named.join) continue;
    if (named.join->table->trackedSince == 0 || named.join->table->primaryKey.size() != 1) {
      return {};
    }
    std::string lookup = LowerAscii(named.join->table->name);
    if (lookup == out.table) return {};  // a self join: its blocks are not the list's
    if (std::find(out.lookups.begin(), out.lookups.end(), lookup) == out.lookups.end()) {
      out.lookups.push_back(lookup);
    }
  }
  return out;
}

// The terms of a condition joined by AND at its top level, as written; nullopt when an OR
// joins terms there (no term alone then narrows the list). The AND of a BETWEEN is no join.
std::optional<std::vector<std::string>> TopLevelTerms(std::string_view condition) {
  std::vector<std::string> terms;
  int depth = 0;
  bool between = false;
  size_t start = 0;
  for (size_t i = 0; i < condition.size(); ++i) {
    char c = condition[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      size_t end = condition.find(c == '[' ? ']' : c, i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      i = end;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth != 0 || !IsWordByte(c) || (i > 0 && IsWordByte(condition[i - 1]))) continue;
    if (EqualsWordAt(condition, i, "OR")) return std::nullopt;
    if (EqualsWordAt(condition, i, "BETWEEN")) between = true;
    if (EqualsWordAt(condition, i, "AND")) {
      if (between) {
        between = false;
        continue;
      }
      terms.push_back(Trimmed(condition.substr(start, i - start)));
      start = i + 3;
    }
  }
  terms.push_back(Trimmed(condition.substr(start)));
  return terms;
}

// How the first and last rows of a list are found before its blocks are counted, through a
// day index of its first table (a partial index under db::kDayIndexTerm): the terms of the
// condition that name the first table alone, one of them its day column; the value of the
// index's second column when a term pins it ("progid=200001").
struct DayRoute {
  std::string table;
  std::string day;
  std::string pinnedColumn;
  std::string pinnedValue;
  std::string terms;  // "(t1) AND (t2) ..."
};

std::optional<DayRoute> DayRouteOf(const std::string& countedFrom, const std::string& condition) {
  auto shape = ReadFrom(countedFrom);
  if (!shape) return std::nullopt;
  const db::IndexDef* index = nullptr;
  for (const db::IndexDef& candidate : shape->first->indexes) {
    if (candidate.where == db::kDayIndexTerm && candidate.columns.size() >= 2) index = &candidate;
  }
  auto terms = TopLevelTerms(condition);
  if (!index || !terms) return std::nullopt;
  DayRoute route{shape->firstName, index->columns[0], {}, {}, {}};
  auto own = [&](const std::string& word, const std::string& column) {
    size_t dot = word.find('.');
    return dot == std::string::npos
               ? SameName(word, column)
               : SameName(word.substr(dot + 1), column) && !NamedBy(*shape, word).join;
  };
  bool namesDay = false;
  for (const std::string& term : *terms) {
    auto words = Words(term, "()=<>!,+-*/%|#;");
    if (!words || words->empty()) continue;
    bool alone = true;
    for (const std::string& word : *words) {
      Named named = NamedBy(*shape, word);
      if (!named.known || named.join || SameName(word, "SELECT")) alone = false;
    }
    if (!alone) continue;
    for (const std::string& word : *words) namesDay = namesDay || own(word, route.day);
    const std::vector<std::string>& w = *words;
    if (w.size() == 3 && w[1] == "=" && own(w[0], index->columns[1]) &&
        w[2].find_first_not_of("0123456789") == std::string::npos) {
      route.pinnedColumn = index->columns[1];
      route.pinnedValue = w[2];
    }
    if (!route.terms.empty()) route.terms += " AND ";
    route.terms += "(" + term + ")";
  }
  if (!namesDay) return std::nullopt;
  return route;
}

int64_t BlockOf(int64_t key) {
  return key / db::kChangeBlockKeys;
}

std::shared_ptr<db::Recordset> EmptyRecords() {
  auto rs = std::make_shared<db::Recordset>();
  rs->Close();
  return rs;
}

}  // namespace

struct RecordNavigator::Query {
  std::string select;     // the base SELECT as given
  std::string fromPart;   // what rows are counted over; empty: count around the whole SELECT
  std::string condition;  // "(...)" or empty
  std::string key;
  std::string keyField;          // the key's name in the record set (qualifier dropped)
  std::string list;              // identifies the list for the position cache
  ListTables tables;             // counted block by block when tables.table is not empty
  std::optional<DayRoute> days;  // first and last found by day while not counted

  Query(const std::string& baseSelect, const std::string& baseCondition, std::string keyColumn)
      : select(Trimmed(baseSelect)), key(Trimmed(keyColumn)) {
    std::string cond = Trimmed(baseCondition);
    if (!cond.empty()) condition = "(" + cond + ")";
    SelectShape shape = ScanSelect(select);
    if (shape.from != std::string_view::npos && shape.countable) {
      fromPart = CountingFrom(select.substr(shape.from), cond, key);
      tables = TablesOf(fromPart, cond, key);
      if (!tables.table.empty()) days = DayRouteOf(fromPart, cond);
    }
    size_t dot = key.rfind('.');
    keyField = dot == std::string::npos ? key : key.substr(dot + 1);
    list = select + '\x1f' + condition + '\x1f' + key;
  }

  bool ByBlocks() const { return !tables.table.empty(); }

  // " WHERE cond AND extra" or less. The condition is the module's text, as the host
  // interface hands it over; extra is built here.
  db::Sql Where(const db::Sql& extra) const {
    db::Sql out;
    if (condition.empty() && extra.empty()) return out;
    out.Raw(" WHERE ");
    if (!condition.empty()) out.Raw(condition);
    if (!condition.empty() && !extra.empty()) out.Raw(" AND ");
    return out.Append(extra);
  }

  // "SELECT <columns> FROM ..." over the rows of the list that also satisfy extra.
  db::Sql CountSql(const db::Sql& columns, const db::Sql& extra) const {
    db::Sql out("SELECT ");
    out.Append(columns);
    if (!fromPart.empty()) return out.Raw(" " + fromPart).Append(Where(extra));
    return out.Raw(" FROM (" + select).Append(Where(extra)).Raw(") ws_nav");
  }

  db::Sql KeyCompare(const char* op, int64_t id) const {
    return db::Sql().Raw(key).Raw(" ").Raw(op).Raw(" ").Key(id);
  }

  // The keys of a block from its first up to and including `last`.
  db::Sql BlockRange(int64_t block, int64_t last) const {
    return KeyCompare(">=", block * db::kChangeBlockKeys)
        .Raw(" AND ")
        .Append(KeyCompare("<=", last));
  }

  // "key >= lowest" (else "key <= highest") for the lowest or highest key a row of the list
  // may have, found by the day index: the days holding rows of the first table's own terms,
  // one index step each, and on each day its first (last) key under the pinned value. A
  // keyset walk on a window of dates otherwise passes every key before (after) it. With no
  // pinned value every key of those terms is read, still off the day index.
  db::Sql DayBound(bool up) const {
    const DayRoute& d = *days;
    const std::string from = " FROM " + d.table + " WHERE " + db::kDayIndexTerm + " AND ";
    const std::string most = up ? "MIN(" : "MAX(";
    db::Sql out = db::Sql().Raw(key).Raw(up ? " >= (" : " <= (");
    if (d.pinnedColumn.empty()) {
      return out.Raw("SELECT " + most + keyField + " + 0)" + from + d.terms + ")");
    }
    const std::string window = "WITH RECURSIVE ws_days(ws_day) AS (SELECT MIN(" + d.day + ")" +
                               from + d.terms + " UNION ALL SELECT (SELECT MIN(" + d.day + ")" +
                               from + d.day + " > ws_days.ws_day AND " + d.terms +
                               ") FROM ws_days WHERE ws_days.ws_day IS NOT NULL)";
    // The pinned column is bounded, not compared equal: only then does SQLite read a day's
    // keys in the index's order and stop at the first.
    const std::string& pin = d.pinnedColumn;
    const std::string order = up ? "" : " DESC";
    const std::string dayKey = "SELECT " + keyField + from + d.day + " = ws_days.ws_day AND " +
                               pin + ">=" + d.pinnedValue + " AND " + pin + "<=" + d.pinnedValue +
                               " ORDER BY " + pin + order + ", " + keyField + order + " LIMIT 1";
    return out.Raw(window + " SELECT " + most + "(" + dayKey + ")) FROM ws_days)");
  }

  // ws_change_block's rows of the list's tables.
  db::Sql TableNames() const {
    db::Sql out("table_name IN (");
    out.Text(tables.table);
    for (const std::string& lookup : tables.lookups) out.Raw(", ").Text(lookup);
    return out.Raw(")");
  }
};

namespace {
// Recounts of more blocks than this (a bulk write) run one by one, the stamp after them read
// afresh: they would make one pipeline past what a connection reads ahead.
constexpr size_t kReadAheadCounts = 32;
}  // namespace

bool RecordNavigator::CountingList(const Query& q) const {
  return pending_ && pending_->query->list == q.list;
}

void RecordNavigator::Attach(db::IDatabase& db) {
  db_ = &db;
  shop_.emplace(db);
  cache_.reset();
  blocks_.reset();
  pending_.reset();
  shownOpen_ = false;
  blocksUsable_ = true;
  if (!store_ || !sharedStore_) store_ = std::make_shared<ListCounts>();
  std::string driver = LowerAscii(db.Settings("driver"));
  tableStamps_ = false;
  if (driver.find("sqlite") != std::string::npos) {
    // data_version moves when another connection commits, total_changes when this one writes
    // (a rolled-back write still counts, which only costs a recount).
    stampSql_ = "SELECT (SELECT data_version FROM pragma_data_version()) || '/' || total_changes()";
  } else if (driver.find("postgres") != std::string::npos || driver == "pg") {
    // Every write anywhere in the cluster moves the WAL insert position, the server's own
    // housekeeping included; lists counted by blocks are stamped with their tables' versions.
    stampSql_ = "SELECT pg_current_wal_insert_lsn()::text";
    tableStamps_ = true;
  } else {
    stampSql_.clear();
  }
}

std::string RecordNavigator::GetNewID(const std::string& table, const std::string& keyColumn,
                                      int64_t& id) {
  std::vector<int64_t> ids;
  if (std::string failure = GetNewIDs(table, keyColumn, 1, ids); !failure.empty()) return failure;
  id = ids.front();
  return {};
}

std::string RecordNavigator::GetNewIDs(const std::string& table, const std::string& keyColumn,
                                       int64_t count, std::vector<int64_t>& ids) {
  std::vector<host::IdBatch> batches = {
      {.table = table, .keyColumn = keyColumn, .count = count, .ids = {}}};
  std::string failure = GetNewIDs(batches);
  ids = std::move(batches.front().ids);
  return failure;
}

namespace {

// One counter row per table and key, however often the table is named: an upsert may touch
// a row once per statement.
struct Counter {
  std::string table;
  std::string keyColumn;
  int64_t count = 0;
  int64_t last = 0;
};

// One statement, so it is atomic under every engine and runs inside an open transaction
// without nesting one. A counter never falls behind its table: rows inserted by anyone who
// did not ask for an id (imports, older hosts) are jumped over.
db::Sql CounterUpsert(const std::vector<Counter>& counters) {
  db::Sql sql("INSERT INTO ws_id (table_name, key_column, last_id) VALUES ");
  for (size_t i = 0; i < counters.size(); ++i) {
    const Counter& c = counters[i];
    sql.Raw(i ? ", (" : "(").Text(c.table).Raw(", ").Text(c.keyColumn);
    sql.Raw(", (SELECT COALESCE(MAX(").Raw(c.keyColumn).Raw("), 0) + ").Key(c.count);
    sql.Raw(" FROM ").Raw(c.table).Raw("))");
  }
  // The counter moved on by its own count (each written beside a column, so that a server
  // takes the value for a number).
  auto movedOn = [&] {
    sql.Raw("(CASE");
    for (const Counter& c : counters) {
      sql.Raw(" WHEN excluded.table_name = ").Text(c.table);
      sql.Raw(" AND excluded.key_column = ").Text(c.keyColumn);
      sql.Raw(" THEN ws_id.last_id + ").Key(c.count);
    }
    sql.Raw(" END)");
  };
  sql.Raw(" ON CONFLICT (table_name, key_column) DO UPDATE SET last_id = CASE WHEN ");
  movedOn();
  sql.Raw(" > excluded.last_id THEN ");
  movedOn();
  sql.Raw(" ELSE excluded.last_id END");
  return sql;
}

}  // namespace

std::string RecordNavigator::HoldCounter(const std::string& table, const std::string& keyColumn) {
  if (!db_) return "RecordNavigator: no database attached";
  if (!IsPlainName(table) || !IsPlainName(keyColumn)) {
    return "RecordNavigator: not a table and key column: " + table + ", " + keyColumn;
  }
  cache_.reset();  // this connection writes
  return db::Runner(*db_, db::IDatabase::kCommandTextHeldBack)
      .Execute(CounterUpsert({{.table = LowerAscii(table), .keyColumn = keyColumn, .count = 1}}));
}

std::string RecordNavigator::GetNewIDs(std::vector<host::IdBatch>& batches) {
  for (host::IdBatch& batch : batches) batch.ids.clear();
  if (!db_) return "RecordNavigator: no database attached";
  std::vector<Counter> counters;
  for (const host::IdBatch& batch : batches) {
    if (!IsPlainName(batch.table) || !IsPlainName(batch.keyColumn)) {
      return "RecordNavigator: not a table and key column: " + batch.table + ", " + batch.keyColumn;
    }
    if (batch.count < 1) continue;
    const std::string table = LowerAscii(batch.table);
    auto same = std::find_if(counters.begin(), counters.end(), [&](const Counter& c) {
      return c.table == table && c.keyColumn == batch.keyColumn;
    });
    if (same == counters.end()) {
      counters.push_back({.table = table, .keyColumn = batch.keyColumn, .count = 0, .last = 0});
      same = counters.end() - 1;
    }
    same->count += batch.count;
  }
  if (counters.empty()) return {};
  db::Sql sql = CounterUpsert(counters);
  sql.Raw(" RETURNING table_name, key_column, last_id");
  std::string error;
  auto rs = db::Runner(*db_).Open(sql, &error);
  cache_.reset();  // this connection just wrote
  if (!error.empty()) return error;
  for (; !rs->Eof(); rs->MoveNext()) {
    for (Counter& c : counters) {
      if (c.table == rs->Field(0).ToText() && c.keyColumn == rs->Field(1).ToText())
        c.last = rs->Field(2).ToLong();
    }
  }
  for (Counter& c : counters) {
    if (c.last <= 0) return "RecordNavigator: no id issued for " + c.table;
    // Each batch of the table takes the next part of its run, in the order named.
    c.last -= c.count;
  }
  for (host::IdBatch& batch : batches) {
    if (batch.count < 1) continue;
    const std::string table = LowerAscii(batch.table);
    for (Counter& c : counters) {
      if (c.table != table || c.keyColumn != batch.keyColumn) continue;
      for (int64_t i = 1; i <= batch.count; ++i) batch.ids.push_back(c.last + i);
      c.last += batch.count;
    }
  }
  return {};
}

db::Sql RecordNavigator::RowSql(const Query& q, const db::Sql& extra, bool descending) {
  db::Sql sql(q.select);
  return sql.Append(q.Where(extra))
      .Raw(" ORDER BY " + q.key + (descending ? " DESC" : "") + " LIMIT 1");
}

std::shared_ptr<db::Recordset> RecordNavigator::FetchOne(const Query& q, const db::Sql& extra,
                                                         bool descending, std::string* error) {
  return db::Runner(*db_).Open(RowSql(q, extra, descending), error);
}

std::optional<std::vector<int64_t>> RecordNavigator::WalkBlocks(const Query& q, bool up,
                                                                std::optional<int64_t> from) const {
  if (!q.ByBlocks() || !blocks_ || blocks_->list != q.list || (from && *from < 0)) {
    return std::nullopt;
  }
  const std::map<int64_t, int64_t>& counts = blocks_->figures.counts;
  if (!counts.empty() && counts.begin()->first < 0) return std::nullopt;
  std::vector<int64_t> out;
  if (!from) {
    if (!counts.empty()) out.push_back(up ? counts.begin()->first : counts.rbegin()->first);
    return out;
  }
  const int64_t own = BlockOf(*from);
  if (counts.count(own)) out.push_back(own);
  if (up) {
    if (auto beyond = counts.upper_bound(own); beyond != counts.end()) out.push_back(beyond->first);
  } else if (auto at = counts.lower_bound(own); at != counts.begin()) {
    out.push_back(std::prev(at)->first);
  }
  return out;
}

// A keyset walk over a list windowed by dates passes every row outside the window before it
// finds one inside: ten years of orders and a window of the last twelve months make "first"
// pass nine tenths of the table. Kept to the blocks the counts say hold rows of the list, no
// walk passes more than a block or two; each block is tried nearest first. Before the blocks
// are counted, walks are kept to the keys the day index gives for the window.
std::shared_ptr<db::Recordset> RecordNavigator::Walk(const Query& q, const db::Sql& extra, bool up,
                                                     std::optional<int64_t> from,
                                                     std::string* error) {
  auto blocks = WalkBlocks(q, up, from);
  if (!blocks && q.days) {
    // First starts from the lowest key, previous stops at it (and last and next at the
    // highest): a previous from the window's first row would otherwise pass every key below.
    db::Sql bounded(extra);
    if (!bounded.empty()) bounded.Raw(" AND ");
    return FetchOne(q, bounded.Append(q.DayBound(from ? !up : up)), !up, error);
  }
  if (!blocks) return FetchOne(q, extra, !up, error);
  for (int64_t block : *blocks) {
    db::Sql bounded(extra);
    if (!bounded.empty()) bounded.Raw(" AND ");
    // Block 0 also holds the keys above -4096 (division truncates), so it gets no floor.
    if (block > 0) bounded.Append(q.KeyCompare(">=", block * db::kChangeBlockKeys)).Raw(" AND ");
    bounded.Append(q.KeyCompare("<", (block + 1) * db::kChangeBlockKeys));
    auto rs = FetchOne(q, bounded, !up, error);
    if (!error->empty() || !rs->Eof()) return rs;
  }
  return EmptyRecords();
}

int64_t RecordNavigator::Count(const Query& q, const db::Sql& extra, std::string* error) {
  ++countQueries_;
  return db::Runner(*db_).Scalar(q.CountSql(db::Sql("COUNT(*)"), extra), error).ToLong();
}

void RecordNavigator::CountBlocks(const Query& q, const db::Sql& extra,
                                  std::map<int64_t, int64_t>& counts, std::string* error) {
  ++countQueries_;
  db::Sql columns = db::Sql().Raw(q.key).Raw(" / ").Num(db::kChangeBlockKeys).Raw(", COUNT(*)");
  auto rows = db::Runner(*db_).Open(q.CountSql(columns, extra).Raw(" GROUP BY 1"), error);
  for (; error->empty() && !rows->Eof(); rows->MoveNext()) {
    counts[rows->Field(0).ToLong()] += rows->Field(1).ToLong();
  }
}

bool RecordNavigator::TableStamped(const Query& q) const {
  return q.ByBlocks() && tableStamps_ && !db_->InTransaction();
}

std::optional<db::Sql> RecordNavigator::StampSql(const Query& q) const {
  if (TableStamped(q)) {
    // The versions of the list's own tables: writes elsewhere (and the server's own
    // housekeeping, which moves the WAL) leave them be. Versions only grow, so their sum
    // moves with every write to these tables.
    db::Sql sql("SELECT COALESCE(SUM(version), 0) FROM ws_change_block WHERE ");
    return sql.Append(q.TableNames());
  }
  if (stampSql_.empty()) return std::nullopt;
  return db::Sql(stampSql_);
}

bool RecordNavigator::BlocksReadable(const Query& q) const {
  // Inside a transaction the versions would include this connection's own uncommitted
  // writes, which a rollback takes back to versions seen before; a list counted between the
  // host's events gets its figures there.
  return blocksUsable_ && q.ByBlocks() && !db_->InTransaction() && !CountingList(q);
}

db::Sql RecordNavigator::BlockCountSql(const Query& q, int64_t block,
                                       std::optional<int64_t> rankOf) {
  const db::Sql range = q.BlockRange(block, (block + 1) * db::kChangeBlockKeys - 1);
  if (!rankOf || BlockOf(*rankOf) != block) return q.CountSql(db::Sql("COUNT(*)"), range);
  db::Sql columns("COUNT(*), SUM(CASE WHEN ");
  columns.Append(q.KeyCompare("<=", *rankOf)).Raw(" THEN 1 ELSE 0 END)");
  return q.CountSql(columns, range);
}

db::Sql RecordNavigator::UpToInBlockSql(const Query& q, int64_t id) {
  return q.CountSql(db::Sql("COUNT(*)"), q.BlockRange(BlockOf(id), id));
}

db::Sql RecordNavigator::VersionsSql(const Query& q) {
  return db::Sql("SELECT table_name, block, version FROM ws_change_block WHERE ")
      .Append(q.TableNames());
}

void RecordNavigator::ReadAheadStart(const Query& q, const std::optional<db::Sql>& row) {
  if (!db_->ReadsAhead()) return;
  db::Runner runner(*db_);
  // The stamp before the versions: figures are kept under the stamp read first, so a write
  // landing between the two only costs a recount later.
  if (auto stamp = StampSql(q)) runner.ReadAhead(*stamp);
  if (BlocksReadable(q)) runner.ReadAhead(VersionsSql(q));
  if (row) runner.ReadAhead(*row);
}

std::string RecordNavigator::ChangeStamp(const Query& q) {
  if (TableStamped(q)) {
    std::string error;
    int64_t sum = db::Runner(*db_).Scalar(*StampSql(q), &error).ToLong();
    if (error.empty()) return "v" + std::to_string(sum);
    tableStamps_ = false;
  }
  if (stampSql_.empty()) return {};
  std::string error;
  std::string stamp = db::Runner(*db_).ScalarText(db::Sql(stampSql_), &error);
  if (!error.empty()) {
    stampSql_.clear();  // the engine cannot tell; recount from now on
    return {};
  }
  return stamp;
}

// Counting the whole list on every move is what makes a position text slow. The figures are
// reused while the change stamp shows that nothing was written since they were taken: then
// first is 1, last is N, a step from the remembered row is one more or one less, and any other
// row is counted only over the keys between it and the remembered row. When the stamp moved
// (someone saved), N and k are taken from the per-block figures, or else in one pass over the
// list. The first attempt uses the stamp read before the row was fetched.
std::string RecordNavigator::Position(const Query& q, int mode, int64_t id, std::string stamp,
                                      const Step& step, std::string* error) {
  int64_t total = 0;
  int64_t rank = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0) stamp = ChangeStamp(q);
    bool usable = !stamp.empty() && cache_ && cache_->list == q.list && cache_->stamp == stamp;
    if (usable) {
      // A total below zero, or a rank of zero or less, is still being counted.
      const PositionCache& c = *cache_;
      total = c.total;
      if (mode == host::kNavFirst) {
        rank = 1;
      } else if (mode == host::kNavLast) {
        rank = total;
      } else if (id == c.knownId || c.knownRank <= 0) {
        rank = id == c.knownId ? c.knownRank : 0;
      } else if (id > c.knownId) {
        rank = c.knownRank +
               Count(q, q.KeyCompare(">", c.knownId).Raw(" AND ").Append(q.KeyCompare("<=", id)),
                     error);
      } else {
        rank = c.knownRank -
               Count(q, q.KeyCompare(">", id).Raw(" AND ").Append(q.KeyCompare("<=", c.knownId)),
                     error);
      }
    } else if (auto figures = BlockFigures(q, id, stamp, attempt == 0 ? step : Step{}, error)) {
      total = figures->first;
      rank = figures->second;
    } else if (error->empty() && CountingList(q)) {
      total = -1;
      rank = mode == host::kNavFirst ? 1 : 0;
    } else if (error->empty()) {
      ++countQueries_;
      db::Sql columns("COUNT(*), SUM(CASE WHEN ");
      columns.Append(q.KeyCompare("<=", id)).Raw(" THEN 1 ELSE 0 END)");
      auto rs = db::Runner(*db_).Open(q.CountSql(columns, db::Sql()), error);
      if (error->empty() && !rs->Eof()) {
        total = rs->Field(0).ToLong();
        rank = rs->Field(1).ToLong();
      }
    }
    if (!error->empty()) {
      cache_.reset();
      blocks_.reset();
      return "0/0";
    }
    if (stamp.empty() || ChangeStamp(q) == stamp) {
      if (stamp.empty()) {
        cache_.reset();
      } else {
        cache_ = PositionCache{q.list, stamp, total, id, rank};
      }
      break;
    }
    cache_.reset();  // written to while counting: count once more under a still stamp
  }
  shownList_ = q.list;
  shownId_ = id;
  shownOpen_ = total < 0;
  writesSeen_ = db_->WritesSent();
  if (total >= 0) return std::to_string(rank) + "/" + std::to_string(total);
  return (rank > 0 ? std::to_string(rank) : std::string(host::kNotCounted)) + "/" +
         host::kNotCounted;
}

// After someone wrote, only the blocks of keys whose version in ws_change_block moved are
// counted again; the list's other blocks keep their figures. A write to a looked-up table the
// condition names may change the rows of any block, so it has the whole list counted again.
// The versions are read before the counts, so a write that lands in between leaves an older
// version beside a newer count, which only costs one more recount later, never a wrong figure.
// The figures start from those another navigator of the database left in the shared store.
bool RecordNavigator::RefreshBlocks(const Query& q, const std::string& stamp, std::string* error,
                                    std::optional<int64_t> rankOf) {
  if (!BlocksReadable(q)) return false;
  // Unchanged since the last refresh, whose change (lastChange_) still holds.
  if (blocks_ && blocks_->list == q.list && !stamp.empty() && blocks_->stamp == stamp) return true;
  std::optional<BlockCache> previous;
  if (blocks_ && blocks_->list == q.list) previous = std::move(blocks_);
  ownRank_.reset();
  db::Runner runner(*db_);
  std::string readError;
  auto rs = runner.Open(VersionsSql(q), &readError);
  if (!readError.empty()) {
    blocksUsable_ = false;  // a file without the tracking: count the whole list from now on
    return false;
  }
  std::map<int64_t, int64_t> versions;
  std::map<std::string, int64_t> lookups;
  for (const std::string& lookup : q.tables.lookups) lookups[lookup] = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string table = rs->Field(0).ToText();
    if (table == q.tables.table) {
      versions[rs->Field(1).ToLong()] = rs->Field(2).ToLong();
    } else {
      lookups[table] += rs->Field(2).ToLong();
    }
  }

  int64_t unsaved = previous ? previous->unsaved : shopLate_ == q.list ? kShopLagBlocks : 0;
  blocks_.reset();
  if (auto kept = store_->Find(q.list)) {
    blocks_ = BlockCache{q.list, std::move(*kept), {}, unsaved};
  } else if (auto shared = shop_->Find(q.list)) {
    blocks_ = BlockCache{q.list, std::move(*shared), {}, 0};
  }
  bool whole = false;
  if ((!blocks_ || blocks_->figures.lookups != lookups) && later_.runner) {
    whole = true;
    auto counted = CountInChunks(q, versions, lookups, error);
    if (!counted) {
      blocks_.reset();
      if (error->empty()) return false;
    } else {
      blocks_ = BlockCache{q.list, std::move(*counted), {}, 0};
    }
  } else if (!blocks_ || blocks_->figures.lookups != lookups) {
    whole = true;
    blocks_ = BlockCache{q.list, {}, {}, 0};
    CountBlocks(q, db::Sql(), blocks_->figures.counts, error);
  } else {
    std::map<int64_t, int64_t> moved;
    for (const auto& [block, version] : versions) {
      auto known = blocks_->figures.versions.find(block);
      if (known == blocks_->figures.versions.end() || known->second != version) {
        moved[block] = version;
      }
    }
    for (const auto& [block, version] : blocks_->figures.versions) {
      if (!versions.count(block)) moved[block] = 0;  // cannot shrink, but never trust it
    }
    auto countSql = [&](int64_t block) { return BlockCountSql(q, block, rankOf); };
    if (db_->ReadsAhead() && moved.size() < kReadAheadCounts) {
      // On a server the recounts go in one round trip, and with them what Position reads next
      // for the row's position: its rank in its own block when that was not written to, and the
      // stamp that proves nothing was written while counting.
      for (const auto& entry : moved) runner.ReadAhead(countSql(entry.first));
      if (rankOf) {
        if (!moved.count(BlockOf(*rankOf))) runner.ReadAhead(UpToInBlockSql(q, *rankOf));
        if (auto stampSql = StampSql(q)) runner.ReadAhead(*stampSql);
      }
    }
    for (const auto& entry : moved) {
      const int64_t block = entry.first;
      ++countQueries_;
      auto rs = runner.Open(countSql(block), error);
      if (!error->empty()) break;
      const int64_t count = rs->Eof() ? 0 : rs->Field(0).ToLong();
      if (!rs->Eof() && rankOf && BlockOf(*rankOf) == block) {
        ownRank_ = OwnRank{q.list, stamp, *rankOf, rs->Field(1).ToLong()};
      }
      if (count) {
        blocks_->figures.counts[block] = count;
      } else {
        blocks_->figures.counts.erase(block);
      }
    }
    blocks_->unsaved += static_cast<int64_t>(moved.size());
  }
  if (!error->empty()) {
    blocks_.reset();
    store_->Forget(q.list);
    return false;
  }
  blocks_->figures.versions = std::move(versions);
  blocks_->figures.lookups = std::move(lookups);
  blocks_->stamp = stamp;
  store_->Store(q.list, blocks_->figures);
  // A whole count is what a desk new to the list would pay again; a few blocks behind cost it
  // little, so the shop's row is not written on every move after another user's save. Nor is
  // it waited for while another desk writes: figures the shop could not take then go with the
  // next refresh.
  if (whole || blocks_->unsaved >= kShopLagBlocks) {
    const bool kept = shop_->Store(q.list, blocks_->figures);
    blocks_->unsaved = kept ? 0 : std::max(blocks_->unsaved, kShopLagBlocks);
    if (kept && shopLate_ == q.list) shopLate_.clear();
  }
  lastChange_ = ChangeSince(previous, *blocks_);
  return true;
}

// What moved between this navigator's own earlier figures of the list and the new ones.
RecordNavigator::BlockChange RecordNavigator::ChangeSince(const std::optional<BlockCache>& before,
                                                          const BlockCache& now) {
  BlockChange change{now.list, before ? before->stamp : std::string(), now.stamp, {}, {}, !before};
  if (!before) return change;
  if (before->figures.lookups != now.figures.lookups) change.whole = true;
  auto diff = [](const std::map<int64_t, int64_t>& a, const std::map<int64_t, int64_t>& b,
                 auto&& each) {
    for (const auto& [block, value] : a) {
      auto other = b.find(block);
      each(block, value - (other == b.end() ? 0 : other->second));
    }
    for (const auto& [block, value] : b) {
      if (!a.count(block)) each(block, -value);
    }
  };
  diff(now.figures.counts, before->figures.counts, [&](int64_t block, int64_t delta) {
    if (delta) change.deltas[block] = delta;
  });
  diff(now.figures.versions, before->figures.versions, [&](int64_t block, int64_t delta) {
    if (delta) change.moved.insert(block);
  });
  return change;
}

std::optional<std::pair<int64_t, int64_t>> RecordNavigator::BlockFigures(const Query& q, int64_t id,
                                                                         const std::string& stamp,
                                                                         const Step& step,
                                                                         std::string* error) {
  if (id < 0 || !RefreshBlocks(q, stamp, error, id)) return std::nullopt;
  const int64_t own = BlockOf(id);
  int64_t total = 0;
  int64_t before = 0;
  for (const auto& [block, count] : blocks_->figures.counts) {
    total += count;
    if (block < own) before += count;
  }
  if (step.mode == host::kNavFirst) return std::make_pair(total, int64_t{1});
  if (step.mode == host::kNavLast) return std::make_pair(total, total);
  // A step from a row whose rank was known before the write: the rows before it changed by
  // the counts of the blocks before its own, when its own block was not written to, and the
  // walk just proved the new row its neighbour.
  const BlockChange& change = lastChange_;
  if ((step.mode == host::kNavNext || step.mode == host::kNavPrevious) && step.known &&
      step.known->list == q.list && step.known->knownId == step.from && !change.whole &&
      change.list == q.list && change.to == stamp && !change.from.empty() &&
      change.from == step.known->stamp && step.from >= 0 &&
      !change.moved.count(BlockOf(step.from)) &&
      (id == step.from || (step.mode == host::kNavNext) == (id > step.from))) {
    int64_t rank = step.known->knownRank;
    if (id != step.from) rank += step.mode == host::kNavNext ? 1 : -1;
    for (const auto& [block, delta] : change.deltas) {
      if (block < BlockOf(step.from)) rank += delta;
    }
    return std::make_pair(total, rank);
  }
  if (ownRank_ && ownRank_->list == q.list && ownRank_->stamp == stamp && ownRank_->id == id) {
    return std::make_pair(total, before + ownRank_->rank);
  }
  ++countQueries_;
  const int64_t inOwn = db::Runner(*db_).Scalar(UpToInBlockSql(q, id), error).ToLong();
  if (!error->empty()) {
    blocks_.reset();
    return std::nullopt;
  }
  return std::make_pair(total, before + inOwn);
}

// A whole count of a list at a million orders takes from a tenth of a second to more than one;
// counted by ranges of keys it comes in chunks of a few milliseconds each, so the clerk sees
// the row at once and types on while the rest is counted between the host's events. The
// versions are read before the first chunk: figures of a block written meanwhile are older than
// its version, so it is counted again before they are used.
std::optional<ListBlocks> RecordNavigator::CountInChunks(
    const Query& q, const std::map<int64_t, int64_t>& versions,
    const std::map<std::string, int64_t>& lookups, std::string* error) {
  if (!CountingList(q)) {
    ++countQueries_;
    // One aggregate a subquery: both in one would scan the table on SQLite.
    db::Sql bounds("SELECT (SELECT MIN(");
    bounds.Raw(q.key).Raw(") FROM ").Raw(q.tables.first).Raw("), (SELECT MAX(");
    bounds.Raw(q.key).Raw(") FROM ").Raw(q.tables.first).Raw(")");
    auto rs = db::Runner(*db_).Open(bounds, error);
    if (!error->empty()) return std::nullopt;
    PendingCount pending{std::make_shared<const Query>(q), ListBlocks{{}, versions, lookups}};
    if (!rs->Eof() && !rs->Field(0).IsNull()) {
      pending.next = rs->Field(0).ToLong();
      pending.last = rs->Field(1).ToLong();
    }
    pending.keys = db::kChangeBlockKeys;
    pending.rest = Projected(pending.last - pending.next + 1);
    pending_ = std::move(pending);
  }
  const auto until = std::chrono::steady_clock::now() + later_.atOnce;
  // A chunk begun late would keep the row from the clerk for most of another chunk. A count
  // that cannot end before the row is due goes to the idle turns now: chunks counted first
  // would only keep the row from the clerk and show "…" all the same.
  while (std::chrono::steady_clock::now() + later_.chunk / 2 < until &&
         std::chrono::steady_clock::now() + pending_->rest <= until) {
    const bool done = CountChunk(error);
    if (!error->empty()) {
      pending_.reset();
      return std::nullopt;
    }
    if (done) {
      ListBlocks figures = std::move(pending_->figures);
      pending_.reset();
      return figures;
    }
  }
  if (!idleQueued_) {
    idleQueued_ = true;
    std::weak_ptr<int> alive = alive_;
    later_.runner([this, alive] { return !alive.expired() && CountWhileIdle(); });
  }
  return std::nullopt;
}

bool RecordNavigator::CountChunk(std::string* error) {
  PendingCount& p = *pending_;
  const Query& q = *p.query;
  // The first chunk has no floor and the last no ceiling: rows inserted beyond the keys seen
  // at the start land in blocks whose versions moved.
  const bool last = p.next + p.keys > p.last;
  db::Sql range;
  if (p.started) range.Append(q.KeyCompare(">=", p.next));
  if (!last) {
    if (!range.empty()) range.Raw(" AND ");
    range.Append(q.KeyCompare("<", p.next + p.keys));
  }
  const auto start = std::chrono::steady_clock::now();
  // A block split between chunks (the keys below zero share block 0) adds up.
  CountBlocks(q, range, p.figures.counts, error);
  if (!error->empty()) return false;
  p.started = true;
  p.next += p.keys;
  const auto took = std::chrono::steady_clock::now() - start;
  // The next chunk is aimed at CountLater::chunk from what this one took. The list's rows lie
  // unevenly over the keys (a date window, a filter), so it grows by half at most.
  const auto tookUs = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
  usPerKey_ = static_cast<double>(tookUs) / static_cast<double>(std::max<int64_t>(1, p.keys));
  p.rest = Projected(p.last - p.next + 1);
  const double ratio = tookUs > 0 ? static_cast<double>(later_.chunk.count()) / tookUs : 1.5;
  const auto keys = static_cast<int64_t>(p.keys * std::clamp(ratio, 0.25, 1.5));
  p.keys = std::max(db::kChangeBlockKeys, keys / db::kChangeBlockKeys * db::kChangeBlockKeys);
  return last;
}

std::chrono::microseconds RecordNavigator::Projected(int64_t keys) const {
  return std::chrono::microseconds(
      static_cast<int64_t>(usPerKey_ * static_cast<double>(std::max<int64_t>(0, keys))));
}

bool RecordNavigator::CountWhileIdle() {
  // A modal box inside a save turns the event loop too: its transaction is left alone.
  if (pending_ && db_->InTransaction()) return true;
  if (pending_) {
    std::string error;
    const bool done = CountChunk(&error);
    if (!error.empty()) {
      pending_.reset();  // the next move counts the list again
    } else if (done) {
      FinishCount();
    }
  }
  idleQueued_ = pending_.has_value();
  return idleQueued_;
}

void RecordNavigator::FinishCount() {
  const std::shared_ptr<const Query> query = pending_->query;
  store_->Store(query->list, std::move(pending_->figures));
  pending_.reset();
  blocks_.reset();
  if (auto figures = store_->Find(query->list); figures && !shop_->Store(query->list, *figures)) {
    shopLate_ = query->list;
  }
  if (!listener_ || !shownOpen_ || shownList_ != query->list) return;
  // The shown row's position as any move would take it now: the blocks written since the
  // count began are counted again.
  cache_.reset();
  std::string error;
  std::string position = Position(*query, -1, shownId_, ChangeStamp(*query), Step{}, &error);
  if (error.empty() && !shownOpen_) listener_(position);
}

host::NavResult RecordNavigator::Navigate(const std::string& baseSelect,
                                          const std::string& baseCondition, int mode,
                                          int64_t currentId, const std::string& keyColumn,
                                          int /*flag*/) {
  host::NavResult result{EmptyRecords(), "0/0", std::string()};
  if (!db_) {
    result.message = "RecordNavigator: no database attached";
    return result;
  }
  Query q(baseSelect, baseCondition, keyColumn);
  std::string error;
  ReadAheadStart(q, std::nullopt);
  const std::string stamp = ChangeStamp(q);
  // The walks below keep to the blocks with rows, so the blocks are brought up to date first.
  RefreshBlocks(q, stamp, &error);
  if (!error.empty()) {
    result.message = error;
    return result;
  }
  std::shared_ptr<db::Recordset> rs;
  auto stayOrNearest = [&](const char* beyond, bool nearestUp) {
    if (!rs->Eof() || !error.empty()) return;
    rs = FetchOne(q, q.KeyCompare("=", currentId), false, &error);
    if (!rs->Eof() || !error.empty()) return;
    rs = Walk(q, q.KeyCompare(beyond, currentId), nearestUp, currentId, &error);
  };
  switch (mode) {
    case host::kNavFirst:
      rs = Walk(q, db::Sql(), true, std::nullopt, &error);
      break;
    case host::kNavLast:
      rs = Walk(q, db::Sql(), false, std::nullopt, &error);
      break;
    case host::kNavNext:
      rs = Walk(q, q.KeyCompare(">", currentId), true, currentId, &error);
      stayOrNearest("<", false);
      break;
    case host::kNavPrevious:
      rs = Walk(q, q.KeyCompare("<", currentId), false, currentId, &error);
      stayOrNearest(">", true);
      break;
    default:
      result.message = "RecordNavigator: unknown navigation mode " + std::to_string(mode);
      return result;
  }
  if (!error.empty()) {
    result.message = error;
    return result;
  }
  if (rs->Eof()) {
    cache_.reset();
    result.records = rs;
    result.message = std::nullopt;
    return result;
  }
  int64_t id = rs->Field(q.keyField).ToLong();
  const Step step{mode, currentId, cache_};
  // A step from the remembered row needs no count: the keyset query just proved the row is
  // its neighbour, and Position checks that nothing was written since the figures were taken.
  if ((mode == host::kNavNext || mode == host::kNavPrevious) && cache_ &&
      cache_->knownId == currentId && cache_->list == q.list) {
    bool stepped = mode == host::kNavNext ? id > currentId : id < currentId;
    if (stepped) {
      if (cache_->knownRank > 0) cache_->knownRank += mode == host::kNavNext ? 1 : -1;
      cache_->knownId = id;
    }
  }
  std::string position = Position(q, mode, id, stamp, step, &error);
  if (!error.empty()) {
    result.message = error;
    return result;
  }
  result.records = rs;
  result.position = position;
  return result;
}

host::NavResult RecordNavigator::Search(const std::string& baseSelect,
                                        const std::string& baseCondition,
                                        const std::string& searchCondition,
                                        const std::string& keyColumn) {
  host::NavResult result{EmptyRecords(), "0/0", std::string()};
  if (!db_) {
    result.message = "RecordNavigator: no database attached";
    return result;
  }
  Query list(baseSelect, baseCondition, keyColumn);
  std::string narrowed = Trimmed(searchCondition);
  std::string error;
  // The search condition arrives as text through the host interface.
  db::Sql extra;
  const std::optional<int64_t> keyId = KeyEquals(narrowed, list.key);
  if (keyId) {
    extra = list.KeyCompare("=", *keyId);
  } else if (!narrowed.empty()) {
    extra = db::Sql("(" + narrowed + ")");
  }
  db::Sql found = RowSql(list, extra, false);
  if (!keyId && list.days && !extra.empty()) {
    // A list windowed by dates is not walked by key to the first row the search finds: the
    // walk passes every key before the window (nine tenths of ten years for the last twelve
    // months), and the server takes it whenever it believes the search matches rows spread
    // over the keys, as it does when the typed start of a number spans a bound of its
    // histogram. Ordered by an expression of the key, the rows come from the search's own
    // index or the window's days, then are sorted.
    found = db::Sql(list.select);
    found.Append(list.Where(extra)).Raw(" ORDER BY " + list.key + " + 0 LIMIT 1");
  }
  if (db_->ReadsAhead()) {
    ReadAheadStart(list, found);
    // A document this connection wrote since the last look (saved, checked, unchecked) is
    // looked for next: its block has most likely moved, so its recount (with the rows up to
    // it) and the stamp proving it come along. A guess that misses costs one count in a round
    // trip that goes anyway.
    if (keyId && db_->WritesSent() != writesSeen_ && BlocksReadable(list) && *keyId >= 0) {
      db::Runner runner(*db_);
      runner.ReadAhead(BlockCountSql(list, BlockOf(*keyId), *keyId));
      if (auto stampSql = StampSql(list)) runner.ReadAhead(*stampSql);
    }
  }
  const std::string stamp = ChangeStamp(list);
  auto rs = db::Runner(*db_).Open(found, &error);
  if (!error.empty()) {
    result.message = error;
    return result;
  }
  if (rs->Eof()) {
    result.records = rs;
    result.message = std::nullopt;
    return result;
  }
  int64_t id = rs->Field(list.keyField).ToLong();
  std::string position = Position(list, -1, id, stamp, Step{}, &error);
  if (!error.empty()) {
    result.message = error;
    return result;
  }
  result.records = rs;
  result.position = position;
  return result;
}

}  // namespace ws::platform
