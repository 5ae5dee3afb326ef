#include "platform/system_object.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/amount_words.h"
#include "platform/delete_guard.h"
#include "platform/host_pickers.h"
#include "platform/navigator.h"
#include "platform/print_data.h"
#include "platform/shop_info.h"

namespace ws::platform {

namespace {

constexpr const char* kPromptTitle = "提示:";

std::string DatePrefix(const db::Date& date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year % 10000, date.month % 100,
                date.day % 100);
  return buf;
}

std::string BillNo(const std::string& prefix, int64_t sequence) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%03lld", static_cast<long long>(sequence));
  return prefix + buf;
}

}  // namespace

std::optional<std::pair<std::string, int64_t>> SplitBillNo(const std::string& number) {
  // Up to nine sequence digits: anything longer is not a number this scheme proposed.
  if (number.size() < 11 || number.size() > 17) return std::nullopt;
  for (char c : number) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  }
  std::string prefix = number.substr(0, 8);
  std::string dateText = prefix.substr(0, 4) + "-" + prefix.substr(4, 2) + "-" + prefix.substr(6);
  if (!db::Date::Parse(dateText)) return std::nullopt;
  return std::make_pair(prefix, std::stoll(number.substr(8)));
}

SystemObject::SystemObject(db::IDatabase& db, host::IDialogs& dialogs, host::LoginInfo login)
    : db_(db),
      dialogs_(dialogs),
      login_(std::move(login)),
      settings_(db, login_.userName,
                [this](const std::string& error) { ShowError("保存用户设置失败：" + error); }),
      access_(db, login_.userName, true) {
  SetBillTable(200001, "WSDJ", "工单号码");        // repair order
  SetBillTable(200002, "JXCDJ", "单据编号");       // material requisition
  SetBillTable(200003, "ARPReceive", "单据编号");  // repair settlement
  SetBillTable(200004, "ARPReceive", "单据编号");  // receipt
  // The host's own pickers and the module's under the names the documents ask for.
  RegisterStandardPickers(pickers_);
}

namespace {

// The closed period guards every change; the shop's particulars head every print, and the
// manager may change them at any desk while the others keep working.
bool ReadEveryTime(const std::string& option) {
  return option == "Jzperiod" || option == kShopNameOption || option == kShopAddressOption ||
         option == kShopPhoneOption || option == kShopTaxNumberOption;
}

}  // namespace

std::string SystemObject::GetOption(int module, const std::string& name) {
  const bool live = ReadEveryTime(name);
  if (!live) {
    std::lock_guard<std::mutex> lock(optionsMutex_);
    if (auto kept = options_.find({module, name}); kept != options_.end()) return kept->second;
    if (optionsRead_) return {};
  }
  db::Sql sql("SELECT value FROM ws_option WHERE module = ");
  sql.Key(module).Raw(" AND name = ").Text(name);
  std::string error;
  std::string value = db::Runner(db_).ScalarText(sql, &error);
  if (!error.empty()) return {};
  if (!live) {
    std::lock_guard<std::mutex> lock(optionsMutex_);
    options_[{module, name}] = value;
  }
  return value;
}

std::string SystemObject::StartSession() {
  db::Runner runner(db_);
  std::string error;
  auto rows = runner.Open(db::Sql("SELECT module, name, value FROM ws_option"), &error);
  std::map<std::pair<int, std::string>, std::string> read;
  for (; error.empty() && !rows->Eof(); rows->MoveNext()) {
    read[{static_cast<int>(rows->Field(0).ToLong()), rows->Field(1).ToText()}] =
        rows->Field(2).ToText();
  }
  if (!error.empty()) return error;
  {
    std::lock_guard<std::mutex> lock(optionsMutex_);
    options_.merge(read);  // a value read or set in this session already stands
    optionsRead_ = true;
  }
  // Planning a statement loads what the server knows of each table it names (columns,
  // indexes, their operator classes); nothing is read, the condition being false. The tables
  // are the lists' (tracked by block) and the navigator's own; one to a member, so the
  // planner looks for no join order. The lists' other lookups and lines are left to their
  // first use: warming every table took 60 ms of a login for no gain that showed.
  db::Sql warm;
  for (const db::TableDef& table : db::Tables()) {
    if (table.trackedSince == 0) continue;
    warm.Raw("SELECT 1 FROM ").Raw(table.name).Raw(" WHERE 1 = 0 UNION ALL ");
  }
  warm.Raw("SELECT 1 FROM ws_change_block WHERE 1 = 0 UNION ALL ");
  warm.Raw("SELECT 1 FROM ws_list_count WHERE 1 = 0");
  runner.Open(warm, &error);
  return error;
}

std::string SystemObject::GetOption(int module, int number) {
  return GetOption(module, std::to_string(number));
}

