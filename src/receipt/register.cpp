#include "receipt/register.h"

#include <memory>

#include "receipt/js_s.h"

namespace ws::receipt {

void RegisterReceipt(host::Registry& registry) {
  registry.Register("JS_S", [] { return std::make_unique<JS_S>(); });
}

}  // namespace ws::receipt
