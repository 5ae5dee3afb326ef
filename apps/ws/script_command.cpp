#include "script_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "db/catalogue.h"
#include "host/registry.h"
#include "shop/args.h"
#include "shop/module_controls.h"
#include "shop/script/script_host.h"
#include "shop/script/script_parser.h"
#include "shop/store/database_file.h"
#include "shop/store/shop_input.h"

namespace ws::cli {

void ScriptCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws script --db FILE|URL [SCRIPT|-]\n"
         "\n"
         "Runs the host script SCRIPT (standard input when it is '-' or missing) against the\n"
         "shop database FILE: one command per line, '#' starts a comment line, arguments are\n"
         "split on blanks, \"double quotes\" hold an argument with blanks (\"\" inside is a "
         "quote).\n"
         "\n"
         "Commands:\n";
  for (const auto& usage : shop::ScriptCommandUsage()) out << "  " << usage << "\n";
  out << "\n"
         "FIELD is #INDEX of the form's field array, a widget NAME or NAME[INDEX], or a field's\n"
         "caption. ROW counts from 1, the first data row; the row after the last adds a row.\n"
         "COL is a column number (0 is the grid's first column) or a header caption. 'pick'\n"
         "chooses the ROWth listed row of the next picker shown (0 cancels; with a FIELD or a\n"
         "grid cell it also opens that picker). 'tick' toggles the √ of a row in the column\n"
         "选择 (or COL). 'dialog NAME' ... 'end' runs its commands against the next modal\n"
         "dialog of that name. 'login' and 'workdir' apply to the controls opened after them.\n"
         "Checks (expect ...) look at what was raised or shown since the previous command.\n"
         "\n"
         "Output, one line each as it happens: 'event NAME ARGS', 'msgbox TITLE TEXT -> ANSWER',\n"
         "'picker ...', 'dialog ...', 'openform ...', '=> RESULT', 'FAIL line N: ...'.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL  the shop database (made by 'ws init' or 'ws demo'): a file or a\n"
         "                postgresql:// URL; it is changed\n"
         "  -h, --help     show this help\n"
         "\n"
         "Exit status: 0 every check passed, 1 a check failed, 2 the script is wrong (an error\n"
         "names its line; a syntax error anywhere runs nothing).\n";
}

int ScriptCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db"}, {}, 1, out, err, arguments, file)) return *exit;
  const std::string source = arguments.Positional().empty() ? "-" : arguments.Positional()[0];

  std::string text;
  if (std::string problem = shop::ReadInputText(source, text); !problem.empty()) {
    err << "ws script: " << problem << "\n";
    return kExitUsage;
  }
  const shop::Script script = shop::ParseScript(text);
  if (!script.errors.empty()) {
    for (const auto& error : script.errors) {
      err << "ws script: " << (source == "-" ? "<stdin>" : source) << " line " << error.line << ": "
          << error.message << "\n";
    }
    return kExitUsage;
  }

  int exit = kExitOk;
  auto database =
      OpenShop(file, err, &exit, " (create a shop database with 'ws init' or 'ws demo')");
  if (!database) return exit;

  host::Registry registry;
  shop::RegisterModuleControls(registry);
  shop::ScriptHost host(*database, registry, out, err);
  return host.Run(script);
}

}  // namespace ws::cli
