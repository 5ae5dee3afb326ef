#include "framework/shop_decimals.h"

#include <algorithm>

#include "db/amount.h"
#include "db/value.h"

namespace ws::framework {

int ShopDecimals(host::ISystem& system, int option) {
  const double decimals = db::NumericValue(system.GetOption(12, option));
  return decimals > 0 ? static_cast<int>(std::min(decimals, 15.0)) : 0;
}

int AmountDecimals(host::ISystem& system) {
  return std::min(ShopDecimals(system, kAmountDecimalsOption), db::Amount::kDecimals);
}

}  // namespace ws::framework
