#include "framework/period_gate.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"

namespace ws::framework {

namespace {

int64_t NumberOf(const std::string& text) {
  return static_cast<int64_t>(db::NumericValue(text));
}

std::string Bracketed(int64_t period) {
  return "[" + std::to_string(period) + "]";
}

}  // namespace

PeriodGate PeriodGate::FromSystem(const PeriodWords& words, host::ISystem& system) {
  return PeriodGate(words, NumberOf(system.GetParameter(12, 1)),
                    NumberOf(system.GetOption(12, std::string("Jzperiod"))));
}

int64_t PeriodGate::PeriodOf(host::ISystem& system, const db::Date& date) {
  return db::PeriodOfDate(date, static_cast<int>(NumberOf(system.GetParameter(12, 3))));
}

void PeriodGate::ReadAheadPeriodOf(host::ISystem& system) {
  system.ReadAheadParameter(12, 3);
}

std::string PeriodGate::StateRefusal(GateUse use, bool storedChecked) {
  if (use == GateUse::Check && storedChecked) return "该单据已经被审核，不能再次审核！请刷新单据";
  if (use == GateUse::UnCheck && !storedChecked) {
    return "该单据已经被取消审核，不能再次取消！请刷新单据";
  }
  return {};
}

GateVerdict PeriodGate::Judge(GateUse use, int64_t period) const {
  const std::string p = Bracketed(period);
  const std::string c = Bracketed(current_);
  const bool saving = use == GateUse::Save;
  const std::string action = saving ? "保存" : words_->posting;
  if (period > current_) {
    return {GateVerdict::Refuse,
            (saving ? "当前操作日期所在的会计期间为" + p + ",大于当前" + words_->saveBook
                    : "单据操作日期所属会计期间为" + p + ",大于当前" + words_->book) +
                "会计期间" + c + ",不能进行" + action + "，请检查！"};
  }
  if (period <= closed_) {
    return {GateVerdict::Refuse, "当前操作日期所在的会计期间为" + p + "该会计期间已经进行" +
                                     words_->closedBook + "，不能进行" + action + "，请检查！"};
  }
  if (period < current_ && !pastAccepted_) {
    return {GateVerdict::Confirm,
            "当前操作日期所在的会计期间为" + p + ",而当前" + words_->book + "的会计期间为" + c +
                ",确认对会计期间" + p + "的" +
                (saving ? std::string(words_->changedBook) + "进行变更" : action) + "？？"};
  }
  return {};
}

bool PeriodGate::Admit(GateUse use, int64_t period, host::IDialogs& dialogs) {
  GateVerdict verdict = Judge(use, period);
  switch (verdict.kind) {
    case GateVerdict::Pass:
      return true;
    case GateVerdict::Refuse:
      dialogs.MessageBox(verdict.message, kGateTitle, host::MsgButtons::Ok,
                         host::MsgIcon::Information);
      return false;
    case GateVerdict::Confirm:
      if (dialogs.MessageBox(verdict.message, kGateTitle, host::MsgButtons::YesNo,
                             host::MsgIcon::Information) != host::MsgAnswer::Yes) {
        return false;
      }
      pastAccepted_ = true;
      return true;
  }
  return false;
}

bool PeriodGate::AdmitsNew(int64_t period, host::IDialogs& dialogs) const {
  GateVerdict verdict = Judge(GateUse::Save, period);
  if (verdict.kind != GateVerdict::Refuse) return true;
  dialogs.MessageBox(verdict.message, kGateTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
  return false;
}

bool PeriodGate::AdmitPosting(host::ISystem& system, GateUse use, int64_t documentId,
                              int64_t period) {
  std::string error;
  auto row =
      db::Runner(system.GetDatabase())
          .Open(db::Sql(std::string(" SELECT smark FROM ") + words_->markTable + " WHERE 单据ID=")
                    .Key(documentId),
                &error);
  if (!error.empty()) throw std::runtime_error(error);
  std::string refusal;
  if (row->Eof() && words_->deletedText) {
    refusal = words_->deletedText;
  } else {
    refusal = StateRefusal(use, !row->Eof() && row->Text("smark") == "02");
  }
  row.reset();
  if (!refusal.empty()) {
    system.Dialogs().MessageBox(refusal, kGateTitle, host::MsgButtons::Ok,
                                host::MsgIcon::Information);
    return false;
  }
  return Admit(use, period, system.Dialogs());
}

}  // namespace ws::framework
