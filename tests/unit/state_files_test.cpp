// Save State and Recall State through the Save/Recall keys, with the dialogs
// answered by the platform double, against the simulated instrument; a short
// state file recalled never leaves the program stuck.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/chart_model.h"
#include "support/files_rig.h"

namespace ostra {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FilesRig;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::WriteFile;

struct SettingsCopy {
  std::vector<std::string> texts;
  std::vector<bool> checks;
  bool operator==(const SettingsCopy&) const = default;
};

SettingsCopy CopyOf(const InstrumentSettings& s) {
  SettingsCopy copy;
  for (const SettingInfo& info : SettingTable()) {
    copy.texts.push_back(s.Text(info.setting));
    copy.checks.push_back(s.Checked(info.setting));
  }
  return copy;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename() != "ostra_log.txt") files.push_back(entry.path().filename());
  }
  return files;
}

// --- Save State and Recall State --------------------------------------------------

TEST(SaveState, ASavedStateRecalledGivesBackTheSame28Settings) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  InstrumentSettings& s = rig.analyser->Settings();
  s.SetText(Setting::Points, "101");
  s.SetText(Setting::Dwell, "12");
  s.SetText(Setting::Average, "4");
  s.SetChecked(Setting::AveEnable, true);
  s.SetChecked(Setting::Preamp, true);
  s.SetText(Setting::StartFreq, "25000000");
  s.SetText(Setting::CentreFreq, "37500000");
  s.SetText(Setting::SpanFreq, "25000000");
  s.SetText(Setting::PowerFreq, "-30");
  s.SetText(Setting::FreqPower, "41000000");
  const SettingsCopy saved = CopyOf(s);

  rig.platform.file_dialog_answers.push_back(std::filesystem::path("bench"));
  EXPECT_TRUE(rig.PressSaveRecall(0));  // and the sweep restarted
  const auto file = rig.DataDir() / "bench.sta";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(ReadFile(file), SettingsFileText(s));

  s.RestoreDefaults();
  rig.platform.file_dialog_answers.push_back(file);
  // The start-up pass runs with the file and restarts the sweep.
  ASSERT_TRUE(rig.PressSaveRecall(2));
  EXPECT_EQ(rig.analyser->Shell().SettingsFileToLoad(), file);
  EXPECT_TRUE(CopyOf(s) == saved);
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
  EXPECT_EQ(rig.analyser->Engine().Converter().Run().points, 101);
}

TEST(SaveState, TheDialogsAreSetUpAsTheSystemHasThem) {
  FilesRig rig;
  rig.PressSaveRecall(0);
  rig.PressSaveRecall(2);
  rig.PressSaveRecall(1, [&] { EXPECT_TRUE(rig.analyser->Panel().Key(1).lit); });
  ASSERT_EQ(rig.platform.file_dialogs.size(), 3u);
  const FileDialogRequest& save = rig.platform.file_dialogs[0];
  EXPECT_TRUE(save.save);
  EXPECT_EQ(save.title, "Save instrument state");
  EXPECT_EQ(save.filter, "Instrument states(*.sta)|*.sta");
  EXPECT_EQ(save.default_extension, "sta");
  EXPECT_EQ(save.file_name, "Sate1.sta");
  EXPECT_EQ(save.initial_dir, rig.DataDir());
  const FileDialogRequest& recall = rig.platform.file_dialogs[1];
  EXPECT_FALSE(recall.save);
  EXPECT_EQ(recall.title, "Open instrument state");
  EXPECT_EQ(recall.filter, "Instrument states(*.sta)|*.sta");
  EXPECT_EQ(recall.default_extension, "sta");
  EXPECT_EQ(recall.file_name, "Sate1.sta");
  EXPECT_EQ(recall.initial_dir, rig.DataDir());
  const FileDialogRequest& data = rig.platform.file_dialogs[2];
  EXPECT_TRUE(data.save);
  EXPECT_EQ(data.title, "Save data");
  EXPECT_EQ(data.filter, "Comma delimited data (*.csv)|*.csv|Touchstone (*.s1p *.s2p)|*.s1p;*.s2p");
  EXPECT_EQ(data.default_extension, "csv");
  EXPECT_EQ(data.file_name, "data1.csv");
  EXPECT_EQ(data.initial_dir, rig.DataDir());
  EXPECT_THAT(data.filter_extensions, ElementsAre("csv", "s1p"));
}

