// The desktop's print of a program: its print file laid out by the program's template (the
// shop's one in the work folder, else the built-in one) for the preview, the printer and PDF.
#pragma once

#include <QString>
#include <string>

#include "platform/menu_model.h"
#include "platform/print_data.h"
#include "platform/system_object.h"

class QWidget;

namespace ws::desk {

struct PrintPage {
  std::string html;
  std::string title;
  bool landscape = false;  // a report's wide grid
  std::string error;       // a template the shop broke; the page is empty then
};

PrintPage ProgramPrintPage(platform::SystemObject& system, const platform::MenuEntry& entry,
                           const platform::PrintFile& file);

// Shows the preview (with its own print button).
void ShowPagePreview(const PrintPage& page, QWidget* parent);
// Asks for a printer and prints; false when the user cancelled.
bool PrintPageWithDialog(const PrintPage& page, QWidget* parent);
// Writes the page as PDF; answers the error text, empty on success.
QString ExportPagePdf(const PrintPage& page, const QString& pdfPath);

}  // namespace ws::desk
