// The host system object on a database service: options and parameters from the host tables,
// document numbers, the closed-period guard, pickers by name, dialogs, navigators, print data
// and per-user settings. Front ends give it their dialogs and the callbacks for what only they
// can show (forms, pickers); tests build it on an in-memory database.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "db/database.h"
#include "host/dialogs.h"
#include "host/system.h"
#include "platform/access_guard.h"
#include "platform/list_counts.h"
#include "platform/navigator.h"
#include "platform/picker_registry.h"
#include "platform/settings_store.h"

namespace ws::platform {

class SystemObject : public host::ISystem {
 public:
  using OpenFormHandler = std::function<void(const std::string& programName, const db::Value& a,
                                             const db::Value& b, const db::Value& c, bool flag)>;
  using PickerHandler =
      std::function<host::PickResult(const std::string& description, const std::string& text)>;
  using RunPickerHandler =
      std::function<host::PickResult(host::IControl& picker, const std::string& text)>;
  using ProgressHandler = std::function<bool(const std::string& what, int64_t done, int64_t total)>;

  // The database and dialogs must outlive the system object.
  SystemObject(db::IDatabase& db, host::IDialogs& dialogs, host::LoginInfo login);

  db::IDatabase& GetDatabase() override { return db_; }

  // The lists' block counts the navigators of this system share; another system object on the
  // same database may be handed them (ShareListCounts), as a second window of one desk is.
  const std::shared_ptr<ListCounts>& SharedListCounts() const { return listCounts_; }
  void ShareListCounts(std::shared_ptr<ListCounts> counts) { listCounts_ = std::move(counts); }
  // A host with an event loop has the navigators it makes from now on count a list nobody
  // counted yet between its events, after the row is shown; without one they count at once.
  void CountListsWhenIdle(CountLater later) { countLater_ = std::move(later); }

  // Options live in ws_option (an option number n under the name "n"), parameters in
  // ws_parameter; both answer "" when not set or not readable. Names match exactly.
  // Options are read once a session and kept (a move reads several, each a round trip on a
  // server); what another desk sets is seen at its next login. The closed period ("Jzperiod")
  // and the parameters (the current period) are read every time: another desk may close a
  // period while this one edits.
  std::string GetOption(int module, const std::string& name) override;
  std::string GetOption(int module, int number) override;
  // What a desk does once at login, so its first form opens as fast as the next: every
  // option read in one statement, and on a server the catalogue entries of the document
  // lists' tables loaded into the new session, which a session otherwise loads on first use
  // of each table (tens of milliseconds on PostgreSQL). Answers the error text; a failure
  // leaves the options to be read one by one as before.
  std::string StartSession();
  std::string GetParameter(int module, int number) override;
  void ReadAheadParameter(int module, int number) override;
  // Setters for hosts and tests; answer the error text, empty on success.
  std::string SetOption(int module, const std::string& name, const std::string& value);
  std::string SetOption(int module, int number, const std::string& value);
  std::string SetParameter(int module, int number, const std::string& value);

  // Forwards to the front end's handler; does nothing without one.
  void OpenForm(const std::string& programName, const db::Value& a, const db::Value& b,
                const db::Value& c, bool flag) override;
  // The front end's picker; without a handler nothing is chosen. The host values are not used.
  host::PickResult ShowPicker(const std::string& pickerDescription, const std::string& text,
                              const db::Value& hostValue1, const db::Value& hostValue2) override;

