#include "platform/system_object.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "db/default_config.h"
#include "platform/menu_model.h"
#include "support/test_host.h"

namespace ws {
namespace {

using test::HostTest;

class SystemObjectTest : public HostTest {
 protected:
  platform::SystemObject& System() { return host_.System(); }

  std::string Propose(int64_t prog, const db::Date& date) {
    std::string number = "unchanged";
    EXPECT_TRUE(System().NewBillNo(prog, date, number, true));
    return number;
  }
  void Confirm(int64_t prog, const db::Date& date, std::string number) {
    std::string typed = number;
    EXPECT_TRUE(System().NewBillNo(prog, date, typed, false)) << number;
    EXPECT_EQ(typed, number) << "a confirmed number stands as typed";
  }
};

TEST_F(SystemObjectTest, OptionsAndParametersComeFromTheHostTables) {
  // A number is its name; missing ones are empty, per module. (The installed values are the
  // catalogue's test.)
  using Case = std::pair<std::string, std::string>;
  const Case installed[] = {{System().GetOption(12, 7), "2"},
                            {System().GetOption(12, "nosuchoption"), ""},
                            {System().GetOption(3, "befmonth"), ""},
                            {System().GetParameter(12, 999), ""}};
  for (const auto& [got, expected] : installed) EXPECT_EQ(got, expected);

  ASSERT_EQ(System().SetOption(12, "befmonth", "3"), "");
  ASSERT_EQ(System().SetOption(3, "befmonth", "6"), "");
  ASSERT_EQ(System().SetParameter(12, 3, "25"), "");
  ASSERT_EQ(System().SetParameter(12, 3, "20"), "") << "setting again replaces";
  ASSERT_EQ(System().SetOption(1, "it's", "O'Brien"), "");
  const Case set[] = {{System().GetOption(12, "befmonth"), "3"},
                      {System().GetOption(3, "befmonth"), "6"},
                      {System().GetParameter(12, 3), "20"},
                      {System().GetOption(1, "it's"), "O'Brien"}};
  for (const auto& [got, expected] : set) EXPECT_EQ(got, expected);

  System().GetOption(12, "Jzperiod");
  ASSERT_EQ(System().SetOption(12, "shopname", "老店"), "");
  // Another desk writes: options this session read stay as read, while the closed period and
  // the parameters, which guard what may still be edited, and the shop's particulars every
  // print starts with are read afresh.
  host_.Exec("UPDATE ws_option SET value = '9' WHERE name = 'befmonth'");
  host_.Exec("UPDATE ws_option SET value = '201205' WHERE module = 12 AND name = 'Jzperiod'");
  host_.Exec("UPDATE ws_option SET value = '新店' WHERE module = 12 AND name = 'shopname'");
  host_.Exec("UPDATE ws_parameter SET value = '28' WHERE module = 12 AND number = 3");
  const Case afterOthers[] = {{System().GetOption(12, "befmonth"), "3"},
                              {System().GetOption(12, "Jzperiod"), "201205"},
                              {System().GetOption(12, "shopname"), "新店"},
                              {System().GetParameter(12, 3), "28"}};
  for (const auto& [got, expected] : afterOthers) EXPECT_EQ(got, expected);
}

// A desk's login reads every option in one statement: what is read after it is what the table
// held then (a missing option empty, a value this session set standing) with no statement of its
// own, while the closed period is still read every time.
TEST_F(SystemObjectTest, OptionsReadAtLoginAnswerAsTheTableHeldThem) {
  ASSERT_EQ(System().SetOption(1, "it's", "O'Brien"), "");
  host_.Exec("INSERT INTO ws_option (module, name, value) VALUES (3, 'befmonth', '6')");
  host_.Exec("UPDATE ws_option SET value = '201203' WHERE module = 12 AND name = 'Jzperiod'");
  ASSERT_EQ(System().StartSession(), "");
  host_.Exec("UPDATE ws_option SET value = '9' WHERE module = 3 AND name = 'befmonth'");
  host_.Exec("UPDATE ws_option SET value = '201205' WHERE module = 12 AND name = 'Jzperiod'");
  host_.Db().EnableLog(true);
  host_.Db().ClearLog();
  const std::pair<std::string, std::string> cases[] = {{System().GetOption(3, "befmonth"), "6"},
                                                       {System().GetOption(12, 7), "2"},
                                                       {System().GetOption(1, "it's"), "O'Brien"},
                                                       {System().GetOption(12, "nosuchoption"), ""},
                                                       {System().GetOption(4, "befmonth"), ""}};
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  EXPECT_TRUE(host_.Db().Log().empty());
  EXPECT_EQ(System().GetOption(12, "Jzperiod"), "201205");
  host_.Db().EnableLog(false);
}

// Host tables that cannot be read answer empty; writes and numbers that fail tell the user.
TEST_F(SystemObjectTest, BrokenHostTablesReadAsEmptyAndFailuresAreShown) {
  host_.Exec("DROP TABLE ws_option");
  EXPECT_EQ(System().GetOption(12, "Jzperiod"), "");
  EXPECT_NE(System().SetOption(12, "Jzperiod", "201201"), "");

  host_.Exec("DROP TABLE ws_billno");
  std::string number = "kept";
  EXPECT_FALSE(System().NewBillNo(200001, db::Date{2012, 12, 5}, number, true));
  EXPECT_EQ(number, "kept");
  number = "20121205001";
  EXPECT_FALSE(System().NewBillNo(200001, db::Date{2012, 12, 5}, number, false));
  EXPECT_EQ(number, "20121205001");
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 2u);
  EXPECT_TRUE(host_.Dialogs().Asked("ws_billno"));
}

TEST_F(SystemObjectTest, BillNumbersAreProposedPerProgramAndDate) {
  const db::Date dec5{2012, 12, 5};
  EXPECT_EQ(Propose(200001, dec5), "20121205001");
  EXPECT_EQ(Propose(200001, dec5), "20121205002")
      << "a proposal reserves its number: two counters pressing New get two numbers";

  Confirm(200001, dec5, "20121205001");
  host_.Exec("INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (1, 200001, '20121205001')");
  EXPECT_EQ(Propose(200001, dec5), "20121205003");

  // Numbers typed by hand are skipped; only this program's count.
  // (The last is too short for the scheme.)
  host_.Exec(
      "INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (2, 200001, '20121205002'), "
      "(3, 200001, '20121205003'), (4, 200099, '20121205004'), (5, 200001, '2012120500')");
  EXPECT_EQ(Propose(200001, dec5), "20121205004");
  // Each date and each program has its own sequence.
  EXPECT_EQ(Propose(200001, db::Date{2012, 12, 6}), "20121206001");
  EXPECT_EQ(Propose(200002, dec5), "20121205001");
  // The requisition's numbers live in JXCDJ.单据编号.
  host_.Exec("INSERT INTO JXCDJ (单据ID, progID, 单据编号) VALUES (1, 200002, '20121205001')");
  EXPECT_EQ(Propose(200002, dec5), "20121205002");

  // Confirming a scheme number moves its date's counter up to it, never down.
  Confirm(200001, dec5, "20121205050");
  EXPECT_EQ(Propose(200001, dec5), "20121205051");
  Confirm(200001, dec5, "20121205010");
  EXPECT_EQ(Propose(200001, dec5), "20121205052");
  // The number's own date counts, not the date the save passes.
  Confirm(200001, dec5, "20121101007");
  EXPECT_EQ(Propose(200001, db::Date{2012, 11, 1}), "20121101008");
  // Other numbers stand and leave the counters alone.
  const int64_t counters = host_.Scalar("SELECT COUNT(*) FROM ws_billno").ToLong();
  for (std::string typed : {"ABC-1", "", "20121305001", "2012120500a", "20121205"}) {
    Confirm(200001, dec5, typed);
  }
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM ws_billno").ToLong(), counters);
  // Past 999 the sequence grows a digit.
  Confirm(200001, dec5, "20121205999");
  EXPECT_EQ(Propose(200001, dec5), "201212051000");
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(SystemObjectTest, ClosedPeriodsRefuseEditing) {
  // The closed period, the closing day, a bill's date and whether it may be edited.
  const std::tuple<std::string, std::string, db::Date, bool> cases[] = {
      {"0", "31", {2001, 1, 1}, true},         // nothing closed
      {"201205", "31", {2012, 5, 31}, false},  // the closed month's last day
      {"201205", "31", {2012, 6, 1}, true},
      {"201212", "31", {2012, 12, 31}, false},  // year end
      {"201205", "25", {2012, 5, 25}, false},   // on the closing day: still May
      {"201205", "25", {2012, 5, 26}, true},    // after it: June
      {"201212", "25", {2012, 12, 26}, true},   // after it in December: next January
      {"201301", "25", {2012, 12, 26}, false},
      {"201202", "", {2012, 2, 29}, false},  // last, for the box below
  };
  for (const auto& [closed, closingDay, date, editable] : cases) {
    ASSERT_EQ(System().SetOption(12, "Jzperiod", closed), "");
    ASSERT_EQ(System().SetParameter(12, 3, closingDay), "");
    host_.Dialogs().Clear();
    EXPECT_EQ(System().CanEditBill(200001, date, "X1"), editable)
        << closed << " / day " << closingDay << " / " << date.Text();
    ASSERT_EQ(host_.Dialogs().Boxes().size(), editable ? 0u : 1u);
  }
  EXPECT_EQ(host_.Dialogs().Boxes()[0].text, "单据所在会计期间已结账，不能修改！");
}

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
