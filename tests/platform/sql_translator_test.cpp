#include "platform/sql_translator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ws::platform {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

void ExpectTranslations(const std::vector<Case>& cases, SqlTarget target = SqlTarget::Sqlite) {
  for (const Case& c : cases) {
    EXPECT_EQ(TranslateSql(c.input, target), c.expected) << "input: " << c.input;
  }
}

TEST(SqlTranslatorTest, TopBecomesLimitAtTheEndOfItsSelect) {
  ExpectTranslations({
      // Last-visit defaults: ORDER BY stays before the LIMIT, trailing blanks stay last.
      {" SELECT top 1 车厂,送修人,司机电话,公里数 FROM wsdj where 车辆ID=5 order by 单据ID desc ",
       " SELECT 车厂,送修人,司机电话,公里数 FROM wsdj where 车辆ID=5 order by 单据ID desc LIMIT "
       "1 "},
      // A parenthesised column right after the count.
      {" SELECT TOP 1 (含税单价) FROM JXCDJ INNER JOIN JXCDJMX ON JXCDJ.单据ID=JXCDJMX.单据ID "
       "WHERE 产品ID=3 ORDER BY 单据明细ID DESC ",
       " SELECT (含税单价) FROM JXCDJ INNER JOIN JXCDJMX ON JXCDJ.单据ID=JXCDJMX.单据ID "
       "WHERE 产品ID=3 ORDER BY 单据明细ID DESC LIMIT 1 "},
      // The chooser's row count, with the blanks the module writes around it.
      {"select top 50  null As 选择, WSDJ.工单号码 FROM WSDJ order by WSDJ.进厂日期",
       "select null As 选择, WSDJ.工单号码 FROM WSDJ order by WSDJ.进厂日期 LIMIT 50"},
      {"SELECT DISTINCT TOP 3 a FROM t", "SELECT DISTINCT a FROM t LIMIT 3"},
      {"SELECT TOP 2 * FROM t;", "SELECT * FROM t LIMIT 2;"},
      // The outer SELECT has a subquery without TOP: its LIMIT goes after the ")".
      {"select top 1 工单号码 from wsdj where smark='02' and 单据ID in ( select 单据ID from "
       "wsdjpj where 单据明细ID=9)",
       "select 工单号码 from wsdj where smark='02' and 单据ID in ( select 单据ID from wsdjpj "
       "where 单据明细ID=9) LIMIT 1"},
      // Both levels at once.
      {"SELECT TOP 5 x FROM (SELECT TOP 10 x FROM t ORDER BY x) ORDER BY x DESC",
       "SELECT x FROM (SELECT x FROM t ORDER BY x LIMIT 10) ORDER BY x DESC LIMIT 5"},
      // The first member of a compound SELECT is wrapped; LIMIT may only end the compound.
      {"SELECT TOP 1 a FROM t UNION SELECT b FROM u",
       "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION SELECT b FROM u"},
  });
}

TEST(SqlTranslatorTest, DateLiteralsBecomeIsoTextLiterals) {
  ExpectTranslations({
      {" and 进厂日期>=#2012-06-01# and 进厂日期<#2012-07-01#",
       " and 进厂日期>='2012-06-01' and 进厂日期<'2012-07-01'"},
      {"审核日期=#2012/6/1#,", "审核日期='2012-06-01',"},
      {"x=#6/1/2012#", "x='2012-06-01'"},
      {"x=#2012-6-1 10:30:00#", "x='2012-06-01 10:30:00'"},
      // Not a calendar date: kept as it was written, but still a text, never a parameter.
      {"x=#2012-02-30#", "x='2012-02-30'"},
  });
  EXPECT_EQ(NormaliseDateLiteral(" 1900/1/1 "), "1900-01-01");
  EXPECT_EQ(NormaliseDateLiteral("2012-13-01"), "");
  EXPECT_EQ(NormaliseDateLiteral("6/1/12"), "");
}

TEST(SqlTranslatorTest, IsnullAndIifBecomeStandardExpressions) {
  ExpectTranslations({
      {"where NOT IsNull( t.a )", "where NOT (t.a IS NULL)"},
      // The requisition's hide-issued-lines condition, server form.
      {" and ( isnull(wsdjpj.产品ID,0)=0 or isnull(wsdjpj.数量,0)>isnull(wsdjpj.已领用数,0) )",
       " and ( COALESCE(wsdjpj.产品ID, 0)=0 or COALESCE(wsdjpj.数量, 0)>"
       "COALESCE(wsdjpj.已领用数, 0) )"},
      // The ledger's AutoID expression: subqueries as arguments.
      {"SELECT (iif(isnull((select max(AutoID) from jxcgoodslist c)),100,(select max(AutoID) "
       "from jxcgoodslist c)) + 1)",
       "SELECT (CASE WHEN ((select max(AutoID) from jxcgoodslist c) IS NULL) THEN 100 ELSE "
       "(select max(AutoID) from jxcgoodslist c) END + 1)"},
      // Commas and parentheses inside string arguments do not split arguments.
      {"iif(a=',', 'b,(c', iif(d, ')', 'e'))",
       "CASE WHEN a=',' THEN 'b,(c' ELSE CASE WHEN d THEN ')' ELSE 'e' END END"},
      // A TOP subquery inside an argument keeps its LIMIT inside its parentheses.
      {"select isnull((select top 1 p from t order by id desc),0)",
       "select COALESCE((select p from t order by id desc LIMIT 1), 0)"},
      // A TOP whose SELECT ends in a rewritten call.
      {"select top 1 a from t where isnull(b)", "select a from t where (b IS NULL) LIMIT 1"},
      // An unbalanced call is not rewritten, but what is inside still is.
      {"iif(isnull(a),1,2", "iif((a IS NULL),1,2"},
  });
}

