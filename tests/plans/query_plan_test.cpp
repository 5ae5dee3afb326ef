// The statements the controls run on a demo shop with years of posted history, as SQLite plans them
// with the statistics the shop file carries: no table that grows with the shop's history is read
// whole, and no keyset walk of the navigator sorts its list. An index dropped or a statement
// reshaped so that a move, a save, a posting, a price or a picker search would read a whole table
// fails here long before a shop of ten years notices it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "db/last_service.h"
#include "db/runner.h"
#include "db/sql.h"
#include "forms/input.h"
#include "framework/line_price.h"
#include "harness/order_clerk.h"
#include "harness/shop_rows.h"
#include "money/js_ws.h"
#include "money/order_choosers.h"
#include "pickers/master_picker.h"
#include "platform/navigator.h"
#include "platform/sqlite_database.h"
#include "platform/system_object.h"
#include "repair_order/ws_s.h"
#include "reports/day_work.h"
#include "reports/issued_billed.h"
#include "reports/period_checklist.h"
#include "reports/receivables_age.h"
#include "reports/service_due.h"
#include "reports/vehicle_history.h"
#include "reports/ws_rpt.h"
#include "requisition/ckll_ws.h"
#include "shop/demo/demo_data.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"
#include "workshop/examination.h"
#include "workshop/floor.h"

namespace ws {
namespace {

namespace fs = std::filesystem;
using Statements = std::vector<std::string>;

const db::Date kLoginDate{2012, 6, 15};
constexpr const char* kUser = "测试员";

// The tables that grow with the shop's history (the floor's with every line worked on and every
// order examined); the masters of a few dozen rows may be read whole.
const std::set<std::string> kGrowing = {
    "wsdj",          "wsdjxm",           "wsdjpj",        "clzl",
    "pdmwldw",       "pdmwldwjs",        "jxcdj",         "jxcdjmx",
    "jxcgoodslist",  "gl_accvouch",      "arpreceive",    "arpreceivemx",
    "arpreceive_xm", "arpreceive_pj",    "arpreceive_fy", "ws_last_service",
    "ws_unsettled",  "ws_job",           "ws_job_tech",   "ws_clock",
    "ws_finding",    "ws_finding_photo", "ws_suggestion", "ws_vehicle_span"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Which table each name a plan may show stands for: the tables after FROM, JOIN, UPDATE and
// INTO and the words after them, their aliases (a keyword caught so never shows in a plan).
std::map<std::string, std::string> TableNames(const std::string& lower) {
  static const std::regex kTable(
      R"(\b(?:from|join|update|into)[\s(]+(\w+)(?:\s+(?:as\s+)?(\w+))?)");
  std::map<std::string, std::string> names;
  for (std::sregex_iterator it(lower.begin(), lower.end(), kTable), end; it != end; ++it) {
    names[(*it)[1]] = (*it)[1];
    if ((*it)[2].matched) names[(*it)[2]] = (*it)[1];
  }
  return names;
}

bool IsPartialIndex(const std::string& table, const std::string& index) {
  const db::TableDef* def = db::FindTable(table);
  if (!def) return false;
  return std::any_of(def->indexes.begin(), def->indexes.end(), [&](const db::IndexDef& candidate) {
    return Lower(candidate.name) == index && !candidate.where.empty();
  });
}

// Whether the plan searches a range of an index made for a typed start (IndexDef::typedStart).
bool SearchesTypedStart(const std::string& lowerPlan) {
  for (const db::TableDef& table : db::Tables()) {
    for (const db::IndexDef& index : table.indexes) {
      if (index.typedStart && lowerPlan.find("search " + Lower(table.name) + " using index " +
                                             Lower(index.name) + " (") != std::string::npos) {
        return true;
      }
    }
  }
  return false;
}

class QueryPlanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::random_device device;
    folder_ = new fs::path(fs::temp_directory_path() / ("ws_plans_" + std::to_string(device())));
    fs::create_directories(*folder_);
    shop::DemoOptions options;
    options.seed = 3;
    options.orders = 3000;
    options.date = kLoginDate;
    ASSERT_EQ(shop::CreateDemoDatabase(Path(), options, nullptr, {}), "");
    std::string error;
    auto db = platform::SqliteDatabase::Open(Path());
    ASSERT_TRUE(db) << db.Error();
    requisition_ = harness::AddRequisitionOfOrder(*db, 8, kUser, &error);
    ASSERT_EQ(error, "");
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*folder_, ignored);
    delete folder_;
  }
  static std::string Path() { return (*folder_ / "shop.db").string(); }

