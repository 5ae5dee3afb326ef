#include "desk/form_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "desk/field_editor.h"
#include "desk/form_layout.h"
#include "desk/grid_model.h"
#include "desk/grid_view.h"
#include "forms/input.h"
#include "host/document_control.h"

namespace ws::desk {

namespace {

constexpr int kFieldsPerRow = 3;

bool TakesText(const forms::Widget& w) {
  return dynamic_cast<const forms::Field*>(&w) || dynamic_cast<const forms::TextBox*>(&w);
}

bool IsButtonLike(const forms::Widget& w) {
  return dynamic_cast<const forms::CheckBox*>(&w) || dynamic_cast<const forms::CommandButton*>(&w);
}

QString CaptionOf(const forms::Widget& w) {
  QString caption = QString::fromStdString(w.Caption()).trimmed();
  return caption.isEmpty() ? QString::fromStdString(w.Name()) : caption;
}

}  // namespace

bool IsHeaderLabel(const std::string& name) {
  using host::DocumentControl;
  return name == DocumentControl::kCaptionLabel || name == DocumentControl::kRecordLabel ||
         DocumentControl::IsCheckedStamp(name) || name == DocumentControl::kFilterLabel;
}

FormView::FormView(forms::Form& form, QWidget* parent) : QWidget(parent), form_(form) {
  setObjectName(QString::fromStdString(form.Name()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  AddHeader(layout);
  BuildGroups(layout);
  Build(layout, "");
  AddCompactLine(layout);
  if (form.BackColor() >= 0) {
    QPalette p = palette();
    p.setColor(QPalette::Window, HostColor(form.BackColor()));
    setPalette(p);
    setAutoFillBackground(true);
  }
  Refresh();
}

FormView::~FormView() {
  refreshPending_ = false;
  for (FieldEditor* editor : editors_) {
    editor->blockSignals(true);
    editor->Line()->blockSignals(true);
  }
  for (GridView* view : gridViews_) view->blockSignals(true);
  for (const auto& binding : bindings_) binding.widget->blockSignals(true);
}

void FormView::Bind(forms::Widget& model, QWidget* widget) {
  bindings_.push_back(Binding{&model, widget});
  byModel_[&model] = widget;
}

void FormView::AddHeader(QBoxLayout* layout) {
  auto* header = new QHBoxLayout;
  header_ = header;
  bool any = false;
  for (const auto& child : form_.Children()) {
    auto* label = dynamic_cast<forms::Label*>(child.get());
    if (!label || !IsHeaderLabel(label->Name()) || !label->Container().empty()) continue;
    QWidget* widget = MakeLabel(*label);
    if (label->Name() == host::DocumentControl::kCaptionLabel) {
      header->insertWidget(0, widget);
      header->insertStretch(1);
    } else {
      header->addWidget(widget);
    }
    if (label->Name() == host::DocumentControl::kRecordLabel) {
      // Room for a big list's figures, so the buttons beside it stay put when a count that
      // showed "…" fills in or a move passes a power of ten.
      auto* record = static_cast<QLabel*>(widget);
      record->setMinimumWidth(record->fontMetrics().horizontalAdvance(tr("记录：888888/888888")));
      record->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    any = true;
  }
  // Kept even when empty: the host may add its own buttons to the line.
  if (!any) header->addStretch(1);
  layout->addLayout(header);
}

bool FormView::IsGrouped(const forms::Widget& w) {
  if (w.Place().group.empty()) return false;
  if (auto* label = dynamic_cast<const forms::Label*>(&w)) return !IsHeaderLabel(label->Name());
  return TakesText(w);
}

bool FormView::HoldsGrid(const std::string& frame) const {
  for (const auto& child : form_.Children()) {
    if (child->Container() != frame) continue;
    if (dynamic_cast<const forms::Grid*>(child.get())) return true;
    auto* inner = dynamic_cast<const forms::Frame*>(child.get());
    if (inner && HoldsGrid(inner->Name())) return true;
  }
  return false;
}

bool FormView::HasUngroupedChildren(const std::string& frame) const {
  for (const auto& child : form_.Children()) {
    if (child->Container() != frame || IsGrouped(*child)) continue;
    auto* inner = dynamic_cast<const forms::Frame*>(child.get());
    if (!inner || HasUngroupedChildren(inner->Name())) return true;
  }
  return false;
}

void FormView::AddTextRow(QGridLayout* grid, forms::Widget& w, int row, int col) {
  if (auto* label = dynamic_cast<forms::Label*>(&w)) {
    grid->addWidget(MakeLabel(*label), row, col, 1, 2);
    return;
  }
  auto* caption = new QLabel(CaptionOf(w), this);
  auto* editor = new FieldEditor(w, this);
  caption->setBuddy(editor);
  caption->setVisible(w.Visible());
  if (w.Place().prominent) {
    QFont f = editor->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    editor->setFont(f);
    caption->setFont(f);
  }
  connect(editor, &FieldEditor::InputDone, this, &FormView::AfterInput);
  connect(editor, &FieldEditor::EnterPressed, this, [this, editor] { FocusNextEditor(editor); });
  editors_.push_back(editor);
  Bind(w, editor);
  // The caption follows its editor's visibility.
  bindings_.push_back(Binding{&w, caption});
  grid->addWidget(caption, row, col, Qt::AlignRight);
  grid->addWidget(editor, row, col + 1);
  grid->setColumnStretch(col + 1, 1);
}

void FormView::BuildGroups(QBoxLayout* layout) {
  std::vector<forms::Widget*> placed, compact;
  for (const auto& child : form_.Children()) {
    if (!IsGrouped(*child)) continue;
    (child->Place().compact ? compact : placed).push_back(child.get());
  }
  auto byOrder = [](const forms::Widget* a, const forms::Widget* b) {
    return a->Place().order < b->Place().order;
  };
  std::stable_sort(placed.begin(), placed.end(), byOrder);
  std::stable_sort(compact.begin(), compact.end(), byOrder);
  compact_ = std::move(compact);
  if (placed.empty()) return;

  // Groups in the order of their first field; the Enter and Tab order follows the same way.
  std::vector<std::string> names;
  std::vector<std::vector<forms::Widget*>> members;
  for (forms::Widget* w : placed) {
    auto it = std::find(names.begin(), names.end(), w->Place().group);
    if (it == names.end()) {
      names.push_back(w->Place().group);
      members.emplace_back();
      it = names.end() - 1;
    }
    members[it - names.begin()].push_back(w);
  }
  std::vector<int> counts;
  for (const auto& m : members) counts.push_back(static_cast<int>(m.size()));
  const FormPlan plan = PlanGroups(counts, kFieldsPerRow);

  auto* row = new QHBoxLayout;
  std::vector<QVBoxLayout*> stacks;
  for (int width : plan.stackWidths) {
    auto* stack = new QVBoxLayout;
    stacks.push_back(stack);
    row->addLayout(stack, width);
  }
  for (size_t g = 0; g < names.size(); ++g) {
    auto* box = new QGroupBox(GroupCaption(names[g], members[g]), this);
    box->setObjectName(QString::fromStdString("group_" + names[g]));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    const int columns = plan.stackWidths[plan.stackOf[g]];
    for (size_t i = 0; i < members[g].size(); ++i) {
      AddTextRow(grid, *members[g][i], static_cast<int>(i) / columns,
                 static_cast<int>(i) % columns * 2);
    }
    stacks[plan.stackOf[g]]->addWidget(box);
  }
  for (QVBoxLayout* stack : stacks) stack->addStretch(1);
  layout->addLayout(row);
}

QString FormView::GroupCaption(const std::string& group,
                               const std::vector<forms::Widget*>& members) const {
  // Fields that all sit in one captioned frame take the frame's caption ("本次收款情况").
  const std::string& container = members.front()->Container();
  const bool shared = std::all_of(members.begin(), members.end(), [&](const forms::Widget* w) {
    return w->Container() == container;
  });
  if (shared && !container.empty()) {
    if (auto* frame = form_.FindAs<forms::Frame>(container); frame && !frame->Caption().empty()) {
      return QString::fromStdString(frame->Caption());
    }
  }
  return QString::fromStdString(group);
}

void FormView::AddCompactLine(QBoxLayout* layout) {
  if (compact_.empty()) return;
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  for (size_t i = 0; i < compact_.size(); ++i) {
    AddTextRow(grid, *compact_[i], 0, static_cast<int>(i) * 2);
  }
  layout->addLayout(grid);
}

void FormView::Build(QBoxLayout* layout, const std::string& container) {
  std::vector<forms::Widget*> texts, buttons, tabs, labels, blocks;
  std::vector<std::string> nameOrder;
  for (const auto& child : form_.Children()) {
    forms::Widget& w = *child;
    if (w.Container() != container || IsGrouped(w)) continue;
    if (std::find(nameOrder.begin(), nameOrder.end(), w.Name()) == nameOrder.end()) {
      nameOrder.push_back(w.Name());
    }
    if (TakesText(w)) {
      texts.push_back(&w);
    } else if (dynamic_cast<forms::OptionButton*>(&w) && container.empty()) {
      tabs.push_back(&w);
    } else if (IsButtonLike(w) || dynamic_cast<forms::SearchBox*>(&w)) {
      buttons.push_back(&w);
    } else if (auto* label = dynamic_cast<forms::Label*>(&w)) {
      if (!(container.empty() && IsHeaderLabel(label->Name()))) labels.push_back(&w);
    } else if (dynamic_cast<forms::Grid*>(&w)) {
      blocks.push_back(&w);
    } else if (auto* frame = dynamic_cast<forms::Frame*>(&w)) {
      if (HasUngroupedChildren(frame->Name())) blocks.push_back(&w);
    }
  }
  // Control arrays in index order, at the place their name first appears.
  auto rank = [&](const forms::Widget* w) {
    return std::make_pair(
        std::find(nameOrder.begin(), nameOrder.end(), w->Name()) - nameOrder.begin(), w->Index());
  };
  std::stable_sort(texts.begin(), texts.end(), [&](const forms::Widget* a, const forms::Widget* b) {
    return rank(a) < rank(b);
  });

  if (!texts.empty()) {
    // A card (no grid below) packs its fields at the top in two columns; a form above a grid
    // spends three columns to leave the grid its rows.
    const bool card =
        container.empty() &&
        std::none_of(form_.Children().begin(), form_.Children().end(),
                     [](const auto& c) { return dynamic_cast<forms::Grid*>(c.get()) != nullptr; });
    const int perRow = card ? 2 : kFieldsPerRow;
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    for (size_t i = 0; i < texts.size(); ++i) {
      AddTextRow(grid, *texts[i], static_cast<int>(i) / perRow, static_cast<int>(i) % perRow * 2);
    }
    if (card) {
      // Half a metre of editor helps nobody read a plate: a card keeps a readable width.
      auto* holder = new QWidget(this);
      holder->setLayout(grid);
      holder->setMaximumWidth(900);
      holder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      grid->setContentsMargins(0, 0, 0, 0);
      auto* row = new QHBoxLayout;
      row->addWidget(holder, 1);
      row->addStretch(0);
      layout->addLayout(row);
    } else {
      layout->addLayout(grid);
    }
  }
  // A dialog's answer buttons close it: they sit bottom right, where every dialog has them.
  std::vector<forms::Widget*> answers;
  if (container.empty()) {
    for (forms::Widget* w : buttons) {
      auto* button = dynamic_cast<forms::CommandButton*>(w);
      if (button && button->Answers()) answers.push_back(w);
    }
    std::erase_if(buttons, [&](forms::Widget* w) {
      return std::find(answers.begin(), answers.end(), w) != answers.end();
    });
  }
  if (!buttons.empty()) {
    auto* line = new QHBoxLayout;
    for (forms::Widget* w : buttons) {
      if (auto* box = dynamic_cast<forms::SearchBox*>(w)) {
        line->addWidget(MakeSearchBox(*box), 2);
      } else {
        line->addWidget(MakeButton(*w));
      }
    }
    line->addStretch(1);
    layout->addLayout(line);
  }
  if (!labels.empty()) {
    auto* line = new QHBoxLayout;
    for (forms::Widget* w : labels) line->addWidget(MakeLabel(static_cast<forms::Label&>(*w)));
    line->addStretch(1);
    layout->addLayout(line);
  }
  if (!tabs.empty()) layout->addWidget(MakeTabBar(tabs));
  for (forms::Widget* w : blocks) {
    if (auto* grid = dynamic_cast<forms::Grid*>(w)) {
      auto* view = new GridView(*grid, form_, this);
      connect(view, &GridView::InputDone, this, [this](const QString& refusal) {
        // A cell edit arrives inside the view's commit: the model is reset afterwards.
        ScheduleRefresh();
        emit InputDone(refusal);
      });
      gridViews_.push_back(view);
      Bind(*grid, view);
      layout->addWidget(view, 1);
    } else {
      auto* frame = static_cast<forms::Frame*>(w);
      QWidget* box = nullptr;
      if (frame->Caption().empty()) {
        box = new QWidget(this);
      } else {
        box = new QGroupBox(QString::fromStdString(frame->Caption()), this);
      }
      box->setObjectName(QString::fromStdString(frame->LayoutKey()));
      auto* inner = new QVBoxLayout(box);
      inner->setContentsMargins(0, 0, 0, 0);
      Build(inner, frame->Name());
      Bind(*frame, box);
      // Only a frame holding a list takes the height left; options and fields keep theirs.
      layout->addWidget(box, HoldsGrid(frame->Name()) ? 1 : 0);
    }
  }
  if (!answers.empty()) {
    auto* line = new QHBoxLayout;
    line->addStretch(1);
    for (forms::Widget* w : answers) line->addWidget(MakeButton(*w));
    layout->addLayout(line);
  }
  if (container.empty() && blocks.empty()) layout->addStretch(1);
}

QWidget* FormView::MakeTabBar(const std::vector<forms::Widget*>& options) {
  // Options that switch what the form shows below them (items or parts) read as tabs.
  auto* bar = new QTabBar(this);
  bar->setObjectName("optionTabs");
  bar->setExpanding(false);
  bar->setDrawBase(false);
  for (forms::Widget* option : options) bar->addTab(CaptionOf(*option));
  tabBars_.push_back(TabBinding{bar, options});
  // Ctrl+PgDown / Ctrl+PgUp turn the tabs from wherever the cursor is, and the cursor follows
  // into the list the tab shows.
  for (bool forward : {true, false}) {
    auto* turn = new QShortcut(forward ? QKeySequence(Qt::CTRL | Qt::Key_PageDown)
                                       : QKeySequence(Qt::CTRL | Qt::Key_PageUp),
                               this);
    turn->setContext(Qt::WidgetWithChildrenShortcut);
    connect(turn, &QShortcut::activated, this, [this, bar, forward] {
      const int count = bar->count();
      if (count < 2) return;
      bar->setCurrentIndex((bar->currentIndex() + (forward ? 1 : count - 1)) % count);
      if (GridView* grid = FirstVisibleGrid()) grid->EnterLines(Qt::ShortcutFocusReason);
    });
  }
  connect(bar, &QTabBar::currentChanged, this, [this, options](int index) {
    if (syncingTabs_ || index < 0 || index >= static_cast<int>(options.size())) return;
    forms::InputResult result = forms::Input::Click(*options[index]);
    AfterInput(QString::fromStdString(result.reason));
  });
  return bar;
}

void FormView::SyncTabs() {
  syncingTabs_ = true;
  for (const TabBinding& tabs : tabBars_) {
    bool anyVisible = false;
    for (size_t i = 0; i < tabs.options.size(); ++i) {
      const auto* option = static_cast<const forms::CheckBox*>(tabs.options[i]);
      tabs.bar->setTabEnabled(static_cast<int>(i), option->Enabled());
      tabs.bar->setTabVisible(static_cast<int>(i), option->Visible());
      anyVisible = anyVisible || option->Visible();
      if (option->Checked() && tabs.bar->currentIndex() != static_cast<int>(i)) {
        tabs.bar->setCurrentIndex(static_cast<int>(i));
      }
    }
    tabs.bar->setVisible(anyVisible);
  }
  syncingTabs_ = false;
}

void FormView::AddHeaderWidget(QWidget* widget) {
  // After the title and its stretch, before the record count and the stamps.
  header_->insertWidget(2, widget);
}

QWidget* FormView::MakeButton(forms::Widget& widget) {
  QAbstractButton* button = nullptr;
  const QString caption = CaptionOf(widget);
  if (dynamic_cast<forms::OptionButton*>(&widget)) {
    auto* radio = new QRadioButton(caption, this);
    radio->setAutoExclusive(false);  // the control decides which option is on
    button = radio;
  } else if (dynamic_cast<forms::CheckBox*>(&widget)) {
    button = new QCheckBox(caption, this);
  } else {
    button = new QPushButton(caption, this);
  }
  button->setObjectName(QString::fromStdString(widget.LayoutKey()));
  connect(button, &QAbstractButton::clicked, this, [this, &widget] {
    forms::InputResult result = forms::Input::Click(widget);
    AfterInput(QString::fromStdString(result.reason));
  });
  Bind(widget, button);
  return button;
}

QWidget* FormView::MakeSearchBox(forms::SearchBox& box) {
  auto* line = new QLineEdit(this);
  line->setObjectName(QString::fromStdString(box.LayoutKey()));
  line->setClearButtonEnabled(true);
  line->setPlaceholderText(box.ToolTip().empty() ? tr("搜索")
                                                 : QString::fromStdString(box.ToolTip()));
  line->setMinimumWidth(200);
  connect(line, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
    forms::InputResult result = forms::Input::Type(box, text.toStdString());
    AfterInput(QString::fromStdString(result.reason));
  });
  // The clear button empties the text without an edit signal of its own.
  connect(line, &QLineEdit::textChanged, this, [this, &box](const QString& text) {
    if (text.isEmpty() && !box.Text().empty()) {
      forms::InputResult result = forms::Input::Type(box, "");
      AfterInput(QString::fromStdString(result.reason));
    }
  });
  connect(line, &QLineEdit::returnPressed, this, &FormView::SearchEntered);
  Bind(box, line);
  return line;
}

QWidget* FormView::MakeLabel(forms::Label& label) {
  auto* widget = new QLabel(this);
  widget->setObjectName(QString::fromStdString(label.LayoutKey()));
  if (label.Name() == host::DocumentControl::kCaptionLabel) {
    QFont f = widget->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    widget->setFont(f);
  } else if (host::DocumentControl::IsCheckedStamp(label.Name())) {
    widget->setStyleSheet(
        "QLabel { color: #c00000; border: 2px solid #c00000; padding: 2px 8px;"
        " font-weight: bold; }");
  } else if (label.Name() == host::DocumentControl::kFilterLabel) {
    widget->setStyleSheet("QLabel { color: #0050a0; }");
  } else if (label.Place().prominent) {
    widget->setStyleSheet("QLabel { color: #803000; font-weight: bold; }");
    widget->setWordWrap(true);
  }
  Bind(label, widget);
  return widget;
}

void FormView::SyncOne(const Binding& binding) {
  forms::Widget& model = *binding.model;
  QWidget* widget = binding.widget;
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (dynamic_cast<forms::Label*>(&model)) {
      QString text = QString::fromStdString(model.Caption());
      if (text.isEmpty() && host::DocumentControl::IsCheckedStamp(model.Name()))
        text = tr("已审核");
      if (text.isEmpty() && model.Name() == host::DocumentControl::kFilterLabel)
        text = tr("已过滤");
      // A bare figure says what it is when its control tells (金额合计：87.55).
      if (!text.isEmpty() && !model.ToolTip().empty() && !IsHeaderLabel(model.Name())) {
        text = QString::fromStdString(model.ToolTip()) + tr("：") + text;
      }
      if (label->text() != text) label->setText(text);
    }
    label->setVisible(model.Visible());  // a field's caption follows the field
    return;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    QString caption = CaptionOf(model);
    if (button->text() != caption) button->setText(caption);
    if (auto* box = dynamic_cast<forms::CheckBox*>(&model)) button->setChecked(box->Checked());
    button->setEnabled(model.Enabled());
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    auto& box = static_cast<forms::SearchBox&>(model);
    const QString text = QString::fromStdString(box.Text());
    if (!line->hasFocus() && line->text() != text) line->setText(text);
    line->setEnabled(model.Enabled());
  } else if (!qobject_cast<FieldEditor*>(widget) && !qobject_cast<GridView*>(widget)) {
    widget->setEnabled(model.Enabled());
  }
  if (widget->isHidden() == model.Visible()) widget->setVisible(model.Visible());
  if (model.ToolTip().size() && !qobject_cast<FieldEditor*>(widget)) {
    widget->setToolTip(QString::fromStdString(model.ToolTip()));
  }
}

void FormView::Refresh() {
  refreshPending_ = false;
  for (const auto& binding : bindings_) SyncOne(binding);
  SyncTabs();
  for (FieldEditor* editor : editors_) editor->Sync();
  for (GridView* view : gridViews_) {
    view->setEnabled(view->Grid().Enabled());
    view->Sync();
  }
  ApplyFocus();
}

void FormView::SyncLabels() {
  for (const auto& binding : bindings_) {
    if (dynamic_cast<forms::Label*>(binding.model)) SyncOne(binding);
  }
}

void FormView::ApplyFocus() {
  if (form_.FocusRequests() == 0 && !searchFocused_) {
    // A chooser's rows are what the clerk came for: Space ticks and Enter confirms from its
    // list. Any other list that asked for nothing waits for what the clerk searches.
    GridView* list = FirstVisibleGrid();
    if (list && list->isVisible() && HasTickColumn(list->Grid()) && list->model()->rowCount() > 0) {
      searchFocused_ = true;
      list->setFocus(Qt::OtherFocusReason);
      if (!list->currentIndex().isValid()) list->setCurrentIndex(list->model()->index(0, 0));
      return;
    }
    for (const auto& child : form_.Children()) {
      auto* box = dynamic_cast<forms::SearchBox*>(child.get());
      QWidget* line = box ? QtWidgetOf(*box) : nullptr;
      if (line && line->isVisible()) {
        searchFocused_ = true;
        line->setFocus(Qt::OtherFocusReason);
        return;
      }
    }
  }
  if (form_.FocusRequests() == focusRequests_) return;
  forms::Widget* focus = form_.Focus();
  QWidget* widget = focus ? QtWidgetOf(*focus) : nullptr;
  // A form not on screen yet keeps the request until it is shown.
  if (widget && !widget->isVisible() && !isVisible()) return;
  focusRequests_ = form_.FocusRequests();
  if (widget && widget->isVisible()) widget->setFocus(Qt::OtherFocusReason);
}

void FormView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  QTimer::singleShot(0, this, [this] { ApplyFocus(); });
}

void FormView::ScheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (refreshPending_) Refresh();
  });
}

