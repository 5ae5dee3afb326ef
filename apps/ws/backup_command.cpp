#include "backup_command.h"

#include <ostream>

#include "platform/postgres_database.h"
#include "shop/args.h"
#include "shop/store/backup.h"

namespace ws::cli {

void BackupCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws backup --db FILE|URL [--force] OUT\n"
         "\n"
         "Writes a consistent copy of the shop database to the file OUT while others may keep\n"
         "working in it: the SQLite file is copied by the engine's online backup; a PostgreSQL\n"
         "database is dumped by pg_dump from one snapshot. OUT appears only when complete.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL  the shop database\n"
         "  --force        replace OUT when it exists\n"
         "  -h, --help     show this help\n"
         "\n"
         "Exit status: 0 written, 1 the copy failed, 2 bad usage (nothing is written).\n";
}

int BackupCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db"}, {"--force"}, 1, out, err, arguments, file)) return *exit;
  if (arguments.Positional().size() != 1) return Usage(err, "name the backup file OUT");
  const std::string& target = arguments.Positional()[0];
  if (std::string error = shop::BackupShop(file, target, arguments.Flag("--force"));
      !error.empty()) {
    err << "ws backup: " << error << "\n";
    return kExitFailure;
  }
  out << "Backed up " << platform::DisplayUrl(file) << " to " << target << ".\n";
  return kExitOk;
}

void RestoreCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws restore --db FILE|URL IN\n"
         "\n"
         "Replaces the content of the shop database by the backup IN written by 'ws backup'.\n"
         "Other users see the old shop or the restored one, never a mix; a restore that must\n"
         "wait too long for another user's save stops and changes nothing.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL  the shop database to replace (a new file is created)\n"
         "  -h, --help     show this help\n"
         "\n"
         "Exit status: 0 restored, 1 the restore failed, 2 bad usage (nothing is changed).\n";
}

int RestoreCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db"}, {}, 1, out, err, arguments, file)) return *exit;
  if (arguments.Positional().size() != 1) return Usage(err, "name the backup file IN");
  const std::string& source = arguments.Positional()[0];
  if (std::string error = shop::RestoreShop(file, source); !error.empty()) {
    err << "ws restore: " << error << "\n";
    return kExitFailure;
  }
  out << "Restored " << platform::DisplayUrl(file) << " from " << source << ".\n";
  return kExitOk;
}

}  // namespace ws::cli
