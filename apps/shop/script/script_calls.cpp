#include "shop/script/script_calls.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>

#include "framework/order_follower.h"
#include "host/parameters.h"
#include "shop/script/script_widgets.h"

namespace ws::shop {

namespace {

using Args = std::vector<std::string>;
using Operation = std::function<CallOutcome(const Args&)>;

std::string Bool(bool value) {
  return value ? "true" : "false";
}

CallOutcome Done(std::string result) {
  return CallOutcome{std::move(result), ""};
}
CallOutcome Refuse(std::string error) {
  return CallOutcome{"", std::move(error)};
}

std::optional<int64_t> Whole(const std::string& text) {
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string ArgumentError(const std::string& op, size_t wanted) {
  return op + " takes " + std::to_string(wanted) + (wanted == 1 ? " argument" : " arguments");
}

// An operation without arguments answering a Boolean.
Operation Flagged(const std::string& op, std::function<bool()> call) {
  return [op, call](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError(op, 0));
    return Done(Bool(call()));
  };
}

// An operation without arguments answering nothing.
Operation Plain(const std::string& op, std::function<void()> call) {
  return [op, call](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError(op, 0));
    call();
    return Done("");
  };
}

std::string DescribeParameters(const host::ParametersPtr& parameters) {
  if (!parameters) return "Nothing";
  std::string out;
  for (const auto& [name, value] : parameters->Items()) {
    out += (out.empty() ? "" : " ") + name + "=" + OneLine(value);
  }
  return out;
}

std::string DescribeObjects(const host::PropertyBag& bag) {
  std::string out;
  for (const auto& [name, value] : bag.Items()) {
    out += (out.empty() ? "" : " ") + name + "=" + OneLine(value.ToText());
  }
  return out;
}

// NAME=VALUE arguments into a parameter collection (added to the control's own, if any).
CallOutcome SetParameters(const Args& args, host::ParametersPtr current,
                          const std::function<void(host::ParametersPtr)>& set) {
  auto parameters = current ? current : std::make_shared<host::Parameters>();
  for (const auto& arg : args) {
    const size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0) {
      return Refuse("SetParameters takes NAME=VALUE arguments, not '" + arg + "'");
    }
    parameters->Set(arg.substr(0, equals), arg.substr(equals + 1));
  }
  set(parameters);
  return Done("");
}

std::map<std::string, Operation> FormOperations(host::IFormUI& ui, host::ISystem& system) {
  std::map<std::string, Operation> ops = {
      {"Clear", Flagged("Clear", [&] { return ui.Clear(); })},
      {"FileNew", Flagged("FileNew", [&] { return ui.FileNew(); })},
      {"FileNewNext", Flagged("FileNewNext", [&] { return ui.FileNewNext(); })},
      {"FileEdit", Flagged("FileEdit", [&] { return ui.FileEdit(); })},
      {"FileDelete", Flagged("FileDelete", [&] { return ui.FileDelete(); })},
      {"FileSave", Flagged("FileSave", [&] { return ui.FileSave(); })},
      {"FileCancel", Flagged("FileCancel", [&] { return ui.FileCancel(); })},
      {"FindNext", Flagged("FindNext", [&] { return ui.FindNext(); })},
      {"Refresh", Flagged("Refresh", [&] { return ui.Refresh(); })},
      {"RecordTop", Flagged("RecordTop", [&] { return ui.RecordTop(); })},
      {"RecordPrevious", Flagged("RecordPrevious", [&] { return ui.RecordPrevious(); })},
      {"RecordNext", Flagged("RecordNext", [&] { return ui.RecordNext(); })},
      {"RecordBottom", Flagged("RecordBottom", [&] { return ui.RecordBottom(); })},
      {"Check", Flagged("Check", [&] { return ui.Check(); })},
      {"UnCheck", Flagged("UnCheck", [&] { return ui.UnCheck(); })},
      {"PrintPreview", Flagged("PrintPreview", [&] { return ui.PrintPreview(); })},
      {"DoPrint", Flagged("DoPrint", [&] { return ui.DoPrint(); })},
      {"PrintSetup", Flagged("PrintSetup", [&] { return ui.PrintSetup(); })},
      {"Help", Flagged("Help", [&] { return ui.Help(); })},
      {"IsDirty", Flagged("IsDirty", [&] { return ui.IsDirty(); })},
      {"DoGetFormStatus", Plain("DoGetFormStatus", [&] { ui.DoGetFormStatus(); })},
      {"DoSaveFormStatus", Plain("DoSaveFormStatus", [&] { ui.DoSaveFormStatus(); })},
  };
  ops["Init"] = [&](const Args& args) {
    if (args.size() != 2) return Refuse(ArgumentError("Init", 2));
    auto program = Whole(args[0]);
    auto id = Whole(args[1]);
    if (!program || !id) return Refuse("Init takes a program number and a document id");
    return Done(Bool(ui.Init(system, *program, *id)));
  };
  ops["Find"] = [&](const Args& args) {
    if (!args.empty()) return Refuse("Find takes no arguments here; use 'find COLUMN-OP VALUE'");
    return Done(Bool(ui.Find(host::Conditions{})));
  };
  ops["Filter"] = [&](const Args& args) {
    if (!args.empty()) return Refuse("Filter takes no arguments here; use 'filter'");
    return Done(Bool(ui.Filter(host::Conditions{})));
  };
  ops["DoSetStatus"] = [&](const Args& args) {
    bool stamp = false;
    if (args.empty() || args.size() > 2 || (args.size() == 2 && !ParseFlag(args[1], stamp))) {
      return Refuse("DoSetStatus takes a status word and a flag (true/false)");
    }
    return Done(Bool(ui.DoSetStatus(args[0], stamp)));
  };
  ops["GetID"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("GetID", 0));
    return Done(std::to_string(ui.GetID()));
  };
  ops["CheckStatus"] = [&](const Args& args) {
    if (args.size() > 1) return Refuse(ArgumentError("CheckStatus", 1));
    return Done(Bool(ui.CheckStatus(args.empty() ? std::string() : args[0])));
  };
  ops["ReturnPrintName"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("ReturnPrintName", 0));
    return Done(ui.ReturnPrintName());
  };
  ops["Attributes"] = [&](const Args& args) {
    std::optional<int64_t> n = args.size() == 1 ? Whole(args[0]) : std::nullopt;
    if (!n) return Refuse("Attributes takes a number");
    return Done(ui.Attributes(*n));
  };
  return ops;
}

