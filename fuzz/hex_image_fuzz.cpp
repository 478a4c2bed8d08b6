// The firmware image check: any bytes give an answer, never a crash; an image
// it accepts splits into sector files that read back by the sector-file rules
// and hold only words of their sectors.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "base/errors.h"
#include "firmware/hex_image.h"
#include "firmware/hex_split.h"
#include "firmware/sector_file.h"
#include "firmware/sector_map.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto problem = ValidateHexImage(text);
  if (problem) {
    FUZZ_CHECK(!problem->Text().empty());
    return 0;
  }
  static const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "ostra_fuzz_hex_image";
  std::filesystem::create_directories(dir);
  SplitHexText(text, dir);  // an accepted image splits without an error
  for (const FlashSector& sector : kFlashSectors) {
    const std::filesystem::path file = dir / sector.file_name;
    if (!std::filesystem::exists(file)) continue;
    for (const SectorLine& line : ReadSectorFile(file)) {
      FUZZ_CHECK(line.address >= sector.base);
      FUZZ_CHECK(line.address + line.words.size() <= sector.base + kFlashSectorWords);
    }
  }
  return 0;
}
