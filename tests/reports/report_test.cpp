// The reports driven as the host drives them, on small hand-made data: double click and row
// change events, the settlement report's joins and filters, query failures, and printing with
// the condition line of both. What each filter keeps, hostile texts included, is checked on
// rows (hostile_lists_test, here and demo_shop_test).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "forms/text.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "platform/print_data.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

using forms::Input;

// Column numbers of the repair-order report's query.
const int kNumberCol = ColumnOf(WS_RPT::Columns(), "工单号码");

class ReportTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'K01','顺达物流',2),"
        "(2,'K02','李四',2)");
    host_.Exec(
        "insert into pdmwldwjs (往来ID,往来编码,公司名称) values (1,'K01','顺达物流'),"
        "(3,'K03','顺达物流二部')");
    host_.Exec("insert into PDMGY (雇员ID,雇员编码,姓名) values (5,'G05','王五'),(6,'G06','赵六')");
    host_.Exec("insert into clzl (车辆ID,车牌号,车主ID) values (1,'京A12345',1),(2,'京B00002',2)");
    // Order 13 carries no program number: it cannot be opened from the report.
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,维修分类,维修费用,"
        "应收合计) values "
        "(11,200001,'02','WS011',1,1,'2012-05-02','保养',100,150),"
        "(12,200001,'01','WS012',2,2,'2012-05-01','钣金',200,260),"
        "(13,0,'02','WS013',1,1,'2012-05-03','保养',40,45.5),"
        "(14,200001,'02','ws014',2,2,'2012-06-01','保养',10,10)");
  }

  template <typename Report>
  std::unique_ptr<Report> Open() {
    auto report = std::make_unique<Report>();
    report->Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(report->Init(host_.System(), Report::kProgram));
    return report;
  }

  // The documents the host was asked to open, "program/id".
  std::vector<std::string> Opened() {
    std::vector<std::string> opened;
    for (const auto& e : host_.Sink().Named("Detaile"))
      opened.push_back(e.args[0].ToText() + "/" + e.args[1].ToText());
    return opened;
  }
  // A column's text on every data row, the work-order numbers by default.
  static std::vector<std::string> Column(const forms::Grid& grid, int col = kNumberCol) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
    return texts;
  }
  // The row showing a work-order number, -1 when none.
  static int RowOf(const forms::Grid& grid, const std::string& number) {
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      if (grid.TextMatrix(r, kNumberCol) == number) return r;
    }
    return -1;
  }
};

TEST_F(ReportTest, RepairOrderRowsOpenTheirOrderOnDoubleClickAndReportTheReceivable) {
  auto report = Open<WS_RPT>();
  ASSERT_TRUE(report->Refresh());
  forms::Grid& grid = report->Grid();
  ASSERT_EQ(grid.DataRows(), 4);
  // Ordered by arrival date; the two ids hidden.
  EXPECT_EQ(grid.TextMatrix(1, kNumberCol), "WS012");
  EXPECT_EQ(grid.TextMatrix(1, grid.FindCol("客户名称")), "李四");
  EXPECT_TRUE(grid.ColHidden(grid.FindCol("progid")) && grid.ColHidden(grid.FindCol("单据ID")) &&
              !grid.ColHidden(grid.FindCol("备注")));

  host_.Sink().Clear();
  Input::DoubleClick(grid, 0);                     // header
  Input::DoubleClick(grid, RowOf(grid, "WS013"));  // no program number
  Input::DoubleClick(grid, RowOf(grid, "WS011"));
  EXPECT_EQ(Opened(), std::vector<std::string>{"200001/11"});

  Input::SelectRow(grid, RowOf(grid, "WS013"));
  const auto property = host_.Sink().Named("Property");
  ASSERT_EQ(property.size(), 1u);
  EXPECT_EQ(property[0].args[1].ToText(), "45.5");
}

