// PDF and CSV of a list's or report's grid from the desktop: the grid as the user sees it
// (visible columns and rows, cells as shown) laid out by the print renderer under a title and
// an optional condition line.
#pragma once

#include <QString>

#include "forms/grid.h"
#include "platform/print_data.h"

namespace ws::desk {

// The print file the renderer lays out: the condition as the value "条件" (left out when
// empty) and the grid as the table "Vs".
platform::PrintFile GridPrintFile(const forms::Grid& grid, const QString& condition);

// Writes the grid to a PDF file; answers the error text, empty on success.
QString ExportGridPdf(const forms::Grid& grid, const QString& title, const QString& condition,
                      const QString& pdfPath);
// Writes the grid as CSV; answers the error text, empty on success.
QString ExportGridCsv(const forms::Grid& grid, const QString& csvPath);

}  // namespace ws::desk
