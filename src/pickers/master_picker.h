// The master-data pickers sel_cl (vehicles, clzl), sel_xm (repair items, PDMWXXM) and sel_wxfl
// (repair categories, PDMWXFL): one implementation, configured by a description that holds
// everything in which the three differ.
//
// Besides the shared picker behaviour (picker_control.h) a master picker:
// - lists its whole master table (the description's load query) in the natural order of its
//   code (vehicle number 2 before 10) and shows "共:" + n + "条"; the vehicles, which grow
//   with the shop, come a page of 200 at a time in plate order ("共:200+条" while more follow;
//   natural order once the list fits in a page), and typing narrows them in the database to
//   the vehicles whose plate or number starts with the text;
// - on choosing fills its data object (Objects: a property bag with the typed bag's property
//   names, ids as integers, texts as texts; every property empty, ids 0, for the empty choice)
//   and Value / Text from the description's value and text fields;
// - Validate(t): the first row whose code or name starts with t (the description's validate
//   query) fills the data object; Value and Text as on choosing, "0" and "" when nothing
//   matched; both go to the out parameters too. The answer is always false, so callers judge
//   the match by the value;
// - offers a popup menu "m_cMenu" (items "Add", "Edit", "-", "Delete", group "PDM"): Add and
//   Edit raise EditForm(card program, id, Null, 1 / 2); Delete refuses a row in use (ErrMessage
//   level 2, no question), asks "是否删除当前记录:" + the row's name (Yes/No, "提示:"), deletes in
//   a transaction and reports success (level 1) or the database's error (level 8).
// Events: DoSelect, DoCancel (never raised), Message, ErrMessage, EditForm.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/picker_control.h"

namespace ws::pickers {

using framework::PickerControl;
using framework::WithTyped;

// One property of the data object: its name, the record field and grid column it comes from,
// and whether it is an id (held as an integer).
struct MasterProperty {
  std::string property;  // "i车辆ID"
  std::string field;     // "车辆ID"
  int column;            // column of the load query's row in the grid
  bool isId = false;
};

// How a master that grows with the shop is read a page at a time in the order of a unique key
// column: columns as the load query's, from up to "WHERE 1=1", key the key's column (the grid's
// column keyColumn), search the typed-text condition ("@" the text).
struct MasterPaging {
  int size = 0;
  std::string columns;
  std::string from;
  std::string key;
  int keyColumn = 0;
  std::string search;
  // A short prefix (a plate's province) may match most of the table, and sorting every match
  // to show the first 200 would cost the table. When the key column alone matches more rows
  // than a page (keyProbe, its count stopping there) and the other column none (otherProbe,
  // over otherKey), the page walks the key's index in order from the upper-case prefix (no
  // text with the prefix in any case sorts before it in byte order) with denseSearch, the key's
  // condition on an expression no index serves; the matches stored in upper case follow the
  // start one after another, so the walk stops at the page. Fewer matches are found by the
  // indexes and sorted. Both probes are counted around the statement ("SELECT COUNT(*) FROM
  // (probe) p"); the other column's probe is also kept to the range of its column's index
  // that can hold a match (see TypedRange), which the server's plan kept for the statement
  // (whatever text it is run with) searches instead of reading every row when none matches.
  std::string keyProbe;
  std::string otherProbe;
  std::string otherKey;
  std::string keyFrom;  // the key's own table, up to "WHERE 1=1"
  std::string denseSearch;
};

// The range of a column's byte order that holds every text starting with `typed` in any case:
// from the typed text with its ASCII letters in upper case (upper case sorts first), and, when
// the typed text opens with characters that have no case (digits, a plate's province), below the
// first text past those. Letters outside ASCII end both where they stand: their other case may
// sort on either side.
struct TypedRange {
  std::string from;
  bool whole = false;  // from holds every character typed: all texts starting so match
  std::string below;   // empty: no end
};
TypedRange TypedRangeOf(std::string_view typed);
// The first text in byte order past every text that starts with `text` (empty for empty).
std::string TextsPast(std::string text);

struct MasterPickerDescription {
  std::string className;  // "sel_cl"
  std::string title;      // title of every ErrMessage
  std::string gridFormat;
  std::vector<int> hiddenColumns;
  int frozenColumns = 0;
  std::string loadQuery;
  // The validate query; every "@" stands for the typed text.
  std::string validateQuery;
  // In the order of the data object's properties.
  std::vector<MasterProperty> properties;
  // Fields giving Value and Text; a non-empty parameter of the given name renames them.
  std::string valueField;
  std::string textField;
  std::string valueParameter;
  std::string textParameter;
  // When set, the chosen row is read again by this statement + id for Value and Text.
  std::string rereadQuery;
  std::string addCaption;
  std::string editCaption;
  std::string deleteCaption;
  int64_t cardProgram = 0;  // ProgID of EditForm
  int idColumn = 0;
  std::string usageQuery;  // + id: a positive first column means the row is in use
  std::string refusalText;
  std::string deleteStatement;  // + id
  std::string successText;      // + id
  // The column that names a row in the delete question.
  int nameColumn = 1;
  // A master that grows with the shop (the vehicles) is read a page at a time (paging.size
  // rows, 0 for the whole list by the load query at once).
  MasterPaging paging;
};

// The three descriptions.
const MasterPickerDescription& VehiclePicker();   // sel_cl
const MasterPickerDescription& ItemPicker();      // sel_xm
const MasterPickerDescription& CategoryPicker();  // sel_wxfl

class MasterPicker : public PickerControl {
 public:
  explicit MasterPicker(const MasterPickerDescription& description);

  bool Validate(const std::string& text1, const std::string& text2, const std::string& text3,
                const std::string& typed, std::string& outValue, std::string& outText) override;

  forms::PopupMenu& Menu() { return *menu_; }
  // The menu's Delete: answers true only when the row was deleted.
  bool DeleteCurrent();
  const MasterPickerDescription& Description() const { return description_; }

 protected:
  void SetupGrid(forms::Grid& grid) override;
  db::Sql ListQuery() override { return db::Sql(description_.loadQuery); }
  void Choose(int row) override;
  // The code (the plate of a vehicle) leads every master picker's rows.
  int NaturalOrderColumn() const override { return 0; }
  int PageSize() const override { return description_.paging.size; }
  db::Sql PageQuery(const std::string* typed, const std::string* after, int limit) override;
  int PageKeyColumn() const override { return description_.paging.keyColumn; }

 private:
  // Whether the page for the typed text walks the key's index (see MasterPaging).
  bool ManyMatch(const std::string& typed);
  // Whether the keys from `from` up to the texts past it (after `after`) fill `limit` rows.
  bool RangeFills(const std::string& from, const std::string* after, int limit);
  void BuildMenu();
  void OnMenu(const std::string& key);
  void RaiseEditForm(int64_t id, int type);
  int64_t CurrentId() const;
  void ResetObjects();
  std::string ValueField() const;
  std::string TextField() const;
  const MasterProperty* PropertyOfField(const std::string& field) const;
  // A field of a record as text; ids as whole numbers.
  std::string FieldText(const db::Recordset& record, const std::string& field) const;

  const MasterPickerDescription& description_;
  forms::PopupMenu* menu_;
  std::string probed_;  // the typed text ManyMatch answered for last
  bool many_ = false;
  int byteOrder_ = -1;  // whether the database orders texts by their bytes; -1 not yet asked
};

}  // namespace ws::pickers
