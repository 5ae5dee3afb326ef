#include "shop_command.h"

#include <ostream>

#include "platform/shop_info.h"
#include "shop/store/database_file.h"

namespace ws::cli {

void ShopCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws shop --db FILE|URL [--name N] [--address A] [--phone P] [--tax-number T]\n"
         "\n"
         "Shows the shop's particulars that every print starts with; with any of the options,\n"
         "sets those first and keeps the others.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL      the shop database (a SQLite file or a postgresql:// URL)\n"
         "  --name N           the shop's name\n"
         "  --address A        its address\n"
         "  --phone P          its telephone\n"
         "  --tax-number T     its tax number\n";
}

int ShopCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db", "--name", "--address", "--phone", "--tax-number"}, {}, 0,
                        out, err, arguments, file)) {
    return *exit;
  }
  std::string error;
  std::string notice;
  bool notNamed = false;
  auto database = shop::OpenWorkingShop(file, &error, &notice, &notNamed);
  if (!database) {
    err << "ws shop: " << error << "\n";
    return OpenFailureStatus(notNamed);
  }
  if (!notice.empty()) err << "ws shop: " << notice << "\n";

  platform::ShopInfo info = platform::LoadShopInfo(*database, &error);
  if (!error.empty()) {
    err << "ws shop: " << error << "\n";
    return kExitFailure;
  }
  bool changed = false;
  for (const auto& [option, text] :
       {std::pair{"--name", &info.name}, std::pair{"--address", &info.address},
        std::pair{"--phone", &info.phone}, std::pair{"--tax-number", &info.taxNumber}}) {
    if (auto value = arguments.Value(option)) {
      *text = *value;
      changed = true;
    }
  }
  if (changed) {
    if (error = platform::SaveShopInfo(*database, info); !error.empty()) {
      err << "ws shop: " << error << "\n";
      return kExitFailure;
    }
    info = platform::LoadShopInfo(*database, &error);
  }
  out << "店名: " << info.name << "\n"
      << "地址: " << info.address << "\n"
      << "电话: " << info.phone << "\n"
      << "税号: " << info.taxNumber << "\n";
  return error.empty() ? kExitOk : kExitFailure;
}

}  // namespace ws::cli
