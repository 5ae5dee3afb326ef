#include "owner_account.h"

#include <ostream>

#include "db/runner.h"
#include "platform/access_guard.h"
#include "platform/accounts.h"
#include "shop/store/database_file.h"
#include "shop/store/password_source.h"

namespace ws::cli {

namespace {

struct DemoStaff {
  const char* name;
  const char* role;
  const char* password;
};

// The demo shop's people, one of each role below the owner.
constexpr DemoStaff kDemoStaff[] = {
    {"小王", "录入员", "wang-2012"},
    {"老李", "审核员", "li-2012"},
    {"小陈", "收银员", "chen-2012"},
};

// The demo's technicians share one password, printed with their names.
constexpr const char* kTechnicianPassword = "tech-2012";

}  // namespace

std::optional<OwnerAccount> ReadOwner(const shop::Arguments& arguments, std::string* error) {
  auto name = arguments.Value("--owner");
  if (!name) {
    if (arguments.Value("--password-file")) *error = "--password-file goes with --owner NAME";
    return std::nullopt;
  }
  if (*error = platform::AccountNameProblem(*name); !error->empty()) return std::nullopt;
  std::optional<std::string> password;
  if (auto file = arguments.Value("--password-file")) {
    password = shop::ReadPasswordFile(*file, error);
  } else {
    password = shop::AskPassword(*name + " 的密码: ", true, error);
  }
  if (!password) return std::nullopt;
  if (*error = platform::PasswordProblem(*password); !error->empty()) return std::nullopt;
  return OwnerAccount{*name, *password};
}

std::string AddAccounts(const std::string& shop, const OwnerAccount& owner, bool demoStaff,
                        std::ostream& out) {
  std::string error;
  std::string notice;
  auto database = shop::OpenWorkingShop(shop, &error, &notice);
  if (!database) return error;
  platform::AccountStore accounts(*database);
  if (error = accounts.Add(owner.name, owner.password, std::string(platform::kOwnerRole));
      !error.empty()) {
    return error;
  }
  out << "  account " << owner.name << " (" << platform::kOwnerRole << ")\n";
  if (!demoStaff) return {};
  for (const auto& staff : kDemoStaff) {
    if (error = accounts.Add(staff.name, staff.password, staff.role); !error.empty()) return error;
    out << "  account " << staff.name << " (" << staff.role << "), password " << staff.password
        << "\n";
  }
  // The technicians log in to the tablets under the accounts their cards name.
  auto technicians = db::Runner(*database).Open(
      db::Sql("SELECT 登录账号 FROM PDMGY WHERE 是否技师 = 1 AND 登录账号 <> '' ORDER BY 雇员编码"),
      &error);
  for (; error.empty() && !technicians->Eof(); technicians->MoveNext()) {
    const std::string name = technicians->Text("登录账号");
    error = accounts.Add(name, kTechnicianPassword, std::string(platform::kTechnicianRole));
    if (error.empty()) {
      out << "  account " << name << " (" << platform::kTechnicianRole << "), password "
          << kTechnicianPassword << "\n";
    }
  }
  return error;
}

std::string ProveManager(platform::EngineDatabase& database, platform::AccountStore& accounts,
                         const shop::Arguments& arguments, const std::string& what) {
  const std::string owner = arguments.Value("--as").value_or("");
  std::string error;
  std::optional<std::string> password;
  if (auto file = arguments.Value("--as-password-file")) {
    password = shop::ReadPasswordFile(*file, &error);
  } else if (!(password = shop::PasswordFromEnvironment())) {
    password = shop::AskPassword(owner + " 的密码: ", false, &error);
  }
  if (!password) return error;
  if (error = accounts.Authenticate(owner, *password); !error.empty()) return error;
  return platform::AccessGuard(database, owner, true).RefusalOfRight(platform::Right::Manage, what);
}

}  // namespace ws::cli
