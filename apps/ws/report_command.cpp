#include "report_command.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "db/date.h"
#include "platform/output_file.h"
#include "shop/args.h"
#include "shop/exchange/report_run.h"
#include "shop/store/database_file.h"

namespace ws::cli {

void ReportCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws report --db FILE|URL WS_RPT|JS_RPT [FILTERS] [--layout FILE] [--csv OUT]\n"
         "                 [--xlsx OUT]\n"
         "       ws report --db FILE|URL history --vehicle PLATE [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL due --from DATE --to DATE [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL aging --to DATE [--customer TEXT] [--csv OUT] [--xlsx "
         "OUT]\n"
         "       ws report --db FILE|URL vin [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL issued (--from DATE --to DATE | --number NUMBER)\n"
         "                 [--checked] [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL checklist [--period YYYYMM] [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL audit [--from DATE] [--to DATE] [--user NAME] [--type "
         "KIND]\n"
         "                 [--csv OUT] [--xlsx OUT]\n"
         "       ws report --db FILE|URL efficiency|commission --from DATE --to DATE [--csv OUT]\n"
         "                 [--xlsx OUT]\n"
         "\n"
         "Runs a query report on the shop database FILE as its window does and writes the grid\n"
         "as CSV (UTF-8, a header line of the shown columns, then one line per row).\n"
         "WS_RPT lists repair orders, JS_RPT settlements and receipts.\n"
         "history lists every visit of a vehicle, newest first; due the vehicles due for a\n"
         "service between --from and --to; aging the receivables by age on the day --to, per\n"
         "customer; vin every vehicle whose stored chassis number (VIN) fails its check, with\n"
         "the reason; issued the parts issued by checked requisitions against the parts billed,\n"
         "for every order that arrived between --from and --to and has a difference (or every\n"
         "part of the order --number); checklist what stands in the way of closing the period\n"
         "--period (the shop's current period when not given); audit every save, check,\n"
         "uncheck and delete of documents and cards between --from and --to, by one account\n"
         "(--user) or of one kind of document (--type, as the menu names it, e.g. 维修工单, or\n"
         "its class, e.g. WS_S), with the values each save changed.\n"
         "efficiency lists each technician's standard hours billed (lines finished or passed\n"
         "between --from and --to, shared by planned hours) against the hours he clocked;\n"
         "commission what each earned on the labour of the orders checked between --from and\n"
         "--to, by the rules of 'ws commission'. Commission is pay: on a server only a login\n"
         "with the 管理 right may read it.\n"
         "\n"
         "Filters (as typed into the report's fields; lookups take a code or a name):\n"
         "  --from yyyy-mm-dd   arrival date (WS_RPT) or receipt date (JS_RPT) from\n"
         "  --to yyyy-mm-dd     ... up to\n"
         "  --customer TEXT     the customer\n"
         "  --vehicle PLATE     the vehicle (WS_RPT)\n"
         "  --number NUMBER     the work-order number (WS_RPT)\n"
         "  --category NAME     the repair category (WS_RPT)\n"
         "  --collector TEXT    the employee who collected (JS_RPT)\n"
         "  --period YYYYMM     the accounting period (checklist)\n"
         "  --checked           checked documents only (WS_RPT, JS_RPT, issued)\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL  the shop database (made by 'ws init' or 'ws demo'); its rows are\n"
         "                 only read\n"
         "  --layout FILE  a saved window layout to apply: sorts, formats, subtotals (小计) and\n"
         "                 the grand total (合计)\n"
         "  --csv OUT      the CSV file to write; '-' or missing writes to standard output\n"
         "  --xlsx OUT     also write the grid as a spreadsheet: numbers and dates typed, the\n"
         "                 captions, widths and totals row as shown\n"
         "  -h, --help     show this help\n"
         "\n"
         "Exit status: 0 written, 1 the query or the file failed, 2 bad usage or input.\n";
}

int ReportCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit =
          Begin(args,
                {"--db", "--from", "--to", "--customer", "--vehicle", "--number", "--category",
                 "--collector", "--period", "--user", "--type", "--layout", "--csv", "--xlsx"},
                {"--checked"}, 1, out, err, arguments, file)) {
    return *exit;
  }
  if (arguments.Positional().empty()) {
    return Usage(err,
                 "name the report (WS_RPT, JS_RPT, history, due, aging, vin, issued, checklist, "
                 "audit, efficiency or commission)");
  }
  const std::string report = arguments.Positional()[0];

  shop::ReportFilters filters;
  filters.from = arguments.Value("--from");
  filters.to = arguments.Value("--to");
  filters.customer = arguments.Value("--customer");
  filters.vehicle = arguments.Value("--vehicle");
  filters.number = arguments.Value("--number");
  filters.category = arguments.Value("--category");
  filters.collector = arguments.Value("--collector");
  filters.period = arguments.Value("--period");
  filters.user = arguments.Value("--user");
  filters.type = arguments.Value("--type");
  filters.checked = arguments.Flag("--checked");
  if (auto layout = arguments.Value("--layout")) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(*layout, ec)) {
      return Usage(err, "the layout file " + *layout + " does not exist");
    }
    filters.layoutFile = *layout;
  }

  // Opened as every command opens a shop: a file or a server URL, refused untouched when it
  // is no shop of ours.
  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit);
  if (!database) return exit;

  // Every report reads its dates the same way, and says so in the same words: a date that is
  // none, and a window that ends before it starts.
  for (const char* option : {"--from", "--to"}) {
    const std::optional<std::string> text = arguments.Value(option);
    if (text && !db::Date::Parse(*text)) {
      return Usage(err, std::string(option) + " '" + *text + "' is not a date (yyyy-mm-dd)");
    }
  }
  if (filters.from && filters.to &&
      *db::Date::Parse(*filters.from) > *db::Date::Parse(*filters.to)) {
    return Usage(err, "--from " + *filters.from + " is after --to " + *filters.to +
                          ": a range cannot end before it begins");
  }
  filters.xlsxFile = arguments.Value("--xlsx").value_or("");
  const std::string target = arguments.Value("--csv").value_or("-");
  // Refused before the report runs: a long report must not end on a target that was never
  // going to be written (the shop itself, a folder, a device).
  for (const std::string& output : {filters.xlsxFile, target}) {
    if (output.empty() || output == "-") continue;
    if (std::string refusal = platform::OutputTargetRefusal(output, file); !refusal.empty()) {
      err << "ws report: " << refusal << "\n";
      return kExitFailure;
    }
  }
  // A query report's rows go out as they are read: a report of ten years writes as it reads
  // rather than hold every row first.
  std::unique_ptr<platform::OutputFile> csvFile;
  if (target != "-") {
    csvFile = std::make_unique<platform::OutputFile>(target, file);
    if (!csvFile->Ok()) {
      err << "ws report: " << csvFile->Error() << "\n";
      return kExitFailure;
    }
  }
  const shop::CsvSink write = [&](std::string_view text) {
    if (csvFile) return csvFile->Write(text);
    out << text;
    return static_cast<bool>(out);
  };
  shop::ReportRun run = shop::IsListName(report) ? RunList(*database, report, filters)
                                                 : RunReport(*database, report, filters, write);
  if (!run.error.empty()) {
    if (run.usage) return Usage(err, run.error);
    err << "ws report: " << run.error << "\n";
    return kExitFailure;
  }
  if (!run.notice.empty()) err << "ws report: " << run.notice << "\n";
  if (!run.csv.empty() && !write(run.csv)) {
    err << "ws report: the report could not be written\n";
    return kExitFailure;
  }
  if (target == "-") return kExitOk;
  if (std::string failure = csvFile->Commit(); !failure.empty()) {
    err << "ws report: " << failure << "\n";
    return kExitFailure;
  }
  out << "wrote " << run.rows << " rows to " << target << "\n";
  return kExitOk;
}

}  // namespace ws::cli
