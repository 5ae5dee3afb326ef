// The customer's 同意 at the desk: the suggestion becomes a labour line of its order, priced as the
// order's own entry prices the item, the order's totals and row version moved with it, so an
// order window opened before is refused its save; and the checklist 管理 keeps.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "host/document_control.h"
#include "platform/accounts.h"
#include "platform/navigator.h"
#include "platform/postgres_database.h"
#include "repair_order/ws_s.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"
#include "workshop/examination.h"
#include "workshop/floor.h"

namespace ws::workshop {
namespace {

constexpr int64_t kOrderProgram = 200001;

// Open order 10 of customer 1 (one 保养 line of 300, parts 50, diagnosis 10) and order 11 of the
// same customer, checked, where 刹车 was last charged: the price the order's entry proposes.
class AgreedLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sql :
         {"insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C1','陈先生',2)",
          "insert into clzl (车辆ID,车牌号,车名,车主ID) values (1,'粤A12345','卡罗拉',1)",
          "insert into PDMWXXM (AutoID,编码,维修项目,参考价格,工时) values (1,'BY01','保养',300,"
          "1.5),(2,'SC01','刹车',999,2.25)",
          "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,维修费用,"
          "配件费用,诊断费,应收合计) values (10,200001,'01','填单','WS010',1,1,'2012-06-14',300,50,"
          "10,360),(11,200001,'02','审核','WS011',1,1,'2012-05-02',480,0,0,480)",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values (1,10,1,1,300,300),"
          "(2,11,2,1,480,480)",
          "insert into ws_check_item (项目ID,序号,名称,分组,停用) values (1,1,'刹车片','制动',0),"
          "(2,2,'轮胎','行走',0),(3,3,'灯光','电器',0)"}) {
      host_.Exec(sql);
    }
    for (int64_t item : {1, 2}) {
      int64_t finding = 0;
      ASSERT_EQ(examination_.Record(kTech, 10, item, Verdict::Repair, "磨损到底", &finding), "");
    }
    const auto suggestions = examination_.Suggestions(10);
    ASSERT_EQ(suggestions.size(), 2u);
    brake_ = suggestions[0].id;
    tyre_ = suggestions[1].id;
  }
  std::string Row(const std::string& sql) { return host_.RowText(sql); }
  // What an agreement writes, read back: lines, totals, version, suggestion, history.
  std::string Written() {
    return Row("select count(*), sum(金额) from WSDJXM where 单据ID = 10") + "|" +
           Row("select 维修费用, 应收合计, ws_rowver from WSDJ where 单据ID = 10") + "|" +
           host_.Joined("select 状态 || 单据明细ID from ws_suggestion order by 建议ID") + "|" +
           Row("select count(*) from ws_audit");
  }

  const Actor kTech{"tech", 1, false, true, true, false, "serve"};
  const Actor kClerk{"小王", 0, true, false, true, false, "desk"};
  test::TestHost host_;
  platform::RecordNavigator ids_{host_.Db()};
  std::string now_ = "2012-06-15 10:20:00";
  Examination examination_{host_.Db(), ids_, [this] { return now_; }};
  int64_t brake_ = 0;
  int64_t tyre_ = 0;
};

TEST_F(AgreedLineTest, TheAgreedSuggestionBecomesAPricedLineAndAnOpenWindowIsRefusedItsSave) {
  // The clerk's colleague has the order open for editing since before the answer came.
  repair_order::WS_S window;
  ASSERT_TRUE(window.Init(host_.System(), kOrderProgram, 10) && window.Refresh());
  ASSERT_TRUE(window.FileEdit());

  const auto proposed = examination_.Propose(host_.System(), brake_, 2, nullptr);
  ASSERT_TRUE(proposed);
  const std::string untouched = Written();
  const struct {
    const char* what;
    Actor actor;
    int64_t item;
    std::string agreedBy;
  } refused[] = {{"a technician answers for the customer", kTech, 2, "陈先生"},
                 {"nobody named as agreeing", kClerk, 2, ""},
                 {"no such repair item", kClerk, 99, "陈先生"}};
  for (const auto& r : refused) {
    EXPECT_NE(examination_.AgreeAsLine(r.actor, host_.System(), brake_, r.agreedBy, r.item), "")
        << r.what;
    EXPECT_EQ(Written(), untouched) << r.what;
  }

  int64_t line = 0;
  ASSERT_EQ(examination_.AgreeAsLine(kClerk, host_.System(), brake_, "陈先生", 2, &line), "");
  // The customer's last checked price of 刹车 (not the item card's reference price), the note of
  // the finding, the item's standard hours on the floor's board.
  EXPECT_EQ(Row("select 项目ID, 数量, 单价, 金额, 说明 from WSDJXM where 单据明细ID = " +
                std::to_string(line)),
            "2/1/" + Row("select 单价 from WSDJXM where 单据明细ID = 2") + "/" +
                proposed->price.Text() + "/磨损到底");
  EXPECT_EQ(proposed->hours, 2.25);
  Floor floor(host_.Db(), ids_, [this] { return now_; });
  ASSERT_TRUE(floor.Job(line));
  EXPECT_EQ(floor.Job(line)->itemName + "/" + std::to_string(floor.Job(line)->standardHours),
            proposed->name + "/" + std::to_string(proposed->hours));
  // The totals as the order computes them, from what the lines and fees hold now.
  EXPECT_EQ(Row("select 维修费用, 应收合计 from WSDJ where 单据ID = 10"),
            Row("select sum(金额), sum(金额) + 60 from WSDJXM where 单据ID = 10"));
  const auto agreed = examination_.Suggestions(10)[0];
  EXPECT_EQ(agreed.state + "/" + agreed.agreedBy + "/" + agreed.agreedAt + "/" + agreed.clerk,
            "同意/陈先生/" + now_ + "/小王");
  EXPECT_EQ(agreed.lineId, line);
  EXPECT_EQ(Row("select count(*) from ws_audit where 单据ID = 10"), "1");

  // The window shown before cannot write the order back without the new line.
  EXPECT_FALSE(window.FileSave());
  ASSERT_FALSE(host_.Dialogs().Boxes().empty());
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, host::kRowChangedText);
  const std::string after = Written();
  EXPECT_NE(examination_.AgreeAsLine(kClerk, host_.System(), brake_, "陈先生", 2), "")
      << "answered twice";
  // Checked (and so possibly settled): the order takes no more lines.
  host_.Exec("update WSDJ set smark = '02' where 单据ID = 10");
  const std::string checked = Written();
  EXPECT_NE(examination_.AgreeAsLine(kClerk, host_.System(), tyre_, "陈先生", 1), "");
  EXPECT_NE(examination_.Answer(kClerk, tyre_, false, ""), "") << "declined on a checked order";
  EXPECT_EQ(Written(), checked);
  EXPECT_NE(after, untouched);
}

