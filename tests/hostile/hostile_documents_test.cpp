// Hostile texts in the material requisition, the repair settlement and the receipt: every
// free-text header field typed with each text is saved, stored byte for byte and shown again by
// a fresh control; the lookup fields take every text without a broken statement; Find and
// Filter take every text on every column each control offers. SQLite and (with WS_PG_URL)
// PostgreSQL.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "docs/document.h"
#include "forms/input.h"
#include "forms/text.h"
#include "hostile_checks.h"
#include "hostile_corpus.h"
#include "hostile_host.h"
#include "platform/print_data.h"
#include "receipt/js_s.h"
#include "repair_order/line_grid.h"
#include "requisition/ckll_ws.h"
#include "settlement/js_ws.h"
#include "support/test_host.h"

namespace ws::hostile {
namespace {

using forms::Input;

constexpr int64_t kRequisitionProgram = 200002;
constexpr int64_t kSettlementProgram = 200003;
constexpr int64_t kReceiptProgram = 200004;
constexpr int64_t kOrderId = 10;

// A free-text header field: its index, the column that keeps it, and whether it is kept
// trimmed. The document number carries a serial of its own ahead of the text (it must be
// unique and not blank).
struct TextField {
  int index;
  const char* column;
  bool trimmed;
  bool isNumber = false;
};

// Text k of the corpus for field slot `slot` of document n: every text reaches every slot once.
const std::string& TextFor(const std::vector<std::string>& texts, size_t n, size_t slot) {
  return texts[(n + 13 * slot) % texts.size()];
}
std::string Typed(const TextField& field, const std::vector<std::string>& texts, size_t n,
                  size_t slot) {
  const std::string& text = TextFor(texts, n, slot);
  return field.isNumber ? "N" + std::to_string(n) + text : text;
}
std::string Kept(const TextField& field, const std::string& typed) {
  return field.trimmed ? forms::Trim(typed) : typed;
}

// The shop of the hostile host with what the three documents need: a depot holding the part,
// a department, the ledger periods (2012-06 current, up to 2012-03 closed), a cash account,
// a salesman and a settlement method, the customer as a settlement partner, and repair order
// 10 (checked) with a labour line and the part issued to it.
class HostileDocumentTest : public HostileHostTest {
 protected:
  void SetUp() override {
    HostileHostTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(System().SetParameter(12, 1, "201206"), "");
    ASSERT_EQ(System().SetOption(12, std::string("Jzperiod"), "201203"), "");
    ASSERT_EQ(System().SetParameter(12, 3, "25"), "");
    Exec(
        "insert into PDMBM (部门ID,部门编码,部门名称,组织类型,是否明细,是否使用,属性,"
        "不参与物料运算) values (11,'11','配件总库',2,1,1,'0',0),(1,'01','维修车间',1,1,1,'0',0)");
    Exec(
        "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,等级,特征码,产品批次,库存数量,"
        "库存重量,库存金额) values (201206,11,1,'','','','',50,0,1000)");
    Exec(
        "insert into PDMKJKM (科目ID,科目编码,科目名称,是否现金科目,是否明细) values "
        "(1,'1001','库存现金',1,1)");
    Exec("insert into PDMGY (雇员ID,雇员编码,姓名) values (4,'G04','赵六')");
    Exec("insert into PDMSJZD (ID,名称,类型) values (2,'转账支票','结算方式')");
    Exec("insert into pdmwldwjs (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2)");
    Exec(
        "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,出厂日期,"
        "维修分类ID,维修分类,送修人,应收合计,总金额,余额,备注) values "
        "(10,200001,'02','审核','WS010',1,1,'2012-06-01','2012-06-03',1,'小修','王五',100,100,"
        "100,'左前门')");
    Exec(
        "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明) values "
        "(1,10,1,2,50,100,'')");
    Exec(
        "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据,前置单据ID) values "
        "(20,200002,'02','LL1',200001,10)");
    Exec("insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values (1,20,1,1,30)");
  }

