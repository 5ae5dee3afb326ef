#include "platform/access_guard.h"

#include "db/default_config.h"

namespace ws::platform {

namespace {

// A program the shop does not know is the manager's to open.
std::optional<db::ProgramKind> KindOf(int64_t programNumber) {
  for (const auto& control : db::DefaultControls()) {
    if (control.programNumber == programNumber) return control.kind;
  }
  return std::nullopt;
}

const char* Verb(Step step) {
  switch (step) {
    case Step::Open:
      return "打开这个程序";
    case Step::Change:
      return "新增或修改";
    case Step::Delete:
      return "删除";
    case Step::Check:
      return "审核或弃审";
  }
  return "";
}

}  // namespace

std::optional<Right> RightNeeded(int64_t programNumber, Step step) {
  const std::optional<db::ProgramKind> kind = KindOf(programNumber);
  if (!kind) return Right::Manage;
  switch (*kind) {
    case db::ProgramKind::Document:
      if (step == Step::Open) return std::nullopt;
      return step == Step::Check ? Right::Check : Right::Enter;
    case db::ProgramKind::MoneyDocument:
      if (step == Step::Open) return std::nullopt;
      return Right::Receive;
    case db::ProgramKind::Report:
    case db::ProgramKind::MasterList:
      // A list's own delete changes the master.
      return step == Step::Open ? std::nullopt : std::optional<Right>(Right::Manage);
    case db::ProgramKind::CounterCard:
      return step == Step::Delete ? Right::Manage : Right::Enter;
    case db::ProgramKind::MasterCard:
    case db::ProgramKind::KeptReport:
      return Right::Manage;
  }
  return Right::Manage;
}

std::optional<Step> StepOfOperation(std::string_view operation) {
  if (operation == "FileNew" || operation == "FileEdit" || operation == "FileSave") {
    return Step::Change;
  }
  if (operation == "FileDelete") return Step::Delete;
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
  if (!authenticated_ || !cached_->known || FloorOnly(cached_->held)) return false;
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
  if (FloorOnly(rights.held)) {
    return "账户“" + userName_ + "”是技师账户，只能在车间平板上使用，不能" + std::string(what);
  }
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
