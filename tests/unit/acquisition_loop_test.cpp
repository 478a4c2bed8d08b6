// The acquisition loop against the simulated instrument: pacing and the
// status text, capture runs, short reads, stop requests, saturation, driver
// errors, restarts, and a calibration that recovers the true reflection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sim/dut_model.h"
#include "support/analyser_rig.h"
#include "support/forwarding_transport.h"
#include "sweep/sweep_engine.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;

// Stands between the program and the simulator and changes what the reads of
// chosen acquisitions bring back.
class AlteringTransport : public testing::ForwardingTransport {
 public:
  explicit AlteringTransport(SimulatedInstrument& sim) : ForwardingTransport(sim), sim_(sim) {}
  // Acquisition n (0 for the first of a run) loses its last byte.
  std::set<int> short_acquisitions;
  // In these acquisitions, the I reading of point 0 of sweep 0 is driven to
  // the converter's full scale.
  std::set<int> saturated_acquisitions;
  int dwell = 8;

  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* got) override {
    const FT_STATUS status = sim_.FT_Read(h, buffer, n, got);
    if (n < 1000) return status;  // a command reply
    const int index = acquisitions_++;
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (saturated_acquisitions.count(index) && *got >= 4u * static_cast<DWORD>(dwell)) {
      for (int h = 0; h < dwell; ++h) {
        bytes[h * 4] = 0x07;
        bytes[h * 4 + 1] = 0xFF;
      }
    }
    if (short_acquisitions.count(index) && *got > 0) --*got;
    return status;
  }
  void NewRun() { acquisitions_ = 0; }

 private:
  SimulatedInstrument& sim_;
  std::atomic<int> acquisitions_{0};
};

// The rig with the first sweep's timer held back, so a test runs the loop itself.
struct LoopRig : AnalyserRig {
  LoopRig() {
    StartUp();
    platform.SetTimer(TimerId::BeginSweep, false, 1);
    engine().on_sweep_done.Connect([this] {
      ++sweeps;
      if (after_sweep) after_sweep(sweeps);
    });
  }
  SweepEngine& engine() { return analyser->Engine(); }
  const ChartSeries& Trace() { return analyser->Chart().Series(SeriesId::MagDataSeries); }
  std::string CalLabel() { return analyser->Chart().Label(LabelId::cal_label).text; }
  bool LogHas(const std::string& text) {
    for (const auto& line : LogLines()) {
      if (line == text) return true;
    }
    return false;
  }
  int sweeps = 0;
  std::function<void(int)> after_sweep;
};

TEST(AcquisitionLoop, RunsSweepAfterSweepPacedOverTheAcquisitionTime) {
  LoopRig rig;
  rig.after_sweep = [&](int n) {
    if (n == 30) rig.analyser->SetSweepStopRequest(true);
  };
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("normal");
  EXPECT_EQ(rig.sweeps, 30);  // ten passes of three sweeps
  EXPECT_TRUE(rig.LogHas("Refresh rate: 22"));
  EXPECT_TRUE(rig.LogHas("Acquisition duration: 67"));
  EXPECT_TRUE(rig.LogHas("Expected length: 19296"));
  EXPECT_TRUE(rig.LogHas("Measured acquisition time is 0"));
  for (const auto& line : rig.LogLines()) EXPECT_THAT(line, Not(HasSubstr("Unexpected bytes")));
  // Each acquisition took 67 ms: a third of it per displayed sweep.
  EXPECT_THAT(rig.platform.StatusTexts(), Contains("Refresh rate: 22"));
  EXPECT_EQ(rig.Trace().points.size(), 201u);
  EXPECT_EQ(rig.CalLabel(), "C");
  EXPECT_FALSE(rig.engine().RunActive());
  EXPECT_EQ(rig.sim.Counters().start_sweeps, 11u);  // the first, and one per pass
}

