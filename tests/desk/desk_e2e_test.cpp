// The desktop as a clerk uses it: the main window on a shop database, programs opened from the
// tree, a repair order entered through the widgets and saved, checked and printed with the
// host's keys pressed in its fields, cells and pickers; a master list opening its cards;
// closing with unsaved changes; backup and restore of the open shop.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <map>

#include "desk/field_editor.h"
#include "desk/find_dialog.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk/main_window.h"
#include "desk/picker_popup.h"
#include "desk/print_render.h"
#include "desk_fixture.h"
#include "host/app.h"
#include "host/document_control.h"
#include "platform/print_data.h"
#include "repair_order/ws_s.h"

namespace ws::desk {

namespace {

using test::LineOf;
using test::ProcessQueued;
using test::ShopFixture;
using WS = repair_order::WS_S;

// Types into the editor of a model widget and presses Enter, as a clerk does.
void TypeInto(FormView& view, const forms::Widget& widget, const QString& text) {
  QLineEdit* line = LineOf(view, widget);
  QVERIFY2(line, widget.LayoutKey().c_str());
  line->setFocus();
  line->selectAll();
  test::TypeText(line, text);
  QTest::keyClick(line, Qt::Key_Return);
}

// The command's key, pressed where the clerk is.
void Press(QWidget* widget, ToolCommand command) {
  QTest::keySequence(widget, QKeySequence(InfoOf(command).shortcut));
}

void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
}

QModelIndex FindInTree(QTreeView& tree, const QString& text) {
  const QModelIndexList found =
      tree.model()->match(tree.model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchRecursive);
  return found.isEmpty() ? QModelIndex() : found[0];
}

}  // namespace

class DeskEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void RepairOrderThroughTheWindow() {
    ShopFixture shop(
        "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2);"
        "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养')");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    // No picker may drop down until the end; a request would show up here.
    std::vector<std::string> pickers;
    host->System().SetRunPickerHandler([&](host::IControl& picker, const std::string& text) {
      // The desk resolving a typed text asks for the picker without showing it.
      if (TypedLookup::Active()) return host::PickResult{};
      pickers.push_back(picker.ClassName() + ":" + text);
      return host::PickResult{};
    });

    MainWindow window(*host);
    ShowActive(window);
    QModelIndex item = FindInTree(window.Navigation(), "维修工单");
    QVERIFY(item.isValid());
    emit window.Navigation().activated(item);
    ProgramTab* tab = window.CurrentTab();
    QVERIFY(tab && tab->Entry().className == "WS_S");
    auto& order = dynamic_cast<WS&>(tab->Control());
    FormView& view = tab->View();

    // The host's keys work from a read-only field.
    QLineEdit* numberLine = LineOf(view, order.Header(WS::kNumber));
    Press(numberLine, ToolCommand::New);
    QVERIFY(tab->State().editing);
    const QString number = numberLine->text();
    QCOMPARE(number, QString("20120615001"));

    TypeInto(view, order.Header(WS::kPlate), "粤B12345");  // a first-time car
    TypeInto(view, order.Header(WS::kDiagnosis), "10");
    TypeInto(view, order.Header(WS::kDateIn), "2012-6-16");
    QCOMPARE(order.Header(WS::kDateIn).Text(), std::string("2012-06-16"));
    // An owner nobody knows, not taken as a new customer, is marked on the screen and stops
    // the save.
    shop.Dialogs().Queue(host::MsgAnswer::No);
    TypeInto(view, order.Header(WS::kOwner), "无名氏");
    QLineEdit* owner = LineOf(view, order.Header(WS::kOwner));
    QVERIFY(owner->toolTip().contains("输入有误"));
    TypeInto(view, order.Header(WS::kOwner), "顺达物流");
    QCOMPARE(order.Header(WS::kOwner).Key(), std::string("1"));
    QVERIFY(!owner->toolTip().contains("输入有误"));

