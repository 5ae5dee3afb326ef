#include "import_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "db/catalogue.h"
#include "shop/args.h"
#include "shop/exchange/master_import.h"
#include "shop/store/database_file.h"
#include "shop/store/shop_input.h"

namespace ws::cli {

namespace {

constexpr size_t kIssuesShown = 50;

}  // namespace

void ImportCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws import --db FILE|URL TABLE CSV\n"
         "       ws import --template TABLE > TABLE.csv\n"
         "\n"
         "Loads the rows of the CSV file (RFC 4180, UTF-8 with or without BOM; '-' reads\n"
         "standard input) into TABLE of the shop database FILE. The first line names the\n"
         "columns with the table's column names. Every row is checked first: unknown columns,\n"
         "missing required columns or values, whole numbers, numbers, dates (yyyy-mm-dd),\n"
         "periods (yyyymm), keys and codes already used in the file or the table, references to\n"
         "rows that do not exist. When a row is bad nothing is written; otherwise all rows are\n"
         "written in one transaction and the id counters move past the imported ids.\n"
         "\n"
         "TABLE is one of these names or its real table name:\n";
  for (const auto& table : shop::ImportTables()) {
    std::string name = table.name;
    out << "  " << name << std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') << table.table
        << std::string(table.table.size() < 14 ? 14 - table.table.size() : 1, ' ')
        << table.description << "\n";
  }
  out << "\n"
         "A file without the id column (往来ID, 车辆ID ...) gets new ids. A reference may be\n"
         "given by code or name instead of its id: 车主 (a customer's 往来编码 or 公司名称)\n"
         "for 车主ID, 部门 for 部门ID, 仓库 and 配件 for 仓库ID and 产品ID.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL  the shop database (made by 'ws init' or 'ws demo'): a file or a\n"
         "                postgresql:// URL\n"
         "  --template TABLE\n"
         "                write a CSV to fill for TABLE: its header and one line on each\n"
         "                column's meaning (lines an import skips); no --db needed\n"
         "  -h, --help     show this help\n"
         "\n"
         "Exit status: 0 imported, 1 the database could not be written, 2 bad usage or input\n"
         "(nothing is changed).\n";
}

int ImportCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  if (arguments.Parse(args, {"--db", "--template"}, {"--help"}).empty() &&
      !arguments.Flag("--help")) {
    if (auto table = arguments.Value("--template")) {
      if (!arguments.Positional().empty()) {
        return Usage(err, "--template takes the table only");
      }
      const std::string text = shop::ImportTemplate(*table);
      if (text.empty()) return Usage(err, "unknown table '" + *table + "'");
      out << text;
      return kExitOk;
    }
  }
  arguments = {};
  std::string file;
  if (auto exit = Begin(args, {"--db"}, {}, 2, out, err, arguments, file)) return *exit;
  const auto& positional = arguments.Positional();
  if (positional.size() < 2) return Usage(err, "name the table and the CSV file");
  const std::string& tableName = positional[0];
  const std::string& csvFile = positional[1];

  std::string text;
  if (std::string problem = shop::ReadInputText(csvFile, text); !problem.empty()) {
    err << "ws import: " << problem << "\n";
    return kExitUsage;
  }

  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit, " (create a shop database with 'ws init')");
  if (!database) return exit;

  const shop::ImportOutcome outcome = shop::ImportCsv(*database, tableName, text);
  if (!outcome.issues.empty()) {
    const std::string source = csvFile == "-" ? "<stdin>" : csvFile;
    for (size_t i = 0; i < outcome.issues.size() && i < kIssuesShown; ++i) {
      err << "ws import: " << source << " " << shop::DescribeIssue(outcome.issues[i]) << "\n";
    }
    if (outcome.issues.size() > kIssuesShown) {
      err << "ws import: ... and " << outcome.issues.size() - kIssuesShown << " more problems\n";
    }
    err << "ws import: nothing was imported\n";
    return kExitUsage;
  }
  if (!outcome.error.empty()) {
    err << "ws import: cannot write " << outcome.table << ": " << outcome.error
        << "\nws import: nothing was imported\n";
    return kExitFailure;
  }
  out << "Imported " << outcome.rows << (outcome.rows == 1 ? " row" : " rows") << " into "
      << outcome.table << (outcome.mirror.empty() ? "" : " and " + outcome.mirror) << ".\n";
  return kExitOk;
}

}  // namespace ws::cli
