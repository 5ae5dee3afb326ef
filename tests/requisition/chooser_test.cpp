// The repair-order chooser: the lines it lists in both dialects, the conditions, ticking single
// lines and whole orders, the buttons, the search box, and what closing leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "forms/text.h"
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
  // The texts of a column, of the rows the search left visible only when asked.
  static std::vector<std::string> Column(const forms::Grid& grid, int col, bool visible = false) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      if (!visible || !grid.RowHidden(r)) texts.push_back(grid.TextMatrix(r, col));
    }
    return texts;
  }
  static void Click(frmSelWS& chooser, const char* name, int index = -1) {
    auto clicked = Input::Click(*chooser.Form().Find(name, index));
    ASSERT_TRUE(clicked) << clicked.reason;
  }
  static void Type(frmSelWS& chooser, int field, const std::string& text) {
    auto typed = Input::Type(chooser.Condition(field), text);
    ASSERT_TRUE(typed) << typed.reason;
  }
  static void Tick(frmSelWS& chooser, int row, const std::string& mark = "√") {
    auto edited = Input::EditCell(chooser.Grid(), row, frmSelWS::kColTick, mark);
    ASSERT_TRUE(edited) << edited.reason;
  }

  std::string Boxes() {
    std::string texts;
    for (const auto& box : host_.Dialogs().Boxes()) texts += box.text + "|";
    return texts;
  }

  SelectionList selection_;
};

using Strings = std::vector<std::string>;

TEST_F(ChooserTest, ListsTheLinesStillToIssueOfCheckedOrdersInEitherDialect) {
  for (const char* driver : {"sqlite", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Db().SetSetting("driver", driver);
    Open([&](frmSelWS& chooser) {
      EXPECT_EQ(chooser.Form().Caption(), "维修领料单选单");
      const forms::Grid& grid = chooser.Grid();
      ASSERT_EQ(grid.Cols(), 22);
      EXPECT_EQ(grid.ColCaption(frmSelWS::kColOutstanding), "未领数量");
      EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W004", "W002", "W001"}));
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"131", "", "101"}));
      // An order without part lines: once, with empty part columns.
      EXPECT_EQ(grid.TextMatrix(2, frmSelWS::kColPlate), "京B54321");
      EXPECT_EQ(grid.TextMatrix(2, frmSelWS::kColCustomer), "李四");
      EXPECT_EQ(grid.TextMatrix(2, frmSelWS::kColPartCode), "");
      EXPECT_EQ(grid.TextMatrix(2, frmSelWS::kColProductId), "");
      // (Every column of a line is the selection's bag, taken from the grid.)
      EXPECT_EQ(grid.TextMatrix(1, frmSelWS::kColOutstanding), "1") << "Null issued reads as 0";

      // Showing issued lines adds the full and the over-issued line of W001.
      Click(chooser, frmSelWS::kShowIssued);
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"131", "", "101", "102", "103"}));
      EXPECT_EQ(grid.TextMatrix(4, frmSelWS::kColOutstanding), "0");
      EXPECT_EQ(grid.TextMatrix(5, frmSelWS::kColOutstanding), "-2");
      // The window remembers its check boxes: the next opening starts as this one did.
      Click(chooser, frmSelWS::kShowIssued);
      Click(chooser, frmSelWS::kButtons, 1);
    });
  }
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
  EXPECT_NE(forms::FoldCase(box.text).find("wsdjpj"), std::string::npos);
  EXPECT_EQ(box.title, "提示:");
  EXPECT_EQ(box.icon, host::MsgIcon::Critical);
}

TEST_F(ChooserTest, ConditionsNarrowTheListAndClearingWidensItAgain) {
  Open(
      [&](frmSelWS& chooser) {
        const forms::Grid& grid = chooser.Grid();
        // The customer handed in is the condition from the start.
        EXPECT_EQ(chooser.Condition(frmSelWS::kCustomer).Text(), "顺达物流");
        EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W004", "W001"}));

        Type(chooser, frmSelWS::kDateFrom, "2012/6/1");
        EXPECT_EQ(chooser.Condition(frmSelWS::kDateFrom).Text(), "2012-06-01");
        Click(chooser, frmSelWS::kButtons, 2);
        EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W001"}));

        Type(chooser, frmSelWS::kDateTo, "2012-13-01");
        EXPECT_FALSE(chooser.Condition(frmSelWS::kDateTo).Valid());
        EXPECT_EQ(chooser.Condition(frmSelWS::kDateTo).Hint(), "输入有误，请重新输入！");
        Type(chooser, frmSelWS::kDateTo, "");
        EXPECT_TRUE(chooser.Condition(frmSelWS::kDateTo).Valid());

        // btn(3) empties conditions 0 to 4 (text and key) and asks again.
        Click(chooser, frmSelWS::kButtons, 3);
        EXPECT_EQ(chooser.Condition(frmSelWS::kCustomer).Key(), "");
        EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W004", "W002", "W001"}));

        // Typed plates, customers and numbers narrow the list as the hostile chooser test
        // types them; an unknown customer sets no condition.
        Type(chooser, frmSelWS::kCustomer, "无此客户");
        EXPECT_FALSE(chooser.Condition(frmSelWS::kCustomer).Valid());
        EXPECT_EQ(chooser.CurrentFilter().customerId, 0);

        // The row limit: at most that many rows; 0 none.
        Click(chooser, frmSelWS::kButtons, 3);
        Type(chooser, frmSelWS::kRowLimit, "2");
        Click(chooser, frmSelWS::kButtons, 2);
        EXPECT_EQ(grid.DataRows(), 2);
        Type(chooser, frmSelWS::kRowLimit, "0");
        Click(chooser, frmSelWS::kButtons, 2);
        EXPECT_EQ(grid.DataRows(), 0);
        Type(chooser, frmSelWS::kRowLimit, "x");
        EXPECT_FALSE(chooser.Condition(frmSelWS::kRowLimit).Valid());

        // The plate picker fills the plate, not the vehicle's code; nothing chosen changes
        // nothing.
        Click(chooser, frmSelWS::kButtons, 3);
        host::PickResult plate;
        plate.chosen = true;
        plate.value = "2";
        plate.text = "V002";
        plate.objects.Set("i车牌号", "京B54321");
        host_.QueuePick(plate);
        ASSERT_TRUE(Input::Picker(chooser.Condition(frmSelWS::kPlate)));
        EXPECT_EQ(chooser.CurrentFilter().plate, "京B54321");
        ASSERT_TRUE(Input::Picker(chooser.Condition(frmSelWS::kCustomer)));
        EXPECT_EQ(chooser.Condition(frmSelWS::kCustomer).Text(), "");
      },
      1);
}