    // Lines through the grid: the code resolves, quantity × price gives the amount.
    GridView* items = view.GridViewOf(order.Lines(repair_order::LineKind::Items).Grid());
    QVERIFY(items && items->isVisible());
    GridModel& model = items->Model();
    QVERIFY(model.IsNewRowLine(model.rowCount() - 1));
    QVERIFY(model.setData(model.index(model.rowCount() - 1, 1), "X01", Qt::EditRole));
    ProcessQueued();
    QCOMPARE(model.data(model.index(0, 2), Qt::DisplayRole).toString(), QString("换机油"));
    QVERIFY(model.setData(model.index(0, 4), "2", Qt::EditRole));
    QVERIFY(model.setData(model.index(0, 5), "50", Qt::EditRole));
    ProcessQueued();
    // Shown in the shop's two amount decimals.
    QCOMPARE(model.data(model.index(0, 6), Qt::DisplayRole).toString(), QString("100.00"));
    QCOMPARE(LineOf(view, order.Header(WS::kTotal))->text(), QString("110"));

    // Save pressed in a field saves the text being typed there with the rest.
    QLineEdit* remarks = LineOf(view, order.Header(WS::kRemarks));
    remarks->setFocus();
    test::TypeText(remarks, "急修");
    remarks->setCursorPosition(1);
    Press(remarks, ToolCommand::Save);
    QVERIFY(!tab->State().editing);
    QCOMPARE(window.statusBar()->currentMessage(), QString("保存单据成功！"));
    // One order (the amounts rounded as SQLite shows a real) with its line, and the new car.
    QCOMPARE(shop.Text("select group_concat(工单号码||' '||备注||' '||进厂日期||' '||车主ID||' '||"
                       "round(应收合计,2)||' '||(select group_concat(round(金额,2)) from WSDJXM)) "
                       "from WSDJ"),
             number.toStdString() + " 急修 2012-06-16 1 110.0 100.0");
    QCOMPARE(shop.Text("select count(*) from clzl where 车牌号='粤B12345'"), std::string("1"));
    QVERIFY(pickers.empty());

    // Check from a field: the stamp shows, the order can be unchecked but no longer changed.
    Press(remarks, ToolCommand::Check);
    QCOMPARE(shop.Text("select smark from WSDJ"), std::string("02"));
    QVERIFY(!window.Action(ToolCommand::Edit)->isEnabled());
    QVERIFY(view.QtWidgetOf(*order.Form().Find(host::DocumentControl::kCheckedStamp))->isVisible());
    Press(remarks, ToolCommand::UnCheck);
    QCOMPARE(shop.Text("select smark from WSDJ"), std::string("01"));

    // A price typed into a cell editor and not yet entered is saved by the key pressed there.
    Press(remarks, ToolCommand::Edit);
    QVERIFY(tab->State().editing);
    const QModelIndex price = model.index(0, 5);
    items->setCurrentIndex(price);
    items->edit(price);
    auto* cell = qobject_cast<QLineEdit*>(items->indexWidget(price));
    QVERIFY(cell);
    cell->setFocus();
    cell->selectAll();
    test::TypeText(cell, "60");
    Press(cell, ToolCommand::Save);
    QVERIFY(!tab->State().editing);
    QCOMPARE(
        shop.Text("select round(应收合计,2)||' '||(select round(金额,2) from WSDJXM) from WSDJ"),
        std::string("130.0 120.0"));

    // In a picker the key closes the picker, and the command runs once it is gone.
    Press(remarks, ToolCommand::Edit);
    host->System().SetRunPickerHandler([](host::IControl& picker, const std::string& text) {
      return PickerPopup::Run(picker, text, QApplication::focusWidget());
    });
    bool popped = false;
    QTimer::singleShot(0, [&popped] {
      auto* popup = qobject_cast<PickerPopup*>(QApplication::activePopupWidget());
      popped = popup && popup->focusWidget();
      if (popped) Press(popup->focusWidget(), ToolCommand::Save);
      if (!popped && popup) popup->reject();
    });
    owner->setFocus();
    QTest::keyClick(owner, Qt::Key_F2);
    QVERIFY(popped);
    ProcessQueued();
    QVERIFY(!tab->State().editing);
    QCOMPARE(owner->text(), QString("顺达物流"));

    // Print data rendered to a page.
    QCOMPARE(window.ExportCurrentPdf(shop.Folder() + "/order.pdf"), QString());
    platform::PrintFile printed = platform::ReadPrintFile(tab->PrintFileName());
    QCOMPARE(printed.error, std::string());
    const QString html = PrintHtml(printed, "维修工单");
    QVERIFY(html.contains(number) && html.contains("换机油"));

