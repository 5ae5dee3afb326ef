// The table view of one headless grid: hidden columns and widths from the grid's columns, the
// current row kept in step with the grid, and the grid's user input through forms::Input —
// Delete removes the current row, F2 asks for the cell's picker, a double click is the grid's
// double click, and a right click shows the form's popup menu and reports the choice.
//
// What a clerk reads (desk/grid_columns.h tells the columns apart):
// - Columns are sized to their content when shown, within a cap, unless the user sized them:
//   a free text in the last column is cut only where the window has no more room;
//   a width the user drags is kept in the grid (and so in the user's layout file) marked as
//   the user's, and wins from then on. Dates, codes and numbers are never cut.
// - A column the view sizes only ever grows while the view lives: each sync (another record,
//   an edit) measures the rows on screen and widens a column whose text they cut, up to the
//   cap, so a later record's longer line is read whole and the columns never jump back.
// - Optional columns that no row uses are hidden; a right click on the header lists every
//   column to show or hide.
// - Under a grid with sum columns a frozen totals row ("合计") follows the column widths and the
//   horizontal scroll.
// - The current cell is framed inside the highlighted row.
// - A text its cell cuts ("…", or the window's edge) is read whole: the mouse over it shows it as
//   a tooltip, and Space in a list that is not typed into or ticked shows the current row's cut
//   texts in a box of their own (Esc closes it). A text that lists items joined by "；" (the
//   changes of an audit event, the matters of a checklist row) is read one item a line. Enter
//   and a double click keep opening the row.
#pragma once

#include <QTableView>
#include <set>
#include <vector>

#include "desk/grid_model.h"
#include "forms/form.h"
#include "forms/input.h"

namespace ws::desk {

class GridView : public QTableView {
  Q_OBJECT

 public:
  // The grid and the form (for its popup menu) must outlive the view.
  GridView(forms::Grid& grid, forms::Form& form, QWidget* parent = nullptr);

  GridModel& Model() { return *model_; }
  forms::Grid& Grid() { return model_->Grid(); }
  const forms::Grid& Grid() const { return model_->Grid(); }
  // Re-reads the grid: model, hidden columns, widths after a reset, the current row.
  void Sync();
  // The grid row of the view's current index, -1 when none.
  int CurrentGridRow() const;
  // Enters the text of an open cell editor and closes it (nothing when none is open).
  void CommitEditor();
  // Takes the cursor from the form into the lines: a current cell the clerk cannot type into
  // (none yet, or the line number) moves to the first cell of the last line that takes input.
  void EnterLines(Qt::FocusReason reason);

  // The popup menu of the form a right click shows; nullptr when the form has none.
  forms::PopupMenu* Menu() const;
  // Test hook and context-menu path: opens the menu for a grid row and picks the item with
  // the key (through forms::Input::MenuChoice).
  bool ChooseMenuItem(int gridRow, const std::string& key);

  // Whether the totals row is wanted under a grid with sum columns (a picker's list has none).
  void SetTotalsWanted(bool wanted);
  bool TotalsShown() const;
  // The totals row's text under a column ("合计" in the first visible one), as drawn.
  QString TotalText(int col) const;
  // Shows or hides a column as the header's menu does.
  void SetColumnWanted(int col, bool wanted);
  // The whole text of a cell that is drawn cut; empty when the cell shows it whole or is out of
  // sight.
  QString CutText(const QModelIndex& index) const;
  // Shows the cut texts of a model row in a read-only box until the clerk closes it; false, no
  // box, when the row shows every text whole.
  bool ShowCutTexts(int modelRow);

 signals:
  // A user input reached the control; refusal is empty when it was accepted.
  void InputDone(const QString& refusal);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void updateGeometries() override;
  void resizeEvent(QResizeEvent* event) override;
  // Tab leaves a list at once and a line grid from its last cell (Shift+Tab from its first),
  // so the fields and buttons after it are reached by keyboard; inside, it goes cell by cell.
  bool focusNextPrevChild(bool next) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  // Tab, Shift+Tab and the arrows left and right pass over the columns shown for reading only
  // (forms::Column::keyStop).
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  // Whether the current cell is the last (next) or the first (previous) a Tab can reach.
  bool AtTabEnd(bool next) const;
  // Whether the keyboard stops in the view's column: shown, and not for reading only.
  bool KeyStop(int col) const;
  class Footer;

  // Model rows [first, end).
  struct RowSpan {
    int first = 0;
    int end = 0;
  };

  // widths: size the columns again; reread: look again which optional columns are unused.
  void ApplyColumns(bool widths, bool reread);
  // Widens the columns the view sizes (and the whole columns the user sized) to the rows on
  // screen; never narrows one.
  void GrowColumns();
  // The first rows, which sizing a new list reads, and the rows the viewport shows.
  RowSpan SampledRows() const;
  RowSpan ShownRows() const;
  // The header and the rows' texts; capped: within the cap of a free text.
  int ContentWidth(int col, RowSpan rows, bool capped = true) const;
  // growOnly: the rows are a part of what was measured before, so the column keeps its width
  // where the window still has room for it.
  void FitLastColumn(RowSpan rows, bool growOnly);
  void ShowHeaderMenu(const QPoint& pos);
  bool SpaceShowsCutTexts() const;
  void UpdateTotals();
  void PlaceFooter();
  void Report(const forms::InputResult& result);

  forms::Form& form_;
  GridModel* model_;
  bool syncing_ = false;
  int sortedColumn_ = -1;
  int sortOrder_ = 0;
  Footer* footer_;
  bool totalsWanted_ = true;
  bool ownTotals_ = false;       // totals_ are the grid's own grand-total row
  std::vector<QString> totals_;  // per column; empty for none
  std::set<int> shownByUser_;    // optional columns the user asked for while empty
  std::vector<int> autoWidths_;  // the widths content sizing gave, which only ever grow
  std::vector<char> unused_;     // optional columns no row used when last read
};

// Twips of the host grid to pixels of the screen and back (15 twips a pixel at 96 dpi).
int TwipsToPixels(int twips);
int PixelsToTwips(int pixels);
// A width the user dragged, as the grid keeps it: one twip past the whole pixels, which no
// designed width (whole characters) and no default carries, so the mark survives the layout
// file and tells the user's width from one the view may size to the content.
int UserWidthTwips(int pixels);
bool IsUserWidth(int twips);

}  // namespace ws::desk
