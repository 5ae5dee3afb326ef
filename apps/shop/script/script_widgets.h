// How a script names the widgets of a form and how it shows them: a widget by "name",
// "name[index]" (a control-array member) or its caption; a field also by "#index" of the form's
// field array; a grid column by number (0 is the grid's first column, the row numbers of a line
// grid) or by header caption; grid rows from 1, the first data row.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "forms/form.h"

namespace ws::shop {

// "name[3]" -> ("name", 3); "name" -> ("name", -1).
struct WidgetName {
  std::string name;
  int index = -1;
};
WidgetName ParseWidgetName(std::string_view text);

// By name and index; a name without index is the widget outside any array, else the lowest
// member of the array of that name; failing that, the first widget with that caption.
forms::Widget* FindWidget(const forms::Form& form, std::string_view ref);
// "#5": the field of index 5 (of the field array "ywTxt" when several arrays have one);
// otherwise as FindWidget, field captions compared trimmed.
forms::Widget* FindField(const forms::Form& form, std::string_view ref);
forms::Grid* FindGrid(const forms::Form& form, std::string_view ref);
// The column by number or by trimmed header caption; -1 when there is none.
int FindGridColumn(const forms::Grid& grid, std::string_view col);
// The grid row of script row n (1 is the first data row).
inline int GridRowOf(const forms::Grid& grid, int n) {
  return grid.FixedRows() + n - 1;
}

// What a widget shows: a field's or box's text, a check box's 0/1, any other widget's caption.
std::string WidgetText(const forms::Widget& widget);
// A cell as `show` prints it: the text, then the key in brackets when the cell has one.
std::string CellText(const forms::Grid& grid, int row, int col);

// Every widget of the form, one line each; a grid one line per row with its cells separated by
// tabs. Texts with line breaks are shown with "\n".
void ShowForm(const forms::Form& form, std::ostream& out);
void ShowWidget(const forms::Widget& widget, std::ostream& out);

// A text on one line: line breaks as "\n", tabs as "\t".
std::string OneLine(std::string_view text);

}  // namespace ws::shop
