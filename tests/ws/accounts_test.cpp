// Accounts as a shop uses them from the command line: the owner's first account made with the
// demo, `ws user` changing accounts as the owner, and a script logging in as each account and
// being refused the steps its role lacks, through the same guard the desktop asks.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "ws/run_ws.h"

namespace ws::shop {
namespace {

class WsAccountsTest : public WsProcessTest {
 protected:
  // A password file only its owner may read (mode 600), as the tool demands.
  std::string Secret(const std::string& name, const std::string& password, mode_t mode = 0600) {
    Write(name, password + "\n");
    ::chmod(Path(name).c_str(), mode);
    return Path(name);  // the test folder's path has no space: fit for a script and the shell
  }
  void Demo() {
    const Outcome made = Ws("demo " + Db("shop.db") + "--seed 3 --orders 40 --date 2012-06-15 " +
                            "--owner 老板 --password-file " + Secret("owner.pw", "owner-secret"));
    ASSERT_EQ(made.status, 0) << made.err;
    for (const char* printed :
         {"老板 (店主)", "小王 (录入员), password wang-2012", "老李 (审核员), password li-2012"}) {
      EXPECT_NE(made.out.find(printed), std::string::npos) << made.out;
    }
  }
};

TEST_F(WsAccountsTest, EachAccountMayTakeOnlyTheStepsOfItsRole) {
  Demo();
  const std::string number =
      Scalar("shop.db", "select 工单号码 from wsdj where smark <> '02' order by 单据ID desc");
  ASSERT_FALSE(number.empty());
  const std::string clerk = Secret("wang.pw", "wang-2012");
  const std::string checker = Secret("li.pw", "li-2012");
  const std::string open = "open WS_S 200001\nfind \"工单号码 like\" " + number + "\n";
  const Outcome run =
      Ws("script " + Db("shop.db"),
         "login 小王 2012-06-15 " + clerk + "\nexpect result true\n" + open +
             "call Check\nexpect result false\n"
             "expect msgbox 账户“小王”没有“审核”权限，不能审核或弃审！\n"
             "expect sql \"select count(*) from wsdj where 审核人 <> '' and 工单号码='" +
             number +
             "'\" 0\n"
             "login 老李 2012-06-15 " +
             checker + "\nexpect result true\n" + open +
             "call Check\nexpect result true\n"
             "expect sql \"select 审核人 from wsdj where 工单号码='" +
             number +
             "'\" 老李\n"
             "call UnCheck\nexpect result true\n"
             "login 老李 2012-06-15 " +
             clerk +
             "\nexpect result false\n"
             "open WS_S 200001\nexpect result false\n"
             "expect msgbox 这个店已设账户，请先用账户名和密码登录！\n"
             "option 12 Jzperiod 201301\nexpect result false\n");
  EXPECT_EQ(run.status, 0) << run.out << run.err;

  // A shop with accounts takes no login without a password, nor one from a file others read.
  struct Refused {
    std::string login;
    std::string message;
  };
  const Refused refused[] = {
      {"login 小王 2012-06-15", "needs its password"},
      {"login 小王 2012-06-15 " + Path("missing.pw"), "不存在"},
      {"login 小王 2012-06-15 " + Secret("open.pw", "wang-2012", 0644), "chmod 600"},
  };
  for (const auto& r : refused) {
    const Outcome outcome = Ws("script " + Db("shop.db"), r.login + "\n");
    EXPECT_EQ(outcome.status, 2) << r.login;
    EXPECT_NE(outcome.err.find(r.message), std::string::npos) << r.login << ": " << outcome.err;
  }
}

TEST_F(WsAccountsTest, TheOwnerChangesAccountsAndCannotLoseTheLastManager) {
  Demo();
  const std::string owner = "--as 老板 --as-password-file " + Secret("owner.pw", "owner-secret");
  const std::string newcomer = Secret("new.pw", "new-secret");
  struct Step {
    std::string args;
    int status;
    std::string said;
  };
  const Step steps[] = {
      {"user add 小赵 --role 录入员 --password-file " + newcomer, 2, "--as OWNER"},
      {"user add 小赵 --role 录入员 --password-file " + newcomer + " --as 小王 " +
           "--as-password-file " + Secret("wang.pw", "wang-2012"),
       2, "“管理”"},
      {"user add 小赵 --role 录入员 --password-file " + newcomer + " " + owner, 0, "done"},
      {"user add 小赵 --role 录入员 --password-file " + newcomer + " " + owner, 2, "已有账户"},
      {"user add 小钱 --role 老板娘 --password-file " + newcomer + " " + owner, 2, "没有角色"},
      {"user add 小钱 --role 录入员 --password-file " + Secret("g.pw", "new-secret", 0640) + " " +
           owner,
       2, "chmod 600"},
      {"user role 老板 录入员 " + owner, 2, "“管理”权限的账户"},
      {"user active 老板 no " + owner, 2, "“管理”权限的账户"},
      {"user role 小赵 审核员 " + owner, 0, "done"},
      {"user active 小王 no " + owner, 0, "done"},
      {"user passwd 小赵 --password-file " + Secret("n2.pw", "newer-secret") + " " + owner, 0,
       "done"},
      {"user rights 录入员 录入,审核,结账 " + owner, 2, "no right"},
      {"user rights 店主 录入 " + owner, 2, "“管理”权限的账户"},
      {"user rights 录入员 录入,审核 " + owner, 0, "done"},
      {"user list", 0, "role 录入员: 录入 审核"},
      {"user list", 0, "小赵\t审核员\tactive"},
      {"user list", 0, "小王\t录入员\tinactive"},
      {"user list", 0, "role 店主: 录入 审核 收款 管理"},
  };
  for (const Step& step : steps) {
    const Outcome outcome = Ws(step.args + " " + Db("shop.db"));
    EXPECT_EQ(outcome.status, step.status) << step.args << "\n" << outcome.err;
    EXPECT_NE((outcome.out + outcome.err).find(step.said), std::string::npos)
        << step.args << ": " << outcome.out << outcome.err;
  }
  // No password reaches the shop file in clear.
  const std::string hashes = Scalar("shop.db", "select group_concat(pw_hash, '|') from ws_account");
  for (const char* password : {"owner-secret", "new-secret", "newer-secret", "wang-2012"}) {
    EXPECT_EQ(hashes.find(password), std::string::npos);
  }
  const Outcome login =
      Ws("script " + Db("shop.db"), "login 小赵 2012-06-15 " + Secret("n3.pw", "newer-secret") +
                                        "\nexpect result true\nlogin 小王 2012-06-15 " +
                                        Secret("w.pw", "wang-2012") + "\nexpect result false\n");
  EXPECT_EQ(login.status, 0) << login.out << login.err;
}

}  // namespace
}  // namespace ws::shop
