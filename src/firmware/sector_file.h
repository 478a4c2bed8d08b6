// Sector files: text files of lines "AAAAAAAA" + words "WWWW"..., the word
// address of the line's first word followed directly by its 16-bit words, 4
// hex digits each. The splitter writes them from the HEX image; a read-back
// of a sector writes 512 lines of 16 words. Both are read by the same rules:
// the address is the first 8 characters read as hex; the rest of the line,
// from character 9, holds (length - 8) / 4 words, rounded to the nearest
// whole number (ties to even), word k being characters 9 + 4k to 12 + 4k read
// as hex (as far as the line reaches). Empty lines are skipped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/sector_map.h"

namespace ostra {

using SectorWords = std::array<uint16_t, kFlashSectorWords>;

struct SectorLine {
  uint32_t address = 0;
  std::vector<uint16_t> words;
};

// One non-empty line by the reading rules. Raises ConversionError
// ("'$12G4' is not a valid integer value") when a field is not hex.
SectorLine ParseSectorLine(std::string_view line);
// Every non-empty line of a sector file's content (CR LF, LF or CR ends).
std::vector<SectorLine> ParseSectorFile(std::string_view content);
// Reads and parses a sector file. Raises IoError when it cannot be read.
std::vector<SectorLine> ReadSectorFile(const std::filesystem::path& path);

// The read-back file of a sector: 512 lines of 16 words in upper-case hex,
// the first line at `base`, each next one 16 higher; CR LF line ends.
std::string ReadBackText(uint32_t base, const SectorWords& words);
void WriteReadBackFile(const std::filesystem::path& path, uint32_t base, const SectorWords& words);

// True when the image file and the read-back file describe the same 8192
// words, a word that a file does not give being 0xFFFF (erased). A word that
// lies outside the sector (offset below 0 or above 8191) cannot match: the
// result is false. Always writes the side-by-side listing to `listing`
// ("out.txt"): 8192 lines "0xIIII  0xRRRR".
bool CompareSectorFiles(uint32_t image_base, uint32_t read_back_base,
                        const std::filesystem::path& image_file,
                        const std::filesystem::path& read_back_file,
                        const std::filesystem::path& listing);

}  // namespace ostra
