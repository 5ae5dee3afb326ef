// The shop's own particulars, printed at the head of every page: name, address, telephone and
// tax number. They live among the host's options of module 12 (ws_option), where the print
// templates' {{shop.*}} placeholders read them, so a shop file needs no table of its own.
#pragma once

#include <string>

#include "db/database.h"

namespace ws::platform {

struct ShopInfo {
  std::string name;
  std::string address;
  std::string phone;
  std::string taxNumber;

  bool operator==(const ShopInfo&) const = default;
};

// The option names under module 12.
inline constexpr int kShopInfoModule = 12;
inline constexpr const char* kShopNameOption = "shopname";
inline constexpr const char* kShopAddressOption = "shopaddress";
inline constexpr const char* kShopPhoneOption = "shopphone";
inline constexpr const char* kShopTaxNumberOption = "shoptaxno";

// What the shop file holds; a particular never set is empty. A failed read is reported in
// *error (when given) and answers what was read before it.
ShopInfo LoadShopInfo(db::IDatabase& db, std::string* error = nullptr);

// Writes all four in one transaction (surrounding blanks trimmed): all of them or, on failure,
// none. Answers the error text, empty on success.
std::string SaveShopInfo(db::IDatabase& db, const ShopInfo& info);

}  // namespace ws::platform
