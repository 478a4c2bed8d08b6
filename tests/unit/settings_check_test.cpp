// The check that follows the reading of a settings file: a numeric field
// whose text is not a number the program can read takes its default, with a
// log line naming the field, so a short or damaged config.dat or state file
// never stops the start-up pass.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/settings_check.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(StartUp, AConfigFileWithABadNumberComesUpWithTheDefaultAndSaysWhich) {
  testing::AnalyserRig rig;
  InstrumentSettings bad;
  bad.SetText(Setting::Points, "two hundred");
  bad.SetText(Setting::Average, "");
  bad.SetText(Setting::StopFreq, "45000000");
  save_parameters(bad, rig.CalFile("config.dat"));
  rig.StartUp();
  ASSERT_FALSE(rig.platform.QuitRequested());
  const InstrumentSettings& s = rig.analyser->Settings();
  EXPECT_EQ(s.Text(Setting::Points), "201");
  EXPECT_EQ(s.Text(Setting::Average), "8");
  EXPECT_EQ(s.Text(Setting::StopFreq), "45000000");
  EXPECT_THAT(rig.LogLines(),
              Contains("Settings file line 4 (Points): \"two hundred\" is not a number, default "
                       "201 used"));
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
}

TEST(SettingsCheck, WholeNumbersWhereTheProgramReadsThemDecimalsElsewhere) {
  testing::TempDir dir;
  testing::FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  InstrumentSettings s;
  s.SetText(Setting::Points, "150.5");  // read as a whole number
  s.SetText(Setting::Scale, "0,5");     // a decimal comma reads
  s.SetText(Setting::PowerFreq, "-20.5");
  s.SetText(Setting::StartPower, "-20.5");  // the power sweep's start is decimal
  s.SetText(Setting::StopPower, "-12.5");   // its stop is not
  s.SetText(Setting::StartPhase, " 10");
  s.SetText(Setting::StopPhase, "1e2");  // not a whole number
  s.SetText(Setting::RefLevel, std::string(60, 'x'));
  s.SetText(Setting::Format, "");  // a free-text box, not a number
  EXPECT_THAT(CheckNumericSettings(s, log), ElementsAre(Setting::Points, Setting::RefLevel,
                                                        Setting::StopPhase, Setting::StopPower));
  EXPECT_EQ(s.Text(Setting::Points), "201");
  EXPECT_EQ(s.Text(Setting::Scale), "0,5");
  EXPECT_EQ(s.Text(Setting::PowerFreq), "-20.5");
  EXPECT_EQ(s.Text(Setting::StartPower), "-20.5");
  EXPECT_EQ(s.Text(Setting::StartPhase), " 10");
  EXPECT_EQ(s.Text(Setting::StopPhase), "360");
  EXPECT_EQ(s.Text(Setting::Format), "");
  EXPECT_EQ(MendedSettingLogLine(Setting::RefLevel, std::string(60, 'x')),
            "Settings file line 7 (Ref_Level): \"" + std::string(40, 'x') +
                "...\" is not a number, default 0 used");
}

}  // namespace
}  // namespace ostra
