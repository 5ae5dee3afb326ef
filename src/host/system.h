// The host system object (poSystem) as the module sees it. Platform implementations live in
// platform/; tests build one on an in-memory database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/amount.h"
#include "db/database.h"
#include "db/date.h"
#include "host/dialogs.h"
#include "host/navigator.h"
#include "host/property_bag.h"

namespace ws::host {

class IControl;

struct LoginInfo {
  std::string userName;
  db::Date loginDate;
  std::string workFolder;  // holds "selfbb", "selfPrint", "selfPrn"
  // Which front end the session runs in ("desk", "script", "ws"): the audit trail records it.
  std::string frontEnd = {};
};

// What a host picker answers when shown for a field.
struct PickResult {
  bool chosen = false;
  std::string value;  // key as text
  std::string text;   // display text
  PropertyBag objects;
};

// Named values and tables written for the print engine (the host's print-data component).
class IPrintData {
 public:
  virtual ~IPrintData() = default;
  virtual void SetValue(const std::string& name, const std::string& value) = 0;
  // A table: a header row of column names, then data rows.
  virtual void AddTable(const std::string& name, const std::vector<std::string>& columns,
                        const std::vector<std::vector<std::string>>& rows) = 0;
  // Writes everything to the file; answers the error text, empty on success.
  virtual std::string WriteFile(const std::string& path) = 0;
};

// A per-user settings store ("WS_SelWs" ...).
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  virtual std::string Get(const std::string& key, const std::string& fallback) = 0;
  virtual void Set(const std::string& key, const std::string& value) = 0;
};

class ISystem {
 public:
  virtual ~ISystem() = default;

  // --- The operations the module's controls call, in the host interface's order.
  virtual db::IDatabase& GetDatabase() = 0;
  // Option text by module and name ("Jzperiod", "befmonth" ...); "" when not set.
  virtual std::string GetOption(int module, const std::string& name) = 0;
  // Option text by module and number (7, 9, 12 ...); "" when not set.
  virtual std::string GetOption(int module, int number) = 0;
  virtual std::string GetParameter(int module, int number) = 0;
  // Asks for the parameter with the connection's next statement, where the database reads
  // ahead (db::IDatabase::ReadsAhead): GetParameter is then answered from that round trip.
  virtual void ReadAheadParameter(int /*module*/, int /*number*/) {}
  virtual void OpenForm(const std::string& programName, const db::Value& a, const db::Value& b,
                        const db::Value& c, bool flag) = 0;
  virtual PickResult ShowPicker(const std::string& pickerDescription, const std::string& text,
                                const db::Value& hostValue1, const db::Value& hostValue2) = 0;
  // propose = true: fill number with the next free number of the program for the date.
  // propose = false: confirm the number typed at save (it may be replaced). Answers success.
  virtual bool NewBillNo(int64_t programNumber, const db::Date& date, std::string& number,
                         bool propose) = 0;
  // False when the document may no longer be changed (closed period); the host tells the user.
  virtual bool CanEditBill(int64_t programNumber, const db::Date& date,
                           const std::string& number) = 0;
  virtual LoginInfo GetLoginInfo() = 0;
  // A picker control by name (its AsPickerUI() is set), ready for its parameters and Init;
  // nullptr when the host has none by that name.
  virtual std::shared_ptr<IControl> GetPicker(const std::string& name) = 0;

  // --- Host services the controls reach through the system object.
  virtual IDialogs& Dialogs() = 0;
  virtual std::unique_ptr<INavigator> CreateNavigator() = 0;
  // Capital Chinese amount: 1234.5 -> "壹仟贰佰叁拾肆元伍角整".
  virtual std::string AmountInWords(const db::Amount& amount) = 0;
  virtual std::unique_ptr<IPrintData> CreatePrintData() = 0;
  virtual ISettingsStore& UserSettings() = 0;
  // Shows an initialised picker below the field being edited, with the typed text, until the
  // user chooses (the picker raises DoSelect) or cancels. The desktop drops it down; scripts
  // and tests choose from a queue.
  virtual PickResult RunPicker(IControl& picker, const std::string& text) = 0;
  // Long work (a report over many rows) tells the host how far it has come: done of total
  // steps, or with total kUnknownTotal done steps so far (rows read from a cursor whose count
  // nobody knows before the end). done reaching total ends the display. The host shows it and
  // answers false when the user asks to stop; the control then says what it kept of its work.
  // A host that shows nothing lets the work run.
  static constexpr int64_t kUnknownTotal = -1;
  virtual bool Progress(const std::string& what, int64_t done, int64_t total) {
    (void)what, (void)done, (void)total;
    return true;
  }
};

}  // namespace ws::host
