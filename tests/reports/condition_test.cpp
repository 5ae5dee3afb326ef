// The condition texts of both reports for every combination of their filters, in both
// dialects, and the print's condition line. Each filter's expected piece is written out once
// per dialect; a combination expects the pieces of its filters in the report's fixed order.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/input.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"

namespace ws::reports {
namespace {

// The server dialect writes a date between quotes where the desktop one writes "#".
struct Piece {
  std::function<void(ReportControl&)> set;
  std::string jet;
  std::string Server() const {
    std::string text = jet;
    for (char& c : text) c = c == '#' ? '\'' : c;
    return text;
  }
};

// Sets the filters of mask and compares the condition text with the pieces of mask.
void CheckEveryCombination(const std::function<std::unique_ptr<ReportControl>()>& make,
                           const std::vector<Piece>& pieces) {
  for (unsigned mask = 0; mask < (1u << pieces.size()); ++mask) {
    auto report = make();
    std::string jet = " where 1=1";
    std::string server = " where 1=1";
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (!(mask & (1u << i))) continue;
      pieces[i].set(*report);
      jet += pieces[i].jet;
      server += pieces[i].Server();
    }
    EXPECT_EQ(report->ConditionText("jet").Literal(), jet) << "mask " << mask;
    EXPECT_EQ(report->ConditionText("sqlite").Literal(), server) << "mask " << mask;
    // The query carries the same condition between its joins and its order.
    const std::string query = report->Query("jet").Literal();
    EXPECT_NE(query.find(jet + "  order by "), std::string::npos) << "mask " << mask;
  }
}

TEST(ReportConditionTest, BothReportsCombineEveryFilterInOrderInBothDialects) {
  std::vector<Piece> pieces = {
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kCustomer).SetValue("12", "顺达物流"); },
       " and wsdj.车主ID=12"},
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kDateFrom).SetText("2012-05-01"); },
       " and wsdj.进厂日期>=#2012-05-01#"},
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kDateTo).SetText("2012-05-31"); },
       " and wsdj.进厂日期<=#2012-05-31#"},
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kNumber).SetText("WS001"); },
       " and wsdj.工单号码='WS001'"},
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kVehicle).SetValue("7", "京A12345"); },
       " and wsdj.车辆ID =7"},
      {[](ReportControl& r) { r.FilterInput(WS_RPT::kCategory).SetText("  保养 "); },
       " and wsdj.维修分类='保养'"},
      {[](ReportControl& r) { r.CheckedOnly().SetValue(1); }, " and wsdj.smark='02'"},
  };
  CheckEveryCombination([] { return std::make_unique<WS_RPT>(); }, pieces);

  pieces = {
      {[](ReportControl& r) { r.FilterInput(JS_RPT::kCustomer).SetValue("3", "顺达物流"); },
       " and pdmwldwjs.公司名称='顺达物流'"},
      {[](ReportControl& r) { r.FilterInput(JS_RPT::kCollector).SetValue("5", "王五"); },
       " and pdmgy.姓名='王五'"},
      {[](ReportControl& r) { r.FilterInput(JS_RPT::kDateFrom).SetText("2012-06-01"); },
       " and arpreceive.单据日期>=#2012-06-01#"},
      {[](ReportControl& r) { r.FilterInput(JS_RPT::kDateTo).SetText("2012-06-30"); },
       " and arpreceive.单据日期<=#2012-06-30#"},
      {[](ReportControl& r) { r.CheckedOnly().SetValue(1); }, " and arpreceive.smark='02'"},
  };
  CheckEveryCombination([] { return std::make_unique<JS_RPT>(); }, pieces);
}

TEST(ReportConditionTest, FieldsThatMustAddNothingOrBeCarriedSafely) {
  WS_RPT report;
  // A lookup's text without a key (typed over, or the key 0) filters nothing.
  report.FilterInput(WS_RPT::kCustomer).SetValue("0", "顺达物流");
  report.FilterInput(WS_RPT::kVehicle).SetValue("", "京A12345");
  report.FilterInput(WS_RPT::kCategory).SetText("   ");
  EXPECT_EQ(report.ConditionText("jet").Literal(), " where 1=1");
  // "Jet" is not the desktop dialect; a quote in a typed number cannot end its literal.
  report.FilterInput(WS_RPT::kDateTo).SetText("2012-06-30");
  report.FilterInput(WS_RPT::kNumber).SetText("O'1");
  EXPECT_EQ(report.ConditionText("Jet").Literal(),
            " where 1=1 and wsdj.进厂日期<='2012-06-30' and wsdj.工单号码='O''1'");
}

TEST(ReportConditionTest, PrintConditionLinesOfBothReports) {
  // The settlement report has no plate or category: its number column is the collector.
  struct Case {
    bool settlement;
    std::string from, to, plate, customer, number, category, expected;
  };
  const Case cases[] = {
      {false, "", "", "", "", "", "", "\r"},
      {false, "2012-05-01", "2012-05-31", "", "", "", "",
       "进厂日期：从 2012-05-01 到 2012-05-31\r\r"},
      {false, "2012-05-01", "", "京A1", "", "", "",
       "进厂日期：从 2012-05-01 开始\r车牌号码：京A1\r"},
      {false, "", "2012-05-31", "", "李四", "WS9", "保养",
       "进厂日期：到 2012-05-31 结束\r\t客户名称：李四\t工单号码：WS9\t维修分类：保养\r"},
      {true, "", "", "", "", "", "", "\t\r"},
      {true, "2012-06-01", "", "", "顺达", "", "",
       "收款日期：从 2012-06-01 开始\t\r客户名称：顺达\t\r"},
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
