// The print's condition line of both reports. What each filter keeps, hostile texts included,
// is checked on rows (hostile_lists_test, report_test, demo_shop_test).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "forms/input.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"

namespace ws::reports {
namespace {

TEST(ReportConditionTest, PrintConditionLinesOfBothReports) {
  // The settlement report has no plate or category: its number column is the collector.
  struct Case {
    bool settlement;
    std::string from, to, plate, customer, number, category, expected;
  };
  const Case cases[] = {
      {false, "", "", "", "", "", "", "\r"},
      {false, "2012-05-01", "", "京A1", "", "", "",
       "进厂日期：从 2012-05-01 开始\r车牌号码：京A1\r"},
      {false, "", "2012-05-31", "", "李四", "WS9", "保养",
       "进厂日期：到 2012-05-31 结束\r\t客户名称：李四\t工单号码：WS9\t维修分类：保养\r"},
      {true, "", "", "", "", "", "", "\t\r"},
      {true, "", "2012-06-30", "", "", "王五", "",
       "收款日期：到 2012-06-30 结束\t\r收款人：王五\t\r"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ReportControl> report;
    if (c.settlement) {
      report = std::make_unique<JS_RPT>();
      report->FilterInput(JS_RPT::kCustomer).SetText(c.customer);
      report->FilterInput(JS_RPT::kCollector).SetText(c.number);
    } else {
      report = std::make_unique<WS_RPT>();
      report->FilterInput(WS_RPT::kVehicle).SetValue("1", c.plate);
      report->FilterInput(WS_RPT::kCustomer).SetValue("2", c.customer);
      report->FilterInput(WS_RPT::kNumber).SetText(c.number);
      report->FilterInput(WS_RPT::kCategory).SetText(c.category);
    }
    report->FilterInput(c.settlement ? JS_RPT::kDateFrom : WS_RPT::kDateFrom).SetText(c.from);
    report->FilterInput(c.settlement ? JS_RPT::kDateTo : WS_RPT::kDateTo).SetText(c.to);
    EXPECT_EQ(report->PrintCondition(), c.expected) << c.expected;
  }
}

}  // namespace
}  // namespace ws::reports