  void Run(const db::Sql& sql) { EXPECT_EQ(db::Runner(Db()).Execute(sql), "") << sql.Literal(); }
  // A stored text, read with a bound statement.
  std::string Stored(const char* table, const char* column, int64_t id) {
    return Scalar(
        db::Sql("select ").Raw(column).Raw(" from ").Raw(table).Raw(" where 单据ID=").Key(id));
  }
  // What a print of the control holds under a name, read back from its print file.
  template <typename Control>
  platform::PrintFile Printed(Control& control) {
    EXPECT_TRUE(control.DoPrint()) << Failures();
    return platform::ReadPrintFile(control.ReturnPrintName());
  }
  static std::string PrintedValue(const platform::PrintFile& file, const std::string& name) {
    const std::string* value = file.Value(name);
    return value ? *value : "<no " + name + ">";
  }
  // A system object of the same shop for a user of this name.
  std::unique_ptr<platform::SystemObject> LoggedInAs(const std::string& user) {
    return std::make_unique<platform::SystemObject>(
        Db(), dialogs_, host::LoginInfo{user, test::kTestLoginDate, workFolder_.string()});
  }
  // Failures since the last call other than these refusals; forgets what it read.
  std::string FailuresBesides(const std::set<std::string>& refusals) {
    std::string text;
    for (const auto& message : Sink().ErrMessages()) {
      if (!refusals.count(message)) text += message + "\n";
    }
    for (const auto& box : dialogs_.Boxes()) {
      if (!refusals.count(box.text)) text += box.text + "\n";
    }
    Sink().Clear();
    dialogs_.Clear();
    return text;
  }
  // Each text (trimmed, not blank) as the number of a new document: all are told apart, and
  // every fourth, typed again into another new document, is refused as taken.
  template <typename Save>
  void NumbersAreToldApart(Save save, const char* table, int64_t program,
                           const std::string& refusal) {
    const auto texts = HostileTexts();
    std::vector<std::string> numbers;
    for (size_t n = 0; n < texts.size(); ++n) {
      const std::string number = forms::Trim(texts[n]);
      if (number.empty()) continue;
      EXPECT_GT(save(n, number), 0) << "number " << n << ": " << FailuresBesides({});
      numbers.push_back(number);
    }
    auto count = [&] {
      return Scalar(db::Sql("select count(*) from ").Raw(table).Raw(" where progID=").Key(program));
    };
    const std::string before = count();
    for (size_t k = 0; k < numbers.size(); k += 4) {
      EXPECT_EQ(save(k, numbers[k]), 0) << "number " << k << " saved twice";
      EXPECT_EQ(FailuresBesides({refusal}), "") << "number " << k;
    }
    EXPECT_EQ(count(), before);
  }
  // Text typed into a number field and saved: the amount kept is the numeric value of what
  // the field shows (text that is no number counts as 0), within the range a document keeps;
  // beyond it the save is refused with a box and nothing is stored. Never a database error.
  template <typename Control>
  void NumberFieldKeepsItsValue(Control& control, forms::Field& field, const std::string& text,
                                const std::function<std::string(int64_t)>& stored) {
    const double value = db::NumericValue(field.Text());
    const bool inRange = std::isfinite(value) && std::fabs(value) <= docs::kMaxAmount;
    const bool saved = control.FileSave();
    EXPECT_TRUE(Sink().ErrMessages().empty())
        << field.Caption() << " " << ::testing::PrintToString(text) << ": " << Failures();
    if (saved) {
      EXPECT_TRUE(inRange) << field.Caption() << " saved " << ::testing::PrintToString(text);
      EXPECT_DOUBLE_EQ(db::NumericValue(stored(control.GetID())), value)
          << field.Caption() << " " << ::testing::PrintToString(text);
    } else {
      EXPECT_FALSE(dialogs_.Boxes().empty()) << field.Caption() << " refused without a word";
      control.FileCancel();
    }
    FailuresBesides({});
  }
  // Types the free-text header fields of document n; the number field takes `number` when one
  // is given.
  template <typename Doc, size_t N>
  void TypeTexts(Doc& doc, const TextField (&fields)[N], const std::vector<std::string>& texts,
                 size_t n, const std::string* number) {
    for (size_t slot = 0; slot < N; ++slot) {
      const TextField& field = fields[slot];
      Type(doc.Header(field.index),
           field.isNumber && number ? *number : Typed(field, texts, n, slot));
    }
  }
  // Each field of document n as it must be kept, against what `get` reads of it (stored,
  // shown or printed).
  template <size_t N, typename Get>
  void ExpectKept(const TextField (&fields)[N], const std::vector<std::string>& texts, size_t n,
                  Get get, const std::string& where) {
    for (size_t slot = 0; slot < N; ++slot) {
      const TextField& field = fields[slot];
      EXPECT_TRUE(SameBytes(get(field), Kept(field, Typed(field, texts, n, slot))))
          << field.column << " " << where << " of document " << n;
    }
  }
  // Types text into a field; the field must take it.
  void Type(forms::Field& field, const std::string& text) {
    auto typed = Input::Type(field, text);
    EXPECT_TRUE(typed.accepted) << field.Caption() << ": " << typed.reason;
  }
  // Types every text into a lookup field and leaves it: each is resolved or refused with the
  // field's own hint, and never breaks a statement.
  void TypeEveryText(forms::Field& field, const std::vector<std::string>& texts) {
    for (const auto& text : texts) {
      Input::Type(field, text);
      if (!field.Valid()) {
        EXPECT_NE(field.Hint(), "") << field.Caption();
      }
    }
    Input::Type(field, "");
  }
};

// --- The material requisition.

const TextField kRequisitionTexts[] = {
    {requisition::CKLl_WS::kNumber, "单据编号", true, true},
    {requisition::CKLl_WS::kNature, "性质", false},
    {requisition::CKLl_WS::kHandler, "本方经手人", false},
    {requisition::CKLl_WS::kRemark, "备注", true},
};

class HostileRequisitionTest : public HostileDocumentTest {
 protected:
  using D = requisition::CKLl_WS;
  using L = requisition::RequisitionLines;

