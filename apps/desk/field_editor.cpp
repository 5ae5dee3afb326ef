#include "desk/field_editor.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QWidgetAction>

#include "desk/picker_popup.h"
#include "forms/input.h"
#include "forms/text.h"

namespace ws::desk {

namespace {
const char* kDatePattern = R"(\d{0,4}(-\d{0,2}(-\d{0,2})?)?)";
const char* kNumberPattern = R"(-?\d*(\.\d*)?)";
}  // namespace

FieldEditor::FieldEditor(forms::Widget& widget, QWidget* parent)
    : QWidget(parent), widget_(widget) {
  setObjectName(QString::fromStdString(widget.LayoutKey()));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (auto* combo = dynamic_cast<forms::ComboBox*>(&widget)) {
    combo_ = new QComboBox(this);
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& item : combo->items) combo_->addItem(QString::fromStdString(item));
    line_ = combo_->lineEdit();
    layout->addWidget(combo_);
    connect(combo_, &QComboBox::activated, this, [this] { Commit(); });
  } else {
    line_ = new QLineEdit(this);
    layout->addWidget(line_);
  }
  setFocusProxy(line_);
  line_->installEventFilter(this);
  if (IsDate()) {
    line_->setValidator(new QRegularExpressionValidator(QRegularExpression(kDatePattern), line_));
    line_->setPlaceholderText("yyyy-mm-dd");
  } else if (IsNumber()) {
    line_->setValidator(new QRegularExpressionValidator(QRegularExpression(kNumberPattern), line_));
    line_->setAlignment(Qt::AlignRight);
  }
  if (IsLookup() || IsDate()) {
    button_ = new QToolButton(this);
    button_->setObjectName(objectName() + "_button");
    button_->setText(IsDate() ? QStringLiteral("…") : QStringLiteral("▾"));
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setToolTip(IsDate() ? tr("日历") : tr("选择 (F2)"));
    // A clerk who knows the code types it and presses Enter; several rows it starts are listed
    // to choose from then, never guessed. The empty field says so.
    if (IsLookup()) line_->setPlaceholderText(tr("输入后回车，F2 列表"));
    layout->addWidget(button_);
    connect(button_, &QToolButton::clicked, this, [this] {
      if (IsDate()) {
        ShowCalendar();
      } else {
        RequestPicker();
      }
    });
  }
  connect(line_, &QLineEdit::editingFinished, this, [this] {
    // The focus went to a box or a popup (a question, a picker): the text waits for the
    // editor to have it back, rather than opening a picker over the box.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
    Commit();
  });
  Sync();
}

bool FieldEditor::IsDate() const {
  if (auto* field = dynamic_cast<const forms::Field*>(&widget_)) {
    return field->Kind() == forms::FieldKind::Date;
  }
  return dynamic_cast<const forms::DatePicker*>(&widget_) != nullptr;
}

bool FieldEditor::IsNumber() const {
  auto* field = dynamic_cast<const forms::Field*>(&widget_);
  return field && field->Kind() == forms::FieldKind::Number;
}

bool FieldEditor::IsLookup() const {
  auto* field = dynamic_cast<const forms::Field*>(&widget_);
  return field && field->Kind() == forms::FieldKind::Lookup;
}

std::string FieldEditor::ModelText() const {
  if (auto* field = dynamic_cast<const forms::Field*>(&widget_)) return field->Text();
  if (auto* box = dynamic_cast<const forms::TextBox*>(&widget_)) return box->Text();
  return {};
}

void FieldEditor::Sync() {
  const QString text = QString::fromStdString(ModelText());
  // Text typed but not yet handed over stays until Enter or leaving the editor.
  const bool typing = line_->hasFocus() && line_->isModified();
  if (!typing && line_->text() != text) {
    line_->setText(text);
    line_->setCursorPosition(0);
  }
  if (!typing) line_->setModified(false);
  const bool locked = widget_.Locked();
  line_->setReadOnly(locked);
  if (combo_) combo_->setEnabled(widget_.Enabled());
  setEnabled(widget_.Enabled());
  if (button_) button_->setEnabled(widget_.AcceptsInput());

  QString tip = QString::fromStdString(widget_.ToolTip());
  QString style;
  if (auto* field = dynamic_cast<const forms::Field*>(&widget_); field && !field->Valid()) {
    tip = QString::fromStdString(field->Hint());
    style = "QLineEdit { border: 2px solid #d00000; }";
  } else if (locked) {
    style = "QLineEdit { background: #f0f0f0; color: #404040; }";
  }
  line_->setToolTip(tip);
  if (style != style_) {
    style_ = style;
    line_->setStyleSheet(style);
  }
  setVisible(widget_.Visible());
}