TEST(AcquisitionLoop, ACaptureRunWritesOneLinePerPointAndStops) {
  LoopRig rig;
  rig.sim.SetDut(Dut::Open);
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("open_cal");
  EXPECT_TRUE(rig.analyser->SweepStopRequest());
  EXPECT_EQ(rig.sweeps, 1);  // only sweep 0 of the first acquisition
  const std::string file = ReadFile(rig.CalFile("cal_open.dat"));
  size_t lines = 0;
  for (size_t p = file.find("\r\n"); p != std::string::npos; p = file.find("\r\n", p + 2)) ++lines;
  EXPECT_EQ(lines, 201u);
  EXPECT_EQ(file.substr(0, 9), "20000000 ");
  EXPECT_NE(file.find("\r\n50000000 "), std::string::npos);
  EXPECT_EQ(rig.sim.Counters().start_sweeps, 2u);  // the worker's read still completes
}

// A calibration started by a key press runs its captures from inside the
// running normal loop: each capture takes the loop over, writes its file, and
// normal sweeping comes back once the handler has restarted it.
TEST(AcquisitionLoop, ACaptureAskedForInsideTheRunningLoopRunsAndSweepingResumes) {
  AnalyserRig rig;
  rig.StartUp();
  rig.sim.SetDut(Dut::Open);
  std::string old_file;
  for (int i = 0; i < 201; ++i) old_file += "1 1.000 0.000\r\n";
  testing::WriteFile(rig.CalFile("cal_open.dat"), old_file);
  int sweeps = 0;
  int sweeps_at_capture_end = -1;
  rig.analyser->Engine().on_sweep_done.Connect([&] {
    ++sweeps;
    if (sweeps_at_capture_end >= 0 && sweeps == sweeps_at_capture_end + 6) {
      EXPECT_EQ(rig.analyser->Chart().Label(LabelId::cal_label).text, "C");
      rig.analyser->Sweep().RequestStop();
    }
  });
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 500, [&] {
    ASSERT_TRUE(rig.analyser->Engine().RunActive());
    SweepControl& sweep = rig.analyser->Sweep();
    sweep.Stop();
    sweep.ClearStop();
    rig.analyser->Engine().RunSweepLoop("open_cal");
    sweeps_at_capture_end = sweeps;
    rig.analyser->Engine().ProgramCurrentSweep();
    sweep.Restart();
  });
  rig.platform.RunUntil(
      [&] { return sweeps_at_capture_end >= 0 && sweeps >= sweeps_at_capture_end + 6; }, 5000);
  const std::string file = ReadFile(rig.CalFile("cal_open.dat"));
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 201);
  EXPECT_EQ(file.substr(0, 9), "20000000 ");
  EXPECT_GT(sweeps_at_capture_end, 1);
  EXPECT_EQ(sweeps, sweeps_at_capture_end + 6);  // the normal loop ran again
  EXPECT_FALSE(rig.analyser->Engine().RunActive());
  EXPECT_THAT(rig.platform.MessageTexts(), ::testing::IsEmpty());
}

TEST(AcquisitionLoop, AShortFirstReadDoesNoPass) {
  LoopRig rig;
  rig.sim.InjectShortRead(1, 1);
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("normal");
  EXPECT_TRUE(rig.LogHas("Unexpected bytes(at start) = Got 19295; Expected 19296"));
  EXPECT_EQ(rig.sweeps, 0);
  EXPECT_TRUE(rig.Trace().points.empty());
}

TEST(AcquisitionLoop, AStopDuringTheSecondSweepStillDrawsTheThird) {
  LoopRig rig;
  rig.after_sweep = [&](int n) {
    if (n == 2) rig.analyser->SetSweepStopRequest(true);
  };
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("normal");
  EXPECT_EQ(rig.sweeps, 3);
  EXPECT_EQ(rig.Trace().points.size(), 201u);
}

