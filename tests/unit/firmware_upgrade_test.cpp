// The firmware upgrade as a whole: Help > Firmware Upgrade on the running
// program, the sequence against the simulated instrument (every flash frame
// compared with the sequence the upgrade must send), and images that must
// not erase anything.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/firmware_upgrade.h"
#include "base/text_util.h"
#include "firmware/hex_image.h"
#include "firmware/sector_map.h"
#include "support/analyser_rig.h"
#include "support/frame_recorder.h"
#include "support/hex_image_builder.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FakePlatform;
using testing::FrameRecorder;
using ::testing::HasSubstr;
using testing::HexImageBuilder;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::WriteFile;
using Frame = std::vector<uint8_t>;

constexpr const char* kVerificationFailed =
    "Verification failed\nThe instrument still holds its previous firmware.";
constexpr const char* kUpdated =
    "Firmware updated... Please power cycle Ostra by unplugging and plugging USB cable and "
    "restart application software";

// The flash frames an upgrade from `image` must send, from the image's own
// records: for each of H, G, F, erase the staging sector, write each record
// the image holds at its offset, read the sector back; then the code start
// in force read, the new one written and read, then the copy.
std::vector<Frame> ExpectedFrames(const HexImageBuilder& image) {
  std::vector<Frame> frames;
  for (const UpgradePass& pass : kUpgradePasses) {
    const FlashSector& source = *SectorByLetter(pass.source);
    const uint8_t staging = SectorByLetter(pass.staging)->code;
    frames.push_back({2, opcode::kEraseSector, staging});
    for (const auto& record : image.records) {
      if (SectorOfAddress(record.address) != &source) continue;
      const uint32_t offset = record.address - source.base;
      Frame write = {static_cast<uint8_t>(2 * record.words.size() + 4), opcode::kWriteSectorWords,
                     staging, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset)};
      for (uint16_t w : record.words) write.insert(write.end(), {uint8_t(w >> 8), uint8_t(w)});
      frames.push_back(write);
    }
    frames.push_back({2, opcode::kReadSector, staging});
  }
  frames.push_back({1, opcode::kReadCodeStart});
  Frame code_start = {21, opcode::kWriteCodeStart};
  const uint16_t w0 = image.image.at(0x003F7FF6);
  const uint16_t w1 = image.image.at(0x003F7FF7);
  code_start.insert(code_start.end(),
                    {uint8_t(w0 >> 8), uint8_t(w0), uint8_t(w1 >> 8), uint8_t(w1)});
  for (int i = 0; i < 8; ++i) code_start.insert(code_start.end(), {0xFF, 0xFF});
  frames.push_back(code_start);
  frames.push_back({1, opcode::kReadCodeStart});
  frames.push_back({1, opcode::kCopyImage});
  return frames;
}

class FirmwareUpgradeTest : public ::testing::Test {
 protected:
  FirmwareUpgradeTest() { recorder.inner = &rig.sim; }
  FirmwareUpgrade& upgrade() { return rig.analyser->Upgrade(); }
  FakePlatform& platform() { return rig.platform; }
  std::filesystem::path Image(const std::string& text, const std::string& name = "image.hex") {
    const std::filesystem::path path = rig.dir / name;
    WriteFile(path, text);
    return path;
  }
  // The link open, nothing else: the steps alone.
  void Open() {
    // The log goes where the started program keeps it.
    std::filesystem::create_directories(rig.DataDir());
    rig.analyser->Log().SetDataDirectory(rig.DataDir());
    rig.analyser->Link().OpenInstrument();
    platform().ClearMessages();
    recorder.blocks.clear();
  }
  // The running program; Help > Firmware Upgrade with `image` chosen and
  // Yes answered, as a click arrives while it sweeps.
  void UpgradeFromMenu(const std::filesystem::path& image) {
    rig.StartUp();
    platform().ClearMessages();
    platform().file_dialog_answers.push_back(image);
    platform().answers.push_back(MessageResult::Yes);
    platform().At(platform().NowMicroseconds() / 1000 + 300, [&] {
      ASSERT_TRUE(rig.analyser->Engine().RunActive());
      upgrade().FirmwareUpgrade1Click();
    });
    platform().RunUntil([&] { return platform().QuitRequested(); }, 20000);
  }
  std::vector<std::string> Statuses(size_t from) const {
    const auto& all = rig.platform.StatusTexts();
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
  }
  std::array<uint16_t, kSectorWords> Expected(const HexImageBuilder& image, char letter) {
    const FlashSector& sector = *SectorByLetter(letter);
    std::array<uint16_t, kSectorWords> words;
    words.fill(0xFFFF);
    for (const auto& [address, word] : image.image) {
      if (SectorOfAddress(address) == &sector) words[address - sector.base] = word;
    }
    return words;
  }

