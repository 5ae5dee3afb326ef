// `ws script`: runs a host script (lib/script_parser.h) against a shop database with every
// control of the module registered, printing events, message boxes and results as they happen
// (lib/script_host.h).
#pragma once

#include "command.h"

namespace ws::cli {

class ScriptCommand : public Command {
 public:
  std::string_view Name() const override { return "script"; }
  std::string_view Summary() const override {
    return "drive the module's controls from a script of host commands and checks";
  }
  void PrintHelp(std::ostream& out) const override;
  // Exit status 0 when every check passed, 1 when a check failed, 2 for a wrong script (which
  // is read whole first: a syntax error anywhere runs nothing).
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
