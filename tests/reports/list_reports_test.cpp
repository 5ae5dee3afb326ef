// The list reports, each over a small shop whose rows are known: a vehicle's visits, the
// services due and the receivables by age; the start page's lists; parts issued against
// parts billed, the period-close checklist and the audit trail.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "db/audit_trail.h"
#include "db/date.h"
#include "forms/input.h"
#include "forms/text.h"
#include "money/orders_fixture.h"
#include "platform/output_file.h"
#include "reports/calendar.h"
#include "reports/day_work.h"
#include "reports/issued_billed.h"
#include "reports/list_reports.h"
#include "reports/period_checklist.h"
#include "reports/receivables_age.h"
#include "reports/service_due.h"
#include "reports/vehicle_history.h"
#include "shop/exchange/report_run.h"
#include "shop/exchange/xlsx_export.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

using Texts = std::vector<std::string>;

// The lists over a vehicle's visits and the shop's receivables, on a shop whose visits,
// service intervals and receipts are known:
//   京A11111 (顺达物流): 2012-01-01 10000 km oil service, 2012-03-01 13000 km alignment,
//     2012-04-01 14500 km oil service with two filters; oil service is every 6 months or
//     5000 km, so at its ~49 km a day the kilometres fall due first.
//   京B22222 (李四): 2011-12-15 oil service, then 2012-02-29 brakes (every 12 months) only,
//     never read.
//   京C33333 (顺达物流): 2012-05-10 8000 km oil service, 2012-05-16 unread.
// Receivables: the order of 03-01 is paid by two receipts (03-05, 04-01); the order of 04-01
// was paid 100 after 06-15; a receipt still being entered names the order of 01-01.
class ServiceListsTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmwldw (往来ID,公司名称,电话) values "
        "(1,'顺达物流','010-6666'),(2,'李四','')");
    host_.Exec(
        "insert into clzl (车辆ID,车牌号,车型,车主ID) values (1,'京A11111','桑塔纳',1),"
        "(2,'京B22222','捷达',2),(3,'京C33333','',1)");
    host_.Exec(
        "insert into PDMWXXM (AutoID,编码,维修项目,保养月数,保养公里) values "
        "(1,'01','机油保养',6,5000),(2,'02','四轮定位',0,0),(3,'03','更换刹车片',12,0)");
    host_.Exec("insert into PDMCPML (产品ID,物品编码,物品名称) values (1,'P1','机油滤清器')");
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,出厂日期,公里数,"
        "维修分类,司机电话,应收合计,总金额,现收金额,补收金额,扣零金额,余额) values "
        "(11,200001,'02','WS011',1,1,'2012-01-01','2012-01-02',10000,'保养','',300,300,0,0,0,300),"
        "(12,200001,'02','WS012',1,1,'2012-03-01',NULL,13000,'维修','',500,500,0,500,0,0),"
        "(13,200001,'02','WS013',1,1,'2012-04-01','2012-04-01',14500,'保养','',500,500,0,100,0,"
        "400),"
        "(21,200001,'01','WS021',2,2,'2012-02-29',NULL,0,'维修','13900000000',100,100,0,0,0,100),"
        "(22,200001,'02','WS022',2,2,'2011-12-15',NULL,0,'保养','',90,90,90,0,0,0),"
        "(31,200001,'02','WS031',1,3,'2012-05-10',NULL,8000,'保养','',250,250,0,0,0,250),"
        "(14,200001,'02','WS014',1,3,'2012-05-16',NULL,0,'维修','',80,80,0,0,0,80)");
    host_.Exec(
        "insert into WSDJXM (单据明细ID,单据ID,项目ID) values (1,11,1),(2,12,2),(3,13,1),(4,21,3),"
        "(5,22,1),(6,31,1)");
    host_.Exec("insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量) values (1,13,1,2)");
    // Settlement of 13; receipts 70 and 71 pay off 12, 72 pays 100 of 13 after 06-15, 73 is
    // not checked.
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,单据编号,前置单据ID,单据日期) values "
        "(60,200003,'02','JS060',13,'2012-04-02'),(70,200004,'02','SK070',0,'2012-03-05'),"
        "(71,200004,'02','SK071',0,'2012-04-01'),(72,200004,'02','SK072',0,'2012-06-20'),"
        "(73,200004,'01','SK073',0,'2012-06-20')");
    host_.Exec(
        "insert into ARPReceiveMx (单据明细ID,单据ID,源单ID,结算金额,折扣金额) values "
        "(1,70,12,200,0),(2,71,12,290,10),(3,72,13,100,0),(4,73,11,50,0)");
  }
  // A customer's buckets (0-30, 31-60, 61-90, over 90 days) and total.
  static std::string Ages(const AgedCustomer& customer) {
    std::string text;
    for (const db::Amount& amount : customer.buckets) text += amount.Text() + "/";
    return text + customer.total.Text();
  }
};

TEST_F(ServiceListsTest, HistoryListsEveryVisitNewestFirstWithItsLinesAndDistance) {
  const VehicleHistory history = LoadVehicleHistory(host_.Db(), " 京A11111 ");
  ASSERT_EQ(history.error, "");
  EXPECT_EQ(history.owner, "顺达物流");
  const auto km = [](double perDay) {  // to the ten-billionth
    char text[32];
    std::snprintf(text, sizeof text, "%.10f", perDay);
    return std::string(text);
  };
  Texts visits;
  for (const VisitRow& v : history.visits) {
    visits.push_back(v.number + "/" + v.items + "/" + v.parts + "/" + v.dateOut + "/" +
                     (v.settled ? "settled/" : "open/") + v.collected.Text() + "/" +
                     v.balance.Text() + "/" + (v.kmPerDay ? km(*v.kmPerDay) : "-"));
  }
  // 1500 km over the 31 days since 03-01, 3000 over the 60 since 01-01; none before the first.
  EXPECT_EQ(
      visits,
      (Texts{"WS013/机油保养/机油滤清器×2/2012-04-01/settled/100/400/" + km(1500.0 / 31),
             "WS012/四轮定位///open/500/0/" + km(50), "WS011/机油保养//2012-01-02/open/0/300/-"}));

  forms::Grid grid("Vs");
  FillHistoryGrid(history, grid);
  ASSERT_EQ(grid.Rows(), 5) << "header, three visits, totals";
  EXPECT_TRUE(grid.IsSubtotalRow(4));
  EXPECT_EQ(grid.TextMatrix(4, grid.FindCol("应收合计")), "1300");
  EXPECT_EQ(grid.TextMatrix(1, grid.FindCol("单据ID")), "13");
  EXPECT_TRUE(grid.ColHidden(grid.FindCol("单据ID")));
}

TEST_F(ServiceListsTest, DistancePerDayNeedsTwoReadingsOnTwoDays) {
  struct Case {
    const char* earlier;
    double earlierKm;
    const char* later;
    double laterKm;
    std::optional<double> perDay;
  };
  const std::vector<Case> cases = {{"2012-01-01", 1000, "2012-01-11", 1500, 50},
                                   {"2012-01-01", 0, "2012-01-11", 1500, std::nullopt},
                                   {"2012-01-01", 1000, "2012-01-01", 1500, std::nullopt},
                                   {"2012-01-01", 1500, "2012-01-11", 1000, std::nullopt},
                                   {"", 1000, "2012-01-11", 1500, std::nullopt}};
  for (const Case& c : cases) {
    EXPECT_EQ(KmPerDay(c.earlier, c.earlierKm, c.later, c.laterKm), c.perDay) << c.earlier;
  }
  EXPECT_EQ(AddMonths("2012-02-29", 12), "2013-02-28");
  EXPECT_EQ(AddMonths("2011-08-31", 6), "2012-02-29");
  EXPECT_EQ(AddDays("2012-12-31", 1), "2013-01-01");
  EXPECT_EQ(DaysBetween("2012-03-01", "2012-02-28"), -2);
}

