// The interface operations a script calls by name on the current control, as the host's
// toolbar and menus call them: every IFormUI operation (FileNew, FileSave, RecordNext, Check,
// DoSetStatus WORD FLAG, Attributes N ...), the IReportUI and IPickerUI operations (Refresh,
// Validate TEXT, SetText TEXT, SetParameters NAME=VALUE ...), IFormToolUI's Tools and
// Action NAME, and NewForOrder ID of the documents that follow a repair order. The control's
// interfaces are tried in that order.
#pragma once

#include <string>
#include <vector>

#include "host/system.h"
#include "host/ui.h"

namespace ws::shop {

struct CallOutcome {
  // "true"/"false" for Boolean answers, the text or number otherwise; "" for operations that
  // answer nothing.
  std::string result;
  // Not empty: the call did not happen (unknown operation, bad arguments).
  std::string error;
};

CallOutcome CallOperation(host::IControl& control, host::ISystem& system, const std::string& op,
                          const std::vector<std::string>& args);

// Boolean words of a script: true/false, 1/0, yes/no.
bool ParseFlag(const std::string& text, bool& value);

}  // namespace ws::shop