TEST(AcquisitionLoop, AShortReadInTheLoopShowsThePreviousAcquisitionAgain) {
  AnalyserRig base;  // for the files; this rig runs its own transport
  SimulatedInstrument sim;
  sim.SetRealTime(false);
  AlteringTransport transport(sim);
  transport.short_acquisitions = {1};  // the worker of the first pass reads short
  Analyser analyser(base.platform, transport, base.app);
  base.platform.timer_handler = [&](TimerId id) { analyser.OnTimer(id); };
  base.platform.worker_pending = [&] { return analyser.Engine().AcquisitionPending(); };
  analyser.Shell().splash_FormCreate();
  analyser.Shell().FormCreate();
  base.platform.RunUntil([&] { return base.platform.TimerEnabled(TimerId::BeginSweep); }, 10000);
  base.platform.SetTimer(TimerId::BeginSweep, false, 1);

  std::vector<std::vector<double>> traces;
  analyser.Engine().on_sweep_done.Connect([&] {
    const auto& mag = analyser.Display().ReflMag();
    traces.emplace_back(mag.begin(), mag.begin() + 201);
    if (traces.size() == 9) analyser.SetSweepStopRequest(true);
  });
  analyser.Engine().ProgramCurrentSweep();
  transport.NewRun();
  analyser.Engine().RunSweepLoop("normal");
  ASSERT_EQ(traces.size(), 9u);
  // Pass 1 shows acquisition 0 again; pass 2 shows acquisition 2.
  EXPECT_EQ(traces[3], traces[0]);
  EXPECT_EQ(traces[5], traces[2]);
  EXPECT_NE(traces[6], traces[0]);
  bool logged = false;
  for (const auto& line : analyser.Log().WindowLines()) {
    logged |=
        line.find("Unexpected bytes(in loop) = Got 19295; Expected 19296") != std::string::npos;
  }
  EXPECT_TRUE(logged);
}

TEST(AcquisitionLoop, SixSaturatedValuesOverSeveralPassesEndTheRun) {
  AnalyserRig base;
  SimulatedInstrument sim;
  sim.SetRealTime(false);
  AlteringTransport transport(sim);
  // One value beyond the limit in sweep 0 of each acquisition from the second on.
  transport.saturated_acquisitions = {1, 2, 3, 4, 5, 6, 7, 8};
  Analyser analyser(base.platform, transport, base.app);
  base.platform.timer_handler = [&](TimerId id) { analyser.OnTimer(id); };
  base.platform.worker_pending = [&] { return analyser.Engine().AcquisitionPending(); };
  analyser.Shell().splash_FormCreate();
  analyser.Shell().FormCreate();
  base.platform.RunUntil([&] { return base.platform.TimerEnabled(TimerId::BeginSweep); }, 10000);
  base.platform.SetTimer(TimerId::BeginSweep, false, 1);
  int sweeps = 0;
  analyser.Engine().on_sweep_done.Connect([&] { ++sweeps; });
  analyser.Engine().ProgramCurrentSweep();
  transport.NewRun();
  analyser.Engine().RunSweepLoop("normal");
  // Acquisitions 1..6 are shown in passes 1..6; the sixth value comes with
  // sweep 0 of pass 6, and the pass stops after it.
  EXPECT_EQ(sweeps, 6 * 3 + 1);
  EXPECT_EQ(analyser.Engine().SaturationCount(), 6);
  EXPECT_THAT(base.platform.MessageTexts(),
              Contains("Error..Device is saturating due to excess power, please drop RF power"));
  EXPECT_TRUE(analyser.SweepStopRequest());
}

TEST(AcquisitionLoop, ExcessPowerEndsTheRunAfterTheSweep) {
  LoopRig rig;
  rig.sim.SetSignalLevel(6.0);
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("normal");
  EXPECT_EQ(rig.sweeps, 1);
  EXPECT_GT(rig.engine().SaturationCount(), 5);
  EXPECT_THAT(rig.platform.MessageTexts(),
              Contains("Error..Device is saturating due to excess power, please drop RF power"));
}

TEST(AcquisitionLoop, ADriverErrorEndsTheProgramAfterItsMessage) {
  LoopRig rig;
  rig.after_sweep = [&](int n) {
    if (n == 1) rig.sim.InjectReadError(1);
  };
  rig.analyser->Settings().SetText(Setting::StartFreq, "21000000");
  rig.engine().ProgramCurrentSweep();
  rig.engine().RunSweepLoop("normal");
  EXPECT_THAT(rig.platform.MessageTexts(),
              Contains("USB Communication error detected! Error String: \"General IO Error\""));
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_FALSE(rig.engine().RunActive());
  InstrumentSettings saved;
  Load_parameters(saved, rig.CalFile("config.dat"));
  EXPECT_EQ(saved.Text(Setting::StartFreq), "21000000");
}

