// The examination (车检) of one repair order at the desk: the findings on each checklist item with
// their photos, and the suggested lines (建议项目) with the customer's answer. The clerk records
// the answer here: 同意 (who agreed, and the repair item the suggestion becomes on the order) or
// 不做. A finding's photos open in a viewer from the shop's photo folder.
//
// The photo folder is the one `ws serve` keeps beside a shop file ("<shop>.photos"); a server
// shop's folder (or a file shop's served with --photos elsewhere) is wherever `ws serve --photos`
// points, which the desk cannot know: it asks once and keeps the answer in the login's settings
// ("floor.photos").
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "workshop/examination.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace ws::desk {

class DeskHost;

class ExaminationPanel : public QWidget {
  Q_OBJECT

 public:
  // The host and the examination must outlive the panel.
  ExaminationPanel(DeskHost& host, workshop::Examination& examination, QWidget* parent = nullptr);

  // Shows the order's examination (0: none), read afresh; the selected rows stay where they were
  // when the order is the one shown.
  void ShowOrder(int64_t orderId, const QString& caption);

  QTableWidget& Findings() const { return *findings_; }
  QTableWidget& Suggestions() const { return *suggestions_; }

  // The actions on the selected row.
  void ShowPhotos();
  void Agree();
  void Decline();

  // The photo folder of the shop, asked for once when it cannot be known or is not there; empty
  // when none is given.
  QString PhotoFolder();

 signals:
  // An answer changed the order: the board reads itself again.
  void Changed();

 private:
  void Tell(const std::string& text);
  bool MayAnswer(workshop::Actor* actor);
  const workshop::Suggestion* SelectedSuggestion() const;
  void FollowFinding(int row);

  DeskHost& host_;
  workshop::Examination& examination_;
  int64_t orderId_ = 0;
  std::vector<workshop::Finding> findingRows_;
  std::vector<workshop::Suggestion> suggestionRows_;
  QLabel* caption_;
  QTableWidget* findings_;
  QTableWidget* suggestions_;
  QPushButton* photos_;
  QPushButton* agree_;
  QPushButton* decline_;
};

}  // namespace ws::desk
