// The host's grids (ywGrid line grids and VSFlexGrid lists): fixed header rows and columns,
// cells holding a text and an optional key, per-column captions, widths, formats and flags.
// Row and column numbers count from 0 and include the fixed rows, as the host grid does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/text_pool.h"
#include "forms/widget.h"

namespace ws::forms {

struct Cell {
  std::string text;
  std::string key;  // optional key (the id behind a code), "" when none
};

struct Column {
  int width = 1000;  // twips; the stored width survives while the column is hidden
  bool hidden = false;
  std::string format;  // "###.##", "0.00" ...; empty shows the text as stored
  int dataType = 0;    // host data-type code; 0 = text
  int alignment = 0;   // host alignment code; 0 = general
  bool merge = false;
  bool editable = true;  // whether the user may type into this column
  // Whether the keyboard's movement through the cells (Tab, the arrows) stops in it: a
  // column shown for reading only is passed over, so the clerk's typing never lands there.
  bool keyStop = true;
  int sort = 0;  // sort code applied from the layout file
  int64_t readOnlyForeColor = -1;
  int64_t readOnlyBackColor = -1;
  // The column's number in layout files ("VsCol<n>", src/grid/layout.h); -1 for its position.
  // A list that gains a column in the middle keeps every saved width and hidden flag on the
  // column it was saved for.
  int layoutNumber = -1;
};

// Texts in the order a clerk reads codes: runs of digits by their value ("V2" before "V10",
// "9" before "10"), everything else byte by byte, so Chinese text keeps its stored order. Equal
// numbers written with more leading zeros ("007" and "7") come after the shorter one, so the
// order is total and a sort is repeatable.
bool NaturalLess(std::string_view x, std::string_view y);

class Grid : public Widget {
 public:
  explicit Grid(std::string name, int index = -1, std::string typeName = kLineGrid);

