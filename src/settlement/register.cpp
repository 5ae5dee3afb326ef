#include "settlement/register.h"

#include <memory>

namespace ws::settlement {

void RegisterSettlement(host::Registry& registry, RepairOrderChooser chooser) {
  registry.Register("JS_WS", [chooser] { return std::make_unique<JS_WS>(chooser); });
}

}  // namespace ws::settlement
