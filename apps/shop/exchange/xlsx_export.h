// A grid as a spreadsheet (.xlsx): the visible columns with their captions and widths, the
// visible rows below the header, and numbers and dates stored as such so that the sheet sums
// and sorts them. Totals and subtotal rows are set in bold.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "forms/grid.h"

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

// Writes the file (replacing it once whole); answers the error text, empty on success. What
// stood at the path stays when writing fails. A text longer than a sheet cell takes is cut
// with a visible mark, and *notice then names the cells.
std::string WriteGridXlsx(const forms::Grid& grid, const std::filesystem::path& file,
                          const std::string& sheetName, std::string* notice = nullptr,
                          const SheetLayout* layout = nullptr);

}  // namespace ws::shop
