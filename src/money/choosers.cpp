#include "money/choosers.h"

#include <exception>

#include "db/runner.h"
#include "db/value.h"
#include "money/order_choosers.h"

namespace ws::money {

namespace {

db::Amount CellAmount(const forms::Grid& grid, int row, int col) {
  return db::Amount::Of(grid.TextMatrix(row, col));
}

int64_t CellLong(const forms::Grid& grid, int row, int col) {
  return static_cast<int64_t>(db::NumericValue(grid.TextMatrix(row, col)));
}

}  // namespace

// --- frmSelWsJs

frmSelWsJs::frmSelWsJs()
    : OrderChooser(
          {.name = "frmSelWsJs", .title = "选单", .columns = kColumns, .manyTicks = false}) {
  Grid().OnDblClick = [this](int row) {
    Grid().SetRow(row);
    OnConfirm();
  };
  form_.Add<forms::Frame>("fraView").SetCaption("显示");
  const char* captions[] = {"全部栏目", "简要栏目"};
  for (int view : {kAllColumns, kBriefColumns}) {
    auto& option = form_.Add<forms::OptionButton>(kViewOption, view);
    option.SetCaption(captions[view]);
    option.SetContainer("fraView");
    option.SetValue(view == kAllColumns ? 1 : 0);
    option.OnClick = [this, view] { SelectView(view); };
  }
}

void frmSelWsJs::SelectView(int view) {
  view_ = view;
  for (int other : {kAllColumns, kBriefColumns}) {
    form_.Get<forms::OptionButton>(kViewOption, other).SetValue(other == view ? 1 : 0);
  }
  hiddenByView_.clear();
  RebuildGrid();
  if (view == kBriefColumns) {
    for (int col :
         {kColModel, kColCategory, kColLabour, kColParts, kColDiagnosis, kColInspection}) {
      if (Grid().ColHidden(col)) continue;
      Grid().SetColHidden(col, true);
      hiddenByView_.push_back(col);
    }
  }
  if (HasSystem()) Query();
}

void frmSelWsJs::BeforeClose() {
  for (int col : hiddenByView_) Grid().SetColHidden(col, false);
  hiddenByView_.clear();
  try {
    System().UserSettings().Set(kSettingKey, std::to_string(view_));
  } catch (const std::exception&) {
    // A settings store that cannot write loses only the remembered option.
  }
}

std::vector<frmSelWsJs::Selected> frmSelWsJs::py_SubProgram(host::ISystem& system,
                                                            int64_t programNumber,
                                                            int64_t customerId,
                                                            int64_t settlementId) {
  Open(system);
  settlementId_ = settlementId;
  result_.clear();
  db::Runner runner(system.GetDatabase());
  form_.SetCaption(runner.ScalarText(ProgramNameSelect(programNumber)) + "选单");
  if (customerId > 0) {
    Filter(kCustomer).SetValue(std::to_string(customerId),
                               runner.ScalarText(CustomerNameSelect(customerId)));
  }
  Query();
  ShowModal();
  return result_;
}

db::Sql frmSelWsJs::ListQuery(std::string_view driver) {
  SettlementChooserFilter f;
  f.rows = RowLimit();
  f.plate = Filter(kPlate).Text();
  f.orderNumber = Filter(kNumber).Text();
  f.dateFrom = DateFilter(kDateFrom);
  f.dateTo = DateFilter(kDateTo);
  f.customerId = CustomerId();
  f.settlementId = settlementId_;
  return SettlementChooserSelect(f, driver);
}

void frmSelWsJs::OnConfirm() {
  forms::Grid& grid = Grid();
  const int row = FirstTicked() >= 0 ? FirstTicked() : grid.Row();
  result_.clear();
  if (grid.IsDataRow(row)) {
    framework::clsSelWS selected;
    selected.i进厂日期(grid.TextMatrix(row, kColDateIn));
    selected.i工单号码(grid.TextMatrix(row, kColNumber));
    selected.i客户名称(grid.TextMatrix(row, kColCustomer));
    selected.i车牌号码(grid.TextMatrix(row, kColPlate));
    selected.i车型(grid.TextMatrix(row, kColModel));
    selected.i维修分类(grid.TextMatrix(row, kColCategory));
    selected.i客户ID(CellLong(grid, row, kColCustomerId));
    selected.iprogid(CellLong(grid, row, kColProgId));
    selected.i单据ID(CellLong(grid, row, kColId));
    result_.push_back({"k" + grid.TextMatrix(row, kColId), std::move(selected)});
  }
  Close();
}

// --- frmSel_AR_Rec

frmSel_AR_Rec::frmSel_AR_Rec()
    : OrderChooser({.name = "frmSel_AR_Rec", .title = "收款单选单", .columns = kColumns}) {
  form_.SetCaption("收款单选单");
  Grid().Col(kColWriteOff).editable = true;
  Grid().OnDblClick = [this](int row) { ToggleTick(row); };
  // The strip's spare slot takes the amount collected: typed again, it is spread again.
  forms::Field& amount = Filter(kAmountSlot);
  amount.SetCaption("总金额");
  amount.SetKind(forms::FieldKind::Number);
  amount.SetVisible(true);
  amount.OnChange = [this] {
    amount_ = db::Amount::Of(Filter(kAmountSlot).Text());
    SpreadOverTicked(amount_);
  };
}

void frmSel_AR_Rec::py_Init(host::ISystem& system, int64_t customerId, db::Amount amount) {
  Open(system);
  amount_ = amount;
  Filter(kAmountSlot).SetText(amount.Text());
  db::Runner runner(system.GetDatabase());
  Filter(kCustomer).SetValue(std::to_string(customerId),
                             runner.ScalarText(ReceivableCustomerNameSelect(customerId)));
  Query();
  ShowModal();
}

db::Sql frmSel_AR_Rec::ListQuery(std::string_view driver) {
  ReceivableChooserFilter f;
  f.rows = RowLimit();
  f.dateFrom = DateFilter(kDateFrom);
  f.dateTo = DateFilter(kDateTo);
  f.customerId = CustomerId();
  f.vehicleId = Filter(kPlate).KeyLong();
  f.orderNumber = Filter(kNumber).Text();
  return ReceivableChooserSelect(f, driver);
}

void frmSel_AR_Rec::Allocate(db::Amount amount) {
  forms::Grid& grid = Grid();
  std::vector<db::Amount> balances;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    balances.push_back(CellAmount(grid, row, kColBalance));
  }
  // Top to bottom: the list holds the oldest debt first.
  std::vector<Allocation> proposal = AllocateReceipt(amount, balances);
  for (size_t i = 0; i < proposal.size(); ++i) {
    const int row = grid.FixedRows() + static_cast<int>(i);
    grid.SetTextMatrix(row, kColChosen, proposal[i].chosen ? kTick : "");
    grid.SetTextMatrix(row, kColWriteOff, proposal[i].chosen ? proposal[i].amount.Text() : "");
  }
}

