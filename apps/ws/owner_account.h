// The first account of a new shop, made by `ws init` and `ws demo` with --owner NAME: its
// password is read before anything is created (from --password-file, else asked twice on the
// terminal), so a refused password leaves no shop behind.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "shop/args.h"

namespace ws::platform {
class AccountStore;
class EngineDatabase;
}  // namespace ws::platform

namespace ws::cli {

struct OwnerAccount {
  std::string name;
  std::string password;
};

// nullopt without --owner (the shop stays open to any name) or, with *error set, when the name
// or the password cannot be used.
std::optional<OwnerAccount> ReadOwner(const shop::Arguments& arguments, std::string* error);

// Proves that the --as OWNER of a shop with accounts is who he says, with his password from
// --as-password-file, WS_PASSWORD or the terminal, and that he holds the 管理 right for `what`.
// Answers the refusal, empty when he may go on.
std::string ProveManager(platform::EngineDatabase& database, platform::AccountStore& accounts,
                         const shop::Arguments& arguments, const std::string& what);

// Adds the owner (role 店主) to the new shop; with demoStaff also the demo's clerk, checker and
// cashier, whose names, roles and passwords are printed (they are the demo's, written in the
// README). Answers the error text.
std::string AddAccounts(const std::string& shop, const OwnerAccount& owner, bool demoStaff,
                        std::ostream& out);

}  // namespace ws::cli
