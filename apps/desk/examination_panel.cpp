#include "desk/examination_panel.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "db/default_config.h"
#include "desk/desk_host.h"
#include "desk/plain_table.h"
#include "framework/picker_call.h"
#include "platform/accounts.h"
#include "shop/floor/floor_actor.h"

namespace ws::desk {

namespace {

constexpr const char* kTitle = "车检";
constexpr const char* kPhotoSetting = "floor.photos";

QTableWidget* List(const QString& name, const QStringList& headers, QWidget* parent) {
  auto* table = new LineTable(0, static_cast<int>(headers.size()), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(headers);
  table->verticalHeader()->hide();
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setTabKeyNavigation(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  return table;
}

// Keeps the row whose id was current before a reload.
void Restore(QTableWidget& table, int row) {
  if (table.rowCount() == 0) return;
  table.setCurrentCell(std::clamp(row, 0, table.rowCount() - 1), 0);
}

// A finding's photos one at a time, scaled to the window; Left and Right go through them.
class PhotoViewer : public QDialog {
 public:
  PhotoViewer(const QString& folder, const workshop::Finding& finding, QWidget* parent)
      : QDialog(parent), folder_(folder), finding_(finding) {
    setObjectName("PhotoViewer");
    auto* layout = new QVBoxLayout(this);
    picture_ = new QLabel(this);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumSize(320, 240);
    layout->addWidget(picture_, 1);
    caption_ = new QLabel(this);
    layout->addWidget(caption_);
    resize(900, 640);
    Show(0);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Right || event->key() == Qt::Key_PageDown) return Show(at_ + 1);
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_PageUp) return Show(at_ - 1);
    QDialog::keyPressEvent(event);
  }
  void resizeEvent(QResizeEvent* event) override {
    QDialog::resizeEvent(event);
    Scale();
  }

 private:
  void Show(int at) {
    const int count = static_cast<int>(finding_.photos.size());
    if (count == 0) return;
    at_ = (at + count) % count;
    const workshop::Photo& photo = finding_.photos[static_cast<size_t>(at_)];
    setWindowTitle(tr("%1 照片 %2/%3").arg(Q(finding_.item.name)).arg(at_ + 1).arg(count));
    // Only a name the module recorded as one the server made can name a file of the folder.
    const QString path = workshop::IsPhotoName(photo.fileName)
                             ? QDir(folder_).filePath(Q(photo.fileName))
                             : QString();
    pixmap_ = path.isEmpty() ? QPixmap() : QPixmap(path);
    caption_->setText(pixmap_.isNull()
                          ? tr("找不到照片文件 %1（照片文件夹：%2）").arg(path, folder_)
                          : tr("%1　%2　%3　←/→ 翻看，Esc 关闭")
                                .arg(Q(finding_.verdict), Q(finding_.note), Q(finding_.time)));
    Scale();
  }
  void Scale() {
    if (pixmap_.isNull()) {
      picture_->setPixmap({});
      return;
    }
    picture_->setPixmap(
        pixmap_.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }

  QString folder_;
  workshop::Finding finding_;
  QLabel* picture_;
  QLabel* caption_;
  QPixmap pixmap_;
  int at_ = 0;
};

// 同意: who agreed, and the repair item the suggestion becomes on the order, shown with the hours
// and the price it takes before it is written.
class AgreeDialog : public QDialog {
 public:
  AgreeDialog(host::ISystem& system, workshop::Examination& examination,
              const workshop::Suggestion& suggestion, QWidget* parent)
      : QDialog(parent), system_(system), examination_(examination), suggestion_(suggestion) {
    setObjectName("AgreeDialog");
    setWindowTitle(tr("客户同意"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("建议项目"),
                 new QLabel(tr("%1：%2").arg(Q(suggestion.item), Q(suggestion.note)), this));
    agreedBy_ = new QLineEdit(this);
    agreedBy_->setObjectName("agreedBy");
    agreedBy_->setPlaceholderText(tr("如：车主陈先生（电话确认）"));
    form->addRow(tr("同意人(&W)"), agreedBy_);
    auto* row = new QHBoxLayout;
    code_ = new QLineEdit(this);
    code_->setObjectName("itemCode");
    code_->setPlaceholderText(tr("维修项目编码，F4 选择"));
    auto* choose = new QPushButton(tr("选择… (F4)"), this);
    choose->setAutoDefault(false);
    row->addWidget(code_, 1);
    row->addWidget(choose);
    auto* codeLabel = new QLabel(tr("维修项目(&I)"), this);
    codeLabel->setBuddy(code_);
    form->addRow(codeLabel, row);
    preview_ = new QLabel(this);
    preview_->setObjectName("preview");
    form->addRow(tr("加入工单"), preview_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(tr("同意并加入工单"));
    box->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(box);
    connect(choose, &QPushButton::clicked, this, [this] { Pick(true); });
    connect(code_, &QLineEdit::editingFinished, this, [this] { Pick(false); });
    auto* f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
    connect(f4, &QShortcut::activated, this, [this] { Pick(true); });
    Preview();
    resize(560, sizeHint().height());
  }

  std::string AgreedBy() const { return agreedBy_->text().trimmed().toStdString(); }
  int64_t ItemId() const { return itemId_; }

 private:
  // Resolves the typed code as the order's grid does; the picker when it does not resolve or
  // when asked for.
  void Pick(bool show) {
    const std::string typed = code_->text().trimmed().toStdString();
    if (!show && (typed.empty() || typed == shownCode_)) return;
    auto picker = framework::OpenPicker(system_, "pdmxm", db::kOrderProgram);
    if (!picker) return;
    framework::PickedRow row;
    if (!show) row = framework::ResolveTyped(*picker, typed);
    if (!row.found) row = framework::ChooseInPicker(system_, *picker, typed);
    if (row.found) itemId_ = std::stoll(row.value);
    Preview();
  }
  void Preview() {
    if (itemId_ == 0) {
      preview_->setText(tr("请选择维修项目"));
      return;
    }
    std::string error;
    const auto line = examination_.Propose(system_, suggestion_.id, itemId_, &error);
    if (!line) {
      preview_->setText(Q(error));
      itemId_ = 0;
      return;
    }
    shownCode_ = line->code;
    code_->setText(Q(line->code));
    preview_->setText(tr("%1 %2　工时 %3　单价 %4（按工单取价）")
                          .arg(Q(line->code), Q(line->name))
                          .arg(line->hours, 0, 'f', 2)
                          .arg(line->price.ToDouble(), 0, 'f', 2));
  }

  host::ISystem& system_;
  workshop::Examination& examination_;
  workshop::Suggestion suggestion_;
  QLineEdit* agreedBy_;
  QLineEdit* code_;
  QLabel* preview_;
  int64_t itemId_ = 0;
  std::string shownCode_;
};

QColor VerdictColour(const std::string& verdict) {
  if (verdict == workshop::VerdictName(workshop::Verdict::Repair)) return QColor(176, 0, 0);
  if (verdict == workshop::VerdictName(workshop::Verdict::Attention)) return QColor(176, 96, 0);
  return QColor();
}

}  // namespace

ExaminationPanel::ExaminationPanel(DeskHost& host, workshop::Examination& examination,
                                   QWidget* parent)
    : QWidget(parent), host_(host), examination_(examination) {
  setObjectName("ExaminationPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  caption_ = new QLabel(this);
  caption_->setStyleSheet("QLabel { font-weight: bold; }");
  layout->addWidget(caption_);
  findings_ =
      List("findings",
           {tr("检查项目"), tr("结果"), tr("说明"), tr("检验人"), tr("时间"), tr("照片")}, this);
  findings_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  suggestions_ = List(
      "suggestions",
      {tr("建议项目"), tr("说明"), tr("答复"), tr("同意人"), tr("答复时间"), tr("登记人")}, this);
  suggestions_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  connect(findings_, &QAbstractItemView::activated, this, [this] { ShowPhotos(); });
  connect(findings_, &QTableWidget::currentCellChanged, this,
          [this](int row) { FollowFinding(row); });
  connect(suggestions_, &QAbstractItemView::activated, this, [this] { Agree(); });
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(findings_);
  split->addWidget(suggestions_);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);
  auto* buttons = new QHBoxLayout;
  photos_ = new QPushButton(tr("看照片(&P)"), this);
  agree_ = new QPushButton(tr("客户同意(&A)…"), this);
  decline_ = new QPushButton(tr("客户不做(&N)"), this);
  for (auto [button, name] :
       {std::pair{photos_, "photos"}, std::pair{agree_, "agree"}, std::pair{decline_, "decline"}}) {
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(button);
  }
  connect(photos_, &QPushButton::clicked, this, [this] { ShowPhotos(); });
  connect(agree_, &QPushButton::clicked, this, [this] { Agree(); });
  connect(decline_, &QPushButton::clicked, this, [this] { Decline(); });
  auto* hint = new QLabel(tr("Tab 到车检结果或建议项目；双击或回车：照片 / 客户同意"), this);
  hint->setStyleSheet("QLabel { color: #606060; }");
  buttons->addWidget(hint, 1);
  layout->addLayout(buttons);
  ShowOrder(0, {});
}

void ExaminationPanel::ShowOrder(int64_t orderId, const QString& caption) {
  const bool same = orderId == orderId_;
  const int findingRow = same ? findings_->currentRow() : 0;
  const int suggestionRow = same ? suggestions_->currentRow() : 0;
  orderId_ = orderId;
  std::string error;
  findingRows_.clear();
  suggestionRows_.clear();
  if (orderId_ != 0) {
    findingRows_ = examination_.Findings(orderId_, &error);
    if (error.empty()) suggestionRows_ = examination_.Suggestions(orderId_, &error);
  }
  int examined = 0;
  for (const auto& f : findingRows_) examined += f.id != 0 ? 1 : 0;
  caption_->setText(orderId_ == 0    ? tr("车检：未选工单")
                    : !error.empty() ? tr("车检 %1：读取失败：%2").arg(caption, Q(error))
                                     : tr("车检 %1：已检 %2/%3 项，建议项目 %4 项")
                                           .arg(caption)
                                           .arg(examined)
                                           .arg(findingRows_.size())
                                           .arg(suggestionRows_.size()));
  findings_->setRowCount(static_cast<int>(findingRows_.size()));
  for (int r = 0; r < findings_->rowCount(); ++r) {
    const workshop::Finding& f = findingRows_[static_cast<size_t>(r)];
    findings_->setItem(
        r, 0, ReadOnlyCell(Q(f.item.name) + (f.item.retired ? tr("（停用）") : QString())));
    auto* verdict = ReadOnlyCell(f.id == 0 ? tr("未检") : Q(f.verdict));
    if (const QColor c = VerdictColour(f.verdict); c.isValid()) verdict->setForeground(c);
    if (f.id == 0) verdict->setForeground(QColor(128, 128, 128));
    findings_->setItem(r, 1, verdict);
    findings_->setItem(r, 2, ReadOnlyCell(Q(f.note)));
    findings_->setItem(r, 3, ReadOnlyCell(Q(f.examiner)));
    findings_->setItem(r, 4, ReadOnlyCell(Q(f.time.substr(0, 16))));
    findings_->setItem(
        r, 5, ReadOnlyCell(f.photos.empty() ? QString() : QString::number(f.photos.size()), true));
  }
  suggestions_->setRowCount(static_cast<int>(suggestionRows_.size()));
  for (int r = 0; r < suggestions_->rowCount(); ++r) {
    const workshop::Suggestion& s = suggestionRows_[static_cast<size_t>(r)];
    suggestions_->setItem(r, 0, ReadOnlyCell(Q(s.item)));
    suggestions_->setItem(r, 1, ReadOnlyCell(Q(s.note)));
    suggestions_->setItem(
        r, 2, ReadOnlyCell(s.lineId != 0 ? tr("%1（已加入工单）").arg(Q(s.state)) : Q(s.state)));
    suggestions_->setItem(r, 3, ReadOnlyCell(Q(s.agreedBy)));
    suggestions_->setItem(r, 4, ReadOnlyCell(Q(s.agreedAt.substr(0, 16))));
    suggestions_->setItem(r, 5, ReadOnlyCell(Q(s.clerk)));
  }
  for (QTableWidget* table : {findings_, suggestions_}) {
    for (int c = 0; c < table->columnCount(); ++c) {
      if (table->horizontalHeader()->sectionResizeMode(c) != QHeaderView::Stretch) {
        table->resizeColumnToContents(c);
      }
    }
  }
  Restore(*findings_, findingRow);
  // Re-read every few seconds: the right-hand cursor stays where the clerk put it while he
  // works on that side, and follows the finding otherwise.
  if (suggestions_->hasFocus()) {
    Restore(*suggestions_, suggestionRow);
  } else {
    FollowFinding(findings_->currentRow());
  }
}

const workshop::Suggestion* ExaminationPanel::SelectedSuggestion() const {
  const int row = suggestions_->currentRow();
  if (row < 0 || row >= static_cast<int>(suggestionRows_.size())) return nullptr;
  return &suggestionRows_[static_cast<size_t>(row)];
}

// 客户同意 and 客户不做 answer the suggestion under the right-hand cursor: a finding chosen on
// the left takes that cursor to its own suggestion, or off every one, so that a cursor left on
// another finding's suggestion never puts that one on the order.
void ExaminationPanel::FollowFinding(int row) {
  int match = -1;
  if (row >= 0 && row < static_cast<int>(findingRows_.size())) {
    const int64_t findingId = findingRows_[static_cast<size_t>(row)].id;
    for (size_t i = 0; findingId != 0 && i < suggestionRows_.size(); ++i) {
      if (suggestionRows_[i].findingId == findingId) match = static_cast<int>(i);
    }
  }
  if (match >= 0) {
    suggestions_->setCurrentCell(match, 0);
  } else {
    suggestions_->setCurrentCell(-1, -1);
  }
}

void ExaminationPanel::Tell(const std::string& text) {
  host_.Dialogs().MessageBox(text, kTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
}

bool ExaminationPanel::MayAnswer(workshop::Actor* actor) {
  if (!host_.System().PermitRight(platform::Right::Enter, "登记客户答复")) return false;
  const host::LoginInfo login = host_.Login();
  *actor = shop::FloorActor(login.userName, {platform::Right::Enter}, 0, login.frontEnd);
  return true;
}

QString ExaminationPanel::PhotoFolder() {
  host::ISettingsStore& settings = host_.System().UserSettings();
  QString folder = Q(shop::PhotoFolder(host_.ShopName(), settings.Get(kPhotoSetting, "")));
  // A shop file served with --photos elsewhere has no folder beside it: asked as a server's.
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  folder = QFileDialog::getExistingDirectory(
      this, tr("照片文件夹（ws serve --photos 所指的文件夹）"), folder);
  if (!folder.isEmpty()) settings.Set(kPhotoSetting, folder.toStdString());
  return folder;
}

void ExaminationPanel::ShowPhotos() {
  const int row = findings_->currentRow();
  if (row < 0 || row >= static_cast<int>(findingRows_.size())) return;
  const workshop::Finding finding = findingRows_[static_cast<size_t>(row)];
  if (finding.photos.empty()) return Tell("这项检查没有照片");
  const QString folder = PhotoFolder();
  if (folder.isEmpty()) return;
  PhotoViewer viewer(folder, finding, this);
  viewer.exec();
}

void ExaminationPanel::Agree() {
  const workshop::Suggestion* selected = SelectedSuggestion();
  if (!selected) return Tell("请先选中一条建议项目");
  if (selected->state != "建议") return Tell("这项建议已答复：" + selected->state);
  const workshop::Suggestion suggestion = *selected;
  workshop::Actor actor;
  if (!MayAnswer(&actor)) return;
  AgreeDialog dialog(host_.System(), examination_, suggestion, this);
  while (dialog.exec() == QDialog::Accepted) {
    const std::string refusal = examination_.AgreeAsLine(actor, host_.System(), suggestion.id,
                                                         dialog.AgreedBy(), dialog.ItemId());
    if (refusal.empty()) {
      emit Changed();
      return;
    }
    Tell(dialog.ItemId() == 0 ? "请选择维修项目" : refusal);
  }
}

void ExaminationPanel::Decline() {
  const workshop::Suggestion* selected = SelectedSuggestion();
  if (!selected) return Tell("请先选中一条建议项目");
  const workshop::Suggestion suggestion = *selected;
  workshop::Actor actor;
  if (!MayAnswer(&actor)) return;
  // A declined suggestion is not offered again: Enter and Esc keep it, only 是 declines.
  if (host_.Dialogs().Ask("客户不做“" + suggestion.item + "：" + suggestion.note + "”？", kTitle,
                          host::MsgButtons::YesNo, host::MsgIcon::Question,
                          host::MsgAnswer::No) != host::MsgAnswer::Yes) {
    return;
  }
  if (const std::string refusal = examination_.Answer(actor, suggestion.id, false, "");
      !refusal.empty()) {
    return Tell(refusal);
  }
  emit Changed();
}

}  // namespace ws::desk
