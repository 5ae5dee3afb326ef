// The one reading of a number a user types into a number field or a number cell. It is strict
// where the module's numeric value of a text (db::NumericValue) is lenient: that reading takes
// the longest numeric prefix, so "1,000.50" would be 1 and "12abc" 12, which is right for
// values the database hands back but wrong for what a clerk types. It never depends on the
// process locale: a comma is a thousands separator and the point the decimal point, as on
// every counter the module serves.
//
// Accepted, after blanks at either end (ASCII and the ideographic blank U+3000) are dropped:
// - an optional sign ("+" or "-"), then digits with an optional "." and decimal digits
//   ("12", "-0.5", ".5", "5.");
// - the whole part grouped by thousands with "," or with single blanks, one kind throughout,
//   every group after the first exactly three digits ("1,000.50", "1 000", "12,345,678");
// - full-width digits, sign, point, comma and blank, as a Chinese input method types them
//   ("１２．５" is 12.5).
// Refused: anything else ("12abc", "1,5", "1,00", "1e3", "0x10", "1,000 000", "--1", a lone
// sign or point), and values beyond kMaxTypedNumber in size (no shop amount, quantity or price
// is that large, and beyond it doubles lose the cents).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ws::forms {

inline constexpr double kMaxTypedNumber = 1e15;

struct TypedNumber {
  double value = 0;
  // The number as plain ASCII text, as the field or cell keeps it: no blanks, no grouping,
  // no "+", a "0" before a bare point, the decimals as typed ("1,000.50" gives "1000.50",
  // "－.5" gives "-0.5"); zero carries no sign.
  std::string text;
};

// The number the text stands for; nullopt when the text is empty (after trimming) or refused.
std::optional<TypedNumber> ParseTypedNumber(std::string_view typed);

// True when the text holds nothing but blanks: an empty number field or cell (0 where a value
// is needed) is always allowed.
bool IsBlankNumberText(std::string_view typed);

}  // namespace ws::forms
