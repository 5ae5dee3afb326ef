// `ws demo`: a new shop database, created as `ws init` creates one, filled with the demo data
// of lib/demo_data.h for a seed, a number of orders and a reference date.
#pragma once

#include "command.h"

namespace ws::cli {

class DemoCommand : public Command {
 public:
  std::string_view Name() const override { return "demo"; }
  std::string_view Summary() const override {
    return "create a database filled with a demo repair shop (deterministic for a seed)";
  }
  void PrintHelp(std::ostream& out) const override;
  // Everything is written in one transaction into a temporary file beside FILE, which replaces
  // FILE (with --force) only when complete. A progress bar goes to standard error when it is a
  // terminal.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
