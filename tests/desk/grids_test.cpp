// What a clerk reads off the grids and does with the keyboard: a document grid's totals row and
// its columns (numbers right, no stand-in dates, unused attributes hidden until wanted, widths
// the user dragged kept), a picker narrowing its list as the clerk types, chooser rows
// ticked with Space and a click, and a cut text read whole.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <initializer_list>
#include <vector>

#include "desk/form_view.h"
#include "desk/grid_pdf.h"
#include "desk/grid_view.h"
#include "desk/picker_popup.h"
#include "desk_fixture.h"
#include "forms/text.h"
#include "money/choosers.h"
#include "reports/audit_list.h"
#include "reports/period_checklist.h"
#include "requisition/frm_sel_ws.h"

namespace ws::desk {

namespace {

// Gives the grid the format and a row of each line's texts.
void Fill(forms::Grid& grid, const char* format,
          std::initializer_list<std::vector<const char*>> lines) {
  grid.SetFormatString(format);
  for (const auto& line : lines) {
    const int row = grid.AddRow();
    for (size_t col = 0; col < line.size(); ++col)
      grid.SetTextMatrix(row, static_cast<int>(col), line[col]);
  }
}

// A requisition-like line grid: a row number, a code, a quantity, a price, an amount (its
// format left open), a colour nobody uses and a date.
struct LineForm {
  forms::Form form{"Lines"};
  forms::Grid* grid = &form.Add<forms::Grid>("ywGrid");

  LineForm() {
    Fill(*grid, "行号|物品编码|出库数量|出库单价|金额|颜色|进厂日期",
         {{"1", "PJ1", "2", "10.5", "21", "", "2012-06-01"},
          {"2", "PJ2", "1.5", "3", "4.5", "", "1900-01-01"},
          {"3", "PJ3", "0.25", "100", "25.04", "", ""}});
    grid->Col(2).format = "###.##";
    grid->Col(3).format = "###.##";
  }
};

// The totals row's texts under the columns, "|"-joined.
QString Totals(GridView& grid, std::initializer_list<int> cols) {
  QStringList texts;
  for (int col : cols) texts << grid.TotalText(col);
  return texts.join('|');
}

void Show(QWidget& widget) {
  widget.resize(900, 400);
  widget.show();
  QApplication::setActiveWindow(&widget);
  QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

QModelIndex Cell(GridView& view, int modelRow, int col) {
  return view.model()->index(modelRow, col);
}

}  // namespace

class GridsTest : public QObject {
  Q_OBJECT

 private slots:
  void TotalsRowSumsAmountsAndQuantitiesOfADocumentGrid() {
    LineForm lines;
    FormView view(lines.form);
    Show(view);
    GridView& grid = *view.GridViewOf(*lines.grid);
    QVERIFY(grid.TotalsShown());
    QCOMPARE(Totals(grid, {0, 2, 3, 4}), QString("合计|3.75||50.54"));  // prices never added up
    // A hidden row (a filter) is not counted; an edit is.
    lines.grid->SetRowHidden(3, true);
    lines.grid->SetTextMatrix(1, 4, "20.5");
    grid.Sync();
    QCOMPARE(Totals(grid, {2, 4}), QString("3.5|25.00"));
    // Hidden by the header's menu, a column has no total and the caption moves along.
    grid.SetColumnWanted(0, false);
    QVERIFY(lines.grid->ColHidden(0));
    QCOMPARE(grid.TotalText(1), QString("合计"));
  }

  void AgeBucketsAndWhatIsOwedAreTotalledButNotTheDays() {
    forms::Form form{"Ages"};
    forms::Grid& ages = form.Add<forms::Grid>("Vs");
    Fill(ages, "客户|天数|0-30天|90天以上|欠款",
         {{"甲", "12", "100", "", "100"}, {"乙", "95", "", "50.5", "50.5"}});
    FormView view(form);
    Show(view);
    QCOMPARE(Totals(*view.GridViewOf(ages), {1, 2, 3, 4}), QString("|100.00|50.50|150.50"));
    // On paper the report ends with the same row.
    platform::PrintFile file = GridPrintFile(ages, {});
    AddTotalsRow(file, ages, view.GridViewOf(ages));
    QCOMPARE(file.tables.front().rows.back(),
             (std::vector<std::string>{"合计", "", "100.00", "50.50", "150.50"}));
  }

