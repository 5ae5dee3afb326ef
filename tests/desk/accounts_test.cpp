// Accounts on the desktop: the login dialog that checks the password, the toolbar that offers
// and the tab that runs only what the account's role may do, and the owner's accounts dialog.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "desk/accounts_dialog.h"
#include "desk/login_dialog.h"
#include "desk/program_tab.h"
#include "desk_fixture.h"
#include "platform/accounts.h"
#include "support/test_host.h"

namespace ws::desk {

using test::ShopFixture;

class AccountsDeskTest : public QObject {
  Q_OBJECT

 private slots:
  void LoginStaysOpenUntilTheNameAndPasswordOpenAnAccount() {
    int asked = 0;
    LoginDialog login("shop.db", [&](const QString& user, const QString& password) {
      ++asked;
      return user == "老李" && password == "li-secret" ? QString() : QString("用户名或密码不正确");
    });
    login.SetUserName("老李");
    auto* password = login.findChild<QLineEdit*>("Password");
    QVERIFY(password && password->echoMode() == QLineEdit::Password);
    password->setText("wrong");
    login.accept();
    QCOMPARE(login.result(), int(QDialog::Rejected));
    QVERIFY(password->text().isEmpty());
    QCOMPARE(login.findChild<QLabel*>("Refusal")->text(), QString("用户名或密码不正确"));
    password->setText("li-secret");
    login.accept();
    QCOMPARE(login.result(), int(QDialog::Accepted));
    QCOMPARE(asked, 2);
    // A shop without accounts asks no password.
    LoginDialog open("shop.db");
    QVERIFY(!open.findChild<QLineEdit*>("Password"));
  }

  void TheToolbarAndTheTabFollowTheRoleReadAfresh() {
    ShopFixture shop(
        "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期) values "
        "(1,200001,'01','WS001','2012-06-01')");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    platform::AccountStore accounts(host->Db());
    accounts.SetHashCost(platform::HashCost::Minimal);
    QCOMPARE(accounts.Add("老板", "owner-secret", "店主"), std::string());
    QCOMPARE(accounts.Add(ws::test::kTestUser, "clerk-secret", "录入员"), std::string());

    QString error;
    std::unique_ptr<ProgramTab> tab(
        ProgramTab::Open(*host, *host->Menu().FindClass("WS_S"), 1, OpenMode::Browse, {}, &error));
    QVERIFY2(tab, qPrintable(error));
    ProgramState state = tab->State();
    QVERIFY(!CommandEnabled(ToolCommand::Check, state) && CommandEnabled(ToolCommand::Edit, state));
    QVERIFY(!tab->Run(ToolCommand::Check) && shop.Dialogs().Asked("没有“审核”权限"));
    QCOMPARE(shop.Text("select smark from WSDJ where 单据ID = 1"), std::string("01"));

    // The owner makes the clerk a checker: the next check goes through.
    QCOMPARE(accounts.SetRole(ws::test::kTestUser, "审核员"), std::string());
    QVERIFY(tab->Run(ToolCommand::Check));
    QCOMPARE(shop.Text("select 审核人 from WSDJ where 单据ID = 1"),
             std::string(ws::test::kTestUser));
    QVERIFY(CommandEnabled(ToolCommand::UnCheck, tab->State()));

    // Stopped while logged in: refused at the next step, and the toolbar follows.
    QCOMPARE(accounts.SetActive(ws::test::kTestUser, false), std::string());
    shop.Dialogs().Clear();
    QVERIFY(!tab->Run(ToolCommand::UnCheck) && shop.Dialogs().Asked("已停用或已删除"));
    QVERIFY(!CommandEnabled(ToolCommand::UnCheck, tab->State()));
    tab->Shutdown();
  }

  void TheAccountsDialogKeepsTheLastOwner() {
    ws::test::TestHost host;
    AccountsDialog dialog(host.Db());
    QVERIFY2(!dialog.Add("小王", "wang-secret", "录入员").isEmpty(), "the first must manage");
    QCOMPARE(dialog.Add("老板", "owner-secret", "店主"), QString());
    QCOMPARE(dialog.Add("小王", "wang-secret", "录入员"), QString());
    auto* table = dialog.findChild<QTableWidget*>("Accounts");
    QCOMPARE(table->rowCount(), 2);
    QVERIFY(dialog.ChooseRole("老板", "录入员").contains("管理"));
    QVERIFY(dialog.SetActive("老板", false).contains("管理"));
    QCOMPARE(dialog.ChooseRole("小王", "审核员"), QString());
    QCOMPARE(dialog.SetActive("小王", false), QString());
    QCOMPARE(dialog.ResetPassword("小王", "short"), QString("密码至少要 6 个字"));
    QCOMPARE(table->item(0, 0)->text(), QString("小王"));
    QCOMPARE(table->item(0, 1)->text() + table->item(0, 2)->text(), QString("审核员已停用"));
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::AccountsDeskTest)
#include "accounts_test.moc"
