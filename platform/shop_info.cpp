#include "platform/shop_info.h"

#include <array>
#include <utility>

#include "db/runner.h"
#include "db/sql.h"
#include "forms/text.h"

namespace ws::platform {

namespace {

// The four particulars with their option names.
template <typename Info>
auto Fields(Info& info) {
  using Text = decltype(&info.name);
  return std::array<std::pair<const char*, Text>, 4>{{
      {kShopNameOption, &info.name},
      {kShopAddressOption, &info.address},
      {kShopPhoneOption, &info.phone},
      {kShopTaxNumberOption, &info.taxNumber},
  }};
}

}  // namespace

ShopInfo LoadShopInfo(db::IDatabase& db, std::string* error) {
  ShopInfo info;
  db::Runner runner(db);
  for (auto& [option, text] : Fields(info)) {
    std::string failed;
    *text = runner.ScalarText(db::Sql("SELECT value FROM ws_option WHERE module = ")
                                  .Key(kShopInfoModule)
                                  .Raw(" AND name = ")
                                  .Text(option),
                              &failed);
    if (!failed.empty()) {
      if (error) *error = failed;
      return info;
    }
  }
  return info;
}

std::string SaveShopInfo(db::IDatabase& db, const ShopInfo& info) {
  db::Transaction tx(db);
  for (const auto& [option, text] : Fields(info)) {
    tx.Run(db::Sql("INSERT INTO ws_option (module, name, value) VALUES (")
               .Key(kShopInfoModule)
               .Raw(", ")
               .Text(option)
               .Raw(", ")
               .Text(forms::Trim(*text))
               .Raw(") ON CONFLICT (module, name) DO UPDATE SET value = excluded.value"));
  }
  if (tx.Failed() || !tx.Commit()) return tx.Error();
  return {};
}

}  // namespace ws::platform
