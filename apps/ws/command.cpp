#include "command.h"

#include <filesystem>
#include <ostream>

#include "shop/store/database_file.h"

namespace ws::cli {

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
