// The generic half of a document's line grid: which cell holds which column of the line table,
// the lines the user removed since the last load, the lookup of a typed or picked code through a
// picker, the rows a save writes (their statements included) and the rows a print shows. A
// document keeps its own arithmetic and price rules and hears about a code through OnCode.
//
// A row is a line of the document when its name cell is not empty (a document may judge by the
// code's key instead, IsLine); only those rows are saved, totalled and printed, so the total
// always matches what is stored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "db/recordset.h"
#include "db/sql.h"
#include "forms/grid.h"
#include "framework/header_schema.h"
#include "framework/picker_call.h"
#include "host/system.h"

namespace ws::framework {

// A column of the line table (or of the joined master for shown cells) behind a grid cell.
struct LineColumn {
  std::string column;
  int col = 0;  // the grid column: the position of the cell that names it
  ValueKind kind = ValueKind::Text;
  bool saved = true;  // false: shown from the master (name, model 规格), never written
  // The value is the cell's key (the depot id behind a depot name), not its text.
  bool key = false;
  // A text saved without its outer blanks: a batch is matched against stock by equality.
  bool trimmed = false;
};

// Whether the clerk types into a grid column.
enum class CellEntry {
  Typed,
  ReadOnly,    // filled by the document, drawn in the shop's read-only colours
  Plain,       // read only but drawn as any cell (a row number)
  MasterText,  // the master's text (name, model): typed only where the shop lets goods texts be
               // edited, otherwise read only
  // Filled by the document from outside the line (who works on it): read only in the shop's
  // colours, never saved, compared or printed, and passed over by the keyboard.
  Shown,
};

// One column of a line grid, described once: caption, width, the table columns behind it, how
// it is typed and shown. The grid's captions, widths, formats and read-only rules and the line
// statements are all built from the list of a grid's columns, in column order.
struct LineCell {
  LineCell(std::string caption_, int width_) : caption(std::move(caption_)), width(width_) {}

  std::string caption;
  int width = 0;  // in characters, a wide (CJK) one counting two; 0: the grid's default
  // The table columns behind the cell, in statement order; a load fills the cell from each in
  // turn, so the last one read wins.
  std::vector<LineColumn> columns;
  CellEntry entry = CellEntry::Typed;
  // The option of module 12 that holds the decimals the number is shown with (7 quantity,
  // 9 price, 12 amount); 0: a text, shown as it stands.
  int decimalsOption = 0;
  bool right = false;  // aligned right, as numbers are
  bool hidden = false;

  // A column a save writes and a load reads.
  LineCell& Saves(std::string column, ValueKind kind = ValueKind::Text) {
    columns.push_back({std::move(column), 0, kind, true});
    return *this;
  }
  // A column a load reads from the joined master; no save writes it.
  LineCell& Shows(std::string column, ValueKind kind = ValueKind::Text) {
    columns.push_back({std::move(column), 0, kind, false});
    return *this;
  }
  // The column named last is the cell's key rather than its text.
  LineCell& Key() { return columns.back().key = true, *this; }
  // The column named last is saved without its outer blanks.
  LineCell& Trimmed() { return columns.back().trimmed = true, *this; }
  LineCell& Entry(CellEntry entry_) { return entry = entry_, *this; }
  LineCell& ReadOnly() { return Entry(CellEntry::ReadOnly); }
  // A number in the decimals of an option of module 12, aligned right.
  LineCell& Decimals(int option) {
    decimalsOption = option;
    right = true;
    return *this;
  }
  LineCell& Hidden() { return hidden = true, *this; }
};

// The host's alignment code of a right-aligned column (right, centred vertically).
inline constexpr int kAlignRight = 7;

struct LineSchema {
  std::string table;    // "WSDJXM"
  std::string idTable;  // the table name GetNewID takes ("wsdjxm")
  std::string lineKey = "单据明细ID";
  std::string ownerKey = "单据ID";
  int codeCol = 1;
  int nameCol = 2;
  int amountCol = -1;
  int lineIdCol = -1;
  std::string keyColumn;        // the code cell's key, a saved column ("项目ID")
  std::string codeColumn;       // the code text a load shows ("编码")
  std::vector<LineCell> cells;  // the grid's columns
  // The table columns of every cell, in column order: derived from `cells` by the line set.
  std::vector<LineColumn> columns;
  // What the form calls the lines of this grid ("维修项目"): the history names a changed line
  // by it, its position and its code, never by the grid's internal name.
  std::string caption = "明细";
};

// The picker that resolves a code and how its row fills the line.
struct CodeLookup {
  std::string picker;
  PickerParameters parameters;
  std::string codeProperty;  // "i项目编码"; the picked text when the row lacks it
  std::string keyProperty;   // "i项目ID"; the picked value when the row lacks it
  std::vector<std::pair<int, std::string>> fills;  // (column, property) filled from the row
  std::string typedTag;                            // ErrMessage prefix of a failure of a typed code
  std::string helpTag;                             // ... of the help key
  // A typed code that names nothing keeps the row's code and is told with this box (empty: the
  // row keeps its code silently). The list first drops down on the code, unless the document
  // refuses an unknown code at once.
  std::string unknownCodeText;
  std::string unknownCodeTitle = "提示:";
  bool listOnUnknownCode = true;
};

class LineSet {
 public:
  // What the set needs from its document.
  struct Context {
    std::function<host::ISystem&()> system;
    int64_t programNumber = 0;
    std::function<void(const std::string&)> reportError;  // ErrMessage, level 8
    std::function<void()> changed;                        // totals and dirty flag
    // A code was entered on the row (resolved, repeated, or emptied): the document's arithmetic.
    std::function<void(int row)> onCode;
    // Any other cell was typed into: the document's arithmetic.
    std::function<void(int row, int col)> onCell;
  };

