#include "repair_order/ws_s.h"

#include <map>

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "framework/columns.h"
#include "framework/list_window.h"
#include "framework/shop_decimals.h"

namespace ws::repair_order {

namespace {

// A field that offers the values earlier orders hold in its column and takes any text.
framework::PickerParameters DistinctValues(const std::string& column) {
  return {{"FieldName", column},
          {"SQL", " select distinct " + column + " from wsdj where " + column + "<>''"},
          {"Valid", " " + column + " Like '@%'"},
          {"Order", " " + column}};
}

// What the labour grid shows of a line on the floor.
struct FloorCells {
  std::string state;
  std::vector<std::string> technicians;  // "张师傅 1.50" where hours are planned
  std::vector<std::string> working;      // those whose clock runs on the line
};

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : "、") + text;
  return joined;
}

std::map<int64_t, FloorCells> ReadFloor(db::Recordset& records) {
  std::map<int64_t, FloorCells> lines;
  for (records.MoveFirst(); !records.Eof(); records.MoveNext()) {
    FloorCells& line = lines[records.Long("单据明细ID")];
    line.state = records.Text("状态");
    if (const std::string reason = Trim(records.Text("原因"));
        line.state == "暂停" && !reason.empty()) {
      line.state += "：" + reason;
    }
    const int64_t employee = records.Long("雇员ID");
    if (employee <= 0) continue;
    std::string name = Trim(records.Text("姓名"));
    if (name.empty()) name = "#" + std::to_string(employee);  // a card deleted since
    const double hours = records.Number("计划工时");
    // Two decimals, as the board and the dispatch dialog write planned hours.
    line.technicians.push_back(hours > 0 ? name + " " + forms::FixedText(hours, 2) : name);
    if (!records.Text("开始时间").empty()) line.working.push_back(name);
  }
  return lines;
}

}  // namespace

const framework::HeaderSchema& WS_S::OrderSchema() {
  using namespace framework;
  using forms::FieldKind;
  namespace c = framework::col;
  static const HeaderSchema schema(
      "WSDJ", c::kId,
      DocumentHeader(
          c::kOrderProgram, SaveMode::InsertOnly,
          {
              Stored(c::kSystem, ValueKind::Text, SaveMode::InsertOnly),
              // The plate leads: a known plate fills the vehicle, its owner and the last visit.
              LookupField(kPlate, "车牌号", c::kVehicleId, c::kPlate, "pdmcl")
                  .At("车辆", 10)
                  .Role(FieldRole::FirstInput),
              // Engine, chassis and model are the vehicle master's, kept in step by the save.
              TextField(kModel, "车型", c::kModel).Saves(SaveMode::Shown).At("车辆", 11),
              TextField(kEngine, "发动机号", c::kEngine).Saves(SaveMode::Shown).At("车辆", 12),
              TextField(kChassis, "车架号", c::kChassis).Saves(SaveMode::Shown).At("车辆", 13),
              TextField(kMaker, "车厂", c::kMaker)
                  .Kind(FieldKind::Lookup)
                  .Picker("pdmty_inner_j", DistinctValues(c::kMaker))
                  .At("车辆", 14),
              LookupField(kOwner, "车主", c::kOwnerId, c::kCompany, "pdmkh_j")
                  .Picker("pdmkh_j", {{"SX", "2"}})
                  .At("客户", 20),
              TextField(kPerson, "送修人", c::kPerson).At("客户", 21),
              TextField(kTelephone, "司机电话", c::kTelephone).At("客户", 22),
              TextField(kDepartment, "主管部门", c::kDepartment)
                  .Kind(FieldKind::Lookup)
                  .Picker("pdmty_inner_j", DistinctValues(c::kDepartment))
                  .At("客户", 23),
              TextField(kNumber, "工单号码", c::kOrderNumber)
                  .Role(FieldRole::Number)
                  .At("进出厂", 30),
              DateField(kDateIn, "进厂日期", c::kDateIn)
                  .Role(FieldRole::DocumentDate)
                  .At("进出厂", 31),
              // An order that has not left the workshop is stored with the "no date" of the shop.
              DateField(kDateOut, "出厂日期", c::kDateOut).EmptyDate("1900-01-01").At("进出厂", 32),
              NumberField(kMileage, "公里数", c::kMileage).At("进出厂", 33),
              LookupField(kCategory, "维修分类", c::kCategoryId, c::kCategory, "pdmwxfl")
                  .At("进出厂", 34),
              Stored(c::kCategory, ValueKind::Text).TextOf(kCategory),
              TextField(kReceptionist, "接待人", c::kReceptionist)
                  .Kind(FieldKind::Lookup)
                  .Picker("pdmty_inner_j", DistinctValues(c::kReceptionist))
                  .At("进出厂", 35),
              TextField(kInvoice, "发票号码", c::kInvoice).At("进出厂", 36),
              TextField(kRemarks, "备注", c::kRemarks).At("进出厂", 37),
              // Labour and parts are the lines' totals, the receivable their sum with the fees.
              NumberField(kLabour, "维修费用", c::kLabour).ReadOnly().At("费用", 40),
              NumberField(kParts, "配件费用", c::kParts).ReadOnly().At("费用", 41),
              NumberField(kDiagnosis, "诊断费", c::kDiagnosis).At("费用", 42),
              NumberField(kInspection, "检测费", c::kInspection).At("费用", 43),
              NumberField(kTotal, "应收合计", c::kReceivable).ReadOnly().Prominent().At("费用", 49),
          },
          {kEnteredBy, kEntryDate, kCheckedBy, kCheckDate, 50}));
  return schema;
}