  // Types every text field of requisition n and one line (whose note is text n too), saves it
  // and answers its id (0 when refused).
  int64_t SaveRequisition(D& doc, size_t n, const std::vector<std::string>& texts,
                          const std::string* number = nullptr) {
    EXPECT_TRUE(doc.FileNew());
    TypeTexts(doc, kRequisitionTexts, texts, n, number);
    forms::Grid& grid = doc.Lines().Grid();
    EXPECT_TRUE(Input::EditCell(grid, 1, L::kCode, "P01").accepted);
    EXPECT_TRUE(Input::EditCell(grid, 1, L::kQuantity, "1").accepted);
    EXPECT_TRUE(Input::EditCell(grid, 1, L::kRemark, texts[n]).accepted);
    const bool saved = doc.FileSave();
    if (!number) {
      EXPECT_TRUE(saved) << "requisition " << n << ": " << Failures();
    }
    return saved ? doc.GetID() : 0;
  }
};

TEST_P(HostileRequisitionTest, EveryTextFieldIsStoredAndShownAgainByteForByte) {
  const auto texts = HostileTexts();
  D doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); ++n) {
    const int64_t id = SaveRequisition(doc, n, texts);
    ASSERT_GT(id, 0) << "requisition " << n << " was not saved: " << Failures();
    ids.push_back(id);
    ExpectKept(
        kRequisitionTexts, texts, n,
        [&](const TextField& f) { return Stored("JXCDJ", f.column, id); }, "stored");
    ExpectKept(
        kRequisitionTexts, texts, n, [&](const TextField& f) { return doc.Header(f.index).Text(); },
        "shown after save");
    EXPECT_TRUE(SameBytes(Stored("JXCDJMX", "备注", id), forms::Trim(texts[n]))) << "line of " << n;
  }
  EXPECT_EQ(Failures(), "");

  // Another window opens each requisition.
  for (size_t n = 0; n < ids.size(); ++n) {
    D reader;
    ASSERT_TRUE(reader.Init(System(), kRequisitionProgram, ids[n]));
    ASSERT_TRUE(reader.RecordTop());
    ASSERT_EQ(reader.GetID(), ids[n]);
    ExpectKept(
        kRequisitionTexts, texts, n,
        [&](const TextField& f) { return reader.Header(f.index).Text(); }, "read back");
    EXPECT_TRUE(SameBytes(reader.Lines().Grid().TextMatrix(1, L::kRemark), forms::Trim(texts[n])))
        << "line of requisition " << n << " read back";
    // Printed as shown, the line's note included.
    const platform::PrintFile printed = Printed(reader);
    EXPECT_EQ(printed.error, "");
    ExpectKept(
        kRequisitionTexts, texts, n,
        [&](const TextField& f) {
          return PrintedValue(printed, forms::Trim(reader.Header(f.index).Caption()));
        },
        "printed");
    const platform::PrintTable* lines = printed.Table(D::kGrid);
    ASSERT_NE(lines, nullptr);
    ASSERT_EQ(lines->rows.size(), 1u);
    bool notePrinted = false;
    for (size_t c = 0; c < lines->columns.size() && c < lines->rows[0].size(); ++c) {
      if (forms::Trim(lines->columns[c]) == "说明") {
        notePrinted = true;
        EXPECT_TRUE(SameBytes(lines->rows[0][c], forms::Trim(texts[n])))
            << "line of " << n << " printed";
      }
    }
    EXPECT_TRUE(notePrinted);
    // Find "like" on the remark reaches it among its matches.
    const std::string remark = Kept(kRequisitionTexts[3], TextFor(texts, n, 3));
    if (!remark.empty()) {
      EXPECT_TRUE(FindsAmongMatches(doc, remark, "JXCDJ.备注", ids[n], ids.size()))
          << "find like on the remark of requisition " << n;
    }
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileRequisitionTest, RepairOrderTextsAreShownAsStored) {
  // The order a requisition came from shows its number, plate and customer as they are kept.
  const auto texts = HostileTexts();
  D doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  const int64_t id = SaveRequisition(doc, 0, texts);
  ASSERT_GT(id, 0);
  for (size_t n = 0; n < texts.size(); ++n) {
    Run(db::Sql("update WSDJ set 工单号码=").Text(texts[n]).Raw(" where 单据ID=").Key(kOrderId));
    Run(db::Sql("update clzl set 车牌号=").Text(TextFor(texts, n, 1)).Raw(" where 车辆ID=1"));
    Run(db::Sql("update pdmwldw set 公司名称=").Text(TextFor(texts, n, 2)).Raw(" where 往来ID=1"));
    Run(db::Sql("update JXCDJ set 前置单据=")
            .Key(200001)
            .Raw(", 前置单据ID=")
            .Key(kOrderId)
            .Raw(" where 单据ID=")
            .Key(id));
    D reader;
    ASSERT_TRUE(reader.Init(System(), kRequisitionProgram, id));
    ASSERT_TRUE(reader.RecordTop());
    EXPECT_TRUE(SameBytes(reader.Header(D::kOrder).Text(), texts[n])) << n;
    EXPECT_TRUE(SameBytes(reader.Header(D::kVehicle).Text(), TextFor(texts, n, 1))) << n;
    EXPECT_TRUE(SameBytes(reader.Header(D::kCustomer).Text(), TextFor(texts, n, 2))) << n;
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileRequisitionTest, LookupFieldsFindAndFilterTakeEveryText) {
  const auto texts = HostileTexts();
  D doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); n += 3) ids.push_back(SaveRequisition(doc, n, texts));
  EXPECT_EQ(Failures(), "");

