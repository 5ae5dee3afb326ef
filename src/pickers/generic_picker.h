// sel_TY_INNER: a one-column drop-down list whose content comes entirely from the host's
// parameters (names match without regard to case; an absent parameter counts as empty):
//   "FieldName"  caption of the column (the grid keeps "名称" when empty);
//   "SQL"        the query; its first column is the list entry. It is expected to end in a
//                where clause, because Validate narrows it with " AND (...)";
//   "Valid"      the narrowing condition of Validate; every "@" stands for the typed text;
//   "Order"      appended to the list query with " ORDER BY " when not empty.
// Refresh lists "SQL" (+ order) and gives the grid the focus. Choosing sets Value and Text to
// the row's entry ("0" and "" for the empty choice) and raises DoSelect. Validate(t) runs
// "SQL" + " AND (" + "Valid" with t for "@" + ")": the first row's entry is Text, its numeric
// value written as text is Value ("0" for a name); no row gives "0" and "". Both out
// parameters receive Text; the answer is always false. Without "Valid" nothing matches.
// Events: DoSelect and DoCancel (never raised). No popup menu, data object or scroll rate.
#pragma once

#include <string>

#include "framework/picker_control.h"

namespace ws::pickers {

using framework::PickerControl;
using framework::WithTyped;

class GenericPicker : public PickerControl {
 public:
  GenericPicker();

  bool Validate(const std::string& text1, const std::string& text2, const std::string& text3,
                const std::string& typed, std::string& outValue, std::string& outText) override;

  // The text property "i单位": kept and returned unchanged for the host.
  const std::string& UnitText() const { return unitText_; }
  void SetUnitText(std::string text) { unitText_ = std::move(text); }

 protected:
  void SetupGrid(forms::Grid& grid) override;
  db::Sql ListQuery() override;
  void AfterLoad() override { form_.SetFocus(&Grid()); }
  void Choose(int row) override;

 private:
  void ApplyCaption();
  std::string unitText_;
};

}  // namespace ws::pickers
