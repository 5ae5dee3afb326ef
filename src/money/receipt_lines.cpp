#include "money/receipt_lines.h"

#include <cmath>
#include <cstdio>

#include "db/value.h"
#include "forms/number_format.h"

namespace ws::money {

namespace {

framework::LineSchema WriteOffSchema() {
  using framework::ValueKind;
  using R = ReceiptLines;
  framework::LineSchema schema;
  schema.table = "ARPReceiveMx";
  schema.idTable = "arpreceivemx";
  // The order number is both the code and what makes a row a line.
  schema.codeCol = R::kColNumber;
  schema.nameCol = R::kColNumber;
  schema.amountCol = R::kColWriteOff;
  schema.lineIdCol = R::kColLineId;
  schema.keyColumn = "源单ID";
  schema.codeColumn = "工单号码";
  schema.columns = {
      {"进厂日期", R::kColDateIn, ValueKind::Date, false},
      {"车牌号", R::kColPlate, ValueKind::Text, false},
      {"发动机号", R::kColEngine, ValueKind::Text, false},
      {"维修分类", R::kColCategory, ValueKind::Text, false},
      {"应收合计", R::kColTotal, ValueKind::Number, false},
      {"已收金额", R::kColReceived, ValueKind::Number, false},
      {"余额", R::kColBalance, ValueKind::Number, false},
      {"结算金额", R::kColWriteOff, ValueKind::Number},
      // Loaded so that a re-saved or checked receipt keeps what its lines hold.
      {"折扣金额", R::kColDiscount, ValueKind::Number},
      {"源单ID", R::kColOrderId, ValueKind::Id},
  };
  return schema;
}

}  // namespace

ReceiptLines::ReceiptLines(forms::Grid& grid) : LineSet(grid, WriteOffSchema()) {}

void ReceiptLines::Setup(int amountDecimals, int64_t readOnlyFore, int64_t readOnlyBack) {
  forms::Grid& grid = Grid();
  grid.SetFixedRows(1);
  grid.SetFormatString(kFormat);
  // The layout names 13 columns; the line id sits in a 14th without a caption.
  grid.SetCols(kColumns);
  for (int col = 0; col < kColumns; ++col) {
    // Only the amount written off is the clerk's; the rest comes from the order.
    grid.Col(col).editable = col == kColWriteOff;
    if (col == kColWriteOff) continue;
    grid.Col(col).readOnlyForeColor = readOnlyFore;
    grid.Col(col).readOnlyBackColor = readOnlyBack;
  }
  for (int col : {kColDiscount, kColProgId, kColOrderId, kColLineId}) grid.SetColHidden(col, true);
  for (int col : {kColTotal, kColReceived, kColBalance, kColWriteOff, kColDiscount}) {
    grid.Col(col).format = forms::DecimalsFormat(amountDecimals, false);
  }
}

void ReceiptLines::Replace(const std::vector<ChosenOrder>& orders) {
  RemoveAll();
  forms::Grid& grid = Grid();
  for (const ChosenOrder& order : orders) {
    int row = grid.AddRow();
    auto amount = [](db::Amount value) { return value.IsZero() ? std::string() : value.Text(); };
    const std::string orderId = std::to_string(order.orderId);
    grid.SetTextMatrix(row, kColNumber, order.orderNumber);
    grid.SetCellKey(row, kColNumber, orderId);
    grid.SetTextMatrix(row, kColDateIn, order.dateIn);
    grid.SetTextMatrix(row, kColPlate, order.plate);
    grid.SetTextMatrix(row, kColEngine, order.engine);
    grid.SetTextMatrix(row, kColCategory, order.category);
    grid.SetTextMatrix(row, kColTotal, amount(order.total));
    grid.SetTextMatrix(row, kColReceived, amount(order.received));
    grid.SetTextMatrix(row, kColBalance, order.balance.Text());
    grid.SetTextMatrix(row, kColWriteOff, order.writeOff.Text());
    grid.SetTextMatrix(row, kColDiscount, "0");
    grid.SetTextMatrix(row, kColProgId, std::to_string(order.programId));
    grid.SetTextMatrix(row, kColOrderId, orderId);
  }
  grid.RenumberRows();
}

std::string ReceiptLines::Sequence(int row) const {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", row - Grid().FixedRows() + 1);
  return text;
}

db::Amount ReceiptLines::Amount(int row, int col) const {
  return db::Amount::Of(Grid().TextMatrix(row, col));
}

int64_t ReceiptLines::OrderId(int row) const {
  return static_cast<int64_t>(std::llround(db::NumericValue(Grid().TextMatrix(row, kColOrderId))));
}

std::vector<WriteOff> ReceiptLines::WriteOffs() const {
  std::vector<WriteOff> out;
  for (int row : SavedRows()) {
    out.push_back({OrderId(row), Amount(row, kColWriteOff), Amount(row, kColDiscount)});
  }
  return out;
}

db::Sql ReceiptLines::Insert(int row, int64_t lineId, int64_t ownerId) const {
  const db::Amount amount = Amount(row, kColWriteOff);
  const db::Amount discount = Amount(row, kColDiscount);
  db::Sql sql(
      " InSert Into ARPreceiveMx(单据明细ID,单据ID,序号,结算金额,本币结算金额,折扣金额,"
      "本币折扣金额,源单ID,会计期间)Values(");
  sql.Key(lineId).Raw(",").Key(ownerId).Raw(",").Text(Sequence(row)).Raw(",");
  sql.Money(amount).Raw(",").Money(amount).Raw(",").Money(discount).Raw(",").Money(discount);
  sql.Raw(",");
  return sql.Key(OrderId(row)).Raw(",0)");
}

db::Sql ReceiptLines::Update(int row, int64_t ownerId) const {
  const db::Amount amount = Amount(row, kColWriteOff);
  const db::Amount discount = Amount(row, kColDiscount);
  db::Sql sql(" Update ARPreceiveMx Set 序号=");
  sql.Text(Sequence(row)).Raw(",结算金额=").Money(amount).Raw(",本币结算金额=").Money(amount);
  sql.Raw(",折扣金额=").Money(discount).Raw(",本币折扣金额=").Money(discount);
  sql.Raw(",源单ID=").Key(OrderId(row)).Raw(" Where 单据明细ID=").Key(LineId(row));
  return sql.Raw(" AND 单据ID=").Key(ownerId);
}

}  // namespace ws::money
