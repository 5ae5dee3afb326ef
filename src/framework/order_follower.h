// The documents a clerk goes on to from a repair order at the counter (the requisition, the
// settlement, the receipt) can start with that order already chosen, so a front end opens the
// next document in one step instead of through the document's chooser.
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"

namespace ws::framework {

class OrderFollower {
 public:
  virtual ~OrderFollower() = default;
  // Starts a new document as FileNew does, then fills it as if the clerk had chosen that one
  // order in the document's own chooser. False, told as the document tells its refusals and
  // with the form and the database untouched, when the chooser would not list the order or the
  // new document's period is refused.
  virtual bool NewForOrder(int64_t orderId) = 0;
};

inline constexpr const char* kUnknownOrderText = "该维修单不存在，请刷新后重试！";
inline constexpr const char* kUncheckedOrderText = "该维修单尚未审核，不能引用！";

// Why a chooser does not list the order: it does not exist, it is not checked, or, for a
// checked one, the document's own reason. Throws std::runtime_error when it cannot be read.
std::string UnlistedOrderText(db::IDatabase& db, int64_t orderId, const std::string& ownReason);

}  // namespace ws::framework
