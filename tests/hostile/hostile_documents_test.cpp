// Hostile input in the four documents, one typed suite over a description of each: every text
// typed into a free-text header field is stored, shown again and printed byte for byte, found by
// Filter, tells document numbers apart and survives check and uncheck. SQLite and (with
// WS_PG_URL) PostgreSQL.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/value.h"
#include "forms/input.h"
#include "forms/text.h"
#include "framework/document.h"
#include "hostile_host.h"
#include "money/js_s.h"
#include "money/js_ws.h"
#include "platform/print_data.h"
#include "repair_order/ws_s.h"
#include "requisition/ckll_ws.h"
#include "support/test_host.h"

namespace ws::hostile {
namespace {

using forms::Input;
using Where = std::vector<host::Condition>;
using money::JS_S;
using money::JS_WS;
using repair_order::WS_S;
using requisition::CKLl_WS;
using requisition::RequisitionLines;
using OrderLines = framework::LineGrid;

constexpr int64_t kOrderId = 10;

// A free-text header field: the expression reading it back from the document's row "w" (and
// what the description's `from` joins), whether it is kept trimmed, and whether a fresh window
// shows and prints it.
struct TextSlot {
  int index;
  const char* stored;
  bool trimmed = false, shown = true;
};
// A text the document shows from another row ("WSDJ.工单号码" of repair order 10, "clzl.车牌号" of
// car 1, a column of customer 1): written there before the document is saved (the shop holds
// no other order, car or customer).
struct SourceText {
  int index;
  const char* column;
  bool printed = true;
};

struct DocumentCase {
  const char* name;
  int64_t program;
  const char* from;
  std::vector<TextSlot> texts;
  std::vector<SourceText> sources;
  size_t findSlot;         // an untrimmed slot: Filter "=" shows it
  const char* findColumn;  // its column as Find and Filter name it
  const char* duplicateRefusal;
  // Who entered it (nullptr: not kept by login) and whether trimmed; who checked it (nullptr: its
  // check needs its write-offs); what a check posts elsewhere beside what it must equal.
  const char* enteredBy;
  bool enteredByTrimmed;
  const char* checkedBy;
  std::vector<std::pair<const char*, const char*>> posted;
  std::function<std::unique_ptr<framework::Document>()> make;
  std::function<forms::Grid&(framework::Document&, int)> grid;
  // Fills what a save needs besides the typed texts; `note` goes into a line's note.
  std::function<void(framework::Document&, const std::string& note)> prepare;
  // Run with the saved id: ties the document to repair order 10, as an import does.
  const char* link;
  // The line note: its column (-1: none), the expression reading it back.
  int noteCol;
  const char* noteStored;
  bool noteTrimmed = false;
  // Run before each save: an order is settled once, so the settlements saved before let go of it.
  const char* beforeSave = nullptr;
};

std::string KeptAs(bool trimmed, const std::string& text) {
  return trimmed ? forms::Trim(text) : text;
}
void Type(forms::Widget& widget, const std::string& text) {
  auto typed = Input::Type(widget, text);
  EXPECT_TRUE(typed.accepted) << widget.LayoutKey() << ": " << typed.reason;
}
void Edit(forms::Grid& grid, int row, int col, const std::string& text) {
  EXPECT_TRUE(Input::EditCell(grid, row, col, text).accepted) << col << " " << text;
}
template <typename D>
forms::Grid& TwoGrids(framework::Document& doc, int lines) {
  return static_cast<D&>(doc)
      .Lines(lines ? framework::LineKind::Parts : framework::LineKind::Items)
      .Grid();
}

#define WS_VOUCHER(column) \
  "(select " column " from gl_accvouch where 前置单据=200003 and 前置单据ID=w.单据ID)"
#define WS_ORDER_AND_PLATE \
  "(select 工单号码 from WSDJ where 单据ID=10) || ' ' || (select 车牌号 from clzl where 车辆ID=1)"

const std::vector<DocumentCase>& Documents() {
  // clang-format off
  static const std::vector<DocumentCase> cases = {
      {"RepairOrder", 200001, "WSDJ w join clzl c on c.车辆ID=w.车辆ID",
       {{WS_S::kNumber, "w.工单号码", true}, {WS_S::kModel, "c.车型", true},
        {WS_S::kRemarks, "w.备注"}, {WS_S::kEngine, "c.发动机号", true},
        {WS_S::kChassis, "c.车架号", true}, {WS_S::kPerson, "w.送修人"},
        {WS_S::kTelephone, "w.司机电话"}, {WS_S::kInvoice, "w.发票号码"}},
       {}, 5, "WSDJ.送修人",
       "工单号码重复,请检查!", nullptr, false, "w.审核人", {},
       [] { return std::make_unique<WS_S>(); }, &TwoGrids<WS_S>,
       [](framework::Document& doc, const std::string& note) {
         auto& order = static_cast<WS_S&>(doc);
         Type(order.Header(WS_S::kPlate), "京A12345");
         Input::Click(order.Form().Get<forms::Widget>(WS_S::kItemTab));
         Edit(order.Lines(framework::LineKind::Items).Grid(), 1, OrderLines::kCode, "X01");
         Edit(order.Lines(framework::LineKind::Items).Grid(), 1, OrderLines::kRemark, note);
       },
       nullptr, OrderLines::kRemark, "(select min(说明) from WSDJXM where 单据ID=w.单据ID)"},
      {"Requisition", 200002, "JXCDJ w",
       {{CKLl_WS::kNumber, "w.单据编号", true}, {CKLl_WS::kNature, "w.性质"},
        {CKLl_WS::kHandler, "w.本方经手人"}, {CKLl_WS::kRemark, "w.备注", true}},
       {{CKLl_WS::kOrder, "WSDJ.工单号码"}, {CKLl_WS::kVehicle, "clzl.车牌号"},
        {CKLl_WS::kCustomer, "pdmwldw.公司名称", false}},
       2, "JXCDJ.本方经手人", "单据编号重复,请检查后重试!", "w.仓库填单", true, "w.仓库审核",
       {{"(select min(单据编号) from JxcGoodsList where 单据ID=w.单据ID)", "w.单据编号"},
        {"(select min(备注) from JxcGoodsList where 单据ID=w.单据ID)", "w.备注"}},
       [] { return std::make_unique<CKLl_WS>(); },
       [](framework::Document& doc, int) -> forms::Grid& { return static_cast<CKLl_WS&>(doc).Lines().Grid(); },
       [](framework::Document& doc, const std::string& note) {
         forms::Grid& grid = static_cast<CKLl_WS&>(doc).Lines().Grid();
         Edit(grid, 1, RequisitionLines::kCode, "P01");
         Edit(grid, 1, RequisitionLines::kQuantity, "1");
         Edit(grid, 1, RequisitionLines::kRemark, note);
       },
       "update JXCDJ set 前置单据=200001, 前置单据ID=10 where 单据ID=",
       RequisitionLines::kRemark, "(select min(备注) from JXCDJMX where 单据ID=w.单据ID)", true},
      {"Settlement", 200003, "ARPReceive w join ARPReceive_FY f on f.单据ID=w.单据ID",
       {{JS_WS::kNumber, "w.单据编号", true}, {JS_WS::kSummary, "w.摘要"},
        {JS_WS::kRemarks, "w.备注", false, false}},
       {{JS_WS::kOrderNumber, "WSDJ.工单号码"}, {JS_WS::kMaker, "WSDJ.车厂"},
        {JS_WS::kRemarks, "WSDJ.备注"}, {JS_WS::kPlate, "clzl.车牌号"},
        {JS_WS::kOwner, "pdmwldw.公司名称"}},
       1, "ARPReceive.摘要",
       "收款单号重复,请检查后重试!", "w.制单人", false, "w.审核人",
       {{WS_VOUCHER("min(出纳编号)"), "w.单据编号"}, {WS_VOUCHER("min(制单)"), "w.制单人"},
        {WS_VOUCHER("min(摘要)"), "'收款单[' || " WS_ORDER_AND_PLATE " || ']'"},
        {WS_VOUCHER("max(摘要)"), "'汽修单[' || " WS_ORDER_AND_PLATE " || ']'"}},
       [] {
         return std::make_unique<JS_WS>([](host::ISystem&, int64_t, int64_t, int64_t) {
           return money::ChosenRepairOrder{kOrderId, "WS010"};
         });
       },
       &TwoGrids<JS_WS>,
       [](framework::Document& doc, const std::string&) {
         EXPECT_TRUE(Input::Click(doc.Form().Get<forms::Widget>(JS_WS::kSelectButton)));
         Type(static_cast<JS_WS&>(doc).Header(JS_WS::kAccount), "1001");
         Type(static_cast<JS_WS&>(doc).Header(JS_WS::kCollected), "100");
       },
       nullptr, -1, nullptr, false, "update ARPReceive set 前置单据ID=0"},
      {"Receipt", 200004, "ARPReceive w",
       {{JS_S::kNumber, "w.单据编号", true}, {JS_S::kSummary, "w.摘要"}, {JS_S::kRemarks, "w.备注"}},
       {{JS_S::kCustomer, "pdmwldwjs.公司名称"}}, 2, "ARPReceive.备注", "收款单号重复,请检查后重试!", nullptr, false, nullptr, {},
       [] { return std::make_unique<JS_S>(); }, nullptr,
       [](framework::Document& doc, const std::string&) { Type(static_cast<JS_S&>(doc).Header(JS_S::kCustomer), "C001"); },
       nullptr, -1, nullptr},
  };
  // clang-format on
  return cases;
}

// The shop of the hostile host with its books, a salesman, and repair order 10 (checked) with a
// labour line and the part issued to it.
class HostileDocumentTest : public HostileTest, public ::testing::WithParamInterface<size_t> {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    SeedBooks();
    for (const char* sql :
         {"insert into PDMGY (雇员ID,雇员编码,姓名) values (4,'G04','赵六')",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明) values "
          "(1,10,1,2,50,100,'')",
          "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据,前置单据ID) values "
          "(20,200002,'02','LL1',200001,10)",
          "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values (1,20,1,1,30)",
          "insert into WSDJ "
          "(单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,出厂日期,维修分类ID,"
          "维修分类,送修人,应收合计,总金额,余额,备注) values (10,200001,'02','审核','WS010',1,1,"
          "'2012-06-01','2012-06-03',1,'小修','王五',100,100,100,'左前门')"}) {
      host_.Exec(sql);
    }
  }

