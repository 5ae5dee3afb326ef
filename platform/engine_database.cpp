#include "platform/engine_database.h"

namespace ws::platform {

std::string EngineDatabase::LastError() const {
  return State().lastError;
}

std::string EngineDatabase::Settings(const std::string& key) const {
  const auto& settings = State().settings;
  auto it = settings.find(key);
  return it == settings.end() ? std::string() : it->second;
}

void EngineDatabase::SetSetting(const std::string& key, const std::string& value) {
  State().settings[key] = value;
}

void EngineDatabase::EnableLog(bool on) {
  State().logging = on;
}

const std::vector<std::string>& EngineDatabase::Log() const {
  return State().log;
}

void EngineDatabase::ClearLog() {
  State().log.clear();
}

}  // namespace ws::platform