void frmSel_AR_Rec::SpreadOverTicked(db::Amount amount) {
  forms::Grid& grid = Grid();
  std::vector<int> rows;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (!grid.TextMatrix(row, kColChosen).empty()) rows.push_back(row);
  }
  // A row left unticked takes nothing of it.
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (grid.TextMatrix(row, kColChosen).empty()) grid.SetTextMatrix(row, kColWriteOff, "");
  }
  if (rows.empty()) {
    Allocate(amount);
    return;
  }
  std::vector<db::Amount> balances;
  for (int row : rows) balances.push_back(CellAmount(grid, row, kColBalance));
  // The clerk's ticks stay; the amount goes over them oldest first, as over the whole list.
  std::vector<Allocation> proposal = AllocateReceipt(amount, balances);
  for (size_t i = 0; i < rows.size(); ++i) {
    grid.SetTextMatrix(rows[i], kColWriteOff,
                       i < proposal.size() && proposal[i].chosen ? proposal[i].amount.Text() : "");
  }
}

void frmSel_AR_Rec::OnConfirm() {
  forms::Grid& grid = Grid();
  std::vector<ChosenOrder> chosen;
  // The receipt's lines read as the amount was written off: in list order, oldest first.
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (grid.TextMatrix(row, kColChosen).empty()) continue;
    ChosenOrder order;
    order.orderNumber = grid.TextMatrix(row, kColNumber);
    order.dateIn = grid.TextMatrix(row, kColDateIn);
    order.plate = grid.TextMatrix(row, kColPlate);
    order.engine = grid.TextMatrix(row, kColEngine);
    order.category = grid.TextMatrix(row, kColCategory);
    order.total = CellAmount(grid, row, kColTotal);
    order.received = CellAmount(grid, row, kColReceived);
    order.balance = CellAmount(grid, row, kColBalance);
    order.writeOff = CellAmount(grid, row, kColWriteOff);
    order.orderId = CellLong(grid, row, kColId);
    order.programId = CellLong(grid, row, kColProgId);
    chosen.push_back(std::move(order));
  }
  if (EvHasSelect) EvHasSelect(chosen);
  Close();
}

}  // namespace ws::money
