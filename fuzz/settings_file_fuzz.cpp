// The settings and state file reader: any bytes give 28 settings, and the
// settings written back read the same.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "base/headless_platform.h"
#include "base/instrument_settings.h"
#include "base/settings_check.h"
#include "base/text_util.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  InstrumentSettings settings;
  ApplySettingsText(settings, text);

  InstrumentSettings again;
  ApplySettingsText(again, SettingsFileText(settings));
  for (const SettingInfo& info : SettingTable()) {
    FUZZ_CHECK(again.Text(info.setting) == settings.Text(info.setting));
    FUZZ_CHECK(again.Checked(info.setting) == settings.Checked(info.setting));
    // Every setting meets a number conversion somewhere.
    int64_t whole = 0;
    double real = 0.0;
    TryStrToInt(settings.Text(info.setting), whole);
    TryStrToFloat(settings.Text(info.setting), real);
  }
  SettingsSnapshot snapshot;
  snapshot.Take(settings);
  snapshot.Restore(again);

  // After the start-up check every numeric field reads as its number.
  static HeadlessPlatform platform;
  // The log lines go to a file: kept in memory where the machine allows it.
  static const std::filesystem::path log_dir = [] {
    std::error_code ec;
    const bool shm = std::filesystem::is_directory("/dev/shm", ec);
    auto dir = (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
               "ostra_fuzz_settings";
    std::filesystem::create_directories(dir, ec);
    return dir;
  }();
  AppLog log(platform);
  log.SetDataDirectory(log_dir);
  std::error_code ignored;
  std::filesystem::remove(log.FilePath(), ignored);
  CheckNumericSettings(again, log);
  for (const SettingInfo& info : SettingTable()) {
    if (!IsNumericSetting(info.setting)) continue;
    int64_t whole = 0;
    double real = 0.0;
    FUZZ_CHECK(SettingNeedsWholeNumber(info.setting)
                   ? TryStrToInt(again.Text(info.setting), whole)
                   : TryStrToFloat(again.Text(info.setting), real));
  }
  return 0;
}
