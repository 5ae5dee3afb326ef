#include "db/schema.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "db/default_config.h"
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
      {"module", {TableRole::Module}, kModuleVersion},
      {"host", {TableRole::HostWritten, TableRole::HostRead}, kHostVersion},
      {"config", {TableRole::HostConfig}, kConfigVersion},
  };
  return subsystems;
}

bool BelongsTo(const Subsystem& subsystem, const TableDef& table) {
  return std::find(subsystem.roles.begin(), subsystem.roles.end(), table.role) !=
         subsystem.roles.end();
}

int CurrentVersion(const Subsystem& subsystem, const std::vector<TableDef>& tables) {
  return std::max(subsystem.version, HighestSince(subsystem, tables));
}

int HighestSince(const Subsystem& subsystem, const std::vector<TableDef>& tables) {
  int version = 1;
  for (const auto& table : tables) {
    if (!BelongsTo(subsystem, table)) continue;
    version = std::max(version, table.since);
    version = std::max(version, table.trackedSince);
    version = std::max(version, table.changesOnlySince);
    version = std::max(version, table.versionedSince);
    for (const auto& column : table.columns) {
      version = std::max(version, column.since);
      if (column.kind == ColumnKind::Money) version = std::max(version, kExactMoneySince);
    }
    for (const auto& index : table.indexes) version = std::max(version, index.since);
    for (const auto& index : table.retiredIndexes) version = std::max(version, index.since);
    for (const auto& trigger : table.retiredTriggers) version = std::max(version, trigger.since);
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
    if (statement.rfind(head, 0) != 0) continue;
    if (statement.compare(std::strlen(head), 14, "IF NOT EXISTS ") == 0) return statement;
    return statement.insert(std::strlen(head), "IF NOT EXISTS ");
  }
  if (statement.rfind("CREATE TRIGGER IF NOT EXISTS ", 0) == 0) return statement;
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
    // The update trigger of a tracked table names every column: made anew when its form
    // changed, when a column is added, and when a money column changes type under it.
    bool retrack = table.trackedSince > 0 && table.changesOnlySince > from;
    for (const auto& column : table.columns) {
      retrack |= column.since > from || (column.kind == ColumnKind::Money &&
                                         engine == Engine::Postgres && from < kExactMoneySince);
    }
    retrack &= table.trackedSince > 0 && table.trackedSince <= from;
    if (retrack) out.emplace_back(DropChangeUpdateTrigger(table, engine));
    for (const auto& column : table.columns) {
      // A money column of a server file from before the exact amounts is converted where it
      // stands; the round keeps the ten-thousandth the double held (0.30000000000000004 is 0.3).
      if (column.kind == ColumnKind::Money && engine == Engine::Postgres &&
          from < kExactMoneySince && column.since <= from) {
        out.emplace_back("ALTER TABLE " + table.name + " ALTER COLUMN " + column.name + " TYPE " +
                         ColumnType(column.kind, engine) + " USING round(" + column.name +
                         "::numeric, 4)");
      }
      if (column.since <= from || (hasColumn && hasColumn(table, column))) continue;
      // Added columns take the kind's default, so rows written before read as a new row would.
      out.emplace_back("ALTER TABLE " + table.name + " ADD COLUMN " + column.name + " " +
                       ColumnType(column.kind, engine) + DefaultClause(column.kind));
    }
    for (const auto& retired : table.retiredIndexes) {
      if (retired.since > from && (!retired.onlyOn || *retired.onlyOn == engine)) {
        out.emplace_back("DROP INDEX IF EXISTS " + retired.name);
      }
    }
    for (const auto& retired : table.retiredTriggers) {
      if (retired.since <= from || engine != Engine::Postgres) continue;
      out.emplace_back("DROP TRIGGER IF EXISTS " + retired.name + " ON " + retired.table);
    }
    TableDef added = table;
    added.indexes.clear();
    for (const auto& index : table.indexes) {
      if (index.since > from) added.indexes.push_back(index);
    }
    for (const auto& index : CreateIndexStatements(added, engine)) add(index);
    if (table.trackedSince > from) {
      for (const auto& trigger : ChangeTrackStatements(table, engine)) add(trigger);
    } else if (retrack) {
      for (const auto& trigger : ChangeTrackStatements(table, engine)) add(trigger);
    }
    if (table.versionedSince > from) {
      for (const auto& trigger : RowVersionStatements(table, engine)) add(trigger);
    }
  }
  return out;
}

