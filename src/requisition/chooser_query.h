// The statement of the repair-order chooser: the part lines of checked repair orders (an order
// without part lines once, with empty part columns), newest work-order number first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/sql.h"

namespace ws::requisition {

// The chooser's conditions; an empty text or a customer id of 0 sets no condition.
struct ChooserFilter {
  std::string plate;     // clzl.车牌号 equal to it
  std::string number;    // wsdj.工单号码 equal to it
  std::string dateFrom;  // wsdj.进厂日期 on or after it ("yyyy-mm-dd")
  std::string dateTo;    // wsdj.进厂日期 on or before it
  int64_t customerId = 0;
  int64_t orderId = 0;  // one order alone (a requisition started from it); the dialog sets none
  // false hides the lines already issued in full (已领用数 >= 数量); orders without part
  // lines are shown either way.
  bool showIssued = false;
  int64_t rowLimit = 0;  // TOP n; 0 lists nothing
};

// The SELECT in the dialect of the driver setting ("jet": "#" dates and iif/isnull(x);
// otherwise quoted dates and isnull(x, 0)).
db::Sql ChooserSelect(const ChooserFilter& filter, std::string_view driver);

}  // namespace ws::requisition
