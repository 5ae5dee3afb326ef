// The block versions of the tracked tables: random writes, many of them putting back the values
// a row holds, move a block's version exactly when a row of the block changed in something a
// list could show (the row version aside), for every tracked table, on a file made by this
// build and on one whose older triggers the upgrade brought forward.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/schema.h"
#include "db/sql.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

using test::TestHost;

constexpr int64_t kRows = 24;

std::vector<std::string> TrackedTables() {
  std::vector<std::string> out;
  for (const auto& table : Tables()) {
    if (table.trackedSince > 0) out.push_back(table.name);
  }
  return out;
}

class ChangeTrackTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    table_ = FindTable(GetParam());
    ASSERT_NE(table_, nullptr);
    key_ = table_->primaryKey.front();
    for (const auto& column : table_->columns) {
      if (column.name != key_ && column.name != kRowVersionColumn) columns_.push_back(&column);
    }
    std::vector<std::string> unique;
    for (const auto& index : table_->indexes) {
      if (index.unique) unique.insert(unique.end(), index.columns.begin(), index.columns.end());
    }
    // Three blocks of keys, eight rows each; texts a unique index covers start apart.
    for (int64_t i = 0; i < kRows; ++i) {
      Sql insert("INSERT INTO " + table_->name + " (" + key_);
      for (const ColumnDef* column : columns_) insert.Raw(", " + column->name);
      insert.Raw(") VALUES (").Key(KeyOf(i));
      for (const ColumnDef* column : columns_) {
        const bool apart = column->kind == ColumnKind::Text &&
                           std::find(unique.begin(), unique.end(), column->name) != unique.end();
        insert.Raw(", ").Append(apart ? Sql().Text("R" + std::to_string(i)) : Pick(*column));
      }
      host_.Exec(insert.Raw(")"));
    }
  }

  static int64_t KeyOf(int64_t i) { return (i % 3) * kChangeBlockKeys + i + 1; }

  // A value of the column's kind from a small set, so a write often puts back what is there.
  Sql Pick(const ColumnDef& column) {
    const int which = static_cast<int>(random_() % 3);
    switch (column.kind) {
      case ColumnKind::Id:
        return Sql().Key(which);
      case ColumnKind::Number:
        return Sql().Num(which + 0.5);
      case ColumnKind::Money:
        return Sql().Num(which * 100.25);
      case ColumnKind::Date:
        return which == 0 ? Sql("NULL")
                          : Sql().Date(which == 1 ? "2012-01-01" : "2012-06-15", Driver());
      case ColumnKind::Mark:
        return Sql().Text(which ? "02" : "01");
      case ColumnKind::Text:
        return Sql().Text(which == 0 ? "" : which == 1 ? "京A1" : "宏达");
    }
    return Sql("NULL");
  }

  std::string Driver() { return host_.OnPostgres() ? "postgres" : "sqlite"; }

  // Every row but its row version, per block of keys.
  std::map<int64_t, std::string> Contents() {
    std::string select = "SELECT " + key_;
    for (const ColumnDef* column : columns_) select += ", " + column->name;
    std::string error;
    auto rs =
        Runner(host_.Db()).Open(Sql(select + " FROM " + table_->name + " ORDER BY 1"), &error);
    EXPECT_EQ(error, "");
    std::map<int64_t, std::string> out;
    for (; rs && !rs->Eof(); rs->MoveNext()) {
      std::string& block = out[rs->Field(0).ToLong() / kChangeBlockKeys];
      for (int i = 0; i < rs->FieldCount(); ++i) {
        block += rs->Field(i).IsNull() ? "(null)|" : rs->Field(i).ToText() + "|";
      }
      block += "\n";
    }
    return out;
  }

  std::map<int64_t, int64_t> Versions() {
    std::map<int64_t, int64_t> out;
    auto rs = Runner(host_.Db())
                  .Open(Sql("SELECT block, version FROM ws_change_block WHERE table_name = ")
                            .Text(LowerName()));
    for (; !rs->Eof(); rs->MoveNext()) out[rs->Field(0).ToLong()] = rs->Field(1).ToLong();
    return out;
  }

  std::string LowerName() const {
    std::string out = table_->name;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  }

  // One write of another user: mostly updates that may or may not change anything, now and
  // then a row moved to a fresh key, inserted or deleted.
  Sql RandomWrite(int64_t& nextKey) {
    const int64_t row = KeyOf(static_cast<int64_t>(random_() % kRows));
    const ColumnDef& column = *columns_[random_() % columns_.size()];
    const std::string where = " WHERE " + key_ + " = ";
    Sql sql("UPDATE " + table_->name + " SET ");
    switch (random_() % 8) {
      case 0:  // every column put back, over a whole block
        for (size_t i = 0; i < columns_.size(); ++i) {
          sql.Raw((i ? ", " : "") + columns_[i]->name + " = " + columns_[i]->name);
        }
        return sql.Raw(" WHERE " + key_ + " / ").Num(kChangeBlockKeys).Raw(" = ").Key(row % 3);
      case 1:  // another row's value, often the same
        return sql.Raw(column.name + " = (SELECT " + column.name + " FROM " + table_->name + where)
            .Key(KeyOf(static_cast<int64_t>(random_() % kRows)))
            .Raw(")" + where)
            .Key(row);
      case 2:
        return sql.Raw(key_ + " = ").Key(nextKey++).Raw(where).Key(row);
      case 3:
        return Sql("DELETE FROM " + table_->name + where).Key(row);
      case 4: {
        Sql insert("INSERT INTO " + table_->name + " (" + key_ + ", " + column.name + ") VALUES (");
        return insert.Key(nextKey++).Raw(", ").Append(Pick(column)).Raw(")");
      }
      default:
        return sql.Raw(column.name + " = ").Append(Pick(column)).Raw(where).Key(row);
    }
  }

  void ExpectVersionsFollowChanges(const char* file) {
    int64_t nextKey = 3 * kChangeBlockKeys - 40;
    for (int step = 0; step < 120; ++step) {
      const auto contents = Contents();
      const auto versions = Versions();
      // A write a unique index refuses changes nothing, and must move nothing either.
      const Sql write = RandomWrite(nextKey);
      Runner(host_.Db()).Execute(write);
      const auto contentsAfter = Contents();
      const auto versionsAfter = Versions();
      for (int64_t block = 0; block < 4; ++block) {
        auto text = [block](const std::map<int64_t, std::string>& m) {
          auto found = m.find(block);
          return found == m.end() ? std::string() : found->second;
        };
        auto version = [block](const std::map<int64_t, int64_t>& m) {
          auto found = m.find(block);
          return found == m.end() ? int64_t{0} : found->second;
        };
        ASSERT_EQ(text(contents) != text(contentsAfter),
                  version(versions) != version(versionsAfter))
            << file << ", step " << step << ", block " << block << ": " << write.Literal();
      }
    }
  }

  TestHost host_;
  const TableDef* table_ = nullptr;
  std::string key_;
  std::vector<const ColumnDef*> columns_;
  std::mt19937 random_{20261206};
};

