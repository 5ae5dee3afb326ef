// `ws commission`: the technicians' commission rules, one per repair category (see
// reports/technician_pay.h): list them, set one, or clear one.
#pragma once

#include "command.h"

namespace ws::cli {

class CommissionCommand : public Command {
 public:
  std::string_view Name() const override { return "commission"; }
  std::string_view Summary() const override {
    return "list or set the technicians' commission rules per repair category";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
