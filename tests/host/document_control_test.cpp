#include "host/document_control.h"

#include <gtest/gtest.h>

#include <tuple>

#include "db/runner.h"
#include "db/sql.h"
#include "forms/text.h"
#include "host/conditions.h"
#include "host/registry.h"
#include "platform/sqlite_database.h"
#include "support/test_host.h"

namespace ws::host {
namespace {

// A minimal document over the repair-order table: enough of a document to drive the shared
// skeleton through every path without the real repair order.
class TestDocument : public DocumentControl {
 public:
  TestDocument() : DocumentControl("TestDoc") {}
  int clears = 0;

 protected:
  void SetupForm() override {
    auto& number = form_.Add<forms::Field>("ywTxt", 2);
    number.SetCaption("工单号码");
    auto& user = form_.Add<forms::Field>("ywTxt", 12);
    user.SetAlwaysReadOnly(true);
    auto& grid = form_.Add<forms::Grid>("ywGridXM");
    grid.SetFormatString("行号|编码");
    form_.Add<forms::ComboBox>("cboKind");
    form_.Add<forms::CommandButton>("cmdImport");
  }
  std::string BaseSelect() const override { return " SELECT WSDJ.* FROM WSDJ"; }
  std::string ListWindow() override { return {}; }
  void ShowRecord(const db::Recordset& records, const std::string& position) override {
    MarkShown(records.Long("单据ID"));
    form_.Get<forms::Field>("ywTxt", 2).SetText(records.Text("工单号码"));
    SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
    SetCheckedStamp(records.Text("smark") != "01");
  }
  void ClearForm() override {
    ++clears;
    ForgetShown();
    form_.Get<forms::Field>("ywTxt", 2).SetText("");
    SetRecordLabel("记录：0/0");
    SetCheckedStamp(false);
  }
};

class DocumentControlTest : public test::HostTest {
 protected:
  void SetUp() override { doc_.Events().AttachSink(&host_.Sink()); }

  void AddOrder(int64_t id, const std::string& number, const std::string& smark = "01",
                int64_t prog = 200001) {
    db::Sql sql("insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期) values (");
    sql.Key(id).Raw(",").Key(prog).Raw(",").Text(smark).Raw(",").Text(number);
    host_.Exec(sql.Raw(",'2012-06-01')"));
  }
  forms::Field& Number() { return doc_.Form().Get<forms::Field>("ywTxt", 2); }

  TestDocument doc_;
};

TEST_F(DocumentControlTest, FilterFindAndFindNext) {
  for (auto [id, number] :
       {std::pair{5, "AW05"}, {10, "W010"}, {20, "A020"}, {30, "W030"}, {40, "W040"}})
    AddOrder(id, number);
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  auto& filterLabel = doc_.Form().Get<forms::Label>(DocumentControl::kFilterLabel);

  EXPECT_FALSE(doc_.Filter(std::vector<Condition>{{"W", "工单号码 like"}, {" ", "进厂日期>="}}));
  EXPECT_TRUE(filterLabel.Visible());
  EXPECT_EQ(doc_.GetID(), 40) << "a filter reloads on the last record";

  // A number typed from its start finds the numbers that start so (AW05 only holds it).
  doc_.Find(std::vector<Condition>{{"W0", "工单号码 like"}});
  EXPECT_EQ(doc_.GetID(), 10);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 30);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 40);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 40) << "a silent search past the last match leaves the form";

  // No number starts so: the text is looked for anywhere, and find next goes on that way.
  doc_.Find(std::vector<Condition>{{"0", "工单号码 like"}});
  EXPECT_EQ(doc_.GetID(), 5);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 10);

  doc_.Find(std::vector<Condition>{{"nothing", "工单号码 like"}});
  EXPECT_EQ(doc_.GetID(), 0) << "an unsuccessful find clears the form";

  doc_.Filter(std::vector<Condition>{});
  EXPECT_FALSE(filterLabel.Visible());
  EXPECT_EQ(doc_.GetID(), 40);
}

TEST_F(DocumentControlTest, SetStatusCancelAndFailures) {
  AddOrder(10, "W010");
  AddOrder(20, "W020", "02");
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  doc_.RecordTop();
  ASSERT_EQ(doc_.GetID(), 10);

  ASSERT_TRUE(doc_.FileEdit());
  EXPECT_TRUE(doc_.Editing());
  Number().SetText("typed");
  ASSERT_TRUE(doc_.FileCancel());
  EXPECT_FALSE(doc_.Editing());
  EXPECT_EQ(Number().Text(), "W010") << "cancel reloads the last loaded document";

  doc_.Form().Get<forms::Label>(DocumentControl::kCheckedStamp).SetVisible(true);
  ASSERT_TRUE(doc_.DoSetStatus("change", false));
  EXPECT_EQ(doc_.GetID(), 10) << "change reloads only the shown document";
  EXPECT_FALSE(doc_.CheckStatus("")) << "the reload of W010 shows it unchecked";
  ASSERT_TRUE(doc_.DoSetStatus("审核", true));
  EXPECT_EQ(doc_.GetID(), 20);
  EXPECT_TRUE(doc_.CheckStatus(""));

  // A broken list query: the navigator's failure text is reported and the form stays.
  host_.Exec("drop table WSDJ");
  host_.Sink().Clear();
  EXPECT_TRUE(doc_.RecordNext());
  EXPECT_EQ(doc_.GetID(), 20);
  ASSERT_EQ(host_.Sink().ErrMessages().size(), 1u);
  EXPECT_NE(forms::FoldCase(host_.Sink().ErrMessages()[0]).find("wsdj"), std::string::npos);
}

