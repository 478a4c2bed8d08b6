// Turning the settings into a sweep program for the instrument: the time and
// length estimates of an acquisition, the synthesiser words of each sweep
// type, the ProgramSweep command and its log, and the receiver settings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "base/app_log.h"
#include "base/constants.h"
#include "base/instrument_settings.h"
#include "base/measurement.h"
#include "base/platform.h"
#include "base/sweep_settings.h"
#include "device/protocol.h"

namespace ostra {

class CalibrationStore;
class SweepControl;
class SampleConverter;

// Limits an acquisition must fit.
inline constexpr int32_t kMinimumRefreshRate = 15;

// The source power word for a power in dBm (callers keep the low 16 bits).
int64_t PowerWordFromDbm(double dbm);
// The power in dBm of a power word.
double DbmFromPowerWord(uint16_t word);

// The stimulus of a sweep's points as the settings give it: whole hertz or
// degrees, or (a power sweep, and any other type) 16-bit power words of the
// decimal start power and the whole stop power; the step is
// Rnd((stop - start) / (points - 1)), 0 with one point. From the settings'
// texts it raises ConversionError when the points, start or stop box is not
// a number.
struct StimulusAxis {
  SweepKind sweep = SweepKind::Frequency;
  int points = 0;  // held at 0..65535
  int64_t start = 0;
  int64_t stop = 0;
  int64_t step = 0;
};
StimulusAxis ReadStimulusAxis(const SweepSettings& sweep);
StimulusAxis ReadStimulusAxis(const InstrumentSettings& settings);

// The words of the sweep program for the current settings. The step word is
// the axis step above, so the instrument measures every point where the axis
// labels it, the last one at the stop value. Raises
// ConversionError when a box that the sweep type needs is not a number.
SweepProgram ComputeSweepWords(const SweepSettings& sweep);
SweepProgram ComputeSweepWords(const InstrumentSettings& settings);

// Values derived from the settings and shared with the acquisition loop.
struct SweepEstimates {
  int32_t SweepCount = 3, AcquisitionDuration = 0, RefreshRate = 0, ExpectedLength = 0;
};

// SweepCount 3, AcquisitionDuration (ms, margin included), RefreshRate (ms
// per displayed sweep, at least 15) and ExpectedLength (bytes).
SweepEstimates EstimateAcquisition(int64_t points, int64_t dwell);

class SweepProgrammer {
 public:
  // Sends ProgramSweep and returns the number of reply bytes.
  using ProgramSweepFn = std::function<uint32_t(const SweepProgram&)>;

  SweepProgrammer(const InstrumentSettings& settings, Platform& platform, AppLog& log,
                  CalibrationStore& cal, SampleConverter& converter,
                  std::filesystem::path cal_data_dir, ProgramSweepFn program_sweep);

  // Programs the instrument from the settings: clears the stop request,
  // estimates the acquisition (setting the request again, after a message,
  // when it would exceed the read time-out or the receive buffer), logs the
  // estimates, loads the DC offsets and the calibration tables, sends the
  // sweep words and logs them. A box that is not a number raises
  // ConversionError at its step (nothing is sent); a missing DC-offset file
  // raises IoError. A DC-offset file with fewer lines than points is used as
  // far as it goes, the rest from the mean of its lines, with one log line.
  void ProgramCurrentSweep(SweepControl& control);

  const SweepEstimates& Estimates() const { return estimates_; }
  // The acquisition loop replaces the refresh estimate with its own pacing.
  void SetRefreshRate(int32_t ms) { estimates_.RefreshRate = ms; }

 private:
  // The steps of a programming.
  void CheckEstimates(const SweepEstimates& e, SweepControl& control);
  void LoadOffsets(int64_t points);
  void LogProgram(const SweepProgram& program, uint32_t received);

  const InstrumentSettings& settings_;
  Platform& platform_;
  AppLog& log_;
  CalibrationStore& cal_;
  SampleConverter& converter_;
  std::filesystem::path cal_data_dir_;
  ProgramSweepFn program_sweep_;
  SweepSettingsCache sweep_;
  SweepEstimates estimates_;
};

// Sends SetPreamp and SetRxGain from the settings and logs them. Returns
// false, without setting the gain, when SetPreamp returned no reply bytes.
bool ApplyReceiverSettings(const InstrumentSettings& settings, AppLog& log,
                           const std::function<uint32_t(bool)>& set_preamp,
                           const std::function<uint32_t(uint8_t)>& set_rx_gain);

}  // namespace ostra
