// The grid pack's find question: a small modal form with the text to look for, opened through
// the host's dialogs, so the desktop shows it, a script answers it and a test fills it in.
#pragma once

#include <string>

#include "forms/form.h"
#include "host/dialogs.h"

namespace ws::reports {

class FindPrompt : public host::IModalForm {
 public:
  static constexpr const char* kName = "frmFind";
  static constexpr const char* kText = "txtFind";
  static constexpr const char* kButton = "cmd";  // index 0 confirms, 1 cancels

  // columnCaption names the column searched, shown in the form's caption.
  FindPrompt(const std::string& columnCaption, const std::string& lastText);

  std::string Name() const override { return kName; }
  forms::Form& Form() override { return form_; }
  bool IsClosed() const override { return closed_; }
  void Dismiss() override { closed_ = true; }

  // True when the user confirmed a text that is not empty.
  bool Confirmed() const { return confirmed_; }
  const std::string& Text() const;

 private:
  forms::Form form_;
  forms::TextBox* text_ = nullptr;
  bool closed_ = false;
  bool confirmed_ = false;
};

}  // namespace ws::reports