// Find and filter conditions as the host's dialogs hand them over: which column and operator
// texts may reach a statement, and what a typed value matches once it runs.
TEST(ColumnOperatorTest, OnlyPlainNamesAndKnownOperatorsPass) {
  for (const auto& [columnOp, split] : {std::pair{"工单号码 like", "工单号码|like"},
                                        {" WSDJ.工单号码 LIKE ", "WSDJ.工单号码|like"}}) {
    auto parts = SplitColumnOperator(columnOp);
    ASSERT_TRUE(parts) << columnOp;
    EXPECT_EQ(parts->column + "|" + parts->op, split);
  }
  // No blank ending the name, no column, a condition of its own in the column text, odd
  // names and unknown operators are refused.
  for (const char* refused : {"名称like", "like", "=", "a=1 or b=", "a) or (1=1 like",
                              "a; drop table t; --=", "'a'=", "a.=", "1a=", "a between", "a =>"}) {
    EXPECT_FALSE(SplitColumnOperator(refused)) << refused;
  }
  // A refused condition finds nothing instead of being dropped (which would widen the search).
  EXPECT_EQ(BuildConditionText({{"x", "a=1 or b="}, {"y", "c="}}, "sqlite"), " 1=0 and c='y'");
}

class ConditionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto opened = platform::SqliteDatabase::Open(":memory:");
    ASSERT_TRUE(opened) << opened.Error();
    db_ = std::move(opened).Take();
    ASSERT_EQ(db_->ExecScript("CREATE TABLE wsdj (单据ID INTEGER, 工单号码 TEXT);"
                              "INSERT INTO wsdj VALUES (1, 'W_01'), (2, 'W%02'), (3, 'W\\03'),"
                              " (4, 'O''B04'), (5, 'WX05'), (6, 'w_06');"),
              "");
  }

  // The ids a condition selects, once as the text handed to the host and once bound.
  std::string Ids(const std::vector<Condition>& conditions, bool bound,
                  LikeMatch match = LikeMatch::Anywhere) {
    db::Sql sql("select group_concat(单据ID) from (select 单据ID from wsdj where ");
    if (bound) {
      for (size_t i = 0; i < conditions.size(); ++i) {
        if (i > 0) sql.Raw(" and ");
        AppendCondition(sql, conditions[i], "sqlite", match);
      }
    } else {
      sql.Raw(BuildConditionText(conditions, "sqlite", match));
    }
    sql.Raw(" order by 单据ID)");
    std::string error;
    std::string ids = db::Runner(*db_).ScalarText(sql, &error);
    EXPECT_EQ(error, "") << sql.Literal();
    return ids;
  }

  std::unique_ptr<platform::SqliteDatabase> db_;
};

TEST_F(ConditionRunTest, TypedPatternCharactersAndQuotesMatchThemselves) {
  // A typed text and the ids it finds.
  const std::pair<std::string, std::string> cases[] = {
      {"_", "1,6"},    // used to list every order
      {"%", "2"},      // used to list every order
      {"\\", "3"},     // the escape character itself
      {"'", "4"},      // a quote neither ends the literal nor fails the statement
      {"W_0", "1,6"},  // letter case is still ignored
      {"_0", "1,6"},  {"zz", ""},
  };
  for (const auto& [typed, ids] : cases) {
    const std::vector<Condition> conditions{{typed, "工单号码 like"}};
    EXPECT_EQ(Ids(conditions, false), ids) << typed;
    EXPECT_EQ(Ids(conditions, true), ids) << typed;
  }
  // From the start, and the whole value.
  const std::tuple<std::string, LikeMatch, std::string> matched[] = {
      {"W", LikeMatch::Start, "1,2,3,5,6"}, {"_0", LikeMatch::Start, ""},
      {"w%", LikeMatch::Start, "2"},        {"WX", LikeMatch::Exact, ""},
      {"wx05", LikeMatch::Exact, "5"},
  };
  for (const auto& [typed, match, ids] : matched) {
    const std::vector<Condition> conditions{{typed, "工单号码 like"}};
    EXPECT_EQ(Ids(conditions, false, match), ids) << typed;
    EXPECT_EQ(Ids(conditions, true, match), ids) << typed;
  }
  // Other operators compare the typed text as a value.
  EXPECT_EQ(Ids({{"W%02", "工单号码="}}, true), "2");
  EXPECT_EQ(Ids({{"O'B04", "工单号码="}, {"4", "单据ID>="}}, false), "4");
}

}  // namespace
}  // namespace ws::host
