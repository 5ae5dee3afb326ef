#include "workshop/examination.h"

#include <map>
#include <set>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::workshop {

namespace {

constexpr const char* kVerdictNames[] = {"OK", "注意", "需维修"};
constexpr const char* kSuggested = "建议";
constexpr size_t kMaxNoteBytes = 500;

std::string ItemProblem(const std::string& name, const std::string& group) {
  if (name.empty() || name.size() > 100) return "检查项目名称须为 1 到 100 字节";
  if (group.size() > 100) return "分组不能超过 100 字节";
  return {};
}

std::string NameTaken(const std::string& name) {
  return "检查项目“" + name + "”已存在";
}

}  // namespace

const char* VerdictName(Verdict verdict) {
  return kVerdictNames[static_cast<int>(verdict)];
}

std::optional<Verdict> VerdictByName(std::string_view name) {
  for (int i = 0; i < 3; ++i) {
    if (name == kVerdictNames[i]) return static_cast<Verdict>(i);
  }
  return std::nullopt;
}

bool IsPhotoName(std::string_view name) {
  if (name.size() != 36) return false;
  for (size_t i = 0; i < 32; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  const std::string_view ext = name.substr(32);
  return ext == ".jpg" || ext == ".png";
}

Examination::Examination(db::IDatabase& db, host::INavigator& ids, Clock now)
    : db_(db), ids_(ids), now_(std::move(now)) {}

std::vector<CheckItem> Examination::Items(std::string* error, bool withRetired) {
  std::string failure;
  auto rs =
      db::Runner(db_).Open(db::Sql("SELECT 项目ID, 序号, 名称, 分组, 停用 FROM ws_check_item ")
                               .Raw(withRetired ? "" : "WHERE 停用 = 0 ")
                               .Raw("ORDER BY 序号, 项目ID"),
                           &failure);
  std::vector<CheckItem> out;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    out.push_back({rs->Long("项目ID"), rs->Number("序号"), rs->Text("名称"), rs->Text("分组"),
                   rs->Number("停用") != 0});
  }
  if (error) *error = failure;
  return out;
}

std::string Examination::AddItem(const std::string& name, const std::string& group, double order) {
  if (std::string problem = ItemProblem(name, group); !problem.empty()) return problem;
  int64_t id = 0;
  if (std::string failure = ids_.GetNewID("ws_check_item", "项目ID", id); !failure.empty()) {
    return failure;
  }
  db::Transaction t(db_);
  std::string error;
  const int64_t same =
      t.Db()
          .Scalar(db::Sql("SELECT COUNT(*) FROM ws_check_item WHERE 名称 = ").Text(name), &error)
          .ToLong();
  if (!error.empty()) return error;
  if (same > 0) return NameTaken(name);
  db::Sql insert("INSERT INTO ws_check_item (项目ID, 序号, 名称, 分组, 停用) VALUES (");
  insert.Key(id).Raw(", ").Num(order).Raw(", ").Text(name).Raw(", ").Text(group).Raw(", 0)");
  if (!t.Run(insert)) return t.Error();
  return t.Commit() ? std::string() : t.Error();
}

std::string Examination::ChangeItem(int64_t itemId, const std::string& name,
                                    const std::string& group) {
  if (std::string problem = ItemProblem(name, group); !problem.empty()) return problem;
  db::Transaction t(db_);
  std::string error;
  const int64_t same = t.Db()
                           .Scalar(db::Sql("SELECT COUNT(*) FROM ws_check_item WHERE 名称 = ")
                                       .Text(name)
                                       .Raw(" AND 项目ID <> ")
                                       .Key(itemId),
                                   &error)
                           .ToLong();
  if (!error.empty()) return error;
  if (same > 0) return NameTaken(name);
  const bool done = t.RunOne(db::Sql("UPDATE ws_check_item SET 名称 = ")
                                 .Text(name)
                                 .Raw(", 分组 = ")
                                 .Text(group)
                                 .Raw(" WHERE 项目ID = ")
                                 .Key(itemId),
                             "没有这个检查项目");
  return done && t.Commit() ? std::string() : t.Error();
}

