// On PostgreSQL the server keeps the rights: an account's own connection has no write on what
// its role may not change, even by hand, while the real check of an account that may check
// posts through its own connection.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <string>

#include "db/runner.h"
#include "db/schema.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "platform/system_object.h"
#include "requisition/check_step.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

std::string Encoded(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += {'%', hex[c >> 4], hex[c & 15]};
    }
  }
  return out;
}

class ServerRightsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!host_.OnPostgres()) GTEST_SKIP() << "the server's roles are PostgreSQL's";
    schema_ = host_.Scalar("SELECT current_schema()").ToText();
    store_.SetHashCost(platform::HashCost::Minimal);
    store_.SetRefusalDelay(std::chrono::milliseconds(0));
  }

  // A connection of the account: the URL of the test server with the account's name and
  // password, in the test's schema.
  std::unique_ptr<platform::PostgresDatabase> ConnectAs(const std::string& name,
                                                        const std::string& password) {
    std::string url = *platform::testing::PostgresUrl();
    const size_t start = url.find("://") + 3;
    const size_t at = url.find('@', start);
    url = url.substr(0, start) + Encoded(name) + ":" + Encoded(password) +
          (at == std::string::npos ? "@" + url.substr(start) : url.substr(at));
    url += std::string(url.find('?') == std::string::npos ? "?" : "&") +
           "options=-c%20search_path%3D" + schema_;
    std::string error;
    auto db = platform::PostgresDatabase::Open(url, &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }

  // A name of this run: logins are the whole server's, and other test programs run beside.
  static std::string Name(const std::string& base) { return base + std::to_string(::getpid()); }

  test::TestHost host_;
  platform::AccountStore store_{host_.Db()};
  std::string schema_;
};

