// `ws print`: a document's print page as PDF, from the terminal.
#pragma once

#include "command.h"

namespace ws::cli {

class PrintCommand : public Command {
 public:
  std::string_view Name() const override { return "print"; }
  std::string_view Summary() const override { return "a document's print page as PDF"; }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
