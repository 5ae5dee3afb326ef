// Copies of a whole shop database, taken and put back while others keep working.
//
// SQLite: the engine's online backup copies a consistent snapshot page by page (readers and
// writers under WAL go on meanwhile), into a temporary file beside OUT that is renamed into
// place when complete, so a failed run leaves no half copy. Restoring copies the backup into
// the live database in one write, which other connections see all at once or not at all; a
// user holding the database longer than the busy timeout makes the restore stop with the
// shop's busy message, changing nothing.
//
// PostgreSQL: pg_dump writes the database as one repeatable-read snapshot (custom format);
// pg_restore puts it back in a single transaction, replacing the objects it holds.
#pragma once

#include <string>

namespace ws::shop {

// Writes a copy of the shop database name (a file or a postgresql:// URL) to the file out.
// Refuses an existing out unless replace is set. Answers the error text, empty on success.
std::string BackupShop(const std::string& name, const std::string& out, bool replace);

// Replaces the content of the shop database name by the backup in. The backup must hold a
// shop of ours; a file name that does not exist yet is created. Answers the error text, empty
// on success.
std::string RestoreShop(const std::string& name, const std::string& in);

}  // namespace ws::shop
