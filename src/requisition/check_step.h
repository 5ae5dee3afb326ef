// The whole check (or uncheck) of a shown requisition as one unit of work: the gate first,
// outside any transaction; then one transaction holding the control's posting and roll-up and
// the host's status columns, committed together or rolled back together.
#pragma once

#include <string>

#include "db/audit_trail.h"
#include "framework/period_gate.h"
#include "host/system.h"
#include "requisition/stock_posting.h"

namespace ws::requisition {

// Answers true when the step was committed. A refusal of the gate answers false with its box
// shown and nothing written. A failed posting or roll-up rolls everything back and shows two
// boxes titled `title` (OK button): the database's text, then the step's tag followed by that
// text ("JRGoodsList::...", "JRARPList::...", "UnCheck::..."); a status changed meanwhile by
// another user rolls back with the gate's refusal box. A database failure outside those steps
// (the smark re-read, begin, the status statement, commit) throws std::runtime_error with the
// database's text, for the caller's error guard ("Check::"). The audit event, when given, is
// appended in the step's transaction under the login's account.
bool RunCheckStep(host::ISystem& system, framework::PeriodGate& gate, const RequisitionKeys& keys,
                  int documentPeriod, CheckDirection direction, const std::string& title,
                  const db::AuditEvent* audit = nullptr);

}  // namespace ws::requisition
