#include "shop/script/script_widgets.h"

#include <charconv>
#include <vector>
#include "forms/text.h"

namespace ws::shop {

namespace {

constexpr auto Trim = &forms::TrimView;

bool ParseIndex(std::string_view text, int& value) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() && value >= 0;
}

std::string Label(const forms::Widget& widget) {
  return widget.InArray() ? widget.Name() + "[" + std::to_string(widget.Index()) + "]"
                          : widget.Name();
}

std::string Flags(const forms::Widget& widget) {
  std::string flags;
  if (!widget.Visible()) flags += " (hidden)";
  if (!widget.Enabled()) flags += " (disabled)";
  if (widget.Locked()) flags += " (read-only)";
  return flags;
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

WidgetName ParseWidgetName(std::string_view text) {
  WidgetName result{std::string(text), -1};
  if (text.size() > 3 && text.back() == ']') {
    const size_t open = text.rfind('[');
    int index = 0;
    if (open != std::string_view::npos && open > 0 &&
        ParseIndex(text.substr(open + 1, text.size() - open - 2), index)) {
      result.name = std::string(text.substr(0, open));
      result.index = index;
    }
  }
  return result;
}

forms::Widget* FindWidget(const forms::Form& form, std::string_view ref) {
  const WidgetName wanted = ParseWidgetName(ref);
  if (forms::Widget* exact = form.Find(wanted.name, wanted.index)) return exact;
  if (wanted.index < 0) {
    const std::vector<forms::Widget*> members = form.Array(wanted.name);
    if (!members.empty()) return members.front();
  }
  const std::string_view caption = Trim(ref);
  for (const auto& child : form.Children()) {
    if (!caption.empty() && Trim(child->Caption()) == caption) return child.get();
  }
  return nullptr;
}

forms::Widget* FindField(const forms::Form& form, std::string_view ref) {
  int index = 0;
  if (ref.size() > 1 && ref[0] == '#' && ParseIndex(ref.substr(1), index)) {
    forms::Widget* found = nullptr;
    for (const auto& child : form.Children()) {
      if (child->Index() != index || !dynamic_cast<forms::Field*>(child.get())) continue;
      if (child->Name() == "ywTxt") return child.get();
      if (!found) found = child.get();
    }
    return found;
  }
  if (forms::Widget* widget = form.Find(ParseWidgetName(ref).name, ParseWidgetName(ref).index)) {
    return widget;
  }
  const std::string_view caption = Trim(ref);
  for (const auto& child : form.Children()) {
    if (dynamic_cast<forms::Field*>(child.get()) && Trim(child->Caption()) == caption) {
      return child.get();
    }
  }
  return FindWidget(form, ref);
}

forms::Grid* FindGrid(const forms::Form& form, std::string_view ref) {
  return dynamic_cast<forms::Grid*>(FindWidget(form, ref));
}

int FindGridColumn(const forms::Grid& grid, std::string_view col) {
  int number = 0;
  if (ParseIndex(col, number)) return number < grid.Cols() ? number : -1;
  const std::string_view caption = Trim(col);
  for (int c = 0; c < grid.Cols(); ++c) {
    if (grid.FixedRows() > 0 && Trim(grid.TextMatrix(0, c)) == caption) return c;
  }
  return -1;
}

std::string WidgetText(const forms::Widget& widget) {
  if (auto* field = dynamic_cast<const forms::Field*>(&widget)) return field->Text();
  if (auto* box = dynamic_cast<const forms::TextBox*>(&widget)) return box->Text();
  if (auto* search = dynamic_cast<const forms::SearchBox*>(&widget)) return search->Text();
  if (auto* check = dynamic_cast<const forms::CheckBox*>(&widget)) {
    return std::to_string(check->Value());
  }
  return widget.Caption();
}

std::string CellText(const forms::Grid& grid, int row, int col) {
  std::string text = OneLine(grid.TextMatrix(row, col));
  if (!grid.CellKey(row, col).empty()) text += " [" + grid.CellKey(row, col) + "]";
  return text;
}

void ShowWidget(const forms::Widget& widget, std::ostream& out) {
  if (auto* field = dynamic_cast<const forms::Field*>(&widget)) {
    out << "field " << (field->InArray() ? "#" + std::to_string(field->Index()) : field->Name())
        << " \"" << OneLine(Trim(field->Caption())) << "\"";
    if (!field->Key().empty()) out << " [" << field->Key() << "]";
    out << " " << OneLine(field->Text()) << Flags(widget);
    if (!field->Valid()) out << " (invalid: " << OneLine(field->Hint()) << ")";
    out << "\n";
  } else if (auto* grid = dynamic_cast<const forms::Grid*>(&widget)) {
    out << "grid " << Label(*grid) << ": " << grid->DataRows() << " rows" << Flags(widget) << "\n";
    for (int r = 0; r < grid->Rows(); ++r) {
      out << "  " << (r < grid->FixedRows() ? "-" : std::to_string(r - grid->FixedRows() + 1))
          << ":";
      for (int c = 0; c < grid->Cols(); ++c) out << (c == 0 ? " " : "\t") << CellText(*grid, r, c);
      if (grid->RowHidden(r)) out << "\t(hidden)";
      out << "\n";
    }
  } else if (dynamic_cast<const forms::PopupMenu*>(&widget)) {
    out << "menu " << Label(widget) << "\n";
  } else if (dynamic_cast<const forms::Frame*>(&widget)) {
    // Frames only group other widgets.
  } else {
    std::string kind = widget.TypeName();
    out << kind << " " << Label(widget);
    if (dynamic_cast<const forms::TextBox*>(&widget) ||
        dynamic_cast<const forms::SearchBox*>(&widget) ||
        dynamic_cast<const forms::CheckBox*>(&widget)) {
      if (!widget.Caption().empty()) out << " \"" << OneLine(widget.Caption()) << "\"";
      out << " " << OneLine(WidgetText(widget));
    } else {
      out << " " << OneLine(widget.Caption());
    }
    out << Flags(widget) << "\n";
  }
}

void ShowForm(const forms::Form& form, std::ostream& out) {
  out << "form " << form.Name();
  if (!form.Caption().empty()) out << " \"" << OneLine(form.Caption()) << "\"";
  out << "\n";
  for (const auto& child : form.Children()) ShowWidget(*child, out);
}

}  // namespace ws::shop