TEST_F(ServiceListsTest, DueListTakesTheEarlierOfMonthsAndKilometres) {
  const auto due = [&](const char* from, const char* to) {
    const ServiceDue list = LoadServiceDue(host_.Db(), from, to);
    EXPECT_EQ(list.error, "");
    Texts rows;
    for (const ServiceDueRow& r : list.rows) {
      rows.push_back(r.plate + " " + r.dueDate + (r.byKilometres ? " km " : " months ") +
                     r.lastVisit + " " + r.phone + " " + r.items);
    }
    return rows;
  };
  // 京A11111: 4500 km over 91 days; 5000 km more take 102 days from 04-01, before 10-01.
  // 京C33333 has a single reading: by months only.
  EXPECT_EQ(due("2012-07-01", "2012-12-31"),
            (Texts{"京A11111 2012-07-12 km 2012-04-01 010-6666 机油保养",
                   "京C33333 2012-11-10 months 2012-05-10 010-6666 机油保养"}));
  // 京B22222's last interval visit is the brakes of a leap day; its phone is the driver's.
  EXPECT_EQ(due("2013-02-01", "2013-02-28"),
            Texts{"京B22222 2013-02-28 months 2012-02-29 13900000000 更换刹车片"});
  // No reminder once the item loses its intervals.
  host_.Exec("update PDMWXXM set 保养月数=0, 保养公里=0");
  EXPECT_EQ(due("2000-01-01", "2099-12-31"), Texts{});
}

// Visits older than the longest interval before the window are left unread, unless an item
// falls due by kilometres alone: a vehicle driven 1 km a day is due 3,000 km after its visit
// whatever months lie between; not so one whose next visit, a day later, had an item of months.
TEST_F(ServiceListsTest, AnItemOfKilometresAloneIsDueAtAnyAge) {
  host_.Exec("update PDMWXXM set 保养公里=3000 where AutoID=2");
  host_.Exec(
      "insert into clzl (车辆ID,车牌号,车型,车主ID) values "
      "(4,'京D44444','',2),(5,'京E55555','',2)");
  host_.Exec(
      "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,公里数) values "
      "(41,200001,'02','WS041',2,4,'2008-01-01',1000),(42,200001,'02','WS042',2,4,'2009-01-01',"
      "1366),(43,200001,'02','WS043',2,5,'2008-01-01',1000),(44,200001,'02','WS044',2,5,"
      "'2009-01-01',1366),(45,200001,'02','WS045',2,5,'2009-01-02',1367)");
  host_.Exec("insert into WSDJXM (单据明细ID,单据ID,项目ID) values (7,42,2),(8,44,2),(9,45,1)");
  const std::string dueDay = AddDays("2009-01-01", 3000);
  const ServiceDue due = LoadServiceDue(host_.Db(), AddDays(dueDay, -10), AddDays(dueDay, 10));
  ASSERT_EQ(due.error, "");
  ASSERT_EQ(due.rows.size(), 1u);
  EXPECT_EQ(due.rows[0].plate + " " + due.rows[0].dueDate, "京D44444 " + dueDay);
}

TEST_F(ServiceListsTest, ReceivablesAgeTheBalanceHeldOnTheChosenDay) {
  ReceivablesByAge aged = LoadReceivablesByAge(host_.Db(), "2012-06-15");
  ASSERT_EQ(aged.error, "");
  ASSERT_EQ(aged.customers.size(), 1u) << "李四 owes nothing on a checked order";
  Texts numbers;
  for (const auto& order : aged.customers[0].orders) numbers.push_back(order.number);
  // WS012 is paid off by its two receipts; WS013 still owed the 100 paid on 06-20.
  EXPECT_EQ(numbers, (Texts{"WS011", "WS013", "WS031", "WS014"}));
  EXPECT_EQ(Ages(aged.customers[0]), "80/250/500/300/1130");
  EXPECT_EQ(aged.total, aged.customers[0].total);
  // WS014 arrived 05-16: 30 days old on 06-15, 31 on 06-16.
  EXPECT_EQ(Ages(LoadReceivablesByAge(host_.Db(), "2012-06-16").customers.at(0)),
            "0/330/500/300/1130");
  // On 03-10 only the first two had arrived, and WS012 still owed what 04-01 paid.
  aged = LoadReceivablesByAge(host_.Db(), "2012-03-10");
  ASSERT_EQ(aged.customers.size(), 1u);
  EXPECT_EQ(Ages(aged.customers[0]), "300/0/300/0/600");
  EXPECT_TRUE(LoadReceivablesByAge(host_.Db(), "2012-06-15", 2).customers.empty());

  // The drill-down: WS013 under its customer with the receipts up to the day (none: 06-20 is
  // after), a subtotal for the customer and the grand total.
  aged = LoadReceivablesByAge(host_.Db(), "2012-06-15", 0, true);
  forms::Grid orders("Vs");
  FillAgedOrdersGrid(aged, orders);
  ASSERT_EQ(orders.Rows(), 7) << "header, four orders, subtotal, total";
  EXPECT_EQ(orders.TextMatrix(2, 1), "WS013");
  EXPECT_EQ(orders.TextMatrix(2, orders.FindCol("61-90天")), "500.00");
  EXPECT_EQ(orders.TextMatrix(2, orders.FindCol("收款记录")), "");
  EXPECT_TRUE(orders.IsSubtotalRow(5));
  EXPECT_EQ(orders.TextMatrix(6, orders.FindCol("欠款")), "1130");
  // On 04-30 the order of 03-01 still shows both receipts paid before the day.
  host_.Exec("update ARPReceiveMx set 源单ID=11 where 单据明细ID=2");
  aged = LoadReceivablesByAge(host_.Db(), "2012-04-30", 0, true);
  ASSERT_EQ(aged.customers.size(), 1u);
  ASSERT_FALSE(aged.customers[0].orders.empty());
  std::string first = aged.customers[0].orders[0].number;
  for (const auto& r : aged.customers[0].orders[0].receipts)
    first += " " + r.number + " " + r.amount.Text();
  EXPECT_EQ(first, "WS011 SK071 300");

  forms::Grid grid("Vs");
  FillAgeGrid(LoadAgeSummary(host_.Db(), "2012-06-15"), grid);
  ASSERT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.TextMatrix(2, grid.FindCol("合计")), "1130");
  EXPECT_EQ(grid.TextMatrix(2, grid.FindCol("90天以上")), "300");
}

// The summary the database sums must tell each customer's buckets, total and count exactly as
// the orders read one by one do, on every day: boundaries, receipts after the day, orders not
// yet arrived.
TEST_F(ServiceListsTest, TheAgeSummaryAgreesWithTheOrdersOnEveryDay) {
  host_.Exec("update ARPReceiveMx set 源单ID=11 where 单据明细ID=2");
  for (const char* day : {"2012-03-01", "2012-03-10", "2012-03-31", "2012-04-30", "2012-05-16",
                          "2012-06-15", "2012-06-16", "2012-06-20", "2013-01-01"}) {
    const ReceivablesByAge orders = LoadReceivablesByAge(host_.Db(), day);
    const ReceivablesByAge summary = LoadAgeSummary(host_.Db(), day);
    ASSERT_EQ(summary.error, "") << day;
    ASSERT_EQ(summary.customers.size(), orders.customers.size()) << day;
    EXPECT_EQ(summary.buckets, orders.buckets) << day;
    EXPECT_EQ(summary.total, orders.total) << day;
    for (size_t i = 0; i < orders.customers.size(); ++i) {
      const AgedCustomer& want = orders.customers[i];
      const AgedCustomer& got = summary.customers[i];
      EXPECT_EQ(std::to_string(got.customerId) + got.name + Ages(got) + " " +
                    std::to_string(got.orderCount) + " " + std::to_string(got.orders.size()),
                std::to_string(want.customerId) + want.name + Ages(want) + " " +
                    std::to_string(want.orders.size()) + " 0")
          << day;
    }
  }
  EXPECT_NE(LoadAgeSummary(host_.Db(), "昨天").error, "");
}

