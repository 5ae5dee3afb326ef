// The floor's rules on the engine of the run: a line's states and who may move them, one
// running job per technician held by the database itself, suggested lines from findings, and
// (on the server) a technician's login that cannot read an amount.
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/runner.h"
#include "platform/access_guard.h"
#include "platform/accounts.h"
#include "platform/navigator.h"
#include "platform/postgres_database.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"
#include "workshop/examination.h"
#include "workshop/floor.h"

namespace ws::workshop {
namespace {

// Order 10 (open) with labour lines 1 and 2, order 11 checked with line 3; technicians 1 张 and
// 2 李, employee 3 who is none; a checklist of two items.
class FloorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sql :
         {"insert into clzl (车辆ID,车牌号,车名) values (1,'粤A12345','卡罗拉')",
          "insert into PDMWXXM (AutoID,编码,维修项目,参考价格,工时) values (1,'BY01','保养',300,"
          "1.5),(2,'SC01','刹车',500,2)",
          "insert into WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期,维修费用,总金额) values "
          "(10,200001,'01','WS010',1,'2012-06-14',800,800),(11,200001,'02','WS011',1,"
          "'2012-06-14',300,300)",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values (1,10,1,1,300,300),"
          "(2,10,2,1,500,500),(3,11,1,1,300,300)",
          "insert into PDMGY (雇员ID,雇员编码,姓名,登录账号,是否技师) values "
          "(1,'T1','张师傅','zhang',"
          "1),(2,'T2','李师傅','li',1),(3,'A1','王会计','wang',0)",
          "insert into ws_check_item (项目ID,序号,名称,分组,停用) values "
          "(1,1,'刹车片','制动',0),(2,2,"
          "'轮胎','行走',0)"}) {
      host_.Exec(sql);
    }
  }
  Actor Tech(int64_t id) const {
    return {"tech" + std::to_string(id), id, false, true, true, false};
  }
  static Actor Clerk() { return {"小王", 0, true, false, true, false}; }
  static Actor Foreman() { return {"老李", 0, false, false, false, true}; }
  JobState StateOf(int64_t line) {
    auto job = floor_.Job(line);
    EXPECT_TRUE(job);
    return job ? job->state : JobState::Waiting;
  }

  test::TestHost host_;
  platform::RecordNavigator ids_{host_.Db()};
  std::string now_ = "2012-06-15 08:00:00";
  Floor floor_{host_.Db(), ids_, [this] { return now_; }};
  Examination examination_{host_.Db(), ids_, [this] { return now_; }};
};

