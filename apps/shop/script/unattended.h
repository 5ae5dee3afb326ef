// What a terminal command gives the module's controls when nobody sits at the screen: dialogs
// that answer themselves, a sink that keeps the error messages, and a work folder of its own
// for the files the controls write (layouts, print data), removed afterwards.
#pragma once

#include <filesystem>
#include <string>

#include "host/dialogs.h"
#include "host/events.h"

namespace ws::shop {

// A box takes its default button (and is kept in boxes), a modal form is dismissed.
class UnattendedDialogs : public host::IDialogs {
 public:
  host::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                             host::MsgButtons buttons, host::MsgIcon icon) override;
  bool RunModal(host::IModalForm& form) override;

  std::string boxes;
};

// The texts of the ErrMessage events, one a line.
class ErrorCollector : public host::IEventSink {
 public:
  void OnEvent(const host::Event& event) override;

  std::string errors;
};

class TemporaryFolder {
 public:
  // A new folder under the system's temporary folder named prefix + a unique suffix; Path() is
  // empty when it could not be made.
  explicit TemporaryFolder(const std::string& prefix);
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace ws::shop
