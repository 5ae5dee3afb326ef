#include "desk/grid_view.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

#include "desk/desk_dialogs.h"
#include "desk/grid_columns.h"
#include "forms/input.h"
#include "forms/text.h"

namespace ws::desk {

namespace {

constexpr int kTwipsPerPixel = 15;
// Content sizing reads this many rows: enough to see the widths a column takes, cheap on a
// report of 100,000 rows.
constexpr int kSampledRows = 200;
constexpr int kMinWidth = 36;
// Grids up to this many rows have their totals and unused columns read again on every sync.
constexpr int kLiveRows = 2000;
// A free text (a customer, a note) beyond this is cut rather than pushing the amounts away.
constexpr int kMaxAutoWidth = 240;
constexpr int kCellPadding = 14;
constexpr int kHeaderPadding = 26;  // room for the sort arrow
const char* const kTotalCaption = "合计";
// A tooltip shows a cut text up to this many lines; a longer one (a note of several kB) would
// stand taller than the screen, and the box Space opens scrolls through it whole.
constexpr int kTipLines = 16;
// A rich-text tooltip wraps at about 80 average characters, as a word-wrapped label does; the
// lines are counted at a little less, since a line breaks at a word, not at its last pixel.
constexpr int kTipLineChars = 72;
const QColor kCurrentCellBack(255, 243, 190);

// Draws the current cell unselected on a light ground inside a dark frame, so the clerk sees
// which cell typing goes to, not only which row is current.
class CurrentCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    if (!view || view->currentIndex() != index) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    opt.backgroundBrush = kCurrentCellBack;
    opt.palette.setColor(QPalette::Text, Qt::black);
    view->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);
    painter->save();
    QPen pen(option.palette.color(QPalette::Highlight).darker(150), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
    painter->restore();
  }

  // The option a cell is drawn with, for telling whether its text fits.
  void Describe(QStyleOptionViewItem* option, const QModelIndex& index) const {
    initStyleOption(option, index);
  }

  // A click anywhere in a tick cell ticks, not only on the small box. The press is left to the
  // view, which makes the row current; a double click is taken, so each click is one tick.
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    if (!(index.flags() & Qt::ItemIsUserCheckable)) {
      return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    switch (event->type()) {
      case QEvent::MouseButtonDblClick:
        return true;
      case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
          return false;
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
      }
      default:
        return false;  // Space is the view's: it ticks from any cell of the row
    }
  }
};

// A date, a work-order number or an amount is read whole or not at all.
bool ReadWhole(const ColumnTraits& traits) {
  return traits.date || traits.code || traits.number;
}

// Ids and program numbers are the grid's own business: the header's menu does not offer them.
bool OfferedColumn(const std::string& caption) {
  const std::string_view text = forms::TrimView(caption);
  return !text.empty() && !forms::EndsWith(forms::FoldCase(std::string(text)), "id");
}

// The items of a text that lists them joined by "；", one a line; any other text is one line.
QStringList ItemsOf(const QString& text) {
  QStringList items = text.split(QChar(0xFF1B), Qt::SkipEmptyParts);
  for (QString& item : items) item = item.trimmed();
  items.removeAll(QString());
  return items.isEmpty() ? QStringList{text} : items;
}

// The items a tooltip has room for: whole ones while they fit kTipLines wrapped lines, then the
// start of the next one, or "…" alone when the lines ran out at an item's end.
QStringList TipItems(const QStringList& items, const QFontMetrics& metrics) {
  const int width = std::max(metrics.averageCharWidth() * kTipLineChars, 1);
  const QString more(QChar(0x2026));
  QStringList shown;
  int left = kTipLines;
  for (const QString& item : items) {
    if (left <= 0) {
      shown << more;
      break;
    }
    const int lines = std::max((metrics.horizontalAdvance(item) + width - 1) / width, 1);
    if (lines > left) {
      shown << metrics.elidedText(item, Qt::ElideRight, left * width);
      break;
    }
    shown << item;
    left -= lines;
  }
  return shown;
}

}  // namespace

