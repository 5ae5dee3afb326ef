// Prints one document as a user does from its window, without a window: the document control
// of the program is opened on the requested document, its print writes the print file, and the
// page the program's template makes of that file is written as PDF.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"
#include "db/date.h"

namespace ws::cli {

struct PrintRequest {
  std::string program;     // a program number (200001) or a class name (WS_S)
  int64_t documentId = 0;  // 单据ID
  // The number the document's window shows (工单号码, 单据编号), instead of documentId.
  std::string documentNumber;
  std::string pdfPath;
  // Where the print file is written and the shop's template is looked for
  // (selfPrint/<program number>.html); empty: a temporary folder, removed afterwards.
  std::string workFolder;
  std::string user = "管理员";
  db::Date date;  // the login date (the page's print date)
};

struct PrintOutcome {
  std::string error;         // empty on success
  bool usage = false;        // the error lies in the request (unknown program, no such document)
  std::string templateUsed;  // the template's file, or "built-in"
};

// Needs a QGuiApplication (print/pdf_render.h OffscreenGui). The database is only read.
PrintOutcome PrintDocumentPdf(db::IDatabase& database, const PrintRequest& request);

}  // namespace ws::cli
