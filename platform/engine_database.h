// What both engines' database services offer beyond the module's interface: a script run as
// it stands (the catalogue) and a log of the statements the module sent. Tools and tests hold
// a service through this when they serve either engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace ws::platform {

// LastError of either engine when the disk under the database is full, or fails to read or
// write: the user is told in the shop's words what happened and what to do, not the engine's.
inline constexpr std::string_view kDiskFullText =
    "磁盘空间已满，数据库不能写入。请腾出磁盘空间后再试。";
inline constexpr std::string_view kDiskErrorText = "读写数据库文件时磁盘出错。请检查磁盘后再试。";
// LastError of either engine when another user holds what a statement needs longer than it may
// wait (5 seconds: the embedded engine's busy timeout, the server's lock timeout).
inline constexpr std::string_view kDatabaseBusyText = "数据库正被其他用户使用，请稍后再试。";

class EngineDatabase : public db::IDatabase {
 public:
  // Runs a script of several statements as they stand (no translation).
  // Answers the error text, empty on success.
  virtual std::string ExecScript(const std::string& sql) = 0;

  // Statement log: every statement text as the module sent it, in order.
  virtual void EnableLog(bool on) = 0;
  virtual const std::vector<std::string>& Log() const = 0;
  virtual void ClearLog() = 0;
};

}  // namespace ws::platform
