// The main window's place file: any bytes give nothing or a place of a real
// window size that is written back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/window_place.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto place = ParseWindowPlace(text);
  if (!place) return 0;
  FUZZ_CHECK(place->width >= 1 && place->width <= 100000);
  FUZZ_CHECK(place->height >= 1 && place->height <= 100000);
  FUZZ_CHECK(ParseWindowPlace(WindowPlaceText(*place)) == place);
  return 0;
}
