// The sector-file reader: any bytes give lines or the conversion error.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/errors.h"
#include "firmware/sector_file.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    for (const SectorLine& line : ParseSectorFile(text)) {
      FUZZ_CHECK(line.words.size() <= text.size());
    }
  } catch (const ConversionError&) {
  }
  return 0;
}