int TwipsToPixels(int twips) {
  return std::max(twips / kTwipsPerPixel, 0);
}
int PixelsToTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}
int UserWidthTwips(int pixels) {
  return PixelsToTwips(pixels) + 1;
}
bool IsUserWidth(int twips) {
  return twips > 0 && twips % kTwipsPerPixel == 1;
}

// The totals row: drawn cell by cell at the header's section positions, so it follows widths,
// moved and hidden columns and the horizontal scroll without a model of its own.
class GridView::Footer : public QWidget {
 public:
  explicit Footer(GridView& view) : QWidget(&view), view_(view) {
    setObjectName("GridTotals");
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.color(QPalette::Button));
    painter.setPen(colors.color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    const QHeaderView* header = view_.horizontalHeader();
    for (int col = 0; col < header->count(); ++col) {
      if (header->isSectionHidden(col)) continue;
      const QRect cell(header->sectionViewportPosition(col), 1, header->sectionSize(col),
                       height() - 1);
      if (cell.right() < 0 || cell.left() > width()) continue;
      painter.setPen(colors.color(QPalette::Midlight));
      painter.drawLine(cell.topRight(), cell.bottomRight());
      const QString text = view_.TotalText(col);
      if (text.isEmpty()) continue;
      const bool number = col < view_.model_->columnCount() && view_.model_->Traits(col).number &&
                          text != QString::fromUtf8(kTotalCaption);
      painter.setPen(colors.color(QPalette::ButtonText));
      painter.drawText(cell.adjusted(4, 0, -5, 0),
                       (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
    }
  }

 private:
  GridView& view_;
};

GridView::GridView(forms::Grid& grid, forms::Form& form, QWidget* parent)
    : QTableView(parent),
      form_(form),
      model_(new GridModel(grid, this)),
      footer_(new Footer(*this)) {
  setModel(model_);
  setItemDelegate(new CurrentCellDelegate(this));
  setObjectName(QString::fromStdString(grid.LayoutKey()));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                  QAbstractItemView::SelectedClicked);
  setAlternatingRowColors(true);
  setWordWrap(false);
  verticalHeader()->hide();
  // Fixed row heights keep a list of 100,000 rows as cheap as one of ten.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  connect(model_, &GridModel::InputDone, this, &GridView::InputDone);
  // Queued: the editor that handed the text over closes first.
  connect(
      model_, &GridModel::TypedKept, this,
      [this](int gridRow, int col, const QString& text) {
        const int modelRow =
            gridRow >= Grid().Rows() ? model_->rowCount() - 1 : model_->ModelRow(gridRow);
        const QModelIndex index = model_->index(modelRow, col);
        if (!index.isValid()) return;
        setCurrentIndex(index);
        edit(index);
        // The cell's editor is the line edit the view just opened in its viewport.
        for (auto* line : viewport()->findChildren<QLineEdit*>()) {
          if (!line->isVisible()) continue;
          line->setText(text);
          line->setFocus(Qt::OtherFocusReason);
          break;
        }
      },
      Qt::QueuedConnection);
  // A width the user drags is the grid's width: the layout file keeps it, marked as the user's.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    footer_->update();
    if (syncing_ || col >= Grid().Cols() || size <= 0) return;
    Grid().SetColWidth(col, UserWidthTwips(size));
  });
  connect(horizontalHeader(), &QHeaderView::sectionMoved, footer_, [this] { footer_->update(); });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, footer_, [this] { footer_->update(); });
  horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
          &GridView::ShowHeaderMenu);
  // A click on a header sorts a list by that column, ascending first, then descending.
  horizontalHeader()->setSectionsClickable(true);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int col) {
    const int order = col == sortedColumn_ && sortOrder_ == 1 ? 2 : 1;
    forms::InputResult result = forms::Input::SortColumn(Grid(), col, order);
    if (result) {
      sortedColumn_ = col;
      sortOrder_ = order;
      horizontalHeader()->setSortIndicatorShown(true);
      horizontalHeader()->setSortIndicator(col,
                                           order == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
      Sync();
    }
  });
  syncing_ = true;
  ApplyColumns(true, true);
  syncing_ = false;
  Sync();
}

