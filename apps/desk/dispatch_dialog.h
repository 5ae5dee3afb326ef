// 派工: puts a labour line in the hands of one or more technicians, each with the hours planned
// for him (the item's standard hours unless typed). The technicians already on the line come
// ticked with their planned hours; what a technician is on the clock for now stands beside him.
// Space ticks a technician, typing a number in 计划工时 changes his hours (kept with two
// decimals), Enter dispatches, from the cell being typed too; the module's refusal is told and
// the dialog stays.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "workshop/floor.h"

class QTableWidget;

namespace ws::desk {

class DispatchDialog : public QDialog {
  Q_OBJECT

 public:
  using Choice = std::vector<std::pair<int64_t, double>>;
  enum Column { kTick, kCode, kPlanned, kBusy, kCount };

  // busy: what each technician is on the clock for now, as the board shows it.
  DispatchDialog(const workshop::JobLine& line,
                 const std::vector<workshop::Technician>& technicians,
                 const std::map<int64_t, std::string>& busy, QWidget* parent = nullptr);

  // What dispatching does: answers the refusal, empty when done.
  void SetApply(std::function<std::string(const Choice&)> apply) { apply_ = std::move(apply); }
  void SetTell(std::function<void(const std::string&)> tell) { tell_ = std::move(tell); }

  QTableWidget& Technicians() const { return *table_; }
  // The technicians ticked with their hours; *problem names a row whose hours do not read.
  Choice Chosen(std::string* problem) const;

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<workshop::Technician> technicians_;
  QTableWidget* table_;
  std::function<std::string(const Choice&)> apply_;
  std::function<void(const std::string&)> tell_;
};

}  // namespace ws::desk
