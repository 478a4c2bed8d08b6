// The steps of the firmware upgrade against the simulated instrument: erase,
// write from a sector file, read back, the code start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/firmware_upgrade.h"
#include "base/text_util.h"
#include "firmware/sector_file.h"
#include "support/analyser_rig.h"
#include "support/frame_recorder.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::FrameRecorder;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::WriteFile;

constexpr uint8_t kSectorE = 3;

class FirmwareStepTest : public ::testing::Test {
 protected:
  FirmwareStepTest() {
    recorder.inner = &rig.sim;
    rig.analyser->Link().OpenInstrument();
    platform().ClearMessages();
    recorder.blocks.clear();
  }
  FirmwareUpgrade& upgrade() { return rig.analyser->Upgrade(); }
  FakePlatform& platform() { return rig.platform; }
  std::filesystem::path File(const std::string& name) { return rig.app / name; }
  // A sector file line: address and words.
  static std::string Line(uint32_t address, const std::vector<uint16_t>& words) {
    std::string line = FormatHex(address, 8);
    for (uint16_t w : words) line += FormatHex(w, 4);
    return line + "\r\n";
  }
  static std::vector<uint16_t> Words(int n, uint16_t first) {
    std::vector<uint16_t> words;
    for (int i = 0; i < n; ++i) words.push_back(static_cast<uint16_t>(first + i));
    return words;
  }

  FrameRecorder recorder;
  AnalyserRig rig{true, &recorder};
};

TEST_F(FirmwareStepTest, EraseShowsTheFlashStatusOrAMissingReplyAndGoesOn) {
  upgrade().EraseSectorChecked("E");
  EXPECT_THAT(platform().MessageTexts(), IsEmpty());
  ASSERT_EQ(recorder.FlashFrames().size(), 1u);
  EXPECT_THAT(recorder.FlashFrames()[0], ElementsAre(2, opcode::kEraseSector, kSectorE));

  rig.sim.SetEraseStatus(22);
  upgrade().EraseSectorChecked("E");
  EXPECT_THAT(platform().MessageTexts(), ElementsAre("STATUS_FAIL_ERASE"));

  platform().ClearMessages();
  rig.sim.SetNoReply(opcode::kEraseSector);
  upgrade().EraseSectorChecked("D");
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("Received data do not match with what is expected",
                          "Did not return any data!", "Did not recive 2 data bytes"));
}

TEST_F(FirmwareStepTest, WritingShowsEachWriteStepsTheProgressBarAndEndsAtItsMaximum) {
  WriteFile(File("sector_h.txt"),
            Line(0x003E8000, Words(16, 0x1000)) + Line(0x003E8010, Words(16, 0x2000)));
  upgrade().WriteSectorFromFile("E", "H", File("sector_h.txt"));
  EXPECT_THAT(platform().StatusTexts(),
              ElementsAre("Writing 16 WORDS to Sector E at address offset of 0x0000",
                          "Writing 16 WORDS to Sector E at address offset of 0x0010",
                          "Sector Ewriting complete"));
  using P = FakePlatform::ProgressChange;
  EXPECT_THAT(platform().ProgressChanges(),
              ElementsAre(P{false, 0}, P{false, 1}, P{false, 2}, P{false, 100}));
  const auto e = rig.sim.SectorWords(kSectorE);
  EXPECT_EQ(e[0], 0x1000);
  EXPECT_EQ(e[31], 0x200F);
  EXPECT_EQ(e[32], 0xFFFF);
  EXPECT_THAT(platform().MessageTexts(), IsEmpty());
}

TEST_F(FirmwareStepTest, ALineOfMoreThanSixteenWordsGoesAsSeveralWrites) {
  WriteFile(File("sector_g.txt"), Line(0x003EA100, Words(40, 0x3000)));
  upgrade().WriteSectorFromFile("D", "G", File("sector_g.txt"));
  EXPECT_THAT(platform().StatusTexts(),
              ElementsAre("Writing 16 WORDS to Sector D at address offset of 0x0100",
                          "Writing 16 WORDS to Sector D at address offset of 0x0110",
                          "Writing 8 WORDS to Sector D at address offset of 0x0120",
                          "Sector Dwriting complete"));
  const auto frames = recorder.FlashFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2][0], 2 * 8 + 4);
  EXPECT_THAT(std::vector<uint8_t>(frames[2].begin() + 1, frames[2].begin() + 5),
              ElementsAre(opcode::kWriteSectorWords, 4, 0x01, 0x20));
  const auto d = rig.sim.SectorWords(4);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(d[0x100 + i], 0x3000 + i);
}

