#include "shop/script/script_host.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <optional>
#include <system_error>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "platform/accounts.h"
#include "shop/script/script_calls.h"
#include "shop/script/script_widgets.h"
#include "shop/store/password_source.h"

namespace ws::shop {

namespace fs = std::filesystem;

namespace {

const char* AnswerWord(host::MsgAnswer answer) {
  switch (answer) {
    case host::MsgAnswer::Ok:
      return "ok";
    case host::MsgAnswer::Cancel:
      return "cancel";
    case host::MsgAnswer::Yes:
      return "yes";
    case host::MsgAnswer::No:
      return "no";
  }
  return "ok";
}

host::MsgAnswer AnswerOfWord(const std::string& word) {
  if (word == "yes") return host::MsgAnswer::Yes;
  if (word == "no") return host::MsgAnswer::No;
  if (word == "cancel") return host::MsgAnswer::Cancel;
  return host::MsgAnswer::Ok;
}

const char* ButtonsText(host::MsgButtons buttons) {
  switch (buttons) {
    case host::MsgButtons::Ok:
      return "OK";
    case host::MsgButtons::OkCancel:
      return "OK/Cancel";
    case host::MsgButtons::YesNo:
      return "Yes/No";
    case host::MsgButtons::YesNoCancel:
      return "Yes/No/Cancel";
  }
  return "OK";
}

bool Fits(host::MsgAnswer answer, host::MsgButtons buttons) {
  switch (buttons) {
    case host::MsgButtons::Ok:
      return answer == host::MsgAnswer::Ok;
    case host::MsgButtons::OkCancel:
      return answer == host::MsgAnswer::Ok || answer == host::MsgAnswer::Cancel;
    case host::MsgButtons::YesNo:
      return answer == host::MsgAnswer::Yes || answer == host::MsgAnswer::No;
    case host::MsgButtons::YesNoCancel:
      return answer != host::MsgAnswer::Ok;
  }
  return false;
}

// An argument of an event as the host prints it.
std::string ArgText(const db::Value& value) {
  if (value.IsNull()) return "Nothing";
  std::string text = OneLine(value.ToText());
  return text.empty() ? "\"\"" : text;
}

std::string FormatEvent(const host::Event& event) {
  std::string line = event.name;
  if (event.name == "ErrMessage" && event.args.size() == 3) {
    return line + " " + ArgText(event.args[1]) + " " + ArgText(event.args[2]) + " " +
           ArgText(event.args[0]);
  }
  for (const auto& arg : event.args) line += " " + ArgText(arg);
  return line;
}

std::optional<int64_t> Whole(const std::string& text) {
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// A statement that only reads: SELECT as its first word (SQLite has no writing SELECT; the
// server refuses what the account may not write).
bool IsPlainSelect(const std::string& sql) {
  const size_t b = sql.find_first_not_of(" \t\r\n(");
  if (b == std::string::npos) return false;
  std::string word;
  for (size_t i = b; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i) {
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
  }
  return word == "select";
}

bool IsQuery(const std::string& sql) {
  size_t b = sql.find_first_not_of(" \t\r\n(");
  if (b == std::string::npos) return false;
  std::string word;
  for (size_t i = b; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i) {
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i])));
  }
  return word == "select" || word == "with" || word == "pragma" || word == "explain" ||
         word == "values";
}

std::filesystem::path MakeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "ws_script_XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return {};
  return fs::path(buffer.data());
}

// Sees whether a picker chose a row while forwarding its events to the host.
class SelectWatch : public host::IEventSink {
 public:
  SelectWatch(host::IEventSink* next, bool forwardSelect)
      : next_(next), forwardSelect_(forwardSelect) {}
  void OnEvent(const host::Event& event) override {
    // The choice itself is reported by the picker line; a picker's other events are shown.
    if (event.name == "DoSelect") {
      selected = true;
      if (!forwardSelect_) return;
    }
    if (next_) next_->OnEvent(event);
  }
  bool selected = false;

 private:
  host::IEventSink* next_;
  bool forwardSelect_;
};

