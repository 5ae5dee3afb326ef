#include "lib/module_controls.h"

#include "lib/money_controls.h"
#include "masters/register.h"
#include "pickers/register.h"
#include "receipt/register.h"
#include "repair_order/register.h"
#include "reports/register.h"
#include "requisition/register.h"

namespace ws::cli {

void RegisterModuleControls(host::Registry& registry) {
  masters::RegisterMasters(registry);
  pickers::RegisterPickers(registry);
  repair_order::RegisterRepairOrder(registry);
  requisition::RegisterRequisition(registry);
  RegisterMoneyControls(registry);
  receipt::RegisterReceipt(registry);
  reports::RegisterReports(registry);
}

}  // namespace ws::cli
