#include "desk/desk_dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include "desk/field_editor.h"
#include "desk/form_view.h"
#include "desk/grid_view.h"
#include "forms/field.h"
#include "forms/form.h"

namespace ws::desk {

QWidget* DialogParent() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible() && top->isWindow() && !(top->windowFlags() & Qt::Popup)) return top;
  }
  return nullptr;
}

namespace {

const char* AnswerName(host::MsgAnswer answer) {
  switch (answer) {
    case host::MsgAnswer::Ok:
      return "OK";
    case host::MsgAnswer::Cancel:
      return "Cancel";
    case host::MsgAnswer::Yes:
      return "Yes";
    case host::MsgAnswer::No:
      return "No";
  }
  return "?";
}

QMessageBox::StandardButton StandardButtonOf(host::MsgAnswer answer) {
  switch (answer) {
    case host::MsgAnswer::Ok:
      return QMessageBox::Ok;
    case host::MsgAnswer::Cancel:
      return QMessageBox::Cancel;
    case host::MsgAnswer::Yes:
      return QMessageBox::Yes;
    case host::MsgAnswer::No:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

}  // namespace

void KeyboardReturn::Restore() {
  if (window_) window_->activateWindow();
  if (focus_) focus_->setFocus(Qt::OtherFocusReason);
  window_.clear();
  focus_.clear();
}

host::MsgAnswer DeskDialogs::MessageBox(const std::string& text, const std::string& title,
                                        host::MsgButtons buttons, host::MsgIcon icon) {
  return Ask(text, title, buttons, icon, host::DefaultAnswer(buttons));
}

host::MsgAnswer DeskDialogs::Ask(const std::string& text, const std::string& title,
                                 host::MsgButtons buttons, host::MsgIcon icon,
                                 host::MsgAnswer byDefault) {
  if (!interactive_) {
    const host::MsgAnswer answer = byDefault;
    std::fprintf(stderr, "ws-desk: [%s] %s -> %s\n", title.c_str(), text.c_str(),
                 AnswerName(answer));
    return answer;
  }
  QMessageBox box(DialogParent());
  box.setText(QString::fromStdString(text));
  box.setWindowTitle(QString::fromStdString(title));
  switch (icon) {
    case host::MsgIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case host::MsgIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case host::MsgIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case host::MsgIcon::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case host::MsgIcon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  switch (buttons) {
    case host::MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case host::MsgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case host::MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case host::MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  if (byDefault != host::DefaultAnswer(buttons)) {
    // A default other than the first button is the one that keeps things as they are: Esc
    // answers it too.
    const QMessageBox::StandardButton button = StandardButtonOf(byDefault);
    box.setDefaultButton(button);
    box.setEscapeButton(button);
  }
  // After a report's failed read, F5 reached the window only after a click.
  KeyboardReturn back(box.parentWidget());
  const int answer = box.exec();
  back.Restore();
  switch (answer) {
    case QMessageBox::Yes:
      return host::MsgAnswer::Yes;
    case QMessageBox::No:
      return host::MsgAnswer::No;
    case QMessageBox::Cancel:
      return host::MsgAnswer::Cancel;
    default:
      // Closing a box without Cancel counts as its only button.
      return buttons == host::MsgButtons::YesNo ? host::MsgAnswer::No : host::MsgAnswer::Ok;
  }
}

bool DeskDialogs::RunModal(host::IModalForm& form) {
  if (!interactive_) {
    std::fprintf(stderr, "ws-desk: [%s] not shown: nobody is there to answer it\n",
                 form.Name().c_str());
    form.Dismiss();
    return true;
  }
  ModalFormDialog dialog(form, DialogParent());
  dialog.exec();
  return true;
}

ModalFormDialog::ModalFormDialog(host::IModalForm& form, QWidget* parent)
    : QDialog(parent), form_(form), view_(new FormView(form.Form(), this)) {
  setWindowTitle(
      QString::fromStdString(form.Form().Caption().empty() ? form.Name() : form.Form().Caption()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  resize(QSize(900, 560).boundedTo(screen()->availableGeometry().size() * 9 / 10));
  connect(view_, &FormView::InputDone, this, [this] {
    if (form_.IsClosed()) accept();
  });
  // A figure typed into a dialog's field (a chooser's 总金额) counts as the clerk types it: the
  // rows show at once what it comes to.
  for (FieldEditor* editor : view_->Editors()) {
    auto* field = dynamic_cast<const forms::Field*>(&editor->Widget());
    if (!field || field->Kind() != forms::FieldKind::Number) continue;
    connect(editor->Line(), &QLineEdit::textEdited, editor,
            [editor] { editor->CommitWhileTyping(); });
  }
  // Enter answers with the dialog's first answer button (确定), wherever nothing else takes it;
  // the other buttons (查询, 全选 ...) are pressed on purpose only.
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
  for (const auto& child : form.Form().Children()) {
    auto* answer = dynamic_cast<const forms::CommandButton*>(child.get());
    if (!answer || !answer->Answers()) continue;
    if (auto* button = qobject_cast<QPushButton*>(view_->QtWidgetOf(*child))) {
      button->setDefault(true);
      break;
    }
  }
}

void ModalFormDialog::reject() {
  if (!form_.IsClosed()) form_.Dismiss();
  QDialog::reject();
}

}  // namespace ws::desk
