// `ws user`: the shop's accounts from the command line: add one, set its password, its role or
// whether it may log in, and list them. Once a shop has accounts these are the owner's steps:
// the command acts as the account named by --as, which needs the 管理 right.
#pragma once

#include "command.h"

namespace ws::cli {

class UserCommand : public Command {
 public:
  std::string_view Name() const override { return "user"; }
  std::string_view Summary() const override {
    return "add, list and change the shop's accounts (add|passwd|role|active|rights|list)";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
