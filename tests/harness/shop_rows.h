// Rows a demo shop lacks for some measurements and plan checks: a checked repair order of many
// part lines and an entered material requisition issuing every one of them from the first
// depot with stock, in the current stock period. (The demo's own history of requisitions,
// settlements and receipts comes with `ws demo`.)
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"

namespace ws::harness {

// Writes the order and the requisition (ids above every id there; the host's counters jump
// past them) in one transaction. Answers the requisition's id, or 0 with the error text in
// *error.
int64_t AddRequisitionOfOrder(db::IDatabase& db, int lines, const std::string& user,
                              std::string* error);

}  // namespace ws::harness
