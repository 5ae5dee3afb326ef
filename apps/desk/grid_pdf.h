// PDF and CSV of a list's or report's grid from the desktop: the grid as the user sees it
// (visible columns and rows, cells as shown) laid out by the print renderer under a title and
// an optional condition line.
#pragma once

#include <QString>

#include "forms/grid.h"
#include "platform/print_data.h"
#include "shop/exchange/xlsx_export.h"

namespace ws::desk {

class GridView;

// The print file the renderer lays out: the condition as the value "条件" (left out when
// empty) and the grid as the table "Vs".
platform::PrintFile GridPrintFile(const forms::Grid& grid, const QString& condition);

// Writes the grid to a PDF file; answers the error text, empty on success.
QString ExportGridPdf(const forms::Grid& grid, const QString& title, const QString& condition,
                      const QString& pdfPath);
// What the view draws beyond the grid's model, for a spreadsheet: the column widths the clerk
// sees and the totals row under the grid.
shop::SheetLayout SheetLayoutOf(const forms::Grid& grid, const GridView* view);
// Adds the totals row the view draws under the grid to the print file's table of that grid
// (by its name, or the only table), cell by cell under the columns of the same caption: a
// report on paper ends with its 合计 as on screen. Nothing without totals.
void AddTotalsRow(platform::PrintFile& file, const forms::Grid& grid, const GridView* view);
// Writes the grid as CSV, with the totals row the view draws; answers the error text, empty on
// success.
QString ExportGridCsv(const forms::Grid& grid, const QString& csvPath,
                      const GridView* view = nullptr);

}  // namespace ws::desk
