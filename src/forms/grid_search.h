// Incremental search of a grid bound to a search box: each data row's text is the "%"-joined
// text of the enabled search columns; a row matches when it contains the typed text, without
// regard to case. Find mode makes the first match current; filter mode hides the rest.
#pragma once

#include <string>
#include <vector>

#include "forms/grid.h"
#include "forms/text.h"

namespace ws::forms {

// Runs the search; answers the first matching row, or -1. An empty text shows every row.
// columns are grid column numbers.
int IncrementalSearch(Grid& grid, const std::vector<int>& columns, const std::string& typed,
                      bool filterMode);

// The search columns a search box enables (its flags index grid columns); when none is
// enabled, the fallback columns.
std::vector<int> EnabledSearchColumns(const SearchBox& box, const std::vector<int>& fallback);

// Moves the current row to the next (+1) or previous (-1) visible data row; never into the
// header. Answers the new current row.
int MoveToVisibleRow(Grid& grid, int direction);

}  // namespace ws::forms
