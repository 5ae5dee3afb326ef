// The header description: the statements it generates agree with each other and with the form,
// on a real table, whatever the values hold.
#include <gtest/gtest.h>

#include "db/runner.h"
#include "forms/field.h"
#include "forms/form.h"
#include "framework/header_schema.h"
#include "support/test_host.h"

namespace ws::framework {
namespace {

const HeaderSchema& Schema() {
  static const HeaderSchema schema(
      "t_doc", "id",
      {{"id", -1, ValueKind::Id, SaveMode::InsertOnly},
       {"smark", -1, ValueKind::Text, SaveMode::InsertOnly},
       {"no", 0, ValueKind::Text},
       {"amount", 1, ValueKind::Number},
       {"out_date", 2, ValueKind::Date, SaveMode::Always, "", "1900-01-01"},
       {"partner_id", 3, ValueKind::Id, SaveMode::Always, "partner"},
       {"cat", 4, ValueKind::Text, SaveMode::Always, "", "", true},
       {"cat_id", 4, ValueKind::Id, SaveMode::Always, "cat"},
       {"checker", 5, ValueKind::Text, SaveMode::ReadOnly},
       {"partner", 6, ValueKind::Text, SaveMode::Shown},
       {"in_date", 7, ValueKind::Date}});
  return schema;
}

void AddFields(forms::Form& form) {
  for (int i = 0; i <= 7; ++i)
    form.Add<forms::Field>("f", i).SetCaption("字段" + std::to_string(i));
}

TEST(HeaderSchemaTest, InsertSelectShowCollectRoundTripOnATable) {
  test::TestHost host;
  host.Exec(
      "create table t_doc (id integer primary key, smark text, no text, amount real, out_date "
      "text, partner_id integer, cat text, cat_id integer, checker text default '', in_date "
      "date)");
  forms::Form form("doc");
  AddFields(form);
  auto field = [&](int i) -> forms::Field& { return form.Get<forms::Field>("f", i); };
  field(0).SetText("O'Brien -- 1");
  field(1).SetText("12.5");
  field(2).SetText("");
  field(3).SetValue("7", "顺达");
  field(4).SetValue("3", "小修");
  field(5).SetText("不该保存");

  RowValues values = Schema().Collect(form, "f");
  EXPECT_EQ(values.count("checker"), 0u) << "read-only columns are not collected";
  EXPECT_EQ(values["cat"], "小修");
  EXPECT_EQ(values["cat_id"], "3");
  values["id"] = "41";
  values["smark"] = "01";
  db::Runner runner(host.Db());
  ASSERT_EQ(runner.Execute(Schema().Insert(values, "sqlite")), "");
  EXPECT_EQ(host.Scalar("select no || '|' || out_date || '|' || checker from t_doc").ToText(),
            "O'Brien -- 1|1900-01-01|");
  // A date without an empty form is Null when empty: the server takes no '' for a date.
  EXPECT_EQ(host.Scalar("select count(*) from t_doc where in_date is null").ToLong(), 1);

  std::string error;
  auto row = runner.Open(Schema().Select(41), &error);
  ASSERT_EQ(error, "");
  ASSERT_FALSE(row->Eof());
  forms::Form shown("shown");
  AddFields(shown);
  Schema().Show(*row, shown, "f");
  RowValues again = Schema().Collect(shown, "f");
  for (const char* column : {"no", "partner_id", "cat", "cat_id"}) {
    EXPECT_EQ(again[column], values[column]) << column;
  }
  EXPECT_DOUBLE_EQ(db::NumericValue(again["amount"]), 12.5);
  EXPECT_EQ(again["out_date"], "1900-01-01");
  EXPECT_EQ(again["in_date"], "");

  // The update writes what the insert wrote, minus the insert-only columns, and its guard keeps
  // it off a row in another state.
  values["no"] = "B";
  int64_t rows = -1;
  ASSERT_EQ(runner.Execute(Schema().Update(values, 41, " AND smark='02'", "sqlite"), &rows), "");
  EXPECT_EQ(rows, 0);
  ASSERT_EQ(runner.Execute(Schema().Update(values, 41, " AND smark='01'", "sqlite"), &rows), "");
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(host.Scalar("select no from t_doc").ToText(), "B");
  // What was shown without a date is saved again without one, and a date typed later is kept.
  EXPECT_EQ(host.Scalar("select count(*) from t_doc where in_date is null").ToLong(), 1);
  values["in_date"] = "2012-06-15";
  ASSERT_EQ(runner.Execute(Schema().Update(values, 41, "", "sqlite")), "");
  EXPECT_EQ(host.Scalar("select in_date from t_doc").ToText(), "2012-06-15");
}

TEST(HeaderSchemaTest, DescriptionMistakesAreCaughtAtOnce) {
  EXPECT_THROW(HeaderSchema("t", "id", {{"a", 0, ValueKind::Text}, {"a", 1, ValueKind::Number}}),
               std::logic_error);
}

}  // namespace
}  // namespace ws::framework
