// The generic renderer of the headless forms: fields and a grid in a frame drawn by the
// automatic layout and following the model; typing, deleting rows and pickers reaching the
// control's handlers and refused where the control locked them; and the Find / Filter dialog's
// conditions; the progress dialog of long work.
#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "desk/desk_dialogs.h"
#include "desk/field_editor.h"
#include "desk/find_dialog.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk/progress_dialog.h"
#include "desk_fixture.h"

namespace ws::desk {

namespace {

// A small control: a text field, an owner lookup only its picker can fill, a quantity, and a
// line grid inside a frame, each handler recording what reached it. The grid's amount is
// quantity × price.
struct SampleControl {
  forms::Form form{"Sample"};
  std::vector<std::string> log;
  forms::Field* field[3] = {};
  forms::Grid* grid = nullptr;
  bool keepRows = false;

  SampleControl() {
    const forms::FieldKind kinds[] = {forms::FieldKind::Text, forms::FieldKind::Lookup,
                                      forms::FieldKind::Number};
    for (int i = 0; i < 3; ++i) {
      auto& f = form.Add<forms::Field>("ywTxt", i);
      f.SetKind(kinds[i]);
      f.OnChange = [this, i] { log.push_back("change" + std::to_string(i)); };
      f.OnLeave = [this, i, &f] {
        log.push_back("leave" + std::to_string(i) + ":" + f.Text());
        if (i == 1) f.MarkInvalid("车主输入有误，请重新输入！");
      };
      field[i] = &f;
    }
    field[1]->OnPickerRequest = [this] {
      log.push_back("picker:" + field[1]->Text());
      field[1]->SetValue("8", "王五");
      field[1]->MarkValid();
    };
    form.Add<forms::Frame>("fraGrid");
    grid = &form.Add<forms::Grid>("ywGridXM");
    grid->SetContainer("fraGrid");
    grid->SetFormatString("行号|编码|名称|数量|单价|金额|单据明细ID");
    grid->Col(0).editable = false;
    grid->Col(2).editable = false;
    grid->Col(2).readOnlyBackColor = 0xF0E0D0;  // BGR: blue F0, green E0, red D0
    for (int c : {3, 4, 5}) grid->Col(c).format = "###.00";
    grid->SetColHidden(6, true);
    grid->SetEditable(true);
    grid->OnAfterEdit = [this](int row, int col) {
      log.push_back("edit" + std::to_string(row) + "," + std::to_string(col));
      const double amount =
          db::NumericValue(grid->TextMatrix(row, 3)) * db::NumericValue(grid->TextMatrix(row, 4));
      grid->SetTextMatrix(row, 5, db::DecimalText(amount));
    };
    grid->OnBeforeDeleteRow = [this](int) { return !keepRows; };
  }

  void AddLine(const std::string& code, double qty, double price) {
    int r = grid->AddRow();
    const std::string cells[] = {code, "名称" + code, db::DecimalText(qty), db::DecimalText(price),
                                 db::DecimalText(qty * price)};
    for (int col = 1; col <= 5; ++col) grid->SetTextMatrix(r, col, cells[col - 1]);
  }
};

}  // namespace

// A chooser-like dialog: a list whose rows are ticked, 查询 that lists again (and drops the
// ticks), and 确定 that answers.
class TickDialogForm : public host::IModalForm {
 public:
  TickDialogForm() {
    grid = &form.Add<forms::Grid>("ywGrid1");
    grid->SetFormatString("选择|工单号码");
    grid->Col(0).editable = true;
    grid->SetEditable(true);
    for (const char* number : {"W1", "W2"}) grid->SetTextMatrix(grid->AddRow(), 1, number);
    amount = &form.Add<forms::Field>("txtAmount");
    amount->SetKind(forms::FieldKind::Number);
    amount->OnChange = [this] { spread.push_back(amount->Text()); };
    for (int i = 0; i < 3; ++i) {
      auto& button = form.Add<forms::CommandButton>("btn", i);
      button.SetCaption(i == 0 ? "确定" : i == 1 ? "取消" : "查询");
      button.SetAnswers(i < 2);
      button.OnClick = [this, i] {
        pressed.push_back(i);
        if (i == 2) {
          for (int r = 1; r < grid->Rows(); ++r) grid->SetTextMatrix(r, 0, "");
        } else {
          closed = true;
        }
      };
    }
  }
  std::string Name() const override { return "frmTick"; }
  forms::Form& Form() override { return form; }
  bool IsClosed() const override { return closed; }
  void Dismiss() override { closed = true; }

  forms::Form form{"frmTick"};
  forms::Grid* grid = nullptr;
  forms::Field* amount = nullptr;
  std::vector<std::string> spread;  // the amounts the form was told of
  std::vector<int> pressed;
  bool closed = false;
};

using test::LineOf;

class ViewsTest : public QObject {
  Q_OBJECT