TEST_F(FirmwareStepTest, AWriteErrorStopsTheSectorAndNamesTheOffsetPlusOne) {
  WriteFile(File("sector_h.txt"), Line(0x003E8000, Words(16, 0x1000)) + Line(0x003E801F, {0x4444}) +
                                      Line(0x003E8040, {0x5555}));
  rig.sim.InjectFlashFault({FlashOperation::Write, 30, kSectorE, 0x001F, 1});
  upgrade().WriteSectorFromFile("E", "H", File("sector_h.txt"));
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("Error while writing offset_adr 0x0020: STATUS_FAIL_PROGRAM"));
  EXPECT_EQ(platform().StatusText(), "Sector Ewriting complete");
  EXPECT_EQ(recorder.Count(opcode::kWriteSectorWords), 2u);
  const auto e = rig.sim.SectorWords(kSectorE);
  EXPECT_EQ(e[0x1F], 0xFFFF);
  EXPECT_EQ(e[0x40], 0xFFFF);  // the rest of the sector is not written

  // A write that gets no reply stops the sector as well.
  platform().ClearMessages();
  rig.sim.SetNoReply(opcode::kWriteSectorWords);
  upgrade().WriteSectorFromFile("E", "H", File("sector_h.txt"));
  EXPECT_EQ(platform().MessageTexts().back(), "Did not recive 2 data bytes");
  EXPECT_EQ(recorder.Count(opcode::kWriteSectorWords), 3u);
}

TEST_F(FirmwareStepTest, ALineOutsideItsSectorIsNotSent) {
  WriteFile(File("sector_h.txt"), Line(0x003E9FF8, Words(16, 0)));
  upgrade().WriteSectorFromFile("E", "H", File("sector_h.txt"));
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("The words at 0x003E9FF8 lie outside sector H; writing stopped"));
  EXPECT_EQ(recorder.Count(opcode::kWriteSectorWords), 0u);
}

TEST_F(FirmwareStepTest, ReadBackWritesTheSectorOrNoFileAtAll) {
  upgrade().EraseSectorChecked("E");
  rig.analyser->Link().WriteSectorWords("E", 0x10, {0x1234, 0x5678});
  ASSERT_TRUE(upgrade().ReadSectorToFile("E", File("sector_e.txt")));
  const std::vector<SectorLine> lines = ReadSectorFile(File("sector_e.txt"));
  ASSERT_EQ(lines.size(), 512u);
  EXPECT_EQ(lines[1].address, 0x003EE010u);
  EXPECT_EQ(lines[1].words[0], 0x1234);
  EXPECT_EQ(lines[1].words[1], 0x5678);

  // A short reply: its message, and the old file is gone.
  rig.sim.ForceNextReply(kReplyAck);
  EXPECT_FALSE(upgrade().ReadSectorToFile("E", File("sector_e.txt")));
  EXPECT_EQ(platform().MessageTexts().back(),
            "Data received do not match with what is expected. Received:1 ; Expected:16384");
  EXPECT_FALSE(std::filesystem::exists(File("sector_e.txt")));

  EXPECT_FALSE(upgrade().ReadSectorToFile("I", File("sector_i.txt")));
  EXPECT_EQ(platform().MessageTexts().back(), "Invalid Sector name: I");
}

TEST_F(FirmwareStepTest, TheCodeStartIsTheImagesTwoWordsAndEightErasedOnes) {
  WriteFile(File("sector_a.txt"), Line(0x003F6000, {1}) + Line(0x003F7FF6, {0x0040, 0x0000}));
  EXPECT_TRUE(upgrade().CheckCodeStart());
  const auto frames = recorder.FlashFrames();
  ASSERT_EQ(frames.size(), 2u);
  std::vector<uint8_t> expected = {21, opcode::kWriteCodeStart, 0x00, 0x40, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) expected.insert(expected.end(), {0xFF, 0xFF});
  EXPECT_EQ(frames[0], expected);
  EXPECT_THAT(frames[1], ElementsAre(1, opcode::kReadCodeStart));
  EXPECT_EQ(rig.sim.CodeStart()[0], 0x0040);
  EXPECT_EQ(rig.sim.CodeStart()[9], 0xFFFF);

  // Words 118 to 127 read back differ: the instrument did not take them.
  WriteFile(File("sector_a.txt"), Line(0x003F7FF6, {0x0041, 0x0002}));
  rig.sim.ForceNextReply(kReplyAck);
  EXPECT_FALSE(upgrade().CheckCodeStart());

  // No line for 003F7FF6: nothing is sent.
  recorder.blocks.clear();
  WriteFile(File("sector_a.txt"), Line(0x003F7FF0, {0x0040, 0x0000}));
  EXPECT_FALSE(upgrade().CheckCodeStart());
  EXPECT_THAT(recorder.FlashFrames(), IsEmpty());
}

}  // namespace
}  // namespace ostra
