#include "pages.h"

#include <cstdio>

#include "platform/html_text.h"

namespace ws::serve {

namespace {

std::string Hours(double hours) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", hours);
  return text;
}

std::string Head(const std::string& title) {
  return "<!doctype html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>" +
         Escaped(title) +
         " · 车间</title><link rel=\"stylesheet\" href=\"/static/app.css\">"
         "<script src=\"/static/app.js\" defer></script></head><body>";
}

std::string Hidden(const std::string& csrf) {
  return "<input type=\"hidden\" name=\"csrf\" value=\"" + Escaped(csrf) + "\">";
}

std::string Top(const PageFrame& frame, const std::string& title) {
  std::string html = Head(title);
  html += "<header><a class=\"brand\" href=\"/board\">车间看板</a><span class=\"who\">" +
          Escaped(frame.name) +
          "</span><form method=\"post\" action=\"/logout\" class=\"logout\">" + Hidden(frame.csrf) +
          "<button type=\"submit\">退出</button></form></header><main>";
  if (!frame.flash.empty()) {
    html += std::string("<p class=\"flash") + (frame.flashIsError ? " error" : "") +
            "\" role=\"status\">" + Escaped(frame.flash) + "</p>";
  }
  return html;
}

const char* StateClass(workshop::JobState state) {
  switch (state) {
    case workshop::JobState::Waiting:
      return "waiting";
    case workshop::JobState::InRepair:
      return "working";
    case workshop::JobState::Paused:
      return "paused";
    case workshop::JobState::Done:
      return "done";
    case workshop::JobState::Checked:
      return "checked";
  }
  return "waiting";
}

std::string Badge(const workshop::JobLine& line) {
  std::string html = std::string("<span class=\"badge ") + StateClass(line.state) + "\">" +
                     workshop::StateName(line.state) + "</span>";
  if (line.state == workshop::JobState::Paused && !line.reason.empty()) {
    html += "<span class=\"reason\">" + Escaped(line.reason) + "</span>";
  }
  return html;
}

std::string TechnicianNames(const workshop::JobLine& line) {
  std::string names;
  for (const auto& t : line.technicians) {
    names += (names.empty() ? "" : "、") + Escaped(t.name) + (t.runningSince.empty() ? "" : "●");
  }
  return names.empty() ? "—" : names;
}

std::string Card(const workshop::JobLine& line) {
  return "<a class=\"card\" href=\"/job/" + std::to_string(line.lineId) +
         "\"><div class=\"row\"><strong>" +
         Escaped(line.plate.empty() ? "（无车牌）" : line.plate) + "</strong>" + Badge(line) +
         "</div><div class=\"item\">" + Escaped(line.itemName) +
         (line.note.empty() ? "" : "<small>" + Escaped(line.note) + "</small>") +
         "</div><div class=\"meta\"><span>" + Escaped(line.orderNo) + "</span><span>" +
         Escaped(line.vehicle) + "</span><span>标准 " + Hours(line.standardHours) + " 时 · 已计 " +
         Hours(line.clockedHours) + " 时</span><span>技师 " + TechnicianNames(line) +
         "</span></div></a>";
}

}  // namespace

std::string Escaped(std::string_view text) {
  return platform::HtmlEscaped(text);
}

std::string LoginPage(const std::string& csrf, const std::string& message,
                      const std::string& userName) {
  std::string html = Head("登录");
  html +=
      "<main class=\"login\"><h1>车间登录</h1>"
      "<form method=\"post\" action=\"/login\" autocomplete=\"off\">" +
      Hidden(csrf);
  if (!message.empty())
    html += "<p class=\"flash error\" role=\"alert\">" + Escaped(message) + "</p>";
  html += "<label>账户<input name=\"user\" required maxlength=\"32\" value=\"" + Escaped(userName) +
          "\" autocapitalize=\"off\"></label><label>密码<input name=\"password\" "
          "type=\"password\" required maxlength=\"1024\"></label><button type=\"submit\" "
          "class=\"primary\">登录</button></form></main></body></html>";
  return html;
}

std::string BoardPage(const PageFrame& frame, const std::vector<workshop::JobLine>& mine,
                      const std::vector<workshop::JobLine>& open, bool isTechnician) {
  std::string html = Top(frame, "看板");
  if (isTechnician) {
    html += "<section><h2>我的工作 <small>" + std::to_string(mine.size()) + " 项</small></h2>";
    if (mine.empty()) html += "<p class=\"empty\">现在没有派给你的工作。</p>";
    html += "<div class=\"cards\">";
    for (const auto& line : mine) html += Card(line);
    html += "</div></section>";
  }
  html += "<section><h2>本店待修项目 <small>" + std::to_string(open.size()) + " 项</small></h2>";
  if (open.empty()) html += "<p class=\"empty\">没有待修的项目。</p>";
  html += "<div class=\"cards\">";
  for (const auto& line : open) html += Card(line);
  html += "</div></section></main></body></html>";
  return html;
}