GridView::RowSpan GridView::SampledRows() const {
  return {0, std::min(model_->rowCount(), kSampledRows)};
}

GridView::RowSpan GridView::ShownRows() const {
  const int rows = model_->rowCount();
  const int first = std::max(rowAt(0), 0);
  // Past the last row, or with no viewport laid out yet, the rows run to the end.
  int last = rowAt(viewport()->height() - 1);
  if (last < 0) last = rows - 1;
  return {first, std::min(last + 1, first + kSampledRows)};
}

int GridView::ContentWidth(int col, RowSpan rows, bool capped) const {
  const forms::Grid& grid = Grid();
  const ColumnTraits& traits = model_->Traits(col);
  int width = horizontalHeader()->fontMetrics().horizontalAdvance(
                  QString::fromStdString(forms::Trim(grid.ColCaption(col)))) +
              kHeaderPadding;
  const QFontMetrics metrics = fontMetrics();
  for (int r = rows.first; r < rows.end; ++r) {
    const int gridRow = model_->GridRow(r);
    if (gridRow < 0 || gridRow >= grid.Rows()) break;
    const QString text = QString::fromStdString(ShownText(grid, gridRow, col, traits));
    width = std::max(width, metrics.horizontalAdvance(text) + kCellPadding);
  }
  return std::clamp(width, kMinWidth,
                    ReadWhole(traits) || !capped ? std::max(width, kMinWidth) : kMaxAutoWidth);
}

// The cap keeps a long text from pushing the amounts out of sight; a text in the last column
// pushes nothing, so it takes what the window has beside the other columns, up to its texts.
void GridView::FitLastColumn(RowSpan rows, bool growOnly) {
  const QHeaderView* header = horizontalHeader();
  int last = -1;
  for (int visual = header->count() - 1; visual >= 0 && last < 0; --visual) {
    if (!isColumnHidden(header->logicalIndex(visual))) last = header->logicalIndex(visual);
  }
  if (last < 0 || last >= Grid().Cols() || static_cast<size_t>(last) >= autoWidths_.size() ||
      IsUserWidth(Grid().Col(last).width)) {
    return;
  }
  if (ReadWhole(model_->Traits(last))) return;
  const int sized = autoWidths_[static_cast<size_t>(last)];
  const int room = viewport()->width() - (header->length() - columnWidth(last));
  int content = ContentWidth(last, rows, false);
  if (growOnly) content = std::max(content, columnWidth(last));
  const int width = std::max(sized, std::min(room, content));
  if (width == columnWidth(last)) return;
  const bool wasSyncing = syncing_;
  syncing_ = true;
  setColumnWidth(last, width);
  syncing_ = wasSyncing;
}

void GridView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitLastColumn(SampledRows(), false);
}

void GridView::ApplyColumns(bool widths, bool reread) {
  forms::Grid& grid = Grid();
  if (static_cast<int>(autoWidths_.size()) != grid.Cols()) autoWidths_.assign(grid.Cols(), 0);
  if (static_cast<int>(unused_.size()) != grid.Cols()) {
    unused_.assign(static_cast<size_t>(grid.Cols()), 0);
    reread = true;
  }
  const bool typing = grid.Editable() && grid.AcceptsInput();
  for (int c = 0; c < grid.Cols(); ++c) {
    const ColumnTraits& traits = model_->Traits(c);
    const bool hiddenByGrid = grid.ColHidden(c);
    // While lines are typed, a column the clerk may type into stays: the line may need it.
    if (reread) {
      unused_[static_cast<size_t>(c)] =
          traits.optional && !(typing && grid.Col(c).editable) && ColumnUnused(grid, c, traits);
    }
    const bool unused =
        !hiddenByGrid && !shownByUser_.count(c) && unused_[static_cast<size_t>(c)] != 0;
    const bool hidden = hiddenByGrid || unused;
    if (isColumnHidden(c) != hidden) setColumnHidden(c, hidden);
    if (!widths || hiddenByGrid) continue;
    int width = 0;
    if (IsUserWidth(grid.Col(c).width)) {
      width = TwipsToPixels(grid.Col(c).width);
      if (ReadWhole(traits)) width = std::max(width, ContentWidth(c, SampledRows()));
    } else {
      // Only ever wider: columns that jump narrower on the next record are harder to read.
      autoWidths_[static_cast<size_t>(c)] =
          std::max(autoWidths_[static_cast<size_t>(c)], ContentWidth(c, SampledRows()));
      width = autoWidths_[static_cast<size_t>(c)];
    }
    setColumnWidth(c, width);
  }
  if (widths) FitLastColumn(SampledRows(), false);
}

