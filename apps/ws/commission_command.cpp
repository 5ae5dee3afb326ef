#include "commission_command.h"

#include <ostream>

#include "db/amount.h"
#include "db/date.h"
#include "owner_account.h"
#include "platform/accounts.h"
#include "reports/technician_pay.h"
#include "shop/store/database_file.h"

namespace ws::cli {

namespace {}  // namespace

void CommissionCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws commission list --db FILE|URL\n"
         "       ws commission set CATEGORY 比例|工时 RATE --db FILE|URL [--as OWNER]\n"
         "       ws commission clear CATEGORY --db FILE|URL [--as OWNER]\n"
         "\n"
         "What technicians earn on the labour of each repair category (CATEGORY: its code or\n"
         "name): 比例 RATE is a percentage of a labour line's amount (0 to 100, two decimals at\n"
         "most), 工时 RATE an amount per standard hour of the line. A category without a rule\n"
         "earns nothing. 'ws report commission' shows what each technician earned.\n"
         "\n"
         "The rules are pay: once the shop has accounts they are read and changed as --as\n"
         "OWNER, an account with the 管理 right, whose password comes from --as-password-file,\n"
         "WS_PASSWORD or the terminal; on a server only a login with 管理 may read them.\n";
}

int CommissionCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit =
          Begin(args, {"--db", "--as", "--as-password-file"}, {}, 4, out, err, arguments, file)) {
    return *exit;
  }
  const auto& words = arguments.Positional();
  if (words.empty()) return Usage(err, "which of list, set, clear?");
  const std::string& action = words[0];
  const size_t wanted = action == "list" ? 1 : action == "set" ? 4 : action == "clear" ? 2 : 0;
  if (wanted == 0) return Usage(err, "unknown action '" + action + "'");
  if (words.size() != wanted) return Usage(err, "wrong number of arguments for " + action);

  int exit = kExitOk;
  auto database = OpenShop(file, err, &exit);
  if (!database) return exit;
  std::string error;

  // A shop with accounts shows and changes pay only to a manager who proves who he is.
  platform::AccountStore accounts(*database);
  const bool closed = accounts.HasAccounts(&error);
  std::string user = "ws";
  if (error.empty() && closed) {
    auto owner = arguments.Value("--as");
    if (!owner) return Usage(err, "this shop has accounts: say who you are (--as OWNER)");
    if (error = ProveManager(*database, accounts, arguments, "查看或修改提成规则");
        !error.empty()) {
      err << "ws commission: " << error << "\n";
      return kExitUsage;
    }
    user = *owner;
  }
  if (!error.empty()) {
    err << "ws commission: " << error << "\n";
    return kExitFailure;
  }

  auto rules = reports::LoadCommissionRules(*database, &error);
  if (!error.empty()) {
    err << "ws commission: " << error << "\n";
    return kExitFailure;
  }
  if (action == "list") {
    for (const auto& rule : rules) {
      out << rule.categoryCode << "\t" << rule.category << "\t"
          << (rule.set ? reports::CommissionKindName(rule.kind) : "-") << "\t"
          << (rule.set ? rule.rate.Text() : "") << "\n";
    }
    return kExitOk;
  }
  const int64_t category = reports::FindCategory(*database, words[1], &error);
  if (!error.empty()) {
    err << "ws commission: " << error << "\n";
    return kExitFailure;
  }
  reports::CommissionRule* rule = nullptr;
  for (auto& candidate : rules) {
    if (candidate.categoryId == category) rule = &candidate;
  }
  if (category == 0 || !rule) return Usage(err, "no repair category '" + words[1] + "'");
  rule->set = action == "set";
  if (rule->set) {
    const auto kind = reports::CommissionKindByName(words[2]);
    if (!kind) return Usage(err, "the kind is 比例 or 工时, not '" + words[2] + "'");
    const std::string& typed = words[3];
    const bool number = !typed.empty() &&
                        typed.find_first_not_of("0123456789.") == std::string::npos &&
                        typed.find('.') == typed.rfind('.') && typed != ".";
    const db::Amount rate = db::Amount::Of(typed);
    if (!number) {
      return Usage(err, "'" + typed + "' is not a number");
    }
    rule->kind = *kind;
    rule->rate = rate;
    if (std::string problem = reports::CommissionRuleProblem(*rule); !problem.empty()) {
      return Usage(err, problem);
    }
  }
  if (error = reports::SaveCommissionRules(*database, {*rule}, user, db::NowStamp());
      !error.empty()) {
    err << "ws commission: " << error << "\n";
    return kExitFailure;
  }
  out << rule->category << ": "
      << (rule->set ? std::string(reports::CommissionKindName(rule->kind)) + " " + rule->rate.Text()
                    : "no commission")
      << "\n";
  return kExitOk;
}

}  // namespace ws::cli