std::map<std::string, Operation> ReportOperations(host::IReportUI& ui, host::ISystem& system) {
  std::map<std::string, Operation> ops = {
      {"Clear", Flagged("Clear", [&] { return ui.Clear(); })},
      {"Find", Flagged("Find", [&] { return ui.Find(); })},
      {"FindNext", Flagged("FindNext", [&] { return ui.FindNext(); })},
      {"Filter", Flagged("Filter", [&] { return ui.Filter(); })},
      {"Refresh", Flagged("Refresh", [&] { return ui.Refresh(); })},
      {"RecordTop", Flagged("RecordTop", [&] { return ui.RecordTop(); })},
      {"RecordPrevious", Flagged("RecordPrevious", [&] { return ui.RecordPrevious(); })},
      {"RecordNext", Flagged("RecordNext", [&] { return ui.RecordNext(); })},
      {"RecordBottom", Flagged("RecordBottom", [&] { return ui.RecordBottom(); })},
      {"PrintPreview", Flagged("PrintPreview", [&] { return ui.PrintPreview(); })},
      {"DoPrint", Flagged("DoPrint", [&] { return ui.DoPrint(); })},
      {"PrintSetup", Flagged("PrintSetup", [&] { return ui.PrintSetup(); })},
      {"Help", Flagged("Help", [&] { return ui.Help(); })},
  };
  ops["Init"] = [&](const Args& args) {
    std::optional<int64_t> program = args.size() == 1 ? Whole(args[0]) : std::nullopt;
    if (!program) return Refuse("Init takes a program number");
    return Done(Bool(ui.Init(system, *program)));
  };
  ops["ReturnPrintName"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("ReturnPrintName", 0));
    return Done(ui.ReturnPrintName());
  };
  ops["DoGetFormStatus"] = [&](const Args& args) {
    if (args.size() > 1) return Refuse(ArgumentError("DoGetFormStatus", 1));
    ui.DoGetFormStatus(args.empty() ? std::string() : args[0]);
    return Done("");
  };
  ops["DoSaveFormStatus"] = [&](const Args& args) {
    if (args.size() > 1) return Refuse(ArgumentError("DoSaveFormStatus", 1));
    ui.DoSaveFormStatus(args.empty() ? std::string() : args[0]);
    return Done("");
  };
  ops["Attributes"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("Attributes", 0));
    return Done(ui.Attributes());
  };
  ops["GetParameters"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("GetParameters", 0));
    return Done(DescribeParameters(ui.GetParameters()));
  };
  ops["SetParameters"] = [&](const Args& args) {
    return SetParameters(args, ui.GetParameters(),
                         [&](host::ParametersPtr p) { ui.SetParameters(std::move(p)); });
  };
  return ops;
}

