#include "requisition/ckll_ws.h"

#include <limits>
#include <map>
#include <set>
#include <stdexcept>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "framework/list_window.h"
#include "framework/shop_decimals.h"
#include "host/app.h"
#include "requisition/frm_sel_ws.h"

namespace ws::requisition {

namespace {

using forms::Trim;
namespace col = framework::col;

const char* const kListSelect =
    " SELECT JXCDJ.*, PDMWLDW.公司名称 AS 往来单位, PDMBM.部门名称, PDMBM_1.部门名称 AS 仓库名称, "
    "PDMGY.姓名 AS 业务员, PDMBZ.外币名称 AS 币种"
    "  FROM ((((JXCDJ LEFT JOIN PDMWLDW ON JXCDJ.往来ID = PDMWLDW.往来ID)"
    "    LEFT JOIN PDMBM AS PDMBM_1 ON JXCDJ.仓库ID = PDMBM_1.部门ID)"
    "    LEFT JOIN PDMBM ON JXCDJ.部门ID = PDMBM.部门ID)"
    "    LEFT JOIN PDMGY ON JXCDJ.业务员ID = PDMGY.雇员ID)"
    "    LEFT JOIN PDMBZ ON JXCDJ.币种ID = PDMBZ.币种ID";

db::Sql LinesSelect(int64_t id) {
  return db::Sql(
             "SELECT pdmcpml.物品编码, pdmcpml.物品名称, pdmcpml.规格, "
             "pdmcpml.库存单位,pdmcpml.是否需批次管理,pdmcpml.缺省货位, "
             "PDMBM_2.部门名称 AS 仓库名称, pdmcpml.颜色,pdmcpml.特性,pdmcpml.尺寸,JXCDJMX.*  "
             "FROM (JXCDJMX  LEFT JOIN PDMBM PDMBM_2 ON JXCDJMX.仓库ID = PDMBM_2.部门ID)  "
             "LEFT JOIN pdmcpml ON JXCDJMX.产品ID = pdmcpml.产品ID  where 单据ID=")
      .Key(id)
      .Raw(" order by 单据明细ID");
}

db::Sql OrderLinkSelect(int64_t sourceProgram, int64_t sourceId) {
  return db::Sql(
             " SELECT WSDJ.工单号码, CLZl.车牌号, PDMWLDW.公司名称   FROM (WSDJ LEFT "
             "JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID) LEFT JOIN CLZl ON "
             "WSDJ.车辆ID = CLZl.车辆ID  where wsdj.progid=")
      .Key(sourceProgram)
      .Raw(" and wsdj.单据ID=")
      .Key(sourceId);
}

db::Sql SourceNumbersSelect(const std::vector<int64_t>& lines) {
  return db::Sql(
             "select B.单据明细ID, A.工单号码 from wsdj A join wsdjpj B on A.单据ID=B.单据ID "
             "where A.smark='02' and B.单据明细ID in (")
      .Keys(lines)
      .Raw(")");
}

// A listed row as the chooser hands it over once ticked: the values pass through the texts of
// its grid, so a requisition started from an order imports what the dialog would have.
framework::clsSelWS ChosenRow(const db::Recordset& records) {
  auto number = [&](const char* field) { return db::NumericValue(records.Text(field)); };
  auto id = [&](const char* field) { return static_cast<int64_t>(number(field)); };
  framework::clsSelWS row;
  row.i进厂日期(db::FormatDateText(records.Text("进厂日期")));
  row.i工单号码(records.Text("工单号码"));
  row.i客户名称(records.Text("客户名称"));
  row.i车牌号码(records.Text("车牌号"));
  row.i车型(records.Text("车型"));
  row.i维修分类(records.Text("维修分类"));
  row.i配件编码(records.Text("配件编码"));
  row.i配件项目(records.Text("配件项目"));
  row.i配件规格(records.Text("配件规格"));
  row.i需求数量(number("需求数量"));
  row.i已领数量(number("已领用数"));
  row.i未领数量(
      db::NumericValue(db::DecimalText(records.Number("需求数量") - records.Number("已领用数"))));
  row.i单价(number("单价"));
  row.i说明(records.Text("说明"));
  row.i客户ID(id("客户ID"));
  row.i产品ID(id("产品ID"));
  row.iprogid(id("progid"));
  row.i单据ID(id("单据ID"));
  row.i单据明细ID(id("单据明细ID"));
  row.i单位(records.Text("单位"));
  return row;
}

// The number format of a total: "##0", or "##0." and as many "0" as the decimals option says.
std::string TotalFormat(host::ISystem& system, int option) {
  int decimals = static_cast<int>(db::NumericValue(system.GetOption(12, option)));
  return decimals <= 0 ? std::string("##0")
                       : "##0." + std::string(static_cast<size_t>(decimals), '0');
}

}  // namespace

const framework::HeaderSchema& CKLl_WS::RequisitionSchema() {
  using namespace framework;
  using forms::FieldKind;
  namespace c = framework::col;
  static const HeaderSchema schema(
      "JXCDJ", c::kId,
      DocumentHeader(
          c::kProgram, SaveMode::Always,
          {
              Stored(c::kSystem, ValueKind::Text),
              Stored(c::kTotalAmount, ValueKind::Number),
              Stored(c::kPeriod, ValueKind::Number),
              TextField(kNumber, "单据编号", c::kNumber).Role(FieldRole::Number).At("单据", 10),
              DateField(kDate, "操作日期", "操作日期").Role(FieldRole::DocumentDate).At("单据", 11),
              TextField(kNature, "性质", "性质")
                  .Kind(FieldKind::Lookup)
                  .Picker("pdmdjxz")
                  .At("单据", 12),
              LookupField(kDepot, "仓库", "仓库ID", "仓库名称", "pdmty_id_j")
                  .Picker("pdmty_id_j", RequisitionLines::DepotPickerParameters())
                  .At("仓库", 20),
              LookupField(kDepartment, "部门", "部门ID", "部门名称", "pdmty_id_j")
                  .Picker("pdmty_id_j",
                          {{"FieldName", "部门名称"},
                           {"SQL",
                            " Select 部门ID,部门编码,部门名称 From PDMBM WHERE 组织类型=1 and "
                            "是否明细=1 and 是否使用=1"},
                           {"Valid", " 部门编码='@' or 部门名称='@'"},
                           {"Order", " 部门编码,部门名称"},
                           {"MxCzID", "0"}})
                  .At("仓库", 21),
              TextField(kHandler, "经手人", "本方经手人")
                  .Kind(FieldKind::Lookup)
                  .Picker("pdmgy_j")
                  .Role(FieldRole::FirstInput)
                  .At("仓库", 22),
              LookupField(kCurrency, "币种", c::kCurrencyId, "币种", "pdmty_id_j")
                  .Picker("pdmty_id_j",
                          {{"FieldName", "币种"},
                           {"SQL",
                            "select 币种ID,外币代号 As 代号,外币名称 As 币种 from pdmbz where "
                            "外币名称<>''"},
                           {"Valid", " 外币代号='@' or 外币名称='@'"},
                           {"Order", " 外币代号,外币名称"},
                           {"MxCzID", "0"}})
                  .At("仓库", 23),
              // The repair order's fields come from the import: the keys are saved, the texts
              // looked up when shown (ShowOrderLink).
              LookupField(kOrder, "维修工单", c::kSourceId, "", "")
                  .Kind(FieldKind::Text)
                  .ReadOnly()
                  .At("维修工单", 30),
              LookupField(kVehicle, "车牌号", c::kSourceProgram, "", "")
                  .Kind(FieldKind::Text)
                  .ReadOnly()
                  .At("维修工单", 31),
              FormField(kCustomer, "客户", FieldKind::Text).ReadOnly().At("维修工单", 32),
              LookupField(kProject, "项目", "项目ID", "", "")
                  .Kind(FieldKind::Text)
                  .ReadOnly()
                  .At("维修工单", 33),
              TextField(kRemark, "备注", c::kRemarks).At("维修工单", 34),
          },
          {kEnteredBy, kEntryDate, kCheckedBy, kCheckDate, 40, "仓库填单", "填单日期", "仓库审核",
           "填单人", "填单日期"}));
  return schema;
}

CKLl_WS::CKLl_WS() : framework::Document("CKLl_WS", RequisitionSchema(), kFieldArray) {}

std::vector<host::FindColumn> CKLl_WS::FindColumns() const {
  using K = host::FindKind;
  return {{"JXCDJ.单据编号", "单据编号", K::Text},   {"JXCDJ.操作日期", "操作日期", K::Date},
          {"PDMBM_1.部门名称", "仓库名称", K::Text}, {"PDMBM.部门名称", "部门名称", K::Text},
          {"JXCDJ.本方经手人", "经手人", K::Text},   {"JXCDJ.备注", "备注", K::Text},
          {"JXCDJ.总金额", "总金额", K::Number}};
}

forms::Field& CKLl_WS::Header(int index) const {
  return HeaderField(index);
}

forms::Label& CKLl_WS::Label(int index) const {
  return form_.Get<forms::Label>(kLabels, index);
}

void CKLl_WS::SetupForm() {
  if (form_.Find(kGrid)) return;  // a second Init keeps the form it built
  WireHeader();

  auto& button = form_.Add<forms::CommandButton>(kImportButton);
  button.SetCaption("引入维修工单");
  button.OnClick = [this] {
    Guarded("CKLL_WS-->btn_Click::", [&] {
      ImportFromOrders();
      return true;
    });
  };

  auto& grid = form_.Add<forms::Grid>(kGrid);
  lines_ = std::make_unique<RequisitionLines>(grid);
  RequisitionLines::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] { Changed(); };
  context.stockPeriod = [this] { return static_cast<int>(gate_.CurrentPeriod()); };
  context.headerDepot = [this] {
    return std::make_pair(Header(kDepot).KeyLong(), Header(kDepot).Text());
  };
  try {
    // The period and the closed one as Init read them a moment ago: a round trip fewer each.
    gate_ =
        framework::PeriodGate(framework::kStockPeriod, CurrentPeriodParameter(), ClosingPeriod());
    lines_->Setup(std::move(context), GoodsMessageEdit());
  } catch (const std::exception& e) {
    ReportError(std::string("加载VS时出错，原因：") + e.what());
  }
  AddLineSet(*lines_);

