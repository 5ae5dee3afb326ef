// The last-service summary: for every vehicle and repair item, the vehicle's last repair order
// (arrival day, then order id; an order without a day counts before any with one) that has a
// line of the item, whatever the order's status. The services-due list then reads the few
// thousand rows of its interval items instead of joining every line of those items to its order,
// which at a million orders is hundreds of thousands of lines.
//
// Every item has its rows, not only those that carry an interval today: an interval set or
// cleared on the item card then needs no upkeep of the summary, and the list picks the items it
// wants when it reads.
//
// Triggers keep the summary true whatever writes the rows. A line added, or an order added or
// moved to a later day, can only make its order the last one, which the row takes when it is
// later than what it holds. A line taken away or moved, or an order deleted, moved to an earlier
// day or to another vehicle, takes the order out of the rows that name it; those rows are found
// anew from the vehicle's visits newest first (the visits index), stopping at the first visit
// with a line of the item.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/sql.h"

namespace ws::db {

inline constexpr std::string_view kLastServiceTable = "ws_last_service";

// The table's description (module subsystem, from `since` on).
TableDef LastServiceTable(int since);
// The statements that make the triggers (on PostgreSQL with their functions first).
std::vector<std::string> LastServiceTriggers(Engine engine);
// The statements that rebuild the summary from the stored orders; run when the table is made in
// a file that already holds orders.
std::vector<std::string> LastServiceFill();

// The rows of the items, their columns in this order: vehicle, item, order and the order's day
// as the order stores it, then the vehicle's span of readings (ws_vehicle_span: first and last
// day, least and most kilometres; null without one). With `since` (yyyy-mm-dd) only the rows of
// visits on or after it.
Sql LastServiceSelect(std::span<const int64_t> items, const std::string& since = {});
// The rows of `items` dated before `before` (yyyy-mm-dd) whose vehicle has no row of `others`
// on the same visit or a later one; the columns as above.
Sql LastServiceSelectLatest(std::span<const int64_t> items, std::span<const int64_t> others,
                            const std::string& before);
inline constexpr int kLastServiceVehicle = 0;
inline constexpr int kLastServiceItem = 1;
inline constexpr int kLastServiceOrder = 2;
inline constexpr int kLastServiceDate = 3;
inline constexpr int kLastServiceFirstReading = 4;
inline constexpr int kLastServiceLastReading = 5;
inline constexpr int kLastServiceLeastKm = 6;
inline constexpr int kLastServiceMostKm = 7;

// A PL/pgSQL statement that waits for the vehicle's turn (an expression of the trigger's row),
// held to the end of the transaction: the triggers that set a vehicle's summaries anew from its
// orders take it so that two saves of one vehicle's orders follow one another.
std::string VehicleTurnStatement(const std::string& vehicle);

}  // namespace ws::db
