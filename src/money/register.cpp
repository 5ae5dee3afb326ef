#include "money/register.h"

#include <memory>

#include "money/choosers.h"
#include "money/js_s.h"
#include "money/js_ws.h"

namespace ws::money {

namespace {

// The settlement takes the first row the user confirmed.
ChosenRepairOrder ChooseOrder(host::ISystem& system, int64_t programNumber, int64_t customerId,
                              int64_t settlementId) {
  frmSelWsJs chooser;
  auto rows = chooser.py_SubProgram(system, programNumber, customerId, settlementId);
  if (rows.empty()) return {};
  return {rows.front().row.i单据ID(), rows.front().row.i工单号码()};
}

}  // namespace

void RegisterMoney(host::Registry& registry) {
  registry.Register("JS_WS", [] { return std::make_unique<JS_WS>(ChooseOrder); });
  registry.Register("JS_S", [] { return std::make_unique<JS_S>(); });
}

}  // namespace ws::money