std::string Examination::RetireItem(int64_t itemId, bool retired) {
  db::Transaction t(db_);
  const bool done = t.RunOne(db::Sql("UPDATE ws_check_item SET 停用 = ")
                                 .Num(retired ? 1 : 0)
                                 .Raw(" WHERE 项目ID = ")
                                 .Key(itemId),
                             "没有这个检查项目");
  return done && t.Commit() ? std::string() : t.Error();
}

std::string Examination::ReorderItems(const std::vector<int64_t>& itemIds) {
  db::Transaction t(db_);
  std::string error;
  // Every item once: a list read before another manager added an item must not leave the new
  // one sharing a number with an old one.
  const int64_t all = t.Db().Scalar(db::Sql("SELECT COUNT(*) FROM ws_check_item"), &error).ToLong();
  if (!error.empty()) return error;
  if (static_cast<size_t>(all) != itemIds.size() ||
      std::set<int64_t>(itemIds.begin(), itemIds.end()).size() != itemIds.size()) {
    return "检查项目已被别人改动，请刷新后再排";
  }
  for (size_t i = 0; i < itemIds.size(); ++i) {
    if (!t.RunOne(db::Sql("UPDATE ws_check_item SET 序号 = ")
                      .Num(static_cast<double>(i + 1))
                      .Raw(" WHERE 项目ID = ")
                      .Key(itemIds[i]),
                  "检查项目已被别人改动，请刷新后再排")) {
      return t.Error();
    }
  }
  return t.Commit() ? std::string() : t.Error();
}

std::vector<Finding> Examination::Findings(int64_t orderId, std::string* error) {
  std::string failure;
  db::Runner runner(db_);
  auto rs = runner.Open(
      db::Sql("SELECT i.项目ID, i.序号, i.名称, i.分组, f.检验ID, f.结果, f.说明, f.检验人, "
              "f.检验时间 FROM ws_check_item i LEFT JOIN ws_finding f ON f.项目ID = i.项目ID AND "
              "f.单据ID = ")
          .Key(orderId)
          .Raw(" WHERE i.停用 = 0 OR f.检验ID IS NOT NULL ORDER BY i.序号, i.项目ID"),
      &failure);
  std::vector<Finding> out;
  std::map<int64_t, size_t> byFinding;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    Finding f;
    f.item = {rs->Long("项目ID"), rs->Number("序号"), rs->Text("名称"), rs->Text("分组")};
    f.id = rs->Long("检验ID");
    f.verdict = rs->Text("结果");
    f.note = rs->Text("说明");
    f.examiner = rs->Text("检验人");
    f.time = rs->Text("检验时间");
    if (f.id != 0) byFinding[f.id] = out.size();
    out.push_back(std::move(f));
  }
  if (failure.empty() && !byFinding.empty()) {
    auto photos = runner.Open(
        db::Sql("SELECT p.照片ID, p.检验ID, p.文件名, p.类型 FROM ws_finding_photo p JOIN "
                "ws_finding f ON f.检验ID = p.检验ID WHERE f.单据ID = ")
            .Key(orderId)
            .Raw(" ORDER BY p.照片ID"),
        &failure);
    for (; failure.empty() && !photos->Eof(); photos->MoveNext()) {
      auto at = byFinding.find(photos->Long("检验ID"));
      if (at == byFinding.end()) continue;
      out[at->second].photos.push_back(
          {photos->Long("照片ID"), photos->Text("文件名"), photos->Text("类型")});
    }
  }
  if (error) *error = failure;
  if (!failure.empty()) out.clear();
  return out;
}

