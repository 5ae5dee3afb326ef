#include "requisition/check_gate.h"

#include <stdexcept>
#include <string>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::requisition {

bool IsChecked(db::IDatabase& db, int64_t documentId) {
  std::string error;
  std::string smark = db::Runner(db).ScalarText(
      db::Sql(" SELECT smark FROM jxcdj WHERE 单据ID=").Key(documentId), &error);
  if (!error.empty()) throw std::runtime_error(error);
  return smark == "02";
}

std::string StateRefusal(CheckDirection direction, bool storedChecked) {
  if (direction == CheckDirection::Check && storedChecked) {
    return "该单据已经被审核，不能再次审核！请刷新单据";
  }
  if (direction == CheckDirection::UnCheck && !storedChecked) {
    return "该单据已经被取消审核，不能再次取消！请刷新单据";
  }
  return {};
}

bool AdmitCheck(host::ISystem& system, PeriodGate& gate, int64_t documentId, int documentPeriod,
                CheckDirection direction) {
  std::string refusal = StateRefusal(direction, IsChecked(system.GetDatabase(), documentId));
  if (!refusal.empty()) {
    system.Dialogs().MessageBox(refusal, kGateTitle, host::MsgButtons::Ok,
                                host::MsgIcon::Information);
    return false;
  }
  return gate.Admit(documentPeriod, PeriodUse::Posting, system.Dialogs());
}

}  // namespace ws::requisition
