// The repair-order chooser: its statement in both dialects, the lines it lists, the
// conditions, ticking single lines and whole orders, the buttons, the search box, and what
// closing leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "forms/text.h"
#include "requisition/chooser_query.h"
#include "requisition/frm_sel_ws.h"
#include "requisition/selection_list.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

using forms::Input;

constexpr int64_t kRequisitionProgram = 200002;

// The statement's fixed part, piece by piece as the chooser is documented to send it.
std::string Head(const std::string& limit) {
  return "SELECT TOP " + limit + " " +
         "        WSDJ.进厂日期, WSDJ.工单号码, PDMWLDW.公司名称 AS 客户名称, CLZl.车牌号, "
         "CLZl.车型, WSDJ.维修分类," +
         "        PDMCPML.物品编码 AS 配件编码, PDMCPML.物品名称 AS 配件项目, PDMCPML.规格 AS "
         "配件规格, WSDJPJ.数量 AS 需求数量," +
         "        wsdjpj.已领用数 , 0 AS 未领数量, WSDJPJ.单价, WSDJPJ.说明, WSDJ.车主ID AS "
         "客户ID, WSDJPJ.产品ID," +
         "        WSDJ.progid, WSDJ.单据ID, WSDJPJ.单据明细ID,PDMCPML.库存单位 As 单位" +
         "   FROM (((WSDJ LEFT JOIN WSDJPJ ON WSDJ.单据ID = WSDJPJ.单据ID)" +
         "      LEFT JOIN PDMCPML ON WSDJPJ.产品ID = PDMCPML.产品ID)" +
         "      LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)" +
         "      LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID" + "  WHERE wsdj.smark='02'";
}
const std::string kOrder = " ORDER by wsdj.工单号码 DESC,pdmcpml.物品编码";

TEST(ChooserStatementTest, BothDialects) {
  ChooserFilter all;
  all.plate = "京A12345";
  all.number = "W001";
  all.dateFrom = "2012-06-01";
  all.dateTo = "2012-06-30";
  all.customerId = 7;
  all.rowLimit = 50;
  const std::string conditions = " and clzl.车牌号='京A12345' and wsdj.工单号码='W001'";
  EXPECT_EQ(ChooserSelect(all, "jet").Literal(),
            Head("50") + conditions +
                " and wsdj.进厂日期>=#2012-06-01# and wsdj.进厂日期<=#2012-06-30#"
                " and wsdj.车主ID=7" +
                " and ( iif(isnull(wsdjpj.产品ID),0,wsdjpj.产品ID)=0 or "
                "iif(isnull(wsdjpj.数量),0,wsdjpj.数量)>iif(isnull(wsdjpj.已领用数),0,wsdjpj."
                "已领用数))" +
                kOrder);
  EXPECT_EQ(
      ChooserSelect(all, "sqlite").Literal(),
      Head("50") + conditions +
          " and wsdj.进厂日期>='2012-06-01' and wsdj.进厂日期<='2012-06-30'"
          " and wsdj.车主ID=7" +
          " and ( isnull(wsdjpj.产品ID,0)=0 or isnull(wsdjpj.数量,0)>isnull(wsdjpj.已领用数,0) )" +
          kOrder);
  // Nothing set and issued lines shown: no condition at all.
  ChooserFilter none;
  none.showIssued = true;
  EXPECT_EQ(ChooserSelect(none, "jet").Literal(), Head("0") + kOrder);

  // A typed quote stays inside its literal.
  ChooserFilter quoted;
  quoted.number = "W'1";
  quoted.showIssued = true;
  EXPECT_EQ(ChooserSelect(quoted, "sqlite").Literal(),
            Head("0") + " and wsdj.工单号码='W''1'" + kOrder);
}