  FrameRecorder recorder;
  AnalyserRig rig{true, &recorder};
};

// --- A whole upgrade -------------------------------------------------------------

TEST_F(FirmwareUpgradeTest, TheRunningProgramIsUpgradedAndEndsWithItsSettingsSaved) {
  const HexImageBuilder image = HexImageBuilder::Standard("HGF", 300);
  std::filesystem::remove(rig.CalFile("config.dat"));
  UpgradeFromMenu(Image(image.Text()));

  ASSERT_TRUE(platform().QuitRequested());
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("About to Update Firmware. Do you want to continue?", kUpdated));
  EXPECT_TRUE(std::filesystem::exists(rig.CalFile("config.dat")));
  EXPECT_EQ(recorder.FlashFrames(), ExpectedFrames(image));
  // The instrument now holds the new program, and its code start.
  EXPECT_EQ(rig.sim.SectorWords(0), Expected(image, 'H'));
  EXPECT_EQ(rig.sim.SectorWords(1), Expected(image, 'G'));
  EXPECT_EQ(rig.sim.SectorWords(2), Expected(image, 'F'));
  EXPECT_EQ(rig.sim.CodeStart()[0], 0x0040);
  EXPECT_EQ(rig.sim.Counters().copy_images, 1u);
  EXPECT_THAT(platform().StatusTexts(), Contains("Reading complete."));
  EXPECT_EQ(platform().ProgressChanges().back(), (FakePlatform::ProgressChange{false, 100}));
  // The sweep was stopped with the 20 ms wait and never restarted.
  EXPECT_FALSE(platform().TimerEnabled(TimerId::BeginSweep));
}

TEST_F(FirmwareUpgradeTest, AnImageWithSectorHOnlyProgramsSectorEStepByStep) {
  Open();
  const HexImageBuilder image = HexImageBuilder::Standard("H", 32);
  const size_t before = platform().StatusTexts().size();
  const int64_t start_us = platform().NowMicroseconds();
  upgrade().ProgramFirmware(Image(image.Text()));

  EXPECT_THAT(
      Statuses(before),
      ElementsAre(
          "", "Processing HEX file", "Erasing Sector E.. please wait", "Erasing complete",
          "Writing 16 WORDS to Sector E at address offset of 0x0000",
          "Writing 16 WORDS to Sector E at address offset of 0x0010", "Sector Ewriting complete",
          "Reading data from Sector E", "Reading complete", "Data Verified",
          // The staging sectors of G and F are erased all the same.
          "Erasing Sector D.. please wait", "Erasing complete", "Reading data from Sector D",
          "Reading complete.", "Data Verified", "Erasing Sector C.. please wait",
          "Erasing complete", "Reading data from Sector C", "Reading complete.", "Data Verified",
          "Copying image to main frame.. please wait."));
  using P = FakePlatform::ProgressChange;
  EXPECT_THAT(platform().ProgressChanges(),
              ElementsAre(P{false, 0}, P{true, 0}, P{true, 0}, P{true, 1}, P{true, 2}, P{true, 100},
                          P{true, 0}, P{true, 100}, P{false, 100}));
  EXPECT_THAT(platform().MessageTexts(), ElementsAre(kUpdated));
  EXPECT_EQ(recorder.FlashFrames(), ExpectedFrames(image));
  EXPECT_EQ(rig.sim.SectorWords(0), Expected(image, 'H'));
  EXPECT_TRUE(platform().QuitRequested());
  // The 5 s wait after the copy sleeps in the event loop, not in Sleep.
  EXPECT_GE(platform().NowMicroseconds() - start_us, 5'000'000);
  for (int ms : platform().Sleeps()) EXPECT_LE(ms, 20);
}

