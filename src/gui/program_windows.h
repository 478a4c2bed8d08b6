// The program's windows, created in the program's order (splash, main window,
// Sweep Parameters dialog, log window, About window), registered with the
// platform and wired to the Analyser: widget events go to its handler groups,
// its models' changes reach the widgets.
#pragma once

#include <QTimer>
#include <vector>

#include "app/analyser.h"
#include "base/signal.h"
#include "gui/about_form.h"
#include "gui/chart_view.h"
#include "gui/log_form.h"
#include "gui/main_form.h"
#include "gui/marker_panel.h"
#include "gui/options_form.h"
#include "gui/qt_platform.h"
#include "gui/splash_screen.h"

namespace ostra {

// How long a stopped sweep waits before the status bar says so: a restart
// follows a stop within a few milliseconds.
inline constexpr int kSweepStateSettleMs = 150;

class ProgramWindows {
 public:
  ProgramWindows(Analyser& analyser, QtPlatform& platform);
  // Unwires the models and the platform's timers before the windows go.
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  // Runs the main window's and the splash window's creation handlers and
  // shows the splash: the program is then started.
  void Start();

  Tsplash_screen& Splash() { return splash_; }
  TMainForm& MainForm() { return main_form_; }
  TOptionsForm& OptionsForm() { return options_form_; }
  TLogForm& LogForm() { return log_form_; }
  TAboutForm& AboutForm() { return about_form_; }
  ChartView& Chart() { return *chart_; }
  MarkerPanel& MarkerPanelWidget() { return *marker_panel_; }

 private:
  MainFormHandlers MakeMainFormHandlers();
  OptionsFormHandlers MakeOptionsFormHandlers();
  void ConnectModels();
  void ShowSoftKeys();
  void ShowPanel(PanelId id, bool visible, bool slide);
  void ConnectMarkerPanel();
  void ConnectMarkerMouseAndKeys();

  Analyser& analyser_;
  QtPlatform& platform_;
  Tsplash_screen splash_;
  TMainForm main_form_;
  TOptionsForm options_form_;
  TLogForm log_form_;
  TAboutForm about_form_;
  ChartView* chart_ = nullptr;
  // Shows "Stopped" once a stop has lasted kSweepStateSettleMs.
  QTimer sweep_state_timer_;
  MarkerPanel* marker_panel_ = nullptr;
  std::vector<ScopedConnection> connections_;
};

}  // namespace ostra
