#include "shop/demo/demo_floor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "db/date.h"
#include "shop/demo/bulk_rows.h"
#include "shop/demo/demo_chain.h"
#include "shop/demo/demo_random.h"

namespace ws::shop {

namespace {

struct CheckItemTemplate {
  const char* group;
  const char* name;
  const char* attention;  // what a 注意 says
  const char* repair;     // what a 需维修 says, and the line it suggests
};

// The shop's walk-around checklist, in the order a technician goes round the car.
constexpr CheckItemTemplate kChecklist[] = {
    {"外观", "车身漆面", "有轻微划痕", "翼子板凹陷，建议钣金喷漆"},
    {"外观", "灯光", "左前雾灯偏暗", "右前大灯不亮，建议更换灯泡"},
    {"外观", "挡风玻璃", "有细小砂眼", "前挡有裂纹，建议更换"},
    {"外观", "雨刮片", "刮水有残痕", "雨刮片老化，建议更换"},
    {"轮胎", "轮胎", "胎面花纹接近磨损标记", "左前轮胎鼓包，建议更换"},
    {"轮胎", "胎压", "四轮胎压偏低，已补气", "右后轮慢漏气，建议补胎"},
    {"轮胎", "备胎", "备胎气压不足", "备胎老化龟裂，建议更换"},
    {"制动", "刹车片", "前刹车片余量约 4 毫米", "前刹车片余量不足 2 毫米，建议更换"},
    {"制动", "刹车盘", "刹车盘有轻微沟槽", "刹车盘磨损超限，建议更换"},
    {"制动", "刹车油", "刹车油颜色偏深", "刹车油含水量超标，建议更换"},
    {"发动机舱", "机油", "机油液位接近下限", "机油已到保养里程，建议更换机油机滤"},
    {"发动机舱", "冷却液", "冷却液液位偏低，已添加", "冷却液冰点不足，建议更换防冻液"},
    {"发动机舱", "蓄电池", "蓄电池电压偏低", "蓄电池老化，启动无力，建议更换"},
    {"发动机舱", "发动机皮带", "皮带有细小裂纹", "发电机皮带开裂，建议更换"},
    {"发动机舱", "空气滤清器", "滤芯较脏，已吹净", "空气滤芯堵塞，建议更换"},
    {"底盘", "减震器", "后减震器有油迹", "前减震器漏油，建议更换"},
    {"底盘", "转向拉杆球头", "球头防尘套老化", "下摆臂球头松旷，建议更换"},
    {"底盘", "排气管", "排气管吊胶老化", "排气管锈穿，建议检修"},
    {"车内", "空调", "空调出风有异味", "空调不制冷，建议检修空调系统"},
    {"车内", "仪表故障灯", "保养提示灯亮，已复位", "发动机故障灯亮，建议诊断"},
};

constexpr const char* kPauseReasons[] = {"等配件", "等客户确认", "午休", "换工位", "等试车"};
constexpr const char* kChecker = "老李";  // the demo's checker account
constexpr const char* kClerk = "小王";    // the demo's clerk account

// The commission rules by category code: 比例 is percent of labour, 工时 per standard hour.
struct RuleTemplate {
  const char* code;
  const char* kind;
  double rate;
};
constexpr RuleTemplate kRules[] = {{"01", "比例", 15},  {"02", "比例", 20}, {"03", "比例", 18},
                                   {"04", "工时", 30},  {"05", "工时", 35}, {"06", "比例", 12},
                                   {"07", "比例", 10.5}};

constexpr int64_t kDayStart = 8 * 60 + 30;  // minutes after midnight
constexpr int64_t kDayEnd = 17 * 60 + 30;
constexpr int64_t kNowMinute = 16 * 60;  // on the reference date

std::string TimeText(int64_t day, int64_t minute) {
  day += minute / 1440;
  minute %= 1440;
  char text[16];
  std::snprintf(text, sizeof text, " %02d:%02d:%02d", static_cast<int>(minute / 60),
                static_cast<int>(minute % 60), 0);
  return DemoDateOfDay(day).Text() + text;
}

class FloorWriter {
 public:
  FloorWriter(db::IDatabase& db, const DemoFloor& floor, std::string& error)
      : db_(db), floor_(floor), error_(error), random_(floor.seed ^ 0x2545f4914f6cdd1dULL) {}

