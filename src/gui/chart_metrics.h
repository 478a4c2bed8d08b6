// The chart's fixed measures and colours, shared by the chart view's files.
#pragma once

#include <QColor>
#include <cstddef>

#include "display/chart_model.h"

namespace ostra::chart_metrics {

constexpr int kBevel = 3;
constexpr double kTopMargin = 0.10;     // of the chart's height
constexpr double kBottomMargin = 0.02;  // of the chart's height
constexpr double kSideMargin = 0.03;    // of the chart's width
constexpr double kTickLength = 4;
constexpr double kMinorTickLength = 2;
constexpr double kLabelGap = 2;
constexpr int kMinorTicks = 4;
constexpr double kClickRadius = 5;
constexpr size_t kMaxTicks = 200;

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

inline const QColor kGridLine(0x3A, 0x3A, 0x3A);
inline const QColor kTickColour(0x80, 0x80, 0x80);
inline const QColor kAxisText(0xC0, 0xC0, 0xC0);

}  // namespace ostra::chart_metrics
