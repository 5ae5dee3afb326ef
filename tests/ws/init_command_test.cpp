// `ws init` run as a user runs it: the built binary in a temporary folder.
#include "ws/run_ws.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "db/catalogue.h"
#include "db/runner.h"
#include "platform/sqlite_database.h"

namespace ws::cli {
namespace {

namespace fs = std::filesystem;

class WsInitTest : public WsProcessTest {};

TEST_F(WsInitTest, CreatesOnceAndReplacesOnlyWithForce) {
  const std::string file = Path("shop.db");
  Outcome created = Ws("init --db " + Quoted("shop.db") + " --date 2011-06-15");
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(created.err, "");
  EXPECT_NE(created.out.find("shop.db"), std::string::npos) << created.out;
  ASSERT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(file + ".init-tmp"));
  {
    std::string error;
    auto db = platform::SqliteDatabase::Open(file, &error);
    ASSERT_NE(db, nullptr) << error;
    EXPECT_EQ(db::SchemaVersion(*db), std::optional<std::string>(db::kSchemaVersion));
  }
  EXPECT_EQ(Scalar(file, "select value from ws_parameter where module=12 and number=1"), "201106");
  EXPECT_EQ(Scalar(file, "select menuname from xt_menu where progID=200001"), "维修工单");
  EXPECT_EQ(Scalar(file, "select count(*) from wsdj"), "0");
  {
    std::string error;
    auto db = platform::SqliteDatabase::Open(file, &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_EQ(db::Runner(*db).Execute(db::Sql("insert into ws_user_setting (user_name, key, value) "
                                              "values ('张三', 'WS_SelWs', '2')")),
              "");
  }

  Outcome refused = Ws("init --db " + Quoted("shop.db"));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("already exists"), std::string::npos) << refused.err;
  EXPECT_EQ(Scalar(file, "select count(*) from ws_user_setting"), "1") << "left untouched";

  Outcome replaced = Ws("init --force --db=" + Quoted("shop.db") + " --date=2012-01-10");
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(Scalar(file, "select count(*) from ws_user_setting"), "0");
  EXPECT_EQ(Scalar(file, "select value from ws_parameter where module=12 and number=1"), "201201");

  // A file that is no database at all is replaced as well.
  std::ofstream(Path("notes.db")) << "not a database";
  EXPECT_EQ(Ws("init --db " + Quoted("notes.db")).status, 2);
  EXPECT_EQ(ReadFile(Path("notes.db")), "not a database");
  ASSERT_EQ(Ws("init --db " + Quoted("notes.db") + " --force").status, 0);
  EXPECT_EQ(Scalar(Path("notes.db"), "select value from ws_meta where key='schema'"),
            "repair-shop");
}

TEST_F(WsInitTest, HelpAndBadUsage) {
  Outcome help = Ws("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("init"), std::string::npos) << help.out;
  Outcome initHelp = Ws("init --help");
  EXPECT_EQ(initHelp.status, 0);
  EXPECT_NE(initHelp.out.find("--db FILE"), std::string::npos) << initHelp.out;
  EXPECT_EQ(Ws("help init").status, 0);

  struct Bad {
    std::string args;
    std::string message;
  };
  const Bad bad[] = {
      {"", "Usage"},
      {"frobnicate", "unknown command"},
      {"init", "--db"},
      {"init --bogus --db " + Quoted("a.db"), "unknown option"},
      {"init --db", "needs a value"},
      {"init --db --force", "needs a value"},
      {"init --db " + Quoted("a.db") + " extra", "unexpected argument"},
      {"init --db " + Quoted("a.db") + " --date 2011-02-30", "not a date"},
      {"init --db " + Quoted("a.db") + " --date yesterday", "not a date"},
      {"init --db " + Quoted("missing/a.db"), "does not exist"},
      {"init --force --db " + Path(""), "folder"},
  };
  for (const auto& b : bad) {
    Outcome outcome = Ws(b.args);
    EXPECT_EQ(outcome.status, 2) << b.args;
    EXPECT_NE(outcome.err.find(b.message), std::string::npos) << b.args << "\n" << outcome.err;
    EXPECT_EQ(outcome.out, "") << b.args;
  }
  EXPECT_FALSE(fs::exists(Path("a.db"))) << "bad input changes nothing";
}

}  // namespace
}  // namespace ws::cli
