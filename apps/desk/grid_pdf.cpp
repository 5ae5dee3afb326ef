#include "desk/grid_pdf.h"

#include "desk/grid_view.h"
#include "desk/print_render.h"
#include "forms/grid_pack.h"
#include "platform/output_file.h"

namespace ws::desk {

platform::PrintFile GridPrintFile(const forms::Grid& grid, const QString& condition) {
  platform::PrintFile file;
  if (!condition.isEmpty()) file.values.emplace_back("条件", condition.toStdString());
  forms::ShownCells shown = forms::ShownGridCells(grid);
  file.tables.push_back(
      platform::PrintTable{grid.Name(), std::move(shown.columns), std::move(shown.rows)});
  return file;
}

QString ExportGridPdf(const forms::Grid& grid, const QString& title, const QString& condition,
                      const QString& pdfPath) {
  return ExportPdf(GridPrintFile(grid, condition), title, pdfPath);
}

shop::SheetLayout SheetLayoutOf(const forms::Grid& grid, const GridView* view) {
  shop::SheetLayout layout;
  if (!view) return layout;
  // A sheet's width unit is about one digit of its default type, some 7 pixels.
  constexpr double kPixelsPerCharacter = 7.0;
  for (int c = 0; c < grid.Cols(); ++c) {
    layout.widths.push_back(view->columnWidth(c) / kPixelsPerCharacter);
  }
  // A list that totals itself carries the row in the grid already.
  if (view->TotalsShown() && grid.GrandTotalRow() < 0) {
    for (int c = 0; c < grid.Cols(); ++c) layout.totals.push_back(view->TotalText(c).toStdString());
  }
  return layout;
}

void AddTotalsRow(platform::PrintFile& file, const forms::Grid& grid, const GridView* view) {
  const shop::SheetLayout layout = SheetLayoutOf(grid, view);
  if (layout.totals.empty()) return;
  platform::PrintTable* table = nullptr;
  for (auto& candidate : file.tables) {
    if (candidate.name == grid.Name()) table = &candidate;
  }
  if (!table && file.tables.size() == 1) table = &file.tables.front();
  if (!table || table->rows.empty()) return;
  std::vector<std::string> row;
  bool any = false;
  for (const auto& caption : table->columns) {
    const int col = grid.FindCol(caption);
    std::string total;
    if (col >= 0 && static_cast<size_t>(col) < layout.totals.size()) {
      total = layout.totals[static_cast<size_t>(col)];
    }
    any = any || (!total.empty() && total != "合计");
    row.push_back(total);
  }
  if (!any) return;
  // The title goes in the first column, whichever column the view drew it in.
  if (row.front().empty()) row.front() = "合计";
  table->rows.push_back(std::move(row));
}

QString ExportGridCsv(const forms::Grid& grid, const QString& csvPath, const GridView* view) {
  std::string csv = forms::GridCsv(grid);
  const shop::SheetLayout layout = SheetLayoutOf(grid, view);
  if (!layout.totals.empty() && grid.Rows() > 0) {
    bool first = true;
    for (int c = 0; c < grid.Cols(); ++c) {
      if (grid.ColHidden(c)) continue;
      csv += (first ? "" : ",") + forms::CsvCell(layout.totals[static_cast<size_t>(c)]);
      first = false;
    }
    csv += "\r\n";
  }
  return QString::fromStdString(platform::WriteOutputFile(csvPath.toStdString(), csv));
}

}  // namespace ws::desk
