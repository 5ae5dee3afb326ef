// The period gate every document passes before a save, a check or an uncheck: no period after
// the current one, none already closed, and an earlier open period only with the user's word,
// given once per control life and shared by save and check. The requisition judges by the stock
// period, the settlement and the receipt by the general-ledger period; the rule is one, the
// words and the table whose mark is re-read are the document's (PeriodWords).
#pragma once

#include <cstdint>
#include <string>

#include "db/date.h"
#include "host/dialogs.h"
#include "host/system.h"

namespace ws::framework {

// The pieces of the gate's texts that differ between the ledgers, and where check and uncheck
// re-read the document's mark.
struct PeriodWords {
  const char* book;  // "大于当前<book>会计期间" (check), "而当前<book>的会计期间"
  const char* saveBook;     // "大于当前<saveBook>会计期间" (save)
  const char* closedBook;   // "该会计期间已经进行<closedBook>"
  const char* changedBook;  // "确认对会计期间[P]的<changedBook>进行变更？？" (save)
  const char* posting;      // what a check does: "不能进行<posting>", "的<posting>？？"
  const char* markTable;    // the table whose smark check and uncheck re-read
  // Told when the document is gone at check time; nullptr: a missing row reads as unchecked
  // and the check's own transaction finds it gone.
  const char* deletedText;
};

// The requisition's stock period.
inline constexpr PeriodWords kStockPeriod{
    "仓库", "仓库", "仓库结帐", "仓库总帐", "采购入库", "jxcdj", "当前单据已被他人删除！"};
// The settlement's and the receipt's general-ledger period.
inline constexpr PeriodWords kLedgerPeriod{"总帐",     "结帐",       "结帐", "总帐",
                                           "结算操作", "arpreceive", nullptr};

enum class GateUse { Save, Check, UnCheck };

struct GateVerdict {
  enum Kind {
    Pass,     // go on
    Refuse,   // show `message` and stop
    Confirm,  // ask `message` (Yes/No); Yes goes on and is remembered
  };
  Kind kind = Pass;
  std::string message;
};

// Title of every box the gate shows (information icon).
inline constexpr const char* kGateTitle = "操作提示";

class PeriodGate {
 public:
  PeriodGate() = default;
  PeriodGate(const PeriodWords& words, int64_t currentPeriod, int64_t closedPeriod)
      : words_(&words), current_(currentPeriod), closed_(closedPeriod) {}
  // The current period (parameter 1 of module 12) and the last closed one (option "Jzperiod"),
  // as a document reads them once at Init; empty reads as 0.
  static PeriodGate FromSystem(const PeriodWords& words, host::ISystem& system);

  // Period (yyyymm) of a document date under the closing day the host holds now (parameter 3
  // of module 12): a day after it belongs to the next month, December to January.
  static int64_t PeriodOf(host::ISystem& system, const db::Date& date);
  // What PeriodOf reads, asked for with the next statement (host::ISystem::ReadAheadParameter).
  static void ReadAheadPeriodOf(host::ISystem& system);

  // The refusal of a second check or a second uncheck; empty when the stored mark allows it.
  static std::string StateRefusal(GateUse use, bool storedChecked);

  // The verdict on a document of `period`. Pure: asks nothing and remembers nothing. A period
  // both after the current one and closed (a host that closed beyond it) is the future one.
  GateVerdict Judge(GateUse use, int64_t period) const;

  // Judges and shows a refusal or asks the question; Yes is remembered for the gate's life.
  bool Admit(GateUse use, int64_t period, host::IDialogs& dialogs);
  // Whether a new document of `period` may be started: the refusal its save would meet is shown
  // now; the question about an earlier open period is left to the save.
  bool AdmitsNew(int64_t period, host::IDialogs& dialogs) const;

  // Check and uncheck: the document's stored mark first (another user may have checked it
  // since it was shown), then Admit. Throws std::runtime_error when the mark cannot be read.
  bool AdmitPosting(host::ISystem& system, GateUse use, int64_t documentId, int64_t period);
  // The whole gate by a document's date: its period as PeriodOf says, the mark for check and
  // uncheck.
  bool Pass(host::ISystem& system, GateUse use, int64_t documentId, const db::Date& date) {
    const int64_t period = PeriodOf(system, date);
    return use == GateUse::Save ? Admit(use, period, system.Dialogs())
                                : AdmitPosting(system, use, documentId, period);
  }

  int64_t CurrentPeriod() const { return current_; }
  int64_t ClosedPeriod() const { return closed_; }
  bool PastPeriodAccepted() const { return pastAccepted_; }

 private:
  const PeriodWords* words_ = &kStockPeriod;
  int64_t current_ = 0;
  int64_t closed_ = 0;
  bool pastAccepted_ = false;
};

}  // namespace ws::framework
