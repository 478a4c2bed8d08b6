// The instrument's command protocol: the 50-byte command frame with its XOR
// checksum, the sweep program block, the identity reply and the flash sector
// codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostra {

inline constexpr int kFrameSize = 50;

// Byte 0 is L (bytes from the opcode to the last argument), byte 1 the
// opcode, bytes 2..L the arguments (multi-byte values most significant byte
// first). The checksum is placed at L + 1 when the frame is sent. The Add
// functions stop growing the frame at L = 48, where the checksum still fits.
struct CommandFrame {
  std::array<uint8_t, kFrameSize> bytes{};

  CommandFrame() = default;
  explicit CommandFrame(uint8_t opcode) {
    bytes[0] = 1;
    bytes[1] = opcode;
  }
  uint8_t Length() const { return bytes[0]; }
  void Add8(uint8_t value);
  void Add16(uint16_t value);
  void Add32(uint32_t value);
};

// The largest L whose checksum still falls inside the 50-byte block.
inline constexpr int kMaxFrameLength = kFrameSize - 2;

// L XOR bytes 1..L of a 50-byte block. An L above 48 cannot be checked
// inside the block; only bytes 1..48 are then taken.
uint8_t FrameChecksum(const uint8_t* frame);

namespace opcode {
inline constexpr uint8_t kReadIdentity = 0x00;
inline constexpr uint8_t kProgramSweep = 0x04;
inline constexpr uint8_t kStartSweep = 0x05;
inline constexpr uint8_t kSetPreamp = 0x0E;
inline constexpr uint8_t kSetRxGain = 0x0F;
inline constexpr uint8_t kEraseSector = 0x10;
inline constexpr uint8_t kWriteSectorWords = 0x11;
inline constexpr uint8_t kReadSector = 0x12;
inline constexpr uint8_t kCopyImage = 0x14;
inline constexpr uint8_t kWriteCodeStart = 0x15;
inline constexpr uint8_t kReadCodeStart = 0x16;
}  // namespace opcode

inline constexpr uint8_t kReplyAck = 0x55;
inline constexpr uint8_t kReplyChecksumError = 0xAA;
inline constexpr uint8_t kReplyUnexpectedData = 0xAB;

// The sweep program, in the order of the ProgramSweep frame's bytes 2..25.
struct SweepProgram {
  uint32_t start_word = 0;
  uint32_t step_word = 0;
  uint16_t points = 0;
  uint8_t mode = 0;  // 0 "Reflection", 1 otherwise
  uint8_t sweep_count = 3;
  uint8_t sweep_type = 0;  // 0 Frequency, 1 Phase, 2 Power, 9 other
  uint16_t power_word = 0;
  uint32_t freq_word = 0;
  uint16_t phase_word = 0;
  uint8_t dwell = 0;
  uint8_t rx_gain_code = 0;
  uint8_t preamp = 0;

  bool operator==(const SweepProgram&) const = default;
};

// The ProgramSweep frame: L = 25, opcode 0x04, the fields in the order above.
CommandFrame ProgramSweepFrame(const SweepProgram& program);
// The sweep program carried by a ProgramSweep frame's bytes 2..25 (the
// instrument's side of ProgramSweepFrame).
SweepProgram DecodeSweepProgram(const uint8_t* frame);

// The ReadIdentity reply: 50 words, most significant byte first.
// Word 1 serial number, 2 firmware revision, 3 hardware revision, 4 date.
using InstrumentIdentity = std::array<uint32_t, 50>;

// "A" = 7 ... "H" = 0; nothing for any other text.
std::optional<uint8_t> SectorCode(std::string_view letter);

// Flash geometry of the instrument: eight sectors of 8192 16-bit words.
inline constexpr int kSectorCount = 8;
inline constexpr int kSectorWords = 8192;
inline constexpr int kMaxWriteWords = 16;  // data words in one WriteSectorWords frame
inline constexpr uint32_t kIdentityReplyBytes = 200;
inline constexpr uint32_t kSectorReplyBytes = 16384;
inline constexpr uint32_t kCodeStartReplyBytes = 256;

}  // namespace ostra
