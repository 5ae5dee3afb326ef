// The host's grid pack of lists and reports: find a text in one column and find it again, show
// only the rows that share the current row's value in a column, sort by a column, and write the
// grid out as CSV. It works on a grid it is attached to and keeps the find and filter state
// between calls, as the host's component does for the window it serves.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "forms/grid.h"

namespace ws::forms {

class GridPack {
 public:
  // The grid must outlive the pack (or be detached with Attach(nullptr)).
  void Attach(Grid* grid);
  Grid* Attached() const { return grid_; }

  // Looks for the first visible data row, from the top, whose cell in col contains text
  // (letters compared without case) and makes it current. Answers the row, -1 when none
  // matches; the text and column are kept for FindNext either way.
  int Find(int col, const std::string& text);
  // The next match after the current row, wrapping to the top once; -1 when there was no Find
  // or nothing matches.
  int FindNext();
  const std::string& FindText() const { return findText_; }
  int FindCol() const { return findCol_; }

  // Shows only the data rows whose text in col equals the current row's; subtotal rows are
  // hidden too, as their sums no longer describe what is shown. Called while a filter is on,
  // it shows every row again instead. Answers the number of visible data rows.
  int Filter(int col);
  void ClearFilter();
  bool Filtering() const { return filterCol_ >= 0; }

  // 1 ascending, 2 descending (numbers compare as numbers).
  void Sort(int col, int order);

  // Forgets the filter after the rows were reloaded; the find text stays for FindNext.
  void Reset() { filterCol_ = -1; }

  // The host's "doubleunit" setting, kept for the print of quantities in two units.
  bool doubleUnit = false;

 private:
  int Search(int fromRow, int toRow) const;

  Grid* grid_ = nullptr;
  std::string findText_;
  int findCol_ = -1;
  int filterCol_ = -1;
};

// What a user sees of a grid: the captions of the visible columns, and every visible row below
// the header with its cells as shown (numbers through their column format). Print, CSV and PDF
// all put out this.
struct ShownCells {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};
ShownCells ShownGridCells(const Grid& grid);

// The grid as CSV (RFC 4180, CRLF line ends): a header line of the visible columns' captions,
// then one line per visible row below the header, cells as the grid shows them (numbers
// through their column format). A cell holding a comma, quote or line break is quoted with its
// quotes doubled. A text a spreadsheet would run as a formula (starting with =, +, -, @, a tab
// or a carriage return, and not a number) gets a leading apostrophe.
// Without `header` only the rows' lines: a chunk of a report written as it is read.
std::string GridCsv(const Grid& grid, bool header = true);
// One cell as GridCsv writes it.
std::string CsvCell(const std::string& cell);

}  // namespace ws::forms
