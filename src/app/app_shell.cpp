#include "app/app_shell.h"

#include <exception>
#include <system_error>

#include "app/analyser.h"
#include "app/calibration.h"
#include "app/firmware_upgrade.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "base/constants.h"
#include "base/measurement.h"
#include "base/settings_check.h"
#include "base/text_util.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sweep/sweep_engine.h"

namespace ostra {

// --- Splash window -----------------------------------------------------------

void AppShell::splash_FormCreate() {
  splash_ = SplashState{};
  app_.Host().SetTimer(TimerId::Splash, true, 500);
  on_splash_change.Emit();
}

void AppShell::Timer1Timer() {
  app_.Guard([&] {
    ++splash_.ticks;
    if (splash_.ticks >= 1 && splash_.ticks <= 6) {
      splash_.squares[static_cast<size_t>(splash_.ticks - 1)] = true;
    }
    on_splash_change.Emit();
    if (splash_.ticks == 7) {
      Platform& host = app_.Host();
      host.SetTimer(TimerId::Splash, false, 500);
      host.ShowWindow(WindowId::Splash, false);
      host.ShowWindow(WindowId::Main, true);
      host.SetTimer(TimerId::Startup, true, 10);
    }
  });
}

// --- Main window -------------------------------------------------------------

void AppShell::FormCreate() {
  startup_pending_ = true;
  settings_file_to_load_ = app_.CalDataDirectory() / kSettingsFile;
  app_.Host().MoveWindow(WindowId::Main, 100, 100);
}

void AppShell::startup_timerTimer() {
  app_.Guard([&] { StartupPass(); });
}

void AppShell::StartupPass() {
  app_.Markers().HideMarkerPanelLabels();
  app_.Host().SetTimer(TimerId::Startup, false, 10);
  app_.Chart().SetLabelVisible(LabelId::ave_en_lbl, false);
  // The averaging history is sized from loaded settings only (below, once
  // the settings file has been read), never from a recalled file's forerunner.
  if (!startup_pending_) {
    app_.Engine().SizeAverageHistory();
    return;
  }
  startup_pending_ = false;
  // A recall holds the instrument until its start-up pass is over.
  InstrumentOwner::Claim recall = std::move(recall_claim_);

  ResetForStartup();
  SetUpDataDirectory();
  app_.Log().WriteLog("Data directory set to " + app_.DataDirectory().string());

  std::error_code ec;
  if (!std::filesystem::is_directory(app_.CalDataDirectory(), ec)) {
    app_.Host().ShowMessage("Calibration directory is lost", MessageKind::Error);
    EndProgram(false);
    return;
  }
  RestoreFactoryFiles();
  std::filesystem::remove(app_.Log().FilePath(), ec);
  if (!app_directory_note_.empty()) app_.Log().WriteLog(app_directory_note_);
  if (!usb_driver_note_.empty()) app_.Log().WriteLog(usb_driver_note_);

  Load_parameters(app_.Settings(), settings_file_to_load_);
  CheckNumericSettings(app_.Settings(), app_.Log());
  app_.Engine().SizeAverageHistory();
  settings_loaded_ = true;
  ResetFrontPanel();
  ApplyLoadedSettings();
  if (!OpenInstrument()) return;

  app_.Display().UpdateDisplayLayout();
  if (!app_.Engine().ApplyReceiverSettings()) {
    app_.Log().WriteLog(app_.Link().UsbErrorMessage());
    EndProgram(true);
    return;
  }
  app_.Sweep().Restart();
}

void AppShell::ResetForStartup() {
  app_.Display().UseInsertionOrder();
  app_.Engine().ResetAverageCount();
  app_.Markers().ResetMarkersForStartup();
  app_.Engine().Calibration().ResetToStartupValues();
  app_.Display().ResetFormatScaling();
  counter_frequency_ = app_.Host().PerformanceFrequency();
  if (counter_frequency_ == 0)
    app_.Host().ShowMessage("Performance counter not supported by hardware");
  app_.Sweep().RequestStop();
}

void AppShell::SetUpDataDirectory() {
  std::filesystem::path base;
  if (auto documents = app_.Host().DocumentsFolder()) {
    base = *documents;
  } else {
#ifdef _WIN32
    base = "C:\\";
#else
    base = app_.AppDirectory();
#endif
  }
  const std::filesystem::path data = base / "Ostra data";
  app_.Log().SetDataDirectory(data);
  std::error_code ignored;
  if (!std::filesystem::exists(data, ignored)) std::filesystem::create_directory(data, ignored);
}

namespace {

// Copies `from` beside `to` and renames the copy over it, so that `to` is
// replaced whole (copy_file's own overwrite fails on Windows, where the
// standard library takes any two files of a drive for the same one). A
// failure is not reported and leaves `to` as it was.
void ReplaceWithCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::path temp = to;
  temp += ".tmp";
  std::error_code ignored;
  std::filesystem::remove(temp, ignored);
  if (std::filesystem::copy_file(from, temp, ignored)) std::filesystem::rename(temp, to, ignored);
  std::filesystem::remove(temp, ignored);
}

}  // namespace

