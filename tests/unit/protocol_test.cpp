// The command frame and the sweep program block.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/protocol.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;

std::vector<uint8_t> Head(const CommandFrame& frame, int n) {
  return {frame.bytes.begin(), frame.bytes.begin() + n};
}

TEST(CommandFrame, ArgumentsAreBigEndianAndGrowL) {
  CommandFrame frame(opcode::kWriteSectorWords);
  frame.Add8(0x03);
  frame.Add16(0x1FF6);
  frame.Add32(0x0040ABCD);
  EXPECT_EQ(frame.Length(), 8);
  EXPECT_THAT(Head(frame, 9), ElementsAre(8, 0x11, 0x03, 0x1F, 0xF6, 0x00, 0x40, 0xAB, 0xCD));
  EXPECT_EQ(FrameChecksum(frame.bytes.data()), 8 ^ 0x11 ^ 0x03 ^ 0x1F ^ 0xF6 ^ 0x40 ^ 0xAB ^ 0xCD);
}

TEST(CommandFrame, ChecksumsOfTheKnownFrames) {
  EXPECT_EQ(FrameChecksum(CommandFrame(opcode::kReadIdentity).bytes.data()), 0x01);
  CommandFrame start(opcode::kStartSweep);
  start.Add8(1);
  EXPECT_EQ(FrameChecksum(start.bytes.data()), 0x06);
  CommandFrame gain(opcode::kSetRxGain);
  gain.Add8(12);
  EXPECT_EQ(FrameChecksum(gain.bytes.data()), 0x01);
}

TEST(CommandFrame, StopsGrowingWhereTheChecksumNoLongerFits) {
  CommandFrame frame(0x11);
  for (int i = 0; i < 60; ++i) frame.Add8(static_cast<uint8_t>(i));
  EXPECT_EQ(frame.Length(), kMaxFrameLength);
  EXPECT_EQ(frame.bytes[49], 0);  // the checksum's place stays free
  // An L beyond the block is checked over the block only, never past it.
  std::array<uint8_t, kFrameSize> block{};
  block[0] = 0xFF;
  EXPECT_EQ(FrameChecksum(block.data()), 0xFF);
}

TEST(ProgramSweepFrame, FieldsInTheirByteOrder) {
  // Frequency sweep 20 to 50 MHz, 201 points, -20 dBm, transmission, power type.
  SweepProgram program;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.points = 201;
  program.mode = 1;
  program.sweep_count = 3;
  program.sweep_type = 2;
  program.power_word = 0x0195;
  program.freq_word = 0x0A3D70A5;
  program.phase_word = 0x1234;
  program.dwell = 8;
  program.rx_gain_code = 13;
  program.preamp = 1;
  const CommandFrame frame = ProgramSweepFrame(program);
  EXPECT_THAT(Head(frame, 26), ElementsAre(25, 0x04,                // L, opcode
                                           0x0A, 0x3D, 0x70, 0xA4,  // StartWord
                                           0x00, 0x13, 0x90, 0x22,  // StepWord
                                           0x00, 0xC9,              // points
                                           1, 3, 2,                 // mode, sweep count, type
                                           0x01, 0x95,              // PowerWord
                                           0x0A, 0x3D, 0x70, 0xA5,  // FreqWord
                                           0x12, 0x34,              // PhaseWord
                                           8, 13, 1));              // dwell, gain code, preamp
  EXPECT_EQ(DecodeSweepProgram(frame.bytes.data()), program);
}

TEST(SectorCode, LettersAToHOnlyInUpperCase) {
  EXPECT_EQ(SectorCode("A"), 7);
  EXPECT_EQ(SectorCode("C"), 5);
  EXPECT_EQ(SectorCode("E"), 3);
  EXPECT_EQ(SectorCode("H"), 0);
  EXPECT_EQ(SectorCode("a"), std::nullopt);
  EXPECT_EQ(SectorCode("I"), std::nullopt);
  EXPECT_EQ(SectorCode(""), std::nullopt);
  EXPECT_EQ(SectorCode("AB"), std::nullopt);
}

}  // namespace
}  // namespace ostra
