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

}  // namespace ws::forms
