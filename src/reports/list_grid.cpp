#include "reports/list_grid.h"

#include "forms/number_format.h"
#include "forms/text.h"

namespace ws::reports {

db::Sql SelectList(const ListColumns& columns) {
  std::string list = " SELECT ";
  for (size_t c = 0; c < columns.size(); ++c) {
    const ListColumn& column = columns[c];
    if (c > 0) list += ", ";
    if (!column.expression) {
      list += column.caption;
      continue;
    }
    list += column.expression;
    const std::string_view expression(column.expression);
    const size_t dot = expression.rfind('.');
    const std::string_view name =
        dot == std::string_view::npos ? expression : expression.substr(dot + 1);
    if (name != column.caption) list += std::string(" AS ") + column.caption;
  }
  return db::Sql(list);
}

void SetupListGrid(forms::Grid& grid, const ListColumns& columns) {
  grid.SetRows(0);
  grid.SetCols(static_cast<int>(columns.size()));
  grid.SetRows(1);
  grid.SetFixedRows(1);
  grid.SetFixedCols(0);
  grid.SetEditable(false);
  for (int c = 0; c < grid.Cols(); ++c) {
    const ListColumn& column = columns[static_cast<size_t>(c)];
    grid.SetTextMatrix(0, c, column.caption);
    forms::Column& col = grid.Col(c);
    col = forms::Column{};
    col.width = forms::Grid::WidthOfColumns(column.characters);
    col.editable = false;
    switch (column.kind) {
      case ListColumnKind::Text:
        break;
      case ListColumnKind::Date:
        col.dataType = kDateDataType;
        break;
      case ListColumnKind::Number:
        col.dataType = kNumberDataType;
        col.format = forms::DecimalsFormat(0, false);
        break;
      case ListColumnKind::Money:
        col.dataType = kNumberDataType;
        col.format = forms::DecimalsFormat(2, true);
        break;
    }
  }
  DescribeColumns(grid, columns);
}

void ApplyAmountDecimals(forms::Grid& grid, int decimals) {
  const std::string built = forms::DecimalsFormat(2, true);
  const std::string shop = forms::DecimalsFormat(decimals, true);
  for (int c = 0; c < grid.Cols(); ++c) {
    if (grid.Col(c).format == built) grid.Col(c).format = shop;
  }
}

int AddListRow(forms::Grid& grid, const std::vector<std::string>& cells) {
  const int row = grid.AddRow();
  for (size_t c = 0; c < cells.size() && static_cast<int>(c) < grid.Cols(); ++c) {
    grid.SetTextMatrix(row, static_cast<int>(c), cells[c]);
  }
  return row;
}

void AddListTotals(forms::Grid& grid, const std::vector<int>& sumCols, int captionCol) {
  if (grid.DataRows() == 0) return;
  grid.AddSubtotals(-1, sumCols, "合计", captionCol);
}

void AddListTotals(forms::Grid& grid, const ListColumns& columns, std::string_view captionColumn) {
  AddListTotals(grid, TotalColumns(columns), ColumnOf(columns, captionColumn));
}

std::string MoneyCell(double value) {
  return forms::FixedText(value, 2);
}

std::string WholeCell(double value) {
  return forms::FixedText(value, 0);
}

}  // namespace ws::reports
