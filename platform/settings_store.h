// Per-user settings ("WS_SelWs" ...) kept in the host table ws_user_setting, so a user finds
// them again on any machine that shares the database.
#pragma once

#include <functional>
#include <string>

#include "db/database.h"
#include "host/system.h"

namespace ws::platform {

class SettingsStore : public host::ISettingsStore {
 public:
  // Failures of Set have no answer in the host contract; they go to onError (the system
  // object shows them in a message box). Without a reporter they are lost, so give one.
  using ErrorReporter = std::function<void(const std::string& error)>;

  SettingsStore(db::IDatabase& db, std::string userName, ErrorReporter onError = nullptr);

  // The stored text, or fallback when the key was never set or cannot be read.
  std::string Get(const std::string& key, const std::string& fallback) override;
  void Set(const std::string& key, const std::string& value) override;

  // Stores the value; answers the error text, empty on success.
  std::string Put(const std::string& key, const std::string& value);
  // Forgets the key; answers the error text.
  std::string Remove(const std::string& key);

  const std::string& UserName() const { return userName_; }

 private:
  db::IDatabase& db_;
  std::string userName_;
  ErrorReporter onError_;
};

}  // namespace ws::platform
