#include "reports/js_rpt.h"

namespace ws::reports {

namespace {

const std::vector<FilterField>& Filters() {
  static const std::vector<FilterField> filters = {
      {JS_RPT::kCustomer, "客户名称", forms::FieldKind::Lookup, "pdm_jzdw", false},
      {JS_RPT::kDateFrom, "收款日期", forms::FieldKind::Date, "", false},
      {JS_RPT::kDateTo, "至", forms::FieldKind::Date, "", false},
      {JS_RPT::kCollector, "收款人", forms::FieldKind::Lookup, "pdmgy_j", false},
  };
  return filters;
}

}  // namespace

const ListColumns& JS_RPT::Columns() {
  using K = ListColumnKind;
  static const ListColumns columns = {
      ListColumn{"收款单号", 0}.From("ARPReceive.单据编号"),
      // Settlements and receipts share the numbers' day and the table: the list says which.
      ListColumn{"单据类型", 0}
          .From("CASE ARPReceive.progID WHEN 200003 THEN '结算单' ELSE '收款单' END")
          .SavedAs(25),
      ListColumn{"收款日期", 0, K::Date}.From("ARPReceive.单据日期"),
      ListColumn{"客户名称", 0}.From("PDMWLDWJS.公司名称"),
      ListColumn{"工单号码", 0}.From("WSDJ.工单号码"),
      ListColumn{"进厂日期", 0, K::Date}.From("WSDJ.进厂日期"),
      ListColumn{"车牌号", 0}.From("CLZl.车牌号"),
      ListColumn{"行驶证号", 0}.From("CLZl.行驶证号"),
      ListColumn{"发动机号", 0}.From("CLZl.发动机号"),
      ListColumn{"收款人", 0}.From("PDMGY.姓名"),
      ListColumn{"摘要", 0}.From("ARPReceive.摘要"),
      ListColumn{"维修费用", 0, K::Money}.From("ARPReceive_FY.维修费用").Total(),
      ListColumn{"配件费用", 0, K::Money}.From("ARPReceive_FY.配件费用").Total(),
      ListColumn{"诊断费", 0, K::Money}.From("ARPReceive_FY.诊断费").Total(),
      ListColumn{"检测费", 0, K::Money}.From("ARPReceive_FY.检测费").Total(),
      ListColumn{"管理费", 0, K::Money}.From("ARPReceive_FY.管理费").Total(),
      ListColumn{"收款金额", 0, K::Money}.From("ARPReceive.总金额").Total(),
      ListColumn{"扣零金额", 0, K::Money}.From("ARPReceive.扣零金额").Total(),
      ListColumn{"备注", 0}.From("ARPReceive.备注"),
      ListColumn{"制单人", 0}.From("ARPReceive.制单人"),
      ListColumn{"制单日期", 0, K::Date}.From("ARPReceive.制单日期"),
      ListColumn{"状态", 0}.From("ARPReceive.Status"),
      ListColumn{"审核人", 0}.From("ARPReceive.审核人"),
      ListColumn{"审核日期", 0, K::Date}.From("ARPReceive.审核日期"),
      ListColumn{"progID", 0}.From("ARPReceive.progID").Hidden(),
      ListColumn{"单据ID", 0}.From("ARPReceive.单据ID").Hidden(),
  };
  return columns;
}

JS_RPT::JS_RPT() : ReportControl("JS_RPT", "JS_REP", Filters()) {}

void JS_RPT::AppendConditions(db::Sql& sql, const std::string& driver) const {
  if (const std::string& customer = FilterInput(kCustomer).Text(); !customer.empty()) {
    sql.Raw(" and pdmwldwjs.公司名称=").Text(customer);
  }
  if (const std::string& collector = FilterInput(kCollector).Text(); !collector.empty()) {
    sql.Raw(" and pdmgy.姓名=").Text(collector);
  }
  AppendDate(sql, " and arpreceive.单据日期>=", FilterInput(kDateFrom).Text(), driver);
  AppendDate(sql, " and arpreceive.单据日期<=", FilterInput(kDateTo).Text(), driver);
  if (CheckedOnly().Checked()) sql.Raw(" and arpreceive.smark='02'");
}

db::Sql JS_RPT::Query(const std::string& driver) const {
  db::Sql sql = SelectList(Columns());
  sql.Raw(
      "   FROM (((ARPReceive LEFT JOIN PDMWLDWJS ON ARPReceive.往来ID = PDMWLDWJS.往来ID) "
      "LEFT JOIN PDMGY ON ARPReceive.业务员ID = PDMGY.雇员ID)"
      "      LEFT JOIN (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID) ON "
      "ARPReceive.前置单据ID = WSDJ.单据ID)"
      "      LEFT JOIN ARPReceive_FY ON ARPReceive.单据ID = ARPReceive_FY.单据ID");
  sql.Raw(" where 1=1");
  AppendConditions(sql, driver);
  sql.Raw("  order by ARPReceive.单据日期");
  return sql;
}

std::string JS_RPT::PrintCondition() const {
  const std::string& from = FilterInput(kDateFrom).Text();
  const std::string& to = FilterInput(kDateTo).Text();
  std::string dates;
  if (!from.empty() && !to.empty()) {
    dates = "收款日期：从 " + from + " 到 " + to;
  } else if (!from.empty()) {
    dates = "收款日期：从 " + from + " 开始";
  } else if (!to.empty()) {
    dates = "收款日期：到 " + to + " 结束";
  }
  std::string text = dates + "\t";
  if (!dates.empty()) text += "\r";
  if (const std::string& customer = FilterInput(kCustomer).Text(); !customer.empty()) {
    text += "客户名称：" + customer + "\t";
  }
  if (const std::string& collector = FilterInput(kCollector).Text(); !collector.empty()) {
    text += "收款人：" + collector + "\t";
  }
  return text + "\r" + Label(kStatus);
}

}  // namespace ws::reports
