// The generic renderer of the headless forms: fields, buttons, labels, a search box and a grid
// in a frame drawn by the automatic layout and following the model; typing, clicking, deleting
// rows, double clicks, header clicks, menus and pickers reaching the control's handlers; rows
// without widgets of their own; modal forms; and the Find / Filter dialog's conditions.
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "desk/desk_dialogs.h"
#include "desk/field_editor.h"
#include "desk/find_dialog.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk_fixture.h"
#include "masters/descriptions.h"
#include "masters/master_card.h"
#include "masters/master_list.h"
#include "repair_order/ws_s.h"

namespace ws::desk {

namespace {

// A small control: five fields of an array (added out of index order: the layout goes by
// index), a check box, a button, a combo box, a search box, a status label and a line grid
// inside a frame, each handler recording what reached it. The grid's amount is quantity ×
// price; its menu is built each time it pops up.
struct SampleControl {
  forms::Form form{"Sample"};
  std::vector<std::string> log;
  forms::Field* field[5] = {};
  forms::CheckBox* keep = &form.Add<forms::CheckBox>("chkKeep");
  forms::CommandButton* apply = &form.Add<forms::CommandButton>("cmdApply");
  forms::ComboBox* kind = nullptr;  // after the fields: the layout follows the form's order
  forms::SearchBox* search = &form.Add<forms::SearchBox>("SearchBox1");
  forms::Label* status = &form.Add<forms::Label>("lblStatus");
  forms::Grid* grid = nullptr;
  bool keepRows = false;

  SampleControl() {
    using Kind = forms::FieldKind;
    // clang-format off
    const std::pair<const char*, Kind> kinds[] = {{"编号", Kind::Text}, {"日期", Kind::Date},
        {"车主", Kind::Lookup}, {"数量", Kind::Number}, {"备注", Kind::Text}};
    // clang-format on
    for (int i : {2, 0, 1, 4, 3}) {
      auto& f = form.Add<forms::Field>("ywTxt", i);
      f.SetCaption(kinds[i].first);
      f.SetKind(kinds[i].second);
      f.OnChange = [this, i] { log.push_back("change" + std::to_string(i)); };
      f.OnLeave = [this, i, &f] {
        log.push_back("leave" + std::to_string(i) + ":" + f.Text());
        if (i == 2) f.MarkInvalid("车主输入有误，请重新输入！");  // only its picker finds owners
      };
      field[i] = &f;
    }
    field[2]->OnPickerRequest = [this] {
      log.push_back("picker:" + field[2]->Text());
      field[2]->SetValue("8", "王五");
      field[2]->MarkValid();
    };
    keep->SetCaption("保留");
    keep->OnClick = [this] { log.push_back("keep" + std::to_string(keep->Value())); };
    apply->SetCaption("应用");
    apply->OnClick = [this] {
      log.push_back("apply");
      status->SetCaption("已应用");
      field[4]->SetVisible(false);
    };
    kind = &form.Add<forms::ComboBox>("cboKind");
    kind->items = {"甲", "乙"};
    kind->OnChange = [this] { log.push_back("kind:" + kind->Text()); };
    search->OnChange = [this] { log.push_back("search:" + search->Text()); };
    status->SetCaption("就绪");
    form.Add<forms::Frame>("fraGrid");
    grid = &form.Add<forms::Grid>("ywGridXM");
    grid->SetContainer("fraGrid");
    grid->SetFormatString("行号|编码|名称|数量|单价|金额|单据明细ID");
    grid->Col(0).editable = false;
    grid->Col(2).editable = false;
    grid->Col(2).readOnlyForeColor = 0x404040;
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
    grid->OnDblClick = [this](int row) { log.push_back("dbl" + std::to_string(row)); };
    auto& menu = form.Add<forms::PopupMenu>("m_cMenu");
    menu.OnPopup = [&menu] {
      menu.Clear();
      menu.AddItem("新建", "Add");
      menu.AddItem("-", "");
      menu.AddItem("删除", "Delete");
    };
    menu.OnItemClick = [this](const std::string& key) { log.push_back("menu:" + key); };
  }

  void AddLine(const std::string& code, double qty, double price) {
    int r = grid->AddRow();
    const std::string cells[] = {code, "名称" + code, db::DecimalText(qty), db::DecimalText(price),
                                 db::DecimalText(qty * price)};
    for (int col = 1; col <= 5; ++col) grid->SetTextMatrix(r, col, cells[col - 1]);
    grid->SetCellKey(r, 1, "k" + code);
  }
};

}  // namespace

using test::LineOf;

class ViewsTest : public QObject {
  Q_OBJECT