TEST(SelectionListTest, KeysByOrderAndLine) {
  SelectionList list;
  masters::clsSelWS line;
  line.i单据ID(10);
  line.i单据明细ID(101);
  masters::clsSelWS orderOnly;
  orderOnly.i单据ID(11);
  EXPECT_TRUE(list.Add(line));
  EXPECT_TRUE(list.Add(orderOnly));
  EXPECT_FALSE(list.Add(line)) << "a key is held once";
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Item(1).i单据ID(), 11);
  ASSERT_NE(list.Find("k10-101"), nullptr);
  ASSERT_NE(list.Find("k11-0"), nullptr) << "an order without part lines has line id 0";
  EXPECT_EQ(list.Find("k10-0"), nullptr);
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

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
  static std::vector<std::string> Visible(const forms::Grid& grid, int col) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
      if (!grid.RowHidden(r)) texts.push_back(grid.TextMatrix(r, col));
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
      // A line in full.
      const Strings w001{"",     "2012-06-01", "W001", "顺达物流", "京A12345", "桑塔纳", "小修",
                         "P01",  "机油滤芯",   "小号", "2",        "0",        "2",      "30",
                         "备注", "1",          "1",    "200001",   "10",       "101",    "个"};
      for (int c = frmSelWS::kColTick; c < frmSelWS::kColumnCount; ++c) {
        EXPECT_EQ(grid.TextMatrix(3, c), w001[static_cast<size_t>(c - 1)]) << "column " << c;
      }
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

        // A typed plate or customer is looked up in its picker.
        Type(chooser, frmSelWS::kPlate, "京B");
        EXPECT_EQ(chooser.Condition(frmSelWS::kPlate).Text(), "京B54321");
        Type(chooser, frmSelWS::kCustomer, "无此客户");
        EXPECT_FALSE(chooser.Condition(frmSelWS::kCustomer).Valid());
        EXPECT_EQ(chooser.CurrentFilter().customerId, 0) << "an unknown customer sets no condition";
        Click(chooser, frmSelWS::kButtons, 2);
        EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W002"}));

        Click(chooser, frmSelWS::kButtons, 3);
        Type(chooser, frmSelWS::kNumber, "W001");
        Click(chooser, frmSelWS::kButtons, 2);
        EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"101"}));

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
      },
      1);
}

TEST_F(ChooserTest, PickersFillTheLookupConditions) {
  host::PickResult plate;
  plate.chosen = true;
  plate.value = "2";
  plate.text = "V002";
  plate.objects.Set("i车牌号", "京B54321");
  host_.QueuePick(plate);
  Open([&](frmSelWS& chooser) {
    ASSERT_TRUE(Input::Picker(chooser.Condition(frmSelWS::kPlate)));
    EXPECT_EQ(chooser.Condition(frmSelWS::kPlate).Text(), "京B54321") << "the plate, not the code";
    EXPECT_EQ(chooser.CurrentFilter().plate, "京B54321");
    // Nothing chosen: the condition stays.
    ASSERT_TRUE(Input::Picker(chooser.Condition(frmSelWS::kCustomer)));
    EXPECT_EQ(chooser.Condition(frmSelWS::kCustomer).Text(), "");
  });
  ASSERT_EQ(host_.PickCalls().size(), 2u);
}

TEST_F(ChooserTest, TickedLinesAndWholeOrdersBecomeTheSelection) {
  bool confirmed = Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);  // W004 131, W002, W001 101 102 103
    Tick(chooser, 1, "x");                  // any text ticks
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
  ASSERT_EQ(selection_.Count(), 4u);
  // In grid order: W002 (no lines), then W001's three lines.
  EXPECT_EQ(selection_.Item(0).i工单号码(), "W002");
  EXPECT_EQ(selection_.Item(0).i单据明细ID(), 0);
  EXPECT_NE(selection_.Find("k11-0"), nullptr);
  // Every field of the bag, in its order, from the grid's columns 2 to 21.
  Strings fields;
  for (const auto& item : selection_.Find("k10-103")->Items())
    fields.push_back(item.second.ToText());
  EXPECT_EQ(fields, (Strings{"2012-06-01", "W001", "顺达物流", "京A12345", "桑塔纳", "小修", "P02",
                             "刹车片",     "前轮", "1",        "3",        "-2",     "120",  "备注",
                             "1",          "2",    "200001",   "10",       "103",    "副"}));
}

