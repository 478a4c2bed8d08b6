// The main window's chart as data: the nine series in drawing order, the
// bottom, left and right axes and the text labels drawn over the chart. The
// chart widget draws this model; everything here is plain C++ so the trace
// formats and the layout are tested without a window.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/signal.h"

namespace ostra {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kAqua{0, 255, 255};
inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kDarkGrey{128, 128, 128};
inline constexpr Rgb kGridColour{0x3A, 0x3A, 0x3A};
inline constexpr Rgb kSmithGridColour{0x00, 0xC4, 0xC4};
inline constexpr Rgb kMemColour{0xFF, 0x42, 0xFF};
inline constexpr Rgb kLabelColour{0xFF, 0x00, 0xC7};

// The series in the order they are drawn (later ones on top).
enum class SeriesId : int {
  SmithGridSeries,
  SmithGridLabel,
  MemDataSeries,
  PhaseDataSeries,
  MagDataSeries,
  MarkerSeries,
  MarkerSeries2,
  RefLineSeries,
  ReflMarker,
};
inline constexpr int kSeriesCount = 9;

enum class SeriesKind { Line, Points };
enum class PointerStyle { None, Dot, Diamond };
enum class VerticalAxis { Left, Right };
// How the text marks of a point series look.
enum class MarkStyle {
  None,
  Marker,     // bold Arial 8 pt yellow, transparent, no frame, yellow arrow
  GridLabel,  // bold Arial 8 pt silver on black, no arrow
};
enum class PointOrder { SortedByX, Insertion };

struct ChartPoint {
  double x = 0;
  double y = 0;
  std::string mark;  // text shown beside the point when the series shows marks
};

struct ChartSeries {
  std::string name;
  SeriesKind kind = SeriesKind::Line;
  Rgb colour;
  int pen_width = 1;
  PointerStyle pointer = PointerStyle::None;
  int pointer_size = 0;  // width and height of the pointer in pixels
  Rgb pointer_brush;     // fill of the pointer (the dots' brush)
  bool pointer_outline = false;
  VerticalAxis axis = VerticalAxis::Left;
  bool marks_visible = false;
  MarkStyle mark_style = MarkStyle::None;
  Rgb mark_colour;
  bool mark_transparent = true;
  Rgb mark_background;
  int mark_arrow_length = 0;
  PointOrder order = PointOrder::SortedByX;
  bool visible = true;
  std::vector<ChartPoint> points;
  // Counts every change of this series (points, colour, visibility, order).
  uint64_t revision = 0;
};

enum class AxisId : int { Bottom, Left, Right };

struct ChartAxis {
  double min = 0;
  double max = 100;
  bool visible = true;
  bool automatic = true;
};

enum class LabelId : int { modelabel, cal_label, format_lbl, source_lbl, ave_en_lbl };
inline constexpr int kLabelCount = 5;

struct ChartLabel {
  std::string name;
  std::string text;
  int x = 0;                 // left edge in pixels from the chart's left edge
  int y = 0;                 // top edge in pixels from the chart's top edge
  bool centred_top = false;  // spread across the top, text centred
  std::string font_family;   // empty: the default font
  int pixel_size = 11;
  bool bold = false;
  Rgb colour;
  bool transparent = false;
  Rgb background;
  bool visible = true;
};

class ChartModel {
 public:
  ChartModel();

  // --- Series -------------------------------------------------------------
  const ChartSeries& Series(SeriesId id) const {
    Complete(Index(id));
    return series_[Index(id)];
  }
  const std::array<ChartSeries, kSeriesCount>& AllSeries() const;
  // Whether the series is drawn, without working out its later points.
  bool Visible(SeriesId id) const { return series_[Index(id)].visible; }
  // The series when it is drawn, null when it is hidden: a hidden series'
  // later points stay unworked.
  const ChartSeries* ShownSeries(SeriesId id) const { return Visible(id) ? &Series(id) : nullptr; }

  void Clear(SeriesId id);
  // Adds one point: at the end in insertion order, else after the last point
  // whose X is not above `x` (ascending X, equal X in the order added).
  void AddPoint(SeriesId id, double x, double y, std::string_view mark = {});
  // Adds many points as if added one by one, with one change notification.
  void AddPoints(SeriesId id, std::span<const double> xs, std::span<const double> ys);
  // Adds a point whose Y is f(z), worked out only when the series is next
  // read: the phase of a reflection trace costs an arctangent a point, and
  // is mostly not shown. The series counts as changed now.
  using LaterY = double (*)(std::complex<double>);
  void AddPointLater(SeriesId id, double x, std::complex<double> z, LaterY f);
  void SetVisible(SeriesId id, bool visible);
  void SetColour(SeriesId id, Rgb colour);
  // Switching to ascending X sorts the points already held (stably).
  void SetOrder(SeriesId id, PointOrder order);

  // --- Axes ---------------------------------------------------------------
  const ChartAxis& Axis(AxisId id) const { return axes_[static_cast<size_t>(id)]; }
  // A chart axis refuses a minimum above its maximum and a maximum below its
  // minimum (and anything that is not a finite number): the call then leaves
  // the axis as it was and returns false. This is why the layout first pulls
  // the minimum far down, then sets the maximum, then the minimum.
  bool SetAxisMinimum(AxisId id, double value);
  bool SetAxisMaximum(AxisId id, double value);
  void SetAxisVisible(AxisId id, bool visible);
  void SetAxisAutomatic(AxisId id, bool automatic);

  // --- Labels -------------------------------------------------------------
  const ChartLabel& Label(LabelId id) const { return labels_[static_cast<size_t>(id)]; }
  const std::array<ChartLabel, kLabelCount>& AllLabels() const { return labels_; }
  void SetLabelText(LabelId id, std::string_view text);
  void SetLabelVisible(LabelId id, bool visible);

  // --- Change notification --------------------------------------------------
  // Counts every change of the model; the shell compares it to decide what to
  // redraw. `on_change` runs after each change; the shell only schedules a
  // repaint there, so many changes within one event-loop turn paint once.
  uint64_t Revision() const { return revision_; }
  // Counts changes of the axes only (ranges, visibility, automatic ranging).
  uint64_t AxesRevision() const { return axes_revision_; }
  Signal<> on_change;
  // Changes made while held notify once, when the last hold is released: a
  // sweep's points are one change to whoever redraws.
  void HoldChanges() { ++holds_; }
  void ReleaseChanges();

 private:
  static size_t Index(SeriesId id) { return static_cast<size_t>(id); }
  void BuildLabels();
  ChartSeries& Mutable(SeriesId id) {
    Complete(Index(id));
    return series_[Index(id)];
  }
  // Works out the points added for later, in the order they were added.
  void Complete(size_t k) const {
    if (!later_[k].points.empty()) CompleteLater(k);
  }
  void CompleteLater(size_t k) const;
  void SeriesChanged(ChartSeries& series);
  void AxesChanged();
  void Changed();

  struct LaterPoints {
    LaterY f = nullptr;
    std::vector<std::pair<double, std::complex<double>>> points;
  };
  // Reading a series completes it, so both are mutable.
  mutable std::array<ChartSeries, kSeriesCount> series_;
  mutable std::array<LaterPoints, kSeriesCount> later_;
  std::array<ChartAxis, 3> axes_;
  std::array<ChartLabel, kLabelCount> labels_;
  uint64_t revision_ = 0;
  uint64_t axes_revision_ = 0;
  int holds_ = 0;
  bool held_change_ = false;
};

// The status-bar text for a click on a chart point: "X: 1.23; Y: -4.56".
std::string ChartClickText(double x, double y);

}  // namespace ostra
