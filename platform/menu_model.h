// The host's program menu: every program of xt_objects (program number, class name, caption
// from xt_menu, else from xt_objects.progname), grouped the way a shop looks for them. Front ends
// render the groups as a navigation tree; opening an entry creates its class through the
// registry with the entry's program number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/database.h"

namespace ws::platform {

struct MenuEntry {
  int64_t programNumber = 0;
  std::string className;  // without the "WS." prefix
  std::string caption;
};

struct MenuGroup {
  std::string caption;             // "单据", "查询", "基础资料" ...
  std::vector<MenuEntry> entries;  // by program number
};

// The group a class belongs to: documents, reports, master lists, master cards, or "其他" for
// a class the host does not know.
std::string MenuGroupOf(const std::string& className);

class MenuModel {
 public:
  // Reads the menu; answers the error text, empty on success (the groups are then empty).
  std::string Load(db::IDatabase& db);

  // Groups in their fixed order, empty groups left out.
  const std::vector<MenuGroup>& Groups() const { return groups_; }
  // The entry of a program number or a class name (letter case free); nullptr when none.
  const MenuEntry* FindProgram(int64_t programNumber) const;
  const MenuEntry* FindClass(const std::string& className) const;

 private:
  std::vector<MenuGroup> groups_;
};

}  // namespace ws::platform
