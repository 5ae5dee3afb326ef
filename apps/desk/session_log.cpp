#include "desk/session_log.h"

namespace ws::desk {

void SessionLog::Add(const QString& program, const QString& kind, int level, const QString& text) {
  entries_.push_back(LogEntry{QDateTime::currentDateTime(), program, kind, level, text});
  emit Added(entries_.back());
}

QString SessionLog::Format(const LogEntry& entry) {
  QString line = entry.time.toString("hh:mm:ss");
  if (!entry.program.isEmpty()) line += " [" + entry.program + "]";
  if (entry.kind == "ErrMessage") {
    line += entry.level >= 8 ? QObject::tr(" 错误: ") : QObject::tr(" 提示: ");
  } else {
    line += " ";
  }
  return line + entry.text;
}

}  // namespace ws::desk
