// The check that follows the reading of a settings file (config.dat or an
// instrument state): a numeric field whose text the program cannot read as
// the number it needs would stop every later sweep and start-up pass, so it
// takes its default instead, and the log says which field it was.
#pragma once

#include <vector>

#include "base/app_log.h"
#include "base/instrument_settings.h"

namespace ostra {

// Whole numbers (points, dwell, gain, averaging, the start, stop, centre,
// span and source values of the three sweeps) must read as integers, the
// others (scale, reference level, source powers) as decimal numbers.
bool SettingNeedsWholeNumber(Setting setting);
bool IsNumericSetting(Setting setting);

// Gives every numeric field whose text is not such a number its default and
// writes one log line per field, naming it. Returns the fields it mended, in
// file order.
std::vector<Setting> CheckNumericSettings(InstrumentSettings& settings, AppLog& log);

// The log line for a mended field: its line in the file, its label, the bad
// text (cut to a readable length) and the default it took.
std::string MendedSettingLogLine(Setting setting, const std::string& bad_text);

}  // namespace ostra
