#include "app/calibration.h"

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/measurement.h"
#include "sweep/sweep_engine.h"

namespace ostra {

namespace {

// The program ended during the procedure (Exit, the window closed, a signal,
// a driver error): the steps left are skipped, so no capture is written for
// a standard nobody connected.
struct ProgramEndedDuringCalibration {};

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
  app_.Guard([&] {
    try {
      RunScript();
    } catch (const ProgramEndedDuringCalibration&) {
    }
  });
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
  app_.Host().ShowMessage(text, MessageKind::Information, MessageButtons::Ok);
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
  app_.Engine().RunSweepLoop(capture_mode);
}

}  // namespace ostra
