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
  const auto& documents = menu.Groups().front().entries;
  ASSERT_EQ(documents.size(), 4u);
  EXPECT_EQ(documents.front().className, "WS_S");  // ordered by program number
  EXPECT_EQ(menu.FindClass("ws.ws_s"), menu.FindProgram(200001));
  EXPECT_EQ(menu.FindProgram(999), nullptr);
}

TEST_F(MenuModelTest, TakesCaptionsAndClassesAsTheHostTablesGiveThem) {
  // A program without a menu row falls back to its object caption; an object without a class
  // cannot be created and stays out; a class of another library lands in "其他".
  host_.Exec("DELETE FROM xt_menu WHERE progID = 200011");
  host_.Exec("UPDATE xt_objects SET progname = '车辆档案' WHERE progid = 200011");
  host_.Exec("UPDATE xt_objects SET classname = 'WS.PDM_XM' WHERE progid = 200014");
  host_.Exec(
      "INSERT INTO xt_objects (progid, progname, classname) VALUES (300001, '库存', 'KC_S'), "
      "(300002, '空', '')");
  platform::MenuModel menu;
  ASSERT_EQ(menu.Load(host_.Db()), "");
  EXPECT_EQ(menu.FindProgram(200011)->caption, "车辆档案");
  EXPECT_EQ(menu.FindProgram(200014)->className, "PDM_XM");
  EXPECT_EQ(menu.Groups().back().caption, "其他");
  ASSERT_EQ(menu.Groups().back().entries.size(), 1u);
  EXPECT_EQ(menu.Groups().back().entries[0].className, "KC_S");
  EXPECT_EQ(menu.FindProgram(300002), nullptr);
  EXPECT_EQ(platform::MenuGroupOf("WS.JS_RPT"), "查询");

  host_.Exec("DROP TABLE xt_objects");
  platform::MenuModel unreadable;
  EXPECT_NE(unreadable.Load(host_.Db()), "");
  EXPECT_TRUE(unreadable.Groups().empty());
}

}  // namespace
}  // namespace ws
