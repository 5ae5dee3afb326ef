// The shop around the windows: opening the shop file (a clear refusal for a missing, foreign,
// outdated or locked file, the demo shop of a first start, a shop on a server), the 本店信息
// dialog saving what was typed on OK and nothing on Cancel, and both reports in their tabs with
// their print. Accounts: the login dialog that checks the password, the toolbar that offers and
// the tab that runs only what the account's role may do, and the owner's accounts dialog.
#include <unistd.h>

#include <algorithm>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "db/catalogue.h"
#include "db/runner.h"
#include "desk/accounts_dialog.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk/login_dialog.h"
#include "desk/new_shop_dialog.h"
#include "desk/program_tab.h"
#include "desk/shop_file.h"
#include "desk/shop_info_dialog.h"
#include "desk_fixture.h"
#include "masters/master_list.h"
#include "platform/accounts.h"
#include "platform/print_data.h"
#include "platform/shop_info.h"
#include "reports/ws_rpt.h"
#include "shop/store/new_shop.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::desk {

namespace {

using test::ShopFixture;

// Once the dialog is up: checks the name it shows, types a new name and presses the button.
void AnswerDialog(const QString& shownName, const QString& typedName,
                  QDialogButtonBox::StandardButton press, bool* seen) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<ShopInfoDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    *seen = dialog->windowTitle() == QStringLiteral("本店信息");
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("shopName"));
    *seen = *seen && name && name->text() == shownName;
    if (name) name->setText(typedName);
    dialog->findChild<QDialogButtonBox*>()->button(press)->click();
  });
}

}  // namespace

class ShopTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusesWhatIsNotAShopOfOurs() {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("none.db").toStdString();
    ShopFile file = OpenShopFile(missing);
    QCOMPARE(file.status, ShopFileStatus::Missing);
    QVERIFY(!file.db && file.message.find(missing) != std::string::npos);
    QVERIFY(!QFile::exists(QString::fromStdString(missing)));  // looking creates nothing
    // An SQLite database of some other program (what else is no shop is the shop library's
    // check, which the command-line tool's tests go through file by file).
    {
      auto other = platform::SqliteDatabase::Open(dir.filePath("other.db").toStdString());
      QCOMPARE(other->ExecScript("CREATE TABLE t (a)").Error(), std::string());
    }
    file = OpenShopFile(dir.filePath("other.db").toStdString());
    QCOMPARE(file.status, ShopFileStatus::Foreign);
    QVERIFY(file.message.find("ws_meta") != std::string::npos);

