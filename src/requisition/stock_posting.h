// What checking and unchecking a material requisition writes: its lines into the stock
// movement ledger JxcGoodsList, and the total of the repair order's checked requisitions into
// that order's parts cost (WSDJ.配件费用). The statements run inside the caller's transaction,
// so the posting, the roll-up and the host's status columns commit or roll back together.
//
// Ledger numbering: each line gets the ledger's current maximum AutoID (100 when the ledger is
// empty) plus its 1-based position among the document's lines by 单据明细ID. The maximum is
// read by the INSERT itself, inside the write transaction: on SQLite the transaction holds the
// database's write lock from its start (BEGIN IMMEDIATE), so no other user's posting can read
// the same maximum before this one commits; on an engine that lets two writers read it at once
// the ledger's primary key on autoid refuses the second INSERT, and that check rolls back
// instead of duplicating a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/date.h"
#include "db/runner.h"
#include "db/sql.h"
#include "framework/step_outcome.h"
#include "requisition/check_gate.h"

namespace ws::requisition {

// The keys the posting needs, as the shown requisition holds them.
struct RequisitionKeys {
  int64_t programNumber = 0;  // the requisition control's program number
  int64_t documentId = 0;     // JXCDJ.单据ID
  int64_t sourceProgram = 0;  // 前置单据: the repair order's program number (header field 7 key)
  int64_t sourceId = 0;       // 前置单据ID: the repair order's 单据ID (header field 6 key)
};

// --- The statements.
// Removes the document's ledger rows, so that posting again never duplicates them.
db::Sql LedgerDelete(int64_t programNumber, int64_t documentId);
// One ledger row per line of the document, numbered as above; the AutoID expression is the
// dialect's ("jet": iif/isnull, others: two-argument isnull).
db::Sql LedgerInsert(int64_t programNumber, int64_t documentId, std::string_view driver);
// The parts cost of the repair order after the check or uncheck: every requisition of the
// order stored as checked, counting the one being checked and leaving out the one being
// unchecked, whenever the host writes its smark within the step.
db::Sql CheckedTotalSelect(const RequisitionKeys& keys, CheckDirection direction);
db::Sql PartsCostUpdate(int64_t sourceProgram, int64_t sourceId, const db::Amount& total);
// The host's status columns: checking writes smark "02", the checker and the date and only
// touches a document not yet checked; unchecking writes smark "01" (the checker and date stay)
// and only touches a checked one. A status already changed by another user changes no row.
db::Sql StatusUpdate(int64_t documentId, CheckDirection direction, const std::string& user,
                     const db::Date& date, std::string_view driver);

// A step's outcome: failureTag "JRGoodsList::" (posting), "JRARPList::" (roll-up at check),
// "UnCheck::" (roll-up at uncheck); refused with the gate's text when the status had already
// been changed by another user.
using framework::StepOutcome;

// The control's part of checking: the ledger rows (delete, insert), then the roll-up.
StepOutcome AppendCheck(db::Transaction& tx, const RequisitionKeys& keys);
// The control's part of unchecking: the roll-up only; the ledger rows stay.
StepOutcome AppendUnCheck(db::Transaction& tx, const RequisitionKeys& keys);
// The host's part: the status columns of the login user and date; at uncheck the document's
// ledger rows go too, so the stock ledger holds checked documents only. Fails with the state
// refusal text when another user changed the status since the gate read it.
StepOutcome AppendStatusChange(db::Transaction& tx, const RequisitionKeys& keys,
                               CheckDirection direction, const std::string& user,
                               const db::Date& date);

}  // namespace ws::requisition
