#include "gui/program_windows.h"

#include <QShortcut>

#include "app/app_shell.h"
#include "app/display_actions.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "app/numeric_entry.h"
#include "app/options_dialog.h"
#include "display/chart_model.h"
#include "display/markers.h"
#include "gui/key_tips.h"
#include "panel/front_panel.h"
#include "sweep/sweep_engine.h"

namespace ostra {

ProgramWindows::ProgramWindows(Analyser& analyser, QtPlatform& platform)
    : analyser_(analyser),
      platform_(platform),
      main_form_(MakeMainFormHandlers()),
      options_form_(analyser.Settings(), MakeOptionsFormHandlers()) {
  platform_.timer_handler = [this](TimerId id) { analyser_.Guard([&] { analyser_.OnTimer(id); }); };
  platform_.panel_handler = [this](PanelId id, bool visible, bool slide) {
    ShowPanel(id, visible, slide);
  };

  // Closing the splash window, the application's first, ends the program.
  splash_.on_close = [this] { platform_.Quit(); };
  platform_.RegisterWindow(WindowId::Splash, &splash_);

  chart_ = new ChartView(analyser_.Chart());
  chart_->on_point_click = [this](double x, double y) {
    analyser_.Guard([&] { analyser_.Formats().ChartPointClick(x, y); });
  };
  main_form_.SetChartWidget(chart_);
  marker_panel_ = new MarkerPanel(main_form_.FrontPanel());
  platform_.RegisterWindow(WindowId::Main, &main_form_);
  platform_.RegisterWindow(WindowId::SweepParameters, &options_form_);
  platform_.RegisterWindow(WindowId::Log, &log_form_);
  platform_.RegisterWindow(WindowId::About, &about_form_);

  ConnectModels();
  ConnectMarkerPanel();
  log_form_.AppendLines(analyser_.Log().WindowLines());
  options_form_.ShowAllSettings();
  options_form_.ShowInfo(analyser_.Shell().Info());
  about_form_.ShowAbout(analyser_.Shell().About());
  splash_.ShowSplash(analyser_.Shell().Splash());
  ShowSoftKeys();
  main_form_.Keys().ShowKeypad(analyser_.Panel().Entry());
}

void ProgramWindows::ConnectModels() {
  // The models tell the windows what changed; the widgets repaint once per
  // turn of the event loop (Qt merges the update requests).
  AppShell& shell = analyser_.Shell();
  connections_.emplace_back(analyser_.Settings().on_change,
                            [this](Setting s) { options_form_.ShowSetting(s); });
  connections_.emplace_back(analyser_.Log().on_line,
                            [this](const std::string& line) { log_form_.AppendLine(line); });
  connections_.emplace_back(shell.on_info_change,
                            [this] { options_form_.ShowInfo(analyser_.Shell().Info()); });
  connections_.emplace_back(shell.on_about_change,
                            [this] { about_form_.ShowAbout(analyser_.Shell().About()); });
  connections_.emplace_back(shell.on_splash_change,
                            [this] { splash_.ShowSplash(analyser_.Shell().Splash()); });
  connections_.emplace_back(analyser_.Chart().on_change, [this] { chart_->ModelChanged(); });
  connections_.emplace_back(analyser_.Panel().on_change, [this] { ShowSoftKeys(); });
  connections_.emplace_back(analyser_.Panel().Entry().on_change,
                            [this] { main_form_.Keys().ShowKeypad(analyser_.Panel().Entry()); });
  // A run that ends only to be restarted at once is no stop worth showing.
  sweep_state_timer_.setSingleShot(true);
  sweep_state_timer_.setInterval(kSweepStateSettleMs);
  // A run asked to stop (a dialog, a prompt, a stopped entry) shows no new
  // sweeps: it is stopped, although it returns only when control comes back.
  auto sweeping = [this] {
    return analyser_.Engine().RunActive() && !analyser_.Sweep().StopRequested();
  };
  QObject::connect(&sweep_state_timer_, &QTimer::timeout, &main_form_,
                   [this, sweeping] { main_form_.SetSweepState(sweeping()); });
  auto follow = [this, sweeping] {
    if (sweeping()) {
      sweep_state_timer_.stop();
      main_form_.SetSweepState(true);
    } else {
      sweep_state_timer_.start();
    }
  };
  connections_.emplace_back(analyser_.Engine().on_run_state, [follow](bool) { follow(); });
  connections_.emplace_back(analyser_.Sweep().on_change, follow);
  connections_.emplace_back(analyser_.Keys().on_view_change, [this] {
    main_form_.SetControlPanelCaption(analyser_.Keys().ControlPanelShown());
  });
}

void ProgramWindows::ConnectMarkerPanel() {
  // The table is written once per turn of the event loop; it never touches
  // the chart.
  MarkerTable& table = analyser_.Markers().Table();
  MarkerState& markers = analyser_.MarkerModel();
  connections_.emplace_back(table.on_change,
                            [this, &table] { marker_panel_->TableChanged(table); });
  connections_.emplace_back(markers.on_change,
                            [this, &markers] { marker_panel_->ShowArrows(markers); });
  marker_panel_->on_arrow_click = [this](int marker, bool right) {
    analyser_.Guard([&] { analyser_.Markers().ArrowClick(marker, right); });
  };
  marker_panel_->on_marker_search = [this](int index, TraceExtreme which) {
    analyser_.Guard([&] { analyser_.Markers().MarkerToExtreme(index, which); });
  };
  marker_panel_->ShowTable(table);
  marker_panel_->ShowArrows(markers);
  ConnectMarkerMouseAndKeys();
}

void ProgramWindows::ConnectMarkerMouseAndKeys() {
  // A click on the chart moves the selected marker there; Left and Right
  // step it as its arrows do (the entry box keeps them for its cursor).
  chart_->on_plot_click = [this](double x, double y) {
    const int marker = marker_panel_->SelectedMarker();
    analyser_.Guard([&] { analyser_.Markers().ChartClick(marker, x, y); });
  };
  for (const bool right : {false, true}) {
    auto* key = new QShortcut(QKeySequence(right ? Qt::Key_Right : Qt::Key_Left), &main_form_);
    key->setObjectName(right ? "MarkerStepRight" : "MarkerStepLeft");
    QObject::connect(key, &QShortcut::activated, &main_form_, [this, right] {
      const int marker = marker_panel_->SelectedMarker();
      analyser_.Guard([&] { analyser_.Markers().KeyStep(marker, right); });
    });
  }
}

ProgramWindows::~ProgramWindows() {
  platform_.timer_handler = nullptr;
  platform_.panel_handler = nullptr;
  connections_.clear();
  for (auto id : {WindowId::Splash, WindowId::Main, WindowId::SweepParameters, WindowId::Log,
                  WindowId::About}) {
    platform_.RegisterWindow(id, nullptr);
  }
}

void ProgramWindows::Start() {
  // Creating the main window runs its FormCreate; the splash starts ticking.
  analyser_.Guard([&] { analyser_.Shell().FormCreate(); });
  analyser_.Guard([&] { analyser_.Shell().splash_FormCreate(); });
  splash_.show();
}

MainFormHandlers ProgramWindows::MakeMainFormHandlers() {
  MainFormHandlers h;
  h.MenuClick = [this](const MenuCommand& command) {
    if (command.run != nullptr) analyser_.Guard([&] { command.run(analyser_); });
  };
  h.FormClose = [this] { analyser_.Guard([&] { analyser_.Shell().FormClose(); }); };
  h.EndingProgram = [this] { return platform_.QuitRequested(); };
  h.SoftKeyClick = [this](int number) {
    analyser_.Guard([&] { analyser_.Keys().SoftKeyClick(number - 1); });
  };
  h.HardKeyClick = [this](HardKey key) {
    analyser_.Guard([&] { analyser_.Keys().HardKeyClick(key); });
  };
  h.KeypadClick = [this](KeypadKey key) {
    analyser_.Guard([&] { analyser_.Entry().KeypadClick(key); });
  };
  h.EntryTextEdited = [this](const std::string& text) {
    analyser_.Guard([&] { analyser_.Entry().enterboxChange(text); });
  };
  h.EntryReturn = [this] { analyser_.Guard([&] { analyser_.Entry().enterboxReturn(); }); };
  h.EntryKey = [this](EntryKeyboardKey key) {
    analyser_.Guard([&] { analyser_.Entry().enterboxKey(key); });
  };
  return h;
}

OptionsFormHandlers ProgramWindows::MakeOptionsFormHandlers() {
  auto guarded = [this](void (OptionsDialog::*handler)()) {
    return [this, handler] { analyser_.Guard([&] { (analyser_.Dialog().*handler)(); }); };
  };
  OptionsFormHandlers h;
  h.FormShow = guarded(&OptionsDialog::FormShow);
  h.FormClose = guarded(&OptionsDialog::FormClose);
  h.opt_ok_btnClick = guarded(&OptionsDialog::opt_ok_btnClick);
  h.opt_cancel_btnClick = guarded(&OptionsDialog::opt_cancel_btnClick);
  h.info_ok_btnClick = guarded(&OptionsDialog::info_ok_btnClick);
  h.FieldEnter = [this](Setting field) {
    analyser_.Guard([&] { analyser_.Dialog().FieldEnter(field); });
  };
  h.FieldExit = [this](Setting field) {
    analyser_.Guard([&] { analyser_.Dialog().FieldExit(field); });
  };
  h.opt_sweep_type_boxChange = guarded(&OptionsDialog::opt_sweep_type_boxChange);
  h.opt_mode_boxChange = guarded(&OptionsDialog::opt_mode_boxChange);
  h.opt_format_boxChange = guarded(&OptionsDialog::opt_format_boxChange);
  return h;
}

void ProgramWindows::ShowSoftKeys() {
  main_form_.Keys().ShowPanel(analyser_.Panel());
  // Each soft key says what it does, and an entry the unit it expects.
  const SweepKind sweep = ParseSweepType(analyser_.Settings().SweepType());
  for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
    KeyPanel* key = main_form_.SoftKey(i + 1).Key();
    const QString tip = SoftKeyTip(analyser_.Panel().Key(i).action, sweep);
    if (key->toolTip() != tip) key->setToolTip(tip);
  }
}

void ProgramWindows::ShowPanel(PanelId id, bool visible, bool slide) {
  switch (id) {
    case PanelId::ControlPanel:
      if (slide || visible != main_form_.ControlPanelShown()) main_form_.SlideControlPanel(visible);
      break;
    case PanelId::MarkerPanel:
      marker_panel_->ShowPanel(visible, slide);
      break;
  }
}

}  // namespace ostra
