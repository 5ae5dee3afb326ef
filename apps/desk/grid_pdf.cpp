#include "desk/grid_pdf.h"

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

QString ExportGridCsv(const forms::Grid& grid, const QString& csvPath) {
  return QString::fromStdString(
      platform::WriteOutputFile(csvPath.toStdString(), forms::GridCsv(grid)));
}

}  // namespace ws::desk