TEST_F(ServerRightsTest, AClerkCannotWriteTheLedgersAndACheckersCheckPosts) {
  const std::string owner = Name("老板"), clerk = Name("小王"), checker = Name("老李");
  ASSERT_EQ(store_.Add(owner, "owner-secret", "店主"), "");
  ASSERT_EQ(store_.Add(clerk, "clerk-secret", "录入员"), "");
  ASSERT_EQ(store_.Add(checker, "checker-secret", "审核员"), "");
  // The server keeps a SCRAM verifier, never the password.
  const std::string verifier =
      host_.Scalar(db::Sql("SELECT rolpassword FROM pg_authid WHERE rolname = ").Text(clerk))
          .ToText();
  EXPECT_EQ(verifier.rfind("SCRAM-SHA-256$", 0), 0u) << verifier;
  EXPECT_EQ(verifier.find("clerk-secret"), std::string::npos);

  host_.Exec(
      "insert into WSDJ (单据ID,progid,smark,工单号码,配件费用) values (7,200001,'02','W7',0)");
  host_.Exec(
      "insert into JXCDJ (单据ID,progID,smark,系统,单据编号,前置单据,前置单据ID,往来ID,部门ID,"
      "仓库ID,仓库填单,操作日期,填单日期,会计期间,总金额) values (1,200002,'01','填单','L1',"
      "200001,7,3,4,5,'库管员','2012-06-10','2012-06-11',201206,100)");
  host_.Exec(
      "insert into JXCDJMX (单据明细ID,单据ID,仓库ID,产品ID,数量,单价,金额,会计期间) values "
      "(11,1,5,1011,1,100,100,201206)");

  auto clerkDb = ConnectAs(clerk, "clerk-secret");
  ASSERT_NE(clerkDb, nullptr);
  struct Attempt {
    const char* statement;
    bool allowed;
  };
  const Attempt attempts[] = {
      {"INSERT INTO gl_accvouch (autoid, 借方金额) VALUES (900, 1000)", false},
      {"UPDATE gl_accvouch SET 借方金额 = 0", false},
      {"INSERT INTO JxcGoodsList (autoid, 单据ID, 数量) VALUES (900, 1, 5)", false},
      {"UPDATE JxcGoodsList SET 数量 = 0", false},
      {"DELETE FROM JXCGoodsZzTz", false},
      {"UPDATE ws_account SET role = '店主'", false},
      {"UPDATE ws_role_right SET right_name = '管理'", false},
      {"UPDATE WSDJ SET 工单号码 = 'W7' WHERE 单据ID = 7", true},
      // The summaries the triggers keep follow the clerk's own writes.
      {"INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 单价) VALUES (70, 7, 1, 10)", true},
      {"UPDATE WSDJ SET 进厂日期 = '2012-06-01' WHERE 单据ID = 7", true},
      {"UPDATE JXCDJ SET 总金额 = 100 WHERE 单据ID = 1", true},
      // Every account appends to the audit trail; nobody changes or removes its rows.
      {"INSERT INTO ws_audit (单据类型, 单据ID, 序号) VALUES ('WS_S', 7, 1)", true},
      {"UPDATE ws_audit SET 用户 = 'x'", false},
      {"DELETE FROM ws_audit", false},
  };
  for (const Attempt& a : attempts) {
    const std::string error = db::Runner(*clerkDb).Execute(db::Sql(a.statement));
    EXPECT_EQ(error.empty(), a.allowed) << a.statement << ": " << error;
    if (!a.allowed) {
      EXPECT_NE(error.find("permission denied"), std::string::npos) << error;
    }
  }

  // A table an upgrade makes (here the summary, as in a shop from before it) is the clerk's
  // to use like the others, or the clerk's saves would be refused by its triggers.
  host_.Exec("DROP TABLE ws_last_service");
  ASSERT_EQ(db::UpgradeSchema(host_.Db()), "");
  EXPECT_EQ(db::Runner(*clerkDb).Execute(db::Sql(
                "INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 单价) VALUES (71, 7, 2, 10)")),
            "");
  EXPECT_EQ(db::Runner(*clerkDb).ScalarText(db::Sql("SELECT COUNT(*) FROM ws_last_service")), "2");

  // Not even the owner, who manages every other table, may take an event back.
  auto ownerDb = ConnectAs(owner, "owner-secret");
  ASSERT_NE(ownerDb, nullptr);
  EXPECT_NE(db::Runner(*ownerDb).Execute("DELETE FROM ws_audit").find("permission denied"),
            std::string::npos);

  // The checker's check, on the checker's own connection, posts the stock journal.
  auto checkerDb = ConnectAs(checker, "checker-secret");
  ASSERT_NE(checkerDb, nullptr);
  test::ScriptedDialogs dialogs;
  platform::SystemObject system(
      *checkerDb, dialogs,
      host::LoginInfo{checker, test::kTestLoginDate, host_.WorkFolder().string()});
  framework::PeriodGate gate{framework::kStockPeriod, 201206, 201112};
  RequisitionKeys keys;
  keys.programNumber = 200002;
  keys.documentId = 1;
  keys.sourceProgram = 200001;
  keys.sourceId = 7;
  const db::AuditEvent audit{"CKLl_WS", 200002, 1, "L1", db::AuditAction::Check, {}};
  ASSERT_TRUE(RunCheckStep(system, gate, keys, 201206, CheckDirection::Check, "CKLL_WS", &audit))
      << (dialogs.Boxes().empty() ? "" : dialogs.Boxes().back().text);
  EXPECT_EQ(host_.Scalar("select 用户 from ws_audit where 单据类型 = 'CKLl_WS'").ToText(), checker)
      << "the check's event is the checker's";
  EXPECT_EQ(host_.Scalar("select count(*) from JxcGoodsList where 单据ID = 1").ToLong(), 1);
  EXPECT_EQ(host_.Scalar("select 配件费用 from WSDJ where 单据ID = 7").ToLong(), 100);

  // A stopped account is no login any more.
  ASSERT_EQ(store_.SetActive(clerk, false), "");
  EXPECT_EQ(host_
                .Scalar(db::Sql("SELECT CASE WHEN rolcanlogin THEN 1 ELSE 0 END FROM pg_roles "
                                "WHERE rolname = ")
                            .Text(clerk))
                .ToLong(),
            0);
}

}  // namespace
}  // namespace ws::requisition
