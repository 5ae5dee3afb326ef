#include "hostile_host.h"

#include <unistd.h>

#include <vector>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "forms/grid_search.h"
#include "pickers/picker_control.h"
#include "platform/sqlite_database.h"
#include "support/test_host.h"

namespace ws::hostile {

namespace {

// Runs a catalogue script on either engine; answers the error text.
std::string ExecScript(db::IDatabase& db, const std::string& sql) {
  if (auto* sqlite = dynamic_cast<platform::SqliteDatabase*>(&db)) return sqlite->ExecScript(sql);
  return dynamic_cast<platform::PostgresDatabase&>(db).ExecScript(sql);
}

}  // namespace

void HostileHostTest::SetUp() {
  db::Engine engine = db::Engine::Sqlite;
  std::string error;
  if (GetParam() == Engine::Postgres) {
    scratch_ = std::make_unique<platform::testing::PostgresScratch>();
    WS_REQUIRE_POSTGRES(*scratch_);
    db_ = scratch_->Connect();
    ASSERT_NE(db_, nullptr) << scratch_->Error();
    engine = db::Engine::Postgres;
  } else {
    db_ = platform::SqliteDatabase::Open(":memory:", &error);
    ASSERT_NE(db_, nullptr) << error;
  }
  for (const auto& sql : db::CatalogueStatements(engine)) {
    ASSERT_EQ(ExecScript(*db_, sql.Literal()), "") << sql.Literal();
  }
  for (const auto& sql : db::DefaultConfigStatements(test::kTestLoginDate)) {
    ASSERT_EQ(ExecScript(*db_, sql.Literal()), "") << sql.Literal();
  }
  Exec("insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2)");
  Exec(
      "insert into clzl (车辆ID,车辆编号,车牌号,发动机号,车架号,车型,车主ID) "
      "values (1,'V001','京A12345','E100','J100','桑塔纳',1)");
  Exec("insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养')");
  Exec(
      "insert into PDMCPML (产品ID,物品编码,物品名称,规格,参考零售价,参考进价) "
      "values (1,'P01','机油滤芯','小号',30,20)");
  Exec("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','')");

  workFolder_ = std::filesystem::temp_directory_path() /
                ("ws_hostile_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(workFolder_);
  std::filesystem::create_directories(workFolder_);
  host::LoginInfo login{test::kTestUser, test::kTestLoginDate, workFolder_.string()};
  system_ = std::make_unique<platform::SystemObject>(*db_, dialogs_, login);
  // The clerk drops a picker down on the typed text and takes its first row.
  system_->SetRunPickerHandler([](host::IControl& control, const std::string& text) {
    host::PickResult result;
    auto* picker = dynamic_cast<pickers::PickerControl*>(&control);
    if (!picker || !picker->Refresh()) return result;
    picker->SetText(text);
    int row = forms::IncrementalSearch(picker->Grid(), picker->SearchColumns(), text, true);
    if (row < 0) return result;
    picker->ChooseRow(row);
    result.chosen = true;
    result.value = picker->GetValue();
    result.text = picker->GetText();
    result.objects = picker->Objects();
    return result;
  });
}

void HostileHostTest::TearDown() {
  system_.reset();
  db_.reset();
  scratch_.reset();
  if (!workFolder_.empty()) std::filesystem::remove_all(workFolder_);
}

std::string HostileHostTest::Scalar(const db::Sql& sql) {
  std::string error;
  std::string text = db::Runner(*db_).ScalarText(sql, &error);
  EXPECT_EQ(error, "") << sql.Literal();
  return text;
}

void HostileHostTest::Exec(const std::string& sql) {
  EXPECT_EQ(db::Runner(*db_).Execute(db::Sql(sql)), "") << sql;
}

std::string HostileHostTest::Scalar(const std::string& sql) {
  std::string error;
  std::string text = db::Runner(*db_).ScalarText(db::Sql(sql), &error);
  EXPECT_EQ(error, "") << sql;
  return text;
}

std::string HostileHostTest::Failures() {
  std::string text;
  for (const auto& message : sink_.ErrMessages()) text += message + "\n";
  for (const auto& box : dialogs_.Boxes()) text += box.text + "\n";
  return text;
}

}  // namespace ws::hostile