  // What each total is, for whoever shows it beside the figure.
  const std::pair<int, const char*> totals[] = {
      {kAmountWords, "金额大写"}, {kAmountFigures, "金额合计"}, {kQuantityTotal, "数量合计"}};
  for (const auto& [index, meaning] : totals) {
    form_.Add<forms::Label>(kLabels, index).SetToolTip(meaning);
  }
  auto& tools = form_.Add<forms::PopupMenu>("mnuTools");
  tools.AddItem("产品物料清单展开...", kTool);
  RecalcTotals();
}

void CKLl_WS::WireHeader() {
  BuildHeader("CKLL_WS-->");
}

void CKLl_WS::FieldLeft(int index) {
  forms::Field& field = Header(index);
  if (field.Kind() != forms::FieldKind::Lookup) {
    framework::Document::FieldLeft(index);
    return;
  }
  if (index == kNature || index == kHandler) return;
  // A typed depot, department or currency must name one; an emptied field names none.
  ResolveLookupField(index, true);
}

void CKLl_WS::FieldPicker(int index) {
  forms::Field& field = Header(index);
  // The natures are the program's own.
  auto picker = index == kNature
                    ? framework::OpenPicker(System(), field.Picker(), ProgramNumber(),
                                            {{"ProgID", std::to_string(ProgramNumber())}})
                    : OpenFieldPicker(index);
  if (!picker) return;
  framework::PickedRow picked = framework::ChooseInPicker(System(), *picker, Trim(field.Text()));
  if (!picked.found) return;
  if (index == kNature || index == kHandler) {
    field.SetText(picked.text);
  } else {
    field.SetValue(picked.value, picked.text);
  }
  field.MarkValid();
  SetDirty(true);
}

