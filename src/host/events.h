// Events a control raises to its host. Each control declares its own event set; the host
// attaches one sink per control and shows (desktop), prints (command line) or records (tests)
// what arrives.
#pragma once

#include <string>
#include <vector>

#include "db/value.h"

namespace ws::host {

// Host log levels of ErrMessage.
enum LogLevel : int { kLevelSuccess = 1, kLevelRefusal = 2, kLevelFailure = 8 };

struct Event {
  std::string name;               // "Message", "ErrMessage", "FormRefreshed", "EditForm" ...
  std::vector<db::Value> args;    // in the declared order of the event's arguments
};

class IEventSink {
 public:
  virtual ~IEventSink() = default;
  virtual void OnEvent(const Event& event) = 0;
};

// What a control uses to raise its events; a control without a sink raises into nothing.
class EventSource {
 public:
  void AttachSink(IEventSink* sink) { sink_ = sink; }
  IEventSink* Sink() const { return sink_; }

  void Raise(const std::string& name, std::vector<db::Value> args = {}) const {
    if (sink_) sink_->OnEvent(Event{name, std::move(args)});
  }
  void Message(const std::string& text) const { Raise("Message", {text}); }
  void ErrMessage(const std::string& text, int level, const std::string& title) const {
    Raise("ErrMessage", {text, level, title});
  }

 private:
  IEventSink* sink_ = nullptr;
};

}  // namespace ws::host
