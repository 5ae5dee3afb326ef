#include "user_command.h"

#include <ostream>

#include "owner_account.h"
#include "platform/accounts.h"
#include "shop/store/database_file.h"
#include "shop/store/password_source.h"

namespace ws::cli {

namespace {

// The new password of add and passwd: from --password-file, else asked twice on the terminal.
std::optional<std::string> NewPassword(const shop::Arguments& arguments, std::string* error) {
  if (auto file = arguments.Value("--password-file")) return shop::ReadPasswordFile(*file, error);
  return shop::AskPassword("新密码: ", true, error);
}

}  // namespace

void UserCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws user add NAME --role ROLE [--password-file F] --db FILE|URL [--as OWNER]\n"
         "       ws user passwd NAME [--password-file F] --db FILE|URL [--as OWNER]\n"
         "       ws user role NAME ROLE --db FILE|URL [--as OWNER]\n"
         "       ws user active NAME yes|no --db FILE|URL [--as OWNER]\n"
         "       ws user rights ROLE RIGHT[,RIGHT...] --db FILE|URL [--as OWNER]\n"
         "       ws user list --db FILE|URL\n"
         "\n"
         "The shop's accounts. NAME is what the documents record as 制单人 and 审核人. Roles\n"
         "start as 店主 (录入, 审核, 收款, 管理, 车间), 审核员 (录入, 审核), 收银员 (收款),\n"
         "录入员 (录入) and 技师 (车间); `rights` gives a role (new or old) exactly the rights\n"
         "listed, of 录入, 审核, 收款, 管理 and 车间. An account of 车间 alone works only on the\n"
         "workshop's tablets (ws serve): it opens no program of the desk and, on a server, reads\n"
         "no amount. The first account of a shop must be a 店主; no change may leave the shop\n"
         "without an active account holding 管理.\n"
         "\n"
         "A password is never taken on the command line: it is read from the first line of a\n"
         "file only its owner may read (--password-file), or asked twice on the terminal.\n"
         "Once the shop has accounts, every change is made as --as OWNER, an account with the\n"
         "管理 right, whose password comes from --as-password-file, WS_PASSWORD or the terminal.\n";
}

int UserCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(args, {"--db", "--role", "--password-file", "--as", "--as-password-file"},
                        {}, 3, out, err, arguments, file)) {
    return *exit;
  }
  const auto& words = arguments.Positional();
  if (words.empty()) return Usage(err, "which of add, passwd, role, active, list?");
  const std::string& action = words[0];
  const size_t wanted = action == "list"                                               ? 1
                        : action == "add" || action == "passwd"                        ? 2
                        : action == "role" || action == "active" || action == "rights" ? 3
                                                                                       : 0;
  if (wanted == 0) return Usage(err, "unknown action '" + action + "'");
  if (words.size() != wanted) return Usage(err, "wrong number of arguments for " + action);

  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit);
  if (!database) return exit;
  std::string error;
  platform::AccountStore accounts(*database);

  if (action == "list") {
    auto list = accounts.List(&error);
    auto roles = accounts.Roles(&error);
    if (!error.empty()) {
      err << "ws user: " << error << "\n";
      return kExitFailure;
    }
    if (list.empty()) out << "(no accounts: anyone may log in under any name)\n";
    for (const auto& account : list) {
      out << account.name << "\t" << account.role << "\t"
          << (account.active ? "active" : "inactive") << "\n";
    }
    for (const auto& role : roles) {
      out << "role " << role.role << ":";
      for (auto right : role.rights) out << " " << platform::RightName(right);
      out << "\n";
    }
    return kExitOk;
  }

  const bool closed = accounts.HasAccounts(&error);
  if (!error.empty()) {
    err << "ws user: " << error << "\n";
    return kExitFailure;
  }
  if (closed) {
    auto owner = arguments.Value("--as");
    if (!owner) return Usage(err, "this shop has accounts: say who makes the change (--as OWNER)");
    if (error = ProveManager(*database, accounts, arguments, "管理账户"); !error.empty()) {
      err << "ws user: " << error << "\n";
      return kExitUsage;
    }
    accounts.SetActor({*owner, "ws"});
  }

  const std::string& name = words[1];
  if (action == "add" || action == "passwd") {
    auto role = arguments.Value("--role");
    if (action == "add" && !role) return Usage(err, "add needs --role ROLE");
    auto password = NewPassword(arguments, &error);
    if (!password) {
      err << "ws user: " << error << "\n";
      return kExitUsage;
    }
    error = action == "add" ? accounts.Add(name, *password, *role)
                            : accounts.SetPassword(name, *password);
  } else if (action == "role") {
    error = accounts.SetRole(name, words[2]);
  } else if (action == "rights") {
    std::vector<platform::Right> rights;
    std::string text = words[2] + ",";
    for (size_t start = 0, comma; (comma = text.find(',', start)) != std::string::npos;
         start = comma + 1) {
      const std::string word = text.substr(start, comma - start);
      if (word.empty()) continue;
      auto right = platform::RightByName(word);
      if (!right) return Usage(err, "'" + word + "' is no right (录入, 审核, 收款, 管理)");
      rights.push_back(*right);
    }
    error = accounts.SetRoleRights(name, rights);
  } else {
    if (words[2] != "yes" && words[2] != "no") return Usage(err, "active takes yes or no");
    error = accounts.SetActive(name, words[2] == "yes");
  }
  if (!error.empty()) {
    err << "ws user: " << error << "\n";
    return kExitUsage;
  }
  out << action << " " << name << ": done\n";
  return kExitOk;
}

}  // namespace ws::cli
