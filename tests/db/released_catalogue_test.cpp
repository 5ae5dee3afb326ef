// The catalogue each released version brought, pinned. An upgrade adds to a shop file only what
// came after the file's version, so a column put under a version shops already hold never
// reaches them, and nothing but this list notices. released_catalogue.txt holds one line per
// table, column, index and marker with the version it reaches a file in; a changed line of a
// released version, or one above the version a subsystem names, fails here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/schema.h"

namespace ws::db {
namespace {

const char* KindName(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Id:
      return "id";
    case ColumnKind::Number:
      return "number";
    case ColumnKind::Money:
      return "money";
    case ColumnKind::Text:
      return "text";
    case ColumnKind::Date:
      return "date";
    case ColumnKind::Mark:
      return "mark";
  }
  return "?";
}

std::string EngineSuffix(const std::optional<Engine>& engine) {
  if (!engine) return "";
  return *engine == Engine::Postgres ? " postgres-only" : " sqlite-only";
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ",") + part;
  return text;
}

// Lines "<subsystem> <version> <what>" of a catalogue, sorted. A column or index of a table made
// later than its own `since` reaches a file with the table.
std::vector<std::string> Listing(const std::vector<TableDef>& tables) {
  std::set<std::string> lines;
  for (const auto& subsystem : Subsystems()) {
    auto add = [&](int version, const std::string& what) {
      std::ostringstream line;
      line << subsystem.name << " " << (version < 10 ? "0" : "") << version << " " << what;
      lines.insert(line.str());
    };
    for (const auto& table : tables) {
      if (!BelongsTo(subsystem, table)) continue;
      const std::string& name = table.name;
      add(table.since, "table " + name + " key " + Joined(table.primaryKey));
      for (const auto& column : table.columns) {
        add(std::max(table.since, column.since),
            "column " + name + "." + column.name + " " + KindName(column.kind));
      }
      for (const auto& index : table.indexes) {
        add(std::max(table.since, index.since),
            "index " + name + " " + index.name + " (" + Joined(index.columns) + ")" +
                (index.unique ? " unique" : "") + (index.caseless ? " caseless" : "") +
                (index.typedStart ? " typed-start" : "") +
                (index.where.empty() ? "" : " where " + index.where) + EngineSuffix(index.onlyOn));
      }
      if (table.trackedSince) add(table.trackedSince, "tracked " + name);
      if (table.changesOnlySince) add(table.changesOnlySince, "changes-only " + name);
      if (table.versionedSince) add(table.versionedSince, "versioned " + name);
      for (const auto& index : table.retiredIndexes) {
        add(index.since, "retired-index " + name + " " + index.name + EngineSuffix(index.onlyOn));
      }
      for (const auto& trigger : table.retiredTriggers) {
        add(trigger.since, "retired-trigger " + trigger.table + " " + trigger.name);
      }
    }
  }
  return {lines.begin(), lines.end()};
}

std::filesystem::path PinnedPath() {
  const char* data = std::getenv("WS_TEST_DATA");
  return data ? std::filesystem::path(data) / "db" / "released_catalogue.txt"
              : std::filesystem::path(__FILE__).parent_path() / "released_catalogue.txt";
}

