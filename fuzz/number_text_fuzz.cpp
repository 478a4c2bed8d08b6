// The number conversions and text helpers every reader uses: any text
// converts or raises the conversion error with a short message, a number
// written back reads again, and the splitters cover their text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/instrument_settings.h"
#include "base/text_util.h"
#include "fuzz_check.h"

using namespace ostra;

namespace {

void CheckWholeNumber(std::string_view text) {
  int64_t value = 0;
  const bool ok = TryStrToInt(text, value);
  try {
    FUZZ_CHECK(StrToInt(text) == value && ok);
    FUZZ_CHECK(StrToInt(FormatPadded(value, 1)) == value);
  } catch (const ConversionError& e) {
    FUZZ_CHECK(!ok);
    FUZZ_CHECK(std::strlen(e.what()) < kMaxQuotedLength + 64);
  }
}

void CheckDecimalNumber(std::string_view text) {
  double value = 0.0;
  const bool ok = TryStrToFloat(text, value);
  try {
    const double converted = StrToFloat(text);
    FUZZ_CHECK(ok && converted == value && std::isfinite(value));
    double again = 0.0;
    FUZZ_CHECK(TryStrToFloat(FormatGeneral(value), again));
    FUZZ_CHECK(TryStrToFloat(FormatFixed(value, 3), again));
    RoundHalfEven(value);
  } catch (const ConversionError& e) {
    FUZZ_CHECK(!ok);
    FUZZ_CHECK(std::strlen(e.what()) < kMaxQuotedLength + 64);
  }
}

void CheckSplitters(std::string_view text) {
  size_t covered = 0;
  for (std::string_view line : SplitLines(text)) {
    FUZZ_CHECK(line.find('\r') == std::string_view::npos);
    FUZZ_CHECK(line.find('\n') == std::string_view::npos);
    covered += line.size();
    SettingsLineValue(line);
  }
  FUZZ_CHECK(covered <= text.size());
  for (std::string_view field : SplitFields(text)) {
    FUZZ_CHECK(!field.empty());
    for (char c : field) FUZZ_CHECK(static_cast<unsigned char>(c) > ' ');
  }
  const std::string cut = CutForMessage(text);
  FUZZ_CHECK(cut.size() <= kMaxQuotedLength + 3);
  FUZZ_CHECK(ToUpper(text).size() == text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckWholeNumber(text);
  CheckDecimalNumber(text);
  CheckSplitters(text);
  return 0;
}
