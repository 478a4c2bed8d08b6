#include "base/settings_check.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "base/text_util.h"

namespace ostra {

namespace {

// The boxes the program reads as decimals; every other number is whole (the
// power sweep's start is decimal dBm, its stop a whole number).
constexpr std::array<Setting, 5> kDecimalSettings = {
    Setting::Scale, Setting::RefLevel, Setting::PowerFreq, Setting::PowerPhase, Setting::StartPower,
};

bool IsDecimal(Setting setting) {
  for (Setting s : kDecimalSettings) {
    if (s == setting) return true;
  }
  return false;
}

bool ReadsAsNumber(Setting setting, const std::string& text) {
  if (SettingNeedsWholeNumber(setting)) {
    int64_t whole = 0;
    return TryStrToInt(text, whole);
  }
  double value = 0;
  return TryStrToFloat(text, value);
}

std::string Quoted(const std::string& text) { return "\"" + CutForMessage(text) + "\""; }

// "Points: " -> "Points".
std::string_view FieldName(const SettingInfo& info) {
  std::string_view label = info.label;
  while (!label.empty() && (label.back() == ' ' || label.back() == ':')) label.remove_suffix(1);
  return label;
}

}  // namespace

bool IsNumericSetting(Setting setting) {
  const SettingInfo& info = InfoOf(setting);
  if (info.is_check) return false;
  return setting != Setting::SweepType && setting != Setting::Mode && setting != Setting::Format;
}

bool SettingNeedsWholeNumber(Setting setting) {
  return IsNumericSetting(setting) && !IsDecimal(setting);
}

std::string MendedSettingLogLine(Setting setting, const std::string& bad_text) {
  const SettingInfo& info = InfoOf(setting);
  const int line = static_cast<int>(setting) + 1;
  return "Settings file line " + std::to_string(line) + " (" + std::string(FieldName(info)) +
         "): " + Quoted(bad_text) + " is not a number, default " + info.default_text + " used";
}

std::vector<Setting> CheckNumericSettings(InstrumentSettings& settings, AppLog& log) {
  std::vector<Setting> mended;
  for (const SettingInfo& info : SettingTable()) {
    if (!IsNumericSetting(info.setting)) continue;
    const std::string text = settings.Text(info.setting);
    if (ReadsAsNumber(info.setting, text)) continue;
    settings.SetText(info.setting, info.default_text);
    mended.push_back(info.setting);
    log.WriteLog(MendedSettingLogLine(info.setting, text));
  }
  return mended;
}

}  // namespace ostra
