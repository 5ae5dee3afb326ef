// The host-script parser reads files a user wrote: it must never crash on any text, and the
// words of a line must read back the same when each is written quoted, as a script writer
// (or a tool generating scripts) would quote them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "shop/script/script_parser.h"

namespace {

std::string Quoted(const std::string& word) {
  std::string out = "\"";
  for (char c : word) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ws::shop::Script script = ws::shop::ParseScript(text);
  for (const auto& error : script.errors) {
    if (error.message.empty()) std::abort();
  }

  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    std::vector<std::string> words;
    std::string error;
    if (ws::shop::SplitScriptLine(line, words, &error) && !words.empty()) {
      std::string again;
      for (const auto& word : words) again += (again.empty() ? "" : " ") + Quoted(word);
      std::vector<std::string> reread;
      if (!ws::shop::SplitScriptLine(again, reread, &error) || reread != words) std::abort();
    }
    start = end + 1;
  }
  return 0;
}
