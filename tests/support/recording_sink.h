// An event sink that keeps every event a control raises, for assertions.
#pragma once

#include <string>
#include <vector>

#include "host/events.h"

namespace ws::test {

class RecordingSink : public host::IEventSink {
 public:
  void OnEvent(const host::Event& event) override { events_.push_back(event); }

  const std::vector<host::Event>& Events() const { return events_; }
  void Clear() { events_.clear(); }
  // Events of one name, in order.
  std::vector<host::Event> Named(const std::string& name) const {
    std::vector<host::Event> out;
    for (const auto& e : events_) {
      if (e.name == name) out.push_back(e);
    }
    return out;
  }
  int Count(const std::string& name) const { return static_cast<int>(Named(name).size()); }
  // The first argument, as text, of every "Message" / "ErrMessage" event.
  std::vector<std::string> Messages() const { return FirstTexts("Message"); }
  std::vector<std::string> ErrMessages() const { return FirstTexts("ErrMessage"); }
  // True when some "ErrMessage" text contains the part.
  bool HasErrMessage(const std::string& part) const {
    for (const auto& text : ErrMessages()) {
      if (text.find(part) != std::string::npos) return true;
    }
    return false;
  }

 private:
  std::vector<std::string> FirstTexts(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& e : events_) {
      if (e.name == name) out.push_back(e.args.empty() ? std::string() : e.args[0].ToText());
    }
    return out;
  }
  std::vector<host::Event> events_;
};

}  // namespace ws::test
