#include "base/instrument_settings.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/atomic_file.h"
#include "base/errors.h"
#include "base/text_util.h"

namespace ostra {

namespace {

constexpr std::array<SettingInfo, kSettingCount> kTable{{
    {Setting::SweepType, "Sweep_Type: ", "opt_sweep_type_box", "Frequency", false},
    {Setting::Mode, "Mode: ", "opt_mode_box", "Reflection", false},
    {Setting::Format, "Format: ", "opt_format_box", "Log", false},
    {Setting::Points, "Points: ", "opt_points_box", "201", false},
    {Setting::Dwell, "Dwell: ", "opt_dwell_box", "8", false},
    {Setting::Scale, "Scale: ", "opt_scale_box", "10", false},
    {Setting::RefLevel, "Ref_Level: ", "opt_reflevel_box", "0", false},
    {Setting::RxGain, "Rx Gain: ", "opt_rx_gain_box", "36", false},
    {Setting::Preamp, "Preamp: ", "opt_preamp", "0", true},
    {Setting::Average, "Average: ", "opt_ave_box", "8", false},
    {Setting::AveEnable, "Ave Enable: ", "opt_ave_enable", "0", true},
    {Setting::StartFreq, "Start Frequency: ", "opt_start_freq_box", "20000000", false},
    {Setting::StopFreq, "Stop Frequency: ", "opt_stop_freq_box", "50000000", false},
    {Setting::CentreFreq, "Centre Frequency: ", "opt_centre_freq_box", "35000000", false},
    {Setting::SpanFreq, "Span: ", "opt_span_freq_box", "30000000", false},
    {Setting::PowerFreq, "Power: ", "opt_power_freq_box", "-20", false},
    {Setting::StartPhase, "Start Phase: ", "opt_start_phase_box", "0", false},
    {Setting::StopPhase, "Stop Phase: ", "opt_stop_phase_box", "360", false},
    {Setting::CentrePhase, "Centre Phase: ", "opt_centre_phase_box", "180", false},
    {Setting::SpanPhase, "Span Phase: ", "opt_span_phase_box", "360", false},
    {Setting::PowerPhase, "Power: ", "opt_power_phase_box", "-20", false},
    {Setting::FreqPhase, "Frequency: ", "opt_freq_phase_box", "30000000", false},
    {Setting::StartPower, "Start Power: ", "opt_start_power_box", "-42", false},
    {Setting::StopPower, "Stop Power: ", "opt_stop_power_box", "-12", false},
    {Setting::CentrePower, "Centre Power: ", "opt_centre_power_box", "-27", false},
    {Setting::SpanPower, "Span Power: ", "opt_span_power_box", "30", false},
    {Setting::PhasePower, "Phase: ", "opt_phase_power_box", "0", false},
    {Setting::FreqPower, "Frequency: ", "opt_freq_power_box", "35000000", false},
}};

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

const std::array<SettingInfo, kSettingCount>& SettingTable() { return kTable; }

const SettingInfo& InfoOf(Setting setting) { return kTable[static_cast<size_t>(setting)]; }

std::optional<Setting> SettingByControl(std::string_view control) {
  for (const SettingInfo& info : kTable) {
    if (control == info.control) return info.setting;
  }
  return std::nullopt;
}

InstrumentSettings::InstrumentSettings() { RestoreDefaults(); }

void InstrumentSettings::RestoreDefaults() {
  for (const SettingInfo& info : kTable) {
    const size_t i = Index(info.setting);
    if (info.is_check) {
      texts_[i].clear();
      checks_[i] = false;
    } else {
      texts_[i] = info.default_text;
    }
  }
  ++revision_;
  for (const SettingInfo& info : kTable) on_change.Emit(info.setting);
}

void InstrumentSettings::Changed(Setting setting) {
  ++revision_;
  on_change.Emit(setting);
}

void InstrumentSettings::SetText(Setting setting, std::string text) {
  std::string& slot = texts_[Index(setting)];
  if (slot == text) return;
  slot = std::move(text);
  Changed(setting);
}

void InstrumentSettings::SetChecked(Setting setting, bool on) {
  if (checks_[Index(setting)] == on) return;
  checks_[Index(setting)] = on;
  Changed(setting);
}

int64_t InstrumentSettings::Int(Setting setting) const { return StrToInt(Text(setting)); }

double InstrumentSettings::Float(Setting setting) const { return StrToFloat(Text(setting)); }

std::string SettingsFileText(const InstrumentSettings& settings) {
  std::string text;
  for (const SettingInfo& info : kTable) {
    text += info.label;
    if (info.is_check) {
      text += settings.Checked(info.setting) ? "1" : "0";
    } else {
      text += settings.Text(info.setting);
    }
    text += "\r\n";
  }
  return text;
}

void save_parameters(const InstrumentSettings& settings, const std::filesystem::path& path) {
  AtomicFile file(path);
  file.Write(SettingsFileText(settings));
  file.Commit();
}

std::string SettingsLineValue(std::string_view line) {
  const size_t colon = line.find(':');
  const size_t start = colon == std::string_view::npos ? 1 : colon + 2;
  if (start >= line.size()) return {};
  return std::string(line.substr(start));
}

void Load_parameters(InstrumentSettings& settings, const std::filesystem::path& path) {
  std::error_code ec;
  // A folder opens as a stream on some systems and reads as empty: it is
  // not a settings file.
  if (std::filesystem::is_directory(path, ec)) {
    throw IoError("Cannot open file \"" + path.string() + "\". " + std::strerror(EISDIR));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw IoError("Cannot open file \"" + path.string() + "\". " + ErrnoText());
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    throw IoError("I/O error reading \"" + path.string() + "\".");
  }
  ApplySettingsText(settings, content.str());
}

void ApplySettingsText(InstrumentSettings& settings, std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  size_t next = 0;
  for (const SettingInfo& info : kTable) {
    const std::string_view line = next < lines.size() ? lines[next] : std::string_view();
    ++next;
    std::string value = SettingsLineValue(line);
    if (info.is_check) {
      settings.SetChecked(info.setting, value == "1");
    } else {
      settings.SetText(info.setting, std::move(value));
    }
  }
}

void SettingsSnapshot::Take(const InstrumentSettings& settings) {
  texts_.clear();
  for (const SettingInfo& info : SettingTable()) {
    if (!info.is_check) texts_.push_back(settings.Text(info.setting));
  }
}

void SettingsSnapshot::Restore(InstrumentSettings& settings) const {
  size_t next = 0;
  for (const SettingInfo& info : SettingTable()) {
    if (info.is_check) continue;
    if (next >= texts_.size()) break;
    settings.SetText(info.setting, texts_[next++]);
  }
}

}  // namespace ostra
