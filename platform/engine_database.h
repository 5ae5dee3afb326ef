// What both engines' database services offer beyond the module's interface: a script run as
// it stands (the catalogue) and a log of the statements the module sent. Tools and tests hold
// a service through this when they serve either engine.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"

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

}  // namespace ws::platform