  void SetUp() override {
    std::string error;
    auto opened = platform::SqliteDatabase::Open(Path());
    ASSERT_TRUE(opened) << opened.Error();
    db_ = std::move(opened).Take();
    host::LoginInfo login{kUser, kLoginDate, folder_->string()};
    system_ = std::make_unique<platform::SystemObject>(*db_, dialogs_, login);
  }

  Statements Capture(const std::function<void()>& operation) {
    db_->ClearLog();
    db_->EnableLog(true);
    operation();
    Statements log = db_->Log();
    db_->EnableLog(false);
    return log;
  }

  // The plan's steps, one per line.
  std::string Plan(const db::Sql& sql) {
    std::string error;
    auto rs = db::Runner(*db_).Open(db::Sql("EXPLAIN QUERY PLAN ").Append(sql), &error);
    EXPECT_EQ(error, "") << sql.Literal();
    std::string plan;
    for (; error.empty() && !rs->Eof(); rs->MoveNext()) plan += rs->Text("detail") + "\n";
    return plan;
  }

  // Each statement that reads a growing table whole, or walks the list by key with a sort,
  // with its plan.
  std::vector<std::string> Faults(const Statements& statements) {
    static const std::regex kPlanned(
        R"(^\s*(select|update|delete|with)\b|^\s*insert\b[\s\S]*\bselect\b)");
    // A partial index holds only the rows its condition names (the few orders still owed on),
    // so reading it whole reads no more than the list shows.
    static const std::regex kScan(R"(scan (\w+)(?: using (?:covering )?index (\w+))?)");
    std::vector<std::string> faults;
    for (const std::string& sql : statements) {
      const std::string lower = Lower(sql);
      if (!std::regex_search(lower, kPlanned)) continue;
      const std::string plan = Plan(db::Sql(sql));
      const std::string lowerPlan = Lower(plan);
      const auto names = TableNames(lower);
      bool fault = false;
      // A page of a list walks an index in the list's order and stops at its row limit: no
      // sort, so it reads the rows it shows. Not so when the walk filters on a pattern: rows that
      // match may be few and far, and the walk then reads the whole index to find a page.
      const bool page = (lower.find(" limit ") != std::string::npos ||
                         lower.find(" top ") != std::string::npos) &&
                        lower.find(" like ") == std::string::npos &&
                        lowerPlan.find("temp b-tree") == std::string::npos;
      for (std::sregex_iterator it(lowerPlan.begin(), lowerPlan.end(), kScan), end; it != end;
           ++it) {
        auto named = names.find((*it)[1]);
        if (named == names.end() || !kGrowing.count(named->second)) continue;
        if (page && (*it)[2].matched) continue;
        if (!(*it)[2].matched || !IsPartialIndex(named->second, (*it)[2])) fault = true;
      }
      // A find by the typed start of a number sorts the few orders whose number starts so,
      // found by a range of its index: no walk.
      const bool walk = sql.find("LIMIT 1") != std::string::npos &&
                        sql.find("ORDER BY 单据ID") != std::string::npos &&
                        !SearchesTypedStart(lowerPlan);
      // Also a sort of the day's keys inside a walk's bound ("FOR RIGHT PART OF ORDER BY").
      if (walk && std::regex_search(plan, std::regex("TEMP B-TREE FOR .*ORDER BY"))) fault = true;
      if (fault) faults.push_back(sql + "\n" + plan);
    }
    return faults;
  }

