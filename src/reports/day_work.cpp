#include "reports/day_work.h"

#include "db/runner.h"

namespace ws::reports {

namespace {

// Each list walks an index kept in its own order (a partial index of the orders, or the
// unsettled orders' table) and stops at its row limit: the start reads the rows it shows,
// whatever the shop's size.
db::Sql OrderRows(int limit, const char* from, const char* condition, const char* order) {
  db::Sql sql("SELECT TOP ");
  sql.RowCount(limit)
      .Raw(
          " WSDJ.单据ID, WSDJ.工单号码, WSDJ.进厂日期, PDMWLDW.公司名称, CLZl.车牌号,"
          " WSDJ.维修分类, WSDJ.应收合计, WSDJ.余额 FROM (")
      .Raw(from)
      .Raw(
          " LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)"
          " LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID");
  if (*condition) sql.Raw(" WHERE ").Raw(condition);
  sql.Raw(" ORDER BY ").Raw(order);
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
  // The conditions are the partial indexes' own, word for word, so that the engines take them.
  work.openOrders =
      Read(runner,
           OrderRows(limit, "WSDJ", "WSDJ.smark<>'02'", "WSDJ.进厂日期 DESC, WSDJ.工单号码 DESC"),
           &work.error);
  // The settlement chooser's own rule (no settlement row names the order as its source), kept
  // by the database in ws_unsettled.
  work.unsettled =
      Read(runner,
           OrderRows(limit, "ws_unsettled U INNER JOIN WSDJ ON WSDJ.单据ID = U.order_id", "",
                     "U.visit_date, U.number"),
           &work.error);
  work.receivable = Read(
      runner,
      OrderRows(limit, "WSDJ", "WSDJ.smark='02' AND WSDJ.余额>0", "WSDJ.进厂日期, WSDJ.工单号码"),
      &work.error);
  return work;
}

}  // namespace ws::reports
