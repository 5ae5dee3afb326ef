// The requisition's stored state: its mark as stored now (another user may have checked it since
// it was shown). The period gate (framework::PeriodGate over kStockPeriod) re-reads it before
// a check; the posting again inside its transaction.
#pragma once

#include <cstdint>

#include "db/database.h"
#include "db/runner.h"
#include "framework/period_gate.h"
#include "host/system.h"

namespace ws::requisition {

enum class CheckDirection { Check, UnCheck };

// The smark re-read: true exactly when the stored smark is the text "02". A document that no
// longer exists counts as not checked. A database failure throws std::runtime_error with the
// database's text, for the caller's error guard.
bool IsChecked(db::IDatabase& db, int64_t documentId);
// The stored smark; nullopt when the document no longer exists.
std::optional<std::string> StoredMark(db::Runner& runner, int64_t documentId);
// Told when Check or UnCheck finds the requisition deleted by another user.
inline constexpr const char* kDeletedText = framework::kStockPeriod.deletedText;

inline framework::GateUse GateUseOf(CheckDirection direction) {
  return direction == CheckDirection::Check ? framework::GateUse::Check
                                            : framework::GateUse::UnCheck;
}

}  // namespace ws::requisition
