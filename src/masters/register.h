// Registers the master lists and cards with the host's registry under their class names
// ("WS.PDM_cl", "WS.PDM_clAdd", "WS.PDM_XM", "WS.PDM_XMAdd", "WS.PDM_WXFL", "WS.PDM_WXFLAdd").
#pragma once

#include "host/registry.h"

namespace ws::masters {

void RegisterMasters(host::Registry& registry);

}  // namespace ws::masters
