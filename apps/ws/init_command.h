// `ws init`: creates a new SQLite database holding the table catalogue and the host's default
// configuration, in one transaction.
#pragma once

#include "command.h"

namespace ws::cli {

class InitCommand : public Command {
 public:
  std::string_view Name() const override { return "init"; }
  std::string_view Summary() const override {
    return "create a new database with every table and the default configuration";
  }
  void PrintHelp(std::ostream& out) const override;
  // The database is built under a temporary name beside FILE and renamed into place only
  // when complete, so a failed run never leaves a half-made database, and --force replaces
  // an existing FILE only by a finished one.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
