// The table catalogue: one description of every table the module and its host use, from which
// the CREATE TABLE and CREATE INDEX statements of each engine are generated. Names are written
// as the statements of the module write them and are never quoted: both engines match unquoted
// names without regard to ASCII letter case (PostgreSQL folds them to lower case), so `WSDJ`
// and `wsdj`, `progID` and `progid` address the same table and column, and Chinese names need
// no quoting in either engine.
//
// Column defaults are chosen so that the module's statements work on rows they did not write
// completely: ids and numbers default to 0 (`余额=总金额-现收金额-补收金额-扣减金额` and
// `补收金额=补收金额 + x` must never meet a Null), texts and marks to '' (conditions such as
// `等级=''` and `主管部门<>''` must see the empty text), dates to Null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/database.h"
#include "db/sql.h"

namespace ws::db {

enum class Engine { Sqlite, Postgres };

// id: long integer (keys, program numbers, accounting periods yyyymm); number: double-precision
// quantity, weight, rate or flag; money: an amount or price, exact to the ten-thousandth
// (db::Amount) as NUMERIC(19,4) on PostgreSQL, a REAL on SQLite that every read rounds back to
// its ten-thousandth; text; date (ISO text on SQLite, DATE on PostgreSQL); mark: the
// two-character status code ("01", "02").
enum class ColumnKind { Id, Number, Money, Text, Date, Mark };

// The version of a subsystem from which its money columns are NUMERIC on PostgreSQL: the upgrade
// from an earlier one converts them in place (ALTER COLUMN ... TYPE), values rounded to the
// ten-thousandth a double held them as.
inline constexpr int kExactMoneySince = 4;

// `since` is the version of the table's subsystem that brought the table, column or index in:
// an older database gets it from the forward migration (see db/schema.h).
struct ColumnDef {
  std::string name;
  ColumnKind kind;
  int since = 1;
};

struct IndexDef {
  IndexDef(std::string name_, std::vector<std::string> columns_, bool unique_ = false,
           std::string where_ = {}, int since_ = 1, std::optional<Engine> onlyOn_ = {})
      : name(std::move(name_)),
        columns(std::move(columns_)),
        unique(unique_),
        where(std::move(where_)),
        since(since_),
        onlyOn(onlyOn_) {}
  std::string name;  // unique within the database; kept short for PostgreSQL's 63-byte limit
  std::vector<std::string> columns;
  // No two rows share the indexed values: the database's own guard behind a duplicate check
  // that two users could otherwise pass at the same moment.
  bool unique = false;
  std::string where;  // a partial index covers only the rows of this condition
  int since = 1;
  // Serves a picker's typed-prefix search ("编码 Like 'x%'"), which ignores ASCII case: on
  // SQLite the single column is indexed under NOCASE, the only order its LIKE can use; on the
  // server, where the search is an ILIKE that no b-tree serves, it is a trigram (pg_trgm) index
  // when the database allows the extension.
  bool caseless = false;
  // Serves a search by the typed start of a number ("工单号码 like 'x%'"), whose characters
  // mostly have no case: on SQLite as a caseless index; on the server a b-tree in
  // text_pattern_ops, which the server's ILIKE uses for the start of the pattern up to its first
  // letter, whatever the database's collation.
  bool typedStart = false;
  // Made on this engine only: the engines' planners differ, and an index one needs can lead
  // the other astray.
  std::optional<Engine> onlyOn;
};

// A caseless index (see IndexDef::caseless) of one column.
IndexDef CaselessIndex(std::string name, std::string column, int since);
// An index of one column for its typed start (see IndexDef::typedStart).
IndexDef TypedStartIndex(std::string name, std::string column, int since);

// Who owns a table: the module's documents and masters, host tables the module writes, host
// tables it only reads, and the host's own configuration (options, counters, settings).
enum class TableRole { Module, HostWritten, HostRead, HostConfig };

struct TableDef {
  std::string name;
  TableRole role;
  std::vector<ColumnDef> columns;
  std::vector<std::string> primaryKey;
  std::vector<IndexDef> indexes;
  int since = 1;
  // From this version on, every write to the table bumps the version of the key's block in
  // ws_change_block (0: never), so a reader holding per-block figures of a list recounts only
  // the blocks someone wrote to. Only tables with a single integer key are tracked.
  int trackedSince = 0;
  // From this version on, an update that leaves every column as it was (the row version aside)
  // bumps no block: writers that put back the values a row holds (a balance recomputed to the
  // same sum, a card saved unchanged) no longer make every list over the block count it again.
  // Older files get the narrower triggers at this version.
  int changesOnlySince = 0;
  // From this version on, the table carries kRowVersionColumn and every update of a row adds
  // one to it (a trigger, so checks, roll-ups and saves alike count), letting a save refuse a row
  // that changed since its window read it (0: not versioned).
  int versionedSince = 0;
  // Indexes a later one made needless (its leading columns, or a read that no longer runs), with
  // the version that drops them from older files.
  struct RetiredIndex {
    std::string name;
    int since;
    std::optional<Engine> onlyOn = {};  // dropped from this engine's files only
  };
  std::vector<RetiredIndex> retiredIndexes = {};
  // Server triggers a later form replaced under another name (on the table they fire on), with
  // the version that drops them: left in place they would fire beside their replacements.
  struct RetiredTrigger {
    std::string name;
    std::string table;
    int since;
  };
  std::vector<RetiredTrigger> retiredTriggers = {};
  // A table the database keeps from the rows of others: the statements that make its triggers
  // (on PostgreSQL with their functions first), and those that fill it from what a file
  // already holds when the table is first made there.
  std::vector<std::string> (*maintainedBy)(Engine) = nullptr;
  std::vector<std::string> (*filledBy)() = nullptr;

