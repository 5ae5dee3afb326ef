// What the desktop puts behind the module: the open shop database, the dialogs, the system
// object (with the desktop's pickers and form requests wired in), the control registry with
// every subsystem's controls, and the program menu.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "host/registry.h"
#include "platform/engine_database.h"
#include "platform/menu_model.h"
#include "platform/system_object.h"

namespace ws::desk {

// Runs work whenever the event loop has handled what was pending, again while it answers true:
// the navigators count lists nobody counted yet this way, a chunk of a few milliseconds a turn.
void RunBetweenEvents(std::function<bool()> work);

class DeskDialogs;
class ProgressDisplay;

class DeskHost {
 public:
  // Takes the open database and the name it was opened by (a file or a postgresql:// URL,
  // for backup and restore). dialogs: the boxes and modal forms to use; nullptr for the real
  // desktop dialogs (tests hand in scripted ones). The menu is read here; a failure to read it
  // is kept in MenuError().
  DeskHost(std::unique_ptr<platform::EngineDatabase> db, std::string shopName,
           host::LoginInfo login, host::IDialogs* dialogs = nullptr);
  // Keeps the lists' counts in the work folder for the next session.
  ~DeskHost();
  DeskHost(const DeskHost&) = delete;
  DeskHost& operator=(const DeskHost&) = delete;

  platform::EngineDatabase& Db() { return *db_; }
  const std::string& ShopName() const { return shopName_; }
  platform::SystemObject& System() { return *system_; }
  host::IDialogs& Dialogs() { return *dialogs_; }
  host::Registry& Registry() { return registry_; }
  const platform::MenuModel& Menu() const { return menu_; }
  const std::string& MenuError() const { return menuError_; }
  host::LoginInfo Login() { return system_->GetLoginInfo(); }

  // Where the module's OpenForm requests go (the main window opens the program).
  void SetOpenFormHandler(platform::SystemObject::OpenFormHandler handler);

 private:
  host::PickResult ShowNamedPicker(const std::string& name, const std::string& text);

  std::unique_ptr<platform::EngineDatabase> db_;
  std::string shopName_;
  std::unique_ptr<DeskDialogs> ownDialogs_;
  host::IDialogs* dialogs_;
  std::unique_ptr<ProgressDisplay> progress_;
  std::unique_ptr<platform::SystemObject> system_;
  host::Registry registry_;
  platform::MenuModel menu_;
  std::string menuError_;
  // Where the lists' block counts wait between sessions, so that the first form opened on a
  // big list checks its blocks' versions instead of counting the list again.
  std::filesystem::path countsFile_;
};

}  // namespace ws::desk