// A model that is not reset (another record with as many lines, an edit) was sized to texts it
// no longer holds. Only the rows on screen are measured, so a move stays as cheap on a list
// of 100,000 rows as on an order of three lines.
void GridView::GrowColumns() {
  const RowSpan shown = ShownRows();
  if (shown.end <= shown.first) return;
  const forms::Grid& grid = Grid();
  const int cols = std::min(grid.Cols(), static_cast<int>(autoWidths_.size()));
  for (int c = 0; c < cols; ++c) {
    if (isColumnHidden(c)) continue;
    const bool user = IsUserWidth(grid.Col(c).width);
    // A text the user made narrower is cut by the user's choice.
    if (user && !ReadWhole(model_->Traits(c))) continue;
    const int needed = ContentWidth(c, shown);
    if (!user) {
      autoWidths_[static_cast<size_t>(c)] = std::max(autoWidths_[static_cast<size_t>(c)], needed);
    }
    if (needed > columnWidth(c)) setColumnWidth(c, needed);
  }
  FitLastColumn(shown, true);
}

void GridView::SetColumnWanted(int col, bool wanted) {
  forms::Grid& grid = Grid();
  if (col < 0 || col >= grid.Cols()) return;
  if (wanted) {
    shownByUser_.insert(col);
    if (grid.ColHidden(col)) {
      if (grid.Col(col).width <= 0) grid.Col(col).width = forms::Column{}.width;
      grid.SetColHidden(col, false);
    }
  } else {
    shownByUser_.erase(col);
    grid.SetColHidden(col, true);
  }
  syncing_ = true;
  ApplyColumns(true, true);
  syncing_ = false;
  UpdateTotals();
}

void GridView::ShowHeaderMenu(const QPoint& pos) {
  const forms::Grid& grid = Grid();
  QMenu menu(this);
  for (int c = 0; c < grid.Cols(); ++c) {
    if (!OfferedColumn(grid.ColCaption(c))) continue;
    QAction* action = menu.addAction(QString::fromStdString(forms::Trim(grid.ColCaption(c))));
    action->setCheckable(true);
    action->setChecked(!isColumnHidden(c));
    action->setData(c);
  }
  if (menu.isEmpty()) return;
  if (QAction* chosen = menu.exec(horizontalHeader()->mapToGlobal(pos))) {
    SetColumnWanted(chosen->data().toInt(), chosen->isChecked());
  }
}

void GridView::SetTotalsWanted(bool wanted) {
  totalsWanted_ = wanted;
  UpdateTotals();
}

bool GridView::TotalsShown() const {
  return !footer_->isHidden();
}

QString GridView::TotalText(int col) const {
  if (totals_.empty() || col < 0 || col >= static_cast<int>(totals_.size())) return {};
  if (ownTotals_) return totals_[static_cast<size_t>(col)];
  const QHeaderView* header = horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int first = header->logicalIndex(visual);
    if (header->isSectionHidden(first)) continue;
    if (first == col) return QString::fromUtf8(kTotalCaption);
    break;
  }
  return totals_[static_cast<size_t>(col)];
}

