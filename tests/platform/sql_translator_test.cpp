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
      {"SELECT DISTINCT TOP 3 a FROM t", "SELECT DISTINCT a FROM t LIMIT 3"},
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

// What the desktop dialect would rewrite is left alone inside quotes, names and comments, and
// so are forms without a faithful translation.
TEST(SqlTranslatorTest, StatementsWithNothingToTranslateComeBackUnchanged) {
  const std::vector<std::string> statements = {
      "",
      "SELECT x FROM t WHERE y = ? AND z = :name",
      "select '#2012-06-01#', 'select top 1 x', 'isnull(a)', 'iif(a,b,c)' from t",
      "select \"isnull(a)\", [iif(a,b,c)], `top 1` from t",
      "SELECT TOP 10 PERCENT a FROM t",  // left for the engine to refuse
      "x=#2012-06-01",                   // no closing "#", or no digits: not a date
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
