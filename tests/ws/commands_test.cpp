// `ws init`, `demo`, `import`, `script`, `report` and `user` run as a user runs them: the built
// binary on files in a temporary folder, judged by exit status, messages and the database left
// behind. Accounts: the owner's first account made with the demo, `ws user` changing accounts as
// the owner, and a script logging in as each account and refused the steps its role lacks,
// through the same guard the desktop asks.
#include "ws/run_ws.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "shop/demo/bulk_rows.h"
#include "shop/store/backup.h"

namespace ws::shop {
namespace {

namespace fs = std::filesystem;

using WsCommandsTest = WsProcessTest;

TEST_F(WsCommandsTest, InitCreatesOnceAndReplacesOnlyWithForce) {
  Outcome created = Ws("init " + Db("shop.db") + "--date 2011-06-15");
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_NE(created.out.find("shop.db"), std::string::npos) << created.out;
  EXPECT_FALSE(fs::exists(Path("shop.db.new-tmp")));
  EXPECT_EQ(Scalar("shop.db", "select value from ws_meta where key='version'"), db::kSchemaVersion);
  EXPECT_EQ(Scalar("shop.db", "select value from ws_parameter where module=12 and number=1"),
            "201106");
  Scalar("shop.db", "insert into ws_user_setting (user_name, key, value) values ('张', 'k', '2')");

  EXPECT_EQ(Ws("init " + Db("shop.db")).status, 1) << "exists: its words are the table's below";
  EXPECT_EQ(Scalar("shop.db", "select count(*) from ws_user_setting"), "1") << "left untouched";
  ASSERT_EQ(Ws("init --force --db=" + Quoted("shop.db") + " --date=2012-01-10").status, 0);
  EXPECT_EQ(Scalar("shop.db", "select count(*) from ws_user_setting"), "0");
  EXPECT_EQ(Scalar("shop.db", "select value from ws_parameter where module=12 and number=1"),
            "201201");

  // A file that is no database at all is replaced as well, but only with --force.
  Write("notes.db", "not a database");
  EXPECT_EQ(Ws("init " + Db("notes.db")).status, 1);
  EXPECT_EQ(ReadFile(Path("notes.db")), "not a database");
  ASSERT_EQ(Ws("init " + Db("notes.db") + "--force").status, 0);
  EXPECT_EQ(Scalar("notes.db", "select value from ws_meta where key='schema'"), "repair-shop");
}

TEST_F(WsCommandsTest, DemoCreatesAFinishedShopOnceAndReplacesItOnlyWithForce) {
  const Outcome made = Ws("demo " + Db("shop.db") + "--seed 3 --orders 40 --date 2012-06-15");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("40 repair orders"), std::string::npos) << made.out;
  EXPECT_FALSE(fs::exists(Path("shop.db.new-tmp")));
  EXPECT_EQ(Scalar("shop.db", "select value from ws_parameter where module=12 and number=1"),
            "201206");

