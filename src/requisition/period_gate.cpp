#include "requisition/period_gate.h"

#include "db/value.h"

namespace ws::requisition {

namespace {

int OptionNumber(const std::string& text) {
  return static_cast<int>(db::NumericValue(text));
}

std::string Bracketed(int period) {
  return "[" + std::to_string(period) + "]";
}

}  // namespace

int DocumentPeriod(host::ISystem& system, const db::Date& date) {
  return db::PeriodOfDate(date, OptionNumber(system.GetParameter(12, 3)));
}

db::Sql& AppendPeriodWindow(db::Sql& condition, int currentPeriod, int months) {
  return condition.Raw(" and 会计期间<=")
      .Key(currentPeriod)
      .Raw(" and 会计期间>=")
      .Key(db::StepPeriodBack(currentPeriod, months));
}

PeriodGate PeriodGate::FromSystem(host::ISystem& system) {
  return PeriodGate(OptionNumber(system.GetParameter(12, 1)),
                    OptionNumber(system.GetOption(12, std::string("Jzperiod"))));
}

PeriodVerdict PeriodGate::Judge(int period) const {
  // The future test comes first: a period both after S and at or before K (a host that closed
  // beyond its current period) is answered as the future one.
  if (period > current_) return PeriodVerdict::Future;
  if (period <= closed_) return PeriodVerdict::Closed;
  if (period < current_ && !pastAccepted_) return PeriodVerdict::Past;
  return PeriodVerdict::Open;
}

std::string PeriodGate::Message(PeriodVerdict verdict, int period, PeriodUse use) const {
  const std::string p = Bracketed(period);
  const std::string s = Bracketed(current_);
  const bool save = use == PeriodUse::Save;
  switch (verdict) {
    case PeriodVerdict::Open:
      return {};
    case PeriodVerdict::Future:
      return save ? "当前操作日期所在的会计期间为" + p + ",大于当前仓库会计期间" + s +
                        ",不能进行保存，请检查！"
                  : "单据操作日期所属会计期间为" + p + ",大于当前仓库会计期间" + s +
                        ",不能进行采购入库，请检查！";
    case PeriodVerdict::Closed:
      return "当前操作日期所在的会计期间为" + p + "该会计期间已经进行仓库结帐，不能进行" +
             (save ? "保存" : "采购入库") + "，请检查！";
    case PeriodVerdict::Past:
      return "当前操作日期所在的会计期间为" + p + ",而当前仓库的会计期间为" + s +
             ",确认对会计期间" + p + (save ? "的仓库总帐进行变更？？" : "的采购入库？？");
  }
  return {};
}

bool PeriodGate::Admit(int period, PeriodUse use, host::IDialogs& dialogs) {
  PeriodVerdict verdict = Judge(period);
  if (verdict == PeriodVerdict::Open) return true;
  std::string text = Message(verdict, period, use);
  if (verdict != PeriodVerdict::Past) {
    dialogs.MessageBox(text, kGateTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (dialogs.MessageBox(text, kGateTitle, host::MsgButtons::YesNo, host::MsgIcon::Information) !=
      host::MsgAnswer::Yes) {
    return false;
  }
  pastAccepted_ = true;
  return true;
}

}  // namespace ws::requisition
