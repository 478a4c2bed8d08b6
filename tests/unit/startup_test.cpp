// The program coming up and going down, driven through the platform double
// against the simulated instrument.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/text_util.h"
#include "device/protocol.h"
#include "display/chart_model.h"
#include "support/analyser_rig.h"
#include "sweep/sweep_engine.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::WriteFile;

TEST(Splash, SquaresOneToSixThenTheMainWindowAndTheStartUpPass) {
  AnalyserRig rig;
  rig.Start();
  rig.platform.RunFor(2999);
  EXPECT_EQ(rig.analyser->Shell().Splash().ticks, 5);
  rig.platform.RunFor(1);
  EXPECT_EQ(rig.analyser->Shell().Splash().ticks, 6);  // the sixth square after 3 s
  EXPECT_TRUE(rig.analyser->Shell().Splash().squares[5]);
  EXPECT_FALSE(rig.platform.WindowVisible(WindowId::Main));
  rig.platform.RunFor(500);  // the main window after 3.5 s
  EXPECT_TRUE(rig.platform.WindowVisible(WindowId::Main));
  EXPECT_FALSE(rig.analyser->Shell().Splash().squares[6]);
  EXPECT_FALSE(rig.analyser->Shell().Splash().squares[7]);
  EXPECT_FALSE(rig.platform.TimerEnabled(TimerId::Splash));
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::Startup));
  EXPECT_EQ(rig.platform.TimerInterval(TimerId::Startup), 10);
  EXPECT_EQ(rig.platform.WindowPosition(WindowId::Main), (std::pair{100, 100}));
}

TEST(StartUp, LogsItsStepsFillsTheInfoPageAndEnablesTheFirstSweep) {
  AnalyserRig rig;
  rig.StartUp();
  ASSERT_FALSE(rig.platform.QuitRequested());
  const std::string identity = "OSTRA VECTOR NETWORK ANALYSER [OS000417]";
  EXPECT_THAT(rig.LogLines(),
              ElementsAre("Data directory set to " + rig.DataDir().string(), identity + " is open",
                          "Preamp Disabled", "Rx gain set to 39"));
  // The data-directory line was written before the old log file was deleted.
  EXPECT_EQ(ReadFile(rig.DataDir() / "ostra_log.txt").find("Data directory"), std::string::npos);
  EXPECT_NE(ReadFile(rig.DataDir() / "ostra_log.txt").find("Rx gain set to 39\r\n"),
            std::string::npos);

  const InfoPage& info = rig.analyser->Shell().Info();
  EXPECT_EQ(info.status, "Opened");
  EXPECT_EQ(info.serial, identity);
  EXPECT_EQ(info.VNAserial, "Ostra417");
  EXPECT_EQ(info.FirmRev, "01.02");
  EXPECT_EQ(info.Date_id, "15/06/12");
  EXPECT_EQ(info.HardRev, FormatHex(SimulatedInstrument::kHardwareRevision, 4));

  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
  EXPECT_EQ(rig.platform.TimerInterval(TimerId::BeginSweep), 1);
  EXPECT_TRUE(rig.analyser->SweepStopRequest());
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::RxGain), "39");
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::RefLevel), "30");
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::Scale), "5");
  EXPECT_EQ(rig.analyser->Panel().Key(0).caption, "Transmission");
  EXPECT_EQ(rig.analyser->Panel().Key(1).caption, "Reflection");
  EXPECT_FALSE(rig.analyser->Panel().Key(2).visible);
  const auto counters = rig.sim.Counters();
  EXPECT_EQ(counters.read_timeout_ms, 600u);
  EXPECT_EQ(counters.latency_ms, 5);
  EXPECT_EQ(counters.usb_in_transfer, 65536u);
  EXPECT_EQ(counters.rx_gain_code, 13);
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
}

TEST(StartUp, RestoresWorkingFilesUnderOneHundredBytes) {
  AnalyserRig rig;
  const std::string def = ReadFile(rig.CalFile("config.def"));
  // 99 bytes: replaced by the factory copy.
  WriteFile(rig.CalFile("config.dat"), std::string(99, 'x'));
  // 100 bytes: left alone (and so loaded as it is).
  std::string hundred =
      "Sweep_Type: Frequency\r\nMode: Reflection\r\nFormat: Lin\r\nPoints: 101\r\n";
  hundred += std::string(100 - hundred.size(), 'y');
  WriteFile(rig.CalFile("cal_open.dat"), hundred);
  rig.StartUp();
  EXPECT_EQ(ReadFile(rig.CalFile("config.dat")), def);
  EXPECT_EQ(ReadFile(rig.CalFile("cal_open.dat")), hundred);
  for (const char* name :
       {"cal_dc_offset", "cal_short", "cal_load", "cal_thru", "cal_thru_ph", "cal_thru_pwr"}) {
    EXPECT_EQ(ReadFile(rig.CalFile(std::string(name) + ".dat")),
              ReadFile(rig.CalFile(std::string(name) + ".def")))
        << name;
  }
}

