// The host's default configuration of a new database: the menu and object rows of every
// control, the options and parameters the controls read, the system settings and the local
// currency. Hosts build their menu from DefaultControls; `ws init` writes the statements.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/date.h"
#include "db/sql.h"

namespace ws::db {

// What a program is to the people using it: the menu group it sits in and the rights it asks
// for both follow from it, so a new program is described once, here.
enum class ProgramKind {
  Document,       // entered and checked by the counter (repair order, requisition)
  MoneyDocument,  // entered and checked by the cashier (settlement, receipt)
  Report,         // a report or list anyone may read
  KeptReport,     // a list only managers read (the audit trail)
  MasterList,     // a master list: anyone looks up, changing it needs the manager
  MasterCard,     // a master card: the manager's
  CounterCard,    // a master card the counter adds to and corrects (a walk-in customer); only
                  // the manager deletes from it
};

// The documents' program numbers, which lists reading the documents' rows name as well.
inline constexpr int64_t kOrderProgram = 200001;
inline constexpr int64_t kRequisitionProgram = 200002;
inline constexpr int64_t kSettlementProgram = 200003;
inline constexpr int64_t kReceiptProgram = 200004;

// A control the host offers in its menu: its class name (created as "WS." + className), the
// host's program number, the menu caption and what kind of program it is.
struct ControlEntry {
  std::string className;
  int64_t programNumber;
  std::string caption;
  ProgramKind kind;
};

// Every document, report and master control, in menu order.
const std::vector<ControlEntry>& DefaultControls();

// The options of module 12 and the other modules, as (module, name, value); an option number
// n appears with its decimal text as the name ("7").
struct OptionEntry {
  int module;
  std::string name;
  std::string value;
};
const std::vector<OptionEntry>& DefaultOptions();

// Statements that fill an empty catalogue with the default configuration for a database
// started on initDate: xt_menu, xt_objects (fetchPrice 0), xt_accinformation, ws_option,
// ws_parameter (module 12: 1 = the period of initDate, 3 = closing day 31, i.e. periods follow
// the calendar months) and the local currency row of PDMBZ (币种ID 1, 人民币).
std::vector<Sql> DefaultConfigStatements(const Date& initDate);
// The menu and object rows of every default control a database lacks: a file made before a
// control existed gets it at its next upgrade, and one it already has is left as it is.
std::vector<Sql> MissingControlStatements();

// The local currency id the default configuration sets up (option 4 of module 12).
inline constexpr int64_t kLocalCurrencyId = 1;
// Parameter 3 of module 12 in a new database: no closing day, months end with the calendar.
inline constexpr int kDefaultClosingDay = 31;

}  // namespace ws::db
