// The tests a requisition passes before it is checked or unchecked: the document's state as
// stored now (another user may have checked it since it was shown), then the stock period.
// Both run before the check step opens its transaction: the past-period question waits for a
// user, and a write transaction held open meanwhile would block every other user's save.
#pragma once

#include <cstdint>

#include "db/database.h"
#include "db/runner.h"
#include "host/system.h"
#include "requisition/period_gate.h"

namespace ws::requisition {

enum class CheckDirection { Check, UnCheck };

// The smark re-read: true exactly when the stored smark is the text "02". A document that no
// longer exists counts as not checked. A database failure throws std::runtime_error with the
// database's text, for the caller's error guard.
bool IsChecked(db::IDatabase& db, int64_t documentId);
// The stored smark; nullopt when the document no longer exists.
std::optional<std::string> StoredMark(db::Runner& runner, int64_t documentId);
// Told when Check or UnCheck finds the requisition deleted by another user.
inline constexpr const char* kDeletedText = "当前单据已被他人删除！";

// The refusal of a second check ("该单据已经被审核，不能再次审核！请刷新单据") or of a second
// uncheck; empty when the stored state allows the direction.
std::string StateRefusal(CheckDirection direction, bool storedChecked);

// The whole gate of Check and UnCheck: the stored state, then the period of the document as
// last displayed. Every refusal is a box titled "操作提示" with the information icon and answers
// false; the past-period question is the gate's (asked once per control life).
bool AdmitCheck(host::ISystem& system, PeriodGate& gate, int64_t documentId, int documentPeriod,
                CheckDirection direction);

}  // namespace ws::requisition
