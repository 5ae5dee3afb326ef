#include "repair_order/order_sql.h"

#include "db/sql.h"
#include "db/value.h"

namespace ws::repair_order {

namespace {

const char* LineTable(LineKind kind) {
  return kind == LineKind::Items ? "WSDJXM" : "WSDJPJ";
}
const char* LineKey(LineKind kind) {
  return kind == LineKind::Items ? "项目ID" : "产品ID";
}

}  // namespace

std::string OrderListSelect() {
  return " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
         "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
         "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
}

std::string OrderSearchSelect() {
  return " SELECT WSDJ.*,  pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
         "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
         "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
}

std::pair<db::Date, db::Date> DateWindow(const db::Date& login, int months) {
  if (months == 0) months = 12;
  int startYear = login.year;
  int startMonth = login.month - months;
  while (startMonth < 1) {
    startMonth += 12;
    --startYear;
  }
  while (startMonth > 12) {
    startMonth -= 12;
    ++startYear;
  }
  int endYear = login.year;
  int endMonth = login.month + 1;
  if (endMonth > 12) {
    endMonth -= 12;
    ++endYear;
  }
  return {db::Date{startYear, startMonth, 1}, db::Date{endYear, endMonth, 1}};
}

std::string DateWindowCondition(const db::Date& login, int months, std::string_view driver) {
  auto [from, to] = DateWindow(login, months);
  return db::Sql(" and 进厂日期>=")
      .Date(from.Text(), driver)
      .Raw(" and 进厂日期<")
      .Date(to.Text(), driver)
      .Literal();
}

std::string LinesSelect(LineKind kind, int64_t orderId) {
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
  return sql.Raw("  WHERE 单据ID=").Key(orderId).Raw(" order by 单据明细ID").Literal();
}

std::string LastVisitSelect(int64_t vehicleId) {
  return db::Sql(" SELECT top 1 车厂,送修人,司机电话,公里数 FROM wsdj where 车辆ID=")
      .Key(vehicleId)
      .Raw(" order by 单据ID desc ")
      .Literal();
}

std::string SaveRuleSelect(int64_t programNumber) {
  return db::Sql("SELECT text FROM xt_BillAttribute WHERE progID=")
      .Key(programNumber)
      .Raw(" and attribute='onsavecode' ")
      .Literal();
}

std::string NextRevision(const std::string& number) {
  size_t dash = number.rfind('-');
  if (dash == std::string::npos) return number + "-1";
  double revision = db::NumericValue(std::string_view(number).substr(dash + 1));
  return number.substr(0, dash) + "-" + db::DecimalText(revision + 1);
}

std::string DuplicateOfExistingSelect(int64_t orderId, int64_t programNumber,
                                      const std::string& number) {
  return db::Sql(" Select  * From wsdj Where 单据ID <> ")
      .Key(orderId)
      .Raw(" and progid =")
      .Key(programNumber)
      .Raw(" and 工单号码=")
      .Text(number)
      .Literal();
}

std::string DuplicateOfNewSelect(const std::string& number, int64_t programNumber) {
  return db::Sql(" select  * from  wsdj where  工单号码 =")
      .Text(number)
      .Raw(" and progid =")
      .Key(programNumber)
      .Literal();
}

std::string VehicleIdSelect(const std::string& plate) {
  return db::Sql(" SELECT 车辆ID FROM clzl WHERE 车牌号=").Text(plate).Literal();
}

std::string VehicleUpdate(int64_t vehicleId, const VehicleValues& v) {
  return db::Sql(" UPDATE clzl   SET 发动机号=")
      .Text(v.engine)
      .Raw(",       车架号=")
      .Text(v.chassis)
      .Raw(",       车型=")
      .Text(v.model)
      .Raw(",       车主ID=")
      .Key(v.ownerId)
      .Raw("  WHERE 车辆ID=")
      .Key(vehicleId)
      .Literal();
}

std::string VehicleInsert(int64_t vehicleId, const VehicleValues& v) {
  // The vehicle number of a car first met on an order is its id.
  return db::Sql(" INSERT INTO clzl(车辆ID,车辆编号,车牌号,发动机号,车架号,车型,车主ID) VALUES (")
      .Key(vehicleId)
      .Raw(",")
      .Text(std::to_string(vehicleId))
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
      .Raw(")")
      .Literal();
}

std::string DeleteLinesStatement(LineKind kind, const std::vector<int64_t>& lineIds) {
  db::Sql sql(kind == LineKind::Items ? "Delete from wsdjxm Where 单据明细ID in("
                                      : "Delete from wsdjpj Where 单据明细ID in(");
  for (size_t i = 0; i < lineIds.size(); ++i) {
    if (i > 0) sql.Raw(",");
    sql.Key(lineIds[i]);
  }
  return sql.Raw(")").Literal();
}

std::string HeaderUpdate(const OrderHeader& h, int64_t orderId, std::string_view driver) {
  return db::Sql(" update wsdj  SET 制单人=")
      .Text(h.enteredBy)
      .Raw(", 制单日期=")
      .Date(h.entryDate, driver)
      .Raw(",      工单号码=")
      .Text(h.number)
      .Raw(",      车主ID=")
      .Key(h.ownerId)
      .Raw(",      主管部门=")
      .Text(h.department)
      .Raw(",      车厂=")
      .Text(h.maker)
      .Raw(",      进厂日期=")
      .Date(h.dateIn, driver)
      .Raw(",      车辆ID=")
      .Key(h.vehicleId)
      .Raw(",      送修人=")
      .Text(h.person)
      .Raw(",      司机电话=")
      .Text(h.telephone)
      .Raw(",      维修分类=")
      .Text(h.category)
      .Raw(",      维修分类ID=")
      .Key(h.categoryId)
      .Raw(",      出厂日期=")
      .Date(h.dateOut, driver)
      .Raw(",      接待人=")
      .Text(h.receptionist)
      .Raw(",      发票号码=")
      .Text(h.invoice)
      .Raw(",      公里数=")
      .NumOf(h.mileage)
      .Raw(",      维修费用=")
      .NumOf(h.labour)
      .Raw(",      配件费用=")
      .NumOf(h.parts)
      .Raw(",      诊断费=")
      .NumOf(h.diagnosis)
      .Raw(",      检测费=")
      .NumOf(h.inspection)
      .Raw(",      应收合计=")
      .NumOf(h.total)
      .Raw("  WHERE 单据ID=")
      .Key(orderId)
      .Literal();
}

std::string HeaderInsert(const OrderHeader& h, int64_t orderId, int64_t programNumber,
                         std::string_view driver) {
  return db::Sql(
             " InSert Into wsdj (单据ID,progid,smark,系统,制单人,制单日期,工单号码,车主ID,"
             "主管部门,车厂,    进厂日期,车辆ID,送修人,司机电话,维修分类,维修分类ID,出厂日期,"
             "接待人,发票号码,公里数,维修费用,配件费用,    诊断费,检测费,应收合计 ) Values (")
      .Key(orderId)
      .Raw(",")
      .Key(programNumber)
      .Raw(",'01','填单',")
      .Text(h.enteredBy)
      .Raw(",")
      .Date(h.entryDate, driver)
      .Raw(",")
      .Text(h.number)
      .Raw(",")
      .Key(h.ownerId)
      .Raw(",")
      .Text(h.department)
      .Raw(",")
      .Text(h.maker)
      .Raw(",")
      .Date(h.dateIn, driver)
      .Raw(",")
      .Key(h.vehicleId)
      .Raw(",")
      .Text(h.person)
      .Raw(",")
      .Text(h.telephone)
      .Raw(",")
      .Text(h.category)
      .Raw(",")
      .Key(h.categoryId)
      .Raw(",")
      .Date(h.dateOut, driver)
      .Raw(",")
      .Text(h.receptionist)
      .Raw(",")
      .Text(h.invoice)
      .Raw(",")
      .NumOf(h.mileage)
      .Raw(",")
      .NumOf(h.labour)
      .Raw(",")
      .NumOf(h.parts)
      .Raw(",")
      .NumOf(h.diagnosis)
      .Raw(",")
      .NumOf(h.inspection)
      .Raw(",")
      .NumOf(h.total)
      .Raw(")")
      .Literal();
}

std::string LineInsert(LineKind kind, const OrderLine& line, int64_t orderId) {
  return db::Sql(" INSERT INTO ")
      .Raw(LineTable(kind))
      .Raw(" (单据明细ID,单据ID,")
      .Raw(LineKey(kind))
      .Raw(",数量,单价,金额,说明 ) VALUES (")
      .Key(line.lineId)
      .Raw(",")
      .Key(orderId)
      .Raw(",")
      .Key(line.key)
      .Raw(",")
      .NumOf(line.quantity)
      .Raw(",")
      .NumOf(line.price)
      .Raw(",")
      .NumOf(line.amount)
      .Raw(",")
      .Text(line.remark)
      .Raw(")")
      .Literal();
}

std::string LineUpdate(LineKind kind, const OrderLine& line) {
  return db::Sql(" UPDATE ")
      .Raw(LineTable(kind))
      .Raw("   SET ")
      .Raw(LineKey(kind))
      .Raw("=")
      .Key(line.key)
      .Raw(",       数量=")
      .NumOf(line.quantity)
      .Raw(",       单价=")
      .NumOf(line.price)
      .Raw(",       金额=")
      .NumOf(line.amount)
      .Raw(",       说明=")
      .Text(line.remark)
      .Raw(" WHERE 单据明细ID=")
      .Key(line.lineId)
      .Literal();
}

std::string StatusUpdate(bool check, int64_t programNumber, const std::string& user,
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
      .Key(orderId)
      .Literal();
}

std::vector<std::string> DeleteOrderStatements(int64_t orderId) {
  return {db::Sql("Delete from wsdj where 单据ID=").Key(orderId).Literal(),
          db::Sql("Delete from wsdjxm where 单据ID=").Key(orderId).Literal(),
          db::Sql(" delete from wsdjpj where 单据ID=").Key(orderId).Literal()};
}

std::string IssuedPartsSelect(int64_t orderId) {
  return db::Sql(
             "SELECT jxcdjmx.*, pdmcpml.物品编码, pdmcpml.物品名称, pdmcpml.规格 AS 产品规格, "
             "pdmcpml.库存单位  FROM (((wsdj INNER JOIN jxcdj ON wsdj.单据ID=jxcdj.前置单据ID) "
             "INNER JOIN jxcdjmx ON jxcdj.单据ID = jxcdjmx.单据ID)  INNER JOIN pdmcpml ON "
             "jxcdjmx.产品ID = pdmcpml.产品ID) where wsdj.单据ID= ")
      .Key(orderId)
      .Literal();
}

std::string IssuedCostSelect(int64_t orderId) {
  return db::Sql(
             "SELECT sum(实际金额) FROM ((wsdj INNER JOIN jxcdj ON wsdj.单据ID=jxcdj.前置单据ID) "
             "INNER JOIN jxcdjmx ON jxcdj.单据ID = jxcdjmx.单据ID) where wsdj.单据ID =")
      .Key(orderId)
      .Literal();
}

}  // namespace ws::repair_order
