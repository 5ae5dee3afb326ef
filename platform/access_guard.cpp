#include "platform/access_guard.h"

namespace ws::platform {

namespace {

enum class ProgramKind { Entered, Money, Shown, Master, Kept, Unknown };

ProgramKind KindOf(int64_t programNumber) {
  switch (programNumber) {
    case 200001:  // repair order
    case 200002:  // material requisition
      return ProgramKind::Entered;
    case 200003:  // settlement
    case 200004:  // receipt
      return ProgramKind::Money;
    case 200005:  // reports and the lists: vehicle history, services due, receivables by age,
    case 200006:  // parts issued against billed, the period-close checklist
    case 200007:
    case 200008:
    case 200009:
    case 200010:
    case 200015:
    case 200011:  // master lists: a clerk looks a vehicle up; changing it opens the card
    case 200014:
    case 200028:
      return ProgramKind::Shown;
    case 200012:  // master cards
    case 200013:
    case 200029:
      return ProgramKind::Master;
    case 200031:  // the audit trail: who changed what is for the owner's managers to read
      return ProgramKind::Kept;
    default:
      return ProgramKind::Unknown;
  }
}

const char* Verb(Step step) {
  switch (step) {
    case Step::Open:
      return "打开这个程序";
    case Step::Change:
      return "新增、修改或删除";
    case Step::Check:
      return "审核或弃审";
  }
  return "";
}

}  // namespace

std::optional<Right> RightNeeded(int64_t programNumber, Step step) {
  switch (KindOf(programNumber)) {
    case ProgramKind::Entered:
      if (step == Step::Open) return std::nullopt;
      return step == Step::Check ? Right::Check : Right::Enter;
    case ProgramKind::Money:
      if (step == Step::Open) return std::nullopt;
      return Right::Receive;
    case ProgramKind::Shown:
      // A list's own delete changes the master.
      return step == Step::Open ? std::nullopt : std::optional<Right>(Right::Manage);
    case ProgramKind::Master:
    case ProgramKind::Kept:
    case ProgramKind::Unknown:
      return Right::Manage;
  }
  return Right::Manage;
}

std::optional<Step> StepOfOperation(std::string_view operation) {
  if (operation == "FileNew" || operation == "FileEdit" || operation == "FileSave" ||
      operation == "FileDelete") {
    return Step::Change;
  }
  if (operation == "Check" || operation == "UnCheck") return Step::Check;
  return std::nullopt;
}

AccessGuard::AccessGuard(db::IDatabase& db, std::string userName, bool authenticated)
    : store_(db), userName_(std::move(userName)), authenticated_(authenticated) {}

AccessGuard::Rights AccessGuard::Read(std::string* error) {
  Rights rights;
  rights.open = !store_.HasAccounts(error);
  if (!error->empty() || rights.open) return rights;
  auto account = store_.Find(userName_, error);
  rights.known = account && account->active;
  if (rights.known) rights.held = store_.RightsOf(userName_, error);
  return rights;
}

bool AccessGuard::Allows(int64_t programNumber, Step step) {
  if (!cached_) {
    std::string error;
    Rights rights = Read(&error);
    if (!error.empty()) return false;
    cached_ = rights;
  }
  if (cached_->open) return true;
  if (!authenticated_ || !cached_->known) return false;
  auto right = RightNeeded(programNumber, step);
  return !right || cached_->held.count(*right) > 0;
}

std::string AccessGuard::RefusalOf(const std::optional<Right>& right, std::string_view what) {
  std::string error;
  Rights rights = Read(&error);
  if (!error.empty()) return "无法读取账户的权限：" + error;
  cached_ = rights;
  if (rights.open) return {};
  if (!authenticated_) return "这个店已设账户，请先用账户名和密码登录";
  if (!rights.known) return "账户“" + userName_ + "”已停用或已删除，请重新登录";
  if (!right || rights.held.count(*right)) return {};
  return "账户“" + userName_ + "”没有“" + RightName(*right) + "”权限，不能" + std::string(what);
}

std::string AccessGuard::Refusal(int64_t programNumber, Step step) {
  return RefusalOf(RightNeeded(programNumber, step), Verb(step));
}

std::string AccessGuard::RefusalOfRight(Right right, std::string_view what) {
  return RefusalOf(right, what);
}

}  // namespace ws::platform
