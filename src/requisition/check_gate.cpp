#include "requisition/check_gate.h"

#include <stdexcept>
#include <string>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::requisition {

std::optional<std::string> StoredMark(db::Runner& runner, int64_t documentId) {
  std::string error;
  auto row = runner.Open(db::Sql(" SELECT smark FROM jxcdj WHERE 单据ID=").Key(documentId), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (row->Eof()) return std::nullopt;
  return row->Text("smark");
}

bool IsChecked(db::IDatabase& db, int64_t documentId) {
  db::Runner runner(db);
  return StoredMark(runner, documentId) == "02";
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
  db::Runner runner(system.GetDatabase());
  auto mark = StoredMark(runner, documentId);
  std::string refusal = mark ? StateRefusal(direction, *mark == "02") : kDeletedText;
  if (!refusal.empty()) {
    system.Dialogs().MessageBox(refusal, kGateTitle, host::MsgButtons::Ok,
                                host::MsgIcon::Information);
    return false;
  }
  return gate.Admit(documentPeriod, PeriodUse::Posting, system.Dialogs());
}

}  // namespace ws::requisition
