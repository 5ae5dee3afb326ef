// The page set up once: kept in the user's settings, given to every printer the desktop makes
// with its orientation left alone, and a damaged setting never makes a page without paper.
#include <QPageSize>
#include <QPrinter>
#include <QSettings>
#include <QTest>

#include "desk/page_setup.h"

namespace ws::desk {

class PageSetupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QSettings().clear(); }

  void NothingSavedLeavesThePrinterAlone() {
    QVERIFY(!HasSavedPageSetup());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    ApplyPageSetup(printer);
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::Letter);
  }

  void TheSavedPageReachesEveryPrinterKeepingItsOrientation() {
    QPageLayout layout(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF(12, 15, 10, 20),
                       QPageLayout::Millimeter);
    SavePageLayout(layout);
    QVERIFY(HasSavedPageSetup());

    QPrinter report(QPrinter::HighResolution);
    report.setPageOrientation(QPageLayout::Landscape);
    ApplyPageSetup(report);
    QCOMPARE(report.pageLayout().pageSize().id(), QPageSize::A5);
    QCOMPARE(report.pageLayout().orientation(), QPageLayout::Landscape);
    const QMarginsF mm = report.pageLayout().margins(QPageLayout::Millimeter);
    QCOMPARE(qRound(mm.left()), 12);
    QCOMPARE(qRound(mm.top()), 15);
    QCOMPARE(qRound(mm.right()), 10);
    QCOMPARE(qRound(mm.bottom()), 20);
  }

  void ADamagedSettingFallsBackToA4WithoutMargins() {
    QSettings settings;
    settings.setValue("print/pageSize", "纸");
    settings.setValue("print/marginsMm", "1,2,x,4");
    const QPageLayout layout = SavedPageLayout();
    QCOMPARE(layout.pageSize().id(), QPageSize::A4);
    QCOMPARE(layout.margins(QPageLayout::Millimeter), QMarginsF());
    settings.setValue("print/pageSize", 100000);
    settings.setValue("print/marginsMm", "1,2,3,-4");
    QCOMPARE(SavedPageLayout().pageSize().id(), QPageSize::A4);
    QCOMPARE(SavedPageLayout().margins(QPageLayout::Millimeter), QMarginsF());
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::PageSetupTest)
#include "page_setup_test.moc"