std::string NewerVersionRefusal(const std::map<std::string, std::string>& meta,
                                const std::vector<TableDef>& tables) {
  auto version = meta.find("version");
  const std::string stored = version == meta.end() ? "" : version->second;
  if (std::atoi(stored.c_str()) > std::atoi(std::string(kSchemaVersion).c_str())) {
    return "the database was written by a newer program (schema version " + stored +
           ", this program knows " + std::string(kSchemaVersion) + ")";
  }
  for (const auto& subsystem : Subsystems()) {
    auto found = meta.find(SubsystemVersionKey(subsystem));
    if (found == meta.end()) continue;
    const int from = std::atoi(found->second.c_str());
    const int current = CurrentVersion(subsystem, tables);
    if (from > current) {
      return "the " + subsystem.name + " tables were written by a newer program (version " +
             std::to_string(from) + ", this program knows " + std::to_string(current) + ")";
    }
  }
  return {};
}

namespace {

// One object the catalogue makes (a table, an index, a trigger) with its creating statements,
// named as the engine lists it.
struct CatalogueObject {
  std::string name;  // lower case
  std::vector<std::string> statements;
  const TableDef* table = nullptr;
  const IndexDef* index = nullptr;  // a unique index, whose stored rows must allow it
};

// The name a creating statement gives its object: the word after "TABLE", "INDEX" or "TRIGGER".
std::string CreatedName(const std::string& statement) {
  for (const char* head :
       {"CREATE TABLE ", "CREATE INDEX ", "CREATE UNIQUE INDEX ", "CREATE TRIGGER "}) {
    if (statement.rfind(head, 0) != 0) continue;
    size_t start = std::strlen(head);
    if (statement.compare(start, 14, "IF NOT EXISTS ") == 0) start += 14;
    return forms::FoldCase(statement.substr(start, statement.find(' ', start) - start));
  }
  return {};
}

std::vector<CatalogueObject> CatalogueObjects(const std::vector<TableDef>& tables, Engine engine) {
  std::vector<CatalogueObject> objects;
  for (const auto& table : tables) {
    std::vector<std::string> made = {CreateTableStatement(table, engine)};
    // A table kept from others' rows, made in a file that already holds them, starts from them.
    if (table.filledBy) {
      for (auto& fill : table.filledBy()) made.push_back(std::move(fill));
    }
    objects.push_back({CreatedName(made.front()), made, &table, nullptr});
    TableDef one = table;
    for (const auto& index : table.indexes) {
      one.indexes = {index};
      const std::vector<std::string> statements = CreateIndexStatements(one, engine);
      if (statements.empty()) continue;  // an index of the other engine
      const std::string& statement = statements.front();
      // The server's trigram indexes are made only where the database allows the extension.
      if (CreatedName(statement).empty()) continue;
      objects.push_back(
          {CreatedName(statement), {statement}, &table, index.unique ? &index : nullptr});
    }
  }
  // On the server a trigger comes with its function, made before it.
  auto addTriggers = [&](const std::vector<std::string>& statements, const TableDef* table) {
    std::vector<std::string> pending;
    for (const auto& statement : statements) {
      pending.push_back(statement);
      if (std::string name = CreatedName(statement); !name.empty()) {
        objects.push_back({name, pending, table, nullptr});
        pending.clear();
      }
    }
  };
  for (const auto& table : tables) {
    addTriggers(ChangeTrackStatements(table, engine), &table);
    if (table.maintainedBy) addTriggers(table.maintainedBy(engine), &table);
  }
  return objects;
}

// The names (lower case) of the tables, indexes and triggers the database holds.
std::set<std::string> ExistingObjects(Runner& runner, Engine engine, std::string& error) {
  Sql sql = engine == Engine::Postgres
                ? Sql("SELECT c.relname AS name FROM pg_catalog.pg_class c JOIN "
                      "pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = "
                      "current_schema() UNION ALL SELECT t.tgname FROM pg_catalog.pg_trigger t "
                      "JOIN pg_catalog.pg_class c ON c.oid = t.tgrelid JOIN "
                      "pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = "
                      "current_schema() AND NOT t.tgisinternal")
                : Sql("SELECT name FROM sqlite_master");
  std::set<std::string> names;
  auto rs = runner.Open(sql, &error);
  for (; error.empty() && !rs->Eof(); rs->MoveNext()) {
    names.insert(forms::FoldCase(rs->Field(0).ToText()));
  }
  return names;
}

// The stored rows that share the values of a unique index ("v1/v2 (n rows)"); empty when the
// index can be made.
std::string DuplicatesOf(IDatabase& db, const TableDef& table, const IndexDef& index) {
  std::string columns;
  for (const auto& column : index.columns) columns += (columns.empty() ? "" : ", ") + column;
  Sql sql("SELECT " + columns + ", count(*) FROM " + table.name +
          (index.where.empty() ? "" : " WHERE " + index.where) + " GROUP BY " + columns +
          " HAVING count(*) > 1 ORDER BY " + columns);
  std::string error;
  auto rs = Runner(db).Open(sql, &error);
  if (!error.empty()) return {};
  std::string listed;
  for (; !rs->Eof(); rs->MoveNext()) {
    if (!listed.empty()) listed += "；";
    for (size_t c = 0; c < index.columns.size(); ++c) {
      listed += (c ? "/" : "") + rs->Field(static_cast<int>(c)).ToText();
    }
    listed += "（" + rs->Field(static_cast<int>(index.columns.size())).ToText() + " 行）";
  }
  if (listed.empty()) return {};
  return "表 " + table.name + " 中 " + columns + " 有重复的数据，唯一索引 " + index.name +
         " 未能建立：" + listed + "。请修改重复的数据后重新打开，以免再存入重复的数据。";
}

}  // namespace

