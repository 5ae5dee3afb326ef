// The shop's decimals, options of module 12: how many places a quantity (7), a unit price (9)
// and an amount (12) are shown with. The amount decimals are also what the till collects: an
// amount the module computes and then stores, posts or collects is rounded to them.
#pragma once

#include <string>

#include "host/system.h"

namespace ws::framework {

inline constexpr int kQuantityDecimalsOption = 7;
inline constexpr int kPriceDecimalsOption = 9;
inline constexpr int kAmountDecimalsOption = 12;

// The option's number of decimals; an empty or negative option is 0.
int ShopDecimals(host::ISystem& system, int option);
// The amount decimals (option 12), at most the four an amount column holds.
int AmountDecimals(host::ISystem& system);
// A typed amount of more decimals than the till takes, rounded to the amount decimals: true
// when the text changed. A blank, unreadable or out-of-range text is left as it is.
bool RoundTypedAmount(host::ISystem& system, std::string& text);

}  // namespace ws::framework
