// The chooser dialogs driven as a user drives them while the host shows them modally.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "money/choosers.h"
#include "orders_fixture.h"

namespace ws::money {
namespace {

using forms::Input;

class ChoosersTest : public OrdersTest {
 protected:
  // What the user does while the dialog is shown; the last action closes it.
  void WhileShown(std::function<void(host::IModalForm&)> act) {
    host_.Dialogs().SetModalHandler([act](host::IModalForm& form) {
      act(form);
      EXPECT_TRUE(form.IsClosed());
      return true;
    });
  }
  static bool Press(host::IModalForm& form, int button) {
    return Input::Click(form.Form().Get<forms::CommandButton>("btn", button)).accepted;
  }
};

TEST_F(ChoosersTest, ReceivableChooserProposesTheAmountAndHandsOverTheTickedRows) {
  frmSel_AR_Rec dialog;
  std::vector<std::string> chosen;
  dialog.EvHasSelect = [&](const std::vector<ChosenOrder>& rows) {
    for (const auto& o : rows) {
      chosen.push_back(o.orderNumber + " " + o.dateIn + " " + o.plate + o.engine + " " +
                       o.total.Text() + " " + o.received.Text() + " " + o.balance.Text() + " " +
                       o.writeOff.Text() + " " + std::to_string(o.orderId) + " " +
                       std::to_string(o.programId));
    }
  };
  WhileShown([&](host::IModalForm& form) {
    forms::Grid& grid = dialog.Grid();
    EXPECT_EQ(dialog.Filter(frmSel_AR_Rec::kCustomer).Text(), "顺达物流(应收)");
    // Newest first; the amount goes to the oldest debts first, from the bottom up.
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColNumber), (Texts{"WS000", "WS001", "WS002"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColChosen), (Texts{"√", "√", "√"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColWriteOff), (Texts{"100", "300", "600"}));
    // The clerk leaves the newest order for later (a double click and a tick untick alike) and
    // takes less on the second.
    ASSERT_TRUE(Input::DoubleClick(grid, 1));
    ASSERT_TRUE(Input::EditCell(grid, 1, frmSel_AR_Rec::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(grid, 1, frmSel_AR_Rec::kColChosen, ""));
    ASSERT_TRUE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColWriteOff, "250"));
    EXPECT_FALSE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColBalance, "1"))
        << "only the write-off may be typed over";
    ASSERT_TRUE(Press(form, 0));
  });
  dialog.py_Init(host_.System(), 1, db::Amount::Of("1000"));
  EXPECT_EQ(chosen, (Texts{"WS002 2012-04-01 京A12345E1 600 0 600 600 2 200001",
                           "WS001 2012-05-01 京A12345E1 400 100 300 250 1 200001"}));
}

TEST_F(ChoosersTest, SettlementChooserAnswersTheSelectedOrderAndStoresTheChosenView) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm& form) {
    // Order 2 belongs to settlement 50, which is the one being edited.
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColNumber),
              (Texts{"WS000", "WS004", "WS005", "WS001", "WS002"}));
    // One order is settled: a tick moves from row to row, and wins over the current row.
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 1, frmSelWsJs::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 4, frmSelWsJs::kColChosen, "√"));
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColChosen), (Texts{"", "", "", "√", ""}));
    ASSERT_TRUE(Input::SelectRow(dialog.Grid(), 2));
    ASSERT_TRUE(Press(form, 0));
  });
  auto result = dialog.py_SubProgram(host_.System(), 200003, 0, 50);
  ASSERT_EQ(result.size(), 1u) << "the one selected row";
  const masters::clsSelWS& row = result[0].row;
  EXPECT_EQ(result[0].key + " " + row.i工单号码() + " " + row.i进厂日期() + " " + row.i客户名称() +
                " " + row.i车牌号码() + row.i车型() + " " + std::to_string(row.i客户ID()) + " " +
                std::to_string(row.iprogid()) + " " + std::to_string(row.i单据ID()),
            "k1 WS001 2012-05-01 顺达物流 京A12345桑塔纳 1 200001 1");

  // The view options hide columns; the choice of view is stored.
  frmSelWsJs viewed;
  WhileShown([&](host::IModalForm& form) {
    auto& brief = form.Form().Get<forms::OptionButton>(frmSelWsJs::kViewOption, 1);
    EXPECT_FALSE(brief.Checked()) << "every opening starts with every column";
    ASSERT_TRUE(Input::Click(brief));
    for (int col = frmSelWsJs::kColModel; col <= frmSelWsJs::kColInspection; ++col) {
      EXPECT_TRUE(viewed.Grid().ColHidden(col)) << col;
    }
    EXPECT_FALSE(viewed.Grid().ColHidden(frmSelWsJs::kColPlate));
    form.Dismiss();
  });
  EXPECT_TRUE(viewed.py_SubProgram(host_.System(), 200003, 0, 0).empty());
  EXPECT_EQ(host_.System().UserSettings().Get("WS_SelWs", ""), "1");
}

}  // namespace
}  // namespace ws::money