TEST_P(ChangeTrackTest, VersionsMoveExactlyWhenABlockChanged) {
  ExpectVersionsFollowChanges("made by this build");

  // The triggers of the builds before, which bumped on every update, and the versions of the
  // table's subsystem from before this build's triggers.
  const std::string name = LowerName();
  const std::string bump = "INSERT INTO ws_change_block (table_name, block, version) VALUES ('" +
                           name + "', OLD." + key_ +
                           " / 4096, 1) ON CONFLICT (table_name, block) "
                           "DO UPDATE SET version = ws_change_block.version + 1;";
  if (host_.OnPostgres()) {
    ASSERT_EQ(host_.Db().ExecScript("DROP TRIGGER ws_change_" + name + "_upd ON " + name +
                                    "; CREATE OR REPLACE TRIGGER ws_change_" + name +
                                    " AFTER INSERT OR UPDATE OR DELETE ON " + name +
                                    " FOR EACH ROW EXECUTE FUNCTION ws_change_" + name + "()"),
              "");
  } else {
    const std::string when =
        table_->versionedSince ? " WHEN NEW.ws_rowver = OLD.ws_rowver" : std::string();
    ASSERT_EQ(host_.Db().ExecScript(
                  "DROP TRIGGER ws_change_" + name + "_upd; CREATE TRIGGER ws_change_" + name +
                  "_upd AFTER UPDATE ON " + name + when + " BEGIN " + bump + " END"),
              "");
  }
  for (const auto& subsystem : Subsystems()) {
    if (!BelongsTo(subsystem, *table_)) continue;
    host_.Exec(Sql("UPDATE ws_meta SET value = ")
                   .Text(std::to_string(table_->changesOnlySince - 1))
                   .Raw(" WHERE key = ")
                   .Text(SubsystemVersionKey(subsystem)));
  }
  const auto before = Versions();
  host_.Exec("UPDATE " + table_->name + " SET " + key_ + " = " + key_);
  ASSERT_NE(Versions(), before) << "the older triggers bump on every update";
  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  ExpectVersionsFollowChanges("brought forward");
}

INSTANTIATE_TEST_SUITE_P(Tracked, ChangeTrackTest, ::testing::ValuesIn(TrackedTables()),
                         [](const auto& info) {
                           return "T" + std::to_string(info.index) + "_" + info.param;
                         });

}  // namespace
}  // namespace ws::db
