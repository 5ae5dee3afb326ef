// The document framework: a document control described by its header schema and its line sets,
// with the save, delete and state-change sequences written once. A document supplies its
// description and its own rules through the hooks; everything a save writes runs in one
// transaction, and every statement that changes an existing row must find exactly that row, so
// a document another user deleted, checked or changed meanwhile is refused, never half written.
//
// Save (SaveDocument), in this order:
//   ValidateSave           before anything: every field valid (else its hint, focus), numbers
//                          within range; the document may add its own checks
//   PrepareSave            before the transaction: settle the number, refuse with a message
//   -- BeginTrans: on SQLite this takes the write lock, so what follows is serialised --
//   CheckInTransaction     uniqueness and anything that must see the committed state
//   BeforeHeader           rows the header refers to (the repair order's vehicle)
//   number                 a new document's number registered with its counter (NewBillNo)
//   removed lines          deleted, of this document only
//   header                 insert with a new id, or update guarded by UpdateGuard and the row
//                          version the document was shown with (one row)
//   lines                  insert new, update saved (one row each, of this document)
//   AfterLines             further rows of the document
//   -- CommitTrans --
//   AfterCommit            the form learns ids; then ShowSaved (search, read-only, message)
//
// The rest of a document's life follows the same template; a document adds its own part:
//   New        number (NewBillNo), document and entry date, entered-by, then NewDocumentDefaults,
//              then the cursor on the number, or on the first input once a number is proposed
//   show       mark shown, the header from the row, record label, checked stamp, ShowDetails
//   clear      forget the shown row, empty fields and lines (unless KeepsValues), AfterClear
//   Follow     a new document of a repair order (order_follower.h): NewFromOrder
//   Check      ChangeState(true) under StateTag, failures to StateChangeFailed, one Close
//   Delete     nothing shown: "没有可删除的记录!"; else DeleteDocument under DeleteTag, one Close
//   print      the print file, 标题 (PrintTitle), every header field, the line sets as tables
//              by their grids' names, then AddPrintValues
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/audit_trail.h"
#include "db/runner.h"
#include "db/sql.h"
#include "framework/header_schema.h"
#include "framework/line_set.h"
#include "framework/period_gate.h"
#include "framework/step_outcome.h"
#include "host/document_control.h"

namespace ws::framework {

// What a save is writing, handed to the hooks inside the transaction.
struct SaveContext {
  db::Transaction& tx;
  bool isNew = false;
  int64_t id = 0;    // the document's id; set before the header insert of a new document
  RowValues values;  // the header values the save writes; hooks may change them
};

// One statement of a state change or delete; a step that must hit exactly one row refuses the
// whole change when it did not.
struct Step {
  db::Sql sql;
  bool exactlyOne = false;
};

class Document : public host::DocumentControl {
 public:
  Document(std::string className, HeaderSchema schema, std::string fieldArray);

  const HeaderSchema& Schema() const { return schema_; }
  const std::string& FieldArray() const { return fieldArray_; }

  // The template's answers to the toolbar (see the top of this file).
  bool FileSave() override;
  bool FileDelete() override;
  bool Check() override { return RunStateChange(true); }
  bool UnCheck() override { return RunStateChange(false); }
  bool DoPrint() override;

  // The id of this program's document numbered `number` as its window shows it (工单号码,
  // 单据编号): 0 when there is none or the document has no number; the failure's text in *error.
  // Needs the system (Init); the lowest id wins where an older shop holds a number twice.
  int64_t IdOfNumber(const std::string& number, std::string* error);

  // The "<caption>输入有误，请重新输入！" every refused input is told with.
  static std::string InputErrorText(const forms::Field& field);
  // Marks the field invalid with that hint, for the save to refuse.
  static void MarkInputError(forms::Field& field) { field.MarkInvalid(InputErrorText(field)); }

 protected:
  forms::Field& HeaderField(int index) const;
  // Builds the described fields of the field array and wires them (WireHeaderFields).
  void BuildHeader(const std::string& tagPrefix, std::string leaveTag = {},
                   std::string pickerTag = {});