// The summary put into the grid, its names walked by the database or looked up and sorted here,
// reads as the orders read one by one and sorted here: names whose byte order is not their
// ids', an order of no customer, a customer without a card and one with a blank name (all
// under "" among the first),
// one owing only what a receipt after the day wrote off, merged in at its name, and one whose id
// is far from the others' (the sums then found by halves, not by a table of the ids).
TEST_F(ServiceListsTest, TheSummaryGridHasTheCustomersInTheOrdersOrder) {
  host_.Exec(
      "insert into pdmwldw (往来ID,公司名称) values (3,'阿里'),(5,'Zeta'),(6,''),(1000003,'Ω')");
  host_.Exec(
      "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,余额) "
      "values (51,200001,'02','WS051',3,1,'2012-06-01',70,70),"
      "(52,200001,'02','WS052',4,1,'2012-05-01',40,40),"
      "(53,200001,'02','WS053',5,1,'2012-02-01',60,0),"
      "(54,200001,'02','WS054',6,1,'2012-01-05',25,25),"
      "(55,200001,'02','WS055',1000003,1,'2012-04-20',15,15),"
      "(56,200001,'02','WS056',NULL,1,'2012-03-20',35,35)");
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号,前置单据ID,单据日期) values "
      "(74,200004,'02','SK074',0,'2012-06-18')");
  host_.Exec(
      "insert into ARPReceiveMx (单据明细ID,单据ID,源单ID,结算金额,折扣金额) values "
      "(5,74,53,60,0)");
  const auto texts = [](const forms::Grid& grid) {
    Texts rows;
    for (int r = 0; r < grid.Rows(); ++r) {
      std::string row;
      for (int c = 0; c < grid.Cols(); ++c) row += grid.TextMatrix(r, c) + "|";
      rows.push_back(row);
    }
    return rows;
  };
  for (const char* day : {"2012-05-01", "2012-06-15", "2012-06-19", "2013-01-01"}) {
    forms::Grid want("Vs");
    FillAgeGrid(LoadReceivablesByAge(host_.Db(), day), want);
    for (size_t walkFrom : {size_t{0}, kWalkNamesFrom}) {
      forms::Grid got("Vs");
      ASSERT_EQ(FillAgeSummaryGrid(host_.Db(), day, got, true, walkFrom), "") << day;
      EXPECT_EQ(texts(got), texts(want)) << day << " walked from " << walkFrom;
    }
  }
  forms::Grid grid("Vs");
  EXPECT_NE(FillAgeSummaryGrid(host_.Db(), "昨天", grid), "");
  EXPECT_EQ(grid.DataRows(), 0);
}

TEST_F(ServiceListsTest, BadInputIsAnsweredWithAMessageAndNoRows) {
  const std::pair<const char*, std::string> refused[] = {
      {"unknown plate", LoadVehicleHistory(host_.Db(), "京X00000").error},
      {"no plate", LoadVehicleHistory(host_.Db(), "  ").error},
      {"no from", LoadServiceDue(host_.Db(), "", "2012-12-31").error},
      {"no window", LoadServiceDue(host_.Db(), "", "").error},
      {"window backwards", LoadServiceDue(host_.Db(), "2012-12-31", "2012-01-01").error},
      {"no day", LoadReceivablesByAge(host_.Db(), "昨天").error}};
  for (const auto& [what, error] : refused) EXPECT_NE(error, "") << what;
  EXPECT_EQ(LoadVehicleHistory(host_.Db(), "京X00000").visits.size(), 0u);
  EXPECT_EQ(
      std::to_string(AgeBucket(-3)) + std::to_string(AgeBucket(90)) + std::to_string(AgeBucket(91)),
      "023");
}

