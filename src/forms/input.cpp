#include "forms/input.h"

#include "forms/text.h"

#include <optional>

#include "forms/typed_number.h"

namespace ws::forms {

namespace {
InputResult CheckAccepts(const Widget& widget) {
  if (!widget.Visible()) return InputResult::Refused(widget.LayoutKey() + " is not visible");
  if (!widget.Enabled()) return InputResult::Refused(widget.LayoutKey() + " is disabled");
  if (widget.Locked()) return InputResult::Refused(widget.LayoutKey() + " is read-only");
  return {};
}

void Fire(const std::function<void()>& handler) {
  if (handler) handler();
}

// What a number field or cell keeps of a typed text: "" for blanks, the plain text of a
// number; nullopt refuses the text, and the field or cell keeps what it holds.
std::optional<std::string> NumberInput(const std::string& typed) {
  if (IsBlankNumberText(typed)) return std::string();
  if (auto number = ParseTypedNumber(typed)) return number->text;
  return std::nullopt;
}

InputResult NotANumber(const std::string& typed) {
  return InputResult::Refused("“" + typed + "”不是有效的数字，已保留原值");
}

// A column that shows its numbers through a number format takes numbers only.
bool IsNumberColumn(const Column& column) {
  return column.format.find_first_of("#0") != std::string::npos;
}
}  // namespace

InputResult Input::Type(Widget& widget, const std::string& typed) {
  if (auto ok = CheckAccepts(widget); !ok) return ok;
  // Broken bytes (a script, a paste from another encoding) are marked here, where they are
  // typed: kept as they came, the server refuses the save and a spreadsheet will not open.
  const std::string text = RepairUtf8(typed);
  if (auto* field = dynamic_cast<Field*>(&widget)) {
    // A number field keeps a number as its plain text; any other text stays as typed for the
    // control to judge on leaving (it marks the field invalid and refuses to save it).
    std::string kept = text;
    if (field->Kind() == FieldKind::Number) kept = NumberInput(text).value_or(text);
    bool changed = field->Text() != kept;
    field->SetText(kept);
    if (changed) Fire(field->OnChange);
    Fire(field->OnLeave);
    return {};
  }
  if (auto* box = dynamic_cast<TextBox*>(&widget)) {
    bool changed = box->Text() != text;
    box->SetText(text);
    if (changed) Fire(box->OnChange);
    return {};
  }
  if (auto* search = dynamic_cast<SearchBox*>(&widget)) {
    search->SetText(text);
    Fire(search->OnChange);
    return {};
  }
  return InputResult::Refused(widget.LayoutKey() + " does not take typing");
}

InputResult Input::EditCell(Grid& grid, int row, int col, const std::string& typed) {
  if (auto ok = CheckAccepts(grid); !ok) return ok;
  const std::string text = RepairUtf8(typed);
  if (!grid.Editable()) return InputResult::Refused(grid.LayoutKey() + " is read-only");
  if (col < 0 || col >= grid.Cols()) {
    return InputResult::Refused(grid.LayoutKey() + " has no column " + std::to_string(col));
  }
  // The new-row line becomes a row only for an edit that is taken: a refused one leaves no
  // empty row behind for the control to save or total.
  bool newRow = row == grid.Rows() && grid.Rows() >= grid.FixedRows();
  if (!newRow && !grid.IsDataRow(row)) {
    return InputResult::Refused(grid.LayoutKey() + " has no row " + std::to_string(row));
  }
  if (newRow ? !(grid.Col(col).editable && col >= grid.FixedCols())
             : !grid.CellEditable(row, col)) {
    return InputResult::Refused(grid.LayoutKey() + " column " + std::to_string(col) +
                                " is read-only");
  }
  std::string kept = text;
  if (IsNumberColumn(grid.Col(col))) {
    auto number = NumberInput(text);
    if (!number) return NotANumber(text);
    kept = *number;
  }
  if (newRow) grid.AddRow();
  grid.SetRow(row);
  grid.SetCurrentCol(col);
  grid.SetTextMatrix(row, col, kept);
  if (grid.OnAfterEdit) grid.OnAfterEdit(row, col);
  return {};
}

InputResult Input::CellPicker(Grid& grid, int row, int col) {
  if (auto ok = CheckAccepts(grid); !ok) return ok;
  bool newRow = row == grid.Rows() && grid.Editable() && col >= grid.FixedCols() &&
                col < grid.Cols() && grid.Col(col).editable;
  if (newRow) grid.AddRow();
  if (!grid.CellEditable(row, col)) {
    return InputResult::Refused(grid.LayoutKey() + " cell is read-only");
  }
  grid.SetRow(row);
  grid.SetCurrentCol(col);
  if (grid.OnCellPickerRequest) grid.OnCellPickerRequest(row, col);
  return {};
}

InputResult Input::DeleteRow(Grid& grid, int row) {
  if (auto ok = CheckAccepts(grid); !ok) return ok;
  if (!grid.Editable()) return InputResult::Refused(grid.LayoutKey() + " is read-only");
  if (!grid.IsDataRow(row))
    return InputResult::Refused(grid.LayoutKey() + " has no row " + std::to_string(row));
  if (grid.OnBeforeDeleteRow && !grid.OnBeforeDeleteRow(row)) {
    return InputResult::Refused("the row was kept");
  }
  grid.RemoveRow(row);
  if (grid.OnAfterDeleteRow) grid.OnAfterDeleteRow(row);
  return {};
}

InputResult Input::DoubleClick(Grid& grid, int row) {
  if (!grid.Visible() || !grid.Enabled())
    return InputResult::Refused(grid.LayoutKey() + " is not available");
  if (row < 0 || row >= grid.Rows())
    return InputResult::Refused(grid.LayoutKey() + " has no row " + std::to_string(row));
  grid.SetRow(row);
  if (grid.OnDblClick) grid.OnDblClick(row);
  return {};
}

InputResult Input::SelectRow(Grid& grid, int row) {
  if (row < 0 || row >= grid.Rows())
    return InputResult::Refused(grid.LayoutKey() + " has no row " + std::to_string(row));
  bool changed = grid.Row() != row;
  grid.SetRow(row);
  if (changed && grid.OnRowChange) grid.OnRowChange(row);
  return {};
}

InputResult Input::SortColumn(Grid& grid, int col, int order) {
  if (!grid.Visible()) return InputResult::Refused(grid.LayoutKey() + " is not visible");
  if (grid.Editable()) return InputResult::Refused(grid.LayoutKey() + " is being edited");
  if (col < 0 || col >= grid.Cols()) {
    return InputResult::Refused(grid.LayoutKey() + " has no column " + std::to_string(col));
  }
  if (order != 1 && order != 2)
    return InputResult::Refused("no sort order " + std::to_string(order));
  grid.Sort(col, order);
  return {};
}

InputResult Input::Click(Widget& widget) {
  if (!widget.Visible() || !widget.Enabled()) {
    return InputResult::Refused(widget.LayoutKey() + " is not available");
  }
  if (auto* button = dynamic_cast<CommandButton*>(&widget)) {
    Fire(button->OnClick);
    return {};
  }
  if (auto* option = dynamic_cast<OptionButton*>(&widget)) {
    option->SetValue(1);
    Fire(option->OnClick);
    return {};
  }
  if (auto* box = dynamic_cast<CheckBox*>(&widget)) {
    box->SetValue(box->Checked() ? 0 : 1);
    Fire(box->OnClick);
    return {};
  }
  return InputResult::Refused(widget.LayoutKey() + " cannot be clicked");
}

InputResult Input::Picker(Field& field) {
  if (auto ok = CheckAccepts(field); !ok) return ok;
  if (!field.OnPickerRequest) return InputResult::Refused(field.LayoutKey() + " has no picker");
  field.OnPickerRequest();
  return {};
}

InputResult Input::OpenForm(Widget& widget, const std::string& program, const std::string& value1,
                            const std::string& value2, const std::string& value3) {
  if (!widget.Visible()) return InputResult::Refused(widget.LayoutKey() + " is not visible");
  if (!widget.OnOpenFormRequest) return InputResult::Refused(widget.LayoutKey() + " opens no form");
  widget.OnOpenFormRequest(program, value1, value2, value3);
  return {};
}

InputResult Input::MenuChoice(PopupMenu& menu, const std::string& key) {
  Fire(menu.OnPopup);
  for (const auto& item : menu.Items()) {
    if (item.key == key && item.caption != "-") {
      if (menu.OnItemClick) menu.OnItemClick(key);
      return {};
    }
  }
  return InputResult::Refused(menu.Name() + " has no item " + key);
}

}  // namespace ws::forms