  // The plan of each statement of `statements` naming `term` uses `index`; answers how many did.
  size_t ExpectPlansUse(const Statements& statements, const std::string& term,
                        const std::string& index) {
    size_t named = 0;
    for (const std::string& sql : statements) {
      if (sql.find(term) == std::string::npos) continue;
      ++named;
      EXPECT_NE(Plan(db::Sql(sql)).find(index), std::string::npos) << sql;
    }
    return named;
  }

  void MasterPickerPages();
  static std::string Shown(const std::vector<std::string>& faults) {
    std::string text;
    for (const auto& fault : faults) text += "\n" + fault;
    return text;
  }
  // The statements the operation ran; each one that reads a growing table whole fails the test.
  Statements ExpectIndexed(const std::function<void()>& operation, const std::string& what = {}) {
    const Statements statements = Capture(operation);
    EXPECT_TRUE(Faults(statements).empty()) << what << Shown(Faults(statements));
    return statements;
  }

  static fs::path* folder_;
  static int64_t requisition_;
  std::unique_ptr<platform::SqliteDatabase> db_;
  test::ScriptedDialogs dialogs_;
  test::RecordingSink sink_;
  std::unique_ptr<platform::SystemObject> system_;
};

fs::path* QueryPlanTest::folder_ = nullptr;
int64_t QueryPlanTest::requisition_ = 0;

TEST_F(QueryPlanTest, NavigationWalksAndCountsByIndex) {
  repair_order::WS_S order;
  order.Events().AttachSink(&sink_);
  ASSERT_TRUE(order.Init(*system_, 200001, 0));
  std::string error;
  auto other = platform::SqliteDatabase::Open(Path());
  ASSERT_TRUE(other) << other.Error();
  const Statements orders = ExpectIndexed([&] {
    EXPECT_TRUE(order.RecordTop() && order.RecordNext() && order.RecordNext() &&
                order.RecordPrevious() && order.RecordBottom());
    // Another user saves: the figures are taken again, block by block.
    EXPECT_EQ(
        other->ExecScript("UPDATE WSDJ SET 备注='x' WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ)"),
        "");
    EXPECT_TRUE(order.RecordPrevious() && order.RecordTop());
  });
  EXPECT_GT(orders.size(), 20u);
  // Each order shown reads who works on its labour lines by the order's key.
  EXPECT_GE(ExpectPlansUse(orders, "FROM ws_job j", "ix_ws_job_doc"), 5u);

  // Filtered on the vehicle's plate "anywhere", the list's first count reads every order once;
  // after that the walks kept to blocks and the recounts of the blocks another user wrote to
  // start from the orders' keys.
  order.Filter(std::vector<host::Condition>{{"京A", "clzl.车牌号 like"}});
  const Statements filtered = ExpectIndexed([&] {
    EXPECT_TRUE(order.RecordTop() && order.RecordNext());
    EXPECT_EQ(
        other->ExecScript("UPDATE WSDJ SET 备注='y' WHERE 单据ID=(SELECT MAX(单据ID) FROM WSDJ)"),
        "");
    EXPECT_TRUE(order.RecordPrevious() && order.RecordBottom());
  });
  EXPECT_TRUE(std::any_of(filtered.begin(), filtered.end(), [](const std::string& sql) {
    return sql.find("车牌号") != std::string::npos && sql.find("COUNT(*)") != std::string::npos;
  })) << "a block recounted over the lookup";
}

