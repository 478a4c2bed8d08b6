// The calibration procedure end to end: the Calibration and Cal keys pressed
// while the normal loop sweeps the simulated instrument, each prompt answered
// and followed on the simulator's bench as a person would, the files written,
// and normal sweeping back afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include <algorithm>
#include <string>
#include <vector>

#include "app/firmware_upgrade.h"
#include "support/calibration_rig.h"

namespace ostra {
namespace {

using testing::CalRig;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;

const char* const kLoadPrompt = "Connect Standard LOAD and click OK";
const char* const kOpenPrompt = "Connect Standard OPEN and click OK";
const char* const kShortPrompt = "Connect Standard SHORT and click OK";
const char* const kThruPrompt = "Connect THRU adaptor/cable and click OK";
const char* const kTerminatePrompt = "Terminate RF IN port on 50ohms load and click OK";

std::vector<std::string> CaptureModes(const CalRig& rig) {
  std::vector<std::string> modes;
  for (const auto& c : rig.captures) modes.push_back(c.mode);
  return modes;
}

std::vector<Dut> CaptureDuts(const CalRig& rig) {
  std::vector<Dut> duts;
  for (const auto& c : rig.captures) duts.push_back(c.dut);
  return duts;
}

// Every calibration file's bytes, "-" for a file that is not there.
std::vector<std::string> CalFiles(const CalRig& rig) {
  std::vector<std::string> files;
  for (const CalFile& f : kCalFiles) {
    const std::filesystem::path path = rig.CalFile(std::string(f.file_name));
    files.push_back(std::filesystem::exists(path) ? ReadFile(path) : "-");
  }
  return files;
}

// Where `first` stands before `second` in the log.
bool LoggedBefore(const CalRig& rig, const std::string& first, const std::string& second) {
  const std::vector<std::string> lines = rig.LogLines();
  const auto a = std::find(lines.begin(), lines.end(), first);
  const auto b = std::find(lines.begin(), lines.end(), second);
  return a != lines.end() && b != lines.end() && a < b;
}

TEST(CalExecute, ReflectionPromptsLoadOpenShortAndWritesFourFilesInOrder) {
  CalRig rig;
  const std::string factory_short = ReadFile(rig.CalFile("cal_short.dat"));
  // What the Cal key looks like while each prompt is up.
  std::vector<std::pair<bool, bool>> key_at_prompt;
  rig.platform.on_message = [&](const testing::RecordedMessage&) {
    const SoftKey& key = rig.analyser->Panel().Key(0);
    key_at_prompt.emplace_back(key.lit, key.raised);
  };
  ASSERT_TRUE(rig.CalibrateWithKeys());

  EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre(kLoadPrompt, kOpenPrompt, kShortPrompt));
  for (const auto& m : rig.platform.Messages()) EXPECT_EQ(m.buttons, MessageButtons::Acknowledge);
  EXPECT_THAT(key_at_prompt,
              ElementsAre(std::pair{true, true}, std::pair{true, true}, std::pair{true, true}));
  EXPECT_THAT(CaptureModes(rig), ElementsAre("dc_offset_cal", "load_cal", "open_cal", "short_cal"));
  // The LOAD stays on from the DC offset through the LOAD capture; the DC
  // offset is measured at receiver gain code 0, the standards at 39 dB.
  EXPECT_THAT(CaptureDuts(rig), ElementsAre(Dut::Load, Dut::Load, Dut::Open, Dut::Short));
  EXPECT_EQ(rig.captures[0].rx_gain_code, 0);
  for (size_t k = 1; k < rig.captures.size(); ++k) EXPECT_EQ(rig.captures[k].rx_gain_code, 13);
  EXPECT_TRUE(LoggedBefore(rig, "Performing SOL calibration", "Performing DC offset calibration"));
  EXPECT_THAT(rig.platform.StatusTexts(), ::testing::Contains("User calibration"));

