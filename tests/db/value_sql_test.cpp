#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "db/amount.h"
#include "db/date.h"
#include "db/recordset.h"
#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "support/comma_locale.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

// Numbers as the module reads and writes them. Run once in the C locale and once under a comma
// locale (a desktop started by a German user): neither may write "1,5" nor read "1.5" as 1.
void ExpectNumberTexts() {
  const std::pair<std::string, std::string> texts[] = {
      {Value().ToText(), ""},          {Value(int64_t{42}).ToText(), "42"},
      {Value(37.5).ToText(), "37.5"},  {Value(3.0).ToText(), "3"},
      {DecimalText(0), "0"},           {DecimalText(-0.0), "0"},
      {DecimalText(-0.5), "-0.5"},     {DecimalText(1234567890.5), "1234567890.5"},
      {DecimalText(0.1 + 0.2), "0.3"}, {DecimalText(40.0 / 3.0), "13.3333333333"},
      {DecimalText(1e-12), "0"},       {DecimalText(HUGE_VAL), "0"}};
  for (const auto& [got, expected] : texts) EXPECT_EQ(got, expected);
  const std::pair<std::string, double> read[] = {
      {"", 0},       {"abc", 0}, {"  12.5", 12.5}, {"12.5kg", 12.5}, {"-3", -3}, {".", 0},
      {"1e3", 1000}, {"1e", 1},  {"-1.5e2", -150}, {"1e999", 0}};  // overflow is no number
  for (const auto& [text, number] : read) EXPECT_DOUBLE_EQ(NumericValue(text), number) << text;
  // A value no long can hold converts to 0, like Null, not to whatever the processor makes of it.
  const std::pair<Value, int64_t> longs[] = {
      {Value(), 0},       {Value(2.5), 3},
      {Value("2.5"), 3},  {Value("17"), 17},
      {Value(1e300), 0},  {Value(-HUGE_VAL), 0},
      {Value("1e30"), 0}, {Value(-9.0e18), -9000000000000000000}};
  for (const auto& [value, number] : longs) EXPECT_EQ(value.ToLong(), number) << value.ToText();
  // Every digit of a large value is written: a cut-off text would be a different number.
  for (double big : {1e70, -1e70, 1e300, 123456789012345678901234567890.0}) {
    std::string text = DecimalText(big);
    EXPECT_EQ(text.find_first_not_of("-0123456789"), std::string::npos) << text;
    EXPECT_DOUBLE_EQ(NumericValue(text), big);
  }
}

TEST(ValueTest, NumbersReadAndWrittenInEveryLocale) {
  ExpectNumberTexts();
  test::CommaLocale locale;
  WS_REQUIRE_COMMA_LOCALE(locale);
  ExpectNumberTexts();
}

