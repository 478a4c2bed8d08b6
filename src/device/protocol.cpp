#include "device/protocol.h"

#include <algorithm>

namespace ostra {

void CommandFrame::Add8(uint8_t value) {
  if (bytes[0] >= kMaxFrameLength) return;  // no room for the checksum
  bytes[bytes[0] + 1] = value;
  ++bytes[0];
}

void CommandFrame::Add16(uint16_t value) {
  Add8(static_cast<uint8_t>(value >> 8));
  Add8(static_cast<uint8_t>(value));
}

void CommandFrame::Add32(uint32_t value) {
  Add16(static_cast<uint16_t>(value >> 16));
  Add16(static_cast<uint16_t>(value));
}

uint8_t FrameChecksum(const uint8_t* frame) {
  const int length = std::min<int>(frame[0], kMaxFrameLength);
  uint8_t sum = frame[0];
  for (int i = 1; i <= length; ++i) sum ^= frame[i];
  return sum;
}

CommandFrame ProgramSweepFrame(const SweepProgram& program) {
  CommandFrame frame(opcode::kProgramSweep);
  frame.Add32(program.start_word);
  frame.Add32(program.step_word);
  frame.Add16(program.points);
  frame.Add8(program.mode);
  frame.Add8(program.sweep_count);
  frame.Add8(program.sweep_type);
  frame.Add16(program.power_word);
  frame.Add32(program.freq_word);
  frame.Add16(program.phase_word);
  frame.Add8(program.dwell);
  frame.Add8(program.rx_gain_code);
  frame.Add8(program.preamp);
  return frame;
}

namespace {

uint16_t Word16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Word32(const uint8_t* p) {
  return (static_cast<uint32_t>(Word16(p)) << 16) | Word16(p + 2);
}

}  // namespace

SweepProgram DecodeSweepProgram(const uint8_t* frame) {
  SweepProgram program;
  program.start_word = Word32(frame + 2);
  program.step_word = Word32(frame + 6);
  program.points = Word16(frame + 10);
  program.mode = frame[12];
  program.sweep_count = frame[13];
  program.sweep_type = frame[14];
  program.power_word = Word16(frame + 15);
  program.freq_word = Word32(frame + 17);
  program.phase_word = Word16(frame + 21);
  program.dwell = frame[23];
  program.rx_gain_code = frame[24];
  program.preamp = frame[25];
  return program;
}

std::optional<uint8_t> SectorCode(std::string_view letter) {
  if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'H') return std::nullopt;
  return static_cast<uint8_t>('H' - letter[0]);
}

}  // namespace ostra
