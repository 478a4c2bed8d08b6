// The whole program, as an impatient user has it: at several moments of a
// calibration and of a firmware upgrade a state is recalled, About is opened
// and Exit is tried. Every calibration file ends as it was or as a whole new
// capture, and the instrument's flash ends holding the new program whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include "app/app_shell.h"
#include "app/firmware_upgrade.h"
#include "app/state_files.h"
#include "firmware/sector_map.h"
#include "support/calibration_rig.h"
#include "support/frame_recorder.h"
#include "support/hex_image_builder.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using testing::CalRig;
using ::testing::Contains;

constexpr const char* kCalFiles[] = {"cal_dc_offset.dat", "cal_load.dat", "cal_open.dat",
                                     "cal_short.dat"};

// The impatient user: a recall (a state file chosen), Save State, About, a
// key that reprograms the sweep, the Sweep Parameters dialog, Cal, Firmware
// Upgrade, then Exit.
void TryEverything(AnalyserRig& rig) {
  Analyser& a = *rig.analyser;
  rig.platform.file_dialog_answers.push_back(rig.dir / "other.sta");
  a.Files().recall_stateExecute();
  a.Files().save_stateExecute();
  a.Shell().About1Click();
  a.Keys().power_sweepExecute();
  a.Keys().sweep_param1Click();
  a.Cal().CalExecute();
  a.Upgrade().FirmwareUpgrade1Click();
  a.Shell().Exit1Click();
}

// Every command but Exit was refused, and changed nothing.
void ExpectRefused(AnalyserRig& rig, const std::string& why, const std::string& moment) {
  const auto texts = rig.platform.MessageTexts();
  for (const char* command : {"Recall State", "Save State", "About", "Power sweep",
                              "Sweep Parameters", "Cal", "Firmware Upgrade"}) {
    EXPECT_THAT(texts, Contains(command + (" is not possible while " + why))) << moment;
  }
  EXPECT_EQ(rig.analyser->Settings().SweepType(), "Frequency") << moment;
  EXPECT_FALSE(rig.platform.WindowVisible(WindowId::SweepParameters)) << moment;
  EXPECT_TRUE(rig.platform.QuitRequested()) << moment;
}

TEST(ImpatientUser, ACalibrationEndsWithEachFileWholeOldOrWholeNew) {
  // At each prompt, and on the sweep of each capture before it is written.
  const char* moments[] = {"Connect Standard LOAD and click OK",  "dc_offset_cal",
                           "Connect Standard OPEN and click OK",  "open_cal",
                           "Connect Standard SHORT and click OK", "short_cal"};
  for (const char* moment : moments) {
    CalRig rig;
    std::map<std::string, std::string> before;
    for (const char* name : kCalFiles) before[name] = testing::ReadFile(rig.CalFile(name));
    const int points = static_cast<int>(rig.analyser->Settings().Int(Setting::Points));
    bool acted = false;
    auto act = [&] {
      if (acted) return;
      acted = true;
      TryEverything(rig);
    };
    rig.platform.on_message = [&](const testing::RecordedMessage& m) {
      if (m.text == moment) act();
    };
    rig.analyser->Engine().on_sweep_done.Connect([&] {
      if (rig.analyser->Engine().Converter().Run().capture_mode == moment) act();
    });
    rig.CalibrateWithKeys();
    ASSERT_TRUE(acted) << moment;
    ExpectRefused(rig, "the calibration is running", moment);
    EXPECT_EQ(rig.platform.file_dialogs.size(), 0u) << moment;
    for (const char* name : kCalFiles) {
      const std::string now = testing::ReadFile(rig.CalFile(name));
      if (now == before[name]) continue;
      // A new file is a whole capture: one line per point, every line ended.
      EXPECT_EQ(static_cast<int>(rig.FileLines(name).size()), points) << moment << " " << name;
      EXPECT_EQ(now.substr(now.size() - 2), "\r\n") << moment << " " << name;
    }
  }
}

TEST(ImpatientUser, AnUpgradeRunsToItsEndAndLeavesTheFlashWholeNewOrWholeOld) {
  const testing::HexImageBuilder image = testing::HexImageBuilder::Standard("HGF", 40);
  // On the first erase, among the writes, on a read-back and on the copy;
  // then (-1) on the first erase of an upgrade whose writes all fail.
  const int moments[] = {1, 6, 12, 0, -1};
  for (const int moment : moments) {
    const std::string name = std::to_string(moment);
    testing::FrameRecorder recorder;
    AnalyserRig rig{true, &recorder};
    recorder.inner = &rig.sim;
    const bool fails = moment < 0;
    if (fails) rig.sim.SetWriteStatus(30);
    int flash_frames = 0;
    bool acted = false;
    recorder.on_block = [&](const testing::FrameRecorder::Block& block) {
      if (block[1] < opcode::kEraseSector || block[1] > opcode::kReadCodeStart) return;
      ++flash_frames;
      const bool now =
          moment == 0 ? block[1] == opcode::kCopyImage : flash_frames == std::max(moment, 1);
      if (now && !acted) {
        acted = true;
        // Handled the next time the upgrade lets the window work.
        rig.platform.At(0, [&] { TryEverything(rig); });
      }
    };
    rig.StartUp();
    std::array<std::array<uint16_t, kSectorWords>, 3> old_sectors;
    for (uint8_t code = 0; code < 3; ++code) old_sectors[code] = rig.sim.SectorWords(code);
    const auto file = rig.dir / "image.hex";
    testing::WriteFile(file, image.Text());
    rig.platform.file_dialog_answers.push_back(file);
    rig.platform.answers.push_back(MessageResult::Yes);
    rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 300,
                    [&] { rig.analyser->Upgrade().FirmwareUpgrade1Click(); });
    rig.platform.RunUntil([&] { return rig.platform.QuitRequested(); }, 30000);
    ASSERT_TRUE(acted) << name;
    // The close waited for the upgrade's end, however it ended.
    ExpectRefused(rig, "the firmware upgrade is running", name);
    EXPECT_THAT(rig.platform.MessageTexts(),
                Contains("Exit is not possible while the firmware upgrade is running. The "
                         "program closes when the upgrade has ended."));
    EXPECT_EQ(rig.platform.file_dialogs.size(), 1u) << name;
    for (const char letter : {'H', 'G', 'F'}) {
      const FlashSector& sector = *SectorByLetter(letter);
      std::array<uint16_t, kSectorWords> words;
      words.fill(0xFFFF);
      for (const auto& [address, word] : image.image) {
        if (SectorOfAddress(address) == &sector) words[address - sector.base] = word;
      }
      EXPECT_EQ(rig.sim.SectorWords(sector.code), fails ? old_sectors[sector.code] : words)
          << name << " " << letter;
    }
    EXPECT_EQ(rig.sim.Counters().copy_images, fails ? 0u : 1u) << name;
  }
}

}  // namespace
}  // namespace ostra