bool FormView::HasPendingInput() const {
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !isAncestorOf(focus)) return false;
  for (FieldEditor* editor : editors_) {
    if (editor->isAncestorOf(focus)) return editor->Pending();
  }
  for (GridView* view : gridViews_) {
    if (view->isAncestorOf(focus)) return focus != view;
  }
  return false;
}

void FormView::DropPendingInput() {
  for (FieldEditor* editor : editors_) editor->DropTyped();
}

bool FormView::CommitPendingInput() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !isAncestorOf(focus)) return true;
  for (FieldEditor* editor : editors_) {
    if (editor->isAncestorOf(focus)) {
      return editor->Commit();
    }
  }
  for (GridView* view : gridViews_) {
    if (view->isAncestorOf(focus)) {
      view->CommitEditor();
      return true;
    }
  }
  return true;
}

void FormView::AfterInput(const QString& refusal) {
  Refresh();
  emit InputDone(refusal);
}

void FormView::FocusNextEditor(FieldEditor* from) {
  if (enterRunsQuery_) {
    emit QueryRequested();
    return;
  }
  auto it = std::find(editors_.begin(), editors_.end(), from);
  if (it == editors_.end()) return;
  for (++it; it != editors_.end(); ++it) {
    if ((*it)->isVisible() && (*it)->isEnabled() && !(*it)->Line()->isReadOnly()) {
      (*it)->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  if (GridView* grid = FirstVisibleGrid()) grid->EnterLines(Qt::TabFocusReason);
}

QWidget* FormView::QtWidgetOf(const forms::Widget& widget) const {
  auto it = byModel_.find(&widget);
  return it == byModel_.end() ? nullptr : it->second;
}

FieldEditor* FormView::EditorOf(const forms::Widget& widget) const {
  return qobject_cast<FieldEditor*>(QtWidgetOf(widget));
}

GridView* FormView::GridViewOf(const forms::Widget& grid) const {
  return qobject_cast<GridView*>(QtWidgetOf(grid));
}

GridView* FormView::FirstVisibleGrid() const {
  for (GridView* view : gridViews_) {
    if (view->Grid().Visible()) return view;
  }
  return nullptr;
}

}  // namespace ws::desk
