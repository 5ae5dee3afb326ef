// The grid adapter: what a QTableView shows of a headless grid, and that every edit, deletion,
// double click and menu choice reaches the control through the input API.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "db/value.h"
#include "desk/grid_model.h"
#include "desk/grid_view.h"
#include "forms/form.h"

namespace ws::desk {

namespace {

// A line grid as the repair order has one: row number, code with key, name (locked, with the
// read-only colours), quantity, price, amount (formatted), hidden line id.
forms::Grid& MakeLineGrid(forms::Form& form) {
  auto& grid = form.Add<forms::Grid>("ywGridXM");
  grid.SetFormatString("行号|编码|名称|数量|单价|金额|单据明细ID");
  grid.Col(0).editable = false;
  grid.Col(2).editable = false;
  grid.Col(2).readOnlyForeColor = 0x404040;
  grid.Col(2).readOnlyBackColor = 0xF0E0D0;  // BGR: blue F0, green E0, red D0
  for (int c : {3, 4, 5}) grid.Col(c).format = "###.00";
  grid.SetColHidden(6, true);
  grid.SetEditable(true);
  return grid;
}

void AddLine(forms::Grid& grid, const std::string& code, const std::string& key, double qty,
             double price) {
  int r = grid.AddRow();
  grid.SetTextMatrix(r, 1, code);
  grid.SetCellKey(r, 1, key);
  grid.SetTextMatrix(r, 2, "名称" + code);
  grid.SetTextMatrix(r, 3, db::DecimalText(qty));
  grid.SetTextMatrix(r, 4, db::DecimalText(price));
  grid.SetTextMatrix(r, 5, db::DecimalText(qty * price));
}

// The control's side of a line grid: amount := quantity × price after an edit, and a record
// of what reached it.
struct LineLogic {
  forms::Grid& grid;
  std::vector<std::pair<int, int>> edits;
  std::vector<int> deleted, doubleClicked;
  std::vector<std::string> menuKeys;
  bool keepRows = false;