std::map<std::string, Operation> PickerOperations(host::IPickerUI& ui, host::ISystem& system) {
  std::map<std::string, Operation> ops = {
      {"Clear", Flagged("Clear", [&] { return ui.Clear(); })},
      {"Refresh", Flagged("Refresh", [&] { return ui.Refresh(); })},
      {"GetIsDirty", Flagged("GetIsDirty", [&] { return ui.GetIsDirty(); })},
      {"DoGetFormStatus", Plain("DoGetFormStatus", [&] { ui.DoGetFormStatus(); })},
      {"DoSaveFormStatus", Plain("DoSaveFormStatus", [&] { ui.DoSaveFormStatus(); })},
  };
  ops["Init"] = [&](const Args& args) {
    std::optional<int64_t> number =
        !args.empty() && args.size() <= 2 ? Whole(args[0]) : std::nullopt;
    if (!number) return Refuse("Init takes a number and an optional text");
    return Done(Bool(ui.Init(system, *number, args.size() == 2 ? args[1] : std::string())));
  };
  ops["SetIsDirty"] = [&](const Args& args) {
    bool dirty = false;
    if (args.size() != 1 || !ParseFlag(args[0], dirty)) return Refuse("SetIsDirty takes a flag");
    ui.SetIsDirty(dirty);
    return Done("");
  };
  ops["Attributes"] = [&](const Args& args) {
    if (args.size() != 1) return Refuse(ArgumentError("Attributes", 1));
    return Done(ui.Attributes(args[0]));
  };
  ops["GetParameters"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("GetParameters", 0));
    return Done(DescribeParameters(ui.GetParameters()));
  };
  ops["SetParameters"] = [&](const Args& args) {
    return SetParameters(args, ui.GetParameters(),
                         [&](host::ParametersPtr p) { ui.SetParameters(std::move(p)); });
  };
  ops["GetValue"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("GetValue", 0));
    return Done(ui.GetValue());
  };
  ops["SetValue"] = [&](const Args& args) {
    if (args.size() != 1) return Refuse(ArgumentError("SetValue", 1));
    ui.SetValue(args[0]);
    return Done("");
  };
  ops["GetText"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("GetText", 0));
    return Done(ui.GetText());
  };
  ops["SetText"] = [&](const Args& args) {
    if (args.size() != 1) return Refuse(ArgumentError("SetText", 1));
    ui.SetText(args[0]);
    return Done("");
  };
  ops["Objects"] = [&](const Args& args) {
    if (!args.empty()) return Refuse(ArgumentError("Objects", 0));
    return Done(DescribeObjects(ui.Objects()));
  };
  // Validate TEXT [TEXT1 TEXT2 TEXT3]: the answer, then the value and text it gave out.
  ops["Validate"] = [&](const Args& args) {
    if (args.empty() || args.size() > 4) return Refuse("Validate takes the typed text");
    auto at = [&](size_t i) { return i < args.size() ? args[i] : std::string(); };
    std::string value;
    std::string text;
    const bool answer = ui.Validate(at(1), at(2), at(3), args[0], value, text);
    return Done(Bool(answer) + " " + value + " " + text);
  };
  return ops;
}

std::map<std::string, Operation> ToolOperations(host::IFormToolUI& ui) {
  std::map<std::string, Operation> ops = {{"Tools", Flagged("Tools", [&] { return ui.Tools(); })}};
  ops["Action"] = [&](const Args& args) {
    if (args.size() != 1) return Refuse(ArgumentError("Action", 1));
    return Done(Bool(ui.Action(args[0])));
  };
  return ops;
}

std::map<std::string, Operation> FollowerOperations(framework::OrderFollower& follower) {
  std::map<std::string, Operation> ops;
  ops["NewForOrder"] = [&](const Args& args) {
    std::optional<int64_t> id = args.size() == 1 ? Whole(args[0]) : std::nullopt;
    if (!id) return Refuse("NewForOrder takes a repair order's id");
    return Done(Bool(follower.NewForOrder(*id)));
  };
  return ops;
}

}  // namespace

bool ParseFlag(const std::string& text, bool& value) {
  if (text == "true" || text == "1" || text == "yes" || text == "True") {
    value = true;
  } else if (text == "false" || text == "0" || text == "no" || text == "False") {
    value = false;
  } else {
    return false;
  }
  return true;
}

CallOutcome CallOperation(host::IControl& control, host::ISystem& system, const std::string& op,
                          const std::vector<std::string>& args) {
  std::vector<std::map<std::string, Operation>> tables;
  if (auto* form = control.AsFormUI()) tables.push_back(FormOperations(*form, system));
  if (auto* report = control.AsReportUI()) tables.push_back(ReportOperations(*report, system));
  if (auto* picker = control.AsPickerUI()) tables.push_back(PickerOperations(*picker, system));
  if (auto* tool = control.AsFormToolUI()) tables.push_back(ToolOperations(*tool));
  if (auto* follower = dynamic_cast<framework::OrderFollower*>(&control)) {
    tables.push_back(FollowerOperations(*follower));
  }
  for (const auto& table : tables) {
    if (auto it = table.find(op); it != table.end()) return it->second(args);
  }
  return Refuse(control.ClassName() + " has no operation '" + op + "'");
}

}  // namespace ws::shop
