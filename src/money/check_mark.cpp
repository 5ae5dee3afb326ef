#include "money/check_mark.h"

namespace ws::money {

db::Sql CheckMarkUpdate(int64_t programNumber, int64_t documentId, const Checker& checker,
                        std::string_view driver) {
  db::Sql sql(" Update arpreceive Set progID=");
  sql.Key(programNumber)
      .Raw(",smark='02', 审核人=")
      .Text(checker.user)
      .Raw(", 审核日期=")
      .Date(checker.date.Text(), driver)
      .Raw(", status='审核' Where 单据ID=")
      .Key(documentId);
  return sql;
}

db::Sql UnCheckMarkUpdate(int64_t programNumber, int64_t documentId, std::string_view driver) {
  db::Sql sql(" Update arpreceive Set progID=");
  sql.Key(programNumber)
      .Raw(",smark='01', 审核人='', 审核日期=")
      .Date("1900-01-01", driver)
      .Raw(", status='填单' Where 单据ID=")
      .Key(documentId);
  return sql;
}

}  // namespace ws::money
