#include "app/analyser.h"

#include <exception>
#include <system_error>

#include "app/errors.h"
#include "app/text_util.h"
#include "display/chart_model.h"
#include "display/trace_display.h"
#include "sweep/sweep_engine.h"

namespace ostra {

namespace {

constexpr const char* kUsbError = "USB Communication error detected! Error String: ";

// Working files of cal_data restored from their factory copies at start-up.
constexpr const char* kRestoredFiles[] = {
    "config",   "cal_dc_offset", "cal_open",    "cal_short",
    "cal_load", "cal_thru",      "cal_thru_ph", "cal_thru_pwr",
};

}  // namespace

Analyser::Analyser(Platform& platform, Transport& transport, std::filesystem::path app_directory)
    : platform_(platform),
      app_directory_(std::move(app_directory)),
      log_(platform),
      link_(transport, platform),
      chart_(std::make_unique<ChartModel>()),
      display_(std::make_unique<TraceDisplay>(*chart_, settings_)) {
  engine_ = std::make_unique<SweepEngine>(platform_, link_, settings_, log_, *display_,
                                          CalDataDirectory(), sweep_stop_request_);
  engine_->set_cal_label = [this](const std::string& text) {
    chart_->SetLabelText(LabelId::cal_label, text);
  };
  engine_->on_fatal_error = [this] { EndProgram(true); };
}

Analyser::~Analyser() {
  // A worker still reading is allowed to finish before the buffers go.
  if (engine_) engine_->Shutdown();
}

ChartModel& Analyser::Chart() { return *chart_; }
TraceDisplay& Analyser::Display() { return *display_; }
SweepEngine& Analyser::Engine() { return *engine_; }

void Analyser::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    platform_.ShowMessage(e.what(), MessageKind::Error);
  }
}

void Analyser::EnableBeginSweepTimer() { platform_.SetTimer(TimerId::BeginSweep, true, 1); }

// --- Splash window -----------------------------------------------------------

void Analyser::splash_FormCreate() {
  splash_ = SplashState{};
  platform_.SetTimer(TimerId::Splash, true, 500);
  if (on_splash_change) on_splash_change();
}

void Analyser::Timer1Timer() {
  Guard([&] {
    ++splash_.ticks;
    if (splash_.ticks >= 1 && splash_.ticks <= 6) {
      splash_.squares[static_cast<size_t>(splash_.ticks - 1)] = true;
    }
    if (on_splash_change) on_splash_change();
    if (splash_.ticks == 7) {
      platform_.SetTimer(TimerId::Splash, false, 500);
      platform_.ShowWindow(WindowId::Splash, false);
      platform_.ShowWindow(WindowId::Main, true);
      platform_.SetTimer(TimerId::Startup, true, 10);
    }
  });
}

// --- Main window -------------------------------------------------------------

void Analyser::FormCreate() {
  startup_pending_ = true;
  settings_file_to_load_ = CalDataDirectory() / "config.dat";
  platform_.MoveWindow(WindowId::Main, 100, 100);
}

void Analyser::OnTimer(TimerId id) {
  switch (id) {
    case TimerId::Splash:
      Timer1Timer();
      break;
    case TimerId::Startup:
      startup_timerTimer();
      break;
    case TimerId::BeginSweep:
      BeginSweepTimerTimer();
      break;
  }
}

void Analyser::startup_timerTimer() {
  Guard([&] { StartupPass(); });
}

void Analyser::SetUpDataDirectory() {
  std::filesystem::path base;
  if (auto documents = platform_.DocumentsFolder()) {
    base = *documents;
  } else {
#ifdef _WIN32
    base = "C:\\";
#else
    base = app_directory_;
#endif
  }
  const std::filesystem::path data = base / "Ostra data";
  log_.SetDataDirectory(data);
  std::error_code ignored;
  if (!std::filesystem::exists(data, ignored)) std::filesystem::create_directory(data, ignored);
}

void Analyser::RestoreFactoryFiles() {
  const std::filesystem::path dir = CalDataDirectory();
  for (const char* name : kRestoredFiles) {
    const std::filesystem::path working = dir / (std::string(name) + ".dat");
    const std::filesystem::path factory = dir / (std::string(name) + ".def");
    std::error_code ec;
    const bool present = std::filesystem::exists(working, ec);
    const auto size = present ? std::filesystem::file_size(working, ec) : 0;
    if (!present || ec || size < 100) {
      std::error_code ignored;  // a failed copy is not reported
      std::filesystem::copy_file(factory, working,
                                 std::filesystem::copy_options::overwrite_existing, ignored);
    }
  }
}

