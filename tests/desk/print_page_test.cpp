// The desktop's print page: the program's template from the work folder or built in, the shop's
// header from its options, a report laid across the page; and the progress display the host's
// long work reports to, whose Cancel stops that work.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTest>
#include <fstream>

#include "desk/print_page.h"
#include "desk/progress_dialog.h"
#include "desk_fixture.h"
#include "platform/print_template.h"

namespace ws::desk {

namespace {

platform::PrintFile OrderFile() {
  platform::PrintFile file;
  file.values = {{"工单号码", "20120616001"}, {"金额大写", "壹佰壹拾元整"}};
  file.tables.push_back(
      platform::PrintTable{"ywGridXM", {"行号", "编码", "维修项目"}, {{"1", "X01", "换机油"}}});
  return file;
}

QProgressDialog* OpenProgressDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QProgressDialog*>(widget)) return dialog;
  }
  return nullptr;
}

}  // namespace

class PrintPageTest : public QObject {
  Q_OBJECT

 private slots:
  void TheWorkFoldersTemplateAndTheShopsNameMakeThePage() {
    test::ShopFixture shop;
    QVERIFY2(shop.Error().empty(), shop.Error().c_str());
    DeskHost& host = *shop.Host();
    QCOMPARE(host.System().SetOption(12, platform::kShopNameOption, "长城汽修"), std::string());
    const platform::MenuEntry* order = host.Menu().FindClass("WS_S");
    QVERIFY(order);

    PrintPage builtIn = ProgramPrintPage(host.System(), *order, OrderFile());
    QCOMPARE(builtIn.error, std::string());
    QVERIFY(!builtIn.landscape);
    const QString html = QString::fromStdString(builtIn.html);
    QVERIFY(html.contains("长城汽修"));
    QVERIFY(html.contains("20120616001"));
    QVERIFY(html.contains("换机油"));
    QVERIFY(html.contains("壹佰壹拾元整"));

    const std::string work = host.Login().workFolder;
    QVERIFY(QDir().mkpath(QString::fromStdString(work + "/selfPrint")));
    std::ofstream(platform::TemplatePath(work, order->programNumber))
        << "<p>{{shop.name}} 专用单 {{value 工单号码}}</p>";
    PrintPage own = ProgramPrintPage(host.System(), *order, OrderFile());
    QCOMPARE(own.html, std::string("<p>长城汽修 专用单 20120616001</p>"));
    const QString pdf = shop.Folder() + "/own.pdf";
    QCOMPARE(ExportPagePdf(own, pdf), QString());
    QFile out(pdf);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QVERIFY(out.read(5) == "%PDF-");

    std::ofstream(platform::TemplatePath(work, order->programNumber)) << "{{value 工单号码";
    PrintPage broken = ProgramPrintPage(host.System(), *order, OrderFile());
    QVERIFY(!broken.error.empty());
    QVERIFY(broken.html.empty());

    const platform::MenuEntry* report = host.Menu().FindClass("WS_RPT");
    QVERIFY(report);
    PrintPage grid = ProgramPrintPage(host.System(), *report, OrderFile());
    QCOMPARE(grid.error, std::string());
    QVERIFY(grid.landscape);
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

QTEST_MAIN(ws::desk::PrintPageTest)
#include "print_page_test.moc"
