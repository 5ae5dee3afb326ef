// The one way user input reaches a control: a front end (desktop, command-line script, test)
// types into a field, edits a cell, deletes a row, presses a button, double-clicks or asks for
// a picker through these calls, which check that the widget accepts input and then fire the
// control's handlers in the order a real widget would.
#pragma once

#include <string>

#include "forms/form.h"

namespace ws::forms {

struct InputResult {
  bool accepted = true;
  std::string reason;  // why the input was refused ("read-only", "no such row" ...)
  explicit operator bool() const { return accepted; }
  static InputResult Refused(std::string why) { return InputResult{false, std::move(why)}; }
};

class Input {
 public:
  // Types text into a field, text box or combo box and leaves it: OnChange, then OnLeave.
  // A number field keeps blanks as "" and a number (forms/typed_number.h) as its plain text
  // ("1,000.50" becomes "1000.50"); other text stays as typed, for the control to refuse.
  static InputResult Type(Widget& widget, const std::string& text);
  // Types into a grid cell. A row number one past the last adds a row first, as the grid's
  // new-row line does. Fires OnAfterEdit. A column with a number format takes numbers only,
  // kept as plain text; any other text is refused, the cell (and the grid) stays as it was
  // and OnAfterEdit does not run.
  static InputResult EditCell(Grid& grid, int row, int col, const std::string& text);
  // The help key in a cell (its picker).
  static InputResult CellPicker(Grid& grid, int row, int col);
  // Deletes a data row: OnBeforeDeleteRow may keep it; OnAfterDeleteRow after it is gone.
  static InputResult DeleteRow(Grid& grid, int row);
  static InputResult DoubleClick(Grid& grid, int row);
  // Moves the current row (the user clicked or used the arrow keys).
  static InputResult SelectRow(Grid& grid, int row);
  // Sorts a list by a column (a click on its header): 1 ascending, 2 descending. A grid the
  // user is editing keeps its order, as its lines are numbered and saved in that order.
  static InputResult SortColumn(Grid& grid, int col, int order);
  static InputResult Click(Widget& widget);  // a button, check box or option button
  // The picker of a field (help key or drop-down button).
  static InputResult Picker(Field& field);
  // The widget's request to open another program's form (a link on a field or a cell).
  static InputResult OpenForm(Widget& widget, const std::string& program,
                              const std::string& value1 = {}, const std::string& value2 = {},
                              const std::string& value3 = {});
  // Opens a popup menu (the control builds its items) and chooses the item with this key.
  static InputResult MenuChoice(PopupMenu& menu, const std::string& key);
};

}  // namespace ws::forms
