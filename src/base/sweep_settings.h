// The sweep's settings as numbers: every box a run and the remote commands
// need, converted from the dialog's texts by one reader. InstrumentSettings
// stays the store (the settings file keeps its texts); this value is derived
// from it, once per change.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/instrument_settings.h"
#include "base/measurement.h"

namespace ostra {

// A box whose text is not the number the sweep needs, and the message its
// conversion gives.
struct BadBox {
  Setting box;
  std::string message;
};

struct SweepSettings {
  SweepKind sweep = SweepKind::Frequency;
  ModeKind mode = ModeKind::Reflection;
  int64_t dwell = 0;
  int64_t points = 0;
  int64_t rx_gain_db = 0;
  bool preamp = false;
  // The swept quantity of a frequency (Hz) or phase (degrees) sweep.
  int64_t start = 0;
  int64_t stop = 0;
  // A power sweep's (and an unknown type's): the start may be a fraction of
  // a dBm, the stop is whole.
  double start_dbm = 0.0;
  double stop_dbm = 0.0;
  double source_dbm = 0.0;  // the frequency and phase sweeps' source power
  int64_t source_hz = 0;    // the phase and power sweeps' fixed frequency
  int64_t source_deg = 0;   // the power sweep's fixed phase
  int64_t average = 1;      // the averaging factor, as the box gives it
  bool average_on = false;

  // The boxes that did not convert, in the order they are read: dwell,
  // points, receiver gain, the sweep type's boxes (start, stop, then its
  // source settings), the averaging factor.
  std::vector<BadBox> bad;

  const BadBox* FirstBad() const { return bad.empty() ? nullptr : &bad.front(); }
  bool Converted(Setting box) const;
  // Raises the ConversionError of the first bad box among `boxes` (in the
  // order read), so that a step reports what it reported when it converted
  // the texts itself.
  void Require(std::initializer_list<Setting> boxes) const;
  // Every box the sweep type needs (all but the averaging factor).
  void RequireSweep() const;
};

// The boxes of a sweep type's start and stop (a power sweep's for a type the
// program does not know).
Setting StartBoxOf(SweepKind sweep);
Setting StopBoxOf(SweepKind sweep);

// Converts every box the sweep type needs; a box that is not a number of its
// kind (points, dwell, gain, the frequencies and phases and a power sweep's
// stop are whole numbers; the source powers and a power sweep's start are
// decimal) is listed in `bad` with its message and reads as 0.
SweepSettings ReadSweepSettings(const InstrumentSettings& settings);

// The value read again only when a setting has changed since.
class SweepSettingsCache {
 public:
  explicit SweepSettingsCache(const InstrumentSettings& settings) : settings_(settings) {}
  const SweepSettings& Current();

 private:
  const InstrumentSettings& settings_;
  uint64_t revision_ = UINT64_MAX;
  SweepSettings value_;
};

// What the start of a run refuses, with the dialog's message: points and a
// dwell below the instrument's limits, points above them. A state file's
// 501 points, which fill the per-point arrays exactly, still sweep. Empty
// when the run may go on.
std::string RunLimitRefusal(const SweepSettings& sweep);

}  // namespace ostra
