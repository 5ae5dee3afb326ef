// The order a clerk expects of codes: runs of digits compare as numbers ("V2" before "V10",
// "9" before "10"), everything else byte by byte, so Chinese text keeps its stored order.
// Equal numbers written with more leading zeros ("007" and "7") come after the shorter one, so
// the order is total and a sort is repeatable.
#pragma once

#include <string_view>

#include "forms/grid.h"

namespace ws::framework {

bool NaturalLess(std::string_view a, std::string_view b);

// Reorders the data rows of the grid by a column in natural order; rows of equal text keep
// their order. Texts and keys move with their rows.
void SortRowsNaturally(forms::Grid& grid, int col);

}  // namespace ws::framework