WS_S::WS_S() : framework::Document("WS_S", OrderSchema(), kFieldArray) {}

std::vector<host::FindColumn> WS_S::FindColumns() const {
  using K = host::FindKind;
  return {{"WSDJ.工单号码", "工单号码", K::Text},  {"CLZl.车牌号", "车牌号", K::Text},
          {"pdmwldw.公司名称", "车主", K::Text},   {"WSDJ.进厂日期", "进厂日期", K::Date},
          {"WSDJ.出厂日期", "出厂日期", K::Date},  {"WSDJ.维修分类", "维修分类", K::Text},
          {"WSDJ.接待人", "接待人", K::Text},      {"WSDJ.送修人", "送修人", K::Text},
          {"WSDJ.应收合计", "应收合计", K::Number}};
}

forms::Field& WS_S::Header(int index) const {
  return HeaderField(index);
}

void WS_S::SetupForm() {
  if (form_.Find(kItemGrid)) return;  // a second Init keeps the form it built
  WireHeader();

  auto& itemTab = form_.Add<forms::OptionButton>(kItemTab);
  itemTab.OnClick = [this] { ShowGrid(LineKind::Items); };
  auto& partTab = form_.Add<forms::OptionButton>(kPartTab);
  partTab.OnClick = [this] { ShowGrid(LineKind::Parts); };
  form_.Add<forms::Frame>(kGridFrame);

  LineGrid::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.ownerId = [this] { return Header(kOwner).KeyLong(); };
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] { Changed(); };
  for (LineKind kind : {LineKind::Items, LineKind::Parts}) {
    auto& grid = form_.Add<forms::Grid>(kind == LineKind::Items ? kItemGrid : kPartGrid);
    grid.SetContainer(kGridFrame);
    grid.OnOpenFormRequest = [this](const std::string& program, const std::string& a,
                                    const std::string& b,
                                    const std::string& c) { ForwardOpenForm(program, a, b, c); };
    LineGrid::Store store;
    store.floor = true;
    auto lines = std::make_unique<LineGrid>(grid, kind, store);
    lines->Setup(context, GoodsMessageEdit());
    AddLineSet(*lines);
    (kind == LineKind::Items ? items_ : parts_) = std::move(lines);
  }
  // The tabs name the grids as the history names their lines.
  itemTab.SetCaption(items_->Schema().caption);
  partTab.SetCaption(parts_->Schema().caption);

  // The figures repeat 应收合计, which the money group shows already; the words sit under it.
  form_.Add<forms::Label>(kAmountFigures).SetPlacement({"费用", 50, false, false});
  form_.Add<forms::Label>(kAmountWords).SetPlacement({"费用", 51, false, true});
  form_.Add<forms::CheckBox>(kKeepValues).SetCaption("保留上一单内容");
  ShowGrid(LineKind::Items);
  RecalcTotals();
}

void WS_S::ShowGrid(LineKind kind) {
  bool items = kind == LineKind::Items;
  form_.Get<forms::Grid>(kItemGrid).SetVisible(items);
  form_.Get<forms::Grid>(kPartGrid).SetVisible(!items);
  form_.Get<forms::OptionButton>(kItemTab).SetValue(items ? 1 : 0);
  form_.Get<forms::OptionButton>(kPartTab).SetValue(items ? 0 : 1);
}