// A part of the workbook (the sheet's XML by default) as unzip reads it out of the file.
std::string SheetXml(const std::filesystem::path& file,
                     const std::string& part = "xl/worksheets/sheet1.xml") {
  std::string out;
  FILE* pipe = popen(("unzip -p '" + file.string() + "' " + part).c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// A cell of the sheet: its type attribute ("" for a number) and its stored value.
std::pair<std::string, std::string> SheetCell(const std::string& xml, const std::string& ref) {
  std::smatch match;
  const std::regex cell("<c r=\"" + ref +
                        "\"([^>]*?)(?:/>|>(?:<f>[^<]*</f>)?<v>([^<]*)</v></c>|><is><t[^>]*>([^<]*)"
                        "</t></is></c>)");
  if (!std::regex_search(xml, match, cell)) return {"missing", ""};
  std::smatch type;
  const std::string attributes = match[1];
  const std::regex typeAttribute(" t=\"([a-zA-Z]+)\"");
  return {std::regex_search(attributes, type, typeAttribute) ? type[1].str() : "",
          match[2].matched ? match[2].str() : match[3].str()};
}

TEST_F(ServiceListsTest, SpreadsheetsStoreNumbersAndDatesAsNumbers) {
  const std::filesystem::path file = host_.WorkFolder() / "list.xlsx";
  shop::ReportFilters filters;
  filters.to = "2012-06-15";
  filters.xlsxFile = file.string();
  shop::ReportRun run = shop::RunList(host_.Db(), "aging", filters);
  ASSERT_EQ(run.error, "");
  std::string xml = SheetXml(file);
  ASSERT_NE(xml, "") << "unzip could not read " << file;
  // A1 the caption, B2 the count, C2..F2 the customer's buckets, G2 the total, row 3 the
  // totals; the hidden columns are left out.
  EXPECT_EQ(SheetCell(xml, "A1").first, "inlineStr");
  const std::vector<std::pair<std::string, std::string>> numbers = {
      {"B2", "4"}, {"C2", "80"}, {"F2", "300"}, {"G2", "1130"}, {"G3", "1130"}};
  for (const auto& [ref, value] : numbers) {
    EXPECT_EQ(SheetCell(xml, ref), (std::pair<std::string, std::string>{"", value})) << ref;
  }
  EXPECT_EQ(SheetCell(xml, "H2").first, "missing");

  filters = {};
  filters.vehicle = "京A11111";
  filters.xlsxFile = file.string();
  run = shop::RunList(host_.Db(), "history", filters);
  ASSERT_EQ(run.error, "");
  xml = SheetXml(file);
  // 2012-04-01 is day 41000 of the sheet's calendar; the work-order number stays text.
  EXPECT_EQ(SheetCell(xml, "A2"), (std::pair<std::string, std::string>{"", "41000"}));
  EXPECT_EQ(SheetCell(xml, "C2"), (std::pair<std::string, std::string>{"", "14500"}));
  EXPECT_EQ(SheetCell(xml, "E2").first, "inlineStr");

  // A refused list writes nothing.
  filters = {};
  filters.from = "2012-07-01";
  filters.xlsxFile = (host_.WorkFolder() / "refused.xlsx").string();
  run = shop::RunList(host_.Db(), "due", filters);
  EXPECT_TRUE(run.usage);
  EXPECT_FALSE(std::filesystem::exists(filters.xlsxFile));
}

// A list shows money with the shop's amount decimals: the same 80 of receivables reads
// 80, 80.00 or 80.000 as the option says.
TEST_F(ServiceListsTest, ListsShowMoneyWithTheShopsAmountDecimals) {
  for (const auto& [decimals, shown] : {std::pair<std::string, std::string>{"0", ",80,250,"},
                                        {"2", ",80.00,250.00,"},
                                        {"3", ",80.000,250.000,"}}) {
    ASSERT_EQ(host_.System().SetOption(12, 12, decimals), "");
    shop::ReportFilters filters;
    filters.to = "2012-06-15";
    const shop::ReportRun run = shop::RunList(host_.Db(), "aging", filters);
    ASSERT_EQ(run.error, "");
    EXPECT_NE(run.csv.find(shown), std::string::npos) << decimals << "\n" << run.csv;
  }
}

// The sheet: a text longer than a cell takes (an audit event's changes reach 80,000
// characters) is cut with a visible mark and the cell is named; broken bytes are marked, so
// the file opens. The sheet holds its texts inline.
TEST(SheetTextTest, ALongTextIsCutVisiblyAndBrokenBytesAreMarked) {
  forms::Grid grid("Vs");
  grid.SetFormatString("单据|变更内容");
  for (const auto& [number, text] :
       {std::pair<std::string, std::string>{"W1", std::string(40000, 'x') + "尾"},
        {"W2", "bad\xff\xfe bytes"}}) {
    const int row = grid.AddRow();
    grid.SetTextMatrix(row, 0, number);
    grid.SetTextMatrix(row, 1, text);
  }
  const auto file =
      std::filesystem::temp_directory_path() / ("sheet_" + std::to_string(::getpid()) + ".xlsx");
  std::string notice;
  ASSERT_EQ(shop::WriteGridXlsx(grid, file, "审计", &notice), "");
  EXPECT_NE(notice.find("第2行“变更内容”"), std::string::npos) << notice;
  EXPECT_EQ(notice.find("第3行"), std::string::npos) << notice;
  const std::string strings = SheetXml(file);
  std::filesystem::remove(file);
  ASSERT_NE(strings, "");
  EXPECT_NE(strings.find(std::string(32000, 'x') + ""), std::string::npos);
  EXPECT_NE(strings.find("…（已截断）"), std::string::npos);
  EXPECT_EQ(strings.find("尾"), std::string::npos) << "the end of the cut text is not there";
  EXPECT_NE(strings.find("bad\xEF\xBF\xBD\xEF\xBF\xBD bytes"), std::string::npos);
  EXPECT_TRUE(forms::IsValidUtf8(strings));
}

// What a second program (openpyxl) reads in a workbook, a line for each thing it found (see
// reports/read_xlsx.py); nullopt when python3-openpyxl is not installed.
std::optional<std::vector<std::string>> ReadBack(const std::filesystem::path& file) {
  const char* data = std::getenv("WS_TEST_DATA");
  const std::string script = std::string(data ? data : "tests") + "/reports/read_xlsx.py";
  FILE* pipe =
      popen(("/usr/bin/python3 '" + script + "' '" + file.string() + "' 2>&1").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 127) {
    return std::nullopt;
  }
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(out.substr(at, end - at));
  }
  if (WEXITSTATUS(status) != 0) lines.push_back("failed: " + out);
  return lines;
}

std::filesystem::path TempSheet(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         (name + "_" + std::to_string(::getpid()) + ".xlsx");
}

// Read back by another program: dates and numbers typed with their formats, codes as text,
// the header and the totals bold, the first row frozen, the clerk's widths.
TEST(SheetTextTest, ASecondReaderReadsTheSheetBack) {
  forms::Grid grid("Vs");
  grid.SetFormatString("进厂日期|金额|内部|公里数|工单号码|备注");
  grid.Col(1).format = "###.00";
  grid.SetColHidden(2, true);
  for (const auto& line :
       {std::vector<std::string>{"2012-04-01", "1130.50", "x", "14500", "007123", "a<b & \"c\""},
        {"2012-06-15", "-0.25", "y", "0.5", "20120615001", "甲 乙"}}) {
    const int row = grid.AddRow();
    for (int c = 0; c < 6; ++c) grid.SetTextMatrix(row, c, line[static_cast<size_t>(c)]);
  }
  shop::SheetLayout layout;
  layout.widths = {12, 9.5, 0, 0, 20, 30};
  layout.totals = {"合计", "1130.25", "", "14500.5", "", ""};
  const auto file = TempSheet("readback");
  ASSERT_EQ(shop::WriteGridXlsx(grid, file, "列表:一", nullptr, &layout), "");
  const auto lines = ReadBack(file);
  std::filesystem::remove(file);
  if (!lines) GTEST_SKIP() << "python3-openpyxl is not installed: no second reader checked";
  const std::vector<std::string> expected = {
      "title\t列表_一",
      "freeze\tA2\tfrozen\t1.0",
      "cell\tA1\tstr\t进厂日期\tGeneral\t1",
      "cell\tD1\tstr\t工单号码\tGeneral\t1",
      "cell\tA2\tdatetime\t2012-04-01 00:00:00\tyyyy-mm-dd\t0",
      "cell\tB2\tfloat\t1130.5\t0.00\t0",
      "cell\tC2\tint\t14500\tGeneral\t0",
      "cell\tD2\tstr\t007123\tGeneral\t0",
      "cell\tE2\tstr\ta<b & \"c\"\tGeneral\t0",
      "cell\tA3\tdatetime\t2012-06-15 00:00:00\tyyyy-mm-dd\t0",
      "cell\tB3\tfloat\t-0.25\t0.00\t0",
      "cell\tC3\tfloat\t0.5\tGeneral\t0",
      "cell\tD3\tstr\t20120615001\tGeneral\t0",
      "cell\tE3\tstr\t甲 乙\tGeneral\t0",
      "cell\tA4\tstr\t合计\tGeneral\t1",
      "cell\tB4\tfloat\t1130.25\t0.00\t1",
      "cell\tC4\tfloat\t14500.5\tGeneral\t1",
  };
  for (const std::string& line : expected) {
    EXPECT_NE(std::find(lines->begin(), lines->end(), line), lines->end())
        << line << "\n"
        << testing::PrintToString(*lines);
  }
  // The program shows a width of (stored × 7 − 5 pixels of padding) / 7 characters.
  for (const auto& [letter, wanted] : {std::pair{"A", 12.0}, {"B", 9.5}, {"D", 20.0}}) {
    const std::string prefix = std::string("width\t") + letter + "\t";
    auto at = std::find_if(lines->begin(), lines->end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    ASSERT_NE(at, lines->end()) << letter;
    EXPECT_NEAR((std::stod(at->substr(prefix.size())) * 7 - 5) / 7, wanted, 0.08) << *at;
  }
}

// Texts XML cannot hold as they are: markup characters as entities, control characters (and a
// carriage return, which XML reads as a line feed) as the sheet's _xHHHH_, a literal _xHHHH_
// kept from being read as one, the two non-characters replaced, edge spaces kept.
TEST(SheetTextTest, TextIsEscapedSoTheSheetStaysWellFormed) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a<b & \"c\" > d", "<t>a&lt;b &amp; &quot;c&quot; &gt; d</t>"},
      {std::string("nul\0bell\a|esc\x1b", 14), "<t>nul_x0000_bell_x0007_|esc_x001B_</t>"},
      {"_x0041_ _x12_ _xZZZZ_", "<t>_x005F_x0041_ _x12_ _xZZZZ_</t>"},
      {"one\r\ntwo\tthree", "<t>one_x000D_\ntwo\tthree</t>"},
      {"\xEF\xBF\xBE|\xEF\xBF\xBF|\xEF\xBF\xBD", "<t>\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD</t>"},
      {" both ", "<t xml:space=\"preserve\"> both </t>"},
  };
  forms::Grid grid("Vs");
  grid.SetFormatString("备注");
  for (const auto& [text, xml] : cases) grid.SetTextMatrix(grid.AddRow(), 0, text);
  const auto file = TempSheet("escaped");
  ASSERT_EQ(shop::WriteGridXlsx(grid, file, "备注"), "");
  const std::string xml = SheetXml(file);
  const auto lines = ReadBack(file);
  std::filesystem::remove(file);
  for (const auto& [text, escaped] : cases) {
    EXPECT_NE(xml.find(escaped), std::string::npos) << escaped << "\n" << xml;
  }
  if (lines) {
    EXPECT_NE(std::find(lines->begin(), lines->end(), "cell\tA2\tstr\ta<b & \"c\" > d\tGeneral\t0"),
              lines->end())
        << testing::PrintToString(*lines);
  }
}

