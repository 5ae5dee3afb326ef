#include "money/period_gate.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"

namespace ws::money {

namespace {

int64_t NumberOf(const std::string& text) {
  return static_cast<int64_t>(db::NumericValue(text));
}

std::string Bracketed(int64_t period) {
  return "[" + std::to_string(period) + "]";
}

}  // namespace

PeriodGate::PeriodGate(host::ISystem& system)
    : system_(system),
      current_(NumberOf(system.GetParameter(12, 1))),
      closed_(NumberOf(system.GetOption(12, std::string("Jzperiod")))) {}

int64_t PeriodGate::PeriodOf(const db::Date& date) const {
  int closingDay = static_cast<int>(NumberOf(system_.GetParameter(12, 3)));
  return db::PeriodOfDate(date, closingDay);
}

GateVerdict PeriodGate::Judge(GateOperation operation, bool documentChecked,
                              const db::Date& date) const {
  const bool saving = operation == GateOperation::Save;
  if (operation == GateOperation::Check && documentChecked) {
    return {GateVerdict::Refuse, "该单据已经被审核，不能再次审核！请刷新单据", 0};
  }
  if (operation == GateOperation::UnCheck && !documentChecked) {
    return {GateVerdict::Refuse, "该单据已经被取消审核，不能再次取消！请刷新单据", 0};
  }
  const int64_t period = PeriodOf(date);
  const std::string p = Bracketed(period);
  const std::string c = Bracketed(current_);
  if (period > current_) {
    return {GateVerdict::Refuse,
            saving ? "当前操作日期所在的会计期间为" + p + ",大于当前结帐会计期间" + c +
                         ",不能进行保存，请检查！"
                   : "单据操作日期所属会计期间为" + p + ",大于当前总帐会计期间" + c +
                         ",不能进行结算操作，请检查！",
            period};
  }
  if (period <= closed_) {
    return {GateVerdict::Refuse,
            "当前操作日期所在的会计期间为" + p + "该会计期间已经进行结帐，" +
                (saving ? "不能进行保存，请检查！" : "不能进行结算操作，请检查！"),
            period};
  }
  if (period < current_ && !confirmed_) {
    return {GateVerdict::Confirm,
            "当前操作日期所在的会计期间为" + p + ",而当前总帐的会计期间为" + c + ",确认对会计期间" +
                p + (saving ? "的总帐进行变更？？" : "的结算操作？？"),
            period};
  }
  return {GateVerdict::Pass, "", period};
}

bool PeriodGate::Pass(GateOperation operation, int64_t documentId, const db::Date& date) {
  bool checked = false;
  if (operation != GateOperation::Save) {
    std::string error;
    std::string mark =
        db::Runner(system_.GetDatabase())
            .ScalarText(db::Sql(" SELECT smark FROM arpreceive WHERE 单据ID=").Key(documentId),
                        &error);
    if (!error.empty()) throw std::runtime_error(error);
    checked = mark == "02";
  }
  GateVerdict verdict = Judge(operation, checked, date);
  host::IDialogs& dialogs = system_.Dialogs();
  switch (verdict.kind) {
    case GateVerdict::Pass:
      return true;
    case GateVerdict::Refuse:
      dialogs.MessageBox(verdict.message, kTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
      return false;
    case GateVerdict::Confirm:
      if (dialogs.MessageBox(verdict.message, kTitle, host::MsgButtons::YesNo,
                             host::MsgIcon::Information) != host::MsgAnswer::Yes) {
        return false;
      }
      confirmed_ = true;
      return true;
  }
  return false;
}

}  // namespace ws::money
