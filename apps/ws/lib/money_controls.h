// The money documents' controls with the dialogs they open: both front ends (script host and
// desktop) register them the same way.
#pragma once

#include "host/registry.h"

namespace ws::cli {

// Registers "WS.JS_WS" with the repair-order chooser frmSelWsJs behind its "选择维修单" button.
void RegisterMoneyControls(host::Registry& registry);

}  // namespace ws::cli