forms::Grid* FirstGrid(const forms::Form& form) {
  for (const auto& child : form.Children()) {
    if (auto* grid = dynamic_cast<forms::Grid*>(child.get())) return grid;
  }
  return nullptr;
}

}  // namespace

ScriptHost::ScriptHost(db::IDatabase& db, const host::Registry& registry, std::ostream& out,
                       std::ostream& err)
    : db_(db), registry_(registry), out_(out), err_(err) {
  login_.userName = "管理员";
  login_.loginDate = db::Today();
  ownedWorkFolder_ = MakeTemporaryFolder();
  login_.workFolder = ownedWorkFolder_.string();
  login_.frontEnd = "script";
  windows_.emplace_back();
  RebuildSystem();
}

ScriptHost::~ScriptHost() {
  controls_.clear();
  systems_.clear();
  if (!ownedWorkFolder_.empty()) {
    std::error_code ignored;
    fs::remove_all(ownedWorkFolder_, ignored);
  }
}

void ScriptHost::RebuildSystem() {
  std::error_code ignored;
  for (const char* folder : {"selfbb", "selfPrint", "selfPrn"}) {
    fs::create_directories(fs::path(login_.workFolder) / folder, ignored);
  }
  auto system = std::make_unique<platform::SystemObject>(db_, *this, login_);
  system->SetAuthenticated(authenticated_);
  system->SetOpenFormHandler([this](const std::string& program, const db::Value& a,
                                    const db::Value& b, const db::Value& c, bool flag) {
    const std::string line = "openform " + program + " " + ArgText(a) + " " + ArgText(b) + " " +
                             ArgText(c) + " " + (flag ? "true" : "false");
    out_ << line << "\n";
    Record(line, false);
  });
  system->SetPickerHandler([this](const std::string& description, const std::string& text) {
    return ShowPicker(description, text);
  });
  system->SetRunPickerHandler([this](host::IControl& picker, const std::string& text) {
    return RunPicker(picker, picker.ClassName(), text);
  });
  systems_.push_back(std::move(system));
}

int ScriptHost::Run(const Script& script) {
  for (const auto& command : script.commands) {
    Execute(command);
    if (stopped_) break;
  }
  if (!stopped_) {
    // What the script prepared but nothing asked for counts as a failed check of its own.
    for (const auto& pending : dialogs_) {
      ++checks_;
      Fail(pending.command->line, "the dialog " + pending.name + " never opened");
    }
    for (const auto& answer : answers_) {
      ++checks_;
      Fail(answer.line, "the answer '" + answer.word + "' was never asked for");
    }
    for (const auto& pick : picks_) {
      ++checks_;
      Fail(pick.line, "the pick of row " + std::to_string(pick.row) + " was never asked for");
    }
  }
  dialogs_.clear();
  answers_.clear();
  picks_.clear();
  // Closing the windows: a control releases what it holds and writes its settings.
  line_ = 0;
  for (auto& control : controls_) {
    if (auto* form = control->AsFormUI()) {
      form->Clear();
    } else if (auto* report = control->AsReportUI()) {
      report->Clear();
    } else if (auto* picker = control->AsPickerUI()) {
      picker->Clear();
    }
  }
  current_ = nullptr;
  controls_.clear();

  if (stopped_) return stopStatus_;
  if (failures_ > 0) {
    out_ << "FAILED: " << failures_ << " of " << checks_ << " checks\n";
    return 1;
  }
  out_ << "ok: " << checks_ << " checks passed\n";
  return 0;
}

void ScriptHost::Execute(const ScriptStep& command) {
  line_ = command.line;
  if (command.name != "expect") windows_.back() = Window{};
  try {
    Dispatch(command);
  } catch (const std::exception& e) {
    err_ << "error line " << command.line << ": " << command.name
         << " let an exception out: " << e.what() << "\n";
    stopped_ = true;
    stopStatus_ = 1;
  }
}

void ScriptHost::Error(const std::string& message) {
  if (stopped_) return;
  err_ << "error line " << line_ << ": " << message << "\n";
  stopped_ = true;
  stopStatus_ = 2;
}

void ScriptHost::Fail(int line, const std::string& message) {
  ++failures_;
  out_ << "FAIL line " << line << ": " << message << "\n";
}

