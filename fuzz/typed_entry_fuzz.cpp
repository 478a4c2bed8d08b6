// What a user types: the keypad's entry text through every conversion, and
// the dialog's field validators with any old and new text. Nothing crashes,
// a refused value puts the old text back, and every message is short.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/instrument_settings.h"
#include "base/text_util.h"
#include "fuzz_check.h"
#include "panel/entry_dispatch.h"
#include "panel/validators.h"

using namespace ostra;

namespace {

constexpr int64_t kFactors[] = {1, 1000, 1000000};
constexpr EntryConversion kConversions[] = {EntryConversion::Whole, EntryConversion::Rounded,
                                            EntryConversion::OneDecimal};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t pick = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\n');
  const std::string_view new_text = rest.substr(0, split);
  const std::string_view old_text = split == std::string_view::npos ? "" : rest.substr(split + 1);

  const int64_t factor = kFactors[pick % 3];
  for (EntryConversion conversion : kConversions) {
    if (auto converted = ConvertEntry(conversion, new_text, factor)) {
      double value = 0;
      FUZZ_CHECK(TryStrToFloat(*converted, value));
    }
  }

  const ValidatorInfo& validator = Validators()[pick % Validators().size()];
  InstrumentSettings settings;
  std::string message;
  const bool accepted = RunValidator(validator.id, settings, old_text, new_text,
                                     [&](const std::string& text) { message = text; });
  if (accepted) {
    FUZZ_CHECK(settings.Text(validator.field) == new_text);
  } else {
    FUZZ_CHECK(settings.Text(validator.field) == old_text);
    FUZZ_CHECK(!message.empty() && message.size() < 200);
  }
  return 0;
}
