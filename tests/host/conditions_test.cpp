// Find and filter conditions as the host's dialogs hand them over: which column and operator
// texts may reach a statement, and what a typed value matches once it runs.
#include "host/conditions.h"

#include <gtest/gtest.h>

#include "db/runner.h"
#include "platform/sqlite_database.h"

namespace ws::host {
namespace {

TEST(ColumnOperatorTest, OnlyPlainNamesAndKnownOperatorsPass) {
  struct Case {
    std::string columnOp;
    std::string column;
    std::string op;
  };
  const Case cases[] = {{"工单号码 like", "工单号码", "like"},
                        {" WSDJ.工单号码 LIKE ", "WSDJ.工单号码", "like"}};
  for (const auto& c : cases) {
    auto split = SplitColumnOperator(c.columnOp);
    ASSERT_TRUE(split) << c.columnOp;
    EXPECT_EQ(split->column, c.column) << c.columnOp;
    EXPECT_EQ(split->op, c.op) << c.columnOp;
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
    db_ = platform::SqliteDatabase::Open(":memory:", &error);
    ASSERT_NE(db_, nullptr) << error;
    ASSERT_EQ(db_->ExecScript("CREATE TABLE wsdj (单据ID INTEGER, 工单号码 TEXT);"
                              "INSERT INTO wsdj VALUES (1, 'W_01'), (2, 'W%02'), (3, 'W\\03'),"
                              " (4, 'O''B04'), (5, 'WX05'), (6, 'w_06');"),
              "");
  }

  // The ids a condition selects, once as the text handed to the host and once bound.
  std::string Ids(const std::vector<Condition>& conditions, bool bound) {
    db::Sql sql("select group_concat(单据ID) from (select 单据ID from wsdj where ");
    if (bound) {
      for (size_t i = 0; i < conditions.size(); ++i) {
        if (i > 0) sql.Raw(" and ");
        AppendCondition(sql, conditions[i], "sqlite");
      }
    } else {
      sql.Raw(BuildConditionText(conditions, "sqlite"));
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
  struct Case {
    std::string typed;
    std::string ids;
  };
  const Case cases[] = {
      {"_", "1,6"},    // used to list every order
      {"%", "2"},      // used to list every order
      {"\\", "3"},     // the escape character itself
      {"'", "4"},      // a quote neither ends the literal nor fails the statement
      {"W_0", "1,6"},  // letter case is still ignored
      {"_0", "1,6"},  {"zz", ""},
  };
  for (const auto& c : cases) {
    std::vector<Condition> conditions{{c.typed, "工单号码 like"}};
    EXPECT_EQ(Ids(conditions, false), c.ids) << c.typed;
    EXPECT_EQ(Ids(conditions, true), c.ids) << c.typed;
  }
  // Other operators compare the typed text as a value.
  EXPECT_EQ(Ids({{"W%02", "工单号码="}}, true), "2");
  EXPECT_EQ(Ids({{"O'B04", "工单号码="}, {"4", "单据ID>="}}, false), "4");
}

}  // namespace
}  // namespace ws::host
