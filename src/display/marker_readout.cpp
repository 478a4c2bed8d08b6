#include "display/marker_readout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/constants.h"
#include "base/text_util.h"
#include "display/trace_display.h"
#include "sweep/sweep_programming.h"

namespace ostra {

namespace {

constexpr double kReferenceOhms = 50;
constexpr std::array<std::string_view, kMarkerCount> kMarkerLabels = {"M1", "M2", "M3", "M4"};

// Column numbers of the marker table.
constexpr int kLabelColumn = 0;
constexpr int kStimulusColumn = 1;
constexpr int kMagColumn = 2;
constexpr int kPhaseColumn = 3;
constexpr int kImpedanceColumn = 4;
constexpr int kVswrColumn = 5;

// A power in dBm as the 16-bit power word the instrument is programmed with.
std::string_view HeaderOf(SweepKind sweep) {
  switch (sweep) {
    case SweepKind::Frequency:
      return kFrequencyHeader;
    case SweepKind::Phase:
      return kPhaseHeader;
    case SweepKind::Power:
    case SweepKind::Other:
      break;
  }
  return kPowerHeader;
}

// A cell's text, built without allocating (the cells keep their capacity
// from sweep to sweep, so a warm sweep allocates nothing).
class CellText {
 public:
  std::string_view Fixed(double value, int decimals) {
    Clear();
    return AppendFixed(value, decimals).View();
  }
  CellText& Clear() {
    end_ = buffer_;
    return *this;
  }
  // "%1.<decimals>f"; "0" for what cannot be written. A value that rounds
  // to zero is written without a minus sign ("0.0", not "-0.0").
  CellText& AppendFixed(double value, int decimals) {
    char* const start = end_;
    auto [ptr, ec] =
        std::to_chars(end_, buffer_ + sizeof buffer_, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return Append("0");
    end_ = ptr;
    if (*start == '-' &&
        std::all_of(start + 1, end_, [](char c) { return c == '0' || c == '.'; })) {
      std::memmove(start, start + 1, static_cast<size_t>(end_ - start - 1));
      --end_;
    }
    return *this;
  }
  CellText& Append(std::string_view text) {
    const size_t room = static_cast<size_t>(buffer_ + sizeof buffer_ - end_);
    const size_t n = std::min(room, text.size());
    std::memcpy(end_, text.data(), n);
    end_ += n;
    return *this;
  }
  std::string_view View() const { return {buffer_, static_cast<size_t>(end_ - buffer_)}; }

 private:
  char buffer_[400];
  char* end_ = buffer_;
};

void WriteImpedance(CellText& text, std::complex<double> g) {
  text.Clear();
  const std::complex<double> d = 1.0 - g;
  const double denominator = std::norm(d);
  if (denominator == 0) {
    text.Append(kInfiniteText);
    return;
  }
  const std::complex<double> z = kReferenceOhms * (1.0 + g) * std::conj(d) / denominator;
  if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) {
    text.Append(kInfiniteText);
    return;
  }
  // The imaginary part carries a plus sign unless it is written negative
  // (one that rounds to zero is written "+0.0").
  CellText imag;
  imag.AppendFixed(z.imag(), 1);
  const bool negative = imag.View().starts_with('-');
  text.AppendFixed(z.real(), 1).Append(negative ? "" : "+").Append(imag.View()).Append("j");
}

void WriteVswr(CellText& text, double magnitude) {
  text.Clear();
  if (!(magnitude < 1)) {
    text.Append(kInfiniteText);
    return;
  }
  text.AppendFixed((magnitude + 1) / (1 - magnitude + 1e-6), 2);
}

// The number a cell shows, read back from its text; `fallback` when the
// cell shows no number.
double CellNumber(const std::string& text, double fallback) {
  double value = 0;
  return TryStrToFloat(text, value) ? value : fallback;
}

}  // namespace

MarkerAxis ReadMarkerAxis(const InstrumentSettings& settings) {
  const StimulusAxis stimulus = ReadStimulusAxis(settings);
  MarkerAxis axis;
  axis.sweep = stimulus.sweep;
  axis.points = stimulus.points;
  axis.start = static_cast<double>(stimulus.start);
  axis.stop = static_cast<double>(stimulus.stop);
  axis.step = static_cast<double>(stimulus.step);
  return axis;
}

int MarkerPointIndex(const MarkerAxis& axis, double value) {
  const int last = std::min(axis.points, kMaxTracePoints) - 1;
  if (last <= 0 || axis.step == 0) return 0;
  if (axis.sweep != SweepKind::Frequency && axis.sweep != SweepKind::Phase) {
    // Far above the sweep a power word would wrap round to a small one and
    // read a point in the middle: it is held at the largest word instead.
    value = static_cast<double>(std::min<int64_t>(PowerWordFromDbm(value), 65535));
  }
  const int64_t index = RoundHalfEven((value - axis.start) / axis.step);
  return static_cast<int>(std::clamp<int64_t>(index, 0, last));
}

int MarkerPointIndex(const InstrumentSettings& settings, double value) {
  return MarkerPointIndex(ReadMarkerAxis(settings), value);
}

double SteppedMarkerValue(const InstrumentSettings& settings, double value, bool up) {
  const MarkerAxis axis = ReadMarkerAxis(settings);
  if (axis.step == 0) return value;
  if (axis.sweep == SweepKind::Frequency || axis.sweep == SweepKind::Phase) {
    // A falling sweep (stop below start) steps down: held within the sweep
    // whichever way it runs.
    const double next = up ? value + axis.step : value - axis.step;
    return std::clamp(next, std::min(axis.start, axis.stop), std::max(axis.start, axis.stop));
  }
  // A power sweep's points are equally spaced in power words, not in dBm:
  // the marker moves to the power of the neighbouring point.
  const double start_dbm = settings.Float(Setting::StartPower);
  const double stop_dbm = static_cast<double>(settings.Int(Setting::StopPower));
  const int next = MarkerPointIndex(axis, value) + (up ? 1 : -1);
  if (next > axis.points - 1) return stop_dbm;
  if (next < 0) return start_dbm;
  const double word = std::clamp(axis.start + next * axis.step, 1.0, 65535.0);
  const double dbm = DbmFromPowerWord(static_cast<uint16_t>(word));
  return std::clamp(dbm, std::min(start_dbm, stop_dbm), std::max(start_dbm, stop_dbm));
}

std::string ImpedanceText(std::complex<double> g) {
  CellText text;
  WriteImpedance(text, g);
  return std::string(text.View());
}

std::string VswrText(double magnitude) {
  CellText text;
  WriteVswr(text, magnitude);
  return std::string(text.View());
}

// --- MarkerReadout -------------------------------------------------------------

MarkerReadout::MarkerReadout(const InstrumentSettings& settings, const TraceDisplay& trace,
                             ChartModel& chart, const MarkerState& markers)
    : settings_(settings), trace_(trace), chart_(chart), markers_(markers) {}

void MarkerReadout::UpdateMarkers() {
  // Every conversion comes first: an entry that is not a number leaves the
  // table and the diamonds as the last sweep left them.
  const MarkerAxis axis = ReadMarkerAxis(settings_);
  const bool frequency_sweep = axis.sweep == SweepKind::Frequency;
  // The arrays hold a reflection coefficient only in a frequency sweep in
  // mode "Reflection"; every other sweep stores gain and phase.
  const bool reflection = frequency_sweep && ParseMode(settings_.Mode()) == ModeKind::Reflection;
  const Placement at{ParseFormat(settings_.Format()), chart_.Visible(SeriesId::PhaseDataSeries),
                     frequency_sweep};

  chart_.Clear(SeriesId::MarkerSeries);
  chart_.Clear(SeriesId::MarkerSeries2);
  MarkerTable::Batch batch(table_);
  table_.SetCell(kStimulusColumn, 0, HeaderOf(axis.sweep));
  for (int m = 0; m < kMarkerCount; ++m) {
    const Marker& marker = markers_.At(m);
    if (!marker.enabled) continue;
    const int k = MarkerPointIndex(axis, marker.value);
    const int row = m + 1;
    table_.SetCell(kLabelColumn, row, kMarkerLabels[static_cast<size_t>(m)]);
    if (reflection) {
      ReadReflection(row, k, at);
    } else {
      ReadTransmission(row, k, at);
    }
  }
}

void MarkerReadout::AddDiamond(SeriesId series, double x, double y, int row) {
  chart_.AddPoint(series, x, y, kMarkerLabels[static_cast<size_t>(row - 1)]);
}

// The diamond of a Log, Lin or Phase chart: in Log at the magnitude the table
// shows, in Lin at the linear magnitude, in Phase at `phase_y` degrees.
void MarkerReadout::AddMagnitudeOrPhaseDiamond(FormatKind format, double x, double linear,
                                               double phase_y, int row) {
  switch (format) {
    case FormatKind::Log:
      AddDiamond(SeriesId::MarkerSeries, x, CellNumber(table_.Cell(kMagColumn, row), 0), row);
      break;
    case FormatKind::Lin:
      AddDiamond(SeriesId::MarkerSeries, x, linear, row);
      break;
    case FormatKind::Phase:
      AddDiamond(SeriesId::MarkerSeries, x, phase_y, row);
      break;
    default:
      break;
  }
}

void MarkerReadout::ReadReflection(int row, int k, const Placement& at) {
  const size_t i = static_cast<size_t>(k);
  const double mag = trace_.ReflMag()[i];
  const double phase = trace_.ReflPhaseAt(i);
  const double degrees = phase * kDegreesPerRadian;
  const double x = trace_.TraceX()[i] / 1e6;
  const std::complex<double> g(mag * std::cos(phase), mag * std::sin(phase));

  CellText text;
  table_.SetCell(kStimulusColumn, row, text.Fixed(x, 3));
  table_.SetCell(kMagColumn, row, text.Fixed(TraceDecibels(mag), 1));
  WriteImpedance(text, g);
  table_.SetCell(kImpedanceColumn, row, text.View());
  WriteVswr(text, mag);
  table_.SetCell(kVswrColumn, row, text.View());
  table_.SetCell(kPhaseColumn, row, text.Fixed(degrees, 1));

  if (at.overlay) AddDiamond(SeriesId::MarkerSeries2, x, degrees, row);
  // The diamond sits at the value the table shows.
  switch (at.format) {
    case FormatKind::VSWR: {
      // An infinite VSWR sits where the trace draws it, off the top.
      const double plotted = (1 + mag) / (1 - mag + 1e-6);
      const double y = CellNumber(table_.Cell(kVswrColumn, row), plotted);
      if (std::isfinite(y)) AddDiamond(SeriesId::MarkerSeries, x, y, row);
      break;
    }
    case FormatKind::Smith:
      AddDiamond(SeriesId::MarkerSeries, g.real(), g.imag(), row);
      break;
    default:
      AddMagnitudeOrPhaseDiamond(at.format, x, mag, degrees, row);
      break;
  }
}

void MarkerReadout::ReadTransmission(int row, int k, const Placement& at) {
  const size_t i = static_cast<size_t>(k);
  const double linear = trace_.TransMag()[i];
  const double degrees = trace_.TransPhase()[i] * kDegreesPerRadian;
  const double x = at.frequency_sweep ? trace_.TraceX()[i] / 1e6 : trace_.TraceX()[i];

  CellText text;
  table_.SetCell(kStimulusColumn, row, text.Fixed(x, 3));
  table_.SetCell(kMagColumn, row, text.Fixed(TraceDecibels(linear), 1));
  table_.SetCell(kPhaseColumn, row, text.Fixed(degrees, 1));

  if (at.overlay) AddDiamond(SeriesId::MarkerSeries2, x, degrees, row);
  AddMagnitudeOrPhaseDiamond(at.format, x, linear, CellNumber(table_.Cell(kPhaseColumn, row), 0),
                             row);
}

}  // namespace ostra