  for (const char* name : {"cal_dc_offset.dat", "cal_load.dat", "cal_open.dat", "cal_short.dat"}) {
    const std::vector<std::string> lines = rig.FileLines(name);
    ASSERT_EQ(lines.size(), 201u) << name;
    EXPECT_THAT(lines.front(), ::testing::StartsWith("20000000 ")) << name;
    EXPECT_THAT(lines.back(), ::testing::StartsWith("50000000 ")) << name;
  }
  EXPECT_NE(ReadFile(rig.CalFile("cal_short.dat")), factory_short);
  // A standard's line: the frequency, then magnitude and phase with three decimals.
  // (std::regex: GoogleTest's own on Windows has no brackets.)
  const std::string short_line = rig.FileLines("cal_short.dat")[0];
  EXPECT_TRUE(
      std::regex_match(short_line, std::regex("20000000 [0-9]+\\.[0-9]{3} -?[0-9]\\.[0-9]{3}")))
      << short_line;

  // The device under test is back, sweeping has resumed and the stored
  // calibration belongs to the sweep.
  EXPECT_EQ(rig.sim.GetDut(), Dut::SeriesRlc);
  EXPECT_EQ(rig.CalLabel(), "C");
  EXPECT_GE(rig.normal_sweeps_after, 3);
  const SoftKey& key = rig.analyser->Panel().Key(0);
  EXPECT_TRUE(key.lit);
  EXPECT_FALSE(key.raised);
  EXPECT_EQ(key.caption, "Cal");
  EXPECT_FALSE(rig.analyser->Panel().HardKeyLit(HardKey::cal_ptn));
}

// The device left on the port is not taken for the receiver's DC offset.
TEST(CalExecute, TransmissionTerminatesRfInForTheDcOffsetThenCapturesTheThru) {
  CalRig rig([](InstrumentSettings& s) {
    s.SetText(Setting::Mode, "Transmission");
    s.SetText(Setting::RxGain, "24");
  });
  rig.sim.SetDut(Dut::BandPass);
  const std::string factory_open = ReadFile(rig.CalFile("cal_open.dat"));
  ASSERT_TRUE(rig.CalibrateWithKeys());

  EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre(kTerminatePrompt, kThruPrompt));
  EXPECT_THAT(CaptureModes(rig), ElementsAre("dc_offset_cal", "thru_cal"));
  EXPECT_THAT(CaptureDuts(rig), ElementsAre(Dut::Load, Dut::Thru));
  EXPECT_EQ(rig.captures[0].rx_gain_code, 0);
  EXPECT_EQ(rig.captures[1].rx_gain_code, 8);
  EXPECT_TRUE(LoggedBefore(rig, "Performing DC offset calibration", "Performing THRU calibration"));
  EXPECT_FALSE(rig.LogHas("Performing SOL calibration"));
  EXPECT_EQ(rig.FileLines("cal_thru.dat").size(), 201u);
  EXPECT_EQ(rig.FileLines("cal_dc_offset.dat").size(), 201u);
  EXPECT_EQ(ReadFile(rig.CalFile("cal_open.dat")), factory_open);
  EXPECT_EQ(rig.sim.GetDut(), Dut::BandPass);
  EXPECT_EQ(rig.CalLabel(), "C");
}

// Phase and power sweeps take their own script whatever the mode says.
TEST(CalExecute, PhaseAndPowerSweepsTerminateRfInThenCaptureTheirThru) {
  struct Case {
    const char* type;
    const char* log_line;
    const char* mode;
    const char* file;
  };
  for (const Case& c :
       {Case{"Phase", "Performing calibration for PHASE sweep", "thru_ph_cal", "cal_thru_ph.dat"},
        Case{"Power", "Performing calibration for POWER sweep", "thru_pwr_cal",
             "cal_thru_pwr.dat"}}) {
    SCOPED_TRACE(c.type);
    CalRig rig([&](InstrumentSettings& s) {
      s.SetText(Setting::SweepType, c.type);
      s.SetText(Setting::Mode, "Reflection");
    });
    const std::string factory_thru = ReadFile(rig.CalFile("cal_thru.dat"));
    ASSERT_TRUE(rig.CalibrateWithKeys());
    EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre(kTerminatePrompt, kThruPrompt));
    EXPECT_THAT(CaptureModes(rig), ElementsAre("dc_offset_cal", c.mode));
    EXPECT_THAT(CaptureDuts(rig), ElementsAre(Dut::Load, Dut::Thru));
    EXPECT_TRUE(LoggedBefore(rig, "Performing DC offset calibration", c.log_line));
    EXPECT_EQ(rig.FileLines(c.file).size(), 201u);
    EXPECT_EQ(ReadFile(rig.CalFile("cal_thru.dat")), factory_thru);
    EXPECT_EQ(rig.CalLabel(), "C");
  }
}

