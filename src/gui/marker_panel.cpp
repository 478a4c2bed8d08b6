#include "gui/marker_panel.h"

#include <QEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVariantAnimation>
#include <utility>

#include "gui/handler_call.h"
#include "gui/key_panel.h"

namespace ostra {

namespace {

constexpr int kSlideMs = 200;
constexpr int kArrowPointSize = 14;
constexpr int kPressedArrowPointSize = 18;
constexpr int kGridFontPointSize = 8;
// Where the table and the arrows sit in the panel.
constexpr int kGridLeft = 62;
constexpr int kGridTop = 10;
constexpr int kLeftArrowX = 10;
constexpr int kRightArrowX = 34;
constexpr int kArrowWidth = 22;

// Every cell drawn alike, with the focus on it or not: the panel's colour,
// black text 2 pixels in from the cell's left and top; the selected marker's
// row (the one a click on the chart moves) in bold.
class PlainCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->fillRect(option.rect, kMarkerPanelColour);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    QFont font = option.font;
    if (index.row() > 0 && (option.state & QStyle::State_Selected)) font.setBold(true);
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
  }
};

}  // namespace

// --- MarkerArrow ------------------------------------------------------------------

MarkerArrow::MarkerArrow(const QString& name, const QString& text, QWidget* parent)
    : QLabel(text, parent) {
  setObjectName(name);
  setAlignment(Qt::AlignCenter);
  SetLook(kArrowPointSize, Qt::black);
}

void MarkerArrow::SetLook(int point_size, const QColor& colour) {
  QFont f = font();
  f.setPointSize(point_size);
  setFont(f);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
}

void MarkerArrow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  SetLook(kPressedArrowPointSize, Qt::red);
}

void MarkerArrow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  SetLook(kArrowPointSize, Qt::black);
  if (rect().contains(event->position().toPoint()) && on_click) CallHandler(on_click);
}

void MarkerArrow::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  SetLook(font().pointSize(), Qt::red);
}

void MarkerArrow::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  SetLook(font().pointSize(), Qt::black);
}

// --- MarkerPanel ------------------------------------------------------------------

QWidget* MarkerPanel::MakeHolder(QWidget* front_panel) {
  auto* holder = new QWidget(front_panel);
  holder->setObjectName("MarkerPanel_holder");
  holder->setGeometry(kLeft, kTop, kWidth, kHeight);
  return holder;
}

MarkerPanel::MarkerPanel(QWidget* front_panel)
    : QWidget(MakeHolder(front_panel)), holder_(parentWidget()) {
  setObjectName("MarkerPanel");
  setGeometry(0, 0, kWidth, kHeight);
  SetPanelColour(this, kMarkerPanelColour);
  BuildGrid();
  BuildArrows();
  holder_->hide();
}

void MarkerPanel::BuildGrid() {
  grid_ = new QTableWidget(kMarkerTableRows, kMarkerTableColumns, this);
  grid_->setObjectName("MarkerGrid");
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->setShowGrid(false);
  grid_->setFrameShape(QFrame::NoFrame);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setItemDelegate(new PlainCellDelegate(grid_));
  // Arial, as the chart's texts: narrow enough for the columns' widths.
  QFont font = grid_->font();
  font.setFamily("Arial");
  font.setPointSize(kGridFontPointSize);
  grid_->setFont(font);
  QPalette palette = grid_->palette();
  palette.setColor(QPalette::Base, kMarkerPanelColour);
  palette.setColor(QPalette::Window, kMarkerPanelColour);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::Highlight, kMarkerPanelColour);
  palette.setColor(QPalette::HighlightedText, Qt::black);
  grid_->setPalette(palette);
  int width = 0;
  for (int c = 0; c < kMarkerTableColumns; ++c) {
    grid_->setColumnWidth(c, kColumnWidths[static_cast<size_t>(c)]);
    width += kColumnWidths[static_cast<size_t>(c)];
  }
  for (int r = 0; r < kMarkerTableRows; ++r) {
    grid_->setRowHeight(r, kRowHeight);
    for (int c = 0; c < kMarkerTableColumns; ++c) grid_->setItem(r, c, new QTableWidgetItem);
  }
  grid_->setGeometry(kGridLeft, kGridTop, width, kRowHeight * kMarkerTableRows);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { OpenSearchMenu(at); });
}

int MarkerPanel::SelectedMarker() const {
  const QList<QTableWidgetItem*> selected = grid_->selectedItems();
  for (const QTableWidgetItem* item : selected) {
    if (item->row() >= 1 && item->row() <= kMarkerCount) return item->row() - 1;
  }
  return 0;
}

