#include "pickers/register.h"

#include <memory>

#include "host/module_pickers.h"
#include "pickers/generic_picker.h"
#include "pickers/master_picker.h"

namespace ws::pickers {

void RegisterPickers(host::Registry& registry) {
  for (const MasterPickerDescription* description :
       {&VehiclePicker(), &ItemPicker(), &CategoryPicker()}) {
    registry.Register(description->className,
                      [description] { return std::make_unique<MasterPicker>(*description); });
  }
  registry.Register("sel_TY_INNER", [] { return std::make_unique<GenericPicker>(); });
}

}  // namespace ws::pickers

void ws::host::RegisterModulePickers(host::Registry& registry) {
  pickers::RegisterPickers(registry);
}