TEST(CalExecute, AnotherSweepTypeCapturesNothingAndSweepingResumes) {
  CalRig rig([](InstrumentSettings& s) { s.SetText(Setting::SweepType, "Sweepy"); });
  const std::string factory_dc = ReadFile(rig.CalFile("cal_dc_offset.dat"));
  ASSERT_TRUE(rig.CalibrateWithKeys());
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
  EXPECT_THAT(rig.captures, IsEmpty());
  EXPECT_EQ(ReadFile(rig.CalFile("cal_dc_offset.dat")), factory_dc);
  EXPECT_TRUE(rig.LogHas("cal_load.dat loaded to cal table."));
}

// A capture that does not complete ends the calibration with a message that
// names the standard, and every file stays as it was before the Cal key.
TEST(CalExecute, ACaptureThatDoesNotCompleteKeepsThePreviousCalibrationAndSaysSo) {
  for (const auto& [prompt, standard] :
       {std::pair{kLoadPrompt, "DC offset"}, std::pair{kOpenPrompt, "OPEN"}}) {
    SCOPED_TRACE(standard);
    CalRig rig;
    ASSERT_TRUE(rig.RunNormalSweeps(1));
    const std::string label = rig.CalLabel();
    const std::vector<std::string> before = CalFiles(rig);
    rig.analyser->Cal().on_prompt_answered.Connect([&, p = prompt](const std::string& text) {
      if (text == p) rig.sim.InjectShortRead(1, 1);  // the capture's first read
    });
    ASSERT_TRUE(rig.CalibrateWithKeys());
    EXPECT_EQ(CalFiles(rig), before);
    EXPECT_TRUE(rig.LogHas("Unexpected bytes(at start) = Got 19295; Expected 19296"));
    const std::vector<std::string> messages = rig.platform.MessageTexts();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), std::string("The ") + standard +
                                   " capture did not complete. The calibration was not "
                                   "completed; the previous calibration is kept.");
    EXPECT_EQ(messages.size(), prompt == kLoadPrompt ? 2u : 3u);  // no prompt after it
    EXPECT_EQ(rig.CalLabel(), label);
    EXPECT_GE(rig.normal_sweeps_after, 3);
  }
}

// Escape or the close button on a prompt measures nothing: the prompt stays
// until OK, and each standard is captured with what the prompt asked for.
TEST(CalExecute, EscapeOrTheCloseButtonOnAPromptAcknowledgesNothing) {
  CalRig rig;
  using G = testing::BoxGesture;
  rig.platform.box_gestures = {G::Escape, G::CloseButton, G::Ok, G::Escape,
                               G::Ok,     G::CloseButton, G::Ok};
  ASSERT_TRUE(rig.CalibrateWithKeys());
  EXPECT_EQ(rig.platform.ignored_gestures, 4);
  for (const auto& m : rig.platform.Messages()) EXPECT_FALSE(m.dismissed) << m.text;
  EXPECT_THAT(CaptureDuts(rig), ElementsAre(Dut::Load, Dut::Load, Dut::Open, Dut::Short));
}