void Analyser::FillInfoPage() {
  InstrumentIdentity identity{};
  link_.ReadIdentity(identity);
  info_.VNAserial = "Ostra" + std::to_string(identity[1]);
  std::string firmware = FormatHex(identity[2], 4);
  info_.FirmRev = firmware.substr(0, 2) + "." + firmware.substr(2);
  info_.HardRev = FormatHex(identity[3], 4);
  std::string date = FormatHex(identity[4], 6);
  info_.Date_id = date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4);
  if (on_info_change) on_info_change();
}

void Analyser::StartupPass() {
  // Marker panel labels hidden (the marker panel is not built yet).
  platform_.SetTimer(TimerId::Startup, false, 10);
  engine_->SizeAverageHistory();
  chart_->SetLabelVisible(LabelId::ave_en_lbl, false);
  if (!startup_pending_) return;
  startup_pending_ = false;

  display_->UseInsertionOrder();
  engine_->ResetAverageCount();
  engine_->Calibration().ResetToStartupValues();
  display_->ResetFormatScaling();

  counter_frequency_ = platform_.PerformanceFrequency();
  if (counter_frequency_ == 0)
    platform_.ShowMessage("Performance counter not supported by hardware");
  sweep_stop_request_ = true;

  SetUpDataDirectory();
  log_.WriteLog("Data directory set to " + log_.DataDirectory().string());

  std::error_code ec;
  if (!std::filesystem::is_directory(CalDataDirectory(), ec)) {
    platform_.ShowMessage("Calibration directory is lost", MessageKind::Error);
    EndProgram(false);
    return;
  }
  RestoreFactoryFiles();
  std::filesystem::remove(log_.FilePath(), ec);

  Load_parameters(settings_, settings_file_to_load_);

  panel_.Assign(0, "Transmission", "Transmission");
  panel_.Assign(1, "Reflection", "Reflection");
  for (int i = 2; i < FrontPanel::kSoftKeys; ++i) panel_.SetVisible(i, false);

  display_->ApplyFormatScalingToSettings();
  settings_.SetText(Setting::RxGain, settings_.Mode() == "Transmission" ? "24" : "39");

  const std::string identity = link_.OpenInstrument();
  if (identity == "NotOpen") {
    log_.WriteLog("Ostra failed to open");
    platform_.ShowMessage(kUsbError + DeviceLink::DriverStatusText(link_.LastDriverStatus()),
                          MessageKind::Error);
    EndProgram(true);
    return;
  }
  log_.WriteLog(identity + " is open");
  info_.status = "Opened";
  info_.serial = identity;
  if (on_info_change) on_info_change();
  FillInfoPage();

  display_->UpdateDisplayLayout();
  if (!engine_->ApplyReceiverSettings()) {
    log_.WriteLog(kUsbError + DeviceLink::DriverStatusText(link_.LastDriverStatus()));
    EndProgram(true);
    return;
  }
  EnableBeginSweepTimer();
}

void Analyser::BeginSweepTimerTimer() {
  // A run still active holds the restart back: the timer stays enabled and
  // fires again once the run has returned.
  if (engine_->RunActive() || program_ended_) return;
  platform_.SetTimer(TimerId::BeginSweep, false, 1);
  Guard([&] {
    engine_->ProgramCurrentSweep();
    engine_->RunSweepLoop("normal");
  });
}

void Analyser::RecallSettingsFile(const std::filesystem::path& file) {
  settings_file_to_load_ = file;
  platform_.SetTimer(TimerId::Startup, true, 10);
  link_.CloseInstrument();
  startup_pending_ = true;
}

// --- Shut-down ---------------------------------------------------------------

void Analyser::EndProgram(bool save_settings) {
  sweep_stop_request_ = true;
  if (!program_ended_ && save_settings) {
    // The user's changes are kept however the program ends.
    Guard([&] { save_parameters(settings_, CalDataDirectory() / "config.dat"); });
  }
  program_ended_ = true;
  platform_.SetTimer(TimerId::BeginSweep, false, 1);
  platform_.SetTimer(TimerId::Startup, false, 10);
  platform_.ShowWindow(WindowId::Splash, false);
  platform_.Quit();
}

void Analyser::Shutdown() {
  if (closing_ || program_ended_) return;
  closing_ = true;
  sweep_stop_request_ = true;
  Wait20ms();
  EndProgram(true);
}

void Analyser::Exit1Click() { Shutdown(); }
void Analyser::FormClose() { Shutdown(); }
void Analyser::CloseFromSystem() { Shutdown(); }

