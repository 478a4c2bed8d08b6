// The instrument's flash as the simulated instrument keeps it: eight sectors
// of 8192 16-bit words (sector code 0 is "H", 7 is "A"), the ten code-start
// words, and the flash commands that reach them: erase a sector, write up to
// 16 words at an offset (programming only clears bits, as real flash does),
// read a whole sector, write and read the code start, and copy the staged
// image (sectors E, D, C) over the program (sectors H, G, F). Each erase or
// write can be made to answer with a flash status of the instrument's
// (30 STATUS_FAIL_PROGRAM, ...), in any sector or one, at any offset or one.
//
// Not thread-safe: the simulated instrument calls it under its own lock.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/protocol.h"

namespace ostra {

enum class FlashOperation { Erase, Write };

// A flash status injected into erases or writes. A failing operation leaves
// the flash as it was.
struct FlashFault {
  FlashOperation operation = FlashOperation::Write;
  uint8_t status = 0;              // the status byte answered (not 0)
  std::optional<uint8_t> sector;   // sector code; every sector when empty
  std::optional<uint16_t> offset;  // writes starting at this word offset; all when empty
  int count = -1;                  // operations that fail; -1 until cleared
};

class FlashMemory {
 public:
  using Sector = std::array<uint16_t, kSectorWords>;
  static constexpr int kCodeStartWords = 10;
  static constexpr int kCodeStartReadWords = 128;  // the code start is the last 10

  // Status bytes the instrument answers with.
  static constexpr uint8_t kSuccess = 0;
  static constexpr uint8_t kAddressInvalid = 12;
  static constexpr uint8_t kNoSector = 20;
  static constexpr uint8_t kZeroBitError = 31;

  // Erased: every word 0xFFFF, the code start too.
  FlashMemory();

  // The opcodes this class answers: erase, write, read sector, copy image,
  // write and read code start.
  static bool IsFlashCommand(uint8_t opcode);
  // Runs one checked command frame (L, opcode, arguments) and returns the
  // reply: 0x55 + status for erase and write, 16384 bytes for a sector read
  // (0xAB for an unknown sector), 0x55 for copy and code-start write, 256
  // bytes for the code-start read.
  std::vector<uint8_t> Command(const uint8_t* frame);

  uint8_t Erase(uint8_t code);
  uint8_t Write(uint8_t code, uint16_t offset, const std::vector<uint16_t>& words);
  void CopyImage();

  Sector SectorWords(uint8_t code) const;  // all 0xFFFF for a code above 7
  void SetSectorWords(uint8_t code, const Sector& words);
  const std::array<uint16_t, kCodeStartWords>& CodeStart() const { return code_start_; }
  uint64_t CopyCount() const { return copies_; }

  void InjectFault(const FlashFault& fault);
  // Every erase (write) answers `status` until set to 0.
  void SetEraseStatus(uint8_t status);
  void SetWriteStatus(uint8_t status);
  void ClearFaults() { faults_.clear(); }

 private:
  std::optional<uint8_t> TakeFault(FlashOperation operation, uint8_t code, uint16_t offset);
  void SetStatusForAll(FlashOperation operation, uint8_t status);
  uint16_t* SectorData(uint8_t code) {
    return words_.data() + static_cast<size_t>(code) * kSectorWords;
  }

  std::vector<uint16_t> words_;
  std::array<uint16_t, kCodeStartWords> code_start_{};
  std::vector<FlashFault> faults_;
  uint64_t copies_ = 0;
};

}  // namespace ostra
