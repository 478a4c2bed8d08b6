// The calibration file reader: any bytes fill at most 501 entries with
// finite numbers, or raise the conversion error with a short message.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/errors.h"
#include "base/text_util.h"
#include "cal/cal_tables.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CalibrationStore store;
  store.ResetToStartupValues();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t filled = 0;
  try {
    filled = ReadCalTableText(text, store.Thru);
  } catch (const ConversionError& e) {
    FUZZ_CHECK(std::strlen(e.what()) < kMaxQuotedLength + 64);
    return 0;
  }
  FUZZ_CHECK(filled <= static_cast<size_t>(kMaxTracePoints));
  for (size_t i = 0; i < filled; ++i) {
    FUZZ_CHECK(std::isfinite(store.Thru.Stimulus(static_cast<int>(i))));
    FUZZ_CHECK(std::isfinite(store.Thru.magnitude[i]) && std::isfinite(store.Thru.phase[i]));
  }
  return 0;
}
