#include "framework/order_follower.h"

#include "db/runner.h"
#include "framework/columns.h"

namespace ws::framework {

std::string UnlistedOrderText(db::IDatabase& db, int64_t orderId, const std::string& ownReason) {
  auto order =
      db::Runner(db).OpenOrThrow(db::Sql("SELECT smark FROM WSDJ WHERE 单据ID=").Key(orderId));
  if (order->Eof()) return kUnknownOrderText;
  if (order->Text(col::kMark) != "02") return kUncheckedOrderText;
  return ownReason;
}

}  // namespace ws::framework
