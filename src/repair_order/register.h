// The repair order's controls in the host's registry.
#pragma once

#include "host/registry.h"

namespace ws::repair_order {

// Registers "WS.WS_S".
void RegisterRepairOrder(host::Registry& registry);

}  // namespace ws::repair_order
