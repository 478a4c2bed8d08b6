#include "firmware/hex_image.h"

#include <algorithm>
#include <array>

#include "base/text_util.h"
#include "firmware/hex_digits.h"
#include "firmware/sector_map.h"

namespace ostra {

namespace {

// ":" + count (2) + address (4) + type (2) + checksum (2).
constexpr size_t kShortestRecord = 11;

// Byte i of a run of hex digits (two digits a byte).
uint8_t ByteAt(std::string_view digits, size_t i) {
  return static_cast<uint8_t>((HexDigitValue(digits[2 * i]) << 4) |
                              HexDigitValue(digits[2 * i + 1]));
}

std::string CharacterName(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (code == ' ') return "a blank";
  if (code > ' ' && code < 0x7F) return "\"" + std::string(1, c) + "\"";
  return "character code " + FormatHex(code, 2);
}

std::string AddressText(uint64_t address) { return "0x" + FormatHex(address, 8); }

// Lines after the end-of-file record may be empty or blank (some tools end
// the file with a blank line or a Ctrl-Z).
bool Blank(std::string_view line) {
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\x1A') return false;
  }
  return true;
}

// Follows the image line by line as the splitter will, and finds the first
// line that the instrument must not be programmed from.
class ImageCheck {
 public:
  std::optional<std::string> Line(size_t number, std::string_view text);
  // After the last line; `last_line` is its number. Sets `line` to the line
  // a problem is reported at.
  std::optional<std::string> End(size_t last_line, size_t& line) const;

 private:
  std::optional<std::string> Record(size_t number, const HexRecord& record);
  std::optional<std::string> Data(const HexRecord& record);
  std::optional<std::string> Installable(const FlashSector& sector, uint32_t address, size_t words);
  std::optional<std::string> SectorFile(const FlashSector& sector, uint32_t address);
  std::optional<std::string> NewWords(uint32_t address, size_t words);

  size_t end_line_ = 0;
  std::optional<uint16_t> upper_;
  size_t upper_line_ = 0;
  // The sector whose file the splitter has open, and for each sector (by
  // code) the line of the extended address record under which its file was
  // begun (0: not yet).
  const FlashSector* open_ = nullptr;
  std::array<size_t, kFlashSectors.size()> begun_{};
  std::vector<bool> defined_ = std::vector<bool>(kFlashEndAddress - kFlashFirstAddress);
  bool has_sector_h_ = false;
  bool has_code_start_ = false;
};

std::optional<std::string> ImageCheck::Line(size_t number, std::string_view text) {
  if (end_line_ != 0) {
    if (Blank(text)) return std::nullopt;
    return "a record follows the end-of-file record of line " + std::to_string(end_line_);
  }
  std::string problem;
  const std::optional<HexRecord> record = ParseHexRecord(text, problem);
  if (!record) return problem;
  return Record(number, *record);
}

std::optional<std::string> ImageCheck::Record(size_t number, const HexRecord& record) {
  switch (record.type) {
    case hex_record::kData:
      return Data(record);
    case hex_record::kEndOfFile:
      if (record.count != 0) return "an end-of-file record holds no data (byte count 00)";
      end_line_ = number;
      return std::nullopt;
    case hex_record::kExtendedLinearAddress:
      if (record.count != 2) {
        return "an extended address record (type 04) holds 2 bytes, this one " +
               std::to_string(record.count);
      }
      if (record.address != 0) return "an extended address record (type 04) has the address 0000";
      upper_ = static_cast<uint16_t>((record.data[0] << 8) | record.data[1]);
      upper_line_ = number;
      open_ = nullptr;  // the splitter closes the open sector file here
      return std::nullopt;
    case hex_record::kStartSegmentAddress:
    case hex_record::kStartLinearAddress:
      if (record.count != 4) return "a start address record holds 4 bytes";
      return std::nullopt;
    case hex_record::kExtendedSegmentAddress:
      return "extended segment address records (type 02) have no place in the instrument's "
             "image: its upper address comes from type 04 records";
    default:
      return "record type " + FormatHex(record.type, 2) + " is not a HEX record type";
  }
}

std::optional<std::string> ImageCheck::Data(const HexRecord& record) {
  if (record.count == 0) return "a data record without data";
  if (record.count % 2 != 0) {
    return "a data record of " + std::to_string(record.count) +
           " bytes does not hold whole 16-bit words";
  }
  if (!upper_) return "a data record before the first extended address record (type 04)";
  const uint32_t address = (uint32_t{*upper_} << 16) | record.address;
  const size_t words = record.count / 2u;
  const FlashSector* sector = SectorOfAddress(address);
  if (sector == nullptr) {
    return "the data at " + AddressText(address) + " lies outside the flash sectors A to H (" +
           AddressText(kFlashFirstAddress) + " to " + AddressText(kFlashEndAddress - 1) + ")";
  }
  if (address - sector->base + words > kFlashSectorWords) {
    return "the data from " + AddressText(address) + " runs past the end of sector " +
           std::string(1, sector->letter);
  }
  if (auto problem = Installable(*sector, address, words)) return problem;
  if (auto problem = SectorFile(*sector, address)) return problem;
  if (auto problem = NewWords(address, words)) return problem;
  if (sector->letter == 'H') has_sector_h_ = true;
  if (address == kCodeStartAddress) has_code_start_ = true;
  return std::nullopt;
}

std::optional<std::string> ImageCheck::Installable(const FlashSector& sector, uint32_t address,
                                                   size_t words) {
  // The upgrade installs sectors H, G and F and the two code-start words of
  // sector A; anything else would be dropped while the upgrade reports success.
  if (sector.letter >= 'F') return std::nullopt;
  if (address == kCodeStartAddress && words == kCodeStartWordCount) return std::nullopt;
  const std::string where = "the data at " + AddressText(address) + " lies in sector " +
                            std::string(1, sector.letter) + ", ";
  if (sector.letter == 'A') {
    return where + "where only the two code-start words at " + AddressText(kCodeStartAddress) +
           " are installed";
  }
  return where +
         "which the upgrade does not install (only sectors H, G and F and the "
         "code-start words)";
}

std::optional<std::string> ImageCheck::SectorFile(const FlashSector& sector, uint32_t address) {
  const std::string letter(1, sector.letter);
  if (open_ == nullptr) {
    size_t& begun = begun_[sector.code];
    if (begun != 0) {
      return "sector " + letter + "'s data is split over two extended address records (lines " +
             std::to_string(begun) + " and " + std::to_string(upper_line_) +
             "): its file would be written anew and lose the first part";
    }
    begun = upper_line_;
    open_ = &sector;
    return std::nullopt;
  }
  if (open_ == &sector) return std::nullopt;
  const std::string open_letter(1, open_->letter);
  return "the data at " + AddressText(address) + " belongs to sector " + letter +
         " but would go into sector " + open_letter + "'s file: sector " + letter +
         " needs its own extended address record (type 04)";
}

std::optional<std::string> ImageCheck::NewWords(uint32_t address, size_t words) {
  for (size_t i = 0; i < words; ++i) {
    const size_t index = address - kFlashFirstAddress + i;
    if (defined_[index]) return "the word at " + AddressText(address + i) + " is given twice";
    defined_[index] = true;
  }
  return std::nullopt;
}

std::optional<std::string> ImageCheck::End(size_t last_line, size_t& line) const {
  line = end_line_;
  if (end_line_ == 0) {
    line = last_line;
    return "the image ends without an end-of-file record (type 01)";
  }
  if (!has_sector_h_) return "the image holds no data for sector H";
  if (!has_code_start_) {
    return "the image holds no code-start record (two words at " + AddressText(kCodeStartAddress) +
           ")";
  }
  return std::nullopt;
}

}  // namespace