  FloorCounts Run() {
    Checklist();
    Rules();
    BulkInserter job(db_, "ws_job", {"单据明细ID", "单据ID", "状态", "原因", "检验人", "更新时间"},
                     error_);
    BulkInserter tech(
        db_, "ws_job_tech",
        {"派工ID", "单据明细ID", "单据ID", "雇员ID", "计划工时", "派工人", "派工时间"}, error_);
    BulkInserter clock(
        db_, "ws_clock",
        {"记录ID", "雇员ID", "单据明细ID", "单据ID", "开始时间", "结束时间", "工时", "原因"},
        error_);
    job_ = &job;
    tech_ = &tech;
    clock_ = &clock;
    for (const FloorOrder& order : floor_.orders) {
      for (const FloorLine& line : order.lines) Line(order, line);
    }
    Examinations();
    return counts_;
  }

 private:
  struct Worker {
    const FloorTechnician* technician;
    double planned;
  };

  // The technician of the pool free first on that day; nullptr when all are booked up.
  const FloorTechnician* FreeTechnician(bool bodyShop, int64_t day,
                                        const FloorTechnician* besides) {
    const FloorTechnician* best = nullptr;
    int64_t bestMinute = kDayEnd;
    for (const FloorTechnician& t : floor_.technicians) {
      if (t.bodyShop != bodyShop || &t == besides) continue;
      const int64_t minute = Cursor(t.id, day);
      if (minute < bestMinute) {
        best = &t;
        bestMinute = minute;
      }
    }
    return best;
  }

  int64_t& Cursor(int64_t technician, int64_t day) {
    auto [entry, added] = cursor_.try_emplace({technician, day}, 0);
    if (added) entry->second = kDayStart + random_.Between(0, 40);
    return entry->second;
  }

