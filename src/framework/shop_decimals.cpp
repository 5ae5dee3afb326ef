#include "framework/shop_decimals.h"

#include <algorithm>

#include "db/amount.h"
#include "db/value.h"
#include "forms/typed_number.h"

namespace ws::framework {

int ShopDecimals(host::ISystem& system, int option) {
  const double decimals = db::NumericValue(system.GetOption(12, option));
  return decimals > 0 ? static_cast<int>(std::min(decimals, 15.0)) : 0;
}

int AmountDecimals(host::ISystem& system) {
  return std::min(ShopDecimals(system, kAmountDecimalsOption), db::Amount::kDecimals);
}

bool RoundTypedAmount(host::ISystem& system, std::string& text) {
  if (forms::IsBlankNumberText(text) || !forms::ParseTypedNumber(text)) return false;
  const db::Amount typed = db::Amount::Of(text);
  const db::Amount rounded = typed.RoundedTo(AmountDecimals(system));
  if (!typed.InRange() || rounded == typed) return false;
  text = rounded.Text();
  return true;
}

}  // namespace ws::framework
