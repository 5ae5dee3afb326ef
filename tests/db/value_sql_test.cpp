#include <gtest/gtest.h>

#include <cmath>

#include "db/date.h"
#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "support/comma_locale.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

TEST(ValueTest, TextAndNumbersAsTheModuleReadsThem) {
  EXPECT_EQ(Value().ToText(), "");
  EXPECT_EQ(Value().ToLong(), 0);
  EXPECT_EQ(Value(int64_t{42}).ToText(), "42");
  EXPECT_EQ(Value(37.5).ToText(), "37.5");
  EXPECT_EQ(Value(3.0).ToText(), "3");
  EXPECT_EQ(Value(2.5).ToLong(), 3);
  EXPECT_EQ(Value("17").ToLong(), 17);

  EXPECT_DOUBLE_EQ(NumericValue(""), 0);
  EXPECT_DOUBLE_EQ(NumericValue("abc"), 0);
  EXPECT_DOUBLE_EQ(NumericValue("  12.5"), 12.5);
  EXPECT_DOUBLE_EQ(NumericValue("12.5kg"), 12.5);
  EXPECT_DOUBLE_EQ(NumericValue("-3"), -3);
  EXPECT_DOUBLE_EQ(NumericValue("."), 0);
  EXPECT_DOUBLE_EQ(NumericValue("1e3"), 1000);
  EXPECT_DOUBLE_EQ(NumericValue("1e"), 1);
  EXPECT_DOUBLE_EQ(NumericValue("1e999"), 0) << "overflow is not a number";

  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-0.0), "0");
  EXPECT_EQ(DecimalText(1234567890.5), "1234567890.5");
  EXPECT_EQ(DecimalText(0.1 + 0.2), "0.3");
  EXPECT_EQ(DecimalText(40.0 / 3.0), "13.3333333333");
  EXPECT_EQ(DecimalText(1e-12), "0");

  // Every digit of a large value is written: a cut-off text would be a different number.
  for (double big : {1e70, -1e70, 1e300, 123456789012345678901234567890.0}) {
    std::string text = DecimalText(big);
    EXPECT_EQ(text.find_first_not_of("-0123456789"), std::string::npos) << text;
    EXPECT_DOUBLE_EQ(NumericValue(text), big);
  }
  EXPECT_EQ(DecimalText(HUGE_VAL), "0");
  // A value no long can hold converts to 0, like Null, not to whatever the processor makes of it.
  EXPECT_EQ(Value(1e300).ToLong(), 0);
  EXPECT_EQ(Value(-HUGE_VAL).ToLong(), 0);
  EXPECT_EQ(Value("1e30").ToLong(), 0);
  EXPECT_EQ(Value(-9.0e18).ToLong(), -9000000000000000000);
}

TEST(SqlTest, ValuesAreBoundAndTheLiteralRenderingKeepsThemInside) {
  Sql sql;
  sql.Raw("insert into clzl (车牌号,公里数,车辆ID,进厂日期) values (")
      .Text("O'Brien'); drop table clzl; --")
      .Raw(",")
      .NumOf("12abc")
      .Raw(",")
      .Key(7)
      .Raw(",")
      .Date("2012/6/1 10:30", "jet")
      .Raw(")");
  EXPECT_EQ(sql.Statement(), "insert into clzl (车牌号,公里数,车辆ID,进厂日期) values (?,?,?,?)");
  ASSERT_EQ(sql.Values().size(), 4u);
  EXPECT_EQ(sql.Values()[0], Value("O'Brien'); drop table clzl; --"));
  EXPECT_EQ(sql.Values()[1], Value(int64_t{12})) << "a whole number is bound as an integer";
  EXPECT_EQ(sql.Values()[2], Value(int64_t{7}));
  EXPECT_EQ(sql.Values()[3], Value("2012-06-01 10:30")) << "dates are bound as stored";
  EXPECT_EQ(sql.Literal(),
            "insert into clzl (车牌号,公里数,车辆ID,进厂日期) values ('O''Brien''); drop table "
            "clzl; --',12,7,#2012/6/1 10:30#)");
  EXPECT_EQ(Sql().Num(2.5).Values()[0], Value(2.5));
  EXPECT_EQ(Sql().Text(std::string("a\0b", 3)).Values()[0], Value("ab"));
  EXPECT_EQ(QuoteText(std::string("a\0b", 3)), "'ab'");

  // Appending a piece carries its values along, in statement order.
  Sql where(" where a=");
  where.Key(1);
  Sql whole("select * from t");
  whole.Append(where).Raw(" and b=").Text("x");
  EXPECT_EQ(whole.Statement(), "select * from t where a=? and b=?");
  EXPECT_EQ(whole.Values(), (std::vector<Value>{Value(int64_t{1}), Value("x")}));
  EXPECT_EQ(whole.Literal(), "select * from t where a=1 and b='x'");

  EXPECT_EQ(EscapeLike("50%_a\\b"), "50\\%\\_a\\\\b");
  EXPECT_EQ(Sql("名称").Like("%", "it's_", "%").Literal(), "名称 like '%it''s\\_%' escape '\\'");
}

// Numbers run on the engine as written: a negative value after a fixed "-" must not turn the
// rest of the statement into a comment, and a large value must arrive whole.
using SqlRunTest = test::HostTest;

