// The report grids' columns, described once as a table (caption, width, kind, hidden, total),
// the way a document describes its header fields: the read-only grids of the lists computed in
// the module (vehicle history, services due, receivables by age ...) and the two query reports,
// whose select list is generated from the table. Code finds a column by its caption, never by a
// position, and a column keeps the number its saved layout was written under (see SavedAs).
// The lists' grids: a header row of captions with widths in characters, typed columns so that an
// export keeps numbers as numbers, and a totals row the grid marks as a subtotal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/sql.h"
#include "forms/grid.h"

namespace ws::reports {

enum class ListColumnKind { Text, Date, Number, Money };

struct ListColumn {
  const char* caption;
  int characters;  // shown width; a query report's columns take the layout's widths
  ListColumnKind kind = ListColumnKind::Text;
  bool hidden = false;  // keys, a document's program and id: the grid hides them
  bool total = false;   // a totals row sums it
  // A query report's select expression for the caption ("pdmwldw.公司名称"); null when the
  // caption is the column's own name.
  const char* expression = nullptr;
  // The column's number in the saved layout ("VsCol<n>"); -1 for its place among the columns
  // that give none. A column added to a released list goes where it belongs with the next
  // number unused (SavedAs), so every user's saved widths and hidden flags stay on the columns
  // they were saved for.
  int layoutNumber = -1;

  constexpr ListColumn Hidden() const {
    ListColumn c = *this;
    c.hidden = true;
    return c;
  }
  constexpr ListColumn Total() const {
    ListColumn c = *this;
    c.total = true;
    return c;
  }
  constexpr ListColumn From(const char* select) const {
    ListColumn c = *this;
    c.expression = select;
    return c;
  }
  constexpr ListColumn SavedAs(int number) const {
    ListColumn c = *this;
    c.layoutNumber = number;
    return c;
  }
};
using ListColumns = std::vector<ListColumn>;

// The position of the column of that caption (ASCII letters in any case). A caption the table
// lacks is a programming error: std::logic_error.
int ColumnOf(const ListColumns& columns, std::string_view caption);
// The positions of the columns a totals row sums.
std::vector<int> TotalColumns(const ListColumns& columns);
// "SELECT expression AS caption, ..." of a query report (the caption alone where it is the
// column's own name, the table's prefix aside).
db::Sql SelectList(const ListColumns& columns);
// Each column's number in the saved layout (see ListColumn::layoutNumber).
std::vector<int> LayoutNumbers(const ListColumns& columns);
// Hides the hidden columns of a grid whose columns the table describes, and gives each its
// layout number; the captions and widths stay as they are.
void DescribeColumns(forms::Grid& grid, const ListColumns& columns);

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
