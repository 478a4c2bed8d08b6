#include "display/trace_display.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "base/constants.h"
#include "base/text_util.h"

namespace ostra {

namespace {

// The grid generators divide this by the number of points (not 2 pi: the
// last point stops just short of a full turn).
constexpr double kTurn = 6.2836;

constexpr std::array<const char*, 5> kFormatNames{"Log", "Lin", "Smith", "VSWR", "Phase"};
constexpr std::array<FormatScale, 5> kFormatStart{
    {{30, 5}, {2, 0.2}, {1, 0.1}, {20, 1}, {180, 18}}};

int FormatSlot(std::string_view format) {
  for (size_t i = 0; i < kFormatNames.size(); ++i) {
    if (format == kFormatNames[i]) return static_cast<int>(i);
  }
  return -1;
}

struct GridLabel {
  const char* text;
  double x;
  double y;
};

constexpr std::array<GridLabel, 16> kGridLabels{{
    {"1", -0.03, 0.01},
    {"0.5", -0.37, 0.01},
    {"0.2", -0.7, 0.01},
    {"0", -1.03, -0.02},
    {"2", 0.3, 0.01},
    {"5", 0.64, 0.01},
    {"+0.2j", -0.98, 0.37},
    {"+0.5j", -0.65, 0.8},
    {"+1j", 0, 1.02},
    {"+2j", 0.65, 0.8},
    {"+5j", 0.98, 0.37},
    {"-0.2j", -0.98, -0.42},
    {"-0.5j", -0.65, -0.86},
    {"-1j", 0, -1.08},
    {"-2j", 0.65, -0.86},
    {"-5j", 0.98, -0.42},
}};

constexpr std::array<double, 5> kGridValues{0.2, 0.5, 1, 2, 5};

// The angle of a complex value in (-pi, pi].
double Angle(std::complex<double> z) {
  const double a = std::arg(z);
  return a <= -std::numbers::pi ? std::numbers::pi : a;
}

double Degrees(std::complex<double> z) { return Angle(z) * kDegreesPerRadian; }

}  // namespace

// --- FormatScaling ------------------------------------------------------------

void FormatScaling::Reset() { slots_ = kFormatStart; }

const FormatScale* FormatScaling::Find(std::string_view format) const {
  const int slot = FormatSlot(format);
  return slot < 0 ? nullptr : &slots_[static_cast<size_t>(slot)];
}

FormatScale* FormatScaling::Find(std::string_view format) {
  const int slot = FormatSlot(format);
  return slot < 0 ? nullptr : &slots_[static_cast<size_t>(slot)];
}

bool FormatScaling::SetRefLevel(std::string_view format, double value) {
  FormatScale* s = Find(format);
  if (s == nullptr) return false;
  s->ref_level = value;
  return true;
}

bool FormatScaling::SetScale(std::string_view format, double value) {
  FormatScale* s = Find(format);
  if (s == nullptr) return false;
  s->scale = value;
  return true;
}

double FormatScaling::RefLevel(std::string_view format) const {
  const FormatScale* s = Find(format);
  return s == nullptr ? 0 : s->ref_level;
}

double FormatScaling::Scale(std::string_view format) const {
  const FormatScale* s = Find(format);
  return s == nullptr ? 0 : s->scale;
}

// --- TraceDisplay ---------------------------------------------------------------

TraceDisplay::TraceDisplay(ChartModel& chart, InstrumentSettings& settings)
    : chart_(chart), settings_(settings) {}

void TraceDisplay::DecodeSettings() {
  if (settings_.Revision() == decoded_revision_) return;
  decoded_revision_ = settings_.Revision();
  sweep_ = ParseSweepType(settings_.SweepType());
  mode_ = ParseMode(settings_.Mode());
  format_ = ParseFormat(settings_.Format());
}

TraceDisplay::StimulusLayout TraceDisplay::StimulusAxisAndLabel() const {
  StimulusLayout layout;
  switch (ParseSweepType(settings_.SweepType())) {
    case SweepKind::Frequency: {
      const int64_t start = settings_.Int(Setting::StartFreq);
      const int64_t stop = settings_.Int(Setting::StopFreq);
      const int64_t centre = settings_.Int(Setting::CentreFreq);
      const int64_t span = settings_.Int(Setting::SpanFreq);
      layout.max = static_cast<double>(stop) / 1e6;
      layout.min = static_cast<double>(start) / 1e6;
      auto mhz = [](int64_t hz) { return FormatFixed(static_cast<double>(hz) / 1e6, 3); };
      layout.source = "Start: " + mhz(start) + "MHz   " + "Stop: " + mhz(stop) + "MHz   " +
                      "Centre: " + mhz(centre) + "MHz   " + "Span: " + mhz(span) + "MHz   " +
                      "Power: " + settings_.Text(Setting::PowerFreq) + "dBm";
      break;
    }
    case SweepKind::Phase:
      layout = StepSweepLayout({Setting::StartPhase, Setting::StopPhase, Setting::CentrePhase,
                                Setting::SpanPhase, Setting::PowerPhase, Setting::FreqPhase},
                               "deg", "Power: ", "dBm");
      break;
    case SweepKind::Power:
    case SweepKind::Other:
      layout = StepSweepLayout({Setting::StartPower, Setting::StopPower, Setting::CentrePower,
                                Setting::SpanPower, Setting::PhasePower, Setting::FreqPower},
                               "dBm", "Phase: ", "deg");
      break;
  }
  return layout;
}

// A phase or power sweep's label: its start, stop, centre and span in the
// sweep's unit, the quantity held fixed, and the fixed frequency.
TraceDisplay::StimulusLayout TraceDisplay::StepSweepLayout(const StepSweepSettings& s,
                                                           std::string_view unit,
                                                           std::string_view fixed_name,
                                                           std::string_view fixed_unit) const {
  StimulusLayout layout;
  layout.max = settings_.Float(s.stop);
  layout.min = settings_.Float(s.start);
  const std::string gap = std::string(unit) + "   ";
  layout.source = "Start: " + settings_.Text(s.start) + gap + "Stop: " + settings_.Text(s.stop) +
                  gap + "Centre: " + settings_.Text(s.centre) + gap +
                  "Span: " + settings_.Text(s.span) + gap + std::string(fixed_name) +
                  settings_.Text(s.fixed) + std::string(fixed_unit) + "   " +
                  "Frequency: " + WholeMhz(s.frequency) + "MHz";
  return layout;
}

std::string TraceDisplay::WholeMhz(Setting hz_setting) const {
  return std::to_string(RoundHalfEven(static_cast<double>(settings_.Int(hz_setting)) / 1e6));
}

void TraceDisplay::UpdateDisplayLayout() {
  // Every conversion happens before the chart is touched, so an entry that
  // is not a number leaves axes and labels as they were.
  const StimulusLayout stimulus = StimulusAxisAndLabel();
  PullAxesDown();
  chart_.SetAxisMaximum(AxisId::Bottom, stimulus.max);
  chart_.SetAxisMinimum(AxisId::Bottom, stimulus.min);
  chart_.SetLabelText(LabelId::source_lbl, stimulus.source);
  WriteFormatLabel();
  RangeLeftAxis();
  ResetRightAxis();
  WriteModeLabel();
  on_reset_marker_table.Emit();
}

void TraceDisplay::PullAxesDown() {
  // Every minimum goes far down first, so that any new maximum is accepted.
  for (AxisId axis : {AxisId::Bottom, AxisId::Left, AxisId::Right}) {
    chart_.SetAxisAutomatic(axis, false);
    chart_.SetAxisMinimum(axis, -1e12);
  }
  chart_.SetAxisVisible(AxisId::Left, true);
  chart_.SetAxisVisible(AxisId::Bottom, true);
  chart_.SetAxisVisible(AxisId::Right, false);
}

void TraceDisplay::WriteFormatLabel() {
  chart_.SetLabelText(LabelId::format_lbl, "Format: " + settings_.Format() + "   " +
                                               "Scale: " + settings_.Text(Setting::Scale) + "   " +
                                               "RefLevel: " + settings_.Text(Setting::RefLevel) +
                                               "   " + "Ave: " + settings_.Text(Setting::Average));
}

void TraceDisplay::RangeLeftAxis() {
  // Twenty scale units below the reference level; any other format is drawn
  // as a Smith chart.
  const FormatKind format = ParseFormat(settings_.Format());
  if (format == FormatKind::Smith || format == FormatKind::Other) {
    BuildSmithGrid();
    return;
  }
  const FormatScale& s = *scaling_.Find(settings_.Format());
  chart_.SetAxisMaximum(AxisId::Left, s.ref_level);
  chart_.SetAxisMinimum(AxisId::Left, s.ref_level - 20 * s.scale);
}

void TraceDisplay::ResetRightAxis() {
  // The right axis is fixed; every refresh cancels "Add Phase".
  chart_.SetAxisMaximum(AxisId::Right, 180);
  chart_.SetAxisMinimum(AxisId::Right, -180);
  chart_.SetVisible(SeriesId::PhaseDataSeries, false);
  chart_.SetAxisVisible(AxisId::Right, false);
}

void TraceDisplay::WriteModeLabel() {
  const std::string head = ParseMode(settings_.Mode()) == ModeKind::Reflection
                               ? "Reflection [S11] -- "
                               : "Transmission [S21] -- ";
  chart_.SetLabelText(LabelId::modelabel, head + settings_.SweepType() + " Sweep");
}

void TraceDisplay::PlotTracePoint(int i, double x, const PointResult& result) {
  DecodeSettings();
  // A frequency sweep in a mode that is neither stores and plots nothing.
  if (sweep_ == SweepKind::Frequency && mode_ == ModeKind::Other) return;
  // The error correction says which kind of result it delivered: a
  // reflection coefficient (frequency sweep, mode "Reflection") or a gain and
  // a phase. Going by the result keeps the last points of a sweep right when
  // the mode text changes between two sweeps of one acquisition.
  if (result.reflection) {
    PlotReflection(i, x, result.gamma);
  } else {
    PlotTransmission(i, x, result.gain_db, result.phase_rad);
  }
}

// The point number indexes the trace arrays; one beyond them is plotted but
// not stored.
static bool Stored(int i) { return i >= 0 && i < kMaxTracePoints; }

const TraceArray& TraceDisplay::ReflPhase() const {
  if (any_refl_phase_stale_) {
    for (size_t k = 0; k < refl_phase_.size(); ++k) {
      if (refl_phase_stale_[k]) refl_phase_[k] = Angle(refl_gamma_[k]);
    }
    refl_phase_stale_.assign(refl_phase_stale_.size(), false);
    any_refl_phase_stale_ = false;
  }
  return refl_phase_;
}

double TraceDisplay::ReflPhaseAt(size_t k) const {
  if (k >= refl_phase_.size()) return 0.0;
  if (refl_phase_stale_[k]) {
    refl_phase_[k] = Angle(refl_gamma_[k]);
    refl_phase_stale_[k] = false;
  }
  return refl_phase_[k];
}

void TraceDisplay::PlotReflection(int i, double x, std::complex<double> g) {
  // |G| without hypot's care for overflow: a reflection is never near it.
  const double mag = std::sqrt(std::norm(g));
  if (Stored(i)) {
    const auto k = static_cast<size_t>(i);
    refl_mag_[k] = mag;
    refl_gamma_[k] = g;
    refl_phase_stale_[k] = true;
    any_refl_phase_stale_ = true;
    trace_x_[k] = x * 1e6;
  }
  // The phase, in the overlay and in the arrays, is worked out where it is
  // read: most formats never show it.
  chart_.AddPointLater(SeriesId::PhaseDataSeries, x, g, &Degrees);
  switch (format_) {
    case FormatKind::Smith:
      chart_.AddPoint(SeriesId::MagDataSeries, g.real(), g.imag());
      break;
    case FormatKind::Log:
      chart_.AddPoint(SeriesId::MagDataSeries, x, TraceDecibels(mag));
      break;
    case FormatKind::Lin:
      chart_.AddPoint(SeriesId::MagDataSeries, x, mag);
      break;
    case FormatKind::Phase:
      chart_.AddPoint(SeriesId::MagDataSeries, x, Degrees(g));
      break;
    case FormatKind::VSWR:
      chart_.AddPoint(SeriesId::MagDataSeries, x, (1 + mag) / (1 - mag + 1e-6));
      break;
    case FormatKind::Other:
      break;
  }
}

void TraceDisplay::PlotTransmission(int i, double x, double gain_db, double phase_rad) {
  const double linear = std::pow(10.0, gain_db / 20);
  const double degrees = phase_rad * kDegreesPerRadian;
  if (Stored(i)) {
    const auto k = static_cast<size_t>(i);
    trans_mag_[k] = linear;
    trans_phase_[k] = phase_rad;
    trace_x_[k] = sweep_ == SweepKind::Frequency ? x * 1e6 : x;
  }
  chart_.AddPoint(SeriesId::PhaseDataSeries, x, degrees);
  switch (format_) {
    case FormatKind::Log:
      chart_.AddPoint(SeriesId::MagDataSeries, x, gain_db);
      break;
    case FormatKind::Lin:
      chart_.AddPoint(SeriesId::MagDataSeries, x, linear);
      break;
    case FormatKind::Phase:
      chart_.AddPoint(SeriesId::MagDataSeries, x, degrees);
      break;
    default:
      break;
  }
}

void TraceDisplay::ClearTrace() {
  chart_.Clear(SeriesId::MagDataSeries);
  chart_.SetColour(SeriesId::MagDataSeries, kRed);
  chart_.Clear(SeriesId::PhaseDataSeries);
}

// --- Smith chart grid -------------------------------------------------------------

int TraceDisplay::ReactanceArc(double x, int n) {
  n = std::clamp(n, 0, kWorkPoints);
  // Reactance 0 is the real axis, a circle of infinite radius: nothing to keep.
  if (x == 0 || !std::isfinite(x)) return 0;
  const double e = 1 / x;
  int kept = 0;
  for (int b = 0; b < n; ++b) {
    const double t = kTurn / n * b;
    const double px = 1 + e * std::cos(t);
    const double py = e + e * std::sin(t);
    if (std::sqrt(px * px + py * py) <= 1) {
      work_x_[static_cast<size_t>(kept)] = px;
      work_y_[static_cast<size_t>(kept)] = py;
      ++kept;
    }
  }
  return kept;
}

void TraceDisplay::ResistanceCircle(double r, int n) {
  n = std::clamp(n, 0, kWorkPoints);
  // Below -1 the circle lies outside the chart; at -1 it is infinite. Both
  // shrink to the open-circuit point.
  const bool degenerate = !(r > -1) || !std::isfinite(r);
  for (int i = 0; i < n; ++i) {
    const double t = kTurn / n * i;
    const size_t k = static_cast<size_t>(i);
    if (degenerate) {
      work_x_[k] = 1;
      work_y_[k] = 0;
    } else {
      work_x_[k] = r / (r + 1) + std::cos(t) / (r + 1);
      work_y_[k] = std::sin(t) / (r + 1);
    }
  }
}

void TraceDisplay::BuildSmithGrid() {
  chart_.Clear(SeriesId::SmithGridSeries);
  chart_.Clear(SeriesId::SmithGridLabel);

  auto add_work = [this](int count) {
    const size_t n = static_cast<size_t>(count);
    chart_.AddPoints(SeriesId::SmithGridSeries, std::span<const double>(work_x_.data(), n),
                     std::span<const double>(work_y_.data(), n));
  };
  for (double x : kGridValues) {
    add_work(ReactanceArc(x, 200));
    add_work(ReactanceArc(-x, 200));
  }
  for (double r : kGridValues) {
    ResistanceCircle(r, 200);
    add_work(200);
  }
  std::array<double, 201> axis_x{};
  std::array<double, 201> axis_y{};
  for (size_t p = 0; p < axis_x.size(); ++p) axis_x[p] = static_cast<double>(p) * 0.01 - 1;
  chart_.AddPoints(SeriesId::SmithGridSeries, axis_x, axis_y);
  ResistanceCircle(0, 600);
  add_work(600);

  for (const GridLabel& label : kGridLabels) {
    chart_.AddPoint(SeriesId::SmithGridLabel, label.x, label.y, label.text);
  }

  for (AxisId axis : {AxisId::Bottom, AxisId::Left}) {
    chart_.SetAxisAutomatic(axis, false);
    chart_.SetAxisMaximum(axis, 1e12);
    chart_.SetAxisMinimum(axis, -1.1);
    chart_.SetAxisMaximum(axis, 1.1);
  }
  chart_.SetAxisVisible(AxisId::Left, false);
  chart_.SetAxisVisible(AxisId::Bottom, false);
  chart_.SetAxisVisible(AxisId::Right, false);
}

// --- Format actions -------------------------------------------------------------

void TraceDisplay::ClearSmithOverlays() {
  chart_.Clear(SeriesId::SmithGridSeries);
  chart_.Clear(SeriesId::SmithGridLabel);
  chart_.Clear(SeriesId::RefLineSeries);
  chart_.Clear(SeriesId::ReflMarker);
}

void TraceDisplay::ShowPhaseOverlay() {
  // Every format but "Smith" and "Phase" takes the overlay, a format text
  // outside the five known ones included.
  const FormatKind format = ParseFormat(settings_.Format());
  if (format == FormatKind::Smith || format == FormatKind::Phase) return;
  chart_.SetAxisVisible(AxisId::Right, true);
  chart_.SetVisible(SeriesId::PhaseDataSeries, true);
}

void TraceDisplay::UseInsertionOrder() {
  chart_.SetOrder(SeriesId::MagDataSeries, PointOrder::Insertion);
  chart_.SetOrder(SeriesId::PhaseDataSeries, PointOrder::Insertion);
  chart_.SetOrder(SeriesId::RefLineSeries, PointOrder::Insertion);
}

void TraceDisplay::ApplyFormatScalingToSettings() {
  const FormatScale* s = scaling_.Find(settings_.Format());
  if (s == nullptr) return;
  settings_.SetText(Setting::RefLevel, FormatGeneral(s->ref_level));
  settings_.SetText(Setting::Scale, FormatGeneral(s->scale));
}

}  // namespace ostra