std::string UpgradeSchema(IDatabase& db, const std::vector<TableDef>& tables) {
  std::string notice;
  std::string error = UpgradeSchema(db, &notice, tables);
  // A caller that cannot tell the user of rows blocking a unique index must not go on silently.
  return error.empty() ? notice : error;
}

std::string UpgradeSchema(IDatabase& db, std::string* notice, const std::vector<TableDef>& tables) {
  if (notice) notice->clear();
  Runner runner(db);
  std::string error;
  auto meta = ReadMeta(runner, error);
  if (!meta) return "not a repair-shop database" + (error.empty() ? "" : ": " + error);
  if (std::string newer = NewerVersionRefusal(*meta, tables); !newer.empty()) return newer;
  struct Step {
    const Subsystem* subsystem;
    int from;
  };
  std::vector<Step> steps;
  for (const auto& subsystem : Subsystems()) {
    auto stored = meta->find(SubsystemVersionKey(subsystem));
    // Before per-subsystem versions every table was at version 1.
    int from = stored == meta->end() ? 1 : std::atoi(stored->second.c_str());
    if (from < CurrentVersion(subsystem, tables) || stored == meta->end()) {
      steps.push_back({&subsystem, from});
    }
  }
  // Whatever the version rows say, every object of the catalogue must be there: an object
  // added to a version after files of that version existed is made by no migration.
  const Engine engine = EngineOf(runner);
  const std::set<std::string> existing = ExistingObjects(runner, engine, error);
  if (!error.empty()) return error;
  std::vector<CatalogueObject> missing;
  for (auto& object : CatalogueObjects(tables, engine)) {
    if (!existing.count(object.name)) missing.push_back(std::move(object));
  }
  if (steps.empty() && missing.empty() && (*meta)["version"] == kSchemaVersion) return {};

  // Asked before the transaction: on the server a failed statement would end it.
  auto hasColumn = [&](const TableDef& table, const ColumnDef& column) {
    std::string absent;
    runner.Open(Sql("SELECT " + column.name + " FROM " + table.name + " WHERE 1=0"), &absent);
    return absent.empty();
  };
  std::vector<std::vector<Sql>> statements;
  for (const auto& step : steps) {
    statements.push_back(
        MigrationStatements(*step.subsystem, step.from, engine, tables, hasColumn));
  }

  std::map<std::string, const CatalogueObject*> uniqueIndexes;
  std::set<std::string> missingTables;
  for (const auto& object : missing) {
    if (object.index) uniqueIndexes[object.name] = &object;
    if (object.statements.front().rfind("CREATE TABLE ", 0) == 0) {
      missingTables.insert(forms::FoldCase(object.table->name));
    }
  }
  std::vector<std::string> blocked;
  Transaction transaction(db);
  // A unique index the stored rows break is left out and its duplicates listed for the user,
  // rather than failing the whole upgrade or leaving the index out unsaid.
  auto create = [&](const std::string& statement) {
    if (auto found = uniqueIndexes.find(CreatedName(statement)); found != uniqueIndexes.end()) {
      const CatalogueObject& object = *found->second;
      if (std::string rows = DuplicatesOf(db, *object.table, *object.index); !rows.empty()) {
        blocked.push_back(rows);
        return true;
      }
    }
    return transaction.Run(Sql(IfMissing(statement, engine)));
  };
  for (const auto& object : missing) {
    if (!object.table || !missingTables.count(forms::FoldCase(object.table->name))) continue;
    if (object.statements.front().rfind("CREATE TABLE ", 0) != 0) continue;
    if (!create(object.statements.front())) return transaction.Error();
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    const auto& step = steps[i];
    for (const auto& sql : statements[i]) {
      const std::string& text = sql.Statement();
      // A table made whole above already has the columns added since.
      bool madeWhole = false;
      for (const auto& table : missingTables) {
        madeWhole |= forms::FoldCase(text).rfind("alter table " + table + " ", 0) == 0;
      }
      if (madeWhole) continue;
      if (CreatedName(text).empty() ? !transaction.Run(sql) : !create(text)) {
        return transaction.Error();
      }
    }
    transaction.Run(SetMeta(SubsystemVersionKey(*step.subsystem),
                            std::to_string(CurrentVersion(*step.subsystem, tables))));
  }
  for (const auto& object : missing) {
    for (const auto& statement : object.statements) {
      if (!create(statement)) return transaction.Error();
    }
  }
  // On a server whose accounts are its logins, a table made here belongs to whoever upgraded
  // and no account's group may use it: a clerk's save, whose triggers write the summaries,
  // would be refused; and a trigger function made anew runs as its caller again, who may not
  // write the summary it keeps. The groups get their rights on the new tables, and the
  // summaries' functions run as the owner again.
  if (engine == Engine::Postgres) {
    transaction.Run(
        Sql("DO $$ BEGIN IF to_regproc('ws_server_install') IS NOT NULL THEN "
            "PERFORM ws_server_install(); END IF; END $$"));
  }
  transaction.Run(SetMeta("version", std::string(kSchemaVersion)));
  transaction.Run(ShopIdStatement());
  for (const auto& sql : MissingControlStatements()) transaction.Run(sql);
  if (!transaction.Commit()) return transaction.Error();
  std::string listed;
  for (const auto& rows : blocked) {
    if (listed.find(rows) == std::string::npos) listed += (listed.empty() ? "" : "\n") + rows;
  }
  if (notice) *notice = listed;
  return {};
}

}  // namespace ws::db
