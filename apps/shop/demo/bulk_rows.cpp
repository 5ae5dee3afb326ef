#include "shop/demo/bulk_rows.h"

namespace ws::shop {

BulkInserter::BulkInserter(db::IDatabase& db, std::string_view table,
                           std::initializer_list<const char*> columns, std::string& error)
    : sink_(platform::MakeRowSink(db, table, columns, error)) {}

BulkInserter::~BulkInserter() {
  if (sink_) sink_->Flush();
}

bool BulkInserter::Row() {
  if (!sink_ || !sink_->Row()) return false;
  ++rows_;
  return true;
}

}  // namespace ws::shop