TEST(AcquisitionLoop, TooLongAnAcquisitionIsRefusedWithoutOverrunningTheBuffers) {
  LoopRig rig;
  rig.analyser->Settings().SetText(Setting::Dwell, "100");
  rig.engine().ProgramCurrentSweep();
  EXPECT_THAT(rig.platform.MessageTexts(),
              Contains("Expected data length (241200) is larger than buffer size (65536)"));
  rig.engine().RunSweepLoop("normal");
  EXPECT_EQ(rig.sweeps, 0);
  EXPECT_TRUE(rig.LogHas("Unexpected bytes(at start) = Got 65536; Expected 241200"));
}

TEST(AcquisitionLoop, AModeChangeRestartsOnlyAfterTheRunningRunHasReturned) {
  LoopRig rig;
  auto programs = [&] {
    int n = 0;
    for (const auto& frame : rig.sim.RecentFrames()) n += frame[1] == opcode::kProgramSweep;
    return n;
  };
  int runs_seen = 0;
  rig.after_sweep = [&](int n) {
    if (n == 4) rig.analyser->Formats().TransmissionExecute();  // a key press inside the loop
    if (n == 5) {
      // The restart's timer ticks while the run is active: held back.
      rig.platform.ProcessMessages();
      runs_seen = programs();
    }
    if (n == 12) rig.platform.Quit(), rig.analyser->SetSweepStopRequest(true);
  };
  rig.platform.SetTimer(TimerId::BeginSweep, true, 1);
  rig.platform.RunFor(10000);
  EXPECT_THAT(rig.platform.StatusTexts(), Contains("Measurement mode is Transmission"));
  EXPECT_EQ(rig.sweeps, 12);
  // The first run finished its pass (sweeps 4 to 6) before the new one was
  // programmed.
  EXPECT_EQ(runs_seen, 1);
  EXPECT_EQ(programs(), 2);
  ASSERT_TRUE(rig.sim.Counters().last_program.has_value());
  EXPECT_EQ(rig.sim.Counters().last_program->mode, 1);
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::RxGain), "24");
}

// Calibrates against the simulator's standards as the calibration procedure
// does, then measures a device whose true reflection the simulator knows.
TEST(Calibration, RecoversTheTrueReflectionAndFlagsAChangedStimulus) {
  LoopRig rig;
  SweepEngine& engine = rig.engine();
  engine.ProgramCurrentSweep();
  rig.sim.SetDut(Dut::Load);
  rig.analyser->Link().SetRxGain(0);
  rig.analyser->SetSweepStopRequest(false);
  engine.RunSweepLoop("dc_offset_cal");
  for (auto [dut, mode] : {std::pair{Dut::Load, "load_cal"}, std::pair{Dut::Open, "open_cal"},
                           std::pair{Dut::Short, "short_cal"}}) {
    engine.ProgramCurrentSweep();
    rig.sim.SetDut(dut);
    engine.RunSweepLoop(mode);
  }

  rig.sim.SetDut(Dut::SeriesRlc);
  rig.after_sweep = [&](int) { rig.analyser->SetSweepStopRequest(true); };
  engine.ProgramCurrentSweep();
  rig.sweeps = 0;
  engine.RunSweepLoop("normal");
  EXPECT_EQ(rig.CalLabel(), "C");
  double worst = 0;
  for (int i = 0; i < 201; ++i) {
    const double hz = 20e6 + 150000.0 * i;
    const std::complex<double> measured =
        std::polar(rig.analyser->Display().ReflMag()[i], rig.analyser->Display().ReflPhase()[i]);
    // The instrument's point i lies at its own programmed frequency.
    const std::complex<double> truth = TrueReflection(Dut::SeriesRlc, 20e6 + 149254.0 * i);
    worst = std::max(worst, std::abs(measured - truth));
    EXPECT_NEAR(rig.analyser->Display().TraceX()[i], hz, 1.0);
  }
  EXPECT_LT(worst, 0.02);

  rig.analyser->Settings().SetText(Setting::StopFreq, "45000000");
  engine.ProgramCurrentSweep();
  engine.RunSweepLoop("normal");
  EXPECT_EQ(rig.CalLabel(), "C?");
}

}  // namespace
}  // namespace ostra
