#include "platform/delete_guard.h"

#include <vector>

#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"

namespace ws::platform {

namespace {

// The documents that name an order, each with the words the clerk knows it by.
struct Follower {
  const char* caption;
  db::Sql numbers;
};

std::vector<Follower> FollowersOf(int64_t orderId) {
  std::vector<Follower> out;
  out.push_back({"领料单", db::Sql("SELECT 单据编号 FROM JXCDJ WHERE 前置单据ID=")
                               .Key(orderId)
                               .Raw(" AND 前置单据=")
                               .Key(db::kOrderProgram)});
  out.push_back({"结算单", db::Sql("SELECT 单据编号 FROM ARPReceive WHERE 前置单据ID=")
                               .Key(orderId)
                               .Raw(" AND progID=")
                               .Key(db::kSettlementProgram)});
  out.push_back({"收款单", db::Sql("SELECT r.单据编号 FROM ARPReceiveMx m JOIN ARPReceive r ON "
                                   "r.单据ID=m.单据ID WHERE m.源单ID=")
                               .Key(orderId)
                               .Raw(" AND r.progID=")
                               .Key(db::kReceiptProgram)});
  return out;
}

}  // namespace

std::string DeleteRefusal(db::IDatabase& db, int64_t programNumber, const std::string& table,
                          const std::string& numberColumn, const std::string& number) {
  if (table.empty() || number.empty()) return {};
  db::Runner runner(db);
  std::string error;
  auto rows = runner.Open(db::Sql("SELECT 单据ID, smark FROM ")
                              .Raw(table)
                              .Raw(" WHERE ")
                              .Raw(numberColumn)
                              .Raw("=")
                              .Text(number)
                              .Raw(" AND progid=")
                              .Key(programNumber),
                          &error);
  if (!error.empty()) return "无法读取单据" + number + "：" + error;
  std::vector<int64_t> ids;
  for (; !rows->Eof(); rows->MoveNext()) {
    if (rows->Field(1).ToText() == "02") {
      return "单据" + number + "已审核，不能删除！请先弃审";
    }
    ids.push_back(rows->Field(0).ToLong());
  }
  if (programNumber != db::kOrderProgram) return {};
  std::string named;
  for (int64_t id : ids) {
    for (Follower& follower : FollowersOf(id)) {
      auto found = runner.Open(follower.numbers.Raw(" ORDER BY 1"), &error);
      if (!error.empty()) return "无法读取维修单" + number + "的后续单据：" + error;
      for (; !found->Eof(); found->MoveNext()) {
        named +=
            (named.empty() ? "" : "、") + std::string(follower.caption) + found->Field(0).ToText();
      }
    }
  }
  if (named.empty()) return {};
  return "维修单" + number + "已有" + named + "，不能删除！请先删除这些单据";
}

}  // namespace ws::platform