TEST(StartUp, FormatScalingAndReceiverGainReplaceTheFileValues) {
  AnalyserRig rig;
  InstrumentSettings saved;
  saved.SetText(Setting::Format, "Phase");
  saved.SetText(Setting::Scale, "7");
  saved.SetText(Setting::RefLevel, "-3");
  saved.SetText(Setting::Mode, "Transmission");
  saved.SetText(Setting::RxGain, "36");
  save_parameters(saved, rig.CalFile("config.dat"));
  rig.StartUp();
  const InstrumentSettings& s = rig.analyser->Settings();
  EXPECT_EQ(s.Text(Setting::Scale), "18");
  EXPECT_EQ(s.Text(Setting::RefLevel), "180");
  EXPECT_EQ(s.Text(Setting::RxGain), "24");
  EXPECT_EQ(rig.sim.Counters().rx_gain_code, 8);
}

TEST(StartUp, NoInstrumentEndsTheProgramAfterTheMessageAndKeepsTheSettings) {
  AnalyserRig rig;
  rig.sim.SetNoDevice(true);
  rig.StartUp();
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_EQ(rig.LogLines().back(), "Ostra failed to open");
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre("USB Communication error detected! Error String: \"Device Not Found\""));
  EXPECT_EQ(rig.analyser->Shell().Info().status, "Not Opened");
  EXPECT_FALSE(rig.platform.TimerEnabled(TimerId::BeginSweep));
  // The settings that were loaded are saved on the way out.
  EXPECT_EQ(ReadFile(rig.CalFile("config.dat")), SettingsFileText(rig.analyser->Settings()));
}

TEST(StartUp, MissingCalibrationDirectoryEndsTheProgram) {
  AnalyserRig rig(/*with_cal_data=*/false);
  rig.StartUp();
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_THAT(rig.platform.MessageTexts(), ElementsAre("Calibration directory is lost"));
  EXPECT_EQ(rig.sim.Counters().open_attempts, 0u);
}

TEST(StartUp, NoReplyToThePreampCommandEndsTheProgramThroughTheLog) {
  AnalyserRig rig;
  rig.sim.SetNoReply(opcode::kSetPreamp);
  rig.StartUp();
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_EQ(rig.LogLines().back(), "USB Communication error detected! Error String: ");
  EXPECT_THAT(
      rig.platform.MessageTexts(),
      ElementsAre("Received data do not match with what is expected", "Did not return any data!"));
}

TEST(StartUp, ShortIdentityReplyLeavesTheWordsAtZero) {
  AnalyserRig rig;
  rig.sim.SetIdentityReplyLength(100);
  rig.StartUp();
  const InfoPage& info = rig.analyser->Shell().Info();
  EXPECT_EQ(info.VNAserial, "Ostra0");
  EXPECT_EQ(info.FirmRev, "00.00");
  EXPECT_EQ(info.HardRev, "0000");
  EXPECT_EQ(info.Date_id, "00/00/00");
  EXPECT_THAT(
      rig.platform.MessageTexts(),
      ElementsAre("Received data do not match with what is expected", "Unexpected data length"));
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
}

TEST(StartUp, ARecalledStateRunsThePassAgainAndTheLogFileStartsThere) {
  AnalyserRig rig;
  rig.StartUp();
  rig.analyser->SetSweepStopRequest(true);
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  InstrumentSettings state;
  state.SetText(Setting::Mode, "Transmission");
  state.SetText(Setting::Points, "101");
  save_parameters(state, rig.dir / "state.sta");
  const size_t lines_before = rig.analyser->Log().WindowLines().size();

  rig.analyser->Shell().RecallSettingsFile(rig.dir / "state.sta");
  rig.platform.RunUntil([&] { return rig.platform.TimerEnabled(TimerId::BeginSweep); }, 1000);

  EXPECT_EQ(rig.analyser->Settings().Text(Setting::Points), "101");
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::RxGain), "24");
  EXPECT_EQ(rig.sim.Counters().closes, 1u);
  EXPECT_EQ(rig.sim.Counters().opens, 2u);
  const std::string file = ReadFile(rig.DataDir() / "ostra_log.txt");
  EXPECT_EQ(file.rfind("is open"), file.find("is open"));  // only the second run's lines
  EXPECT_THAT(file, HasSubstr("Rx gain set to 24"));
  EXPECT_EQ(file.find("Rx gain set to 39"), std::string::npos);
  // The window keeps the whole run.
  EXPECT_EQ(rig.analyser->Log().WindowLines().size(), lines_before + 4);
}

