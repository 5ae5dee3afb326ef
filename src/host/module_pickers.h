// The module's own pickers ("WS.sel_cl", "WS.sel_xm", "WS.sel_wxfl", "WS.sel_TY_INNER"): an
// entry point the module defines (its pickers subsystem) and the host calls, as a host asks a
// module it loaded for its classes, so the host's services name no part of the module.
#pragma once

#include "host/registry.h"

namespace ws::host {

void RegisterModulePickers(Registry& registry);

}  // namespace ws::host