// A list no desk counted yet, its count left to the event loop: first, last and previous from
// the first row are kept to the keys the day index gives for the window, in key order.
// Each document list's window (days of the orders, periods of the requisitions and
// settlements) bounds first and last by its own day index while the list is not counted.
TEST_F(QueryPlanTest, FirstAndLastOfAListNotCountedYetStartFromTheDayIndex) {
  ASSERT_EQ(db::Runner(*db_).Execute(db::Sql("DELETE FROM ws_list_count")), "");
  std::vector<std::function<bool()>> queued;
  system_->CountListsWhenIdle(
      platform::CountLater{[&](std::function<bool()> work) { queued.push_back(std::move(work)); },
                           std::chrono::microseconds(0)});
  repair_order::WS_S order;
  requisition::CKLl_WS requisition;
  // The list alone is read: no order is ever chosen.
  money::JS_WS settlement{
      [](host::ISystem&, int64_t, int64_t, int64_t) { return money::ChosenRepairOrder{}; }};
  struct List {
    framework::Document& doc;
    int64_t program;
    const char* index;
  };
  const List lists[] = {{order, 200001, "ix_wsdj_day"},
                        {requisition, 200002, "ix_jxcdj_day"},
                        {settlement, db::kSettlementProgram, "ix_arpreceive_day"}};
  for (const List& list : lists) {
    list.doc.Events().AttachSink(&sink_);
    ASSERT_TRUE(list.doc.Init(*system_, list.program, 0)) << list.index;
    for (bool filtered : {false, true}) {
      if (filtered && &list.doc != &order) continue;
      if (filtered) order.Filter(std::vector<host::Condition>{{"京A", "clzl.车牌号 like"}});
      const Statements moves = ExpectIndexed([&] {
        EXPECT_TRUE(list.doc.RecordTop() && list.doc.RecordPrevious() && list.doc.RecordBottom());
      });
      EXPECT_GE(ExpectPlansUse(moves, db::kDayIndexTerm, list.index), 3u)
          << list.index << " filtered " << filtered;
    }
  }
  EXPECT_FALSE(queued.empty()) << "counted before the moves";
}

TEST_F(QueryPlanTest, SavesAndPostingsFindTheirRowsByIndex) {
  harness::OrderClerk clerk(*db_, kUser, kLoginDate);
  ASSERT_EQ(clerk.Problem(), "");
  clerk.OnSave([&] { db_->ClearLog(); });
  db_->EnableLog(true);
  harness::SaveOutcome saved = clerk.SaveNewOrder(6);
  const Statements save = db_->Log();
  db_->EnableLog(false);
  ASSERT_TRUE(saved.saved) << (saved.shown.empty() ? "" : saved.shown[0]);
  EXPECT_TRUE(Faults(save).empty()) << Shown(Faults(save));

  requisition::CKLl_WS doc;
  doc.Events().AttachSink(&sink_);
  ASSERT_TRUE(doc.Init(*system_, 200002, requisition_));
  ASSERT_TRUE(doc.Refresh());
  ExpectIndexed([&] { EXPECT_TRUE(doc.Check() && doc.UnCheck()); });
}

TEST_F(QueryPlanTest, PriceProposalsStartFromTheOwnersOrdersOrTheKeysLines) {
  for (auto kind : {framework::LineKind::Items, framework::LineKind::Parts}) {
    // The owner's own latest price: through the owner's few orders, never along every line of
    // the item looking for the owner's.
    const std::string own = Plan(db::Sql(framework::HistoryPriceSelect(kind, 1, 200001, 5)));
    EXPECT_NE(own.find("ix_wsdj_owner"), std::string::npos) << own;
    // Anyone's latest: the key's lines newest first, without sorting them.
    const std::string anyone = Plan(db::Sql(framework::HistoryPriceSelect(kind, 1, 200001, {})));
    EXPECT_EQ(anyone.find("TEMP B-TREE"), std::string::npos) << anyone;
    // Lowest, highest, average: the summary's few rows of the key, found by its primary key.
    for (int rule : {1, 2, 3}) {
      const std::string summary =
          Plan(db::Sql(framework::RulePriceSelect(rule, kind, 1, 200001, 0)));
      EXPECT_NE(summary.find("SEARCH ws_price_sum USING INDEX"), std::string::npos) << summary;
    }
  }
}

