// The application shell's handlers: the splash window's ticks, the main
// window's creation, the start-up pass, the begin-sweep timer, Exit and the
// main window's close, the About window, and the recall of a settings file.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "app/instrument_owner.h"
#include "base/signal.h"

namespace ostra {

class Analyser;

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

class AppShell {
 public:
  explicit AppShell(Analyser& app) : app_(app) {}

  // --- Handlers -------------------------------------------------------------
  // Splash window.
  void splash_FormCreate();
  void Timer1Timer();
  // Main window.
  void FormCreate();
  void startup_timerTimer();
  void BeginSweepTimerTimer();
  void Exit1Click();
  void FormClose();
  void About1Click();
  // Ends the program asked by the system (SIGINT, SIGTERM, logout): as Exit
  // does, except that a failed save is logged and the program ends anyway.
  void CloseFromSystem();
  // Makes `file` the settings file and runs the whole start-up pass again
  // with it at the next start-up timer tick (Recall State).
  void RecallSettingsFile(const std::filesystem::path& file);
  // The line that says which application folder the program uses; each
  // start-up pass logs it once the log file has been started afresh.
  void SetAppDirectoryNote(std::string line) { app_directory_note_ = std::move(line); }
  // Likewise the line that says which USB library was loaded and from where.
  void SetUsbDriverNote(std::string line) { usb_driver_note_ = std::move(line); }

  // --- State the windows show ---------------------------------------------------
  const InfoPage& Info() const { return info_; }
  const AboutPage& About() const { return about_; }
  const SplashState& Splash() const { return splash_; }
  Signal<> on_info_change;
  Signal<> on_about_change;
  Signal<> on_splash_change;

  const std::filesystem::path& SettingsFileToLoad() const { return settings_file_to_load_; }
  bool StartupPending() const { return startup_pending_; }
  int64_t CounterFrequency() const { return counter_frequency_; }
  bool ProgramEnded() const { return program_ended_; }
  // Ends the program: the sweep stops, the settings are saved when asked
  // (and only when they were loaded in this run), the timers stop and the
  // application quits. A worker stuck in the driver is waited for about one
  // read time-out, then left behind.
  void EndProgram(bool save_settings);
  // The settings in memory were loaded from a file in this run: before
  // that, they are the defaults, and no ending saves them over the file.
  bool SettingsLoaded() const { return settings_loaded_; }

 private:
  // The steps of the start-up pass.
  void StartupPass();
  void ResetForStartup();
  void SetUpDataDirectory();
  void RestoreFactoryFiles();
  void ResetFrontPanel();
  void ApplyLoadedSettings();
  bool OpenInstrument();
  void FillInfoPage();
  // Who asked the program to end: the user (Exit, the window's close) keeps
  // the program up when the save fails; the system does not wait for a user.
  enum class Ending { User, System };
  void Shutdown(Ending ending);
  // During the firmware upgrade the close is put off until it has ended
  // (the user is told); true when it was.
  bool CloseAfterUpgrade(Ending ending);
  bool SaveOnClose(Ending ending);
  void Finish();

  Analyser& app_;
  InfoPage info_;
  AboutPage about_;
  SplashState splash_;
  std::filesystem::path settings_file_to_load_;
  bool startup_pending_ = false;
  int64_t counter_frequency_ = 0;
  bool closing_ = false;
  bool close_deferred_ = false;
  InstrumentOwner::Claim recall_claim_;
  bool program_ended_ = false;
  bool settings_loaded_ = false;
  std::string app_directory_note_;
  std::string usb_driver_note_;
};

}  // namespace ostra