  const DocumentCase& Case() const { return Documents()[GetParam()]; }
  // A control of the document on this shop (or on `system`), its events recorded.
  std::unique_ptr<framework::Document> Open(int64_t id = 0, host::ISystem* system = nullptr) {
    auto doc = Case().make();
    doc->Events().AttachSink(&Sink());
    EXPECT_TRUE(doc->Init(system ? *system : System(), Case().program, id));
    return doc;
  }
  static forms::Field& Field(framework::Document& doc, int index) {
    return doc.Form().Get<forms::Field>(doc.FieldArray(), index);
  }
  // An expression over the document's rows whose `key` is `id`.
  std::string Stored(const std::string& expression, int64_t id, const char* key = "w.单据ID=") {
    const std::string sql = "select " + expression + " from " + Case().from + " where " + key;
    return host_.Scalar(db::Sql(sql).Key(id)).ToText();
  }
  std::string Count() { return Stored("count(*)", Case().program, "w.progID="); }
  // Text of the corpus for slot `slot` of document n: every text reaches every slot once.
  const std::string& TextFor(size_t n, size_t slot) const {
    return texts_[(n + 13 * slot) % texts_.size()];
  }
  std::string Kept(size_t n, size_t slot) const {
    return KeptAs(Case().texts[slot].trimmed, TextFor(n, slot));
  }
  // Writes the source texts of document n, types its fields and saves; answers the id, 0 when
  // refused.
  int64_t Save(framework::Document& doc, size_t n) {
    for (size_t k = 0; k < Case().sources.size(); ++k) {
      const std::string column = Case().sources[k].column;
      const size_t dot = column.find('.');
      host_.Exec(db::Sql("update " + column.substr(0, dot) + " set " + column.substr(dot + 1) + "=")
                     .Text(TextFor(n, Case().texts.size() + k)));
    }
    if (Case().beforeSave) host_.Exec(Case().beforeSave);
    EXPECT_TRUE(doc.FileNew());
    Case().prepare(doc, texts_[n]);
    for (size_t slot = 0; slot < Case().texts.size(); ++slot)
      Type(Field(doc, Case().texts[slot].index), TextFor(n, slot));
    const bool saved = doc.FileSave();
    if (!saved) doc.FileCancel();
    if (saved && Case().link) host_.Exec(db::Sql(Case().link).Key(doc.GetID()));
    return saved ? doc.GetID() : 0;
  }
  // What the document shows, and prints under the field's caption, for document n.
  void ExpectShown(framework::Document& doc, size_t n) {
    EXPECT_TRUE(doc.DoPrint()) << Failures();
    const platform::PrintFile printed = platform::ReadPrintFile(doc.ReturnPrintName());
    auto expect = [&](int index, const std::string& kept, const std::string& what, bool print) {
      forms::Field& field = Field(doc, index);
      EXPECT_TRUE(SameBytes(field.Text(), kept)) << what << " of " << n << " shown";
      if (!print) return;
      const std::string* value = printed.Value(forms::Trim(field.Caption()));
      EXPECT_TRUE(value && SameBytes(*value, kept)) << what << " of " << n << " printed";
    };
    for (size_t slot = 0; slot < Case().texts.size(); ++slot) {
      if (Case().texts[slot].shown)
        expect(Case().texts[slot].index, Kept(n, slot), Case().texts[slot].stored, true);
    }
    for (size_t k = 0; k < Case().sources.size(); ++k) {
      const SourceText& source = Case().sources[k];
      expect(source.index, TextFor(n, Case().texts.size() + k), source.column, source.printed);
    }
    if (Case().noteCol < 0) return;
    const std::string note = KeptAs(Case().noteTrimmed, texts_[n]);
    EXPECT_TRUE(SameBytes(Case().grid(doc, 0).TextMatrix(1, Case().noteCol), note)) << n;
  }

