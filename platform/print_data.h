// The host's print-data component and the reader of the files it writes.
//
// A print file is plain UTF-8 text, one item per line ("\n"; a "\r\n" is read as well):
//
//   # ws print data 1
//   [Values]
//   金额大写=壹仟贰佰叁拾肆元伍角整
//   [Table ywGridXM]
//   H<TAB>序号<TAB>编码<TAB>维修项目
//   R<TAB>1<TAB>X01<TAB>换机油
//
// The first line names the format and its version. "[Values]" holds name=value lines in the
// order they were set; each "[Table NAME]" holds one "H" line with the column names, then one
// "R" line per row, each cell after a tab ("R" alone is a row of no cells, "R<TAB>" a row of
// one empty cell). Inside names, values and cells a backslash escapes: "\\" backslash, "\n"
// line feed, "\r" carriage return, "\t" tab; "=" in a name, "]" in a table name and a "[" or
// "#" that starts a name are written "\=", "\]", "\[", "\#". Blank lines and lines starting
// with "#" are comments; sections of unknown kinds are skipped.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/system.h"

namespace ws::platform {

struct PrintTable {
  std::string name;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

struct PrintFile {
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<PrintTable> tables;
  std::string error;  // empty when the file was read completely

  // The value of a name; nullptr when the file has none.
  const std::string* Value(const std::string& name) const;
  const PrintTable* Table(const std::string& name) const;
};

class PrintData : public host::IPrintData {
 public:
  // Setting a name again replaces its value in its first place.
  void SetValue(const std::string& name, const std::string& value) override;
  // A table of the same name replaces the earlier one in its place. Rows are written as given,
  // whatever their length.
  void AddTable(const std::string& name, const std::vector<std::string>& columns,
                const std::vector<std::vector<std::string>>& rows) override;
  // Writes the file in the format above, creating missing folders; the file is replaced whole
  // (written beside it, then renamed), so a reader never sees half a file. Answers the error
  // text, empty on success.
  std::string WriteFile(const std::string& path) override;

  // The file's text as WriteFile writes it.
  std::string Text() const;

 private:
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<PrintTable> tables_;
};

// Reads a print file; error says what was wrong (the parts read so far are kept).
PrintFile ReadPrintFile(const std::string& path);
// Reads the text of a print file.
PrintFile ParsePrintText(std::string_view text);

// A path as the module builds it ("<work folder>\selfPrint\200001.txt") for this system:
// backslashes become the native separator where they are not one.
std::filesystem::path PortablePath(const std::string& path);

}  // namespace ws::platform
