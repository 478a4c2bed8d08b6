// Files from elsewhere: line ends of every kind, a folder where a file should
// be, a bad value of megabytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/text_util.h"
#include "cal/cal_tables.h"
#include "panel/entry_dispatch.h"
#include "support/analyser_rig.h"
#include "sweep/sweep_engine.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string WithLineEnds(std::string text, const std::string& end) {
  std::string out;
  for (std::string_view line : SplitLines(text)) out += std::string(line) + end;
  return out;
}

TEST(OutsideInput, SettingsFilesWithAnyLineEndsReadWhole) {
  InstrumentSettings users;
  users.SetText(Setting::Points, "401");
  users.SetText(Setting::FreqPower, "1000000");  // the last line
  users.SetChecked(Setting::AveEnable, true);
  const std::string crlf = SettingsFileText(users);
  for (const char* end : {"\r", "\n", "\r\n"}) {
    TempDir dir;
    WriteFile(dir / "config.dat", WithLineEnds(crlf, end));
    InstrumentSettings loaded;
    Load_parameters(loaded, dir / "config.dat");
    EXPECT_EQ(SettingsFileText(loaded), crlf) << int(end[0]);
  }
}

TEST(OutsideInput, ACrOnlySettingsFileComesUpAndExitWritesItBackWithCrLf) {
  AnalyserRig rig;
  InstrumentSettings users;
  users.SetText(Setting::Points, "401");
  users.SetText(Setting::StartFreq, "1000000");
  WriteFile(rig.CalFile("config.dat"), WithLineEnds(SettingsFileText(users), "\r"));
  rig.StartUp();
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::Points), "401");
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::StartFreq), "1000000");
  rig.analyser->Shell().Exit1Click();
  const std::string saved = ReadFile(rig.CalFile("config.dat"));
  EXPECT_NE(saved.find("Points: 401\r\nDwell: 8\r\n"), std::string::npos);
}

TEST(OutsideInput, AFolderIsNoSettingsFile) {
  TempDir dir;
  std::filesystem::create_directory(dir / "config.dat");
  InstrumentSettings settings;
  settings.SetText(Setting::Points, "401");
  EXPECT_THROW(Load_parameters(settings, dir / "config.dat"), IoError);
  EXPECT_EQ(settings.Text(Setting::Points), "401");
  EXPECT_EQ(settings.Text(Setting::SweepType), "Frequency");
}

TEST(OutsideInput, CalibrationAndDcOffsetFilesWithCrOnlyEndsReadWhole) {
  const std::filesystem::path factory = testing::SourceDir() / "cal_data";
  const std::string open = ReadFile(factory / "cal_open.def");
  TempDir dir;
  for (const StandardFile& file : StandardFiles()) {
    WriteFile(dir / std::string(file.file_name), WithLineEnds(open, "\r"));
  }
  testing::FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  CalibrationStore store;
  store.LoadCalTables(dir.path(), platform, log);
  const std::vector<std::string_view> lines = SplitLines(open);
  ASSERT_EQ(lines.size(), 201u);
  const std::vector<std::string_view> last = SplitFields(lines.back());
  EXPECT_DOUBLE_EQ(store.Open.Stimulus(200), StrToFloat(last[0]));
  EXPECT_DOUBLE_EQ(store.Open.magnitude[200], StrToFloat(last[1]));
  EXPECT_DOUBLE_EQ(store.ThruPower.phase[200], StrToFloat(last[2]));

  WriteFile(dir / "dc.dat", WithLineEnds(ReadFile(factory / "cal_dc_offset.def"), "\r"));
  std::vector<double> dc_i, dc_q;
  LoadDcOffsets(dir / "dc.dat", 201, dc_i, dc_q);
  EXPECT_NE(dc_q[200], 0.0);
}

TEST(OutsideInput, AnAbsurdPointCountSizesNoGiantAveragingHistory) {
  // Found by fuzzing: the history was sized to the file's point count.
  AnalyserRig rig;
  InstrumentSettings state;
  state.SetText(Setting::Points, "200000000");
  state.SetText(Setting::Average, "1000");
  save_parameters(state, rig.CalFile("config.dat"));
  rig.StartUp();
  rig.analyser->Engine().SizeAverageHistory();  // as the next start-up pass does
  EXPECT_EQ(rig.analyser->Engine().Converter().HistoryRowLength(), kMaxTracePoints);
  EXPECT_EQ(rig.analyser->Engine().Converter().HistoryRows(), 1000);
}

TEST(OutsideInput, AHugeBadValueIsQuotedCutShort) {
  AnalyserRig rig;
  const std::string token(10'000'000, '7');
  WriteFile(rig.CalFile("cal_open.dat"), token + "x 1 2\r\n");
  rig.StartUp();
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 100,
                  [&] { rig.analyser->Sweep().RequestStop(); });
  rig.platform.RunFor(500);
  const std::string expected =
      "'" + std::string(kMaxQuotedLength, '7') + "...' is not a valid floating point value";
  EXPECT_THAT(rig.platform.MessageTexts(), ::testing::ElementsAre(expected));

  // Short values are quoted whole, and the cut never splits a character.
  EXPECT_EQ(CutForMessage("12a"), "12a");
  const std::string accents = std::string(kMaxQuotedLength - 1, 'a') + "\xC3\xA9\xC3\xA9";
  EXPECT_EQ(CutForMessage(accents), std::string(kMaxQuotedLength - 1, 'a') + "...");
  // A long paste into the keypad's entry box likewise.
  EXPECT_EQ(NotAFloatMessage(std::string(5000, '-')),
            "'" + std::string(kMaxQuotedLength, '-') + "...' is not a valid floating point value");
}

}  // namespace
}  // namespace ostra
