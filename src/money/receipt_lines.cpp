#include "money/receipt_lines.h"

#include <cmath>
#include <cstdio>

#include "db/value.h"

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
  schema.caption = "核销明细";
  using framework::LineCell;
  schema.cells = {
      LineCell("行号", 4).ReadOnly(),
      LineCell("工单号码", 14).ReadOnly(),
      LineCell("进厂日期", 14).Shows("进厂日期", ValueKind::Date).ReadOnly(),
      LineCell("车牌号码", 12).Shows("车牌号").ReadOnly(),
      LineCell("发动机号", 16).Shows("发动机号").ReadOnly(),
      LineCell("维修分类", 15).Shows("维修分类").ReadOnly(),
      LineCell("合计金额", 11).Shows("应收合计", ValueKind::Number).Decimals(12).ReadOnly(),
      LineCell("已收金额", 11).Shows("已收金额", ValueKind::Number).Decimals(12).ReadOnly(),
      LineCell("余额", 8).Shows("余额", ValueKind::Number).Decimals(12).ReadOnly(),
      // Only the amount written off is the clerk's; the rest comes from the order.
      LineCell("本次核销金额", 12).Saves("结算金额", ValueKind::Number).Decimals(12),
      // The four hidden columns keep the captions the shop's layout has always given its
      // columns 10 to 12 (a saved layout names columns by position), each one column to the
      // left of what it holds; the line id has none. The discount is loaded so that a re-saved
      // or checked receipt keeps what its lines hold.
      LineCell("源单类型", 8).Saves("折扣金额", ValueKind::Number).Decimals(12).ReadOnly().Hidden(),
      LineCell("源单ID", 6).ReadOnly().Hidden(),
      LineCell("单据明细ID", 10).Saves("源单ID", ValueKind::Id).ReadOnly().Hidden(),
      LineCell("", 0).ReadOnly().Hidden(),
  };
  return schema;
}

}  // namespace

ReceiptLines::ReceiptLines(forms::Grid& grid) : LineSet(grid, WriteOffSchema()) {}

void ReceiptLines::Setup(host::ISystem& system) {
  BuildGrid(system, false);
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

db::Sql ReceiptLines::InsertHead() const {
  return db::Sql(
      " InSert Into ARPreceiveMx(单据明细ID,单据ID,序号,结算金额,本币结算金额,折扣金额,"
      "本币折扣金额,源单ID,会计期间)Values");
}

void ReceiptLines::AppendInsertValues(db::Sql& sql, int row, int64_t lineId,
                                      int64_t ownerId) const {
  const db::Amount amount = Amount(row, kColWriteOff);
  const db::Amount discount = Amount(row, kColDiscount);
  sql.Raw("(").Key(lineId).Raw(",").Key(ownerId).Raw(",").Text(Sequence(row)).Raw(",");
  sql.Money(amount).Raw(",").Money(amount).Raw(",").Money(discount).Raw(",").Money(discount);
  sql.Raw(",").Key(OrderId(row)).Raw(",0)");
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
