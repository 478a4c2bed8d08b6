// The whole program against an instrument or a driver that is odd but not
// broken: an unrelated FTDI device, an absurd device count, a board without
// a revision letter, a state of 501 points.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/chart_model.h"
#include "support/analyser_rig.h"
#include "support/forwarding_transport.h"

namespace ostra {
namespace {

using testing::AnalyserRig;

// Lets the program sweep for `ms` of virtual time, then stops the loop.
void SweepFor(AnalyserRig& rig, int ms) {
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + ms,
                  [&rig] { rig.analyser->Sweep().RequestStop(); });
  rig.platform.RunFor(ms + 500);
}

TEST(InstrumentFaults, AnUnlistableDeviceBesideTheInstrumentDoesNotEndTheSweep) {
  AnalyserRig rig;
  rig.sim.SetDeviceList({{"USB Serial Converter", "FT0001", /*serial_readable=*/false},
                         {SimulatedInstrument::kDescription, SimulatedInstrument::kSerial}});
  rig.StartUp();
  SweepFor(rig, 2000);
  EXPECT_FALSE(rig.platform.QuitRequested());
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
  EXPECT_EQ(rig.analyser->Link().LastDriverStatus(), 0u);
  EXPECT_GT(rig.sim.Counters().start_sweeps, 10u);
}

// Reports 0xFFFFFFFF devices; only index 0 (the simulated instrument, whose
// description is hidden here) can be listed.
class AbsurdCountDriver : public testing::ForwardingTransport {
 public:
  using ForwardingTransport::ForwardingTransport;
  int listings = 0;
  FT_STATUS FT_ListDevices(void* a, void* b, DWORD flags) override {
    if (flags & FT_LIST_NUMBER_ONLY) {
      *static_cast<DWORD*>(a) = 0xFFFFFFFF;
      return FT_OK;
    }
    ++listings;
    if (reinterpret_cast<uintptr_t>(a) != 0) return FT_DEVICE_NOT_FOUND;
    if ((flags & 3) == FT_OPEN_BY_DESCRIPTION) {
      std::snprintf(static_cast<char*>(b), 64, "USB SERIAL");
      return FT_OK;
    }
    return ForwardingTransport::FT_ListDevices(a, b, flags);
  }
};

TEST(InstrumentFaults, AnAbsurdDeviceCountIsCappedAndTheStartGoesOn) {
  AnalyserRig rig;
  AbsurdCountDriver& driver = rig.UseDriver<AbsurdCountDriver>();
  rig.StartUp();
  EXPECT_EQ(driver.listings, 2 * static_cast<int>(DeviceLink::kMaxSearchedDevices));
  EXPECT_EQ(rig.analyser->Shell().Info().serial, "USB SERIAL [OS000417]");
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
}

TEST(InstrumentFaults, ABoardWithoutARevisionLetterShowsNone) {
  AnalyserRig rig;
  InstrumentIdentity words = SimulatedInstrument::DefaultIdentity();
  words[3] = 7u << 16;  // low byte 0
  rig.sim.SetIdentityWords(words);
  rig.StartUp();
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);
  rig.analyser->Shell().About1Click();
  EXPECT_EQ(rig.analyser->Shell().About().hardware_rev, "Ostra07");
}

TEST(InstrumentFaults, AStateOf501PointsSweepsAllOfThem) {
  AnalyserRig rig;
  InstrumentSettings state;
  state.SetText(Setting::Points, "501");
  save_parameters(state, rig.CalFile("config.dat"));
  std::string offsets;  // a DC-offset capture of as many points
  for (int i = 0; i < 502; ++i) offsets += "1 0.000 0.000\r\n";
  testing::WriteFile(rig.CalFile("cal_dc_offset.dat"), offsets);
  rig.StartUp();
  SweepFor(rig, 1500);
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
  EXPECT_FALSE(rig.platform.QuitRequested());
  ASSERT_TRUE(rig.sim.Counters().last_program.has_value());
  EXPECT_EQ(rig.sim.Counters().last_program->points, 501u);
  EXPECT_EQ(rig.analyser->Engine().Estimates().ExpectedLength, 48096);
  EXPECT_EQ(rig.analyser->Chart().Series(SeriesId::MagDataSeries).points.size(), 501u);

  // One more does not fit the per-point arrays: the run does no pass.
  rig.analyser->Settings().SetText(Setting::Points, "502");
  rig.analyser->Sweep().Restart();
  rig.platform.RunFor(500);
  EXPECT_THAT(rig.platform.MessageTexts(),
              ::testing::ElementsAre("Points can not be more than 500"));
  EXPECT_FALSE(rig.analyser->Engine().RunActive());
}

}  // namespace
}  // namespace ostra
