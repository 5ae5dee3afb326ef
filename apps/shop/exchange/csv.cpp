#include "shop/exchange/csv.h"

namespace ws::shop {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when the bytes there are not one.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned minimum = 0;
  unsigned code = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, code = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, code = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

CsvTable ParseCsv(std::string_view text) {
  CsvTable table;
  auto fail = [&](int line, std::string message) {
    table.records.clear();
    table.error = std::move(message);
    table.errorLine = line;
    return table;
  };

  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  {
    int line = 1;
    for (size_t i = 0; i < text.size();) {
      const size_t length = Utf8Length(text, i);
      if (length == 0) {
        return fail(line, "the text is not UTF-8 (save the file as UTF-8, not GBK or ANSI)");
      }
      if (text[i] == '\n') ++line;
      i += length;
    }
  }

  int line = 1;
  size_t i = 0;
  const size_t n = text.size();
  auto atLineEnd = [&](size_t k) { return k < n && (text[k] == '\n' || text[k] == '\r'); };
  // Steps over one line break (CRLF, LF or a lone CR) at k.
  auto skipLineEnd = [&](size_t& k) {
    if (text[k] == '\r' && k + 1 < n && text[k + 1] == '\n') ++k;
    ++k;
    ++line;
  };

  while (i < n) {
    CsvRecord record;
    record.line = line;
    if (atLineEnd(i)) {  // a blank line
      skipLineEnd(i);
      continue;
    }
    for (;;) {
      std::string field;
      if (i < n && text[i] == '"') {
        const int opened = line;
        ++i;
        for (;;) {
          if (i >= n) return fail(opened, "a quoted field is not closed");
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= n || text[i + 1] != '\n'))) {
            ++line;
          }
          field += text[i++];
        }
        if (i < n && text[i] != ',' && !atLineEnd(i)) {
          return fail(line, "text after the closing quote of a field");
        }
      } else {
        while (i < n && text[i] != ',' && !atLineEnd(i)) {
          if (text[i] == '"') {
            return fail(line, "a quote inside a field that does not start with a quote");
          }
          field += text[i++];
        }
      }
      record.fields.push_back(std::move(field));
      if (i < n && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < n) skipLineEnd(i);
      break;
    }
    table.records.push_back(std::move(record));
  }
  return table;
}

}  // namespace ws::shop
