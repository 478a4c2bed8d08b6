#include "app/calibration.h"

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/atomic_file.h"
#include "base/file_text.h"
#include "base/measurement.h"
#include "sweep/sweep_engine.h"

namespace ostra {

namespace {

// The program ended during the procedure (Exit, the window closed, a signal,
// a driver error): the steps left are skipped, so no capture is written for
// a standard nobody connected.
struct ProgramEndedDuringCalibration {};

// A capture run that ended without writing its file.
struct CaptureNotWritten {
  std::string standard;
};

// The standard a capture mode measures, as the prompts name it.
std::string StandardOf(std::string_view capture_mode) {
  if (capture_mode == "dc_offset_cal") return "DC offset";
  if (capture_mode == "load_cal") return "LOAD";
  if (capture_mode == "open_cal") return "OPEN";
  if (capture_mode == "short_cal") return "SHORT";
  return "THRU";
}

// Puts a file back as it was: its bytes, or no file.
void PutBack(const std::filesystem::path& file, const std::optional<std::string>& bytes) {
  std::error_code ec;
  if (!bytes) {
    std::filesystem::remove(file, ec);
    return;
  }
  if (std::filesystem::exists(file, ec) && ReadTextFile(file) == *bytes) return;
  AtomicFile out(file);
  out.Write(*bytes);
  out.Commit();
}

}  // namespace

void Calibration::CalExecute() {
  // Never while another command holds the instrument (the upgrade writing
  // its flash, a recall, this procedure itself).
  if (!app_.Owner().Ask("Cal")) return;
  InstrumentOwner::Claim claim = app_.Owner().Take(InstrumentUse::Calibrating);
  FrontPanel& panel = app_.Panel();
  // Whatever a step does, the procedure ends the same way: the device under
  // test may go back, the key's bevel goes (the release of the key follows
  // its click), and the sweep that the procedure stopped starts again.
  struct End {
    Calibration& cal;
    ~End() {
      cal.on_captures_done.Emit();
      cal.app_.Panel().SetRaised(0, false);
      cal.app_.Sweep().Restart();
    }
  } end{*this};

  panel.ResetKeyLights();
  panel.Light(0);
  panel.SetRaised(0, true);
  std::optional<CalFiles> before;
  bool finished = false;
  std::string failed_standard;
  app_.Guard([&] {
    before = ReadCalFiles();
    try {
      RunScript();
      finished = true;
    } catch (const ProgramEndedDuringCalibration&) {
    } catch (const CaptureNotWritten& failed) {
      failed_standard = failed.standard;
    }
  });
  if (!finished && before) KeepPreviousCalibration(*before, failed_standard);
}

Calibration::CalFiles Calibration::ReadCalFiles() const {
  CalFiles files;
  for (size_t i = 0; i < kCalFiles.size(); ++i) {
    const std::filesystem::path file = app_.CalDataDirectory() / kCalFiles[i].file_name;
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) files[i] = ReadTextFile(file);
  }
  return files;
}

void Calibration::KeepPreviousCalibration(const CalFiles& before,
                                          const std::string& failed_standard) {
  for (size_t i = 0; i < kCalFiles.size(); ++i) {
    app_.Guard([&] { PutBack(app_.CalDataDirectory() / kCalFiles[i].file_name, before[i]); });
  }
  app_.Guard([&] { Log("Calibration not completed: the previous calibration is kept"); });
  if (app_.Shell().ProgramEnded()) return;
  app_.Guard([&] {
    app_.Engine().Calibration().LoadCalTables(app_.CalDataDirectory(), app_.Host(), app_.Log());
  });
  if (failed_standard.empty()) return;
  app_.Host().ShowMessage("The " + failed_standard +
                              " capture did not complete. The calibration was not completed; "
                              "the previous calibration is kept.",
                          MessageKind::Warning);
}

bool Calibration::Running() const { return app_.Owner().Holds(InstrumentUse::Calibrating); }

void Calibration::SkipTheRestIfTheProgramEnded() const {
  if (app_.Shell().ProgramEnded()) throw ProgramEndedDuringCalibration{};
}