QMenu* MarkerPanel::MakeSearchMenu(int index) {
  auto* menu = new QMenu(this);
  menu->setObjectName("MarkerSearchMenu");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const std::pair<const char*, TraceExtreme> entries[] = {
      {"Marker to maximum", TraceExtreme::Maximum}, {"Marker to minimum", TraceExtreme::Minimum}};
  for (const auto& [caption, which] : entries) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(which == TraceExtreme::Maximum ? "MarkerToMaximum" : "MarkerToMinimum");
    connect(action, &QAction::triggered, this, [this, index, which = which] {
      if (on_marker_search) CallHandler([&] { on_marker_search(index, which); });
    });
  }
  return menu;
}

void MarkerPanel::OpenSearchMenu(const QPoint& at) {
  // The marker of the row under the mouse, else the selected one.
  const int row = grid_->rowAt(at.y());
  const int index = row >= 1 && row <= kMarkerCount ? row - 1 : SelectedMarker();
  MakeSearchMenu(index)->popup(grid_->viewport()->mapToGlobal(at));
}

void MarkerPanel::BuildArrows() {
  for (int m = 1; m <= kMarkerCount; ++m) {
    const int y = kGridTop + kRowHeight * m;
    for (const bool right : {false, true}) {
      const QString name = QString("spin%1_%2").arg(m).arg(right ? "right" : "left");
      auto* arrow = new MarkerArrow(name, right ? ">" : "<", this);
      arrow->setGeometry(right ? kRightArrowX : kLeftArrowX, y - 3, kArrowWidth, kRowHeight + 6);
      if (m == 1) arrow->setToolTip("Click to step marker");
      arrow->on_click = [this, m, right] {
        if (on_arrow_click) on_arrow_click(m, right);
      };
      arrow->hide();
      arrows_[static_cast<size_t>(2 * (m - 1) + (right ? 1 : 0))] = arrow;
    }
  }
}

MarkerArrow* MarkerPanel::Arrow(int marker_number, bool right) const {
  if (marker_number < 1 || marker_number > kMarkerCount) return nullptr;
  return arrows_[static_cast<size_t>(2 * (marker_number - 1) + (right ? 1 : 0))];
}

void MarkerPanel::TableChanged(const MarkerTable& table) {
  // Many changes within one turn of the event loop are written once.
  if (pending_table_ != nullptr) return;
  pending_table_ = &table;
  QTimer::singleShot(0, this, [this] {
    const MarkerTable* table = std::exchange(pending_table_, nullptr);
    if (table != nullptr) ShowTable(*table);
  });
}

void MarkerPanel::ShowTable(const MarkerTable& table) {
  for (int r = 0; r < kMarkerTableRows; ++r) {
    for (int c = 0; c < kMarkerTableColumns; ++c) {
      QTableWidgetItem* item = grid_->item(r, c);
      const QString text = QString::fromStdString(table.Cell(c, r));
      if (item->text() != text) item->setText(text);
    }
  }
}

void MarkerPanel::ShowArrows(const MarkerState& markers) {
  for (int m = 1; m <= kMarkerCount; ++m) {
    const bool visible = markers.At(m - 1).arrows_visible;
    Arrow(m, false)->setVisible(visible);
    Arrow(m, true)->setVisible(visible);
  }
}

void MarkerPanel::ShowPanel(bool visible, bool slide) {
  if (slide) {
    if (visible != shown_) Slide(visible);
    return;
  }
  if (slide_ != nullptr) slide_->stop();
  shown_ = visible;
  move(0, 0);
  holder_->setVisible(visible);
  if (visible) holder_->raise();
}

void MarkerPanel::Slide(bool visible) {
  // Upwards either way: coming in, the panel rises from below its place;
  // going out, it rises out through its top edge.
  if (slide_ != nullptr) slide_->stop();
  shown_ = visible;
  const int from = visible ? (holder_->isVisible() ? y() : kHeight) : y();
  const int to = visible ? 0 : -kHeight;
  move(0, from);
  holder_->setVisible(true);
  holder_->raise();
  auto* slide = new QVariantAnimation(this);
  slide->setDuration(kSlideMs);
  slide->setStartValue(from);
  slide->setEndValue(to);
  connect(slide, &QVariantAnimation::valueChanged, this,
          [this](const QVariant& top) { move(0, top.toInt()); });
  connect(slide, &QVariantAnimation::finished, this, [this, visible, to] {
    move(0, visible ? to : 0);
    holder_->setVisible(visible);
  });
  slide_ = slide;
  slide->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace ostra
