#include "sweep/sweep_programming.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

#include "base/errors.h"
#include "cal/cal_tables.h"
#include "sim/detector_model.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "sweep/sample_conversion.h"
#include "sweep/sweep_control.h"

namespace ostra {
namespace {

using testing::FakePlatform;
using testing::TempDir;
using testing::WriteFile;

// The log messages without their "dd/mm/yy HH:MM:SS " stamps.
std::vector<std::string> Messages(const AppLog& log) {
  std::vector<std::string> messages;
  for (const std::string& line : log.WindowLines()) messages.push_back(line.substr(18));
  return messages;
}

std::string Lines(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + "\r\n";
  return text;
}

class SweepProgrammerTest : public ::testing::Test {
 protected:
  SweepProgrammerTest()
      : log(platform),
        converter(settings),
        programmer(settings, platform, log, cal, converter, dir / "cal_data",
                   [this](const SweepProgram& program) {
                     sent.push_back(program);
                     return reply_bytes;
                   }) {
    control.RequestStop();  // each programming clears it
    std::filesystem::create_directories(dir / "cal_data");
    log.SetDataDirectory(dir.path());
    WriteFile(dir / "cal_data/cal_dc_offset.dat", Lines(501, "20000000 1.000 -2.000"));
    for (const StandardFile& file : StandardFiles()) {
      WriteFile(dir / "cal_data" / file.file_name, Lines(201, "20000000 0.500 0.250"));
    }
  }

  std::vector<std::string> Run() {
    programmer.ProgramCurrentSweep(control);
    return Messages(log);
  }

  TempDir dir;
  FakePlatform platform;
  InstrumentSettings settings;
  AppLog log;
  CalibrationStore cal;
  SampleConverter converter;
  std::vector<SweepProgram> sent;
  uint32_t reply_bytes = 1;
  SweepControl control{platform};
  SweepProgrammer programmer;
};

TEST_F(SweepProgrammerTest, DefaultFrequencySweepIsEstimatedSentAndLogged) {
  const std::vector<std::string> lines = Run();

  EXPECT_EQ(programmer.Estimates().SweepCount, 3);
  EXPECT_EQ(programmer.Estimates().AcquisitionDuration, 67);
  EXPECT_EQ(programmer.Estimates().RefreshRate, 22);
  EXPECT_EQ(programmer.Estimates().ExpectedLength, 19296);
  EXPECT_FALSE(control.StopRequested());  // cleared, and no limit exceeded
  EXPECT_TRUE(platform.MessageTexts().empty());

  const std::vector<std::string> expected = {
      "Refresh rate: 22",
      "Acquisition duration: 67",
      "Expected length: 19296",
      "cal_open.dat loaded to cal table.",
      "cal_short.dat loaded to cal table.",
      "cal_load.dat loaded to cal table.",
      "cal_thru.dat loaded to cal table.",
      "Bytes Received [Frequency sweep] = 1",
      "Sweep parameters",
      "Sweep type: Frequency",
      "Start word: 0x0A3D70A4",
      "Step_word: 0x0013A92A",
      "Points: 201",
      "Mode: Reflection",
      "Sweep count: 3",
      "Freq Word: 0x0A3D70A4",
      "Power Word: 0x0195",
      "Phase Word: 0x0000",
      "Dwell: 8",
  };
  EXPECT_EQ(lines, expected);

  ASSERT_EQ(sent.size(), 1u);
  const SweepProgram& p = sent[0];
  EXPECT_EQ(p.start_word, 171798692u);
  EXPECT_EQ(p.step_word, 1288490u);  // 150 kHz: 200 steps reach 50 MHz
  EXPECT_EQ(p.points, 201);
  EXPECT_EQ(p.mode, 0);
  EXPECT_EQ(p.sweep_count, 3);
  EXPECT_EQ(p.sweep_type, 0);
  EXPECT_EQ(p.power_word, 405);
  EXPECT_EQ(p.freq_word, 171798692u);
  EXPECT_EQ(p.phase_word, 0);
  EXPECT_EQ(p.dwell, 8);
  EXPECT_EQ(p.rx_gain_code, 12);  // 36 dB / 3
  EXPECT_EQ(p.preamp, 0);

  // The DC offsets and the tables were loaded for the sweep.
  ASSERT_EQ(converter.DcOffsetI.size(), 201u);
  EXPECT_DOUBLE_EQ(converter.DcOffsetI[200], 0.001);
  EXPECT_DOUBLE_EQ(converter.DcOffsetQ[0], -0.002);
  EXPECT_DOUBLE_EQ(cal.Thru.magnitude[200], 0.5);
}

TEST_F(SweepProgrammerTest, PhaseSweepWords) {
  settings.SetText(Setting::SweepType, "Phase");
  settings.SetText(Setting::Mode, "Transmission");
  settings.SetChecked(Setting::Preamp, true);
  const std::vector<std::string> lines = Run();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].start_word, 0u);
  EXPECT_EQ(sent[0].step_word, 91u);  // step_deg = round(360 / 200) = 2
  EXPECT_EQ(sent[0].sweep_type, 1);
  EXPECT_EQ(sent[0].mode, 1);
  EXPECT_EQ(sent[0].preamp, 1);
  EXPECT_EQ(sent[0].power_word, 405);
  EXPECT_EQ(sent[0].freq_word, 257698038u);  // 30 MHz
  EXPECT_EQ(sent[0].phase_word, 0);
  EXPECT_EQ(lines[7], "Bytes Received [Phase sweep] = 1");
  EXPECT_EQ(lines[10], "Start word: 0x00000000");
  EXPECT_EQ(lines[11], "Step_word: 0x0000005B");
  EXPECT_EQ(lines[13], "Mode: Transmission");
}

