// How the desktop reads a column of a headless grid for a clerk. The grids carry captions,
// formats and host data types but no word on what a column means, so the meaning is read from
// what every document, list and report of the shop shares: its captions ("金额", "数量",
// "工单号码", "进厂日期") and its formats.
//
// - A number column is right-aligned; a money column whose format is open shows two decimals.
// - A sum column (amount, quantity, fee, balance) is totalled under the grid; a price, a rate,
//   a stock level or a row number never is.
// - A date column and a code column (work-order number, plate, code) are never cut.
// - An optional column (a part's attributes and secondary quantities, the read-only columns a
//   document fills from the master) is hidden while no row uses it.
// - A "选择" column holds a chooser's ticks ("√" or empty): a check box.
// - The shop's stand-in for "no date" (1900-01-01) is shown empty.
#pragma once

#include <string>

#include "forms/grid.h"

namespace ws::desk {

struct ColumnTraits {
  bool number = false;
  bool sum = false;
  bool money = false;
  bool date = false;
  bool code = false;
  bool optional = false;
  bool tick = false;
};

ColumnTraits TraitsOf(const forms::Grid& grid, int col);
// Whether the grid lists rows to tick (a chooser) rather than taking new lines.
bool HasTickColumn(const forms::Grid& grid);

// The text of a data cell as the grid shows it: through the column format, money with two
// decimals where the format is open, the stand-in for no date empty.
std::string ShownText(const forms::Grid& grid, int row, int col, const ColumnTraits& traits);

// Whether no visible data row holds anything in the column (blank text, or 0 in a number
// column); false for a grid without data rows, where nothing tells a column is unused.
bool ColumnUnused(const forms::Grid& grid, int col, const ColumnTraits& traits);

// The total of a sum column over the visible data rows, subtotal rows left out, as the column
// shows its numbers; empty when no cell holds a number.
std::string ColumnTotal(const forms::Grid& grid, int col, const ColumnTraits& traits);

}  // namespace ws::desk