void GridView::UpdateTotals() {
  const forms::Grid& grid = Grid();
  totals_.clear();
  // A list that totals itself (counts where amounts of different kinds must not be added) is
  // shown its own way; other grids get their amounts and quantities added up here.
  const int own = totalsWanted_ ? grid.GrandTotalRow() : -1;
  ownTotals_ = own >= 0;
  bool anySum = false;
  for (int c = 0; c < grid.Cols() && totalsWanted_ && !ownTotals_; ++c) {
    anySum = anySum || (model_->Traits(c).sum && !isColumnHidden(c));
  }
  if (ownTotals_) {
    totals_.resize(static_cast<size_t>(grid.Cols()));
    for (int c = 0; c < grid.Cols(); ++c) {
      if (isColumnHidden(c)) continue;
      totals_[static_cast<size_t>(c)] =
          QString::fromStdString(ShownText(grid, own, c, model_->Traits(c)));
    }
  } else if (anySum) {
    totals_.resize(static_cast<size_t>(grid.Cols()));
    for (int c = 0; c < grid.Cols(); ++c) {
      const ColumnTraits& traits = model_->Traits(c);
      if (traits.sum && !isColumnHidden(c)) {
        totals_[static_cast<size_t>(c)] = QString::fromStdString(ColumnTotal(grid, c, traits));
      }
    }
  }
  // A total is wider than the cells it adds up: a column the view sizes makes room for it.
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics boldMetrics(bold);
  const bool wasSyncing = syncing_;
  syncing_ = true;
  for (size_t c = 0; c < totals_.size() && c < autoWidths_.size(); ++c) {
    if (totals_[c].isEmpty() || IsUserWidth(grid.Col(static_cast<int>(c)).width)) continue;
    const int needed = boldMetrics.horizontalAdvance(totals_[c]) + kCellPadding;
    if (needed > columnWidth(static_cast<int>(c))) {
      autoWidths_[c] = std::max(autoWidths_[c], needed);
      setColumnWidth(static_cast<int>(c), autoWidths_[c]);
    }
  }
  syncing_ = wasSyncing;
  const bool shown = !totals_.empty();
  if (shown == footer_->isHidden()) {
    footer_->setVisible(shown);
    updateGeometries();
  }
  footer_->update();
}

void GridView::updateGeometries() {
  QTableView::updateGeometries();
  if (!footer_) return;
  // The base lays the header out and gives the viewport the rest; the totals row takes its
  // height back from the viewport's bottom, above the horizontal scroll bar. Setting the
  // margin resizes the viewport, which calls this again and finds the margin already right.
  const int height = footer_->isHidden() ? 0 : verticalHeader()->defaultSectionSize() + 2;
  const QMargins margins = viewportMargins();
  if (margins.bottom() != height) {
    setViewportMargins(margins.left(), margins.top(), margins.right(), height);
  }
  PlaceFooter();
}

void GridView::PlaceFooter() {
  if (footer_->isHidden()) return;
  const QRect area = viewport()->geometry();
  footer_->setGeometry(area.left(), area.bottom() + 1, area.width(), viewportMargins().bottom());
  footer_->raise();
}

void GridView::Sync() {
  syncing_ = true;
  const bool reset = model_->Sync();
  // A long list (a report) is not typed into: its totals and unused columns change with a new
  // list, which resets the model. A document's grid is read again after every edit.
  const bool reread = reset || Grid().DataRows() <= kLiveRows;
  ApplyColumns(reset, reread);
  if (reread) UpdateTotals();
  forms::Grid& grid = Grid();
  const int modelRow = model_->ModelRow(grid.Row());
  if (modelRow >= 0) {
    int col = std::clamp(grid.Col(), 0, std::max(grid.Cols() - 1, 0));
    if (isColumnHidden(col)) col = horizontalHeader()->logicalIndexAt(0);
    QModelIndex wanted = model_->index(modelRow, std::max(col, 0));
    if (currentIndex().row() != modelRow) {
      selectionModel()->setCurrentIndex(
          wanted, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      scrollTo(wanted);
    }
  } else if (reset) {
    clearSelection();
  }
  // After the scroll, so the rows measured are the rows the clerk reads; a long list's texts
  // change only with a reset.
  if (reread) GrowColumns();
  syncing_ = false;
}

QString GridView::CutText(const QModelIndex& index) const {
  if (!index.isValid() || isColumnHidden(index.column())) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  // A column scrolled wholly away is not cut: the clerk scrolls to it.
  if (option.rect.right() < 0 || option.rect.left() >= viewport()->width()) return {};
  static_cast<const CurrentCellDelegate*>(itemDelegate())->Describe(&option, index);
  if (option.text.isEmpty()) return {};
  // The room the style draws the text in, as far as the window shows it.
  const QStyle* style = this->style();
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &option, this)
                         .adjusted(margin, 0, -margin, 0);
  const int shown = std::min(room.right(), viewport()->width() - 1) - std::max(room.left(), 0) + 1;
  return option.fontMetrics.horizontalAdvance(option.text) > shown ? option.text : QString();
}