  // The checklist counts its matters and never adds a balance to a total of another kind: the
  // view shows that row of the list's own under the rows, once, and no sum of its making.
  void AListThatTotalsItselfIsShownItsOwnTotalOnce() {
    reports::PeriodChecklist list;
    using K = reports::OpenKind;
    for (auto [kind, amount] : {std::pair{K::OrderUnchecked, "100"},
                                {K::OrderUnchecked, "20.5"},
                                {K::SettledWithBalance, "7"}}) {
      list.items.push_back(
          {kind, 200001, 1, "W1", "2012-05-02", "京A1", db::Amount::Of(amount), ""});
    }
    forms::Form form{"Checklist"};
    forms::Grid& items = form.Add<forms::Grid>("Vs");
    reports::FillChecklistGrid(list, items, true);
    FormView view(form);
    Show(view);
    GridView& grid = *view.GridViewOf(items);
    // Three matters and the two kinds' subtotals; the grand total is not a row of the body.
    QCOMPARE(grid.model()->rowCount(), 5);
    QVERIFY(grid.TotalsShown());
    QCOMPARE(Totals(grid, {1, 4, 5}), QString("合计||3"));
    // Without the list's own total the view adds the amounts up itself, as for any grid.
    items.ClearSubtotals();
    grid.Sync();
    QCOMPARE(grid.model()->rowCount(), 3);
    QCOMPARE(grid.TotalText(4), QString("127.50"));
  }

  // A free text is cut to keep the amounts in sight, except in the last column, where it takes
  // the room the window has and gives it back when the window narrows; its width stays the
  // view's to size, not one the user dragged.
  void ALongTextInTheLastColumnIsCutOnlyWhereTheWindowEnds() {
    reports::PeriodChecklist list;
    const std::string note = "正时皮带套件 开单未领用；水泵 开单未领用；气门室盖垫 开单未领用";
    list.items.push_back({reports::OpenKind::OrderUnchecked, 200001, 1, "W1", "2012-05-02", "京A1",
                          db::Amount::Of("1"), note});
    forms::Form form{"Checklist"};
    forms::Grid& items = form.Add<forms::Grid>("Vs");
    reports::FillChecklistGrid(list, items, true);
    int col = 0;
    while (col < items.Cols() && forms::Trim(items.ColCaption(col)) != "说明") ++col;
    QVERIFY(col < items.Cols());
    FormView view(form);
    Show(view);
    GridView& grid = *view.GridViewOf(items);
    const int whole = grid.fontMetrics().horizontalAdvance(QString::fromStdString(note));
    for (int width : {1300, 700, 1300}) {
      view.resize(width, 400);
      QApplication::processEvents();
      QCOMPARE(grid.columnWidth(col) > whole, width > 1000);
      QVERIFY(grid.columnWidth(col) > 0 && !IsUserWidth(items.Col(col).width));
    }
  }