  ASSERT_TRUE(doc.FileNew());
  for (int index : {D::kDepot, D::kDepartment, D::kCurrency}) {
    TypeEveryText(doc.Header(index), texts);
  }
  doc.FileCancel();

  // The handler of requisition n holds text (n + 26): Filter "=" finds exactly that one.
  for (size_t k = 0; k < ids.size(); ++k) {
    const size_t n = 3 * k;
    doc.Filter(std::vector<host::Condition>{{TextFor(texts, n, 2), "JXCDJ.本方经手人="}});
    EXPECT_EQ(doc.GetID(), ids[k]) << "filter on the handler of requisition " << n;
  }
  SweepFindColumns(doc, texts);
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileRequisitionTest, NumbersAreToldApartWhateverTheyHold) {
  D doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  const auto texts = HostileTexts();
  NumbersAreToldApart(
      [&](size_t n, const std::string& number) { return SaveRequisition(doc, n, texts, &number); },
      "JXCDJ", kRequisitionProgram, "单据编号重复,请检查后重试!");
}

TEST_P(HostileRequisitionTest, LineCellsRefuseEveryTextTheyCannotResolve) {
  const auto texts = HostileTexts();
  D doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  ASSERT_TRUE(doc.FileNew());
  forms::Grid& grid = doc.Lines().Grid();
  for (const auto& text : texts) {
    Input::EditCell(grid, 1, L::kCode, text);
    Input::EditCell(grid, 1, L::kDepot, text);
    EXPECT_EQ(FailuresBesides({L::kBadPart, L::kBadDepot}), "") << ::testing::PrintToString(text);
  }
}

