// Fields are found by name without regard to ASCII case, the first of equal names winning, in
// a record set and in its copies alike.
#include "db/recordset.h"

#include <gtest/gtest.h>

#include <memory>

namespace ws::db {
namespace {

TEST(RecordsetTest, FieldsAreFoundByNameAsTheFirstOfEqualNames) {
  auto original = std::make_unique<Recordset>(
      std::vector<std::string>{"WSDJ.单据ID", "单据ID", "progID", "单据id"},
      std::vector<std::vector<Value>>{
          {Value(int64_t{1}), Value(int64_t{2}), Value(int64_t{3}), Value(int64_t{4})}});
  const struct {
    const char* name;
    int index;
  } cases[] = {{"单据ID", 1}, {"单据Id", 1}, {"PROGID", 2}, {"wsdj.单据id", 0}, {"单据", -1}};
  for (const auto& c : cases) EXPECT_EQ(original->FieldIndex(c.name), c.index) << c.name;
  const Recordset copy = *original;
  original.reset();
  for (const auto& c : cases) EXPECT_EQ(copy.FieldIndex(c.name), c.index) << c.name;
  EXPECT_EQ(copy.Long("progid"), 3);
}

}  // namespace
}  // namespace ws::db