TEST_F(FirmwareUpgradeTest, NoSweepStartsWhileTheFlashIsProgrammed) {
  Open();
  // A key press during the 5 s wait asks for a restart.
  recorder.on_block = [&](const FrameRecorder::Block& block) {
    if (block[1] == opcode::kCopyImage) rig.analyser->Sweep().Restart();
  };
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
  EXPECT_EQ(recorder.Count(opcode::kStartSweep), 0u);
  EXPECT_EQ(recorder.Count(opcode::kProgramSweep), 0u);
}

TEST_F(FirmwareUpgradeTest, AnImageWithoutSectorHFailsVerificationAndIsNeverCopied) {
  Open();
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("GF").Text()));
  EXPECT_THAT(platform().MessageTexts(), ElementsAre(kVerificationFailed));
  EXPECT_EQ(recorder.Count(opcode::kCopyImage), 0u);
  EXPECT_EQ(recorder.Count(opcode::kWriteCodeStart), 0u);
  EXPECT_FALSE(platform().QuitRequested());
  EXPECT_TRUE(platform().ProgressChanges().back().visible);
}

TEST_F(FirmwareUpgradeTest, AFailedWriteFailsItsPassAndStopsBeforeTheCopy) {
  Open();
  const HexImageBuilder image = HexImageBuilder::Standard("HG", 64);
  rig.sim.InjectFlashFault({FlashOperation::Write, 30, 4, 0x0010, 1});  // sector D
  upgrade().ProgramFirmware(Image(image.Text()));
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("Error while writing offset_adr 0x0011: STATUS_FAIL_PROGRAM",
                          kVerificationFailed));
  EXPECT_THAT(platform().StatusTexts(), Contains("Sector Dwriting complete"));
  EXPECT_EQ(recorder.Count(opcode::kCopyImage), 0u);
}

TEST_F(FirmwareUpgradeTest, ACodeStartThatDoesNotReadBackStopsBeforeTheCopy) {
  Open();
  recorder.on_block = [&](const FrameRecorder::Block& block) {
    // The code start in force is read, then the new one written.
    if (block[1] == opcode::kReadCodeStart && recorder.Count(opcode::kReadCodeStart) == 1) {
      rig.sim.ForceNextReply(kReplyAck);
    }
  };
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("Code Start Verification failed\nIts previous start address was "
                          "written back.\nThe instrument still holds its previous firmware."));
  EXPECT_EQ(recorder.Count(opcode::kCopyImage), 0u);
  EXPECT_TRUE(platform().ProgressChanges().back().visible);
}

TEST_F(FirmwareUpgradeTest, ALowerCaseImageProgramsExactlyAsItsUpperCaseTwin) {
  Open();
  const HexImageBuilder image = HexImageBuilder::Standard("HGF", 48);
  std::string lower = image.Text();
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  platform().file_dialog_answers.push_back(Image(lower));
  platform().answers.push_back(MessageResult::Yes);
  upgrade().FirmwareUpgrade1Click();
  EXPECT_THAT(platform().MessageTexts(),
              ElementsAre("About to Update Firmware. Do you want to continue?", kUpdated));
  EXPECT_EQ(recorder.FlashFrames(), ExpectedFrames(image));
}

// --- An upgrade that fails leaves the previous firmware bootable -------------------

