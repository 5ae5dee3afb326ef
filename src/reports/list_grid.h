// The report grids' columns, described as tables (framework/list_columns.h): the read-only
// grids of the lists computed in the module (vehicle history, services due, receivables by age
// ...) and the two query reports, whose select list is generated from the table.
//
// The lists' grids: a header row of captions with widths in characters, typed columns so that an
// export keeps numbers as numbers, and a totals row the grid marks as a subtotal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/sql.h"
#include "forms/grid.h"
#include "framework/list_columns.h"

namespace ws::reports {

using framework::ColumnOf;
using framework::DescribeColumns;
using framework::LayoutNumbers;
using framework::ListColumn;
using framework::ListColumnKind;
using framework::ListColumns;
using framework::TotalColumns;

// "SELECT expression AS caption, ..." of a query report (the caption alone where it is the
// column's own name, the table's prefix aside).
db::Sql SelectList(const ListColumns& columns);

// Host data-type codes the layout and the exports read as numeric and as a date.
inline constexpr int kNumberDataType = 5;
inline constexpr int kDateDataType = 7;

// Empties the grid and gives it the columns (described as above), one fixed header row and no
// fixed column.
void SetupListGrid(forms::Grid& grid, const ListColumns& columns);
// Appends a data row; cells past the given ones stay empty. Answers the row.
// Money columns as the shop counts them: a list is built with two decimals, and takes the
// shop's amount decimals (an option of the host) once it is filled.
void ApplyAmountDecimals(forms::Grid& grid, int decimals);

int AddListRow(forms::Grid& grid, const std::vector<std::string>& cells);
// Appends the grand total of those columns, captioned in captionCol.
void AddListTotals(forms::Grid& grid, const std::vector<int>& sumCols, int captionCol);
// The same of the table's total columns, captioned in the column of that caption.
void AddListTotals(forms::Grid& grid, const ListColumns& columns, std::string_view captionColumn);
// A number as the list shows it: money with two decimals, kilometres whole.
std::string MoneyCell(double value);
std::string WholeCell(double value);

}  // namespace ws::reports
