// Dialogs for tests: message boxes take their answers from a queue (the box's first button when
// the queue is empty) and every box asked is recorded; modal forms go to a test's callback.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/dialogs.h"

namespace ws::test {

struct AskedBox {
  std::string text;
  std::string title;
  host::MsgButtons buttons;
  host::MsgIcon icon;
  host::MsgAnswer answer;  // what the box answered
};

class ScriptedDialogs : public host::IDialogs {
 public:
  using ModalHandler = std::function<bool(host::IModalForm& form)>;

  // Answers for the next boxes, in order.
  void Queue(host::MsgAnswer answer) { answers_.push_back(answer); }

  host::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                             host::MsgButtons buttons, host::MsgIcon icon) override {
    return Ask(text, title, buttons, icon, host::DefaultAnswer(buttons));
  }
  // An empty queue takes the box's default button.
  host::MsgAnswer Ask(const std::string& text, const std::string& title, host::MsgButtons buttons,
                      host::MsgIcon icon, host::MsgAnswer byDefault) override {
    host::MsgAnswer answer = byDefault;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    boxes_.push_back(
        AskedBox{.text = text, .title = title, .buttons = buttons, .icon = icon, .answer = answer});
    return answer;
  }
  // Calls the handler; without one the form is dismissed, as a user closing the window, and
  // the answer is true.
  bool RunModal(host::IModalForm& form) override {
    if (modal_) return modal_(form);
    form.Dismiss();
    return true;
  }

  void SetModalHandler(ModalHandler handler) { modal_ = std::move(handler); }

  const std::vector<AskedBox>& Boxes() const { return boxes_; }
  // True when some box text contains the part.
  bool Asked(const std::string& part) const {
    for (const auto& box : boxes_) {
      if (box.text.find(part) != std::string::npos) return true;
    }
    return false;
  }
  void Clear() {
    answers_.clear();
    boxes_.clear();
  }

 private:
  std::deque<host::MsgAnswer> answers_;
  std::vector<AskedBox> boxes_;
  ModalHandler modal_;
};

}  // namespace ws::test
