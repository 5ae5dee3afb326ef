// The chooser dialogs driven as a user drives them while the host shows them modally.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "orders_fixture.h"
#include "receipt/choosers.h"

namespace ws::receipt {
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
                       db::DecimalText(o.total) + " " + db::DecimalText(o.received) + " " +
                       db::DecimalText(o.balance) + " " + db::DecimalText(o.writeOff) + " " +
                       std::to_string(o.orderId) + " " + std::to_string(o.programId));
    }
  };
  WhileShown([&](host::IModalForm& form) {
    forms::Grid& grid = dialog.Grid();
    EXPECT_EQ(dialog.Filter(OrderChooser::kCustomer).Text(), "顺达物流(应收)");
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColNumber), (Texts{"WS002", "WS001", "WS000"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColChosen), (Texts{"√", "√", "√"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColWriteOff), (Texts{"600", "300", "100"}));
    // The clerk leaves the newest order for later and takes less on the second.
    ASSERT_TRUE(Input::DoubleClick(grid, 3));
    ASSERT_TRUE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColWriteOff, "250"));
    EXPECT_FALSE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColBalance, "1"))
        << "only the write-off may be typed over";
    ASSERT_TRUE(Press(form, 0));
  });
  dialog.py_Init(host_.System(), 1, 1000);
  EXPECT_EQ(chosen, (Texts{"WS002 2012-04-01 京A12345E1 600 0 600 600 2 200001",
                           "WS001 2012-05-01 京A12345E1 400 100 300 250 1 200001"}));

  // A query by date proposes the amount again over what it lists; a date that is none is
  // refused and filters nothing; closing chooses nothing.
  frmSel_AR_Rec again;
  again.EvHasSelect = [&](const std::vector<ChosenOrder>&) { chosen.clear(); };
  WhileShown([&](host::IModalForm& form) {
    ASSERT_TRUE(Input::Type(again.Filter(OrderChooser::kDateFrom), "2012-05-01"));
    ASSERT_TRUE(Press(form, 2));
    EXPECT_EQ(Column(again.Grid(), frmSel_AR_Rec::kColNumber), (Texts{"WS001", "WS000"}));
    EXPECT_EQ(Column(again.Grid(), frmSel_AR_Rec::kColWriteOff), (Texts{"300", "50"}));
    ASSERT_TRUE(Input::Type(again.Filter(OrderChooser::kDateFrom), "2012-13-01"));
    EXPECT_FALSE(again.Filter(OrderChooser::kDateFrom).Valid());
    ASSERT_TRUE(again.Query());
    EXPECT_EQ(again.Grid().DataRows(), 3);
    form.Dismiss();
  });
  again.py_Init(host_.System(), 1, 350);
  EXPECT_EQ(chosen.size(), 2u);
  EXPECT_EQ(host_.Dialogs().ModalForms(), (Texts{"frmSel_AR_Rec", "frmSel_AR_Rec"}));

  // A query error is reported with the dialog's title.
  host_.Exec("drop table CLZl");
  frmSel_AR_Rec broken;
  broken.Events().AttachSink(&host_.Sink());
  WhileShown([](host::IModalForm& form) { form.Dismiss(); });
  broken.py_Init(host_.System(), 1, 100);
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].args[0].ToText().rfind("HasRefresh:", 0), 0u);
  EXPECT_EQ(errors[0].args[2].ToText(), "收款单选单");
  EXPECT_EQ(broken.Grid().DataRows(), 0);
}

TEST_F(ChoosersTest, SettlementChooserAnswersTheSelectedOrderFiltersUntilClearedAndKeepsItsViews) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm& form) {
    EXPECT_EQ(dialog.Form().Caption(), "维修结算单选单");
    // Order 2 belongs to settlement 50, which is the one being edited.
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColNumber),
              (Texts{"WS000", "WS001", "WS002", "WS004", "WS005"}));
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
  EXPECT_EQ(row.Text("i配件编码") + row.Text("i单位"), "") << "the other properties stay empty";

  frmSelWsJs filtered;
  WhileShown([&](host::IModalForm& form) {
    EXPECT_EQ(filtered.Filter(OrderChooser::kCustomer).Text(), "李四");
    EXPECT_EQ(Column(filtered.Grid(), frmSelWsJs::kColNumber), (Texts{"WS004"}));
    ASSERT_TRUE(Press(form, 3));
    EXPECT_EQ(filtered.Filter(OrderChooser::kCustomer).Key(), "");
    EXPECT_EQ(filtered.Grid().DataRows(), 4) << "a new settlement sees no settled order";
    form.Dismiss();
  });
  EXPECT_TRUE(filtered.py_SubProgram(host_.System(), 200003, 2, 0).empty());

  // The view options hide columns; the layout and the choice of view are kept.
  frmSelWsJs viewed;
  WhileShown([&](host::IModalForm& form) {
    auto& brief = form.Form().Get<forms::OptionButton>(frmSelWsJs::kViewOption, 1);
    EXPECT_FALSE(brief.Checked()) << "every opening starts with every column";
    ASSERT_TRUE(Input::Click(brief));
    EXPECT_FALSE(form.Form().Get<forms::OptionButton>(frmSelWsJs::kViewOption, 0).Checked());
    for (int col = frmSelWsJs::kColModel; col <= frmSelWsJs::kColInspection; ++col) {
      EXPECT_TRUE(viewed.Grid().ColHidden(col)) << col;
    }
    EXPECT_FALSE(viewed.Grid().ColHidden(frmSelWsJs::kColPlate));
    EXPECT_EQ(viewed.Grid().DataRows(), 4) << "listed again";
    viewed.Grid().SetColWidth(frmSelWsJs::kColCustomer, 3210);
    viewed.btn_Click(9);
    EXPECT_TRUE(host_.Dialogs().Asked("未处理的功能"));
    EXPECT_FALSE(form.IsClosed());
    form.Dismiss();
  });
  EXPECT_TRUE(viewed.py_SubProgram(host_.System(), 200003, 0, 0).empty());
  EXPECT_EQ(host_.System().UserSettings().Get("WS_SelWs", ""), "1");

  frmSelWsJs again;
  WhileShown([&](host::IModalForm& form) {
    EXPECT_EQ(again.Grid().ColWidth(frmSelWsJs::kColCustomer), 3210);
    EXPECT_FALSE(again.Grid().ColHidden(frmSelWsJs::kColLabour)) << "the view is not stored";
    ASSERT_TRUE(Input::Click(form.Form().Get<forms::OptionButton>(frmSelWsJs::kViewOption, 0)));
    EXPECT_EQ(again.Grid().ColWidth(frmSelWsJs::kColCustomer), 3210) << "rebuilt with the layout";
    form.Dismiss();
  });
  again.py_SubProgram(host_.System(), 200003, 0, 0);
  EXPECT_EQ(host_.System().UserSettings().Get("WS_SelWs", ""), "0");
}

}  // namespace
}  // namespace ws::receipt
