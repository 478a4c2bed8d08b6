// Makes the factory copies in cal_data/ (config.def and the seven calibration
// files) by calibrating the simulated instrument the way a user would: the
// DC offset, then each standard, captured by the acquisition loop itself for
// the default sweep (201 points, 20 to 50 MHz), the default phase sweep and
// the default power sweep. So the files hold exactly what a capture writes.
// The factory DC offsets are captured with the most points a sweep can have
// (501, over the default band), so that every point count finds its line;
// the reflection standards that follow are measured with them subtracted.
//
//   make_cal_data <output cal_data directory>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "base/app_log.h"
#include "base/constants.h"
#include "base/headless_platform.h"
#include "base/instrument_settings.h"
#include "base/text_util.h"
#include "device/device_link.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sim/simulated_instrument.h"
#include "sweep/sweep_engine.h"

namespace {

using namespace ostra;

struct Rig {
  HeadlessPlatform platform;
  SimulatedInstrument sim;
  InstrumentSettings settings;
  AppLog log{platform};
  DeviceLink link{sim, platform};
  ChartModel chart;
  TraceDisplay display{chart, settings};
  SweepControl control{platform};
  std::unique_ptr<SweepEngine> engine;

  explicit Rig(const std::filesystem::path& app) {
    platform.quiet = true;
    sim.SetRealTime(false);
    sim.SetSeed(20121506);
    log.SetDataDirectory(app);
    engine = std::make_unique<SweepEngine>(platform, link, settings, log, display, app / "cal_data",
                                           control);
  }

  // DC offset with `dc_dut` connected and the receiver gain at code 0 (with
  // `dc_points` points when given), then each standard with the gain and
  // points of the settings.
  void Calibrate(Dut dc_dut, std::initializer_list<std::pair<Dut, const char*>> standards,
                 const char* dc_points = nullptr) {
    const std::string points = settings.Text(Setting::Points);
    if (dc_points != nullptr) settings.SetText(Setting::Points, dc_points);
    engine->ProgramCurrentSweep();
    sim.SetDut(dc_dut);
    link.SetRxGain(0);
    control.ClearStop();
    engine->RunSweepLoop("dc_offset_cal");
    settings.SetText(Setting::Points, points);
    for (const auto& [dut, mode] : standards) {
      engine->ProgramCurrentSweep();
      sim.SetDut(dut);
      engine->RunSweepLoop(mode);
    }
  }
};

void Configure(InstrumentSettings& s, const char* type, const char* mode, const char* format,
               const char* gain) {
  s = InstrumentSettings{};
  s.SetText(Setting::SweepType, type);
  s.SetText(Setting::Mode, mode);
  s.SetText(Setting::Format, format);
  s.SetText(Setting::RxGain, gain);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_cal_data <output cal_data directory>\n";
    return 2;
  }
  const std::filesystem::path out = argv[1];
  const std::filesystem::path app = std::filesystem::temp_directory_path() / "ostra_make_cal_data";
  std::filesystem::remove_all(app);
  std::filesystem::create_directories(app / "cal_data");
  std::filesystem::create_directories(out);

  try {
    // Zero offsets until the first capture replaces them.
    {
      std::ofstream zero(app / "cal_data" / "cal_dc_offset.dat", std::ios::binary);
      for (int i = 0; i < kMaxTracePoints; ++i) zero << "0 0.000 0.000\r\n";
    }
    Rig rig(app);
    if (rig.link.OpenInstrument() == "NotOpen") throw std::runtime_error("simulator did not open");

    Configure(rig.settings, "Phase", "Transmission", "Phase", "24");
    rig.Calibrate(Dut::Load, {{Dut::Thru, "thru_ph_cal"}});
    Configure(rig.settings, "Power", "Transmission", "Log", "24");
    rig.Calibrate(Dut::Load, {{Dut::Thru, "thru_pwr_cal"}});
    Configure(rig.settings, "Frequency", "Transmission", "Log", "24");
    rig.Calibrate(Dut::Load, {{Dut::Thru, "thru_cal"}});
    // The reflection calibration last: its DC offsets are the factory ones.
    Configure(rig.settings, "Frequency", "Reflection", "Log", "39");
    rig.Calibrate(Dut::Load,
                  {{Dut::Load, "load_cal"}, {Dut::Open, "open_cal"}, {Dut::Short, "short_cal"}},
                  "501");

    for (const char* name : {"cal_dc_offset", "cal_open", "cal_short", "cal_load", "cal_thru",
                             "cal_thru_ph", "cal_thru_pwr"}) {
      std::filesystem::copy_file(app / "cal_data" / (std::string(name) + ".dat"),
                                 out / (std::string(name) + ".def"),
                                 std::filesystem::copy_options::overwrite_existing);
    }
    save_parameters(InstrumentSettings{}, out / "config.def");
  } catch (const std::exception& e) {
    std::cerr << "make_cal_data: " << e.what() << '\n';
    return 1;
  }
  std::filesystem::remove_all(app);
  std::cout << "factory files written to " << out << '\n';
  return 0;
}