std::optional<HexRecord> ParseHexRecord(std::string_view line, std::string& problem) {
  if (line.empty()) {
    problem = "the line is empty";
    return std::nullopt;
  }
  if (line[0] != ':') {
    problem = "the line does not begin with \":\"";
    return std::nullopt;
  }
  for (size_t i = 1; i < line.size(); ++i) {
    if (HexDigitValue(line[i]) < 0) {
      problem = "character " + std::to_string(i + 1) + " (" + CharacterName(line[i]) +
                ") is not a hex digit";
      return std::nullopt;
    }
  }
  if (line.size() < kShortestRecord) {
    problem = "the record is " + std::to_string(line.size()) +
              " characters long; the shortest record has 11";
    return std::nullopt;
  }
  const std::string_view digits = line.substr(1);
  HexRecord record;
  record.count = ByteAt(digits, 0);
  const size_t expected = kShortestRecord + 2u * record.count;
  if (line.size() != expected) {
    problem = "the byte count " + FormatHex(record.count, 2) + " calls for " +
              std::to_string(expected) + " characters, the line has " + std::to_string(line.size());
    return std::nullopt;
  }
  record.address = static_cast<uint16_t>((ByteAt(digits, 1) << 8) | ByteAt(digits, 2));
  record.type = ByteAt(digits, 3);
  uint8_t sum = 0;
  for (size_t i = 0; i < 4u + record.count; ++i)
    sum = static_cast<uint8_t>(sum + ByteAt(digits, i));
  const uint8_t checksum = ByteAt(digits, 4u + record.count);
  const auto needed = static_cast<uint8_t>(0x100 - sum);
  if (checksum != needed) {
    problem = "the checksum is " + FormatHex(checksum, 2) + ", the record's bytes call for " +
              FormatHex(needed, 2);
    return std::nullopt;
  }
  record.data.reserve(record.count);
  for (size_t i = 0; i < record.count; ++i) record.data.push_back(ByteAt(digits, 4 + i));
  return record;
}

std::string HexImageProblem::Text() const {
  if (line == 0) return "Firmware image not accepted: " + what;
  return "Firmware image not accepted, line " + std::to_string(line) + ": " + what;
}

std::optional<HexImageProblem> ValidateHexImage(std::string_view content) {
  if (content.size() > kMaxHexImageBytes) {
    return HexImageProblem{0, "the file is " + std::to_string(content.size()) +
                                  " bytes long, too large for a firmware image"};
  }
  const std::vector<std::string_view> lines = SplitLines(content);
  ImageCheck check;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (auto problem = check.Line(i + 1, lines[i])) return HexImageProblem{i + 1, *problem};
  }
  size_t line = 0;
  if (auto problem = check.End(std::max<size_t>(lines.size(), 1), line)) {
    return HexImageProblem{line, *problem};
  }
  return std::nullopt;
}

}  // namespace ostra
