// The host that runs a script of lib/script_parser.h against a shop database: it is the system
// object's front end (message boxes answered from the script's queue, modal dialogs driven by
// the script's `dialog` blocks, pickers choosing the rows the script names, forms opened by a
// control reported) and the event sink of every control it opens.
//
// Everything that happens is printed as it happens, one line each:
//   event Message <text>                       a control's event (Null shown as Nothing,
//   event ErrMessage <level> <title> <text>     an empty text as "")
//   event <Name> <args>
//   msgbox <title> <text> -> <answer>           "(default)" when the script queued none
//   picker <name> "<text>" -> row N: <value> <text> | cancel | nothing
//   dialog <name> ... dialog <name> closed|dismissed
//   openform <program> <args>
//   => <result>                                 of open, call, find, filter, sql; refused input
//   FAIL line N: ...                            a check that failed
// Checks look at what was raised or shown since the previous command that was not a check.
#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "db/database.h"
#include "forms/form.h"
#include "forms/input.h"
#include "host/dialogs.h"
#include "host/events.h"
#include "host/registry.h"
#include "host/system.h"
#include "platform/system_object.h"
#include "shop/script/script_parser.h"

namespace ws::shop {

class ScriptHost : public host::IDialogs, public host::IEventSink {
 public:
  // The database and registry must outlive the host. Results go to out, errors to err. Until
  // the script logs in, the user is "管理员" on today's date, in a temporary work folder that
  // is removed with the host; in a shop with accounts that user may take no guarded step.
  // `login USER DATE [PASSWORD-FILE]` in a shop with accounts proves the password from the
  // file or from WS_PASSWORD; its result is true or false (a refused login logs out).
  ScriptHost(db::IDatabase& db, const host::Registry& registry, std::ostream& out,
             std::ostream& err);
  ~ScriptHost() override;
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Runs a parsed script (its errors must be empty). Answers the exit status: 0 every check
  // passed; 1 a check failed (the script ran to its end) or a control let an exception out;
  // 2 the script is wrong: an unknown control, widget or operation, a bad argument, a failing
  // setup statement. It stops at the first such error.
  int Run(const Script& script);

  int CheckCount() const { return checks_; }
  int FailureCount() const { return failures_; }

  // --- host::IDialogs
  host::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                             host::MsgButtons buttons, host::MsgIcon icon) override;
  bool RunModal(host::IModalForm& form) override;
  // --- host::IEventSink
  void OnEvent(const host::Event& event) override;

 private:
  struct QueuedAnswer {
    host::MsgAnswer answer;
    std::string word;
    int line;
  };
  struct QueuedPick {
    int row;  // data row among the visible ones, from 1; 0 cancels
    int line;
  };
  struct PendingDialog {
    std::string name;
    const ScriptStep* command;
  };
  // What was raised or shown since the last command of one nesting level (a dialog block is a
  // level of its own; what happens inside it counts for the command that opened it too).
  struct Window {
    std::vector<std::string> events;
    std::vector<std::string> boxes;
  };

  void Execute(const ScriptStep& command);
  void Dispatch(const ScriptStep& command);
  void Check(const ScriptStep& command);

  // Stops the script: error line N on err, status 2.
  void Error(const std::string& message);
  void Fail(int line, const std::string& message);
  void Result(const std::string& result);
  // A refused input prints why; the result is "ok" or "refused".
  void ReportInput(const forms::InputResult& result);

  void RebuildSystem();
  void Login(const ScriptStep& command);
  // Whether the current account may take the step on the open control's program; a refusal is
  // shown as the host's message box.
  bool Permitted(platform::Step step);
  platform::SystemObject& System() { return *systems_.back(); }
  forms::Form* TargetForm();
  forms::Widget* RequireWidget(const std::string& ref, bool field);
  forms::Grid* RequireGrid(const std::string& ref);
  // A script row number (from 1); nullopt after the error.
  std::optional<int> RowNumber(const std::string& text, int minimum);
  int RequireColumn(const forms::Grid& grid, const std::string& col);

  host::PickResult RunPicker(host::IControl& picker, const std::string& shownAs,
                             const std::string& text);
  host::PickResult ShowPicker(const std::string& description, const std::string& text);
  void Record(const std::string& line, bool box);

  db::IDatabase& db_;
  const host::Registry& registry_;
  std::ostream& out_;
  std::ostream& err_;
  host::LoginInfo login_;
  std::filesystem::path ownedWorkFolder_;
  // Every system object made stays alive: controls opened under one keep it to their end.
  std::vector<std::unique_ptr<platform::SystemObject>> systems_;
  std::vector<std::unique_ptr<host::IControl>> controls_;
  host::IControl* current_ = nullptr;
  int64_t currentProgram_ = 0;
  bool authenticated_ = false;

  std::deque<QueuedAnswer> answers_;
  std::deque<QueuedPick> picks_;
  std::deque<PendingDialog> dialogs_;
  std::vector<forms::Form*> dialogForms_;
  std::vector<Window> windows_;

  std::string lastResult_;
  int line_ = 0;
  int checks_ = 0;
  int failures_ = 0;
  bool stopped_ = false;
  int stopStatus_ = 0;
};

}  // namespace ws::shop
