// The generic renderer: a form of fields, buttons, labels, a search box and a grid in a frame
// is drawn by the automatic layout, follows the model on every refresh, and typing, clicking
// and asking for pickers reach the control's handlers.
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "desk/desk_dialogs.h"
#include "desk/field_editor.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "desk_fixture.h"
#include "forms/form.h"

namespace ws::desk {

namespace {

// A small control: five fields of an array, a check box, a button, a combo box, a search box,
// a status label and a grid inside a frame, each handler recording what reached it.
struct SampleControl {
  forms::Form form{"Sample"};
  std::vector<std::string> log;
  forms::Field* field[5] = {};
  forms::CheckBox* keep = nullptr;
  forms::CommandButton* apply = nullptr;
  forms::ComboBox* kind = nullptr;
  forms::SearchBox* search = nullptr;
  forms::Label* status = nullptr;
  forms::Grid* grid = nullptr;

  SampleControl() {
    // Added out of index order on purpose: the layout goes by index.
    const int order[] = {2, 0, 1, 4, 3};
    const char* captions[] = {"编号", "日期", "车主", "数量", "备注"};
    const forms::FieldKind kinds[] = {forms::FieldKind::Text, forms::FieldKind::Date,
                                      forms::FieldKind::Lookup, forms::FieldKind::Number,
                                      forms::FieldKind::Text};
    for (int i : order) {
      auto& f = form.Add<forms::Field>("ywTxt", i);
      f.SetCaption(captions[i]);
      f.SetKind(kinds[i]);
      f.OnChange = [this, i] { log.push_back("change" + std::to_string(i)); };
      f.OnLeave = [this, i, &f] {
        log.push_back("leave" + std::to_string(i) + ":" + f.Text());
        // The lookup resolves a known name and refuses anything else.
        if (i == 2) {
          if (f.Text() == "李四") {
            f.SetKey("7");
            f.MarkValid();
          } else {
            f.MarkInvalid("车主输入有误，请重新输入！");
          }
        }
      };
      field[i] = &f;
    }
    field[2]->OnPickerRequest = [this] {
      log.push_back("picker:" + field[2]->Text());
      field[2]->SetValue("8", "王五");
      field[2]->MarkValid();
    };
    keep = &form.Add<forms::CheckBox>("chkKeep");
    keep->SetCaption("保留");
    keep->OnClick = [this] { log.push_back("keep" + std::to_string(keep->Value())); };
    apply = &form.Add<forms::CommandButton>("cmdApply");
    apply->SetCaption("应用");
    apply->OnClick = [this] {
      log.push_back("apply");
      status->SetCaption("已应用");
      field[4]->SetVisible(false);
    };
    kind = &form.Add<forms::ComboBox>("cboKind");
    kind->items = {"甲", "乙"};
    kind->OnChange = [this] { log.push_back("kind:" + kind->Text()); };
    search = &form.Add<forms::SearchBox>("SearchBox1");
    search->OnChange = [this] { log.push_back("search:" + search->Text()); };
    status = &form.Add<forms::Label>("lblStatus");
    status->SetCaption("就绪");
    form.Add<forms::Frame>("fraGrid");
    grid = &form.Add<forms::Grid>("ywGrid");
    grid->SetContainer("fraGrid");
    grid->SetFormatString("行号|编码|数量");
    grid->AddRow();
  }
};

QLineEdit* LineOf(FormView& view, const forms::Widget& widget) {
  FieldEditor* editor = view.EditorOf(widget);
  return editor ? editor->Line() : nullptr;
}

}  // namespace

class FormViewTest : public QObject {
  Q_OBJECT

