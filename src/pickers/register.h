// The module's pickers: registers "WS.sel_cl", "WS.sel_xm", "WS.sel_wxfl" (master_picker.h)
// and "WS.sel_TY_INNER" (generic_picker.h) with the control registry.
#pragma once

#include "host/registry.h"

namespace ws::pickers {

void RegisterPickers(host::Registry& registry);

}  // namespace ws::pickers
