// The counter at its own screen size and by keyboard alone, on a lived-in demo shop: every
// window fits 1366×768; New puts the cursor in the plate and Enter walks the fields in the
// order they are drawn down to the lines; Esc asks before dropping what was typed; from a
// checked order Alt+J and Alt+K open its settlement and receipt, which Ctrl+S and Ctrl+K save
// and check, and the receipt prints; a list nobody counted yet fills in its position between
// events.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "desk/desk_dialogs.h"
#include "desk/field_editor.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk/main_window.h"
#include "desk/picker_popup.h"
#include "desk_fixture.h"
#include "host/document_control.h"
#include "money/js_ws.h"
#include "platform/menu_model.h"
#include "repair_order/ws_s.h"
#include "shop/demo/demo_data.h"
#include "support/test_host.h"

namespace ws::desk {

namespace {

using test::LineOf;
using test::ProcessQueued;
using test::ShopFixture;
using WS = repair_order::WS_S;

void Key(QKeySequence sequence) {
  QWidget* focus = QApplication::focusWidget();
  QVERIFY(focus);
  QTest::keySequence(focus, sequence);
  ProcessQueued();
}

// Runs act on the picker popup once it is up: the popup runs its own event loop.
void OnPicker(std::function<void(PickerPopup&)> act) {
  auto* timer = new QTimer(qApp);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, ticks, act = std::move(act)] {
    auto* popup = qobject_cast<PickerPopup*>(QApplication::activePopupWidget());
    if (!popup && ++*ticks < 200) return;
    timer->deleteLater();
    timer->stop();
    if (popup) act(*popup);
  });
  timer->start(20);
}

}  // namespace

class CounterTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    shop_ = std::make_unique<ShopFixture>();
    QVERIFY2(shop_->Host(), shop_->Error().c_str());
    shop::DemoOptions options;
    options.orders = 60;
    options.date = ws::test::kTestLoginDate;
    QCOMPARE(shop::GenerateDemoData(shop_->Host()->Db(), options), std::string());
    window_ = std::make_unique<MainWindow>(*shop_->Host());
    window_->resize(1366, 768);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  void cleanup() {
    window_.reset();
    shop_.reset();
  }

  void EveryWindowFitsTheCounterScreen() {
    for (const auto& group : shop_->Host()->Menu().Groups()) {
      for (const auto& entry : group.entries) {
        QVERIFY2(window_->OpenProgram(entry.programNumber), entry.className.c_str());
        ProcessQueued();
        const QSize least = window_->minimumSizeHint().expandedTo(window_->minimumSize());
        // The screen less a window manager's title bar and frame.
        QVERIFY2(least.width() <= 1366 && least.height() <= 768 - 32,
                 qPrintable(QString("%1 needs %2×%3")
                                .arg(entry.className.c_str())
                                .arg(least.width())
                                .arg(least.height())));
      }
    }
  }

  void NewPutsTheCursorInThePlateAndEnterFollowsTheDrawing() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    FormView& view = tab->View();
    for (int round = 0; round < 2; ++round) {  // the second New lost the cursor
      if (round == 1) window_->RunCommand(ToolCommand::Cancel);
      Key(QKeySequence("Ctrl+N"));
      QVERIFY(tab->State().editing);
      QCOMPARE(QApplication::focusWidget(), LineOf(view, order.Header(WS::kPlate)));
    }
    // Enter from field to field: each next one is drawn after the one before, never back up
    // the form, and the walk ends in the lines.
    int lastOrder = -1;
    for (int step = 0; step < 40 && !qobject_cast<GridView*>(QApplication::focusWidget()); ++step) {
      auto* editor = qobject_cast<FieldEditor*>(QApplication::focusWidget()->parentWidget());
      QVERIFY2(editor, qPrintable(QApplication::focusWidget()->objectName()));
      const int at = editor->Widget().Place().order;
      QVERIFY2(at > lastOrder, editor->Widget().Caption().c_str());
      lastOrder = at;
      Key(QKeySequence(Qt::Key_Return));
    }
    QVERIFY(qobject_cast<GridView*>(QApplication::focusWidget()));
    QVERIFY(lastOrder >= order.Header(WS::kDiagnosis).Place().order);
  }

  void ANewOrderThroughItsChainByKeysAlone() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    const std::string plate = shop_->Text("select min(车牌号) from clzl");
    Key(QKeySequence("Ctrl+N"));
    test::TypeText(QApplication::focusWidget(), QString::fromStdString(plate));
    for (int step = 0; step < 40 && !qobject_cast<GridView*>(QApplication::focusWidget()); ++step) {
      Key(QKeySequence(Qt::Key_Return));
    }
    // A labour line, then Ctrl+PgDown to the parts and a part line: code, quantity, price.
    auto typeLine = [](const QString& code, const QString& quantity, const QString& price) {
      auto* grid = qobject_cast<GridView*>(QApplication::focusWidget());
      QVERIFY(grid);
      // The cursor lands in the code of the new line.
      QCOMPARE(grid->currentIndex().row(), grid->model()->rowCount() - 1);
      for (const auto& [moves, text] : {std::pair{0, code}, {3, quantity}, {1, price}}) {
        for (int i = 0; i < moves; ++i) QTest::keyClick(grid, Qt::Key_Right);
        // The first key opens the cell's editor, which takes the rest.
        for (QChar ch : text) QTest::keyClicks(QApplication::focusWidget(), QString(ch));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ProcessQueued();
      }
    };
    typeLine("XM0101", "2", "50");
    Key(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    typeLine("PJ00005", "1", "30");
    Key(QKeySequence("Ctrl+S"));
    QVERIFY2(!tab->State().editing, qPrintable(window_->statusBar()->currentMessage()));
    const std::string id = std::to_string(order.GetID());
    QCOMPARE(
        shop_->Text("select c.车牌号||'/'||round(w.应收合计,2)||'/'||(select count(*) from WSDJXM x"
                    " where x.单据ID=w.单据ID)||'/'||(select count(*) from WSDJPJ p where"
                    " p.单据ID=w.单据ID) from WSDJ w join clzl c on c.车辆ID=w.车辆ID"
                    " where w.单据ID=" +
                    id),
        plate + "/130.0/1/1");
    Key(QKeySequence("Ctrl+K"));
    QCOMPARE(shop_->Text("select smark from WSDJ where 单据ID=" + id), std::string("02"));

    // The storekeeper's requisition and the cashier's settlement of this order, each saved and
    // checked by keys.
    for (const char* next : {"Alt+L", "Alt+J"}) {
      window_->Tabs().setCurrentWidget(tab);
      LineOf(tab->View(), order.Header(WS::kPlate))->setFocus();
      Key(QKeySequence(next));
      ProgramTab* document = window_->CurrentTab();
      QVERIFY2(document != tab && document->State().editing,
               qPrintable(next + window_->Notice().text()));
      Key(QKeySequence("Ctrl+S"));
      Key(QKeySequence("Ctrl+K"));
    }
    QCOMPARE(shop_->Text("select group_concat(smark) from (select smark from JXCDJ where"
                         " 前置单据ID=" +
                         id +
                         " union all select smark from ARPReceive where"
                         " 前置单据ID=" +
                         id + ")"),
             std::string("02,02"));
  }

  // A walk-in: an owner no customer has is offered as a new customer; 否 leaves the order's own
  // refusal, 是 opens the customer card with the name, and its save puts the customer in the
  // order, which then saves with it.
  void AWalkInBecomesACustomerAndTheOrderGoesOn() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    Key(QKeySequence("Ctrl+N"));
    shop_->Dialogs().Queue(host::MsgAnswer::Yes);  // a new vehicle, too
    test::TypeText(QApplication::focusWidget(), "京Z90001");
    Key(QKeySequence(Qt::Key_Return));
    shop_->Dialogs().Clear();
    auto typeOwner = [&](const QString& name, host::MsgAnswer answer) {
      shop_->Dialogs().Queue(answer);
      LineOf(tab->View(), order.Header(WS::kOwner))->setFocus();
      QTest::keySequence(QApplication::focusWidget(), QKeySequence::SelectAll);
      test::TypeText(QApplication::focusWidget(), name);
      Key(QKeySequence(Qt::Key_Return));
    };
    typeOwner("路人甲", host::MsgAnswer::No);
    QCOMPARE(shop_->Dialogs().Boxes().size(), size_t{1});
    QVERIFY(shop_->Dialogs().Boxes().back().text.find("路人甲") != std::string::npos);
    QCOMPARE(window_->CurrentTab(), tab);
    Key(QKeySequence("Ctrl+S"));
    QCOMPARE(shop_->Dialogs().Boxes().back().text, std::string("车主输入有误，请重新输入！"));
    QVERIFY(tab->State().editing);

    typeOwner("路人乙", host::MsgAnswer::Yes);
    ProgramTab* card = window_->CurrentTab();
    QVERIFY(card != tab && card->State().editing);
    QCOMPARE(card->Entry().className, std::string("PDM_KHAdd"));
    // The cursor waits in the code; the name is filled.
    test::TypeText(QApplication::focusWidget(), "K9001");
    Key(QKeySequence("Ctrl+S"));
    QCOMPARE(window_->CurrentTab(), tab);
    const std::string customer =
        shop_->Text("select 往来ID from pdmwldw where 公司名称='路人乙' and 往来编码='K9001'");
    QVERIFY(!customer.empty());
    QCOMPARE(order.Header(WS::kOwner).Key(), customer);
    Key(QKeySequence("Ctrl+S"));
    QVERIFY2(!tab->State().editing, qPrintable(window_->Notice().text()));
    QCOMPARE(shop_->Text("select 车主ID from WSDJ where 单据ID=" + std::to_string(order.GetID())),
             customer);
  }

  void EscAsksBeforeDroppingWhatWasTyped() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    const std::string orders = shop_->Text("select count(*) from WSDJ");
    Key(QKeySequence("Ctrl+N"));
    test::TypeText(QApplication::focusWidget(), "京A00001");
    for (auto answer : {host::MsgAnswer::No, host::MsgAnswer::Yes}) {
      shop_->Dialogs().Queue(answer);
      Key(QKeySequence(Qt::Key_Escape));
      QCOMPARE(shop_->Dialogs().Boxes().size(), size_t{answer == host::MsgAnswer::No ? 1u : 2u});
      QCOMPARE(tab->State().editing, answer == host::MsgAnswer::No);
    }
    QCOMPARE(shop_->Text("select count(*) from WSDJ"), orders);
    // Nothing typed yet: Esc leaves without a question.
    Key(QKeySequence("Ctrl+N"));
    Key(QKeySequence(Qt::Key_Escape));
    QVERIFY(!tab->State().editing);
    QCOMPARE(shop_->Dialogs().Boxes().size(), size_t{2});
    QVERIFY(order.GetID() > 0);
  }

  // A text that starts several rows opens the list narrowed to them, the cursor after the
  // text; nothing is taken for the clerk. A plate no vehicle has asks whether the car is new
  // (否 keeps the text in the field). Esc then Enter keeps the work.
  void ATextStartingSeveralRowsIsListedNotGuessed() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    QLineEdit* plateLine = LineOf(tab->View(), order.Header(WS::kPlate));
    const QString part = QString::fromStdString(
        shop_->Text("select substr(车牌号,1,3) p from clzl group by p order by count(*) desc"));
    const int starting = std::stoi(
        shop_->Text("select count(*) from clzl where 车牌号 like '" + part.toStdString() + "%'"));
    QVERIFY(starting > 1);
    Key(QKeySequence("Ctrl+N"));
    test::TypeText(QApplication::focusWidget(), part);
    for (auto answer : {host::MsgAnswer::No, host::MsgAnswer::Yes}) {
      QString searched;
      bool cursorAtEnd = false;
      int rows = 0;
      OnPicker([&](PickerPopup& popup) {
        auto* search = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        searched = search ? search->text() : QString();
        cursorAtEnd = search && !search->hasSelectedText() &&
                      search->cursorPosition() == search->text().size();
        rows = popup.View().FirstVisibleGrid()->model()->rowCount();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      });
      if (answer == host::MsgAnswer::Yes) shop_->Dialogs().Queue(answer);
      Key(QKeySequence(Qt::Key_Return));
      QCOMPARE(searched, part);
      QVERIFY(cursorAtEnd);
      QCOMPARE(rows, std::min(starting, 200));
      QCOMPARE(shop_->Dialogs().Boxes().back().answer, answer);
      QVERIFY(shop_->Dialogs().Boxes().back().text.find("新车辆") != std::string::npos);
      QCOMPARE(order.Header(WS::kPlate).KeyLong(), int64_t{0});
      QCOMPARE(QApplication::focusWidget() == plateLine, answer == host::MsgAnswer::No);
      QCOMPARE(plateLine->text(), part);
      if (answer == host::MsgAnswer::No) {
        // Save stops at the text left unresolved.
        const std::string orders = shop_->Text("select count(*) from WSDJ");
        OnPicker(
            [](PickerPopup&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
        Key(QKeySequence("Ctrl+S"));
        QVERIFY(tab->State().editing);
        QCOMPARE(shop_->Text("select count(*) from WSDJ"), orders);
      }
    }
    QCOMPARE(QString::fromStdString(order.Header(WS::kPlate).Text()), part);

    // Part of a part code in a line: the list opens on the codes it starts; the clerk's row.
    for (int step = 0; step < 40 && !qobject_cast<GridView*>(QApplication::focusWidget()); ++step) {
      Key(QKeySequence(Qt::Key_Return));
    }
    Key(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    auto* grid = qobject_cast<GridView*>(QApplication::focusWidget());
    QVERIFY(grid);
    bool listed = false;
    OnPicker([&](PickerPopup& popup) {
      listed = popup.View().FirstVisibleGrid()->model()->rowCount() > 1;
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    for (QChar ch : QString("PJ0000")) QTest::keyClicks(QApplication::focusWidget(), QString(ch));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ProcessQueued();
    QVERIFY(listed);
    const int row = grid->Grid().Rows() - 1;
    QCOMPARE(grid->Grid().TextMatrix(row, 1),
             shop_->Text("select 物品编码 from PDMCPML where 物品编码 like 'PJ0000%'"
                         " order by 物品编码 limit 1 offset 1"));

    // Esc, then Enter on the question: the work stays.
    const size_t asked = shop_->Dialogs().Boxes().size();
    Key(QKeySequence(Qt::Key_Escape));
    QCOMPARE(shop_->Dialogs().Boxes().size(), asked + 1);
    QVERIFY(tab->State().editing);
  }

  // After another desk saved the order first, 刷新 stays offered while editing: it reads the
  // saved version again and gives the changed fields back; what was typed is on the clipboard
  // either way.
  void AfterAConflictRefreshGivesTheTypedTextBack() {
    const std::string id = shop_->Text("select max(单据ID) from WSDJ where smark<>'02'");
    ProgramTab* tab = window_->OpenClass("WS_S", std::stoll(id));
    QVERIFY(tab);
    auto& order = dynamic_cast<WS&>(tab->Control());
    QVERIFY(tab->Run(ToolCommand::Edit));
    tab->AfterCommand();
    QLineEdit* remarks = LineOf(tab->View(), order.Header(WS::kRemarks));
    remarks->setFocus();
    remarks->selectAll();
    test::TypeText(remarks, "等配件");
    Key(QKeySequence(Qt::Key_Return));
    QCOMPARE(shop_->Exec("update WSDJ set 发票号码='F1', ws_rowver=ws_rowver+1 where 单据ID=" + id),
             std::string());
    Key(QKeySequence("Ctrl+S"));
    QVERIFY(shop_->Dialogs().Asked("数据已被其他用户修改"));
    QVERIFY(tab->State().editing);
    QVERIFY(CommandEnabled(ToolCommand::Refresh, tab->State()));
    shop_->Dialogs().Queue(host::MsgAnswer::Yes);
    window_->RunCommand(ToolCommand::Refresh);
    QVERIFY(tab->State().editing);
    QCOMPARE(order.Header(WS::kRemarks).Text(), std::string("等配件"));
    QCOMPARE(order.Header(WS::kInvoice).Text(), std::string("F1"));
    QVERIFY(QGuiApplication::clipboard()->text().contains("备注：等配件"));
    Key(QKeySequence("Ctrl+S"));
    QVERIFY(!tab->State().editing);
    QCOMPARE(shop_->Text("select 备注||发票号码 from WSDJ where 单据ID=" + id),
             std::string("等配件F1"));
  }

  // 取消 (Alt+C) drops the entry only after the same question Esc asks, and the question's own
  // default (Enter, Esc, nobody there) keeps the work.
  void AltCAsksAndTheQuestionKeepsTheWorkByDefault() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    Key(QKeySequence("Ctrl+N"));
    test::TypeText(QApplication::focusWidget(), "京A00002");
    Key(QKeySequence("Alt+C"));  // nothing queued: the box takes its default
    QCOMPARE(shop_->Dialogs().Boxes().size(), size_t{1});
    QVERIFY(tab->State().editing);

    DeskDialogs unattended(false);
    QCOMPARE(unattended.Ask("放弃？", "t", host::MsgButtons::YesNo, host::MsgIcon::Question,
                            host::MsgAnswer::No),
             host::MsgAnswer::No);
    QCOMPARE(unattended.MessageBox("删除？", "t", host::MsgButtons::YesNo, host::MsgIcon::Question),
             host::MsgAnswer::Yes);
    DeskDialogs shown(true);
    for (auto key : {Qt::Key_Return, Qt::Key_Escape}) {
      QTimer::singleShot(50, [key] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, key);
      });
      QCOMPARE(shown.Ask("放弃对「维修工单」所做的修改？", "维修工单", host::MsgButtons::YesNo,
                         host::MsgIcon::Question, host::MsgAnswer::No),
               host::MsgAnswer::No);
    }
  }

  // Tab goes cell by cell through a line grid, over the columns shown for reading only, and out
  // of it after the last cell, to what is drawn after the grid; Shift+Tab comes back. A list is
  // left at once.
  void TabLeavesAGridAtItsEnd() {
    ProgramTab* tab = window_->OpenClass("WS_S");
    QVERIFY(tab);
    Key(QKeySequence("Ctrl+N"));
    for (int step = 0; step < 40 && !qobject_cast<GridView*>(QApplication::focusWidget()); ++step) {
      Key(QKeySequence(Qt::Key_Return));
    }
    auto* grid = qobject_cast<GridView*>(QApplication::focusWidget());
    QVERIFY(grid);
    int cells = 0;
    for (; cells < 40 && QApplication::focusWidget() == grid; ++cells) {
      const int col = grid->currentIndex().column();
      QVERIFY2(col < 0 || grid->Grid().Col(col).keyStop, qPrintable(QString::number(col)));
      Key(QKeySequence(Qt::Key_Tab));
    }
    QVERIFY2(cells > 1 && cells < 40, qPrintable(QString::number(cells)));
    QWidget* after = QApplication::focusWidget();
    QVERIFY(after && !grid->isAncestorOf(after) && after != grid);
    // Out of the lines, the audit fields drawn under them.
    auto* audit = after ? qobject_cast<FieldEditor*>(after->parentWidget()) : nullptr;
    QVERIFY2(audit && forms::Trim(audit->Widget().Caption()) == "制单人",
             after ? qPrintable(after->objectName()) : "");
    Key(QKeySequence(Qt::SHIFT | Qt::Key_Tab));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
    window_->RunCommand(ToolCommand::Cancel);

    ProgramTab* list = window_->OpenClass("PDM_cl");
    QVERIFY(list);
    GridView* rows = list->View().FirstVisibleGrid();
    QVERIFY(rows);
    rows->setFocus();
    ProcessQueued();
    Key(QKeySequence(Qt::Key_Tab));
    QVERIFY(QApplication::focusWidget() != rows);
  }

  // On the start page Ctrl+N begins a repair order and Ctrl+G finds one by its number.
  void TheStartPageTakesCtrlNAndANumber() {
    QVERIFY(!window_->CurrentTab());
    Key(QKeySequence("Ctrl+N"));
    ProgramTab* tab = window_->CurrentTab();
    QVERIFY(tab && tab->Entry().className == "WS_S" && tab->State().editing);
    window_->RunCommand(ToolCommand::Cancel);
    QVERIFY(window_->CloseTab(window_->Tabs().indexOf(tab)));
    QVERIFY(!window_->CurrentTab());
    const std::string number = shop_->Text("select min(工单号码) from WSDJ");
    const std::string id = shop_->Text("select 单据ID from WSDJ where 工单号码='" + number + "'");
    QVERIFY(window_->GoToNumber(QString::fromStdString(number)));
    tab = window_->CurrentTab();
    QVERIFY(tab && tab->Entry().className == "WS_S");
    QCOMPARE(std::to_string(tab->Control().AsFormUI()->GetID()), id);
  }

  void ACheckedOrderGoesOnToItsSettlementByKeys() {
    const std::string id = shop_->Text(
        "select min(单据ID) from WSDJ where smark='02' and not exists (select 1 from ARPReceive"
        " where 前置单据ID=WSDJ.单据ID)");
    QVERIFY(!id.empty());
    ProgramTab* orderTab = window_->OpenClass("WS_S", std::stoll(id));
    QVERIFY(orderTab && orderTab->Control().AsFormUI()->GetID() == std::stoll(id));
    LineOf(orderTab->View(), dynamic_cast<WS&>(orderTab->Control()).Header(WS::kPlate))->setFocus();
    auto* follow = orderTab->findChild<QAbstractButton*>("follow_JS_WS");
    QVERIFY(follow && follow->isEnabled() && follow->isVisible());
    Key(QKeySequence("Alt+J"));
    ProgramTab* tab = window_->CurrentTab();
    QVERIFY2(tab && tab->Entry().className == "JS_WS", qPrintable(window_->Notice().text()));
    QVERIFY2(tab->State().editing, qPrintable(window_->Notice().text()));
    Key(QKeySequence("Ctrl+S"));
    QVERIFY(!tab->State().editing);
    Key(QKeySequence("Ctrl+K"));
    QCOMPARE(shop_->Text("select count(*)||'/'||max(smark) from ARPReceive where 前置单据ID=" + id),
             std::string("1/02"));
    QVERIFY(window_->Notice().text().contains("已审核"));

    // Back on the order, Alt+K takes the customer's payment of what it still owes, and the
    // receipt prints.
    const std::string owed = shop_->Text("select 余额 from WSDJ where 单据ID=" + id);
    window_->Tabs().setCurrentWidget(orderTab);
    LineOf(orderTab->View(), dynamic_cast<WS&>(orderTab->Control()).Header(WS::kPlate))->setFocus();
    Key(QKeySequence("Alt+K"));
    tab = window_->CurrentTab();
    QVERIFY2(tab && tab->Entry().className == "JS_S" && tab->State().editing,
             qPrintable(window_->Notice().text()));
    Key(QKeySequence("Ctrl+S"));
    Key(QKeySequence("Ctrl+K"));
    QCOMPARE(shop_->Text("select r.smark from ARPReceive r join ARPReceiveMx m on m.单据ID=r.单据ID"
                         " where m.源单ID=" +
                         id),
             std::string("02"));
    QCOMPARE(shop_->Text("select 余额 from WSDJ where 单据ID=" + id), std::string("0"));
    QVERIFY(owed != "0");
    const QString pdf = shop_->Folder() + "/receipt.pdf";
    QCOMPARE(window_->ExportCurrentPdf(pdf), QString());
    QVERIFY(QFileInfo(pdf).size() > 0);
  }

  // A list nobody counted yet: the form shows its last row at once with "…/…" for the position,
  // moves by key before the count is done, and the position fills in as the event loop turns,
  // to what a count of the list gives for the row then shown.
  void ThePositionOfAListNotCountedYetFillsInBetweenEvents() {
    // Nothing counted before the row is shown, one block a turn: the demo's few orders behave
    // as a million would.
    shop_->Host()->System().CountListsWhenIdle(platform::CountLater{&RunBetweenEvents, {}, {}});
    ProgramTab* tab = window_->OpenClass("WS_S");
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
             shop_->Text("SELECT MAX(单据ID)" + list + " AND 单据ID<" + std::to_string(last)));
    QCOMPARE(record->text(), open);

    const std::string counted = "SELECT COUNT(*)" + list;
    const QString expected =
        QString("记录：%1/%2")
            .arg(shop_->Text(counted + " AND 单据ID<=" + std::to_string(shown)).c_str())
            .arg(shop_->Text(counted).c_str());
    QTRY_COMPARE(record->text(), expected);
    QCOMPARE(control.GetID(), shown);
  }

 private:
  std::unique_ptr<ShopFixture> shop_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::CounterTest)
#include "counter_test.moc"
