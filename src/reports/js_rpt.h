// JS_RPT, the settlement report: settlement and receipt documents (ARPReceive) with customer,
// collector, repair order, vehicle and fees, filtered by customer name (ywTxt 0, "pdm_jzdw"),
// receipt date from (3) and to (4), collector name (7, "pdmgy_j") and checked documents only
// (Chk). Outer joins keep a document without a repair order or fee row.
//
// The collector filter compares the name of the employee the query joins (PDMGY.姓名, the
// 收款人 column) and the checked box the document's own mark (ARPReceive.smark '02'), so both
// filters narrow the rows the grid shows.
#pragma once

#include "reports/report_control.h"

namespace ws::reports {

class JS_RPT : public ReportControl {
 public:
  static constexpr int64_t kProgram = 200006;
  static constexpr int kCustomer = 0;
  static constexpr int kDateFrom = 3;
  static constexpr int kDateTo = 4;
  static constexpr int kCollector = 7;

  JS_RPT();

  // The report's columns, in the order the grid shows them; the query selects them.
  static const ListColumns& Columns();
  const ListColumns* QueryColumns() const override { return &Columns(); }
  db::Sql Query(const std::string& driver) const override;
  std::string PrintCondition() const override;

 protected:
  void AppendConditions(db::Sql& sql, const std::string& driver) const override;
};

}  // namespace ws::reports
