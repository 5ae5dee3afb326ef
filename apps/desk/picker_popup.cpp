#include "desk/picker_popup.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "forms/input.h"
#include "framework/picker_control.h"

namespace ws::desk {

PickerPopup::PickerPopup(host::IControl& picker, const std::string& text, QWidget* parent)
    : QDialog(parent, Qt::Popup), picker_(picker), previousSink_(picker.Events().Sink()) {
  setObjectName("PickerPopup");
  picker_.Events().AttachSink(this);
  if (host::IPickerUI* ui = picker_.AsPickerUI()) {
    ui->DoGetFormStatus();
    ui->Refresh();
    ui->SetText(text);
  }
  view_ = new FormView(picker_.Form(), this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(view_);
  resize(680, 380);
  for (QLineEdit* line : view_->findChildren<QLineEdit*>()) line->installEventFilter(this);
  if (GridView* grid = view_->FirstVisibleGrid()) {
    grid->installEventFilter(this);
    grid->SetTotalsWanted(false);  // a list to choose from, not figures to add up
    // A paged list reads its next page when the user scrolls to the end of the rows shown.
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, grid](int value) {
      if (value >= grid->verticalScrollBar()->maximum()) LoadMore();
    });
  }
  connect(view_, &FormView::SearchEntered, this, &PickerPopup::ChooseCurrent);
  // Focus on the search box, so typing goes on searching.
  for (const auto& child : picker_.Form().Children()) {
    if (dynamic_cast<forms::SearchBox*>(child.get())) {
      if (QWidget* box = view_->QtWidgetOf(*child)) {
        box->setFocus();
        // The field's text narrows the list the popup opens with; typed over, it goes.
        if (auto* line = qobject_cast<QLineEdit*>(box)) line->selectAll();
      }
      break;
    }
  }
}

PickerPopup::~PickerPopup() {
  picker_.Events().AttachSink(previousSink_);
}

host::PickResult PickerPopup::Run(host::IControl& picker, const std::string& text,
                                  QWidget* anchor) {
  if (!picker.AsPickerUI()) return {};
  PickerPopup popup(picker, text, anchor ? anchor->window() : nullptr);
  popup.PlaceBelow(anchor);
  popup.exec();
  picker.AsPickerUI()->DoSaveFormStatus();
  if (QPointer<QAction> command = popup.command_) {
    // Queued: the field or cell that asked for the picker finishes with the cancelled choice
    // first. A box opened meanwhile owns the keyboard; the key is then dropped.
    QTimer::singleShot(0, command, [command] {
      if (!QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
        command->trigger();
      }
    });
  }
  return popup.Result();
}

void PickerPopup::CloseForCommand(QAction* action) {
  command_ = action;
  reject();
}

void PickerPopup::PlaceBelow(QWidget* anchor) {
  if (!anchor) return;
  // Below the field; in a grid, below the cell being edited.
  QRect below(QPoint(0, 0), anchor->size());
  if (auto* view = qobject_cast<QAbstractItemView*>(anchor);
      view && view->currentIndex().isValid()) {
    below = view->visualRect(view->currentIndex());
    anchor = view->viewport();
  }
  QPoint pos = anchor->mapToGlobal(below.bottomLeft() + QPoint(0, 1));
  if (QScreen* screen = anchor->screen()) {
    QRect area = screen->availableGeometry();
    if (pos.x() + width() > area.right()) pos.setX(std::max(area.left(), area.right() - width()));
    if (pos.y() + height() > area.bottom()) {
      pos.setY(std::max(area.top(), anchor->mapToGlobal(below.topLeft()).y() - height()));
    }
  }
  move(pos);
}

void PickerPopup::OnEvent(const host::Event& event) {
  if (event.name == "DoSelect") {
    host::IPickerUI* ui = picker_.AsPickerUI();
    result_.value = ui->GetValue();
    result_.text = ui->GetText();
    result_.objects = ui->Objects();
    // Choosing on an empty list gives the empty choice (no text, no key or key "0").
    result_.chosen = !result_.text.empty() || (!result_.value.empty() && result_.value != "0");
    accept();
  } else if (event.name == "DoCancel") {
    reject();
  } else if (previousSink_) {
    previousSink_->OnEvent(event);  // Message, ErrMessage, EditForm go on to the host
  }
}

void PickerPopup::ChooseCurrent() {
  GridView* view = view_->FirstVisibleGrid();
  if (!view) return;
  forms::Grid& grid = view->Grid();
  int row = grid.Row();
  if (!grid.IsDataRow(row) || grid.RowHidden(row)) row = view->CurrentGridRow();
  if (row < 0) row = grid.FixedRows();
  if (row >= grid.Rows()) {
    reject();  // nothing to choose from
    return;
  }
  forms::Input::DoubleClick(grid, row);
}

bool PickerPopup::LoadMore() {
  auto* paged = dynamic_cast<framework::PickerControl*>(&picker_);
  if (!paged || !paged->HasMore()) return false;
  // The row the clerk is on stays current through the model's reset that the new rows bring.
  GridView* view = view_->FirstVisibleGrid();
  const int current = view ? view->CurrentGridRow() : -1;
  if (!paged->LoadMore()) return false;
  if (current >= 0) paged->Grid().SetRow(current);
  view_->Refresh();
  return true;
}

void PickerPopup::MoveCurrent(int direction) {
  GridView* view = view_->FirstVisibleGrid();
  if (!view || view->model()->rowCount() == 0) return;
  int row = view->currentIndex().isValid() ? view->currentIndex().row() + direction : 0;
  // Down from the last row shown reads the next page of a paged list.
  if (row >= view->model()->rowCount() && LoadMore()) view = view_->FirstVisibleGrid();
  row = std::clamp(row, 0, view->model()->rowCount() - 1);
  int col = view->currentIndex().isValid() ? view->currentIndex().column() : 0;
  view->setCurrentIndex(view->model()->index(row, col));
}

bool PickerPopup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Down:
        MoveCurrent(+1);
        return true;
      case Qt::Key_Up:
        MoveCurrent(-1);
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        ChooseCurrent();
        return true;
      case Qt::Key_Escape:
        reject();
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ws::desk
