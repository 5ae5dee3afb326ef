#include "reports/register.h"

#include <memory>

#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"

namespace ws::reports {

void RegisterReports(host::Registry& registry) {
  registry.Register("WS_RPT", [] { return std::make_unique<WS_RPT>(); });
  registry.Register("JS_RPT", [] { return std::make_unique<JS_RPT>(); });
}

}  // namespace ws::reports
