// Statement translation gets every statement the module sends, typed values included: it must
// never crash, hang or read past the text, and a text holding none of the forms it rewrites must
// come back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sql_translator.h"

namespace {

bool ContainsFolded(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() &&
           static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + k]))) == word[k]) {
      ++k;
    }
    if (k == word.size()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using ws::platform::SqlTarget;
  const std::string sqlite = ws::platform::TranslateSql(text, SqlTarget::Sqlite);
  const std::string postgres = ws::platform::TranslateSql(text, SqlTarget::Postgres);

  const bool nothingToRewrite = text.find('#') == std::string_view::npos &&
                                !ContainsFolded(text, "top") && !ContainsFolded(text, "isnull") &&
                                !ContainsFolded(text, "iif");
  if (nothingToRewrite && sqlite != text) std::abort();
  if (nothingToRewrite && !ContainsFolded(text, "like") &&
      text.find('?') == std::string_view::npos && postgres != text) {
    std::abort();
  }

  // A normalised date is "yyyy-mm-dd" and maybe a time, or nothing.
  const std::string date = ws::platform::NormaliseDateLiteral(text);
  if (!date.empty() && (date.size() < 10 || date[4] != '-' || date[7] != '-')) std::abort();
  return 0;
}
