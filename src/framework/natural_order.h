// The order a picker lists codes in: the grid's natural order (forms::NaturalLess), runs of
// digits as numbers, so "V2" comes before "V10" and "9" before "10".
#pragma once

#include "forms/grid.h"

namespace ws::framework {

using forms::NaturalLess;

// Reorders the data rows of the grid by a column in natural order; rows of equal text keep
// their order. Texts, keys and row marks move with their rows.
void SortRowsNaturally(forms::Grid& grid, int col);

}  // namespace ws::framework
