// Draws the program's two pictures, the splash screen (400 x 240) and the
// About picture (153 x 81), and writes them as JPEG files through libjpeg;
// draws the program's icon as PNG files at 48, 128 and 256 pixels into
// icons/ (assets/icons/com.marlune.Ostra.svg is the same picture by hand):
//
//   make_artwork <assets directory>
//
// Run it offscreen (QT_QPA_PLATFORM=offscreen) on a machine without display.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

const QColor kBackgroundTop(10, 22, 40);
const QColor kBackgroundBottom(22, 48, 74);
const QColor kGrid(70, 150, 170);
const QColor kTrace(0, 255, 255);
const QColor kAccent(255, 200, 60);

// A stylised Smith chart: the unit circle, circles of constant resistance and
// arcs of constant reactance, with a measured-looking trace spiralling in.
void DrawSmithChart(QPainter& p, QPointF centre, double radius, double line_width) {
  QRadialGradient glow(centre, radius * 1.3);
  glow.setColorAt(0.0, QColor(40, 90, 120, 150));
  glow.setColorAt(1.0, QColor(40, 90, 120, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(centre, radius * 1.3, radius * 1.3);

  QPainterPath unit;
  unit.addEllipse(centre, radius, radius);
  p.save();
  p.setClipPath(unit);
  p.setBrush(Qt::NoBrush);
  QPen grid(kGrid, line_width);
  p.setPen(grid);
  for (double r : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    const double rr = radius / (1.0 + r);
    p.drawEllipse(QPointF(centre.x() + radius * r / (1.0 + r), centre.y()), rr, rr);
  }
  for (double x : {0.2, 0.5, 1.0, 2.0, 5.0}) {
    const double rx = radius / x;
    p.drawEllipse(QPointF(centre.x() + radius, centre.y() - rx), rx, rx);
    p.drawEllipse(QPointF(centre.x() + radius, centre.y() + rx), rx, rx);
  }
  p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));

  // The trace: a reflection that turns with frequency and shrinks towards a
  // match, as a resonator seen through a length of cable does.
  QPainterPath trace;
  const int steps = 400;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const double angle = 0.6 - t * 5.2 * M_PI;
    const double mag = 0.92 - 0.62 * t + 0.08 * std::sin(t * 9.0 * M_PI);
    const QPointF pt(centre.x() + radius * mag * std::cos(angle),
                     centre.y() - radius * mag * std::sin(angle));
    if (i == 0) {
      trace.moveTo(pt);
    } else {
      trace.lineTo(pt);
    }
  }
  p.setPen(QPen(kTrace, line_width * 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(trace);
  p.restore();

  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGrid.lighter(140), line_width * 1.5));
  p.drawEllipse(centre, radius, radius);
  // A marker on the trace.
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawEllipse(trace.pointAtPercent(0.37), line_width * 2.5, line_width * 2.5);
}

void FillBackground(QPainter& p, const QRect& rect) {
  QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
  gradient.setColorAt(0.0, kBackgroundTop);
  gradient.setColorAt(1.0, kBackgroundBottom);
  p.fillRect(rect, gradient);
}

QImage DrawSplash() {
  QImage image(400, 240, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  FillBackground(p, image.rect());
  DrawSmithChart(p, QPointF(300, 112), 88, 1.0);

  QFont title("DejaVu Sans", 40, QFont::Bold);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(18, 40, 220, 60), Qt::AlignLeft | Qt::AlignVCenter, "Ostra");
  p.setPen(QPen(kAccent, 2));
  p.drawLine(QPointF(22, 102), QPointF(170, 102));
  QFont sub("DejaVu Sans", 11);
  p.setFont(sub);
  p.setPen(QColor(200, 225, 235));
  p.drawText(QRectF(22, 110, 220, 20), Qt::AlignLeft, "Vector Network Analyser");
  QFont small("DejaVu Sans", 8);
  p.setFont(small);
  p.setPen(QColor(150, 180, 195));
  p.drawText(QRectF(22, 132, 220, 16), Qt::AlignLeft, "0.5 - 120 MHz  \u00b7  USB");
  p.end();
  return image;
}

QImage DrawAbout() {
  QImage image(153, 81, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  FillBackground(p, image.rect());
  DrawSmithChart(p, QPointF(116, 40), 32, 0.6);
  QFont title("DejaVu Sans", 17, QFont::Bold);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(8, 14, 90, 30), Qt::AlignLeft | Qt::AlignVCenter, "Ostra");
  p.setPen(QPen(kAccent, 1.2));
  p.drawLine(QPointF(10, 46), QPointF(72, 46));
  QFont small("DejaVu Sans", 6);
  p.setFont(small);
  p.setPen(QColor(200, 225, 235));
  p.drawText(QRectF(9, 50, 90, 12), Qt::AlignLeft, "Network Analyser");
  p.end();
  return image;
}

bool WriteJpeg(const QImage& source, const std::string& path, int quality) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto* row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

// The icon, in the 256-unit square of its SVG: the chart's outline, one
// circle of constant resistance, two arcs of constant reactance, the real
// axis, the trace and its marker.
QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  QLinearGradient back(0, 8, 0, 248);
  back.setColorAt(0.0, kBackgroundTop);
  back.setColorAt(1.0, kBackgroundBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
  const QColor grid(0x46, 0xa0, 0xaa);
  QPainterPath unit;
  unit.addEllipse(QPointF(128, 128), 96, 96);
  p.save();
  p.setClipPath(unit);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(grid, 6));
  p.drawEllipse(QPointF(176, 128), 48, 48);
  p.drawEllipse(QPointF(224, 32), 96, 96);
  p.drawEllipse(QPointF(224, 224), 96, 96);
  p.drawLine(QPointF(32, 128), QPointF(224, 128));
  p.restore();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(grid, 8));
  p.drawEllipse(QPointF(128, 128), 96, 96);
  QPainterPath trace(QPointF(60, 128));
  trace.cubicTo(60, 48, 196, 48, 196, 128);
  trace.cubicTo(196, 184, 120, 184, 140, 140);
  p.setPen(QPen(kTrace, 10, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(trace);
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(140, 140), 12, 12);
  return image;
}

bool WriteIcons(const std::string& dir) {
  for (int size : {48, 128, 256}) {
    const std::string path = dir + "/icons/com.marlune.Ostra-" + std::to_string(size) + ".png";
    if (!DrawIcon(size).save(QString::fromStdString(path), "PNG")) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_artwork <assets directory>\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const std::string dir = argv[1];
  const bool ok = WriteJpeg(DrawSplash(), dir + "/splash.jpg", 92) &&
                  WriteJpeg(DrawAbout(), dir + "/about.jpg", 95) && WriteIcons(dir);
  if (!ok) {
    std::fprintf(stderr, "make_artwork: cannot write the pictures to %s\n", dir.c_str());
    return 1;
  }
  std::printf("Wrote %s/splash.jpg, %s/about.jpg and the icons\n", dir.c_str(), dir.c_str());
  return 0;
}
