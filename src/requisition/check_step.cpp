#include "requisition/check_step.h"

#include <stdexcept>

#include "db/runner.h"

namespace ws::requisition {

bool RunCheckStep(host::ISystem& system, framework::PeriodGate& gate, const RequisitionKeys& keys,
                  int documentPeriod, CheckDirection direction, const std::string& title,
                  const db::AuditEvent* audit) {
  if (!gate.AdmitPosting(system, GateUseOf(direction), keys.documentId, documentPeriod)) {
    return false;
  }

  host::IDialogs& dialogs = system.Dialogs();
  host::LoginInfo login = system.GetLoginInfo();
  db::Transaction tx(system.GetDatabase());
  if (tx.Failed()) throw std::runtime_error(tx.Error());
  if (direction == CheckDirection::Check) {
    // The posting numbers its ledger rows from the ledger's maximum, read by its INSERT. On a
    // server two checks could read the same maximum side by side and the second would be
    // refused by the ledger's key. Holding the ledger's id counter first keeps it until this
    // transaction ends, so checks post one after the other.
    std::string error = system.CreateNavigator()->HoldCounter("jxcgoodslist", "autoid");
    if (!error.empty()) throw std::runtime_error(error);
  }

  StepOutcome outcome =
      direction == CheckDirection::Check ? AppendCheck(tx, keys) : AppendUnCheck(tx, keys);
  if (!outcome.Ok()) {
    dialogs.MessageBox(outcome.error, title, host::MsgButtons::Ok, host::MsgIcon::None);
    dialogs.MessageBox(outcome.failureTag + outcome.error, title, host::MsgButtons::Ok,
                       host::MsgIcon::None);
    return false;
  }

  outcome = AppendStatusChange(tx, keys, direction, login.userName, login.loginDate);
  if (!outcome.Ok()) {
    if (!outcome.refused) throw std::runtime_error(outcome.error);
    dialogs.MessageBox(outcome.error, framework::kGateTitle, host::MsgButtons::Ok,
                       host::MsgIcon::Information);
    return false;
  }
  if (audit && !db::AppendAudit(tx, *audit, {login.userName, login.frontEnd})) {
    throw std::runtime_error(tx.Error());
  }
  if (!tx.Commit()) throw std::runtime_error(tx.Error());
  return true;
}

}  // namespace ws::requisition