// A record set filled as an engine reads its cursor keeps each text once, however many rows
// repeat it, and reads back every cell as it came, through a refill and after filling ends.
TEST(RecordsetTest, RepeatedTextsAreStoredOnceAndReadBackAsTheyCame) {
  Recordset records({"车牌号", "金额", "备注"});
  const char* plates[] = {"京A12345", "京B7", "北京嘉禾快递服务有限公司的车"};
  for (int round = 0; round < 2; ++round) {
    records.ClearRows();
    for (int64_t r = 0; r < 3000; ++r) {
      records.AppendText(plates[r % 3]);
      records.Append(Value(static_cast<double>(r) / 4));
      r % 2 ? records.AppendNull() : records.Append(Value("同"));
    }
    EXPECT_EQ(records.RecordCount(), 3000);
    // 3 plates, "同", Null and 3000 amounts.
    EXPECT_EQ(records.StoredValues(), 3005u);
  }
  records.EndFilling();
  for (size_t r : {size_t{0}, size_t{1}, size_t{2}, size_t{2999}}) {
    EXPECT_EQ(records.At(r, 0), Value(plates[r % 3])) << r;
    EXPECT_DOUBLE_EQ(records.At(r, 1).ToDouble(), static_cast<double>(r) / 4);
    EXPECT_EQ(records.At(r, 2), r % 2 ? Value() : Value("同"));
  }
  records.Move(2);
  EXPECT_EQ(records.Text("车牌号"), plates[2]);
  EXPECT_EQ(records.Row(1), (std::vector<Value>{Value("京B7"), Value(0.25), Value()}));
  EXPECT_TRUE(records.At(3000, 0).IsNull());
  EXPECT_TRUE(records.At(0, 3).IsNull());
  EXPECT_TRUE(records.Row(3000).empty());

  Recordset chunk({"a"}, false);
  for (int i = 0; i < 3; ++i) chunk.AppendText("x");
  EXPECT_EQ(chunk.StoredValues(), 4u) << "a chunk keeps a text per cell";
  EXPECT_EQ(chunk.At(2, 0), Value("x"));

  const Recordset copied({"a", "b"}, {{Value(1), Value("x")}, {Value("x")}});
  EXPECT_EQ(copied.RecordCount(), 2);
  EXPECT_EQ(copied.Row(1), (std::vector<Value>{Value("x"), Value()})) << "a short row ends in Null";
  EXPECT_EQ(copied.StoredValues(), 3u);
}

// Fields are found by name without regard to ASCII case, the first of equal names winning, in
// a record set and in its copies alike.
TEST(RecordsetTest, FieldsAreFoundByNameAsTheFirstOfEqualNames) {
  auto original = std::make_unique<Recordset>(
      std::vector<std::string>{"WSDJ.单据ID", "单据ID", "progID", "单据id"},
      std::vector<std::vector<Value>>{{Value(int64_t{1}), Value(int64_t{2}), Value(int64_t{3})}});
  const std::pair<const char*, int> cases[] = {
      {"单据ID", 1}, {"单据Id", 1}, {"PROGID", 2}, {"wsdj.单据id", 0}, {"单据", -1}};
  for (const auto& [name, index] : cases) EXPECT_EQ(original->FieldIndex(name), index) << name;
  const Recordset copy = *original;
  original.reset();
  for (const auto& [name, index] : cases) EXPECT_EQ(copy.FieldIndex(name), index) << name;
  EXPECT_EQ(copy.Long("progid"), 3);
}

// Amounts are read digit by digit, written as plain decimals and refused, never wrapped, beyond
// ±99,999,999,999.9999; products and quotients round half away from zero at the 4th decimal.
TEST(AmountTest, ReadWrittenRoundedAndBounded) {
  const Amount big = Amount::Of("99999999999.9999");
  const auto of = [](const char* text) { return Amount::Of(text); };
  // An amount and its text; "!" + its approximate text when it is out of range.
  // clang-format off
  const std::pair<Amount, std::string> cases[] = {
      {of(""), "0"}, {of("  12.345kg"), "12.345"}, {of("-0.00"), "0"}, {of("+.5"), "0.5"},
      {of("1.5e2"), "150"}, {of("12345e-7"), "0.0012"}, {of("0.00005"), "0.0001"},
      {of("-0.00005"), "-0.0001"}, {of("0.000049999"), "0"},
      {of("00099999999999.99995"), "!99999999999.99995"},
      {of("-99999999999.99994"), "-99999999999.9999"}, {of("100000000000"), "!100000000000"},
      {of("1e20"), "!100000000000000000000"}, {Amount::OfDouble(0.1 + 0.2), "0.3"},
      {Amount::OfDouble(1e10 + 0.01), "10000000000.01"},
      {Amount::OfValue(Value(int64_t{-7})), "-7"},
      {Amount::OfValue(Value(DecimalNumber{"99999999999.9999"})), "99999999999.9999"},
      {of("0.1") + of("0.2"), "0.3"}, {of("10000000000") + of("0.01"), "10000000000.01"},
      {big + of("0.0001"), "!100000000000"}, {big + of("0.0001") - of("1"), "!99999999999"},
      {-big - big, "!-199999999999.9998"}, {of("3") * of("1.2345"), "3.7035"},
      {of("1.5") * of("1.2345"), "1.8518"}, {of("-1.5") * of("1.2345"), "-1.8518"},
      {of("2.5") * of("0.0001"), "0.0003"}, {of("0.1") * of("123.45"), "12.345"},
      {big * of("2"), "!199999999999.9998"}, {of("10").DividedBy(of("3")), "3.3333"},
      {of("-20").DividedBy(of("3")), "-6.6667"}, {of("1").DividedBy(of("0")), "!0"}};
  // clang-format on
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [got, text] = cases[i];
    const bool beyond = text.front() == '!';
    EXPECT_EQ(got.InRange(), !beyond) << i;
    EXPECT_EQ(got.Text(), beyond ? text.substr(1) : text) << i;
    if (beyond) continue;
    EXPECT_EQ(Amount::Of(got.Text()), got) << i;
    EXPECT_EQ(Amount::FromUnits(got.Units()), got) << i;
  }
  // Bound exactly: whole amounts as integers, the rest as their digits; compared exactly.
  EXPECT_EQ(Sql().Money(Amount::Of("12.50")).Values().front(), Value(DecimalNumber{"12.5"}));
  EXPECT_EQ(Sql().Money(Amount::Of("3.0")).Literal(), "3");
  EXPECT_LT(Amount::Of("0.3"), Amount::Of("0.1") + Amount::Of("0.2") + Amount::Of("0.0001"));
  EXPECT_GT(big + big, big);
}

