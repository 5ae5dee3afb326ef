// `ws`: the command-line host of the repair-shop module. Each subcommand is one class (see
// command.h); this file only keeps their table and dispatches.
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "backup_command.h"
#include "command.h"
#include "commission_command.h"
#include "demo_command.h"
#include "import_command.h"
#include "init_command.h"
#include "report_command.h"
#include "script_command.h"
#include "shop_command.h"
#include "user_command.h"
#ifdef WS_WITH_PRINT
#include "print/print_command.h"
#endif
#ifdef WS_WITH_SERVE
#include "serve_command.h"
#endif

namespace {

using ws::cli::Command;

std::vector<std::unique_ptr<Command>> AllCommands() {
  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(std::make_unique<ws::cli::InitCommand>());
  commands.push_back(std::make_unique<ws::cli::DemoCommand>());
  commands.push_back(std::make_unique<ws::cli::ImportCommand>());
  commands.push_back(std::make_unique<ws::cli::ScriptCommand>());
  commands.push_back(std::make_unique<ws::cli::ReportCommand>());
  commands.push_back(std::make_unique<ws::cli::BackupCommand>());
  commands.push_back(std::make_unique<ws::cli::RestoreCommand>());
  commands.push_back(std::make_unique<ws::cli::ShopCommand>());
  commands.push_back(std::make_unique<ws::cli::UserCommand>());
  commands.push_back(std::make_unique<ws::cli::CommissionCommand>());
#ifdef WS_WITH_PRINT
  commands.push_back(std::make_unique<ws::cli::PrintCommand>());
#endif
#ifdef WS_WITH_SERVE
  commands.push_back(std::make_unique<ws::cli::ServeCommand>());
#endif
  return commands;
}

void PrintUsage(std::ostream& out, const std::vector<std::unique_ptr<Command>>& commands) {
  out << "Usage: ws COMMAND [OPTIONS]\n"
         "\n"
         "The command-line host of the repair-shop module.\n"
         "\n"
         "Commands:\n";
  for (const auto& command : commands) {
    std::string name(command->Name());
    out << "  " << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ')
        << command->Summary() << "\n";
  }
  out << "\n"
         "Run 'ws COMMAND --help' for the options of a command.\n";
}

Command* Find(const std::vector<std::unique_ptr<Command>>& commands, const std::string& name) {
  for (const auto& command : commands) {
    if (command->Name() == name) return command.get();
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const auto commands = AllCommands();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr, commands);
    return ws::cli::kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--version" || first == "-V") {
    std::cout << "ws " << WS_VERSION << " (汽车维修管理)\n";
    return ws::cli::kExitOk;
  }
  if (first == "-h" || first == "--help" || first == "help") {
    if (args.size() > 1) {
      if (Command* command = Find(commands, args[1])) {
        command->PrintHelp(std::cout);
        return ws::cli::kExitOk;
      }
      std::cerr << "ws: unknown command '" << args[1] << "'\n";
      return ws::cli::kExitUsage;
    }
    PrintUsage(std::cout, commands);
    return ws::cli::kExitOk;
  }
  Command* command = Find(commands, first);
  if (!command) {
    std::cerr << "ws: unknown command '" << first << "'\nTry 'ws --help'.\n";
    return ws::cli::kExitUsage;
  }
  try {
    return command->Run({args.begin() + 1, args.end()}, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "ws " << first << ": " << e.what() << "\n";
    return ws::cli::kExitFailure;
  }
}