// A write that fails midway (the disk refuses more) answers the error, leaves what stood at
// the path and no file of its own beside it.
TEST(SheetTextTest, AFailedWriteLeavesNothingBehind) {
  const std::filesystem::path folder = TempSheet("failing").replace_extension();
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "out.xlsx";
  platform::WriteOutputFile(file.string(), "old");
  forms::Grid grid("Vs");
  grid.SetFormatString("单据|变更内容");
  uint64_t seed = 1;
  for (int r = 0; r < 4000; ++r) {
    std::string noise;
    for (int i = 0; i < 40; ++i) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      noise += static_cast<char>('a' + (seed >> 59));
    }
    const int row = grid.AddRow();
    grid.SetTextMatrix(row, 0, "W" + std::to_string(r));
    grid.SetTextMatrix(row, 1, noise);
  }
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 64 * 1024;
  auto* const action = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = shop::WriteGridXlsx(grid, file, "审计");
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, action);
  EXPECT_NE(error, "");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"out.xlsx"});
  std::ifstream kept(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");
  std::filesystem::remove_all(folder);
}

// A sheet holds 1,048,576 rows and a file with more does not open: the rows past the last are
// left out and the notice counts them.
TEST(SheetTextTest, RowsPastTheLastASheetHoldsAreLeftOutAndCounted) {
  forms::Grid chunk("Vs");
  chunk.SetFormatString("金额");
  for (int i = 0; i < 4096; ++i) chunk.SetTextMatrix(chunk.AddRow(), 0, std::to_string(i));
  const auto file = TempSheet("rows");
  shop::SheetWriter writer(file, "行");
  // 256 chunks of 4,096 rows under the header: one row more than the sheet holds.
  for (int i = 0; i < 256; ++i) writer.Add(chunk);
  std::string notice;
  ASSERT_EQ(writer.Finish(&notice), "");
  const std::string xml = SheetXml(file);
  std::filesystem::remove(file);
  const std::string tail = xml.substr(xml.size() - std::min<size_t>(xml.size(), 200));
  EXPECT_NE(tail.find("<row r=\"1048576\">"), std::string::npos) << tail;
  EXPECT_EQ(xml.find("1048577"), std::string::npos) << tail;
  EXPECT_NE(notice.find("其后 1 行未写入"), std::string::npos) << notice;
  // The sheet is deflated in pieces queued behind the rows being written: every row arrives
  // once, in its place, with its own value.
  long expected = 2;
  size_t misplaced = 0;
  for (size_t at = xml.find("<row r=\"2\">"); at != std::string::npos;
       at = xml.find("<row r=\"", at + 1), ++expected) {
    const long row = std::strtol(xml.c_str() + at + 8, nullptr, 10);
    const size_t value = xml.find("<v>", at);
    const std::string shown = value == std::string::npos
                                  ? ""
                                  : xml.substr(value + 3, xml.find('<', value + 3) - value - 3);
    if (row != expected || shown != std::to_string((row - 2) % 4096)) {
      if (misplaced++ == 0) ADD_FAILURE() << "row " << expected << ": " << xml.substr(at, 80);
    }
  }
  EXPECT_EQ(expected, 1048577);
  EXPECT_EQ(misplaced, 0u);
}

TEST(SheetKindTest, DigitsThatNameSomethingStayText) {
  forms::Grid grid("Vs");
  grid.SetFormatString("工单号码|公里数|电话|进厂日期");
  for (const auto& line :
       {std::vector<const char*>{"20120401001", "14500", "13900000000", "2012-04-01"},
        {"20120402001", "0.5", "", "2012-04-02"}}) {
    const int row = grid.AddRow();
    for (int c = 0; c < 4; ++c) grid.SetTextMatrix(row, c, line[static_cast<size_t>(c)]);
  }
  using K = shop::SheetKind;
  for (const auto& [col, kind] :
       {std::pair{0, K::Text}, {1, K::Number}, {2, K::Text}, {3, K::Date}})
    EXPECT_EQ(shop::SheetKindOf(grid, col), kind) << col;
  grid.SetTextMatrix(2, 1, "007");
  EXPECT_EQ(shop::SheetKindOf(grid, 1), shop::SheetKind::Text) << "a leading zero is a code";
}

TEST_F(ServiceListsTest, ListWindowsOpenTheRowsOrderAndSayWhyTheyAreEmpty) {
  CL_LS history;
  ZL_FX aging;
  BY_TX due;
  for (ReportControl* report : std::vector<ReportControl*>{&history, &aging, &due}) {
    report->Events().AttachSink(&host_.Sink());
    report->Init(host_.System(), 200007);
  }
  history.FilterInput(CL_LS::kPlate).SetText("京A11111");
  ASSERT_TRUE(history.Refresh());
  forms::Input::DoubleClick(history.Grid(), 4);  // the totals
  EXPECT_EQ(host_.Sink().Count("Detaile"), 0);
  forms::Input::DoubleClick(history.Grid(), 2);
  ASSERT_EQ(host_.Sink().Count("Detaile"), 1);
  EXPECT_EQ(host_.Sink().Named("Detaile")[0].args[1].ToLong(), 12);

  history.FilterInput(CL_LS::kPlate).SetText("京X00000");
  EXPECT_FALSE(history.Refresh());
  EXPECT_EQ(history.Grid().DataRows(), 0);
  EXPECT_NE(history.Status().Caption().find("京X00000"), std::string::npos);

  // Opened on the login day (06-15) and the month from it.
  EXPECT_EQ(aging.FilterInput(ZL_FX::kAsOf).Text(), "2012-06-15");
  EXPECT_EQ(due.FilterInput(BY_TX::kDueTo).Text(), "2012-07-14");
  ASSERT_TRUE(due.Refresh());
  EXPECT_EQ(due.Grid().TextMatrix(1, 2), "京A11111");
  // One row per customer; opening it chooses the customer and shows the orders, whose rows
  // open their order.
  ASSERT_TRUE(aging.Refresh());
  ASSERT_EQ(aging.Grid().DataRows(), 2) << "the customer and the totals";
  forms::Input::DoubleClick(aging.Grid(), 1);
  EXPECT_EQ(aging.FilterInput(ZL_FX::kCustomer).KeyLong(), 1);
  EXPECT_EQ(aging.Grid().DataRows(), 6) << "four orders, the subtotal, the total";
  EXPECT_EQ(aging.Grid().TextMatrix(1, 1), "WS011");
  EXPECT_EQ(host_.Sink().Count("Detaile"), 1);
  forms::Input::DoubleClick(aging.Grid(), 1);
  ASSERT_EQ(host_.Sink().Count("Detaile"), 2);
  EXPECT_EQ(host_.Sink().Named("Detaile")[1].args[1].ToLong(), 11);
  aging.FilterInput(ZL_FX::kCustomer).SetValue("2", "李四");
  ASSERT_TRUE(aging.Refresh()) << "a customer who owes nothing is an empty list";
  EXPECT_EQ(aging.Grid().DataRows(), 0);
  aging.FilterInput(ZL_FX::kAsOf).SetText("");
  EXPECT_FALSE(aging.Refresh());
}