  // The seed fixes the shop, the counter's documents behind the orders included: the same seed
  // makes it again.
  const char* digest =
      "select group_concat(工单号码||车辆ID||应收合计||余额) from (select * from wsdj order by "
      "单据ID)";
  const char* documents =
      "select group_concat(progid||单据编号||前置单据ID||总金额) from (select progid, 单据编号, "
      "前置单据ID, 总金额, 单据ID from arpreceive union all select progid + 0, 单据编号, "
      "前置单据ID, 总金额, -单据ID from jxcdj order by 单据ID)";
  const std::string first = Scalar("shop.db", digest);
  const std::string firstDocuments = Scalar("shop.db", documents);
  EXPECT_FALSE(firstDocuments.empty());
  EXPECT_EQ(Ws("demo " + Db("shop.db") + "--orders 5").status, 1) << "exists: see the table";
  EXPECT_EQ(Scalar("shop.db", "select count(*) from wsdj"), "40");
  ASSERT_EQ(Ws("demo --force --db=" + Quoted("shop.db") + " --seed=3 --orders=40 --date=2012-06-15")
                .status,
            0);
  EXPECT_EQ(Scalar("shop.db", digest), first);
  EXPECT_EQ(Scalar("shop.db", documents), firstDocuments);
}

TEST_F(WsCommandsTest, ShopShowsTheParticularsAndSetsOnlyThoseGiven) {
  ASSERT_EQ(Ws("demo " + Db("shop.db") + "--seed 3 --orders 40 --date 2012-06-15").status, 0);
  const Outcome shown = Ws("shop " + Db("shop.db"));
  ASSERT_EQ(shown.status, 0) << shown.err;
  const std::string address =
      Scalar("shop.db", "select value from ws_option where name='shopaddress'");
  for (const std::string& line :
       {std::string("店名: 北京"), "地址: " + address, std::string("税号: 91")}) {
    EXPECT_NE(shown.out.find(line), std::string::npos) << shown.out;
  }

  const Outcome set = Ws("shop " + Db("shop.db") + "--name 城南汽修 --phone=010-5555");
  ASSERT_EQ(set.status, 0) << set.err;
  for (const std::string& line : {std::string("店名: 城南汽修\n"), "地址: " + address + "\n",
                                  std::string("电话: 010-5555\n")}) {
    EXPECT_NE(set.out.find(line), std::string::npos) << set.out;
  }
  EXPECT_EQ(Scalar("shop.db", "select value from ws_option where name='shopname'"), "城南汽修");
}

// Bad usage and inputs that are no shop, no script or no file are named (status 2; 1 where the
// work cannot be done as things stand), nothing goes to standard output, and every file named
// is left exactly as it was.
TEST_F(WsCommandsTest, RefusedRequestsAreNamedAndChangeNothing) {
  Init("shop.db");
  Write("empty.db", "");
  Write("text.db", std::string(200, 'x'));
  Write("ok.wss", "# nothing to do\n");
  Write("items.csv", "AutoID,编码,维修项目\n1,XM1,换油\n");
  fs::create_directories(Path("folder"));
  ASSERT_EQ(Connect("other.db")->ExecScript("create table t (x); PRAGMA journal_mode=DELETE"), "");
  const std::string otherBytes = ReadFile(Path("other.db"));
  const std::string shop = Db("shop.db");
  const std::string b = Db("b.db");
  // Status 2: the user's mistake (usage, a name that names no shop); 1: the work cannot be done
  // as things stand (the target is there, the server out of reach).
  const std::tuple<std::string, std::string, int> bad[] = {
      {"", "Usage", 2},
      {"frobnicate", "unknown command", 2},
      {"init", "--db", 2},
      {"init --bogus " + b, "unknown option", 2},
      {"init --db", "needs a value", 2},
      {"init " + b + "--date yesterday", "not a date", 2},
      {"init " + shop, "already exists", 1},
      {"demo " + shop, "already exists", 1},
      {"demo " + b + "--orders -1", "not a number of orders", 2},
      {"demo " + b + "--seed x", "not a seed", 2},
      {"demo " + Db("missing/b.db"), "does not exist", 2},
      {"script " + Db("text.db") + Quoted("ok.wss"), "is not a database file", 2},
      {"script " + Db("folder") + Quoted("ok.wss"), "is a folder", 2},
      {"script " + Db("b.db") + Quoted("ok.wss"), "b.db", 2},
      {"script " + shop + Quoted("none.wss"), "none.wss", 2},
      {"import " + Db("empty.db") + "items " + Quoted("items.csv"), "is not a database file", 2},
      {"import " + shop + "items " + Quoted("folder"), "is a folder", 2},
      {"import " + shop + "items", "CSV", 2},
      {"report " + Db("empty.db") + "WS_RPT", "is not a database file", 2},
      {"shop " + Db("empty.db"), "is not a database file", 2},
      {"shop " + shop + "--fax 1", "unknown option", 2},
      {"report " + Db("other.db") + "WS_RPT", "is not a repair-shop database", 2},
      // No server answers; its password is never shown.
      {"script --db 'postgresql://shop:s3cret@/shop?host=/nonexistent/ws_socket' -",
       "postgresql://shop:***@/shop", 1},
  };
  for (const auto& [args, message, status] : bad) {
    const Outcome outcome = Ws(args);
    EXPECT_EQ(outcome.status, status) << args;
    EXPECT_NE(outcome.err.find(message), std::string::npos) << args << "\n" << outcome.err;
    EXPECT_EQ(outcome.out, "") << args;
    EXPECT_EQ(outcome.err.find("s3cret"), std::string::npos) << outcome.err;
  }
  EXPECT_FALSE(fs::exists(Path("b.db")));
  EXPECT_EQ(fs::file_size(Path("empty.db")), 0u);
  EXPECT_FALSE(fs::exists(Path("empty.db-wal")));
  EXPECT_EQ(ReadFile(Path("text.db")), std::string(200, 'x'));
  EXPECT_TRUE(ReadFile(Path("other.db")) == otherBytes) << "not even switched to WAL";
  EXPECT_EQ(Scalar("shop.db", "select count(*) from pdmwxxm"), "0");

  const Outcome help = Ws("script --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("expect cell GRID ROW COL TEXT"), std::string::npos) << help.out;
}

TEST_F(WsCommandsTest, ImportNamesTheLineAndColumnOfEveryBadRowAndWritesNothing) {
  Init("shop.db");
  Write("vehicles.csv", "车辆ID,车牌号,车主ID\n1,京A00001,1\n2,京A00002,二\n3,京A00001,2\n");
  const Outcome bad = Ws("import " + Db("shop.db") + "vehicles " + Quoted("vehicles.csv"));
  EXPECT_EQ(bad.status, 2);
  for (const char* said : {"vehicles.csv line 3, column 车主ID: '二' is not a whole number",
                           "vehicles.csv line 4, column 车牌号: '京A00001' is also on line 2",
                           "nothing was imported"}) {
    EXPECT_NE(bad.err.find(said), std::string::npos) << bad.err;
  }
  EXPECT_EQ(Scalar("shop.db", "select count(*) from clzl"), "0");

  const Outcome customers =
      Ws("import " + Db("shop.db") + "customers -", "往来ID,公司名称\n1,张三\n2,\"李四, 王五\"\n");
  ASSERT_EQ(customers.status, 0) << customers.err;
  EXPECT_EQ(Scalar("shop.db", "select 公司名称 from pdmwldw where 往来ID=2"), "李四, 王五");
}

TEST_F(WsCommandsTest, ScriptExitStatusTellsFailedAndWrongScripts) {
  Init("shop.db");
  Scalar("shop.db", "insert into PDMGY (雇员ID, 姓名) values (1, '张三')");  // passes: examples
  const Outcome fail = Ws("script " + Db("shop.db") + "-",
                          "expect sql \"select count(*) from PDMGY\" 2\n"
                          "echo still running\n");
  EXPECT_EQ(fail.status, 1);
  EXPECT_NE(fail.out.find("FAIL line 1: "), std::string::npos) << fail.out;
  EXPECT_NE(fail.out.find("still running"), std::string::npos);

  // A syntax error anywhere runs nothing, not even the lines before it.
  const Outcome wrong =
      Ws("script " + Db("shop.db"), "sql delete from PDMGY\ntype \"open\nfrobnicate\n");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("<stdin> line 2: "), std::string::npos) << wrong.err;
  EXPECT_NE(wrong.err.find("<stdin> line 3: unknown command 'frobnicate'"), std::string::npos);
  EXPECT_EQ(Scalar("shop.db", "select count(*) from PDMGY"), "1");
}

// A disk that fails every write (here: no file may grow past 512 bytes) is told in the shop's
// words, once, and the engine's half-made companion files do not stay behind.
TEST_F(WsCommandsTest, AFailingDiskIsToldOnceAndLeavesNoCompanionFiles) {
  Init("shop.db");
  const Outcome failed = Ws("script " + Db("shop.db") + "-",
                            "sql insert into PDMGY (雇员ID, 姓名) values (1, '张三')\n",
                            "trap '' XFSZ; ulimit -f 1; exec ");
  EXPECT_NE(failed.status, 0);
  const std::string told(platform::kDiskErrorText);
  const size_t first = failed.err.find(told);
  ASSERT_NE(first, std::string::npos) << failed.err;
  EXPECT_EQ(failed.err.find(told, first + 1), std::string::npos) << failed.err;
  EXPECT_EQ(failed.err.find("disk I/O"), std::string::npos) << failed.err;
  EXPECT_EQ(failed.err.find("ws init"), std::string::npos) << "no hint to make a new shop";
  EXPECT_FALSE(fs::exists(Path("shop.db-shm")) || fs::exists(Path("shop.db-wal")));
}

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
             "call UnCheck\nexpect result false\n"
             "sql update wsdj set smark='02'\nexpect result false\n"
             "expect msgbox 账户“小王”没有“管理”权限\n"
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

// Commission rules are the managers': read and set as one, refused to a technician and to a
// rule that cannot be kept; the report asks for its period.
TEST_F(WsAccountsTest, CommissionRulesAreAManagersToSet) {
  Demo();
  const std::string owner = "--as 老板 --as-password-file " + Secret("owner.pw", "owner-secret");
  const std::string technician =
      Scalar("shop.db", "select 登录账号 from PDMGY where 是否技师 = 1 order by 雇员编码");
  ASSERT_FALSE(technician.empty());
  struct Step {
    std::string args;
    int status;
    std::string said;
  };
  const Step steps[] = {
      {"commission list", 2, "--as OWNER"},
      {"commission list --as " + technician + " --as-password-file " +
           Secret("tech.pw", "tech-2012"),
       2, "技师账户"},
      {"commission list --as 老李 --as-password-file " + Secret("li.pw", "li-2012"), 2,
       "没有“管理”权限"},
      {"commission set 01 提成 5 " + owner, 2, "比例 or 工时"},
      {"commission set 01 比例 100.5 " + owner, 2, "0 到 100"},
      {"commission set 01 比例 5x " + owner, 2, "not a number"},
      {"commission set 99 比例 5 " + owner, 2, "no repair category"},
      {"commission set 检测年审 工时 25 " + owner, 0, "检测年审: 工时 25"},
      {"commission clear 01 " + owner, 0, "no commission"},
      {"commission list " + owner, 0, "08\t检测年审\t工时\t25"},
      {"commission list " + owner, 0, "01\t常规保养\t-"},
      {"report commission --from 2012-06-01", 2, "--from DATE --to DATE"},
  };
  for (const Step& step : steps) {
    const Outcome outcome = Ws(step.args + " " + Db("shop.db"));
    EXPECT_EQ(outcome.status, step.status) << step.args << "\n" << outcome.err;
    EXPECT_NE((outcome.out + outcome.err).find(step.said), std::string::npos)
        << step.args << ": " << outcome.out << outcome.err;
  }
}

// The `ws` tool on a PostgreSQL server: shops made, refused, replaced and opened by URL, bulk
// rows, backups. Skipped without WS_PG_URL. The demo shop on the server runs every example
// script.
class PostgresShopTest : public WsProcessTest {
 protected:
  void SetUp() override {
    const char* url = std::getenv("WS_PG_URL");
    if (!url || !*url) GTEST_SKIP() << "WS_PG_URL is not set (scripts/with_postgres.sh)";
    WsProcessTest::SetUp();
    base_ = url;
    database_ = "ws_shop_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : database_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    DropDatabase();
  }
  void TearDown() override {
    if (!database_.empty()) DropDatabase();
    WsProcessTest::TearDown();
  }

