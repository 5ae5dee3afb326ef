// Both reports open in a tab of the desktop with their filter panel and grid; a filter typed in
// the panel narrows the grid after Refresh, the grid pack's filter runs from the toolbar, the
// print file carries the grid, and a grid goes out as PDF through the print renderer.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "desk/field_editor.h"
#include "desk/form_view.h"
#include "desk/grid_pdf.h"
#include "desk/grid_view.h"
#include "desk/program_tab.h"
#include "desk_fixture.h"
#include "platform/print_data.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"

namespace ws::desk {

namespace {

using test::ShopFixture;

ProgramTab* OpenTab(DeskHost& host, const std::string& className) {
  const platform::MenuEntry* entry = host.Menu().FindClass(className);
  if (!entry) return nullptr;
  QString error;
  ProgramTab* tab = ProgramTab::Open(host, *entry, 0, OpenMode::Browse, {}, &error);
  if (!tab) qWarning("%s", qPrintable(error));
  return tab;
}

}  // namespace

class ReportTabTest : public QObject {
  Q_OBJECT

 private slots:
  void BothReportsOpenWithPanelAndGrid() {
    ShopFixture shop;
    QCOMPARE(shop.Error(), std::string());
    DeskHost* host = shop.Host();
    QVERIFY(host);
    QCOMPARE(shop.Exec("insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,维修分类,应收合计) "
                       "values (1,200001,'02','WS001','2012-05-01','保养',100),"
                       "(2,200001,'01','WS002','2012-05-02','钣金',50),"
                       "(3,200001,'02','WS003','2012-05-03','保养',70)"),
             std::string());

    for (const char* name : {"WS_RPT", "JS_RPT"}) {
      std::unique_ptr<ProgramTab> tab(OpenTab(*host, name));
      QVERIFY2(tab, name);
      QVERIFY(tab->State().reportUI);
      auto& report = dynamic_cast<reports::ReportControl&>(tab->Control());
      // The panel: an editor per filter field and the check box; the grid below.
      QVERIFY(tab->View().EditorOf(report.FilterInput(0)));
      QVERIFY(tab->View().QtWidgetOf(report.CheckedOnly()));
      GridView* grid = tab->View().GridViewOf(report.Grid());
      QVERIFY(grid);
      QCOMPARE(grid->model()->rowCount(), report.Grid().DataRows());
    }

    std::unique_ptr<ProgramTab> tab(OpenTab(*host, "WS_RPT"));
    auto& report = dynamic_cast<reports::WS_RPT&>(tab->Control());
    GridView* grid = tab->View().GridViewOf(report.Grid());
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

    // Print writes the report's file, which the desktop reads back.
    QVERIFY(tab->Run(ToolCommand::Print));
    platform::PrintFile file = platform::ReadPrintFile(tab->PrintFileName());
    QCOMPARE(file.error, std::string());
    QVERIFY(file.Table("Vs"));
    QCOMPARE(file.Table("Vs")->rows.size(), size_t(3));

    // PDF and CSV of the grid as shown.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("report.pdf");
    QCOMPARE(ExportGridPdf(report.Grid(), "维修工单查询", "", pdf), QString());
    QFile out(pdf);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QVERIFY(out.read(5) == "%PDF-");
    const platform::PrintFile shown = GridPrintFile(report.Grid(), "条件");
    QCOMPARE(shown.tables.at(0).columns.size(), size_t(20));
    QCOMPARE(*shown.Value("条件"), std::string("条件"));
    const QString csv = dir.filePath("report.csv");
    QCOMPARE(ExportGridCsv(report.Grid(), csv), QString());
    QVERIFY(QFile(csv).size() > 0);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ReportTabTest)
#include "report_tab_test.moc"
