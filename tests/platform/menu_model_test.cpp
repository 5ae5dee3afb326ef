#include "platform/menu_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/default_config.h"
#include "support/test_host.h"

namespace ws {
namespace {

using MenuModelTest = test::HostTest;

TEST_F(MenuModelTest, GroupsEveryDefaultProgram) {
  platform::MenuModel menu;
  ASSERT_EQ(menu.Load(host_.Db()), "");
  std::vector<std::string> captions;
  size_t entries = 0;
  for (const auto& group : menu.Groups()) {
    captions.push_back(group.caption);
    entries += group.entries.size();
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"单据", "查询", "基础资料", "资料卡片"}));
  EXPECT_EQ(entries, db::DefaultControls().size());
  // Every default control is found by number and by class, with the menu caption.
  for (const auto& control : db::DefaultControls()) {
    const auto* byNumber = menu.FindProgram(control.programNumber);
    ASSERT_NE(byNumber, nullptr) << control.className;
    EXPECT_EQ(byNumber->className, control.className);
    EXPECT_EQ(byNumber->caption, control.caption);
    EXPECT_EQ(menu.FindClass(control.className), byNumber);
  }
  EXPECT_EQ(menu.FindClass("ws.ws_s"), menu.FindProgram(200001));
  EXPECT_EQ(menu.FindProgram(999), nullptr);
}

}  // namespace
}  // namespace ws
