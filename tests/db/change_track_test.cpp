// The block versions of the tracked tables: random writes, many of them putting back the values
// a row holds, move a block's version exactly when a row of the block changed in something a
// list could show (the row version aside), for every tracked table, on a file made by this
// build and on one whose older triggers the upgrade brought forward.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/schema.h"
#include "db/sql.h"
#include "forms/text.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

using test::TestHost;

constexpr int64_t kRows = 24;

std::vector<std::string> TrackedTables() {
  std::vector<std::string> out;
  for (const auto& table : Tables()) {
    if (table.trackedSince) out.push_back(table.name);
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
    // Three blocks of keys, eight rows each; every text its own (some are unique).
    for (int64_t i = 0; i < kRows; ++i) {
      Sql insert("INSERT INTO " + table_->name + " (" + key_);
      for (const ColumnDef* column : columns_) insert.Raw(", " + column->name);
      insert.Raw(") VALUES (").Key(KeyOf(i));
      for (const ColumnDef* column : columns_) {
        const bool text = column->kind == ColumnKind::Text;
        insert.Raw(", ").Append(text ? Sql().Text("R" + std::to_string(i)) : Pick(*column));
      }
      host_.Exec(insert.Raw(")"));
    }
  }

  static int64_t KeyOf(int64_t i) { return (i % 3) * kChangeBlockKeys + i + 1; }

  // A value of the column's kind from a small set, so a write often puts back what is there.
  Sql Pick(const ColumnDef& column) {
    const int which = static_cast<int>(random_() % 3);
    const char* texts[] = {"", "京A1", "宏达"};
    const char* dates[] = {"2012-01-01", "2012-06-15"};
    switch (column.kind) {
      case ColumnKind::Id:
      case ColumnKind::Number:
        return Sql().Num(which + (column.kind == ColumnKind::Id ? 0 : 0.5));
      case ColumnKind::Money:
        return Sql().Num(which * 100.25);
      case ColumnKind::Date:
        return which ? Sql().Date(dates[which - 1], "sqlite") : Sql("NULL");
      case ColumnKind::Mark:
      case ColumnKind::Text:
        return Sql().Text(column.kind == ColumnKind::Mark ? (which ? "02" : "01") : texts[which]);
    }
    return Sql("NULL");
  }

  // Per block of keys: its rows but their row version (Null told from the empty text), and
  // the block's version.
  std::pair<std::map<int64_t, std::string>, std::map<int64_t, std::string>> Blocks() {
    std::string select = "SELECT " + key_;
    for (const ColumnDef* column : columns_) select += ", " + column->name;
    std::map<int64_t, std::string> rows;
    auto rs = Runner(host_.Db()).Open(Sql(select + " FROM " + table_->name + " ORDER BY 1"));
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string& block = rows[rs->Field(0).ToLong() / kChangeBlockKeys];
      for (int i = 0; i < rs->FieldCount(); ++i) {
        block += rs->Field(i).IsNull() ? "(null)|" : rs->Field(i).ToText() + "|";
      }
    }
    std::map<int64_t, std::string> versions;
    rs = Runner(host_.Db())
             .Open(Sql("SELECT block, version FROM ws_change_block WHERE "
                       "table_name = ")
                       .Text(forms::FoldCase(table_->name)));
    for (; !rs->Eof(); rs->MoveNext()) versions[rs->Field(0).ToLong()] = rs->Field(1).ToText();
    return {rows, versions};
  }

  // The blocks whose entry differs between a and b.
  static std::set<int64_t> Moved(const std::map<int64_t, std::string>& a,
                                 const std::map<int64_t, std::string>& b) {
    std::set<int64_t> out;
    for (const auto& [from, to] : {std::pair{&a, &b}, {&b, &a}}) {
      for (const auto& [block, text] : *from)
        if (!to->count(block) || to->at(block) != text) out.insert(block);
    }
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
        return sql.Raw(" WHERE " + key_ + " / ")
            .Num(kChangeBlockKeys)
            .Raw(" = ")
            .Key(row / kChangeBlockKeys);
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
      const auto [rows, versions] = Blocks();
      // A write a unique index refuses changes nothing, and must move nothing either.
      const Sql write = RandomWrite(nextKey);
      Runner(host_.Db()).Execute(write);
      const auto [rowsAfter, versionsAfter] = Blocks();
      ASSERT_EQ(Moved(rows, rowsAfter), Moved(versions, versionsAfter))
          << file << ", step " << step << ": " << write.Literal();
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
  const std::string name = forms::FoldCase(table_->name);
  const Engine engine = host_.OnPostgres() ? Engine::Postgres : Engine::Sqlite;
  const std::string every =
      host_.OnPostgres()
          ? "CREATE OR REPLACE TRIGGER ws_change_" + name +
                " AFTER INSERT OR UPDATE OR DELETE ON " + name +
                " FOR EACH ROW EXECUTE FUNCTION ws_change_" + name + "()"
          : "CREATE TRIGGER ws_change_" + name + "_upd AFTER UPDATE ON " + name +
                (table_->versionedSince ? " WHEN NEW.ws_rowver = OLD.ws_rowver" : "") +
                " BEGIN INSERT INTO ws_change_block (table_name, block, version) VALUES ('" + name +
                "', OLD." + key_ + " / 4096, 1) ON CONFLICT (table_name, block) DO " +
                "UPDATE SET version = ws_change_block.version + 1; END";
  ASSERT_EQ(host_.Db().ExecScript(DropChangeUpdateTrigger(*table_, engine) + "; " + every), "");
  for (const auto& subsystem : Subsystems()) {
    if (!BelongsTo(subsystem, *table_)) continue;
    host_.Exec(Sql("UPDATE ws_meta SET value = ")
                   .Text(std::to_string(table_->changesOnlySince - 1))
                   .Raw(" WHERE key = ")
                   .Text(SubsystemVersionKey(subsystem)));
  }
  const auto before = Blocks();
  host_.Exec("UPDATE " + table_->name + " SET " + key_ + " = " + key_);
  ASSERT_NE(Blocks().second, before.second) << "the older triggers bump on every update";
  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  ExpectVersionsFollowChanges("brought forward");
}

INSTANTIATE_TEST_SUITE_P(Tracked, ChangeTrackTest, ::testing::ValuesIn(TrackedTables()),
                         [](const auto& info) {
                           return "T" + std::to_string(info.index) + "_" + info.param;
                         });

}  // namespace
}  // namespace ws::db
