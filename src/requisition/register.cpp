#include "requisition/register.h"

#include <memory>

#include "requisition/ckll_ws.h"

namespace ws::requisition {

void RegisterRequisition(host::Registry& registry) {
  registry.Register("CKLl_WS", [] { return std::make_unique<CKLl_WS>(); });
}

}  // namespace ws::requisition
