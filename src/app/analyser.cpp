#include "app/analyser.h"

#include <exception>

#include "app/app_shell.h"
#include "app/calibration.h"
#include "app/display_actions.h"
#include "app/firmware_upgrade.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "app/numeric_entry.h"
#include "app/options_dialog.h"
#include "app/state_files.h"
#include "display/chart_model.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "files/sweep_record.h"
#include "sweep/sweep_engine.h"

namespace ostra {

Analyser::Analyser(Platform& platform, Transport& transport, std::filesystem::path app_directory)
    : platform_(platform),
      app_directory_(std::move(app_directory)),
      log_(platform),
      link_(transport, platform),
      sweep_(platform),
      owner_(platform),
      markers_(std::make_unique<MarkerState>()),
      chart_(std::make_unique<ChartModel>()),
      display_(std::make_unique<TraceDisplay>(*chart_, settings_)),
      recorder_(std::make_unique<SweepRecorder>(*display_)) {
  engine_ = std::make_unique<SweepEngine>(platform_, link_, settings_, log_, *recorder_,
                                          CalDataDirectory(), sweep_);
  shell_ = std::make_unique<AppShell>(*this);
  dialog_ = std::make_unique<OptionsDialog>(*this);
  keys_ = std::make_unique<FrontPanelKeys>(*this);
  formats_ = std::make_unique<DisplayActions>(*this);
  marker_actions_ = std::make_unique<MarkerActions>(*this);
  upgrade_ = std::make_unique<FirmwareUpgrade>(*this);
  entry_ = std::make_unique<NumericEntry>(*this);
  cal_ = std::make_unique<Calibration>(*this);
  files_ = std::make_unique<StateFiles>(*this);
  engine_->on_fatal_error.Connect([this] { shell_->EndProgram(true); });
  engine_->on_cal_label.Connect(
      [this](const std::string& text) { chart_->SetLabelText(LabelId::cal_label, text); });
  engine_->on_cal_label.Connect(
      [this](const std::string& text) { recorder_->SetCalibrationDoubtful(text == "C?"); });
  engine_->on_run_state.Connect([this](bool running) { owner_.SetSweeping(running); });
  engine_->on_sweep_done.Connect(
      [this] { recorder_->EndSweep(engine_->Converter().Run(), settings_); });
}

Analyser::~Analyser() {
  // A worker still reading is allowed to finish before the buffers go.
  if (engine_) engine_->Shutdown();
}

void Analyser::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    platform_.ShowMessage(e.what(), MessageKind::Error);
  }
}

void Analyser::OnTimer(TimerId id) {
  switch (id) {
    case TimerId::Splash:
      shell_->Timer1Timer();
      break;
    case TimerId::Startup:
      shell_->startup_timerTimer();
      break;
    case TimerId::BeginSweep:
      shell_->BeginSweepTimerTimer();
      break;
  }
}

}  // namespace ostra