void ScriptHost::Result(const std::string& result) {
  lastResult_ = result;
  out_ << "=> " << OneLine(result) << "\n";
}

void ScriptHost::ReportInput(const forms::InputResult& result) {
  if (result) {
    lastResult_ = "ok";
  } else {
    lastResult_ = "refused";
    out_ << "=> refused: " << OneLine(result.reason) << "\n";
  }
}

void ScriptHost::Record(const std::string& line, bool box) {
  for (auto& window : windows_) (box ? window.boxes : window.events).push_back(line);
}

forms::Form* ScriptHost::TargetForm() {
  if (!dialogForms_.empty()) return dialogForms_.back();
  if (current_) return &current_->Form();
  Error("no control is open (use 'open CONTROL PROGID')");
  return nullptr;
}

forms::Widget* ScriptHost::RequireWidget(const std::string& ref, bool field) {
  forms::Form* form = TargetForm();
  if (!form) return nullptr;
  forms::Widget* widget = field ? FindField(*form, ref) : FindWidget(*form, ref);
  if (!widget)
    Error("the form " + form->Name() + " has no " + (field ? "field" : "widget") + " '" + ref +
          "'");
  return widget;
}

forms::Grid* ScriptHost::RequireGrid(const std::string& ref) {
  forms::Form* form = TargetForm();
  if (!form) return nullptr;
  forms::Grid* grid = FindGrid(*form, ref);
  if (!grid) Error("the form " + form->Name() + " has no grid '" + ref + "'");
  return grid;
}