  // The URL of a database of this test's own on the server (a parameter overrides the path).
  std::string Url(const std::string& database) const {
    return base_ + (base_.find('?') == std::string::npos ? "?" : "&") + "dbname=" + database;
  }
  std::string ShopUrl() const { return Url(database_); }
  std::string Arg(const std::string& text) const { return "'" + text + "'"; }

  std::unique_ptr<platform::PostgresDatabase> Connect() {
    std::string error;
    auto db = platform::PostgresDatabase::Open(ShopUrl());
    EXPECT_TRUE(db) << db.Error();
    return std::move(db).Take();
  }
  std::string ServerScalar(const std::string& sql) {
    auto db = Connect();
    if (!db) return "";
    std::string error;
    std::string text = db::Runner(*db).ScalarText(db::Sql(sql), &error);
    EXPECT_EQ(error, "") << sql;
    return text;
  }

  void DropDatabase() {
    std::string error;
    auto server = platform::PostgresDatabase::Open(Url("postgres"));
    ASSERT_TRUE(server) << server.Error();
    ASSERT_EQ(server->ExecScript("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)"), "");
  }

  std::string base_;
  std::string database_;
};

TEST_F(PostgresShopTest, InitMakesRefusesAndReplacesOnlyTheShopsOwnTables) {
  Outcome made = Ws("init --db " + Arg(ShopUrl()) + " --date 2012-06-15");
  ASSERT_EQ(made.status, 0) << made.err;
  // Something of the shop's and something that is not the shop's.
  ASSERT_EQ(db::Runner(*Connect()).Execute("INSERT INTO clzl (车辆ID, 车牌号) VALUES (1, '京A1')"),
            "");
  ASSERT_EQ(Connect()->ExecScript("CREATE TABLE other_app (a int); INSERT INTO other_app VALUES "
                                  "(7)"),
            "");

  Outcome refused = Ws("init --db " + Arg(ShopUrl()));
  EXPECT_EQ(refused.status, 1) << "a shop is there";
  EXPECT_NE(refused.err.find("already holds a shop database; use --force"), std::string::npos)
      << refused.err;
  EXPECT_EQ(ServerScalar("SELECT count(*) FROM clzl"), "1") << "a refused init changes nothing";

  Outcome replaced = Ws("init --db " + Arg(ShopUrl()) + " --force --date 2012-06-15");
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(ServerScalar("SELECT count(*) FROM clzl"), "0");
  EXPECT_EQ(ServerScalar("SELECT a FROM other_app"), "7") << "only the shop's tables are replaced";

  // The other commands open the shop by URL; a database without a shop is refused.
  Outcome report = Ws("report --db " + Arg(ShopUrl()) + " WS_RPT");
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("工单号码"), std::string::npos) << report.out;
  ASSERT_EQ(Connect()->ExecScript("DROP TABLE ws_meta"), "");
  Outcome foreign = Ws("script --db " + Arg(ShopUrl()) + " -", "# nothing to do\n");
  EXPECT_EQ(foreign.status, 2);
  EXPECT_NE(foreign.err.find("is not a repair-shop database"), std::string::npos) << foreign.err;
}

