// Every control of the module, registered by its class name: what a host (the desktop, the
// script runner) offers to CreateObject/OpenForm. One list, so a new program reaches every host.
#pragma once

#include "host/registry.h"

namespace ws::shop {

void RegisterModuleControls(host::Registry& registry);

}  // namespace ws::shop