    // Ours, from a newer version of the program; a file of the build before per-subsystem
    // versions opens and is brought forward.
    ShopFixture newer("UPDATE ws_meta SET value = '99' WHERE key = 'version'");
    QCOMPARE(newer.Error(), std::string());
    const std::string shop = newer.DatabasePath();
    file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Outdated);
    QVERIFY(file.message.find("99") != std::string::npos);
    QCOMPARE(platform::SqliteDatabase::Open(shop)
                 ->ExecScript("UPDATE ws_meta SET value = '1' WHERE key = 'version';"
                              "DELETE FROM ws_meta WHERE key LIKE 'version:%'")
                 .Error(),
             std::string());
    file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Ok);
    QCOMPARE(db::SchemaVersion(*file.db), std::optional<std::string>(db::kSchemaVersion));

    // Another program in the middle of writing holds it.
    file.db->BeginTrans();
    QCOMPARE(file.db->LastError(), std::string());
    ShopFile locked = OpenShopFile(shop, 100);
    QCOMPARE(locked.status, ShopFileStatus::Locked);
    QVERIFY(!locked.db);
    file.db->RollbackTrans();
    QCOMPARE(OpenShopFile(shop, 100).status, ShopFileStatus::Ok);
  }

  // The demo shop of a first start, in a new file or in a database on a server without a shop
  // (that one only with scripts/with_postgres.sh), opened like any shop; an existing shop is
  // never overwritten, and a server that cannot be reached is a plain failure.
  void CreatesTheDemoShopInAFileOrOnAServer() {
    QTemporaryDir dir;
    std::vector<std::string> shops = {dir.filePath("demo.db").toStdString()};
    if (auto base = platform::testing::PostgresUrl()) {
      shops.push_back(*base + (base->find('?') == std::string::npos ? "?" : "&") +
                      "dbname=desk_shop_" + std::to_string(::getpid()));
    }
    for (const std::string& shop : shops) {
      ShopFile missing = OpenShopFile(shop);
      QVERIFY(missing.status == ShopFileStatus::Missing && !missing.db);
      int64_t lastDone = -1;
      QCOMPARE(CreateDemoShop(shop, 12, db::Date{2012, 6, 15},
                              [&](int64_t done, int64_t) { lastDone = done; }),
               std::string());
      QVERIFY(lastDone >= 0 && !CreateDemoShop(shop, 5, db::Date{2012, 6, 15}).empty());
      ShopFile file = OpenShopFile(shop);
      QVERIFY(file.status == ShopFileStatus::Ok && file.message.empty());
      db::Runner runner(*file.db);
      QCOMPARE(runner.ScalarNumber(db::Sql("SELECT count(*) FROM WSDJ")), 12.0);
      QVERIFY(runner.ScalarNumber(db::Sql("SELECT count(*) FROM xt_objects")) > 0);
    }
    ShopFile refused = OpenShopFile("postgresql:///none?host=/nonexistent-socket-folder");
    QVERIFY(refused.status == ShopFileStatus::Failed && !refused.db);
  }

  // 新建维修厂 makes a shop that opens with its particulars, calendar and owner, and refuses
  // what cannot be used without leaving a file; its checklist counts and opens the lists.
  void ANewShopFromTheDialogOpensWithWhatWasTyped() {
    QTemporaryDir dir;
    const QString path = dir.filePath("新店.db");
    NewShopDialog dialog(db::Date{2012, 6, 15});
    auto set = [&](const char* name, const QString& text) {
      auto* edit = dialog.findChild<QLineEdit*>(name);
      QVERIFY2(edit, name);
      edit->setText(text);
    };
    set("shopFile", path);
    set("shopName", "阳光汽修");
    set("shopTaxNumber", "91440300");
    set("ownerName", "老板");
    set("ownerPassword", "open-sesame-1");
    set("ownerPasswordAgain", "open-sesame-2");
    QCOMPARE(dialog.Create(), QStringLiteral("两次输入的密码不一致"));
    set("ownerPasswordAgain", "open-sesame-1");
    set("period", "201213");
    QVERIFY(!dialog.Create().isEmpty());
    QVERIFY(!QFile::exists(path));
    dialog.findChild<QSpinBox*>("closingDay")->setValue(25);
    set("period", "201207");
    QCOMPARE(dialog.Create(), QString());
    QVERIFY2(!dialog.Create().isEmpty(), "a second shop is not made over the first");

    ShopFile file = OpenShopFile(path.toStdString());
    QCOMPARE(int(file.status), int(ShopFileStatus::Ok));
    QCOMPARE(platform::LoadShopInfo(*file.db).taxNumber, std::string("91440300"));
    QCOMPARE(platform::AccountStore(*file.db).Authenticate("老板", "open-sesame-1"), std::string());
    db::Runner runner(*file.db);
    QCOMPARE(runner.ScalarText(db::Sql("SELECT group_concat(value) FROM (SELECT value FROM "
                                       "ws_parameter WHERE module=12 AND number IN (1,3) "
                                       "ORDER BY number)")),
             std::string("201207,25"));

    runner.Execute("INSERT INTO PDMWXXM (AutoID,编码,维修项目) VALUES (1,'X1','换机油')");
    GoingLiveDialog checklist(*file.db);
    QCOMPARE(checklist.findChild<QLabel*>("count_维修项目")->text(), QStringLiteral("1"));
    QCOMPARE(checklist.findChild<QLabel*>("count_客户")->text(), QStringLiteral("0"));
  }

  // Every line of the checklist opens its list as a tab, the imported ones too (read-only, with
  // the hint kept beside their button).
  void EachChecklistLineOpensItsList() {
    ShopFixture shop;
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    GoingLiveDialog checklist(host->Db());
    const auto lines = shop::GoingLiveChecklist(host->Db(), nullptr);
    const auto buttons = checklist.findChildren<QPushButton*>(QRegularExpression("^open_"));
    QCOMPARE(buttons.size(), qsizetype(lines.size()));
    int imported = 0;
    for (const auto& line : lines) imported += line.imported ? 1 : 0;
    int hints = 0;
    for (const QLabel* label : checklist.findChildren<QLabel*>()) {
      hints += label->text() == QStringLiteral("条（用 ws import 导入）") ? 1 : 0;
    }
    QVERIFY(imported > 0);
    QCOMPARE(hints, imported);
    for (QPushButton* button : buttons) {
      QString opened;
      auto connection =
          connect(&checklist, &GoingLiveDialog::OpenList, [&](const QString& c) { opened = c; });
      button->click();
      disconnect(connection);
      QCOMPARE(QStringLiteral("open_") + opened, button->objectName());
      const auto* entry = host->Menu().FindClass(opened.toStdString());
      QVERIFY2(entry, qPrintable(opened));
      QString error;
      std::unique_ptr<ProgramTab> tab(
          ProgramTab::Open(*host, *entry, 0, OpenMode::Browse, {}, &error));
      QVERIFY2(tab && dynamic_cast<masters::MasterList*>(&tab->Control()),
               qPrintable(opened + error));
      const bool readOnly = std::any_of(lines.begin(), lines.end(), [&](const auto& line) {
        return line.imported && line.listClass == opened.toStdString();
      });
      QCOMPARE(tab->State().mayChange, !readOnly);
    }
  }

  void ShopInfoSavesOnOkAndKeepsTheShopOnCancel() {
    ws::test::TestHost host;
    const platform::ShopInfo stored{"长城汽修厂", "北京市朝阳区", "010-1234", "9111"};
    QCOMPARE(platform::SaveShopInfo(host.Db(), stored), std::string());

    bool seen = false;
    AnswerDialog(QStringLiteral("长城汽修厂"), QStringLiteral("城南汽修"), QDialogButtonBox::Cancel,
                 &seen);
    QVERIFY(!ShopInfoDialog::Edit(host.Db(), nullptr) && seen);
    QCOMPARE(platform::LoadShopInfo(host.Db()), stored);

    AnswerDialog(QStringLiteral("长城汽修厂"), QStringLiteral(" 城南汽修 "), QDialogButtonBox::Ok,
                 &seen);
    QVERIFY(ShopInfoDialog::Edit(host.Db(), nullptr) && seen);
    platform::ShopInfo changed = stored;
    changed.name = "城南汽修";
    QCOMPARE(platform::LoadShopInfo(host.Db()), changed);
  }

  void BothReportsOpenWithPanelAndGrid() {
    ShopFixture shop(
        "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,维修分类,应收合计) values "
        "(1,200001,'02','WS001','2012-05-01','保养',100),(2,200001,'01','WS002','2012-05-02','钣金'"
        ",50),"
        "(3,200001,'02','WS003','2012-05-03','保养',70)");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    for (const char* name : {"JS_RPT", "WS_RPT"}) {
      QString error;
      std::unique_ptr<ProgramTab> tab(
          ProgramTab::Open(*host, *host->Menu().FindClass(name), 0, OpenMode::Browse, {}, &error));
      QVERIFY2(tab, qPrintable(error));
      auto& report = dynamic_cast<reports::ReportControl&>(tab->Control());
      // The panel: an editor per filter field and the check box; the grid below.
      GridView* grid = tab->View().GridViewOf(report.Grid());
      QVERIFY(tab->View().EditorOf(report.FilterInput(0)) &&
              tab->View().QtWidgetOf(report.CheckedOnly()) && grid);
      QCOMPARE(grid->model()->rowCount(), report.Grid().DataRows());
      if (std::string(name) != "WS_RPT") continue;

      // It opens on the login date's month (June, no orders), never on the whole history; the
      // clerk widens the window and refreshes.
      QCOMPARE(report.FilterInput(reports::WS_RPT::kDateFrom).Text(), std::string("2012-06-01"));
      QCOMPARE(grid->model()->rowCount(), 0);
      report.FilterInput(reports::WS_RPT::kDateFrom).SetText("2012-05-01");
      QVERIFY(tab->Run(ToolCommand::Refresh));

      // The grid pack's filter from the toolbar: the current row's category only, then all.
      QCOMPARE(grid->model()->rowCount(), 3);
      report.Grid().SetRow(1);
      report.Grid().SetCurrentCol(11);
      QVERIFY(tab->Run(ToolCommand::Filter));
      QCOMPARE(grid->model()->rowCount(), 2);
      QVERIFY(tab->Run(ToolCommand::Filter));
      QCOMPARE(grid->model()->rowCount(), 3);

      // Print writes the report's file, which the desktop reads back.
      QVERIFY(tab->Run(ToolCommand::Print));
      platform::PrintFile file = platform::ReadPrintFile(tab->PrintFileName());
      QVERIFY(file.error.empty() && file.Table("Vs") && file.Table("Vs")->rows.size() == 3);
    }
  }

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

QTEST_MAIN(ws::desk::ShopTest)
#include "shop_test.moc"