TEST_F(ServiceListsTest, VinListNamesTheVehiclesWhoseStoredVinFailsWithTheReason) {
  // Valid, too long, too short, none and empty: the failing two in vehicle-number order.
  host_.Exec("update clzl set 车辆编号='V1', 车架号='1m8gdm9axkp042788' where 车辆ID=1");
  host_.Exec("update clzl set 车辆编号='V3', 车架号='LFV1111111111111 1' where 车辆ID=2");
  host_.Exec("update clzl set 车辆编号='V2', 车架号='J100' where 车辆ID=3");
  host_.Exec(
      "insert into clzl (车辆ID,车辆编号,车牌号,车架号) values (4,'V4','京D4',NULL),"
      "(5,'V5','京E5','')");
  shop::ReportRun run = shop::RunList(host_.Db(), "vin", {});
  ASSERT_EQ(run.error, "");
  EXPECT_EQ(run.csv,
            "车辆编号,车牌号,车架号,车主,车架号提示\r\n"
            "V2,京C33333,J100,顺达物流,应为17位，现为4位\r\n"
            "V3,京B22222,LFV1111111111111 1,李四,应为17位，现为18位\r\n");
  shop::ReportFilters filters;
  filters.to = "2012-06-15";
  EXPECT_TRUE(shop::RunList(host_.Db(), "vin", filters).usage) << "the list takes no filter";
}

// The start page's three lists over orders whose state is known: which order lands in which
// list, in which order, and that a settlement or an open balance moves it.
class DayWorkTest : public money::OrdersTest {
 protected:
  static std::vector<std::string> Numbers(const std::vector<DayWorkRow>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.number);
    return out;
  }
};

TEST_F(DayWorkTest, EachOrderInTheListsItsStateCallsFor) {
  DayWork work = LoadDayWork(host_.Db());
  ASSERT_EQ(work.error, "");
  EXPECT_EQ(Numbers(work.openOrders), (Texts{"WS003"}));
  // WS002 has its settlement; the receipt that names no order settles nothing.
  EXPECT_EQ(Numbers(work.unsettled), (Texts{"WS001", "WS005", "WS004", "WS000"}));
  EXPECT_EQ(Numbers(work.receivable), (Texts{"WS002", "WS001", "WS004", "WS000"}));
  EXPECT_EQ(work.receivable[1].balance, db::Amount::Of("300"));
  EXPECT_EQ(work.receivable[1].customer, "顺达物流");
  EXPECT_EQ(work.receivable[1].plate, "京A12345");

  // Settling WS004 and paying WS000 off move them; the limit cuts each list.
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号,前置单据ID) values "
      "(51,200003,'01','JS051',4)");
  host_.Exec("update WSDJ set 余额=0 where 工单号码='WS000'");
  work = LoadDayWork(host_.Db(), 2);
  EXPECT_EQ(Numbers(work.unsettled), (Texts{"WS001", "WS005"}));
  EXPECT_EQ(Numbers(work.receivable), (Texts{"WS002", "WS001"}));

  // The unsettled orders follow every write that settles, unsettles, checks or moves one: a
  // settlement removed or pointed elsewhere, an order unchecked or moved to another day.
  host_.Exec("delete from ARPReceive where 单据ID=50");
  host_.Exec("update ARPReceive set 前置单据ID=1 where 单据ID=51");
  host_.Exec("update WSDJ set smark='01' where 工单号码='WS005'");
  host_.Exec("update WSDJ set 进厂日期='2012-03-01' where 工单号码='WS000'");
  work = LoadDayWork(host_.Db());
  EXPECT_EQ(Numbers(work.unsettled), (Texts{"WS000", "WS002", "WS004"}));
  EXPECT_EQ(Numbers(work.openOrders), (Texts{"WS003", "WS005"}));
}

TEST_F(DayWorkTest, AFailingStatementIsReportedNotHidden) {
  host_.Exec("drop table ws_unsettled");
  const DayWork work = LoadDayWork(host_.Db());
  EXPECT_NE(work.error, "");
  EXPECT_TRUE(work.unsettled.empty());
  EXPECT_EQ(Numbers(work.openOrders), (Texts{"WS003"}));
}

// Parts issued against parts billed, and the period-close checklist, on a shop with known
// leaks and exactly one open matter of each kind in period 201206 (closing day 25: the period
// runs from 2012-05-26 to 2012-06-25).
//   WS101 06-01 checked, settled by JS201 (checked): issued by LL301 P1×2, P2×4, P4×1; the
//     settlement bills P1×2, P2×3, P3×1. P2 more issued, P3 never issued, P4 never billed.
//   WS102 06-05 checked, not settled: its own line P1×1, LL302 issued P1×1; LL303 (not checked)
//     would issue P1×5.
//   WS103 06-10 checked, settled by JS202, P1×1 issued and billed; 150 still owed.
//   WS104 06-20 not checked, its line P1×1 not issued yet. WS106 05-27 checked, its
//     settlement JS204 not checked.
//   WS105 05-20 (period 201205): issued P1×1, settled P1×2. WS107 06-26 (period 201207).
//   Receipts: SK401 not checked; SK402 takes 300 and writes off 200; SK403 all written off.

class LeakListsTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec("insert into pdmwldw (往来ID,公司名称) values (1,'顺达物流')");
    host_.Exec("insert into clzl (车辆ID,车牌号,车主ID) values (1,'京A11111',1)");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,物品名称) values (1,'P1','机油滤清器'),"
        "(2,'P2','刹车片'),(3,'P3','火花塞'),(4,'P4','雨刷')");
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,余额)"
        " values (101,200001,'02','WS101',1,1,'2012-06-01',500,0),"
        "(102,200001,'02','WS102',1,1,'2012-06-05',80,80),"
        "(103,200001,'02','WS103',1,1,'2012-06-10',300,150),"
        "(104,200001,'01','WS104',1,1,'2012-06-20',90,90),"
        "(105,200001,'02','WS105',1,1,'2012-05-20',60,0),"
        "(106,200001,'02','WS106',1,1,'2012-05-27',70,0),"
        "(107,200001,'01','WS107',1,1,'2012-06-26',40,40)");
    host_.Exec(
        "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,金额) values (1,101,1,2,60),"
        "(2,102,1,1,30),(3,105,1,1,30),(4,104,1,1,30)");
    host_.Exec(
        "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据,前置单据ID,操作日期,总金额)"
        " values (301,200002,'02','LL301',200001,101,'2012-06-02',270),"
        "(302,200002,'02','LL302',200001,102,'2012-06-05',20),"
        "(303,200002,'01','LL303',200001,102,'2012-06-06',100),"
        "(304,200002,'02','LL304',200001,103,'2012-06-10',20),"
        "(305,200002,'02','LL305',200001,105,'2012-05-20',20)");
    host_.Exec(
        "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values (1,301,1,2,40),"
        "(2,301,2,4,200),(3,301,4,1,30),(4,302,1,1,20),(5,303,1,5,100),(6,304,1,1,20),"
        "(7,305,1,1,20)");
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,单据编号,往来ID,前置单据ID,单据日期,总金额)"
        " values (201,200003,'02','JS201',1,101,'2012-06-03',500),"
        "(202,200003,'02','JS202',1,103,'2012-06-12',300),"
        "(203,200003,'02','JS203',1,105,'2012-05-21',60),"
        "(204,200003,'01','JS204',1,106,'2012-06-21',70),"
        "(401,200004,'01','SK401',1,0,'2012-06-15',100),"
        "(402,200004,'02','SK402',1,0,'2012-06-16',300),"
        "(403,200004,'02','SK403',1,0,'2012-06-17',50)");
    host_.Exec(
        "insert into ARPReceive_PJ (单据明细ID,单据ID,产品ID,数量,金额) values (1,201,1,2,60),"
        "(2,201,2,3,150),(3,201,3,1,20),(4,202,1,1,30),(5,203,1,2,60)");
    host_.Exec(
        "insert into ARPReceiveMx (单据明细ID,单据ID,源单ID,结算金额,折扣金额) values "
        "(1,401,103,100,0),(2,402,103,200,0),(3,403,102,50,0)");
  }
};

