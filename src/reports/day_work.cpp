#include "reports/day_work.h"

#include "db/runner.h"

namespace ws::reports {

namespace {

db::Sql OrderRows(int limit, const char* condition, const char* order) {
  db::Sql sql("SELECT TOP ");
  sql.RowCount(limit)
      .Raw(
          " WSDJ.单据ID, WSDJ.工单号码, WSDJ.进厂日期, PDMWLDW.公司名称, CLZl.车牌号,"
          " WSDJ.维修分类, WSDJ.应收合计, WSDJ.余额"
          " FROM (WSDJ LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)"
          " LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID WHERE ")
      .Raw(condition)
      .Raw(" ORDER BY ")
      .Raw(order);
  return sql;
}

std::vector<DayWorkRow> Read(db::Runner& runner, const db::Sql& sql, std::string* error) {
  std::vector<DayWorkRow> rows;
  std::string failure;
  auto records = runner.Open(sql, &failure);
  if (!failure.empty()) {
    if (error->empty()) *error = failure;
    return rows;
  }
  for (; !records->Eof(); records->MoveNext()) {
    DayWorkRow row;
    row.orderId = records->Long("单据ID");
    row.number = records->Text("工单号码");
    row.dateIn = records->Text("进厂日期").substr(0, 10);
    row.customer = records->Text("公司名称");
    row.plate = records->Text("车牌号");
    row.category = records->Text("维修分类");
    row.receivable = records->Money("应收合计");
    row.balance = records->Money("余额");
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

DayWork LoadDayWork(db::IDatabase& database, int limit) {
  db::Runner runner(database);
  DayWork work;
  work.openOrders =
      Read(runner, OrderRows(limit, "WSDJ.smark<>'02'", "WSDJ.进厂日期 DESC, WSDJ.工单号码 DESC"),
           &work.error);
  // The settlement chooser's own rule: no settlement row names the order as its source.
  work.unsettled = Read(runner,
                        OrderRows(limit,
                                  "WSDJ.smark='02' AND NOT EXISTS (SELECT 1 FROM ARPReceive"
                                  " WHERE ARPReceive.前置单据ID = WSDJ.单据ID)",
                                  "WSDJ.进厂日期, WSDJ.工单号码"),
                        &work.error);
  work.receivable = Read(
      runner, OrderRows(limit, "WSDJ.余额 > 0 AND WSDJ.smark='02'", "WSDJ.进厂日期, WSDJ.工单号码"),
      &work.error);
  return work;
}

}  // namespace ws::reports
