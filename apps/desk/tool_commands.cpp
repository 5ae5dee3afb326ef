#include "desk/tool_commands.h"

#include <stdexcept>

namespace ws::desk {

const std::vector<ToolCommandInfo>& ToolCommands() {
  static const std::vector<ToolCommandInfo> commands = {
      {ToolCommand::New, "New", "新增", "Ctrl+N", false},
      {ToolCommand::Edit, "Edit", "修改", "Ctrl+E", false},
      {ToolCommand::Save, "Save", "保存", "Ctrl+S", false},
      {ToolCommand::Cancel, "Cancel", "取消", "Alt+C", false},
      {ToolCommand::Delete, "Delete", "删除", "Ctrl+Del", false},
      {ToolCommand::Check, "Check", "审核", "Ctrl+K", true},
      {ToolCommand::UnCheck, "UnCheck", "弃审", "Ctrl+Shift+K", false},
      {ToolCommand::Find, "Find", "查找", "Ctrl+F", true},
      {ToolCommand::Filter, "Filter", "过滤", "Ctrl+L", false},
      {ToolCommand::Refresh, "Refresh", "刷新", "F5", false},
      {ToolCommand::First, "First", "首张", "Alt+Home", true},
      {ToolCommand::Previous, "Previous", "上张", "Alt+Left", false},
      {ToolCommand::Next, "Next", "下张", "Alt+Right", false},
      {ToolCommand::Last, "Last", "末张", "Alt+End", false},
      {ToolCommand::Print, "Print", "打印", "Ctrl+P", true},
      {ToolCommand::Preview, "Preview", "预览", "Ctrl+Shift+P", false},
  };
  return commands;
}

const std::vector<FollowUpInfo>& FollowUps() {
  static const std::vector<FollowUpInfo> followUps = {
      {"领料", "CKLl_WS", "Alt+L"}, {"结算", "JS_WS", "Alt+J"}, {"收款", "JS_S", "Alt+K"}};
  return followUps;
}

const ToolCommandInfo& InfoOf(ToolCommand command) {
  for (const auto& info : ToolCommands()) {
    if (info.command == command) return info;
  }
  throw std::logic_error("unknown tool command");
}

bool CommandEnabled(ToolCommand command, const ProgramState& state) {
  if (!state.formUI && !state.reportUI) return false;
  switch (command) {
    case ToolCommand::Save:
      return state.formUI && state.mayChange && (state.editing || state.dirty);
    case ToolCommand::Cancel:
      return state.formUI && state.editing;
    case ToolCommand::Refresh:
      // While editing it reads the saved version again and gives the typed changes back.
      if (state.editing) return state.formUI;
      break;
    default:
      break;
  }
  if (state.editing) return false;
  switch (command) {
    case ToolCommand::New:
      return state.formUI && state.mayChange;
    case ToolCommand::Edit:
      return state.formUI && state.mayChange && !state.checked;
    case ToolCommand::Delete:
      return state.formUI && state.mayDelete && !state.checked;
    case ToolCommand::Check:
      return state.formUI && state.mayCheck && state.checkable && !state.checked;
    case ToolCommand::UnCheck:
      return state.formUI && state.mayCheck && state.checkable && state.checked;
    default:
      return true;  // find, filter, refresh, moves and print
  }
}

}  // namespace ws::desk