std::vector<Suggestion> Examination::Suggestions(int64_t orderId, std::string* error) {
  std::string failure;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT s.建议ID, s.检验ID, i.名称, s.说明, s.状态, s.同意人, s.同意时间, s.登记人, "
              "s.单据明细ID "
              "FROM ws_suggestion s LEFT JOIN ws_finding f ON f.检验ID = s.检验ID LEFT JOIN "
              "ws_check_item i ON i.项目ID = f.项目ID WHERE s.单据ID = ")
          .Key(orderId)
          .Raw(" ORDER BY s.建议ID"),
      &failure);
  std::vector<Suggestion> out;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    out.push_back({rs->Long("建议ID"), rs->Long("检验ID"), rs->Text("名称"), rs->Text("说明"),
                   rs->Text("状态"), rs->Text("同意人"), rs->Text("同意时间"), rs->Text("登记人"),
                   rs->Long("单据明细ID")});
  }
  if (error) *error = failure;
  return out;
}

std::string Examination::Record(const Actor& actor, int64_t orderId, int64_t itemId,
                                Verdict verdict, const std::string& note, int64_t* findingId) {
  if (!actor.examine) return "没有车检权限";
  if (note.size() > kMaxNoteBytes) return "说明不能超过 500 字节";
  if (verdict == Verdict::Repair && note.empty()) return "标为需维修时请写明需要做什么";
  std::vector<host::IdBatch> batches = {{"ws_finding", "检验ID", 1, {}},
                                        {"ws_suggestion", "建议ID", 1, {}}};
  if (std::string failure = ids_.GetNewIDs(batches); !failure.empty()) return failure;
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  auto order = t.Db().Open(db::Sql("SELECT smark FROM WSDJ WHERE 单据ID = ").Key(orderId), &error);
  if (!error.empty()) return error;
  if (order->Eof()) return "找不到这张维修单";
  if (order->Text("smark") == "02") return "维修单已审核，不能再改车检";
  const int64_t itemInUse =
      t.Db()
          .Scalar(db::Sql("SELECT COUNT(*) FROM ws_check_item WHERE 停用 = 0 AND 项目ID = ")
                      .Key(itemId),
                  &error)
          .ToLong();
  if (!error.empty()) return error;
  if (itemInUse == 0) return "没有这个检查项目";
  db::Sql upsert(
      "INSERT INTO ws_finding (检验ID, 单据ID, 项目ID, 结果, 说明, 检验人, 检验时间) "
      "VALUES (");
  upsert.Key(batches[0].ids[0])
      .Raw(", ")
      .Key(orderId)
      .Raw(", ")
      .Key(itemId)
      .Raw(", ")
      .Text(VerdictName(verdict))
      .Raw(", ")
      .Text(note)
      .Raw(", ")
      .Text(actor.user)
      .Raw(", ")
      .Text(now)
      .Raw(
          ") ON CONFLICT (单据ID, 项目ID) DO UPDATE SET 结果 = excluded.结果, 说明 = "
          "excluded.说明, 检验人 = excluded.检验人, 检验时间 = excluded.检验时间");
  if (!t.Run(upsert)) return t.Error();
  const int64_t id = t.Db()
                         .Scalar(db::Sql("SELECT 检验ID FROM ws_finding WHERE 单据ID = ")
                                     .Key(orderId)
                                     .Raw(" AND 项目ID = ")
                                     .Key(itemId),
                                 &error)
                         .ToLong();
  if (!error.empty()) return error;
  auto existing = t.Db().Open(
      db::Sql("SELECT 建议ID, 状态 FROM ws_suggestion WHERE 检验ID = ").Key(id), &error);
  if (!error.empty()) return error;
  const bool hasSuggestion = !existing->Eof();
  const bool answered = hasSuggestion && existing->Text("状态") != kSuggested;
  if (verdict == Verdict::Repair) {
    if (!hasSuggestion) {
      db::Sql suggest("INSERT INTO ws_suggestion (建议ID, 单据ID, 检验ID, 说明, 状态) VALUES (");
      suggest.Key(batches[1].ids[0])
          .Raw(", ")
          .Key(orderId)
          .Raw(", ")
          .Key(id)
          .Raw(", ")
          .Text(note)
          .Raw(", ")
          .Text(kSuggested)
          .Raw(")");
      if (!t.Run(suggest)) return t.Error();
    } else if (!answered) {
      if (!t.Run(db::Sql("UPDATE ws_suggestion SET 说明 = ")
                     .Text(note)
                     .Raw(" WHERE 检验ID = ")
                     .Key(id))) {
        return t.Error();
      }
    }
  } else if (hasSuggestion) {
    if (answered) return "这项建议客户已答复，不能再改为" + std::string(VerdictName(verdict));
    if (!t.Run(db::Sql("DELETE FROM ws_suggestion WHERE 检验ID = ").Key(id))) return t.Error();
  }
  if (!t.Commit()) return t.Error();
  if (findingId) *findingId = id;
  return {};
}

