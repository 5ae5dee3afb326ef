// A grid's columns described once as a table (caption, width, kind, hidden, total), the way a
// document describes its header fields: the report lists, the query reports and the
// repair-order choosers. Code finds a column by its caption, never by a position, and a column
// keeps the number its saved layout was written under (see SavedAs), so that grid::ColumnKey
// is the one place that turns a column into the key of its saved width and hidden flag.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forms/grid.h"

namespace ws::framework {

enum class ListColumnKind { Text, Date, Number, Money };

struct ListColumn {
  const char* caption;
  int characters;  // shown width; a query report's columns take the layout's widths
  ListColumnKind kind = ListColumnKind::Text;
  bool hidden = false;  // keys, a document's program and id: the grid hides them
  bool total = false;   // a totals row sums it
  // Where the column's value comes from when that is not the caption: a query report's select
  // expression ("pdmwldw.公司名称"), a chooser's record column ("车牌号"); null when the caption
  // is the column's own name.
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
  // The record column a row fills it from.
  constexpr const char* Source() const { return expression ? expression : caption; }
};
using ListColumns = std::vector<ListColumn>;

// The position of the column of that caption (ASCII letters in any case). A caption the table
// lacks is a programming error: std::logic_error.
int ColumnOf(std::span<const ListColumn> columns, std::string_view caption);
// The same for a table known when compiling: a caption it lacks does not compile.
template <std::size_t N>
consteval int ColumnAt(const ListColumn (&columns)[N], std::string_view caption) {
  for (std::size_t c = 0; c < N; ++c) {
    if (std::string_view(columns[c].caption) == caption) return static_cast<int>(c);
  }
  throw "no column of that caption";
}
// The positions of the columns a totals row sums, and of those of a kind.
std::vector<int> TotalColumns(std::span<const ListColumn> columns);
std::vector<int> ColumnsOfKind(std::span<const ListColumn> columns, ListColumnKind kind);
// Each column's number in the saved layout (see ListColumn::layoutNumber).
std::vector<int> LayoutNumbers(std::span<const ListColumn> columns);
// A grid header format string ("caption   |caption ...") that gives each column its caption
// and its width.
std::string HeaderFormat(std::span<const ListColumn> columns);
// Hides the hidden columns of a grid whose columns the table describes, and gives each its
// layout number; the captions, widths and formats stay as they are.
void HideAndNumberColumns(forms::Grid& grid, std::span<const ListColumn> columns);
// The same, and a money column without a format reads with two decimals.
void DescribeColumns(forms::Grid& grid, std::span<const ListColumn> columns);

}  // namespace ws::framework
