#include "cal/cal_tables.h"

#include <algorithm>
#include <string_view>

#include "base/constants.h"
#include "base/errors.h"
#include "base/file_text.h"
#include "base/text_util.h"

namespace ostra {

namespace {

// Field `index` (from 0) of a split line, or the runtime's list-index error.
std::string_view Field(const std::vector<std::string_view>& fields, size_t index) {
  if (index >= fields.size()) {
    throw ConversionError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return fields[index];
}

}  // namespace

const std::array<StandardFile, kStandardCount>& StandardFiles() {
  static const std::array<StandardFile, kStandardCount> files = {{
      {Standard::Open, *CaptureFileName("open_cal"), "Calibration data [OPEN] is missing", true},
      {Standard::Short, *CaptureFileName("short_cal"), "Calibration data [SHORT] is missing", true},
      {Standard::Load, *CaptureFileName("load_cal"), "Calibration data [LOAD] is missing", true},
      {Standard::Thru, *CaptureFileName("thru_cal"), "Calibration data [THRU] is missing", true},
      {Standard::ThruPhase, *CaptureFileName("thru_ph_cal"),
       "Calibration data [THRU PHASE] is missing", false},
      {Standard::ThruPower, *CaptureFileName("thru_pwr_cal"),
       "Calibration data [THRU POWER] is missing", false},
  }};
  return files;
}

CalibrationStore::CalibrationStore() {
  Open.stimulus = &osl_stimulus_;
  Short.stimulus = &osl_stimulus_;
  Load.stimulus = &osl_stimulus_;
  Thru.stimulus = &thru_stimulus_;
  ThruPhase.stimulus = &thru_phase_stimulus_;
  ThruPower.stimulus = &thru_power_stimulus_;
  ResetToStartupValues();
}

CalTable& CalibrationStore::Table(Standard standard) {
  switch (standard) {
    case Standard::Open:
      return Open;
    case Standard::Short:
      return Short;
    case Standard::Load:
      return Load;
    case Standard::Thru:
      return Thru;
    case Standard::ThruPhase:
      return ThruPhase;
    case Standard::ThruPower:
      break;
  }
  return ThruPower;
}

const CalTable& CalibrationStore::Table(Standard standard) const {
  return const_cast<CalibrationStore*>(this)->Table(standard);
}

void CalibrationStore::ResetToStartupValues() {
  osl_stimulus_.fill(0.0);
  thru_stimulus_.fill(0.0);
  thru_phase_stimulus_.fill(0.0);
  thru_power_stimulus_.fill(0.0);
  Open.magnitude.fill(1.5);
  Open.phase.fill(0.0);
  Short.magnitude.fill(1.5);
  Short.phase.fill(kTwoPi);
  Load.magnitude.fill(1e-5);
  Load.phase.fill(0.0);
  Thru.magnitude.fill(1.5);
  Thru.phase.fill(0.0);
  ThruPhase.magnitude.fill(0.0);
  ThruPhase.phase.fill(0.0);
  ThruPower.magnitude.fill(0.0);
  ThruPower.phase.fill(0.0);
  PrepareReflectionTerms();
}

void CalibrationStore::PrepareReflectionTerms() {
  for (size_t e = 0; e < prepared_.size(); ++e) {
    PreparedEntry& entry = prepared_[e];
    entry.made_from = {Open.magnitude[e], Open.phase[e],     Short.magnitude[e],
                       Short.phase[e],    Load.magnitude[e], Load.phase[e]};
    entry.terms = NudgedReflectionErrorTerms(FromPolar(Open.magnitude[e], Open.phase[e]),
                                             FromPolar(Short.magnitude[e], Short.phase[e]),
                                             FromPolar(Load.magnitude[e], Load.phase[e]));
  }
}

const ReflectionTerms* CalibrationStore::PreparedReflectionTerms(int e) const {
  if (e < 0 || e >= kMaxTracePoints) return nullptr;
  const size_t k = static_cast<size_t>(e);
  const PreparedEntry& entry = prepared_[k];
  const std::array<double, 6>& v = entry.made_from;
  // Exact comparison: a NaN never matches, so such an entry is worked out afresh.
  if (v[0] == Open.magnitude[k] && v[1] == Open.phase[k] && v[2] == Short.magnitude[k] &&
      v[3] == Short.phase[k] && v[4] == Load.magnitude[k] && v[5] == Load.phase[k]) {
    return &entry.terms;
  }
  return nullptr;
}

void CalibrationStore::LoadCalTables(const std::filesystem::path& cal_dir, Platform& platform,
                                     AppLog& log) {
  // The terms follow the tables, also when a bad line ends the loading.
  struct Prepare {
    CalibrationStore& store;
    ~Prepare() { store.PrepareReflectionTerms(); }
  } prepare{*this};
  for (const StandardFile& file : StandardFiles()) {
    const std::filesystem::path path = cal_dir / file.file_name;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      platform.ShowMessage(file.missing_message);
      continue;
    }
    ReadCalTableText(ReadTextFile(path), Table(file.standard));
    if (file.logs_loaded) log.WriteLog(std::string(file.file_name) + " loaded to cal table.");
  }
}

size_t ReadCalTableText(std::string_view text, CalTable& table) {
  size_t entry = 0;
  for (std::string_view line : SplitLines(text)) {
    if (entry >= static_cast<size_t>(kMaxTracePoints)) break;
    const std::vector<std::string_view> fields = SplitFields(line);
    // All three numbers first: a bad line stores nothing of itself.
    const double stimulus = StrToFloat(Field(fields, 0));
    const double magnitude = StrToFloat(Field(fields, 1));
    const double phase = StrToFloat(Field(fields, 2));
    (*table.stimulus)[entry] = stimulus;
    table.magnitude[entry] = magnitude;
    table.phase[entry] = phase;
    ++entry;
  }
  return entry;
}

int LoadDcOffsets(const std::filesystem::path& path, int points, std::vector<double>& dc_i,
                  std::vector<double>& dc_q) {
  return ReadDcOffsetText(ReadTextFile(path), points, dc_i, dc_q);
}

int ReadDcOffsetText(std::string_view text, int points, std::vector<double>& dc_i,
                     std::vector<double>& dc_q) {
  const size_t count = points > 0 ? static_cast<size_t>(points) : 0;
  if (dc_i.size() != count) dc_i.resize(count);
  if (dc_q.size() != count) dc_q.resize(count);
  const std::vector<std::string_view> lines = SplitLines(text);
  const size_t read = std::min(count, lines.size());
  double sum_i = 0.0;
  double sum_q = 0.0;
  for (size_t k = 0; k < read; ++k) {
    const std::vector<std::string_view> fields = SplitFields(lines[k]);
    const double i_mv = StrToFloat(fields.size() > 1 ? fields[1] : std::string_view());
    const double q_mv = StrToFloat(fields.size() > 2 ? fields[2] : std::string_view());
    dc_i[k] = i_mv / 1000.0;
    dc_q[k] = q_mv / 1000.0;
    sum_i += dc_i[k];
    sum_q += dc_q[k];
  }
  if (read < count) {
    // No line at all: field 2 of the first is empty.
    if (read == 0) throw ConversionError("'' is not a valid floating point value");
    const double mean_i = sum_i / static_cast<double>(read);
    const double mean_q = sum_q / static_cast<double>(read);
    std::fill(dc_i.begin() + static_cast<std::ptrdiff_t>(read), dc_i.end(), mean_i);
    std::fill(dc_q.begin() + static_cast<std::ptrdiff_t>(read), dc_q.end(), mean_q);
  }
  return static_cast<int>(read);
}

std::string DcOffsetCaptureLine(double x, double i_volts, double q_volts) {
  return FormatGeneral(x * 1e6) + " " + FormatFixed(i_volts * 1000.0, 3) + " " +
         FormatFixed(q_volts * 1000.0, 3);
}

std::string StandardCaptureLine(bool frequency_sweep, double x, double m, double phi) {
  std::string first = frequency_sweep ? FormatGeneral(x * 1e6) : FormatFixed(x, 3);
  return first + " " + FormatFixed(m, 3) + " " + FormatFixed(phi, 3);
}

}  // namespace ostra
