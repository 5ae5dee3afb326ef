// Number formats of the host's fields, grid columns and labels ("###", "###.##", "##0.00",
// "0000", "#,##0.00" ...), the way a counter clerk reads them.
//
// A format is an integer part and an optional "." with a decimal part, written with the
// placeholders "0" (always shown) and "#" (shown when needed):
// - integer part: as many digits as the value needs, at least as many as it has "0"s and
//   never fewer than one, so 0 shows "0" and 0.5 shows "0.5" under "###" / "###.##" (where the
//   desktop's formatter would show "" and ".5": an amount of nothing reads "0" on a receipt);
//   a "," in it groups thousands;
// - decimal part: rounded half away from zero to as many places as it has placeholders; the
//   "0" places always show, "#" places only when not zero; a "." with nothing shown after it
//   is dropped ("###.##" of 12 is "12", "###." of 12.7 is "13");
// - a negative value gets a leading "-", unless it rounds to zero;
// - text before the first and after the last placeholder is copied as it stands ("0.00元");
// - a format without placeholders (the empty one too) gives the plain decimal text (at most 10
//   decimals, trailing zeros dropped).
// Values that are not finite format as 0.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::forms {

std::string FormatNumber(double value, std::string_view format);

// FormatNumber of the number a stored text reads as, where that can be read off the text
// itself: a plain decimal ("-1234.5") of at most 15 digits, which a double holds exactly to
// those digits, under a format of fixed places without grouping or other text ("###.00",
// "##0.00", "###"). Answers nothing otherwise; FormatNumber then says. A report of a million
// rows formats every amount, and the stored amounts are nearly all of this kind.
std::optional<std::string> FormatNumberText(std::string_view text, std::string_view format);

// The column format for a number of decimals: "###" for 0 (or less), otherwise "###." and
// that many "0" (fixed: always shown) or "#" (shown when not zero).
std::string DecimalsFormat(int decimals, bool fixed);

// The value rounded half away from zero to `decimals` places (0 to 15), as fixed-point text
// with exactly that many decimals: 1.005 -> "1.01", -2.5 with 0 places -> "-3". The rounding
// works on the value's shortest decimal reading (15 significant digits), so binary noise such
// as 1.00499999999999989 for 1.005 does not round down. Not finite counts as 0.
std::string FixedText(double value, int decimals);

// The lenient reading of a stored number (a cell, a key, an option, a database text): leading
// blanks are skipped and the longest numeric prefix counts ("12.5kg" is 12.5, "1e3" 1000, "1e"
// 1); nullopt when no digit starts the text or the value is not finite. Always the point as
// the decimal mark, whatever the process locale. What a user types is read strictly instead
// (forms/typed_number.h).
std::optional<double> ReadLeadingNumber(std::string_view text);

// The exact sum of stored numbers as plain decimal text (no exponent, no trailing zeros): each
// read as ReadLeadingNumber reads it, but digit by digit, so a column of a million amounts adds
// up to the cent. nullopt when a text has an exponent, more than 10 decimals or more than 24
// whole digits; the caller then adds doubles.
std::optional<std::string> DecimalSum(const std::vector<std::string_view>& texts);

}  // namespace ws::forms
