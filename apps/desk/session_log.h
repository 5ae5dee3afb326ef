// The session log: every status message, error and notice the programs raised since the
// login, with the time and the program, shown in a panel of the main window.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

namespace ws::desk {

struct LogEntry {
  QDateTime time;
  QString program;  // the caption of the program that raised it, empty for the host
  QString kind;     // "Message", "ErrMessage", "Notice" ...
  int level = 0;    // ErrMessage level, 0 otherwise
  QString text;
};

class SessionLog : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  void Add(const QString& program, const QString& kind, int level, const QString& text);
  const QVector<LogEntry>& Entries() const { return entries_; }
  // "hh:mm:ss [program] text" as the panel shows an entry.
  static QString Format(const LogEntry& entry);

 signals:
  void Added(const ws::desk::LogEntry& entry);

 private:
  QVector<LogEntry> entries_;
};

}  // namespace ws::desk
