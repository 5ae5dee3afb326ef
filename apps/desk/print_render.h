// Turns a print file (platform/print_data.h: named values and tables) into a printable page:
// the title, the values as a two-column block of "name: value" pairs, then every table with its
// header row. Printing, preview (QPrintPreviewDialog) and the PDF export share one document.
#pragma once

#include <QString>
#include <memory>

#include "platform/print_data.h"

class QPrinter;
class QTextDocument;
class QWidget;

namespace ws::desk {

// The page as HTML; every text is escaped.
QString PrintHtml(const platform::PrintFile& file, const QString& title);
// A document of that page, laid out for the printer's page when one is given.
std::unique_ptr<QTextDocument> PrintDocument(const platform::PrintFile& file, const QString& title);

// Writes the page to a PDF file; answers the error text, empty on success.
QString ExportPdf(const platform::PrintFile& file, const QString& title, const QString& pdfPath);
// Shows the print preview (with its own print button).
void ShowPrintPreview(const platform::PrintFile& file, const QString& title, QWidget* parent);
// Asks for a printer and prints; false when the user cancelled.
bool PrintWithDialog(const platform::PrintFile& file, const QString& title, QWidget* parent);

}  // namespace ws::desk
