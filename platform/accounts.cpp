#include "platform/accounts.h"

#include <algorithm>
#include <map>
#include <thread>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/password_hash.h"
#include "platform/postgres_database.h"
#include "platform/server_logins.h"

namespace ws::platform {

namespace {

constexpr size_t kMaxNameChars = 32;
constexpr size_t kMinPasswordChars = 6;
constexpr size_t kMaxPasswordBytes = 1024;
constexpr const char* kRefusal = "用户名或密码不正确，或账户已停用";

// Code points of valid UTF-8 (no overlong forms, no surrogates); nullopt for anything else.
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    if (lead >= 0x80) {
      if ((lead >> 5) == 0x6) {
        extra = 1;
      } else if ((lead >> 4) == 0xE) {
        extra = 2;
      } else if ((lead >> 3) == 0x1E) {
        extra = 3;
      } else {
        return std::nullopt;
      }
    }
    if (text.size() - i <= static_cast<size_t>(extra)) return std::nullopt;
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return std::nullopt;
    }
    out.push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

bool IsControl(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

bool IsSpace(char32_t cp) {
  return cp == ' ' || cp == 0x3000 || cp == 0xA0;
}

std::string Quoted(const std::string& name) {
  return "“" + name + "”";
}

// A hash no password matches, verified for unknown names so that they cost the same time.
}  // namespace

// Made once, with the same parameters as an account's hash of that cost: an unknown name is
// checked against it at the price of a real account's check. Made at the first refusal it
// would cost that refusal a second hash, and tell a guesser the name does not exist.
const std::string& DecoyHash(HashCost cost) {
  static const std::string interactive =
      "$argon2id$v=19$m=65536,t=2,p=1$L+6XvJo0nXhw2772NYl++w$"
      "KseRGkL8qJYCl8aM4fUCkdPYl3II4lcooeEyMbiipV0";
  static const std::string minimal =
      "$argon2id$v=19$m=8,t=1,p=1$ksC/oBc6dPI1vSSpMdquag$"
      "LFZXEl7Wpv9OAJkdSvGDYq2vN3UOCxMIs/vBtU1dRck";
  return cost == HashCost::Minimal ? minimal : interactive;
}

namespace {

// Account changes in the audit trail, under the account's (or role's) name.
db::AuditEvent AccountEvent(const std::string& name, db::AuditAction action,
                            std::vector<db::FieldChange> changes) {
  return db::AuditEvent{"ws_account", 0, 0, name, action, std::move(changes)};
}

db::AuditEvent RoleEvent(const std::string& role, const std::vector<Right>& rights) {
  std::string held;
  for (Right right : std::set<Right>(rights.begin(), rights.end())) {
    held += std::string(held.empty() ? "" : ",") + RightName(right);
  }
  return db::AuditEvent{"ws_role_right", 0, 0, role, db::AuditAction::Update, {{"权限", "", held}}};
}

}  // namespace

const char* RightName(Right right) {
  switch (right) {
    case Right::Enter:
      return "录入";
    case Right::Check:
      return "审核";
    case Right::Receive:
      return "收款";
    case Right::Manage:
      return "管理";
    case Right::Floor:
      return "车间";
  }
  return "";
}

const std::vector<Right>& AllRights() {
  static const std::vector<Right> all = {Right::Enter, Right::Check, Right::Receive, Right::Manage,
                                         Right::Floor};
  return all;
}

std::optional<Right> RightByName(std::string_view name) {
  for (Right right : AllRights()) {
    if (name == RightName(right)) return right;
  }
  return std::nullopt;
}

const std::vector<RoleRights>& DefaultRoles() {
  static const std::vector<RoleRights> roles = {
      {std::string(kOwnerRole), AllRights()},
      {"审核员", {Right::Enter, Right::Check}},
      {"收银员", {Right::Receive}},
      {"录入员", {Right::Enter}},
      {std::string(kTechnicianRole), {Right::Floor}},
  };
  return roles;
}

bool FloorOnly(const std::set<Right>& rights) {
  return rights.size() == 1 && rights.count(Right::Floor) == 1;
}

std::string AccountNameProblem(const std::string& name) {
  auto points = DecodeUtf8(name);
  if (!points) return "用户名不是有效的 UTF-8 文字";
  if (points->empty()) return "用户名不能为空";
  if (points->size() > kMaxNameChars) {
    return "用户名不能超过 " + std::to_string(kMaxNameChars) + " 个字";
  }
  if (std::any_of(points->begin(), points->end(), IsControl)) return "用户名不能含控制字符";
  if (IsSpace(points->front()) || IsSpace(points->back())) return "用户名首尾不能是空格";
  return {};
}

std::string PasswordProblem(const std::string& password) {
  auto points = DecodeUtf8(password);
  if (!points) return "密码不是有效的 UTF-8 文字";
  if (password.find('\0') != std::string::npos) return "密码不能含空字符";
  if (points->size() < kMinPasswordChars) {
    return "密码至少要 " + std::to_string(kMinPasswordChars) + " 个字";
  }
  if (password.size() > kMaxPasswordBytes) {
    return "密码不能超过 " + std::to_string(kMaxPasswordBytes) + " 个字节";
  }
  return {};
}

bool AccountStore::HasAccounts(std::string* error) {
  std::string readError;
  auto count = db::Runner(db_).Scalar(db::Sql("SELECT COUNT(*) FROM ws_account"), &readError);
  if (error) *error = readError;
  return !readError.empty() || count.ToLong() > 0;
}

std::vector<Account> AccountStore::List(std::string* error) {
  std::string readError;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT user_name, role, active FROM ws_account ORDER BY user_name"), &readError);
  std::vector<Account> out;
  if (readError.empty()) {
    for (; !rs->Eof(); rs->MoveNext()) {
      out.push_back({rs->Text("user_name"), rs->Text("role"), rs->Long("active") != 0});
    }
  }
  if (error) *error = readError;
  return out;
}

std::optional<Account> AccountStore::Find(const std::string& name, std::string* error) {
  std::string readError;
  db::Sql sql("SELECT user_name, role, active FROM ws_account WHERE user_name = ");
  sql.Text(name);
  auto rs = db::Runner(db_).Open(sql, &readError);
  if (error) *error = readError;
  if (!readError.empty() || rs->Eof()) return std::nullopt;
  return Account{rs->Text("user_name"), rs->Text("role"), rs->Long("active") != 0};
}

std::vector<RoleRights> AccountStore::Roles(std::string* error) {
  std::string readError;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT role, right_name FROM ws_role_right ORDER BY role"), &readError);
  std::map<std::string, std::vector<Right>> byRole;
  if (readError.empty()) {
    for (; !rs->Eof(); rs->MoveNext()) {
      auto& rights = byRole[rs->Text("role")];
      if (auto right = RightByName(rs->Text("right_name"))) rights.push_back(*right);
    }
  }
  if (error) *error = readError;
  std::vector<RoleRights> out;
  for (auto& [role, rights] : byRole) {
    std::sort(rights.begin(), rights.end());
    out.push_back({role, rights});
  }
  return out;
}

std::set<Right> AccountStore::RightsOf(const std::string& name, std::string* error) {
  std::string readError;
  db::Sql sql(
      "SELECT r.right_name FROM ws_account a JOIN ws_role_right r ON r.role = a.role "
      "WHERE a.active = 1 AND a.user_name = ");
  sql.Text(name);
  auto rs = db::Runner(db_).Open(sql, &readError);
  std::set<Right> out;
  if (readError.empty()) {
    for (; !rs->Eof(); rs->MoveNext()) {
      if (auto right = RightByName(rs->Field(0).ToText())) out.insert(*right);
    }
  }
  if (error) *error = readError;
  return out;
}

std::string AccountStore::SyncServer(const std::vector<std::string>& names,
                                     const std::optional<std::string>& password) {
  auto* server = dynamic_cast<PostgresDatabase*>(&db_);
  if (!server) return {};
  ServerLogins logins(*server);
  std::string error;
  if (!logins.Current(&error)) {
    if (!error.empty()) return error;
    // Made, or brought up to this program's rules, by the role that made the shop.
    if (error = logins.Install(); !error.empty()) return "无法设置服务器上的角色和权限：" + error;
  }
  for (const auto& name : names) {
    auto account = Find(name, &error);
    if (!error.empty()) return error;
    if (!account) continue;
    std::string groups;
    for (Right right : RightsOf(name, &error)) {
      groups += (groups.empty() ? "" : ",") + ServerGroupOf(RightName(right));
    }
    // RightsOf answers nothing for a stopped account; its groups go with its LOGIN.
    if (error = logins.Sync(name, password, groups, account->active); !error.empty()) {
      return "无法设置服务器登录“" + name + "”：" + error;
    }
  }
  return {};
}

template <typename Change>
std::string AccountStore::Guarded(Change change, const db::AuditEvent& event) {
  db::Transaction tx(db_);
  // Every change of accounts claims one row first: on the server two owners demoting each
  // other queue here, and the second counts the managers after the first has committed.
  // SQLite's transaction holds the write lock from its start anyway.
  tx.Run(db::Sql(
      "INSERT INTO ws_meta (key, value) VALUES ('accounts', '') ON CONFLICT (key) DO UPDATE "
      "SET value = ws_meta.value"));
  if (tx.Failed()) return tx.Error();
  if (std::string refused = change(tx); !refused.empty()) {
    tx.Rollback();
    return refused;
  }
  if (tx.Failed()) return tx.Error();
  std::string error;
  const int64_t managers =
      tx.Db()
          .Scalar(db::Sql("SELECT COUNT(*) FROM ws_account a WHERE a.active = 1 AND a.role IN "
                          "(SELECT role FROM ws_role_right WHERE right_name = ")
                      .Text(RightName(Right::Manage))
                      .Raw(")"),
                  &error)
          .ToLong();
  if (!error.empty()) {
    tx.Fail(error);
    return error;
  }
  if (managers == 0) {
    tx.Rollback();
    return "至少要留一个能登录、有“管理”权限的账户";
  }
  // Who gave whom which rights is what an owner asks after a dispute.
  db::AuditSession actor = actor_;
  if (actor.user.empty()) actor.user = event.number;
  if (actor.frontEnd.empty()) actor.frontEnd = "ws";
  if (!db::AppendAudit(tx, event, actor)) return tx.Error();
  return tx.Commit() ? std::string() : tx.Error();
}

std::string AccountStore::Add(const std::string& name, const std::string& password,
                              const std::string& role) {
  if (auto problem = AccountNameProblem(name); !problem.empty()) return problem;
  if (auto problem = PasswordProblem(password); !problem.empty()) return problem;
  auto hash = HashPassword(password, cost_);
  if (!hash) return "无法计算密码的摘要（内存不足？）";
  return Guarded(
      [&](db::Transaction& tx) -> std::string {
        std::string error;
        const bool firstAccount =
            tx.Db().Scalar(db::Sql("SELECT COUNT(*) FROM ws_role_right"), &error).ToLong() == 0;
        if (!error.empty()) return error;
        if (firstAccount) {
          for (const auto& defaults : DefaultRoles()) {
            for (Right right : defaults.rights) {
              tx.Run(db::Sql("INSERT INTO ws_role_right (role, right_name) VALUES (")
                         .Text(defaults.role)
                         .Raw(", ")
                         .Text(RightName(right))
                         .Raw(")"));
            }
          }
        }
        const bool roleKnown =
            tx.Db()
                .Scalar(db::Sql("SELECT COUNT(*) FROM ws_role_right WHERE role = ").Text(role),
                        &error)
                .ToLong() > 0;
        if (!error.empty()) return error;
        if (!roleKnown) return "没有角色" + Quoted(role);
        if (tx.Db()
                .Scalar(db::Sql("SELECT COUNT(*) FROM ws_account WHERE user_name = ").Text(name),
                        &error)
                .ToLong() > 0) {
          return "已有账户" + Quoted(name);
        }
        tx.Run(db::Sql("INSERT INTO ws_account (user_name, pw_hash, role, active) VALUES (")
                   .Text(name)
                   .Raw(", ")
                   .Text(*hash)
                   .Raw(", ")
                   .Text(role)
                   .Raw(", 1)"));
        if (tx.Failed()) return tx.Error();
        return SyncServer({name}, password);
      },
      AccountEvent(name, db::AuditAction::Insert, {{"角色", "", role}}));
}

namespace {

// Updates one account's row; refuses an unknown name.
std::string UpdateAccount(db::Transaction& tx, const std::string& name, db::Sql set) {
  int64_t rows = 0;
  set.Raw(" WHERE user_name = ").Text(name);
  if (!tx.Run(set, &rows)) return tx.Error();
  return rows == 0 ? "没有账户" + Quoted(name) : std::string();
}

}  // namespace

std::string AccountStore::SetPassword(const std::string& name, const std::string& password) {
  if (auto problem = PasswordProblem(password); !problem.empty()) return problem;
  auto hash = HashPassword(password, cost_);
  if (!hash) return "无法计算密码的摘要（内存不足？）";
  return Guarded(
      [&](db::Transaction& tx) {
        std::string error = UpdateAccount(
            tx, name, std::move(db::Sql("UPDATE ws_account SET pw_hash = ").Text(*hash)));
        return error.empty() ? SyncServer({name}, password) : error;
      },
      AccountEvent(name, db::AuditAction::Update, {{"密码", "", "（已更改）"}}));
}

std::string AccountStore::SetRole(const std::string& name, const std::string& role) {
  return Guarded(
      [&](db::Transaction& tx) -> std::string {
        std::string error;
        if (tx.Db()
                .Scalar(db::Sql("SELECT COUNT(*) FROM ws_role_right WHERE role = ").Text(role),
                        &error)
                .ToLong() == 0) {
          return error.empty() ? "没有角色" + Quoted(role) : error;
        }
        error =
            UpdateAccount(tx, name, std::move(db::Sql("UPDATE ws_account SET role = ").Text(role)));
        return error.empty() ? SyncServer({name}, std::nullopt) : error;
      },
      AccountEvent(name, db::AuditAction::Update, {{"角色", "", role}}));
}

std::string AccountStore::SetActive(const std::string& name, bool active) {
  return Guarded(
      [&](db::Transaction& tx) {
        std::string error = UpdateAccount(
            tx, name, std::move(db::Sql("UPDATE ws_account SET active = ").Key(active ? 1 : 0)));
        return error.empty() ? SyncServer({name}, std::nullopt) : error;
      },
      AccountEvent(name, db::AuditAction::Update, {{"状态", "", active ? "启用" : "停用"}}));
}

std::string AccountStore::SetRoleRights(const std::string& role, const std::vector<Right>& rights) {
  if (auto problem = AccountNameProblem(role); !problem.empty()) return "角色名：" + problem;
  return Guarded(
      [&](db::Transaction& tx) {
        tx.Run(db::Sql("DELETE FROM ws_role_right WHERE role = ").Text(role));
        for (Right right : std::set<Right>(rights.begin(), rights.end())) {
          tx.Run(db::Sql("INSERT INTO ws_role_right (role, right_name) VALUES (")
                     .Text(role)
                     .Raw(", ")
                     .Text(RightName(right))
                     .Raw(")"));
        }
        std::vector<std::string> holders;
        for (const auto& account : List()) {
          if (account.role == role) holders.push_back(account.name);
        }
        return tx.Failed() ? tx.Error() : SyncServer(holders, std::nullopt);
      },
      RoleEvent(role, rights));
}

std::string AccountStore::Authenticate(const std::string& name, const std::string& password) {
  // One path on both engines: the stored hash's settings, the typed password hashed under them,
  // and the two hashes compared. Where the shop's server keeps the accounts' hashes from every
  // account, both steps are its functions and the hash never leaves it.
  auto* server = dynamic_cast<PostgresDatabase*>(&db_);
  std::string error;
  const bool onServer =
      server && db::Runner(db_)
                        .Scalar(db::Sql("SELECT COUNT(*) FROM pg_proc p JOIN pg_namespace n ON "
                                        "n.oid = p.pronamespace WHERE p.proname = ")
                                    .Text("ws_account_verify")
                                    .Raw(" AND n.nspname = current_schema()"),
                                &error)
                        .ToLong() > 0;
  if (!error.empty()) return "无法读取账户：" + error;
  std::string stored;
  std::string settings;
  bool active = false;
  // A name no account can have (not UTF-8, too long) is an unknown name: the server would
  // refuse its bytes, and the answer must not differ from any other refusal.
  if (AccountNameProblem(name).empty()) {
    db::Sql sql(onServer ? "SELECT ws_account_salt("
                         : "SELECT pw_hash, active FROM ws_account "
                           "WHERE user_name = ");
    sql.Text(name);
    if (onServer) sql.Raw(")");
    auto rs = db::Runner(db_).Open(sql, &error);
    if (!error.empty()) return "无法读取账户：" + error;
    if (!rs->Eof()) {
      if (onServer) {
        settings = rs->Field(0).ToText();
      } else {
        stored = rs->Text("pw_hash");
        active = rs->Long("active") != 0;
        settings = HashSettings(stored);
      }
    }
  }
  const bool known = !settings.empty();
  const auto hashed = HashWithSettings(known ? settings : HashSettings(DecoyHash(cost_)), password);
  bool matches = false;
  if (hashed && known && onServer) {
    matches =
        db::Runner(db_)
            .Scalar(
                db::Sql("SELECT ws_account_verify(").Text(name).Raw(", ").Text(*hashed).Raw(")"),
                &error)
            .ToLong() > 0;
    if (!error.empty()) return "无法读取账户：" + error;
  } else if (hashed && known) {
    matches = active && SameHash(*hashed, stored);
  }
  if (matches) return {};
  std::this_thread::sleep_for(refusalDelay_);
  return kRefusal;
}

}  // namespace ws::platform
