// `ws import`: loads master data from a CSV file into an existing shop database, all or
// nothing (see lib/master_import.h).
#pragma once

#include "command.h"

namespace ws::cli {

class ImportCommand : public Command {
 public:
  std::string_view Name() const override { return "import"; }
  std::string_view Summary() const override {
    return "load customers, vehicles, parts, items ... from a CSV file (all or nothing)";
  }
  void PrintHelp(std::ostream& out) const override;
  // Every problem of the file goes to err with its line and column; then nothing is written.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
