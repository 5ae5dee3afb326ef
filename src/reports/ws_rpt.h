// WS_RPT, the repair-order report: repair orders (WSDJ) with their customer and vehicle, filtered
// by customer (ywTxt 0, "pdmkh_j", by key), vehicle (1, "pdmcl", by key), arrival date from (3)
// and to (4), work-order number (5), repair category (7, "pdmwxfl", by name) and checked orders
// only (Chk). A row change raises Property("产品ID", the row's 应收合计, True).
#pragma once

#include "reports/report_control.h"

namespace ws::reports {

class WS_RPT : public ReportControl {
 public:
  static constexpr int64_t kProgram = 200005;
  static constexpr int kCustomer = 0;
  static constexpr int kVehicle = 1;
  static constexpr int kDateFrom = 3;
  static constexpr int kDateTo = 4;
  static constexpr int kNumber = 5;
  static constexpr int kCategory = 7;

  WS_RPT();

  // The report's columns, in the order the grid shows them; the query selects them.
  static const ListColumns& Columns();
  const ListColumns* QueryColumns() const override { return &Columns(); }
  db::Sql Query(const std::string& driver) const override;
  std::string PrintCondition() const override;

 protected:
  void AppendConditions(db::Sql& sql, const std::string& driver) const override;
  void OnRowChange(int row) override;
};

}  // namespace ws::reports
