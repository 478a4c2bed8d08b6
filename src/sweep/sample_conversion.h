// Conversion of the instrument's sample stream into per-point I and Q
// voltages, averaging over successive sweeps, the saturation count, the axis
// value of each point, DC-offset removal, magnitude and phase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/constants.h"
#include "base/instrument_settings.h"
#include "base/measurement.h"
#include "base/sweep_settings.h"

namespace ostra {

// Readings beyond +-2.48 V count as saturated.
inline constexpr double kSaturationVolts = 2.48;
// The largest averaging factor the history is sized for; a larger factor in
// opt_ave_box averages over this many sweeps.
inline constexpr int kMaxAverageFactor = 1000;

// One 12-bit two's-complement reading (high byte first) in volts.
double SampleVolts(uint8_t high, uint8_t low);

enum class AxisKind { Frequency, Phase, Power };

// What a run reads from the settings once, at its start.
struct RunParameters {
  std::string sweep_type;                  // text of opt_sweep_type_box
  std::string mode;                        // text of opt_mode_box
  SweepKind sweep = SweepKind::Frequency;  // the two texts parsed
  ModeKind measure = ModeKind::Reflection;
  std::string capture_mode = "normal";  // or one of the seven capture modes
  int points = 0;
  int dwell = 0;
  AxisKind axis = AxisKind::Frequency;
  int64_t axis_start = 0;  // Hz, degrees or power word
  int64_t axis_step = 0;   // per point, span / (points - 1), 0 for one point
  SweepSettings settings;  // the numbers the run was started with
};

// The values of one point handed to the capture lines and the correction.
struct ConvertedPoint {
  double x = 0.0;      // MHz, degrees or dBm
  double raw_i = 0.0;  // volts, before the DC offsets are removed
  double raw_q = 0.0;
  double in_phase = 0.0;    // volts, after DC-offset removal
  double quadrature = 0.0;  // volts, after DC-offset removal
  double m = 0.0;           // volts, after DC-offset removal (when polar)
  double phi = 0.0;         // radians, -pi .. pi (when polar)
};

// Owner of the per-point arrays, the averaging history and AverageCount. The
// acquisition loop calls, per run: BeginRun; per sweep: AveragePointSamples,
// BeginSweep; per point: ConvertPoint. Steady-state sweeps allocate nothing.
class SampleConverter {
 public:
  explicit SampleConverter(const InstrumentSettings& settings)
      : settings_(settings), sweep_(settings) {}

  std::vector<double> PointI, PointQ;
  std::vector<double> DcOffsetI, DcOffsetQ;  // filled by LoadDcOffsets
  // Sweeps taken into the history since it was last reset; counts up to the
  // averaging factor. Persists across runs.
  int32_t AverageCount = 0;
  // Readings beyond the saturation limit in the current run (BeginRun resets).
  int32_t SaturationCount = 0;

  // Sizes the averaging history to `factor` rows (1 to kMaxAverageFactor) of
  // `points` zeros (0 to kMaxTracePoints) (start-up pass) and resets
  // AverageCount.
  void SizeHistory(int factor, int points);
  int HistoryRows() const { return history_rows_; }
  int HistoryRowLength() const { return history_length_; }
  // Row 0 is the oldest sweep.
  double AverageHistoryI(int row, int i) const { return history_i_[HistoryIndex(row, i)]; }
  double AverageHistoryQ(int row, int i) const { return history_q_[HistoryIndex(row, i)]; }

  // Start of a run: SaturationCount = 0; reads sweep type, points, dwell and
  // mode; computes the axis. Raises ConversionError on a non-numeric box.
  void BeginRun(const std::string& capture_mode);
  const RunParameters& Run() const { return run_; }
  // x of point i of the run's axis.
  double AxisValue(int i) const;

  // Fills PointI and PointQ with sweep `sweep` of an acquisition: the mean of
  // the dwell samples of each point. Samples that would lie beyond
  // `acquisition_bytes` read as 0 V.
  void AveragePointSamples(const uint8_t* acquisition, int sweep, int points, int dwell,
                           size_t acquisition_bytes = kRxBufferSize);

  // Before the points of a sweep: advances AverageCount when averaging is on
  // and it is below the factor read during the previous sweep of this run.
  void BeginSweep();

  // The point steps: averaging, saturation count, axis value, DC-offset
  // removal, and with `polar` magnitude and phase (a reflection measurement
  // needs only I and Q). Raises ConversionError when averaging is on and
  // opt_ave_box is not a whole number.
  ConvertedPoint ConvertPoint(int i, bool polar = true);

 private:
  size_t HistoryIndex(int row, int i) const {
    return static_cast<size_t>(i) * static_cast<size_t>(history_rows_) + static_cast<size_t>(row);
  }
  int AveragingFactor();
  void AveragePoint(size_t i);

  const InstrumentSettings& settings_;
  SweepSettingsCache sweep_;
  RunParameters run_;
  int previous_factor_ = 0;  // factor read during the previous sweep of the run
  bool run_normal_ = true;   // CaptureMode is "normal": averaged values are shown

  // Point-major: the `history_rows_` values of point i are contiguous, oldest
  // first, so the shift of one point is one short move.
  std::vector<double> history_i_, history_q_;
  int history_rows_ = 0;
  int history_length_ = 0;
};

}  // namespace ostra