TEST_F(FloorTest, ALineMovesThroughItsStatesOnlyByTheRightHandsInTheRightOrder) {
  struct Step {
    const char* what;
    std::function<std::string()> run;
    bool allowed;
    JobState after;
    std::string at = {};
  };
  const std::vector<Step> steps = {
      {"clock on before dispatch", [&] { return floor_.ClockOn(Tech(1), 1); }, false,
       JobState::Waiting},
      {"a technician dispatches",
       [&] {
         return floor_.Dispatch(Tech(1), 1, {{1, 1.5}});
       },
       false, JobState::Waiting},
      {"dispatch to a non-technician",
       [&] {
         return floor_.Dispatch(Clerk(), 1, {{3, 1}});
       },
       false, JobState::Waiting},
      {"dispatch to 张 and 李",
       [&] {
         return floor_.Dispatch(Clerk(), 1, {{1, 1}, {2, 0.5}});
       },
       true, JobState::InRepair},
      {"dispatch a line of a checked order",
       [&] {
         return floor_.Dispatch(Clerk(), 3, {{1, 1}});
       },
       false, JobState::InRepair},
      {"张 clocks on", [&] { return floor_.ClockOn(Tech(1), 1); }, true, JobState::InRepair},
      {"the clerk clocks on", [&] { return floor_.ClockOn(Clerk(), 1); }, false,
       JobState::InRepair},
      {"pause without a reason", [&] { return floor_.Pause(Tech(1), 1, ""); }, false,
       JobState::InRepair, "2012-06-15 09:00:00"},
      {"李 clocks on as well", [&] { return floor_.ClockOn(Tech(2), 1); }, true, JobState::InRepair,
       "2012-06-15 09:00:00"},
      {"张 finishes while 李 works on", [&] { return floor_.Finish(Tech(1), 1); }, false,
       JobState::InRepair, "2012-06-15 09:30:00"},
      {"张 pauses while 李 works on", [&] { return floor_.Pause(Tech(1), 1, "等配件"); }, true,
       JobState::InRepair},
      {"李 pauses", [&] { return floor_.Pause(Tech(2), 1, "等配件"); }, true, JobState::Paused,
       "2012-06-15 10:00:00"},
      {"pass a paused line", [&] { return floor_.Check(Foreman(), 1); }, false, JobState::Paused},
      {"张 clocks on again", [&] { return floor_.ClockOn(Tech(1), 1); }, true, JobState::InRepair,
       "2012-06-15 13:00:00"},
      {"the clerk finishes", [&] { return floor_.Finish(Clerk(), 1); }, false, JobState::InRepair},
      {"张 finishes", [&] { return floor_.Finish(Tech(1), 1); }, true, JobState::Done,
       "2012-06-15 14:15:00"},
      {"张 clocks on a finished line", [&] { return floor_.ClockOn(Tech(1), 1); }, false,
       JobState::Done},
      {"a technician passes it", [&] { return floor_.Check(Tech(1), 1); }, false, JobState::Done},
      {"the foreman sends it back", [&] { return floor_.Reopen(Foreman(), 1); }, true,
       JobState::InRepair},
      {"张 finishes again", [&] { return floor_.Finish(Tech(1), 1); }, true, JobState::Done},
      {"the foreman passes it", [&] { return floor_.Check(Foreman(), 1); }, true,
       JobState::Checked},
      {"dispatch a passed line",
       [&] {
         return floor_.Dispatch(Clerk(), 1, {{2, 1}});
       },
       false, JobState::Checked},
  };
  for (const Step& step : steps) {
    if (!step.at.empty()) now_ = step.at;
    const std::string refusal = step.run();
    EXPECT_EQ(refusal.empty(), step.allowed) << step.what << ": " << refusal;
    EXPECT_EQ(StateName(StateOf(1)), std::string(StateName(step.after))) << step.what;
  }
  // 张 08:00-09:30 and 13:00-14:15, 李 09:00-10:00: the board adds the closed records up.
  const auto records = floor_.ClockRecords(1);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].reason, "等配件");
  EXPECT_DOUBLE_EQ(floor_.Job(1)->clockedHours, 1.5 + 1.0 + 1.25);
  EXPECT_EQ(floor_.Job(1)->technicians.size(), 2u);
  EXPECT_DOUBLE_EQ(floor_.Job(1)->standardHours, 1.5);
}

TEST_F(FloorTest, ATechnicianRunsOneJobAtATimeEvenWhenTheDatabaseIsWrittenByHand) {
  ASSERT_EQ(floor_.Dispatch(Clerk(), 1, {{1, 1}}), "");
  ASSERT_EQ(floor_.Dispatch(Clerk(), 2, {{1, 1}}), "");
  ASSERT_EQ(floor_.ClockOn(Tech(1), 1), "");
  EXPECT_EQ(floor_.ClockOn(Tech(1), 2), "你有一项工作正在计时，请先暂停或完工");
  // The rule is the database's: a second running record for 张 is refused whoever writes it,
  // while a closed one and another technician's running one are not.
  std::string error =
      db::Runner(host_.Db())
          .Execute(db::Sql(
              "insert into ws_clock (记录ID,雇员ID,单据明细ID,单据ID,开始时间,结束时间) values "
              "(900,1,2,10,'2012-06-15 08:05:00','')"));
  EXPECT_NE(error, "") << "a second running job was stored";
  host_.Exec(
      "insert into ws_clock (记录ID,雇员ID,单据明细ID,单据ID,开始时间,结束时间) values "
      "(901,1,2,10,'2012-06-14 08:00:00','2012-06-14 09:00:00'),"
      "(902,2,2,10,'2012-06-15 08:05:00','')");
  ASSERT_EQ(floor_.Pause(Tech(1), 1, "午饭"), "");
  EXPECT_EQ(floor_.ClockOn(Tech(1), 2), "");
  // The board of 张: both lines, with the one he runs now.
  const auto mine = floor_.JobsOf(1, "2012-06-01");
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(StateName(mine[0].state), std::string("暂停"));
  EXPECT_EQ(mine[0].reason, "午饭");
  EXPECT_EQ(mine[1].technicians.front().runningSince, now_);
  // The shop's open lines: order 10's two, not the checked order's.
  const auto open = floor_.OpenLines("2012-06-01", 100);
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[0].plate, "粤A12345");
}

