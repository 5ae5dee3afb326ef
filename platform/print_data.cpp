#include "platform/print_data.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

namespace ws::platform {

namespace {

constexpr std::string_view kMagic = "# ws print data ";
constexpr int kVersion = 1;

enum class Place { Name, Value, Cell, TableName };

std::string Escape(std::string_view text, Place place) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += place == Place::Value ? "\t" : "\\t";
        break;
      case '=':
        out += place == Place::Name ? "\\=" : "=";
        break;
      case ']':
        out += place == Place::TableName ? "\\]" : "]";
        break;
      case '[':
      case '#':
        // Only at the start of a line could they be read as a section or a comment.
        if (i == 0 && place == Place::Name) out += '\\';
        out += c;
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
  }
  return out;
}

// Position of the first '=' that no backslash escapes; npos when none.
size_t FindSeparator(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '=') {
      return i;
    }
  }
  return std::string_view::npos;
}

// The text after the leading kind letter, split at tabs and unescaped.
std::vector<std::string> Cells(std::string_view line) {
  std::vector<std::string> cells;
  size_t pos = line.find('\t');
  while (pos != std::string_view::npos) {
    size_t next = line.find('\t', pos + 1);
    std::string_view cell = line.substr(
        pos + 1, next == std::string_view::npos ? std::string_view::npos : next - pos - 1);
    cells.push_back(Unescape(cell));
    pos = next;
  }
  return cells;
}

void WriteCells(std::string& out, char kind, const std::vector<std::string>& cells) {
  out += kind;
  for (const auto& cell : cells) {
    out += '\t';
    out += Escape(cell, Place::Cell);
  }
  out += '\n';
}

}  // namespace

const std::string* PrintFile::Value(const std::string& name) const {
  for (const auto& [n, v] : values) {
    if (n == name) return &v;
  }
  return nullptr;
}

const PrintTable* PrintFile::Table(const std::string& name) const {
  for (const auto& t : tables) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

void PrintData::SetValue(const std::string& name, const std::string& value) {
  for (auto& [n, v] : values_) {
    if (n == name) {
      v = value;
      return;
    }
  }
  values_.emplace_back(name, value);
}

void PrintData::AddTable(const std::string& name, const std::vector<std::string>& columns,
                         const std::vector<std::vector<std::string>>& rows) {
  PrintTable table{name, columns, rows};
  for (auto& t : tables_) {
    if (t.name == name) {
      t = std::move(table);
      return;
    }
  }
  tables_.push_back(std::move(table));
}

std::string PrintData::Text() const {
  std::string out(kMagic);
  out += std::to_string(kVersion) + "\n[Values]\n";
  for (const auto& [name, value] : values_) {
    out += Escape(name, Place::Name) + "=" + Escape(value, Place::Value) + "\n";
  }
  for (const auto& table : tables_) {
    out += "[Table " + Escape(table.name, Place::TableName) + "]\n";
    WriteCells(out, 'H', table.columns);
    for (const auto& row : table.rows) WriteCells(out, 'R', row);
  }
  return out;
}

std::string PrintData::WriteFile(const std::string& path) {
  std::filesystem::path target = PortablePath(path);
  if (target.empty()) return "PrintData: no file name given";
  std::error_code ec;
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
      return "PrintData: cannot create " + target.parent_path().string() + ": " + ec.message();
  }
  std::filesystem::path temp = target;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return "PrintData: cannot write " + temp.string() + ": " + std::strerror(errno);
    std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return "PrintData: cannot write " + temp.string();
    }
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return "PrintData: cannot replace " + target.string() + ": " + ec.message();
  }
  return {};
}

PrintFile ParsePrintText(std::string_view text) {
  PrintFile file;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // an editor's BOM
  enum class Section { None, Values, Table, Unknown } section = Section::None;
  bool first = true;
  size_t lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      if (line.substr(0, kMagic.size()) != kMagic) {
        file.error = "not a print data file (first line \"" + std::string(line) + "\")";
        return file;
      }
      int version = std::atoi(std::string(line.substr(kMagic.size())).c_str());
      if (version < 1 || version > kVersion) {
        file.error = "print data version " + std::string(line.substr(kMagic.size())) +
                     " is newer than this reader";
        return file;
      }
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line == "[Values]") {
        section = Section::Values;
      } else if (line.size() >= 8 && line.substr(0, 7) == "[Table " && line.back() == ']') {
        section = Section::Table;
        file.tables.push_back(PrintTable{Unescape(line.substr(7, line.size() - 8)), {}, {}});
      } else {
        section = Section::Unknown;
      }
      continue;
    }
    auto fail = [&](const std::string& what) {
      file.error = "line " + std::to_string(lineNo) + ": " + what;
      return file;
    };
    switch (section) {
      case Section::Values: {
        size_t sep = FindSeparator(line);
        if (sep == std::string_view::npos) return fail("a value line without \"=\"");
        file.values.emplace_back(Unescape(line.substr(0, sep)), Unescape(line.substr(sep + 1)));
        break;
      }
      case Section::Table: {
        PrintTable& table = file.tables.back();
        if (line[0] == 'H' && (line.size() == 1 || line[1] == '\t')) {
          table.columns = Cells(line);
        } else if (line[0] == 'R' && (line.size() == 1 || line[1] == '\t')) {
          table.rows.push_back(Cells(line));
        } else {
          return fail("a table line that is neither a header (H) nor a row (R)");
        }
        break;
      }
      case Section::None:
        return fail("data before the first section");
      case Section::Unknown:
        break;
    }
  }
  if (first) file.error = "the print data file is empty";
  return file;
}

PrintFile ReadPrintFile(const std::string& path) {
  std::filesystem::path source = PortablePath(path);
  std::ifstream in(source, std::ios::binary);
  if (!in) {
    PrintFile file;
    file.error = "cannot read " + source.string() + ": " + std::strerror(errno);
    return file;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return ParsePrintText(buffer.str());
}

std::filesystem::path PortablePath(const std::string& path) {
  std::string native = path;
  if (std::filesystem::path::preferred_separator != '\\') {
    for (char& c : native) {
      if (c == '\\') c = '/';
    }
  }
  return std::filesystem::path(native);
}

}  // namespace ws::platform