  explicit LineLogic(forms::Grid& g, forms::Form& form) : grid(g) {
    grid.OnAfterEdit = [this](int row, int col) {
      edits.emplace_back(row, col);
      if (col == 3 || col == 4) {
        double amount =
            db::NumericValue(grid.TextMatrix(row, 3)) * db::NumericValue(grid.TextMatrix(row, 4));
        grid.SetTextMatrix(row, 5, db::DecimalText(amount));
      }
    };
    grid.OnBeforeDeleteRow = [this](int row) {
      deleted.push_back(row);
      return !keepRows;
    };
    grid.OnDblClick = [this](int row) { doubleClicked.push_back(row); };
    auto& menu = form.Add<forms::PopupMenu>("m_cMenu");
    menu.OnPopup = [&menu] {
      menu.Clear();
      menu.AddItem("新建", "Add");
      menu.AddItem("-", "");
      menu.AddItem("删除", "Delete");
    };
    menu.OnItemClick = [this](const std::string& key) { menuKeys.push_back(key); };
  }
};

}  // namespace

class GridModelTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsTheGridAsTheControlKeepsIt() {
    forms::Form form;
    forms::Grid& grid = MakeLineGrid(form);
    AddLine(grid, "X01", "11", 3, 12.5);
    AddLine(grid, "X02", "12", 1, 13.3333333);
    GridModel model(grid);
    // Two data rows and the new-row line of an editable grid; the header row is the header.
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 7);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("编码"));
    // Display through the column format, editing on the stored text, keys kept.
    QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QString("37.50"));
    QCOMPARE(model.data(model.index(1, 4), Qt::DisplayRole).toString(), QString("13.33"));
    QCOMPARE(model.data(model.index(1, 4), Qt::EditRole).toString(), QString("13.3333333"));
    QCOMPARE(model.data(model.index(1, 1), GridModel::kKeyRole).toString(), QString("12"));
    QVERIFY(model.data(model.index(0, 5), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    // The locked name column: read-only colours, no editing; the code column is editable.
    QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QColor>(),
             QColor(0xD0, 0xE0, 0xF0));
    QCOMPARE(model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>(),
             QColor(0x40, 0x40, 0x40));
    QVERIFY(!(model.flags(model.index(0, 2)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!model.data(model.index(0, 1), Qt::BackgroundRole).isValid());
    // A read-only grid: no new-row line, nothing editable.
    grid.SetEditable(false);
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));

    // Hidden rows are left out, and rows map both ways.
    grid.SetRowHidden(1, true);
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.GridRow(0), 2);
    QCOMPARE(model.ModelRow(1), -1);
    QCOMPARE(model.ModelRow(2), 0);
    // An unchanged shape repaints without a reset.
    grid.SetTextMatrix(2, 6, "99");
    QVERIFY(!model.Sync());

    // The view hides the hidden column and takes the widths.
    grid.SetRowHidden(1, false);
    GridView view(grid, form);
    QVERIFY(view.isColumnHidden(6));
    QVERIFY(!view.isColumnHidden(5));
    QCOMPARE(view.columnWidth(1), TwipsToPixels(grid.Col(1).width));
  }

  void EditsGoThroughTheInputApi() {
    forms::Form form;
    forms::Grid& grid = MakeLineGrid(form);
    LineLogic logic(grid, form);
    AddLine(grid, "X01", "11", 3, 12.5);
    GridModel model(grid);
    QSignalSpy done(&model, &GridModel::InputDone);

    // Quantity typed: the control's handler runs and recomputes the amount.
    QVERIFY(model.setData(model.index(0, 3), "4", Qt::EditRole));
    QCOMPARE(logic.edits.size(), size_t{1});
    QCOMPARE(logic.edits[0], std::make_pair(1, 3));
    QCOMPARE(grid.TextMatrix(1, 5), std::string("50"));
    model.Sync();
    QCOMPARE(model.data(model.index(0, 5), Qt::DisplayRole).toString(), QString("50.00"));
    // The same text again is no edit.
    QVERIFY(!model.setData(model.index(0, 3), "4", Qt::EditRole));
    QCOMPARE(logic.edits.size(), size_t{1});
    // A locked column is refused by the input API and the refusal is reported.
    QVERIFY(!model.setData(model.index(0, 2), "改名", Qt::EditRole));
    QCOMPARE(grid.TextMatrix(1, 2), std::string("名称X01"));
    QVERIFY(!done.last().at(0).toString().isEmpty());
    // Typing into the new-row line makes it a row of the grid.
    QVERIFY(model.IsNewRowLine(1));
    QVERIFY(!model.setData(model.index(1, 1), "", Qt::EditRole));
    QVERIFY(model.setData(model.index(1, 1), "X09", Qt::EditRole));
    QCOMPARE(grid.DataRows(), 2);
    QCOMPARE(grid.TextMatrix(2, 1), std::string("X09"));
    QVERIFY(model.Sync());
    QCOMPARE(model.rowCount(), 3);
    // A grid the control locked takes nothing.
    grid.SetLocked(true);
    model.Sync();
    QVERIFY(!model.setData(model.index(0, 4), "1", Qt::EditRole));
  }

  void ViewKeysClicksAndMenu() {
    forms::Form form;
    forms::Grid& grid = MakeLineGrid(form);
    LineLogic logic(grid, form);
    for (int i = 0; i < 3; ++i) AddLine(grid, "X0" + std::to_string(i), std::to_string(i), 1, 1);
    GridView view(grid, form);
    view.resize(600, 300);
    view.show();
    QSignalSpy done(&view, &GridView::InputDone);

    // Moving the current index moves the grid's current row.
    view.setCurrentIndex(view.model()->index(1, 1));
    QCOMPARE(grid.Row(), 2);
    // Delete removes the current row through the control, which may keep it.
    logic.keepRows = true;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(logic.deleted, std::vector<int>{2});
    QCOMPARE(grid.DataRows(), 3);
    logic.keepRows = false;
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(grid.DataRows(), 2);
    QCOMPARE(grid.TextMatrix(2, 1), std::string("X02"));
    view.Sync();
    QCOMPARE(view.model()->rowCount(), 3);

    // A double click on a row is the grid's double click.
    QRect cell = view.visualRect(view.model()->index(0, 2));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(logic.doubleClicked, std::vector<int>{1});

    // The right-click menu: the control builds the items, the choice reaches it by key.
    QVERIFY(view.ChooseMenuItem(2, "Delete"));
    QCOMPARE(logic.menuKeys, std::vector<std::string>{"Delete"});
    QCOMPARE(grid.Row(), 2);
    QVERIFY(!view.ChooseMenuItem(1, "-"));  // a separator is no choice
    QVERIFY(done.count() >= 4);
  }

  void HundredThousandRows() {
    forms::Form form;
    auto& grid = form.Add<forms::Grid>("Vs", -1, forms::kFlexGrid);
    grid.SetFormatString("行号|编号|车牌号|AutoID");
    grid.SetColHidden(3, true);
    constexpr int kRows = 100000;
    grid.SetRows(1 + kRows);
    for (int r = 1; r <= kRows; ++r) {
      grid.SetTextMatrix(r, 1, "V" + std::to_string(r));
      grid.SetTextMatrix(r, 3, std::to_string(r));
    }
    GridView view(grid, form);
    view.resize(800, 600);
    view.show();
    auto& model = view.Model();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QCOMPARE(model.rowCount(), kRows);
    QCOMPARE(model.data(model.index(kRows - 1, 1), Qt::DisplayRole).toString(),
             QString("V%1").arg(kRows));
    // The list is loaded again with one more row: one reset, whatever the size.
    grid.SetRows(grid.Rows() + 1);
    grid.SetTextMatrix(kRows + 1, 1, "V-last");
    grid.SetRow(kRows + 1);
    view.Sync();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(model.rowCount(), kRows + 1);
    QCOMPARE(view.currentIndex().row(), kRows);
    // A filter that hides all but every tenth row.
    for (int r = 1; r <= kRows; ++r) grid.SetRowHidden(r, r % 10 != 0);
    view.Sync();
    QCOMPARE(resets.count(), 2);
    QCOMPARE(model.rowCount(), kRows / 10 + 1);
    QCOMPARE(model.GridRow(0), 10);
    // A header click sorts the list; a second click on it reverses the order.
    grid.SetTextMatrix(kRows + 1, 3, std::to_string(kRows + 1));
    emit view.horizontalHeader()->sectionClicked(3);
    QCOMPARE(model.data(model.index(0, 3), Qt::DisplayRole).toString(), QString("10"));
    emit view.horizontalHeader()->sectionClicked(3);
    QCOMPARE(model.data(model.index(0, 3), Qt::DisplayRole).toString(), QString("100001"));
    QCOMPARE(model.rowCount(), kRows / 10 + 1);
    // No widget per cell: the view owns a handful of children, not a hundred thousand.
    QVERIFY(view.findChildren<QWidget*>().size() < 50);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::GridModelTest)
#include "grid_model_test.moc"