  // --- Shape.
  int Rows() const { return static_cast<int>(cells_.size()); }
  int Cols() const { return static_cast<int>(columns_.size()); }
  void SetRows(int rows);
  // Room for that many rows without moving the ones there: a list of a hundred thousand rows
  // that knows its size grows no slots it does not fill, nor copies them for its totals row.
  void ReserveRows(int rows);
  void SetCols(int cols);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int rows);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int cols) { fixedCols_ = cols; }
  int FrozenCols() const { return frozenCols_; }
  void SetFrozenCols(int cols) { frozenCols_ = cols; }
  int DataRows() const { return Rows() - fixedRows_; }
  bool IsDataRow(int row) const { return row >= fixedRows_ && row < Rows(); }
  // Appends an empty data row and answers its number.
  int AddRow();
  void RemoveRow(int row);
  // Cuts the grid back to its fixed rows.
  void ClearData();
  // Distinct texts the cells hold (each kept once, however many cells show it).
  size_t StoredTexts() const { return texts_.Size(); }

  // Columns from a host format string: "行号|项目编码      |..." gives one column per piece,
  // its trimmed text as the header caption and its length (blanks included) as the width.
  void SetFormatString(std::string_view format);
  static int WidthOfText(std::string_view text);  // twips for a header text with its blanks
  static int WidthOfColumns(int characters);      // twips for that many narrow characters

  // --- Cells.
  const std::string& TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, std::string text);
  // The same from a text the caller keeps: one the grid holds already is not copied.
  void SetCellText(int row, int col, std::string_view text);
  const std::string& CellKey(int row, int col) const;
  int64_t CellKeyLong(int row, int col) const;
  void SetCellKey(int row, int col, std::string key);
  // The text as shown: numbers through the column format.
  std::string DisplayText(int row, int col) const;
  // Sum of the numeric values of a column over data rows [firstRow, lastRow].
  double Sum(int col, int firstRow, int lastRow) const;
  double SumData(int col) const { return DataRows() > 0 ? Sum(col, fixedRows_, Rows() - 1) : 0; }
  // Renumbers column 0 of the data rows 1, 2, 3 ...
  void RenumberRows();

  // --- Columns.
  Column& Col(int col);
  const Column& Col(int col) const;
  const std::string& ColCaption(int col) const { return TextMatrix(0, col); }
  int FindCol(std::string_view caption) const;  // by header caption, -1 when none
  int ColWidth(int col) const { return Col(col).hidden ? 0 : Col(col).width; }
  void SetColWidth(int col, int width);
  bool ColHidden(int col) const { return Col(col).hidden || Col(col).width <= 0; }
  void SetColHidden(int col, bool hidden) { Col(col).hidden = hidden; }
  bool CellEditable(int row, int col) const;

  // --- Rows.
  bool RowHidden(int row) const;
  void SetRowHidden(int row, bool hidden);
  bool IsSubtotalRow(int row) const;
  // The grand-total row AddSubtotals appended while it is still the last row, else -1: a view
  // that shows totals under its rows shows this one there.
  int GrandTotalRow() const;
  int RowHeight() const { return rowHeight_; }
  void SetRowHeight(int height) { rowHeight_ = height; }
  int FixedRowHeight() const { return fixedRowHeight_; }
  void SetFixedRowHeight(int height) { fixedRowHeight_ = height; }

  // --- Grid-wide state.
  bool Editable() const { return editable_; }
  void SetEditable(bool editable) { editable_ = editable; }
  bool Redraw() const { return redraw_; }
  void SetRedraw(bool on) { redraw_ = on; }
  int Row() const { return row_; }
  void SetRow(int row) { row_ = row; }
  int Col() const { return col_; }
  void SetCurrentCol(int col) { col_ = col; }

  // Sorts the data rows by a column: 1 ascending, 2 descending (numbers compare as numbers).
  // Hidden and subtotal marks and the current row move with their rows.
  void Sort(int col, int order);
  // Subtotal rows: inserted rows carrying sums, removed again by ClearSubtotals.
  void ClearSubtotals();
  // Inserts after every run of equal values in groupCol a row captioned `caption` with the
  // sums of sumCols; with groupCol -1 appends one grand-total row.
  void AddSubtotals(int groupCol, const std::vector<int>& sumCols, const std::string& caption,
                    int captionCol);

  // --- Events the control handles (raised by forms::Input).
  std::function<void(int row, int col)> OnAfterEdit;          // a cell was typed
  std::function<void(int row, int col)> OnCellPickerRequest;  // help key in a cell
  std::function<bool(int row)> OnBeforeDeleteRow;             // false keeps the row
  // Asked before a cell of an editable column is edited; false keeps it read-only (a batch
  // cell of a part that is not kept in batches).
  std::function<bool(int row, int col)> OnBeforeEdit;
  std::function<void(int row)> OnAfterDeleteRow;
  std::function<void(int row)> OnDblClick;
  std::function<void(int row)> OnRowChange;
  std::function<void(int button, int shift, int x, int y)> OnMouseDown;

 private:
  void CheckCell(int row, int col) const;

  // The cell's text pointer, after counting a text written over (see overwritten_).
  const std::string*& WrittenCell(int row, int col);
  // Drops the texts no cell shows any more, once they outnumber the cells by more than slack.
  void ForgetUnusedTexts(size_t slack = 256);

  // What the grid keeps of a cell: its text, and a key only where one was set. A report of
  // 100,000 rows holds two million cells and hardly a key, so an empty key costs a pointer;
  // its dates, plates, names and categories repeat from row to row, so the text is one
  // pointer into texts_.
  struct StoredCell {
    const std::string* text;
    std::unique_ptr<std::string> key;
    StoredCell();
    StoredCell(const StoredCell& other);
    StoredCell& operator=(const StoredCell& other);
    StoredCell(StoredCell&&) noexcept = default;
    StoredCell& operator=(StoredCell&&) noexcept = default;
  };
  std::vector<std::vector<StoredCell>> cells_;
  // Whether a column's texts repeat, judged on its first texts since the data was cleared: a
  // column of texts nearly all different is kept without looking each one up.
  struct ColumnTexts {
    uint32_t looked = 0;
    bool distinct = false;
    // The hashes of the column's different texts while it is judged. Counted in the column, not
    // by what the pool gained: a total that equals the column before it in most rows was found
    // there while that column was judged, and was taken for repeating.
    std::vector<uint32_t> seen;
  };
  static constexpr uint32_t kJudgedAfter = 512;
  template <typename Text>
  const std::string* Store(int col, Text&& text);
  std::vector<ColumnTexts> columnTexts_;
  TextPool texts_;          // each text once, the empty one not at all: cells point at them
  size_t overwritten_ = 0;  // texts replaced since the unused ones were dropped
  std::vector<Column> columns_;
  std::vector<char> rowHidden_;
  std::vector<char> rowSubtotal_;  // kGroupTotal or kGrandTotal on the rows AddSubtotals made
  int fixedRows_ = 1;
  int fixedCols_ = 0;
  int frozenCols_ = 0;
  int rowHeight_ = 250;
  int fixedRowHeight_ = 250;
  int row_ = -1;
  int col_ = 0;
  bool editable_ = false;
  bool redraw_ = true;
};

}  // namespace ws::forms
