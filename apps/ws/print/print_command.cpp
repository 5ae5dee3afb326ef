#include "print/print_command.h"

#include <limits>
#include <ostream>

#include "db/date.h"
#include "print/print_run.h"
#include "render/pdf_render.h"
#include "shop/args.h"
#include "shop/store/database_file.h"

namespace ws::cli {

void PrintCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws print --db FILE|URL PROGID ID|--number NO --pdf OUT [--work DIR]\n"
         "                [--user NAME] [--date yyyy-mm-dd]\n"
         "\n"
         "Opens the document ID (its 单据ID), or the one numbered NO as its window shows it\n"
         "(工单号码, 单据编号), in the document window of program PROGID (a\n"
         "program number such as 200001, or a class name such as WS_S), prints it as the\n"
         "window's print button does, and writes the page as PDF: the shop's name and address\n"
         "(options shopname, shopaddress, shopphone of module 12), the document's values and\n"
         "lines, the amount in figures and words, the signatures.\n"
         "\n"
         "The page is the shop's own (see 'ws shop --print-template') when it has one,\n"
         "otherwise the built-in one.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL      the shop database; it is only read\n"
         "  --number NO        the document's number instead of its ID\n"
         "  --pdf OUT          the PDF file to write\n"
         "  --work DIR         the work folder: the print file is left in DIR/selfPrint\n"
         "                     (default: a temporary one)\n"
         "  --user NAME        who prints (default 管理员)\n"
         "  --date yyyy-mm-dd  the print date (default: today)\n"
         "  -h, --help         show this help\n"
         "\n"
         "Exit status: 0 written, 1 the print or the file failed, 2 bad usage, an unknown\n"
         "program or document, or a broken template.\n";
}

int PrintCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db", "--pdf", "--work", "--user", "--date", "--number"}, {}, 2,
                        out, err, arguments, file)) {
    return *exit;
  }
  PrintRequest request;
  request.documentNumber = arguments.Value("--number").value_or("");
  const size_t positional = request.documentNumber.empty() ? 2 : 1;
  if (arguments.Positional().size() != positional) {
    return Usage(err, "name the program and the document id, or the program and --number");
  }
  request.program = arguments.Positional()[0];
  if (positional == 2) {
    auto id =
        shop::ParseWholeNumber(arguments.Positional()[1], 1, std::numeric_limits<long long>::max());
    if (!id) return Usage(err, "'" + arguments.Positional()[1] + "' is not a document id");
    request.documentId = *id;
  }
  auto pdf = arguments.Value("--pdf");
  if (!pdf || pdf->empty()) return Usage(err, "name the PDF file to write (--pdf OUT)");
  request.pdfPath = *pdf;
  request.workFolder = arguments.Value("--work").value_or("");
  if (auto user = arguments.Value("--user")) request.user = *user;
  request.date = db::Today();
  if (auto date = arguments.Value("--date")) {
    auto parsed = db::Date::Parse(*date);
    if (!parsed) return Usage(err, "'" + *date + "' is not a date (yyyy-mm-dd)");
    request.date = *parsed;
  }

  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit);
  if (!database) return exit;
  print::OffscreenGui gui;
  PrintOutcome outcome = PrintDocumentPdf(*database, request);
  if (!outcome.error.empty()) {
    if (outcome.usage) return Usage(err, outcome.error);
    err << "ws print: " << outcome.error << "\n";
    return kExitFailure;
  }
  out << "wrote " << request.pdfPath << " (template: " << outcome.templateUsed << ")\n";
  return kExitOk;
}

}  // namespace ws::cli