TEST_F(FirmwareUpgradeTest, AFailedStagingStepStopsBeforeTheCodeStartIsTouched) {
  Open();
  const HexImageBuilder image = HexImageBuilder::Standard("HG", 64);
  struct Fault {
    const char* name;
    std::function<void()> inject;
  };
  const Fault faults[] = {
      {"write status 30 in sector E",
       [&] {
         rig.sim.InjectFlashFault({FlashOperation::Write, 30, 3, 0x0010, 1});
       }},
      {"failed erase of sector D",
       [&] {
         rig.sim.InjectFlashFault({FlashOperation::Erase, 22, 4, std::nullopt, -1});
       }},
      {"no reply to a write", [&] { rig.sim.SetNoReply(opcode::kWriteSectorWords); }},
      {"a refused erase",
       [&] {
         recorder.on_block = [&](const FrameRecorder::Block& block) {
           if (block[1] == opcode::kReadSector) rig.sim.ForceNextReply(kReplyChecksumError);
         };
       }},
  };
  for (const Fault& fault : faults) {
    rig.sim.ClearFaults();
    recorder.on_block = nullptr;
    recorder.blocks.clear();
    platform().ClearMessages();
    fault.inject();
    upgrade().ProgramFirmware(Image(image.Text()));
    EXPECT_EQ(recorder.Count(opcode::kWriteCodeStart), 0u) << fault.name;
    EXPECT_EQ(recorder.Count(opcode::kCopyImage), 0u) << fault.name;
    EXPECT_EQ(rig.sim.CodeStart()[0], 0xFFFF) << fault.name;
    EXPECT_EQ(platform().MessageTexts().back(), kVerificationFailed) << fault.name;
    EXPECT_EQ(rig.LogLines().back(),
              "Firmware upgrade: failed: the instrument still holds its previous firmware")
        << fault.name;
    EXPECT_FALSE(platform().QuitRequested()) << fault.name;
  }
}

TEST_F(FirmwareUpgradeTest, ARefusedCopyIsNotReportedAsAnUpdate) {
  Open();
  for (uint8_t refusal : {kReplyChecksumError, kReplyUnexpectedData}) {
    platform().ClearMessages();
    recorder.blocks.clear();
    recorder.on_block = [&](const FrameRecorder::Block& block) {
      // The new code start read back; the copy follows.
      if (block[1] == opcode::kReadCodeStart && recorder.Count(opcode::kReadCodeStart) == 2) {
        rig.sim.ForceNextReply(refusal);
      }
    };
    upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
    EXPECT_EQ(recorder.Count(opcode::kCopyImage), 1u);
    EXPECT_EQ(rig.sim.Counters().copy_images, 0u);
    EXPECT_THAT(platform().MessageTexts(), Not(Contains(kUpdated)));
    // The start address in force before the upgrade is back.
    EXPECT_THAT(rig.sim.CodeStart(), ::testing::Each(0xFFFF));
    EXPECT_THAT(platform().MessageTexts().back(),
                HasSubstr("nothing was copied.\nIts previous start address was written back.\n"
                          "The instrument still holds its previous firmware."));
    EXPECT_FALSE(platform().QuitRequested());
  }
  // A copy that does not answer (the instrument resets while it copies) is done.
  recorder.on_block = nullptr;
  platform().ClearMessages();
  rig.sim.SetNoReply(opcode::kCopyImage);
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
  EXPECT_EQ(platform().MessageTexts().back(), kUpdated);
}

