#include "shop/script/unattended.h"

#include <stdlib.h>

#include <vector>

namespace ws::shop {

host::MsgAnswer UnattendedDialogs::MessageBox(const std::string& text, const std::string&,
                                              host::MsgButtons buttons, host::MsgIcon) {
  boxes += (boxes.empty() ? "" : "\n") + text;
  return host::DefaultAnswer(buttons);
}

bool UnattendedDialogs::RunModal(host::IModalForm& form) {
  form.Dismiss();
  return true;
}

void ErrorCollector::OnEvent(const host::Event& event) {
  if (event.name == "ErrMessage" && !event.args.empty()) {
    errors += (errors.empty() ? "" : "\n") + event.args[0].ToText();
  }
}

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) path_ = buffer.data();
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace ws::shop