TEST(ShutDown, ExitStopsTheSweepWaitsAndSavesTheSettings) {
  AnalyserRig rig;
  rig.StartUp();
  rig.analyser->Settings().SetText(Setting::StartFreq, "21000000");
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 300,
                  [&] { rig.analyser->Shell().Exit1Click(); });
  rig.platform.RunFor(5000);
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_TRUE(rig.analyser->SweepStopRequest());
  EXPECT_FALSE(rig.analyser->Engine().RunActive());
  EXPECT_EQ(rig.platform.Sleeps().back(), 20);
  InstrumentSettings saved;
  Load_parameters(saved, rig.CalFile("config.dat"));
  EXPECT_EQ(saved.Text(Setting::StartFreq), "21000000");
  EXPECT_EQ(saved.Text(Setting::RxGain), "39");
  // Closing the window afterwards does not save or end twice.
  rig.analyser->Shell().FormClose();
  EXPECT_EQ(rig.platform.Sleeps().size(), 1u);
}

TEST(About, ReadsTheIdentityAfreshAndRestartsTheSweep) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  const auto frames_before = rig.sim.Counters().frames_received;
  rig.analyser->Shell().About1Click();
  const AboutPage& about = rig.analyser->Shell().About();
  EXPECT_EQ(about.serial_no, "417");
  EXPECT_EQ(about.application_rev, "1.2");
  const uint32_t firmware = SimulatedInstrument::kFirmwareRevision;
  EXPECT_EQ(about.firmware_rev,
            std::to_string(firmware >> 16) + "." + std::to_string(firmware & 0xFFFF));
  EXPECT_EQ(about.hardware_rev, "Ostra07A");
  EXPECT_TRUE(rig.platform.WindowVisible(WindowId::About));
  EXPECT_EQ(rig.platform.WindowPosition(WindowId::About), (std::pair{180, 180}));
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  rig.analyser->Shell().About1Click();  // twice: read twice
  EXPECT_EQ(rig.sim.Counters().frames_received, frames_before + 2);
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
}

TEST(About, ShowsRevisionsInDecimalAndTheHardwareLetter) {
  AnalyserRig rig;
  InstrumentIdentity words = SimulatedInstrument::DefaultIdentity();
  words[1] = 1234;
  words[2] = (1u << 16) | 2u;     // high half 1, low half 2
  words[3] = (7u << 16) | 0x41u;  // high half 7, low byte 'A'
  rig.sim.SetIdentityWords(words);
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  rig.analyser->Shell().About1Click();
  EXPECT_EQ(rig.analyser->Shell().About().serial_no, "1234");
  EXPECT_EQ(rig.analyser->Shell().About().firmware_rev, "1.2");
  EXPECT_EQ(rig.analyser->Shell().About().hardware_rev, "Ostra07A");
  // The Info page shows the same words in hexadecimal.
  EXPECT_EQ(rig.analyser->Shell().Info().VNAserial, "Ostra1234");
  EXPECT_EQ(rig.analyser->Shell().Info().FirmRev, "10.002");
  EXPECT_EQ(rig.analyser->Shell().Info().HardRev, "70041");
}

TEST(About, AFailedIdentityReadShowsNoWordsThatWereNeverRead) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  rig.sim.SetIdentityReplyLength(10);
  rig.analyser->Shell().About1Click();
  EXPECT_EQ(rig.analyser->Shell().About().serial_no, "");
  EXPECT_EQ(rig.analyser->Shell().About().firmware_rev, "");
  EXPECT_EQ(rig.analyser->Shell().About().hardware_rev, "");
  EXPECT_EQ(rig.analyser->Shell().About().application_rev, "1.2");
}

TEST(SweepParametersDialog, CancelRestoresTextsOkSavesAndBothRestartTheSweep) {
  AnalyserRig rig;
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  InstrumentSettings& s = rig.analyser->Settings();
  rig.analyser->Keys().sweep_param1Click();
  rig.analyser->Dialog().FormShow();
  s.SetText(Setting::StartFreq, "25000000");
  s.SetChecked(Setting::AveEnable, true);
  rig.analyser->Dialog().opt_cancel_btnClick();
  EXPECT_EQ(s.Text(Setting::StartFreq), "20000000");
  EXPECT_TRUE(s.Checked(Setting::AveEnable));
  EXPECT_FALSE(rig.platform.WindowVisible(WindowId::SweepParameters));
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));

  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  rig.analyser->Dialog().FormShow();
  s.SetText(Setting::StopFreq, "40000000");
  rig.analyser->Dialog().opt_ok_btnClick();
  EXPECT_EQ(s.Text(Setting::StopFreq), "40000000");
  InstrumentSettings saved;
  Load_parameters(saved, rig.CalFile("config.dat"));
  EXPECT_EQ(saved.Text(Setting::StopFreq), "40000000");
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
  EXPECT_EQ(rig.analyser->Chart().Axis(AxisId::Bottom).max, 40.0);
}

}  // namespace
}  // namespace ostra