TEST_F(PostgresShopTest, BulkRowsArriveAsWrittenInSeveralCopies) {
  ASSERT_EQ(platform::PostgresDatabase::CreateDatabaseIfMissing(ShopUrl()), "");
  auto db = Connect();
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(db->ExecScript("CREATE TABLE t (id BIGINT PRIMARY KEY, s TEXT, n DOUBLE PRECISION, "
                           "d DATE)"),
            "");
  const std::string awkward[] = {"tab\there", "line\nbreak\r", "back\\slash \\N", "", "引号'\""};
  // Enough rows for several COPY runs (one per few megabytes).
  constexpr int kRows = 30000;
  std::string error;
  {
    db->BeginTrans();
    BulkInserter rows(*db, "t", {"id", "s", "n", "d"}, error);
    for (int i = 0; i < kRows; ++i) {
      rows.Id(i).Text(i < 5 ? awkward[i] : std::string(200, 'x')).Num(i + 0.25);
      (i % 2 ? rows.Date(db::Date{2012, 6, 15}) : rows.Null()).Row();
    }
    EXPECT_TRUE(rows.Flush()) << error;
    db->CommitTrans();
  }
  ASSERT_EQ(error, "");
  db::Runner runner(*db);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(runner.ScalarText(db::Sql("SELECT s FROM t WHERE id = ").Key(i)), awkward[i]);
  }
  EXPECT_EQ(runner.ScalarNumber("SELECT count(*) FROM t WHERE d IS NULL"), kRows / 2);
  EXPECT_DOUBLE_EQ(runner.ScalarNumber("SELECT sum(n) FROM t"),
                   kRows * (kRows - 1) / 2.0 + kRows * 0.25);

  // A row the server refuses fails the load with the table's name and the server's reason.
  {
    BulkInserter bad(*db, "t", {"id", "s", "n", "d"}, error);
    bad.Id(1).Text("again").Num(1).Null().Row();
  }
  EXPECT_NE(error.find("t: "), std::string::npos) << error;
  EXPECT_NE(error.find("duplicate key"), std::string::npos) << error;
}