TEST_F(ReportTest, AReportOpenedOnAMonthShowsOnlyThatMonthsOrders) {
  auto report = Open<WS_RPT>();
  struct Case {
    db::Date day;
    const char* from;
    const char* to;
    std::vector<std::string> numbers;
  };
  const Case cases[] = {{{2012, 5, 17}, "2012-05-01", "2012-05-31", {"WS012", "WS011", "WS013"}},
                        {{2012, 6, 15}, "2012-06-01", "2012-06-30", {"ws014"}},
                        {{2012, 2, 9}, "2012-02-01", "2012-02-29", {}}};
  for (const Case& c : cases) {
    ASSERT_TRUE(report->ShowMonthOf(c.day));
    EXPECT_EQ(report->FilterInput(WS_RPT::kDateFrom).Text(), c.from);
    EXPECT_EQ(report->FilterInput(WS_RPT::kDateTo).Text(), c.to);
    ASSERT_TRUE(report->Refresh());
    EXPECT_EQ(Column(report->Grid()), c.numbers) << c.from;
  }
  // The settlement report's window is its receipt date.
  auto settlements = Open<JS_RPT>();
  ASSERT_TRUE(settlements->ShowMonthOf({2012, 12, 31}));
  EXPECT_EQ(settlements->FilterInput(JS_RPT::kDateTo).Text(), "2012-12-31");
}

// A query report's grid is its column table: the query selects the captions in the table's
// order and the grid hides what the table hides. Layout files saved before the tables keep
// their keys: the released columns' layout numbers are their released positions.
TEST_F(ReportTest, QueryReportsShowTheirColumnTablesAndReadTheLayoutsUsersSaved) {
  std::vector<std::unique_ptr<ReportControl>> reports;
  reports.push_back(Open<WS_RPT>());
  reports.push_back(Open<JS_RPT>());
  for (const auto& report : reports) {
    SCOPED_TRACE(report->ClassName());
    const ListColumns& columns = *report->QueryColumns();
    db::Runner runner(host_.Db());
    std::string error;
    auto rows = runner.Open(report->Query(runner.Driver()), &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(rows->FieldCount(), static_cast<int>(columns.size()));
    for (int c = 0; c < rows->FieldCount(); ++c) {
      EXPECT_EQ(forms::FoldCase(rows->FieldName(c)),
                forms::FoldCase(columns[static_cast<size_t>(c)].caption));
    }
    const std::vector<int> numbers = LayoutNumbers(columns);
    EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), numbers.size())
        << "two columns share a layout number";
  }

  // Saved by the build before the tables: 应收合计 was column 18 and 车厂 column 3; a file that
  // shows an id column again is overruled.
  const std::filesystem::path layout = host_.WorkFolder() / "WS_RPT_saved.txt";
  grid::Profile saved = grid::Profile::Load(layout);
  saved.Set("VsColWidth", "VsCol18", "777");
  saved.Set("VsIsHidden", "VsCol3", "1");
  saved.Set("VsIsHidden", "VsCol21", "0");
  ASSERT_EQ(saved.Save(), "");
  WS_RPT& orders = static_cast<WS_RPT&>(*reports.front());
  orders.DoGetFormStatus(layout.string());
  ASSERT_TRUE(orders.Refresh());
  const forms::Grid& grid = orders.Grid();
  EXPECT_EQ(grid.ColWidth(grid.FindCol("应收合计")), 777);
  EXPECT_TRUE(grid.ColHidden(grid.FindCol("车厂")));
  EXPECT_TRUE(grid.ColHidden(grid.FindCol("单据ID")));
  EXPECT_FALSE(grid.ColHidden(grid.FindCol("工单号码")));
}

