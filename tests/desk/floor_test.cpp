// The dispatch board at the desk, by keyboard alone: Enter dispatches the selected line to the
// technicians ticked with Space (the item's standard hours unless typed), a refusal keeps the
// dialog open, F5 shows a tablet's clock running, Ctrl+R and Ctrl+J send back and pass a finished
// line; hours stand right-aligned. The customer's answer goes to the chosen finding's suggestion.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "desk/dispatch_dialog.h"
#include "desk/examination_panel.h"
#include "desk/floor_window.h"
#include "desk/main_window.h"
#include "desk_fixture.h"
#include "platform/navigator.h"
#include "support/test_host.h"
#include "workshop/floor.h"

namespace ws::desk {

namespace {

using test::ProcessQueued;
using test::ShopFixture;

constexpr const char* kShop =
    "insert into clzl (车辆ID,车牌号,车名) values (1,'粤A12345','卡罗拉');"
    "insert into PDMWXXM (AutoID,编码,维修项目,工时) values (1,'BY01','保养',1.5),"
    "(2,'SC01','刹车',2);"
    "insert into WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期) values "
    "(10,200001,'01','WS010',1,'2012-06-14');"
    "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values (1,10,1,1,0,0),"
    "(2,10,2,1,0,0);"
    "insert into PDMGY (雇员ID,雇员编码,姓名,是否技师) values (1,'T1','张师傅',1),"
    "(2,'T2','李师傅',1),(3,'A1','王会计',0);";

// Runs act on the modal dialog once it is up (it runs its own event loop), then lets it go on.
void OnModal(std::function<void(QWidget&)> act) {
  auto* timer = new QTimer(qApp);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, ticks, act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal && ++*ticks < 200) return;
    timer->stop();
    timer->deleteLater();
    if (modal) act(*modal);
  });
  timer->start(20);
}

void Keys(QWidget* widget, std::initializer_list<int> keys) {
  for (int key : keys) QTest::keyClick(widget, static_cast<Qt::Key>(key));
}

}  // namespace

class FloorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    shop_ = std::make_unique<ShopFixture>(kShop);
    QVERIFY2(shop_->Host(), shop_->Error().c_str());
    window_ = std::make_unique<MainWindow>(*shop_->Host());
    window_->resize(1366, 768);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    floor_ = window_->OpenFloor();
    QVERIFY(floor_);
    ProcessQueued();
  }
  void cleanup() {
    window_.reset();
    shop_.reset();
  }

  void EnterDispatchesByKeyboardAndARefusalKeepsTheDialog() {
    QTableWidget& lines = floor_->Lines();
    QCOMPARE(QApplication::focusWidget(), &lines);
    QCOMPARE(lines.rowCount(), 2);
    QCOMPARE(lines.item(1, FloorWindow::kItem)->text(), QString("刹车"));
    QVERIFY(lines.item(1, FloorWindow::kHours)->textAlignment() & Qt::AlignRight);
    QTest::keyClick(&lines, Qt::Key_Down);

    // Typed into 李's 计划工时, one Enter takes the figure (two decimals, as every hours on the
    // floor) and dispatches; nobody ticked, the module's refusal is told and the dialog stays.
    // Esc drops a figure being typed and leaves the dialog open. Then 张 (standard hours) and
    // 李 ticked, a figure typed again and one Enter dispatches.
    bool focused = false;
    QStringList seen;
    const auto type = [](QTableWidget& table, const char* figure) {
      QTest::keyClick(&table, static_cast<Qt::Key>(figure[0]));
      for (auto* editor : table.findChildren<QLineEdit*>()) {
        if (!editor->isVisible()) continue;  // one closed before, not yet deleted
        QTest::keyClicks(editor, figure + 1);
        return true;
      }
      return false;
    };
    OnModal([&](QWidget& modal) {
      auto* dialog = qobject_cast<DispatchDialog*>(&modal);
      if (!dialog) return static_cast<QDialog&>(modal).reject();
      QTableWidget& table = dialog->Technicians();
      focused = QApplication::focusWidget() == &table;
      QTest::keyClick(&table, Qt::Key_Down);
      if (!type(table, ".5")) return dialog->reject();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      ProcessQueued();
      seen << table.item(1, DispatchDialog::kPlanned)->text();
      if (type(table, "9")) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      ProcessQueued();
      seen << table.item(1, DispatchDialog::kPlanned)->text()
           << (dialog->isVisible() ? "open" : "");
      Keys(&table, {Qt::Key_Space, Qt::Key_Up, Qt::Key_Space, Qt::Key_Down});
      if (type(table, "0.5")) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      ProcessQueued();
      // Never left open on a failure: the board's Enter would wait for it for ever.
      if (dialog->isVisible()) dialog->reject();
    });
    const size_t told = shop_->Dialogs().Boxes().size();
    QTest::keyClick(&lines, Qt::Key_Return);
    ProcessQueued();
    QVERIFY(focused);
    QCOMPARE(seen, (QStringList{"0.50", "0.50", "open"}));
    // The offscreen platform gives the activation back to no window when a dialog closes, as a
    // window manager would to the main window.
    QApplication::setActiveWindow(window_.get());
    QCOMPARE(QApplication::focusWidget(), &lines);
    QCOMPARE(shop_->Dialogs().Boxes().size(), told + 1);
    QCOMPARE(shop_->Dialogs().Boxes().back().text, std::string("请至少选择一名技师"));
    auto ids = shop_->Host()->System().CreateNavigator();
    workshop::Floor tablet(shop_->Host()->Db(), *ids, FloorNow);
    const auto job = tablet.Job(2);
    QVERIFY(job && job->technicians.size() == 2);
    QCOMPARE(job->technicians[0].name + "/" + job->technicians[1].name,
             std::string("张师傅/李师傅"));
    QCOMPARE(job->technicians[0].plannedHours, job->standardHours);
    QCOMPARE(job->technicians[1].plannedHours, 0.5);
    QCOMPARE(lines.currentRow(), 1);
    QCOMPARE(lines.item(1, FloorWindow::kState)->text(), QString("在修"));

    // A tablet clocks 张 on: the toolbar's 刷新 shows him running on the line (F5 below).
    const workshop::Actor zhang{"zhang", 1, false, true, true, false, "serve"};
    QCOMPARE(tablet.ClockOn(zhang, 2), std::string());
    QVERIFY(!lines.item(1, FloorWindow::kRunning)->text().contains("张师傅"));
    auto* refresh = window_->findChild<QAction*>("Refresh");
    QVERIFY(refresh && refresh->isEnabled());
    refresh->trigger();
    QVERIFY(lines.item(1, FloorWindow::kRunning)->text().startsWith("张师傅"));

    // Finished on the tablet: Ctrl+R sends it back, Ctrl+J passes it and it leaves the board.
    QCOMPARE(tablet.Finish(zhang, 2), std::string());
    QTest::keyClick(&lines, Qt::Key_F5);
    QCOMPARE(lines.item(1, FloorWindow::kState)->text(), QString("完工"));
    QTest::keyClick(&lines, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(lines.item(1, FloorWindow::kState)->text(), QString("在修：返工"));
    QCOMPARE(tablet.Finish(zhang, 2), std::string());
    QTest::keyClick(&lines, Qt::Key_F5);
    QTest::keyClick(&lines, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(lines.rowCount(), 1);
    QCOMPARE(shop_->Text("select 状态 || 检验人 from ws_job where 单据明细ID = 2"),
             std::string("已检验") + ws::test::kTestUser);
  }

  // The board frames no cell: Home and End go to its first and last line, PgUp and PgDn page.
  void HomeEndAndPagesMoveByLines() {
    QTableWidget& lines = floor_->Lines();
    QCOMPARE(lines.currentRow(), 0);
    for (const auto& [key, row] : {std::pair{Qt::Key_End, 1},
                                   {Qt::Key_Home, 0},
                                   {Qt::Key_PageDown, 1},
                                   {Qt::Key_PageUp, 0}}) {
      QTest::keyClick(&lines, key);
      QCOMPARE(lines.currentRow(), row);
    }
    // Enter from the keypad dispatches as the main key does.
    bool opened = false;
    OnModal([&](QWidget& modal) {
      opened = qobject_cast<DispatchDialog*>(&modal) != nullptr;
      static_cast<QDialog&>(modal).reject();
    });
    QTest::keyClick(&lines, Qt::Key_Enter, Qt::KeypadModifier);
    ProcessQueued();
    QVERIFY(opened);
  }

  // A clock still running from an earlier day is flagged, its start dated, days told apart.
  void AClockLeftRunningOverMidnightIsFlagged() {
    const QDateTime now = QDateTime::fromString("2026-12-08 03:58:30", "yyyy-MM-dd HH:mm:ss");
    struct Case {
      const char* since;
      QString shown;
      bool overnight;
    };
    for (const Case& c : {Case{"2026-12-08 01:30:00", "01:30 起（2:28）", false},
                          {"2026-12-08 03:58:30", "03:58 起（0:00）", false},
                          {"2026-12-07 23:59:00", "12-07 23:59 起（跨日未停 3:59）", true},
                          {"2026-12-07 08:34:00", "12-07 08:34 起（跨日未停 19:24）", true},
                          {"2026-12-05 17:00:00", "12-05 17:00 起（跨日未停 2天10:58）", true}}) {
      bool overnight = !c.overnight;
      QCOMPARE(RunningClock(c.since, now, &overnight), c.shown);
      QCOMPARE(overnight, c.overnight);
    }
  }

  // The answer goes to the suggestion of the finding the clerk has chosen, never to one the
  // right-hand cursor was left on.
  void AnAnswerIsForTheChosenFindingsOwnSuggestion() {
    for (const char* sql :
         {"insert into ws_check_item (项目ID,序号,名称,分组,停用) values (91,91,'雨刮片','外观',0),"
          "(92,92,'灯光','外观',0)",
          "insert into ws_finding (检验ID,单据ID,项目ID,结果,说明,检验人,检验时间) values "
          "(1,10,91,'需维修','老化','张师傅','2012-06-14 09:00:00'),"
          "(2,10,92,'需维修','不亮','张师傅','2012-06-14 09:01:00')",
          "insert into ws_suggestion (建议ID,单据ID,检验ID,说明,状态) values "
          "(1,10,2,'更换灯泡','建议')"}) {
      const std::string error = shop_->Exec(sql);
      QVERIFY2(error.empty(), error.c_str());
    }
    QTest::keyClick(&floor_->Lines(), Qt::Key_F5);
    ExaminationPanel& panel = floor_->Panel();
    QTableWidget& findings = panel.Findings();
    QCOMPARE(findings.rowCount(), 2);
    findings.setFocus();
    // The examination's lists are read by lines as the board is.
    QTest::keyClick(&findings, Qt::Key_End);
    QCOMPARE(findings.currentRow(), 1);
    QTest::keyClick(&findings, Qt::Key_Home);
    QCOMPARE(findings.currentRow(), 0);
    findings.setCurrentCell(1, 0);
    QCOMPARE(panel.Suggestions().currentRow(), 0);
    findings.setCurrentCell(0, 0);
    QCOMPARE(panel.Suggestions().currentRow(), -1);
    const size_t told = shop_->Dialogs().Boxes().size();
    panel.Agree();
    QCOMPARE(shop_->Dialogs().Boxes().size(), told + 1);
    QCOMPARE(shop_->Dialogs().Boxes().back().text, std::string("请先选中一条建议项目"));
    QCOMPARE(shop_->Text("select 状态 from ws_suggestion"), std::string("建议"));
    // 客户不做 asks first, and the question's default (Enter, Esc) keeps the suggestion.
    findings.setCurrentCell(1, 0);
    panel.Decline();
    QCOMPARE(shop_->Dialogs().Boxes().size(), told + 2);
    QCOMPARE(shop_->Dialogs().Boxes().back().answer, host::MsgAnswer::No);
    QCOMPARE(shop_->Text("select 状态 from ws_suggestion"), std::string("建议"));
  }

 private:
  std::unique_ptr<ShopFixture> shop_;
  std::unique_ptr<MainWindow> window_;
  FloorWindow* floor_ = nullptr;
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::FloorTest)
#include "floor_test.moc"