 private slots:
  void LaysOutTheFormAutomatically() {
    SampleControl c;
    FormView view(c.form);
    // Fields three to a row in index order: 0, 1, 2 on the first row, 3 and 4 on the second.
    auto* grid = view.findChild<QGridLayout*>();
    QVERIFY(grid);
    auto position = [&](int index) {
      int row = -1, col = -1, rs = 0, cs = 0;
      grid->getItemPosition(grid->indexOf(view.EditorOf(*c.field[index])), &row, &col, &rs, &cs);
      return std::make_pair(row, col);
    };
    QCOMPARE(position(0), std::make_pair(0, 1));
    QCOMPARE(position(1), std::make_pair(0, 3));
    QCOMPARE(position(2), std::make_pair(0, 5));
    QCOMPARE(position(3), std::make_pair(1, 1));
    QCOMPARE(position(4), std::make_pair(1, 3));
    // Captions beside their editors; a lookup has its drop-down button, a date its calendar,
    // a text none.
    auto* caption = qobject_cast<QLabel*>(grid->itemAtPosition(0, 4)->widget());
    QCOMPARE(caption->text(), QString("车主"));
    QVERIFY(view.EditorOf(*c.field[2])->DropButton());
    QVERIFY(view.EditorOf(*c.field[1])->DropButton());
    QVERIFY(!view.EditorOf(*c.field[0])->DropButton());
    // The grid sits inside its frame; buttons, combo box, search box and label are drawn.
    GridView* gridView = view.GridViewOf(*c.grid);
    QVERIFY(gridView);
    QCOMPARE(gridView->parentWidget(), view.QtWidgetOf(*c.form.Find("fraGrid")));
    QVERIFY(qobject_cast<QCheckBox*>(view.QtWidgetOf(*c.keep)));
    QVERIFY(qobject_cast<QPushButton*>(view.QtWidgetOf(*c.apply)));
    QVERIFY(view.EditorOf(*c.kind));
    QVERIFY(qobject_cast<QLineEdit*>(view.QtWidgetOf(*c.search)));
    QCOMPARE(qobject_cast<QLabel*>(view.QtWidgetOf(*c.status))->text(), QString("就绪"));
  }

  void TypingReachesTheControl() {
    SampleControl c;
    FormView view(c.form);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy done(&view, &FormView::InputDone);

    // Typing and Enter: change, then leave with the typed text; focus moves on.
    QLineEdit* number = LineOf(view, *c.field[0]);
    number->setFocus();
    test::TypeText(number, "A-17");
    QVERIFY(c.log.empty());  // nothing reaches the control while typing
    QTest::keyClick(number, Qt::Key_Return);
    QCOMPARE(c.field[0]->Text(), std::string("A-17"));
    QCOMPARE(c.log, (std::vector<std::string>{"change0", "leave0:A-17"}));
    QCOMPARE(done.count(), 1);

    // A lookup the control refuses: red frame, its hint as tooltip.
    QLineEdit* owner = LineOf(view, *c.field[2]);
    owner->setFocus();
    test::TypeText(owner, "张");
    QTest::keyClick(owner, Qt::Key_Return);
    QVERIFY(!c.field[2]->Valid());
    QCOMPARE(owner->toolTip(), QString("车主输入有误，请重新输入！"));
    QVERIFY(owner->styleSheet().contains("border"));
    // F2 hands the typed text over, then asks for the picker, which fills key and text.
    owner->setFocus();
    owner->selectAll();
    test::TypeText(owner, "王");
    QTest::keyClick(owner, Qt::Key_F2);
    QCOMPARE(c.log.back(), std::string("picker:王"));
    QCOMPARE(owner->text(), QString("王五"));
    QCOMPARE(c.field[2]->Key(), std::string("8"));
    QVERIFY(!owner->styleSheet().contains("border"));
    // The drop-down button does the same.
    c.log.clear();
    QTest::mouseClick(view.EditorOf(*c.field[2])->DropButton(), Qt::LeftButton);
    QCOMPARE(c.log, std::vector<std::string>{"picker:王五"});

    // A number field takes digits only.
    QLineEdit* qty = LineOf(view, *c.field[3]);
    qty->setFocus();
    test::TypeText(qty, "12x.5");
    QTest::keyClick(qty, Qt::Key_Return);
    QCOMPARE(c.field[3]->Text(), std::string("12.5"));

    // Combo box, check box, button and search box.
    c.log.clear();
    QLineEdit* kind = LineOf(view, *c.kind);
    kind->setFocus();
    test::TypeText(kind, "乙");
    QTest::keyClick(kind, Qt::Key_Return);
    QTest::mouseClick(qobject_cast<QWidget*>(view.QtWidgetOf(*c.keep)), Qt::LeftButton);
    QVERIFY(c.keep->Checked());
    test::TypeText(qobject_cast<QLineEdit*>(view.QtWidgetOf(*c.search)), "ab");
    QCOMPARE(c.search->Text(), std::string("ab"));
    QTest::mouseClick(qobject_cast<QWidget*>(view.QtWidgetOf(*c.apply)), Qt::LeftButton);
    QCOMPARE(c.log,
             (std::vector<std::string>{"kind:乙", "keep1", "search:a", "search:ab", "apply"}));
    // What the button changed in the model is on the screen after the refresh.
    QCOMPARE(qobject_cast<QLabel*>(view.QtWidgetOf(*c.status))->text(), QString("已应用"));
    QVERIFY(view.EditorOf(*c.field[4])->isHidden());
  }

