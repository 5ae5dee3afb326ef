// On the server a typed prefix is an ILIKE, which no b-tree serves: the catalogue gives the
// picker columns a trigram index, and the picker's own statement is answered from it.
#include <gtest/gtest.h>

#include <string>

#include "db/runner.h"
#include "db/sql.h"
#include "pickers/master_picker.h"
#include "pickers/picker_control.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::platform {
namespace {

std::string Plan(PostgresDatabase& db, const db::Sql& statement) {
  std::string error;
  auto rows = db::Runner(db).Open(db::Sql("EXPLAIN ").Append(statement), &error);
  EXPECT_EQ(error, "");
  std::string plan;
  for (; rows && !rows->Eof(); rows->MoveNext()) plan += rows->Field(0).ToText() + "\n";
  return plan;
}

TEST(PostgresPlanTest, TypedPrefixesOfPickersUseTheTrigramIndexes) {
  testing::PostgresScratch scratch;
  WS_REQUIRE_POSTGRES(scratch);
  // Two shops on one database: the second catalogue finds the extension made by the first
  // and still makes its own indexes.
  testing::PostgresScratch other;
  ASSERT_TRUE(other.Ok()) << other.Error();
  auto db = scratch.Connect();
  auto otherDb = other.Connect();
  ASSERT_NE(db, nullptr) << scratch.Error();
  ASSERT_NE(otherDb, nullptr) << other.Error();
  ASSERT_EQ(test::InstallCatalogue(*db, test::kTestLoginDate), "");
  ASSERT_EQ(test::InstallCatalogue(*otherDb, test::kTestLoginDate), "");
  for (const auto* shop : {&scratch, &other}) {
    for (const char* index : {"ix_clzl_plate_nocase", "ix_clzl_number_nocase",
                              "ix_pdmwldw_code_nocase", "ix_pdmwldw_name_nocase"}) {
      EXPECT_EQ(
          db::Runner(*db).ScalarNumber(db::Sql("SELECT count(*) FROM pg_indexes WHERE schemaname=")
                                           .Text(shop->Schema())
                                           .Raw(" AND indexname=")
                                           .Text(index)),
          1)
          << shop->Schema() << " " << index;
    }
  }
  // A small table is read whole by choice; with that choice taken away the index must serve.
  ASSERT_EQ(db->ExecScript("SET enable_seqscan = off"), "");
  const std::string plan =
      Plan(*db, pickers::WithTyped(pickers::VehiclePicker().validateQuery, "京A1"));
  EXPECT_NE(plan.find("ix_clzl_plate_nocase"), std::string::npos) << plan;
}

}  // namespace
}  // namespace ws::platform