    // Filter through the dialog: a number that matches nothing empties the form, the order's
    // own number shows it again.
    auto filterBy = [&](const QString& text) {
      QTimer::singleShot(0, [text] {
        auto* dialog = qobject_cast<FindDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        test::TypeText(dialog->ValueEdit(0), text);
        dialog->accept();
      });
      window.RunCommand(ToolCommand::Filter);
    };
    filterBy("nomatch");
    QCOMPARE(order.GetID(), int64_t{0});
    QCOMPARE(numberLine->text(), QString());
    filterBy(number.right(3));
    QVERIFY(order.GetID() > 0);
    QCOMPARE(numberLine->text(), number);
  }

  // Every key of the toolbar and the menu, pressed in each kind of field and in a cell editor:
  // it reaches its command when the command is offered, does nothing when it is not, and never
  // edits the text there. Typing and the editing keys stay with the field.
  void HostKeysWinInEveryFieldAndCell() {
    ShopFixture shop;
    QVERIFY(shop.Host());
    // Codes typed here match nothing; their pickers answer at once.
    shop.Host()->System().SetRunPickerHandler(
        [](host::IControl&, const std::string&) { return host::PickResult{}; });
    MainWindow window(*shop.Host());
    ShowActive(window);
    ProgramTab* tab = window.OpenClass("WS_S", 0, OpenMode::New);
    QVERIFY(tab && tab->State().editing);
    auto& order = dynamic_cast<WS&>(tab->Control());
    forms::ComboBox kind("cboKind");  // no program has one yet: drawn into the tab
    auto* combo = new FieldEditor(kind, tab);
    GridView* items = tab->View().GridViewOf(order.Lines(repair_order::LineKind::Items).Grid());
    const QModelIndex code = items->model()->index(items->model()->rowCount() - 1, 1);
    items->setCurrentIndex(code);
    items->edit(code);
    // The cell editor first: it closes once the focus leaves it.
    std::vector<QLineEdit*> lines = {qobject_cast<QLineEdit*>(items->indexWidget(code)),
                                     combo->Line()};
    for (int field : {WS::kRemarks, WS::kDateIn, WS::kMileage, WS::kOwner}) {
      lines.push_back(LineOf(tab->View(), order.Header(field)));
    }
    std::map<QAction*, int> ran;
    for (QAction* action : window.findChildren<QAction*>()) {
      // Esc belongs to whatever is open under the cursor first (a cell editor, a drop-down).
      if (action->shortcut().isEmpty() || action->objectName() == "Escape") continue;
      QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
      connect(action, &QAction::triggered, this, [&ran, action] { ++ran[action]; });
      ran[action] = 0;
    }
    // With Find next, Close window, Go to, the vehicle's history, the document's history and
    // the order's three next documents.
    QCOMPARE(ran.size(), ToolCommands().size() + 8);
    for (QLineEdit* line : lines) {
      QVERIFY(line);
      for (bool offered : {true, false}) {
        for (auto& [action, count] : ran) {
          line->setFocus();  // a field left hands its text over: the toolbar follows
          line->setText("2012");
          line->setCursorPosition(1);
          action->setEnabled(offered);
          const int before = count;
          QTest::keySequence(line, action->shortcut());
          QVERIFY2(count == before + (offered ? 1 : 0) && line->text() == "2012",
                   qPrintable(action->shortcut().toString() + (offered ? " on" : " off")));
        }
      }
    }
    QLineEdit* remarks = lines[2];
    remarks->setFocus();
    remarks->clear();
    QTest::keyClicks(remarks, "ab");
    for (auto key : {Qt::Key_A, Qt::Key_C}) QTest::keyClick(remarks, key, Qt::ControlModifier);
    QTest::keyClick(remarks, Qt::Key_End);
    QTest::keyClick(remarks, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(remarks->text(), QString("abab"));
    QTest::keyClick(remarks, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(remarks->text(), QString("ab"));
    for (auto key : {Qt::Key_A, Qt::Key_X}) QTest::keyClick(remarks, key, Qt::ControlModifier);
    QCOMPARE(remarks->text(), QString());
  }

  // Ctrl+H from the vehicle list opens the history of the row's plate; the history exports as
  // a sheet, and a window showing no plate opens nothing.
  void HistoryOpensForTheShownPlateAndExportsAsASheet() {
    ShopFixture shop(
        "insert into clzl (车辆ID,车辆编号,车牌号) values (5,'V005','京A00005');"
        "insert into WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期,公里数,应收合计) values "
        "(1,200001,'02','WS001',5,'2012-05-01',1000,300),"
        "(2,200001,'02','WS002',5,'2012-06-01',2500,200)");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    MainWindow window(*host);
    ShowActive(window);
    QVERIFY(window.OpenClass("ZL_FX") && !window.OpenVehicleHistory());
    ProgramTab* list = window.OpenClass("PDM_cl");
    QVERIFY(list);
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_H));
    ProcessQueued();
    ProgramTab* history = window.CurrentTab();
    QCOMPARE(history->Entry().className, std::string("CL_LS"));
    GridView* grid = history->View().FirstVisibleGrid();
    QVERIFY(grid);
    QCOMPARE(grid->model()->rowCount(), 2);  // two visits; their totals stand under them
    QVERIFY(grid->TotalsShown());
    QCOMPARE(grid->model()->index(0, 4).data().toString(), QString("WS002"));

    // Exported as the clerk sees it: the totals row under the two visits in both formats, and
    // the sheet's columns as wide as the window's, not all of one width.
    const QString path = shop.Folder() + "/history.xlsx";
    QCOMPARE(window.ExportCurrentXlsx(path), QString());
    QProcess unzip;
    unzip.start("unzip", {"-p", path, "xl/worksheets/sheet1.xml"});
    QVERIFY(unzip.waitForFinished());
    const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(sheet.contains("<row r=\"4\""), qPrintable(sheet.left(400)));
    QRegularExpression width("width=\"([0-9.]+)\"");
    QSet<QString> widths;
    for (auto it = width.globalMatch(sheet); it.hasNext();) widths.insert(it.next().captured(1));
    QVERIFY2(widths.size() > 1, qPrintable(sheet.left(400)));
    const QString csvPath = shop.Folder() + "/history.csv";
    QCOMPARE(window.ExportCurrentCsv(csvPath), QString());
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);  // the captions, two visits, the totals, which are not doubled
    QVERIFY2(lines.last().contains("合计") && lines.last().contains("500.00"),
             qPrintable(lines.last()));

    // Ctrl+Shift+H from an order opens the history of that order.
    QVERIFY(window.OpenClass("WS_S", 2));
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    ProcessQueued();
    QCOMPARE(window.CurrentTab()->Entry().className, std::string("XG_JL"));
    QCOMPARE(window.CurrentTab()->Control().Form().Get<forms::Field>("ywTxt", 3).Text(),
             std::string("维修工单"));
  }

  // In the last days of a period the start page names what stands in the way of the close;
  // the checklist it opens takes the clerk to a row's document with Enter.
  void CloseReminderOpensTheChecklistAndEnterTheDocument() {
    ShopFixture shop(
        "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,应收合计) values "
        "(1,200001,'01','WS001','2012-06-01',300);"
        "delete from ws_parameter where module=12 and number in (1,3);"
        "insert into ws_parameter (module,number,value) values (12,1,'201206'),(12,3,'16')");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    MainWindow window(*host);
    ShowActive(window);
    auto* reminder = window.findChild<QPushButton*>("closeReminder");
    QVERIFY(reminder && reminder->isVisible());
    QVERIFY2(reminder->text().contains("1 项"), qPrintable(reminder->text()));
    reminder->click();
    ProcessQueued();
    ProgramTab* checklist = window.CurrentTab();
    QCOMPARE(checklist->Entry().className, std::string("JZ_JC"));
    GridView* grid = checklist->View().FirstVisibleGrid();
    QVERIFY(grid);
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QString("WS001"));
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_Return);
    ProcessQueued();
    QCOMPARE(window.CurrentTab()->Entry().className, std::string("WS_S"));
  }

  void MasterListOpensCardsAndClosesWithUnsavedChanges() {
    ShopFixture shop(
        "insert into clzl (车辆ID,车辆编号,车牌号) values "
        "(5,'V005','京A00005'),(6,'V006','京A00006')");
    DeskHost* host = shop.Host();
    QVERIFY2(host, shop.Error().c_str());
    MainWindow window(*host);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ProgramTab* list = window.OpenClass("PDM_cl");
    QVERIFY(list);
    GridView* grid = list->View().FirstVisibleGrid();
    QVERIFY(grid && grid->model()->rowCount() == 2);

    // Enter on a row, as a double click, asks the host (EditForm) to open the vehicle card.
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 2));
    QTest::keyClick(grid, Qt::Key_Return);
    ProcessQueued();
    QCOMPARE(window.CurrentTab()->RequestedId(), int64_t{5});
    window.Tabs().setCurrentWidget(list);
    QRect cell = grid->visualRect(grid->model()->index(1, 2));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    ProcessQueued();
    ProgramTab* card = window.CurrentTab();
    QVERIFY(card != list);
    QCOMPARE(card->Entry().className, std::string("PDM_clAdd"));
    QCOMPARE(card->RequestedId(), int64_t{6});
    auto* plate = card->Control().Form().Find("ywTxt", 1);
    QCOMPARE(LineOf(card->View(), *plate)->text(), QString("京A00006"));

    // New on the list opens a card for a new vehicle, already entering; back on the list, the
    // saved vehicle is there.
    window.Tabs().setCurrentWidget(list);
    window.Action(ToolCommand::New)->trigger();
    ProcessQueued();
    ProgramTab* fresh = window.CurrentTab();
    QVERIFY(fresh != list && fresh != card && fresh->State().editing);
    forms::Form& form = fresh->Control().Form();
    TypeInto(fresh->View(), *form.Find("ywTxt", 0), "V007");
    TypeInto(fresh->View(), *form.Find("ywTxt", 1), "京A00007");
    window.Action(ToolCommand::Save)->trigger();
    QVERIFY(!fresh->State().editing);
    QCOMPARE(shop.Text("select count(*) from clzl"), std::string("3"));
    window.Tabs().setCurrentWidget(list);
    QCOMPARE(grid->model()->rowCount(), 3);

    // Closing a card with unsaved changes (typed, not yet entered) asks: Cancel keeps it, No
    // drops the changes.
    window.Tabs().setCurrentWidget(card);
    window.Action(ToolCommand::Edit)->trigger();
    QLineEdit* plateLine = LineOf(card->View(), *plate);
    plateLine->setFocus();
    plateLine->selectAll();
    test::TypeText(plateLine, "京A66666");
    shop.Dialogs().Queue(host::MsgAnswer::Cancel);
    QVERIFY(!window.CloseTab(window.Tabs().indexOf(card)) && shop.Dialogs().Asked("未保存"));
    QVERIFY(window.Tabs().indexOf(card) >= 0);
    shop.Dialogs().Queue(host::MsgAnswer::No);
    QVERIFY(window.CloseTab(window.Tabs().indexOf(card)));
    ProcessQueued();
    QCOMPARE(shop.Text("select 车牌号 from clzl where 车辆ID=6"), std::string("京A00006"));

    // Backup and restore of the open shop; a restore is refused while a program would go on
    // showing what it replaced, and nothing changes.
    const QString copy = shop.Folder() + "/copy.db";
    QCOMPARE(window.BackupShopTo(copy), QString());
    QCOMPARE(shop.Exec("update clzl set 车牌号='京A99999' where 车辆ID=5"), std::string());
    QVERIFY(!window.RestoreShopFrom(copy).isEmpty());
    const auto plate5 = [&] { return shop.Text("select 车牌号 from clzl where 车辆ID=5"); };
    QCOMPARE(plate5(), std::string("京A99999"));
    while (window.Tabs().count() > 1) QVERIFY(window.CloseTab(1));
    QCOMPARE(window.RestoreShopFrom(copy), QString());
    QCOMPARE(plate5(), std::string("京A00005"));
    QVERIFY(!window.RestoreShopFrom(shop.Folder() + "/missing.db").isEmpty());
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::DeskEndToEndTest)
#include "desk_e2e_test.moc"