// The boards read a bounded part of years of lines: a technician's lines at work whatever
// their age, his finished ones only from the window, never a colleague's; the shop's open
// lines newest first up to the limit.
TEST_F(FloorTest, TheBoardsReadTheirWindowAndTheirOwn) {
  for (const char* sql :
       {"insert into WSDJ (单据ID,progid,smark,工单号码,车辆ID,进厂日期) values (12,200001,'01',"
        "'WS012',1,'2011-01-05')",
        "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量) values (4,12,1,1),(5,12,1,1)",
        "insert into ws_job_tech (派工ID,单据明细ID,单据ID,雇员ID,计划工时) values "
        "(1,1,10,1,1),(2,2,10,2,1),(4,4,12,1,1),(5,5,12,1,1)",
        "insert into ws_job (单据明细ID,单据ID,状态) values (1,10,'完工'),(2,10,'在修'),"
        "(4,12,'暂停'),(5,12,'完工')"}) {
    host_.Exec(sql);
  }
  auto ids = [](const std::vector<JobLine>& lines) {
    std::string text;
    for (const auto& line : lines) text += std::to_string(line.lineId) + " ";
    return text;
  };
  std::string error;
  EXPECT_EQ(ids(floor_.JobsOf(1, "2012-06-01", &error)), "4 1 ") << error;
  EXPECT_EQ(ids(floor_.OpenLines("2011-01-01", 100, &error)), "2 4 ") << error;
  EXPECT_EQ(ids(floor_.OpenLines("2011-01-01", 1, &error)), "2 ") << error;
}

TEST_F(FloorTest, FindingsMarkedForRepairBecomeSuggestedLinesTheCustomerAnswers) {
  int64_t brake = 0;
  int64_t tyre = 0;
  EXPECT_NE(examination_.Record(Foreman(), 10, 1, Verdict::Repair, "刹车片磨损到底"), "")
      << "no examine right";
  EXPECT_NE(examination_.Record(Tech(1), 10, 1, Verdict::Repair, ""), "") << "需维修 without note";
  EXPECT_NE(examination_.Record(Tech(1), 11, 1, Verdict::Ok, ""), "") << "a checked order";
  EXPECT_NE(examination_.Record(Tech(1), 10, 99, Verdict::Ok, ""), "") << "no such item";
  ASSERT_EQ(examination_.Record(Tech(1), 10, 1, Verdict::Repair, "刹车片磨损到底", &brake), "");
  ASSERT_EQ(examination_.Record(Tech(1), 10, 2, Verdict::Repair, "左前胎鼓包", &tyre), "");
  ASSERT_EQ(examination_.AddPhoto(Tech(1), brake, std::string(32, 'a') + ".jpg", "image/jpeg", 10),
            "");
  for (const char* bad :
       {"../../etc/passwd", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.jpg",
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.gif", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/.jpg"}) {
    EXPECT_NE(examination_.AddPhoto(Tech(1), brake, bad, "image/jpeg", 10), "") << bad;
  }
  auto suggestions = examination_.Suggestions(10);
  ASSERT_EQ(suggestions.size(), 2u);
  EXPECT_EQ(suggestions[0].item, "刹车片");
  EXPECT_EQ(suggestions[0].state, "建议");
  // The tyre was only dirty: its suggestion goes while nobody answered it.
  ASSERT_EQ(examination_.Record(Tech(1), 10, 2, Verdict::Attention, "胎面有泥"), "");
  EXPECT_NE(examination_.Answer(Tech(1), suggestions[0].id, true, "车主陈先生"), "")
      << "a technician records no customer's answer";
  now_ = "2012-06-15 10:20:00";
  ASSERT_EQ(examination_.Answer(Clerk(), suggestions[0].id, true, "车主陈先生"), "");
  EXPECT_NE(examination_.Answer(Clerk(), suggestions[0].id, false, ""), "") << "answered twice";
  EXPECT_NE(examination_.Record(Tech(1), 10, 1, Verdict::Ok, ""), "")
      << "an agreed suggestion cannot be taken back by the finding";
  suggestions = examination_.Suggestions(10);
  ASSERT_EQ(suggestions.size(), 1u);
  EXPECT_EQ(suggestions[0].state + "/" + suggestions[0].agreedBy + "/" + suggestions[0].agreedAt +
                "/" + suggestions[0].clerk,
            "同意/车主陈先生/2012-06-15 10:20:00/小王");
  const auto findings = examination_.Findings(10);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].photos.size(), 1u);
  EXPECT_EQ(findings[1].verdict, "注意");
}

