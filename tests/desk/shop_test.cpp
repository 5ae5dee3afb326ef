// The shop around the windows: opening the shop file (a clear refusal for a missing, foreign,
// outdated or locked file, the demo shop of a first start, a shop on a server), a --screenshot
// run that never waits for a click, the print page from the program's template and the user's
// page setup, both reports in their tabs with their print, PDF and CSV, and the progress
// display whose Cancel stops the host's long work.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QTest>
#include <fstream>

#include "db/catalogue.h"
#include "db/runner.h"
#include "desk/form_view.h"
#include "desk/grid_pdf.h"
#include "desk/grid_view.h"
#include "desk/page_setup.h"
#include "desk/print_page.h"
#include "desk/program_tab.h"
#include "desk/progress_dialog.h"
#include "desk/shop_file.h"
#include "desk_fixture.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "reports/ws_rpt.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::desk {

namespace {

using test::ShopFixture;

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

bool IsPdf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
}

QProgressDialog* OpenProgressDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QProgressDialog*>(widget)) return dialog;
  }
  return nullptr;
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
    // Text that is no database, a folder, an empty file (refused as it is, not made a
    // database by the look), an SQLite database of some other program.
    WriteFile(dir.filePath("notes.db"), QByteArray(4096, 'x'));
    WriteFile(dir.filePath("empty.db"), {});
    {
      auto other = platform::SqliteDatabase::Open(dir.filePath("other.db").toStdString(), nullptr);
      QCOMPARE(other->ExecScript("CREATE TABLE t (a)"), std::string());
    }
    for (const QString& path : {dir.filePath("notes.db"), dir.path(), dir.filePath("empty.db"),
                                dir.filePath("other.db")}) {
      QCOMPARE(OpenShopFile(path.toStdString()).status, ShopFileStatus::Foreign);
    }
    QCOMPARE(QFileInfo(dir.filePath("empty.db")).size(), qint64(0));
    QVERIFY(OpenShopFile(dir.filePath("other.db").toStdString()).message.find("ws_meta") !=
            std::string::npos);

    // Ours, from a newer version of the program; a file of the build before per-subsystem
    // versions opens and is brought forward.
    ShopFixture newer("UPDATE ws_meta SET value = '99' WHERE key = 'version'");
    QCOMPARE(newer.Error(), std::string());
    const std::string shop = newer.DatabasePath();
    file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Outdated);
    QVERIFY(file.message.find("99") != std::string::npos);
    QCOMPARE(platform::SqliteDatabase::Open(shop, nullptr)
                 ->ExecScript("UPDATE ws_meta SET value = '1' WHERE key = 'version';"
                              "DELETE FROM ws_meta WHERE key LIKE 'version:%'"),
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
      QVERIFY(lastDone >= 0);
      QVERIFY(!CreateDemoShop(shop, 5, db::Date{2012, 6, 15}).empty());
      ShopFile file = OpenShopFile(shop);
      QVERIFY(file.status == ShopFileStatus::Ok && file.message.empty());
      db::Runner runner(*file.db);
      QCOMPARE(runner.ScalarNumber(db::Sql("SELECT count(*) FROM WSDJ")), 12.0);
      QVERIFY(runner.ScalarNumber(db::Sql("SELECT count(*) FROM xt_objects")) > 0);
    }
    ShopFile refused = OpenShopFile("postgresql:///none?host=/nonexistent-socket-folder");
    QVERIFY(refused.status == ShopFileStatus::Failed && !refused.db);
  }

  // Whatever the module has to say (here, that part of the file is damaged) must answer itself
  // and go to standard error, never wait for a click that will not come.
  void ScreenshotOfAPartlyDamagedShopNeverWaitsOnABox() {
    ShopFixture shop(
        "INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期) "
        "VALUES (1, 200001, '01', 'W1', '2012-06-15')");
    QCOMPARE(shop.Error(), std::string());
    int64_t orders = 0;  // where the orders' first page starts
    {
      auto db = platform::SqliteDatabase::Open(shop.DatabasePath(), nullptr);
      orders = db::Runner(*db)
                   .Scalar(
                       "SELECT (rootpage - 1) * (SELECT page_size FROM pragma_page_size()) "
                       "FROM sqlite_master WHERE name = 'WSDJ'")
                   .ToLong();
    }  // closing folds the write-ahead log into the file
    QVERIFY(orders > 0);
    {
      // The orders' page gets a page type no b-tree has: every read of WSDJ fails as
      // "malformed", while the schema, the menu and the options still read.
      QFile file(QString::fromStdString(shop.DatabasePath()));
      QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(orders));
      QCOMPARE(file.write(QByteArray(1, '\x7f')), qint64(1));
    }
    const QString png = shop.Folder() + "/shot.png";
    QProcess desk;
    desk.start(WS_DESK_EXE,
               {"--db", QString::fromStdString(shop.DatabasePath()), "--user", "测试员", "--date",
                "2012-06-15", "--open", "WS_S", "--screenshot", png});
    QVERIFY(desk.waitForStarted());
    QVERIFY2(desk.waitForFinished(60000), "ws-desk waited for a click");  // else killed on return
    const QString err = QString::fromUtf8(desk.readAllStandardError());
    QCOMPARE(desk.exitCode(), 0);
    QVERIFY2(err.contains("malformed") && err.contains("-> OK"), qPrintable(err));
    QVERIFY(QFile::exists(png));
  }

  void TheTemplateAndTheShopsNameMakeThePage() {
    ShopFixture shop;
    QVERIFY2(shop.Host(), shop.Error().c_str());
    DeskHost& host = *shop.Host();
    QCOMPARE(host.System().SetOption(12, platform::kShopNameOption, "长城汽修"), std::string());
    const platform::MenuEntry* order = host.Menu().FindClass("WS_S");
    QVERIFY(order);
    platform::PrintFile data;
    data.values = {{"工单号码", "20120616001"}, {"金额大写", "壹佰壹拾元整"}};
    data.tables.push_back(
        platform::PrintTable{"ywGridXM", {"行号", "编码", "维修项目"}, {{"1", "X01", "换机油"}}});

    PrintPage builtIn = ProgramPrintPage(host.System(), *order, data);
    QCOMPARE(builtIn.error, std::string());
    QVERIFY(!builtIn.landscape);
    for (const char* shown : {"长城汽修", "20120616001", "换机油", "壹佰壹拾元整"}) {
      QVERIFY2(QString::fromStdString(builtIn.html).contains(shown), shown);
    }
    // The work folder's own template wins; a broken one is an error and no page.
    const std::string work = host.Login().workFolder;
    QVERIFY(QDir().mkpath(QString::fromStdString(work + "/selfPrint")));
    std::ofstream(platform::TemplatePath(work, order->programNumber))
        << "<p>{{shop.name}} 专用单 {{value 工单号码}}</p>";
    PrintPage own = ProgramPrintPage(host.System(), *order, data);
    QCOMPARE(own.html, std::string("<p>长城汽修 专用单 20120616001</p>"));
    QCOMPARE(ExportPagePdf(own, shop.Folder() + "/own.pdf"), QString());
    QVERIFY(IsPdf(shop.Folder() + "/own.pdf"));
    std::ofstream(platform::TemplatePath(work, order->programNumber)) << "{{value 工单号码";
    PrintPage broken = ProgramPrintPage(host.System(), *order, data);
    QVERIFY(!broken.error.empty() && broken.html.empty());
    // A report is laid across the page.
    PrintPage grid = ProgramPrintPage(host.System(), *host.Menu().FindClass("WS_RPT"), data);
    QCOMPARE(grid.error, std::string());
    QVERIFY(grid.landscape);
  }

  // The page set up once reaches every printer with its orientation left alone; nothing saved
  // leaves the printer alone; a damaged setting falls back to A4 without margins.
  void PageSetupReachesEveryPrinter() {
    QSettings().clear();
    QVERIFY(!HasSavedPageSetup());
    QPrinter letter(QPrinter::HighResolution);
    letter.setPageSize(QPageSize(QPageSize::Letter));
    ApplyPageSetup(letter);
    QCOMPARE(letter.pageLayout().pageSize().id(), QPageSize::Letter);

    SavePageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait,
                               QMarginsF(12, 15, 10, 20), QPageLayout::Millimeter));
    QVERIFY(HasSavedPageSetup());
    QPrinter report(QPrinter::HighResolution);
    report.setPageOrientation(QPageLayout::Landscape);
    ApplyPageSetup(report);
    QCOMPARE(report.pageLayout().pageSize().id(), QPageSize::A5);
    QCOMPARE(report.pageLayout().orientation(), QPageLayout::Landscape);
    const QMarginsF mm = report.pageLayout().margins(QPageLayout::Millimeter);
    QCOMPARE(QMargins(qRound(mm.left()), qRound(mm.top()), qRound(mm.right()), qRound(mm.bottom())),
             QMargins(12, 15, 10, 20));

    QSettings settings;
    for (auto [size, margins] : {std::pair<QVariant, const char*>{"纸", "1,2,x,4"},
                                 std::pair<QVariant, const char*>{100000, "1,2,3,-4"}}) {
      settings.setValue("print/pageSize", size);
      settings.setValue("print/marginsMm", margins);
      QCOMPARE(SavedPageLayout().pageSize().id(), QPageSize::A4);
      QCOMPARE(SavedPageLayout().margins(QPageLayout::Millimeter), QMarginsF());
    }
    QSettings().clear();
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
      QVERIFY(tab->State().reportUI);
      auto& report = dynamic_cast<reports::ReportControl&>(tab->Control());
      // The panel: an editor per filter field and the check box; the grid below.
      GridView* grid = tab->View().GridViewOf(report.Grid());
      QVERIFY(tab->View().EditorOf(report.FilterInput(0)) &&
              tab->View().QtWidgetOf(report.CheckedOnly()) && grid);
      QCOMPARE(grid->model()->rowCount(), report.Grid().DataRows());
      if (std::string(name) != "WS_RPT") continue;

      QCOMPARE(grid->model()->rowCount(), 3);
      report.CheckedOnly().SetValue(1);
      QVERIFY(tab->Run(ToolCommand::Refresh));
      QCOMPARE(grid->model()->rowCount(), 2);
      // The grid pack's filter from the toolbar: the current row's category only, then all.
      report.Grid().SetRow(1);
      report.Grid().SetCurrentCol(11);
      report.CheckedOnly().SetValue(0);
      QVERIFY(tab->Run(ToolCommand::Refresh));
      QVERIFY(tab->Run(ToolCommand::Filter));
      QCOMPARE(grid->model()->rowCount(), 2);
      QVERIFY(tab->Run(ToolCommand::Filter));
      QCOMPARE(grid->model()->rowCount(), 3);

      // Print writes the report's file, which the desktop reads back; PDF and CSV of the grid
      // as shown.
      QVERIFY(tab->Run(ToolCommand::Print));
      platform::PrintFile file = platform::ReadPrintFile(tab->PrintFileName());
      QVERIFY(file.error.empty() && file.Table("Vs") && file.Table("Vs")->rows.size() == 3);
      const QString pdf = shop.Folder() + "/report.pdf";
      QCOMPARE(ExportGridPdf(report.Grid(), "维修工单查询", "", pdf), QString());
      QVERIFY(IsPdf(pdf));
      const platform::PrintFile shown = GridPrintFile(report.Grid(), "条件");
      QCOMPARE(shown.tables.at(0).columns.size(), size_t(20));
      QCOMPARE(*shown.Value("条件"), std::string("条件"));
      const QString csv = shop.Folder() + "/report.csv";
      QCOMPARE(ExportGridCsv(report.Grid(), csv), QString());
      QVERIFY(QFile(csv).size() > 0);
    }
  }

  void CancelInTheProgressDialogStopsTheWork() {
    ProgressDisplay progress;
    QVERIFY(progress.Report("正在读取数据...", 0, 100));
    QProgressDialog* dialog = OpenProgressDialog();
    QVERIFY(dialog);
    QVERIFY(progress.Report("正在读取数据...", 40, 100));
    QCOMPARE(dialog->value(), 400);
    dialog->cancel();
    QVERIFY(!progress.Report("正在读取数据...", 60, 100));
    QVERIFY(!OpenProgressDialog());  // gone with the cancelled work
    // Finished work closes the dialog; the next work gets a fresh one.
    QVERIFY(progress.Report("正在读取数据...", 0, 10));
    QVERIFY(OpenProgressDialog());
    QVERIFY(progress.Report("正在读取数据...", 10, 10));
    QVERIFY(!OpenProgressDialog());
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ShopTest)
#include "shop_test.moc"
