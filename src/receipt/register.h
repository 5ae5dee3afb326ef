// The receipt's controls in the host's registry.
#pragma once

#include "host/registry.h"

namespace ws::receipt {

// Registers "WS.JS_S".
void RegisterReceipt(host::Registry& registry);

}  // namespace ws::receipt
