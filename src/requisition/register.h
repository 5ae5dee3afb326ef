// Registers the material requisition's control with the host registry.
#pragma once

#include "host/registry.h"

namespace ws::requisition {

void RegisterRequisition(host::Registry& registry);

}  // namespace ws::requisition
