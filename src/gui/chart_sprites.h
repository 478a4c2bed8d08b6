// The small pictures the chart draws again and again: a point of a point
// series (its pointer and, above it, its mark with the arrow) and a label,
// each drawn once and kept, so a frame only copies them into place.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <map>
#include <string>
#include <tuple>

#include "display/chart_model.h"

namespace ostra {

// A series' pointer centred on (x, y): a diamond, a square or a dot.
void DrawPointer(QPainter& p, const ChartSeries& s, double x, double y);

// Where a point's mark sits: above the point or below it (the arrow then
// points down to it), centred on it or ending or starting at its column.
enum class MarkPlace { Above, AboveLeft, AboveRight, Below, BelowLeft, BelowRight };
inline constexpr int kMarkPlaceCount = 6;

struct ChartSprite {
  QImage image;   // transparent where nothing is drawn
  QPoint anchor;  // where the point (or the label's top-left) sits, in logical pixels
};

class ChartSprites {
 public:
  // Point `mark` of series `s` (number `series` in drawing order).
  const ChartSprite& Point(const ChartSeries& s, int series, const std::string& mark,
                           const QFont& mark_font, qreal dpr, MarkPlace place = MarkPlace::Above);
  // Label number `slot` with its current text.
  const ChartSprite& Label(const ChartLabel& label, int slot, const QFont& font, qreal dpr);
  // Forgets every sprite when there are many (texts change with the settings);
  // called between paints only, since a paint holds references into the cache.
  void Trim();

 private:
  // Kind (-1 a label, else the series), text, colour, pixel ratio, place.
  using Key = std::tuple<int, std::string, QRgb, qreal, int>;
  std::map<Key, ChartSprite> sprites_;
};

}  // namespace ostra
