// What both engines' database services offer beyond the module's interface: a script run as
// it stands (the catalogue) and a log of the statements the module sent. Tools and tests hold
// a service through this when they serve either engine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/value.h"

namespace ws::platform {

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

// The statement as it ran, each "?" outside literals, quoted names and comments replaced by
// its bound value as a literal: what the logs show, so a reader (or a replay) sees the values
// in place.
std::string WithValuesWritten(const std::string& sql,
                              const std::vector<std::optional<db::Value>>& values);

}  // namespace ws::platform
