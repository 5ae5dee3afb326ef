#include "forms/text.h"

#include <cctype>

namespace ws::forms {

std::string_view TrimView(std::string_view text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

std::string FoldCase(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsNoDateStandIn(std::string_view text) {
  constexpr std::string_view kNoDate = "1900-01-01";
  return text.substr(0, kNoDate.size()) == kNoDate &&
         (text.size() == kNoDate.size() || text[kNoDate.size()] == ' ' ||
          text[kNoDate.size()] == 'T');
}

}  // namespace ws::forms
