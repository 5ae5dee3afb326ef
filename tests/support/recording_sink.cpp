#include "support/recording_sink.h"

namespace ws::test {

std::vector<host::Event> RecordingSink::Named(const std::string& name) const {
  std::vector<host::Event> out;
  for (const auto& e : events_) {
    if (e.name == name) out.push_back(e);
  }
  return out;
}

std::vector<std::string> RecordingSink::FirstTexts(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& e : events_) {
    if (e.name == name) out.push_back(e.args.empty() ? std::string() : e.args[0].ToText());
  }
  return out;
}

bool RecordingSink::HasErrMessage(const std::string& part) const {
  for (const auto& text : ErrMessages()) {
    if (text.find(part) != std::string::npos) return true;
  }
  return false;
}

}  // namespace ws::test
