#include "gui/chart_sprites.h"

#include "gui/chart_metrics.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cmath>

namespace ostra {
using chart_metrics::ToQColor;

namespace {

constexpr size_t kMostSprites = 256;

QImage TransparentImage(QSizeF logical, qreal dpr) {
  const QSize pixels(std::max(1, static_cast<int>(std::ceil(logical.width() * dpr))),
                     std::max(1, static_cast<int>(std::ceil(logical.height() * dpr))));
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  return image;
}

}  // namespace

// The pointer centred on (x, y): a diamond, a square or a dot.
void DrawPointer(QPainter& p, const ChartSeries& s, double x, double y) {
  if (s.pointer == PointerStyle::None) return;
  const QColor colour = ToQColor(s.colour);
  if (s.pointer == PointerStyle::Dot && s.pointer_size <= 1) {
    p.fillRect(QRectF(x, y, 1, 1), colour);
    return;
  }
  const double half = s.pointer_size;
  p.setPen(s.pointer_outline ? QPen(colour, 1) : QPen(Qt::NoPen));
  p.setBrush(ToQColor(s.pointer_brush));
  if (s.pointer == PointerStyle::Diamond) {
    const QPointF diamond[4] = {{x, y - half}, {x + half, y}, {x, y + half}, {x - half, y}};
    p.drawPolygon(diamond, 4);
  } else {
    p.drawRect(QRectF(x - half, y - half, 2 * half, 2 * half));
  }
}

const ChartSprite& ChartSprites::Point(const ChartSeries& s, int series, const std::string& mark,
                                       const QFont& mark_font, qreal dpr, MarkPlace place) {
  Key key{series, mark, qRgb(s.colour.r, s.colour.g, s.colour.b), dpr, static_cast<int>(place)};
  auto found = sprites_.find(key);
  if (found != sprites_.end()) return found->second;

  // Laid out around the point at (0, 0): the pointer on it, the arrow up
  // (or down) from it, the mark's text at the arrow's end.
  const bool marked = s.marks_visible && !mark.empty();
  const QString text = QString::fromStdString(mark);
  const QFontMetricsF fm(mark_font);
  const double text_width = marked ? fm.horizontalAdvance(text) + 4 : 0;
  const double text_height = marked ? fm.height() : 0;
  const double arrow = marked ? s.mark_arrow_length : 0;
  const double half = s.pointer == PointerStyle::None ? 0 : std::max(1, s.pointer_size);
  const bool below =
      place == MarkPlace::Below || place == MarkPlace::BelowLeft || place == MarkPlace::BelowRight;
  double left = -text_width / 2;
  if (place == MarkPlace::AboveLeft || place == MarkPlace::BelowLeft) left = -text_width;
  if (place == MarkPlace::AboveRight || place == MarkPlace::BelowRight) left = 0;
  const QRectF box(left, below ? arrow : -arrow - text_height, text_width, text_height);
  const QRectF pointer(-half, -half, 2 * half + 1, 2 * half + 1);
  const QRectF bounds = (marked ? box.united(pointer) : pointer).toAlignedRect();

  ChartSprite sprite;
  sprite.anchor = (-bounds.topLeft()).toPoint();
  sprite.image = TransparentImage(bounds.size(), dpr);
  QPainter p(&sprite.image);
  p.translate(sprite.anchor);
  DrawPointer(p, s, 0, 0);
  if (marked) {
    const QColor colour = ToQColor(s.mark_colour);
    if (arrow > 0) {
      p.setPen(QPen(colour, 1));
      p.drawLine(QPointF(0, 0), QPointF(0, below ? arrow : -arrow));
    }
    if (!s.mark_transparent) p.fillRect(box, ToQColor(s.mark_background));
    p.setFont(mark_font);
    p.setPen(colour);
    p.drawText(QPointF(box.left() + 2, box.top() + fm.ascent()), text);
  }
  p.end();
  return sprites_.emplace(std::move(key), std::move(sprite)).first->second;
}

const ChartSprite& ChartSprites::Label(const ChartLabel& label, int slot, const QFont& font,
                                       qreal dpr) {
  Key key{-1 - slot, label.text, qRgb(label.colour.r, label.colour.g, label.colour.b), dpr, 0};
  auto found = sprites_.find(key);
  if (found != sprites_.end()) return found->second;
  const QString text = QString::fromStdString(label.text);
  const QFontMetricsF fm(font);
  const QRectF box(0, 0, std::ceil(fm.horizontalAdvance(text)), std::ceil(fm.height()));
  ChartSprite sprite;
  sprite.image = TransparentImage(box.size(), dpr);
  QPainter p(&sprite.image);
  if (!label.transparent) p.fillRect(box, ToQColor(label.background));
  p.setFont(font);
  p.setPen(ToQColor(label.colour));
  p.drawText(QPointF(0, fm.ascent()), text);
  p.end();
  return sprites_.emplace(std::move(key), std::move(sprite)).first->second;
}

void ChartSprites::Trim() {
  if (sprites_.size() > kMostSprites) sprites_.clear();
}

}  // namespace ostra