  // The changes of an audit event cut by the window are read whole, one a line: as the cell's
  // tooltip and, from the keyboard, with Space in a box Esc closes. Enter still opens the
  // event's document; a text shown whole has no box. A hostile text of several kB (hundreds of
  // changes, one endless note) is read in a box of most of the window; its tooltip shows what fits
  // on the screen.
  void ACutTextIsReadWholeWithTheMouseAndWithSpace() {
    reports::AuditRow event;
    event.program = 200001;
    event.documentId = 7;
    event.changes = {{"应收合计", "3375.2", "3561.8"},
                     {"维修配件第2行（PJ49 面漆）·数量", "3", "4"}};
    reports::AuditRow many = event, note = event;
    many.changes.clear();
    for (int line = 1; line <= 300; ++line)
      many.changes.push_back({"维修项目第" + std::to_string(line) + "行·单价", "80", "95"});
    const QString noteText = QString("客户要求复查刹车异响并更换前轮 brake pads ").repeated(150);
    note.changes = {{"备注", "", noteText.toStdString() + "完"}};
    forms::Form form{"Audit"};
    forms::Grid& events = form.Add<forms::Grid>("Vs");
    reports::FillAuditGrid(reports::AuditTrail{{event, many, note}, ""}, events);
    int opened = 0;
    events.OnDblClick = [&](int) { ++opened; };
    FormView view(form);
    Show(view);
    view.resize(700, 400);
    QApplication::processEvents();
    GridView& grid = *view.GridViewOf(events);
    const QModelIndex changes = Cell(grid, 0, 6);
    QCOMPARE(grid.CutText(changes), changes.data().toString());
    const QString lines = "应收合计: 3375.2 → 3561.8\n维修配件第2行（PJ49 面漆）·数量: 3 → 4";

    const auto tip = [&](const QModelIndex& cell) {
      const QPoint over = grid.visualRect(cell).topLeft() + QPoint(4, 4);
      QHelpEvent help(QEvent::ToolTip, over, grid.viewport()->mapToGlobal(over));
      QApplication::sendEvent(grid.viewport(), &help);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    int boxHeight = 0;
    const auto boxed = [&](const QModelIndex& cell) {
      QString shown;
      QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        auto* text = box ? box->findChild<QPlainTextEdit*>() : nullptr;
        if (!text) return;
        shown = text->toPlainText();
        boxHeight = box->height();
        QTest::keyClick(text, Qt::Key_Escape);
      });
      grid.setFocus();
      grid.setCurrentIndex(cell);
      QTest::keyClick(&grid, Qt::Key_Space);
      return shown;
    };
    QVERIFY(tip(changes).contains(QString(lines).replace("\n", "<br>")));
    QCOMPARE(boxed(changes), lines);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(opened, 0);
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(opened, 1);

    for (int row : {1, 2}) {  // hundreds of changes, one endless note
      const QModelIndex cell = Cell(grid, row, 6);
      const QString text = cell.data().toString(), shown = tip(cell);
      QVERIFY(shown.contains(text.left(12)) && !shown.contains(text.right(16)));
      QVERIFY(shown.contains(QChar(0x2026)) && shown.contains("按空格键在窗口中查看全文"));
      const QWidget* label = nullptr;
      for (const QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "qtooltip_label" && top->isVisible()) label = top;
      QVERIFY(label && label->height() < label->screen()->availableGeometry().height() / 2);
      QVERIFY(boxed(cell).endsWith(text.right(16)));
      // Read in most of the window, the note's one long line as much as the many short ones.
      QVERIFY2(boxHeight > view.height() / 2, qPrintable(QString::number(boxHeight)));
    }

    view.resize(1300, 400);
    QApplication::processEvents();
    QVERIFY(!grid.ShowCutTexts(0));
  }