// The backup on a server: a dump from one snapshot, restored in one transaction, and an
// archive that is no shop's, or a newer program's, refused before anything is dropped.
TEST_F(PostgresShopTest, BackupAndRestoreRefuseForeignAndNewerArchives) {
  ASSERT_EQ(Ws("init --db " + Arg(ShopUrl()) + " --date 2012-06-15").status, 0);
  auto db = Connect();
  db::Runner runner(*db);
  ASSERT_EQ(runner.Execute("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) "
                           "values (1,'F01','小修','it''s -- 100%_#@\\')"),
            "");
  ASSERT_EQ(
      runner.Execute("insert into ws_audit (单据类型,单据ID,序号,操作) values ('WS_S',1,1,'新增')"),
      "");
  ASSERT_EQ(BackupShop(ShopUrl(), Path("server.dump"), false), "");
  ASSERT_EQ(runner.Execute("update ws_meta set value='3' where key='version'"), "");
  ASSERT_EQ(BackupShop(ShopUrl(), Path("newer.dump"), false), "");
  ASSERT_EQ(runner.Execute("update ws_meta set value='2' where key='version'"), "");
  // Another database's dump holding a table of the shop's name.
  const std::string shop = database_;
  database_ += "_other";
  DropDatabase();
  ASSERT_EQ(platform::PostgresDatabase::CreateDatabaseIfMissing(ShopUrl()), "");
  ASSERT_EQ(Connect()->ExecScript("CREATE TABLE wsdj (x int); INSERT INTO wsdj VALUES (1)"), "");
  ASSERT_EQ(std::system(("pg_dump --format=custom --file=" + Quoted("foreign.dump") +
                         " --dbname=" + Arg(ShopUrl()))
                            .c_str()),
            0);
  DropDatabase();
  database_ = shop;

  EXPECT_NE(RestoreShop(ShopUrl(), Path("foreign.dump")).find("is not a shop backup"),
            std::string::npos);
  EXPECT_NE(RestoreShop(ShopUrl(), Path("newer.dump")).find("newer program (schema version 3"),
            std::string::npos);
  EXPECT_EQ(runner.ScalarText("select 说明 from pdmwxfl"), "it's -- 100%_#@\\");
  ASSERT_EQ(runner.Execute("delete from pdmwxfl"), "");
  db.reset();
  ASSERT_EQ(RestoreShop(ShopUrl(), Path("server.dump")), "");
  EXPECT_EQ(ServerScalar("select 说明 from pdmwxfl"), "it's -- 100%_#@\\");
  EXPECT_EQ(ServerScalar("select value from ws_meta where key='version'"), "2");
  // The audit trail, whose rows no statement may change or delete, comes back whole.
  EXPECT_EQ(ServerScalar("select 操作 from ws_audit where 单据ID=1"), "新增");
}