// The factory files cover every point count: each sweeps and calibrates.
TEST(CalExecute, EveryPointCountSweepsAndCalibratesWithTheFactoryFiles) {
  for (int points : {1, 2, 202, 300, 500, 501}) {
    SCOPED_TRACE(points);
    CalRig rig([&](InstrumentSettings& s) { s.SetText(Setting::Points, std::to_string(points)); });
    ASSERT_TRUE(rig.RunNormalSweeps(3));
    EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
    EXPECT_EQ(rig.Trace().points.size(), static_cast<size_t>(points));
    ASSERT_TRUE(rig.CalibrateWithKeys());
    EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre(kLoadPrompt, kOpenPrompt, kShortPrompt));
    EXPECT_EQ(rig.FileLines("cal_dc_offset.dat").size(), static_cast<size_t>(points));
    EXPECT_EQ(rig.FileLines("cal_short.dat").size(), static_cast<size_t>(points));
    EXPECT_EQ(rig.CalLabel(), "C");
    EXPECT_EQ(rig.Trace().points.size(), static_cast<size_t>(points));
  }
}

// A calibration with very few points writes files of a line or two, which
// the next start-up pass (or a recalled state) keeps.
TEST(CalExecute, AOnePointCalibrationSurvivesTheNextStartUpPass) {
  CalRig rig([](InstrumentSettings& s) { s.SetText(Setting::Points, "1"); });
  ASSERT_TRUE(rig.CalibrateWithKeys());
  const std::string short_file = ReadFile(rig.CalFile("cal_short.dat"));
  const std::string dc_file = ReadFile(rig.CalFile("cal_dc_offset.dat"));
  ASSERT_LT(short_file.size(), 100u);
  rig.analyser->Shell().RecallSettingsFile(rig.CalFile("config.dat"));
  ASSERT_TRUE(
      rig.platform.RunUntil([&] { return rig.platform.TimerEnabled(TimerId::BeginSweep); }, 10000));
  EXPECT_EQ(ReadFile(rig.CalFile("cal_short.dat")), short_file);
  EXPECT_EQ(ReadFile(rig.CalFile("cal_dc_offset.dat")), dc_file);
}

// A DC-offset file captured with fewer points than the sweep now has: the
// missing points take the mean of its offsets and the sweep goes on.
TEST(CalExecute, MorePointsThanTheDcOffsetFileHasLinesSweepWithOneLogLine) {
  CalRig rig;
  ASSERT_TRUE(rig.CalibrateWithKeys());  // a 201-line DC-offset file
  rig.analyser->Settings().SetText(Setting::Points, "300");
  ASSERT_TRUE(rig.RunNormalSweeps(3));
  EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre(kLoadPrompt, kOpenPrompt, kShortPrompt));
  EXPECT_TRUE(rig.LogHas(
      "cal_dc_offset.dat has 201 lines for 300 points: the points beyond them take the mean of "
      "its offsets"));
  EXPECT_EQ(rig.Trace().points.size(), 300u);
  EXPECT_EQ(rig.CalLabel(), "C?");  // the tables were captured with 201 points
}

// Over 0.5 to 120 MHz the measured SHORT's phase crosses +-pi; with the stop
// frequency moved, every point lies between two entries. A short still reads
// |G| = 1.
TEST(CalExecute, AShortBetweenTheEntriesOfACalibrationAcrossPiReadsOne) {
  CalRig rig([](InstrumentSettings& s) {
    s.SetText(Setting::StartFreq, "500000");
    s.SetText(Setting::StopFreq, "120000000");
  });
  ASSERT_TRUE(rig.CalibrateWithKeys());
  rig.analyser->Settings().SetText(Setting::StopFreq, "119000000");
  rig.sim.SetDut(Dut::Short);
  rig.sim.SetNoise(0.0);
  ASSERT_TRUE(rig.RunNormalSweeps(1));
  EXPECT_EQ(rig.CalLabel(), "C?");
  double worst = 0;
  for (int i = 0; i < 201; ++i) {
    const std::complex<double> g =
        std::polar(rig.analyser->Display().ReflMag()[i], rig.analyser->Display().ReflPhase()[i]);
    worst = std::max(worst, std::abs(g + 1.0));
  }
  // The straight lines between entries bend a little from the bridge's curves.
  EXPECT_LT(worst, 0.01);
}

