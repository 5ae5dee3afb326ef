#include "shop/store/backup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/schema.h"
#include "forms/text.h"
#include "platform/output_file.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "shop/store/database_file.h"
#include "shop/store/shop_input.h"

namespace ws::shop {

namespace {

namespace fs = std::filesystem;

// Backups and dumps hold the accounts' password hashes.
constexpr mode_t kPrivateFile = 0600;

// The engine's own check of every page and index of the file behind db: empty when it passes,
// else its first finding and how many more there are.
std::string IntegrityProblem(platform::SqliteDatabase& db) {
  std::string error;
  auto rs = db::Runner(db).Open(db::Sql("PRAGMA integrity_check"), &error);
  if (!error.empty()) return error;
  std::vector<std::string> found;
  for (; !rs->Eof(); rs->MoveNext()) found.push_back(rs->Field(0).ToText());
  if (found.size() == 1 && found[0] == "ok") return {};
  if (found.empty()) return "the integrity check gave no answer";
  return found[0] +
         (found.size() > 1 ? " (and " + std::to_string(found.size() - 1) + " more)" : "");
}

// Runs a program with its arguments (no shell, so no text of a URL or file name is read as a
// command); answers the error text, empty when it ended with status 0. What it writes to its
// standard output is kept in *output when given.
std::string RunProgram(const std::vector<std::string>& args, std::string* output = nullptr) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2] = {-1, -1};
  if (output && pipe(pipeEnds) != 0) return "cannot start " + args[0];
  pid_t pid = fork();
  if (pid < 0) return "cannot start " + args[0];
  if (pid == 0) {
    if (output) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (output) {
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
      output->append(buffer, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return "lost " + args[0];
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return args[0] + " is not installed";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return args[0] + " failed";
  return {};
}

// Why a backup holding these tables (lower case) is no shop: a table of the first layout is
// missing. Empty when every one is there.
std::string MissingShopTable(const std::string& in, const std::set<std::string>& tables) {
  for (const auto& table : db::Tables()) {
    if (table.since == 1 && !tables.count(forms::FoldCase(table.name))) {
      return in + " is not a shop backup (it has no table " + table.name + ")";
    }
  }
  return {};
}

// Why a backup with these ws_meta rows cannot be restored: no version row of a shop, or one
// written by a newer program. Empty when this program reads it.
std::string VersionRefusal(const std::string& in, std::map<std::string, std::string> meta) {
  if (meta["schema"] != db::kSchemaName || meta["version"].empty()) {
    return in + " is not a shop backup (it has no version row of a repair shop)";
  }
  if (std::string newer = db::NewerVersionRefusal(meta); !newer.empty()) {
    return in + ": " + newer + "; nothing was restored";
  }
  return {};
}

// Why a file cannot be restored as a shop: it must pass the engine's integrity check, hold the
// shop's tables and its version row, and be of a version this program reads. The file is
// opened only to be read and is left byte for byte as it was. On success *backup is the open
// file.
std::string CheckSqliteBackup(const std::string& in,
                              std::unique_ptr<platform::SqliteDatabase>* backup) {
  if (std::string problem = CheckExistingDatabaseFile(in); !problem.empty()) return problem;
  auto opened = platform::SqliteDatabase::OpenReadOnly(in);
  if (!opened) return in + " is not a shop backup: " + opened.Error();
  auto& db = opened.Value();
  std::string error;
  if (std::string problem = IntegrityProblem(*db); !problem.empty()) {
    return in + " is damaged (" + problem + "); nothing was restored";
  }
  std::set<std::string> tables;
  auto rs = db::Runner(*db).Open(
      db::Sql("SELECT name FROM sqlite_master WHERE type=").Text("table"), &error);
  for (; error.empty() && !rs->Eof(); rs->MoveNext()) {
    tables.insert(forms::FoldCase(rs->Text("name")));
  }
  if (std::string missing = MissingShopTable(in, tables); !missing.empty()) return missing;
  std::map<std::string, std::string> meta;
  rs = db::Runner(*db).Open(db::Sql("SELECT key, value FROM ws_meta"), &error);
  for (; error.empty() && !rs->Eof(); rs->MoveNext()) meta[rs->Text("key")] = rs->Text("value");
  if (std::string refusal = VersionRefusal(in, meta); !refusal.empty()) return refusal;
  *backup = std::move(db);
  return {};
}

// The same for a server archive, read through its table of contents and the version row's
// data before anything of the shop is dropped.
std::string CheckServerArchive(const std::string& in) {
  std::string contents;
  if (std::string error = RunProgram({"pg_restore", "--list", in}, &contents); !error.empty()) {
    return error == "pg_restore is not installed"
               ? error
               : in + " is not a shop backup (pg_restore cannot read it)";
  }
  std::set<std::string> tables;
  bool metaData = false;
  std::istringstream lines(contents);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == ';') continue;
    // "215; 1259 16386 TABLE public clzl owner" and "3400; 0 16386 TABLE DATA public clzl owner"
    std::istringstream words(line);
    std::string id, catalogOid, objectOid, kind, second, third;
    words >> id >> catalogOid >> objectOid >> kind >> second >> third;
    if (kind != "TABLE") continue;
    if (second == "DATA") {
      std::string name;
      words >> name;
      if (forms::FoldCase(name) == "ws_meta") metaData = true;
    } else {
      tables.insert(forms::FoldCase(third));
    }
  }
  if (std::string missing = MissingShopTable(in, tables); !missing.empty()) return missing;
  if (!metaData) return in + " is not a shop backup (it has no version row of a repair shop)";
  std::string data;
  if (std::string error =
          RunProgram({"pg_restore", "--data-only", "--table=ws_meta", "--file=-", in}, &data);
      !error.empty()) {
    return in + " is not a shop backup: " + error;
  }
  // The rows of a COPY block, one a line, columns split by tabs, ended by "\.".
  std::map<std::string, std::string> meta;
  std::istringstream rows(data);
  bool inCopy = false;
  for (std::string line; std::getline(rows, line);) {
    if (!inCopy) {
      inCopy = line.rfind("COPY ", 0) == 0;
      continue;
    }
    if (line == "\\.") break;
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) meta[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return VersionRefusal(in, meta);
}

// Writes the restore's list of the archive's items to a new file of its own in the temporary
// folder (made by mkstemp: no other file is followed or replaced); *path gets its name.
std::string WriteListFile(const std::string& text, std::string* path) {
  std::string name = (fs::temp_directory_path() / "ws-restore-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) return "cannot write a restore list in " + fs::temp_directory_path().string();
  *path = name;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return close(fd) == 0 && written ? std::string() : "cannot write " + name;
}

// On a shop whose accounts are server logins the tables belong to the owner role, which
// nobody logs in as: *owner gets its name (empty on a shop without such accounts). The
// connection's login must be a member of it (the maker, or a 管理 account through the
// managers' group) to back up or restore the shop as it; otherwise the refusal says so in the
// shop's words before anything is read or dropped (the server would refuse in its own).
std::string ServerOwner(const std::string& name, const std::string& what, std::string* owner) {
  auto opened = platform::PostgresDatabase::Open(name);
  if (!opened) return opened.Error();
  auto& shop = opened.Value();
  std::string error;
  db::Runner run(*shop);
  // A shop without accounts on the server has no such function (and no owner role).
  const bool logins = run.Scalar(db::Sql("SELECT CASE WHEN to_regproc(")
                                     .Text("ws_server_group")
                                     .Raw(") IS NULL THEN 0 ELSE 1 END"),
                                 &error)
                          .ToLong() == 1;
  if (!error.empty() || !logins) return error;
  *owner = run.ScalarText(db::Sql("SELECT ws_server_group(").Text("owner").Raw(")"), &error);
  if (!error.empty()) return error;
  const bool member = run.Scalar(db::Sql("SELECT CASE WHEN pg_catalog.pg_has_role(session_user, ")
                                     .Text(*owner)
                                     .Raw(", 'MEMBER') THEN 1 ELSE 0 END"),
                                 &error)
                          .ToLong() == 1;
  if (!error.empty()) return error;
  return member ? std::string()
                : "没有“管理”权限，不能" + what + "本店：" + what + "要由有“管理”权限的账户来做";
}

std::string BackupFile(const std::string& name, const std::string& out) {
  std::string error;
  // Opened as the shop (checks that it is one and sets the busy timeout and WAL) ...
  auto shop = OpenShopDatabase(name, &error);
  if (!shop) return error;
  auto* source = dynamic_cast<platform::SqliteDatabase*>(shop.get());
  if (!source) return name + " is not a database file";
  // ... copied into a plain rollback-journal file, which is one self-contained file, and
  // checked before it is called a backup: a page the disk garbled is found now, not on the
  // day the copy is needed. It holds the accounts' password hashes: its owner's alone.
  platform::OutputFile file(out, name, kPrivateFile);
  if (!file.Ok()) return file.Error();
  const std::string& temp = file.TempPath();
  error = source->CopyPagesToFile(temp).Error();
  if (error.empty()) {
    auto copy = platform::SqliteDatabase::OpenReadOnly(temp);
    if (!copy) {
      error = "the copy cannot be read back: " + copy.Error();
    } else if (std::string problem = IntegrityProblem(*copy); !problem.empty()) {
      error = "the copy failed its integrity check (" + problem + "); no backup was written";
    }
  }
  if (!error.empty()) return error;
  return file.Commit();
}

std::string RestoreFile(const std::string& name, const std::string& in) {
  std::unique_ptr<platform::SqliteDatabase> source;
  if (std::string refusal = CheckSqliteBackup(in, &source); !refusal.empty()) return refusal;
  std::string error;
  std::unique_ptr<platform::SqliteDatabase> target;
  if (fs::exists(name)) {
    auto shop = OpenShopDatabase(name, &error);
    if (!shop) return error;
    target.reset(dynamic_cast<platform::SqliteDatabase*>(shop.release()));
  } else if (auto opened = platform::SqliteDatabase::Open(name)) {
    target = std::move(opened).Take();
  } else {
    error = opened.Error();
  }
  if (!target) return error.empty() ? name + " is not a database file" : error;
  return source->CopyPagesTo(*target).Error();
}

}  // namespace

std::string BackupShop(const std::string& name, const std::string& out, bool replace) {
  if (platform::IsPostgresUrl(out)) return "the backup is written to a file, not to a server";
  std::error_code ec;
  const std::string shopFile = EngineOf(name) == db::Engine::Sqlite ? name : std::string();
  if (std::string refusal = platform::OutputTargetRefusal(out, shopFile); !refusal.empty()) {
    return refusal;
  }
  if (fs::exists(out, ec) && !replace) return out + " already exists; use --force";
  if (EngineOf(name) == db::Engine::Sqlite) return BackupFile(name, out);
  std::string error;
  if (!OpenShopDatabase(name, &error)) return error;
  // The password hashes are read by the owner role alone: a manager dumps the shop as it.
  std::string owner;
  if (std::string refusal = ServerOwner(name, "备份", &owner); !refusal.empty()) return refusal;
  platform::OutputFile file(out, {}, kPrivateFile);
  if (!file.Ok()) return file.Error();
  std::vector<std::string> args = {"pg_dump", "--format=custom", "--no-owner",
                                   "--file=" + file.TempPath(), "--dbname=" + name};
  if (!owner.empty()) args.push_back("--role=" + owner);
  error = RunProgram(args);
  return error.empty() ? file.Commit() : error;
}

std::string RestoreShop(const std::string& name, const std::string& in) {
  std::error_code ec;
  if (!fs::is_regular_file(in, ec)) return in + " is not a backup file";
  if (EngineOf(name) == db::Engine::Sqlite && fs::exists(name, ec) &&
      fs::equivalent(name, in, ec)) {
    return in + " is the shop itself, not a backup of it";
  }
  if (EngineOf(name) == db::Engine::Sqlite) return RestoreFile(name, in);
  if (std::string refusal = CheckServerArchive(in); !refusal.empty()) return refusal;
  std::vector<std::string> args = {
      "pg_restore",           "--clean",         "--if-exists",     "--no-owner",
      "--single-transaction", "--exit-on-error", "--dbname=" + name};
  // On a shop whose accounts are server logins the tables belong to the owner role: a manager
  // (a member of it, without its rights) restores as that role. The login function stays as it
  // is: it must keep running as the role that may make logins, which the restore is not.
  std::string owner;
  if (std::string refusal = ServerOwner(name, "恢复", &owner); !refusal.empty()) return refusal;
  std::string error;
  std::string listFile;
  if (!owner.empty()) {
    std::string contents;
    if (error = RunProgram({"pg_restore", "--list", in}, &contents); !error.empty()) return error;
    std::istringstream lines(contents);
    std::ostringstream kept;
    for (std::string line; std::getline(lines, line);) {
      // The shop's extensions stay as they are: only their owner (the server's administrator)
      // may drop and make them, and the shop's indexes need them as they are.
      if (line.find(" ws_server_login(") == std::string::npos &&
          line.find(" EXTENSION ") == std::string::npos) {
        kept << line << "\n";
      }
    }
    if (std::string problem = WriteListFile(kept.str(), &listFile); !problem.empty()) {
      if (!listFile.empty()) fs::remove(listFile, ec);
      return problem;
    }
    args.push_back("--role=" + owner);
    args.push_back("--use-list=" + listFile);
  }
  args.push_back(in);
  error = RunProgram(args);
  if (!listFile.empty()) fs::remove(listFile, ec);
  return error;
}

}  // namespace ws::shop
