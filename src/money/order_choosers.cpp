#include "money/order_choosers.h"

#include "framework/order_filter.h"

namespace ws::money {

db::Sql SettlementChooserSelect(const SettlementChooserFilter& f, std::string_view driver) {
  db::Sql sql("SELECT TOP ");
  sql.RowCount(f.rows).Raw(
      " "
      "        WSDJ.进厂日期, WSDJ.工单号码, PDMWLDW.公司名称 AS 客户名称, CLZl.车牌号, "
      "CLZl.车型, WSDJ.维修分类,"
      "        WSDJ.维修费用,WSDJ.配件费用,WSDJ.诊断费,WSDJ.检测费, WSDJ.车主ID AS 客户ID,"
      "        WSDJ.progid, WSDJ.单据ID"
      "   FROM (WSDJ"
      "      LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)"
      "      LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID"
      "  WHERE wsdj.smark='02'");
  // A negative customer id names nobody: it lists every customer's orders.
  framework::AppendRepairOrderFilter(sql,
                                     {f.plate, f.orderNumber, f.dateFrom, f.dateTo,
                                      f.customerId > 0 ? f.customerId : 0, f.orderId},
                                     driver);
  sql.Raw(" and wsdj.单据ID not in ( select 前置单据ID from ARPReceive where 单据ID <> ")
      .Key(f.settlementId)
      .Raw(") ORDER by wsdj.工单号码");
  return sql;
}

db::Sql ReceivableChooserSelect(const ReceivableChooserFilter& f, std::string_view driver) {
  db::Sql sql("select top ");
  sql.RowCount(f.rows).Raw(
      " null As 选择, WSDJ.工单号码, WSDJ.进厂日期, PDMWLDW.公司名称, CLZl.车牌号, "
      "CLZl.发动机号, WSDJ.维修分类, WSDJ.应收合计,"
      "   WSDJ.现收金额+WSDJ.补收金额+WSDJ.扣零金额 As 已收金额,WSDJ.余额, 0 As 本次核销额, "
      "WSDJ.单据ID,WSDJ.progid"
      " FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
      "   LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID"
      " WHERE WSDJ.余额 >0 AND WSDJ.smark='02'");
  if (!f.dateFrom.empty()) sql.Raw(" and WSDJ.进厂日期>=").Date(f.dateFrom, driver);
  if (!f.dateTo.empty()) sql.Raw(" and WSDJ.进厂日期<=").Date(f.dateTo, driver);
  if (f.customerId > 0) sql.Raw(" and WSDJ.车主ID=").Key(f.customerId);
  if (f.orderId > 0) sql.Raw(" and WSDJ.单据ID=").Key(f.orderId);
  if (f.vehicleId > 0) sql.Raw(" and WSDJ.车辆ID=").Key(f.vehicleId);
  if (!f.orderNumber.empty()) sql.Raw(" and WSDJ.工单号码=").Text(f.orderNumber);
  sql.Raw(" order by WSDJ.进厂日期,WSDJ.工单号码");
  return sql;
}

db::Sql ProgramNameSelect(int64_t programNumber) {
  db::Sql sql("select progname from xt_objects where progID=");
  sql.Key(programNumber);
  return sql;
}

db::Sql CustomerNameSelect(int64_t customerId) {
  db::Sql sql("SELECT 公司名称 From PdmWLDW Where 往来ID =");
  sql.Key(customerId);
  return sql;
}

db::Sql ReceivableCustomerNameSelect(int64_t customerId) {
  db::Sql sql("select 公司名称 from pdmwldwjs where 往来ID=");
  sql.Key(customerId);
  return sql;
}

std::vector<Allocation> AllocateReceipt(db::Amount amount,
                                        const std::vector<db::Amount>& balances) {
  std::vector<Allocation> out(balances.size());
  for (size_t i = 0; i < balances.size() && amount > db::Amount(); ++i) {
    const db::Amount take = balances[i] >= amount ? amount : balances[i];
    out[i] = {true, take};
    amount -= take;
  }
  return out;
}

}  // namespace ws::money