 private slots:
  // The list has the focus when it has rows, Space ticks the current row and Enter answers with
  // 确定: it never presses 查询, which would drop the ticks.
  void AChoosersListTakesSpaceAndEnter() {
    TickDialogForm form;
    ModalFormDialog dialog(form);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    test::ProcessQueued();
    auto* list = qobject_cast<GridView*>(QApplication::focusWidget());
    QVERIFY(list);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(form.grid->TextMatrix(1, 0).empty(), false);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(form.pressed, std::vector<int>{0});
    QVERIFY(form.closed);
    QCOMPARE(form.grid->TextMatrix(1, 0).empty(), false);
  }

  // A figure typed into a dialog reaches the form key by key once it is a number, and the line
  // keeps what is typed.
  void ADialogsFigureCountsAsItIsTyped() {
    TickDialogForm form;
    ModalFormDialog dialog(form);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* amount = LineOf(dialog.View(), *form.amount);
    amount->setFocus();
    QTest::keyClicks(amount, "70.5");
    QCOMPARE(form.spread, (std::vector<std::string>{"7", "70", "70.5"}));
    QCOMPARE(amount->text(), QString("70.5"));
  }

  void FieldsFollowTheModelAndPassInputOn() {
    SampleControl c;
    FormView view(c.form);
    view.show();
    QApplication::setActiveWindow(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    QVERIFY(view.EditorOf(*c.field[1])->DropButton() && !view.EditorOf(*c.field[0])->DropButton());
    QCOMPARE(view.GridViewOf(*c.grid)->parentWidget(), view.QtWidgetOf(*c.form.Find("fraGrid")));

    // A locked field is read-only: typing into it changes nothing in the model.
    c.field[0]->SetLocked(true);
    c.field[0]->SetText("stored");
    view.Refresh();
    QLineEdit* number = LineOf(view, *c.field[0]);
    QVERIFY(number->isReadOnly());
    test::TypeText(number, "x");
    QTest::keyClick(number, Qt::Key_Return);
    QCOMPARE(c.field[0]->Text(), std::string("stored"));
    QVERIFY(c.log.empty());
    // Text being typed is not overwritten by a refresh.
    QLineEdit* qty = LineOf(view, *c.field[2]);
    qty->setFocus();
    test::TypeText(qty, "9");
    c.field[2]->SetText("1");
    view.Refresh();
    QCOMPARE(qty->text(), QString("9"));

    // Typing and Enter: change, then leave with the typed text; nothing while typing.
    c.field[0]->SetLocked(false);
    view.Refresh();
    number->setFocus();
    number->clear();
    c.log.clear();
    QSignalSpy done(&view, &FormView::InputDone);
    test::TypeText(number, "A-17");
    QVERIFY(c.log.empty());
    QTest::keyClick(number, Qt::Key_Return);
    QCOMPARE(c.log, (std::vector<std::string>{"change0", "leave0:A-17"}));
    QCOMPARE(done.count(), 1);

    // A lookup the control refuses: red frame, its hint as tooltip. F2 asks for the picker with
    // the typed text still in the editor, and the picker fills key and text.
    QLineEdit* owner = LineOf(view, *c.field[1]);
    owner->setFocus();
    test::TypeText(owner, "张");
    QTest::keyClick(owner, Qt::Key_Return);
    QCOMPARE(owner->toolTip(), QString("车主输入有误，请重新输入！"));
    QVERIFY(owner->styleSheet().contains("border"));
    owner->setFocus();
    owner->selectAll();
    test::TypeText(owner, "王");
    QTest::keyClick(owner, Qt::Key_F2);
    QCOMPARE(c.log.back(), std::string("picker:张"));  // the typed text is not handed over first
    QCOMPARE(owner->text(), QString("王五"));
    QCOMPARE(c.field[1]->Key(), std::string("8"));
    QVERIFY(!owner->styleSheet().contains("border"));
  }

  void GridShowsAndEditsThroughTheInputApi() {
    SampleControl c;
    c.AddLine("X01", 3, 12.5);
    c.AddLine("X02", 1, 13.3333333);
    c.AddLine("X03", 1, 1);
    GridView view(*c.grid, c.form);
    view.resize(600, 300);
    view.show();
    GridModel& model = view.Model();
    QSignalSpy done(&view, &GridView::InputDone);
    // Data rows and the new-row line of an editable grid; display through the column format,
    // editing on the stored text, the hidden column hidden.
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QString("37.50"));
    QCOMPARE(model.data(model.index(1, 4), Qt::DisplayRole).toString(), QString("13.33"));
    QCOMPARE(model.data(model.index(1, 4), Qt::EditRole).toString(), QString("13.3333333"));
    QVERIFY(view.isColumnHidden(6) && !view.isColumnHidden(5));
    QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QColor>(),
             QColor(0xD0, 0xE0, 0xF0));

