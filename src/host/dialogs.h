// Message boxes and modal dialogs go through the host: the desktop shows real dialogs, the
// command-line host answers from its script, tests answer from a queue.
#pragma once

#include <string>

namespace ws::forms {
class Form;
}

namespace ws::host {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// A modal form a control opens (a chooser): the host renders Form() and keeps it open until
// the form's own buttons close it (IsClosed) or the user dismisses it (Dismiss).
class IModalForm {
 public:
  virtual ~IModalForm() = default;
  virtual std::string Name() const = 0;
  virtual forms::Form& Form() = 0;
  virtual bool IsClosed() const = 0;
  // The user closed the window without choosing.
  virtual void Dismiss() = 0;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual MsgAnswer MessageBox(const std::string& text, const std::string& title,
                               MsgButtons buttons, MsgIcon icon) = 0;
  // The same box with `byDefault` as its default button: what Enter answers, and what a host
  // with nobody there to click takes. A question whose first button throws work away (放弃…？
  // 是) names the answer that keeps it. Hosts that only record boxes may leave this as it is.
  virtual MsgAnswer Ask(const std::string& text, const std::string& title, MsgButtons buttons,
                        MsgIcon icon, MsgAnswer byDefault) {
    (void)byDefault;
    return MessageBox(text, title, buttons, icon);
  }
  // Runs the form until it closes; answers false when the host could not show it.
  virtual bool RunModal(IModalForm& form) = 0;
};

// The answer a box takes when nobody is there to click: the first button.
inline MsgAnswer DefaultAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
      return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
      return MsgAnswer::Yes;
  }
  return MsgAnswer::Ok;
}

}  // namespace ws::host