std::string WS_S::ListWindow() {
  return framework::ListWindow(System(), {"进厂日期", framework::WindowColumn::Dates}, Driver());
}

void WS_S::ShowDetails(const db::Recordset&) {
  pendingLookups_.clear();
  // A stored chassis number is the vehicle list's to report; the order warns about a typed one.
  vinWarning_.Known(Header(kChassis).Text());
  // Both grids' lines come in one round trip on a server.
  ReadAheadDetails(CurrentId());
  if (!LoadLines(*items_, CurrentId()) || !LoadLines(*parts_, CurrentId())) return;
  RecalcTotals();
  LoadFloor(CurrentId());
}

void WS_S::ReadAheadDetails(int64_t id) {
  db::Runner(Database()).ReadAhead(LinesSelect(items_->Kind(), id));
  db::Runner(Database()).ReadAhead(LinesSelect(parts_->Kind(), id));
  db::Runner(Database()).ReadAhead(JobsSelect(id));
}

bool WS_S::LoadFloor(int64_t orderId) {
  std::string error;
  auto records = db::Runner(Database()).Open(JobsSelect(orderId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  const std::map<int64_t, FloorCells> floor = ReadFloor(*records);
  forms::Grid& grid = items_->Grid();
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    const int64_t lineId = items_->LineId(row);
    const auto line = floor.find(lineId);
    std::string state = lineId <= 0 ? "" : line == floor.end() ? "待派工" : line->second.state;
    std::string technicians;
    if (line != floor.end()) {
      technicians = Joined(line->second.technicians);
      if (!line->second.working.empty()) state += "（" + Joined(line->second.working) + "在做）";
    }
    grid.SetTextMatrix(row, LineGrid::kTechnicians, std::move(technicians));
    grid.SetTextMatrix(row, LineGrid::kJobState, std::move(state));
  }
  return true;
}

bool WS_S::LoadLines(LineGrid& grid, int64_t orderId) {
  std::string error;
  auto records = db::Runner(Database()).Open(LinesSelect(grid.Kind(), orderId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  grid.Load(*records);
  return true;
}

bool WS_S::KeepsValues() const {
  auto* keep = form_.FindAs<forms::CheckBox>(kKeepValues);
  return keep && keep->Checked();
}

void WS_S::AfterClear() {
  pendingLookups_.clear();
  // What a kept order carries over was not typed.
  vinWarning_.Known(Header(kChassis).Text());
  for (const char* name : {kItemGrid, kPartGrid}) {
    if (auto* grid = form_.FindAs<forms::Grid>(name)) grid->RenumberRows();
  }
  if (items_) RecalcTotals();
}

void WS_S::NewDocumentDefaults() {
  if (!KeepsValues()) return;
  // The kept order is a template: its lines become lines of the new order, and the new order
  // has not been checked by anyone.
  items_->ForgetLineIds();
  parts_->ForgetLineIds();
  Header(kCheckDate).SetText("");
  Header(kCheckedBy).SetText("");
}

void WS_S::Changed() {
  RecalcTotals();
  SetDirty(true);
}

void WS_S::RecalcTotals() {
  // Stored and collected: in the shop's amount decimals, though a typed line may hold more.
  const int decimals = framework::AmountDecimals(System());
  Header(kLabour).SetText(items_->Total().RoundedTo(decimals).Text());
  Header(kParts).SetText(parts_->Total().RoundedTo(decimals).Text());
  RecalcReceivable();
}

void WS_S::RecalcReceivable() {
  const int decimals = framework::AmountDecimals(System());
  db::Amount total;
  for (int index : {kLabour, kParts, kDiagnosis, kInspection}) {
    total += db::Amount::Of(Header(index).Text());
  }
  // A typed fee of more decimals than the till takes does not make the receivable one.
  total = total.RoundedTo(decimals);
  Header(kTotal).SetText(total.Text());
  form_.Get<forms::Label>(kAmountFigures)
      .SetCaption(forms::FormatNumber(total.ToDouble(), forms::DecimalsFormat(decimals, true)));
  form_.Get<forms::Label>(kAmountWords).SetCaption(System().AmountInWords(total));
}

}  // namespace ws::repair_order