// What the till collects is rounded once, half away from zero, to the shop's decimals; a
// quantity is taken as typed. Each result is worked out by hand from the exact product.
TEST(AmountTest, TillAmountsRoundOnceAndQuantitiesStayAsTyped) {
  const auto of = [](const char* text) { return Amount::Of(text); };
  const auto qty = [](const char* text) { return Quantity::Of(text); };
  // clang-format off
  const std::pair<Amount, std::string> cases[] = {
      {of("14.875").RoundedTo(2), "14.88"},              // half a fen goes up
      {of("-14.875").RoundedTo(2), "-14.88"},            // and away from zero below it
      {of("14.8749").RoundedTo(2), "14.87"},
      {of("2.5").RoundedTo(0), "3"}, {of("2.1235").RoundedTo(7), "2.1235"},
      {of("148.75").Times(of("0.1"), 2), "14.88"},       // 14.875
      {of("123.4495").Times(of("0.1"), 2), "12.34"},     // 12.34495; via 12.3450 it was 12.35
      {of("3").Times(of("0.335"), 2), "1.01"},           // 1.005
      {qty("1.00005").Times(of("10000"), 2), "10000.5"}, // not 1.0001 × 10000 = 10001
      {qty("0.33333").Times(of("300"), 4), "99.999"},    // not 0.3333 × 300 = 99.99
      {qty("0.33333").Times(of("300"), 2), "100"},       // 99.999 to the fen
      {qty("0.00004").Times(of("7"), 4), "0.0003"},      // 0.00028
      {of("3").DividedBy(qty("0.00004")), "75000"},      // no quantity of 0
      {of("10").DividedBy(qty("3")), "3.3333"},
      {Quantity::OfDouble(0.1 + 0.2).Times(of("1"), 4), "0.3"},
      {Quantity::OfValue(Value(int64_t{-2})).Times(of("1.25"), 2), "-2.5"},
      {qty("1e20").Times(of("1"), 2), "!100000000000000000000"},
      {of("1").DividedBy(qty("0")), "!0"}};
  // clang-format on
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [got, text] = cases[i];
    const bool beyond = text.front() == '!';
    EXPECT_EQ(got.InRange(), !beyond) << i;
    if (!beyond) {
      EXPECT_EQ(got.Text(), text) << i;
    }
  }
  EXPECT_FALSE(qty("0.00004").IsZero());
  EXPECT_TRUE(qty("0.000000004").IsZero()) << "beyond eight decimals";
}