// (order, part code, issued, billed, difference)
using PartRow = std::tuple<std::string, std::string, std::string, std::string, std::string>;

std::vector<PartRow> PartRows(const IssuedAgainstBilled& list) {
  std::vector<PartRow> rows;
  for (const IssuedOrder& order : list.orders) {
    for (const PartLine& part : order.parts) {
      rows.emplace_back(order.number, part.code, part.issuedQuantity.Text(),
                        part.BilledQuantity(order.Settled()).Text(),
                        PartDifferenceCaption(order.DifferenceOf(part)));
    }
  }
  return rows;
}

TEST_F(LeakListsTest, AWindowListsOnlyTheOrdersAndPartsThatDiffer) {
  const IssuedAgainstBilled list =
      LoadIssuedAgainstBilled(host_.Db(), "2012-05-01", "2012-06-30", "", true);
  ASSERT_EQ(list.error, "");
  // WS102 and WS103 match; LL303, not checked, issues nothing.
  EXPECT_EQ(PartRows(list), (std::vector<PartRow>{{"WS105", "P1", "1", "2", "开单多于领用"},
                                                  {"WS101", "P2", "4", "3", "领用多于开单"},
                                                  {"WS101", "P3", "0", "1", "开单未领用"},
                                                  {"WS101", "P4", "1", "0", "领用未开单"}}));
  const PartLine& more = list.orders[1].parts[0];
  std::string amounts = more.issuedAmount.Text() + " " + more.settledAmount.Text();
  for (const auto& requisition : more.requisitions) amounts += " " + requisition.number;
  EXPECT_EQ(amounts, "200 150 LL301");

  forms::Grid grid("Vs");
  FillIssuedGrid(list, grid);
  ASSERT_EQ(grid.Rows(), 1 + 4 + 2 + 1) << "header, parts, a subtotal per order, the total";
  const int last = grid.Rows() - 1;
  EXPECT_TRUE(grid.IsSubtotalRow(last));
  EXPECT_EQ(grid.TextMatrix(last, grid.FindCol("领用金额")), "250");
  EXPECT_EQ(grid.TextMatrix(last, grid.FindCol("开单金额")), "230");
  EXPECT_EQ(grid.TextMatrix(3, grid.FindCol("开单依据")), "结算单 JS201");
  for (const char* id : {"领料单据ID", "单据ID"}) EXPECT_TRUE(grid.ColHidden(grid.FindCol(id)));

  // The order still in the workshop comes in when not only checked orders are asked for.
  const std::vector<PartRow> all =
      PartRows(LoadIssuedAgainstBilled(host_.Db(), "2012-05-01", "2012-06-30"));
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all.back(), (PartRow{"WS104", "P1", "0", "1", "开单未领用"}));
}

TEST_F(LeakListsTest, AnOrderByNumberShowsEveryPartAndTheBillBeforeASettlement) {
  IssuedAgainstBilled list = LoadIssuedAgainstBilled(host_.Db(), "", "", " WS101 ");
  ASSERT_EQ(list.error, "");
  ASSERT_EQ(list.orders.size(), 1u);
  EXPECT_EQ(std::get<4>(PartRows(list)[0]), "") << "P1 matches and is still shown";
  EXPECT_EQ(PartRows(list).size(), 4u);

  // Unsettled, the order's own lines are the bill.
  list = LoadIssuedAgainstBilled(host_.Db(), "", "", "WS102");
  EXPECT_EQ(PartRows(list), (std::vector<PartRow>{{"WS102", "P1", "1", "1", ""}}));
  EXPECT_FALSE(list.orders[0].HasDifference());

  struct Refusal {
    const char* from;
    const char* to;
    const char* number;
  };
  for (const Refusal& r : {Refusal{"2012-06-30", "2012-06-01", ""}, Refusal{"x", "2012-06-01", ""},
                           Refusal{"", "", "WS999"}}) {
    EXPECT_NE(LoadIssuedAgainstBilled(host_.Db(), r.from, r.to, r.number).error, "") << r.number;
  }
}

TEST_F(LeakListsTest, TheChecklistHoldsOneOfEachOpenKindAndOpensItsDocument) {
  const PeriodChecklist list = LoadPeriodChecklist(host_.Db(), 201206, 25);
  ASSERT_EQ(list.error, "");
  EXPECT_EQ(list.from + " " + list.to, "2012-05-26 2012-06-25");
  using Item = std::tuple<std::string, std::string, int64_t, int64_t, std::string>;
  std::vector<Item> items;
  for (const OpenItem& item : list.items) {
    items.emplace_back(OpenKindCaption(item.kind), item.number, item.program, item.id,
                       item.amount.Text());
  }
  EXPECT_EQ(items, (std::vector<Item>{{"工单未审核", "WS104", 200001, 104, "90"},
                                      {"领料单未审核", "LL303", 200002, 303, "100"},
                                      {"结算单未审核", "JS204", 200003, 204, "70"},
                                      {"收款单未审核", "SK401", 200004, 401, "100"},
                                      {"已审核未结算", "WS102", 200001, 102, "80"},
                                      {"结算后仍欠款", "JS202", 200003, 202, "150"},
                                      {"领用与开单不符", "WS101", 200001, 101, "60"},
                                      {"收款未核销完", "SK402", 200004, 402, "100"}}));
  EXPECT_EQ(list.items[6].note, "刹车片 领用多于开单；火花塞 开单未领用；雨刷 领用未开单");

  // The next period holds only WS107; a period that is none is refused.
  const PeriodChecklist next = LoadPeriodChecklist(host_.Db(), 201207, 25);
  ASSERT_EQ(next.items.size(), 1u);
  EXPECT_EQ(next.items[0].number, "WS107");
  EXPECT_NE(LoadPeriodChecklist(host_.Db(), 201213, 25).error, "");
}

TEST(PeriodWindowTest, APeriodHoldsTheDaysItsClosingDayGivesIt) {
  struct Case {
    int period;
    int closingDay;
    const char* first;
    const char* last;
  };
  const std::vector<Case> cases = {
      {201206, 25, "2012-05-26", "2012-06-25"}, {201206, 0, "2012-06-01", "2012-06-30"},
      {201201, 25, "2011-12-26", "2012-01-25"}, {201202, 30, "2012-01-31", "2012-02-29"},
      {201203, 30, "2012-03-01", "2012-03-30"}, {201205, 31, "2012-05-01", "2012-05-31"}};
  for (const Case& c : cases) {
    const auto window = WindowOfPeriod(c.period, c.closingDay);
    ASSERT_TRUE(window) << c.period;
    EXPECT_EQ(window->first.Text() + " " + window->last.Text(), std::string(c.first) + " " + c.last)
        << c.period << "/" << c.closingDay;
    // Every day of the window, and no day beside it, falls in the period.
    for (const db::Date& day : {window->first, window->last}) {
      EXPECT_EQ(db::PeriodOfDate(day, c.closingDay), c.period) << day.Text();
    }
  }
  EXPECT_FALSE(WindowOfPeriod(201200, 25));

  for (const auto& [day, shown] : {std::pair{db::Date{2012, 6, 25}, true},
                                   {{2012, 6, 23}, true},
                                   {{2012, 6, 22}, false},
                                   {{2012, 6, 26}, false}}) {
    EXPECT_EQ(NearClosing(day, 201206, 25, 3), shown) << day.Text();
  }
}

