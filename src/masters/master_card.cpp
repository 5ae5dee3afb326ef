#include "masters/master_card.h"

#include <charconv>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "forms/typed_number.h"
#include "grid/layout.h"

namespace ws::masters {

using forms::EndsWith;
using forms::Trim;

namespace {

constexpr const char* kBoxTitle = "提示：";
constexpr const char* kDeleteTitle = "提示:";
constexpr const char* kDeleteQuestion = "是否删除当前记录:";

}  // namespace

MasterCard::MasterCard(const MasterCardDescription& description)
    : DocumentControl(description.className), description_(description) {}

void MasterCard::SetupForm() {
  if (form_.Find(kFieldArray, 0)) return;  // a second Init keeps the form
  for (size_t i = 0; i < description_.fields.size(); ++i) {
    const CardField& described = description_.fields[i];
    auto& field = form_.Add<forms::Field>(kFieldArray, static_cast<int>(i));
    field.SetCaption(described.caption);
    field.SetKind(described.kind);
    field.OnChange = [this] { SetDirty(true); };
    if (described.lookup) {
      const LookupDescription* lookup = described.lookup;
      field.SetPicker(lookup->picker);
      field.OnLeave = [this, &field, lookup] { ResolveLookup(field, *lookup); };
      field.OnPickerRequest = [this, &field, lookup] { PickLookup(field, *lookup); };
    }
    if (described.readOnly) field.SetAlwaysReadOnly(true);
    if (static_cast<int>(i) == description_.vinField) {
      field.OnLeave = [this, &field] { LeaveVin(field); };
    }
  }
  form_.Add<forms::CheckBox>(kCopyOnNew).SetCaption("保留内容");
}

forms::Field& MasterCard::FieldAt(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

std::string MasterCard::KeyCondition(int64_t id) const {
  // Handed to the shared Find as text, which is why it is the builder's literal rendering.
  return db::Sql(description_.keyColumn + "=").Key(id).Literal();
}

// --- Loading.

std::string MasterCard::BuildBaseCondition() {
  if (RequestedId() > 0) return " " + KeyCondition(RequestedId());
  return FilterCondition();
}

std::string MasterCard::ConditionText(const std::vector<host::Condition>& conditions) const {
  db::Sql sql;
  for (const auto& c : conditions) {
    if (c.value.empty()) continue;
    sql.Raw(sql.empty() ? " " : " and ");
    // Values stay texts here under every driver: masters keep no dates. Only an operator that
    // ends the text in "like" searches anywhere; "like " compares the whole value.
    host::AppendCondition(
        sql, c, std::string_view{},
        EndsWith(c.columnOp, "like") ? host::LikeMatch::Anywhere : host::LikeMatch::Exact);
  }
  return sql.Literal();
}

void MasterCard::ShowRecord(const db::Recordset& records, const std::string& position) {
  for (size_t i = 0; i < description_.fields.size(); ++i) {
    const CardField& described = description_.fields[i];
    forms::Field& field = FieldAt(static_cast<int>(i));
    if (!described.keyColumn.empty()) field.SetKey(records.Long(described.keyColumn));
    field.SetText(records.Text(described.column));
    field.MarkValid();
  }
  MarkShown(records.Long(description_.keyColumn));
  vinWarning_.Forget();
  SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
  shownImage_ = Image();
}

void MasterCard::ClearForm() {
  for (size_t i = 0; i < description_.fields.size(); ++i) {
    forms::Field& field = FieldAt(static_cast<int>(i));
    field.SetValue("", "");
    field.MarkValid();
  }
  ForgetShown();
  vinWarning_.Forget();
  shownImage_ = {};
  SetRecordLabel("记录：0/0");
}

bool MasterCard::FindData(const std::string& where) {
  if (!HasSystem()) return false;
  bool ok = SearchList(where, false);
  events_.Raise("FormRefreshed");
  return ok;
}

bool MasterCard::Find(const host::Conditions& conditions) {
  bool answer = DocumentControl::Find(conditions);
  // The shared Find searched exactly when it was given conditions and a system.
  if (conditions && HasSystem()) events_.Raise("FormRefreshed");
  return answer;
}

bool MasterCard::FindNext() {
  if (FindCondition().empty() || !HasSystem()) return false;
  FindData(FindCondition() + " AND " + description_.keyColumn + " > " +
           std::to_string(CurrentId()));
  return false;
}

bool MasterCard::FileCancel() {
  bool ok = FindData(" " + KeyCondition(PreviousId()));
  if (ok) {
    SetEditState(false);
    SetDirty(false);
    events_.Message("");
  }
  return ok;
}

bool MasterCard::DoSetStatus(const std::string& statusWord, bool) {
  if (statusWord == "change") return FindData(" " + KeyCondition(CurrentId()));
  events_.Message("数据正在切换状态");
  SetEditState(false);
  bool ok = LoadList(host::kNavLast);
  events_.Message("");
  return ok;
}

// --- New, edit, print.

bool MasterCard::FileNew() {
  // Guarded: a card the host has not initialised has no fields yet.
  return Guarded("-->FileNew::", [&] {
    SetEditState(true);
    if (form_.Get<forms::CheckBox>(kCopyOnNew).Checked()) {
      ForgetShown();
    } else {
      ClearForm();
    }
    form_.SetFocus(&FieldAt(0));
    SetRecordLabel("新建记录...");
    SetDirty(false);
    events_.Message("正在新建单据中...");
    return true;
  });
}

bool MasterCard::FileEdit() {
  if (CurrentId() > 0) {
    SetEditState(true);
    SetDirty(false);
    events_.Message("正在修改单据中...");
    return true;
  }
  if (HasSystem()) {
    Ask("没有具体的往来数据，不能编辑! ", Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
  }
  return false;
}

bool MasterCard::DoPrint() {
  if (!HasSystem()) return false;
  Guarded("-->DoPrint::", [&] {
    std::filesystem::path folder = std::filesystem::path(Login().workFolder) / "selfPrint";
    std::filesystem::create_directories(folder);
    SetPrintFile((folder / (std::to_string(ProgramNumber()) + ".txt")).string());
    return false;
  });
  return false;
}

void MasterCard::DoGetFormStatus() {
  if (!HasSystem()) return;
  std::string error = grid::LoadLineGridWidths(Login().workFolder, ClassName(), form_);
  if (!error.empty()) ReportError("-->DoGetFormStatus::" + error);
}

void MasterCard::DoSaveFormStatus() {
  if (!HasSystem()) return;
  std::string error = grid::SaveLineGridWidths(Login().workFolder, ClassName(), form_);
  if (!error.empty()) ReportError("-->DoSaveFormStatus::" + error);
}

// --- Lookup fields.

void MasterCard::ResolveLookup(forms::Field& field, const LookupDescription& lookup) {
  std::string typed = Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("", "");
    field.MarkValid();
    return;
  }
  if (!HasSystem()) return;
  // A lookup without a key column stores the chosen row's name itself (an account's name).
  const std::string& keyColumn = lookup.keyColumn.empty() ? lookup.nameColumn : lookup.keyColumn;
  bool found = Guarded("-->" + lookup.picker + "::", [&] {
    std::string error;
    auto rows = db::Runner(Database())
                    .Open(db::Sql("select ")
                              .Raw(keyColumn + "," + lookup.nameColumn)
                              .Raw(" from " + lookup.table + " where ")
                              .Raw(lookup.nameColumn + "=")
                              .Text(typed)
                              .Raw(" or " + lookup.codeColumn + "=")
                              .Text(typed)
                              .Raw(" order by " + keyColumn),
                          &error);
    if (!error.empty()) throw std::runtime_error(error);
    if (rows->Eof()) return false;
    field.SetValue(
        lookup.keyColumn.empty() ? rows->Text(keyColumn) : std::to_string(rows->Long(keyColumn)),
        rows->Text(lookup.nameColumn));
    return true;
  });
  if (found) {
    field.MarkValid();
  } else {
    field.SetKey("");
    field.MarkInvalid(lookup.invalidText);
  }
}

void MasterCard::PickLookup(forms::Field& field, const LookupDescription& lookup) {
  if (!HasSystem()) return;
  Guarded("-->" + lookup.picker + "::", [&] {
    host::PickResult pick =
        System().ShowPicker(lookup.picker, field.Text(), db::Value{ProgramNumber()}, db::Value{});
    if (!pick.chosen) return false;
    field.SetValue(pick.value, pick.text);
    field.MarkValid();
    SetDirty(true);
    return true;
  });
}

// --- The VIN.

void MasterCard::LeaveVin(forms::Field& field) {
  // Typed in lower case, a VIN is kept in capitals as on the car; a stored one changes only when
  // someone types it.
  field.SetText(framework::NormalizeVin(field.Text()));
  WarnVin();
}

void MasterCard::WarnVin() {
  if (description_.vinField < 0 || !HasSystem()) return;
  std::string warning = vinWarning_.Due(FieldAt(description_.vinField).Text());
  if (!warning.empty()) Ask(warning, kBoxTitle, host::MsgButtons::Ok, host::MsgIcon::Exclamation);
}

// --- Save.

std::optional<int> ParseServiceInterval(const std::string& typed) {
  const std::string text = Trim(typed);
  if (text.empty()) return 0;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

std::optional<int> ParseFlag(const std::string& typed) {
  const std::string text = Trim(typed);
  if (text.empty() || text == "否" || text == "0") return 0;
  if (text == "是" || text == "1") return 1;
  return std::nullopt;
}

double MasterCard::Count(const db::Sql& sql) {
  std::string error;
  double count = db::Runner(Database()).ScalarNumber(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  return count;
}

bool MasterCard::Refuse(forms::Field& field, const std::string& text, const std::string& title,
                        host::MsgIcon icon) {
  form_.SetFocus(&field);
  Ask(text, title, host::MsgButtons::Ok, icon);
  return false;
}

bool MasterCard::Validate() {
  for (size_t i = 0; i < description_.fields.size(); ++i) {
    forms::Field& field = FieldAt(static_cast<int>(i));
    if (!field.Valid()) return Refuse(field, field.Hint(), kBoxTitle, host::MsgIcon::Information);
  }
  for (const SaveColumn& column : description_.saveColumns) {
    forms::Field& field = FieldAt(column.field);
    if (column.value == SaveValue::Interval && !ParseServiceInterval(field.Text())) {
      return Refuse(field,
                    description_.fields[static_cast<size_t>(column.field)].caption +
                        "须为大于0的整数,不提醒请留空!",
                    kBoxTitle, host::MsgIcon::Information);
    }
    if (column.value == SaveValue::Flag && !ParseFlag(field.Text())) {
      return Refuse(
          field,
          description_.fields[static_cast<size_t>(column.field)].caption + "请输入“是”或“否”!",
          kBoxTitle, host::MsgIcon::Information);
    }
  }
  forms::Field& codeField = FieldAt(0);
  forms::Field& nameField = FieldAt(1);
  if (Trim(codeField.Text()).empty()) {
    return Refuse(codeField, "没有具体的" + description_.codeWord + ",请录入!", kBoxTitle,
                  host::MsgIcon::Information);
  }
  if (Trim(nameField.Text()).empty()) {
    return Refuse(nameField, "没有具体的" + description_.nameWord + ",请录入!", kBoxTitle,
                  host::MsgIcon::Information);
  }
  return true;
}

std::optional<MasterCard::Refusal> MasterCard::CheckUnique(int64_t id) {
  forms::Field& codeField = FieldAt(0);
  forms::Field& nameField = FieldAt(1);
  const std::string code = Trim(codeField.Text());
  const std::string name = NameLabel();
  // The qualifier's condition, added to each test of the name.
  db::Sql qualifier;
  if (description_.nameQualifierField >= 0) {
    const auto field = static_cast<size_t>(description_.nameQualifierField);
    qualifier.Raw(" and " + description_.fields[field].column + "=")
        .Text(Trim(FieldAt(description_.nameQualifierField).Text()));
  }
  const std::string typedName = Trim(nameField.Text());
  const std::string& word = description_.codeWord;
  const std::string& nameWord = description_.nameWord;
  const std::string& table = description_.table;
  const std::string& key = description_.keyColumn;
  const std::string& codeColumn = description_.fields[0].column;
  const std::string& nameColumn = description_.fields[1].column;
  if (id > 0) {
    if (Count(db::Sql(" Select  count(*) From " + table + " Where " + key + " <> ")
                  .Key(id)
                  .Raw(" and " + codeColumn + "=")
                  .Text(code)) > 0) {
      return Refusal{&codeField, word + code + "重复,请检查!", kBoxTitle,
                     host::MsgIcon::Exclamation};
    }
    if (Count(db::Sql(" Select count(*) From " + table + " Where " + key + " <> ")
                  .Key(id)
                  .Raw(" and " + nameColumn + "=")
                  .Text(typedName)
                  .Append(qualifier)) > 0) {
      return Refusal{&nameField, nameWord + name + "重复,请检查!", kBoxTitle,
                     host::MsgIcon::Exclamation};
    }
    if (Count(db::Sql(" Select count(*) From " + table + " Where " + key + " = ").Key(id)) == 0) {
      return Refusal{&nameField, "需要修改的" + nameWord + "找不到内部ID号,请重新刷新数据",
                     kDeleteTitle, host::MsgIcon::Exclamation};
    }
    return std::nullopt;
  }
  if (Count(db::Sql(" Select count(*) From " + table + " Where " + codeColumn + "=").Text(code)) >
      0) {
    return Refusal{&codeField, word + "(" + code + ")重复,请检查!", kBoxTitle,
                   host::MsgIcon::Exclamation};
  }
  if (Count(db::Sql(" Select count(*) From " + table + " Where " + nameColumn + "=")
                .Text(typedName)
                .Append(qualifier)) > 0) {
    return Refusal{&nameField, nameWord + "(" + name + ")重复,请检查!", kBoxTitle,
                   host::MsgIcon::Exclamation};
  }
  return std::nullopt;
}

std::string MasterCard::NameLabel() const {
  std::string name = Trim(FieldAt(1).Text());
  if (description_.nameQualifierField >= 0) {
    name = Trim(name + " " + Trim(FieldAt(description_.nameQualifierField).Text()));
  }
  return name;
}

void MasterCard::AppendValue(db::Sql& sql, const SaveColumn& column) const {
  const forms::Field& field = FieldAt(column.field);
  switch (column.value) {
    case SaveValue::Text:
      // The code and the name are stored as they are compared, trimmed: "A1 " beside "A1"
      // would pass every duplicate check and still look the same in every list.
      sql.Text(column.field <= 1 ? Trim(field.Text()) : field.Text());
      break;
    case SaveValue::Number: {
      // A reference figure, never a reason to refuse the card: what is not a number as the
      // clerk types numbers ("abc", "12abc") is stored as 0, as an empty field is.
      auto number = forms::ParseTypedNumber(field.Text());
      sql.NumOf(number ? number->text : "0");
      break;
    }
    case SaveValue::Key:
      sql.NumOf(field.Key());
      break;
    case SaveValue::Interval:
      sql.Num(ParseServiceInterval(field.Text()).value_or(0));
      break;
    case SaveValue::Flag:
      sql.Num(ParseFlag(field.Text()).value_or(0));
      break;
  }
}

db::Sql MasterCard::UpdateStatement(int64_t id) const {
  db::Sql sql("update " + description_.table + " set ");
  for (size_t i = 0; i < description_.saveColumns.size(); ++i) {
    const SaveColumn& column = description_.saveColumns[i];
    if (i > 0) sql.Raw(",");
    sql.Raw(column.column + "=");
    AppendValue(sql, column);
  }
  sql.Raw(" where " + description_.keyColumn + "=").Key(id);
  return sql;
}

db::Sql MasterCard::InsertStatement(int64_t id, const std::string& table) const {
  std::string columns = description_.keyColumn;
  for (const auto& column : description_.saveColumns) columns += "," + column.column;
  for (const auto& [column, value] : description_.newRowNumbers) columns += "," + column;
  db::Sql sql("insert into " + table + " (" + columns + ") values ( ");
  sql.Key(id);
  for (const auto& column : description_.saveColumns) {
    sql.Raw(",");
    AppendValue(sql, column);
  }
  for (const auto& [column, value] : description_.newRowNumbers) sql.Raw(",").Num(value);
  sql.Raw(")");
  return sql;
}

bool MasterCard::Save() {
  if (!Validate()) return false;
  // A warning only: the clerk reads it and the save goes on.
  WarnVin();
  const bool editing = CurrentId() > 0;
  int64_t id = CurrentId();
  if (!editing) {
    std::string error = Navigator().GetNewID(description_.table, description_.keyColumn, id);
    if (!error.empty()) {
      Ask(error, Title(), host::MsgButtons::Ok, host::MsgIcon::Critical);
      return false;
    }
  }
  db::IDatabase& database = Database();
  db::Transaction transaction(database);
  // The duplicate checks run inside the write transaction, which holds the write lock from its
  // start: no other user can store the same code between the check and the write.
  // A refusal lets go of the lock before its box waits for the user.
  // On a server the code's and the name's turns are taken first, so that the checks read after
  // any other save of the same code or name has ended.
  transaction.LockValue(description_.table, Trim(FieldAt(0).Text()));
  transaction.LockValue(description_.table + ".name", Trim(FieldAt(1).Text()));
  if (!transaction.Failed()) {
    if (auto refusal = CheckUnique(editing ? id : 0)) {
      transaction.Rollback();
      database.Close();
      return Refuse(*refusal->field, refusal->text, refusal->title, refusal->icon);
    }
  }
  db::Sql write = editing ? UpdateStatement(id) : InsertStatement(id, description_.table);
  // A deliberate guard beyond the cards' own rules, under which the later of two saves
  // silently overwrote the earlier: the card is written only at the version it was shown with.
  const bool versioned = editing && ShownRowVersion() >= 0;
  if (versioned) write.Raw(" and ").Raw(db::kRowVersionColumn).Raw("=").Key(ShownRowVersion());
  int64_t rows = 0;
  if (transaction.Run(write, &rows) && versioned && rows != 1) {
    transaction.Rollback();
    database.Close();
    Ask(host::kRowChangedText, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (!transaction.Failed() && !description_.mirrorTable.empty()) {
    // The copy is made anew: a row the copy lacks (an older shop's) is made by the same save.
    // Copied from the row just written, so what the card does not show (the partner's kind)
    // is the same on both sides.
    std::string columns = description_.keyColumn;
    for (const auto& column : description_.saveColumns) columns += "," + column.column;
    for (const auto& [column, value] : description_.newRowNumbers) columns += "," + column;
    const std::string where = " where " + description_.keyColumn + "=";
    transaction.Run(db::Sql("delete from " + description_.mirrorTable + where).Key(id)) &&
        transaction.Run(db::Sql("insert into " + description_.mirrorTable + " (" + columns +
                                ") select " + columns + " from " + description_.table + where)
                            .Key(id));
  }
  if (!transaction.Failed()) {
    const db::AuditImage now = Image();
    AppendAudit(transaction, editing ? db::AuditAction::Update : db::AuditAction::Insert, id,
                editing ? db::CompareImages(shownImage_, now) : db::NewImageChanges(now));
  }
  bool ok = !transaction.Failed() && transaction.Commit();
  if (!ok) {
    // On a server, another user's save of the same code or name can commit between the check
    // and the write (the check cannot see a row not yet committed), and the unique index then
    // refuses the write in the engine's words. Asked again now, the value is taken: the user
    // hears the card's own refusal.
    std::optional<Refusal> refusal;
    try {
      refusal = CheckUnique(editing ? id : 0);
    } catch (const std::exception&) {
      // The write's own failure is told below.
    }
    database.Close();
    if (refusal) return Refuse(*refusal->field, refusal->text, refusal->title, refusal->icon);
    Ask(transaction.Error(), Title(), host::MsgButtons::Ok, host::MsgIcon::Critical);
    return false;
  }
  database.Close();
  SetCurrentId(id);
  return true;
}

bool MasterCard::FileSave() {
  if (!HasSystem()) return false;
  if (!Guarded("-->SaveData::", [&] { return Save(); })) return false;
  FindData(KeyCondition(CurrentId()));
  SetEditState(false);
  SetDirty(false);
  // The card is no longer being changed: the status line says so, as after a cancel.
  events_.Message("");
  return true;
}

// --- Delete.

bool MasterCard::Delete() {
  const int64_t id = CurrentId();
  if (id <= 0) {
    Ask("没有可删除的记录!", kDeleteTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (Ask(kDeleteQuestion, kDeleteTitle, host::MsgButtons::YesNo, host::MsgIcon::Question) !=
      host::MsgAnswer::Yes) {
    return false;
  }
  if (Count(db::Sql(description_.usageQuery).Key(id)) > 0) {
    events_.ErrMessage(description_.inUseText, host::kLevelRefusal, Title());
    return false;
  }
  if (Ask(kDeleteQuestion + FieldAt(1).Text(), kDeleteTitle, host::MsgButtons::YesNo,
          host::MsgIcon::Question) != host::MsgAnswer::Yes) {
    return false;
  }
  db::IDatabase& database = Database();
  db::Transaction transaction(database);
  auto remove = [&](const std::string& table) {
    return table.empty() ||
           transaction.Run(
               db::Sql("delete from " + table + " where " + description_.keyColumn + "=").Key(id));
  };
  bool ok = remove(description_.table) && remove(description_.mirrorTable) &&
            AppendAudit(transaction, db::AuditAction::Delete, id, {}) && transaction.Commit();
  database.Close();
  if (!ok) {
    events_.ErrMessage("删除数据时出错：" + transaction.Error(), host::kLevelFailure, Title());
    return false;
  }
  events_.ErrMessage(description_.deletedText + std::to_string(id), host::kLevelSuccess, Title());
  LoadList(host::kNavNext);
  return true;
}

bool MasterCard::FileDelete() {
  if (!HasSystem()) return false;
  return Guarded("-->DeleteData::", [&] { return Delete(); });
}

db::AuditImage MasterCard::Image() const {
  db::AuditImage image;
  for (size_t i = 0; i < description_.fields.size(); ++i) {
    image.header[description_.fields[i].caption] = FieldAt(static_cast<int>(i)).Text();
  }
  return image;
}

bool MasterCard::AppendAudit(db::Transaction& transaction, db::AuditAction action, int64_t id,
                             std::vector<db::FieldChange> changes) {
  const host::LoginInfo login = Login();
  return db::AppendAudit(transaction,
                         {ClassName(), 0, id, Trim(FieldAt(0).Text()), action, std::move(changes)},
                         {login.userName, login.frontEnd});
}

}  // namespace ws::masters
