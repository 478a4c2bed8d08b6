// What the markers read: the point a marker's stimulus value lands on, the
// step of the arrows, and the rebuilding of the marker table and of the
// markers' diamonds on the chart after every sweep.
#pragma once

#include <complex>
#include <string>
#include <string_view>

#include "base/instrument_settings.h"
#include "base/measurement.h"
#include "display/chart_model.h"
#include "display/marker_table.h"
#include "display/markers.h"

namespace ostra {

class TraceDisplay;

// The sweep as the markers read it.
struct MarkerAxis {
  SweepKind sweep = SweepKind::Frequency;
  int points = 0;
  // Whole hertz or degrees; in a power sweep (and any other type) the
  // 16-bit power words of the start and stop powers.
  double start = 0;
  double stop = 0;
  // Rnd((stop - start) / (points - 1)): 0 with one point, or when the span
  // holds fewer units than there are points.
  double step = 0;
};

// The axis of the sweep the settings describe. Raises ConversionError for
// an entry that is not a number.
MarkerAxis ReadMarkerAxis(const InstrumentSettings& settings);

// The point number a marker value reads, 0 .. points - 1 (and within the
// trace arrays). A power-sweep value in dBm is read through its power word,
// held at 65535 above the words' range. With a step of 0 the marker reads
// point 0.
int MarkerPointIndex(const MarkerAxis& axis, double value);
int MarkerPointIndex(const InstrumentSettings& settings, double value);

// A marker value moved one step up (the right arrow) or down (the left
// arrow). Frequency and phase sweeps move by the axis step, held at the
// stop and start; a step of 0 leaves the value. A power sweep moves to the
// exact power of the next point up or down from the point the marker reads,
// held at the start and stop power. Raises ConversionError.
double SteppedMarkerValue(const InstrumentSettings& settings, double value, bool up);

// What the impedance and VSWR cells show for an infinite value (a
// reflection coefficient of magnitude 1 or more; the open circuit).
inline constexpr std::string_view kInfiniteText = "\xE2\x88\x9E";  // the infinity sign

// 50 x (1 + G) / (1 - G) as "Re+Imj" / "Re-Imj" with one decimal each; a
// zero imaginary part carries a plus sign. kInfiniteText for G = 1.
std::string ImpedanceText(std::complex<double> g);
// (1 + |G|) / (1 - |G| + 1e-6) with two decimals; kInfiniteText for a
// magnitude of 1 or more.
std::string VswrText(double magnitude);

// The marker table and the markers' diamonds, rebuilt from the trace
// arrays of the latest sweep.
class MarkerReadout {
 public:
  MarkerReadout(const InstrumentSettings& settings, const TraceDisplay& trace, ChartModel& chart,
                const MarkerState& markers);
  MarkerReadout(const MarkerReadout&) = delete;
  MarkerReadout& operator=(const MarkerReadout&) = delete;

  // After the last point of each sweep: the header of column 1 by sweep
  // type, a row and a diamond (two with the phase overlay) for every
  // enabled marker. Raises ConversionError, before anything has changed,
  // for an entry that is not a number.
  void UpdateMarkers();
  // At every layout refresh: the headers, rows 1 to 4 empty.
  void ResetMarkerTable() { table_.Reset(); }
  // Rows 1 to 4 empty.
  void ClearMarkerRows() { table_.ClearMarkerRows(); }

  MarkerTable& Table() { return table_; }
  const MarkerTable& Table() const { return table_; }

 private:
  struct Placement {
    FormatKind format;
    bool overlay;
    bool frequency_sweep;
  };
  void ReadReflection(int row, int k, const Placement& at);
  void ReadTransmission(int row, int k, const Placement& at);
  void AddMagnitudeOrPhaseDiamond(FormatKind format, double x, double linear, double phase_y,
                                  int row);
  void AddDiamond(SeriesId series, double x, double y, int row);

  const InstrumentSettings& settings_;
  const TraceDisplay& trace_;
  ChartModel& chart_;
  const MarkerState& markers_;
  MarkerTable table_;
};

}  // namespace ostra
