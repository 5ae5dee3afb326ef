// The price summary: for every program, line kind, item or part and unit price, how many lines
// of checked repair orders carry that price. The lowest, highest and average checked price of
// an item (the price rules 1 to 3) then read the few rows of one item instead of every checked
// line of it, which at a million orders is tens of thousands of lines.
//
// Triggers keep the summary true whatever writes the rows: a check or uncheck of an order
// (smark to or from '02') adds or takes away all of its lines; an insert, update or delete of a
// line of a checked order moves that line's count; a deleted checked order takes its lines away.
// Rows whose count falls to 0 stay and are skipped by the readers (n > 0).
#pragma once

#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/sql.h"

namespace ws::db {

inline constexpr std::string_view kPriceSummaryTable = "ws_price_sum";
// The `kind` of a summary row: which line table it counts.
inline constexpr int kPriceSummaryItems = 1;
inline constexpr int kPriceSummaryParts = 2;

// The table's description (module subsystem, from `since` on).
TableDef PriceSummaryTable(int since);
// The statements that make the triggers (on PostgreSQL with their functions first).
std::vector<std::string> PriceSummaryTriggers(Engine engine);
// The statements that rebuild the summary from the stored orders; run when the table is made in
// a file that already holds checked orders.
std::vector<std::string> PriceSummaryFill();

// Lowest (rule 1), highest (2) or count-weighted average (3) checked price of the item or part
// `key` on orders of the program; the statement yields one row, Null when no checked line has it.
Sql PriceSummarySelect(int rule, int kind, int64_t key, int64_t programNumber);

}  // namespace ws::db