  // --- The template (see the top of this file).
  void OnFileNew() override;
  virtual void NewDocumentDefaults() {}
  // OrderFollower::NewForOrder's course, every refusal before anything changes: `listed` runs the
  // document's chooser statement for that order alone and keeps what it lists, answering false
  // when it lists nothing (told by RefuseOrder with UnlistedOrderText and `ownReason`); the gate
  // judges the login date a new document takes; then FileNew and `fill`. Failures are reported
  // under `tag`.
  bool NewFromOrder(int64_t orderId, const std::string& tag, const PeriodGate& gate,
                    const std::string& ownReason, const std::function<bool()>& listed,
                    const std::function<bool()>& fill);
  // A box titled as the document, as its save refusals are told.
  virtual void RefuseOrder(const std::string& text);
  void ShowRecord(const db::Recordset& records, const std::string& position) override;
  virtual void ShowDetails(const db::Recordset& /*records*/) {}
  // Reads ahead the details ShowDetails will read for document id (ICommand::ReadAhead), so
  // that a server sends them with the document's own row.
  virtual void ReadAheadDetails(int64_t /*id*/) {}
  void ClearForm() override;
  virtual bool KeepsValues() const { return false; }
  virtual void AfterClear() {}
  // Check (true) or UnCheck (false) of the shown document; false when refused (told).
  virtual bool ChangeState(bool /*check*/) { return false; }
  // The tag a failed state change is reported under, and how: ErrMessage by default.
  virtual std::string StateTag(bool check) const { return check ? "Check::" : "UnCheck::"; }
  virtual void StateChangeFailed(bool /*check*/, const std::string& text) { ReportError(text); }
  // Deletes the shown document after its questions; answers whether it was deleted.
  virtual bool DeleteDocument() { return false; }
  virtual std::string DeleteTag() const { return "-->DeleteData::"; }
  // "是否删除当前记录:" answered Yes.
  bool ConfirmDelete();
  // The host's permission to change the document of that date (CanEditBill with its number).
  bool MayChange(const db::Date& date);
  // The document date (FieldRole::DocumentDate); throws "<caption>不是有效日期：<text>".
  db::Date DocumentDateOrThrow() const;
  virtual std::string PrintTag() const { return "->sfSetToPrintFile:"; }
  // The print data's 标题 ("" : none).
  virtual std::string PrintTitle() const { return {}; }
  virtual void AddPrintValues(host::IPrintData& /*data*/) {}
  // The message of a saved document shown again.
  virtual std::string SavedText() const { return "保存单据成功！"; }

  // --- The number (FieldRole::Number) is unique within the program. Checked inside the save's
  // transaction (the default CheckInTransaction); a clash rolls back and is told.
  bool NumberIsFree(SaveContext& ctx);
  // A new document's number moves its date's counter up to it (NewBillNo without a proposal),
  // inside the save: a save refused or failed leaves the counter where it was, and on a server
  // the write travels with the save's next statement.
  bool RegisterNumber(SaveContext& ctx);
  // The rows that already carry ctx's number: by default the table's other rows with it.
  virtual db::Sql DuplicateNumberSelect(const SaveContext& ctx) const;
  // The ids of the documents of the table numbered `number` (any program).
  db::Sql IdsNumbered(const std::string& number) const;
  // Tells the clash: "<caption>重复,请检查后重试!" titled "提示：", the cursor on the number.
  virtual void RefuseDuplicateNumber(bool isNew);
  // Asks "<caption>输入有误，请重新输入！" in a box and puts the cursor on the field.
  void TellInputError(forms::Field& field);

  // Line sets are saved in the order they were added.
  void AddLineSet(LineSet& lines) { lineSets_.push_back(&lines); }
  const std::vector<LineSet*>& LineSets() const { return lineSets_; }

  // The whole save; the answer of FileSave. Ends with the database service's Close.
  bool SaveDocument();

  // --- Hooks of the save (see the top of this file). Answering false stops the save with
  // nothing written; the hook has told the user why.
  virtual bool ValidateSave();
  virtual bool PrepareSave(RowValues& values, bool isNew) = 0;
  // What CheckInTransaction and BeforeHeader will read, read ahead in that order so that a
  // server answers it in one round trip: by default the number's duplicates.
  virtual void ReadAheadChecks(SaveContext& ctx);
  virtual bool CheckInTransaction(SaveContext& ctx) { return NumberIsFree(ctx); }
  virtual bool BeforeHeader(SaveContext&) { return true; }
  virtual bool AfterLines(SaveContext&) { return true; }
  virtual void AfterCommit(const SaveContext&) {}
  // A statement or the commit failed; the transaction is already rolled back. On a server
  // another counter's save of the same number may commit between the check and the insert (the
  // check cannot see an uncommitted row) and the unique index refuses it: a number taken now is
  // told as the clash it is; anything else as the database's text (ErrMessage).
  virtual void SaveFailed(const SaveContext& ctx, const std::string& error);
  // Appended to the header update's WHERE: which state an editable document is in.
  virtual std::string UpdateGuard() const { return " AND smark='01'"; }
  // Why the header or a saved line could not be updated, read inside the save's transaction:
  // the document is gone, no longer editable (UpdateGuard), or changed since it was shown.
  std::string StaleSaveText(db::Transaction& tx, int64_t id) const;
  // Shows the saved document again: search by id, read-only, clean, SavedText().
  bool ShowSaved(int64_t id);

  // The document's print file, <work folder>/selfPrint/<program>.txt: its folder made and the
  // host told where it is. Throws when the folder cannot be made.
  std::string StartPrintFile();
  // A line set's print rows into the print data as a table: the first row names the columns.
  static void AddPrintTable(host::IPrintData& data, const std::string& name,
                            std::vector<std::vector<std::string>> rows);

