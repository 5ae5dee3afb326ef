// The repair settlement's control in the host's registry.
#pragma once

#include "host/registry.h"
#include "settlement/js_ws.h"

namespace ws::settlement {

// Registers "WS.JS_WS"; every settlement it creates opens `chooser` for its button
// "选择维修单".
void RegisterSettlement(host::Registry& registry, RepairOrderChooser chooser);

}  // namespace ws::settlement
