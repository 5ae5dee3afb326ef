#include "platform/menu_model.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "db/default_config.h"
#include "db/runner.h"
#include "forms/text.h"

namespace ws::platform {

namespace {

// The menu's groups in order, and the kinds of program each holds.
struct GroupRule {
  const char* group;
  std::vector<db::ProgramKind> kinds;
};

const std::vector<GroupRule>& GroupRules() {
  using enum db::ProgramKind;
  static const std::vector<GroupRule> rules = {
      {"单据", {Document, MoneyDocument}},
      {"查询", {Report, KeptReport}},
      {"基础资料", {MasterList}},
      {"资料卡片", {MasterCard, CounterCard}},
  };
  return rules;
}

constexpr const char* kOtherGroup = "其他";

constexpr auto SameName = &forms::EqualsIgnoringCase;

std::string StripPrefix(std::string name) {
  if (name.size() > 3 && SameName(name.substr(0, 3), "WS.")) name.erase(0, 3);
  return name;
}

}  // namespace

std::string MenuGroupOf(const std::string& className) {
  const std::string bare = StripPrefix(className);
  for (const auto& control : db::DefaultControls()) {
    if (!SameName(bare, control.className)) continue;
    for (const auto& rule : GroupRules()) {
      if (std::find(rule.kinds.begin(), rule.kinds.end(), control.kind) != rule.kinds.end()) {
        return rule.group;
      }
    }
  }
  return kOtherGroup;
}

std::string MenuModel::Load(db::IDatabase& db) {
  groups_.clear();
  std::string error;
  auto rows = db::Runner(db).Open(
      db::Sql("SELECT o.progid, o.classname, o.progname, m.menuname FROM xt_objects o "
              "LEFT JOIN xt_menu m ON m.progID = o.progid ORDER BY o.progid"),
      &error);
  if (!error.empty()) return error;
  std::vector<MenuGroup> groups;
  for (const auto& rule : GroupRules()) groups.push_back(MenuGroup{rule.group, {}});
  groups.push_back(MenuGroup{kOtherGroup, {}});
  for (; !rows->Eof(); rows->MoveNext()) {
    MenuEntry entry;
    entry.programNumber = rows->Long("progid");
    entry.className = StripPrefix(rows->Text("classname"));
    if (entry.className.empty()) continue;  // nothing a host could create
    entry.caption = rows->Text("menuname");
    if (entry.caption.empty()) entry.caption = rows->Text("progname");
    if (entry.caption.empty()) entry.caption = entry.className;
    const std::string group = MenuGroupOf(entry.className);
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const MenuGroup& g) { return g.caption == group; });
    it->entries.push_back(std::move(entry));
  }
  std::erase_if(groups, [](const MenuGroup& g) { return g.entries.empty(); });
  groups_ = std::move(groups);
  return {};
}

const MenuEntry* MenuModel::FindProgram(int64_t programNumber) const {
  for (const auto& group : groups_) {
    for (const auto& entry : group.entries) {
      if (entry.programNumber == programNumber) return &entry;
    }
  }
  return nullptr;
}

const MenuEntry* MenuModel::FindClass(const std::string& className) const {
  const std::string bare = StripPrefix(className);
  for (const auto& group : groups_) {
    for (const auto& entry : group.entries) {
      if (SameName(entry.className, bare)) return &entry;
    }
  }
  return nullptr;
}

}  // namespace ws::platform