void AppShell::RestoreFactoryFiles() {
  const std::filesystem::path dir = app_.CalDataDirectory();
  for (std::string_view name : kRestoredFiles) {
    const std::filesystem::path working = dir / (std::string(name) + ".dat");
    const std::filesystem::path factory = dir / (std::string(name) + ".def");
    std::error_code ec;
    const bool present = std::filesystem::exists(working, ec);
    const auto size = present ? std::filesystem::file_size(working, ec) : 0;
    // A calibration capture is written whole or not at all, so a short
    // calibration file is one captured with few points (about 25 bytes a
    // line) and is kept; only an empty one is restored.
    const uintmax_t minimum = name == "config" ? kMinimumWorkingFileBytes : 1;
    if (!present || ec || size < minimum) ReplaceWithCopy(factory, working);
  }
}

void AppShell::ResetFrontPanel() { app_.Keys().ResetForStartup(); }

void AppShell::ApplyLoadedSettings() {
  InstrumentSettings& settings = app_.Settings();
  app_.Display().ApplyFormatScalingToSettings();
  const bool transmission = ParseMode(settings.Mode()) == ModeKind::Transmission;
  settings.SetText(Setting::RxGain, transmission ? "24" : "39");
}

bool AppShell::OpenInstrument() {
  const std::string identity = app_.Link().OpenInstrument();
  if (identity == "NotOpen") {
    app_.Log().WriteLog("Ostra failed to open");
    app_.Host().ShowMessage(app_.Link().UsbErrorMessage(), MessageKind::Error);
    EndProgram(true);
    return false;
  }
  app_.Log().WriteLog(identity + " is open");
  info_.status = "Opened";
  info_.serial = identity;
  on_info_change.Emit();
  FillInfoPage();
  return true;
}

void AppShell::FillInfoPage() {
  InstrumentIdentity identity{};
  app_.Link().ReadIdentity(identity);
  info_.VNAserial = "Ostra" + std::to_string(identity[1]);
  std::string firmware = FormatHex(identity[2], 4);
  info_.FirmRev = firmware.substr(0, 2) + "." + firmware.substr(2);
  info_.HardRev = FormatHex(identity[3], 4);
  std::string date = FormatHex(identity[4], 6);
  info_.Date_id = date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4);
  on_info_change.Emit();
}

void AppShell::BeginSweepTimerTimer() {
  // A run still active, or a calibration between its captures (its prompts
  // process messages), holds the restart back: the timer stays enabled and
  // fires again once the run has returned or the procedure has ended.
  if (app_.Engine().RunActive() || app_.Cal().Running() || program_ended_) {
    // Held back: the timer ticks at its own interval, never at once.
    if (!program_ended_) app_.Sweep().Restart();
    return;
  }
  app_.Sweep().CancelRestart();
  // No sweep while the flash is being programmed.
  if (app_.Upgrade().InProgress()) return;
  app_.Guard([&] {
    app_.Engine().ProgramCurrentSweep();
    app_.Engine().RunSweepLoop(kNormalMode);
  });
}

void AppShell::RecallSettingsFile(const std::filesystem::path& file) {
  recall_claim_ = app_.Owner().Take(InstrumentUse::Recalling);
  // The run still suspended in its message processing ends where it stands
  // (its worker finishes first, while messages are processed); then the
  // instrument is closed, and the start-up pass is asked for.
  app_.Engine().CloseInstrument();
  settings_file_to_load_ = file;
  app_.Host().SetTimer(TimerId::Startup, true, 10);
  startup_pending_ = true;
}

// --- Shut-down ---------------------------------------------------------------

void AppShell::EndProgram(bool save_settings) {
  app_.Sweep().RequestStop();
  if (!program_ended_ && save_settings && settings_loaded_) {
    // The user's changes are kept however the program ends.
    app_.Guard([&] { save_parameters(app_.Settings(), app_.CalDataDirectory() / kSettingsFile); });
  }
  Finish();
}