TEST_F(ChooserTest, TickedLinesAndWholeOrdersBecomeTheSelection) {
  bool confirmed = Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);  // W004 131, W002, W001 101 102 103
    Click(chooser, frmSelWS::kButtons, 5);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√", "√", "√"}));
    Click(chooser, frmSelWS::kButtons, 4);
    chooser.btn_Click(6);
    EXPECT_FALSE(chooser.IsClosed());
    Tick(chooser, 1, "x");  // any text ticks
    EXPECT_TRUE(chooser.Ticked(1));
    EXPECT_EQ(chooser.Grid().TextMatrix(1, frmSelWS::kColTick), "√");
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 2));
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 1));  // a second click unticks
    EXPECT_FALSE(chooser.Ticked(1));

    // A whole order: one click on any of its lines ticks and unticks all of them.
    Click(chooser, frmSelWS::kWholeOrder);
    Tick(chooser, 4);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"", "√", "√", "√", "√"}));
    Tick(chooser, 3, "");
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"", "√", "", "", ""}));
    Tick(chooser, 5);
    EXPECT_FALSE(Input::EditCell(chooser.Grid(), 1, frmSelWS::kColNumber, "W999"))
        << "only the tick column takes input";
    Click(chooser, frmSelWS::kButtons, 0);
  });
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(Boxes(), "未处理的功能|");
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

TEST_F(ChooserTest, ClosingWithoutConfirmingTakesNothing) {
  // Ticked rows closed with btn(1) or the window's close box are not taken.
  EXPECT_FALSE(Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kButtons, 5);
    Click(chooser, frmSelWS::kButtons, 1);
    EXPECT_TRUE(chooser.IsClosed());
  }));
  EXPECT_FALSE(Open([&](frmSelWS& chooser) { Click(chooser, frmSelWS::kButtons, 5); }))
      << "the test host dismisses a form its handler leaves open";
  EXPECT_TRUE(selection_.Empty());
}

TEST_F(ChooserTest, SearchBoxFindsOrFiltersAndClosingRemembersTheSourceAndTheLayout) {
  EXPECT_EQ(host_.System().UserSettings().Get(frmSelWS::kSettingKey, "unset"), "unset");
  Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);
    forms::Grid& grid = chooser.Grid();
    EXPECT_EQ(chooser.SearchBox().boundGrid, frmSelWS::kGrid);
    // Find mode: the first match becomes current, nothing is hidden.
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), "刹车"));
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_EQ(Column(grid, frmSelWS::kColLineId, true).size(), 5u);
    // Filter mode: the rest is hidden; a plate matches without regard to case, and a new query
    // is searched again with the text in the box.
    Click(chooser, frmSelWS::kFilterMode);
    EXPECT_EQ(Column(grid, frmSelWS::kColLineId, true), (Strings{"102", "103"}));
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), "京b"));
    Click(chooser, frmSelWS::kButtons, 2);
    EXPECT_EQ(Column(grid, frmSelWS::kColNumber, true), (Strings{"W002"}));
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), ""));
    EXPECT_EQ(Column(grid, frmSelWS::kColLineId, true).size(), 5u);
    grid.SetColWidth(frmSelWS::kColPartName, 2345);
    grid.SetColHidden(frmSelWS::kColNote, true);
    Type(chooser, frmSelWS::kRowLimit, "3");
    Click(chooser, frmSelWS::kButtons, 1);
    EXPECT_EQ(chooser.SearchBox().boundGrid, "") << "closing releases the binding";
  });
  EXPECT_EQ(host_.System().UserSettings().Get(frmSelWS::kSettingKey, "unset"), "2");
  Open([&](frmSelWS& chooser) {
    EXPECT_EQ(chooser.Grid().ColWidth(frmSelWS::kColPartName), 2345);
    EXPECT_TRUE(chooser.Grid().ColHidden(frmSelWS::kColNote));
    EXPECT_TRUE(chooser.SearchBox().filterMode);
    EXPECT_EQ(chooser.Condition(frmSelWS::kRowLimit).Text(), "3");
    EXPECT_EQ(chooser.Grid().DataRows(), 3) << "the restored conditions make the first query";
  });
}

}  // namespace
}  // namespace ws::requisition