TEST_F(FirmwareUpgradeTest, StagingDataOfAnEarlierUpgradeIsNeverInstalled) {
  Open();
  // An earlier upgrade failed halfway: staging sectors D and C hold stray words.
  std::array<uint16_t, kSectorWords> stray;
  stray.fill(0x1234);
  rig.sim.SetSectorWords(SectorByLetter('D')->code, stray);
  rig.sim.SetSectorWords(SectorByLetter('C')->code, stray);
  const HexImageBuilder image = HexImageBuilder::Standard("H", 32);
  upgrade().ProgramFirmware(Image(image.Text()));
  ASSERT_EQ(rig.sim.Counters().copy_images, 1u);
  EXPECT_EQ(rig.sim.SectorWords(0), Expected(image, 'H'));
  EXPECT_EQ(rig.sim.SectorWords(1), Expected(image, 'G'));  // erased
  EXPECT_EQ(rig.sim.SectorWords(2), Expected(image, 'F'));
}

TEST_F(FirmwareUpgradeTest, AnOldSectorFileThatCannotBeRemovedStopsBeforeTheFirstErase) {
  Open();
  // A sector_g.txt that cannot be removed (here a folder with a file in it).
  std::filesystem::create_directories(rig.app / "sector_g.txt");
  WriteFile(rig.app / "sector_g.txt" / "keep", "x");
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
  EXPECT_THAT(recorder.FlashFrames(), IsEmpty());
  ASSERT_EQ(platform().MessageTexts().size(), 1u);
  EXPECT_THAT(platform().MessageTexts()[0], HasSubstr("sector_g.txt"));
  EXPECT_THAT(platform().MessageTexts()[0],
              HasSubstr("The instrument still holds its previous firmware."));
}

TEST_F(FirmwareUpgradeTest, TheLogKeepsTheImageEachPassAndTheOutcome) {
  Open();
  const HexImageBuilder image = HexImageBuilder::Standard("HF", 32);
  const std::filesystem::path file = Image(image.Text(), "new.hex");
  platform().file_dialog_answers.push_back(file);
  platform().answers.push_back(MessageResult::Yes);
  upgrade().FirmwareUpgrade1Click();
  EXPECT_THAT(rig.LogLines(),
              ::testing::IsSupersetOf(
                  {"Firmware upgrade: image " + file.string() + ", " +
                       std::to_string(image.Text().size()) + " bytes",
                   std::string("Firmware upgrade: image accepted"),
                   std::string("Firmware upgrade: sector H staged in sector E: verified"),
                   std::string("Firmware upgrade: sector G staged in sector D: no data, erased and "
                               "verified blank"),
                   std::string("Firmware upgrade: sector F staged in sector C: verified"),
                   std::string("Firmware upgrade: code start verified"),
                   std::string("Firmware upgrade: updated")}));
}

// --- The menu entry -----------------------------------------------------------------

TEST_F(FirmwareUpgradeTest, TheDialogStartsInTheDataDirectoryAndCancellingStops) {
  rig.StartUp();
  platform().ClearMessages();
  upgrade().FirmwareUpgrade1Click();
  ASSERT_EQ(platform().file_dialogs.size(), 1u);
  const FileDialogRequest& request = platform().file_dialogs[0];
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.filter, "Firmware image (*.hex)|*.hex");
  EXPECT_EQ(request.initial_dir, rig.DataDir());
  EXPECT_THAT(platform().MessageTexts(), IsEmpty());

  // Not confirmed.
  platform().file_dialog_answers.push_back(Image(HexImageBuilder::Standard("H").Text()));
  platform().answers.push_back(MessageResult::Cancel);
  upgrade().FirmwareUpgrade1Click();
  ASSERT_EQ(platform().Messages().size(), 1u);
  EXPECT_EQ(platform().Messages()[0].text, "About to Update Firmware. Do you want to continue?");
  EXPECT_EQ(platform().Messages()[0].kind, MessageKind::Plain);
  EXPECT_EQ(platform().Messages()[0].buttons, MessageButtons::YesCancel);
  EXPECT_EQ(platform().StatusText(), "Firmware update cancelled");
  EXPECT_EQ(recorder.Count(opcode::kEraseSector), 0u);
}

