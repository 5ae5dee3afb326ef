// The vehicle-span summary: for every vehicle, the first and last day and the least and most
// odometer reading among its repair orders that carry a reading (kilometres above zero),
// whatever the orders' status. The services-due list takes a vehicle's average daily distance
// from these four, (most - least) / (last - first), which it would otherwise gather from the
// vehicle's orders for every vehicle it might list: at a million orders tens of thousands.
//
// The four are minimums and maximums, which a deleted or edited order cannot be taken out of:
// a write that takes a reading away (or may: a delete, a change of day, reading or vehicle)
// sets its vehicle's row anew from the vehicle's orders along the visits index, a few dozen
// entries at most; on the server a reading added is merged into the row. A vehicle with no
// order that carries a reading has no row.
#pragma once

#include <string>
#include <vector>

#include "db/catalogue.h"

namespace ws::db {

inline constexpr std::string_view kVehicleSpanTable = "ws_vehicle_span";

// The table's description (module subsystem, from `since` on).
TableDef VehicleSpanTable(int since);
// The statements that make the triggers (on PostgreSQL with their function first).
std::vector<std::string> VehicleSpanTriggers(Engine engine);
// The statements that rebuild the summary from the stored orders.
std::vector<std::string> VehicleSpanFill();

}  // namespace ws::db
