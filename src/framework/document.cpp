#include "framework/document.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "db/amount.h"
#include "db/catalogue.h"
#include "db/date.h"
#include "db/value.h"
#include "forms/field.h"
#include "forms/text.h"
#include "forms/typed_number.h"
#include "framework/columns.h"
#include "framework/order_follower.h"

namespace ws::framework {

namespace {

// New lines per INSERT: few statements, each well inside both engines' limit of bound values.
constexpr size_t kLinesPerInsert = 100;

// Every number a document stores is held to the amounts' limit, so that each one and every sum
// of them stays exact (99,999,999,999.9999; see db::Amount).
bool InRange(const std::string& text) {
  return db::Amount::Of(text).InRange();
}

}  // namespace

Document::Document(std::string className, HeaderSchema schema, std::string fieldArray)
    : DocumentControl(std::move(className)),
      schema_(std::move(schema)),
      fieldArray_(std::move(fieldArray)) {}

std::string Document::HeaderIdTable() const {
  std::string table = schema_.Table();
  for (char& c : table) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return table;
}

bool Document::ValidateSave() {
  for (auto* widget : form_.Array(fieldArray_)) {
    auto* field = static_cast<forms::Field*>(widget);
    if (!field->Visible() || !field->Enabled() || field->Valid()) continue;
    // The field knows what is wrong with it; a save that only said no would leave the clerk
    // guessing which of thirty fields to correct.
    std::string hint = field->Hint().empty() ? InputErrorText(*field) : field->Hint();
    Ask(hint, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    form_.SetFocus(field);
    return false;
  }
  std::string caption;
  if (!NumbersInRange(&caption)) {
    Ask(caption + "超出允许范围，不能保存！", Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  return true;
}

bool Document::NumbersInRange(std::string* caption) const {
  for (const auto& c : schema_.Columns()) {
    if (c.kind != ValueKind::Number || c.field < 0) continue;
    const auto& field = form_.Get<forms::Field>(fieldArray_, c.field);
    if (!InRange(field.Text())) {
      *caption = forms::Trim(field.Caption());
      return false;
    }
  }
  for (const LineSet* lines : lineSets_) {
    db::Amount total;
    for (int row : lines->SavedRows()) {
      for (const auto& c : lines->Schema().columns) {
        if (c.kind != ValueKind::Number) continue;
        if (!InRange(lines->Grid().TextMatrix(row, c.col))) {
          *caption = forms::Trim(lines->Grid().TextMatrix(0, c.col));
          return false;
        }
      }
      if (lines->Schema().amountCol >= 0) {
        total += db::Amount::Of(lines->Grid().TextMatrix(row, lines->Schema().amountCol));
      }
    }
    if (!total.InRange()) {
      *caption = forms::Trim(lines->Grid().TextMatrix(0, lines->Schema().amountCol));
      return false;
    }
  }
  return true;
}

int64_t Document::NewId(db::Transaction& tx, const std::string& table, const std::string& key) {
  int64_t id = 0;
  if (std::string failure = Navigator().GetNewID(table, key, id); !failure.empty()) {
    tx.Fail(failure);
  }
  return id;
}

bool Document::SaveDocument() {
  if (!HasSystem()) return false;
  bool saved = false;
  try {
    if (ValidateSave()) {
      const bool isNew = CurrentId() <= 0;
      RowValues values = schema_.Collect(form_, fieldArray_);
      if (PrepareSave(values, isNew)) saved = SaveInTransaction(std::move(values), isNew);
    }
  } catch (const std::exception& e) {
    // A failing statement or hook; the transaction guard has rolled back.
    ReportError(e.what());
    saved = false;
  }
  Database().Close();
  return saved;
}

bool Document::SaveInTransaction(RowValues values, bool isNew) {
  db::Transaction tx(Database());
  if (tx.Failed()) throw std::runtime_error(tx.Error());
  SaveContext ctx{tx, isNew, isNew ? 0 : CurrentId(), std::move(values)};
  auto stale = [&] {
    const std::string text = StaleSaveText(tx, ctx.id);
    tx.Rollback();
    Ask(text, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  };

  ReadAheadChecks(ctx);
  // The number's registration comes after what the checks read ahead has been read: a write
  // would drop those answers.
  if (!CheckInTransaction(ctx) || !BeforeHeader(ctx) || (isNew && !RegisterNumber(ctx))) {
    tx.Rollback();
    return false;
  }
  if (!isNew) {
    for (LineSet* lines : lineSets_) {
      if (!lines->Removed().empty()) tx.Run(lines->DeleteRemoved(ctx.id));
    }
  }
  NewIds newIds = PlanNewIds(isNew);
  if (!WriteHeader(ctx, newIds)) return stale();
  std::vector<std::vector<int64_t>> lineIds;
  if (!WriteLines(ctx, newIds, &lineIds)) return stale();
  if (!tx.Failed() && !AfterLines(ctx)) {
    tx.Rollback();
    return false;
  }
  if (!tx.Failed()) AppendSaveAudit(ctx, lineIds);
  // The version this save leaves behind is the window's own: if reading the document back
  // fails below, its next save must not be taken for another user's change.
  int64_t savedVersion = -1;
  if (tx.Failed() || !CommitReadingVersion(tx, ctx.id, &savedVersion)) {
    SaveFailed(ctx, tx.Error());
    return false;
  }
  NoteRowVersion(savedVersion);
  TakeSaved(ctx, lineIds);
  AfterCommit(ctx);
  return ShowSaved(ctx.id);
}

Document::NewIds Document::PlanNewIds(bool isNew) const {
  // The new header's id and the new lines' ids are reserved together, and the lines written
  // a batch per statement: on a server every statement is a round trip.
  NewIds plan;
  if (isNew) {
    plan.batches.push_back(
        {.table = HeaderIdTable(), .keyColumn = schema_.KeyColumn(), .count = 1, .ids = {}});
  }
  plan.firstLines = plan.batches.size();
  plan.added.resize(lineSets_.size());
  for (size_t i = 0; i < lineSets_.size(); ++i) {
    for (int row : lineSets_[i]->SavedRows()) {
      if (lineSets_[i]->LineId(row) <= 0) plan.added[i].push_back(row);
    }
    plan.batches.push_back({.table = lineSets_[i]->Schema().idTable,
                            .keyColumn = lineSets_[i]->Schema().lineKey,
                            .count = static_cast<int64_t>(plan.added[i].size()),
                            .ids = {}});
  }
  return plan;
}

bool Document::ReserveIds(db::Transaction& tx, NewIds& plan) {
  std::string failure = Navigator().GetNewIDs(plan.batches);
  for (size_t i = 0; failure.empty() && i < plan.batches.size(); ++i) {
    if (plan.batches[i].ids.size() != static_cast<size_t>(plan.batches[i].count))
      failure = "no ids issued for " + plan.batches[i].table;
  }
  if (!failure.empty()) tx.Fail(failure);
  return failure.empty();
}

bool Document::WriteHeader(SaveContext& ctx, NewIds& plan) {
  db::Transaction& tx = ctx.tx;
  if (ctx.isNew) {
    if (ReserveIds(tx, plan)) {
      ctx.id = plan.batches.front().ids.front();
      ctx.values[schema_.KeyColumn()] = db::DecimalText(static_cast<double>(ctx.id));
      // Sent with the next statement: its failure fails the save from there.
      tx.Send(schema_.Insert(ctx.values, Driver()));
    }
    return true;
  }
  db::Sql update = schema_.Update(ctx.values, ctx.id, UpdateGuard(), Driver());
  // A deliberate guard beyond the documents' own rules, under which the later of two saves
  // silently overwrote the earlier: a window that read the row before another user's save,
  // check or uncheck must not put back what it showed, so the update finds the row only at
  // the version it was shown with.
  if (ShownRowVersion() >= 0) {
    update.Raw(" AND ").Raw(db::kRowVersionColumn).Raw("=").Key(ShownRowVersion());
  }
  int64_t rows = 0;
  if (tx.Run(update, &rows) && rows != 1) return false;
  if (!tx.Failed() && std::any_of(plan.added.begin(), plan.added.end(),
                                  [](const auto& added) { return !added.empty(); }))
    ReserveIds(tx, plan);
  return true;
}

bool Document::WriteLines(SaveContext& ctx, const NewIds& plan,
                          std::vector<std::vector<int64_t>>* lineIds) {
  db::Transaction& tx = ctx.tx;
  lineIds->assign(lineSets_.size(), {});
  for (size_t i = 0; i < lineSets_.size() && !tx.Failed(); ++i) {
    LineSet& lines = *lineSets_[i];
    const std::vector<int64_t>& lineNewIds = plan.batches[plan.firstLines + i].ids;
    size_t next = 0;
    for (int row : lines.SavedRows()) {
      if (lines.LineId(row) <= 0) {
        (*lineIds)[i].push_back(lineNewIds[next++]);
        continue;
      }
      int64_t rows = 0;
      if (!tx.Run(lines.Update(row, ctx.id), &rows)) break;
      if (rows != 1) return false;
      (*lineIds)[i].push_back(lines.LineId(row));
    }
    const std::vector<int>& added = plan.added[i];
    for (size_t first = 0; first < added.size() && !tx.Failed(); first += kLinesPerInsert) {
      const size_t last = std::min(added.size(), first + kLinesPerInsert);
      const std::vector<int> rows(added.begin() + static_cast<std::ptrdiff_t>(first),
                                  added.begin() + static_cast<std::ptrdiff_t>(last));
      const std::vector<int64_t> ids(lineNewIds.begin() + static_cast<std::ptrdiff_t>(first),
                                     lineNewIds.begin() + static_cast<std::ptrdiff_t>(last));
      tx.Send(lines.Insert(rows, ids, ctx.id));
    }
  }
  return true;
}

void Document::AppendSaveAudit(SaveContext& ctx, const std::vector<std::vector<int64_t>>& lineIds) {
  db::AuditImage after = Image(&lineIds);
  after.header = ctx.values;
  // The event row names the document and its program itself, and a new document's mark is
  // always that of an unchecked one: none of them is a value the clerk entered.
  for (const std::string& bookkeeping :
       {schema_.KeyColumn(), std::string("progid"), std::string("smark")}) {
    after.header.erase(bookkeeping);
  }
  db::AuditEvent event =
      AuditEventOf(ctx.isNew ? db::AuditAction::Insert : db::AuditAction::Update,
                   ctx.isNew ? db::NewImageChanges(after) : db::CompareImages(shownImage_, after));
  event.documentId = ctx.id;
  if (auto number = ctx.values.find(schema_.ColumnWith(FieldRole::Number));
      number != ctx.values.end()) {
    event.number = number->second;
  }
  db::AppendAudit(ctx.tx, event, AuditSessionOf());
}

void Document::TakeSaved(const SaveContext& ctx, const std::vector<std::vector<int64_t>>& lineIds) {
  // Written: the form knows the lines and the document as saved even if reading them back
  // fails, so a later save updates them instead of inserting them twice.
  for (size_t i = 0; i < lineSets_.size(); ++i) {
    lineSets_[i]->ForgetRemoved();
    lineSets_[i]->SetSavedLineIds(lineIds[i]);
  }
  SetCurrentId(ctx.id);
  if (RequestedId() >= 1 && RequestedId() != ctx.id) {
    SetRequestedId(ctx.id);
    BuildBaseCondition();
  }
}

std::string Document::StaleSaveText(db::Transaction& tx, int64_t id) const {
  auto rowCount = [&](const std::string& guard) {
    return tx.Db().ScalarNumberOrThrow(db::Sql("SELECT count(*) FROM ")
                                           .Raw(schema_.Table())
                                           .Raw(" WHERE ")
                                           .Raw(schema_.KeyColumn())
                                           .Raw("=")
                                           .Key(id)
                                           .Raw(guard));
  };
  if (rowCount({}) == 0) return "当前单据已被他人删除，不能保存！";
  if (rowCount(UpdateGuard()) == 0) return "当前单据已审核，不能保存！";
  return host::kRowChangedText;
}

bool Document::ShowSaved(int64_t id) {
  ReadAheadDetails(id);
  if (!SearchList(db::Sql(schema_.KeyColumn()).Raw("=").Key(id).Literal(), false)) return false;
  SetEditState(false);
  SetDirty(false);
  events_.Message(SavedText());
  return true;
}

void Document::SaveFailed(const SaveContext& ctx, const std::string& error) {
  const std::string& column = schema_.ColumnWith(FieldRole::Number);
  auto number = ctx.values.find(column);
  if (!column.empty() && number != ctx.values.end() && !number->second.empty()) {
    std::string readError;
    auto duplicate = db::Runner(Database()).Open(DuplicateNumberSelect(ctx), &readError);
    if (readError.empty() && !duplicate->Eof()) {
      RefuseDuplicateNumber(ctx.isNew);
      return;
    }
  }
  ReportError(error);
}

db::Sql Document::IdsNumbered(const std::string& number) const {
  return db::Sql("SELECT ")
      .Raw(schema_.KeyColumn())
      .Raw(" FROM ")
      .Raw(schema_.Table())
      .Raw(" WHERE ")
      .Raw(schema_.ColumnWith(FieldRole::Number))
      .Raw("=")
      .Text(number);
}

int64_t Document::IdOfNumber(const std::string& number, std::string* error) {
  if (!HasSystem() || schema_.ColumnWith(FieldRole::Number).empty()) return 0;
  db::Sql sql = IdsNumbered(number);
  if (const std::string& program = schema_.ProgramColumn(); !program.empty()) {
    sql.Raw(" AND ").Raw(program).Raw("=").Key(ProgramNumber());
  }
  sql.Raw(" ORDER BY ").Raw(schema_.KeyColumn());
  auto rows = db::Runner(Database()).Open(sql, error);
  return error->empty() && !rows->Eof() ? rows->Field(0).ToLong() : 0;
}

db::Sql Document::DuplicateNumberSelect(const SaveContext& ctx) const {
  auto number = ctx.values.find(schema_.ColumnWith(FieldRole::Number));
  return IdsNumbered(number == ctx.values.end() ? std::string() : number->second)
      .Raw(" AND ")
      .Raw(schema_.KeyColumn())
      .Raw("<>")
      .Key(ctx.isNew ? 0 : ctx.id);
}

void Document::ReadAheadChecks(SaveContext& ctx) {
  if (schema_.FieldWith(FieldRole::Number) < 0) return;
  // On a server two saves of one number would each read the other's uncommitted absence: the
  // number's turn is taken first, and the check below reads after the other save has ended.
  if (auto number = ctx.values.find(schema_.ColumnWith(FieldRole::Number));
      number != ctx.values.end() && !number->second.empty()) {
    ctx.tx.LockValue(schema_.Table(), number->second);
  }
  ctx.tx.Db().ReadAhead(DuplicateNumberSelect(ctx));
}

bool Document::RegisterNumber(SaveContext& ctx) {
  const std::string& column = schema_.ColumnWith(FieldRole::Number);
  auto number = ctx.values.find(column);
  if (column.empty() || number == ctx.values.end()) return true;
  // A typed number names its own date; the login date only stands in the call.
  std::string registered = number->second;
  return System().NewBillNo(ProgramNumber(), Login().loginDate, registered, false);
}

bool Document::NumberIsFree(SaveContext& ctx) {
  if (schema_.FieldWith(FieldRole::Number) < 0) return true;
  // Under the write lock: no other counter stores the same number between this test and the
  // insert (a unique index backs it).
  if (ctx.tx.Db().OpenOrThrow(DuplicateNumberSelect(ctx))->Eof()) return true;
  ctx.tx.Rollback();
  RefuseDuplicateNumber(ctx.isNew);
  return false;
}

void Document::RefuseDuplicateNumber(bool /*isNew*/) {
  forms::Field& number = HeaderField(schema_.FieldWith(FieldRole::Number));
  Ask(forms::Trim(number.Caption()) + "重复,请检查后重试!", "提示：", host::MsgButtons::Ok,
      host::MsgIcon::Information);
  form_.SetFocus(&number);
}

std::string Document::InputErrorText(const forms::Field& field) {
  return forms::Trim(field.Caption()) + "输入有误，请重新输入！";
}

void Document::TellInputError(forms::Field& field) {
  Ask(InputErrorText(field), Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
  form_.SetFocus(&field);
}

std::shared_ptr<host::IControl> Document::OpenFieldPicker(int index) const {
  const HeaderColumn* description = schema_.FieldOf(index);
  return OpenPicker(System(), HeaderField(index).Picker(), ProgramNumber(),
                    description ? description->pickerParameters : PickerParameters{});
}

void Document::ResolveLookupField(int index, bool positiveKey) {
  forms::Field& field = HeaderField(index);
  const std::string typed = forms::Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("0", "");
    field.MarkValid();
    return;
  }
  auto picker = OpenFieldPicker(index);
  if (!picker) return;
  const PickedRow picked = ResolveTyped(*picker, typed);
  if (!picked.found || (positiveKey && db::NumericValue(picked.value) <= 0)) {
    field.SetKey("0");
    MarkInputError(field);
    return;
  }
  field.SetValue(picked.value, picked.text.empty() ? typed : picked.text);
  field.MarkValid();
}

forms::Field& Document::HeaderField(int index) const {
  return form_.Get<forms::Field>(fieldArray_, index);
}

void Document::BuildHeader(const std::string& tagPrefix, std::string leaveTag,
                           std::string pickerTag) {
  schema_.BuildFields(form_, fieldArray_);
  WireHeaderFields(tagPrefix, std::move(leaveTag), std::move(pickerTag));
}

void Document::OnFileNew() {
  const host::LoginInfo login = Login();
  const int numberField = schema_.FieldWith(FieldRole::Number);
  std::string number;
  if (numberField >= 0 && System().NewBillNo(ProgramNumber(), login.loginDate, number, true)) {
    HeaderField(numberField).SetText(number);
  }
  for (FieldRole role : {FieldRole::DocumentDate, FieldRole::EntryDate}) {
    if (int index = schema_.FieldWith(role); index >= 0) {
      HeaderField(index).SetText(login.loginDate.Text());
    }
  }
  if (int index = schema_.FieldWith(FieldRole::EnteredBy); index >= 0) {
    HeaderField(index).SetText(login.userName);
  }
  NewDocumentDefaults();
  if (numberField < 0) return;
  const int first = schema_.FieldWith(FieldRole::FirstInput);
  forms::Field& focus = HeaderField(numberField).Text().empty() || first < 0
                            ? HeaderField(numberField)
                            : HeaderField(first);
  form_.SetFocus(&focus);
}

bool Document::NewFromOrder(int64_t orderId, const std::string& tag, const PeriodGate& gate,
                            const std::string& ownReason, const std::function<bool()>& listed,
                            const std::function<bool()>& fill) {
  if (!HasSystem()) return false;
  const bool admitted = Guarded(tag, [&] {
    if (!listed()) {
      RefuseOrder(UnlistedOrderText(Database(), orderId, ownReason));
      return false;
    }
    return gate.AdmitsNew(PeriodGate::PeriodOf(System(), Login().loginDate), System().Dialogs());
  });
  return admitted && FileNew() && Guarded(tag, fill);
}

void Document::RefuseOrder(const std::string& text) {
  Ask(text, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
}

void Document::ShowRecord(const db::Recordset& records, const std::string& position) {
  MarkShown(records.Long(schema_.KeyColumn()));
  schema_.Show(records, form_, fieldArray_);
  SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
  SetCheckedStamp(records.Text(col::kMark) != "01");
  ShowDetails(records);
  shownImage_ = Image();
}

void Document::ClearForm() {
  ForgetShown();
  shownImage_ = {};
  if (!KeepsValues()) {
    for (const auto& child : form_.Children()) {
      if (auto* field = dynamic_cast<forms::Field*>(child.get())) {
        field->SetValue("", "");
        field->MarkValid();
      } else if (auto* box = dynamic_cast<forms::TextBox*>(child.get())) {
        box->SetText("");  // text boxes, combo boxes and date editors
      }
    }
    for (LineSet* lines : lineSets_) lines->Clear();
  }
  // A load forgets the lines removed from the document shown before.
  for (LineSet* lines : lineSets_) lines->ForgetRemoved();
  // Kept values start a new document, which never carries the old one's number.
  if (int index = schema_.FieldWith(FieldRole::Number); index >= 0) {
    if (auto* number = form_.FindAs<forms::Field>(fieldArray_, index)) number->SetText("");
  }
  SetRecordLabel("记录：0/0");
  SetCheckedStamp(false);
  AfterClear();
}

bool Document::FileSave() {
  if (!HasSystem() || lineSets_.empty()) return false;
  return SaveDocument();
}

bool Document::RunStateChange(bool check) {
  if (!HasSystem()) return false;
  bool done = false;
  try {
    done = ChangeState(check);
  } catch (const std::exception& e) {
    StateChangeFailed(check, StateTag(check) + e.what());
  }
  Database().Close();
  return done;
}

bool Document::FileDelete() {
  if (!HasSystem()) return false;
  bool deleted = false;
  if (CurrentId() <= 0) {
    Ask("没有可删除的记录!", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
  } else {
    deleted = Guarded(DeleteTag(), [&] { return DeleteDocument(); });
  }
  Database().Close();
  return deleted;
}

bool Document::ConfirmDelete() {
  return Ask("是否删除当前记录:", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) ==
         host::MsgAnswer::Yes;
}

bool Document::MayChange(const db::Date& date) {
  const int number = schema_.FieldWith(FieldRole::Number);
  return System().CanEditBill(ProgramNumber(), date,
                              number >= 0 ? HeaderField(number).Text() : std::string());
}

db::Date Document::DocumentDateOrThrow() const {
  const forms::Field& field = HeaderField(schema_.FieldWith(FieldRole::DocumentDate));
  auto date = db::Date::Parse(forms::Trim(field.Text()));
  if (!date) {
    throw std::runtime_error(forms::Trim(field.Caption()) + "不是有效日期：" + field.Text());
  }
  return *date;
}

bool Document::DoPrint() {
  if (!HasSystem() || lineSets_.empty()) return false;
  return Guarded(PrintTag(), [&] {
    const std::string file = StartPrintFile();
    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    if (!data) throw std::runtime_error("no print data component");
    if (std::string title = PrintTitle(); !title.empty()) data->SetValue("标题", title);
    // Every header field, the copied and computed ones included.
    for (const auto& [caption, text] : schema_.PrintValues(form_, fieldArray_)) {
      data->SetValue(caption, text);
    }
    for (const LineSet* lines : lineSets_) {
      AddPrintTable(*data, lines->Grid().Name(), lines->PrintRows());
    }
    AddPrintValues(*data);
    if (std::string failure = data->WriteFile(file); !failure.empty()) {
      throw std::runtime_error(failure);
    }
    return true;
  });
}

std::optional<db::Sql> Document::RowVersionSql(int64_t id) const {
  if (id == 0) id = CurrentId();
  const db::TableDef* table = db::FindTable(schema_.Table());
  if (!table || table->versionedSince == 0 || id <= 0) return std::nullopt;
  return db::Sql("SELECT ")
      .Raw(db::kRowVersionColumn)
      .Raw(" FROM ")
      .Raw(schema_.Table())
      .Raw(" WHERE ")
      .Raw(schema_.KeyColumn())
      .Raw("=")
      .Key(id);
}

int64_t Document::StoredRowVersion(db::Transaction& tx, int64_t id) const {
  auto sql = RowVersionSql(id);
  if (!sql || tx.Failed()) return -1;
  std::string error;
  auto row = tx.Db().Open(*sql, &error);
  if (!error.empty()) tx.Fail(error);
  return error.empty() && !row->Eof() ? row->Long(db::kRowVersionColumn) : -1;
}

bool Document::CommitReadingVersion(db::Transaction& tx, int64_t id, int64_t* version) const {
  *version = -1;
  auto sql = RowVersionSql(id);
  if (!sql) return tx.Commit();
  std::shared_ptr<db::Recordset> row;
  if (!tx.CommitReading(*sql, &row)) return false;
  if (!row->Eof()) *version = row->Long(db::kRowVersionColumn);
  return true;
}

StepOutcome Document::RunSteps(const std::vector<Step>& steps, db::AuditAction action) {
  StepOutcome outcome;
  db::Transaction tx(Database());
  int64_t before = -1;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (tx.Failed()) break;
    int64_t rows = 0;
    if (tx.Run(steps[i].sql, &rows) && steps[i].exactlyOne && rows != 1) {
      tx.Rollback();
      outcome.refused = true;
      return outcome;
    }
    if (i == 0) {
      // The first statement changes the document's own row: it moved the version on by one
      // and, on the server, holds the row, so the version it found is the one before it.
      const int64_t now = StoredRowVersion(tx);
      before = now > 0 ? now - 1 : -1;
    }
  }
  if (!tx.Failed()) db::AppendAudit(tx, AuditEventOf(action), AuditSessionOf());
  int64_t after = -1;
  if (tx.Failed() || !CommitReadingVersion(tx, 0, &after)) {
    outcome.error = tx.Error();
    return outcome;
  }
  // A window that showed the row as it was stays current after its own check or uncheck:
  // only another user's change makes its next save stale.
  if (before >= 0 && before == ShownRowVersion() && after >= 0) NoteRowVersion(after);
  return outcome;
}

std::string Document::StartPrintFile() {
  const std::filesystem::path folder = std::filesystem::path(Login().workFolder) / "selfPrint";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / (std::to_string(ProgramNumber()) + ".txt")).string();
  SetPrintFile(file);
  return file;
}

void Document::AddPrintTable(host::IPrintData& data, const std::string& name,
                             std::vector<std::vector<std::string>> rows) {
  std::vector<std::string> columns;
  if (!rows.empty()) {
    columns = std::move(rows.front());
    rows.erase(rows.begin());
  }
  data.AddTable(name, columns, rows);
}

void Document::LeaveDateField(forms::Field& field) {
  const std::string typed = forms::Trim(field.Text());
  if (typed.empty()) {
    field.MarkValid();
  } else if (auto date = db::Date::Parse(typed)) {
    field.SetText(date->Text());
    field.MarkValid();
  } else {
    MarkInputError(field);
  }
}

void Document::LeaveNumberField(forms::Field& field) {
  if (forms::IsBlankNumberText(field.Text()) || forms::ParseTypedNumber(field.Text())) {
    field.MarkValid();
  } else {
    MarkInputError(field);
  }
}

void Document::FieldLeft(int index) {
  forms::Field& field = HeaderField(index);
  if (field.Kind() == forms::FieldKind::Date) {
    LeaveDateField(field);
  } else if (field.Kind() == forms::FieldKind::Number) {
    LeaveNumberField(field);
  }
}

void Document::WireHeaderFields(const std::string& tagPrefix, std::string leaveTag,
                                std::string pickerTag) {
  if (leaveTag.empty()) leaveTag = tagPrefix + "ywTxt_TxtValid::";
  if (pickerTag.empty()) pickerTag = tagPrefix + "ywTxt_UserHelpEvent::";
  for (auto* widget : form_.Array(fieldArray_)) {
    auto* field = static_cast<forms::Field*>(widget);
    const int index = field->Index();
    field->OnChange = [this, index] {
      FieldChanged(index);
      SetDirty(true);
    };
    field->OnLeave = [this, index, tag = leaveTag] {
      Guarded(tag, [&] {
        FieldLeft(index);
        return true;
      });
    };
    if (!field->Picker().empty()) {
      field->OnPickerRequest = [this, index, tag = pickerTag] {
        Guarded(tag, [&] {
          FieldPicker(index);
          return true;
        });
      };
    }
  }
}

StepOutcome Document::RunSteps(const std::vector<db::Sql>& statements, db::AuditAction action) {
  std::vector<Step> steps;
  steps.reserve(statements.size());
  for (size_t i = 0; i < statements.size(); ++i) steps.push_back({statements[i], i == 0});
  return RunSteps(steps, action);
}

bool Document::DeleteBySteps(const std::vector<db::Sql>& statements, const std::string& missingText,
                             int then) {
  StepOutcome outcome = RunSteps(statements, db::AuditAction::Delete);
  if (outcome.refused) {
    Ask(missingText, "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (!outcome.Ok()) {
    ReportError(outcome.error);
    return false;
  }
  return LoadList(then);
}

db::AuditEvent Document::AuditEventOf(db::AuditAction action,
                                      std::vector<db::FieldChange> changes) const {
  db::AuditEvent event{ClassName(), ProgramNumber(), CurrentId(), {}, action, std::move(changes)};
  if (const int number = schema_.FieldWith(FieldRole::Number); number >= 0) {
    event.number = forms::Trim(HeaderField(number).Text());
  }
  return event;
}

db::AuditSession Document::AuditSessionOf() const {
  const host::LoginInfo login = Login();
  return {login.userName, login.frontEnd};
}

db::AuditImage Document::Image(const std::vector<std::vector<int64_t>>* lineIds) const {
  db::AuditImage image;
  image.header = schema_.Collect(form_, fieldArray_);
  for (size_t i = 0; i < lineSets_.size(); ++i) {
    const LineSet& lines = *lineSets_[i];
    const forms::Grid& grid = lines.Grid();
    const std::vector<int> rows = lines.SavedRows();
    for (size_t k = 0; k < rows.size(); ++k) {
      const int64_t id =
          lineIds && k < (*lineIds)[i].size() ? (*lineIds)[i][k] : lines.LineId(rows[k]);
      if (id <= 0) continue;  // not written: no image to compare with
      const db::AuditImage::LineKey key{grid.Name(), id};
      db::AuditImage::Values& values = image.lines[key];
      // The line's item or part as the clerk knows it, by its code rather than its key.
      const LineSchema& schema = lines.Schema();
      const std::string code = forms::Trim(grid.TextMatrix(rows[k], schema.codeCol));
      const std::string name = schema.nameCol == schema.codeCol
                                   ? std::string()
                                   : forms::Trim(grid.TextMatrix(rows[k], schema.nameCol));
      image.lineNames[key] = db::AuditLineName(schema.caption, static_cast<int>(k) + 1, code, name);
      if (!schema.keyColumn.empty()) {
        values[schema.codeColumn.empty() ? schema.keyColumn : schema.codeColumn] =
            grid.TextMatrix(rows[k], schema.codeCol);
      }
      // By the table's column: a shop may rename a grid's captions, never its columns.
      for (const LineColumn& column : lines.Schema().columns) {
        if (column.saved) values[column.column] = grid.TextMatrix(rows[k], column.col);
      }
    }
  }
  return image;
}

}  // namespace ws::framework