// A report asked with a period or a date it cannot read is refused as bad usage rather than
// answered with an empty list that looks like "nothing to do"; the last day a date takes
// closes a window like any other.
TEST_F(WsProcessTest, ReportsRefuseMalformedPeriodsAndTakeTheLastDay) {
  ASSERT_EQ(Ws("demo " + Db("shop.db") + "--seed 1 --orders 60 --date 2012-06-15").status, 0);
  for (const char* period : {"2012-06", "2012", "201206abc", "201213", "20126", "000006"}) {
    const Outcome run = Ws("report " + Db("shop.db") + "checklist --period '" + period + "'");
    EXPECT_EQ(run.status, 2) << period << ": " << run.out;
    EXPECT_NE(run.err.find("YYYYMM"), std::string::npos) << period << ": " << run.err;
  }
  EXPECT_EQ(Ws("report " + Db("shop.db") + "checklist --period 201206").status, 0);
  // Every report's dates are refused in the same words, a reversed window too.
  for (const std::string report : {"WS_RPT", "due", "issued", "audit", "JS_RPT"}) {
    for (const auto& [dates, said] :
         {std::pair<std::string, std::string>{"--from 2012-02-30 --to 2012-03-01",
                                              "--from '2012-02-30' is not a date"},
          {"--from 2012-03-01 --to 2012-13-01", "--to '2012-13-01' is not a date"},
          {"--from 2012-03-30 --to 2012-03-01", "a range cannot end before it begins"}}) {
      const Outcome run = Ws("report " + Db("shop.db") + report + " " + dates);
      EXPECT_EQ(run.status, 2) << report << " " << dates;
      EXPECT_NE(run.err.find(said), std::string::npos) << report << " " << dates << ": " << run.err;
    }
  }
  const Outcome version = Ws("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("ws ", 0), 0u) << version.out;
  const auto rows = [&](const std::string& to) {
    const Outcome run = Ws("report " + Db("shop.db") + "issued --from 2000-01-01 --to " + to +
                           " --csv " + Quoted("issued.csv"));
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  };
  const std::string before = rows("9999-12-30");
  EXPECT_NE(before, "wrote 0 rows to " + Path("issued.csv") + "\n");
  EXPECT_EQ(rows("9999-12-31"), before);
}

}  // namespace
}  // namespace ws::shop
