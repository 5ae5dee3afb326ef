// The record navigator's id counters (ws_id: lower-case table name, key column, last id issued)
// after rows were written without asking it for ids: a load moves each counter up to the
// highest key of its table, so GetNewID continues above everything loaded.
#pragma once

#include <cstdint>
#include <string>

#include "db/sql.h"

namespace ws::shop {

// The ids a counter can go on from. GetNewID issues the highest key + 1, so a key at the top
// of the 64-bit range leaves no next id (the engine turns the sum into a real and the id into
// 0), and the module carries ids through doubles, which hold whole numbers exactly only up to
// 2^53. Loaded keys stay at or below this bound, leaving room for eight times as many new ids.
inline constexpr int64_t kMaxLoadedId = 1'000'000'000'000'000;

// Why a key cannot be loaded into a table with an id counter; empty when it can.
std::string CheckLoadedId(int64_t id);

// The statement that raises (never lowers) the counter of table.keyColumn to MAX(keyColumn).
// Table and key are catalogue names.
db::Sql AdvanceIdCounterStatement(const std::string& table, const std::string& keyColumn);

}  // namespace ws::shop