// --- About and log windows -----------------------------------------------------

void Analyser::About1Click() {
  Guard([&] {
    platform_.ShowWindow(WindowId::About, true);
    platform_.MoveWindow(WindowId::About, 180, 180);
    sweep_stop_request_ = true;
    Wait20ms();
    InstrumentIdentity identity{};
    if (link_.ReadIdentity(identity) == 200) {
      about_.serial_no = std::to_string(identity[1]);
      about_.application_rev = "1.2";
      about_.firmware_rev =
          std::to_string(identity[2] >> 16) + "." + std::to_string(identity[2] & 0xFFFF);
      about_.hardware_rev = "Ostra" + FormatPadded(identity[3] >> 16, 2) +
                            std::string(1, static_cast<char>(identity[3] & 0xFF));
    } else {
      // Words that were never read are not shown.
      about_ = AboutPage{};
      about_.application_rev = "1.2";
    }
    if (on_about_change) on_about_change();
    EnableBeginSweepTimer();
  });
}

void Analyser::Log1Click() { platform_.ShowWindow(WindowId::Log, true); }

void Analyser::sweep_param1Click() { platform_.ShowWindow(WindowId::SweepParameters, true); }

// --- Sweep Parameters dialog ---------------------------------------------------

void Analyser::OptionsFormShow() {
  if (options_open_) return;
  options_open_ = true;
  sweep_stop_request_ = true;
  Wait20ms();
  options_ok_pressed_ = false;
  snapshot_.Take(settings_);
}

void Analyser::CloseOptionsDialog() {
  platform_.ShowWindow(WindowId::SweepParameters, false);
  OptionsFormClose();
}

void Analyser::opt_ok_btnClick() {
  Guard([&] {
    options_ok_pressed_ = true;
    save_parameters(settings_, CalDataDirectory() / "config.dat");
    CloseOptionsDialog();
  });
}

void Analyser::opt_cancel_btnClick() { CloseOptionsDialog(); }

void Analyser::info_ok_btnClick() { CloseOptionsDialog(); }

void Analyser::OptionsFormClose() {
  if (!options_open_) return;
  options_open_ = false;
  if (!options_ok_pressed_) snapshot_.Restore(settings_);
  EnableBeginSweepTimer();
  Guard([&] { display_->UpdateDisplayLayout(); });
}

// --- Display format and measurement mode ------------------------------------------

void Analyser::SetFormat(const std::string& format, const std::string& log_line,
                         bool clear_overlays) {
  Guard([&] {
    if (clear_overlays) display_->ClearSmithOverlays();
    settings_.SetText(Setting::Format, format);
    display_->UpdateDisplayLayout();
    log_.WriteLog(log_line);
  });
}

void Analyser::LogMagExecute() { SetFormat("Log", "Display format is Log magnitude", true); }
void Analyser::LinMagExecute() { SetFormat("Lin", "Display format is Lin", true); }
void Analyser::PhaseExecute() { SetFormat("Phase", "Display format is Phase", true); }
void Analyser::VSWRExecute() { SetFormat("VSWR", "Display format is VSWR", true); }
void Analyser::SmithExecute() { SetFormat("Smith", "Display format is Smith Chart", false); }

void Analyser::show_phaseExecute() {
  Guard([&] {
    display_->ShowPhaseOverlay();
    log_.WriteLog("Phase display added.");
  });
}

void Analyser::SetMode(const std::string& mode) {
  Guard([&] {
    sweep_stop_request_ = true;
    Wait20ms();
    settings_.SetText(Setting::Mode, mode);
    platform_.SetStatusText("Measurement mode is " + mode);
    settings_.SetText(Setting::Format, "Log");
    display_->UpdateDisplayLayout();
    settings_.SetText(Setting::RxGain, mode == "Transmission" ? "24" : "39");
    EnableBeginSweepTimer();
  });
}

void Analyser::TransmissionExecute() { SetMode("Transmission"); }
void Analyser::ReflectionExecute() { SetMode("Reflection"); }

void Analyser::ChartPointClick(double x, double y) {
  platform_.SetStatusText(ChartClickText(x, y));
}

void Analyser::SoftKeyClick(int index) {
  if (index < 0 || index >= FrontPanel::kSoftKeys) return;
  const SoftKey& key = panel_.Key(index);
  if (!key.visible) return;
  const std::string action = key.action;
  panel_.ResetKeyLights();
  panel_.Light(index);
  if (action == "Transmission") TransmissionExecute();
  if (action == "Reflection") ReflectionExecute();
}

}  // namespace ostra