TEST_F(SweepProgrammerTest, PowerSweepWordsAndTheOtherTypeTexts) {
  settings.SetText(Setting::SweepType, "Power");
  settings.SetText(Setting::PhasePower, "90");
  const std::vector<std::string> lines = Run();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].start_word, 32u);
  EXPECT_EQ(sent[0].step_word, 5u);  // (1017 - 32) / 200 = 4.925
  EXPECT_EQ(sent[0].power_word, 0);
  EXPECT_EQ(sent[0].freq_word, 300647711u);  // 35 MHz
  EXPECT_EQ(sent[0].phase_word, 4096);       // 90 degrees
  EXPECT_EQ(sent[0].sweep_type, 2);
  EXPECT_EQ(lines[7], "Bytes Received [Power sweep] = 1");
  EXPECT_EQ(lines[10], "Start word: 0x00000020");
  EXPECT_EQ(lines[11], "Step_word: 0x00000005");
  EXPECT_EQ(lines[16], "Power Word: 0x0000");
  EXPECT_EQ(lines[17], "Phase Word: 0x1000");

  // A type text that is none of the three takes the power branch, code 9.
  settings.SetText(Setting::SweepType, "power");
  reply_bytes = 0;
  EXPECT_EQ(Run()[26], "Bytes Received [Power sweep] = 0");
  EXPECT_EQ(sent[1].sweep_type, 9);
  EXPECT_EQ(sent[1].start_word, 32u);

  // A stop power below the start steps down: the two's complement of -5.
  settings.SetText(Setting::SweepType, "Power");
  settings.SetText(Setting::StartPower, "-12");
  settings.SetText(Setting::StopPower, "-42");
  Run();
  EXPECT_EQ(sent[2].start_word, 1017u);
  EXPECT_EQ(sent[2].step_word, 0xFFFFFFFBu);
}

// Every point is measured where the program labels it, up to the stop value:
// the simulated instrument follows the programmed start and step words.
TEST(SweepWords, TheInstrumentMeasuresEveryPointWhereItIsLabelled) {
  struct Case {
    const char* type;
    Setting start, stop;
    const char *from, *to, *points;
    double tolerance;  // the step word's rounding summed over the sweep
  };
  const Case cases[] = {
      {"Frequency", Setting::StartFreq, Setting::StopFreq, "20000000", "50000000", "201", 30e-6},
      {"Frequency", Setting::StartFreq, Setting::StopFreq, "500000", "120000000", "500", 30e-6},
      {"Frequency", Setting::StartFreq, Setting::StopFreq, "40000000", "30000000", "201", 30e-6},
      {"Phase", Setting::StartPhase, Setting::StopPhase, "0", "360", "201", 0.1},
      {"Power", Setting::StartPower, Setting::StopPower, "-12", "-42", "201", 1e-9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.from + " .. " + c.to + ", " + c.points);
    InstrumentSettings settings;
    settings.SetText(Setting::SweepType, c.type);
    settings.SetText(c.start, c.from);
    settings.SetText(c.stop, c.to);
    settings.SetText(Setting::Points, c.points);
    SampleConverter converter(settings);
    converter.BeginRun("normal");
    const SweepProgram program = ComputeSweepWords(settings);
    for (uint32_t i = 0; i < program.points; ++i) {
      const PointStimulus measured = ProgramPointStimulus(program, i, 0, false);
      const double value = c.start == Setting::StartFreq ? measured.hz / 1e6
                           : c.start == Setting::StartPhase
                               ? measured.source_phase * 180.0 / 3.141592653589793
                               : DbmFromPowerWord(measured.power_word);
      double off = value - converter.AxisValue(static_cast<int>(i));
      if (c.start == Setting::StartPhase) off = std::remainder(off, 360.0);
      ASSERT_NEAR(off, 0.0, c.tolerance) << "point " << i;
    }
  }
  // The last point is the stop value.
  InstrumentSettings settings;
  settings.SetText(Setting::StartFreq, "20000000");
  settings.SetText(Setting::StopFreq, "50000000");
  EXPECT_NEAR(ProgramPointStimulus(ComputeSweepWords(settings), 200, 0, false).hz, 50e6, 30.0);
  settings.SetText(Setting::Points, "1");
  EXPECT_EQ(ComputeSweepWords(settings).step_word, 0u);
}