TEST(SqlTest, ValuesAreBoundAndTheLiteralRenderingKeepsThemInside) {
  Sql sql("insert into clzl (车牌号,公里数,车辆ID,进厂日期) values (");
  sql.Text("O'Brien'); drop table clzl; --").Raw(",").NumOf("12abc").Raw(",").Key(7).Raw(",");
  sql.Date("2012/6/1 10:30", "jet").Raw(")");
  EXPECT_EQ(sql.Statement(), "insert into clzl (车牌号,公里数,车辆ID,进厂日期) values (?,?,?,?)");
  // A whole number is bound as an integer, a date as it is stored.
  EXPECT_EQ(sql.Values(),
            (std::vector<Value>{Value("O'Brien'); drop table clzl; --"), Value(int64_t{12}),
                                Value(int64_t{7}), Value("2012-06-01 10:30")}));
  EXPECT_EQ(EscapeLike("50%_a\\b"), "50\\%\\_a\\\\b");
  EXPECT_EQ(Sql("名称").Like("%", "it's_", "%").Literal(), "名称 like '%it''s\\_%' escape '\\'");
  // The date dialect follows the driver's name exactly; a stray "#" or quote stays out.
  EXPECT_EQ(DateLiteral("2012-06-01", "jet"), "#2012-06-01#");
  EXPECT_EQ(DateLiteral("2012-06-01", "Jet"), "'2012-06-01'");
}

// Numbers run on the engine as written, under a comma locale too: a negative value after a
// fixed "-" must not turn the rest of the statement into a comment, a large value arrives
// whole, a fraction is no second column value.
using SqlRunTest = test::HostTest;

TEST_F(SqlRunTest, NumbersKeepTheirStatementWhole) {
  test::CommaLocale locale;
  host_.Exec("INSERT INTO WSDJ (单据ID, progid, 余额) VALUES (1, 200001, 10), (2, 200001, 10)");
  Sql big("UPDATE WSDJ SET 公里数=");
  big.Num(1e70)
      .Raw(", 诊断费=")
      .Num(1.5)
      .Raw(", 检测费=")
      .NumOf("0.25")
      .Raw(" WHERE 单据ID=")
      .Key(1);
  for (const Sql& sql :
       {Sql("UPDATE WSDJ SET 余额=余额-").NumOf("-3").Raw(" WHERE 单据ID=").Key(1),
        Sql("UPDATE WSDJ SET 余额=余额-").Key(-5).Raw(" WHERE 单据ID=").Key(2), big})
    ASSERT_EQ(Runner(host_.Db()).Execute(sql), "") << sql.Literal();
  EXPECT_EQ(host_.Joined("SELECT 余额 FROM WSDJ ORDER BY 单据ID"), "13,15");
  EXPECT_EQ(host_.RowText("SELECT 诊断费, 检测费 FROM WSDJ WHERE 单据ID=1"), "1.5/0.25");
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT 公里数 FROM WSDJ WHERE 单据ID=1").ToDouble(), 1e70);
}

TEST(DateTest, ParseAndPeriods) {
  EXPECT_EQ(Date::Parse("2012/6/5")->Text(), "2012-06-05");
  EXPECT_TRUE(Date::Parse("2012-02-29"));
  for (const char* wrong : {"2011-02-29", "2012-13-01", "2012-06", "2012-06-15x", ""}) {
    EXPECT_FALSE(Date::Parse(wrong)) << wrong;
  }

  // Stepping back across year ends (the period of a date is the period gate's test).
  const std::pair<int, int> back[] = {
      {2, 201201}, {14, 201101}, {25, 201002}, {0, 201203}, {-3, 201203}};
  for (const auto& [months, period] : back) EXPECT_EQ(StepPeriodBack(201203, months), period);
}

}  // namespace
}  // namespace ws::db
