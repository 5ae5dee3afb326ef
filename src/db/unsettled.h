// The checked repair orders no settlement names yet, kept by the database beside the orders.
// The counter's start page lists the oldest of them; reading them from the orders meant an
// anti-join over every checked order of the shop's history (nearly all settled long ago) to
// find the few still waiting, on every start. Here they are a table of their own, in the list's
// order, so the list reads the rows it shows.
//
// Triggers keep it true whatever writes the rows: an order that is checked and named by no
// settlement row (ARPReceive.前置单据ID, whatever the document's program or state, the
// settlement chooser's own rule) is in it, with its arrival day and number as the order holds
// them; a settlement added, moved or removed, or an order changed or removed, puts the orders it
// names in or out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/catalogue.h"

namespace ws::db {

inline constexpr std::string_view kUnsettledTable = "ws_unsettled";

// The table's description (module subsystem, from `since` on).
TableDef UnsettledTable(int since);
// The statements that make the triggers (on PostgreSQL with their functions first).
std::vector<std::string> UnsettledTriggers(Engine engine);
// The statements that rebuild the table from the stored orders and settlements.
std::vector<std::string> UnsettledFill();

}  // namespace ws::db
