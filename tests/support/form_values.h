// What a form shows, a line per widget: its caption, a field's key and text, a grid's cells with
// their keys, leaving out `except` (a number each FileNew proposes anew). Two paths that should
// fill a form alike compare equal through it.
#pragma once

#include <string>

#include "forms/form.h"

namespace ws::test {

inline std::string FormValues(const forms::Form& form, const forms::Widget& except) {
  std::string out;
  for (const auto& child : form.Children()) {
    if (child.get() == &except) continue;
    out += child->Name() + "(" + std::to_string(child->Index()) + ") " + child->Caption();
    if (auto* field = dynamic_cast<const forms::Field*>(child.get())) {
      out += " " + field->Key() + "|" + field->Text();
    } else if (auto* grid = dynamic_cast<const forms::Grid*>(child.get())) {
      for (int row = 0; row < grid->Rows(); ++row) {
        for (int col = 0; col < grid->Cols(); ++col)
          out += " " + grid->TextMatrix(row, col) + "|" + grid->CellKey(row, col);
        out += "\n";
      }
    }
    out += "\n";
  }
  return out;
}

}  // namespace ws::test
