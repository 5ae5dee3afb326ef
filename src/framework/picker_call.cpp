#include "framework/picker_call.h"

#include "db/value.h"
#include "forms/text.h"
#include "host/parameters.h"

namespace ws::framework {

using forms::Trim;

std::shared_ptr<host::IControl> OpenPicker(host::ISystem& system, const std::string& name,
                                           int64_t programNumber,
                                           const PickerParameters& parameters) {
  std::shared_ptr<host::IControl> control = system.GetPicker(name);
  host::IPickerUI* picker = control ? control->AsPickerUI() : nullptr;
  if (!picker || !picker->Init(system, programNumber, "")) return nullptr;
  if (!parameters.empty()) {
    host::ParametersPtr collection = picker->GetParameters();
    if (!collection) collection = std::make_shared<host::Parameters>();
    for (const auto& [key, value] : parameters) collection->Set(key, value);
    picker->SetParameters(collection);
  }
  return control;
}

PickedRow ResolveTyped(host::IControl& picker, const std::string& typed, bool keyed) {
  PickedRow row;
  host::IPickerUI* ui = picker.AsPickerUI();
  if (!ui) return row;
  // The pickers answer through their out values; the function result carries nothing.
  ui->Validate("", "", "", typed, row.value, row.text);
  row.found = keyed ? db::NumericValue(row.value) > 0 : !row.text.empty();
  if (row.found) row.objects = ui->Objects();
  return row;
}

PickedRow ChooseInPicker(host::ISystem& system, host::IControl& picker, const std::string& text) {
  host::PickResult result = system.RunPicker(picker, text);
  PickedRow row;
  row.found = result.chosen;
  row.value = result.value;
  row.text = result.text;
  row.objects = result.objects;
  return row;
}

}  // namespace ws::framework