void QueryPlanTest::MasterPickerPages() {
  pickers::MasterPicker picker(pickers::VehiclePicker());
  picker.Events().AttachSink(&sink_);
  ASSERT_TRUE(picker.Init(*system_, 0, ""));
  const Statements pages = ExpectIndexed(
      [&] {
        ASSERT_TRUE(picker.Refresh());
        ASSERT_TRUE(picker.HasMore()) << "the demo shop has more vehicles than a page";
        EXPECT_TRUE(picker.LoadMore());
        picker.SetText("京A1");
        picker.SetText("京A12");
        // A province most plates share: its page is a range of the plates' index.
        picker.SetText("京");
      },
      "vehicle picker");
  EXPECT_GE(pages.size(), 4u);
  EXPECT_TRUE(std::any_of(pages.begin(), pages.end(), [](const std::string& sql) {
    return sql.find("车牌号<") != std::string::npos;
  })) << "the province's page";
}

TEST_F(QueryPlanTest, PickerSearchesAndTheReportUseIndexes) {
  // The typed prefix of a plate or vehicle number, bound as the picker binds it.
  const std::string typed =
      Plan(framework::WithTyped(pickers::VehiclePicker().validateQuery, "京A1"));
  EXPECT_NE(typed.find("ix_clzl_plate_nocase"), std::string::npos) << typed;

  // The vehicle picker opens on a page, reads the next one and narrows as the clerk types, each
  // through an index.
  MasterPickerPages();

  // The report narrowed to a customer or a vehicle reads only their orders.
  reports::WS_RPT report;
  report.Events().AttachSink(&sink_);
  report.Init(*system_, reports::WS_RPT::kProgram);
  report.FilterInput(reports::WS_RPT::kCustomer).SetValue("7", "");
  ExpectIndexed([&] { EXPECT_TRUE(report.Refresh()); });
  report.FilterInput(reports::WS_RPT::kCustomer).SetValue("", "");
  report.FilterInput(reports::WS_RPT::kVehicle).SetValue("7", "");
  ExpectIndexed([&] { EXPECT_TRUE(report.Refresh()); });

  // The whole history walks the index in the report's order: a sort of every order spilled to
  // temporary files at a million.
  report.FilterInput(reports::WS_RPT::kVehicle).SetValue("", "");
  const std::string whole = Plan(report.Query(db::Runner(*db_).Driver()));
  EXPECT_NE(whole.find("ix_wsdj_report_day"), std::string::npos) << whole;
  EXPECT_EQ(whole.find("TEMP B-TREE"), std::string::npos) << whole;
}

// The receipt's chooser reads one customer's owed orders from the partial index, already in
// their date order; the settlement's walks the work-order numbers in order, so its row limit
// stops the walk instead of a sort of every checked order.
TEST_F(QueryPlanTest, TheMoneyChoosersReadTheirOrdersInTheirOrder) {
  money::ReceivableChooserFilter owed;
  owed.rows = 100;
  owed.customerId = 7;
  const std::string receivable = Plan(money::ReceivableChooserSelect(owed, ""));
  EXPECT_NE(receivable.find("ix_wsdj_owed"), std::string::npos) << receivable;
  EXPECT_EQ(receivable.find("TEMP B-TREE FOR ORDER BY"), std::string::npos) << receivable;
  money::SettlementChooserFilter unsettled;
  unsettled.rows = 100;
  const std::string settlement = Plan(money::SettlementChooserSelect(unsettled, ""));
  EXPECT_NE(settlement.find("ix_wsdj_number"), std::string::npos) << settlement;
  EXPECT_EQ(settlement.find("TEMP B-TREE FOR ORDER BY"), std::string::npos) << settlement;
}

// The desk starts on three lists of 200 orders each: each walks an index in its own order and
// stops at the rows it shows, so that the start takes as long in a shop of ten years as in one
// of ten days. A sort of the list means every row it could show was read first.
TEST_F(QueryPlanTest, TheStartPageListsWalkTheirOrderToTheRowsTheyShow) {
  reports::DayWork work;
  const Statements start = ExpectIndexed([&] { work = reports::LoadDayWork(*db_, 200); }, "start");
  ASSERT_EQ(work.error, "");
  EXPECT_FALSE(work.openOrders.empty() || work.unsettled.empty() || work.receivable.empty());
  ASSERT_EQ(start.size(), 3u);
  for (const std::string& sql : start) {
    const std::string plan = Plan(db::Sql(sql));
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << plan;
  }
}

