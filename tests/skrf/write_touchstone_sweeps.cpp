// Runs the program on the simulated instrument, calibrates it as the
// calibration procedure does, and saves the Touchstone files of a reflection
// sweep of the series RLC (one port) and of a transmission sweep of the
// band-pass filter (two ports) into the folder named by the first argument,
// through Save Data with the Touchstone filter chosen, with the number of
// points given as the second argument (201 when there is none). Beside each
// it writes the program's corrected points and the device's true response:
// reflection.txt / transmission.txt, one point per line: frequency in hertz,
// the corrected value's real and imaginary parts (from the trace arrays),
// the true value's real and imaginary parts at the frequency the point is
// labelled with, which is the one the file gives it.
#include <cstdio>
#include <functional>
#include <string>

#include "display/trace_display.h"
#include "sim/detector_model.h"
#include "support/files_rig.h"

namespace {

using ostra::Dut;
using ostra::testing::FilesRig;

// Runs the loop of one capture, or of normal sweeps until one has been shown.
void Run(FilesRig& rig, const char* mode) {
  rig.analyser->Engine().ProgramCurrentSweep();
  rig.analyser->SetSweepStopRequest(false);
  rig.analyser->Engine().RunSweepLoop(mode);
}

void Capture(FilesRig& rig, Dut dut, const char* mode) {
  rig.sim.SetDut(dut);
  Run(rig, mode);
}

// The DC offset is captured with RF IN terminated, at receiver gain code 0.
void CaptureDcOffset(FilesRig& rig) {
  rig.sim.SetDut(Dut::Load);
  rig.analyser->Engine().ProgramCurrentSweep();
  rig.analyser->Link().SetRxGain(0);
  rig.analyser->SetSweepStopRequest(false);
  rig.analyser->Engine().RunSweepLoop("dc_offset_cal");
}

bool WriteReference(FilesRig& rig, const std::string& path, bool reflection, Dut dut) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  const ostra::TraceDisplay& d = rig.analyser->Display();
  const int points = rig.analyser->Settings().Int(ostra::Setting::Points);
  for (int i = 0; i < points; ++i) {
    const auto k = static_cast<size_t>(i);
    const auto value = reflection ? std::polar(d.ReflMag()[k], d.ReflPhase()[k])
                                  : std::polar(d.TransMag()[k], d.TransPhase()[k]);
    const double hz = d.TraceX()[k];
    const auto truth =
        reflection ? ostra::TrueReflection(dut, hz) : ostra::TrueTransmission(dut, hz);
    std::fprintf(out, "%.17g %.17g %.17g %.17g %.17g\n", d.TraceX()[k], value.real(), value.imag(),
                 truth.real(), truth.imag());
  }
  return std::fclose(out) == 0;
}

void SaveTouchstone(FilesRig& rig, const std::filesystem::path& file) {
  rig.platform.file_dialog_answers.push_back(file);
  rig.platform.file_dialog_filters.push_back(ostra::StateFiles::kTouchstoneFilter);
  rig.analyser->Files().save_dataExecute();
  rig.platform.SetTimer(ostra::TimerId::BeginSweep, false, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <output folder> [points]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = std::filesystem::absolute(argv[1]);
  FilesRig rig;
  if (argc == 3) rig.analyser->Settings().SetText(ostra::Setting::Points, argv[2]);
  rig.platform.SetTimer(ostra::TimerId::BeginSweep, false, 1);
  rig.analyser->Engine().on_sweep_done.Connect([&] { rig.analyser->SetSweepStopRequest(true); });

  CaptureDcOffset(rig);
  Capture(rig, Dut::Load, "load_cal");
  Capture(rig, Dut::Open, "open_cal");
  Capture(rig, Dut::Short, "short_cal");
  Capture(rig, Dut::SeriesRlc, "normal");
  SaveTouchstone(rig, dir / "reflection");
  if (!WriteReference(rig, (dir / "reflection.txt").string(), true, Dut::SeriesRlc)) return 1;

  rig.analyser->Formats().TransmissionExecute();
  rig.platform.SetTimer(ostra::TimerId::BeginSweep, false, 1);
  rig.analyser->Engine().ApplyReceiverSettings();
  CaptureDcOffset(rig);
  Capture(rig, Dut::Thru, "thru_cal");
  Capture(rig, Dut::BandPass, "normal");
  SaveTouchstone(rig, dir / "transmission");
  if (!WriteReference(rig, (dir / "transmission.txt").string(), false, Dut::BandPass)) return 1;

  for (const auto& text : rig.platform.MessageTexts())
    std::fprintf(stderr, "message: %s\n", text.c_str());
  if (rig.analyser->Chart().Label(ostra::LabelId::cal_label).text != "C") {
    std::fprintf(stderr, "the calibration does not belong to the sweep\n");
    return 1;
  }
  return rig.platform.MessageTexts().empty() ? 0 : 1;
}
