// The device link against a driver that returns the fuzzer's bytes: device
// lists of any count and text, statuses, short and long writes, replies and
// sample streams of any length and content, in any order of commands. The
// link must never read or write outside its buffers, hang or crash.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/headless_platform.h"
#include "device/device_link.h"
#include "fuzz_check.h"

using namespace ostra;

namespace {

class FuzzDriver : public Transport {
 public:
  explicit FuzzDriver(FuzzedDataProvider& in) : in_(in) {}

  FT_STATUS FT_ListDevices(void* a, void* b, DWORD flags) override {
    const FT_STATUS status = Status();
    if (flags & FT_LIST_NUMBER_ONLY) {
      *static_cast<DWORD*>(a) = in_.ConsumeIntegral<DWORD>();
      return status;
    }
    // The driver's buffer holds 64 characters, not always ended by a NUL.
    const std::vector<uint8_t> text =
        in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<size_t>(0, 64));
    if (!text.empty()) std::memcpy(b, text.data(), text.size());
    return status;
  }
  FT_STATUS FT_OpenEx(void*, DWORD, FT_HANDLE* handle) override {
    *handle = &tag_;
    return Status();
  }
  FT_STATUS FT_Close(FT_HANDLE) override { return Status(); }
  FT_STATUS FT_ResetDevice(FT_HANDLE) override { return Status(); }
  FT_STATUS FT_Purge(FT_HANDLE, ULONG) override { return Status(); }
  FT_STATUS FT_SetTimeouts(FT_HANDLE, ULONG, ULONG) override { return Status(); }
  FT_STATUS FT_Write(FT_HANDLE, void*, DWORD, DWORD* written) override {
    *written = in_.ConsumeBool() ? kFrameSize : in_.ConsumeIntegral<DWORD>();
    return Status();
  }
  FT_STATUS FT_Read(FT_HANDLE, void* buffer, DWORD n, DWORD* got) override {
    const std::vector<uint8_t> bytes =
        in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<size_t>(0, n));
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    // A driver may even claim more than it was asked for.
    *got = in_.ConsumeIntegralInRange<int>(0, 15) == 0 ? in_.ConsumeIntegral<DWORD>()
                                                       : static_cast<DWORD>(bytes.size());
    return Status();
  }
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE, UCHAR) override { return Status(); }
  FT_STATUS FT_SetUSBParameters(FT_HANDLE, ULONG, ULONG) override { return Status(); }

 private:
  // Mostly success, sometimes any status.
  FT_STATUS Status() {
    const uint8_t byte = in_.ConsumeIntegral<uint8_t>();
    return byte < 224 ? FT_OK : static_cast<FT_STATUS>(byte & 0x1F);
  }

  FuzzedDataProvider& in_;
  char tag_ = 0;
};

void RunCommand(FuzzedDataProvider& in, DeviceLink& link) {
  static std::array<uint16_t, kSectorWords> sector;
  static std::array<uint32_t, 128> code_start;
  const std::string letter = in.ConsumeBool() ? "A" : in.ConsumeRandomLengthString(3);
  switch (in.ConsumeIntegralInRange<int>(0, 12)) {
    case 0:
      link.OpenInstrument();
      break;
    case 1: {
      InstrumentIdentity words{};
      link.ReadIdentity(words);
      break;
    }
    case 2: {
      SweepProgram program;
      program.start_word = in.ConsumeIntegral<uint32_t>();
      program.points = in.ConsumeIntegral<uint16_t>();
      program.dwell = in.ConsumeIntegral<uint8_t>();
      link.ProgramSweep(program);
      break;
    }
    case 3:
      link.SetPreamp(in.ConsumeBool());
      break;
    case 4:
      link.SetRxGain(in.ConsumeIntegral<uint8_t>());
      break;
    case 5:
      link.FlashStatusName(link.EraseSector(letter).status);
      break;
    case 6: {
      std::vector<uint16_t> words(in.ConsumeIntegralInRange<size_t>(0, 20));
      link.FlashStatusName(
          link.WriteSectorWords(letter, in.ConsumeIntegral<uint16_t>(), words).status);
      break;
    }
    case 7:
      link.ReadSector(letter, sector);
      break;
    case 8:
      link.CopyImage();
      break;
    case 9:
      link.WriteCodeStart({});
      break;
    case 10:
      link.ReadCodeStart(code_start);
      break;
    case 11: {
      CommandFrame frame;
      const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(kFrameSize);
      std::copy(bytes.begin(), bytes.end(), frame.bytes.begin());
      link.Transact(frame, in.ConsumeIntegral<uint32_t>());
      break;
    }
    default: {
      // A sample stream of any length, as the acquisition reads it.
      std::vector<uint8_t> stream(in.ConsumeIntegralInRange<uint32_t>(0, 2 * kRxBufferSize));
      FUZZ_CHECK(link.StartSweepAndRead(stream).received <= kRxBufferSize);
      break;
    }
  }
  DeviceLink::DriverStatusText(link.LastDriverStatus());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  HeadlessPlatform platform;
  platform.quiet = true;
  FuzzDriver driver(in);
  DeviceLink link(driver, platform);
  for (int i = 0; i < 64 && in.remaining_bytes() > 0; ++i) RunCommand(in, link);
  FUZZ_CHECK(link.LastListedText().size() <= 49);
  return 0;
}