// Find on the repair order by the start of a number, as a clerk types one: a range of the
// number's index, whatever the list's window (a contains search reads the window's orders one
// by one, and is left to the case where no number starts so).
TEST_F(QueryPlanTest, FindByTheStartOfANumberSearchesItsIndex) {
  repair_order::WS_S order;
  order.Events().AttachSink(&sink_);
  ASSERT_TRUE(order.Init(*system_, 200001, 0));
  std::string error;
  const std::string number = db::Runner(*db_).ScalarText(
      db::Sql("SELECT 工单号码 FROM WSDJ WHERE 单据ID=(SELECT MAX(单据ID) FROM WSDJ)"), &error);
  ASSERT_EQ(error, "");
  const Statements find = ExpectIndexed(
      [&] {
        order.Find(
            std::vector<host::Condition>{{number.substr(0, number.size() - 1), "工单号码 like"}});
        EXPECT_GT(order.GetID(), 0);
      },
      "find");
  EXPECT_GE(ExpectPlansUse(find, "工单号码 like", "ix_wsdj_number_start"), 1u);
}

TEST_F(QueryPlanTest, TheComputedListsReadOnlyTheRowsTheyShow) {
  std::string error;
  const std::string plate = db::Runner(*db_).ScalarText(
      db::Sql("SELECT 车牌号 FROM clzl WHERE 车辆ID=(SELECT MAX(车辆ID) FROM WSDJ)"), &error);
  ASSERT_EQ(error, "");
  ExpectIndexed([&] { EXPECT_FALSE(reports::LoadVehicleHistory(*db_, plate).visits.empty()); },
                "history");
  const Statements due = ExpectIndexed(
      [&] { EXPECT_FALSE(reports::LoadServiceDue(*db_, "2012-06-15", "2012-07-14").rows.empty()); },
      "due");
  // Each vehicle's last visit comes from the summary's rows of the interval items, found by its
  // key, never from the lines of those items; its average distance from the span summary beside
  // it, found by the vehicle, never from its orders grouped.
  size_t bySummary = 0;
  for (const std::string& sql : due) {
    EXPECT_EQ(Lower(sql).find("wsdjxm"), std::string::npos) << sql;
    EXPECT_EQ(Lower(sql).find("group by"), std::string::npos) << sql;
    if (sql.find(db::kLastServiceTable) == std::string::npos) continue;
    ++bySummary;
    const std::string plan = Plan(db::Sql(sql));
    EXPECT_NE(plan.find("SEARCH ws_last_service USING INDEX"), std::string::npos) << plan;
    EXPECT_NE(plan.find("(item_id=?)"), std::string::npos) << plan;
    EXPECT_NE(plan.find("SEARCH ws_vehicle_span USING INTEGER PRIMARY KEY"), std::string::npos)
        << plan;
  }
  EXPECT_GE(bySummary, 1u);
  int64_t customer = 0;
  ExpectIndexed(
      [&] {
        const auto summary = reports::LoadAgeSummary(*db_, "2012-05-31");
        ASSERT_FALSE(summary.customers.empty());
        customer = summary.customers.back().customerId;
      },
      "aging");
  // Where most customers owe, the summary reads every card's name, but only from the index of
  // the names, in its order: no table read, no sort. The rest stays searched by key.
  Statements walked = Capture(
      [&] { EXPECT_FALSE(reports::LoadAgeSummary(*db_, "2012-05-31", 0).customers.empty()); });
  size_t cards = 0;
  std::erase_if(walked, [&](const std::string& sql) {
    if (Lower(sql).find("from pdmwldw where") == std::string::npos) return false;
    ++cards;
    const std::string plan = Plan(db::Sql(sql));
    EXPECT_NE(plan.find("USING COVERING INDEX ix_pdmwldw_name"), std::string::npos) << plan;
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << plan;
    return true;
  });
  EXPECT_EQ(cards, 2u);
  EXPECT_TRUE(Faults(walked).empty()) << Shown(Faults(walked));
  ExpectIndexed(
      [&] {
        EXPECT_FALSE(
            reports::LoadReceivablesByAge(*db_, "2012-05-31", customer, true).customers.empty());
      },
      "aged orders");
  Statements monthly = ExpectIndexed(
      [&] {
        EXPECT_EQ(reports::LoadIssuedAgainstBilled(*db_, "2012-05-16", "2012-06-15").error, "");
      },
      "issued");
  const Statements checklist = ExpectIndexed(
      [&] { EXPECT_EQ(reports::LoadPeriodChecklist(*db_, 201205, 0).error, ""); }, "checklist");
  // A month's orders come from the day index, not from a walk along every key of the shop.
  monthly.insert(monthly.end(), checklist.begin(), checklist.end());
  EXPECT_GE(ExpectPlansUse(monthly, db::kDayIndexTerm, "ix_wsdj_day"), 6u);
}