std::string CKLl_WS::BaseSelect() const {
  return kListSelect;
}

std::string CKLl_WS::ListWindow() {
  return framework::ListWindow(System(), {"会计期间", framework::WindowColumn::PeriodsUpFirst},
                               Driver(), gate_.CurrentPeriod());
}

int CKLl_WS::PeriodOfField() const {
  auto date = db::Date::Parse(Trim(Header(kDate).Text()));
  return date ? static_cast<int>(framework::PeriodGate::PeriodOf(System(), *date)) : 0;
}

void CKLl_WS::ReadAheadShow(int64_t id, int64_t sourceProgram, int64_t sourceId) {
  db::Runner(Database()).ReadAhead(OrderLinkSelect(sourceProgram, sourceId));
  framework::PeriodGate::ReadAheadPeriodOf(System());
  db::Runner(Database()).ReadAhead(LinesSelect(id));
}

void CKLl_WS::ReadAheadDetails(int64_t id) {
  // The form still shows this document: its order stays the same, and its lines, stored
  // again or only checked, keep their source lines.
  ReadAheadShow(id, Header(kVehicle).KeyLong(), Header(kOrder).KeyLong());
  if (std::vector<int64_t> lines = SourceLines(); !lines.empty()) {
    db::Runner(Database()).ReadAhead(SourceNumbersSelect(lines));
  }
}