// A dispatch is redone freely until someone clocks on; from then on it only adds technicians.
TEST_F(FloorTest, ARedispatchTakesTechniciansOffOnlyBeforeAnyoneClockedOn) {
  const auto names = [this] {
    std::string out;
    const auto job = floor_.Job(1);
    for (const auto& a : job->technicians) out += a.name + std::to_string(a.plannedHours);
    return out;
  };
  ASSERT_EQ(floor_.Dispatch(Clerk(), 1, {{1, 1}, {2, 1}}), "");
  ASSERT_EQ(floor_.Dispatch(Clerk(), 1, {{2, 0.5}}), "");
  EXPECT_EQ(names(), "李师傅" + std::to_string(0.5));
  ASSERT_EQ(floor_.ClockOn(Tech(2), 1), "");
  ASSERT_EQ(floor_.Dispatch(Clerk(), 1, {{1, 2}}), "");
  EXPECT_EQ(names(), "李师傅" + std::to_string(0.5) + "张师傅" + std::to_string(2.0));
}

// On SQLite the file is the boundary: a technician's account opens no program of the desk,
// where lists and reports show amounts. On the server its own login reads no amount at all,
// while its board and its clock work through the same login.
TEST_F(FloorTest, ATechnicianNeverReadsMoney) {
  platform::AccountStore store(host_.Db());
  store.SetHashCost(platform::HashCost::Minimal);
  store.SetRefusalDelay(std::chrono::milliseconds(0));
  const std::string suffix = std::to_string(::getpid());
  const std::string owner = "老板" + suffix;
  const std::string tech = "zhang" + suffix;
  ASSERT_EQ(store.Add(owner, "owner-secret", "店主"), "");
  ASSERT_EQ(store.Add(tech, "zhang-secret", "技师"), "");
  host_.Exec(db::Sql("update PDMGY set 登录账号 = ").Text(tech).Raw(" where 雇员ID = 1"));
  platform::AccessGuard guard(host_.Db(), tech, true);
  EXPECT_NE(guard.Refusal(200001, platform::Step::Open), "") << "the repair orders' window";
  EXPECT_EQ(platform::AccessGuard(host_.Db(), owner, true).Refusal(200001, platform::Step::Open),
            "");
  if (!host_.OnPostgres()) return;

  const std::string schema = host_.Scalar("SELECT current_schema()").ToText();
  std::string url = *platform::testing::PostgresUrl();
  url += std::string(url.find('?') == std::string::npos ? "?" : "&") +
         "options=-c%20search_path%3D" + schema;
  std::string error;
  auto own = platform::PostgresDatabase::OpenAs(url, tech, "zhang-secret");
  ASSERT_TRUE(own) << own.Error();
  db::Runner runner(*own);
  for (const char* money :
       {"SELECT 金额 FROM WSDJXM", "SELECT 单价 FROM WSDJXM", "SELECT 总金额 FROM WSDJ",
        "SELECT 维修费用 FROM WSDJ", "SELECT 参考价格 FROM PDMWXXM", "SELECT * FROM ARPReceive",
        "SELECT * FROM gl_accvouch", "SELECT pw_hash FROM ws_account"}) {
    std::string refused;
    runner.Open(db::Sql(money), &refused);
    EXPECT_NE(refused, "") << money << " was read by a technician";
  }
  platform::RecordNavigator ownIds(*own);
  Floor floor(*own, ownIds, [this] { return now_; });
  ASSERT_EQ(floor_.Dispatch(Clerk(), 1, {{1, 1}, {2, 1}}), "");
  EXPECT_EQ(floor.OpenLines("2012-06-01", 100, &error).size(), 2u) << error;
  EXPECT_EQ(floor.ClockOn(Tech(1), 1), "");
  EXPECT_NE(floor.ClockOn(Tech(2), 1), "") << "clocked another technician on";
  EXPECT_EQ(floor.Pause(Tech(1), 1, "等配件"), "");
  EXPECT_EQ(floor.ClockOn(Tech(1), 1), "");
  EXPECT_EQ(floor.Finish(Tech(1), 1), "");
  EXPECT_EQ(floor.JobsOf(1, "2012-06-01", &error).size(), 1u) << error;
  EXPECT_EQ(floor.ClockRecords(1, &error).size(), 2u) << error;
  int64_t finding = 0;
  Examination examination(*own, ownIds, [this] { return now_; });
  EXPECT_EQ(examination.Record(Tech(1), 10, 1, Verdict::Repair, "刹车片磨损", &finding), "");
  EXPECT_EQ(examination.AddPhoto(Tech(1), finding, std::string(32, 'b') + ".jpg", "image/jpeg", 9),
            "");
  EXPECT_EQ(examination.Findings(10, &error).front().photos.size(), 1u) << error;
  EXPECT_EQ(examination.Suggestions(10, &error).size(), 1u) << error;
}

}  // namespace
}  // namespace ws::workshop
