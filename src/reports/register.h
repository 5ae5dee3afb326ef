// The reports in the host's registry.
#pragma once

#include "host/registry.h"

namespace ws::reports {

// Registers "WS.WS_RPT" and "WS.JS_RPT".
void RegisterReports(host::Registry& registry);

}  // namespace ws::reports
