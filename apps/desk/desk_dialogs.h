// The desktop's dialogs for the module: message boxes as QMessageBox (text, title, buttons,
// icon → answer) and a control's modal form as a QDialog drawn by the generic renderer, open
// until the form closes itself or the user dismisses the window.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>

#include "host/dialogs.h"

namespace ws::desk {

class FormView;

// Without a window manager nobody gives the keyboard back when a modal box or dialog goes: F5
// or a typed filter would reach the window only after a click. Taken before the box comes,
// it gives the keyboard back to the window and widget that had it when Restore is called or
// it is destroyed, whichever comes first.
class KeyboardReturn {
 public:
  explicit KeyboardReturn(QWidget* window = QApplication::activeWindow())
      : window_(window), focus_(QApplication::focusWidget()) {}
  ~KeyboardReturn() { Restore(); }
  KeyboardReturn(const KeyboardReturn&) = delete;
  KeyboardReturn& operator=(const KeyboardReturn&) = delete;
  void Restore();

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> focus_;
};

class DeskDialogs : public host::IDialogs {
 public:
  // interactive false: nobody is there to click (a --screenshot run). A box then takes its
  // default answer at once (host::DefaultAnswer, or Ask's) and its title, text and answer go to
  // standard error; a modal form is dismissed unshown. Such a run must never wait for a click.
  explicit DeskDialogs(bool interactive = true) : interactive_(interactive) {}

  host::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                             host::MsgButtons buttons, host::MsgIcon icon) override;
  bool RunModal(host::IModalForm& form) override;
  // A default other than the first button is also Esc's answer.
  host::MsgAnswer Ask(const std::string& text, const std::string& title, host::MsgButtons buttons,
                      host::MsgIcon icon, host::MsgAnswer byDefault) override;

 private:
  bool interactive_;
};

// The window of a modal form: closes itself when the form reports IsClosed after an input,
// and dismisses the form when the user closes the window.
class ModalFormDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ModalFormDialog(host::IModalForm& form, QWidget* parent = nullptr);
  FormView& View() { return *view_; }

 public slots:
  void reject() override;

 private:
  host::IModalForm& form_;
  FormView* view_;
};

// The window a dialog belongs to: the active window, else any visible top-level window.
QWidget* DialogParent();

}  // namespace ws::desk
