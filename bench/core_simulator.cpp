// The simulated instrument: what one acquisition (stream generation with
// noise, quantisation and the read) and one command round trip cost.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "device/protocol.h"
#include "sim/simulated_instrument.h"

namespace {

struct OpenInstrument {
  OpenInstrument() {
    sim.SetRealTime(false);
    char serial[] = "OS000417";
    sim.FT_OpenEx(serial, ostra::FT_OPEN_BY_SERIAL_NUMBER, &handle);
    sim.FT_SetTimeouts(handle, 600, 600);
  }
  void Send(const ostra::CommandFrame& frame) {
    std::array<uint8_t, ostra::kFrameSize> block = frame.bytes;
    block[frame.Length() + 1] = ostra::FrameChecksum(block.data());
    ostra::DWORD written = 0;
    sim.FT_Write(handle, block.data(), ostra::kFrameSize, &written);
  }
  ostra::SimulatedInstrument sim;
  ostra::FT_HANDLE handle = nullptr;
};

void BM_SimAcquisition(benchmark::State& state) {
  OpenInstrument instrument;
  ostra::SweepProgram program;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.points = static_cast<uint16_t>(state.range(0));
  program.power_word = 405;
  program.freq_word = 0x0A3D70A4;
  program.dwell = 8;
  program.rx_gain_code = 13;
  instrument.Send(ostra::ProgramSweepFrame(program));
  std::vector<uint8_t> buffer(65536);
  ostra::DWORD got = 0;
  instrument.sim.FT_Read(instrument.handle, buffer.data(), 1, &got);
  ostra::CommandFrame start(ostra::opcode::kStartSweep);
  start.Add8(1);
  const auto expected = static_cast<ostra::DWORD>(program.points * 8 * 3 * 4);
  for (auto _ : state) {
    instrument.Send(start);
    instrument.sim.FT_Read(instrument.handle, buffer.data(), expected, &got);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * expected);
}
BENCHMARK(BM_SimAcquisition)->Arg(201)->Arg(501);

void BM_SimCommandRoundTrip(benchmark::State& state) {
  OpenInstrument instrument;
  ostra::CommandFrame gain(ostra::opcode::kSetRxGain);
  gain.Add8(13);
  uint8_t reply = 0;
  ostra::DWORD got = 0;
  for (auto _ : state) {
    instrument.sim.FT_Purge(instrument.handle, ostra::FT_PURGE_TX);
    instrument.sim.FT_Purge(instrument.handle, ostra::FT_PURGE_RX);
    instrument.Send(gain);
    instrument.sim.FT_Read(instrument.handle, &reply, 1, &got);
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_SimCommandRoundTrip);

}  // namespace
