// Who may take which step of which program: the right each step needs, and the guard a host
// asks before it lets the logged-in account take it. The desktop's toolbar, its check and
// uncheck, a script's calls, opening a program and the module's CanEditBill all ask here, so
// a step refused at one door is refused at every door.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "db/database.h"
#include "platform/accounts.h"

namespace ws::platform {

// Open: a program's window; Change: new, edit and save; Delete; Check: check and uncheck.
enum class Step { Open, Change, Delete, Check };

// The right a step of a program needs; nullopt when any logged-in account may take it.
// Repair orders and requisitions are entered under 录入 and checked under 审核; settlements and
// receipts are 收款's, entered and checked; master cards and programs the shop does not know
// are 管理's, but the customer card is the counter's to add to and correct (a walk-in is
// entered where the car comes in), and only its delete is 管理's; lists and reports only show
// and need nothing to open.
std::optional<Right> RightNeeded(int64_t programNumber, Step step);
// The step of an interface operation a host runs for the user (FileNew, FileSave, Check ...);
// nullopt for those that only show or move.
std::optional<Step> StepOfOperation(std::string_view operation);

class AccessGuard {
 public:
  // The database must outlive the guard. authenticated: the user proved the account's
  // password at login (a shop without accounts needs none).
  AccessGuard(db::IDatabase& db, std::string userName, bool authenticated);

  // Whether the step is allowed, by the rights last read (for the toolbar's state); the first
  // call reads them.
  bool Allows(int64_t programNumber, Step step);
  // Reads the account afresh (a deactivated, deleted or demoted account is refused at its next
  // step) and answers why the step is refused, naming the missing right; empty when allowed.
  std::string Refusal(int64_t programNumber, Step step);
  // Whether a right is held now (read afresh); for host steps outside the programs (accounts,
  // options, period close, backup and restore need 管理).
  std::string RefusalOfRight(Right right, std::string_view what);

  void SetAuthenticated(bool authenticated) {
    authenticated_ = authenticated;
    cached_.reset();
  }
  const std::string& UserName() const { return userName_; }

 private:
  struct Rights {
    bool open = false;  // the shop has no account: everything is allowed
    bool known = false;
    std::set<Right> held;
  };
  Rights Read(std::string* error);
  std::string RefusalOf(const std::optional<Right>& right, std::string_view what);

  AccountStore store_;
  std::string userName_;
  bool authenticated_;
  std::optional<Rights> cached_;
};

}  // namespace ws::platform
