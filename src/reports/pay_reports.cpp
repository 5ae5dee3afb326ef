#include "reports/pay_reports.h"

#include "db/date.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/shop_decimals.h"
#include "host/app.h"
#include "host/events.h"
#include "reports/calendar.h"

namespace ws::reports {

namespace {

using forms::FieldKind;

enum RuleColumn { kCategoryCode, kCategory, kKind, kRate, kUnit, kCategoryId };

// What 比率 counts in for the row's 方式: a share of the labour amount or money per standard
// hour, so a 15 is never read as 15 yuan where it is 15 percent. Nothing until 方式 names one.
std::string RateUnit(const std::string& kind) {
  const auto known = CommissionKindByName(kind);
  if (!known) return "";
  return *known == CommissionKind::Percent ? "%" : "元/工时";
}

}  // namespace

PayReport::PayReport(std::string className)
    : ListReport(className, className,
                 std::vector<FilterField>{{kFrom, "日期", FieldKind::Date, "", false},
                                          {kTo, "至", FieldKind::Date, "", false}}) {
  CheckedOnly().SetVisible(false);
}

std::string PayReport::PrintCondition() const {
  return "日期：从 " + FilterInput(kFrom).Text() + " 到 " + FilterInput(kTo).Text() + "\r" +
         Status().Caption();
}

bool PayReport::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  system_ = &system;
  db::Date first = system.GetLoginInfo().loginDate;
  first.day = 1;
  FilterInput(kFrom).SetText(first.Text());
  FilterInput(kTo).SetText(AddDays(AddMonths(first.Text(), 1), -1));
  return done;
}

bool GS_XL::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const TechnicianPay pay =
      LoadEfficiency(database, FilterInput(kFrom).Text(), FilterInput(kTo).Text());
  *error = pay.error;
  if (error->empty()) FillEfficiencyGrid(pay, grid, false);
  return true;
}

TC_MX::TC_MX() : PayReport("TC_MX") {
  auto& save = Form().Add<forms::CommandButton>(kSaveRules);
  save.SetCaption("保存提成规则");
  save.OnClick = [this] {
    if (SaveRules()) Refresh();
  };
  rules_ = &Form().Add<forms::Grid>(kRuleGrid, -1, forms::kFlexGrid);
  SetupListGrid(*rules_, {{"分类编码", 8},
                          {"维修分类", 12},
                          {"方式", 6},
                          {"比率", 10, ListColumnKind::Number},
                          // Added to a released window: a saved layout's columns stay theirs.
                          ListColumn{"单位", 7}.SavedAs(5),
                          ListColumn{"维修分类ID", 0}.Hidden()});
  rules_->SetEditable(true);
  for (int col : {kKind, kRate}) rules_->Col(col).editable = true;
  rules_->Col(kRate).format.clear();
  rules_->Col(kUnit).keyStop = false;
  // The unit is shown, never kept: it follows 方式 as it is typed.
  rules_->OnAfterEdit = [this](int row, int col) {
    if (col == kKind) rules_->SetTextMatrix(row, kUnit, RateUnit(rules_->TextMatrix(row, kKind)));
  };
  rules_->SetToolTip("方式：比例（工时费的百分比）或 工时（每标准工时金额）；方式留空为不提成");
}

bool TC_MX::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = PayReport::Init(system, programNumber);
  LoadRules();
  return done;
}

bool TC_MX::LoadRules() {
  rules_->ClearData();
  if (!system_) return false;
  std::string error;
  const auto rules = LoadCommissionRules(system_->GetDatabase(), &error);
  if (!error.empty()) {
    Events().ErrMessage(error, host::kLevelFailure, host::kAppTitle);
    return false;
  }
  for (const CommissionRule& rule : rules) {
    AddListRow(
        *rules_,
        {rule.categoryCode, rule.category, rule.set ? CommissionKindName(rule.kind) : "",
         rule.set ? rule.rate.Text() : "", rule.set ? RateUnit(CommissionKindName(rule.kind)) : "",
         std::to_string(rule.categoryId)});
  }
  return true;
}

bool TC_MX::SaveRules() {
  if (!system_) return false;
  std::vector<CommissionRule> rules;
  for (int row = rules_->FixedRows(); row < rules_->Rows(); ++row) {
    CommissionRule rule;
    rule.categoryId = static_cast<int64_t>(db::NumericValue(rules_->TextMatrix(row, kCategoryId)));
    // The window's grid offers a line for a new row; the categories themselves are a master's.
    if (rule.categoryId <= 0) {
      bool blank = true;
      for (int col = 0; col < rules_->Cols(); ++col) {
        blank = blank && forms::Trim(rules_->TextMatrix(row, col)).empty();
      }
      if (blank) continue;
      Events().ErrMessage("提成规则按维修分类设置：新的分类请先在“维修分类”中建立",
                          host::kLevelRefusal, host::kAppTitle);
      return false;
    }
    rule.category = rules_->TextMatrix(row, kCategory);
    const std::string kind = forms::Trim(rules_->TextMatrix(row, kKind));
    if (!kind.empty()) {
      const auto known = CommissionKindByName(kind);
      if (!known) {
        Events().ErrMessage(rule.category + "：方式只能是“比例”或“工时”", host::kLevelRefusal,
                            host::kAppTitle);
        return false;
      }
      rule.set = true;
      rule.kind = *known;
      rule.rate = db::Amount::Of(forms::Trim(rules_->TextMatrix(row, kRate)));
    }
    rules.push_back(std::move(rule));
  }
  const std::string error = SaveCommissionRules(system_->GetDatabase(), rules,
                                                system_->GetLoginInfo().userName, db::NowStamp());
  if (!error.empty()) {
    Events().ErrMessage(error, host::kLevelRefusal, host::kAppTitle);
    return false;
  }
  LoadRules();
  Events().Message("提成规则已保存");
  return true;
}

bool TC_MX::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const TechnicianPay pay =
      LoadCommission(database, FilterInput(kFrom).Text(), FilterInput(kTo).Text(),
                     system_ ? framework::AmountDecimals(*system_) : 2);
  *error = pay.error;
  if (error->empty()) FillCommissionGrid(pay, grid, false);
  return true;
}

}  // namespace ws::reports
