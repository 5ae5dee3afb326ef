// The column names the documents name in code: in their header descriptions, in the values a
// save writes and in the typed reads of a stored row. Spelled once here, so a typo is a compile
// error instead of a column that silently reads as empty. Statement texts that the shop's other
// tools search the log for keep their own spelling.
#pragma once

namespace ws::framework::col {

// Every document's header.
inline constexpr const char kId[] = "单据ID";
inline constexpr const char kLineId[] = "单据明细ID";
inline constexpr const char kMark[] = "smark";
inline constexpr const char kSystem[] = "系统";
inline constexpr const char kStatus[] = "status";
// The repair order spells its program column in lower case, the other tables as progID; the
// engines do not care, the described columns and the values a save writes must agree.
inline constexpr const char kOrderProgram[] = "progid";
inline constexpr const char kProgram[] = "progID";
inline constexpr const char kNumber[] = "单据编号";
inline constexpr const char kOrderNumber[] = "工单号码";
inline constexpr const char kDate[] = "单据日期";
inline constexpr const char kPeriod[] = "会计期间";
inline constexpr const char kRemarks[] = "备注";
inline constexpr const char kSummary[] = "摘要";
inline constexpr const char kEnteredBy[] = "制单人";
inline constexpr const char kEntryDate[] = "制单日期";
inline constexpr const char kCheckedBy[] = "审核人";
inline constexpr const char kCheckDate[] = "审核日期";
inline constexpr const char kSourceId[] = "前置单据ID";
inline constexpr const char kSourceProgram[] = "前置单据";

// Parties and vehicles.
inline constexpr const char kPartnerId[] = "往来ID";
inline constexpr const char kOwnerId[] = "车主ID";
inline constexpr const char kCompany[] = "公司名称";
inline constexpr const char kVehicleId[] = "车辆ID";
inline constexpr const char kPlate[] = "车牌号";
inline constexpr const char kEngine[] = "发动机号";
inline constexpr const char kChassis[] = "车架号";
inline constexpr const char kModel[] = "车型";
inline constexpr const char kMaker[] = "车厂";
inline constexpr const char kPerson[] = "送修人";
inline constexpr const char kTelephone[] = "司机电话";
inline constexpr const char kMileage[] = "公里数";
inline constexpr const char kDateIn[] = "进厂日期";
inline constexpr const char kDateOut[] = "出厂日期";
inline constexpr const char kDepartment[] = "主管部门";
inline constexpr const char kCategory[] = "维修分类";
inline constexpr const char kCategoryId[] = "维修分类ID";
inline constexpr const char kReceptionist[] = "接待人";
inline constexpr const char kInvoice[] = "发票号码";

// Money.
inline constexpr const char kTotalAmount[] = "总金额";
inline constexpr const char kWriteOff[] = "扣零金额";
inline constexpr const char kLabour[] = "维修费用";
inline constexpr const char kParts[] = "配件费用";
inline constexpr const char kDiagnosis[] = "诊断费";
inline constexpr const char kInspection[] = "检测费";
inline constexpr const char kManagement[] = "管理费";
inline constexpr const char kReceivable[] = "应收合计";
inline constexpr const char kBalance[] = "余额";
inline constexpr const char kMethodId[] = "结算方式ID";
inline constexpr const char kAccountId[] = "科目ID";
inline constexpr const char kAccountName[] = "科目名称";
inline constexpr const char kSalesmanId[] = "业务员ID";
inline constexpr const char kCurrencyId[] = "币种ID";

}  // namespace ws::framework::col