namespace {

db::Sql ParameterSql(int module, int number) {
  db::Sql sql("SELECT value FROM ws_parameter WHERE module = ");
  sql.Key(module).Raw(" AND number = ").Key(number);
  return sql;
}

}  // namespace

// Parameters are read every time: the current period moves at a month's close, which another
// user may make while this session runs.
std::string SystemObject::GetParameter(int module, int number) {
  std::string error;
  std::string value = db::Runner(db_).ScalarText(ParameterSql(module, number), &error);
  return error.empty() ? value : std::string();
}

void SystemObject::ReadAheadParameter(int module, int number) {
  db::Runner(db_).ReadAhead(ParameterSql(module, number));
}

std::string SystemObject::SetOption(int module, const std::string& name, const std::string& value) {
  db::Sql sql("INSERT INTO ws_option (module, name, value) VALUES (");
  sql.Key(module).Raw(", ").Text(name).Raw(", ").Text(value);
  sql.Raw(") ON CONFLICT (module, name) DO UPDATE SET value = excluded.value");
  std::string error = db::Runner(db_).Execute(sql);
  std::lock_guard<std::mutex> lock(optionsMutex_);
  // A failed write leaves the stored value unknown: the next read asks the database.
  if (error.empty()) {
    options_[{module, name}] = value;
  } else {
    options_.erase({module, name});
  }
  return error;
}

std::string SystemObject::SetOption(int module, int number, const std::string& value) {
  return SetOption(module, std::to_string(number), value);
}

std::string SystemObject::SetParameter(int module, int number, const std::string& value) {
  db::Sql sql("INSERT INTO ws_parameter (module, number, value) VALUES (");
  sql.Key(module).Raw(", ").Key(number).Raw(", ").Text(value);
  sql.Raw(") ON CONFLICT (module, number) DO UPDATE SET value = excluded.value");
  return db::Runner(db_).Execute(sql);
}

void SystemObject::OpenForm(const std::string& programName, const db::Value& a, const db::Value& b,
                            const db::Value& c, bool flag) {
  if (openForm_) openForm_(programName, a, b, c, flag);
}

host::PickResult SystemObject::ShowPicker(const std::string& pickerDescription,
                                          const std::string& text, const db::Value&,
                                          const db::Value&) {
  if (!showPicker_) return host::PickResult{};
  return showPicker_(pickerDescription, text);
}

void SystemObject::SetBillTable(int64_t programNumber, std::string table,
                                std::string numberColumn) {
  billTables_[programNumber] = BillTable{std::move(table), std::move(numberColumn)};
}

std::optional<int64_t> SystemObject::FreeSequence(int64_t programNumber, const std::string& prefix,
                                                  int64_t last, std::string* error) {
  int64_t candidate = last + 1;
  auto it = billTables_.find(programNumber);
  if (it == billTables_.end()) return candidate;
  // Every number of the date sorts between the prefix and the prefix with its last digit
  // raised, so one indexed range read finds the sequences already taken.
  std::string upper = prefix;
  upper.back() = static_cast<char>(upper.back() + 1);
  db::Sql sql("SELECT ");
  sql.Raw(it->second.column).Raw(" FROM ").Raw(it->second.table).Raw(" WHERE progid = ");
  sql.Key(programNumber).Raw(" AND ").Raw(it->second.column).Raw(" >= ").Text(prefix);
  sql.Raw(" AND ").Raw(it->second.column).Raw(" < ").Text(upper);
  auto rs = db::Runner(db_).Open(sql, error);
  if (!error->empty()) return std::nullopt;
  std::set<int64_t> taken;
  for (; !rs->Eof(); rs->MoveNext()) {
    if (auto parts = SplitBillNo(rs->Field(0).ToText()); parts && parts->first == prefix) {
      taken.insert(parts->second);
    }
  }
  while (taken.count(candidate)) ++candidate;
  return candidate;
}

