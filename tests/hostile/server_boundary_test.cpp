// On PostgreSQL the server is the boundary: what an account's role lacks, its own connection
// cannot do by hand either (psql), while the program's work of each role goes on through the
// same connection. And what the program checks before it writes holds when two desks write at
// the same moment.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "framework/line_grid.h"
#include "framework/period_gate.h"
#include "hostile/hostile_host.h"
#include "money/js_ws.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "platform/system_object.h"
#include "repair_order/ws_s.h"
#include "requisition/check_step.h"
#include "requisition/ckll_ws.h"
#include "requisition/requisition_lines.h"
#include "support/postgres_scratch.h"

namespace ws::hostile {
namespace {

using forms::Input;
using platform::Right;

// One role of each right alone, so that every refusal is that right's.
struct RoleCase {
  const char* role;
  Right right;
};
const RoleCase kRoles[] = {{"只录入", Right::Enter},
                           {"只审核", Right::Check},
                           {"只收款", Right::Receive},
                           {"只管理", Right::Manage}};

// A shop of the hostile host with: order 10 checked and 11 unchecked (a labour line each, on
// car 1), requisition 20 checked and 21 unchecked with a line and no journal, settlement 30
// checked, the counters of orders and of one day's numbers, and an account of each role.
class ServerBoundaryTest : public HostileTest {
 protected:
  void SetUp() override {
    if (!host_.OnPostgres()) GTEST_SKIP() << "the server's roles are PostgreSQL's";
    HostileTest::SetUp();
    SeedBooks();
    for (const char* sql :
         {"insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,应收合计,"
          "总金额,余额) values (10,200001,'02','审核','WS010',1,1,'2012-06-01',100,100,100),"
          "(11,200001,'01','填单','WS011',1,1,'2012-06-02',50,0,0)",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values (1,10,1,2,50,100),"
          "(2,11,1,1,50,50)",
          "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据,前置单据ID,仓库ID,操作日期,"
          "会计期间,总金额) values (20,200002,'02','LL1',200001,10,11,'2012-06-10',201206,30),"
          "(21,200002,'01','LL2',200001,11,11,'2012-06-10',201206,30)",
          "insert into JXCDJMX (单据明细ID,单据ID,仓库ID,产品ID,数量,单价,金额,实际金额,会计期间) "
          "values (1,20,11,1,1,30,30,30,201206),(2,21,11,1,1,30,30,30,201206)",
          "insert into ARPReceive (单据ID,progID,smark,单据编号,往来ID) values "
          "(30,200004,'02','S30',1)",
          "insert into ws_id (table_name,key_column,last_id) values ('wsdj','单据ID',11)",
          "insert into ws_billno (progid,prefix,last_no) values (200001,'20120601',5)"}) {
      host_.Exec(sql);
    }
    schema_ = host_.Scalar("SELECT current_schema()").ToText();
    maker_ = host_.Scalar("SELECT session_user").ToText();
    store_.SetHashCost(platform::HashCost::Minimal);
    store_.SetRefusalDelay(std::chrono::milliseconds(0));
    ASSERT_EQ(store_.Add(Name("老板"), "owner-secret", "店主"), "");
    for (const RoleCase& role : kRoles) {
      ASSERT_EQ(store_.SetRoleRights(role.role, {role.right}), "");
      ASSERT_EQ(store_.Add(Name(role.role), "secret-" + std::to_string(int(role.right)), role.role),
                "");
    }
  }

  // Logins are the whole server's: a name of this test in this run.
  std::string Name(const std::string& base) const {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return base + std::to_string(::getpid()) + "_" +
           std::to_string(std::hash<std::string>{}(test->name()) % 100000);
  }

  std::unique_ptr<platform::PostgresDatabase> ConnectAs(const std::string& name) {
    std::string error;
    auto db = platform::PostgresDatabase::Open(platform::testing::LoginUrl(name, "x", schema_));
    EXPECT_TRUE(db) << db.Error();
    return std::move(db).Take();
  }
  // The connection of the shop's maker (the table owner's side), as the tests' own.
  std::unique_ptr<platform::PostgresDatabase> ConnectAsMaker() { return ConnectAs(maker_); }

  std::unique_ptr<platform::SystemObject> SystemOn(platform::PostgresDatabase& db,
                                                   const std::string& user) {
    return std::make_unique<platform::SystemObject>(
        db, Dialogs(), host::LoginInfo{user, test::kTestLoginDate, host_.WorkFolder().string()});
  }

