// `ws serve`: the workshop's pages for the floor's tablets and phones (apps/serve).
#pragma once

#include "command.h"

namespace ws::cli {

class ServeCommand : public Command {
 public:
  std::string_view Name() const override { return "serve"; }
  std::string_view Summary() const override {
    return "serve the workshop floor's pages (job board, clocking, examinations) to tablets";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
