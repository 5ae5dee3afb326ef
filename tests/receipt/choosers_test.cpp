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
  // What the user does while the dialog is shown.
  void WhileShown(std::function<void(host::IModalForm&)> act) {
    host_.Dialogs().SetModalHandler([act](host::IModalForm& form) {
      act(form);
      EXPECT_TRUE(form.IsClosed()) << "the user's last action closes the dialog";
      return true;
    });
  }
  static std::vector<std::string> Column(const forms::Grid& grid, int col) {
    std::vector<std::string> out;
    for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
      out.push_back(grid.TextMatrix(row, col));
    }
    return out;
  }
  using Texts = std::vector<std::string>;
};

TEST_F(ChoosersTest, ReceivableChooserProposesTheAmountAndHandsOverTheTickedRows) {
  frmSel_AR_Rec dialog;
  std::vector<ChosenOrder> chosen;
  int selections = 0;
  dialog.EvHasSelect = [&](const std::vector<ChosenOrder>& rows) {
    chosen = rows;
    ++selections;
  };
  WhileShown([&](host::IModalForm&) {
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
    ASSERT_TRUE(Input::Click(dialog.Form().Get<forms::CommandButton>("btn", 0)));
  });
  dialog.py_Init(host_.System(), 1, 1000);

  EXPECT_EQ(selections, 1);
  ASSERT_EQ(chosen.size(), 2u);
  EXPECT_EQ(chosen[0].orderNumber, "WS002");
  EXPECT_EQ(chosen[0].writeOff, 600);
  EXPECT_EQ(chosen[0].orderId, 2);
  EXPECT_EQ(chosen[0].programId, 200001);
  EXPECT_EQ(chosen[1].orderNumber, "WS001");
  EXPECT_EQ(chosen[1].dateIn, "2012-05-01");
  EXPECT_EQ(chosen[1].plate + chosen[1].engine, "京A12345E1");
  EXPECT_EQ(chosen[1].total, 400);
  EXPECT_EQ(chosen[1].received, 100);
  EXPECT_EQ(chosen[1].balance, 300);
  EXPECT_EQ(chosen[1].writeOff, 250);
}

TEST_F(ChoosersTest, ReceivableChooserRequeriesAndClosesWithoutChoosing) {
  frmSel_AR_Rec dialog;
  bool selected = false;
  dialog.EvHasSelect = [&](const std::vector<ChosenOrder>&) { selected = true; };
  WhileShown([&](host::IModalForm& form) {
    // A query by date proposes the amount again over what it lists.
    ASSERT_TRUE(Input::Type(dialog.Filter(OrderChooser::kDateFrom), "2012-05-01"));
    ASSERT_TRUE(Input::Click(dialog.Form().Get<forms::CommandButton>("btn", 2)));
    EXPECT_EQ(Column(dialog.Grid(), frmSel_AR_Rec::kColNumber), (Texts{"WS001", "WS000"}));
    EXPECT_EQ(Column(dialog.Grid(), frmSel_AR_Rec::kColWriteOff), (Texts{"300", "50"}));
    // A date that is none is refused and filters nothing.
    ASSERT_TRUE(Input::Type(dialog.Filter(OrderChooser::kDateFrom), "2012-13-01"));
    EXPECT_FALSE(dialog.Filter(OrderChooser::kDateFrom).Valid());
    ASSERT_TRUE(dialog.Query());
    EXPECT_EQ(dialog.Grid().DataRows(), 3);
    form.Dismiss();
  });
  dialog.py_Init(host_.System(), 1, 350);
  EXPECT_FALSE(selected);
  EXPECT_EQ(host_.Dialogs().ModalForms(), (Texts{"frmSel_AR_Rec"}));
}

TEST_F(ChoosersTest, AQueryErrorIsReportedWithTheDialogsTitle) {
  host_.Exec("drop table CLZl");
  frmSel_AR_Rec dialog;
  dialog.Events().AttachSink(&host_.Sink());
  dialog.py_Init(host_.System(), 1, 100);
  auto errors = host_.Sink().Named("ErrMessage");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].args[0].ToText().rfind("HasRefresh:", 0), 0u);
  EXPECT_EQ(errors[0].args[2].ToText(), "收款单选单");
  EXPECT_EQ(dialog.Grid().DataRows(), 0);
}

TEST_F(ChoosersTest, SettlementChooserAnswersTheSelectedOrder) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm&) {
    EXPECT_EQ(dialog.Form().Caption(), "维修结算单选单");
    forms::Grid& grid = dialog.Grid();
    // Order 2 belongs to settlement 50, which is the one being edited.
    EXPECT_EQ(Column(grid, frmSelWsJs::kColNumber),
              (Texts{"WS000", "WS001", "WS002", "WS004", "WS005"}));
    ASSERT_TRUE(Input::SelectRow(grid, 2));
    ASSERT_TRUE(Input::Click(dialog.Form().Get<forms::CommandButton>("btn", 0)));
  });
  auto result = dialog.py_SubProgram(host_.System(), 200003, 0, 50);
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0].key, "k1");
  const masters::clsSelWS& row = result[0].row;
  EXPECT_EQ(row.i工单号码(), "WS001");
  EXPECT_EQ(row.i进厂日期(), "2012-05-01");
  EXPECT_EQ(row.i客户名称(), "顺达物流");
  EXPECT_EQ(row.i车牌号码() + row.i车型(), "京A12345桑塔纳");
  EXPECT_EQ(row.i客户ID(), 1);
  EXPECT_EQ(row.iprogid(), 200001);
  EXPECT_EQ(row.i单据ID(), 1);
}

TEST_F(ChoosersTest, SettlementChooserFiltersByCustomerUntilCleared) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm& form) {
    EXPECT_EQ(dialog.Filter(OrderChooser::kCustomer).Text(), "李四");
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColNumber), (Texts{"WS004"}));
    ASSERT_TRUE(Input::Click(dialog.Form().Get<forms::CommandButton>("btn", 3)));
    EXPECT_EQ(dialog.Filter(OrderChooser::kCustomer).Key(), "");
    EXPECT_EQ(dialog.Grid().DataRows(), 4) << "a new settlement sees no settled order";
    form.Dismiss();
  });
  EXPECT_TRUE(dialog.py_SubProgram(host_.System(), 200003, 2, 0).empty());
}

TEST_F(ChoosersTest, TheGridLayoutIsKeptBetweenOpenings) {
  {
    frmSelWsJs dialog;
    WhileShown([&](host::IModalForm& form) {
      dialog.Grid().SetColWidth(frmSelWsJs::kColCustomer, 3210);
      form.Dismiss();
    });
    dialog.py_SubProgram(host_.System(), 200003, 0, 0);
  }
  frmSelWsJs again;
  WhileShown([&](host::IModalForm& form) {
    EXPECT_EQ(again.Grid().ColWidth(frmSelWsJs::kColCustomer), 3210);
    form.Dismiss();
  });
  again.py_SubProgram(host_.System(), 200003, 0, 0);
}

}  // namespace
}  // namespace ws::receipt
