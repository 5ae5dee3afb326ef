#include "platform/accounts.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "platform/access_guard.h"
#include "platform/password_hash.h"
#include "platform/system_object.h"
#include "repair_order/order_sql.h"
#include "support/test_host.h"

namespace ws {
namespace {

using platform::AccessGuard;
using platform::AccountStore;
using platform::Right;
using platform::Step;

constexpr const char* kOwner = "老板";
constexpr const char* kOwnerPassword = "owner-secret";

TEST(PasswordHashTest, VerifiesItsPasswordOnlyAndNeverHoldsIt) {
  using platform::HashCost;
  const std::vector<std::pair<std::string, HashCost>> cases = {
      {"correct horse", HashCost::Interactive},
      {"密码是中文的", HashCost::Minimal},
      {std::string(1024, 'x'), HashCost::Minimal}};
  for (const auto& [password, cost] : cases) {
    auto hash = platform::HashPassword(password, cost);
    ASSERT_TRUE(hash);
    EXPECT_EQ(hash->rfind("$argon2id$", 0), 0u) << *hash;
    EXPECT_EQ(hash->find(password), std::string::npos);
    EXPECT_TRUE(platform::VerifyPassword(*hash, password));
    EXPECT_FALSE(platform::VerifyPassword(*hash, password + " "));
    EXPECT_FALSE(platform::VerifyPassword(*hash, ""));
    EXPECT_NE(*hash, *platform::HashPassword(password, cost)) << "every hash has its own salt";
    // Hashed again under the stored hash's settings alone (what a login gets where the hash
    // itself is not readable), the password gives the stored hash, and no other does.
    const std::string settings = platform::HashSettings(*hash);
    EXPECT_EQ(hash->rfind(settings + "$", 0), 0u) << settings;
    EXPECT_EQ(settings.find(hash->substr(settings.size() + 1)), std::string::npos);
    EXPECT_EQ(platform::HashWithSettings(settings, password), *hash);
    EXPECT_NE(platform::HashWithSettings(settings, password + " "), *hash);
    // An unknown name is checked against a decoy of the very cost, so its refusal takes as long
    // as a wrong password's.
    const std::string& decoy = platform::DecoyHash(cost);
    EXPECT_EQ(decoy.substr(0, decoy.find('$', 20)), hash->substr(0, hash->find('$', 20)));
    EXPECT_FALSE(platform::VerifyPassword(decoy, password));
  }
  for (const std::string& broken :
       std::vector<std::string>{"", "$argon2id$", "plain text", std::string(200, '$')}) {
    EXPECT_FALSE(platform::VerifyPassword(broken, "plain text")) << broken;
    EXPECT_FALSE(platform::HashWithSettings(broken, "plain text")) << broken;
  }
  // Settings this library cannot use (another lane count, version or salt size) hash nothing.
  for (const char* foreign : {"$argon2id$v=19$m=8,t=1,p=2$c2FsdHNhbHRzYWx0c2FsdA",
                              "$argon2id$v=16$m=8,t=1,p=1$"
                              "c2FsdHNhbHRzYWx0c2FsdA",
                              "$argon2id$v=19$m=8,t=1,p=1$c2FsdA"}) {
    EXPECT_FALSE(platform::HashWithSettings(foreign, "plain text")) << foreign;
  }
}

TEST(AccountNamesTest, RefusesWhatCannotBeRecordedOrTyped) {
  // A text, whether it is a good name, whether a good password.
  const std::tuple<std::string, bool, bool> cases[] = {
      {"", false, false},
      {"张三", true, false},  // too short for a password
      {"张三丰的密码", true, true},
      {std::string(33, 'a'), false, true},
      {std::string(32, 'a'), true, true},
      {"O'Brien; DROP TABLE ws_account; --", false, true},  // over 32 characters
      {"a'b\"c%_\\", true, true},
      {" 张三丰丰丰", false, true},
      {"张三丰丰丰　", false, true},  // ideographic space at the end
      {"张\t三三三三", false, true},
      {"bell\a\a\a\a", false, true},
      {"\xE2\x80\xAE"
       "evil-name",
       false, true},  // right-to-left override
      {"\xff\xfe\xfd\xfc\xfb\xfa", false, false},
      {"\xC0\xAF\xC0\xAF\xC0\xAF", false, false},  // overlong '/'
      {"abc\xE4\xB8", false, false},               // cut in a character
      {std::string("pass\0word", 9), false, false},
      {std::string(1025, 'p'), false, false},
  };
  for (const auto& [text, nameOk, passwordOk] : cases) {
    EXPECT_EQ(platform::AccountNameProblem(text).empty(), nameOk) << text;
    EXPECT_EQ(platform::PasswordProblem(text).empty(), passwordOk) << text;
  }
}

// Logins are the whole server's and a login serves the one shop that made it: on the server
// each test's accounts carry a mark of the run and the test.
std::string Who(const std::string& name) {
  const char* engine = std::getenv("WS_TEST_ENGINE");
  if (!engine || std::string(engine) != "postgres") return name;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return name + "_" + std::to_string(::getpid()) + "_" +
         std::to_string(std::hash<std::string>{}(test->name()) % 100000);
}

class AccountsTest : public test::HostTest {
 protected:
  AccountsTest() {
    store_.SetRefusalDelay(std::chrono::milliseconds(0));
    store_.SetHashCost(platform::HashCost::Minimal);
  }