TEST_P(HostileRequisitionTest, CheckAndUncheckCarryEveryText) {
  // Typed by a storekeeper whose login name is text n too; the ledger copies number and remark.
  const auto texts = HostileTexts();
  for (size_t n = 0; n < texts.size(); n += 2) {
    auto system = LoggedInAs(texts[n]);
    D doc;
    ASSERT_TRUE(doc.Init(*system, kRequisitionProgram, 0));
    doc.Events().AttachSink(&Sink());
    const int64_t id = SaveRequisition(doc, n, texts);
    ASSERT_GT(id, 0) << Failures();
    EXPECT_TRUE(SameBytes(Stored("JXCDJ", "仓库填单", id), forms::Trim(texts[n]))) << n;
    ASSERT_TRUE(doc.Check()) << n << ": " << Failures();
    EXPECT_TRUE(SameBytes(Stored("JXCDJ", "仓库审核", id), texts[n])) << n;
    for (const char* column : {"单据编号", "备注"}) {
      EXPECT_TRUE(SameBytes(Scalar(db::Sql("select ")
                                       .Raw(column)
                                       .Raw(" from JxcGoodsList where progid=")
                                       .Key(kRequisitionProgram)
                                       .Raw(" and 单据ID=")
                                       .Key(id)),
                            Stored("JXCDJ", column, id)))
          << column << " posted for requisition " << n;
    }
    ASSERT_TRUE(doc.UnCheck()) << n << ": " << Failures();
    EXPECT_EQ(Stored("JXCDJ", "smark", id), "01");
  }
  EXPECT_EQ(Failures(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileRequisitionTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

// --- The repair settlement.

const TextField kSettlementTexts[] = {
    {settlement::JS_WS::kNumber, "单据编号", true, true},
    {settlement::JS_WS::kSummary, "摘要", false},
    {settlement::JS_WS::kRemarks, "备注", false},
};

// The repair order's texts a settlement copies and shows: where each is kept.
struct CopiedText {
  int index;
  const char* table;
  const char* column;
  const char* key;
};
const CopiedText kCopiedTexts[] = {
    {settlement::JS_WS::kOrderNumber, "WSDJ", "工单号码", "单据ID"},
    {settlement::JS_WS::kMaker, "WSDJ", "车厂", "单据ID"},
    {settlement::JS_WS::kDepartment, "WSDJ", "主管部门", "单据ID"},
    {settlement::JS_WS::kPerson, "WSDJ", "送修人", "单据ID"},
    {settlement::JS_WS::kCategory, "WSDJ", "维修分类", "单据ID"},
    {settlement::JS_WS::kTelephone, "WSDJ", "司机电话", "单据ID"},
    {settlement::JS_WS::kInvoice, "WSDJ", "发票号码", "单据ID"},
    {settlement::JS_WS::kReceptionist, "WSDJ", "接待人", "单据ID"},
    {settlement::JS_WS::kRemarks, "WSDJ", "备注", "单据ID"},
    {settlement::JS_WS::kPlate, "clzl", "车牌号", "车辆ID"},
    {settlement::JS_WS::kModel, "clzl", "车型", "车辆ID"},
    {settlement::JS_WS::kEngine, "clzl", "发动机号", "车辆ID"},
    {settlement::JS_WS::kChassis, "clzl", "车架号", "车辆ID"},
    {settlement::JS_WS::kOwner, "pdmwldw", "公司名称", "往来ID"},
};

class HostileSettlementTest : public HostileDocumentTest {
 protected:
  using D = settlement::JS_WS;

  static settlement::RepairOrderChooser Chooser() {
    return [](host::ISystem&, int64_t, int64_t, int64_t) {
      return settlement::ChosenRepairOrder{kOrderId, "WS010"};
    };
  }
  int64_t SaveSettlement(D& doc, size_t n, const std::vector<std::string>& texts,
                         const std::string* number = nullptr) {
    EXPECT_TRUE(doc.FileNew());
    EXPECT_TRUE(Input::Click(doc.Form().Get<forms::Widget>(D::kSelectButton)).accepted);
    Type(doc.Header(D::kAccount), "1001");
    Type(doc.Header(D::kCollected), "100");
    TypeTexts(doc, kSettlementTexts, texts, n, number);
    const bool saved = doc.FileSave();
    if (!number) {
      EXPECT_TRUE(saved) << "settlement " << n << ": " << Failures();
    }
    return saved ? doc.GetID() : 0;
  }
};

TEST_P(HostileSettlementTest, EveryTextFieldIsStoredAndShownAgainByteForByte) {
  const auto texts = HostileTexts();
  D doc(Chooser());
  ASSERT_TRUE(doc.Init(System(), kSettlementProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); ++n) {
    // The order's own texts are what the settlement copies and shows.
    for (size_t k = 0; k < std::size(kCopiedTexts); ++k) {
      const CopiedText& copied = kCopiedTexts[k];
      Run(db::Sql("update ")
              .Raw(copied.table)
              .Raw(" set ")
              .Raw(copied.column)
              .Raw("=")
              .Text(TextFor(texts, n, 3 + k))
              .Raw(" where ")
              .Raw(copied.key)
              .Raw("=")
              .Key(copied.table == std::string("WSDJ") ? kOrderId : 1));
    }
    const int64_t id = SaveSettlement(doc, n, texts);
    ASSERT_GT(id, 0) << "settlement " << n << " was not saved: " << Failures();
    ids.push_back(id);
    ExpectKept(
        kSettlementTexts, texts, n,
        [&](const TextField& f) { return Stored("ARPReceive", f.column, id); }, "stored");
    // Shown again: its own number and summary; the person and remark of the order.
    D reader(Chooser());
    ASSERT_TRUE(reader.Init(System(), kSettlementProgram, id));
    ASSERT_TRUE(reader.RecordTop());
    ASSERT_EQ(reader.GetID(), id);
    EXPECT_TRUE(SameBytes(reader.Header(D::kNumber).Text(),
                          Kept(kSettlementTexts[0], Typed(kSettlementTexts[0], texts, n, 0))))
        << n;
    EXPECT_TRUE(SameBytes(reader.Header(D::kSummary).Text(), TextFor(texts, n, 1))) << n;
    const platform::PrintFile printed = Printed(reader);
    EXPECT_EQ(printed.error, "");
    EXPECT_TRUE(SameBytes(PrintedValue(printed, "摘要"), TextFor(texts, n, 1))) << n;
    for (size_t k = 0; k < std::size(kCopiedTexts); ++k) {
      const CopiedText& copied = kCopiedTexts[k];
      forms::Field& field = reader.Header(copied.index);
      EXPECT_TRUE(SameBytes(field.Text(), TextFor(texts, n, 3 + k)))
          << copied.column << " of the order of settlement " << n;
      EXPECT_TRUE(
          SameBytes(PrintedValue(printed, forms::Trim(field.Caption())), TextFor(texts, n, 3 + k)))
          << copied.column << " of the order of settlement " << n << " printed";
    }
  }
  EXPECT_EQ(Failures(), "");
  // Find "like" on the summary reaches each settlement among its matches.
  for (size_t n = 0; n < ids.size(); ++n) {
    EXPECT_TRUE(FindsAmongMatches(doc, TextFor(texts, n, 1), "ARPReceive.摘要", ids[n], ids.size()))
        << "find like on the summary of settlement " << n;
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileSettlementTest, LookupFieldsFindAndFilterTakeEveryText) {
  const auto texts = HostileTexts();
  D doc(Chooser());
  ASSERT_TRUE(doc.Init(System(), kSettlementProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); n += 3) ids.push_back(SaveSettlement(doc, n, texts));
  EXPECT_EQ(Failures(), "");

  ASSERT_TRUE(doc.FileNew());
  for (int index : {D::kSalesman, D::kMethod, D::kAccount}) TypeEveryText(doc.Header(index), texts);
  doc.FileCancel();

  // The summary of settlement n holds text (n + 13): Filter "=" finds exactly that one.
  for (size_t k = 0; k < ids.size(); ++k) {
    const size_t n = 3 * k;
    doc.Filter(std::vector<host::Condition>{{TextFor(texts, n, 1), "ARPReceive.摘要="}});
    EXPECT_EQ(doc.GetID(), ids[k]) << "filter on the summary of settlement " << n;
  }
  SweepFindColumns(doc, texts, 2);
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileSettlementTest, NumbersAreToldApartWhateverTheyHold) {
  D doc(Chooser());
  ASSERT_TRUE(doc.Init(System(), kSettlementProgram, 0));
  doc.Events().AttachSink(&Sink());
  const auto texts = HostileTexts();
  NumbersAreToldApart(
      [&](size_t n, const std::string& number) { return SaveSettlement(doc, n, texts, &number); },
      "ARPReceive", kSettlementProgram, "收款单号重复,请检查后重试!");
}

TEST_P(HostileSettlementTest, LineCodesRefuseEveryTextTheyCannotResolve) {
  const auto texts = HostileTexts();
  D doc(Chooser());
  ASSERT_TRUE(doc.Init(System(), kSettlementProgram, 0));
  doc.Events().AttachSink(&Sink());
  ASSERT_TRUE(doc.FileNew());
  EXPECT_TRUE(Input::Click(doc.Form().Get<forms::Widget>(D::kSelectButton)).accepted);
  for (docs::LineKind kind : {docs::LineKind::Items, docs::LineKind::Parts}) {
    forms::Grid& grid = doc.Lines(kind).Grid();
    for (const auto& text : texts) {
      Input::EditCell(grid, grid.Rows(), repair_order::LineGrid::kCode, text);
      EXPECT_EQ(FailuresBesides({"输入的维修项目有误，请重试?", "输入的配件项目有误，请重试?"}), "")
          << ::testing::PrintToString(text);
    }
  }
}

TEST_P(HostileSettlementTest, CheckAndUncheckCarryEveryText) {
  // The voucher names the order's number and plate, the settlement's number and its author.
  const auto texts = HostileTexts();
  for (size_t n = 0; n < texts.size(); n += 2) {
    Run(db::Sql("update WSDJ set 工单号码=")
            .Text(TextFor(texts, n, 5))
            .Raw(" where 单据ID=")
            .Key(kOrderId));
    Run(db::Sql("update clzl set 车牌号=").Text(TextFor(texts, n, 6)).Raw(" where 车辆ID=1"));
    auto system = LoggedInAs(texts[n]);
    D doc(Chooser());
    ASSERT_TRUE(doc.Init(*system, kSettlementProgram, 0));
    doc.Events().AttachSink(&Sink());
    const int64_t id = SaveSettlement(doc, n, texts);
    ASSERT_GT(id, 0) << Failures();
    EXPECT_TRUE(SameBytes(Stored("ARPReceive", "制单人", id), texts[n])) << n;
    ASSERT_TRUE(doc.Check()) << n << ": " << Failures();
    EXPECT_TRUE(SameBytes(Stored("ARPReceive", "审核人", id), texts[n])) << n;
    auto voucher = [&](const char* column, const char* aggregate = "min(") {
      return Scalar(db::Sql("select ")
                        .Raw(aggregate)
                        .Raw(column)
                        .Raw(") from gl_accvouch where 前置单据=")
                        .Key(kSettlementProgram)
                        .Raw(" and 前置单据ID=")
                        .Key(id));
    };
    EXPECT_TRUE(SameBytes(voucher("出纳编号"), Stored("ARPReceive", "单据编号", id))) << n;
    EXPECT_TRUE(SameBytes(voucher("制单"), texts[n])) << n;
    const std::string order = "[" + TextFor(texts, n, 5) + " " + TextFor(texts, n, 6) + "]";
    EXPECT_TRUE(SameBytes(voucher("摘要"), "收款单" + order)) << n;
    EXPECT_TRUE(SameBytes(voucher("摘要", "max("), "汽修单" + order)) << n;
    ASSERT_TRUE(doc.UnCheck()) << n << ": " << Failures();
    EXPECT_EQ(Stored("ARPReceive", "smark", id), "01");
    EXPECT_EQ(Stored("ARPReceive", "审核人", id), "");
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileSettlementTest, NumberFieldsKeepTheValueOfEveryText) {
  const auto texts = HostileTexts();
  D doc(Chooser());
  ASSERT_TRUE(doc.Init(System(), kSettlementProgram, 0));
  doc.Events().AttachSink(&Sink());
  const std::pair<int, const char*> fields[] = {{D::kCollected, "ARPReceive.总金额"},
                                                {D::kWriteOff, "ARPReceive.扣零金额"},
                                                {D::kDiagnosis, "ARPReceive_FY.诊断费"},
                                                {D::kInspection, "ARPReceive_FY.检测费"},
                                                {D::kManagement, "ARPReceive_FY.管理费"}};
  for (const auto& [index, column] : fields) {
    auto stored = [column](int64_t id) {
      return db::Sql("select ")
          .Raw(column)
          .Raw(
              " from ARPReceive join ARPReceive_FY on ARPReceive_FY.单据ID=ARPReceive.单据ID"
              " where ARPReceive.单据ID=")
          .Key(id);
    };
    for (const auto& text : texts) {
      ASSERT_TRUE(doc.FileNew());
      EXPECT_TRUE(Input::Click(doc.Form().Get<forms::Widget>(D::kSelectButton)).accepted);
      Type(doc.Header(D::kAccount), "1001");
      Type(doc.Header(index), text);
      NumberFieldKeepsItsValue(doc, doc.Header(index), text,
                               [&](int64_t id) { return Scalar(stored(id)); });
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileSettlementTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

// --- The receipt.

const TextField kReceiptTexts[] = {
    {receipt::JS_S::kNumber, "单据编号", true, true},
    {receipt::JS_S::kSummary, "摘要", false},
    {receipt::JS_S::kRemarks, "备注", false},
};

// Settlement partners named with the corpus, coded K000, K001 ... in corpus order.
class HostileReceiptTest : public HostileDocumentTest {
 protected:
  using D = receipt::JS_S;

  void AddPartners(const std::vector<std::string>& texts) {
    for (size_t n = 0; n < texts.size(); ++n) {
      Run(db::Sql("insert into pdmwldwjs (往来ID,往来编码,公司名称,属性) values (")
              .Key(static_cast<int64_t>(100 + n))
              .Raw(",")
              .Text(PartnerCode(n))
              .Raw(",")
              .Text(texts[n])
              .Raw(",2)"));
    }
  }
  static std::string PartnerCode(size_t n) {
    std::string digits = std::to_string(n);
    return "K" + std::string(3 - digits.size(), '0') + digits;
  }
  int64_t SaveReceipt(D& doc, size_t n, const std::vector<std::string>& texts,
                      const std::string* number = nullptr) {
    EXPECT_TRUE(doc.FileNew());
    Type(doc.Header(D::kCustomer), PartnerCode(n));
    EXPECT_EQ(doc.Header(D::kCustomer).KeyLong(), static_cast<int64_t>(100 + n));
    TypeTexts(doc, kReceiptTexts, texts, n, number);
    const bool saved = doc.FileSave();
    if (!number) {
      EXPECT_TRUE(saved) << "receipt " << n << ": " << Failures();
    }
    return saved ? doc.GetID() : 0;
  }
};

TEST_P(HostileReceiptTest, EveryTextFieldIsStoredAndShownAgainByteForByte) {
  const auto texts = HostileTexts();
  AddPartners(texts);
  D doc;
  ASSERT_TRUE(doc.Init(System(), kReceiptProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); ++n) {
    const int64_t id = SaveReceipt(doc, n, texts);
    ASSERT_GT(id, 0) << "receipt " << n << " was not saved: " << Failures();
    ExpectKept(
        kReceiptTexts, texts, n,
        [&](const TextField& f) { return Stored("ARPReceive", f.column, id); }, "stored");
    ExpectKept(
        kReceiptTexts, texts, n, [&](const TextField& f) { return doc.Header(f.index).Text(); },
        "shown after save");
    D reader;
    ASSERT_TRUE(reader.Init(System(), kReceiptProgram, id));
    ASSERT_TRUE(reader.RecordTop());
    ASSERT_EQ(reader.GetID(), id);
    ExpectKept(
        kReceiptTexts, texts, n, [&](const TextField& f) { return reader.Header(f.index).Text(); },
        "read back");
    // The customer is shown by its name as the partner master keeps it.
    EXPECT_TRUE(SameBytes(reader.Header(D::kCustomer).Text(), texts[n])) << "customer of " << n;
    const platform::PrintFile printed = Printed(reader);
    EXPECT_EQ(printed.error, "");
    ExpectKept(
        kReceiptTexts, texts, n,
        [&](const TextField& f) {
          return PrintedValue(printed, forms::Trim(reader.Header(f.index).Caption()));
        },
        "printed");
    ids.push_back(id);
  }
  EXPECT_EQ(Failures(), "");
  // Find "like" on the remark reaches each receipt among its matches.
  for (size_t n = 0; n < ids.size(); ++n) {
    EXPECT_TRUE(FindsAmongMatches(doc, TextFor(texts, n, 2), "ARPReceive.备注", ids[n], ids.size()))
        << "find like on the remark of receipt " << n;
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileReceiptTest, LookupFieldsFindAndFilterTakeEveryText) {
  const auto texts = HostileTexts();
  AddPartners(texts);
  D doc;
  ASSERT_TRUE(doc.Init(System(), kReceiptProgram, 0));
  doc.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); n += 3) ids.push_back(SaveReceipt(doc, n, texts));
  EXPECT_EQ(Failures(), "");

  ASSERT_TRUE(doc.FileNew());
  for (int index : {D::kSalesman, D::kCustomer}) TypeEveryText(doc.Header(index), texts);
  doc.FileCancel();

  // Receipt n belongs to the partner named text n: Filter "=" on the name finds exactly it.
  for (size_t k = 0; k < ids.size(); ++k) {
    const size_t n = 3 * k;
    doc.Filter(std::vector<host::Condition>{{texts[n], "PDMWLDWJS.公司名称="}});
    EXPECT_EQ(doc.GetID(), ids[k]) << "filter on the customer of receipt " << n;
  }
  SweepFindColumns(doc, texts, 2);
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileReceiptTest, NumbersAreToldApartWhateverTheyHold) {
  const auto texts = HostileTexts();
  AddPartners(texts);
  D doc;
  ASSERT_TRUE(doc.Init(System(), kReceiptProgram, 0));
  doc.Events().AttachSink(&Sink());
  NumbersAreToldApart(
      [&](size_t n, const std::string& number) { return SaveReceipt(doc, n, texts, &number); },
      "ARPReceive", kReceiptProgram, "收款单号重复,请检查后重试!");
}

TEST_P(HostileReceiptTest, NumberFieldsKeepTheValueOfEveryText) {
  const auto texts = HostileTexts();
  AddPartners(texts);
  D doc;
  ASSERT_TRUE(doc.Init(System(), kReceiptProgram, 0));
  doc.Events().AttachSink(&Sink());
  for (const auto& [index, column] :
       {std::pair<int, const char*>{D::kAmount, "总金额"}, {D::kRounding, "扣零金额"}}) {
    for (const auto& text : texts) {
      ASSERT_TRUE(doc.FileNew());
      Type(doc.Header(D::kCustomer), PartnerCode(0));
      Type(doc.Header(index), text);
      NumberFieldKeepsItsValue(doc, doc.Header(index), text,
                               [&](int64_t id) { return Stored("ARPReceive", column, id); });
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileReceiptTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

}  // namespace
}  // namespace ws::hostile
