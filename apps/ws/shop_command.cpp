#include "shop_command.h"

#include <ostream>

#include "platform/output_file.h"
#include "platform/print_template.h"
#include "platform/shop_info.h"
#include "shop/args.h"
#include "shop/store/database_file.h"
#include "shop/store/shop_input.h"

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
         "  --tax-number T     its tax number\n"
         "\n"
         "The shop's print pages (kept in the shop, so every desk prints with them):\n"
         "  ws shop --db FILE|URL --print-template PROGRAM --to FILE\n"
         "      writes the page PROGRAM (200001 the repair order, 200002 the requisition,\n"
         "      200003 the settlement, 200004 the receipt) prints with now, to change it\n"
         "  ws shop --db FILE|URL --print-template PROGRAM --from FILE\n"
         "      makes FILE the shop's page of PROGRAM (refused, with the line, when a\n"
         "      placeholder is wrong)\n"
         "  ws shop --db FILE|URL --print-template PROGRAM --reset\n"
         "      goes back to the built-in page\n";
}

int ShopCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args,
                        {"--db", "--name", "--address", "--phone", "--tax-number",
                         "--print-template", "--to", "--from"},
                        {"--reset"}, 0, out, err, arguments, file)) {
    return *exit;
  }
  const auto program = arguments.Value("--print-template");
  const int ways = arguments.Value("--to").has_value() + arguments.Value("--from").has_value() +
                   arguments.Flag("--reset");
  if (program.has_value() != (ways > 0) || ways > 1) {
    return Usage(err, "--print-template PROGRAM takes one of --to FILE, --from FILE, --reset");
  }
  std::optional<int64_t> programNumber;
  if (program) {
    programNumber = shop::ParseWholeNumber(*program, 1, 999999999);
    if (!programNumber || *programNumber <= 0) {
      return Usage(err, "'" + *program + "' is no program number (200001 ...)");
    }
  }
  std::string templateText;
  if (auto from = arguments.Value("--from")) {
    if (std::string problem = shop::ReadInputText(*from, templateText); !problem.empty()) {
      err << "ws shop: " << problem << "\n";
      return kExitUsage;
    }
  }
  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit);
  if (!database) return exit;
  std::string error;

  if (programNumber)
    return PrintTemplate(*database, *programNumber, arguments, templateText, out, err, file);
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

int ShopCommand::PrintTemplate(db::IDatabase& database, int64_t program,
                               const shop::Arguments& arguments, const std::string& text,
                               std::ostream& out, std::ostream& err, const std::string& shopFile) {
  const std::string number = std::to_string(program);
  if (auto to = arguments.Value("--to")) {
    const platform::LoadedTemplate loaded =
        platform::LoadPrintTemplate(database, program, platform::PrintKind::Document);
    platform::OutputFile output(*to, shopFile);
    std::string error = output.Ok() ? "" : output.Error();
    if (error.empty() && !output.Write(loaded.text)) error = "cannot write " + *to;
    if (error.empty()) error = output.Commit();
    if (!error.empty()) {
      err << "ws shop: " << error << "\n";
      return kExitFailure;
    }
    out << "wrote the " << loaded.source << " page of " << number << " to " << *to << "\n";
    return kExitOk;
  }
  if (arguments.Flag("--reset")) {
    if (std::string error = platform::ResetShopTemplate(database, program); !error.empty()) {
      err << "ws shop: " << error << "\n";
      return kExitFailure;
    }
    out << number << " prints with the built-in page\n";
    return kExitOk;
  }
  if (std::string error = platform::SaveShopTemplate(database, program, text); !error.empty()) {
    err << "ws shop: " << arguments.Value("--from").value_or("") << ": " << error
        << "\nws shop: the page was not changed\n";
    return kExitUsage;
  }
  out << number << " prints with the shop's page from " << arguments.Value("--from").value_or("")
      << "\n";
  return kExitOk;
}

}  // namespace ws::cli