 private slots:
  void LaysOutTheFormFollowsTheModelAndPassesInputOn() {
    SampleControl c;
    FormView view(c.form);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Fields three to a row in index order, each beside its caption; a lookup has its
    // drop-down button, a date its calendar, a text none.
    auto* grid = view.findChild<QGridLayout*>();
    QVERIFY(grid);
    for (int i = 0; i < 5; ++i) {
      int row = -1, col = -1, rs = 0, cs = 0;
      grid->getItemPosition(grid->indexOf(view.EditorOf(*c.field[i])), &row, &col, &rs, &cs);
      QCOMPARE(std::make_pair(row, col), std::make_pair(i / 3, i % 3 * 2 + 1));
    }
    QCOMPARE(qobject_cast<QLabel*>(grid->itemAtPosition(0, 4)->widget())->text(), QString("车主"));
    QVERIFY(view.EditorOf(*c.field[2])->DropButton() && view.EditorOf(*c.field[1])->DropButton());
    QVERIFY(!view.EditorOf(*c.field[0])->DropButton());
    // The grid sits inside its frame; the buttons, boxes and label are drawn (and clicked or
    // typed into below).
    QCOMPARE(view.GridViewOf(*c.grid)->parentWidget(), view.QtWidgetOf(*c.form.Find("fraGrid")));
    QCOMPARE(qobject_cast<QLabel*>(view.QtWidgetOf(*c.status))->text(), QString("就绪"));

    // A locked field is read-only: typing into it changes nothing in the model.
    c.field[0]->SetLocked(true);
    c.field[0]->SetText("stored");
    c.apply->SetEnabled(false);
    view.Refresh();
    QLineEdit* number = LineOf(view, *c.field[0]);
    QVERIFY(number->isReadOnly());
    QCOMPARE(number->text(), QString("stored"));
    test::TypeText(number, "x");
    QTest::keyClick(number, Qt::Key_Return);
    QCOMPARE(c.field[0]->Text(), std::string("stored"));
    QVERIFY(c.log.empty());
    QVERIFY(!view.QtWidgetOf(*c.apply)->isEnabled());
    // The control moves the focus; the renderer follows. Text being typed is not overwritten
    // by a refresh.
    QApplication::setActiveWindow(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    c.form.SetFocus(c.field[3]);
    view.Refresh();
    QLineEdit* qty = LineOf(view, *c.field[3]);
    QVERIFY(qty->hasFocus());
    test::TypeText(qty, "9");
    c.field[3]->SetText("1");
    view.Refresh();
    QCOMPARE(qty->text(), QString("9"));

    // Typing and Enter: change, then leave with the typed text; nothing while typing.
    c.field[0]->SetLocked(false);
    c.apply->SetEnabled(true);
    view.Refresh();
    number->setFocus();  // the quantity left: its own events
    number->clear();
    c.log.clear();
    QSignalSpy done(&view, &FormView::InputDone);
    test::TypeText(number, "A-17");
    QVERIFY(c.log.empty());
    QTest::keyClick(number, Qt::Key_Return);
    QCOMPARE(c.log, (std::vector<std::string>{"change0", "leave0:A-17"}));
    QCOMPARE(done.count(), 1);

    // A lookup the control refuses: red frame, its hint as tooltip. F2 hands the typed text
    // over, then asks for the picker, which fills key and text; the drop-down button too.
    QLineEdit* owner = LineOf(view, *c.field[2]);
    owner->setFocus();
    test::TypeText(owner, "张");
    QTest::keyClick(owner, Qt::Key_Return);
    QCOMPARE(owner->toolTip(), QString("车主输入有误，请重新输入！"));
    QVERIFY(owner->styleSheet().contains("border"));
    owner->setFocus();
    owner->selectAll();
    test::TypeText(owner, "王");
    QTest::keyClick(owner, Qt::Key_F2);
    QCOMPARE(c.log.back(), std::string("picker:王"));
    QCOMPARE(owner->text(), QString("王五"));
    QCOMPARE(c.field[2]->Key(), std::string("8"));
    QVERIFY(!owner->styleSheet().contains("border"));
    c.log.clear();
    QTest::mouseClick(view.EditorOf(*c.field[2])->DropButton(), Qt::LeftButton);
    QCOMPARE(c.log, std::vector<std::string>{"picker:王五"});

    // A number field takes digits only.
    qty->setFocus();
    qty->clear();
    test::TypeText(qty, "12x.5");
    QTest::keyClick(qty, Qt::Key_Return);
    QCOMPARE(c.field[3]->Text(), std::string("12.5"));

    // Combo box, check box, search box and button; what the button changed in the model is on
    // the screen after the refresh.
    c.log.clear();
    QLineEdit* kind = LineOf(view, *c.kind);
    kind->setFocus();
    test::TypeText(kind, "乙");
    QTest::keyClick(kind, Qt::Key_Return);
    QTest::mouseClick(view.QtWidgetOf(*c.keep), Qt::LeftButton);
    QVERIFY(c.keep->Checked());
    test::TypeText(qobject_cast<QLineEdit*>(view.QtWidgetOf(*c.search)), "ab");
    QTest::mouseClick(view.QtWidgetOf(*c.apply), Qt::LeftButton);
    QCOMPARE(c.log,
             (std::vector<std::string>{"kind:乙", "keep1", "search:a", "search:ab", "apply"}));
    QCOMPARE(qobject_cast<QLabel*>(view.QtWidgetOf(*c.status))->text(), QString("已应用"));
    QVERIFY(view.EditorOf(*c.field[4])->isHidden());
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
    // editing on the stored text, keys kept, the hidden column hidden, widths taken.
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("编码"));
    QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QString("37.50"));
    QCOMPARE(model.data(model.index(1, 4), Qt::DisplayRole).toString(), QString("13.33"));
    QCOMPARE(model.data(model.index(1, 4), Qt::EditRole).toString(), QString("13.3333333"));
    QCOMPARE(model.data(model.index(1, 1), GridModel::kKeyRole).toString(), QString("kX02"));
    QVERIFY(model.data(model.index(0, 5), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    QVERIFY(view.isColumnHidden(6) && !view.isColumnHidden(5));
    QCOMPARE(view.columnWidth(1), TwipsToPixels(c.grid->Col(1).width));
    // The locked name column: read-only colours, no editing; the code column is editable.
    QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QColor>(),
             QColor(0xD0, 0xE0, 0xF0));
    QCOMPARE(model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>(),
             QColor(0x40, 0x40, 0x40));
    QVERIFY(!(model.flags(model.index(0, 2)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!model.data(model.index(0, 1), Qt::BackgroundRole).isValid());

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
    // Typing into the new-row line makes it a row; an empty text does not.
    QVERIFY(model.IsNewRowLine(3));
    QVERIFY(!model.setData(model.index(3, 1), "", Qt::EditRole));
    QVERIFY(model.setData(model.index(3, 1), "X09", Qt::EditRole));
    QCOMPARE(c.grid->TextMatrix(4, 1), std::string("X09"));
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 5);

    // Delete removes the current row through the control, which may keep it.
    view.setCurrentIndex(model.index(1, 1));
    QCOMPARE(c.grid->Row(), 2);
    c.keepRows = true;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(c.grid->DataRows(), 4);
    c.keepRows = false;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(c.grid->DataRows(), 3);
    QCOMPARE(c.grid->TextMatrix(2, 1), std::string("X03"));
    view.Sync();
    // A double click on a row is the grid's double click; the right-click menu's choice
    // reaches the control by key, a separator is no choice.
    c.log.clear();
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                       view.visualRect(model.index(0, 2)).center());
    QVERIFY(view.ChooseMenuItem(2, "Delete"));
    QCOMPARE(c.grid->Row(), 2);
    QVERIFY(!view.ChooseMenuItem(1, "-"));
    QCOMPARE(c.log, (std::vector<std::string>{"dbl1", "menu:Delete"}));

    // A grid the control made read-only: no new-row line, nothing editable; hidden rows are
    // left out and rows map both ways; an unchanged shape repaints without a reset.
    c.grid->SetEditable(false);
    c.grid->SetRowHidden(2, true);
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
    QCOMPARE(model.GridRow(1), 3);
    QCOMPARE(model.ModelRow(2), -1);
    QCOMPARE(model.ModelRow(3), 1);
    c.grid->SetTextMatrix(3, 6, "99");
    QVERIFY(!model.Sync());
    // A header click sorts, a second one reverses. A longer list is one reset of the model
    // with the grid's current row the view's, and no cell has a widget of its own.
    emit view.horizontalHeader()->sectionClicked(5);
    QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QString("X09"));
    emit view.horizontalHeader()->sectionClicked(5);
    QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QString("X01"));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    c.grid->SetRows(c.grid->Rows() + 40);
    c.grid->SetRow(c.grid->Rows() - 1);
    view.Sync();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(view.currentIndex().row(), model.rowCount() - 1);
    QVERIFY(view.findChildren<QWidget*>().size() < 50);  // ten rows of six cells in sight
    // A grid the control locked takes nothing.
    c.grid->SetEditable(true);
    c.grid->SetLocked(true);
    model.Sync();
    QVERIFY(!model.setData(model.index(0, 4), "1", Qt::EditRole));
  }

  // The dialog runs until its form closes (here by its OK button); closing the window without
  // choosing dismisses the form.
  void ModalFormRunsUntilItsFormCloses() {
    struct Chooser : host::IModalForm {
      forms::Form form{"frmChooser"};
      bool closed = false, dismissed = false, chosen = false;
      Chooser() {
        form.Add<forms::CommandButton>("cmdOk").OnClick = [this] { chosen = closed = true; };
      }
      std::string Name() const override { return "frmChooser"; }
      forms::Form& Form() override { return form; }
      bool IsClosed() const override { return closed; }
      void Dismiss() override { dismissed = closed = true; }
    };
    for (bool click : {true, false}) {
      Chooser chooser;
      ModalFormDialog dialog(chooser);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      if (click) {
        QTest::mouseClick(dialog.View().QtWidgetOf(*chooser.form.Find("cmdOk")), Qt::LeftButton);
      } else {
        dialog.reject();
      }
      QVERIFY(dialog.isHidden());
      QCOMPARE(dialog.result(), int(click ? QDialog::Accepted : QDialog::Rejected));
      QVERIFY(chooser.chosen == click && chooser.dismissed == !click);
    }
  }

  void FindDialogBuildsConditions() {
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
                                            {3, "=", "   ", ""},
                                            {9, "=", "x", ""},
                                            {1, "", "", "2012-01-31"},
                                            {1, "", "2012", "2012-2"},
                                            {1, "", "2012-6-1", "2012-06-"},
                                            {1, "", "2012-13", "0000-00-00"},
                                            {1, "", "2011-02-29", "x"}};
    std::string built;
    for (const host::Condition& condition : BuildConditions(columns, entries)) {
      built += condition.columnOp + " " + condition.value + ";";
    }
    QCOMPARE(built, std::string("WSDJ.工单号码 like 2012;WSDJ.进厂日期>= 2012-06-01;"
                                "WSDJ.进厂日期<= 2012-06-30;WSDJ.应收合计>= 1000.50;"
                                "WSDJ.进厂日期<= 2012-01-31;WSDJ.进厂日期>= 2012-01-01;"
                                "WSDJ.进厂日期<= 2012-02-29;WSDJ.进厂日期>= 2012-06-01;"
                                "WSDJ.进厂日期<= 2012-06-30;"));

    // Every searchable program has its columns; a program without one has none. Text: an
    // operator box with "包含" (like) first; date: from and to, no operator.
    QVERIFY(!masters::MasterCard(masters::VehicleCard()).FindColumns().empty());
    QVERIFY(masters::MasterList(masters::VehicleList()).FindColumns().empty());
    const auto order = repair_order::WS_S().FindColumns();
    FindDialog dialog(order, "查找");
    auto at = [&](const char* caption) {
      return std::find_if(order.begin(), order.end(),
                          [&](const FindColumn& c) { return c.caption == caption; }) -
             order.begin();
    };
    const int number = at("工单号码"), date = at("进厂日期");
    QVERIFY(number < int(order.size()) && date < int(order.size()));
    QCOMPARE(dialog.OperatorBox(number)->currentData().toString(), QString("like"));
    QVERIFY(!dialog.OperatorBox(date));
    QTest::keyClicks(dialog.ValueEdit(number), "0615");
    dialog.OperatorBox(number)->setCurrentIndex(1);
    QTest::keyClicks(dialog.ToEdit(date), "2012-06-3x0");  // the date editor takes no letters
    const auto conditions = dialog.Conditions();
    QCOMPARE(conditions.size(), size_t{2});
    QCOMPARE(conditions[0].columnOp + conditions[0].value, order[number].column + "=0615");
    QCOMPARE(conditions[1].columnOp + conditions[1].value, order[date].column + "<=2012-06-30");
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ViewsTest)
#include "views_test.moc"