  // Document numbers are the date as "yyyymmdd" followed by a sequence of at least three
  // digits ("20121205001"), counted per program and date in ws_billno.
  // propose = true: number := the next sequence after the counter that the program's document
  // table does not already hold (for programs with a known table). The counter does not move:
  // a proposal the user abandons costs nothing.
  // propose = false: the typed number stands as it is (empty and duplicate numbers are the
  // controls' to refuse); when it has the scheme's form, its date's counter moves up to its
  // sequence, so later proposals pass it.
  // A database failure is shown in a message box and answers false.
  bool NewBillNo(int64_t programNumber, const db::Date& date, std::string& number,
                 bool propose) override;
  // False, after telling the user in a message box, when the logged-in account lacks the right
  // to change the program's documents (AccessGuard), or when the date's accounting period
  // (closing day: parameter 3 of module 12) is at or before the closed period (option
  // "Jzperiod" of module 12; 0 or empty closes nothing).
  bool CanEditBill(int64_t programNumber, const db::Date& date, const std::string& number) override;
  host::LoginInfo GetLoginInfo() override { return login_; }
  // A new picker control from the registry; nullptr for an unknown name.
  std::shared_ptr<host::IControl> GetPicker(const std::string& name) override;

  host::IDialogs& Dialogs() override { return dialogs_; }
  // A navigator attached to this system's database.
  std::unique_ptr<host::INavigator> CreateNavigator() override;
  std::string AmountInWords(const db::Amount& amount) override;
  std::unique_ptr<host::IPrintData> CreatePrintData() override;
  // The login user's settings.
  host::ISettingsStore& UserSettings() override { return settings_; }
  // Forwards to the front end's handler; without one nothing is chosen.
  host::PickResult RunPicker(host::IControl& picker, const std::string& text) override;
  // Forwards to the front end's handler; without one the work runs to its end.
  bool Progress(const std::string& what, int64_t done, int64_t total) override {
    return !progress_ || progress_(what, done, total);
  }

  // --- Accounts: every host step a user takes asks here first.
  // Whether the logged-in account may take the step, by the rights last read (toolbar state).
  bool Allows(int64_t programNumber, Step step) { return access_.Allows(programNumber, step); }
  // Reads the account afresh; false after telling the user which right is missing.
  bool Permit(int64_t programNumber, Step step);
  bool PermitRight(Right right, std::string_view what);
  // Whether the login proved the account's password; hosts that log in without one (a script
  // before its login) set false, so a shop with accounts refuses every guarded step.
  void SetAuthenticated(bool authenticated);

  // --- Wiring for hosts.
  void SetOpenFormHandler(OpenFormHandler handler) { openForm_ = std::move(handler); }
  void SetPickerHandler(PickerHandler handler) { showPicker_ = std::move(handler); }
  void SetRunPickerHandler(RunPickerHandler handler) { runPicker_ = std::move(handler); }
  void SetProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }
  // Holds the standard host and module pickers from the start (RegisterStandardPickers).
  PickerRegistry& Pickers() { return pickers_; }
  // The document table and number column NewBillNo checks for a program's numbers. WSDJ,
  // JXCDJ and ARPReceive are known for the repair order, requisition, settlement and receipt.
  void SetBillTable(int64_t programNumber, std::string table, std::string numberColumn);

 private:
  struct BillTable {
    std::string table;
    std::string column;
  };
  // The next free sequence after last for the prefix; nullopt and *error on failure.
  std::optional<int64_t> FreeSequence(int64_t programNumber, const std::string& prefix,
                                      int64_t last, std::string* error);
  void ShowError(const std::string& text);

  db::IDatabase& db_;
  // Every form's navigator shares the block counts of the lists, so a form opened on a list
  // another one counted is as quick as a move.
  std::shared_ptr<ListCounts> listCounts_ = std::make_shared<ListCounts>();
  CountLater countLater_;
  host::IDialogs& dialogs_;
  host::LoginInfo login_;
  SettingsStore settings_;
  PickerRegistry pickers_;
  OpenFormHandler openForm_;
  PickerHandler showPicker_;
  RunPickerHandler runPicker_;
  ProgressHandler progress_;
  std::map<int64_t, BillTable> billTables_;
  std::mutex optionsMutex_;
  std::map<std::pair<int, std::string>, std::string> options_;
  bool optionsRead_ = false;  // every option is in options_: one missing there is not set
  AccessGuard access_;
};

// The parts of a number in the document-number scheme: ("20121205", 1) for "20121205001";
// nullopt for any other text.
std::optional<std::pair<std::string, int64_t>> SplitBillNo(const std::string& number);

}  // namespace ws::platform