TEST_F(SqlRunTest, NumbersKeepTheirStatementWhole) {
  host_.Exec("INSERT INTO WSDJ (单据ID, progid, 余额) VALUES (1, 200001, 10)");
  host_.Exec("INSERT INTO WSDJ (单据ID, progid, 余额) VALUES (2, 200001, 10)");
  Runner runner(host_.Db());
  ASSERT_EQ(
      runner.Execute(Sql("UPDATE WSDJ SET 余额=余额-").NumOf("-3").Raw(" WHERE 单据ID=").Key(1)),
      "");
  ASSERT_EQ(runner.Execute(Sql("UPDATE WSDJ SET 余额=余额-").Key(-5).Raw(" WHERE 单据ID=").Key(2)),
            "");
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT 余额 FROM WSDJ WHERE 单据ID=1").ToDouble(), 13);
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT 余额 FROM WSDJ WHERE 单据ID=2").ToDouble(), 15);

  ASSERT_EQ(runner.Execute(Sql("UPDATE WSDJ SET 总金额=").Num(1e70).Raw(" WHERE 单据ID=").Key(1)),
            "");
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT 总金额 FROM WSDJ WHERE 单据ID=1").ToDouble(), 1e70);
}

// A desktop started under a comma locale must neither write "1,5" into a statement (a second
// column value, or a syntax error) nor read a stored "1.5" as 1.
TEST_F(SqlRunTest, NumbersKeepTheirPointUnderACommaLocale) {
  test::CommaLocale locale;
  WS_REQUIRE_COMMA_LOCALE(locale);
  EXPECT_EQ(DecimalText(1234.25), "1234.25");
  EXPECT_EQ(DecimalText(-0.5), "-0.5");
  EXPECT_EQ(Value(37.5).ToText(), "37.5");
  EXPECT_DOUBLE_EQ(NumericValue("12.5kg"), 12.5);
  EXPECT_DOUBLE_EQ(NumericValue("-1.5e2"), -150);
  EXPECT_DOUBLE_EQ(Value("2.75").ToDouble(), 2.75);
  EXPECT_EQ(Value("2.5").ToLong(), 3);

  Runner runner(host_.Db());
  ASSERT_EQ(
      runner.Execute(Sql("INSERT INTO WSDJ (单据ID, progid, 诊断费, 检测费) VALUES (1, 200001, ")
                         .Num(1.5)
                         .Raw(", ")
                         .NumOf("0.25")
                         .Raw(")")),
      "");
  EXPECT_DOUBLE_EQ(runner.ScalarNumber("SELECT 诊断费 FROM WSDJ WHERE 单据ID=1"), 1.5);
  EXPECT_DOUBLE_EQ(runner.ScalarNumber("SELECT 检测费 FROM WSDJ WHERE 单据ID=1"), 0.25);
}

TEST(SqlTest, DateLiteralsFollowTheDriverExactly) {
  EXPECT_EQ(DateLiteral("2012-06-01", "jet"), "#2012-06-01#");
  EXPECT_EQ(DateLiteral("2012-06-01", "Jet"), "'2012-06-01'");
  EXPECT_EQ(DateLiteral("2012-06-01", "sqlite"), "'2012-06-01'");
  EXPECT_EQ(DateLiteral("2012-06-01'#", "jet"), "#2012-06-01#");
  EXPECT_FALSE(IsJetDriver("JET"));
}

TEST(DateTest, ParseAndFormat) {
  EXPECT_EQ(Date::Parse("2012-06-15")->Text(), "2012-06-15");
  EXPECT_EQ(Date::Parse("2012/6/5")->Text(), "2012-06-05");
  EXPECT_EQ(Date::Parse("2012-06-15 10:30:00")->Text(), "2012-06-15");
  EXPECT_TRUE(Date::Parse("2012-02-29"));
  EXPECT_FALSE(Date::Parse("2011-02-29"));
  EXPECT_FALSE(Date::Parse("2012-13-01"));
  EXPECT_FALSE(Date::Parse("2012-06"));
  EXPECT_FALSE(Date::Parse("2012-06-15x"));
  EXPECT_FALSE(Date::Parse(""));
  EXPECT_EQ(FormatDateText("2012-6-5"), "2012-06-05");
  EXPECT_EQ(FormatDateText("2012-6/5"), "2012-6/5") << "mixed separators are not a date";
  EXPECT_EQ(FormatDateText("2012-06-05 00:00:00"), "2012-06-05");
  EXPECT_EQ(FormatDateText(""), "");
}

TEST(DateTest, PeriodsHonourTheClosingDayAndYearEnds) {
  EXPECT_EQ(PeriodOfDate({2012, 6, 25}, 25), 201206);
  EXPECT_EQ(PeriodOfDate({2012, 6, 26}, 25), 201207);
  EXPECT_EQ(PeriodOfDate({2012, 12, 26}, 25), 201301);
  EXPECT_EQ(PeriodOfDate({2012, 12, 31}, 31), 201212);
  EXPECT_EQ(PeriodOfDate({2012, 12, 31}, 0), 201212) << "no closing day: calendar months";

  EXPECT_EQ(StepPeriodBack(201203, 2), 201201);
  EXPECT_EQ(StepPeriodBack(201201, 1), 201112);
  EXPECT_EQ(StepPeriodBack(201206, 12), 201106);
  EXPECT_EQ(StepPeriodBack(201206, 25), 201005);
  EXPECT_EQ(StepPeriodBack(201206, 0), 201206);
  EXPECT_EQ(StepPeriodBack(201206, -3), 201206);
}

}  // namespace
}  // namespace ws::db
