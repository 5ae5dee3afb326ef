#include "repair_order/register.h"

#include <memory>

#include "repair_order/ws_s.h"

namespace ws::repair_order {

void RegisterRepairOrder(host::Registry& registry) {
  registry.Register("WS_S", [] { return std::make_unique<WS_S>(); });
}

}  // namespace ws::repair_order
