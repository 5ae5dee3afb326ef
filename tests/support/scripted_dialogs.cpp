#include "support/scripted_dialogs.h"

namespace ws::test {

host::MsgAnswer ScriptedDialogs::MessageBox(const std::string& text, const std::string& title,
                                            host::MsgButtons buttons, host::MsgIcon icon) {
  host::MsgAnswer answer = host::DefaultAnswer(buttons);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back(AskedBox{text, title, buttons, icon, answer});
  return answer;
}

bool ScriptedDialogs::RunModal(host::IModalForm& form) {
  if (modal_) return modal_(form);
  form.Dismiss();
  return true;
}

bool ScriptedDialogs::Asked(const std::string& part) const {
  for (const auto& box : boxes_) {
    if (box.text.find(part) != std::string::npos) return true;
  }
  return false;
}

void ScriptedDialogs::Clear() {
  answers_.clear();
  boxes_.clear();
}

}  // namespace ws::test
