// Rows a demo shop lacks for some measurements and plan checks: a checked repair order of many
// part lines and an entered material requisition issuing every one of them from the first
// depot with stock, in the current stock period.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"

namespace ws::harness {

// The posted history of a shop that has worked for years: for nine of every ten checked repair
// orders a checked requisition issuing its part lines (JXCDJ, JXCDJMX) with their stock-ledger
// rows (JxcGoodsList), and a checked settlement (ARPReceive) with its ten ledger rows
// (gl_accvouch). The tenth order is left open for a requisition or settlement to come. Rows
// are written set-wise in one transaction, for a demo shop that has none of them yet, and the
// planner's statistics are taken again. Answers the error text, empty on success.
std::string AddPostedHistory(db::IDatabase& db);

// Writes the order and the requisition (ids above every id there; the host's counters jump
// past them) in one transaction. Answers the requisition's id, or 0 with the error text in
// *error.
int64_t AddRequisitionOfOrder(db::IDatabase& db, int lines, const std::string& user,
                              std::string* error);

}  // namespace ws::harness