TEST_F(ReportTest, SettlementReportJoinsOuterAndItsFiltersNarrowTheRows) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号,往来ID,业务员ID,单据日期,"
      "总金额,前置单据ID) values "
      "(50,200003,'02','审核','JS050',1,5,'2012-06-02',150,11),"
      "(51,200004,'01','','SK051',3,6,'2012-06-03',80,0),"
      "(52,200004,'02','审核','SK052',1,6,'2012-06-04',20,0)");
  host_.Exec("insert into ARPReceive_FY (单据ID,维修费用,管理费) values (50,100,5)");
  auto report = Open<JS_RPT>();
  auto numbers = [&] {
    EXPECT_TRUE(report->Refresh());
    return Column(report->Grid(), 0);
  };
  EXPECT_EQ(numbers(), (std::vector<std::string>{"JS050", "SK051", "SK052"}));
  const forms::Grid& grid = report->Grid();
  // A receipt without an order still shows; each row says whether it settles or collects.
  const int order = ColumnOf(JS_RPT::Columns(), "工单号码");
  const int plate = ColumnOf(JS_RPT::Columns(), "车牌号");
  EXPECT_EQ(grid.TextMatrix(1, order) + grid.TextMatrix(1, plate) + "|" + grid.TextMatrix(2, order),
            "WS011京A12345|");
  EXPECT_EQ(Column(grid, ColumnOf(JS_RPT::Columns(), "单据类型")),
            (std::vector<std::string>{"结算单", "收款单", "收款单"}));

  report->FilterInput(JS_RPT::kCustomer).SetText("顺达物流");  // exact, not a prefix
  EXPECT_EQ(numbers(), (std::vector<std::string>{"JS050", "SK052"}));
  report->FilterInput(JS_RPT::kCollector).SetText("赵六");
  EXPECT_EQ(numbers(), (std::vector<std::string>{"SK052"}));
  report->FilterInput(JS_RPT::kCollector).SetText("");
  report->FilterInput(JS_RPT::kDateTo).SetText("2012-06-03");
  EXPECT_EQ(numbers(), (std::vector<std::string>{"JS050"}));
  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 0);

  host_.Sink().Clear();
  Input::SelectRow(report->Grid(), 1);
  Input::DoubleClick(report->Grid(), 1);
  EXPECT_EQ(host_.Sink().Count("Property"), 0);
  EXPECT_EQ(Opened(), std::vector<std::string>{"200003/50"});
}

TEST_F(ReportTest, AFailedQueryIsReportedAndLeavesOnlyTheHeader) {
  auto report = Open<JS_RPT>();
  host_.Exec("insert into ARPReceive (单据ID,progID,单据编号) values (50,200003,'JS050')");
  ASSERT_TRUE(report->Refresh());
  ASSERT_EQ(report->Grid().DataRows(), 1);
  host_.Exec("drop table PDMGY");
  host_.Sink().Clear();
  EXPECT_FALSE(report->Refresh());
  EXPECT_EQ(report->Grid().DataRows(), 0);
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(forms::FoldCase(errors[0].args[0].ToText()).find("pdmgy"), std::string::npos);
  EXPECT_EQ(errors[0].args[1].ToLong(), host::kLevelFailure);
}

TEST_F(ReportTest, PrintWritesTitleConditionAndShownGridUnlessTheHostPrints) {
  auto report = Open<WS_RPT>();
  report->FilterInput(WS_RPT::kDateFrom).SetText("2012-05-02");
  ASSERT_TRUE(report->Refresh());
  const auto file = host_.WorkFolder() / "selfPrn" / "Rpt200005.prn";
  ASSERT_TRUE(report->DoPrint());
  platform::PrintFile print = platform::ReadPrintFile(file.string());
  ASSERT_EQ(print.error, "");
  ASSERT_TRUE(print.Value("标题") && print.Value("条件") && print.Table("Vs"));
  EXPECT_EQ(*print.Value("标题") + "|" + *print.Value("条件"),
            "维修工单查询|进厂日期：从 2012-05-02 开始\r\r共3条记录");
  // Every column but the two ids, each named as the table names it.
  std::vector<std::string> shown;
  for (const ListColumn& column : WS_RPT::Columns()) {
    if (!column.hidden) shown.push_back(column.caption);
  }
  EXPECT_EQ(shown.size(), WS_RPT::Columns().size() - 2);
  EXPECT_EQ(print.Table("Vs")->columns, shown);
  EXPECT_EQ(print.Table("Vs")->rows.size(), 3u);

  std::filesystem::remove(file);
  auto parameters = std::make_shared<host::Parameters>();
  parameters->Set("printfilename", "host.prn");
  report->SetParameters(parameters);
  EXPECT_TRUE(report->DoPrint());
  EXPECT_FALSE(std::filesystem::exists(file));
}

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
