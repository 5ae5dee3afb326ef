#include "command.h"

#include <filesystem>
#include <ostream>

#include "shop/store/database_file.h"

namespace ws::cli {

std::unique_ptr<platform::EngineDatabase> Command::OpenShop(const std::string& file,
                                                            std::ostream& err, int* exit,
                                                            std::string_view missingHint) const {
  std::string error;
  std::string notice;
  bool notNamed = false;
  auto database = shop::OpenWorkingShop(file, &error, &notice, &notNamed);
  if (!database) {
    const bool missing = !missingHint.empty() && shop::EngineOf(file) == db::Engine::Sqlite &&
                         !std::filesystem::exists(file);
    err << "ws " << Name() << ": " << error << (missing ? missingHint : std::string_view()) << "\n";
    *exit = OpenFailureStatus(notNamed);
    return nullptr;
  }
  if (!notice.empty()) err << "ws " << Name() << ": " << notice << "\n";
  return database;
}

std::optional<int> Command::Begin(const std::vector<std::string>& args,
                                  const std::set<std::string>& valueOptions,
                                  const std::set<std::string>& flags, size_t maxPositional,
                                  std::ostream& out, std::ostream& err, shop::Arguments& arguments,
                                  std::string& file) const {
  if (std::string error = arguments.Parse(args, valueOptions, flags); !error.empty()) {
    return Usage(err, error);
  }
  if (arguments.Flag("--help")) {
    PrintHelp(out);
    return kExitOk;
  }
  const auto& positional = arguments.Positional();
  if (positional.size() > maxPositional) {
    return Usage(err, "unexpected argument '" + positional[maxPositional] + "'");
  }
  const std::optional<std::string> db = arguments.Value("--db");
  if (!db || db->empty())
    return Usage(err, "the database is missing (--db FILE or --db postgresql://...)");
  file = *db;
  return std::nullopt;
}

int TargetStatus(const std::string& target) {
  if (shop::EngineOf(target) == db::Engine::Postgres) return kExitFailure;
  std::error_code ec;
  return std::filesystem::is_regular_file(target, ec) ? kExitFailure : kExitUsage;
}

int Command::Usage(std::ostream& err, const std::string& message) const {
  err << "ws " << Name() << ": " << message << "\nTry 'ws " << Name() << " --help'.\n";
  return kExitUsage;
}

}  // namespace ws::cli
