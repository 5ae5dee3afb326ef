// The counter's day at a glance: the orders still open, the checked orders no settlement has
// taken yet, and the orders customers still owe on. Each row names the repair order it is
// about, so a front end opens it with one key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"

namespace ws::reports {

struct DayWorkRow {
  int64_t orderId = 0;
  std::string number;     // 工单号码
  std::string dateIn;     // 进厂日期, yyyy-mm-dd
  std::string customer;   // 公司名称
  std::string plate;      // 车牌号
  std::string category;   // 维修分类
  db::Amount receivable;  // 应收合计
  db::Amount balance;     // 余额 (what receipts have not yet covered)
};

struct DayWork {
  std::vector<DayWorkRow> openOrders;  // not checked yet, newest first
  std::vector<DayWorkRow> unsettled;   // checked, no settlement points at them, oldest first
  std::vector<DayWorkRow> receivable;  // checked, a balance left, oldest first
  std::string error;                   // the first statement's failure, empty when none
};

// Reads the three lists, each cut at `limit` rows (the counter reads the top of each).
DayWork LoadDayWork(db::IDatabase& database, int limit = 200);

}  // namespace ws::reports
