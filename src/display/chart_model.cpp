#include "display/chart_model.h"

#include <algorithm>
#include <cmath>

#include "base/text_util.h"

namespace ostra {

namespace {

ChartSeries LineSeries(const char* name, Rgb colour, int width, VerticalAxis axis) {
  ChartSeries s;
  s.name = name;
  s.kind = SeriesKind::Line;
  s.colour = colour;
  s.pen_width = width;
  s.axis = axis;
  return s;
}

ChartSeries MarkerLikeSeries(const char* name, VerticalAxis axis) {
  ChartSeries s;
  s.name = name;
  s.kind = SeriesKind::Points;
  s.colour = kYellow;
  s.pointer = PointerStyle::Diamond;
  s.pointer_size = 3;
  s.pointer_brush = kYellow;
  s.pointer_outline = true;
  s.axis = axis;
  s.marks_visible = true;
  s.mark_style = MarkStyle::Marker;
  s.mark_colour = kYellow;
  s.mark_transparent = true;
  s.mark_arrow_length = 10;
  return s;
}

}  // namespace

ChartModel::ChartModel() {
  ChartSeries grid;
  grid.name = "SmithGridSeries";
  grid.kind = SeriesKind::Points;
  grid.colour = kSmithGridColour;
  grid.pointer = PointerStyle::Dot;
  grid.pointer_size = 1;
  grid.pointer_brush = kSmithGridColour;
  grid.pointer_outline = false;
  series_[Index(SeriesId::SmithGridSeries)] = grid;

  ChartSeries grid_label;
  grid_label.name = "SmithGridLabel";
  grid_label.kind = SeriesKind::Points;
  grid_label.colour = kBlack;
  grid_label.pointer = PointerStyle::Dot;
  grid_label.pointer_size = 1;
  grid_label.pointer_brush = kDarkGrey;
  grid_label.marks_visible = true;
  grid_label.mark_style = MarkStyle::GridLabel;
  grid_label.mark_colour = kSilver;
  grid_label.mark_transparent = false;
  grid_label.mark_background = kBlack;
  grid_label.mark_arrow_length = 0;
  series_[Index(SeriesId::SmithGridLabel)] = grid_label;

  series_[Index(SeriesId::MemDataSeries)] =
      LineSeries("MemDataSeries", kMemColour, 2, VerticalAxis::Left);
  // The memory trace keeps its points in the order they were copied.
  series_[Index(SeriesId::MemDataSeries)].order = PointOrder::Insertion;
  series_[Index(SeriesId::PhaseDataSeries)] =
      LineSeries("PhaseDataSeries", kAqua, 2, VerticalAxis::Right);
  series_[Index(SeriesId::MagDataSeries)] =
      LineSeries("MagDataSeries", kRed, 2, VerticalAxis::Left);
  series_[Index(SeriesId::MarkerSeries)] = MarkerLikeSeries("MarkerSeries", VerticalAxis::Left);
  series_[Index(SeriesId::MarkerSeries2)] = MarkerLikeSeries("MarkerSeries2", VerticalAxis::Right);
  series_[Index(SeriesId::RefLineSeries)] =
      LineSeries("RefLineSeries", kYellow, 1, VerticalAxis::Left);
  series_[Index(SeriesId::ReflMarker)] = MarkerLikeSeries("ReflMarker", VerticalAxis::Left);

  BuildLabels();
  axes_[static_cast<size_t>(AxisId::Bottom)] = ChartAxis{0, 100, true, true};
  axes_[static_cast<size_t>(AxisId::Left)] = ChartAxis{0, 100, true, true};
  axes_[static_cast<size_t>(AxisId::Right)] = ChartAxis{-180, 180, false, false};
}

// The labels drawn over the chart, with the texts they show until the first
// layout refresh.
void ChartModel::BuildLabels() {
  auto label = [this](LabelId id, const char* name, const char* text, int x, int y,
                      const char* family, int size, Rgb colour) {
    ChartLabel& l = labels_[static_cast<size_t>(id)];
    l.name = name;
    l.text = text;
    l.x = x;
    l.y = y;
    l.font_family = family;
    l.pixel_size = size;
    l.colour = colour;
    l.transparent = false;
    l.background = kBlack;
    l.visible = true;
  };
  label(LabelId::modelabel, "modelabel", "Transmission [S21] -- Frequency Sweep", 0, 0, "Calibri",
        16, kLime);
  labels_[static_cast<size_t>(LabelId::modelabel)].centred_top = true;
  label(LabelId::cal_label, "cal_label", "C?", 8, 10, "Calibri", 13, kLabelColour);
  label(LabelId::format_lbl, "format_lbl", "Format: Log   Scale: 5   RefLevel: 4   Ave: 8", 8, 26,
        "Calibri", 11, kLabelColour);
  label(LabelId::source_lbl, "source_lbl",
        "Start: 10MHz   Stop:50MHz   Centre: 30MHz   Span: 20MHz   Power: -12dBm   Phase: 120 deg",
        8, 40, "Calibri", 11, kLabelColour);
  label(LabelId::ave_en_lbl, "ave_en_lbl", "Average ON", 56, 64, "", 13, kYellow);
  labels_[static_cast<size_t>(LabelId::ave_en_lbl)].transparent = true;
  labels_[static_cast<size_t>(LabelId::ave_en_lbl)].visible = false;
}

void ChartModel::Changed() {
  ++revision_;
  if (holds_ > 0) {
    held_change_ = true;
    return;
  }
  on_change.Emit();
}

void ChartModel::ReleaseChanges() {
  if (holds_ > 0) --holds_;
  if (holds_ > 0 || !held_change_) return;
  held_change_ = false;
  on_change.Emit();
}

const std::array<ChartSeries, kSeriesCount>& ChartModel::AllSeries() const {
  for (size_t k = 0; k < kSeriesCount; ++k) Complete(k);
  return series_;
}

void ChartModel::SeriesChanged(ChartSeries& series) {
  ++series.revision;
  Changed();
}

void ChartModel::AxesChanged() {
  ++axes_revision_;
  Changed();
}

void ChartModel::Clear(SeriesId id) {
  later_[Index(id)].points.clear();
  ChartSeries& s = Mutable(id);
  if (s.points.empty()) return;
  s.points.clear();  // keeps the capacity: the next sweep grows without allocating
  SeriesChanged(s);
}

namespace {

void InsertPoint(ChartSeries& s, double x, double y, std::string_view mark) {
  if (s.order == PointOrder::Insertion || s.points.empty() || !(x < s.points.back().x)) {
    s.points.push_back(ChartPoint{x, y, std::string(mark)});
  } else {
    auto at = std::upper_bound(s.points.begin(), s.points.end(), x,
                               [](double v, const ChartPoint& p) { return v < p.x; });
    s.points.insert(at, ChartPoint{x, y, std::string(mark)});
  }
}

}  // namespace

void ChartModel::AddPoint(SeriesId id, double x, double y, std::string_view mark) {
  ChartSeries& s = Mutable(id);
  InsertPoint(s, x, y, mark);
  SeriesChanged(s);
}

void ChartModel::AddPointLater(SeriesId id, double x, std::complex<double> z, LaterY f) {
  const size_t k = Index(id);
  if (later_[k].f != f) Complete(k);  // one function per run of later points
  later_[k].f = f;
  later_[k].points.emplace_back(x, z);
  SeriesChanged(series_[k]);
}

void ChartModel::CompleteLater(size_t k) const {
  LaterPoints& later = later_[k];
  ChartSeries& s = series_[k];
  s.points.reserve(s.points.size() + later.points.size());
  for (const auto& [x, z] : later.points) InsertPoint(s, x, later.f(z), {});
  later.points.clear();
}

void ChartModel::AddPoints(SeriesId id, std::span<const double> xs, std::span<const double> ys) {
  ChartSeries& s = Mutable(id);
  const size_t n = std::min(xs.size(), ys.size());
  if (n == 0) return;
  const size_t first_new = s.points.size();
  s.points.reserve(first_new + n);
  for (size_t i = 0; i < n; ++i) s.points.push_back(ChartPoint{xs[i], ys[i], {}});
  if (s.order == PointOrder::SortedByX) {
    // Adding one by one with an upper-bound search keeps equal X in the order
    // added, which is what a stable merge of the sorted new run gives.
    auto mid = s.points.begin() + static_cast<std::ptrdiff_t>(first_new);
    auto by_x = [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; };
    std::stable_sort(mid, s.points.end(), by_x);
    std::inplace_merge(s.points.begin(), mid, s.points.end(), by_x);
  }
  SeriesChanged(s);
}

void ChartModel::SetVisible(SeriesId id, bool visible) {
  ChartSeries& s = Mutable(id);
  if (s.visible == visible) return;
  s.visible = visible;
  SeriesChanged(s);
}

void ChartModel::SetColour(SeriesId id, Rgb colour) {
  ChartSeries& s = Mutable(id);
  if (s.colour == colour) return;
  s.colour = colour;
  SeriesChanged(s);
}

void ChartModel::SetOrder(SeriesId id, PointOrder order) {
  ChartSeries& s = Mutable(id);
  if (s.order == order) return;
  s.order = order;
  if (order == PointOrder::SortedByX) {
    std::stable_sort(s.points.begin(), s.points.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
  }
  SeriesChanged(s);
}

bool ChartModel::SetAxisMinimum(AxisId id, double value) {
  ChartAxis& a = axes_[static_cast<size_t>(id)];
  if (!std::isfinite(value) || value > a.max) return false;
  if (a.min == value) return true;
  a.min = value;
  AxesChanged();
  return true;
}

bool ChartModel::SetAxisMaximum(AxisId id, double value) {
  ChartAxis& a = axes_[static_cast<size_t>(id)];
  if (!std::isfinite(value) || value < a.min) return false;
  if (a.max == value) return true;
  a.max = value;
  AxesChanged();
  return true;
}

void ChartModel::SetAxisVisible(AxisId id, bool visible) {
  ChartAxis& a = axes_[static_cast<size_t>(id)];
  if (a.visible == visible) return;
  a.visible = visible;
  AxesChanged();
}

void ChartModel::SetAxisAutomatic(AxisId id, bool automatic) {
  ChartAxis& a = axes_[static_cast<size_t>(id)];
  if (a.automatic == automatic) return;
  a.automatic = automatic;
  AxesChanged();
}

void ChartModel::SetLabelText(LabelId id, std::string_view text) {
  ChartLabel& l = labels_[static_cast<size_t>(id)];
  if (l.text == text) return;
  l.text = std::string(text);
  Changed();
}

void ChartModel::SetLabelVisible(LabelId id, bool visible) {
  ChartLabel& l = labels_[static_cast<size_t>(id)];
  if (l.visible == visible) return;
  l.visible = visible;
  Changed();
}

std::string ChartClickText(double x, double y) {
  return "X: " + FormatFixed(x, 2) + "; Y: " + FormatFixed(y, 2);
}

}  // namespace ostra