  void FollowsLocksAndFocusOfTheModel() {
    SampleControl c;
    FormView view(c.form);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
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
    // The control moves the focus; the renderer follows.
    QApplication::setActiveWindow(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    c.form.SetFocus(c.field[3]);
    view.Refresh();
    QVERIFY(LineOf(view, *c.field[3])->hasFocus());
    // Text being typed is not overwritten by a refresh; the model's text returns after leaving.
    QLineEdit* qty = LineOf(view, *c.field[3]);
    test::TypeText(qty, "9");
    c.field[3]->SetText("1");
    view.Refresh();
    QCOMPARE(qty->text(), QString("9"));
  }

  void ModalFormRunsUntilItsFormCloses() {
    // A chooser: a grid of rows and an OK button that closes the form with the chosen row.
    struct Chooser : host::IModalForm {
      forms::Form form{"frmChooser"};
      bool closed = false;
      bool dismissed = false;
      int chosen = -1;
      Chooser() {
        auto& grid = form.Add<forms::Grid>("Vs", -1, forms::kFlexGrid);
        grid.SetFormatString("行号|工单号码");
        grid.SetTextMatrix(grid.AddRow(), 1, "W-1");
        grid.SetTextMatrix(grid.AddRow(), 1, "W-2");
        grid.SetRow(2);
        auto& ok = form.Add<forms::CommandButton>("cmdOk");
        ok.SetCaption("确定");
        ok.OnClick = [this, &grid] {
          chosen = grid.Row();
          closed = true;
        };
      }
      std::string Name() const override { return "frmChooser"; }
      forms::Form& Form() override { return form; }
      bool IsClosed() const override { return closed; }
      void Dismiss() override {
        dismissed = true;
        closed = true;
      }
    };
    Chooser chooser;
    {
      ModalFormDialog dialog(chooser);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      auto* ok = qobject_cast<QPushButton*>(dialog.View().QtWidgetOf(*chooser.form.Find("cmdOk")));
      QVERIFY(ok);
      QTest::mouseClick(ok, Qt::LeftButton);
      QVERIFY(dialog.isHidden());
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(chooser.chosen, 2);
    QVERIFY(!chooser.dismissed);
    // Closing the window without choosing dismisses the form.
    Chooser other;
    ModalFormDialog dialog(other);
    dialog.show();
    dialog.reject();
    QVERIFY(other.dismissed);
    QCOMPARE(other.chosen, -1);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::FormViewTest)
#include "form_view_test.moc"