bool SystemObject::NewBillNo(int64_t programNumber, const db::Date& date, std::string& number,
                             bool propose) {
  // Raises the program's last number of a prefix to `sequence` (never lowers it).
  auto registerNumber = [&](const std::string& prefix, int64_t sequence) {
    db::Sql sql("INSERT INTO ws_billno (progid, prefix, last_no) VALUES (");
    sql.Key(programNumber).Raw(", ").Text(prefix).Raw(", ").Key(sequence);
    sql.Raw(
        ") ON CONFLICT (progid, prefix) DO UPDATE SET last_no = CASE WHEN "
        "ws_billno.last_no < excluded.last_no THEN excluded.last_no ELSE ws_billno.last_no "
        "END");
    return sql;
  };
  std::string error;
  if (propose) {
    // Read and reserve under the write lock: a second counter pressing New before this order
    // is saved is offered the next number, never the same one. A number given up leaves a gap.
    // SQLite's transaction holds the lock from its start; on a server the counter's row is
    // claimed first, so a second counter waits here until the first has reserved its number
    // instead of reading the same last number beside it.
    db::Transaction tx(db_);
    std::string prefix = DatePrefix(date);
    db::Sql claim("INSERT INTO ws_billno (progid, prefix, last_no) VALUES (");
    claim.Key(programNumber).Raw(", ").Text(prefix).Raw(", 0) ON CONFLICT (progid, prefix) ");
    claim.Raw("DO UPDATE SET last_no = ws_billno.last_no");
    db::Sql sql("SELECT last_no FROM ws_billno WHERE progid = ");
    sql.Key(programNumber).Raw(" AND prefix = ").Text(prefix);
    std::optional<int64_t> sequence;
    if (!tx.Failed() && tx.Run(claim)) {
      int64_t last = tx.Db().Scalar(sql, &error).ToLong();
      if (error.empty()) sequence = FreeSequence(programNumber, prefix, last, &error);
    } else {
      error = tx.Error();
    }
    if (sequence && (!tx.Run(registerNumber(prefix, *sequence)) || !tx.Commit())) {
      error = tx.Error();
      sequence.reset();
    }
    if (!sequence) {
      ShowError("取单据编号失败：" + error);
      return false;
    }
    number = BillNo(prefix, *sequence);
    return true;
  }
  auto parts = SplitBillNo(number);
  if (!parts) return true;
  // Inside a save nobody waits for the registration: on a server it goes with the save's next
  // statement, whose failure it then is.
  error = db::Runner(db_, db::IDatabase::kCommandTextHeldBack)
              .Execute(registerNumber(parts->first, parts->second));
  if (!error.empty()) {
    ShowError("登记单据编号失败：" + error);
    return false;
  }
  return true;
}

bool SystemObject::Permit(int64_t programNumber, Step step) {
  std::string refusal = access_.Refusal(programNumber, step);
  if (refusal.empty()) return true;
  dialogs_.MessageBox(refusal + "！", kPromptTitle, host::MsgButtons::Ok,
                      host::MsgIcon::Exclamation);
  return false;
}

bool SystemObject::PermitRight(Right right, std::string_view what) {
  std::string refusal = access_.RefusalOfRight(right, what);
  if (refusal.empty()) return true;
  dialogs_.MessageBox(refusal + "！", kPromptTitle, host::MsgButtons::Ok,
                      host::MsgIcon::Exclamation);
  return false;
}

void SystemObject::SetAuthenticated(bool authenticated) {
  access_.SetAuthenticated(authenticated);
}

bool SystemObject::CanEditBill(int64_t programNumber, const db::Date& date,
                               const std::string& number) {
  if (!Permit(programNumber, Step::Change)) return false;
  if (auto bill = billTables_.find(programNumber); bill != billTables_.end()) {
    const std::string refusal =
        DeleteRefusal(db_, programNumber, bill->second.table, bill->second.column, number);
    if (!refusal.empty()) {
      dialogs_.MessageBox(refusal + "！", kPromptTitle, host::MsgButtons::Ok,
                          host::MsgIcon::Exclamation);
      return false;
    }
  }
  auto closed = static_cast<int64_t>(db::NumericValue(GetOption(12, "Jzperiod")));
  if (closed <= 0) return true;
  int closingDay = static_cast<int>(db::NumericValue(GetParameter(12, 3)));
  if (db::PeriodOfDate(date, closingDay) > closed) return true;
  dialogs_.MessageBox("单据所在会计期间已结账，不能修改！", kPromptTitle, host::MsgButtons::Ok,
                      host::MsgIcon::Exclamation);
  return false;
}

std::shared_ptr<host::IControl> SystemObject::GetPicker(const std::string& name) {
  return pickers_.Create(name);
}

host::PickResult SystemObject::RunPicker(host::IControl& picker, const std::string& text) {
  if (!runPicker_) return host::PickResult{};
  return runPicker_(picker, text);
}

std::unique_ptr<host::INavigator> SystemObject::CreateNavigator() {
  auto navigator = std::make_unique<RecordNavigator>(db_, listCounts_);
  if (countLater_.runner) navigator->CountWhenIdle(countLater_);
  return navigator;
}

std::string SystemObject::AmountInWords(const db::Amount& amount) {
  return platform::AmountInWords(amount);
}

std::unique_ptr<host::IPrintData> SystemObject::CreatePrintData() {
  return std::make_unique<PrintData>();
}

void SystemObject::ShowError(const std::string& text) {
  dialogs_.MessageBox(text, kPromptTitle, host::MsgButtons::Ok, host::MsgIcon::Critical);
}

}  // namespace ws::platform
