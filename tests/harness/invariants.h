// What must hold in a shop database after anything at all happened to it - several users, a
// killed process, a failed disk write: no line without its document, one work-order number per
// order, an order's labour cost equal to its saved item lines and its parts cost to its checked
// requisitions, a checked requisition's stock
// movements equal to its lines, every settlement's voucher lines adding up to its fees and
// money. Tables nothing has written yet simply hold no rows and pass.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"

namespace ws::harness {

struct Violation {
  std::string rule;     // what must hold
  std::string example;  // one offending row, as the rule's query describes it
  long long count = 0;  // how many rows break it
};

struct InvariantReport {
  std::vector<Violation> violations;
  // A query that could not run: the database itself is in doubt.
  std::string error;
  bool Ok() const { return violations.empty() && error.empty(); }
  // One line per violation (or the error); "ok" when nothing is wrong.
  std::string Describe() const;
};

InvariantReport CheckInvariants(db::IDatabase& db);

}  // namespace ws::harness
