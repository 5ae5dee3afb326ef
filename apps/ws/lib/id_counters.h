// The record navigator's id counters (ws_id: lower-case table name, key column, last id issued)
// after rows were written without asking it for ids: a load moves each counter up to the
// highest key of its table, so GetNewID continues above everything loaded.
#pragma once

#include <string>

#include "db/sql.h"

namespace ws::cli {

// The statement that raises (never lowers) the counter of table.keyColumn to MAX(keyColumn).
// Table and key are catalogue names.
db::Sql AdvanceIdCounterStatement(const std::string& table, const std::string& keyColumn);

}  // namespace ws::cli