  const std::vector<std::string>& texts_ = HostileTexts();
};

TEST_P(HostileDocumentTest, EveryTextIsStoredShownPrintedCheckedAndFoundByteForByte) {
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts_.size(); ++n) {
    // Typed by a clerk whose login name is text n too; its number is text n as well.
    platform::SystemObject clerk(
        host_.Db(), Dialogs(),
        host::LoginInfo{texts_[n], test::kTestLoginDate, host_.WorkFolder().string()});
    auto doc = Open(0, &clerk);
    const int64_t id = Save(*doc, n);
    ASSERT_GT(id, 0) << "document " << n << " was not saved: " << Failures();
    ids.push_back(id);
    for (size_t slot = 0; slot < Case().texts.size(); ++slot)
      EXPECT_TRUE(SameBytes(Stored(Case().texts[slot].stored, id), Kept(n, slot)))
          << Case().texts[slot].stored << " of " << n << " stored";
    // The line's note and who entered it, where the document keeps them.
    std::vector<std::pair<const char*, bool>> alsoStored;
    if (Case().noteStored) alsoStored.emplace_back(Case().noteStored, Case().noteTrimmed);
    if (Case().enteredBy) alsoStored.emplace_back(Case().enteredBy, Case().enteredByTrimmed);
    for (const auto& [column, trimmed] : alsoStored)
      EXPECT_TRUE(SameBytes(Stored(column, id), KeptAs(trimmed, texts_[n])))
          << column << " of " << n;
    // Another window opens it, as the next user does.
    auto reader = Open(id);
    ASSERT_TRUE(reader->RecordTop() && reader->GetID() == id) << n;
    ExpectShown(*reader, n);
    if (!Case().checkedBy) continue;
    ASSERT_TRUE(doc->Check()) << n << ": " << Failures();
    EXPECT_TRUE(SameBytes(Stored(Case().checkedBy, id), texts_[n])) << n;
    for (const auto& [posted, own] : Case().posted)
      EXPECT_TRUE(SameBytes(Stored(posted, id), Stored(own, id))) << posted << " of " << n;
    ASSERT_TRUE(doc->UnCheck()) << n << ": " << Failures();
    EXPECT_EQ(Stored("w.smark", id), "01");
  }
  EXPECT_EQ(Failures(), "");
  // The find slot of document n holds its own text: Filter "=" shows exactly it. Every fourth
  // number typed again is refused as taken.
  auto doc = Open();
  for (size_t n = 0; n < ids.size(); ++n) {
    const std::string& value = TextFor(n, Case().findSlot);
    doc->Filter(Where{{value, std::string(Case().findColumn) + "="}});
    EXPECT_EQ(doc->GetID(), ids[n]) << "filter on text " << n;
  }
  const std::string before = Count();
  for (size_t n = 0; n < ids.size(); n += 4) {
    EXPECT_EQ(Save(*doc, n), 0) << "number " << n << " saved twice";
    EXPECT_EQ(TakeFailures({Case().duplicateRefusal}), "") << "number " << n;
  }
  EXPECT_EQ(Count(), before);
}

INSTANTIATE_TEST_SUITE_P(Documents, HostileDocumentTest,
                         ::testing::Range(size_t{0}, Documents().size()),
                         [](const auto& info) { return Documents()[info.param].name; });

}  // namespace
}  // namespace ws::hostile