// Space is free where nothing is typed and nothing ticked.
bool GridView::SpaceShowsCutTexts() const {
  return !Grid().Editable() && model_->TickColumn() < 0;
}

bool GridView::ShowCutTexts(int modelRow) {
  const QHeaderView* header = horizontalHeader();
  QStringList captions;
  QStringList blocks;
  for (int visual = 0; visual < header->count(); ++visual) {
    const int col = header->logicalIndex(visual);
    const QString whole = CutText(model_->index(modelRow, col));
    if (whole.isEmpty()) continue;
    captions << QString::fromStdString(forms::Trim(Grid().ColCaption(col)));
    blocks << ItemsOf(whole).join('\n');
  }
  if (blocks.isEmpty()) return false;
  QString text;
  for (qsizetype i = 0; i < blocks.size(); ++i) {
    if (!text.isEmpty()) text += "\n\n";
    // One text needs no heading: the box's title names it.
    if (blocks.size() > 1) text += captions[i] + tr("：") + '\n';
    text += blocks[i];
  }
  QDialog box(this);
  box.setObjectName("CutTexts");
  box.setWindowTitle(captions.join(tr("、")));
  auto* shown = new QPlainTextEdit(text, &box);
  shown->setReadOnly(true);
  // Read-only, yet the arrows move through it and Ctrl+C copies what was selected.
  shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
  connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  auto* layout = new QVBoxLayout(&box);
  layout->addWidget(shown);
  layout->addWidget(buttons);
  // As large as its lines, up to most of the window; longer lines wrap, and the wrapped lines
  // count, so that a note of several kB in one line gets the room its lines take.
  const QFontMetrics metrics = shown->fontMetrics();
  int widest = 0;
  const QStringList lines = text.split('\n');
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  const int frame = 2 * shown->frameWidth() +
                    2 * static_cast<int>(shown->document()->documentMargin()) +
                    style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
  const QMargins margins = layout->contentsMargins();
  const QSize room = window()->size() * 0.8;
  const int width = std::clamp(widest + frame + margins.left() + margins.right(), 320,
                               std::max(320, room.width()));
  const int textWidth = std::max(width - frame - margins.left() - margins.right(), 1);
  int wrapped = 0;
  for (const QString& line : lines) {
    wrapped += std::max((metrics.horizontalAdvance(line) + textWidth - 1) / textWidth, 1);
  }
  const int height = wrapped * metrics.lineSpacing() + frame + buttons->sizeHint().height() +
                     layout->spacing() + margins.top() + margins.bottom();
  box.resize(width, std::clamp(height, 120, std::max(120, room.height())));
  KeyboardReturn back(window());
  shown->setFocus();
  box.exec();
  return true;
}

bool GridView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (const QString whole = CutText(index); !whole.isEmpty()) {
      QStringList lines;
      for (const QString& item : TipItems(ItemsOf(whole), QFontMetrics(QToolTip::font()))) {
        lines << item.toHtmlEscaped();
      }
      QStringList hints;
      if (const std::string& own = Grid().ToolTip(); !own.empty()) {
        hints << QString::fromStdString(own).toHtmlEscaped();
      }
      if (SpaceShowsCutTexts()) hints << tr("按空格键在窗口中查看全文");
      // Rich text, so that a long item wraps rather than runs off the screen.
      QString tip = "<qt>" + lines.join("<br>");
      if (!hints.isEmpty()) tip += "<br><span style='color:gray'>" + hints.join("<br>") + "</span>";
      QToolTip::showText(help->globalPos(), tip + "</qt>", viewport(), visualRect(index));
      return true;
    }
  }
  return QTableView::viewportEvent(event);
}

