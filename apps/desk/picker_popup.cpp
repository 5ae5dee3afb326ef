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

#include "desk/desk_dialogs.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "forms/input.h"
#include "forms/text.h"
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
        // The field's text narrows the list the popup opens with, and the next key adds to it.
        if (auto* line = qobject_cast<QLineEdit*>(box)) line->end(false);
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

namespace {
TypedLookup* activeLookup = nullptr;

bool SameLetters(const std::string& a, const std::string& b) {
  return QString::fromStdString(forms::Trim(a))
             .compare(QString::fromStdString(forms::Trim(b)), Qt::CaseInsensitive) == 0;
}
}  // namespace

TypedLookup* TypedLookup::Active() {
  return activeLookup;
}

TypedLookup::Scope::Scope(TypedLookup& lookup) : previous_(activeLookup) {
  activeLookup = &lookup;
}

TypedLookup::Scope::~Scope() {
  activeLookup = previous_;
}

PickerPopup::Matches PickerPopup::MatchesOf(const std::string& typed) const {
  Matches matches;
  GridView* view = view_->FirstVisibleGrid();
  if (!view) return matches;
  const forms::Grid& grid = view->Grid();
  std::vector<int> columns;
  if (auto* control = dynamic_cast<const framework::PickerControl*>(&picker_)) {
    columns = control->SearchColumns();
  }
  if (columns.empty()) {
    for (int c = 0; c < grid.Cols(); ++c) {
      if (!grid.ColHidden(c)) columns.push_back(c);
    }
  }
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r)) continue;
    matches.shown.push_back(r);
    for (int c : columns) {
      if (SameLetters(grid.TextMatrix(r, c), typed)) {
        matches.exact.push_back(r);
        break;
      }
    }
  }
  return matches;
}

host::PickResult PickerPopup::Resolve(host::IControl& picker, TypedLookup& lookup, QWidget* anchor,
                                      host::IDialogs& dialogs) {
  using Outcome = TypedLookup::Outcome;
  lookup.outcome = Outcome::Passed;
  host::IPickerUI* ui = picker.AsPickerUI();
  // A list of earlier texts only offers them: any text is taken as typed.
  if (!ui || (picker.ClassName() == "sel_TY_INNER" && !lookup.list)) return {};
  // A plate nobody registered is a car that comes for the first time, or a slip of the finger.
  const bool vehicles = picker.ClassName() == "sel_cl";
  host::PickResult result;
  Matches matches;
  // The editor has the keyboard back for what follows (a question, the text kept).
  KeyboardReturn back(anchor ? anchor->window() : nullptr);
  {
    PickerPopup popup(picker, lookup.typed, anchor ? anchor->window() : nullptr);
    matches = popup.MatchesOf(lookup.typed);
    // Where the text names one row, that row; the only row a part of a code starts is taken
    // too, but part of a plate is shown, as a plate is compared whole.
    int row = -1;
    if (matches.exact.size() == 1) {
      row = matches.exact.front();
    } else if (matches.exact.empty() && matches.shown.size() == 1 && !vehicles) {
      row = matches.shown.front();
    }
    if (row >= 0 && !lookup.list) {
      forms::Input::DoubleClick(popup.View().FirstVisibleGrid()->Grid(), row);
    } else if (!matches.shown.empty() || lookup.list) {
      popup.PlaceBelow(anchor);
      popup.exec();
    }
    result = popup.Result();
  }
  ui->DoSaveFormStatus();
  back.Restore();
  if (result.chosen) {
    lookup.outcome = Outcome::Chosen;
    return result;
  }
  if (lookup.list) {
    lookup.outcome = Outcome::Kept;
  } else if (vehicles) {
    const std::string question =
        "车牌号「" + forms::Trim(lookup.typed) + "」不是已登记的车辆，作为新车辆登记吗？";
    lookup.outcome =
        dialogs.Ask(question, "提示：", host::MsgButtons::YesNo, host::MsgIcon::Question,
                    host::MsgAnswer::No) == host::MsgAnswer::Yes
            ? Outcome::Unmatched
            : Outcome::Kept;
  } else {
    lookup.outcome = matches.shown.empty() ? Outcome::Unmatched : Outcome::Kept;
  }
  return {};
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
