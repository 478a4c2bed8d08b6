// The calibration tables: one per standard (OPEN, SHORT, LOAD, THRU,
// THRU PHASE, THRU POWER), their start-up values, the readers of the
// calibration files in cal_data, and the line formats the capture runs write.
#pragma once

#include "base/constants.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_log.h"
#include "base/platform.h"
#include "cal/reflection_terms.h"

namespace ostra {

// Capacity of every per-point trace and calibration array.

using TableColumn = std::array<double, kMaxTracePoints>;

enum class Standard { Open, Short, Load, Thru, ThruPhase, ThruPower };
inline constexpr int kStandardCount = 6;

// One standard: stimulus, magnitude (volts, as captured) and phase (radians)
// per point. OPEN, SHORT and LOAD point at one shared stimulus column, so
// after loading all three it holds the values of the last file read (LOAD).
struct CalTable {
  TableColumn* stimulus = nullptr;
  TableColumn magnitude{};
  TableColumn phase{};

  double Stimulus(int i) const { return (*stimulus)[static_cast<size_t>(i)]; }
};

// The calibration files of the standards, in loading order.
struct StandardFile {
  Standard standard;
  std::string_view file_name;   // "cal_open.dat"
  const char* missing_message;  // "Calibration data [OPEN] is missing"
  bool logs_loaded;             // logs "<file> loaded to cal table."
};
const std::array<StandardFile, kStandardCount>& StandardFiles();

class CalibrationStore {
 public:
  CalibrationStore();
  // The tables point into the store (the shared stimulus column): no copies.
  CalibrationStore(const CalibrationStore&) = delete;
  CalibrationStore& operator=(const CalibrationStore&) = delete;

  CalTable Open, Short, Load, Thru, ThruPhase, ThruPower;

  CalTable& Table(Standard standard);
  const CalTable& Table(Standard standard) const;

  // The values before any file is read: OPEN 1.5 / 0, SHORT 1.5 / 2 pi,
  // LOAD 1e-5 / 0, THRU 1.5 / 0, THRU PHASE and THRU POWER 0 / 0, every
  // stimulus 0.
  void ResetToStartupValues();

  // Reads the six standard files of `cal_dir` in the order OPEN, SHORT, LOAD,
  // THRU, THRU PHASE, THRU POWER. A missing file shows its "Calibration data
  // [...] is missing" box and leaves its table as it was. Each line fills one
  // entry (at most kMaxTracePoints; further lines are ignored); entries past
  // the file's last line keep their values. A line with fewer than three
  // fields or a field that is not a number raises ConversionError: the table
  // keeps the entries read before that line and the later files are not read.
  // A file that exists but cannot be read raises IoError.
  void LoadCalTables(const std::filesystem::path& cal_dir, Platform& platform, AppLog& log);

  // Makes the reflection error terms of every entry from its OPEN, SHORT and
  // LOAD values, so that a sweep falling on the entries needs no sine,
  // cosine or division for them. LoadCalTables and ResetToStartupValues make
  // them; code that writes the columns itself may call it afterwards.
  void PrepareReflectionTerms();
  // The terms made for entry `e`, or null when its OPEN, SHORT or LOAD values
  // have changed since (the caller then works them out itself).
  const ReflectionTerms* PreparedReflectionTerms(int e) const;

 private:
  struct PreparedEntry {
    // OPEN, SHORT and LOAD magnitude and phase the terms were made from.
    std::array<double, 6> made_from{};
    ReflectionTerms terms;
  };

  TableColumn osl_stimulus_{};
  TableColumn thru_stimulus_{};
  TableColumn thru_phase_stimulus_{};
  TableColumn thru_power_stimulus_{};
  std::array<PreparedEntry, kMaxTracePoints> prepared_{};
};

// The reader of one standard's file content: line n (CR LF, LF or a lone CR
// ends it) fills entry n, as LoadCalTables describes. Returns the entries
// filled; raises ConversionError on a bad line.
size_t ReadCalTableText(std::string_view text, CalTable& table);

// Reads the DC-offset file (fields 2 and 3 of each line in millivolts) into
// `dc_i` and `dc_q` in volts, one entry per point; field 1 is not read and
// lines beyond `points` are ignored. A file with fewer lines than points
// (captured with fewer points) gives the missing points the mean of the
// offsets it has: the detector's quiescent output hardly changes across the
// band. Returns the number of lines read, at most `points`. Raises IoError
// when the file cannot be opened, ConversionError when a line lacks a number
// or the file has no line at all. The vectors are resized only when their
// size differs.
int LoadDcOffsets(const std::filesystem::path& path, int points, std::vector<double>& dc_i,
                  std::vector<double>& dc_q);
// The DC-offset reader's work on the file's content (any line ends).
int ReadDcOffsetText(std::string_view text, int points, std::vector<double>& dc_i,
                     std::vector<double>& dc_q);

// The capture lines, without the CR LF line end (the writer adds it).
// DC-offset file: G(x * 1e6) + " " + F3(I * 1000) + " " + F3(Q * 1000), I and
// Q in volts before the DC offsets are removed.
std::string DcOffsetCaptureLine(double x, double i_volts, double q_volts);
// Standard files: G(x * 1e6), the frequency in Hz, in a frequency sweep, else
// F3(x); then F3(m) and F3(phi).
std::string StandardCaptureLine(bool frequency_sweep, double x, double m, double phi);

}  // namespace ostra
