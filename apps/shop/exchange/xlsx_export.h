// A grid as a spreadsheet (.xlsx): the visible columns with their captions and widths, the
// visible rows below the header, and numbers and dates stored as such so that the sheet sums
// and sorts them. Totals and subtotal rows are set in bold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/grid.h"
#include "platform/output_file.h"

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
// it is read. Each row goes into the file's deflated sheet as it is written (its texts inline,
// no shared table), so a sheet of any length takes the memory of one chunk. The file replaces
// what stood at the path once whole (Finish), and stays away when the writer is dropped before.
class SheetWriter {
 public:
  SheetWriter(const std::filesystem::path& file, const std::string& sheetName);
  ~SheetWriter();
  SheetWriter(const SheetWriter&) = delete;
  SheetWriter& operator=(const SheetWriter&) = delete;

  // The grid's visible rows below those written before. The first grid also sets the columns:
  // the visible ones, their captions, widths and kinds (read from its rows, see SheetKindOf; a
  // later cell its kind does not take goes in as text).
  void Add(const forms::Grid& grid, const SheetLayout* layout = nullptr);
  // The layout's totals row, then the file into place; answers the error text, empty on
  // success. A text longer than a sheet cell takes is cut with a visible mark, and *notice
  // then names the cells; rows past the last a sheet holds are left out, and *notice says
  // how many.
  std::string Finish(std::string* notice = nullptr, const SheetLayout* layout = nullptr);

 private:
  struct Column;
  class Deflater;
  void Start(const forms::Grid& grid, const SheetLayout* layout);
  int NumberStyle(const std::string& pattern);
  void Text(std::string_view ref, std::string_view text, bool bold);
  // A cell of the row being written holding a number (a day's serial for a date) in a style.
  void Value(std::string_view ref, std::string_view digits, int style);
  void Flush(bool always);
  bool Part(const char* name, std::string_view xml);
  void Fail(const std::string& why);

  std::string fileName_;
  std::string sheetName_;
  std::unique_ptr<platform::OutputFile> out_;
  std::string error_;
  void* zip_ = nullptr;  // minizip's handle, the sheet's entry open in it until Finish
  std::unique_ptr<Deflater> deflater_;
  std::string xml_;  // the sheet's XML not yet handed to the deflater
  std::string row_;  // the number of the row being written
  uint64_t sheetBytes_ = 0;
  std::vector<Column> columns_;
  std::vector<std::string> patterns_;  // the number formats, in the order of their styles
  bool started_ = false;
  uint32_t sheetRow_ = 1;
  std::vector<std::string> cut_;
  uint64_t dropped_ = 0;  // rows past the last a sheet holds
};

// Writes the file (replacing it once whole); answers the error text, empty on success. What
// stood at the path stays when writing fails. A text longer than a sheet cell takes is cut
// with a visible mark, and *notice then names the cells.
std::string WriteGridXlsx(const forms::Grid& grid, const std::filesystem::path& file,
                          const std::string& sheetName, std::string* notice = nullptr,
                          const SheetLayout* layout = nullptr);

}  // namespace ws::shop
