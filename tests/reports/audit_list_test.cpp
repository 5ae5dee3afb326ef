// The audit trail as a list: the window opened on one document lists its whole history and
// leaves it once the clerk names another; a kind of document is typed as the menu names it;
// `ws report audit` reads the same events.
#include <gtest/gtest.h>

#include <string>

#include "db/audit_trail.h"
#include "db/date.h"
#include "forms/input.h"
#include "reports/list_reports.h"
#include "shop/report_run.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

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