    // A quantity typed: the control recomputes the amount; the same text again is no edit; a
    // locked column is refused and the refusal reported.
    QVERIFY(model.setData(model.index(0, 3), "4", Qt::EditRole));
    QVERIFY(!model.setData(model.index(0, 3), "4", Qt::EditRole));
    QCOMPARE(c.log, std::vector<std::string>{"edit1,3"});
    model.Sync();
    QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QString("50.00"));
    QVERIFY(!model.setData(model.index(0, 2), "改名", Qt::EditRole));
    QCOMPARE(c.grid->TextMatrix(1, 2), std::string("名称X01"));
    QVERIFY(!done.last().at(0).toString().isEmpty());

    // Delete removes the current row through the control, which may keep it.
    view.setCurrentIndex(model.index(1, 1));
    c.keepRows = true;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(c.grid->DataRows(), 3);
    c.keepRows = false;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(c.grid->DataRows(), 2);
    QCOMPARE(c.grid->TextMatrix(2, 1), std::string("X03"));
    view.Sync();

    // A grid the control made read-only: no new-row line, nothing editable; hidden rows are
    // left out.
    c.grid->SetEditable(false);
    c.grid->SetRowHidden(1, true);
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
    QCOMPARE(model.GridRow(0), 2);
    // A grid the control locked takes nothing.
    c.grid->SetEditable(true);
    c.grid->SetLocked(true);
    model.Sync();
    QVERIFY(!model.setData(model.index(0, 4), "1", Qt::EditRole));
  }

  void FindConditionsFromTheEntries() {
    const std::vector<FindColumn> columns = {{"WSDJ.工单号码", "工单号码", FindKind::Text},
                                             {"WSDJ.进厂日期", "进厂日期", FindKind::Date},
                                             {"WSDJ.应收合计", "应收合计", FindKind::Number},
                                             {"WSDJ.接待人", "接待人", FindKind::Text}};
    // Text trimmed, "like" by default; a date gives from and to, completed when typed in part
    // (the server takes whole dates only), none when it is no calendar date; a number as a
    // number field reads it; blanks, unknown columns and non-numbers give none.
    const std::vector<FindEntry> entries = {{0, "like", " 2012 ", ""},
                                            {1, "", "2012-06-01", "2012-06-30"},
                                            {2, ">=", "1,000.50", ""},
                                            {2, "=", "O'Brien", ""},
                                            {9, "=", "x", ""},
                                            {1, "", "2012", "2012-2"},
                                            {1, "", "2012-13", "2011-02-29"}};
    std::string built;
    for (const host::Condition& condition : BuildConditions(columns, entries)) {
      built += condition.columnOp + " " + condition.value + ";";
    }
    QCOMPARE(built, std::string("WSDJ.工单号码 like 2012;WSDJ.进厂日期>= 2012-06-01;"
                                "WSDJ.进厂日期<= 2012-06-30;WSDJ.应收合计>= 1000.50;"
                                "WSDJ.进厂日期>= 2012-01-01;WSDJ.进厂日期<= 2012-02-29;"));
  }

  // Rows read from a cursor: no total, so the bar only moves and the label counts; the dialog
  // comes after a moment even though its own timer restarts at every report, Cancel stops the
  // work, and the report of the end closes it, the keyboard back on the field it was on.
  void ProgressWithoutATotalCountsAndStops() {
    QWidget window;
    new QLineEdit(&window);  // first in the tab order: the focus would not come back by itself
    auto* typing = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    typing->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ProgressDisplay progress;
    auto dialog = [] { return QApplication::activeModalWidget(); };
    QVERIFY(progress.Report("正在读取数据...", 2000, host::ISystem::kUnknownTotal));
    QTest::qWait(450);
    QVERIFY(progress.Report("正在读取数据...", 4000, host::ISystem::kUnknownTotal));
    auto* shown = qobject_cast<QProgressDialog*>(dialog());
    QVERIFY(shown && shown->isVisible());
    QCOMPARE(shown->maximum(), 0);
    QVERIFY(shown->labelText().contains(QLocale().toString(4000)));
    auto* cancel = shown->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    QVERIFY(!progress.Report("正在读取数据...", 6000, host::ISystem::kUnknownTotal));
    QVERIFY(progress.Report("正在读取数据...", 6000, 6000) && !dialog());
    QTRY_VERIFY(window.isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), typing);

    // A report with a total still shows how far of it the work has come.
    QVERIFY(progress.Report("打印", 0, 10) && progress.Report("打印", 10, 10));
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ViewsTest)
#include "views_test.moc"
