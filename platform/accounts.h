// The shop's accounts and the rights of their roles (host tables ws_account and ws_role_right).
// A shop with no account is open, as before accounts existed: any name logs in and may do
// everything. Once the first account is made (it must hold 管理), every login needs a name and
// its password, and every guarded step asks the account's role for the right it needs.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/audit_trail.h"
#include "db/database.h"
#include "platform/password_hash.h"

namespace ws::platform {

// Floor: the workshop's tablets (see its jobs, clock, examine), and nothing of the desk: an
// account holding only it opens no program and, on a server, reads no amount.
enum class Right { Enter, Check, Receive, Manage, Floor };

// 录入, 审核, 收款, 管理, 车间: the names the owner sees and ws_role_right stores.
const char* RightName(Right right);
std::optional<Right> RightByName(std::string_view name);
const std::vector<Right>& AllRights();

struct RoleRights {
  std::string role;
  std::vector<Right> rights;
};
// The roles a shop starts with when its first account is made: 店主 (everything), 审核员
// (录入, 审核), 收银员 (收款), 录入员 (录入) and 技师 (车间).
const std::vector<RoleRights>& DefaultRoles();
inline constexpr std::string_view kOwnerRole = "店主";
inline constexpr std::string_view kTechnicianRole = "技师";
// Whether rights held are the floor's alone: such an account works only on the tablets.
bool FloorOnly(const std::set<Right>& rights);

struct Account {
  std::string name;
  std::string role;
  bool active = false;
};

// Why a name or a password cannot be used; empty when it can. A name is what 制单人 and 审核人
// record: 1 to 32 characters of UTF-8, no control characters, no space at either end. A
// password is 6 characters to 1024 bytes of UTF-8 without a NUL.
std::string AccountNameProblem(const std::string& name);
std::string PasswordProblem(const std::string& password);

// The hash an unknown name's password is checked against, of the same cost as an account's.
const std::string& DecoyHash(HashCost cost);

class AccountStore {
 public:
  // The database must outlive the store.
  explicit AccountStore(db::IDatabase& db) : db_(db) {}

  // Whether the shop has any account (an open shop has none); on a read error *error is set
  // and the answer is true, so a failure never opens the shop.
  bool HasAccounts(std::string* error = nullptr);
  std::vector<Account> List(std::string* error = nullptr);
  std::optional<Account> Find(const std::string& name, std::string* error = nullptr);
  // Role names with their rights, in name order.
  std::vector<RoleRights> Roles(std::string* error = nullptr);
  // The rights the account has now: none for an unknown or inactive account.
  std::set<Right> RightsOf(const std::string& name, std::string* error = nullptr);

  // Each answers the error text, empty on success, and changes nothing on failure. The first
  // account of a shop brings the default roles; no change may leave the shop without an active
  // account whose role holds 管理 (two owners demoting each other at once: the second waits for
  // the first and is refused).
  std::string Add(const std::string& name, const std::string& password, const std::string& role);
  std::string SetPassword(const std::string& name, const std::string& password);
  std::string SetRole(const std::string& name, const std::string& role);
  std::string SetActive(const std::string& name, bool active);
  std::string SetRoleRights(const std::string& role, const std::vector<Right>& rights);

  // Empty when the name and password open an active account; otherwise why not, answered
  // only after the refusal delay (the same for an unknown name, a wrong password and a locked
  // account, so a guesser learns nothing from the time or the text).
  std::string Authenticate(const std::string& name, const std::string& password);
  void SetRefusalDelay(std::chrono::milliseconds delay) { refusalDelay_ = delay; }
  // The cost of the hashes this store makes (tests make many accounts at the lowest).
  void SetHashCost(HashCost cost) { cost_ = cost; }
  // Who makes the changes, for the audit trail (the account logged in, or the new shop's first
  // account making itself).
  void SetActor(db::AuditSession actor) { actor_ = std::move(actor); }

 private:
  // Runs change inside one transaction holding the accounts' lock row, then refuses it when it
  // left no manager.
  // The event is appended to the audit trail in the same transaction.
  template <typename Change>
  std::string Guarded(Change change, const db::AuditEvent& event);
  // On PostgreSQL: the accounts' server logins follow their rows (their groups, LOGIN while
  // active, the password when given); the shop's grants are installed with its first account.
  std::string SyncServer(const std::vector<std::string>& names,
                         const std::optional<std::string>& password);

  db::IDatabase& db_;
  std::chrono::milliseconds refusalDelay_{1000};
  HashCost cost_ = HashCost::Interactive;
  db::AuditSession actor_;
};

}  // namespace ws::platform
