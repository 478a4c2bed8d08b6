// The simulated instrument's frame decoder: any bytes written to it, in
// 50-byte blocks, get the protocol's replies, which the host then reads.
// The simulator must never crash or hang on what a broken host sends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "sim/simulated_instrument.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> reply(SimulatedInstrument::kMaxStreamBytes);
  SimulatedInstrument sim;
  sim.SetRealTime(false);
  char serial[64] = {};
  std::strncpy(serial, SimulatedInstrument::kSerial, sizeof serial - 1);
  FT_HANDLE handle = nullptr;
  FUZZ_CHECK(sim.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle) == FT_OK);
  std::vector<uint8_t> block;
  for (size_t at = 0; at < size; at += kFrameSize) {
    block.assign(data + at, data + std::min(size, at + kFrameSize));
    DWORD written = 0;
    sim.FT_Write(handle, block.data(), static_cast<DWORD>(block.size()), &written);
    FUZZ_CHECK(written <= block.size());
    DWORD got = 0;
    sim.FT_Read(handle, reply.data(), static_cast<DWORD>(reply.size()), &got);
    FUZZ_CHECK(got <= reply.size());
  }
  sim.FT_Close(handle);
  return 0;
}