  LineSet(forms::Grid& grid, LineSchema schema);
  virtual ~LineSet() = default;

  // Lays the grid out from the cells: one fixed row of captions, widths, number formats in the
  // shop's decimals, hidden columns, and which columns are typed into (goods texts where
  // goodsMessageEdit), read-only ones in the shop's colours (module 12's options).
  void BuildGrid(host::ISystem& system, bool goodsMessageEdit);

  // Hooks the grid's row deletion and code cell to this set.
  void Wire(Context context, CodeLookup lookup);

  forms::Grid& Grid() const { return grid_; }
  const LineSchema& Schema() const { return schema_; }

  // Fills the grid from the lines query (one row per record); forgets removed lines.
  void Load(db::Recordset& records);
  // Empties the grid and forgets removed lines.
  void Clear();
  // Rows the document filled itself (not by Load): each code as it stands is what its row
  // resolved to, and what a failed lookup on the row puts back.
  void CommitCodes();
  void ForgetRemoved() { removed_.clear(); }
  // Blanks every row's line id (and what is shown of the saved line), so the rows are written
  // as new lines of another document.
  void ForgetLineIds();
  // A number every line a save writes carries, whatever the row (the document's period).
  void SetCommonValue(const std::string& column, double value);
  // Line ids of saved rows the user removed since the last load, in removal order.
  const std::vector<int64_t>& Removed() const { return removed_; }
  // Removes every row; the saved ones are deleted by the next save, as if removed one by one.
  void RemoveAll();

  // Whether a data row is a line of the document: by default its name is not empty.
  virtual bool IsLine(int row) const;
  // The rows a save writes: every data row that is a line.
  std::vector<int> SavedRows() const;
  int64_t LineId(int row) const;
  // Sum of the amount column over the saved rows, exact (out of range when it passes the limit).
  db::Amount Total() const;
  // Puts the line ids of a committed save back into the saved rows (same order).
  void SetSavedLineIds(const std::vector<int64_t>& lineIds);

  // The statements of a save. Updates and deletes name the owning document too, so they never
  // reach a line another document holds. A line table with values the grid does not hold (a
  // position, a constant) writes its own.
  // An insert is its head ("INSERT INTO t (...) VALUES ") and a parenthesised values list per
  // line; several lines go in one statement.
  db::Sql Insert(int row, int64_t lineId, int64_t ownerId) const;
  db::Sql Insert(const std::vector<int>& rows, const std::vector<int64_t>& lineIds,
                 int64_t ownerId) const;
  virtual db::Sql Update(int row, int64_t ownerId) const;
  db::Sql DeleteRemoved(int64_t ownerId) const;  // Removed() must not be empty

  // The header row and the rows up to the first that is no line, without the shown columns; every
  // cell of a hidden column but the first reads "***".
  virtual std::vector<std::vector<std::string>> PrintRows() const;

 protected:
  virtual db::Sql InsertHead() const;
  virtual void AppendInsertValues(db::Sql& sql, int row, int64_t lineId, int64_t ownerId) const;
  const Context& Ctx() const { return context_; }
  // One grid row as printed.
  std::vector<std::string> PrintCells(int row) const;

 private:
  void CodeTyped(int row);
  void CodePicked(int row);
  void Fill(int row, const PickedRow& picked);
  void Guard(const std::string& tag, int row, const std::function<void()>& body);
  void Entered(int row);
  std::string& Committed(int row);
  bool IsShown(int col) const;  // a CellEntry::Shown column
  void AppendValue(db::Sql& sql, const LineColumn& column, int row) const;

  forms::Grid& grid_;
  LineSchema schema_;
  Context context_;
  CodeLookup lookup_;
  std::vector<int64_t> removed_;
  std::vector<std::pair<std::string, double>> common_;
  // The code each row last resolved to, by data row: what a failed lookup puts back.
  std::vector<std::string> committed_;
};

}  // namespace ws::framework