// On the server each account works through its own login: a clerk's (录入) writes the line, the
// order and the history; a technician's login is refused by the server even when the program
// is told it may dispatch.
TEST_F(AgreedLineTest, OnTheServerAClerksLoginAgreesAndATechniciansLoginCannot) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "the server's grants";
  platform::AccountStore store(host_.Db());
  store.SetHashCost(platform::HashCost::Minimal);
  store.SetRefusalDelay(std::chrono::milliseconds(0));
  const std::string suffix = std::to_string(::getpid());
  ASSERT_EQ(store.Add("陈店主" + suffix, "owner-secret", "店主"), "");
  std::string url = *platform::testing::PostgresUrl();
  url += std::string(url.find('?') == std::string::npos ? "?" : "&") +
         "options=-c%20search_path%3D" + host_.Scalar("SELECT current_schema()").ToText();
  const struct {
    std::string account;
    const char* role;
    int64_t suggestion;
    bool written;
  } logins[] = {{"李技师" + suffix, "技师", tyre_, false},
                {"小王" + suffix, "录入员", brake_, true}};
  for (const auto& login : logins) {
    ASSERT_EQ(store.Add(login.account, "login-secret", login.role), "");
    auto own = platform::PostgresDatabase::OpenAs(url, login.account, "login-secret");
    ASSERT_TRUE(own) << own.Error();
    platform::RecordNavigator ids(*own);
    Examination examination(*own, ids, [this] { return now_; });
    Actor actor = kClerk;
    actor.user = login.account;
    const std::string before = Written();
    const std::string refusal =
        examination.AgreeAsLine(actor, host_.System(), login.suggestion, "陈先生", 2);
    EXPECT_EQ(refusal.empty(), login.written) << login.role << ": " << refusal;
    EXPECT_EQ(Written() != before, login.written) << login.role;
  }
}

TEST_F(AgreedLineTest, TheChecklistIsRenamedRetiredAndReorderedWithoutLosingFindings) {
  const auto names = [this](bool withRetired) {
    std::string out;
    for (const auto& item : examination_.Items(nullptr, withRetired)) {
      out += item.name + (item.retired ? "(停)" : "") + " ";
    }
    return out;
  };
  EXPECT_NE(examination_.ChangeItem(2, "刹车片", "行走"), "") << "a name taken";
  EXPECT_NE(examination_.ChangeItem(99, "雨刮", ""), "") << "no such item";
  ASSERT_EQ(examination_.ChangeItem(2, "轮胎气压", "行走"), "");
  ASSERT_EQ(examination_.RetireItem(1, true), "");
  EXPECT_NE(examination_.AddItem("刹车片", "制动", 9), "") << "a retired item keeps its name";
  EXPECT_NE(examination_.Record(kTech, 10, 1, Verdict::Ok, ""), "") << "examined when retired";
  EXPECT_EQ(names(false), "轮胎气压 灯光 ");
  // The order's finding on the retired item stays, under its name.
  EXPECT_EQ(examination_.Findings(10).front().item.name, "刹车片");
  for (const std::vector<int64_t>& partial : {std::vector<int64_t>{3, 2}, {3, 3, 2}}) {
    EXPECT_NE(examination_.ReorderItems(partial), "") << partial.size();
  }
  ASSERT_EQ(examination_.ReorderItems({3, 1, 2}), "");
  EXPECT_EQ(names(true), "灯光 刹车片(停) 轮胎气压 ");
  ASSERT_EQ(examination_.RetireItem(1, false), "");
  EXPECT_EQ(names(false), "灯光 刹车片 轮胎气压 ");
}

}  // namespace
}  // namespace ws::workshop
