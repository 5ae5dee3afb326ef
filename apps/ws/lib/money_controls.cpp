#include "lib/money_controls.h"

#include "receipt/choosers.h"
#include "settlement/register.h"

namespace ws::cli {

namespace {

// The settlement takes the first row the user confirmed.
settlement::ChosenRepairOrder ChooseOrder(host::ISystem& system, int64_t programNumber,
                                          int64_t customerId, int64_t settlementId) {
  receipt::frmSelWsJs chooser;
  auto rows = chooser.py_SubProgram(system, programNumber, customerId, settlementId);
  if (rows.empty()) return {};
  return {rows.front().row.i单据ID(), rows.front().row.i工单号码()};
}

}  // namespace

void RegisterMoneyControls(host::Registry& registry) {
  settlement::RegisterSettlement(registry, ChooseOrder);
}

}  // namespace ws::cli
