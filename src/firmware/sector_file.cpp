#include "firmware/sector_file.h"

#include <cmath>

#include "base/atomic_file.h"
#include "base/errors.h"
#include "base/file_text.h"
#include "base/text_util.h"
#include "firmware/hex_digits.h"

namespace ostra {

namespace {

constexpr size_t kReadBackLines = kFlashSectorWords / 16;

// Where the words of a line go in a sector's 8192-word array; false when any
// of them falls outside it.
bool Place(const SectorLine& line, uint32_t base, SectorWords& words) {
  const int64_t offset = static_cast<int64_t>(line.address) - static_cast<int64_t>(base);
  bool inside = true;
  for (size_t k = 0; k < line.words.size(); ++k) {
    const int64_t at = offset + static_cast<int64_t>(k);
    if (at < 0 || at >= static_cast<int64_t>(kFlashSectorWords)) {
      inside = false;
      continue;
    }
    words[static_cast<size_t>(at)] = line.words[k];
  }
  return inside;
}

// The 8192 words a sector file describes; `inside` turns false when a word
// has no place in the sector.
SectorWords SectorImage(const std::filesystem::path& file, uint32_t base, bool& inside) {
  SectorWords words;
  words.fill(0xFFFF);
  for (const SectorLine& line : ReadSectorFile(file)) {
    if (!Place(line, base, words)) inside = false;
  }
  return words;
}

}  // namespace

SectorLine ParseSectorLine(std::string_view line) {
  SectorLine result;
  result.address = HexField(line.substr(0, 8));
  const double rest = (static_cast<double>(line.size()) - 8.0) / 4.0;
  const int64_t count = std::max<int64_t>(RoundHalfEven(rest), 0);
  result.words.reserve(static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) {
    const size_t first = 8 + 4 * static_cast<size_t>(k);
    result.words.push_back(static_cast<uint16_t>(HexField(line.substr(first, 4))));
  }
  return result;
}

std::vector<SectorLine> ParseSectorFile(std::string_view content) {
  std::vector<SectorLine> lines;
  for (std::string_view line : SplitLines(content)) {
    if (!line.empty()) lines.push_back(ParseSectorLine(line));
  }
  return lines;
}

std::vector<SectorLine> ReadSectorFile(const std::filesystem::path& path) {
  // A sector file of the longest lines the splitter can write is well under this.
  constexpr size_t kMaxSectorFileBytes = 64u << 20;
  return ParseSectorFile(ReadTextFile(path, kMaxSectorFileBytes));
}

std::string ReadBackText(uint32_t base, const SectorWords& words) {
  std::string text;
  text.reserve(kReadBackLines * 74);
  for (size_t line = 0; line < kReadBackLines; ++line) {
    text += FormatHex(base + 16 * line, 8);
    for (size_t k = 0; k < 16; ++k) text += FormatHex(words[16 * line + k], 4);
    text += "\r\n";
  }
  return text;
}

void WriteReadBackFile(const std::filesystem::path& path, uint32_t base, const SectorWords& words) {
  AtomicFile file(path);
  file.Write(ReadBackText(base, words));
  file.Commit();
}

bool CompareSectorFiles(uint32_t image_base, uint32_t read_back_base,
                        const std::filesystem::path& image_file,
                        const std::filesystem::path& read_back_file,
                        const std::filesystem::path& listing) {
  bool inside = true;
  const SectorWords image = SectorImage(image_file, image_base, inside);
  const SectorWords read_back = SectorImage(read_back_file, read_back_base, inside);

  std::string text;
  text.reserve(kFlashSectorWords * 16);
  for (size_t i = 0; i < kFlashSectorWords; ++i) {
    text += "0x" + FormatHex(image[i], 4) + "  0x" + FormatHex(read_back[i], 4) + "\r\n";
  }
  AtomicFile out(listing);
  out.Write(text);
  out.Commit();
  return inside && image == read_back;
}

}  // namespace ostra
