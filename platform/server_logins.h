// On PostgreSQL the server is the boundary: each account of the shop is a server login, and
// what a connection may write follows the rights of its account's role, whatever program (or
// psql) it comes from. The shop's tables belong to an owner role nobody logs in as; a group
// role per right holds the grants: every account reads the shop and writes the counters and
// its own settings; 录入 writes repair orders, requisitions and vehicles; 审核 their status and
// the stock journal; 收款 settlements, receipts and the general ledger; 管理 every table and
// the accounts. The groups are named after the database and schema (cluster-wide names), e.g.
// "shop_public_enter".
#pragma once

#include <optional>
#include <string>

#include "db/database.h"

namespace ws::platform {

class PostgresDatabase;

class ServerLogins {
 public:
  // The database must outlive this object.
  explicit ServerLogins(PostgresDatabase& db) : db_(db) {}

  // Makes the owner and group roles, hands the shop's tables to the owner role, grants the
  // groups their rights and installs the function accounts are made with. Run once by a role
  // that may create roles (the shop's creator) when the shop gets its first account; running
  // it again brings the grants up to date. Answers the error text.
  std::string Install();
  // The login the connection was made as (session_user); "" when it cannot be read.
  std::string ConnectedLogin();
  // Whether Install has run on this shop.
  bool Installed(std::string* error = nullptr);
  // Whether the shop's server rules are this program's (Install of this version has run).
  bool Current(std::string* error = nullptr);
  // The account as a server login: made when missing, its password set (as a SCRAM verifier
  // made here, so the clear password never reaches the server) when one is given, LOGIN only
  // while active, and a member of exactly the groups of its rights. rights: the rights' group
  // words ("enter,check"). Runs in the caller's transaction. Answers the error text.
  std::string Sync(const std::string& account, const std::optional<std::string>& password,
                   const std::string& rights, bool active);

 private:
  PostgresDatabase& db_;
};

// The group word of a right name (录入 -> "enter" ...), "" for an unknown one.
std::string ServerGroupOf(const std::string& rightName);

}  // namespace ws::platform