  void Line(const FloorOrder& order, const FloorLine& line) {
    const auto hours = floor_.standardHours.find(line.itemId);
    const double standard = (hours == floor_.standardHours.end() ? 1.0 : hours->second) *
                            static_cast<double>(line.quantity);
    const int64_t day = order.arrivalDay;
    const int64_t age = floor_.lastDay - day;
    const bool checked = order.checkDay >= 0;
    // The newest unchecked orders still wait for hands now and then.
    if (!checked && age <= 1 && random_.Chance(0.3)) return;
    const FloorTechnician* first = FreeTechnician(order.bodyShop, day, nullptr);
    if (!first) return;  // the floor was full that day: the line never reached it
    std::vector<Worker> workers = {{first, standard}};
    if (standard >= 3 && random_.Chance(0.4)) {
      if (const FloorTechnician* second = FreeTechnician(order.bodyShop, day, first)) {
        const double share = std::round(standard * 6) / 10;
        workers = {{first, share}, {second, std::round((standard - share) * 10) / 10}};
      }
    }

    // What became of the line: a checked order's lines are done; an open order's are at any
    // stage, the newest mostly still in the workshop.
    enum class Stage { InRepair, Running, Paused, Done, Checked } stage = Stage::Checked;
    if (checked) {
      stage = random_.Chance(0.9) ? Stage::Checked : Stage::Done;
    } else if (age <= 1) {
      const double r = random_.Unit();
      stage = r < 0.4   ? Stage::Running
              : r < 0.6 ? Stage::Paused
              : r < 0.8 ? Stage::Done
                        : Stage::InRepair;
    } else {
      const double r = random_.Unit();
      stage = r < 0.55 ? Stage::Done : r < 0.85 ? Stage::Checked : Stage::Paused;
    }

    const int64_t dispatchMinute = Cursor(first->id, day) - random_.Between(5, 30);
    reached_.insert(order.orderId);
    for (const Worker& w : workers) {
      tech_->Id(++dispatchId_)
          .Id(line.lineId)
          .Id(order.orderId)
          .Id(w.technician->id)
          .Num(w.planned)
          .Text(kClerk)
          .Text(TimeText(day, dispatchMinute))
          .Row();
      ++counts_.dispatches;
    }

    int64_t lastEnd = dispatchMinute;
    std::string reason;
    for (const Worker& w : workers) {
      int64_t& cursor = Cursor(w.technician->id, day);
      int64_t start = cursor;
      const int64_t minutes =
          std::max<int64_t>(10, std::llround(w.planned * 60 * (0.75 + 0.6 * random_.Unit())));
      if (stage == Stage::InRepair) break;
      if (stage == Stage::Running) {
        // One running job per technician, started before now.
        const bool today = day == floor_.lastDay;
        if (!today || start >= kNowMinute || !running_.insert(w.technician->id).second) {
          stage = Stage::InRepair;
          break;
        }
        Clock(w.technician->id, order, line, day, start, -1, "");
        cursor = kDayEnd;
        continue;
      }
      // A job stopped half way once in a while, and taken up again after the wait (but a
      // paused line stays stopped).
      const bool interrupted = stage == Stage::Paused || random_.Chance(0.15);
      if (interrupted) {
        const int64_t part = std::max<int64_t>(5, minutes * random_.Between(30, 70) / 100);
        reason = kPauseReasons[random_.Below(std::size(kPauseReasons))];
        Clock(w.technician->id, order, line, day, start, start + part, reason);
        start += part;
        if (stage == Stage::Paused) {
          cursor = start + 5;
          lastEnd = std::max(lastEnd, start);
          continue;
        }
        start += random_.Between(20, 90);
        Clock(w.technician->id, order, line, day, start, start + minutes - part, "");
        start += minutes - part;
      } else {
        Clock(w.technician->id, order, line, day, start, start + minutes, "");
        start += minutes;
      }
      cursor = start + random_.Between(5, 20);
      lastEnd = std::max(lastEnd, start);
    }

    const char* state = "在修";
    std::string why;
    std::string checker;
    int64_t changed = lastEnd;
    switch (stage) {
      case Stage::InRepair:
      case Stage::Running:
        break;
      case Stage::Paused:
        state = "暂停";
        why = reason;
        break;
      case Stage::Done:
        state = "完工";
        break;
      case Stage::Checked:
        state = "已检验";
        checker = kChecker;
        changed += random_.Between(10, 60);
        break;
    }
    job_->Id(line.lineId)
        .Id(order.orderId)
        .Text(state)
        .Text(why)
        .Text(checker)
        .Text(TimeText(day, changed))
        .Row();
  }

  // A closed record when `end` is not negative; hours to the hundredth, as the floor keeps them.
  void Clock(int64_t technician, const FloorOrder& order, const FloorLine& line, int64_t day,
             int64_t start, int64_t end, const std::string& reason) {
    clock_->Id(++clockId_).Id(technician).Id(line.lineId).Id(order.orderId);
    clock_->Text(TimeText(day, start));
    if (end < 0) {
      clock_->Text("").Num(0);
    } else {
      clock_->Text(TimeText(day, end))
          .Num(std::round(static_cast<double>(end - start) / 0.6) / 100);
    }
    clock_->Text(reason).Row();
    ++counts_.clockRecords;
  }

  void Checklist() {
    BulkInserter insert(db_, "ws_check_item", {"项目ID", "序号", "名称", "分组", "停用"}, error_);
    int64_t id = 0;
    for (const CheckItemTemplate& item : kChecklist) {
      ++id;
      insert.Id(id).Num(static_cast<double>(id) * 10).Text(item.name).Text(item.group).Num(0).Row();
    }
  }