  // The column by name, ASCII letters matched without regard to case; nullptr when unknown.
  const ColumnDef* FindColumn(std::string_view column) const;
};

// Every table, in creation order.
const std::vector<TableDef>& Tables();
// A table by name, ASCII letters matched without regard to case; nullptr when unknown.
const TableDef* FindTable(std::string_view name);

// The SQL type of a column kind on an engine.
std::string ColumnType(ColumnKind kind, Engine engine);
// " DEFAULT ..." of a column kind (empty for dates, which default to Null).
std::string DefaultClause(ColumnKind kind);
std::string CreateTableStatement(const TableDef& table, Engine engine);
std::vector<std::string> CreateIndexStatements(const TableDef& table, Engine engine);

// The condition of the repair orders' day index: a statement that wants the index writes this
// term as it stands (SQLite uses a partial index only for a term it finds word for word), and
// the navigator's walks, which never write it, keep to their key order.
inline constexpr const char* kDayIndexTerm = "progid>0";
// The condition of the repair orders' index in the report's order (arrival day, number), true of
// every order: the report writes it, and the navigator's walks, which never do, are not drawn to
// an index that leads with the day.
inline constexpr const char* kReportDayIndexTerm = "单据ID>0";

// Keys per block of ws_change_block: a row's block is its key divided by this (integer
// division on both engines).
inline constexpr int64_t kChangeBlockKeys = 4096;
// The triggers (on PostgreSQL with their function) that bump ws_change_block on every insert and
// delete of a tracked table and on every update that changes a column other than the row
// version; empty for a table that is not tracked. The table is named in ws_change_block in
// lower case.
std::vector<std::string> ChangeTrackStatements(const TableDef& table, Engine engine);
// The update trigger names the table's columns: it is dropped before a column changes type (the
// server refuses that under a trigger that names it) or a column is added, and made anew after.
std::string DropChangeUpdateTrigger(const TableDef& table, Engine engine);

// The row version of a versioned table (TableDef::versionedSince).
inline constexpr std::string_view kRowVersionColumn = "ws_rowver";
// The trigger (on PostgreSQL with its function) that bumps a versioned table's row version on
// every update; empty for a table that is not versioned.
std::vector<std::string> RowVersionStatements(const TableDef& table, Engine engine);

// The rows an insert statement brought, as a server trigger run once per statement reads them.
inline constexpr std::string_view kInsertedRows = "ws_added";
// A server trigger `name` (with its function) run once after each insert statement on `table`;
// `body` reads the inserted rows as kInsertedRows. A save inserts its lines a few dozen to a
// statement, which a row trigger would follow a call per line.
std::vector<std::string> AfterInsertStatementTrigger(const std::string& name,
                                                     const std::string& table,
                                                     const std::string& body);

// The schema mark that tells a database of ours from a foreign one: rows of ws_meta. Version 2
// added a version row per subsystem ("version:<subsystem>"); version 1 files have only this one.
inline constexpr std::string_view kSchemaName = "repair-shop";
inline constexpr std::string_view kSchemaVersion = "2";

// Every statement that creates the catalogue on an empty database, in order: the tables, their
// indexes, the change tracking of the tracked tables and the schema mark with the version of every
// subsystem. The statements contain nothing a dialect translation changes.
std::vector<Sql> CatalogueStatements(Engine engine);

// The schema version of the database behind db ("2"), or nullopt when it carries no schema
// mark of ours (no ws_meta table, or a different schema name).
std::optional<std::string> SchemaVersion(IDatabase& db);
// The statement that gives a database its own random identity in ws_meta ("shop"), unless it
// has one: a copy made by backup keeps it, another shop's file never shares it. Whatever a host
// keeps about a shop outside it (figures, caches) is kept under this name.
Sql ShopIdStatement();
// The identity, empty for a database from before identities (until its next upgrade).
std::string ShopId(IDatabase& db);

}  // namespace ws::db
