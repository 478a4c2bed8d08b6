// The firmware's Intel HEX image: one record per line, ":" + byte count (2
// hex digits) + address (4) + type (2) + data + checksum (2). Addresses are
// word addresses of the instrument's flash: a record of 32 data bytes holds
// 16 words, and the next record's address is 16 higher.
//
// The image is checked as a whole before anything is sent to the instrument:
// every line a well-formed record with the right length and checksum, an
// end-of-file record, every data word in a sector the upgrade installs (H, G
// and F, and in sector A the two code-start words only), each sector's data
// under its own extended address record (type 04) so that the splitter puts
// it in that sector's file, no word given twice, sector H's data and the
// code-start record at 0x003F7FF6 present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostra {

namespace hex_record {
inline constexpr uint8_t kData = 0x00;
inline constexpr uint8_t kEndOfFile = 0x01;
inline constexpr uint8_t kExtendedSegmentAddress = 0x02;
inline constexpr uint8_t kStartSegmentAddress = 0x03;
inline constexpr uint8_t kExtendedLinearAddress = 0x04;
inline constexpr uint8_t kStartLinearAddress = 0x05;
}  // namespace hex_record

// The word address of the code-start record, whose first two words the
// instrument starts its program from.
inline constexpr uint32_t kCodeStartAddress = 0x003F7FF6;
inline constexpr size_t kCodeStartWordCount = 2;

// A HEX image larger than this is not a firmware image (the flash holds
// 64K words; a full image is well under a megabyte).
inline constexpr size_t kMaxHexImageBytes = 16u << 20;

struct HexRecord {
  uint8_t count = 0;
  uint16_t address = 0;
  uint8_t type = 0;
  std::vector<uint8_t> data;
};

// Reads one line as a record: ":" and hex digits of either case only, the
// length the byte count calls for, the checksum right. On a fault returns
// nothing and sets `problem` to what is wrong.
std::optional<HexRecord> ParseHexRecord(std::string_view line, std::string& problem);

// What is wrong with an image, and on which line (1-based).
struct HexImageProblem {
  size_t line = 0;
  std::string what;
  // "Firmware image not accepted, line 12: ..." (the message box and the log).
  std::string Text() const;
};

// The first fault of the image, or nothing when it may be programmed.
std::optional<HexImageProblem> ValidateHexImage(std::string_view content);

}  // namespace ostra
