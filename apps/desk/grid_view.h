// The table view of one headless grid: hidden columns and widths from the grid's columns, the
// current row kept in step with the grid, and the grid's user input through forms::Input —
// Delete removes the current row, F2 asks for the cell's picker, a double click is the grid's
// double click, and a right click shows the form's popup menu and reports the choice.
#pragma once

#include <QTableView>

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
  // Re-reads the grid: model, hidden columns, widths after a reset, the current row.
  void Sync();
  // The grid row of the view's current index, -1 when none.
  int CurrentGridRow() const;
  // Enters the text of an open cell editor and closes it (nothing when none is open).
  void CommitEditor();

  // The popup menu of the form a right click shows; nullptr when the form has none.
  forms::PopupMenu* Menu() const;
  // Test hook and context-menu path: opens the menu for a grid row and picks the item with
  // the key (through forms::Input::MenuChoice).
  bool ChooseMenuItem(int gridRow, const std::string& key);

 signals:
  // A user input reached the control; refusal is empty when it was accepted.
  void InputDone(const QString& refusal);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  void ApplyColumns(bool widths);
  void Report(const forms::InputResult& result);

  forms::Form& form_;
  GridModel* model_;
  bool syncing_ = false;
  int sortedColumn_ = -1;
  int sortOrder_ = 0;
};

// Twips of the host grid to pixels of the screen and back (15 twips a pixel at 96 dpi).
int TwipsToPixels(int twips);
int PixelsToTwips(int pixels);

}  // namespace ws::desk
