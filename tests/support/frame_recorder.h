// A stand-in between the program and the simulated instrument that records
// every 50-byte command block the program writes, and can call back on each.
// Blocks come from the user-interface thread and the acquisition thread (the
// device link lets one write at a time); read them when no sweep runs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "device/protocol.h"
#include "device/transport.h"

namespace ostra::testing {

class FrameRecorder : public Transport {
 public:
  using Block = std::array<uint8_t, kFrameSize>;

  // Set before the program first uses the link.
  Transport* inner = nullptr;
  std::vector<Block> blocks;  // guarded: use Clear, FlashFrames and Count while a sweep runs
  // Called with each block after it has reached the instrument.
  std::function<void(const Block&)> on_block;

  // The blocks whose opcode is a flash command, as L + opcode + arguments.
  std::vector<std::vector<uint8_t>> FlashFrames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> frames;
    for (const Block& b : blocks) {
      if (b[1] < opcode::kEraseSector || b[1] > opcode::kReadCodeStart) continue;
      frames.emplace_back(b.begin(), b.begin() + 1 + b[0]);
    }
    return frames;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    blocks.clear();
  }
  size_t Count(uint8_t code) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const Block& b : blocks) n += b[1] == code;
    return n;
  }

  FT_STATUS FT_ListDevices(void* a, void* b, DWORD flags) override {
    return inner->FT_ListDevices(a, b, flags);
  }
  FT_STATUS FT_OpenEx(void* a, DWORD flags, FT_HANDLE* h) override {
    return inner->FT_OpenEx(a, flags, h);
  }
  FT_STATUS FT_Close(FT_HANDLE h) override { return inner->FT_Close(h); }
  FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return inner->FT_ResetDevice(h); }
  FT_STATUS FT_Purge(FT_HANDLE h, ULONG mask) override { return inner->FT_Purge(h, mask); }
  FT_STATUS FT_SetTimeouts(FT_HANDLE h, ULONG r, ULONG w) override {
    return inner->FT_SetTimeouts(h, r, w);
  }
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, DWORD n, DWORD* written) override {
    const FT_STATUS status = inner->FT_Write(h, buffer, n, written);
    if (n == kFrameSize) {
      Block block;
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      std::copy(bytes, bytes + kFrameSize, block.begin());
      {
        std::lock_guard lock(mutex_);
        blocks.push_back(block);
      }
      if (on_block) on_block(block);
    }
    return status;
  }
  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* read) override {
    return inner->FT_Read(h, buffer, n, read);
  }
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, UCHAR t) override {
    return inner->FT_SetLatencyTimer(h, t);
  }
  FT_STATUS FT_SetUSBParameters(FT_HANDLE h, ULONG in, ULONG out) override {
    return inner->FT_SetUSBParameters(h, in, out);
  }

 private:
  mutable std::mutex mutex_;
};

}  // namespace ostra::testing
