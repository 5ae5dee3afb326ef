// `ws backup` and `ws restore`: a copy of a whole shop database taken, or put back, while
// others keep working (lib/backup.h).
#pragma once

#include "command.h"

namespace ws::cli {

class BackupCommand : public Command {
 public:
  std::string_view Name() const override { return "backup"; }
  std::string_view Summary() const override {
    return "write a consistent copy of a shop database to a file";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

class RestoreCommand : public Command {
 public:
  std::string_view Name() const override { return "restore"; }
  std::string_view Summary() const override {
    return "replace a shop database by a copy made with 'ws backup'";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
