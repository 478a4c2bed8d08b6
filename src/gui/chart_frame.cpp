#include "gui/chart_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ostra {

void ChartFrame::Reset(const QImage& background) {
  image_ = background.copy();
  image_.setDevicePixelRatio(background.devicePixelRatio());
  tile_columns_ = (image_.width() + (1 << kTileShiftX) - 1) >> kTileShiftX;
  tile_rows_ = (image_.height() + (1 << kTileShiftY) - 1) >> kTileShiftY;
  tiles_.assign(static_cast<size_t>(tile_columns_ * tile_rows_), 0);
  restored_.assign(tiles_.size(), 0);
  restored_tiles_ = 0;
  reset_ = true;
}

void ChartFrame::Begin(const QImage& background) {
  restored_tiles_ = 0;
  if (background.size() != image_.size() || background.format() != image_.format()) {
    Reset(background);
    return;
  }
  reset_ = false;
  std::fill(restored_.begin(), restored_.end(), 0);
  const int bytes_per_pixel = 4;
  const qsizetype from_stride = background.bytesPerLine();
  const qsizetype to_stride = image_.bytesPerLine();
  const uchar* from = background.constBits();
  uchar* to = image_.bits();
  for (int ty = 0; ty < tile_rows_; ++ty) {
    unsigned char* row = &tiles_[static_cast<size_t>(ty * tile_columns_)];
    unsigned char* restored = &restored_[static_cast<size_t>(ty * tile_columns_)];
    const int y0 = ty << kTileShiftY;
    const int y1 = std::min(image_.height(), y0 + (1 << kTileShiftY));
    for (int tx = 0; tx < tile_columns_;) {
      if (row[tx] == 0) {
        ++tx;
        continue;
      }
      // A run of drawn tiles is put back with one copy per pixel row.
      int end = tx;
      while (end < tile_columns_ && row[end] != 0) {
        restored[end] = 1;
        row[end++] = 0;
      }
      restored_tiles_ += end - tx;
      const int x0 = tx << kTileShiftX;
      const int x1 = std::min(image_.width(), end << kTileShiftX);
      const size_t bytes = static_cast<size_t>(x1 - x0) * bytes_per_pixel;
      for (int y = y0; y < y1; ++y) {
        std::memcpy(to + y * to_stride + x0 * bytes_per_pixel,
                    from + y * from_stride + x0 * bytes_per_pixel, bytes);
      }
      tx = end;
    }
  }
}

QRegion ChartFrame::ChangedPixels() const {
  if (reset_) return QRegion(image_.rect());
  // One rectangle per run of changed tiles in a tile row: the rows are the
  // region's bands, each sorted left to right, as QRegion::setRects wants.
  std::vector<QRect> rects;
  for (int ty = 0; ty < tile_rows_; ++ty) {
    const size_t first = static_cast<size_t>(ty * tile_columns_);
    const int y0 = ty << kTileShiftY;
    const int y1 = std::min(image_.height(), y0 + (1 << kTileShiftY));
    for (int tx = 0; tx < tile_columns_;) {
      auto changed = [&](int x) {
        const size_t at = first + static_cast<size_t>(x);
        return (tiles_[at] | restored_[at]) != 0;
      };
      if (!changed(tx)) {
        ++tx;
        continue;
      }
      int end = tx;
      while (end < tile_columns_ && changed(end)) ++end;
      const int x0 = tx << kTileShiftX;
      const int x1 = std::min(image_.width(), end << kTileShiftX);
      rects.emplace_back(x0, y0, x1 - x0, y1 - y0);
      tx = end;
    }
  }
  QRegion region;
  region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

void ChartFrame::MarkDevice(QRect device) {
  device &= image_.rect();
  if (device.isEmpty()) return;
  for (int ty = device.top() >> kTileShiftY; ty <= device.bottom() >> kTileShiftY; ++ty) {
    for (int tx = device.left() >> kTileShiftX; tx <= device.right() >> kTileShiftX; ++tx) {
      tiles_[static_cast<size_t>(ty * tile_columns_ + tx)] = 1;
    }
  }
}

void ChartFrame::MarkDrawn(const QRectF& logical) {
  const qreal dpr = image_.devicePixelRatio();
  const QRectF device(logical.topLeft() * dpr, logical.size() * dpr);
  MarkDevice(device.toAlignedRect());
}

void ChartFrame::DrawPolyline(const QPointF* points, int count, QRgb colour, int width,
                              const QRectF& clip) {
  if (count < 2 || image_.isNull()) return;
  const qreal dpr = image_.devicePixelRatio();
  const int thickness = std::max(1, static_cast<int>(std::lround(width * dpr)));
  // The pixels a line may touch: inside the clip, with room for its width.
  const QRectF device_clip(clip.topLeft() * dpr, clip.size() * dpr);
  const QRect box = device_clip.toAlignedRect() & image_.rect();
  if (box.isEmpty()) return;
  auto pixel = [dpr](qreal v) { return static_cast<int>(std::floor(v * dpr + 0.5)); };
  int x0 = pixel(points[0].x());
  int y0 = pixel(points[0].y());
  for (int i = 1; i < count; ++i) {
    const int x1 = pixel(points[i].x());
    const int y1 = pixel(points[i].y());
    DrawSegment(x0, y0, x1, y1, colour, thickness, box);
    x0 = x1;
    y0 = y1;
  }
}

// Bresenham's line; a line wider than one pixel is thickened across its
// main direction (down for a flat line, right for a steep one), which is how
// a wide aliased pen looks.
void ChartFrame::DrawSegment(int x0, int y0, int x1, int y1, QRgb colour, int thickness,
                             const QRect& clip) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  const bool steep = -dy > dx;
  const int left = clip.left();
  const int right = clip.right();
  const int top = clip.top();
  const int bottom = clip.bottom();
  const qsizetype stride = image_.bytesPerLine() / 4;
  auto* bits = reinterpret_cast<QRgb*>(image_.bits());
  const QRgb opaque = colour | 0xFF000000u;
  int err = dx + dy;
  for (;;) {
    for (int t = 0; t < thickness; ++t) {
      const int x = steep ? x0 + t : x0;
      const int y = steep ? y0 : y0 + t;
      if (x >= left && x <= right && y >= top && y <= bottom) {
        bits[y * stride + x] = opaque;
        MarkPixel(x, y);
      }
    }
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

}  // namespace ostra
