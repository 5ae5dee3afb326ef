// What both engines' database services offer beyond the module's interface: a script run as
// it stands (the catalogue) and a log of the statements the module sent. Tools and tests hold
// a service through this when they serve either engine.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "db/status.h"

namespace ws::platform {

// LastError of either engine when the disk under the database is full, or fails to read or
// write: the user is told in the shop's words what happened and what to do, not the engine's.
inline constexpr std::string_view kDiskFullText =
    "磁盘空间已满，数据库不能写入。请腾出磁盘空间后再试。";
inline constexpr std::string_view kDiskErrorText = "读写数据库文件时磁盘出错。请检查磁盘后再试。";
// LastError of either engine when another user holds what a statement needs longer than it may
// wait (5 seconds: the embedded engine's busy timeout, the server's lock timeout).
inline constexpr std::string_view kDatabaseBusyText = "数据库正被其他用户使用，请稍后再试。";

// What either service keeps of its connection beside the engine's own handle; each service's
// private state builds on it.
struct EngineState {
  explicit EngineState(std::string driver) : settings{{"driver", std::move(driver)}} {}

  std::string lastError;
  std::map<std::string, std::string> settings;
  bool logging = false;
  std::vector<std::string> log;
  // Nesting depth of BeginTrans: 1 is the engine's transaction, deeper levels are savepoints.
  int depth = 0;
  // Commands hold a weak reference to this token, so a command that outlives its service
  // does nothing instead of touching a closed connection.
  std::shared_ptr<int> alive = std::make_shared<int>(0);

  // The savepoint of a nesting level above the first ("ws_level_2").
  static std::string LevelName(int level) { return "ws_level_" + std::to_string(level); }
};

class EngineDatabase : public db::IDatabase {
 public:
  std::string LastError() const final;
  std::string Settings(const std::string& key) const final;
  void SetSetting(const std::string& key, const std::string& value) final;

  // Runs a script of several statements as they stand (no translation).
  virtual db::Status ExecScript(const std::string& sql) = 0;

  // Statement log: every statement text as the module sent it, in order, with its bound
  // values written in place of the placeholders.
  void EnableLog(bool on);
  const std::vector<std::string>& Log() const;
  void ClearLog();

 protected:
  // The service's state, which outlives every call of the base.
  virtual EngineState& State() const = 0;
};

}  // namespace ws::platform
