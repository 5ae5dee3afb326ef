#include "framework/list_columns.h"

#include <stdexcept>

#include "forms/number_format.h"
#include "forms/text.h"

namespace ws::framework {

int ColumnOf(std::span<const ListColumn> columns, std::string_view caption) {
  const std::string wanted = forms::FoldCase(std::string(caption));
  for (size_t c = 0; c < columns.size(); ++c) {
    if (forms::FoldCase(columns[c].caption) == wanted) return static_cast<int>(c);
  }
  throw std::logic_error("no list column " + std::string(caption));
}

std::vector<int> TotalColumns(std::span<const ListColumn> columns) {
  std::vector<int> totals;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].total) totals.push_back(static_cast<int>(c));
  }
  return totals;
}

std::vector<int> ColumnsOfKind(std::span<const ListColumn> columns, ListColumnKind kind) {
  std::vector<int> found;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].kind == kind) found.push_back(static_cast<int>(c));
  }
  return found;
}

std::vector<int> LayoutNumbers(std::span<const ListColumn> columns) {
  std::vector<int> numbers;
  int released = 0;
  for (const ListColumn& column : columns) {
    numbers.push_back(column.layoutNumber >= 0 ? column.layoutNumber : released++);
  }
  return numbers;
}

std::string HeaderFormat(std::span<const ListColumn> columns) {
  std::string format;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) format += '|';
    const std::string caption = columns[c].caption;
    format += caption;
    // A grid measures a header by its display columns, at least one.
    const int shown =
        caption.empty() ? 0 : forms::Grid::WidthOfText(caption) / forms::Grid::WidthOfColumns(1);
    if (columns[c].characters > shown) {
      format.append(static_cast<size_t>(columns[c].characters - shown), ' ');
    }
  }
  return format;
}

void HideAndNumberColumns(forms::Grid& grid, std::span<const ListColumn> columns) {
  const std::vector<int> numbers = LayoutNumbers(columns);
  for (int c = 0; c < grid.Cols() && c < static_cast<int>(columns.size()); ++c) {
    grid.Col(c).layoutNumber = numbers[static_cast<size_t>(c)];
    if (columns[static_cast<size_t>(c)].hidden) grid.SetColHidden(c, true);
  }
}

void DescribeColumns(forms::Grid& grid, std::span<const ListColumn> columns) {
  HideAndNumberColumns(grid, columns);
  for (int c = 0; c < grid.Cols() && c < static_cast<int>(columns.size()); ++c) {
    // A query's money reads as the lists' does (ApplyAmountDecimals gives it the shop's).
    if (columns[static_cast<size_t>(c)].kind == ListColumnKind::Money &&
        grid.Col(c).format.empty()) {
      grid.Col(c).format = forms::DecimalsFormat(2, true);
    }
  }
}

}  // namespace ws::framework