TEST_F(ChooserTest, ButtonsTickAllUntickAllAndCloseWithoutChoosing) {
  // Ticked rows closed with btn(1) or the window's close box are not taken.
  EXPECT_FALSE(Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kButtons, 5);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√"}));
    Click(chooser, frmSelWS::kButtons, 1);
    EXPECT_TRUE(chooser.IsClosed());
  }));
  EXPECT_FALSE(Open([&](frmSelWS& chooser) { Click(chooser, frmSelWS::kButtons, 5); }))
      << "the test host dismisses a form its handler leaves open";
  EXPECT_TRUE(selection_.Empty());

  // Confirming with nothing ticked: confirmed, and the list stays empty.
  EXPECT_TRUE(Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kButtons, 5);
    Click(chooser, frmSelWS::kButtons, 4);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"", "", ""}));
    chooser.btn_Click(6);
    EXPECT_FALSE(chooser.IsClosed());
    Click(chooser, frmSelWS::kButtons, 0);
  }));
  EXPECT_TRUE(selection_.Empty());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].text, "未处理的功能");
}

TEST_F(ChooserTest, SearchBoxFindsOrFiltersTheList) {
  Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);
    forms::Grid& grid = chooser.Grid();
    EXPECT_EQ(chooser.SearchBox().boundGrid, frmSelWS::kGrid);
    // Find mode: the first match becomes current, nothing is hidden.
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), "刹车"));
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_EQ(Visible(grid, frmSelWS::kColLineId).size(), 5u);
    // Filter mode: the rest is hidden; a plate matches without regard to case.
    Click(chooser, frmSelWS::kFilterMode);
    EXPECT_EQ(Visible(grid, frmSelWS::kColLineId), (Strings{"102", "103"}));
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), "京b"));
    EXPECT_EQ(Visible(grid, frmSelWS::kColNumber), (Strings{"W002"}));
    // A new query is searched again with the text in the box.
    Click(chooser, frmSelWS::kButtons, 2);
    EXPECT_EQ(Visible(grid, frmSelWS::kColNumber), (Strings{"W002"}));
    ASSERT_TRUE(Input::Type(chooser.SearchBox(), ""));
    EXPECT_EQ(Visible(grid, frmSelWS::kColLineId).size(), 5u);
    Click(chooser, frmSelWS::kButtons, 1);
    EXPECT_EQ(chooser.SearchBox().boundGrid, "") << "closing releases the binding";
  });
}

TEST_F(ChooserTest, ClosingRemembersTheSourceAndTheLayout) {
  EXPECT_EQ(host_.System().UserSettings().Get(frmSelWS::kSettingKey, "unset"), "unset");
  Open([&](frmSelWS& chooser) {
    chooser.Grid().SetColWidth(frmSelWS::kColPartName, 2345);
    chooser.Grid().SetColHidden(frmSelWS::kColNote, true);
    Click(chooser, frmSelWS::kFilterMode);
    Click(chooser, frmSelWS::kShowIssued);
    Type(chooser, frmSelWS::kRowLimit, "3");
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

TEST_F(ChooserTest, AFailingQueryIsShownAndListsNothing) {
  host_.Exec("drop table WSDJPJ");
  Open([&](frmSelWS& chooser) { EXPECT_EQ(chooser.Grid().DataRows(), 0); });
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  const test::AskedBox& box = host_.Dialogs().Boxes()[0];
  EXPECT_EQ(box.text.rfind("frmSelWS-->LoadData::", 0), 0u);
  EXPECT_NE(forms::FoldCase(box.text).find("wsdjpj"), std::string::npos);
  EXPECT_EQ(box.title, "提示:");
  EXPECT_EQ(box.icon, host::MsgIcon::Critical);
}

}  // namespace
}  // namespace ws::requisition
