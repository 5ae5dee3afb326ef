#include "reports/find_prompt.h"

namespace ws::reports {

FindPrompt::FindPrompt(const std::string& columnCaption, const std::string& lastText)
    : form_(kName) {
  form_.SetCaption("查找 - " + columnCaption);
  text_ = &form_.Add<forms::TextBox>(kText);
  text_->SetCaption("查找内容");
  text_->SetText(lastText);
  const char* captions[] = {"确定", "取消"};
  for (int i = 0; i < 2; ++i) {
    auto& button = form_.Add<forms::CommandButton>(kButton, i);
    button.SetCaption(captions[i]);
    button.OnClick = [this, i] {
      confirmed_ = i == 0 && !text_->Text().empty();
      closed_ = true;
    };
  }
  form_.SetFocus(text_);
}

const std::string& FindPrompt::Text() const {
  return text_->Text();
}

}  // namespace ws::reports
