#include "framework/cls_fun.h"

#include <memory>
#include <optional>
#include <stdexcept>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"

namespace ws::framework {

namespace {

// A narrowing the caller may ask for: whether it applies, and the text it must equal.
struct Narrowing {
  bool applies;
  const std::string& text;
};

// The stock ledger's rows of a part in a period: in one depot, or in every depot that takes
// part in stock figures, narrowed by place, grade, feature code and batch where asked. The
// quantity and the amount questions read the same rows.
void AppendLedgerRows(db::Sql& sql, int64_t period, int64_t productId, bool oneDepot,
                      int64_t depotId, Narrowing place, Narrowing grade, Narrowing feature,
                      Narrowing batch) {
  sql.Key(period).Raw("    AND 产品ID=").Key(productId);
  if (oneDepot) {
    sql.Raw(" AND 仓库ID=").Key(depotId);
  } else {
    sql.Raw(" AND 仓库ID in ( select 部门ID from pdmbm where 不参与物料运算=0 )");
  }
  if (place.applies) sql.Raw(" AND 货位=").Text(place.text);
  if (grade.applies) sql.Raw(" AND 等级=").Text(grade.text);
  if (feature.applies) sql.Raw(" AND 特征码=").Text(feature.text);
  if (batch.applies) sql.Raw(" AND 产品批次=").Text(batch.text);
}

// The checked stock-document price statements of rules 1-4 (and 11-14 with a partner).
std::string DocumentPriceSelect(int64_t rule, bool taxIncluded, int64_t programId,
                                int64_t productId, std::optional<int64_t> partnerId) {
  static const char* kJoin = " FROM JXCDJ INNER JOIN JXCDJMX ON JXCDJ.单据ID=JXCDJMX.单据ID";
  const char* column = taxIncluded ? "含税单价" : "单价";
  db::Sql sql;
  switch (rule) {
    case 1:
      sql.Raw(" SELECT MIN(").Raw(column).Raw(")");
      break;
    case 2:
      sql.Raw(" SELECT MAX(").Raw(column).Raw(")");
      break;
    case 3:
      sql.Raw(" SELECT AVG(").Raw(column).Raw(")");
      break;
    default:
      sql.Raw(" SELECT TOP 1 (").Raw(column).Raw(")");
      break;
  }
  sql.Raw(kJoin)
      .Raw("  WHERE progid=")
      .Key(programId)
      .Raw(" and smark='02' AND jxcdjmx.产品ID=")
      .Key(productId);
  if (partnerId) sql.Raw(" AND jxcdj.往来ID=").Key(*partnerId);
  if (rule == 4) sql.Raw(" ORDER BY 单据明细ID DESC ");
  return sql.Literal();
}

db::Amount Scalar(db::IDatabase& database, const std::string& sql) {
  return db::Runner(database).ScalarAmountOrThrow(db::Sql(sql));
}

// Closes the record set on every way out, as the callers' error boxes come after it.
struct RecordsetCloser {
  std::shared_ptr<db::Recordset>& records;
  ~RecordsetCloser() {
    if (records) records->Close();
  }
};

}  // namespace

bool clsFun::Init(host::ISystem& poSystem) {
  poSystem_ = &poSystem;
  return true;
}

bool clsFun::GetKcSlZl(double& dKcSl, double& dKcZl, int64_t lKj, int64_t lCpId, bool bIsCk,
                       int64_t lCkID, bool bIsHw, const std::string& sHw, bool bIsDJ,
                       const std::string& sDJ, bool bIsTZM, const std::string& sTZM, bool bIsCpPc,
                       const std::string& sCpPc) {
  if (!poSystem_) return false;
  std::shared_ptr<db::Recordset> records;
  try {
    RecordsetCloser closer{records};
    db::Sql sql(
        " SELECT SUM(库存数量) As sum库存数量,SUM(库存重量) As sum库存重量   FROM JXCGoodsZzTz "
        "  WHERE 会计期间=");
    AppendLedgerRows(sql, lKj, lCpId, bIsCk, lCkID, {bIsHw, sHw}, {bIsDJ, sDJ}, {bIsTZM, sTZM},
                     {bIsCpPc, sCpPc});
    records = db::Runner(poSystem_->GetDatabase()).OpenOrThrow(sql);
    // Sums over no rows come back as one row of Nulls, which read as 0 like an empty result.
    double quantity = 0;
    double weight = 0;
    if (!records->Eof()) {
      quantity = db::NumericValue(records->Text("sum库存数量"));
      weight = db::NumericValue(records->Text("sum库存重量"));
    }
    dKcSl = quantity;
    dKcZl = weight;
    return true;
  } catch (const std::exception& e) {
    poSystem_->Dialogs().MessageBox(std::string("GetKcSlZl:") + e.what(),
                                    "提示:", host::MsgButtons::Ok, host::MsgIcon::Critical);
    return false;
  }
}

bool clsFun::GetGoodsDepot(int64_t& lCkID, std::string& sCk, std::string& sHw, int64_t lCpId,
                           int64_t /*lKj*/, bool bIsCkSX, int64_t lCkSX, bool bIsDJ,
                           const std::string& sDJ, bool bIsTZM, const std::string& sTZM,
                           bool bIsCpPc, const std::string& sCpPc) {
  if (!poSystem_) return false;
  std::shared_ptr<db::Recordset> records;
  try {
    RecordsetCloser closer{records};
    db::Sql sql(
        " SELECT TOP 1 仓库ID,部门名称 As 仓库名称,货位   FROM JXCGoodsZzTz inner join pdmbm on "
        "jxcgoodszztz.仓库ID=pdmbm.部门ID   WHERE 产品ID=");
    sql.Key(lCpId)
        .Raw(" AND 仓库ID not in ( select 仓库ID from pdmbmcpty where 产品ID=")
        .Key(lCpId)
        .Raw(" and 是否停用=1)");
    // The depot attribute is a text column: the number is compared as its text (the server
    // refuses a text column compared with a number).
    if (bIsCkSX) sql.Raw(" and pdmbm.属性=").Text(std::to_string(lCkSX));
    if (bIsDJ) sql.Raw(" and 等级=").Text(sDJ);
    if (bIsTZM) sql.Raw(" and 特征码=").Text(sTZM);
    if (bIsCpPc) sql.Raw(" and 产品批次=").Text(sCpPc);
    // Without an order the engine's row order would pick the depot, and the same part could
    // default to another depot after a vacuum or on the server. The lowest depot id decides;
    // within it the location of the latest period is the one in use now.
    sql.Raw(" ORDER BY jxcgoodszztz.仓库ID, jxcgoodszztz.会计期间 DESC, jxcgoodszztz.货位");
    records = db::Runner(poSystem_->GetDatabase()).OpenOrThrow(sql);
    if (records->Eof()) {
      lCkID = 0;
      sCk.clear();
      sHw.clear();
    } else {
      lCkID = static_cast<int64_t>(db::NumericValue(records->Text("仓库ID")));
      sCk = records->Text("仓库名称");
      sHw = records->Text("货位");
    }
    return true;
  } catch (const std::exception& e) {
    poSystem_->Dialogs().MessageBox(std::string("GetGoodsDepot:") + e.what(),
                                    "提示:", host::MsgButtons::Ok, host::MsgIcon::Critical);
    return false;
  }
}

bool clsFun::GetCpPrice(db::Amount& dPrice, int64_t lItem, int64_t lKj, int64_t lCpId, bool bHs,
                        int64_t lProgID, int64_t lWlID, int64_t lCkID, bool bIsHw,
                        const std::string& sHw, bool bIsDJ, const std::string& sDJ, bool bIsTZM,
                        const std::string& sTZM, bool bIsCpPc, const std::string& sCpPc) {
  if (!poSystem_) return false;
  try {
    db::IDatabase& database = poSystem_->GetDatabase();
    auto catalogue = [&](const char* column) {
      return db::Sql(" SELECT ")
          .Raw(column)
          .Raw(" FROM PDMCPML WHERE 产品ID=")
          .Key(lCpId)
          .Literal();
    };
    switch (lItem) {
      case 0:
        dPrice = db::Amount();
        break;
      case 1:
      case 2:
      case 3:
      case 4:
        dPrice = Scalar(database, DocumentPriceSelect(lItem, bHs, lProgID, lCpId, std::nullopt));
        break;
      case 11:
      case 12:
      case 13:
      case 14:
        dPrice = Scalar(database, DocumentPriceSelect(lItem - 10, bHs, lProgID, lCpId, lWlID));
        break;
      case 5:
        dPrice = Scalar(database, catalogue("参考批发价"));
        break;
      case 6:
        dPrice = Scalar(database, catalogue("参考零售价"));
        break;
      case 8:
        dPrice = Scalar(database, catalogue("参考进价"));
        break;
      case 7: {
        db::Sql sql(
            " SELECT SUM(库存数量) As sum库存数量, SUM(库存金额) As sum库存金额   FROM "
            "JXCGoodsZztz  WHERE 会计期间=");
        AppendLedgerRows(sql, lKj, lCpId, lCkID > 0, lCkID, {bIsHw, sHw}, {bIsDJ, sDJ},
                         {bIsTZM, sTZM}, {bIsCpPc, sCpPc});
        std::string error;
        auto records = db::Runner(database).Open(sql, &error);
        if (!error.empty()) throw std::runtime_error(error);
        if (!records->Eof()) {
          const db::Amount quantity = records->Money("sum库存数量");
          if (!quantity.IsZero()) dPrice = records->Money("sum库存金额").DividedBy(quantity);
        }
        break;
      }
      case 21:
        // The agreed prices searched are those of currency 100, whatever the local currency.
        dPrice =
            Scalar(database, db::Sql(" select 单价 from Pubwlprice where smark='02' and 往来ID=")
                                 .Key(lWlID)
                                 .Raw(" and 币种ID=")
                                 .Key(100)
                                 .Raw(" and 产品ID=")
                                 .Key(lCpId)
                                 .Raw("   and systemcode='PO'")
                                 .Literal());
        break;
      default:
        break;
    }
    return true;
  } catch (const std::exception& e) {
    poSystem_->Dialogs().MessageBox(std::string("GetCpPrice::") + e.what(),
                                    "提示:", host::MsgButtons::Ok, host::MsgIcon::Critical);
    return false;
  }
}

}  // namespace ws::framework
