// Layout files are plain text a user may edit or a crash may cut short. Reading one must never
// crash, and a value set by a window must read back the
// same after the file is written and read again, whatever the rest of the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "grid/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The first two lines of the input name a section and a key to set; the rest is the file.
  const size_t first = input.find('\n');
  const size_t second = first == std::string_view::npos ? first : input.find('\n', first + 1);
  if (second == std::string_view::npos) {
    (void)ws::grid::Profile::Parse(input).Text();
    return 0;
  }
  const std::string section(input.substr(0, first));
  const std::string key(input.substr(first + 1, second - first - 1));
  const std::string_view file = input.substr(second + 1);

  ws::grid::Profile profile = ws::grid::Profile::Parse(file);
  (void)profile.GetInt(section, key, 0);
  (void)profile.GetBool(section, key, false);
  const std::string value = "v=" + key + "\t" + section;
  try {
    profile.Set(section, key, value);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  if (profile.Get(section, key, "") != value) std::abort();
  const ws::grid::Profile reread = ws::grid::Profile::Parse(profile.Text());
  if (reread.Get(section, key, "") != value) std::abort();
  return 0;
}
