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
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "db/audit_trail.h"
#include "db/date.h"
#include "forms/input.h"
#include "reports/calendar.h"
#include "reports/issued_billed.h"
#include "reports/list_reports.h"
#include "reports/period_checklist.h"
#include "shop/report_run.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

using Texts = std::vector<std::string>;

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
  grid.SetCurrentCol(kIssuedRequisitionCol);
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
  EXPECT_EQ(list.FilterInput(XG_JL::kTo).Text(), db::Today().Text()) << "opened on today";
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