std::string JobPage(const PageFrame& frame, const workshop::JobLine& job,
                    const std::vector<workshop::ClockRecord>& records, int64_t me, bool mayClock) {
  std::string html = Top(frame, job.itemName);
  const std::string base = "/job/" + std::to_string(job.lineId);
  html += "<section class=\"job\"><h1>" + Escaped(job.itemName) + " " + Badge(job) +
          "</h1><dl><dt>工单</dt><dd>" + Escaped(job.orderNo) + "</dd><dt>车辆</dt><dd>" +
          Escaped(job.plate) + " " + Escaped(job.vehicle) + "</dd><dt>进厂</dt><dd>" +
          Escaped(job.arrival) + "</dd><dt>说明</dt><dd>" +
          Escaped(job.note.empty() ? "—" : job.note) + "</dd><dt>标准工时</dt><dd>" +
          Hours(job.standardHours) + " 时</dd><dt>已计工时</dt><dd>" + Hours(job.clockedHours) +
          " 时</dd><dt>技师</dt><dd>" + TechnicianNames(job) + "</dd></dl>";
  bool mine = false;
  bool running = false;
  for (const auto& t : job.technicians) {
    if (t.employeeId == me) {
      mine = true;
      running = !t.runningSince.empty();
      if (running) html += "<p class=\"running\">计时中，自 " + Escaped(t.runningSince) + " 起</p>";
    }
  }
  const bool open =
      job.state == workshop::JobState::InRepair || job.state == workshop::JobState::Paused;
  if (mayClock && mine && open) {
    html += "<div class=\"actions\">";
    if (!running) {
      html += "<form method=\"post\" action=\"" + base + "/on\">" + Hidden(frame.csrf) +
              "<button type=\"submit\" class=\"primary big\">开工</button></form>";
    } else {
      html += "<form method=\"post\" action=\"" + base + "/pause\" class=\"pause\">" +
              Hidden(frame.csrf) +
              "<label>暂停原因<select name=\"reason\" id=\"reason\">"
              "<option>等配件</option><option>等客户确认</option><option>午休</option>"
              "<option>下班</option><option value=\"\">其他（请填写）</option></select></label>"
              "<input name=\"other\" id=\"other\" maxlength=\"60\" placeholder=\"其他原因\">"
              "<button type=\"submit\" class=\"big\">暂停</button></form>";
    }
    html += "<form method=\"post\" action=\"" + base +
            "/finish\" data-confirm=\"确认这条项目已完工？\">" + Hidden(frame.csrf) +
            "<button type=\"submit\" class=\"big done\">完工</button></form>";
    html += "</div>";
  }
  html += "<p><a class=\"button\" href=\"/examine/" + std::to_string(job.orderId) +
          "\">车检（本工单）</a></p>";
  html += "<h2>计时记录</h2>";
  if (records.empty()) {
    html += "<p class=\"empty\">还没有计时。</p>";
  } else {
    html +=
        "<table><thead><tr><th>技师</th><th>开始</th><th>结束</th><th>工时</th><th>原因</th>"
        "</tr></thead><tbody>";
    for (const auto& r : records) {
      html += "<tr><td>" + Escaped(r.name) + "</td><td>" + Escaped(r.start.substr(5, 11)) +
              "</td><td>" + Escaped(r.end.empty() ? "进行中" : r.end.substr(5, 11)) + "</td><td>" +
              Hours(r.hours) + "</td><td>" + Escaped(r.reason) + "</td></tr>";
    }
    html += "</tbody></table>";
  }
  html += "</section></main></body></html>";
  return html;
}