  // Wires every header field of the field array: a change calls FieldChanged and marks the
  // document changed; leaving a field calls FieldLeft, a picker request FieldPicker, each run
  // guarded as "<tagPrefix>ywTxt_TxtValid::" / "<tagPrefix>ywTxt_UserHelpEvent::" unless the
  // tags are given whole.
  void WireHeaderFields(const std::string& tagPrefix, std::string leaveTag = {},
                        std::string pickerTag = {});
  // A date field being left: a typed date is written in the shop's form, an unreadable one marks
  // the field with InputErrorText, an empty one is valid.
  static void LeaveDateField(forms::Field& field);
  // A number field being left: empty or a number as forms/typed_number.h reads it is valid;
  // anything else ("abc", "12abc", "NaN", "0x10") marks the field with the same hint, so the
  // save refuses it instead of storing a number the clerk never typed.
  static void LeaveNumberField(forms::Field& field);
  // The picker of a header field with the parameters its description gives; nullptr when the
  // host has none.
  std::shared_ptr<host::IControl> OpenFieldPicker(int index) const;
  // A lookup field being left: emptied, it names nothing (key 0, valid); typed, its picker must
  // resolve the text to a row (with a key above 0 where `positiveKey`), which fills key and
  // text; otherwise the field keeps key 0 and the input-error hint, and the save refuses it.
  void ResolveLookupField(int index, bool positiveKey = false);
  virtual void FieldChanged(int /*index*/) {}
  // By default a date or number field is checked as it is left.
  virtual void FieldLeft(int index);
  virtual void FieldPicker(int /*index*/) {}

  // Runs the statements in one transaction (check, uncheck, delete) with the audit row of
  // `action`. Nothing is written unless every statement succeeded and every exactlyOne step hit
  // one row.
  StepOutcome RunSteps(const std::vector<Step>& steps, db::AuditAction action);
  // The usual shape of a change: the first statement changes the document's own row and must
  // find it (else the outcome is missing), the rest follow it.
  StepOutcome RunSteps(const std::vector<db::Sql>& statements, db::AuditAction action);
  // Deletes the document by the statements (the first removes its own row) in one transaction
  // and shows the next document of the list. When the row is gone (or guarded away) missingText
  // is told; a failure reports the database's text. Answers whether the document was deleted.
  bool DeleteBySteps(const std::vector<db::Sql>& statements, const std::string& missingText,
                     int then = host::kNavNext);

  // --- The audit trail (db/audit_trail.h). The event of the shown document: its class, program,
  // id and number, with the changes given.
  db::AuditEvent AuditEventOf(db::AuditAction action,
                              std::vector<db::FieldChange> changes = {}) const;
  // The session the events are recorded under.
  db::AuditSession AuditSessionOf() const;
  // The document as the window shows it: the header's values by column, every saved row's
  // written cells by caption; rows listed under the line ids given per line set (the ids a
  // save has just written), or their own.
  db::AuditImage Image(const std::vector<std::vector<int64_t>>* lineIds = nullptr) const;

  // A new id from the navigator; a failure fails the transaction.
  int64_t NewId(db::Transaction& tx, const std::string& table, const std::string& key);
  // The stored row version of document id (0: the current one) inside tx (-1: none or no row).
  int64_t StoredRowVersion(db::Transaction& tx, int64_t id = 0) const;
  // Commits, reading in the same round trip the version the unit leaves the row at (-1 when
  // the table is not versioned). False when the commit failed.
  bool CommitReadingVersion(db::Transaction& tx, int64_t id, int64_t* version) const;
  // The read of the row's version; nullopt when there is none to read.
  std::optional<db::Sql> RowVersionSql(int64_t id) const;
  // The lower-case table name GetNewID takes for the header.
  virtual std::string HeaderIdTable() const;

 private:
  bool RunStateChange(bool check);
  // The save's steps inside its transaction, as the list at the top of this file has them.
  bool SaveInTransaction(RowValues values, bool isNew);
  // The ids a save takes: the new header's (first, for a new document) and each line set's new
  // lines', reserved in one request; `added` holds each set's rows without an id.
  struct NewIds {
    std::vector<host::IdBatch> batches;
    size_t firstLines = 0;
    std::vector<std::vector<int>> added;
  };
  NewIds PlanNewIds(bool isNew) const;
  // Issues every batch of the plan; false (the transaction failed) when one is short.
  bool ReserveIds(db::Transaction& tx, NewIds& plan);
  // Inserts the new header with its reserved id, or updates the shown one at its row version
  // (reserving the new lines' ids then). False when the update found no row: a stale window.
  bool WriteHeader(SaveContext& ctx, NewIds& plan);
  // Updates the saved lines and inserts the new ones a batch per statement; *lineIds gets each
  // set's ids in row order. False when a line's update found no row.
  bool WriteLines(SaveContext& ctx, const NewIds& plan, std::vector<std::vector<int64_t>>* lineIds);
  // The save's audit row: the header as written and the lines, against the image shown.
  void AppendSaveAudit(SaveContext& ctx, const std::vector<std::vector<int64_t>>& lineIds);
  // After the commit: the form holds the document and its lines as saved.
  void TakeSaved(const SaveContext& ctx, const std::vector<std::vector<int64_t>>& lineIds);
  bool NumbersInRange(std::string* caption) const;

  HeaderSchema schema_;
  std::string fieldArray_;
  std::vector<LineSet*> lineSets_;
  // The document as it was shown, the "before" of the next save's audit row.
  db::AuditImage shownImage_;
};

}  // namespace ws::framework