TEST_F(SweepProgrammerTest, LimitMessagesSetTheStopRequestButStillProgram) {
  settings.SetText(Setting::Dwell, "100");
  Run();
  EXPECT_EQ(programmer.Estimates().AcquisitionDuration, 400);
  EXPECT_EQ(programmer.Estimates().ExpectedLength, 241200);
  EXPECT_EQ(
      platform.MessageTexts(),
      std::vector<std::string>{"Expected data length (241200) is larger than buffer size (65536)"});
  EXPECT_TRUE(control.StopRequested());
  EXPECT_EQ(sent.size(), 1u);

  platform.ClearMessages();
  settings.SetText(Setting::Points, "500");
  Run();
  EXPECT_EQ(platform.MessageTexts(),
            (std::vector<std::string>{
                "USB READ TIMEOUT (600)needs adjusting for this acquisition duration (988)",
                "Expected data length (600000) is larger than buffer size (65536)"}));
  EXPECT_EQ(sent.size(), 2u);

  // 501 points at dwell 8: 48096 bytes, within the buffer.
  platform.ClearMessages();
  settings.SetText(Setting::Points, "501");
  settings.SetText(Setting::Dwell, "8");
  Run();
  EXPECT_EQ(programmer.Estimates().ExpectedLength, 48096);
  EXPECT_TRUE(platform.MessageTexts().empty());
  EXPECT_FALSE(control.StopRequested());
}

TEST_F(SweepProgrammerTest, RefreshEstimateIsAtLeast15) {
  settings.SetText(Setting::Points, "11");
  settings.SetText(Setting::Dwell, "1");
  Run();
  EXPECT_EQ(programmer.Estimates().AcquisitionDuration, 7);
  EXPECT_EQ(programmer.Estimates().RefreshRate, 15);
}

TEST_F(SweepProgrammerTest, ABadBoxStopsAtItsStepAndNothingIsSent) {
  settings.SetText(Setting::Dwell, "");
  EXPECT_THROW(Run(), ConversionError);
  EXPECT_TRUE(log.WindowLines().empty());

  // The stop power must be a whole number: the error comes with the words.
  settings.SetText(Setting::Dwell, "8");
  settings.SetText(Setting::SweepType, "Power");
  settings.SetText(Setting::StopPower, "-12.5");
  EXPECT_THROW(Run(), ConversionError);
  const std::vector<std::string> lines = Messages(log);
  EXPECT_EQ(lines.size(), 7u);  // estimates and tables, no "Bytes Received"
  EXPECT_TRUE(sent.empty());

  // A missing DC-offset file stops before the tables are loaded.
  settings.SetText(Setting::StopPower, "-12");
  std::filesystem::remove(dir / "cal_data/cal_dc_offset.dat");
  EXPECT_THROW(Run(), IoError);
  EXPECT_EQ(Messages(log).size(), 10u);
  EXPECT_TRUE(sent.empty());
}

TEST(PowerWords, ConversionsBothWays) {
  EXPECT_EQ(PowerWordFromDbm(-20.0), 405);
  EXPECT_EQ(PowerWordFromDbm(-42.0), 32);
  EXPECT_EQ(PowerWordFromDbm(-12.0), 1017);
  EXPECT_NEAR(DbmFromPowerWord(405), -19.995, 0.0005);
  EXPECT_NEAR(DbmFromPowerWord(405), -19.995099, 0.000001);
  // Absurd powers never overflow the word.
  EXPECT_EQ(PowerWordFromDbm(1e6), INT64_MAX);
}

TEST(ApplyReceiverSettings, SendsPreampThenGainAndLogs) {
  TempDir dir;
  FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  InstrumentSettings settings;
  settings.SetChecked(Setting::Preamp, true);
  settings.SetText(Setting::RxGain, "39");
  std::vector<int> gains;
  bool preamp = false;
  EXPECT_TRUE(ApplyReceiverSettings(
      settings, log,
      [&](bool on) {
        preamp = on;
        return 1u;
      },
      [&](uint8_t code) {
        gains.push_back(code);
        return 1u;
      }));
  EXPECT_TRUE(preamp);
  EXPECT_EQ(gains, std::vector<int>{13});
  EXPECT_EQ(Messages(log), (std::vector<std::string>{"Preamp Enabled", "Rx gain set to 39"}));

  // No reply to SetPreamp: no gain, no log.
  EXPECT_FALSE(ApplyReceiverSettings(
      settings, log, [](bool) { return 0u; },
      [&](uint8_t code) {
        gains.push_back(code);
        return 1u;
      }));
  EXPECT_EQ(gains.size(), 1u);
  EXPECT_EQ(log.WindowLines().size(), 2u);
}

}  // namespace
}  // namespace ostra