void CKLl_WS::ShowDetails(const db::Recordset& records) {
  const bool currentStock =
      db::NumericValue(System().GetOption(1, std::string("displaycurrentst"))) != 0;
  ReadAheadShow(CurrentId(), records.Long(col::kSourceProgram), records.Long(col::kSourceId));
  ShowOrderLink(records.Long(col::kSourceProgram), records.Long(col::kSourceId));
  documentPeriod_ = PeriodOfField();
  lines_->Load(*db::Runner(Database()).OpenOrThrow(LinesSelect(CurrentId())));
  forms::Grid& grid = lines_->Grid();
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (currentStock) lines_->ShowCurrentStock(row);
  }
  ShowSourceCells();
  RecalcTotals();
}

void CKLl_WS::ShowOrderLink(int64_t sourceProgram, int64_t sourceId) {
  Header(kOrder).SetValue(std::to_string(sourceId), "");
  Header(kVehicle).SetValue(std::to_string(sourceProgram), "");
  Header(kCustomer).SetText("");
  auto order = db::Runner(Database()).OpenOrThrow(OrderLinkSelect(sourceProgram, sourceId));
  if (order->Eof()) return;  // the order is gone: its keys stay, its texts do not
  Header(kOrder).SetText(order->Text(col::kOrderNumber));
  Header(kVehicle).SetText(order->Text(col::kPlate));
  Header(kCustomer).SetText(order->Text(col::kCompany));
}

std::vector<int64_t> CKLl_WS::SourceLines() const {
  forms::Grid& grid = lines_->Grid();
  std::vector<int64_t> lines;
  std::set<int64_t> seen;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    const int64_t line = grid.CellKeyLong(row, RequisitionLines::kSourceNumber);
    if (line != 0 && seen.insert(line).second) lines.push_back(line);
  }
  return lines;
}

void CKLl_WS::ShowSourceCells() {
  forms::Grid& grid = lines_->Grid();
  db::Runner runner(Database());
  // Fifty lines of one order name one work order: the work-order numbers of all the lines are
  // read in one statement. A program's caption is the catalogue's, fixed while the shop runs:
  // the form reads each once.
  std::map<int64_t, std::string> orderNumbers;
  if (std::vector<int64_t> lines = SourceLines(); !lines.empty()) {
    auto rows = runner.OpenOrThrow(SourceNumbersSelect(lines));
    for (; !rows->Eof(); rows->MoveNext()) {
      orderNumbers[rows->Field(0).ToLong()] = rows->Field(1).ToText();
    }
  }
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    const int64_t program = grid.CellKeyLong(row, RequisitionLines::kSourceType);
    if (program != 0) {
      auto known = programNames_.find(program);
      if (known == programNames_.end()) {
        known =
            programNames_
                .emplace(program,
                         runner.ScalarTextOrThrow(
                             db::Sql("select progname from xt_objects where progID=").Key(program)))
                .first;
      }
      grid.SetTextMatrix(row, RequisitionLines::kSourceType, known->second);
    }
    const int64_t line = grid.CellKeyLong(row, RequisitionLines::kSourceNumber);
    if (line != 0) grid.SetTextMatrix(row, RequisitionLines::kSourceNumber, orderNumbers[line]);
  }
}