// The floor as the tablets and the desk read it, on the weeks of floor history the demo leaves:
// a technician's board, the shop's open lines, the desk's dispatch board, a line's page with
// its clock records and its order's examination, and a technician's clock on, pause and
// finish with the lookups each makes inside its transaction.
TEST_F(QueryPlanTest, TheFloorsBoardsAndClockStepsFindTheirRowsByIndex) {
  std::string error;
  // A paused line nobody is on the clock for, of a technician on no clock: the steps' subject.
  auto rs = db::Runner(*db_).Open(
      db::Sql("SELECT t.雇员ID, t.单据明细ID, t.单据ID FROM ws_job_tech t JOIN ws_job j ON "
              "j.单据明细ID = t.单据明细ID WHERE j.状态 = '暂停' AND NOT EXISTS (SELECT 1 FROM "
              "ws_clock r WHERE (r.雇员ID = t.雇员ID OR r.单据明细ID = t.单据明细ID) AND "
              "r.结束时间 = '') ORDER BY t.派工ID LIMIT 1"),
      &error);
  ASSERT_EQ(error, "");
  ASSERT_FALSE(rs->Eof()) << "the demo's floor has no paused line";
  workshop::Actor technician;
  technician.user = kUser;
  technician.employeeId = rs->Long("雇员ID");
  technician.clock = true;
  const int64_t line = rs->Long("单据明细ID");
  const int64_t order = rs->Long("单据ID");
  platform::RecordNavigator ids(*db_);
  const auto now = [] { return std::string("2012-06-15 15:00:00"); };
  workshop::Floor floor(*db_, ids, now);
  workshop::Examination examination(*db_, ids, now);
  const std::string since = "2012-05-16";  // the tablets' and the desk's 30 days
  const Statements boards = ExpectIndexed(
      [&] {
        EXPECT_FALSE(floor.JobsOf(technician.employeeId, since, &error).empty()) << error;
        EXPECT_FALSE(floor.OpenLines(since, 200, &error).empty()) << error;
        EXPECT_FALSE(floor.OpenLines(since, 500, &error, true).empty()) << error;
        EXPECT_TRUE(floor.Job(line, &error)) << error;
        floor.ClockRecords(line, &error);
        examination.Findings(order, &error);
        examination.Suggestions(order, &error);
        EXPECT_EQ(error, "");
      },
      "boards");
  EXPECT_GE(boards.size(), 10u);
  // Found by an index, yet along all of a technician's history when not by these: his lines at
  // work by their state, his running clock by the running clocks' own index.
  EXPECT_EQ(ExpectPlansUse(boards, "状态 IN ('在修', '暂停')", "ix_ws_job_state"), 1u);
  const Statements steps = ExpectIndexed(
      [&] {
        EXPECT_EQ(floor.ClockOn(technician, line), "");
        EXPECT_EQ(floor.Pause(technician, line, "等配件"), "");
        EXPECT_EQ(floor.ClockOn(technician, line), "");
        EXPECT_EQ(floor.Finish(technician, line), "");
      },
      "clock steps");
  EXPECT_GE(ExpectPlansUse(steps, "结束时间 = '' AND 雇员ID", "ix_ws_clock_running"), 2u);
}

}  // namespace
}  // namespace ws
