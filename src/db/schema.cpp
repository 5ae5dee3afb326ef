#include "db/schema.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "db/runner.h"
#include "forms/text.h"

namespace ws::db {

namespace {

Engine EngineOf(Runner& runner) {
  std::string driver = forms::FoldCase(runner.Driver());
  return driver.find("postgres") != std::string::npos || driver == "pg" ? Engine::Postgres
                                                                        : Engine::Sqlite;
}

// The ws_meta rows, by key; nullopt when the database carries no schema mark of ours.
std::optional<std::map<std::string, std::string>> ReadMeta(Runner& runner, std::string& error) {
  auto rs = runner.Open(Sql("SELECT key, value FROM ws_meta"), &error);
  if (!error.empty()) return std::nullopt;
  std::map<std::string, std::string> meta;
  for (; !rs->Eof(); rs->MoveNext()) meta[rs->Text("key")] = rs->Text("value");
  if (meta["schema"] != kSchemaName || meta["version"].empty()) return std::nullopt;
  return meta;
}

Sql SetMeta(const std::string& key, const std::string& value) {
  return Sql("INSERT INTO ws_meta (key, value) VALUES (")
      .Text(key)
      .Raw(", ")
      .Text(value)
      .Raw(") ON CONFLICT (key) DO UPDATE SET value = excluded.value");
}

}  // namespace

const std::vector<Subsystem>& Subsystems() {
  static const std::vector<Subsystem> subsystems = {
      {"module", {TableRole::Module}},
      {"host", {TableRole::HostWritten, TableRole::HostRead}},
      {"config", {TableRole::HostConfig}},
  };
  return subsystems;
}

bool BelongsTo(const Subsystem& subsystem, const TableDef& table) {
  return std::find(subsystem.roles.begin(), subsystem.roles.end(), table.role) !=
         subsystem.roles.end();
}

int CurrentVersion(const Subsystem& subsystem, const std::vector<TableDef>& tables) {
  int version = 1;
  for (const auto& table : tables) {
    if (!BelongsTo(subsystem, table)) continue;
    version = std::max(version, table.since);
    version = std::max(version, table.trackedSince);
    version = std::max(version, table.versionedSince);
    for (const auto& column : table.columns) version = std::max(version, column.since);
    for (const auto& index : table.indexes) version = std::max(version, index.since);
  }
  return version;
}

std::string SubsystemVersionKey(const Subsystem& subsystem) {
  return "version:" + subsystem.name;
}

namespace {

// A creating statement that leaves an object already there alone: a file may carry part of a
// newer layout (its version rows lost, or written by a build between two versions), and the
// upgrade must still bring the rest.
std::string IfMissing(std::string statement, Engine engine) {
  for (const char* head : {"CREATE TABLE ", "CREATE INDEX ", "CREATE UNIQUE INDEX "}) {
    if (statement.rfind(head, 0) == 0) return statement.insert(std::strlen(head), "IF NOT EXISTS ");
  }
  if (statement.rfind("CREATE TRIGGER ", 0) == 0) {
    return engine == Engine::Postgres
               ? statement.insert(std::strlen("CREATE "), "OR REPLACE ")
               : statement.insert(std::strlen("CREATE TRIGGER "), "IF NOT EXISTS ");
  }
  return statement;
}

}  // namespace

std::vector<Sql> MigrationStatements(
    const Subsystem& subsystem, int from, Engine engine, const std::vector<TableDef>& tables,
    const std::function<bool(const TableDef&, const ColumnDef&)>& hasColumn) {
  std::vector<Sql> out;
  auto add = [&](std::string statement) {
    out.emplace_back(IfMissing(std::move(statement), engine));
  };
  for (const auto& table : tables) {
    if (!BelongsTo(subsystem, table)) continue;
    if (table.since > from) {
      add(CreateTableStatement(table, engine));
      for (const auto& index : CreateIndexStatements(table, engine)) add(index);
      for (const auto& trigger : ChangeTrackStatements(table, engine)) add(trigger);
      for (const auto& trigger : RowVersionStatements(table, engine)) add(trigger);
      continue;
    }
    for (const auto& column : table.columns) {
      if (column.since <= from || (hasColumn && hasColumn(table, column))) continue;
      // Added columns take the kind's default, so rows written before read as a new row would.
      out.emplace_back("ALTER TABLE " + table.name + " ADD COLUMN " + column.name + " " +
                       ColumnType(column.kind, engine) + DefaultClause(column.kind));
    }
    TableDef added = table;
    added.indexes.clear();
    for (const auto& index : table.indexes) {
      if (index.since > from) added.indexes.push_back(index);
    }
    for (const auto& index : CreateIndexStatements(added, engine)) add(index);
    if (table.trackedSince > from) {
      for (const auto& trigger : ChangeTrackStatements(table, engine)) add(trigger);
    }
    if (table.versionedSince > from) {
      for (const auto& trigger : RowVersionStatements(table, engine)) add(trigger);
    }
  }
  return out;
}

std::string UpgradeSchema(IDatabase& db, const std::vector<TableDef>& tables) {
  Runner runner(db);
  std::string error;
  auto meta = ReadMeta(runner, error);
  if (!meta) return "not a repair-shop database" + (error.empty() ? "" : ": " + error);
  const int fileVersion = std::atoi((*meta)["version"].c_str());
  if (fileVersion > std::atoi(std::string(kSchemaVersion).c_str())) {
    return "the database was written by a newer program (schema version " + (*meta)["version"] +
           ")";
  }
  struct Step {
    const Subsystem* subsystem;
    int from;
  };
  std::vector<Step> steps;
  for (const auto& subsystem : Subsystems()) {
    auto stored = meta->find(SubsystemVersionKey(subsystem));
    // Before per-subsystem versions every table was at version 1.
    int from = stored == meta->end() ? 1 : std::atoi(stored->second.c_str());
    int current = CurrentVersion(subsystem, tables);
    if (from > current) {
      return "the " + subsystem.name + " tables were written by a newer program (version " +
             std::to_string(from) + ", this program knows " + std::to_string(current) + ")";
    }
    if (from < current || stored == meta->end()) steps.push_back({&subsystem, from});
  }
  if (steps.empty() && (*meta)["version"] == kSchemaVersion) return {};

  const Engine engine = EngineOf(runner);
  // Asked before the transaction: on the server a failed statement would end it.
  auto hasColumn = [&](const TableDef& table, const ColumnDef& column) {
    std::string missing;
    runner.Open(Sql("SELECT " + column.name + " FROM " + table.name + " WHERE 1=0"), &missing);
    return missing.empty();
  };
  std::vector<std::vector<Sql>> statements;
  for (const auto& step : steps) {
    statements.push_back(
        MigrationStatements(*step.subsystem, step.from, engine, tables, hasColumn));
  }
  Transaction transaction(db);
  for (size_t i = 0; i < steps.size(); ++i) {
    const auto& step = steps[i];
    for (const auto& sql : statements[i]) {
      if (!transaction.Run(sql)) return transaction.Error();
    }
    transaction.Run(SetMeta(SubsystemVersionKey(*step.subsystem),
                            std::to_string(CurrentVersion(*step.subsystem, tables))));
  }
  transaction.Run(SetMeta("version", std::string(kSchemaVersion)));
  if (!transaction.Commit()) return transaction.Error();
  return {};
}

}  // namespace ws::db
