#include "desk/grid_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include "forms/input.h"

namespace ws::desk {

int TwipsToPixels(int twips) {
  return std::max(twips / 15, 0);
}
int PixelsToTwips(int pixels) {
  return pixels * 15;
}

GridView::GridView(forms::Grid& grid, forms::Form& form, QWidget* parent)
    : QTableView(parent), form_(form), model_(new GridModel(grid, this)) {
  setModel(model_);
  setObjectName(QString::fromStdString(grid.LayoutKey()));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                  QAbstractItemView::SelectedClicked);
  setAlternatingRowColors(true);
  setWordWrap(false);
  verticalHeader()->hide();
  // Fixed row heights keep a list of 100,000 rows as cheap as one of ten.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  connect(model_, &GridModel::InputDone, this, &GridView::InputDone);
  // A width the user drags is the grid's width: the layout file keeps it.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (syncing_ || col >= Grid().Cols() || size <= 0) return;
    Grid().SetColWidth(col, PixelsToTwips(size));
  });
  // A click on a header sorts a list by that column, ascending first, then descending.
  horizontalHeader()->setSectionsClickable(true);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int col) {
    const int order = col == sortedColumn_ && sortOrder_ == 1 ? 2 : 1;
    forms::InputResult result = forms::Input::SortColumn(Grid(), col, order);
    if (result) {
      sortedColumn_ = col;
      sortOrder_ = order;
      horizontalHeader()->setSortIndicatorShown(true);
      horizontalHeader()->setSortIndicator(col,
                                           order == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
      Sync();
    }
  });
  ApplyColumns(true);
  Sync();
}

void GridView::ApplyColumns(bool widths) {
  forms::Grid& grid = Grid();
  for (int c = 0; c < grid.Cols(); ++c) {
    bool hidden = grid.ColHidden(c);
    if (isColumnHidden(c) != hidden) setColumnHidden(c, hidden);
    if (widths && !hidden) setColumnWidth(c, std::max(TwipsToPixels(grid.Col(c).width), 24));
  }
}

void GridView::Sync() {
  syncing_ = true;
  const bool reset = model_->Sync();
  ApplyColumns(reset);
  forms::Grid& grid = Grid();
  const int modelRow = model_->ModelRow(grid.Row());
  if (modelRow >= 0) {
    int col = std::clamp(grid.Col(), 0, std::max(grid.Cols() - 1, 0));
    if (isColumnHidden(col)) col = horizontalHeader()->logicalIndexAt(0);
    QModelIndex wanted = model_->index(modelRow, std::max(col, 0));
    if (currentIndex().row() != modelRow) {
      selectionModel()->setCurrentIndex(
          wanted, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      scrollTo(wanted);
    }
  } else if (reset) {
    clearSelection();
  }
  syncing_ = false;
}

int GridView::CurrentGridRow() const {
  QModelIndex current = currentIndex();
  return current.isValid() ? model_->GridRow(current.row()) : -1;
}

void GridView::CommitEditor() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void GridView::Report(const forms::InputResult& result) {
  emit InputDone(QString::fromStdString(result.reason));
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (syncing_ || !current.isValid()) return;
  const int row = model_->GridRow(current.row());
  Grid().SetCurrentCol(current.column());
  // Only real rows are rows of the grid; the new-row line becomes one when typed into.
  if (row >= 0 && row < Grid().Rows() && row != Grid().Row()) {
    Report(forms::Input::SelectRow(Grid(), row));
  }
}

void GridView::keyPressEvent(QKeyEvent* event) {
  if (state() != QAbstractItemView::EditingState) {
    const int row = CurrentGridRow();
    if (event->key() == Qt::Key_Delete && row >= 0 && row < Grid().Rows()) {
      Report(forms::Input::DeleteRow(Grid(), row));
      return;
    }
    if (event->key() == Qt::Key_F2 && row >= 0) {
      Report(forms::Input::CellPicker(Grid(), row, currentIndex().column()));
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
  QModelIndex index = indexAt(event->position().toPoint());
  const int row = index.isValid() ? model_->GridRow(index.row()) : -1;
  if (row >= 0 && row < Grid().Rows()) {
    Report(forms::Input::DoubleClick(Grid(), row));
  }
  // An editable cell still opens its editor on a double click.
  if (index.isValid() && (model_->flags(index) & Qt::ItemIsEditable)) {
    QTableView::mouseDoubleClickEvent(event);
  }
}

forms::PopupMenu* GridView::Menu() const {
  for (const auto& child : form_.Children()) {
    if (auto* menu = dynamic_cast<forms::PopupMenu*>(child.get())) return menu;
  }
  return nullptr;
}

bool GridView::ChooseMenuItem(int gridRow, const std::string& key) {
  forms::PopupMenu* menu = Menu();
  if (!menu) return false;
  if (gridRow >= 0 && gridRow < Grid().Rows()) forms::Input::SelectRow(Grid(), gridRow);
  forms::InputResult result = forms::Input::MenuChoice(*menu, key);
  Report(result);
  return result.accepted;
}

void GridView::contextMenuEvent(QContextMenuEvent* event) {
  forms::PopupMenu* menu = Menu();
  if (!menu) return;
  QModelIndex index = indexAt(event->pos());
  const int row = index.isValid() ? model_->GridRow(index.row()) : -1;
  if (row >= 0 && row < Grid().Rows()) {
    Report(forms::Input::SelectRow(Grid(), row));
    Sync();
  }
  // The control builds its items each time the menu is shown.
  if (menu->OnPopup) menu->OnPopup();
  QMenu popup(this);
  for (const auto& item : menu->Items()) {
    if (item.caption == "-") {
      popup.addSeparator();
    } else {
      popup.addAction(QString::fromStdString(item.caption))
          ->setData(QString::fromStdString(item.key));
    }
  }
  if (popup.isEmpty()) return;
  QAction* chosen = popup.exec(event->globalPos());
  if (!chosen) return;
  Report(forms::Input::MenuChoice(*menu, chosen->data().toString().toStdString()));
}

}  // namespace ws::desk