  void AddStaff() {
    ASSERT_EQ(store_.Add(Who(kOwner), kOwnerPassword, "店主"), "");
    ASSERT_EQ(store_.Add(Who("小王"), "wang-secret", "录入员"), "");
    ASSERT_EQ(store_.Add(Who("老李"), "li-secret", "审核员"), "");
    ASSERT_EQ(store_.Add(Who("小陈"), "chen-secret", "收银员"), "");
  }
  std::unique_ptr<platform::SystemObject> LoginAs(const std::string& name) {
    host::LoginInfo login{name, test::kTestLoginDate, host_.WorkFolder().string()};
    return std::make_unique<platform::SystemObject>(host_.Db(), host_.Dialogs(), login);
  }

  AccountStore store_{host_.Db()};
};

TEST_F(AccountsTest, TheFirstAccountMustManageAndBringsTheDefaultRoles) {
  EXPECT_FALSE(store_.HasAccounts());
  EXPECT_NE(store_.Add(Who("小王"), "wang-secret", "录入员"), "") << "a clerk cannot be first";
  EXPECT_FALSE(store_.HasAccounts()) << "the refused add left nothing behind";
  AddStaff();
  EXPECT_TRUE(store_.HasAccounts());
  EXPECT_NE(store_.Add(Who("小王"), "other-secret", "录入员"), "") << "one account a name";
  EXPECT_NE(store_.Add(Who("新人"), "new-secret", "没这个角色"), "");
  EXPECT_NE(store_.Add(Who("新人"), "short", "录入员"), "");
  const auto roles = store_.Roles();
  ASSERT_EQ(roles.size(), platform::DefaultRoles().size());
  EXPECT_EQ(store_.RightsOf(Who("老李")), (std::set<Right>{Right::Enter, Right::Check}));
  EXPECT_EQ(store_.RightsOf(Who(kOwner)).size(), platform::AllRights().size());
  // The table keeps hashes only.
  const std::string stored = host_.Joined("SELECT pw_hash FROM ws_account ORDER BY user_name", "|");
  for (const char* password : {kOwnerPassword, "wang-secret", "li-secret", "chen-secret"}) {
    EXPECT_EQ(stored.find(password), std::string::npos);
  }
}

TEST_F(AccountsTest, LoginNeedsTheRightPasswordOfAnActiveAccount) {
  AddStaff();
  ASSERT_EQ(store_.SetActive(Who("小陈"), false), "");
  // clang-format off
  const std::tuple<std::string, std::string, bool> cases[] = {
      {Who(kOwner), kOwnerPassword, true}, {Who("小王"), "wang-secret", true},
      {Who(kOwner), "owner-secreT", false}, {Who(kOwner), "", false}, {Who("小王"), kOwnerPassword, false},
      {"没这个人", "wang-secret", false}, {Who("小陈"), "chen-secret", false}, {"", "", false},
      {"小王' OR '1'='1", "x' OR '1'='1", false}, {std::string("\xff\xfe"), "\xff", false}};
  // clang-format on
  for (const auto& [name, password, accepted] : cases) {
    const std::string refusal = store_.Authenticate(name, password);
    EXPECT_EQ(refusal.empty(), accepted) << name << " / " << password;
    EXPECT_TRUE(accepted || refusal == store_.Authenticate("没这个人", "x"))
        << "one text for all, not " << refusal;
  }
  ASSERT_EQ(store_.SetPassword(Who("小王"), "wang-new-secret"), "");
  EXPECT_NE(store_.Authenticate(Who("小王"), "wang-secret"), "");
  EXPECT_EQ(store_.Authenticate(Who("小王"), "wang-new-secret"), "");
  ASSERT_EQ(store_.SetActive(Who("小陈"), true), "");
  EXPECT_EQ(store_.Authenticate(Who("小陈"), "chen-secret"), "");
}

TEST_F(AccountsTest, TheLastManagerKeepsTheRight) {
  AddStaff();
  EXPECT_NE(store_.SetRole(Who(kOwner), "录入员"), "");
  EXPECT_NE(store_.SetActive(Who(kOwner), false), "");
  EXPECT_NE(store_.SetRoleRights("店主", {Right::Enter, Right::Check}), "");
  EXPECT_EQ(store_.RightsOf(Who(kOwner)).count(Right::Manage), 1u) << "every refusal rolled back";
  // With a second manager the first may step down.
  ASSERT_EQ(store_.SetRole(Who("老李"), "店主"), "");
  EXPECT_EQ(store_.SetRole(Who(kOwner), "录入员"), "");
  EXPECT_NE(store_.SetActive(Who("老李"), false), "") << "老李 is now the last one";
  // Roles are data: the owner gives the clerks the right to check.
  ASSERT_EQ(store_.SetRoleRights("录入员", {Right::Enter, Right::Check}), "");
  EXPECT_EQ(store_.RightsOf(Who("小王")), (std::set<Right>{Right::Enter, Right::Check}));
}

TEST(AccountsRaceTest, TwoOwnersDemotingEachOtherAtOnceLeaveOneManager) {
  test::TestHost host(test::TestHost::Storage::File);
  AccountStore first(host.Db());
  first.SetHashCost(platform::HashCost::Minimal);
  ASSERT_EQ(first.Add(Who("甲"), "jia-secret", "店主"), "");
  ASSERT_EQ(first.Add(Who("乙"), "yi-secret", "店主"), "");
  auto connection = host.OpenSecondConnection();
  AccountStore second(*connection);
  for (int round = 0; round < 5; ++round) {
    std::string firstAnswer, secondAnswer;
    std::thread a([&] { firstAnswer = first.SetRole(Who("乙"), "录入员"); });
    std::thread b([&] { secondAnswer = second.SetRole(Who("甲"), "录入员"); });
    a.join();
    b.join();
    EXPECT_NE(firstAnswer.empty(), secondAnswer.empty())
        << "one demotion stands, the other is refused: " << firstAnswer << " / " << secondAnswer;
    EXPECT_EQ(host.Scalar("SELECT COUNT(*) FROM ws_account WHERE role = '店主'").ToLong(), 1);
    ASSERT_EQ(first.SetRole(firstAnswer.empty() ? Who("乙") : Who("甲"), "店主"), "");
  }
}

TEST_F(AccountsTest, EachStepAsksTheRoleForItsRight) {
  AddStaff();
  const std::tuple<std::string, int64_t, Step, bool> cases[] = {
      {Who("小王"), 200001, Step::Change, true},
      {Who("小王"), 200001, Step::Check, false},
      {Who("小王"), 200002, Step::Change, true},
      {Who("小王"), 200002, Step::Check, false},
      {Who("小王"), 200003, Step::Change, false},
      {Who("小王"), 200004, Step::Check, false},
      {Who("小王"), 200012, Step::Open, false},
      {Who("小王"), 200011, Step::Open, true},
      {Who("小王"), 200005, Step::Open, true},
      {Who("小王"), 200011, Step::Change, false},
      {Who("老李"), 200001, Step::Check, true},
      {Who("老李"), 200002, Step::Check, true},
      {Who("老李"), 200003, Step::Check, false},
      {Who("小陈"), 200003, Step::Change, true},
      {Who("小陈"), 200004, Step::Check, true},
      {Who("小陈"), 200001, Step::Change, false},
      {Who("小陈"), 200001, Step::Open, true},
      {Who(kOwner), 200029, Step::Change, true},
      {Who(kOwner), 200002, Step::Check, true},
      {Who(kOwner), 999999, Step::Open, true},
      {Who("老李"), 999999, Step::Open, false},
      {Who("小陈"), 200009, Step::Open, true},
      // A walk-in is entered at the counter; removing a customer is the manager's.
      {Who("小王"), 200042, Step::Change, true},
      {Who("小王"), 200042, Step::Delete, false},
      {Who("小王"), 200044, Step::Change, false},
      {Who(kOwner), 200042, Step::Delete, true},
      {Who("小王"), 200001, Step::Delete, true},
      {Who("小王"), 200012, Step::Delete, false},
  };
  for (const auto& [user, program, step, allowed] : cases) {
    auto system = LoginAs(user);
    host_.Dialogs().Clear();
    EXPECT_EQ(system->Allows(program, step), allowed) << user << " " << program;
    EXPECT_EQ(system->Permit(program, step), allowed) << user << " " << program;
    // A refusal tells the user which right is missing.
    const auto right = platform::RightNeeded(program, step);
    EXPECT_EQ(host_.Dialogs().Boxes().size(), allowed ? 0u : 1u);
    if (!allowed) {
      ASSERT_TRUE(right);
      EXPECT_TRUE(host_.Dialogs().Asked(std::string("“") + platform::RightName(*right) + "”"));
    }
  }
}

TEST_F(AccountsTest, CanEditBillRefusesADeleteWithoutTheRightBeforeThePeriod) {
  AddStaff();
  const db::Date open{2012, 6, 15};
  EXPECT_FALSE(LoginAs(Who("小陈"))->CanEditBill(200001, open, "20120615001"));
  EXPECT_TRUE(host_.Dialogs().Asked("“录入”"));
  EXPECT_TRUE(LoginAs(Who("小王"))->CanEditBill(200001, open, "20120615001"));
  EXPECT_TRUE(LoginAs(Who("小陈"))->CanEditBill(200004, open, "20120615001"));
}

// Whatever the account's rights, a checked document is deleted by nobody until it is
// unchecked, and an order that a requisition, settlement or receipt names stays; the refusal
// says which. The order's own delete asks again inside the write.
TEST_F(AccountsTest, CanEditBillKeepsCheckedDocumentsAndOrdersOthersName) {
  AddStaff();
  host_.Exec(
      "INSERT INTO WSDJ (单据ID, progid, 工单号码, smark) VALUES (1, 200001, 'W1', '02'), "
      "(2, 200001, 'W2', '01'), (3, 200001, 'W3', '01'), (4, 200001, 'W4', '01'), "
      "(5, 200001, 'W5', '01')");
  host_.Exec(
      "INSERT INTO JXCDJ (单据ID, progID, 单据编号, smark, 前置单据, 前置单据ID) VALUES "
      "(11, 200002, 'L1', '01', 200001, 2), (12, 200002, 'L2', '02', 200001, 9)");
  host_.Exec(
      "INSERT INTO ARPReceive (单据ID, progID, 单据编号, smark, 前置单据ID) VALUES "
      "(21, 200003, 'S1', '01', 3), (22, 200003, 'S2', '02', 9), (23, 200004, 'R1', '01', 0)");
  host_.Exec("INSERT INTO ARPReceiveMx (单据明细ID, 单据ID, 源单ID) VALUES (31, 23, 4)");
  const db::Date open{2012, 6, 15};
  struct Case {
    int64_t program;
    const char* number;
    const char* refusal;  // a part of the message, empty when the delete may go on
  };
  const Case cases[] = {
      {200001, "W1", "已审核"},   {200001, "W2", "领料单L1"}, {200001, "W3", "结算单S1"},
      {200001, "W4", "收款单R1"}, {200001, "W5", ""},         {200002, "L1", ""},
      {200002, "L2", "已审核"},   {200003, "S1", ""},         {200003, "S2", "已审核"},
      {200004, "R1", ""},
  };
  auto owner = LoginAs(Who(kOwner));
  for (const Case& c : cases) {
    host_.Dialogs().Clear();
    const bool refused = *c.refusal != '\0';
    EXPECT_EQ(owner->CanEditBill(c.program, open, c.number), !refused) << c.number;
    if (refused) {
      EXPECT_TRUE(host_.Dialogs().Asked(c.refusal)) << c.number;
    }
  }
  // Asked again inside the write: the statement deletes none of the kept orders.
  for (int64_t id : {1, 2, 3, 4}) {
    int64_t rows = -1;
    db::Runner(host_.Db()).Execute(repair_order::DeleteOrderStatements(id).front(), &rows);
    EXPECT_EQ(rows, 0) << id;
  }
  int64_t rows = -1;
  db::Runner(host_.Db()).Execute(repair_order::DeleteOrderStatements(5).front(), &rows);
  EXPECT_EQ(rows, 1);
}

// Who gave whom which rights: every change of accounts and roles is in the audit trail, in
// the same transaction (a refused change leaves no event).
TEST_F(AccountsTest, AccountChangesAreInTheAuditTrail) {
  AddStaff();
  store_.SetActor({Who(kOwner), "desk"});
  ASSERT_EQ(store_.SetRole(Who("小王"), "审核员"), "");
  ASSERT_EQ(store_.SetActive(Who("小陈"), false), "");
  ASSERT_EQ(store_.SetPassword(Who("老李"), "li-new-secret"), "");
  ASSERT_EQ(store_.SetRoleRights("收银员", {Right::Receive, Right::Enter}), "");
  EXPECT_NE(store_.SetActive(Who(kOwner), false), "") << "the last manager stays";
  const std::string events =
      host_
          .Scalar("SELECT " + std::string(host_.OnPostgres() ? "string_agg" : "group_concat") +
                  "(单据类型 || ':' || 单据编号 || ':' || 操作 || ':' || 用户 || ':' || 变更, '|') "
                  "FROM ws_audit")
          .ToText();
  const std::string owner = Who(kOwner);
  for (const std::string& expected :
       {"ws_account:" + Who("小王") + ":新增:" + Who("小王") + ":角色\t\t录入员",
        "ws_account:" + Who("小王") + ":修改:" + owner + ":角色\t\t审核员",
        "ws_account:" + Who("小陈") + ":修改:" + owner + ":状态\t\t停用",
        "ws_account:" + Who("老李") + ":修改:" + owner + ":密码",
        "ws_role_right:收银员:修改:" + owner + ":权限\t\t录入,收款"}) {
    EXPECT_NE(events.find(expected), std::string::npos) << expected << "\n" << events;
  }
  EXPECT_EQ(events.find("ws_account:" + owner + ":修改"), std::string::npos)
      << "the refused change left an event";
  EXPECT_EQ(events.find("li-new-secret"), std::string::npos);
}

TEST_F(AccountsTest, AnAccountLosingItsRightsIsRefusedAtItsNextStep) {
  AddStaff();
  auto clerk = LoginAs(Who("小王"));
  ASSERT_TRUE(clerk->Permit(200001, Step::Change));
  host_.Exec(db::Sql("DELETE FROM ws_account WHERE user_name = ").Text(Who("小王")));
  EXPECT_TRUE(clerk->Allows(200001, Step::Change)) << "the toolbar shows what it last read";
  EXPECT_FALSE(clerk->Permit(200001, Step::Change)) << "but the step reads afresh";
  EXPECT_FALSE(clerk->Allows(200001, Step::Change));

  auto checker = LoginAs(Who("老李"));
  ASSERT_EQ(store_.SetActive(Who("老李"), false), "");
  EXPECT_FALSE(checker->Permit(200001, Step::Check));
  ASSERT_EQ(store_.SetActive(Who("老李"), true), "");
  ASSERT_EQ(store_.SetRole(Who("老李"), "录入员"), "");
  EXPECT_FALSE(checker->Permit(200001, Step::Check));
  EXPECT_TRUE(checker->Permit(200001, Step::Change));
}

TEST_F(AccountsTest, AShopWithoutAccountsLetsAnyNameDoEverything) {
  for (const char* name : {"谁都行", "管理员", ""}) {
    auto system = LoginAs(name);
    system->SetAuthenticated(false);
    for (Step step : {Step::Open, Step::Change, Step::Check})
      EXPECT_TRUE(system->Permit(200001, step) && system->Permit(200029, step)) << name;
  }
  // Once the shop has accounts, a login that proved nothing may take no guarded step, even
  // under the owner's name.
  AddStaff();
  auto unproven = LoginAs(Who(kOwner));
  unproven->SetAuthenticated(false);
  EXPECT_FALSE(unproven->Permit(200001, Step::Change));
  EXPECT_TRUE(host_.Dialogs().Asked("登录"));
  EXPECT_FALSE(unproven->Permit(200005, Step::Open)) << "not even a report";
}

}  // namespace
}  // namespace ws