  void Rules() {
    BulkInserter insert(db_, "ws_commission_rule",
                        {"维修分类ID", "方式", "比率", "修改人", "修改时间"}, error_);
    for (const RuleTemplate& rule : kRules) {
      const auto found =
          std::find(floor_.categoryCodes.begin(), floor_.categoryCodes.end(), rule.code);
      if (found == floor_.categoryCodes.end()) continue;
      insert.Id(found - floor_.categoryCodes.begin() + 1)
          .Text(rule.kind)
          .Num(rule.rate)
          .Text("店主")
          .Text(TimeText(floor_.lastDay - kFloorDays, 9 * 60))
          .Row();
    }
  }

  // Walk-around examinations of a share of the orders on the floor, with the lines they suggested
  // and the customers' answers.
  void Examinations() {
    BulkInserter finding(db_, "ws_finding",
                         {"检验ID", "单据ID", "项目ID", "结果", "说明", "检验人", "检验时间"},
                         error_);
    BulkInserter suggestion(
        db_, "ws_suggestion",
        {"建议ID", "单据ID", "检验ID", "说明", "状态", "同意人", "同意时间", "登记人"}, error_);
    int64_t findingId = 0;
    int64_t suggestionId = 0;
    for (const FloorOrder& order : floor_.orders) {
      // Cars that reached the floor; one in two is walked round.
      if (!reached_.count(order.orderId) || !random_.Chance(0.5)) continue;
      const FloorTechnician& examiner =
          floor_.technicians[random_.Below(floor_.technicians.size())];
      int64_t minute = kDayStart + random_.Between(0, 30);
      int64_t item = 0;
      for (const CheckItemTemplate& check : kChecklist) {
        ++item;
        const double r = random_.Unit();
        const char* verdict = r < 0.85 ? "OK" : r < 0.95 ? "注意" : "需维修";
        const std::string note = r < 0.85 ? "" : r < 0.95 ? check.attention : check.repair;
        finding.Id(++findingId)
            .Id(order.orderId)
            .Id(item)
            .Text(verdict)
            .Text(note)
            .Text(examiner.name)
            .Text(TimeText(order.arrivalDay, minute++))
            .Row();
        ++counts_.findings;
        if (r < 0.95) continue;
        const bool answered = order.checkDay >= 0 || random_.Chance(0.5);
        const bool agreed = random_.Chance(0.6);
        suggestion.Id(++suggestionId).Id(order.orderId).Id(findingId).Text(note);
        if (!answered) {
          suggestion.Text("建议").Text("").Text("").Text("").Row();
          continue;
        }
        suggestion.Text(agreed ? "同意" : "不做")
            .Text(agreed ? "车主" : "")
            .Text(TimeText(order.arrivalDay, minute + 60))
            .Text(kClerk)
            .Row();
      }
    }
  }

  db::IDatabase& db_;
  const DemoFloor& floor_;
  std::string& error_;
  DemoRandom random_;
  FloorCounts counts_;
  BulkInserter* job_ = nullptr;
  BulkInserter* tech_ = nullptr;
  BulkInserter* clock_ = nullptr;
  int64_t dispatchId_ = 0;
  int64_t clockId_ = 0;
  std::map<std::pair<int64_t, int64_t>, int64_t> cursor_;  // (technician, day) -> minute
  std::set<int64_t> running_;
  std::set<int64_t> reached_;  // orders with a dispatched line
};

}  // namespace

double DemoStandardHours(int yuan) {
  return std::clamp(std::round(yuan / 10.0) / 10.0, 0.2, 40.0);
}

FloorCounts WriteDemoFloor(db::IDatabase& db, const DemoFloor& floor, std::string& error) {
  if (!error.empty()) return {};
  return FloorWriter(db, floor, error).Run();
}

}  // namespace ws::shop