std::optional<int> ScriptHost::RowNumber(const std::string& text, int minimum) {
  auto value = Whole(text);
  if (!value || *value < minimum || *value > 100'000'000) {
    Error("'" + text + "' is not a row number (from " + std::to_string(minimum) + ")");
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

int ScriptHost::RequireColumn(const forms::Grid& grid, const std::string& col) {
  const int column = FindGridColumn(grid, col);
  if (column < 0) Error("the grid " + grid.Name() + " has no column '" + col + "'");
  return column;
}

void ScriptHost::Login(const ScriptStep& command) {
  const auto& args = command.args;
  auto date = db::Date::Parse(args[1]);
  if (!date) return Error("'" + args[1] + "' is not a date (yyyy-mm-dd)");
  platform::AccountStore accounts(db_);
  std::string error;
  const bool closed = accounts.HasAccounts(&error);
  if (!error.empty()) return Error("cannot read the accounts: " + error);
  bool accepted = true;
  if (closed) {
    std::optional<std::string> password;
    if (args.size() > 2) {
      password = shop::ReadPasswordFile(args[2], &error);
      if (!password) return Error(error);
    } else {
      password = shop::PasswordFromEnvironment();
    }
    if (!password) {
      return Error("this shop has accounts: login " + args[0] +
                   " needs its password from a file (login USER DATE FILE) or from " +
                   kPasswordVariable);
    }
    error = accounts.Authenticate(args[0], *password);
    accepted = error.empty();
    if (!accepted) {
      out_ << "login " << args[0] << " refused: " << error << "\n";
      Record("login refused: " + error, true);
    }
  }
  authenticated_ = accepted;
  login_.userName = accepted ? args[0] : "管理员";
  login_.loginDate = *date;
  RebuildSystem();
  // An open shop's login answers nothing, as it always did.
  if (closed) Result(accepted ? "true" : "false");
}

bool ScriptHost::Permitted(platform::Step step) {
  return System().Permit(currentProgram_, step);
}

void ScriptHost::Dispatch(const ScriptStep& command) {
  const std::string& name = command.name;
  const auto& args = command.args;
  using forms::Input;

  if (name == "expect") {
    Check(command);
  } else if (name == "login") {
    Login(command);
  } else if (name == "workdir") {
    std::error_code ec;
    fs::create_directories(args[0], ec);
    if (!fs::is_directory(args[0])) return Error("cannot use the folder " + args[0]);
    login_.workFolder = fs::absolute(args[0]).string();
    RebuildSystem();
  } else if (name == "driver") {
    db_.SetSetting("driver", args[0]);
  } else if (name == "option" || name == "param") {
    if (!System().PermitRight(platform::Right::Manage, "改选项")) return Result("false");
    auto module = Whole(args[0]);
    if (!module) return Error("'" + args[0] + "' is not a module number");
    std::string error;
    if (name == "option") {
      error = System().SetOption(static_cast<int>(*module), args[1], args[2]);
    } else {
      auto number = Whole(args[1]);
      if (!number) return Error("'" + args[1] + "' is not a parameter number");
      error = System().SetParameter(static_cast<int>(*module), static_cast<int>(*number), args[2]);
    }
    if (!error.empty()) return Error(error);
  } else if (name == "sql") {
    // A statement of the script's own writes past every document's rules: on a shop with
    // accounts it is the manager's, as the options and the accounts are.
    if (!System().PermitRight(platform::Right::Manage, "执行SQL语句")) return Result("false");
    std::string sql;
    for (const auto& arg : args) sql += (sql.empty() ? "" : " ") + arg;
    db::Runner runner(db_);
    std::string error;
    // The script's author writes the whole statement: it is the script's own text to run.
    if (IsQuery(sql)) {
      auto rs = runner.Open(db::Sql(sql), &error);
      if (!error.empty()) return Error(error);
      for (int f = 0; f < rs->FieldCount(); ++f) out_ << (f ? "\t" : "") << rs->FieldName(f);
      out_ << "\n";
      for (; !rs->Eof(); rs->MoveNext()) {
        for (int f = 0; f < rs->FieldCount(); ++f) {
          const db::Value& v = rs->Field(f);
          out_ << (f ? "\t" : "") << (v.IsNull() ? std::string("NULL") : OneLine(v.ToText()));
        }
        out_ << "\n";
      }
      lastResult_ = std::to_string(rs->RecordCount());
    } else {
      int64_t rows = 0;
      error = runner.Execute(db::Sql(sql), &rows);
      if (!error.empty()) return Error(error);
      Result(std::to_string(rows) + " rows");
    }
  } else if (name == "open") {
    auto program = Whole(args[1]);
    auto id = args.size() > 2 ? Whole(args[2]) : std::optional<int64_t>(0);
    if (!program || !id) return Error("open takes a program number and an optional id");
    std::unique_ptr<host::IControl> control = registry_.Create(args[0]);
    if (!control) {
      std::string known;
      for (const auto& n : registry_.Names()) known += (known.empty() ? "" : ", ") + n;
      return Error("unknown control '" + args[0] + "' (known: " + (known.empty() ? "none" : known) +
                   ")");
    }
    if (!System().Permit(*program, platform::Step::Open)) return Result("false");
    control->Events().AttachSink(this);
    current_ = control.get();
    currentProgram_ = *program;
    controls_.push_back(std::move(control));
    bool ok = false;
    if (auto* form = current_->AsFormUI()) {
      ok = form->Init(System(), *program, *id);
    } else if (auto* report = current_->AsReportUI()) {
      ok = report->Init(System(), *program);
    } else if (auto* picker = current_->AsPickerUI()) {
      ok = picker->Init(System(), *program, "");
    }
    Result(ok ? "true" : "false");
  } else if (name == "call") {
    if (!current_) return Error("no control is open (use 'open CONTROL PROGID')");
    if (auto step = platform::StepOfOperation(args[0]); step && !Permitted(*step)) {
      return Result("false");
    }
    CallOutcome outcome =
        CallOperation(*current_, System(), args[0], {args.begin() + 1, args.end()});
    if (!outcome.error.empty()) return Error(outcome.error);
    Result(outcome.result);
  } else if (name == "find" || name == "filter") {
    if (!current_) return Error("no control is open (use 'open CONTROL PROGID')");
    host::IFormUI* ui = current_->AsFormUI();
    if (!ui) return Error(current_->ClassName() + " takes no conditions");
    host::Conditions conditions;
    if (!(args.size() == 1 && args[0] == "-")) {
      conditions.emplace();
      for (size_t i = 0; i + 1 < args.size(); i += 2) {
        conditions->push_back(host::Condition{args[i + 1], args[i]});
      }
    }
    Result((name == "find" ? ui->Find(conditions) : ui->Filter(conditions)) ? "true" : "false");
  } else if (name == "answer") {
    for (const auto& word : args) answers_.push_back({AnswerOfWord(word), word, line_});
  } else if (name == "type") {
    if (forms::Widget* widget = RequireWidget(args[0], true))
      ReportInput(Input::Type(*widget, args[1]));
  } else if (name == "cell" || name == "delrow" || name == "dblclick" || name == "select" ||
             name == "tick") {
    forms::Grid* grid = RequireGrid(args[0]);
    if (!grid) return;
    auto row = RowNumber(args[1], 1);
    if (!row) return;
    const int gridRow = GridRowOf(*grid, *row);
    if (name == "cell") {
      const int col = RequireColumn(*grid, args[2]);
      if (col >= 0) ReportInput(Input::EditCell(*grid, gridRow, col, args[3]));
    } else if (name == "delrow") {
      ReportInput(Input::DeleteRow(*grid, gridRow));
    } else if (name == "dblclick") {
      ReportInput(Input::DoubleClick(*grid, gridRow));
    } else if (name == "select") {
      ReportInput(Input::SelectRow(*grid, gridRow));
    } else {
      const int col = RequireColumn(*grid, args.size() > 2 ? args[2] : "选择");
      if (col < 0) return;
      const bool ticked = grid->IsDataRow(gridRow) && !grid->TextMatrix(gridRow, col).empty();
      ReportInput(Input::EditCell(*grid, gridRow, col, ticked ? "" : "√"));
    }
  } else if (name == "click") {
    const std::string ref = args.size() > 1 ? args[0] + "[" + args[1] + "]" : args[0];
    if (forms::Widget* widget = RequireWidget(ref, false)) ReportInput(Input::Click(*widget));
  } else if (name == "menu") {
    forms::Widget* widget = RequireWidget(args[0], false);
    if (!widget) return;
    auto* menu = dynamic_cast<forms::PopupMenu*>(widget);
    if (!menu) return Error("'" + args[0] + "' is no menu");
    ReportInput(Input::MenuChoice(*menu, args[1]));
  } else if (name == "pick") {
    auto chosen = RowNumber(args.back(), 0);
    if (!chosen) return;
    if (args.size() == 2 && args[0] == "-") {
      picks_.push_back({*chosen, line_});
      return;
    }
    if (args.size() == 2) {
      forms::Widget* widget = RequireWidget(args[0], true);
      if (!widget) return;
      auto* field = dynamic_cast<forms::Field*>(widget);
      if (!field) return Error("'" + args[0] + "' is no field with a picker");
      picks_.push_back({*chosen, line_});
      ReportInput(Input::Picker(*field));
    } else {
      forms::Grid* grid = RequireGrid(args[0]);
      if (!grid) return;
      auto row = RowNumber(args[1], 1);
      if (!row) return;
      const int col = RequireColumn(*grid, args[2]);
      if (col < 0) return;
      picks_.push_back({*chosen, line_});
      ReportInput(Input::CellPicker(*grid, GridRowOf(*grid, *row), col));
    }
  } else if (name == "dialog") {
    dialogs_.push_back({args[0], &command});
  } else if (name == "show") {
    forms::Form* form = TargetForm();
    if (!form) return;
    if (args.empty()) {
      ShowForm(*form, out_);
    } else if (forms::Widget* widget = RequireWidget(args[0], false)) {
      ShowWidget(*widget, out_);
    }
  } else if (name == "echo") {
    std::string text;
    for (const auto& arg : args) text += (text.empty() ? "" : " ") + arg;
    out_ << text << "\n";
  } else {
    Error("the command '" + name + "' is not implemented");
  }
}

void ScriptHost::Check(const ScriptStep& command) {
  const std::string& what = command.args[0];
  const std::vector<std::string> args(command.args.begin() + 1, command.args.end());
  ++checks_;
  auto expectEqual = [&](const std::string& subject, const std::string& actual,
                         const std::string& expected) {
    if (actual != expected) {
      Fail(command.line,
           subject + ": expected '" + OneLine(expected) + "', got '" + OneLine(actual) + "'");
    }
  };
  auto contains = [&](const std::vector<std::string>& lines, const std::string& part,
                      const std::string& kind) {
    for (const auto& line : lines) {
      if (line.find(part) != std::string::npos) return;
    }
    std::string seen;
    for (const auto& line : lines) seen += "\n    " + line;
    Fail(command.line,
         "no " + kind + " with '" + part + "'" +
             (seen.empty() ? " (none since the previous command)" : "; there were:" + seen));
  };

  if (what == "result") {
    expectEqual("result", lastResult_, args[0]);
  } else if (what == "field" || what == "key") {
    forms::Widget* widget = RequireWidget(args[0], true);
    if (!widget) return;
    if (what == "field") return expectEqual("field " + args[0], WidgetText(*widget), args[1]);
    auto* field = dynamic_cast<forms::Field*>(widget);
    if (!field) return Error("'" + args[0] + "' is no field with a key");
    const std::string key = field->Key().empty() ? "0" : field->Key();
    const bool same =
        key == args[1] ||
        (Whole(args[1]) && db::NumericValue(key) == static_cast<double>(*Whole(args[1])));
    if (!same) expectEqual("key of " + args[0], field->Key(), args[1]);
  } else if (what == "cell") {
    forms::Grid* grid = RequireGrid(args[0]);
    if (!grid) return;
    auto row = RowNumber(args[1], 1);
    if (!row) return;
    const int col = RequireColumn(*grid, args[2]);
    if (col < 0) return;
    const int gridRow = GridRowOf(*grid, *row);
    if (!grid->IsDataRow(gridRow)) {
      return Fail(command.line, "grid " + args[0] + " has no row " + args[1] + " (it has " +
                                    std::to_string(grid->DataRows()) + ")");
    }
    // A number may be named as stored or as the column's format shows it.
    if (grid->DisplayText(gridRow, col) != args[3]) {
      expectEqual("cell " + args[0] + " " + args[1] + " " + args[2], grid->TextMatrix(gridRow, col),
                  args[3]);
    }
  } else if (what == "rows") {
    forms::Grid* grid = RequireGrid(args[0]);
    if (grid) expectEqual("rows of " + args[0], std::to_string(grid->DataRows()), args[1]);
  } else if (what == "label") {
    if (forms::Widget* widget = RequireWidget(args[0], false)) {
      expectEqual(args[0], WidgetText(*widget), args[1]);
    }
  } else if (what == "visible") {
    bool wanted = false;
    if (!ParseFlag(args[1], wanted)) return Error("'" + args[1] + "' is not true or false");
    if (forms::Widget* widget = RequireWidget(args[0], false)) {
      expectEqual("visible " + args[0], widget->Visible() ? "true" : "false",
                  wanted ? "true" : "false");
    }
  } else if (what == "sql") {
    // Reading is every account's; anything else (a pragma, a statement that writes) is the
    // manager's, as the sql command is.
    if (!IsPlainSelect(args[0]) && !System().PermitRight(platform::Right::Manage, "执行SQL语句")) {
      return Fail(command.line, "expect sql needs the 管理 right for anything but a SELECT");
    }
    std::string error;
    const db::Value value = db::Runner(db_).Scalar(db::Sql(args[0]), &error);
    if (!error.empty()) return Fail(command.line, "the query failed: " + error);
    expectEqual(args[0], value.ToText(), args[1]);
  } else if (what == "event") {
    contains(windows_.back().events, args[0], "event");
  } else if (what == "msgbox") {
    contains(windows_.back().boxes, args[0], "message box");
  }
}

host::MsgAnswer ScriptHost::MessageBox(const std::string& text, const std::string& title,
                                       host::MsgButtons buttons, host::MsgIcon) {
  host::MsgAnswer answer = host::DefaultAnswer(buttons);
  std::string note = " (default)";
  if (!answers_.empty()) {
    const QueuedAnswer queued = answers_.front();
    answers_.pop_front();
    if (Fits(queued.answer, buttons)) {
      answer = queued.answer;
      note.clear();
    } else {
      Fail(queued.line, "the answer '" + queued.word + "' does not fit the box '" + OneLine(text) +
                            "' (" + ButtonsText(buttons) + ")");
    }
  }
  const std::string line = OneLine(title) + " " + OneLine(text) + " -> " + AnswerWord(answer);
  out_ << "msgbox " << line << note << "\n";
  Record(line, true);
  return answer;
}

bool ScriptHost::RunModal(host::IModalForm& form) {
  const std::string name = form.Name();
  out_ << "dialog " << name << "\n";
  auto it = std::find_if(dialogs_.begin(), dialogs_.end(),
                         [&](const PendingDialog& d) { return d.name == name; });
  if (it == dialogs_.end()) {
    form.Dismiss();
    out_ << "dialog " << name << " dismissed (no dialog block for it)\n";
    return true;
  }
  const ScriptStep* block = it->command;
  dialogs_.erase(it);
  const int outerLine = line_;
  dialogForms_.push_back(&form.Form());
  windows_.emplace_back();
  for (const auto& command : block->block) {
    Execute(command);
    if (stopped_) break;
  }
  windows_.pop_back();
  dialogForms_.pop_back();
  line_ = outerLine;
  if (form.IsClosed()) {
    out_ << "dialog " << name << " closed\n";
  } else {
    form.Dismiss();
    out_ << "dialog " << name << " dismissed\n";
  }
  return true;
}

void ScriptHost::OnEvent(const host::Event& event) {
  const std::string line = FormatEvent(event);
  out_ << "event " << line << "\n";
  Record(line, false);
}

host::PickResult ScriptHost::RunPicker(host::IControl& picker, const std::string& shownAs,
                                       const std::string& text) {
  const std::string head = "picker " + shownAs + " \"" + OneLine(text) + "\" -> ";
  if (picks_.empty()) {
    out_ << head << "nothing (no pick queued)\n";
    return {};
  }
  const QueuedPick pick = picks_.front();
  picks_.pop_front();
  host::IPickerUI* ui = picker.AsPickerUI();
  forms::Grid* grid = FirstGrid(picker.Form());
  if (!ui || !grid) {
    Fail(pick.line, shownAs + " is no picker with a list");
    return {};
  }
  host::IEventSink* previous = picker.Events().Sink();
  SelectWatch watch(previous ? previous : this, previous != nullptr);
  picker.Events().AttachSink(&watch);
  ui->Refresh();
  if (!text.empty()) ui->SetText(text);
  host::PickResult result;
  if (pick.row == 0) {
    out_ << head << "cancel\n";
  } else {
    std::vector<int> rows;
    for (int r = grid->FixedRows(); r < grid->Rows(); ++r) {
      if (!grid->RowHidden(r)) rows.push_back(r);
    }
    if (static_cast<size_t>(pick.row) > rows.size()) {
      out_ << head << "no row " << pick.row << "\n";
      Fail(pick.line, shownAs + " lists " + std::to_string(rows.size()) + " rows, not " +
                          std::to_string(pick.row));
    } else {
      forms::Input::DoubleClick(*grid, rows[static_cast<size_t>(pick.row) - 1]);
      result.chosen = watch.selected;
      result.value = ui->GetValue();
      result.text = ui->GetText();
      result.objects = ui->Objects();
      out_ << head << "row " << pick.row << ": " << OneLine(result.value) << " "
           << OneLine(result.text) << (result.chosen ? "" : " (not chosen)") << "\n";
    }
  }
  picker.Events().AttachSink(previous);
  return result;
}

host::PickResult ScriptHost::ShowPicker(const std::string& description, const std::string& text) {
  std::shared_ptr<host::IControl> picker = System().GetPicker(description);
  if (!picker || !picker->AsPickerUI()) {
    out_ << "picker " << description << " \"" << OneLine(text) << "\" -> no such picker\n";
    return {};
  }
  picker->AsPickerUI()->Init(System(), 0, text);
  host::PickResult result = RunPicker(*picker, description, text);
  picker->AsPickerUI()->Clear();
  return result;
}

}  // namespace ws::shop
