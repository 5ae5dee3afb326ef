// A list nobody counted yet, on the desk: the form shows its last row at once with "…/…" for
// the position, moves by key before the count is done, and the position fills in as the event
// loop turns, to what a count of the list gives for the row then shown.
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "desk/main_window.h"
#include "desk/program_tab.h"
#include "desk_fixture.h"
#include "host/document_control.h"
#include "repair_order/ws_s.h"
#include "shop/demo_data.h"
#include "support/test_host.h"

namespace ws::desk {

using test::ShopFixture;

class FirstCountTest : public QObject {
  Q_OBJECT

 private slots:
  void ThePositionFillsInBetweenEvents() {
    ShopFixture shop;
    QVERIFY2(shop.Host(), shop.Error().c_str());
    shop::DemoOptions options;
    options.orders = 60;
    options.date = ws::test::kTestLoginDate;
    QCOMPARE(shop::GenerateDemoData(shop.Host()->Db(), options), std::string());
    // Nothing counted before the row is shown, one block a turn: the demo's few orders behave
    // as a million would.
    shop.Host()->System().CountListsWhenIdle(platform::CountLater{&RunBetweenEvents, {}, {}});
    MainWindow window(*shop.Host());
    window.resize(1366, 768);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    ProgramTab* tab = window.OpenClass("WS_S");
    QVERIFY(tab);
    auto& control = dynamic_cast<host::DocumentControl&>(tab->Control());
    auto* record = qobject_cast<QLabel*>(
        tab->View().QtWidgetOf(*tab->View().Form().Find(host::DocumentControl::kRecordLabel)));
    QVERIFY(record);
    const QString open = QString("记录：%1/%1").arg(QString::fromUtf8(host::kNotCounted));
    QCOMPARE(record->text(), open);
    const int64_t last = control.GetID();
    QVERIFY(last > 0);

    // Previous by key while the count waits for the event loop.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left, Qt::AltModifier);
    const std::string list = " FROM WSDJ WHERE " + control.BaseCondition();
    const int64_t shown = control.GetID();
    QCOMPARE(std::to_string(shown),
             shop.Text("SELECT MAX(单据ID)" + list + " AND 单据ID<" + std::to_string(last)));
    QCOMPARE(record->text(), open);

    const std::string counted = "SELECT COUNT(*)" + list;
    const QString expected =
        QString("记录：%1/%2")
            .arg(shop.Text(counted + " AND 单据ID<=" + std::to_string(shown)).c_str())
            .arg(shop.Text(counted).c_str());
    QTRY_COMPARE(record->text(), expected);
    QCOMPARE(control.GetID(), shown);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::FirstCountTest)
#include "first_count_test.moc"
