// The chart's picture between two paints: the cached static part (grid,
// axes, Smith chart dots) with the traces, markers and labels drawn over
// it. A new frame puts the static pixels back only where the last frame
// drew, in tiles, and the traces are drawn straight into the pixels; what
// changed (the tiles put back and the tiles drawn) is all that needs to go
// to the screen, so a frame costs what the traces cover, not the window.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QRgb>
#include <vector>

namespace ostra {

class ChartFrame {
 public:
  // The frame's pixels: opaque 32-bit, the widget's size times its pixel
  // ratio; painted on in the widget's logical coordinates.
  QImage& Image() { return image_; }

  // Makes the frame a copy of `background` (a new size, a new static part).
  void Reset(const QImage& background);
  // Starts a new frame over `background`, the image the frame was last
  // reset from: every pixel the last frame drew is put back.
  void Begin(const QImage& background);

  // A polyline of aliased lines `width` logical pixels wide, in logical
  // coordinates, drawn only inside `clip` (logical). The points must be
  // finite; segments should already be cut to the clip.
  void DrawPolyline(const QPointF* points, int count, QRgb colour, int width, const QRectF& clip);
  // Records that something else (a painter) drew over `logical` this frame.
  void MarkDrawn(const QRectF& logical);

  // Tiles put back by the last Begin (for tests and the benchmark).
  int RestoredTiles() const { return restored_tiles_; }
  // The device pixels that may differ from the previous frame: the whole
  // image after a Reset, else the tiles put back by Begin and the tiles
  // drawn since.
  QRegion ChangedPixels() const;

 private:
  static constexpr int kTileShiftX = 5;  // 32 pixels
  static constexpr int kTileShiftY = 3;  // 8 rows
  void MarkPixel(int x, int y) {
    tiles_[static_cast<size_t>((y >> kTileShiftY) * tile_columns_ + (x >> kTileShiftX))] = 1;
  }
  void MarkDevice(QRect device);
  void DrawSegment(int x0, int y0, int x1, int y1, QRgb colour, int thickness, const QRect& clip);

  QImage image_;
  std::vector<unsigned char> tiles_;
  std::vector<unsigned char> restored_;  // put back by the last Begin
  bool reset_ = false;
  int tile_columns_ = 0;
  int tile_rows_ = 0;
  int restored_tiles_ = 0;
};

}  // namespace ostra
