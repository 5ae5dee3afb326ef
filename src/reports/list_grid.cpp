#include "reports/list_grid.h"

#include "forms/number_format.h"

namespace ws::reports {

void SetupListGrid(forms::Grid& grid, const std::vector<ListColumn>& columns) {
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

std::string MoneyCell(double value) {
  return forms::FixedText(value, 2);
}

std::string WholeCell(double value) {
  return forms::FixedText(value, 0);
}

}  // namespace ws::reports
