// Versions of the tables, one per subsystem, and the forward migration that brings an older
// database to the layout of this build. A table, column or index carries the version of its
// subsystem that brought it in (`since` in the catalogue); the migration from version v adds
// what came after v: new tables with their indexes, new columns with their defaults, new
// indexes. Nothing is ever dropped or changed in place, so an older build's statements keep
// working on the upgraded file until it is opened by a newer build only.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/database.h"

namespace ws::db {

// The version of each subsystem this build writes, named here and nowhere else. A change to a
// subsystem's tables (a table, column, index, tracking or a retired index or trigger) comes in
// under a new version: raise the number here and give the change that `since`. A change under
// a version already written would never reach the shops at that version; the catalogue every
// version brought is pinned in tests/db/released_catalogue.txt, whose test says so.
inline constexpr int kModuleVersion = 19;
inline constexpr int kHostVersion = 18;
inline constexpr int kConfigVersion = 5;

// A group of tables that moves to a new version together: the module's documents and masters,
// the host tables, the host's configuration.
struct Subsystem {
  std::string name;
  std::vector<TableRole> roles;
  int version;  // this build's (kModuleVersion ...)
};

const std::vector<Subsystem>& Subsystems();
bool BelongsTo(const Subsystem& subsystem, const TableDef& table);
// The highest `since` among the subsystem's tables, columns, indexes and markers (1 when
// nothing was added since the first layout).
int HighestSince(const Subsystem& subsystem, const std::vector<TableDef>& tables = Tables());
// The version this build writes: the subsystem's named version, or a higher one that a
// catalogue given in place of this build's brings (a test's model of the next build).
int CurrentVersion(const Subsystem& subsystem, const std::vector<TableDef>& tables = Tables());
// The ws_meta key of a subsystem's version: "version:<name>".
std::string SubsystemVersionKey(const Subsystem& subsystem);

// The statements that bring the tables of a subsystem from version `from` to the current one.
// A column the file already holds (`hasColumn`, when given) is not added again.
std::vector<Sql> MigrationStatements(
    const Subsystem& subsystem, int from, Engine engine,
    const std::vector<TableDef>& tables = Tables(),
    const std::function<bool(const TableDef&, const ColumnDef&)>& hasColumn = {});

// Why a database whose ws_meta holds these rows cannot be used by this build: it was written by
// a newer one (its version, or one of its subsystems' versions, is higher than this build's).
// Empty when this build can read it, after an upgrade where it is older.
std::string NewerVersionRefusal(const std::map<std::string, std::string>& meta,
                                const std::vector<TableDef>& tables = Tables());

// Brings the database to the layout of this build, all subsystems in one transaction, and
// records the new versions. A file of ours from before the per-subsystem versions counts as
// version 1 everywhere. Answers the error text (nothing changed then), empty when the file is
// up to date; a file of a newer build, or no file of ours, is refused without a change.
// Whatever the version rows say, every table, index and trigger of the catalogue is made when
// missing. A unique index that stored rows break (two repair orders of one number) is left
// out and the rows are listed in *notice, for the user to set right; the rest is upgraded.
// Without a notice to fill, such a listing is answered as the error.
std::string UpgradeSchema(IDatabase& db, std::string* notice,
                          const std::vector<TableDef>& tables = Tables());
std::string UpgradeSchema(IDatabase& db, const std::vector<TableDef>& tables = Tables());

}  // namespace ws::db
