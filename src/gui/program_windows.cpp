#include "gui/program_windows.h"

#include "display/chart_model.h"
#include "panel/front_panel.h"

namespace ostra {

ProgramWindows::ProgramWindows(Analyser& analyser, QtPlatform& platform)
    : analyser_(analyser),
      platform_(platform),
      main_form_(MakeMainFormHandlers()),
      options_form_(analyser.Settings(), MakeOptionsFormHandlers()) {
  platform_.timer_handler = [this](TimerId id) { analyser_.Guard([&] { analyser_.OnTimer(id); }); };

  // Closing the splash window, the application's first, ends the program.
  splash_.on_close = [this] { platform_.Quit(); };
  platform_.RegisterWindow(WindowId::Splash, &splash_);

  chart_ = new ChartView(analyser_.Chart());
  chart_->on_point_click = [this](double x, double y) {
    analyser_.Guard([&] { analyser_.ChartPointClick(x, y); });
  };
  main_form_.SetChartWidget(chart_);
  platform_.RegisterWindow(WindowId::Main, &main_form_);
  platform_.RegisterWindow(WindowId::SweepParameters, &options_form_);
  platform_.RegisterWindow(WindowId::Log, &log_form_);
  platform_.RegisterWindow(WindowId::About, &about_form_);

  // The models tell the windows what changed; the widgets repaint once per
  // turn of the event loop (Qt merges the update requests).
  analyser_.Settings().on_change = [this](Setting s) { options_form_.ShowSetting(s); };
  analyser_.Log().on_line = [this](const std::string& line) { log_form_.AppendLine(line); };
  analyser_.on_info_change = [this] { options_form_.ShowInfo(analyser_.Info()); };
  analyser_.on_about_change = [this] { about_form_.ShowAbout(analyser_.About()); };
  analyser_.on_splash_change = [this] { splash_.ShowSplash(analyser_.Splash()); };
  analyser_.Chart().on_change = [this] { chart_->ModelChanged(); };
  analyser_.Panel().on_change = [this] { ShowSoftKeys(); };

  log_form_.AppendLines(analyser_.Log().WindowLines());
  options_form_.ShowAllSettings();
  options_form_.ShowInfo(analyser_.Info());
  about_form_.ShowAbout(analyser_.About());
  splash_.ShowSplash(analyser_.Splash());
  ShowSoftKeys();
}

ProgramWindows::~ProgramWindows() {
  platform_.timer_handler = nullptr;
  analyser_.Settings().on_change = nullptr;
  analyser_.Log().on_line = nullptr;
  analyser_.on_info_change = nullptr;
  analyser_.on_about_change = nullptr;
  analyser_.on_splash_change = nullptr;
  analyser_.Chart().on_change = nullptr;
  analyser_.Panel().on_change = nullptr;
  for (auto id : {WindowId::Splash, WindowId::Main, WindowId::SweepParameters, WindowId::Log,
                  WindowId::About}) {
    platform_.RegisterWindow(id, nullptr);
  }
}

void ProgramWindows::Start() {
  // Creating the main window runs its FormCreate; the splash starts ticking.
  Guarded (&Analyser::FormCreate)();
  Guarded (&Analyser::splash_FormCreate)();
  splash_.show();
}

std::function<void()> ProgramWindows::Guarded(void (Analyser::*handler)()) {
  return [this, handler] { analyser_.Guard([&] { (analyser_.*handler)(); }); };
}

MainFormHandlers ProgramWindows::MakeMainFormHandlers() {
  MainFormHandlers h;
  h.Exit1Click = Guarded(&Analyser::Exit1Click);
  h.sweep_param1Click = Guarded(&Analyser::sweep_param1Click);
  h.Log1Click = Guarded(&Analyser::Log1Click);
  h.About1Click = Guarded(&Analyser::About1Click);
  h.FormClose = Guarded(&Analyser::FormClose);
  h.EndingProgram = [this] { return platform_.QuitRequested(); };
  h.LogMagExecute = Guarded(&Analyser::LogMagExecute);
  h.LinMagExecute = Guarded(&Analyser::LinMagExecute);
  h.PhaseExecute = Guarded(&Analyser::PhaseExecute);
  h.VSWRExecute = Guarded(&Analyser::VSWRExecute);
  h.SmithExecute = Guarded(&Analyser::SmithExecute);
  h.show_phaseExecute = Guarded(&Analyser::show_phaseExecute);
  h.TransmissionExecute = Guarded(&Analyser::TransmissionExecute);
  h.ReflectionExecute = Guarded(&Analyser::ReflectionExecute);
  h.SoftKeyClick = [this](int number) {
    analyser_.Guard([&] { analyser_.SoftKeyClick(number - 1); });
  };
  return h;
}

OptionsFormHandlers ProgramWindows::MakeOptionsFormHandlers() {
  OptionsFormHandlers h;
  h.FormShow = Guarded(&Analyser::OptionsFormShow);
  h.FormClose = Guarded(&Analyser::OptionsFormClose);
  h.opt_ok_btnClick = Guarded(&Analyser::opt_ok_btnClick);
  h.opt_cancel_btnClick = Guarded(&Analyser::opt_cancel_btnClick);
  h.info_ok_btnClick = Guarded(&Analyser::info_ok_btnClick);
  return h;
}

void ProgramWindows::ShowSoftKeys() {
  for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
    const SoftKey& key = analyser_.Panel().Key(i);
    main_form_.SetSoftKey(i + 1, QString::fromStdString(key.caption), key.visible, key.lit);
  }
}

}  // namespace ostra