bool FieldEditor::Commit() {
  // Leaving the editor for the picker or a question hands nothing over.
  if (resolving_) return false;
  if (line_->isReadOnly() || !widget_.AcceptsInput()) return true;
  const std::string typed = line_->text().toStdString();
  line_->setModified(false);
  if (typed == ModelText()) return true;
  if (IsLookup() && !forms::Trim(typed).empty()) {
    switch (static_cast<TypedLookup::Outcome>(Lookup(typed, false))) {
      case TypedLookup::Outcome::Chosen:
        emit InputDone({});
        return true;
      case TypedLookup::Outcome::Kept:
        KeepTyped(typed);
        return false;
      default:
        break;  // the control judges the text as typed
    }
  }
  forms::InputResult result = forms::Input::Type(widget_, typed);
  emit InputDone(QString::fromStdString(result.reason));
  return true;
}

void FieldEditor::CommitWhileTyping() {
  static const QRegularExpression complete(R"(^-?\d+(\.\d+)?$)");
  if (!complete.match(line_->text()).hasMatch()) return;
  Commit();
  line_->setModified(true);  // still being typed: a refresh leaves the line alone
}

bool FieldEditor::Pending() const {
  return line_->isModified() && line_->text().toStdString() != ModelText();
}

void FieldEditor::DropTyped() {
  line_->setModified(false);
  Sync();
}

std::string FieldEditor::ShownText() const {
  return Pending() ? line_->text().toStdString() : ModelText();
}

int FieldEditor::Lookup(const std::string& typed, bool list) {
  TypedLookup lookup{.typed = typed, .list = list};
  resolving_ = true;
  {
    TypedLookup::Scope scope(lookup);
    forms::Input::Picker(static_cast<forms::Field&>(widget_));
  }
  resolving_ = false;
  return static_cast<int>(lookup.outcome);
}

void FieldEditor::KeepTyped(const std::string& typed) {
  line_->setText(QString::fromStdString(typed));
  line_->setModified(true);
  line_->setFocus(Qt::OtherFocusReason);
}

void FieldEditor::RequestPicker() {
  auto* field = dynamic_cast<forms::Field*>(&widget_);
  if (!field || resolving_) return;
  const std::string typed = line_->text().toStdString();
  if (line_->isModified() && typed != ModelText() && widget_.AcceptsInput()) {
    line_->setModified(false);
    const auto outcome = static_cast<TypedLookup::Outcome>(Lookup(typed, true));
    // A control that answered without the host's picker has said what the field holds.
    if (outcome == TypedLookup::Outcome::Chosen || outcome == TypedLookup::Outcome::NotAsked) {
      emit InputDone({});
    } else {
      KeepTyped(typed);
    }
    return;
  }
  resolving_ = true;
  forms::InputResult result = forms::Input::Picker(*field);
  resolving_ = false;
  emit InputDone(QString::fromStdString(result.reason));
}

void FieldEditor::ShowCalendar() {
  if (!widget_.AcceptsInput()) return;
  QMenu menu(this);
  auto* calendar = new QCalendarWidget(&menu);
  QDate current = QDate::fromString(line_->text(), Qt::ISODate);
  if (current.isValid()) calendar->setSelectedDate(current);
  auto* action = new QWidgetAction(&menu);
  action->setDefaultWidget(calendar);
  menu.addAction(action);
  connect(calendar, &QCalendarWidget::activated, &menu, [&](const QDate& date) {
    line_->setText(date.toString(Qt::ISODate));
    menu.close();
  });
  connect(calendar, &QCalendarWidget::clicked, &menu, [&](const QDate& date) {
    line_->setText(date.toString(Qt::ISODate));
    menu.close();
  });
  menu.exec(line_->mapToGlobal(QPoint(0, line_->height())));
  Commit();
}

bool FieldEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == line_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F2 && IsLookup()) {
      RequestPicker();
      return true;
    }
    if (key->key() == Qt::Key_F4 && IsDate()) {
      ShowCalendar();
      return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (Commit()) emit EnterPressed();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ws::desk