// What the desktop dialect would rewrite is left alone inside quotes, names and comments, and
// so are forms without a faithful translation.
TEST(SqlTranslatorTest, StatementsWithNothingToTranslateComeBackUnchanged) {
  const std::vector<std::string> statements = {
      "",
      " update wsdj  SET 制单人='张三', 制单日期='2012-06-01',      工单号码='W001'  WHERE "
      "单据ID=12",
      " SELECT 车辆编号 FROM clzl WHERE ( 车辆编号 Like 'ab%' OR 车牌号 Like 'ab%')",
      "select a, b from t where x is null and y isnull and z <> 1.5e3 limit 4",
      "SELECT x FROM t WHERE y = ? AND z = :name",
      "select '#2012-06-01#', 'select top 1 x', 'isnull(a)', 'iif(a,b,c)' from t",
      "update t set 说明='O''Brien isnull(x) #1#' where 名称='O''Brien'",
      "select \"isnull(a)\", [iif(a,b,c)], `top 1` from t",
      "select \"a\"\"isnull(b)\" from t",  // a doubled quote does not end the name
      "select /* top 1 */ a from t",
      "select 'abc isnull(x)",           // an unterminated literal runs to the end
      "SELECT TOP 10 PERCENT a FROM t",  // left for the engine to refuse
      "SELECT top FROM t WHERE top > 1",
      "x=#2012-06-01",  // no closing "#", or no digits: not a date
      "x=#abc#",
      // Wrong argument counts, qualified names and a bare column.
      "isnull(a,b,c) + iif(a,b) + isnull()",
      "select t.isnull(a), isnull from t",
  };
  for (const std::string& sql : statements) {
    EXPECT_EQ(TranslateSql(sql, SqlTarget::Sqlite), sql);
  }
  // A LIMIT is not swallowed by a trailing line comment; a date outside quotes is translated
  // while the same text inside them is not.
  EXPECT_EQ(TranslateSql("select top 1 a from t -- isnull(x)", SqlTarget::Sqlite),
            "select a from t LIMIT 1 -- isnull(x)");
  EXPECT_EQ(TranslateSql("x=#2012-1-2# and y='#2012-1-2#'", SqlTarget::Sqlite),
            "x='2012-01-02' and y='#2012-1-2#'");
}

TEST(SqlTranslatorTest, PostgresAlsoComparesLikeWithoutCase) {
  ExpectTranslations(
      {
          {"SELECT TOP 1 a FROM t WHERE b like 'like' AND d>=#2012/6/1#",
           "SELECT a FROM t WHERE b::text ILIKE 'like' ESCAPE '' AND d>='2012-06-01' LIMIT 1"},
          // A backslash in a pattern is a backslash, as on the desktop; a pattern that names its
          // own escape character keeps it.
          {"a like '%C:\\w\\%'", "a::text ILIKE '%C:\\w\\%' ESCAPE ''"},
          {"a like '%!%%' escape '!' and b like ?",
           "a::text ILIKE '%!%%' escape '!' and b::text ILIKE $1 ESCAPE ''"},
          // A column on the left is read as text (numbers and dates match as on the desktop);
          // an expression or a literal on the left is left alone.
          {"where a.进厂日期 like '2012%' and 'x' like b and iif(c,d,e) like 'f' and (g) like 'h'",
           "where a.进厂日期::text ILIKE '2012%' ESCAPE '' and 'x' ILIKE b and CASE WHEN c THEN d "
           "ELSE e END ILIKE 'f' ESCAPE '' and (g) ILIKE 'h' ESCAPE ''"},
          {"select likes, \"like\" from t", "select likes, \"like\" from t"},
      },
      SqlTarget::Postgres);
  // SQLite's LIKE already ignores ASCII case.
  EXPECT_EQ(TranslateSql("a Like 'x%'", SqlTarget::Sqlite), "a Like 'x%'");
}

// Placeholders pass through to SQLite and are numbered for PostgreSQL in the order they were
// bound, through every rewrite; a "?" inside a literal, a quoted name or a comment is no
// placeholder.
TEST(SqlTranslatorTest, PlaceholdersAreKeptInTheirOrder) {
  const std::string escaped = "SELECT a FROM t WHERE b like ? escape '\\' AND c='?'";
  EXPECT_EQ(TranslateSql(escaped, SqlTarget::Sqlite), escaped);
  ExpectTranslations(
      {
          {escaped, "SELECT a FROM t WHERE b::text ILIKE $1 escape '\\' AND c='?'"},
          {"SELECT TOP 1 iif(a=?, ?, isnull(b, ?)) FROM t WHERE \"?\"=? -- ?\n AND d=?",
           "SELECT CASE WHEN a=$1 THEN $2 ELSE COALESCE(b, $3) END FROM t WHERE \"?\"=$4 -- ?\n "
           "AND d=$5 LIMIT 1"},
          {"SELECT TOP 2 a FROM t WHERE b=? UNION SELECT a FROM u WHERE c=?",
           "SELECT * FROM (SELECT a FROM t WHERE b=$1 LIMIT 2) UNION SELECT a FROM u WHERE c=$2"},
          // A word right after the mark would otherwise run into the number.
          {"SELECT a FROM t WHERE b=?and c=?or d=?", "SELECT a FROM t WHERE b=$1 and c=$2 or d=$3"},
      },
      SqlTarget::Postgres);
}

}  // namespace
}  // namespace ws::platform
