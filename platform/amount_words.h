// The host's amount-to-words service: an amount of money in capital Chinese numerals, as
// cheques, invoices and receipts write it (1234.5 -> "壹仟贰佰叁拾肆元伍角整").
#pragma once

#include <string>

#include "db/amount.h"

namespace ws::platform {

// The amount is first rounded half away from zero to fen (two decimals), exactly. Then:
// - yuan in groups of four digits with 万 and 亿 (10^12 reads 壹万亿); a run of zeros inside a
//   group, or opening a group after a higher written one, is written as one 零 (1001 壹仟零壹,
//   1010000 壹佰零壹万, 100010000 壹亿零壹万); zeros that close a group or the yuan are not
//   written (10001000 壹仟万壹仟, 1680.32 壹仟陆佰捌拾元叁角贰分): financial documents allow
//   the 零 there or not, and this service leaves the optional 零 out; a ten is 壹拾;
// - 元 follows the yuan when there are any; 零 stands between yuan and fen when there are no
//   jiao (1001.01 壹仟零壹元零壹分); an amount below one yuan starts with its first non-zero
//   place (0.05 伍分);
// - 整 closes an amount that ends with 元 or 角 (no fen); 0 is "零元整";
// - a negative amount (one that does not round to 0) is prefixed with 负.
// An amount beyond db::Amount's limit answers "".
std::string AmountInWords(const db::Amount& amount);

}  // namespace ws::platform