bool GridView::AtTabEnd(bool next) const {
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return true;
  const QHeaderView* header = horizontalHeader();
  int edge = -1;
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(next ? header->count() - 1 - visual : visual);
    if (KeyStop(logical)) {
      edge = logical;
      break;
    }
  }
  const int lastRow = model()->rowCount() - 1;
  return current.column() == edge && current.row() == (next ? lastRow : 0);
}

bool GridView::KeyStop(int col) const {
  return !isColumnHidden(col) && (col >= Grid().Cols() || Grid().Col(col).keyStop);
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const bool forward = action == MoveNext || action == MoveRight;
  const bool across = forward || action == MovePrevious || action == MoveLeft;
  const QModelIndex current = currentIndex();
  bool readOnlyShown = false;
  for (int c = 0; c < Grid().Cols(); ++c) readOnlyShown |= !Grid().Col(c).keyStop;
  if (!across || !readOnlyShown || !current.isValid()) {
    return QTableView::moveCursor(action, modifiers);
  }
  // Tab goes on to the next row at a row's end and back to the first row after the last, as
  // the table's own does; an arrow stays in its row.
  const bool wraps = action == MoveNext || action == MovePrevious;
  const QHeaderView* header = horizontalHeader();
  const int columns = header->count();
  const int rows = model()->rowCount();
  int row = current.row();
  int visual = header->visualIndex(current.column());
  for (int step = 0; step < columns * std::max(rows, 1); ++step) {
    visual += forward ? 1 : -1;
    if (visual < 0 || visual >= columns) {
      if (!wraps) break;
      visual = visual < 0 ? columns - 1 : 0;
      row = (row + (forward ? 1 : rows - 1)) % rows;
    }
    const int logical = header->logicalIndex(visual);
    if (KeyStop(logical)) return model()->index(row, logical);
  }
  return current;
}

bool GridView::focusNextPrevChild(bool next) {
  if (!Grid().Editable() || AtTabEnd(next)) return QWidget::focusNextPrevChild(next);
  return QTableView::focusNextPrevChild(next);
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool forward = hint == QAbstractItemDelegate::EditNextItem;
  const bool back = hint == QAbstractItemDelegate::EditPreviousItem;
  if ((forward || back) && AtTabEnd(forward)) {
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    QWidget::focusNextPrevChild(forward);
    return;
  }
  QTableView::closeEditor(editor, hint);
}

int GridView::CurrentGridRow() const {
  QModelIndex current = currentIndex();
  return current.isValid() ? model_->GridRow(current.row()) : -1;
}

