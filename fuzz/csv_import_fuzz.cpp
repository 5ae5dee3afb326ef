// CSV import reads files from other programs: any bytes must give records or a located error,
// never a crash, and records that were read must survive being written back with every field
// quoted (what the export and a spreadsheet write).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "shop/exchange/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ws::shop::CsvTable table = ws::shop::ParseCsv(text);
  if (!table.error.empty()) {
    if (table.errorLine < 1) std::abort();
    return 0;
  }
  std::string written;
  for (const auto& record : table.records) {
    for (size_t i = 0; i < record.fields.size(); ++i) {
      if (i > 0) written += ',';
      written += '"';
      for (char c : record.fields[i]) {
        if (c == '"') written += '"';
        written += c;
      }
      written += '"';
    }
    written += "\r\n";
  }
  const ws::shop::CsvTable again = ws::shop::ParseCsv(written);
  if (!again.error.empty() || again.records.size() != table.records.size()) std::abort();
  for (size_t r = 0; r < table.records.size(); ++r) {
    if (again.records[r].fields != table.records[r].fields) std::abort();
  }
  return 0;
}
