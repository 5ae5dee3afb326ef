#include "requisition/stock_posting.h"

namespace ws::requisition {

namespace {

StepOutcome Failed(const char* tag, const db::Transaction& tx) {
  return {tag, tx.Error()};
}

StepOutcome RollUp(db::Transaction& tx, const RequisitionKeys& keys, CheckDirection direction) {
  const char* tag = direction == CheckDirection::Check ? "JRARPList::" : "UnCheck::";
  if (tx.Failed()) return Failed(tag, tx);
  // Checks and unchecks of the order's requisitions take turns on the order's row, so each sum
  // sees every other one's committed state; without it, an uncheck's sum written as a
  // constant could undo a check that committed between its read and its write.
  if (!tx.LockRow("WSDJ", "单据ID", keys.sourceId)) return Failed(tag, tx);
  std::string error;
  const db::Amount total = tx.Db().ScalarAmount(CheckedTotalSelect(keys, direction), &error);
  if (!error.empty()) {
    tx.Fail(error);
    return Failed(tag, tx);
  }
  if (!tx.Run(PartsCostUpdate(keys.sourceProgram, keys.sourceId, total))) return Failed(tag, tx);
  return {};
}

}  // namespace

db::Sql LedgerDelete(int64_t programNumber, int64_t documentId) {
  db::Sql sql(" DELETE FROM JxcGoodsList WHERE progid=");
  sql.Key(programNumber).Raw(" AND 单据ID=").Key(documentId);
  return sql;
}

db::Sql LedgerInsert(int64_t programNumber, int64_t documentId, std::string_view driver) {
  db::Sql sql(
      " INSERT INTO jxcgoodslist"
      " (autoid,progid,单据ID,单据明细ID,单据编号,仓库填单,仓库审核,操作日期,往来ID,部门ID,"
      "仓库ID,产品ID,货位,等级,"
      "  特征码,产品批次,数量,重量,单价,金额,会计期间,填单日期,审核日期,sFunNumber,备注,装箱数,"
      "摘要 ) ");
  // The desktop dialect's isnull takes one argument, so the empty-ledger default needs iif.
  if (db::IsJetDriver(driver)) {
    sql.Raw(
        "  SELECT (iif(isnull((select max(AutoID) from jxcgoodslist c)),100,(select max(AutoID) "
        "from jxcgoodslist c)) +  (select count(单据明细ID) +1 from jxcdjmx a where a.单据明细id "
        "< jxcdjmx.单据明细id and a.单据ID=");
  } else {
    sql.Raw(
        "  SELECT (isnull((select max(AutoID) from jxcgoodslist c),100) +  (select "
        "count(单据明细ID) +1 from jxcdjmx a where a.单据明细id < jxcdjmx.单据明细id and "
        "a.单据ID=");
  }
  sql.Key(documentId)
      .Raw(")) as AutoID,")
      .Key(programNumber)
      .Raw(",")
      .Key(documentId)
      .Raw(
          ", jxcdjmx.单据明细ID,jxcdj.单据编号,jxcdj.仓库填单,jxcdj.仓库审核,"
          " jxcdj.操作日期,jxcdj.往来ID,jxcdj.部门ID,jxcdjmx.仓库ID,jxcdjmx.产品ID,"
          " jxcdjmx.货位,jxcdjmx.等级,jxcdjmx.特征码,jxcdjmx.产品批次,"
          " jxcdjmx.数量,jxcdjmx.重量,jxcdjmx.单价,jxcdjmx.金额,"
          " jxcdjmx.会计期间,jxcdj.填单日期,jxcdj.审核日期,"
          "'21',jxcdj.备注,jxcdjmx.装箱数,'领用出库'"
          "    FROM jxcdj inner join jxcdjmx on jxcdj.单据ID=jxcdjmx.单据ID"
          " where jxcdj.单据ID=")
      .Key(documentId);
  return sql;
}

db::Sql CheckedTotalSelect(const RequisitionKeys& keys, CheckDirection direction) {
  db::Sql sql(" SELECT sum(总金额) FROM jxcdj where ");
  if (direction == CheckDirection::Check) {
    sql.Raw("(smark='02' or 单据ID=").Key(keys.documentId).Raw(")");
  } else {
    sql.Raw("smark='02' and 单据ID<>").Key(keys.documentId);
  }
  sql.Raw(" and 前置单据=").Key(keys.sourceProgram).Raw(" and 前置单据ID=").Key(keys.sourceId);
  return sql;
}

db::Sql PartsCostUpdate(int64_t sourceProgram, int64_t sourceId, const db::Amount& total) {
  db::Sql sql(" UPDATE WSDJ  SET 配件费用=");
  sql.Money(total).Raw(" WHERE progid=").Key(sourceProgram).Raw(" AND 单据ID=").Key(sourceId);
  return sql;
}

db::Sql StatusUpdate(int64_t documentId, CheckDirection direction, const std::string& user,
                     const db::Date& date, std::string_view driver) {
  db::Sql sql(" UPDATE JXCDJ SET ");
  if (direction == CheckDirection::Check) {
    sql.Raw("smark='02',仓库审核=")
        .Text(user)
        .Raw(",审核日期=")
        .Date(date.Text(), driver)
        .Raw(" WHERE 单据ID=")
        .Key(documentId)
        .Raw(" AND (smark<>'02' OR smark IS NULL)");
  } else {
    sql.Raw("smark='01' WHERE 单据ID=").Key(documentId).Raw(" AND smark='02'");
  }
  return sql;
}

StepOutcome AppendCheck(db::Transaction& tx, const RequisitionKeys& keys) {
  // The delete travels with the insert; a failure of either is the posting's.
  if (!tx.Send(LedgerDelete(keys.programNumber, keys.documentId)) ||
      !tx.Run(LedgerInsert(keys.programNumber, keys.documentId, tx.Db().Driver()))) {
    return Failed("JRGoodsList::", tx);
  }
  return RollUp(tx, keys, CheckDirection::Check);
}

StepOutcome AppendUnCheck(db::Transaction& tx, const RequisitionKeys& keys) {
  return RollUp(tx, keys, CheckDirection::UnCheck);
}

StepOutcome AppendStatusChange(db::Transaction& tx, const RequisitionKeys& keys,
                               CheckDirection direction, const std::string& user,
                               const db::Date& date) {
  int64_t changed = 0;
  if (!tx.Run(StatusUpdate(keys.documentId, direction, user, date, tx.Db().Driver()), &changed)) {
    return {{}, tx.Error()};
  }
  if (changed != 1) {
    // Another user checked, unchecked or deleted it between the gate and this step.
    auto mark = StoredMark(tx.Db(), keys.documentId);
    tx.Fail(mark ? framework::PeriodGate::StateRefusal(GateUseOf(direction),
                                                       direction == CheckDirection::Check)
                 : kDeletedText);
    return {{}, tx.Error(), true};
  }
  if (direction == CheckDirection::UnCheck &&
      !tx.Run(LedgerDelete(keys.programNumber, keys.documentId))) {
    return {{}, tx.Error()};
  }
  return {};
}

}  // namespace ws::requisition
