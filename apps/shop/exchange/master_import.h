// Loading a shop's master data (customers, vehicles, parts, repair items and categories,
// departments and depots, employees, accounts, settlement methods, currencies, stock balances)
// from CSV into its table: all or nothing.
//
// The first record names the columns (the table's own column names, letter case free). A
// file without the id column gets new ids from the counter; a reference may be given by the
// referenced row's code or name instead of its id (车主 for 车主ID). Every row is checked
// before anything is written: the number of fields, whole numbers in id
// columns, numbers in amount columns, dates as yyyy-mm-dd, periods as yyyymm, the required key
// columns present and filled, keys and codes unique within the file and against the table,
// references (a vehicle's owner, a stock row's depot and part, an employee's department) to
// rows that exist. One bad row writes nothing. Otherwise every row is inserted in one
// transaction through the statement builder, and the id counters (ws_id) are raised past the
// imported ids.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace ws::shop {

// What a name given to `ws import` stands for.
struct ImportTableInfo {
  std::string name;   // "customers", or the real table name
  std::string table;  // the catalogue's table
  std::string description;
};

// The friendly names, in the order the help lists them.
const std::vector<ImportTableInfo>& ImportTables();

struct ImportIssue {
  int line = 0;        // line of the CSV text (1 is the header), 0 for the file as a whole
  std::string column;  // the column concerned, empty when none
  std::string message;
};

struct ImportOutcome {
  std::string table;                // the table written, when the name was known
  std::string mirror;               // the table that takes the same rows, "" for none
  std::vector<ImportIssue> issues;  // not empty: nothing was written
  std::string error;                // the database failed: nothing was written
  int64_t rows = 0;                 // rows inserted into the table
  bool Ok() const { return issues.empty() && error.empty(); }
};

// Checks and loads csvText into the table named tableName (a friendly or a real name).
ImportOutcome ImportCsv(db::IDatabase& db, std::string_view tableName, std::string_view csvText);

// The lines under a template's header that explain its columns begin with this mark.
inline constexpr std::string_view kExplanationMark = "# ";

// A CSV to fill for tableName: the header (the columns a shop fills: no ids, references by
// code or name), then one "# COLUMN: meaning" line per column, which an import skips. Empty
// for an unknown name.
std::string ImportTemplate(std::string_view tableName);

// "line 5, column 车主ID: ..." as the command prints an issue.
std::string DescribeIssue(const ImportIssue& issue);

}  // namespace ws::shop
