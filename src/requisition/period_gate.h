// Stock periods of the material requisition: the period of a document date, the list window
// that a browse reaches back over, and the gate that refuses saving or checking in a future or
// closed stock period and asks once per control life before changing a past one.
#pragma once

#include <cstdint>
#include <string>

#include "db/date.h"
#include "db/sql.h"
#include "host/dialogs.h"
#include "host/system.h"

namespace ws::requisition {

// Period (yyyymm) of a document date with the host's closing day (parameter 3 of module 12),
// read afresh on every call: the host may move the closing day while the control is open.
int DocumentPeriod(host::ISystem& system, const db::Date& date);

// Appends the period window that follows "progid=N" when no particular document was
// requested: " and 会计期间<=S and 会计期间>=<S stepped back by months>". It appends to the
// caller's condition so the periods stay values of that one statement.
db::Sql& AppendPeriodWindow(db::Sql& condition, int currentPeriod, int months);

// What a stock period allows, judged against the current stock period S and the last closed
// period K.
enum class PeriodVerdict {
  Open,    // P == S, or the past period was already accepted
  Future,  // P > S: refused
  Closed,  // P <= K: refused
  Past,    // K < P < S: allowed after the user confirms
};

// Whose texts the gate speaks: saving a requisition, or checking/unchecking it (the stock
// posting).
enum class PeriodUse { Save, Posting };

// The stock-period gate of one requisition control. It keeps S and K as read at Init and the
// past-period consent: once the user accepted changing a past period, neither save nor check
// asks again while the control lives.
class PeriodGate {
 public:
  PeriodGate() = default;
  PeriodGate(int currentPeriod, int closedPeriod)
      : current_(currentPeriod), closed_(closedPeriod) {}
  // S from parameter 1 and K from option "Jzperiod", both of module 12 (empty reads as 0).
  static PeriodGate FromSystem(host::ISystem& system);

  PeriodVerdict Judge(int period) const;
  // The box text of a refusal or of the past-period question; empty for Open.
  std::string Message(PeriodVerdict verdict, int period, PeriodUse use) const;
  // The whole test: a refusal shows its box ("操作提示", information icon) and answers false;
  // a past period not yet accepted asks Yes/No, and Yes is remembered for the control's life.
  bool Admit(int period, PeriodUse use, host::IDialogs& dialogs);

  int CurrentPeriod() const { return current_; }
  int ClosedPeriod() const { return closed_; }
  bool PastPeriodAccepted() const { return pastAccepted_; }

 private:
  int current_ = 0;
  int closed_ = 0;
  bool pastAccepted_ = false;
};

// Title of every box of the period and status tests.
inline constexpr const char* kGateTitle = "操作提示";

}  // namespace ws::requisition
