// Making a new, empty shop: what `ws init` does (the tables and the default configuration in one
// build that appears only when complete) and what the desktop's 新建维修厂 adds to it in the
// same go: the shop's particulars, its accounting calendar and its first account.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/date.h"
#include "db/default_config.h"
#include "platform/shop_info.h"

namespace ws::shop {

// The tables, the indexes and the default configuration started on startDate, built beside
// the target and moved into place (on a server, one transaction). Answers the error text.
std::string CreateShopDatabase(const std::string& name, bool force, const db::Date& startDate);

struct NewShopSettings {
  db::Date startDate;
  // The day of the month the books close on (31: at the calendar month's end).
  int closingDay = db::kDefaultClosingDay;
  // The current accounting period as yyyymm; nullopt: the period of startDate.
  std::optional<int> period;
  platform::ShopInfo info;
  // The first account, with every right (店主); an empty name leaves the shop without accounts.
  std::string ownerName;
  std::string ownerPassword;
};

// What is wrong with the settings, in the user's words; empty when they can be used. Nothing
// is made.
std::string NewShopProblem(const NewShopSettings& settings);

// A new shop at name (refused when one is there): CreateShopDatabase, then the particulars,
// the calendar and the account, written into the new shop. Answers the error text; a file made
// before a failure is removed, so a new try starts clean.
std::string CreateShop(const std::string& name, const NewShopSettings& settings);

// One line of the going-live checklist: what a shop must hold before its first order, how many
// rows it holds, the list that shows them, and whether only `ws import` brings them (the list
// then shows them read-only).
struct GoingLiveLine {
  std::string caption;
  std::string listClass;
  int64_t rows = 0;
  bool imported = false;
};

// The checklist in the order a shop fills it; a failed count is answered in *error.
std::vector<GoingLiveLine> GoingLiveChecklist(db::IDatabase& db, std::string* error);

}  // namespace ws::shop
