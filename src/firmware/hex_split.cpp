#include "firmware/hex_split.h"

#include <memory>
#include <string>

#include "base/atomic_file.h"
#include "base/errors.h"
#include "base/file_text.h"
#include "base/text_util.h"
#include "firmware/hex_digits.h"
#include "firmware/hex_image.h"
#include "firmware/sector_file.h"
#include "firmware/sector_map.h"

namespace ostra {

namespace {

// Characters `first` to `last` (1-based, inclusive) of a line, as far as the
// line reaches.
std::string_view Chars(std::string_view line, size_t first, size_t last) {
  if (first > line.size() || last < first) return {};
  return line.substr(first - 1, last - first + 1);
}

// Hex digits sort by their value in either case; any other character after them.
int CharacterKey(char c) {
  const int digit = HexDigitValue(c);
  return digit >= 0 ? digit : 16 + static_cast<unsigned char>(c);
}

uint32_t ByteCount(std::string_view line) { return HexField(Chars(line, 2, 3)); }

// The sector whose file a data record with this address text opens.
const FlashSector* ChooseSector(std::string_view address_text) {
  for (const FlashSector& sector : kFlashSectors) {  // A first, H last
    if (CompareAddressText(address_text, sector.base_text) >= 0) return &sector;
  }
  return nullptr;
}

class Splitter {
 public:
  explicit Splitter(std::filesystem::path directory) : directory_(std::move(directory)) {}
  void Line(std::string_view line);
  void Finish() { Close(); }

 private:
  void Close() {
    if (file_) file_->Commit();
    file_.reset();
  }

  std::filesystem::path directory_;
  std::string upper_;
  std::unique_ptr<AtomicFile> file_;
};

void Splitter::Line(std::string_view line) {
  // Blank lines (after the end record, say) hold no record.
  if (line.find_first_not_of(" \t\x1A") == std::string_view::npos) return;
  const uint32_t count = ByteCount(line);
  const std::string_view type = Chars(line, 8, 9);
  if (type == "04") {
    upper_ = std::string(Chars(line, 10, 13));
    Close();
  }
  if (type != "00") return;
  const std::string_view address = Chars(line, 4, 7);
  if (!file_) {
    const FlashSector* sector = ChooseSector("0x" + upper_ + std::string(address));
    if (sector == nullptr) return;
    file_ = std::make_unique<AtomicFile>(directory_ / sector->file_name);
  }
  std::string out = ToUpper(upper_ + std::string(address));
  out += Chars(line, 10, 9 + 2 * count);
  out += "\r\n";
  file_->Write(out);
}

}  // namespace

int CompareAddressText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ka = CharacterKey(a[i]);
    const int kb = CharacterKey(b[i]);
    if (ka != kb) return ka < kb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::optional<std::filesystem::path> RemoveSectorFiles(const std::filesystem::path& directory) {
  std::optional<std::filesystem::path> stale;
  for (const FlashSector& sector : kFlashSectors) {
    const std::filesystem::path file = directory / sector.file_name;
    std::error_code ec;
    std::filesystem::remove(file, ec);
    // Whatever the removal said, what counts is that nothing is left there.
    if (!stale &&
        std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found) {
      stale = file;
    }
  }
  return stale;
}

void SplitHexText(std::string_view content, const std::filesystem::path& directory) {
  if (const auto stale = RemoveSectorFiles(directory)) {
    throw IoError("Cannot remove " + stale->string());
  }
  Splitter splitter(directory);
  for (std::string_view line : SplitLines(content)) splitter.Line(line);
  splitter.Finish();
}

void SplitHexImage(const std::filesystem::path& hex_file, const std::filesystem::path& directory) {
  SplitHexText(ReadTextFile(hex_file, kMaxHexImageBytes), directory);
}

}  // namespace ostra
