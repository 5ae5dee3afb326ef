#include "forms/grid_search.h"

#include <cctype>
#include "forms/text.h"

namespace ws::forms {

int IncrementalSearch(Grid& grid, const std::vector<int>& columns, const std::string& typed,
                      bool filterMode) {
  if (grid.Cols() == 0) return -1;
  bool redraw = grid.Redraw();
  grid.SetRedraw(false);
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) grid.SetRowHidden(r, false);
  int first = -1;
  if (!typed.empty()) {
    const std::string needle = FoldCase(typed);
    // One buffer for every row: a keystroke in a picker of a few hundred thousand rows must
    // not allocate per row.
    std::string rowText;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      rowText.clear();
      for (int c : columns) {
        rowText += '%';
        rowText += grid.TextMatrix(r, c);
      }
      for (char& ch : rowText) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
      }
      bool match = rowText.find(needle) != std::string::npos;
      if (match && first < 0) {
        first = r;
        if (!filterMode) {
          grid.SetRow(r);
          break;
        }
      }
      if (filterMode && !match) grid.SetRowHidden(r, true);
    }
    if (filterMode && first >= 0) grid.SetRow(first);
  }
  grid.SetRedraw(redraw);
  return first;
}

std::vector<int> EnabledSearchColumns(const SearchBox& box, const std::vector<int>& fallback) {
  std::vector<int> columns;
  for (size_t i = 0; i < box.searchColumns.size(); ++i) {
    if (box.searchColumns[i]) columns.push_back(static_cast<int>(i));
  }
  return columns.empty() ? fallback : columns;
}

int MoveToVisibleRow(Grid& grid, int direction) {
  int row = grid.Row();
  for (int r = row + direction; r >= grid.FixedRows() && r < grid.Rows(); r += direction) {
    if (!grid.RowHidden(r)) {
      grid.SetRow(r);
      return r;
    }
  }
  return row;
}

}  // namespace ws::forms
