#include "repair_order/order_sql.h"

#include "db/default_config.h"
#include "db/sql.h"
#include "db/value.h"

namespace ws::repair_order {

std::string OrderListSelect() {
  return " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
         "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
         "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
}

db::Sql LinesSelect(LineKind kind, int64_t orderId) {
  db::Sql sql;
  if (kind == LineKind::Items) {
    sql.Raw(
        " SELECT WSDJXM.*,PDMWXXM.编码,PDMWXXM.维修项目,PDMWXXM.项目属性"
        "   FROM WSDJXM LEFT JOIN PDMWXXM ON WSDJXM.项目ID = PDMWXXM.AutoID");
  } else {
    sql.Raw(
        " SELECT WSDJPJ.*,PDMCPML.物品编码,PDMCPML.物品名称,PDMCPML.规格"
        "   FROM WSDJPJ LEFT JOIN PDMCPML ON WSDJPJ.产品ID = PDMCPML.产品ID");
  }
  return sql.Raw("  WHERE 单据ID=").Key(orderId).Raw(" order by 单据明细ID");
}

db::Sql JobsSelect(int64_t orderId) {
  return db::Sql(
             "SELECT j.单据明细ID, j.状态, j.原因, t.雇员ID, g.姓名, t.计划工时, r.开始时间"
             "  FROM ws_job j LEFT JOIN ws_job_tech t ON t.单据明细ID = j.单据明细ID"
             "  LEFT JOIN PDMGY g ON g.雇员ID = t.雇员ID"
             "  LEFT JOIN ws_clock r ON r.单据明细ID = t.单据明细ID AND r.雇员ID = t.雇员ID"
             "   AND r.结束时间 = ''"
             " WHERE j.单据ID = ")
      .Key(orderId)
      .Raw(" ORDER BY j.单据明细ID, t.派工ID");
}

db::Sql LastVisitSelect(int64_t vehicleId) {
  return db::Sql(" SELECT top 1 车厂,送修人,司机电话,公里数 FROM wsdj where 车辆ID=")
      .Key(vehicleId)
      .Raw(" order by 单据ID desc ");
}

db::Sql SaveRuleSelect(int64_t programNumber) {
  return db::Sql("SELECT text FROM xt_BillAttribute WHERE progID=")
      .Key(programNumber)
      .Raw(" and attribute='onsavecode' ");
}

std::string NextRevision(const std::string& number) {
  size_t dash = number.rfind('-');
  if (dash == std::string::npos) return number + "-1";
  double revision = db::NumericValue(std::string_view(number).substr(dash + 1));
  return number.substr(0, dash) + "-" + db::DecimalText(revision + 1);
}

db::Sql DuplicateOfExistingSelect(int64_t orderId, int64_t programNumber,
                                  const std::string& number) {
  return db::Sql(" Select  * From wsdj Where 单据ID <> ")
      .Key(orderId)
      .Raw(" and progid =")
      .Key(programNumber)
      .Raw(" and 工单号码=")
      .Text(number);
}

db::Sql DuplicateOfNewSelect(const std::string& number, int64_t programNumber) {
  return db::Sql(" select  * from  wsdj where  工单号码 =")
      .Text(number)
      .Raw(" and progid =")
      .Key(programNumber);
}

db::Sql VehicleIdSelect(const std::string& plate) {
  return db::Sql(" SELECT 车辆ID FROM clzl WHERE 车牌号=").Text(plate);
}

db::Sql VehicleUpdate(int64_t vehicleId, const VehicleValues& v) {
  // Written only when a value differs: an unchanged vehicle keeps its row version, and the
  // lists filtered on vehicles keep their counts.
  auto differs = [](db::Sql& sql, const char* column, auto bind) {
    sql.Raw(std::string(" OR ") + column + " IS NULL OR " + column + "<>");
    bind(sql);
  };
  db::Sql sql(" UPDATE clzl   SET 发动机号=");
  sql.Text(v.engine)
      .Raw(",       车架号=")
      .Text(v.chassis)
      .Raw(",       车型=")
      .Text(v.model)
      .Raw(",       车主ID=")
      .Key(v.ownerId)
      .Raw("  WHERE 车辆ID=")
      .Key(vehicleId)
      .Raw(" AND (1=0");
  differs(sql, "发动机号", [&](db::Sql& s) { s.Text(v.engine); });
  differs(sql, "车架号", [&](db::Sql& s) { s.Text(v.chassis); });
  differs(sql, "车型", [&](db::Sql& s) { s.Text(v.model); });
  differs(sql, "车主ID", [&](db::Sql& s) { s.Key(v.ownerId); });
  return sql.Raw(")");
}

db::Sql VehicleInsert(int64_t vehicleId, const VehicleValues& v) {
  // The vehicle number of a car first met on an order is its id.
  return db::Sql(" INSERT INTO clzl(车辆ID,车辆编号,车牌号,发动机号,车架号,车型,车主ID) VALUES (")
      .Key(vehicleId)
      .Raw(",")
      .Text(db::DecimalText(static_cast<double>(vehicleId)))
      .Raw(",")
      .Text(v.plate)
      .Raw(",")
      .Text(v.engine)
      .Raw(",")
      .Text(v.chassis)
      .Raw(",")
      .Text(v.model)
      .Raw(",")
      .Key(v.ownerId)
      .Raw(")");
}

db::Sql StatusUpdate(bool check, int64_t programNumber, const std::string& user,
                     const db::Date& date, int64_t orderId, std::string_view driver) {
  return db::Sql(" Update WSDJ Set progID=")
      .Key(programNumber)
      .Raw(check ? ",smark='02'," : ",smark='01', ")
      .Raw(" 审核人=")
      .Text(user)
      .Raw(", 审核日期=")
      .Date(date.Text(), driver)
      .Raw(check ? ", 系统='审核'" : ", 系统='填单'")
      .Raw(" Where 单据ID=")
      .Key(orderId);
}

std::vector<db::Sql> DeleteOrderStatements(int64_t orderId) {
  // The host refused these already; asked again inside the write, another desk's check or
  // requisition between the question and the delete cannot be lost.
  return {db::Sql("Delete from wsdj where 单据ID=")
              .Key(orderId)
              .Raw(" AND COALESCE(smark,'')<>'02' AND NOT EXISTS (SELECT 1 FROM JXCDJ WHERE "
                   "JXCDJ.前置单据ID=wsdj.单据ID AND JXCDJ.前置单据=wsdj.progid) AND NOT EXISTS "
                   "(SELECT 1 FROM ARPReceive WHERE ARPReceive.前置单据ID=wsdj.单据ID AND "
                   "ARPReceive.progID=")
              .Key(db::kSettlementProgram)
              .Raw(") AND NOT EXISTS (SELECT 1 FROM ARPReceiveMx WHERE "
                   "ARPReceiveMx.源单ID=wsdj.单据ID)"),
          db::Sql("Delete from wsdjxm where 单据ID=").Key(orderId),
          db::Sql(" delete from wsdjpj where 单据ID=").Key(orderId)};
}

db::Sql IssuedPartsSelect(int64_t orderId) {
  return db::Sql(
             "SELECT jxcdjmx.*, pdmcpml.物品编码, pdmcpml.物品名称, pdmcpml.规格 AS 产品规格, "
             "pdmcpml.库存单位  FROM (((wsdj INNER JOIN jxcdj ON wsdj.单据ID=jxcdj.前置单据ID) "
             "INNER JOIN jxcdjmx ON jxcdj.单据ID = jxcdjmx.单据ID)  INNER JOIN pdmcpml ON "
             "jxcdjmx.产品ID = pdmcpml.产品ID) where wsdj.单据ID= ")
      .Key(orderId);
}

db::Sql IssuedCostSelect(int64_t orderId) {
  return db::Sql(
             "SELECT sum(实际金额) FROM ((wsdj INNER JOIN jxcdj ON wsdj.单据ID=jxcdj.前置单据ID) "
             "INNER JOIN jxcdjmx ON jxcdj.单据ID = jxcdjmx.单据ID) where wsdj.单据ID =")
      .Key(orderId);
}

}  // namespace ws::repair_order