std::string ExaminationPage(const PageFrame& frame, int64_t orderId, const std::string& orderNo,
                            const std::string& plate,
                            const std::vector<workshop::Finding>& findings,
                            const std::vector<workshop::Suggestion>& suggestions, bool mayExamine) {
  std::string html = Top(frame, "车检 " + orderNo);
  html += "<section><h1>车检 <small>" + Escaped(orderNo) + " · " + Escaped(plate) + "</small></h1>";
  if (findings.empty()) html += "<p class=\"empty\">本店还没有设检查项目。</p>";
  for (const auto& f : findings) {
    html +=
        "<form class=\"finding\" method=\"post\" enctype=\"multipart/form-data\" "
        "action=\"/examine/" +
        std::to_string(orderId) + "/item/" + std::to_string(f.item.id) + "\">" +
        Hidden(frame.csrf) + "<h3>" + Escaped(f.item.name) +
        (f.item.group.empty() ? "" : " <small>" + Escaped(f.item.group) + "</small>") +
        "</h3><div class=\"verdicts\">";
    for (const char* verdict : {"OK", "注意", "需维修"}) {
      const std::string v = verdict;
      html += "<label class=\"verdict\"><input type=\"radio\" name=\"verdict\" value=\"" + v +
              "\" required" + (f.verdict == v ? " checked" : "") + (mayExamine ? "" : " disabled") +
              "><span>" + v + "</span></label>";
    }
    html +=
        "</div><textarea name=\"note\" maxlength=\"500\" rows=\"2\" "
        "placeholder=\"说明（需维修时必填）\"" +
        std::string(mayExamine ? "" : " disabled") + ">" + Escaped(f.note) + "</textarea>";
    if (!f.photos.empty()) {
      html += "<div class=\"photos\">";
      for (const auto& p : f.photos) {
        html += "<a href=\"/photo/" + Escaped(p.fileName) + "\"><img src=\"/photo/" +
                Escaped(p.fileName) + "\" alt=\"照片\" loading=\"lazy\"></a>";
      }
      html += "</div>";
    }
    if (mayExamine) {
      html +=
          "<div class=\"row\"><label class=\"photo button\"><span>拍照 / 选照片</span><input "
          "type=\"file\" name=\"photo\" accept=\"image/jpeg,image/png\" "
          "capture=\"environment\"></label><button type=\"submit\" "
          "class=\"primary\">保存</button></div>";
    }
    if (!f.examiner.empty()) {
      html += "<p class=\"meta\">" + Escaped(f.examiner) + " · " + Escaped(f.time) + "</p>";
    }
    html += "</form>";
  }
  html += "<h2>建议项目</h2>";
  if (suggestions.empty()) {
    html += "<p class=\"empty\">没有建议项目。</p>";
  } else {
    html += "<ul class=\"suggestions\">";
    for (const auto& s : suggestions) {
      html += "<li><strong>" + Escaped(s.item) + "</strong> " + Escaped(s.note) +
              " <span class=\"badge\">" + Escaped(s.state) + "</span>" +
              (s.agreedBy.empty()
                   ? ""
                   : " <small>" + Escaped(s.agreedBy) + " " + Escaped(s.agreedAt) + "</small>") +
              "</li>";
    }
    html += "</ul>";
  }
  html += "</section></main></body></html>";
  return html;
}

std::string ErrorPage(int status, const std::string& message) {
  return Head("出错了") + "<main><h1>" + std::to_string(status) + "</h1><p>" + Escaped(message) +
         "</p><p><a class=\"button\" href=\"/board\">回到看板</a></p></main></body></html>";
}

