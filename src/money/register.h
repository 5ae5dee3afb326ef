// The money documents' controls in the host's registry, with the dialogs they open.
#pragma once

#include "host/registry.h"

namespace ws::money {

// Registers "WS.JS_WS", whose button "选择维修单" opens the repair-order chooser frmSelWsJs,
// and "WS.JS_S", the receipt.
void RegisterMoney(host::Registry& registry);

}  // namespace ws::money
