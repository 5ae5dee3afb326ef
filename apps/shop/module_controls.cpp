#include "shop/module_controls.h"

#include "masters/register.h"
#include "money/register.h"
#include "pickers/register.h"
#include "repair_order/register.h"
#include "reports/register.h"
#include "requisition/register.h"

namespace ws::shop {

void RegisterModuleControls(host::Registry& registry) {
  masters::RegisterMasters(registry);
  pickers::RegisterPickers(registry);
  repair_order::RegisterRepairOrder(registry);
  requisition::RegisterRequisition(registry);
  money::RegisterMoney(registry);
  reports::RegisterReports(registry);
}

}  // namespace ws::shop