// A second press of Cal while the first calibration runs (its captures
// process window messages) starts nothing.
TEST(CalExecute, APressWhileCalibratingIsRefusedWithAMessage) {
  CalRig rig;
  int second_presses = 0;
  rig.analyser->Cal().on_prompt_answered.Connect([&](const std::string& text) {
    if (text != kOpenPrompt) return;
    rig.platform.At(rig.platform.NowMicroseconds() / 1000, [&] {
      ++second_presses;
      rig.analyser->Keys().SoftKeyClick(0);
    });
  });
  ASSERT_TRUE(rig.CalibrateWithKeys());
  EXPECT_EQ(second_presses, 1);
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre(kLoadPrompt, kOpenPrompt,
                          "Cal is not possible while the calibration is running", kShortPrompt));
  EXPECT_EQ(rig.captures.size(), 4u);
}

// A calibration started while the sweep stands still: a restart asked for
// between its captures (a key that restarts, pressed during a capture) waits
// for the end of the procedure instead of sweeping inside its next prompt.
TEST(CalExecute, ARestartAskedForBetweenCapturesWaitsForTheProcedure) {
  CalRig rig;
  ASSERT_TRUE(rig.RunNormalSweeps(2));
  ASSERT_FALSE(rig.analyser->Engine().RunActive());
  int normal_sweeps_inside = 0;
  ScopedConnection inside(rig.analyser->Engine().on_sweep_done, [&] {
    if (rig.analyser->Cal().Running() &&
        rig.analyser->Engine().Converter().Run().capture_mode == "normal") {
      ++normal_sweeps_inside;
      rig.analyser->Sweep().RequestStop();
    }
  });
  rig.analyser->Cal().on_prompt_answered.Connect([&](const std::string& text) {
    if (text != kOpenPrompt) return;
    rig.analyser->Sweep().Restart();
    rig.analyser->Shell().BeginSweepTimerTimer();
  });
  rig.analyser->Keys().cal_ptnClick();
  rig.analyser->Keys().SoftKeyClick(0);
  EXPECT_EQ(normal_sweeps_inside, 0);
  EXPECT_THAT(CaptureModes(rig), ElementsAre("dc_offset_cal", "load_cal", "open_cal", "short_cal"));
  EXPECT_TRUE(rig.RunNormalSweeps(2));  // the procedure's own restart
}

// Ending the program during a prompt or a capture (Exit, the window closed,
// a signal) skips the rest and leaves every calibration file as it was
// before the Cal key. The firmware upgrade cannot start meanwhile.
TEST(CalExecute, AnEndingAtAnyMomentLeavesEveryCalibrationFileAsItWas) {
  const std::vector<std::string> moments = {kLoadPrompt, kOpenPrompt, kShortPrompt, "open_cal"};
  for (const std::string& moment : moments) {
    SCOPED_TRACE(moment);
    CalRig rig;
    const std::vector<std::string> before = CalFiles(rig);
    rig.platform.on_message = [&](const testing::RecordedMessage& m) {
      if (m.text == kLoadPrompt) rig.analyser->Upgrade().FirmwareUpgrade1Click();
      if (m.text == moment) rig.analyser->Shell().Exit1Click();
    };
    ScopedConnection during(rig.analyser->Engine().on_sweep_done, [&] {
      if (rig.analyser->Engine().Converter().Run().capture_mode == moment) {
        rig.analyser->Shell().Exit1Click();
      }
    });
    EXPECT_FALSE(rig.CalibrateWithKeys());
    EXPECT_TRUE(rig.platform.QuitRequested());
    EXPECT_THAT(rig.platform.file_dialogs, IsEmpty());  // no upgrade asked for its image
    EXPECT_EQ(CalFiles(rig), before);
    EXPECT_TRUE(rig.LogHas("Calibration not completed: the previous calibration is kept"));
  }
}

}  // namespace
}  // namespace ostra
