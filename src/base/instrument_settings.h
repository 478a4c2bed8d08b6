// The 28 persisted settings of the instrument, held as the texts of the Sweep
// Parameters dialog's boxes (and two check boxes), and the settings file that
// config.dat and the instrument state files share.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/signal.h"

namespace ostra {

// In file order.
enum class Setting : int {
  SweepType,    // opt_sweep_type_box
  Mode,         // opt_mode_box
  Format,       // opt_format_box
  Points,       // opt_points_box
  Dwell,        // opt_dwell_box
  Scale,        // opt_scale_box
  RefLevel,     // opt_reflevel_box
  RxGain,       // opt_rx_gain_box
  Preamp,       // opt_preamp (check box)
  Average,      // opt_ave_box
  AveEnable,    // opt_ave_enable (check box)
  StartFreq,    // opt_start_freq_box
  StopFreq,     // opt_stop_freq_box
  CentreFreq,   // opt_centre_freq_box
  SpanFreq,     // opt_span_freq_box
  PowerFreq,    // opt_power_freq_box
  StartPhase,   // opt_start_phase_box
  StopPhase,    // opt_stop_phase_box
  CentrePhase,  // opt_centre_phase_box
  SpanPhase,    // opt_span_phase_box
  PowerPhase,   // opt_power_phase_box
  FreqPhase,    // opt_freq_phase_box
  StartPower,   // opt_start_power_box
  StopPower,    // opt_stop_power_box
  CentrePower,  // opt_centre_power_box
  SpanPower,    // opt_span_power_box
  PhasePower,   // opt_phase_power_box
  FreqPower,    // opt_freq_power_box
};

inline constexpr int kSettingCount = 28;

struct SettingInfo {
  Setting setting;
  const char* label;         // written before the value, blank included
  const char* control;       // the dialog box that holds it
  const char* default_text;  // for check boxes "0" (off)
  bool is_check;
};

// The table that the reader, the writer, the defaults and the dialog share.
const std::array<SettingInfo, kSettingCount>& SettingTable();
const SettingInfo& InfoOf(Setting setting);
std::optional<Setting> SettingByControl(std::string_view control);

class InstrumentSettings {
 public:
  InstrumentSettings();

  const std::string& Text(Setting setting) const { return texts_[Index(setting)]; }
  void SetText(Setting setting, std::string text);
  bool Checked(Setting setting) const { return checks_[Index(setting)]; }
  void SetChecked(Setting setting, bool on);

  // The box text converted at the moment of use; both raise ConversionError.
  int64_t Int(Setting setting) const;
  double Float(Setting setting) const;

  const std::string& SweepType() const { return Text(Setting::SweepType); }
  const std::string& Mode() const { return Text(Setting::Mode); }
  const std::string& Format() const { return Text(Setting::Format); }

  void RestoreDefaults();

  // Called after every change with the setting that changed, so that the
  // dialog can show it; `Revision` counts the changes.
  Signal<Setting> on_change;
  uint64_t Revision() const { return revision_; }

 private:
  static size_t Index(Setting s) { return static_cast<size_t>(s); }
  void Changed(Setting setting);

  std::array<std::string, kSettingCount> texts_;
  std::array<bool, kSettingCount> checks_{};
  uint64_t revision_ = 0;
};

// Writes the 28 lines (CR LF) to `path`. The file is written beside the
// target under a temporary name and renamed over it, so a failure never
// leaves a truncated settings file. Raises IoError.
void save_parameters(const InstrumentSettings& settings, const std::filesystem::path& path);
// The settings file's 28 lines as text.
std::string SettingsFileText(const InstrumentSettings& settings);

// Reads `path` into the settings by line position. Raises IoError when the
// file cannot be opened or read (a folder included); the settings are then
// left as they were.
void Load_parameters(InstrumentSettings& settings, const std::filesystem::path& path);
// The reader's work on the file's content: line n (CR LF, LF or a lone CR
// ends it) gives setting n; missing lines read as empty.
void ApplySettingsText(InstrumentSettings& settings, std::string_view text);
// The value of one settings line: the text two characters after the first
// colon (from the second character on when there is none).
std::string SettingsLineValue(std::string_view line);

// The Sweep Parameters dialog's snapshot: the texts of its edit and combo
// boxes when it was shown, put back when it is closed without OK. Check
// boxes are not part of it.
class SettingsSnapshot {
 public:
  void Take(const InstrumentSettings& settings);
  void Restore(InstrumentSettings& settings) const;
  bool Empty() const { return texts_.empty(); }

 private:
  std::vector<std::string> texts_;
};

}  // namespace ostra