std::string_view StyleSheet() {
  return R"css(
*{box-sizing:border-box}
body{margin:0;font-family:"WenQuanYi Micro Hei","Noto Sans CJK SC","Source Han Sans SC",sans-serif;
 font-size:17px;line-height:1.45;color:#1d2733;background:#eef1f4}
header{display:flex;align-items:center;gap:12px;padding:10px 14px;background:#23395d;color:#fff}
header .brand{color:#fff;font-weight:bold;text-decoration:none;font-size:19px}
header .who{margin-left:auto}
header button{background:transparent;color:#fff;border:1px solid #9fb3d1;padding:6px 12px}
main{max-width:1000px;margin:0 auto;padding:12px}
h1{font-size:22px;margin:8px 0 12px}h2{font-size:19px;margin:18px 0 8px}
h1 small,h2 small,h3 small{color:#5b6b7c;font-weight:normal;font-size:15px}
.cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(300px,1fr));gap:10px}
.card{display:block;background:#fff;border-radius:10px;padding:12px;color:inherit;text-decoration:none;
 box-shadow:0 1px 3px rgba(0,0,0,.12)}
.card .row{display:flex;justify-content:space-between;align-items:center;gap:8px}
.card .item{font-size:18px;margin:4px 0}.card .item small{display:block;color:#5b6b7c;font-size:14px}
.meta{display:flex;flex-wrap:wrap;gap:4px 12px;color:#5b6b7c;font-size:14px}
.badge{display:inline-block;padding:2px 10px;border-radius:12px;font-size:14px;background:#d9dee4}
.badge.waiting{background:#e6e9ee}.badge.working{background:#cde8d4;color:#14532d}
.badge.paused{background:#fde7c2;color:#7a4100}.badge.done{background:#cfe0fb;color:#123d7a}
.badge.checked{background:#e2d6f7;color:#3d1f73}
.reason{margin-left:6px;color:#7a4100;font-size:14px}
.flash{padding:10px 12px;border-radius:8px;background:#d9f0df}.flash.error{background:#fbdcdc;color:#7d1212}
.empty{color:#5b6b7c}
button,.button{font:inherit;padding:10px 18px;border-radius:8px;border:1px solid #9aa7b5;background:#fff;
 color:#1d2733;text-decoration:none;display:inline-block;cursor:pointer}
button.primary{background:#1f6feb;color:#fff;border-color:#1f6feb}
button.big{font-size:20px;padding:14px 26px;min-width:140px}
button.done{background:#1a7f37;color:#fff;border-color:#1a7f37}
.actions{display:flex;flex-wrap:wrap;gap:12px;align-items:flex-end;margin:14px 0}
.actions form{display:flex;flex-wrap:wrap;gap:8px;align-items:flex-end}
label{display:flex;flex-direction:column;gap:4px;font-size:15px}
input,select,textarea{font:inherit;padding:9px;border:1px solid #9aa7b5;border-radius:8px;background:#fff;width:100%}
.login{max-width:380px;margin-top:40px}.login form{display:flex;flex-direction:column;gap:14px;
 background:#fff;padding:18px;border-radius:12px}
dl{display:grid;grid-template-columns:6em 1fr;gap:4px 10px;background:#fff;padding:12px;border-radius:10px}
dt{color:#5b6b7c}dd{margin:0}
.running{background:#cde8d4;padding:8px 12px;border-radius:8px}
table{width:100%;border-collapse:collapse;background:#fff;border-radius:10px;overflow:hidden;font-size:15px}
th,td{padding:8px;border-bottom:1px solid #e3e7ec;text-align:left}
.finding{background:#fff;border-radius:10px;padding:12px;margin-bottom:10px;display:flex;flex-direction:column;gap:8px}
.finding h3{margin:0;font-size:18px}
.verdicts{display:flex;gap:8px}.verdict{flex:1;flex-direction:row;align-items:center;justify-content:center;
 border:1px solid #9aa7b5;border-radius:8px;padding:8px;gap:6px}
.verdict input{width:auto}
.finding .row{display:flex;gap:10px;align-items:center}.finding .row label{flex:1}
.photo{position:relative;text-align:center;flex-direction:row;justify-content:center}
.photo input{position:absolute;left:0;top:0;width:100%;height:100%;opacity:0;cursor:pointer}
.photo.chosen{background:#cde8d4;border-color:#1a7f37}
.photos{display:flex;flex-wrap:wrap;gap:6px}.photos img{width:96px;height:72px;object-fit:cover;border-radius:6px}
.suggestions{background:#fff;border-radius:10px;padding:12px 12px 12px 30px}
@media (max-width:480px){main{padding:8px}.cards{grid-template-columns:1fr}button.big{flex:1}
 .actions form{width:100%}.actions form button{width:100%}}
)css";
}

std::string_view Script() {
  return R"js(
document.addEventListener('change', function (e) {
  var input = e.target;
  if (input.name !== 'photo') return;
  var label = input.closest('label');
  label.classList.toggle('chosen', input.files.length > 0);
  label.querySelector('span').textContent = input.files.length ? '已选：' + input.files[0].name : '拍照 / 选照片';
});
document.addEventListener('submit', function (e) {
  var form = e.target;
  var ask = form.getAttribute('data-confirm');
  if (ask && !window.confirm(ask)) { e.preventDefault(); return; }
  var other = form.querySelector('#other');
  var reason = form.querySelector('#reason');
  if (other && reason && reason.value === '') {
    if (!other.value.trim()) { e.preventDefault(); other.focus(); return; }
  }
  var picked = form.querySelector('input[name=verdict]:checked');
  var note = form.querySelector('textarea[name=note]');
  if (picked && note && picked.value === '需维修' && !note.value.trim()) {
    e.preventDefault(); note.focus(); return;
  }
  form.querySelectorAll('button').forEach(function (b) { b.disabled = true; });
});
)js";
}

}  // namespace ws::serve