void AppShell::Finish() {
  program_ended_ = true;
  app_.Engine().EndWithin(SweepEngine::kEndWaitMs);
  Platform& host = app_.Host();
  app_.Sweep().CancelRestart();
  host.SetTimer(TimerId::Startup, false, 10);
  host.ShowWindow(WindowId::Splash, false);
  host.Quit();
}

void AppShell::Shutdown(Ending ending) {
  if (program_ended_) return;
  if (closing_) {
    // The system asks while the user's close shows its failed save: the
    // program ends now (the box goes with the event loops).
    if (ending == Ending::System) Finish();
    return;
  }
  if (CloseAfterUpgrade(ending)) return;
  closing_ = true;
  InstrumentOwner::Claim claim = app_.Owner().Take(InstrumentUse::Closing);
  // A sweep that was running, not one already asked to stop (a refused
  // entry, a failed save) or a calibration's capture.
  const bool sweeping =
      app_.Engine().RunActive() && !app_.Sweep().StopRequested() && !app_.Cal().Running();
  app_.Sweep().Stop();
  if (!SaveOnClose(ending)) {
    // The handler is aborted and the program stays up, so the user can free
    // the disk or mend the folder and try again.
    closing_ = false;
    if (!program_ended_ && sweeping) app_.Sweep().Restart();
    return;
  }
  if (!program_ended_) Finish();
}

bool AppShell::CloseAfterUpgrade(Ending ending) {
  // An instrument whose flash is half written may not start again: the
  // upgrade runs to its end, and the program closes then.
  if (!app_.Owner().Holds(InstrumentUse::Upgrading)) return false;
  if (ending == Ending::User) {
    app_.Host().ShowMessage(
        "Exit is not possible while the firmware upgrade is running. The program closes when "
        "the upgrade has ended.");
  }
  if (!close_deferred_) {
    close_deferred_ = true;
    app_.Owner().WhenReleased(InstrumentUse::Upgrading, [this, ending] {
      close_deferred_ = false;
      Shutdown(ending);
    });
  }
  return true;
}

bool AppShell::SaveOnClose(Ending ending) {
  if (!settings_loaded_) return true;  // nothing of this run to keep: the file stays as it is
  try {
    save_parameters(app_.Settings(), app_.CalDataDirectory() / kSettingsFile);
    return true;
  } catch (const std::exception& e) {
    if (ending == Ending::User) {
      app_.Host().ShowMessage(e.what(), MessageKind::Error);
      return false;
    }
    try {
      app_.Log().WriteLog(std::string("Settings not saved at the end: ") + e.what());
    } catch (const std::exception&) {
      // The log cannot be written either; the ending goes on.
    }
    return true;
  }
}

void AppShell::Exit1Click() { Shutdown(Ending::User); }
void AppShell::FormClose() { Shutdown(Ending::User); }
void AppShell::CloseFromSystem() { Shutdown(Ending::System); }

// --- About window ------------------------------------------------------------------

void AppShell::About1Click() {
  if (!app_.Owner().Ask("About")) return;
  app_.Guard([&] {
    app_.Host().ShowWindow(WindowId::About, true);
    app_.Host().MoveWindow(WindowId::About, 180, 180);
    app_.Sweep().Stop();
    // A read in flight ends in the event loop, not on the link's lock: the
    // window stays responsive meanwhile.
    app_.Engine().AwaitAcquisition();
    InstrumentIdentity identity{};
    about_ = AboutPage{};
    about_.application_rev = std::string(kApplicationRevision);
    // Words that were never read are not shown.
    if (app_.Link().ReadIdentity(identity) == 200) {
      about_.serial_no = std::to_string(identity[1]);
      about_.firmware_rev =
          std::to_string(identity[2] >> 16) + "." + std::to_string(identity[2] & 0xFFFF);
      // The low byte is the revision letter; a board without one (0, or any
      // byte that is not a printable character) shows none.
      const auto letter = static_cast<unsigned char>(identity[3] & 0xFF);
      about_.hardware_rev = "Ostra" + FormatPadded(identity[3] >> 16, 2);
      if (letter > ' ' && letter < 0x7F) about_.hardware_rev += static_cast<char>(letter);
    }
    on_about_change.Emit();
    app_.Sweep().Restart();
  });
}

}  // namespace ostra
