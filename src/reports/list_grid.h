// The read-only grids of the lists computed in the module (vehicle history, services due,
// receivables by age): a header row of captions with widths in characters, typed columns so
// that an export keeps numbers as numbers, and a totals row the grid marks as a subtotal.
#pragma once

#include <string>
#include <vector>

#include "forms/grid.h"

namespace ws::reports {

enum class ListColumnKind { Text, Date, Number, Money };

struct ListColumn {
  const char* caption;
  int characters;  // shown width
  ListColumnKind kind = ListColumnKind::Text;
};

// Host data-type codes the layout and the exports read as numeric and as a date.
inline constexpr int kNumberDataType = 5;
inline constexpr int kDateDataType = 7;

// Empties the grid and gives it the columns, one fixed header row and no fixed column.
void SetupListGrid(forms::Grid& grid, const std::vector<ListColumn>& columns);
// Appends a data row; cells past the given ones stay empty. Answers the row.
int AddListRow(forms::Grid& grid, const std::vector<std::string>& cells);
// Appends the grand total of those columns, captioned in captionCol.
void AddListTotals(forms::Grid& grid, const std::vector<int>& sumCols, int captionCol);
// A number as the list shows it: money with two decimals, kilometres whole.
std::string MoneyCell(double value);
std::string WholeCell(double value);

}  // namespace ws::reports
