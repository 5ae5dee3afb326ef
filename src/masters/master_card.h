// The master cards (vehicle, repair item, repair category): the edit card of one row of a
// master table. The host opens a card when a master list raises EditForm, passing the row's id
// as the requested id (0 for a new row); a card with a requested id only ever shows that row.
// One implementation, told apart by its description: the fields and the columns they show,
// the code and name that must be present and unique, the statements of save and delete.
//
// A card is a document control without a program column: its list is the whole table (or the
// stored filter), browsed one row at a time through the record navigator. It inserts, updates
// and deletes its rows itself, each in one transaction. Events: Message, ErrMessage (titled
// with the description's title), FormRefreshed (after every load and every search), Property
// (declared, never raised).
//
// Fields are the control array "ywTxt" in the description's order; field 0 is the code and
// field 1 the name. The check box "Chk" keeps the field contents when a new row is started.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/audit_trail.h"
#include "db/sql.h"
#include "forms/field.h"
#include "framework/vin.h"
#include "host/document_control.h"

namespace ws::masters {

// A lookup over a host table: the field's text is the row's name, its key the row's id.
struct LookupDescription {
  std::string picker;       // the host picker that serves the field ("pdmkh_j")
  std::string table;        // where typed text is resolved
  std::string keyColumn;    // id of the chosen row
  std::string nameColumn;   // the text the field shows
  std::string codeColumn;   // typed text may also be the row's code
  std::string invalidText;  // hint of a text that matches no row
};

struct CardField {
  CardField(std::string column, std::string caption, forms::FieldKind kind = forms::FieldKind::Text,
            std::string keyColumn = {}, const LookupDescription* lookup = nullptr,
            bool readOnly = false)
      : column(std::move(column)),
        caption(std::move(caption)),
        kind(kind),
        keyColumn(std::move(keyColumn)),
        lookup(lookup),
        readOnly(readOnly) {}
  std::string column;  // column of the card's SELECT shown as the field's text
  std::string caption;
  forms::FieldKind kind = forms::FieldKind::Text;
  std::string keyColumn;  // lookup fields: column of the SELECT read into the key
  const LookupDescription* lookup = nullptr;
  // Shown, never typed nor saved (a part's stock on hand, which only the stock journal moves).
  bool readOnly = false;
};

// How a field's content is written by save.
enum class SaveValue {
  Text,    // the text as typed, as a text literal
  Number,  // the typed number (forms/typed_number.h); empty or anything else: 0
  Key,     // the numeric value of a lookup field's key
  // A service interval: empty stores 0 (no reminder); a whole number above zero is stored;
  // anything else refuses the save, naming the field.
  Interval,
  // A yes/no flag typed as "是" or "否" (or 1/0): stored 1 or 0; empty is no; anything else
  // refuses the save, naming the field.
  Flag,
};

// How a typed flag reads: 1 for "是"/"1", 0 for empty/"否"/"0", nullopt for anything else.
std::optional<int> ParseFlag(const std::string& typed);

// How a typed service interval reads: 0 for empty, the number when it is a whole number above
// zero, nullopt for anything else (0, negative, fractions, text).
std::optional<int> ParseServiceInterval(const std::string& typed);

struct SaveColumn {
  SaveColumn(std::string column, int field, SaveValue value = SaveValue::Text)
      : column(std::move(column)), field(field), value(value) {}
  std::string column;
  int field = 0;
  SaveValue value = SaveValue::Text;
};

struct MasterCardDescription {
  std::string className;  // "PDM_clAdd"
  std::string title;      // ErrMessage and message-box title
  std::string table;      // table of save and delete, and of GetNewID
  std::string keyColumn;  // "车辆ID"
  std::string select;     // the navigator's SELECT, without WHERE
  std::vector<CardField> fields;
  std::vector<SaveColumn> saveColumns;  // in the order the statements write them
  // How the messages name the code (field 0) and the name (field 1): "编号" / "车牌号".
  std::string codeWord;
  std::string nameWord;
  std::string usageQuery;  // + id: a positive first value means the row is in use
  std::string inUseText;
  std::string deletedText;                    // + id
  std::vector<host::FindColumn> findColumns;  // what Find and Filter search by
  // The field holding a VIN, judged as it is left and as the card saves (framework/vin.h); -1 for
  // none.
  int vinField = -1;
  // A field whose text, with the name's, makes the name a duplicate: two parts of one name
  // differ by their 规格. -1: the name alone.
  int nameQualifierField = -1;
  // Number columns a new row is given beside the saved ones (a customer's partner kind).
  std::vector<std::pair<std::string, int>> newRowNumbers = {};
  // A table that keeps a copy of every saved row under the same key (the settlement side's
  // partners): written and deleted in the same transaction.
  std::string mirrorTable = {};
};

class MasterCard : public host::DocumentControl {
 public:
  // The description must outlive the card (the descriptions of the module are static).
  explicit MasterCard(const MasterCardDescription& description);

  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kCopyOnNew = "Chk";

