// `ws shop`: shows the shop's particulars printed at the head of every page (name, address,
// telephone, tax number), or sets those given.
#pragma once

#include "command.h"

namespace ws::cli {

class ShopCommand : public Command {
 public:
  std::string_view Name() const override { return "shop"; }
  std::string_view Summary() const override {
    return "show or set the shop's name, address, phone and tax number";
  }
  void PrintHelp(std::ostream& out) const override;
  // The particulars given are written together, in one transaction, and the rest kept; then
  // all four are shown as stored.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

}  // namespace ws::cli
