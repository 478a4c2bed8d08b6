// The Analyser: owner of all program-wide state and home of every event
// handler. The Qt windows forward their events here; tests drive it through
// the Platform double with no window at all.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/app_log.h"
#include "app/instrument_settings.h"
#include "app/platform.h"
#include "device/device_link.h"
#include "device/transport.h"
#include "panel/front_panel.h"

namespace ostra {

class ChartModel;
class TraceDisplay;
class SweepEngine;

// The dialog's "Info" page.
struct InfoPage {
  std::string status = "Not Opened";
  std::string serial;
  std::string VNAserial;
  std::string FirmRev;
  std::string HardRev;
  std::string Date_id;
};

// The About window's value labels.
struct AboutPage {
  std::string serial_no;
  std::string application_rev;
  std::string hardware_rev;
  std::string firmware_rev;
};

// The splash window: tick counter and the eight progress squares.
struct SplashState {
  int ticks = 0;
  std::array<bool, 8> squares{};
};

class Analyser {
 public:
  Analyser(Platform& platform, Transport& transport, std::filesystem::path app_directory);
  ~Analyser();
  Analyser(const Analyser&) = delete;
  Analyser& operator=(const Analyser&) = delete;

  // --- Models the shell draws ---------------------------------------------
  InstrumentSettings& Settings() { return settings_; }
  AppLog& Log() { return log_; }
  DeviceLink& Link() { return link_; }
  ChartModel& Chart();
  TraceDisplay& Display();
  SweepEngine& Engine();
  const InfoPage& Info() const { return info_; }
  const AboutPage& About() const { return about_; }
  const SplashState& Splash() const { return splash_; }
  FrontPanel& Panel() { return panel_; }
  std::function<void()> on_info_change;
  std::function<void()> on_about_change;
  std::function<void()> on_splash_change;

  // --- Program-wide state ---------------------------------------------------
  const std::filesystem::path& AppDirectory() const { return app_directory_; }
  const std::filesystem::path& DataDirectory() const { return log_.DataDirectory(); }
  std::filesystem::path CalDataDirectory() const { return app_directory_ / "cal_data"; }
  const std::filesystem::path& SettingsFileToLoad() const { return settings_file_to_load_; }
  bool StartupPending() const { return startup_pending_; }
  bool SweepStopRequest() const { return sweep_stop_request_; }
  void SetSweepStopRequest(bool on) { sweep_stop_request_ = on; }
  int64_t CounterFrequency() const { return counter_frequency_; }

  // --- Handlers -------------------------------------------------------------
  // Splash window.
  void splash_FormCreate();
  void Timer1Timer();
  // Main window.
  void FormCreate();
  void startup_timerTimer();
  void BeginSweepTimerTimer();
  void OnTimer(TimerId id);
  void Exit1Click();
  void FormClose();
  void About1Click();
  void Log1Click();
  void sweep_param1Click();
  // Sweep Parameters dialog.
  void OptionsFormShow();
  void opt_ok_btnClick();
  void opt_cancel_btnClick();
  void info_ok_btnClick();
  void OptionsFormClose();
  // Display format and measurement mode actions.
  void LogMagExecute();
  void LinMagExecute();
  void PhaseExecute();
  void VSWRExecute();
  void SmithExecute();
  void show_phaseExecute();
  void TransmissionExecute();
  void ReflectionExecute();
  // A click on a chart point.
  void ChartPointClick(double x, double y);
  // A click on soft key `index` (0 for opt1_ptn): runs the action it carries.
  void SoftKeyClick(int index);

  // Makes `file` the settings file and runs the whole start-up pass again
  // with it at the next start-up timer tick (Recall State).
  void RecallSettingsFile(const std::filesystem::path& file);

  // Ends the program the way Exit does (used for SIGINT, SIGTERM, logout).
  void CloseFromSystem();

  // The handler boundary: runs `handler`, showing an input/output or
  // conversion error in the generic error box.
  void Guard(const std::function<void()>& handler);

  // Blocks the user-interface thread for `ms` without processing messages
  // (the waits before the instrument is used).
  void Wait20ms() { platform_.Sleep(20); }
  void EnableBeginSweepTimer();
  bool ProgramEnded() const { return program_ended_; }

 private:
  void StartupPass();
  void RestoreFactoryFiles();
  void SetUpDataDirectory();
  void FillInfoPage();
  void Shutdown();
  void EndProgram(bool save_settings);
  void CloseOptionsDialog();
  void SetMode(const std::string& mode);
  void SetFormat(const std::string& format, const std::string& log_line, bool clear_overlays);

  Platform& platform_;
  std::filesystem::path app_directory_;
  InstrumentSettings settings_;
  SettingsSnapshot snapshot_;
  bool options_ok_pressed_ = false;
  AppLog log_;
  DeviceLink link_;
  InfoPage info_;
  AboutPage about_;
  SplashState splash_;
  FrontPanel panel_;
  std::unique_ptr<ChartModel> chart_;
  std::unique_ptr<TraceDisplay> display_;
  std::unique_ptr<SweepEngine> engine_;
  bool options_open_ = false;
  bool closing_ = false;
  bool program_ended_ = false;
  std::filesystem::path settings_file_to_load_;
  bool startup_pending_ = false;
  bool sweep_stop_request_ = false;
  int64_t counter_frequency_ = 0;
};

}  // namespace ostra
