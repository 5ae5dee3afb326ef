#include "framework/order_filter.h"

namespace ws::framework {

void AppendRepairOrderFilter(db::Sql& sql, const RepairOrderFilter& filter,
                             std::string_view driver) {
  if (!filter.plate.empty()) sql.Raw(" and clzl.车牌号=").Text(filter.plate);
  if (!filter.number.empty()) sql.Raw(" and wsdj.工单号码=").Text(filter.number);
  if (!filter.dateFrom.empty()) sql.Raw(" and wsdj.进厂日期>=").Date(filter.dateFrom, driver);
  if (!filter.dateTo.empty()) sql.Raw(" and wsdj.进厂日期<=").Date(filter.dateTo, driver);
  if (filter.customerId != 0) sql.Raw(" and wsdj.车主ID=").Key(filter.customerId);
  if (filter.orderId != 0) sql.Raw(" and wsdj.单据ID=").Key(filter.orderId);
}

}  // namespace ws::framework
