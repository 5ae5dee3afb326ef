// The first account of a new shop, made by `ws init` and `ws demo` with --owner NAME: its
// password is read before anything is created (from --password-file, else asked twice on the
// terminal), so a refused password leaves no shop behind.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "shop/args.h"

namespace ws::cli {

struct OwnerAccount {
  std::string name;
  std::string password;
};

// nullopt without --owner (the shop stays open to any name) or, with *error set, when the name
// or the password cannot be used.
std::optional<OwnerAccount> ReadOwner(const shop::Arguments& arguments, std::string* error);

// Adds the owner (role 店主) to the new shop; with demoStaff also the demo's clerk, checker and
// cashier, whose names, roles and passwords are printed (they are the demo's, written in the
// README). Answers the error text.
std::string AddAccounts(const std::string& shop, const OwnerAccount& owner, bool demoStaff,
                        std::ostream& out);

}  // namespace ws::cli
