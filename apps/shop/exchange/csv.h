// CSV as RFC 4180 writes it: records of comma-separated fields, a field in double quotes may
// hold commas, line breaks and doubled quotes (""), records end with CRLF or LF. The text must
// be UTF-8, with or without a byte-order mark.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ws::shop {

struct CsvRecord {
  int line = 0;  // the line the record starts on, from 1
  std::vector<std::string> fields;
};

struct CsvTable {
  std::vector<CsvRecord> records;  // blank lines are skipped
  // Empty when the whole text was read; else what is wrong and on which line (nothing of the
  // text is then to be used).
  std::string error;
  int errorLine = 0;
};

// Reads the whole text. Strict where a lenient reader would guess: a quote inside an unquoted
// field, text after a closing quote, a quote left open at the end and bytes that are not UTF-8
// (a file saved as GBK, say) are errors naming their line.
CsvTable ParseCsv(std::string_view text);

}  // namespace ws::shop
