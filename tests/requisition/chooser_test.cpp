// The repair-order chooser: the lines it lists in both dialects, the conditions, ticking single
// lines and whole orders, and what closing leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "requisition/frm_sel_ws.h"
#include "requisition/selection_list.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

using forms::Input;

constexpr int64_t kRequisitionProgram = 200002;

class ChooserTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2), "
        "(2,'C002','李四',2)");
    host_.Exec(
        "insert into clzl (车辆ID,车辆编号,车牌号,车型,车主ID) values "
        "(1,'V001','京A12345','桑塔纳',1), (2,'V002','京B54321','捷达',2)");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,物品名称,规格,库存单位) values "
        "(1,'P01','机油滤芯','小号','个'), (2,'P02','刹车片','前轮','副')");
    // W001 (10): one line to issue, one issued in full, one issued beyond the need; W002 (11)
    // has no part lines; W003 (12) is not checked; W004 (13) has nothing recorded as issued.
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,车主ID,车辆ID,维修分类) values "
        "(10,200001,'02','W001','2012-06-01',1,1,'小修'), "
        "(11,200001,'02','W002','2012-06-10',2,2,'小修'), "
        "(12,200001,'01','W003','2012-06-12',1,1,'小修'), "
        "(13,200001,'02','W004','2012-05-20',1,1,'小修')");
    host_.Exec(
        "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明) values "
        "(101,10,1,2,0,30,'备注'), (102,10,2,4,4,120,'备注'), (103,10,2,1,3,120,'备注'), "
        "(121,12,1,5,0,30,'备注'), (131,13,1,1,null,0,'备注')");
  }

  // Opens a fresh chooser; `user` acts while it is shown, as the clerk at the dialog.
  bool Open(const std::function<void(frmSelWS&)>& user, int64_t customer = 0) {
    host_.Dialogs().SetModalHandler([&](host::IModalForm& form) {
      user(static_cast<frmSelWS&>(form));
      return true;
    });
    frmSelWS chooser(selection_);
    return chooser.py_SubProgram(host_.System(), customer, kRequisitionProgram, "0");
  }
  static std::vector<std::string> Column(const forms::Grid& grid, int col) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
    return texts;
  }
  static void Click(frmSelWS& chooser, const char* name, int index = -1) {
    auto clicked = Input::Click(*chooser.Form().Find(name, index));
    ASSERT_TRUE(clicked) << clicked.reason;
  }
  static void Tick(frmSelWS& chooser, int row, const std::string& mark = "√") {
    auto edited = Input::EditCell(chooser.Grid(), row, frmSelWS::kColTick, mark);
    ASSERT_TRUE(edited) << edited.reason;
  }

  SelectionList selection_;
};

using Strings = std::vector<std::string>;

TEST_F(ChooserTest, ListsTheLinesStillToIssueOfCheckedOrdersInEitherDialect) {
  for (const char* driver : {"sqlite", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Db().SetSetting("driver", driver);
    EXPECT_FALSE(Open([&](frmSelWS& chooser) {
      const forms::Grid& grid = chooser.Grid();
      // Newest entry date first: W004 has the higher number but came in earlier.
      EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W002", "W001", "W004"}));
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"", "101", "131"}));
      // An order without part lines: once, with empty part columns.
      EXPECT_EQ(grid.TextMatrix(1, frmSelWS::kColProductId), "");
      EXPECT_EQ(grid.TextMatrix(3, frmSelWS::kColOutstanding), "1") << "Null issued reads as 0";

      // Showing issued lines adds the full and the over-issued line of W001.
      Click(chooser, frmSelWS::kShowIssued);
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"", "101", "102", "103", "131"}));
      EXPECT_EQ(grid.TextMatrix(3, frmSelWS::kColOutstanding), "0");
      EXPECT_EQ(grid.TextMatrix(4, frmSelWS::kColOutstanding), "-2");
      Click(chooser, frmSelWS::kShowIssued);  // remembered for the next opening
      // Ticked rows closed without confirming are not taken.
      Click(chooser, frmSelWS::kButtons, 5);
      Click(chooser, frmSelWS::kButtons, 1);
      EXPECT_TRUE(chooser.IsClosed());
    }));
  }
  EXPECT_TRUE(selection_.Empty());
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());

  // A failing query is shown and lists nothing; confirming then takes nothing.
  host_.Exec("drop table WSDJPJ");
  EXPECT_TRUE(Open([&](frmSelWS& chooser) {
    EXPECT_EQ(chooser.Grid().DataRows(), 0);
    Click(chooser, frmSelWS::kButtons, 0);
  }));
  EXPECT_TRUE(selection_.Empty());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  const test::AskedBox& box = host_.Dialogs().Boxes()[0];
  EXPECT_EQ(box.text.rfind("frmSelWS-->LoadData::", 0), 0u);
}

TEST_F(ChooserTest, TickedLinesAndWholeOrdersBecomeTheSelection) {
  bool confirmed = Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);  // W002, W001 101 102 103, W004 131
    Click(chooser, frmSelWS::kButtons, 5);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√", "√", "√"}));
    Click(chooser, frmSelWS::kButtons, 4);
    Tick(chooser, 5, "x");  // any text ticks
    EXPECT_TRUE(chooser.Ticked(5));
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 1));
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 5));  // a second click unticks
    EXPECT_FALSE(chooser.Ticked(5));

    // A whole order: one click on any of its lines ticks and unticks all of them.
    Click(chooser, frmSelWS::kWholeOrder);
    Tick(chooser, 3);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√", "√", ""}));
    Tick(chooser, 2, "");
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "", "", "", ""}));
    Tick(chooser, 4);
    Click(chooser, frmSelWS::kButtons, 0);
  });
  EXPECT_TRUE(confirmed);
  ASSERT_EQ(selection_.Count(), 4u);
  // In grid order: W002 (no lines), then W001's three lines.
  EXPECT_EQ(selection_.Item(0).i工单号码(), "W002");
  EXPECT_EQ(selection_.Item(0).i单据明细ID(), 0);
  EXPECT_NE(selection_.Find("k11-0"), nullptr) << "an order without part lines has line id 0";
  EXPECT_FALSE(selection_.Add(selection_.Item(1))) << "a key is held once";
  // Every field of the bag, in its order, from the grid's columns 2 to 21.
  Strings fields;
  for (const auto& item : selection_.Find("k10-103")->Items())
    fields.push_back(item.second.ToText());
  EXPECT_EQ(fields, (Strings{"2012-06-01", "W001", "顺达物流", "京A12345", "桑塔纳", "小修", "P02",
                             "刹车片",     "前轮", "1",        "3",        "-2",     "120",  "备注",
                             "1",          "2",    "200001",   "10",       "103",    "副"}));
}

}  // namespace
}  // namespace ws::requisition
