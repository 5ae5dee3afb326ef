// A grid as a spreadsheet (.xlsx): the visible columns with their captions and widths, the
// visible rows below the header, and numbers and dates stored as such so that the sheet sums
// and sorts them. Totals and subtotal rows are set in bold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forms/grid.h"
#include "platform/output_file.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace ws::shop {

// How a column's cells go into the sheet.
enum class SheetKind { Text, Number, Date };

// A column is numeric when its data type or format says so, or when every filled cell reads
// as a plain number and the caption does not name a code, a number or a phone (a work-order
// number of digits, a phone number stay text); it holds dates when every filled cell is one.
SheetKind SheetKindOf(const forms::Grid& grid, int col);

// What a window shows beyond its grid's model: the widths the clerk sees (in characters, 0
// for the grid's own) and the totals row drawn under it (one text a column, none when empty).
struct SheetLayout {
  std::vector<double> widths;
  std::vector<std::string> totals;
};

// A sheet written a grid at a time: a report streamed to a file hands it each chunk of rows as
// it is read. The file replaces what stood at the path once whole (Finish), and stays away when
// the writer is dropped before.
class SheetWriter {
 public:
  // constantMemory: each row goes to disk as it is written (the sheet's texts inline rather than
  // in the shared table), so a sheet of any length takes the memory of one row.
  SheetWriter(const std::filesystem::path& file, const std::string& sheetName, bool constantMemory);
  ~SheetWriter();
  SheetWriter(const SheetWriter&) = delete;
  SheetWriter& operator=(const SheetWriter&) = delete;

  // The grid's visible rows below those written before. The first grid also sets the columns:
  // the visible ones, their captions, widths and kinds (read from its rows, see SheetKindOf; a
  // later cell its kind does not take goes in as text).
  void Add(const forms::Grid& grid, const SheetLayout* layout = nullptr);
  // The layout's totals row, then the file into place; answers the error text, empty on
  // success. A text longer than a sheet cell takes is cut with a visible mark, and *notice
  // then names the cells.
  std::string Finish(std::string* notice = nullptr, const SheetLayout* layout = nullptr);

 private:
  struct Column;
  void Start(const forms::Grid& grid, const SheetLayout* layout);
  lxw_format* NumberFormat(const std::string& pattern, bool bold);

  std::string fileName_;
  std::string tempFolder_;  // the workbook keeps the pointer to it
  std::unique_ptr<platform::OutputFile> out_;
  std::string error_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* bold_ = nullptr;
  lxw_format* dateFormat_ = nullptr;
  lxw_format* boldDate_ = nullptr;
  std::vector<Column> columns_;
  std::map<std::pair<std::string, bool>, lxw_format*> numberFormats_;
  bool started_ = false;
  uint32_t sheetRow_ = 1;
  std::vector<std::string> cut_;
};

// Writes the file (replacing it once whole); answers the error text, empty on success. What
// stood at the path stays when writing fails. A text longer than a sheet cell takes is cut
// with a visible mark, and *notice then names the cells.
std::string WriteGridXlsx(const forms::Grid& grid, const std::filesystem::path& file,
                          const std::string& sheetName, std::string* notice = nullptr,
                          const SheetLayout* layout = nullptr);

}  // namespace ws::shop
