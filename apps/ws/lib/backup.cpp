#include "lib/backup.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "lib/database_file.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"

namespace ws::cli {

namespace {

namespace fs = std::filesystem;

// How long a restore waits for other users' writes to end, as every connection of the shop.
constexpr int kBusyTimeoutMs = 5000;

// Copies every page of from into to in one step; answers the error text, empty on success.
std::string CopyPages(sqlite3* from, sqlite3* to) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (!backup) return sqlite3_errmsg(to);
  int rc = sqlite3_backup_step(backup, -1);
  sqlite3_backup_finish(backup);
  if (rc == SQLITE_DONE) return {};
  if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return std::string(platform::kDatabaseBusyText);
  return sqlite3_errstr(rc);
}

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

SqliteHandle OpenFile(const std::string& path, int flags, std::string* error) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  SqliteHandle handle(raw);
  if (rc != SQLITE_OK) {
    *error = "cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    return nullptr;
  }
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  return handle;
}

// Runs a program with its arguments (no shell, so no text of a URL or file name is read as a
// command); answers the error text, empty when it ended with status 0.
std::string RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) return "cannot start " + args[0];
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return "lost " + args[0];
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return args[0] + " is not installed";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return args[0] + " failed";
  return {};
}

std::string BackupFile(const std::string& name, const std::string& out) {
  std::string error;
  // Opened as the shop (checks that it is one and sets the busy timeout and WAL) ...
  auto shop = OpenShopDatabase(name, &error);
  if (!shop) return error;
  auto* source = dynamic_cast<platform::SqliteDatabase*>(shop.get());
  if (!source) return name + " is not a database file";
  // ... copied into a plain rollback-journal file, which is one self-contained file.
  const std::string temp = out + ".part";
  std::error_code ignored;
  fs::remove(temp, ignored);
  {
    auto target = OpenFile(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
    if (!target) return error;
    error = CopyPages(source->Handle(), target.get());
  }
  if (error.empty()) {
    std::error_code ec;
    fs::rename(temp, out, ec);
    if (ec) error = "cannot write " + out + ": " + ec.message();
  }
  if (!error.empty()) fs::remove(temp, ignored);
  return error;
}

std::string RestoreFile(const std::string& name, const std::string& in) {
  std::string error;
  // The backup must be a shop; it is only read.
  auto backup = OpenShopDatabase(in, &error);
  if (!backup) return error;
  auto* source = dynamic_cast<platform::SqliteDatabase*>(backup.get());
  if (!source) return in + " is not a database file";
  std::unique_ptr<platform::SqliteDatabase> target;
  if (fs::exists(name)) {
    auto shop = OpenShopDatabase(name, &error);
    if (!shop) return error;
    target.reset(dynamic_cast<platform::SqliteDatabase*>(shop.release()));
  } else {
    target = platform::SqliteDatabase::Open(name, &error);
  }
  if (!target) return error.empty() ? name + " is not a database file" : error;
  return CopyPages(source->Handle(), target->Handle());
}

}  // namespace

std::string BackupShop(const std::string& name, const std::string& out, bool replace) {
  if (platform::IsPostgresUrl(out)) return "the backup is written to a file, not to a server";
  std::error_code ec;
  if (fs::is_directory(out, ec)) return out + " is a folder";
  if (fs::exists(out, ec) && !replace) return out + " already exists; use --force";
  if (EngineOf(name) == db::Engine::Sqlite) return BackupFile(name, out);
  std::string error;
  if (!OpenShopDatabase(name, &error)) return error;
  const std::string temp = out + ".part";
  error = RunProgram(
      {"pg_dump", "--format=custom", "--no-owner", "--file=" + temp, "--dbname=" + name});
  if (error.empty()) fs::rename(temp, out, ec);
  if (error.empty() && ec) error = "cannot write " + out + ": " + ec.message();
  if (!error.empty()) fs::remove(temp, ec);
  return error;
}

std::string RestoreShop(const std::string& name, const std::string& in) {
  std::error_code ec;
  if (!fs::is_regular_file(in, ec)) return in + " is not a backup file";
  if (EngineOf(name) == db::Engine::Sqlite) return RestoreFile(name, in);
  return RunProgram({"pg_restore", "--clean", "--if-exists", "--no-owner", "--single-transaction",
                     "--exit-on-error", "--dbname=" + name, in});
}

}  // namespace ws::cli