void Calibration::RunScript() {
  // The running normal loop ends after its current sweep.
  app_.Sweep().Stop();
  switch (ParseSweepType(app_.Settings().SweepType())) {
    case SweepKind::Frequency:
      if (ParseMode(app_.Settings().Mode()) == ModeKind::Reflection) {
        FrequencyReflection();
      } else {
        FrequencyTransmission();
      }
      break;
    case SweepKind::Phase:
      ThruOfOtherSweep("Performing calibration for PHASE sweep", "thru_ph_cal");
      break;
    case SweepKind::Power:
      ThruOfOtherSweep("Performing calibration for POWER sweep", "thru_pwr_cal");
      break;
    case SweepKind::Other:
      break;  // nothing to capture
  }
  app_.Engine().Calibration().LoadCalTables(app_.CalDataDirectory(), app_.Host(), app_.Log());
}

// The LOAD stays connected from the DC-offset capture through the LOAD
// capture: three prompts in all.
void Calibration::FrequencyReflection() {
  app_.Host().SetStatusText("User calibration");
  Log("Performing SOL calibration");
  Log("Performing DC offset calibration");
  Prompt("Connect Standard LOAD and click OK");
  SetRxGainToZero();
  ClearStopRequest();
  Capture("dc_offset_cal");
  ProgramCurrentSweep();
  Capture("load_cal");
  Prompt("Connect Standard OPEN and click OK");
  ProgramCurrentSweep();
  Capture("open_cal");
  Prompt("Connect Standard SHORT and click OK");
  ProgramCurrentSweep();
  Capture("short_cal");
}

// The offsets are shared by every mode: they are captured with RF IN
// terminated, so they are the receiver's own and not the device's.
void Calibration::FrequencyTransmission() {
  Log("Performing DC offset calibration");
  Prompt("Terminate RF IN port on 50ohms load and click OK");
  ClearStopRequest();
  SetRxGainToZero();
  Capture("dc_offset_cal");
  Log("Performing THRU calibration");
  Prompt("Connect THRU adaptor/cable and click OK");
  ProgramCurrentSweep();
  Capture("thru_cal");
}

void Calibration::ThruOfOtherSweep(const char* log_line, const char* capture_mode) {
  Log("Performing DC offset calibration");
  Prompt("Terminate RF IN port on 50ohms load and click OK");
  SetRxGainToZero();
  ClearStopRequest();
  Capture("dc_offset_cal");
  Log(log_line);
  Prompt("Connect THRU adaptor/cable and click OK");
  ProgramCurrentSweep();
  Capture(capture_mode);
}

void Calibration::Prompt(const std::string& text) {
  SkipTheRestIfTheProgramEnded();
  app_.Host().ShowMessage(text, MessageKind::Information, MessageButtons::Acknowledge);
  // A box closed by the program's end was not answered.
  SkipTheRestIfTheProgramEnded();
  on_prompt_answered.Emit(text);
}

void Calibration::Log(const std::string& text) { app_.Log().WriteLog(text); }

// The DC offset is captured on the sweep programming in force, with the
// receiver gain at code 0; the next programming sets the gain of the settings.
void Calibration::SetRxGainToZero() {
  SkipTheRestIfTheProgramEnded();
  app_.Link().SetRxGain(0);
}

void Calibration::ClearStopRequest() { app_.Sweep().ClearStop(); }

// Programs the sweep again, which loads the DC offsets just captured.
void Calibration::ProgramCurrentSweep() {
  SkipTheRestIfTheProgramEnded();
  app_.Engine().ProgramCurrentSweep();
}

// One capture run: one sweep, written to the mode's file when it completes.
// Asked for from a key press inside the running normal loop, it takes the
// loop over.
void Calibration::Capture(const char* capture_mode) {
  SkipTheRestIfTheProgramEnded();
  const uint64_t written = app_.Engine().CapturesWritten();
  app_.Engine().RunSweepLoop(capture_mode);
  SkipTheRestIfTheProgramEnded();
  // A capture that did not complete ends the calibration: the next standard
  // would be measured against a calibration that is not whole.
  if (app_.Engine().CapturesWritten() == written) throw CaptureNotWritten{StandardOf(capture_mode)};
}

}  // namespace ostra
