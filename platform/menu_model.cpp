#include "platform/menu_model.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "db/runner.h"
#include "forms/text.h"

namespace ws::platform {

namespace {

// Where each class of the module sits in the menu; the order of the groups is the order here.
struct GroupRule {
  const char* group;
  std::vector<const char*> classes;
};

const std::vector<GroupRule>& GroupRules() {
  static const std::vector<GroupRule> rules = {
      {"单据", {"WS_S", "CKLl_WS", "JS_WS", "JS_S"}},
      {"查询", {"WS_RPT", "JS_RPT", "CL_LS", "BY_TX", "ZL_FX", "LY_DB", "JZ_JC", "XG_JL"}},
      {"基础资料", {"PDM_cl", "PDM_XM", "PDM_WXFL"}},
      {"资料卡片", {"PDM_clAdd", "PDM_XMAdd", "PDM_WXFLAdd"}},
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
  for (const auto& rule : GroupRules()) {
    for (const char* name : rule.classes) {
      if (SameName(bare, name)) return rule.group;
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