TEST_F(FirmwareUpgradeTest, AFileThatIsNotAHexImageIsNotRecognised) {
  Open();
  // A file of something else larger than any image is not recognised either.
  const std::string large(kMaxHexImageBytes + 1, 'x');
  for (const std::string& text :
       {std::string(), std::string("\r\n:00000001FF\r\n"), std::string("HELLO\r\n"), large}) {
    platform().ClearMessages();
    platform().file_dialog_answers.push_back(Image(text));
    platform().answers.push_back(MessageResult::Yes);
    upgrade().FirmwareUpgrade1Click();
    EXPECT_EQ(platform().MessageTexts().back(), "File is not recognised. Aborting ...");
  }
  EXPECT_THAT(recorder.FlashFrames(), IsEmpty());
}

TEST_F(FirmwareUpgradeTest, ACorruptedImageErasesNothingAndSaysWhereItIsWrong) {
  rig.StartUp();
  struct Corruption {
    const char* name;
    std::function<void(std::vector<std::string>&)> spoil;
    const char* message;
  };
  const Corruption corruptions[] = {
      {"bad checksum", [](auto& l) { l[3].back() = l[3].back() == '0' ? '1' : '0'; },
       "Firmware image not accepted, line 4: the checksum is "},
      {"truncated",
       [](auto& l) {
         l.resize(5);
         l[4].resize(30);
       },
       "Firmware image not accepted, line 5: the byte count 20 calls for 75 characters, the "
       "line has 30"},
      {"missing end record", [](auto& l) { l.pop_back(); },
       "Firmware image not accepted, line 17: the image ends without an end-of-file record "
       "(type 01)"},
      {"no sector H", [](auto& l) { l.erase(l.begin(), l.begin() + 5); },
       "Firmware image not accepted, line 13: the image holds no data for sector H"},
  };
  // Each chosen while the program sweeps.
  const int64_t start_ms = platform().NowMicroseconds() / 1000;
  size_t checked = 0;
  for (size_t i = 0; i < std::size(corruptions); ++i) {
    platform().At(start_ms + 100 * static_cast<int64_t>(i + 1), [&, i] {
      const Corruption& c = corruptions[i];
      HexImageBuilder spoilt = HexImageBuilder::Standard("HGF");
      ASSERT_EQ(spoilt.lines.size(), 18u);
      c.spoil(spoilt.lines);
      platform().ClearMessages();
      platform().file_dialog_answers.push_back(Image(spoilt.Text()));
      platform().answers.push_back(MessageResult::Yes);
      upgrade().FirmwareUpgrade1Click();
      const std::vector<std::string> messages = platform().MessageTexts();
      ASSERT_EQ(messages.size(), 2u) << c.name;
      EXPECT_EQ(messages[1].rfind(c.message, 0), 0u) << c.name << ": " << messages[1];
      EXPECT_EQ(rig.LogLines().back(), messages[1]) << c.name;
      EXPECT_THAT(recorder.FlashFrames(), IsEmpty()) << c.name;
      ++checked;
    });
  }
  const size_t sweeps_before = recorder.Count(opcode::kStartSweep);
  platform().At(start_ms + 600, [&] {
    // The sweep went on all along.
    EXPECT_GT(recorder.Count(opcode::kStartSweep), sweeps_before + 3);
    platform().Quit();
    rig.analyser->Sweep().RequestStop();
  });
  platform().RunUntil([&] { return platform().QuitRequested(); }, 5000);
  EXPECT_EQ(checked, std::size(corruptions));
}

TEST_F(FirmwareUpgradeTest, TheMenuEntryDoesNothingWhileAnUpgradeRuns) {
  Open();
  platform().on_message = [&](const testing::RecordedMessage& m) {
    if (m.text == kUpdated) upgrade().FirmwareUpgrade1Click();
  };
  upgrade().ProgramFirmware(Image(HexImageBuilder::Standard("H").Text()));
  EXPECT_THAT(platform().file_dialogs, IsEmpty());
  EXPECT_FALSE(upgrade().InProgress());
}

}  // namespace
}  // namespace ostra
