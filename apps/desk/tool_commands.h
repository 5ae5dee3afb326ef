// The host toolbar: its commands with captions and shortcuts, and which of them a program
// allows in its present state (edit state, dirty flag, checked stamp, Attributes(98)).
#pragma once

#include <string>
#include <vector>

namespace ws::desk {

enum class ToolCommand {
  New,
  Edit,
  Save,
  Cancel,
  Delete,
  Check,
  UnCheck,
  Find,
  Filter,
  Refresh,
  First,
  Previous,
  Next,
  Last,
  Print,
  Preview
};

struct ToolCommandInfo {
  ToolCommand command;
  const char* name;      // object name of the action: "New", "Save" ...
  const char* caption;   // what the button reads
  const char* shortcut;  // QKeySequence text
  bool separatorBefore;
};

// Every command in toolbar order.
const std::vector<ToolCommandInfo>& ToolCommands();
const ToolCommandInfo& InfoOf(ToolCommand command);

// The documents a repair order goes on to at the counter, with their keys: the order's buttons
// and the menu's actions both come from here.
struct FollowUpInfo {
  const char* caption;    // 领料, 结算, 收款
  const char* className;  // the program opened for the order
  const char* shortcut;
};
const std::vector<FollowUpInfo>& FollowUps();

// What the toolbar needs to know about the program of the current tab.
struct ProgramState {
  bool formUI = false;     // documents, cards and lists (IFormUI)
  bool reportUI = false;   // reports (IReportUI)
  bool editing = false;    // a new or changed document is being entered
  bool dirty = false;      // IsDirty
  bool checked = false;    // CheckStatus: the checked stamp is shown
  bool checkable = false;  // Attributes(98) == "check"
  // The logged-in account's rights on the program (all of them in a shop without accounts).
  bool mayChange = true;  // new, edit, save
  bool mayDelete = true;
  bool mayCheck = true;  // check, uncheck
};

// Whether the command can be given now. While a document is entered only Save and Cancel
// apply; a checked document can be unchecked but not changed or deleted; a report offers the
// list commands only; what the account has no right to is never offered.
bool CommandEnabled(ToolCommand command, const ProgramState& state);

}  // namespace ws::desk
