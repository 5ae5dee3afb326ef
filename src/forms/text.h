// Small text helpers every layer uses on typed text: trimming blanks as a field does, suffix
// tests and case folding for ASCII letters (Chinese text has no case).
#pragma once

#include <string>
#include <string_view>

namespace ws::forms {

// Without leading and trailing blanks and tabs.
std::string_view TrimView(std::string_view text);
inline std::string Trim(std::string_view text) {
  return std::string(TrimView(text));
}
// Whether a stored date is the stand-in for none (1900-01-01, with or without a time of day),
// which every screen and print shows as an empty date.
bool IsNoDateStandIn(std::string_view text);
inline bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
// Lower-cases ASCII letters.
std::string FoldCase(std::string text);
// Equal but for the case of ASCII letters, as names of tables, columns and fields compare.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);
// The text with each byte that starts no well-formed character replaced by U+FFFD, the mark
// every program shows for an unreadable character: what a pasted or scripted text with broken
// bytes becomes before it is kept, so a spreadsheet or the server can read it.
std::string RepairUtf8(std::string_view text);
// At most maxBytes of the text, cut before a character that would not fit whole.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);

}  // namespace ws::forms
