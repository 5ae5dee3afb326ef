#include "init_command.h"

#include <optional>
#include <ostream>

#include "db/catalogue.h"
#include "db/date.h"
#include "db/default_config.h"
#include "owner_account.h"
#include "platform/postgres_database.h"
#include "shop/args.h"
#include "shop/store/database_file.h"
#include "shop/store/new_shop.h"

namespace ws::cli {

void InitCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws init --db FILE|URL [--force] [--date yyyy-mm-dd]\n"
         "\n"
         "Creates a new shop database with every table of the repair-shop module and its host,\n"
         "and the default configuration: the menu of the controls, the options, the accounting\n"
         "parameters and the local currency. The database is the SQLite file FILE, or the\n"
         "PostgreSQL database a URL names (postgresql://user@host/shop, or\n"
         "postgresql://user@/shop?host=/socket/folder), created on the server when missing.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL      the database file to create, or the PostgreSQL database to fill\n"
         "  --force            replace the shop when it exists (it is kept until the new one is\n"
         "                     done; on PostgreSQL only the shop's own tables are replaced)\n"
         "  --date yyyy-mm-dd  the start date: its month is the current accounting period\n"
         "                     (default: today)\n"
         "  --owner NAME       the owner's account (role 店主), its password from\n"
         "                     --password-file F (a file only its owner may read) or asked\n"
         "                     twice; without it the shop takes any name at login\n"
         "  -h, --help         show this help\n"
         "\n"
         "Exit status: 0 created, 1 the database could not be written or is already there\n"
         "(without --force), 2 bad usage or input (nothing is changed).\n";
}

int InitCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db", "--date", "--owner", "--password-file"}, {"--force"}, 0, out,
                        err, arguments, file)) {
    return *exit;
  }
  db::Date date = db::Today();
  if (auto text = arguments.Value("--date")) {
    auto parsed = db::Date::Parse(*text);
    if (!parsed) return Usage(err, "'" + *text + "' is not a date (yyyy-mm-dd)");
    date = *parsed;
  }
  if (std::string error = shop::CheckNewDatabaseTarget(file, arguments.Flag("--force"));
      !error.empty()) {
    err << "ws init: " << error << "\n";
    return TargetStatus(file);
  }

  auto fail = [&](const std::string& message) {
    err << "ws init: " << message << "\n";
    return kExitFailure;
  };
  std::string ownerError;
  auto owner = ReadOwner(arguments, &ownerError);
  if (!ownerError.empty()) {
    err << "ws init: " << ownerError << "\n";
    return kExitUsage;
  }
  if (std::string error = shop::CreateShopDatabase(file, arguments.Flag("--force"), date);
      !error.empty()) {
    return fail(error);
  }

  out << "Created " << platform::DisplayUrl(file) << ": " << db::Tables().size()
      << " tables, accounting period " << db::PeriodOfDate(date, db::kDefaultClosingDay) << ", "
      << db::DefaultControls().size() << " controls in the menu.\n";
  if (owner) {
    if (std::string error = AddAccounts(file, *owner, false, out); !error.empty()) {
      return fail(error);
    }
  }
  return kExitOk;
}

}  // namespace ws::cli
