// The desktop's answer to the host's progress reports (ISystem::Progress): a progress dialog
// with a Cancel button (Esc cancels too) that appears when the work takes longer than a moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "desk/desk_dialogs.h"

class QProgressDialog;

namespace ws::desk {

class ProgressDisplay {
 public:
  ProgressDisplay();
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // Shows done of total (the dialog closes when done reaches total), or with an unknown
  // total (ISystem::kUnknownTotal) a moving bar and the count so far; false once the user
  // pressed Cancel. Once the dialog closes, the keyboard is back where it was before it came.
  bool Report(const std::string& what, int64_t done, int64_t total);

 private:
  void Close();

  std::unique_ptr<QProgressDialog> dialog_;
  std::optional<KeyboardReturn> back_;  // the keyboard as it was when the dialog came
  std::chrono::steady_clock::time_point started_;
};

}  // namespace ws::desk
