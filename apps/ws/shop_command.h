// `ws shop`: shows the shop's particulars printed at the head of every page (name, address,
// telephone, tax number), or sets those given; and keeps the shop's own print pages.
#pragma once

#include <cstdint>

#include "command.h"
#include "db/database.h"
#include "shop/args.h"

namespace ws::cli {

class ShopCommand : public Command {
 public:
  std::string_view Name() const override { return "shop"; }
  std::string_view Summary() const override {
    return "show or set the shop's name, address, phone and tax number; its print pages";
  }
  void PrintHelp(std::ostream& out) const override;
  // The particulars given are written together, in one transaction, and the rest kept; then
  // all four are shown as stored.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;

 private:
  int PrintTemplate(db::IDatabase& database, int64_t program, const shop::Arguments& arguments,
                    const std::string& text, std::ostream& out, std::ostream& err,
                    const std::string& shopFile);
};

}  // namespace ws::cli
