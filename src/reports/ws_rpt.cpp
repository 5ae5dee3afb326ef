#include "reports/ws_rpt.h"

#include "db/catalogue.h"
#include "db/value.h"
#include "forms/text.h"

namespace ws::reports {

namespace {

const std::vector<FilterField>& Filters() {
  static const std::vector<FilterField> filters = {
      {WS_RPT::kCustomer, "客户名称", forms::FieldKind::Lookup, "pdmkh_j", true},
      {WS_RPT::kVehicle, "车牌号码", forms::FieldKind::Lookup, "pdmcl", false},
      {WS_RPT::kDateFrom, "进厂日期", forms::FieldKind::Date, "", false},
      {WS_RPT::kDateTo, "至", forms::FieldKind::Date, "", false},
      {WS_RPT::kNumber, "工单号码", forms::FieldKind::Text, "", false},
      {WS_RPT::kCategory, "维修分类", forms::FieldKind::Lookup, "pdmwxfl", false},
  };
  return filters;
}

}  // namespace

const ListColumns& WS_RPT::Columns() {
  using K = ListColumnKind;
  static const ListColumns columns = {
      ListColumn{"进厂日期", 0, K::Date}.From("WSDJ.进厂日期"),
      ListColumn{"工单号码", 0}.From("WSDJ.工单号码"),
      ListColumn{"客户名称", 0}.From("pdmwldw.公司名称"),
      ListColumn{"车厂", 0}.From("WSDJ.车厂"),
      ListColumn{"行驶证号", 0}.From("CLZl.行驶证号"),
      ListColumn{"发动机号", 0}.From("CLZl.发动机号"),
      ListColumn{"车架号", 0}.From("CLZl.车架号"),
      ListColumn{"车型", 0}.From("CLZl.车型"),
      ListColumn{"公里数", 0, K::Number}.From("WSDJ.公里数"),
      ListColumn{"送修人", 0}.From("WSDJ.送修人"),
      ListColumn{"司机电话", 0}.From("WSDJ.司机电话"),
      ListColumn{"维修分类", 0}.From("WSDJ.维修分类"),
      ListColumn{"出厂日期", 0, K::Date}.From("WSDJ.出厂日期"),
      ListColumn{"接待人", 0}.From("WSDJ.接待人"),
      ListColumn{"维修费用", 0, K::Money}.From("WSDJ.维修费用").Total(),
      ListColumn{"配件费用", 0, K::Money}.From("WSDJ.配件费用").Total(),
      ListColumn{"诊断费", 0, K::Money}.From("WSDJ.诊断费").Total(),
      ListColumn{"检测费", 0, K::Money}.From("WSDJ.检测费").Total(),
      ListColumn{"应收合计", 0, K::Money}.From("WSDJ.应收合计").Total(),
      ListColumn{"备注", 0}.From("WSDJ.备注"),
      ListColumn{"progid", 0}.From("WSDJ.progid").Hidden(),
      ListColumn{"单据ID", 0}.From("WSDJ.单据ID").Hidden(),
  };
  return columns;
}

WS_RPT::WS_RPT() : ReportControl("WS_RPT", "WS_RPT", Filters()) {}

void WS_RPT::AppendConditions(db::Sql& sql, const std::string& driver) const {
  const int64_t customer = FilterInput(kCustomer).KeyLong();
  if (customer > 0) sql.Raw(" and wsdj.车主ID=").Key(customer);
  AppendDate(sql, " and wsdj.进厂日期>=", FilterInput(kDateFrom).Text(), driver);
  AppendDate(sql, " and wsdj.进厂日期<=", FilterInput(kDateTo).Text(), driver);
  const std::string& number = FilterInput(kNumber).Text();
  if (!number.empty()) sql.Raw(" and wsdj.工单号码=").Text(number);
  const int64_t vehicle = FilterInput(kVehicle).KeyLong();
  if (vehicle > 0) sql.Raw(" and wsdj.车辆ID =").Key(vehicle);
  const std::string category = forms::Trim(FilterInput(kCategory).Text());
  if (!category.empty()) sql.Raw(" and wsdj.维修分类=").Text(category);
  if (CheckedOnly().Checked()) sql.Raw(" and wsdj.smark='02'");
}

db::Sql WS_RPT::Query(const std::string& driver) const {
  db::Sql sql = SelectList(Columns());
  sql.Raw(
      "  FROM ((WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID) LEFT JOIN pdmwldw ON "
      "WSDJ.车主ID = pdmwldw.往来ID)");
  // The term of the index in the report's order, which every order meets (see the catalogue).
  sql.Raw(" where WSDJ.").Raw(db::kReportDayIndexTerm);
  AppendConditions(sql, driver);
  sql.Raw("  order by WSDJ.进厂日期, WSDJ.工单号码");
  return sql;
}

std::string WS_RPT::PrintCondition() const {
  const std::string& from = FilterInput(kDateFrom).Text();
  const std::string& to = FilterInput(kDateTo).Text();
  std::string text;
  if (!from.empty() && !to.empty()) {
    text = "进厂日期：从 " + from + " 到 " + to;
  } else if (!from.empty()) {
    text = "进厂日期：从 " + from + " 开始";
  } else if (!to.empty()) {
    text = "进厂日期：到 " + to + " 结束";
  }
  if (!text.empty()) text += "\r";
  if (const std::string& plate = FilterInput(kVehicle).Text(); !plate.empty()) {
    text += "车牌号码：" + plate;
  }
  if (const std::string& customer = FilterInput(kCustomer).Text(); !customer.empty()) {
    text += "\t客户名称：" + customer;
  }
  if (const std::string& number = FilterInput(kNumber).Text(); !number.empty()) {
    text += "\t工单号码：" + number;
  }
  if (const std::string& category = FilterInput(kCategory).Text(); !category.empty()) {
    text += "\t维修分类：" + category;
  }
  return text + "\r" + Label(kStatus);
}

void WS_RPT::OnRowChange(int row) {
  static const int receivable = ColumnOf(Columns(), "应收合计");
  const forms::Grid& grid = Grid();
  if (!grid.IsDataRow(row) || grid.Cols() <= receivable) return;
  const double value = db::NumericValue(grid.TextMatrix(row, receivable));
  Events().Raise("Property", {"产品ID", value, 1});
}

}  // namespace ws::reports
