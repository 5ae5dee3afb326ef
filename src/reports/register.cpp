#include "reports/register.h"

#include <memory>

#include "reports/js_rpt.h"
#include "reports/list_reports.h"
#include "reports/pay_reports.h"
#include "reports/ws_rpt.h"

namespace ws::reports {

void RegisterReports(host::Registry& registry) {
  registry.Register("WS_RPT", [] { return std::make_unique<WS_RPT>(); });
  registry.Register("JS_RPT", [] { return std::make_unique<JS_RPT>(); });
  registry.Register("CL_LS", [] { return std::make_unique<CL_LS>(); });
  registry.Register("BY_TX", [] { return std::make_unique<BY_TX>(); });
  registry.Register("ZL_FX", [] { return std::make_unique<ZL_FX>(); });
  registry.Register("LY_DB", [] { return std::make_unique<LY_DB>(); });
  registry.Register("JZ_JC", [] { return std::make_unique<JZ_JC>(); });
  registry.Register("XG_JL", [] { return std::make_unique<XG_JL>(); });
  registry.Register("GS_XL", [] { return std::make_unique<GS_XL>(); });
  registry.Register("TC_MX", [] { return std::make_unique<TC_MX>(); });
}

}  // namespace ws::reports
