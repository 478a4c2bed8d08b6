// The settings and state file reader: any bytes give 28 settings, and the
// settings written back read the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/instrument_settings.h"
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
  return 0;
}