TEST_F(LeakListsTest, TheWindowsOpenOrderOrRequisitionAndTheCommandWritesBoth) {
  LY_DB issued;
  issued.Events().AttachSink(&host_.Sink());
  issued.Init(host_.System(), LY_DB::kProgram);
  // Opened on the login month.
  EXPECT_EQ(issued.FilterInput(LY_DB::kArrivedFrom).Text(), "2012-06-01");
  EXPECT_EQ(issued.FilterInput(LY_DB::kArrivedTo).Text(), "2012-06-30");
  ASSERT_TRUE(issued.Refresh());
  forms::Grid& grid = issued.Grid();
  ASSERT_EQ(grid.TextMatrix(1, 0), "WS101");
  grid.SetCurrentCol(ColumnOf(IssuedColumns(), "领料单"));
  forms::Input::DoubleClick(grid, 1);
  grid.SetCurrentCol(0);
  forms::Input::DoubleClick(grid, 1);
  Texts opened;
  for (const auto& e : host_.Sink().Named("Detaile"))
    opened.push_back(e.args[0].ToText() + "/" + e.args[1].ToText());
  EXPECT_EQ(opened, (Texts{"200002/301", "200001/101"}));

  host_.Exec("delete from ws_parameter where module=12 and number in (1,3)");
  host_.Exec("insert into ws_parameter (module,number,value) values (12,1,'201206'),(12,3,'25')");
  JZ_JC current;
  current.Init(host_.System(), JZ_JC::kProgram);
  EXPECT_EQ(current.FilterInput(JZ_JC::kPeriod).Text(), "201206");
  ASSERT_TRUE(current.Refresh());
  EXPECT_EQ(current.Grid().TextMatrix(1, 1), "WS104");

  shop::ReportFilters filters;
  filters.number = "WS101";
  shop::ReportRun run = shop::RunList(host_.Db(), "issued", filters);
  ASSERT_EQ(run.error, "");
  EXPECT_EQ(run.rows, 4 + 1 + 1);
  run = shop::RunList(host_.Db(), "checklist", shop::ReportFilters{});
  ASSERT_EQ(run.error, "");
  EXPECT_NE(run.csv.find("SK402"), std::string::npos);
  filters = {};
  filters.period = "201206";
  filters.from = "2012-06-01";
  EXPECT_TRUE(shop::RunList(host_.Db(), "checklist", filters).usage);
}

// The audit trail as a list: the window opened on one document lists its whole history and
// leaves it once the clerk names another; a kind of document is typed as the menu names it;
// `ws report audit` reads the same events.
class AuditListTest : public test::HostTest {
 protected:
  void SetUp() override {
    // Order 7, renumbered by its second save; order 8; card 7 of a vehicle.
    Add({"WS_S", 200001, 7, "W7", db::AuditAction::Insert, {{"备注", "", "甲"}}}, "张三", "06-14");
    Add({"WS_S", 200001, 8, "W8", db::AuditAction::Insert, {}}, "张三", "06-15");
    Add({"WS_S", 200001, 7, "W7-1", db::AuditAction::Update, {{"备注", "甲", "乙"}}}, "李四",
        "06-15");
    Add({"PDM_clAdd", 0, 7, "", db::AuditAction::Delete, {}}, "李四", "06-16");
    // Order 9, saved before lines had names and since.
    db::AuditEvent order9{"WS_S", 200001, 9, "W9", db::AuditAction::Update, {}};
    order9.changes = {{"ywGridPJ#573.数量", "2", "3"}, {"ywGrid#8", "", "新增行: 结算金额=5"}};
    Add(order9, "王五", "06-13");
    order9.changes = {{"维修配件第2行（PJ5 机滤）·数量", "3", "4"}, {"备注", "#5.2", "x#1.y"}};
    Add(order9, "王五", "06-14");
  }
  void Add(const db::AuditEvent& event, const std::string& user, const std::string& day) {
    host_.Exec(db::AuditInsert(event, {user, "desk"}, "2012-" + day + " 10:00:00"));
  }
  // Every data row's user, action and document number.
  static std::string Rows(const forms::Grid& grid) {
    std::string out;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      out += grid.TextMatrix(r, 1) + grid.TextMatrix(r, 3) + grid.TextMatrix(r, 5) + " ";
    }
    return out;
  }
};

TEST_F(AuditListTest, OneDocumentsHistoryAndTheEventsOfAKindOrAUser) {
  XG_JL list;
  list.Events().AttachSink(&host_.Sink());
  ASSERT_TRUE(list.Init(host_.System(), XG_JL::kProgram));
  // The login day (2012) and the clock's day: the window takes in both, so the events of the
  // day the clerks work in are there when it opens.
  EXPECT_EQ(list.FilterInput(XG_JL::kFrom).Text(), test::kTestLoginDate.Text());
  EXPECT_EQ(list.FilterInput(XG_JL::kTo).Text(), db::Today().Text());
  ASSERT_TRUE(list.Refresh());
  EXPECT_NE(Rows(list.Grid()), "") << "the login day's events";
  list.FilterInput(XG_JL::kFrom).SetText("2012-06-15");
  list.FilterInput(XG_JL::kTo).SetText("2012-06-15");
  ASSERT_TRUE(list.Refresh());
  EXPECT_EQ(Rows(list.Grid()), "李四修改W7-1 张三新增W8 ") << "one second: by document";

  ASSERT_TRUE(list.ShowDocument("WS_S", 7) && list.Refresh());
  EXPECT_EQ(list.FilterInput(XG_JL::kType).Text(), "维修工单");
  EXPECT_EQ(list.FilterInput(XG_JL::kNumber).Text(), "W7-1") << "the number it carries now";
  EXPECT_EQ(Rows(list.Grid()), "张三新增W7 李四修改W7-1 ");
  EXPECT_EQ(list.Grid().TextMatrix(2, 6), "备注: 甲 → 乙");
  forms::Input::DoubleClick(list.Grid(), 2);
  ASSERT_EQ(host_.Sink().Count("Detaile"), 1);
  EXPECT_EQ(host_.Sink().Named("Detaile")[0].args[1].ToLong(), 7);

  // A card whose event has no code is still found by its id; an unknown kind is told.
  ASSERT_TRUE(list.ShowDocument("PDM_clAdd", 7) && list.Refresh());
  EXPECT_EQ(Rows(list.Grid()), "李四删除 ");
  list.FilterInput(XG_JL::kType).SetText("工资单");
  EXPECT_FALSE(list.Refresh());
  EXPECT_NE(list.Status().Caption().find("工资单"), std::string::npos);

  // An event from before lines had names shows the grid by its caption; a later one, and a
  // value that only looks like a line, as stored.
  ASSERT_TRUE(list.ShowDocument("WS_S", 9) && list.Refresh());
  ASSERT_EQ(list.Grid().DataRows(), 2);
  EXPECT_EQ(list.Grid().TextMatrix(1, 6),
            "维修配件（行ID 573）·数量: 2 → 3；明细（行ID 8）:  → 新增行: 结算金额=5");
  EXPECT_EQ(list.Grid().TextMatrix(2, 6),
            "维修配件第2行（PJ5 机滤）·数量: 3 → 4；备注: #5.2 → x#1.y");

  shop::ReportFilters filters;
  filters.user = "李四";
  const shop::ReportRun run = shop::RunList(host_.Db(), "audit", filters);
  ASSERT_EQ(run.error, "");
  EXPECT_EQ(run.rows, 2);
  EXPECT_NE(run.csv.find("车辆资料卡片"), std::string::npos) << run.csv;
}

}  // namespace
}  // namespace ws::reports
