#include "app/state_files.h"

#include <string>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/constants.h"
#include "base/errors.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "files/data_export.h"
#include "files/export_format.h"
#include "files/sweep_record.h"
#include "files/touchstone.h"
#include "sweep/sweep_engine.h"

namespace ostra {

namespace {

constexpr const char* kStateFilter = "Instrument states(*.sta)|*.sta";

FileDialogRequest Request(bool save, const char* title, const char* filter, const char* extension,
                          const char* name, const std::filesystem::path& folder) {
  FileDialogRequest request;
  request.save = save;
  request.title = title;
  request.filter = filter;
  request.default_extension = extension;
  request.file_name = name;
  request.initial_dir = folder;
  return request;
}

}  // namespace

// --- Dialogs ---------------------------------------------------------------------

FileDialogRequest StateFiles::SaveStateRequest() const {
  return Request(true, "Save instrument state", kStateFilter, "sta", "Sate1.sta",
                 app_.DataDirectory());
}

FileDialogRequest StateFiles::SaveDataRequest() const {
  // The Touchstone filter offers the extension of the last sweep's port
  // count first, and gives it to a name typed without one.
  const int ports = MeasuredPorts();
  const std::string filter = ExportFilter(ports);
  FileDialogRequest request =
      Request(true, "Save data", filter.c_str(), "csv", "data1.csv", app_.DataDirectory());
  request.filter_extensions = ExportFilterExtensions(ports);
  return request;
}

int StateFiles::MeasuredPorts() const {
  const SweepRecord* record = app_.Recorder().LastComplete();
  return record != nullptr ? TouchstonePorts(record->Conditions()) : 1;
}

FileDialogRequest StateFiles::RecallStateRequest() const {
  return Request(false, "Open instrument state", kStateFilter, "sta", "Sate1.sta",
                 app_.DataDirectory());
}

// --- Save State ------------------------------------------------------------------

void StateFiles::save_stateExecute() {
  if (!app_.Owner().Ask("Save State")) return;
  bool done = false;
  app_.Guard([&] {
    StopSweep();
    app_.Host().ProcessMessages();
    const auto file = app_.Host().RunFileDialog(SaveStateRequest());
    if (file && MayReplace(*file)) save_parameters(app_.Settings(), *file);
    done = true;
  });
  if (done) EndCommand();
}

// --- Save Data -------------------------------------------------------------------

void StateFiles::save_dataExecute() {
  // The Save Data key's inner bevel is raised while its dialog is open.
  if (!app_.Owner().Ask("Save Data")) return;
  const int key = app_.Panel().KeyCarrying(ActionId::save_data);
  bool done = false;
  app_.Guard([&] {
    StopSweep();
    if (key >= 0) app_.Panel().SetRaised(key, true);
    app_.Host().ProcessMessages();
    if (const auto choice = app_.Host().ChooseFile(SaveDataRequest())) {
      // The extension typed decides what is written; the filter, without one.
      const ExportTarget target = DecideExport(choice->path, choice->filter_index, MeasuredPorts());
      if (!target.note.empty()) app_.Log().WriteLog(target.note);
      if (target.kind == ExportKind::Touchstone) {
        SaveTouchstone(target.file);
      } else {
        SaveData(target.file);
      }
    }
    done = true;
  });
  if (key >= 0) app_.Panel().SetRaised(key, false);
  if (done) EndCommand();
}

void StateFiles::SaveData(const std::filesystem::path& file) {
  const std::filesystem::path picture = PictureFileName(file);
  // The data and its picture are replaced together or not at all.
  if (!MayReplace(file) || !MayReplace(picture)) return;
  WriteDataExport(app_.Chart(), file);
  // The dialog has gone and the window has been repainted.
  PumpDelay(100);
  if (app_.Shell().ProgramEnded()) return;
  if (!app_.Host().SaveWindowPicture(picture)) {
    throw IoError("Cannot create file \"" + picture.string() + "\".");
  }
}

void StateFiles::SaveTouchstone(const std::filesystem::path& file) {
  const SweepRecord* record = app_.Recorder().LastComplete();
  if (const auto why = TouchstoneRefusal(record)) {
    app_.Host().ShowMessage(*why);
    return;
  }
  if (!MayReplace(file)) return;
  TouchstoneHeader header;
  header.program = std::string(kApplicationTitle) + " " + std::string(kApplicationRevision);
  header.saved = app_.Host().LocalTime();
  WriteTouchstone(file, *record, header);
}

// --- Recall State ----------------------------------------------------------------

void StateFiles::recall_stateExecute() {
  if (!app_.Owner().Ask("Recall State")) return;
  bool recalled = false;
  app_.Guard([&] {
    StopSweep();
    const auto file = app_.Host().RunFileDialog(RecallStateRequest());
    if (!file) return;
    // Another command may have taken the instrument while the dialog was open.
    if (!app_.Owner().Ask("Recall State")) return;
    // The instrument is closed (the interrupted run ending first, showing
    // nothing more) and the start-up pass runs afresh.
    app_.Shell().RecallSettingsFile(*file);
    recalled = true;
  });
  // The start-up pass restarts the sweep after a recall.
  if (!recalled) EndCommand();
}

// --- Common steps ----------------------------------------------------------------

bool StateFiles::MayReplace(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return true;
  const std::string question =
      file.filename().string() + " already exists. Do you want to replace it?";
  return app_.Host().ShowMessage(question, MessageKind::Warning, MessageButtons::YesNo) ==
         MessageResult::Yes;
}

void StateFiles::StopSweep() {
  app_.Sweep().Stop();
  // A restart still pending (a key pressed just before) would start a run
  // inside this command's message processing and hold its dialog back for
  // as long as that run sweeps; the command restarts the sweep itself.
  app_.Sweep().CancelRestart();
}

// A command that reached its end (a file written, or the dialog cancelled)
// restarts the sweep; one that failed has been reported and leaves the sweep
// stopped until the next action that restarts it.
void StateFiles::EndCommand() {
  app_.Guard([&] {
    app_.Display().UpdateDisplayLayout();
    app_.Sweep().Restart();
  });
}

void StateFiles::PumpDelay(int ms) {
  Platform& host = app_.Host();
  const uint32_t start = host.TickCount();
  const uint32_t wait = ms > 0 ? static_cast<uint32_t>(ms) : 0;
  for (;;) {
    const uint32_t elapsed = host.TickCount() - start;
    if (elapsed >= wait || host.QuitRequested()) break;
    host.WaitForEvents(static_cast<int>(wait - elapsed));
  }
  host.ProcessMessages();
}

}  // namespace ostra