std::vector<std::string> PinnedLines() {
  std::ifstream in(PinnedPath());
  EXPECT_TRUE(in) << PinnedPath();
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

// The lines of each "<subsystem> <version>".
std::map<std::string, std::set<std::string>> ByVersion(const std::vector<std::string>& lines) {
  std::map<std::string, std::set<std::string>> out;
  for (const auto& line : lines) {
    const size_t second = line.find(' ', line.find(' ') + 1);
    out[line.substr(0, second)].insert(line);
  }
  return out;
}

std::string VersionKey(const Subsystem& subsystem, int version) {
  return subsystem.name + " " + (version < 10 ? "0" : "") + std::to_string(version);
}

// What a catalogue does against the pinned one: the texts of every failure, empty when none.
std::vector<std::string> Departures(const std::vector<TableDef>& tables,
                                    const std::vector<std::string>& pinned) {
  std::vector<std::string> failures;
  const auto built = ByVersion(Listing(tables));
  const auto released = ByVersion(pinned);
  for (const auto& subsystem : Subsystems()) {
    const int highest = HighestSince(subsystem, tables);
    if (highest > subsystem.version) {
      std::string text = subsystem.name + " has changes under version " + std::to_string(highest) +
                         " while it names " + std::to_string(subsystem.version) +
                         ": raise the version it names";
      for (int version = subsystem.version + 1; version <= highest; ++version) {
        const std::string key = VersionKey(subsystem, version);
        if (!built.count(key)) continue;
        for (const auto& line : built.at(key)) text += "\n" + line;
      }
      failures.push_back(text);
    }
    for (int version = 1; version <= subsystem.version; ++version) {
      const std::string key = VersionKey(subsystem, version);
      const auto builtLines = built.count(key) ? built.at(key) : std::set<std::string>{};
      const auto releasedLines = released.count(key) ? released.at(key) : std::set<std::string>{};
      if (!released.count(key) && !builtLines.empty()) {
        std::string text = key + " is not pinned yet; add to released_catalogue.txt:";
        for (const auto& line : builtLines) text += "\n" + line;
        failures.push_back(text);
        continue;
      }
      for (const auto& line : builtLines) {
        if (!releasedLines.count(line)) {
          failures.push_back("released " + key + " gains \"" + line +
                             "\": shops at that version never get it; put it under a new version");
        }
      }
      for (const auto& line : releasedLines) {
        if (!builtLines.count(line)) {
          failures.push_back("released " + key + " loses \"" + line + "\"");
        }
      }
    }
  }
  for (const auto& [key, lines] : released) {
    bool known = false;
    for (const auto& subsystem : Subsystems()) {
      for (int version = 1; version <= subsystem.version; ++version) {
        known |= key == VersionKey(subsystem, version);
      }
    }
    if (!known) failures.push_back("pinned " + key + " is no version this build names");
  }
  return failures;
}

TEST(ReleasedCatalogueTest, EveryVersionBringsWhatItBroughtWhenItWasReleased) {
  const std::vector<std::string> pinned = PinnedLines();
  ASSERT_FALSE(pinned.empty());
  const std::vector<std::string> failures = Departures(Tables(), pinned);
  for (const auto& failure : failures) ADD_FAILURE() << failure;
  // Each subsystem's newest version brings something, or it would be a number with no content.
  const auto released = ByVersion(pinned);
  for (const auto& subsystem : Subsystems()) {
    EXPECT_EQ(HighestSince(subsystem), subsystem.version) << subsystem.name;
    EXPECT_TRUE(released.count(VersionKey(subsystem, subsystem.version))) << subsystem.name;
  }
}

// The mistakes the pin is there for, each made on a copy of the catalogue.
TEST(ReleasedCatalogueTest, AChangeUnderAWrittenVersionOrAboveTheNamedOneIsCaught) {
  const std::vector<std::string> pinned = PinnedLines();
  const Subsystem& module = Subsystems().front();
  ASSERT_TRUE(Departures(Tables(), pinned).empty());
  struct Mistake {
    const char* what;
    int since;
    const char* failure;
  };
  const Mistake mistakes[] = {
      {"a column under a version shops hold", module.version - 1, "gains"},
      {"a column under the version this build names", module.version, "gains"},
      {"a column under a version nobody named", module.version + 1, "raise the version"},
  };
  for (const Mistake& mistake : mistakes) {
    SCOPED_TRACE(mistake.what);
    std::vector<TableDef> tables = Tables();
    for (auto& table : tables) {
      if (table.name == "WSDJ")
        table.columns.push_back({"预约日期", ColumnKind::Date, mistake.since});
    }
    const std::vector<std::string> failures = Departures(tables, pinned);
    ASSERT_EQ(failures.size(), 1u) << ::testing::PrintToString(failures);
    EXPECT_NE(failures.front().find(mistake.failure), std::string::npos) << failures.front();
    EXPECT_NE(failures.front().find("预约日期"), std::string::npos) << failures.front();
  }
  // A changed kind or a dropped index of a released version is caught as well.
  std::vector<TableDef> tables = Tables();
  tables.front().columns.back().kind = ColumnKind::Money == tables.front().columns.back().kind
                                           ? ColumnKind::Text
                                           : ColumnKind::Money;
  tables.front().indexes.pop_back();
  EXPECT_EQ(Departures(tables, pinned).size(), 3u);
}

}  // namespace
}  // namespace ws::db
