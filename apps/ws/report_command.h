// `ws report`: runs the repair-order report (WS_RPT) or the settlement report (JS_RPT) on a
// shop database with the filters of its window and writes the grid as CSV.
#pragma once

#include "command.h"

namespace ws::cli {

class ReportCommand : public Command {
 public:
  std::string_view Name() const override { return "report"; }
  std::string_view Summary() const override {
    return "run a report as CSV or .xlsx: WS_RPT, JS_RPT, history, due, aging, vin,\n"
           "            issued, checklist, audit, efficiency, commission";
  }
  void PrintHelp(std::ostream& out) const override;
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