  void ColumnsReadAsAClerkReadsThem() {
    LineForm lines;
    auto view = std::make_unique<FormView>(lines.form);
    Show(*view);
    GridView* grid = view->GridViewOf(*lines.grid);
    const auto align = [&](int col) {
      return grid->model()->data(Cell(*grid, 0, col), Qt::TextAlignmentRole).toInt() &
             Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(align(2), int(Qt::AlignRight));
    QCOMPARE(align(4), int(Qt::AlignRight));
    QCOMPARE(align(1), 0);
    QCOMPARE(grid->model()->data(Cell(*grid, 0, 4)).toString(), QString("21.00"));
    QCOMPARE(grid->model()->data(Cell(*grid, 1, 6)).toString(), QString());
    QCOMPARE(grid->model()->data(Cell(*grid, 0, 6)).toString(), QString("2012-06-01"));
    // The date is read whole; the colour no line uses waits until someone asks for it.
    const QString date = "2012-06-01";
    QVERIFY(grid->columnWidth(6) > grid->fontMetrics().horizontalAdvance(date));
    QVERIFY(grid->isColumnHidden(5));
    grid->SetColumnWanted(5, true);
    QVERIFY(!grid->isColumnHidden(5));
    lines.grid->SetTextMatrix(1, 5, "红");
    grid->SetColumnWanted(5, false);
    QVERIFY(grid->isColumnHidden(5));

    // A width the user drags outlives the view, content sizing the others.
    grid->horizontalHeader()->resizeSection(1, 333);
    QVERIFY(IsUserWidth(lines.grid->Col(1).width) && !IsUserWidth(lines.grid->Col(2).width));
    view = std::make_unique<FormView>(lines.form);
    Show(*view);
    QCOMPARE(view->GridViewOf(*lines.grid)->columnWidth(1), 333);
  }

  // Another record with as many lines does not reset the view, yet the columns it sizes widen
  // to its texts, a free text up to its cap, and never narrow; once the user narrowed both
  // columns, the text stays as dragged and the amount is still read whole.
  void ColumnsGrowToALaterRecordsLinesAndKeepTheUsersWidths() {
    forms::Form form{"Order"};
    forms::Grid& lines = form.Add<forms::Grid>("ywGrid");
    lines.SetFormatString("维修项目|项目属性|金额");
    lines.AddRow();
    GridView grid(lines, form);
    Show(grid);
    const int margins = 2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const auto needs = [&](int col) {  // to be drawn without "…"
      return grid.fontMetrics().horizontalAdvance(Cell(grid, 0, col).data().toString()) + margins;
    };
    int before = 0;
    for (auto [item, amount] : {std::pair{"补胎", "30"},
                                {"前保险杠喷漆", "6000"},
                                {"动平衡", "5"},
                                {"发动机大修 正时皮带套件 气门室盖垫 水泵", "12345.5"}}) {
      lines.SetTextMatrix(1, 0, item);
      lines.SetTextMatrix(1, 2, amount);
      grid.Sync();
      const int width = grid.columnWidth(0);
      QVERIFY2(width >= std::max(before, std::min(needs(0), 240)) && width <= 240, item);
      QVERIFY2(grid.columnWidth(2) >= needs(2), amount);
      before = width;
    }
    grid.horizontalHeader()->resizeSection(0, 50);
    grid.horizontalHeader()->resizeSection(2, 30);
    lines.SetTextMatrix(1, 2, "98765.43");
    grid.Sync();
    QCOMPARE(grid.columnWidth(0), 50);
    QVERIFY(grid.columnWidth(2) >= needs(2));
    QCOMPARE(lines.Col(2).width, UserWidthTwips(30));
  }

  void PickerNarrowsAsTheClerkTypesAndCountsWhatIsLeft() {
    test::ShopFixture shop(
        "INSERT INTO PDMWXXM (AutoID, 编码, 维修项目) VALUES (1, 'XM10', '补胎'), "
        "(2, 'XM2', '精致洗车'), (3, 'XM1', '普通洗车')");
    QCOMPARE(shop.Error(), std::string());
    auto picker = shop.Host()->System().GetPicker("pdmxm");
    QVERIFY(picker && picker->AsPickerUI()->Init(shop.Host()->System(), 0, ""));
    PickerPopup popup(*picker, "");
    Show(popup);
    GridView& list = *popup.View().FirstVisibleGrid();
    QVERIFY(!list.TotalsShown());
    // Codes in the order of their numbers.
    QCOMPARE(list.model()->data(Cell(list, 2, 0)).toString(), QString("XM10"));
    auto* count = qobject_cast<QLabel*>(popup.View().QtWidgetOf(*picker->Form().Find("LblCount")));
    QVERIFY(count);

    auto* search =
        qobject_cast<QLineEdit*>(popup.View().QtWidgetOf(*picker->Form().Find("SearchBox1")));
    QVERIFY(search);
    search->setFocus();
    test::TypeText(search, "洗车");
    test::ProcessQueued();
    QCOMPARE(list.model()->rowCount(), 2);
    QCOMPARE(count->text(), QString("2 / 3"));
    // Down and Enter still choose among what is left.
    QTest::keyClick(search, Qt::Key_Down);
    QTest::keyClick(search, Qt::Key_Return);
    QVERIFY(popup.Result().chosen);
    QCOMPARE(popup.Result().text, std::string("XM2"));
  }

  // A shop's vehicles come a page at a time: moving down past the last row and scrolling to
  // the end each read the next page into the popup.
  void VehiclePopupReadsTheNextPageAtTheEnd() {
    std::string rows;
    for (int i = 0; i < 450; ++i) {
      rows += (i ? ",(" : "(") + std::to_string(i + 1) + ",'N" + std::to_string(i) + "','京A" +
              std::to_string(100 + i) + "')";
    }
    test::ShopFixture shop("INSERT INTO clzl (车辆ID, 车辆编号, 车牌号) VALUES " + rows);
    QCOMPARE(shop.Error(), std::string());
    auto picker = shop.Host()->System().GetPicker("pdmcl");
    QVERIFY(picker && picker->AsPickerUI()->Init(shop.Host()->System(), 0, ""));
    PickerPopup popup(*picker, "");
    Show(popup);
    GridView& list = *popup.View().FirstVisibleGrid();
    QCOMPARE(list.model()->rowCount(), 200);
    auto* search =
        qobject_cast<QLineEdit*>(popup.View().QtWidgetOf(*picker->Form().Find("SearchBox1")));
    QVERIFY(search);
    list.setCurrentIndex(list.model()->index(199, 0));
    QTest::keyClick(search, Qt::Key_Down);
    QCOMPARE(list.model()->rowCount(), 400);
    QCOMPARE(list.currentIndex().row(), 200);
    QCOMPARE(list.model()->data(Cell(list, 200, 0)).toString(), QString("京A300"));
    list.scrollToBottom();
    test::ProcessQueued();
    QCOMPARE(list.model()->rowCount(), 450);
  }

  void SpaceAndAClickTickChooserRows() {
    requisition::SelectionList selection;
    requisition::frmSelWS lines(selection);
    money::frmSelWsJs orders;
    for (framework::OrderChooser* chooser :
         std::initializer_list<framework::OrderChooser*>{&lines, &orders}) {
      for (const char* number : {"W3", "W2", "W1"}) {
        const int row = chooser->Grid().AddRow();
        chooser->Grid().SetTextMatrix(row, requisition::frmSelWS::kColNumber, number);
      }
      FormView view(chooser->Form());
      Show(view);
      GridView& grid = *view.GridViewOf(chooser->Grid());
      QCOMPARE(grid.model()->rowCount(), 3);  // a list to tick takes no new rows
      const int tick = chooser == &lines ? requisition::frmSelWS::kColTick : 0;
      // Space from any cell of the row; a click anywhere in the tick cell.
      grid.setFocus();
      grid.setCurrentIndex(Cell(grid, 1, 3));
      QTest::keyClick(&grid, Qt::Key_Space);
      QVERIFY(chooser->Ticked(2));
      QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                        grid.visualRect(Cell(grid, 0, tick)).topLeft() + QPoint(3, 3));
      QVERIFY(chooser->Ticked(1));
      // The settlement settles one order: the new tick moved.
      QCOMPARE(chooser->Ticked(2), chooser == &lines);
      QCOMPARE(grid.model()->data(Cell(grid, 0, tick), Qt::CheckStateRole).toInt(),
               int(Qt::Checked));
      QTest::keyClick(&grid, Qt::Key_Space);
      QVERIFY(!chooser->Ticked(1));
    }
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::GridsTest)
#include "grids_test.moc"