TEST(SaveState, CancelInEachDialogWritesNothingAndTheSweepRestarts) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  for (int key : {0, 1, 2}) {
    const auto sleeps = rig.platform.Sleeps().size();
    EXPECT_TRUE(rig.PressSaveRecall(key, [&] {
      // Stopped (the request and its 20 ms wait) before the dialog, and
      // restarted at the end.
      EXPECT_EQ(rig.platform.Sleeps().size(), sleeps + 1) << key;
      EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep)) << key;
    }));
  }
  EXPECT_THAT(FilesIn(rig.DataDir()), IsEmpty());
  EXPECT_THAT(rig.platform.window_pictures, IsEmpty());
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
}

TEST(SaveState, AStateThatCannotBeWrittenIsReportedAndTheSweepStaysStopped) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  rig.platform.file_dialog_answers.push_back(rig.DataDir() / "no such folder" / "x.sta");
  EXPECT_FALSE(rig.PressSaveRecall(0));  // until the next action that restarts it
  EXPECT_TRUE(rig.analyser->Sweep().StopRequested());
  ASSERT_EQ(rig.platform.MessageTexts().size(), 1u);
  EXPECT_THAT(rig.platform.MessageTexts()[0], ::testing::HasSubstr("Cannot create file"));
}

TEST(RecallState, ARecallInsideTheRunningSweepRunsTheWholeStartUpPassAgain) {
  // Pressed at moments spread over a pass of three sweeps.
  for (int at_ms = 20; at_ms <= 120; at_ms += 25) {
    SCOPED_TRACE(at_ms);
    FilesRig rig;
    ASSERT_TRUE(rig.RunSweeps(3));
    const auto file = rig.DataDir() / "state.sta";
    InstrumentSettings recalled = rig.analyser->Settings();
    recalled.SetText(Setting::Points, "101");
    save_parameters(recalled, file);
    rig.platform.file_dialog_answers.push_back(file);
    // Once the recall's pass has run, no sweep of the run it interrupted is
    // shown: every sweep has the recalled state's points.
    bool pressed = false;
    std::vector<size_t> shown_after_pass;
    ScopedConnection sweeps(rig.analyser->Engine().on_sweep_done, [&] {
      if (pressed && !rig.analyser->Shell().StartupPending()) {
        shown_after_pass.push_back(
            rig.analyser->Chart().Series(SeriesId::MagDataSeries).points.size());
      }
    });
    ASSERT_TRUE(rig.PressSaveRecall(
        2,
        [&] {
          pressed = true;
          // Not restarted here: the start-up pass restarts it.
          EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::Startup));
          EXPECT_FALSE(rig.platform.TimerEnabled(TimerId::BeginSweep));
          EXPECT_TRUE(rig.analyser->Shell().StartupPending());
        },
        at_ms));
    ASSERT_FALSE(shown_after_pass.empty());
    EXPECT_THAT(shown_after_pass, ::testing::Each(101u));
    EXPECT_THAT(rig.LogLines(), Contains("OSTRA VECTOR NETWORK ANALYSER [OS000417] is open"));
    // The log file starts again with the recall's pass.
    EXPECT_EQ(ReadFile(rig.DataDir() / "ostra_log.txt").find("Data directory"), std::string::npos);
    EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
  }
}

// --- Files that are short or hold bad numbers ---------------------------------------

TEST(RecallState, AShortStateFileLeavesTheProgramSweepingRecallAfterRecall) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  const auto file = rig.DataDir() / "short.sta";
  WriteFile(file, "Sweep_Type: Frequency\r\nMode: Reflection\r\nFormat: Log\r\n");
  for (int recall = 0; recall < 2; ++recall) {
    rig.platform.file_dialog_answers.push_back(file);
    ASSERT_TRUE(rig.PressSaveRecall(2)) << recall;
    EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty()) << recall;
  }
  const InstrumentSettings& s = rig.analyser->Settings();
  EXPECT_EQ(s.Text(Setting::Points), "201");
  EXPECT_EQ(s.Text(Setting::Average), "8");
  EXPECT_EQ(s.Text(Setting::StartFreq), "20000000");
  EXPECT_EQ(s.Text(Setting::FreqPower), "35000000");
  EXPECT_FALSE(s.Checked(Setting::AveEnable));
  const auto lines = rig.LogLines();
  EXPECT_THAT(lines,
              Contains("Settings file line 4 (Points): \"\" is not a number, default 201 used"));
  EXPECT_THAT(lines,
              Contains("Settings file line 21 (Power): \"\" is not a number, default -20 used"));
  EXPECT_THAT(lines, Contains("Settings file line 28 (Frequency): \"\" is not a number, default "
                              "35000000 used"));
  EXPECT_EQ(rig.analyser->Engine().Converter().HistoryRowLength(), 201);
}

}  // namespace
}  // namespace ostra
