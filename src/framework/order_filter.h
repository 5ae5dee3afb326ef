// The filter strip the repair-order choosers share (the settlement's and the requisition's):
// the conditions a chooser appends to its SELECT of checked orders for what the user typed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/sql.h"

namespace ws::framework {

struct RepairOrderFilter {
  std::string plate;     // clzl.车牌号 equal to it
  std::string number;    // wsdj.工单号码 equal to it
  std::string dateFrom;  // wsdj.进厂日期 on or after it ("yyyy-mm-dd")
  std::string dateTo;    // wsdj.进厂日期 on or before it
  int64_t customerId = 0;
  int64_t orderId = 0;  // wsdj.单据ID equal to it: the one order a document follows
};

// " and clzl.车牌号=...", " and wsdj.工单号码=...", the date range, " and wsdj.车主ID=..." and
// " and wsdj.单据ID=...", each only when given, dates in the dialect of the driver.
void AppendRepairOrderFilter(db::Sql& sql, const RepairOrderFilter& filter,
                             std::string_view driver);

}  // namespace ws::framework