  platform::AccountStore store_{host_.Db()};
  std::string schema_;
  std::string maker_;
};

// A statement run by hand on an account's own connection, in a transaction rolled back after.
struct Attack {
  const char* what;
  std::vector<std::string> statements;
  std::optional<Right> allowedWith;              // the right that allows it; none: nobody's
  std::optional<Right> alsoWith = std::nullopt;  // another right that allows it
};

TEST_F(ServerBoundaryTest, EachRoleIsRefusedByHandWhatItsRightsDoNotAllow) {
  const std::string ownerGroup = host_.Scalar("SELECT ws_server_group('owner')").ToText();
  const std::vector<Attack> attacks = {
      {"mark an order checked", {"UPDATE WSDJ SET smark='02' WHERE 单据ID=11"}, Right::Check},
      {"mark a checked order unchecked",
       {"UPDATE WSDJ SET smark='01', 审核人='' WHERE 单据ID=10"},
       Right::Check},
      {"store a checked order",
       {"INSERT INTO WSDJ (单据ID,progid,smark,工单号码) VALUES "
        "(90,200001,'02','X90')"},
       std::nullopt},
      {"set an order's balance", {"UPDATE WSDJ SET 余额=0 WHERE 单据ID=10"}, Right::Receive},
      {"set an order's extra receipt",
       {"UPDATE WSDJ SET 补收金额=50 WHERE 单据ID=11"},
       Right::Receive},
      // 收款 writes a checked order's collected amounts, nothing else of it.
      {"edit a checked order", {"UPDATE WSDJ SET 备注='改' WHERE 单据ID=10"}, Right::Check},
      {"delete a checked order with its lines",
       {"DELETE FROM WSDJXM WHERE 单据ID=10", "DELETE FROM WSDJ WHERE 单据ID=10"},
       std::nullopt},
      {"delete a checked order's header", {"DELETE FROM WSDJ WHERE 单据ID=10"}, std::nullopt},
      {"add a line to a checked order",
       {"INSERT INTO WSDJXM (单据明细ID,单据ID,项目ID,单价) VALUES (70,10,1,10)"},
       std::nullopt},
      {"mark a requisition checked without its journal",
       {"UPDATE JXCDJ SET smark='02' WHERE 单据ID=21"},
       std::nullopt},
      {"delete a checked requisition", {"DELETE FROM JXCDJ WHERE 单据ID=20"}, std::nullopt},
      {"delete a checked settlement", {"DELETE FROM ARPReceive WHERE 单据ID=30"}, std::nullopt},
      {"read the password hashes", {"SELECT pw_hash FROM ws_account"}, std::nullopt},
      {"change the price summary", {"DELETE FROM ws_price_sum"}, std::nullopt},
      {"change the last-service summary", {"UPDATE ws_last_service SET order_id=11"}, std::nullopt},
      {"change the vehicle-span summary", {"UPDATE ws_vehicle_span SET most_km=0"}, std::nullopt},
      {"change the change blocks", {"UPDATE ws_change_block SET version=0"}, std::nullopt},
      {"set an id counter back", {"UPDATE ws_id SET last_id=1"}, Right::Manage},
      {"leap an id counter", {"UPDATE ws_id SET last_id=last_id+1000000000000"}, Right::Manage},
      {"set a number counter back", {"UPDATE ws_billno SET last_no=0"}, Right::Manage},
      {"give the table owner a password",
       {"SELECT ws_server_login('" + ownerGroup + "', 'SCRAM-SHA-256$4096:x', '', 1)"},
       std::nullopt},
      {"take over the maker's login",
       {"SELECT ws_server_login('" + maker_ + "', 'SCRAM-SHA-256$4096:x', 'manage', 1)"},
       std::nullopt},
      // The part and employee masters are the manager's, as their cards are; the counter adds
      // and corrects customers, and only the manager deletes one.
      {"add a customer",
       {"INSERT INTO pdmwldw (往来ID,往来编码,公司名称,属性) VALUES (90,'K90','走访客户',2)",
        "INSERT INTO PDMWLDWJS (往来ID,往来编码,公司名称,属性) VALUES (90,'K90','走访客户',2)"},
       Right::Enter,
       Right::Manage},
      {"delete a customer", {"DELETE FROM pdmwldw WHERE 往来ID=90"}, Right::Manage},
      {"change a part's price", {"UPDATE PDMCPML SET 参考零售价=0"}, Right::Manage},
      {"give an employee another login", {"UPDATE PDMGY SET 登录账号='老板'"}, Right::Manage},
      {"change the shop's particulars",
       {"INSERT INTO ws_option (module,name,value) VALUES (12,'shopname','x')"},
       Right::Manage},
  };
  for (const RoleCase& role : kRoles) {
    auto db = ConnectAs(Name(role.role));
    ASSERT_NE(db, nullptr);
    for (const Attack& attack : attacks) {
      db::Transaction tx(*db);
      for (const std::string& statement : attack.statements) tx.Run(db::Sql(statement));
      const bool done = !tx.Failed();
      const std::string error = tx.Error();
      tx.Rollback();
      EXPECT_EQ(done, attack.allowedWith == role.right || attack.alsoWith == role.right)
          << role.role << ": " << attack.what << ": " << error;
      if (done) continue;
      // Told in the shop's words, the server's own English left out.
      EXPECT_EQ(error.find("permission denied"), std::string::npos) << error;
      EXPECT_TRUE(error.find("权限") != std::string::npos ||
                  error.find("不能") != std::string::npos)
          << role.role << ": " << attack.what << ": " << error;
    }
    // An event is written in the name of the connection's login, whatever the row says.
    db::Transaction tx(*db);
    tx.Run(db::Sql("INSERT INTO ws_audit (单据类型,单据ID,序号,用户) VALUES ('WS_S',10,99,")
               .Text(Name("老板"))
               .Raw(")"));
    EXPECT_EQ(tx.Db().ScalarText(db::Sql("SELECT 用户 FROM ws_audit WHERE 序号=99")),
              Name(role.role));
    tx.Rollback();
  }
  // A checked order is deleted by nobody, its owner's side included; unchecked, it goes.
  auto maker = ConnectAsMaker();
  EXPECT_NE(db::Runner(*maker).Execute("DELETE FROM WSDJ WHERE 单据ID=10").find("已审核"),
            std::string::npos);
  // The maker's side still writes what it likes (tools, imports, single-user shops).
  EXPECT_EQ(db::Runner(*maker).Execute("UPDATE ws_billno SET last_no=0"), "");
  // A manager's "ws user add" of a login the shop did not make changes nothing of it.
  auto manager = ConnectAs(Name("只管理"));
  platform::AccountStore managed(*manager);
  managed.SetHashCost(platform::HashCost::Minimal);
  const std::string refusal = managed.Add(maker_, "stolen-secret", "只录入");
  EXPECT_NE(refusal.find("不是本店建立的登录"), std::string::npos) << refusal;
  EXPECT_EQ(host_.Scalar(db::Sql("SELECT COUNT(*) FROM ws_account WHERE user_name=").Text(maker_))
                .ToLong(),
            0);
}

TEST_F(ServerBoundaryTest, EachRoleStillDoesItsWorkThroughTheProgram) {
  // Logins verify against the server's functions: no account reads a hash, and the right
  // password still opens the account, the wrong one not.
  auto clerkDb = ConnectAs(Name("只录入"));
  platform::AccountStore asClerk(*clerkDb);
  asClerk.SetRefusalDelay(std::chrono::milliseconds(0));
  EXPECT_EQ(asClerk.Authenticate(Name("只录入"), "secret-0"), "");
  EXPECT_NE(asClerk.Authenticate(Name("只录入"), "secret-1"), "");
  EXPECT_NE(asClerk.Authenticate("没这个人", "secret-0"), "");

  // 录入: a new order with a line, saved and deleted again.
  auto clerk = SystemOn(*clerkDb, Name("只录入"));
  {
    repair_order::WS_S order;
    order.Events().AttachSink(&Sink());
    ASSERT_TRUE(order.Init(*clerk, 200001, 0));
    ASSERT_TRUE(order.FileNew());
    ASSERT_TRUE(Input::Type(order.Header(repair_order::WS_S::kPlate), "京A12345").accepted);
    ASSERT_TRUE(Input::Type(order.Header(repair_order::WS_S::kNumber), "WS020").accepted);
    Input::Click(order.Form().Get<forms::Widget>(repair_order::WS_S::kItemTab));
    ASSERT_TRUE(Input::EditCell(order.Lines(framework::LineKind::Items).Grid(), 1,
                                framework::LineGrid::kCode, "X01")
                    .accepted);
    ASSERT_TRUE(order.FileSave()) << TakeFailures();
    const int64_t id = order.GetID();
    EXPECT_EQ(host_.Scalar(db::Sql("SELECT 制单人 FROM WSDJ WHERE 单据ID=").Key(id)).ToText(),
              Name("只录入"));
    Dialogs().Queue(host::MsgAnswer::Yes);
    ASSERT_TRUE(order.FileDelete()) << TakeFailures();
    EXPECT_EQ(host_.Scalar(db::Sql("SELECT COUNT(*) FROM WSDJ WHERE 单据ID=").Key(id)).ToLong(), 0);
  }

  // 审核: the order checked and unchecked, the requisition checked with its journal.
  auto checkerDb = ConnectAs(Name("只审核"));
  auto checker = SystemOn(*checkerDb, Name("只审核"));
  {
    repair_order::WS_S order;
    order.Events().AttachSink(&Sink());
    ASSERT_TRUE(order.Init(*checker, 200001, 11));
    ASSERT_TRUE(order.RecordTop() && order.GetID() == 11);
    ASSERT_TRUE(order.Check()) << TakeFailures();
    EXPECT_EQ(host_.Scalar("SELECT smark FROM WSDJ WHERE 单据ID=11").ToText(), "02");
    ASSERT_TRUE(order.UnCheck()) << TakeFailures();
    EXPECT_EQ(host_.Scalar("SELECT smark FROM WSDJ WHERE 单据ID=11").ToText(), "01");
    framework::PeriodGate gate{framework::kStockPeriod, 201206, 201112};
    requisition::RequisitionKeys keys{200002, 21, 200001, 11};
    ASSERT_TRUE(requisition::RunCheckStep(*checker, gate, keys, 201206,
                                          requisition::CheckDirection::Check, "CKLL_WS"))
        << TakeFailures();
    EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM JxcGoodsList WHERE 单据ID=21").ToLong(), 1);
    ASSERT_TRUE(requisition::RunCheckStep(*checker, gate, keys, 201206,
                                          requisition::CheckDirection::UnCheck, "CKLL_WS"))
        << TakeFailures();
    EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM JxcGoodsList WHERE 单据ID=21").ToLong(), 0);
  }

  // 收款: a settlement of the checked order saved, checked (its voucher posted), unchecked and
  // deleted.
  auto cashierDb = ConnectAs(Name("只收款"));
  auto cashier = SystemOn(*cashierDb, Name("只收款"));
  {
    money::JS_WS settlement([](host::ISystem&, int64_t, int64_t, int64_t) {
      return money::ChosenRepairOrder{10, "WS010"};
    });
    settlement.Events().AttachSink(&Sink());
    ASSERT_TRUE(settlement.Init(*cashier, 200003, 0));
    ASSERT_TRUE(settlement.FileNew());
    EXPECT_TRUE(Input::Click(settlement.Form().Get<forms::Widget>(money::JS_WS::kSelectButton)));
    ASSERT_TRUE(Input::Type(settlement.Header(money::JS_WS::kAccount), "1001").accepted);
    ASSERT_TRUE(Input::Type(settlement.Header(money::JS_WS::kCollected), "100").accepted);
    ASSERT_TRUE(settlement.FileSave()) << TakeFailures();
    const int64_t id = settlement.GetID();
    ASSERT_TRUE(settlement.Check()) << TakeFailures();
    EXPECT_GT(host_.Scalar(db::Sql("SELECT COUNT(*) FROM gl_accvouch WHERE 前置单据ID=").Key(id))
                  .ToLong(),
              0);
    ASSERT_TRUE(settlement.UnCheck()) << TakeFailures();
    Dialogs().Queue(host::MsgAnswer::Yes);
    ASSERT_TRUE(settlement.FileDelete()) << TakeFailures();
  }

  // 管理: the shop's particulars and a new account, made through the login function.
  auto managerDb = ConnectAs(Name("只管理"));
  auto manager = SystemOn(*managerDb, Name("只管理"));
  EXPECT_EQ(manager->SetOption(12, std::string("shopname"), "顺达汽修"), "");
  platform::AccountStore asManager(*managerDb);
  asManager.SetHashCost(platform::HashCost::Minimal);
  EXPECT_EQ(asManager.Add(Name("新人"), "newbie-secret", "只录入"), "");
  EXPECT_EQ(
      host_
          .Scalar(db::Sql("SELECT COUNT(*) FROM ws_server_account WHERE login=").Text(Name("新人")))
          .ToLong(),
      1);
}

// Runs `second` on its own thread while `first`'s transaction is still open, and ends `first`
// only once `second` finished or is seen waiting for a lock: the order of events that let both
// pass their checks before the turns were taken.
void Overlap(platform::PostgresDatabase& watcher, const std::function<void()>& first,
             const std::function<void()>& second, const std::function<void()>& endFirst) {
  first();
  std::atomic<bool> done = false;
  std::thread other([&] {
    second();
    done = true;
  });
  while (!done &&
         db::Runner(watcher).Scalar("SELECT COUNT(*) FROM pg_locks WHERE NOT granted").ToLong() ==
             0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  endFirst();
  other.join();
}

TEST_F(ServerBoundaryTest, ConcurrentDeletesAndTypedNumbersHoldOnTheServer) {
  auto watcher = ConnectAsMaker();
  // Two desks delete a vehicle's two orders with the same item at once; the orders' ids lie in
  // different blocks of ids, so nothing else makes them wait for each other.
  for (int trial = 0; trial < 3; ++trial) {
    const int64_t older = 100 + trial, newer = 5000 + trial;
    for (int64_t id : {older, newer}) {
      const std::string key = std::to_string(id);
      host_.Exec("INSERT INTO WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期) VALUES (" + key +
                 ",200001,'01','C" + key + "',1,'2012-06-0" + (id == older ? "5" : "6") + "')");
      host_.Exec("INSERT INTO WSDJXM (单据明细ID,单据ID,项目ID) VALUES (" + key + "," + key +
                 ",1)");
    }
    auto a = ConnectAsMaker();
    auto b = ConnectAsMaker();
    db::Transaction first(*a);
    Overlap(
        *watcher, [&] { first.Run(db::Sql("DELETE FROM WSDJ WHERE 单据ID=").Key(older)); },
        [&] {
          db::Transaction second(*b);
          second.Run(db::Sql("DELETE FROM WSDJ WHERE 单据ID=").Key(newer));
          EXPECT_TRUE(second.Commit()) << second.Error();
        },
        [&] { EXPECT_TRUE(first.Commit()) << first.Error(); });
    EXPECT_EQ(host_
                  .Scalar("SELECT COUNT(*) FROM ws_last_service WHERE order_id IN (" +
                          std::to_string(older) + "," + std::to_string(newer) + ")")
                  .ToLong(),
              0)
        << "trial " << trial << ": the summary names a deleted order";
  }

  // A requisition numbered L77 is being saved on one desk (its number's turn taken, its row
  // written, not yet committed) when a second desk saves another L77: the second waits, then
  // finds the first and is refused.
  auto a = ConnectAsMaker();
  auto b = ConnectAsMaker();
  db::Transaction first(*a);
  auto desk = SystemOn(*b, "小王");
  bool secondSaved = true;
  Overlap(
      *watcher,
      [&] {
        first.LockValue("JXCDJ", "L77");
        first.Run(
            db::Sql("INSERT INTO JXCDJ (单据ID,progID,smark,单据编号,操作日期,会计期间) "
                    "VALUES (77,200002,'01','L77','2012-06-10',201206)"));
      },
      [&] {
        requisition::CKLl_WS requisition;
        requisition.Events().AttachSink(&Sink());
        ASSERT_TRUE(requisition.Init(*desk, 200002, 0));
        ASSERT_TRUE(requisition.FileNew());
        forms::Grid& grid = requisition.Lines().Grid();
        EXPECT_TRUE(Input::EditCell(grid, 1, requisition::RequisitionLines::kCode, "P01").accepted);
        EXPECT_TRUE(
            Input::EditCell(grid, 1, requisition::RequisitionLines::kQuantity, "1").accepted);
        EXPECT_TRUE(Input::Type(requisition.Header(requisition::CKLl_WS::kNumber), "L77").accepted);
        secondSaved = requisition.FileSave();
      },
      [&] { EXPECT_TRUE(first.Commit()) << first.Error(); });
  EXPECT_FALSE(secondSaved);
  EXPECT_NE(TakeFailures().find("重复"), std::string::npos);
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM JXCDJ WHERE 单据编号='L77'").ToLong(), 1);
}

}  // namespace
}  // namespace ws::hostile