void GridView::CommitEditor() {
  if (state() != QAbstractItemView::EditingState) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

void GridView::Report(const forms::InputResult& result) {
  emit InputDone(QString::fromStdString(result.reason));
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (syncing_ || !current.isValid()) return;
  const int row = model_->GridRow(current.row());
  Grid().SetCurrentCol(current.column());
  // Only real rows are rows of the grid; the new-row line becomes one when typed into.
  if (row >= 0 && row < Grid().Rows() && row != Grid().Row()) {
    Report(forms::Input::SelectRow(Grid(), row));
  }
}

void GridView::keyPressEvent(QKeyEvent* event) {
  if (state() != QAbstractItemView::EditingState) {
    const int row = CurrentGridRow();
    const int tickColumn = model_->TickColumn();
    if (event->key() == Qt::Key_Space && tickColumn >= 0 && row >= 0 && row < Grid().Rows()) {
      const QModelIndex tick = model_->index(currentIndex().row(), tickColumn);
      if (model_->flags(tick) & Qt::ItemIsUserCheckable) {
        model_->SetTicked(row, tickColumn, tick.data(Qt::CheckStateRole).toInt() != Qt::Checked);
        Sync();
      }
      return;
    }
    if (event->key() == Qt::Key_Delete && row >= 0 && row < Grid().Rows()) {
      Report(forms::Input::DeleteRow(Grid(), row));
      return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        SpaceShowsCutTexts() && row >= 0 && row < Grid().Rows()) {
      ShowCutTexts(currentIndex().row());
      return;
    }
    // In a list nothing is typed, so Enter does what a double click does: opens the row. In a
    // list whose rows are ticked it is the dialog's answer (确定), as in any dialog.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && tickColumn >= 0 && event->modifiers() == Qt::NoModifier) {
      event->ignore();
      return;
    }
    if (enter && !Grid().Editable() && event->modifiers() == Qt::NoModifier && row >= 0 &&
        row < Grid().Rows()) {
      Report(forms::Input::DoubleClick(Grid(), row));
      return;
    }
    if (event->key() == Qt::Key_F2 && row >= 0) {
      Report(forms::Input::CellPicker(Grid(), row, currentIndex().column()));
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
  QModelIndex index = indexAt(event->position().toPoint());
  const int row = index.isValid() ? model_->GridRow(index.row()) : -1;
  // In a tick cell each click has ticked already.
  if (index.isValid() && (model_->flags(index) & Qt::ItemIsUserCheckable)) return;
  if (row >= 0 && row < Grid().Rows()) {
    Report(forms::Input::DoubleClick(Grid(), row));
  }
  // An editable cell still opens its editor on a double click.
  if (index.isValid() && (model_->flags(index) & Qt::ItemIsEditable)) {
    QTableView::mouseDoubleClickEvent(event);
  }
}

forms::PopupMenu* GridView::Menu() const {
  for (const auto& child : form_.Children()) {
    if (auto* menu = dynamic_cast<forms::PopupMenu*>(child.get())) return menu;
  }
  return nullptr;
}

bool GridView::ChooseMenuItem(int gridRow, const std::string& key) {
  forms::PopupMenu* menu = Menu();
  if (!menu) return false;
  if (gridRow >= 0 && gridRow < Grid().Rows()) forms::Input::SelectRow(Grid(), gridRow);
  forms::InputResult result = forms::Input::MenuChoice(*menu, key);
  Report(result);
  return result.accepted;
}

void GridView::contextMenuEvent(QContextMenuEvent* event) {
  forms::PopupMenu* menu = Menu();
  if (!menu) return;
  QModelIndex index = indexAt(event->pos());
  const int row = index.isValid() ? model_->GridRow(index.row()) : -1;
  if (row >= 0 && row < Grid().Rows()) {
    Report(forms::Input::SelectRow(Grid(), row));
    Sync();
  }
  // The control builds its items each time the menu is shown.
  if (menu->OnPopup) menu->OnPopup();
  QMenu popup(this);
  for (const auto& item : menu->Items()) {
    if (item.caption == "-") {
      popup.addSeparator();
    } else {
      popup.addAction(QString::fromStdString(item.caption))
          ->setData(QString::fromStdString(item.key));
    }
  }
  if (popup.isEmpty()) return;
  QAction* chosen = popup.exec(event->globalPos());
  if (!chosen) return;
  Report(forms::Input::MenuChoice(*menu, chosen->data().toString().toStdString()));
}

void GridView::EnterLines(Qt::FocusReason reason) {
  setFocus(reason);
  const QModelIndex current = currentIndex();
  if (current.isValid() && (model()->flags(current) & Qt::ItemIsEditable)) return;
  const int row = model()->rowCount() - 1;
  for (int col = 0; row >= 0 && col < model()->columnCount(); ++col) {
    const QModelIndex cell = model()->index(row, col);
    if (!isColumnHidden(col) && (model()->flags(cell) & Qt::ItemIsEditable)) {
      setCurrentIndex(cell);
      return;
    }
  }
}

}  // namespace ws::desk
