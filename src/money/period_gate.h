// The accounting-period gate of the money documents. A settlement or receipt may be checked,
// unchecked or saved only in an open period: not after the current general-ledger period, not in
// a period already closed; an earlier open period needs the user's word once per control life.
// Check and uncheck also refuse to repeat themselves, which keeps a receipt's additions to its
// repair orders and its subtractions in step.
#pragma once

#include <cstdint>
#include <string>

#include "db/date.h"
#include "host/system.h"

namespace ws::money {

enum class GateOperation { Check, UnCheck, Save };

struct GateVerdict {
  enum Kind {
    Pass,     // go on
    Refuse,   // show `message` and stop
    Confirm,  // ask `message` (Yes/No); Yes goes on and is remembered
  };
  Kind kind = Pass;
  std::string message;
  int64_t period = 0;  // the document's period
};

class PeriodGate {
 public:
  // Title and icon of every box the gate shows.
  static constexpr const char* kTitle = "操作提示";

  // Reads the current general-ledger period (parameter 1 of module 12) and the last closed
  // period (option "Jzperiod"), as a document control does once at Init. The system object
  // must outlive the gate.
  explicit PeriodGate(host::ISystem& system);

  int64_t CurrentPeriod() const { return current_; }
  int64_t ClosedPeriod() const { return closed_; }

  // The period of a document date under the closing day the host holds now (parameter 3 of
  // module 12): a day after it belongs to the next month, December to January.
  int64_t PeriodOf(const db::Date& date) const;

  // The verdict on a document dated `date` whose mark is checked (`documentChecked`; ignored
  // for Save). Pure: asks nothing and remembers nothing.
  GateVerdict Judge(GateOperation operation, bool documentChecked, const db::Date& date) const;

  // The whole gate as the documents run it: reads the mark of ARPReceive row `documentId`
  // (check and uncheck only), judges, shows a refusal or asks the question through the host's
  // dialogs. True when the operation may go on. Throws std::runtime_error when the mark
  // cannot be read.
  bool Pass(GateOperation operation, int64_t documentId, const db::Date& date);

  // Whether the user already accepted working in an earlier period; shared by save and check.
  bool Confirmed() const { return confirmed_; }

 private:
  host::ISystem& system_;
  int64_t current_ = 0;
  int64_t closed_ = 0;
  bool confirmed_ = false;
};

}  // namespace ws::money