std::string Examination::AddPhoto(const Actor& actor, int64_t findingId,
                                  const std::string& fileName, const std::string& type,
                                  int64_t bytes) {
  if (!actor.examine) return "没有车检权限";
  if (!IsPhotoName(fileName)) return "照片文件名不合规";
  if (type != "image/jpeg" && type != "image/png") return "只收 JPEG 或 PNG 照片";
  int64_t id = 0;
  if (std::string failure = ids_.GetNewID("ws_finding_photo", "照片ID", id); !failure.empty()) {
    return failure;
  }
  db::Transaction t(db_);
  std::string error;
  auto finding = t.Db().Open(db::Sql("SELECT h.smark FROM ws_finding f JOIN WSDJ h ON h.单据ID = "
                                     "f.单据ID WHERE f.检验ID = ")
                                 .Key(findingId),
                             &error);
  if (!error.empty()) return error;
  if (finding->Eof()) return "请先填写这项检查的结果再拍照";
  if (finding->Text("smark") == "02") return "维修单已审核，不能再加照片";
  db::Sql insert(
      "INSERT INTO ws_finding_photo (照片ID, 检验ID, 文件名, 类型, 字节数, 上传人, "
      "上传时间) VALUES (");
  insert.Key(id)
      .Raw(", ")
      .Key(findingId)
      .Raw(", ")
      .Text(fileName)
      .Raw(", ")
      .Text(type)
      .Raw(", ")
      .Num(static_cast<double>(bytes))
      .Raw(", ")
      .Text(actor.user)
      .Raw(", ")
      .Text(now_())
      .Raw(")");
  if (!t.Run(insert)) return t.Error();
  return t.Commit() ? std::string() : t.Error();
}

std::optional<std::string> Examination::PhotoType(const std::string& fileName, std::string* error) {
  if (!IsPhotoName(fileName)) return std::nullopt;
  std::string failure;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT 类型 FROM ws_finding_photo WHERE 文件名 = ").Text(fileName), &failure);
  if (error) *error = failure;
  if (!failure.empty() || rs->Eof()) return std::nullopt;
  return rs->Text("类型");
}

std::string Examination::Answer(const Actor& actor, int64_t suggestionId, bool agreed,
                                const std::string& agreedBy) {
  if (!actor.dispatch) return "没有“录入”权限，不能登记客户答复";
  if (agreed && agreedBy.empty()) return "请写明是谁同意的";
  if (agreedBy.size() > 100) return "同意人不能超过 100 字节";
  db::Transaction t(db_);
  std::string error;
  const std::string mark = t.Db()
                               .Scalar(db::Sql("SELECT h.smark FROM ws_suggestion s JOIN WSDJ h ON "
                                               "h.单据ID = s.单据ID WHERE s.建议ID = ")
                                           .Key(suggestionId),
                                       &error)
                               .ToText();
  if (!error.empty()) return error;
  if (mark == "02") return "维修单已审核，不能再登记客户答复";
  db::Sql answer("UPDATE ws_suggestion SET 状态 = ");
  answer.Text(agreed ? "同意" : "不做")
      .Raw(", 同意人 = ")
      .Text(agreedBy)
      .Raw(", 同意时间 = ")
      .Text(now_())
      .Raw(", 登记人 = ")
      .Text(actor.user)
      .Raw(" WHERE 建议ID = ")
      .Key(suggestionId)
      .Raw(" AND 状态 = ")
      .Text(kSuggested);
  const bool done = t.RunOne(answer, "这项建议已答复过或不存在");
  return done && t.Commit() ? std::string() : t.Error();
}

}  // namespace ws::workshop