void CKLl_WS::AfterClear() {
  documentPeriod_ = 0;
  if (lines_) RecalcTotals();
}

void CKLl_WS::SetDefaultCurrency() {
  std::string currency = Trim(System().GetOption(12, 4));
  std::string name;
  if (db::NumericValue(currency) > 0) {
    std::string error;
    name = db::Runner(Database())
               .ScalarText(db::Sql("select 外币名称 from pdmbz where 币种ID=")
                               .Key(static_cast<int64_t>(db::NumericValue(currency))),
                           &error);
  }
  Header(kCurrency).SetValue(currency, name);
}

void CKLl_WS::Changed() {
  RecalcTotals();
  SetDirty(true);
}

void CKLl_WS::RecalcTotals() {
  if (!HasSystem()) return;
  forms::Grid& grid = lines_->Grid();
  double quantity = 0;
  // The rows a save writes, so the total shown is the total stored.
  for (int row : lines_->SavedRows()) {
    quantity += db::NumericValue(grid.TextMatrix(row, RequisitionLines::kQuantity));
  }
  host::ISystem& system = System();
  // In the till's decimals, as it is stored: the label's value is the document's total.
  const db::Amount amount = lines_->Total().RoundedTo(framework::AmountDecimals(system));
  Label(kQuantityTotal).SetCaption(forms::FormatNumber(quantity, TotalFormat(system, 7)));
  Label(kAmountFigures).SetCaption(forms::FormatNumber(amount.ToDouble(), TotalFormat(system, 12)));
  Label(kAmountWords).SetCaption(system.AmountInWords(amount));
}

void CKLl_WS::ImportFromOrders() {
  selection_.Clear();
  frmSelWS chooser(selection_);
  if (!chooser.py_SubProgram(System(), 0, ProgramNumber(), "0") || selection_.Empty()) return;
  ImportSelection();
}

bool CKLl_WS::NewForOrder(int64_t orderId) {
  SelectionList rows;
  auto listed = [&] {
    // Every line the chooser lists of the order, as a tick on the whole order takes them.
    ChooserFilter filter;
    filter.orderId = orderId;
    filter.rowLimit = std::numeric_limits<int32_t>::max();
    auto records = db::Runner(Database()).OpenOrThrow(ChooserSelect(filter, Driver()));
    for (; !records->Eof(); records->MoveNext()) rows.Add(ChosenRow(*records));
    return !rows.Empty();
  };
  auto fill = [&] {
    selection_ = rows;
    ImportSelection();
    return true;
  };
  return NewFromOrder(orderId, "CKLL_WS-->NewForOrder::", gate_, kNothingToIssue, listed, fill);
}

void CKLl_WS::RefuseOrder(const std::string& text) {
  events_.ErrMessage(text, host::kLevelRefusal, host::kAppTitle);
}

void CKLl_WS::ImportSelection() {
  const framework::clsSelWS& first = selection_.Item(0);
  Header(kOrder).SetValue(std::to_string(first.i单据ID()), first.i工单号码());
  Header(kVehicle).SetValue(std::to_string(first.iprogid()), first.i车牌号码());
  Header(kCustomer).SetValue(std::to_string(first.i客户ID()), first.i客户名称());
  for (const framework::clsSelWS& row : selection_) lines_->Import(row);
  Changed();
}

bool CKLl_WS::Tools() {
  return true;
}

bool CKLl_WS::Action(const std::string& name) {
  // The bill-of-materials spread has nothing to do on a requisition.
  if (name == kTool) return true;
  return framework::Document::Action(name);
}

}  // namespace ws::requisition
