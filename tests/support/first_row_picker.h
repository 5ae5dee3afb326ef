// The clerk of the harnesses and the hostile-input tests at a picker: dropped down on the typed
// text, it takes the first row the picker's own incremental search finds, or nothing.
#pragma once

#include <string>

#include "forms/grid_search.h"
#include "framework/picker_control.h"
#include "host/system.h"

namespace ws::test {

inline host::PickResult TakeFirstRow(host::IControl& control, const std::string& text) {
  auto* picker = dynamic_cast<framework::PickerControl*>(&control);
  if (!picker || !picker->Refresh()) return host::PickResult{};
  picker->SetText(text);
  const int row = forms::IncrementalSearch(picker->Grid(), picker->SearchColumns(), text, true);
  if (row < 0) return host::PickResult{};
  picker->ChooseRow(row);
  return host::PickResult{.chosen = true,
                          .value = picker->GetValue(),
                          .text = picker->GetText(),
                          .objects = picker->Objects()};
}

}  // namespace ws::test