  // Editable fields; with "Chk" checked the contents stay, else the fields are cleared. The
  // shown row becomes the one Cancel returns to.
  bool FileNew() override;
  // Re-reads the row shown before New or Edit; read-only, not dirty, an empty Message.
  bool FileCancel() override;
  // Stores the condition text (values between single quotes, whatever the dialect) and searches
  // with it; finding nothing clears the card. Empty/Null conditions do nothing.
  bool Find(const host::Conditions& conditions) override;
  // Editable when a row is shown; else a box "没有具体的往来数据，不能编辑! " and false.
  bool FileEdit() override;
  // Validates, inserts or updates in one transaction and shows the saved row read-only.
  // Every refusal is a message box naming the field; false leaves the card editing.
  bool FileSave() override;
  // Asks, tests the usage, asks again naming field 1, deletes, then shows the next row.
  bool FileDelete() override;
  // Like Find, continuing after the shown row; finding nothing clears the card.
  bool FindNext() override;
  // "change" re-reads the shown row; any other word leaves editing and shows the last row.
  // The checked stamp is not a card's: the flag is ignored.
  bool DoSetStatus(const std::string& statusWord, bool stamp) override;
  // Prepares the print file "selfPrint/<program number>.txt" under the work folder (creating
  // the folder); a card prints nothing, so the answer is false.
  bool DoPrint() override;
  bool CheckStatus(const std::string&) override { return false; }
  // The layout file "selfbb/<class name>.txt": a card keeps only the widths of its line grids.
  void DoGetFormStatus() override;
  void DoSaveFormStatus() override;

  forms::Field& FieldAt(int index) const;
  // The row Cancel goes back to.
  int64_t PreviousId() const { return LastLoadedId(); }
  const MasterCardDescription& Description() const { return description_; }
  std::vector<host::FindColumn> FindColumns() const override { return description_.findColumns; }

 protected:
  void SetupForm() override;
  std::string BaseSelect() const override { return description_.select; }
  std::string KeyColumn() const override { return description_.keyColumn; }
  void ShowRecord(const db::Recordset& records, const std::string& position) override;
  void ClearForm() override;
  std::string Title() const override { return description_.title; }
  // The stored filter, or only the requested row when the host asked for one.
  std::string BuildBaseCondition() override;
  // Values always between single quotes, whatever the dialect. A condition is skipped only when
  // its value is empty, and it is a like when its text's last four characters are "like".
  std::string ConditionText(const std::vector<host::Condition>& conditions) const override;

 private:
  // A search through the navigator that, like a load, ends with FormRefreshed; finding nothing
  // clears the card.
  bool FindData(const std::string& where);
  // The field checks that need no database: valid fields, a code and a name.
  bool Validate();
  // Why a save is refused: the field to focus and the box to show.
  struct Refusal {
    forms::Field* field;
    std::string text;
    std::string title;
    host::MsgIcon icon;
  };
  // Code and name unique (and, editing, the row still there); run inside the save's
  // transaction. id: the row being edited, 0 for a new one.
  std::optional<Refusal> CheckUnique(int64_t id);
  bool Save();
  bool Delete();
  // The card's fields by caption as the window holds them, and the audit row of an event of
  // card `id` inside the write's transaction.
  db::AuditImage Image() const;
  bool AppendAudit(db::Transaction& transaction, db::AuditAction action, int64_t id,
                   std::vector<db::FieldChange> changes);
  // The numeric answer of a count query; a failing query aborts the operation.
  double Count(const db::Sql& sql);
  bool Refuse(forms::Field& field, const std::string& text, const std::string& title,
              host::MsgIcon icon);
  db::Sql UpdateStatement(int64_t id) const;
  db::Sql InsertStatement(int64_t id, const std::string& table) const;
  // The name as the duplicate check compares it, with the qualifier's text when there is one.
  std::string NameLabel() const;
  void AppendValue(db::Sql& sql, const SaveColumn& column) const;
  std::string KeyCondition(int64_t id) const;
  void ResolveLookup(forms::Field& field, const LookupDescription& lookup);
  void PickLookup(forms::Field& field, const LookupDescription& lookup);
  // The VIN field left: kept in capitals as on the car, and a box when it fails.
  void LeaveVin(forms::Field& field);
  void WarnVin();

  const MasterCardDescription& description_;
  framework::VinWarning vinWarning_;
  // The card as it was shown, the "before" of the next save's audit row.
  db::AuditImage shownImage_;
};

}  // namespace ws::masters
