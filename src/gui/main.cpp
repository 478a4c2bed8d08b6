// The Ostra control program: the Qt application, the transport to the
// instrument (the D2XX driver library or the built-in simulator), the
// Analyser and its windows.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QSessionManager>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/analyser.h"
#include "device/d2xx_library.h"
#include "display/chart_model.h"
#include "gui/about_form.h"
#include "gui/artwork.h"
#include "gui/chart_view.h"
#include "gui/handler_call.h"
#include "gui/log_form.h"
#include "gui/main_form.h"
#include "gui/options_form.h"
#include "gui/qt_platform.h"
#include "gui/splash_screen.h"
#include "gui/system_close.h"
#include "sim/simulated_instrument.h"

namespace {

struct Options {
  bool simulate = false;
  std::string dut;
  std::string d2xx_path;
  bool instant = false;
  std::string screenshot;
  int quit_after_ms = -1;
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: ostra [options]\n"
               "\n"
               "  --simulate          use the built-in simulated instrument instead of USB\n"
               "  --dut NAME          device connected to the simulator: open, short, load,\n"
               "                      thru, rlc or bandpass\n"
               "  --instant           simulator answers at once instead of in real time\n"
               "  --d2xx PATH         the FTDI D2XX driver library to load\n"
               "  --screenshot FILE   save a picture of the main window (PNG) before quitting\n"
               "  --quit-after MS     close the program as Exit does after MS milliseconds\n"
               "  --help              show this text\n");
}

// Parses the program's options (Qt has taken its own out); exits on an error.
Options ParseOptions(const QStringList& qt_args) {
  std::vector<std::string> args;
  for (const QString& a : qt_args) args.push_back(a.toStdString());
  Options options;
  auto need_value = [&](size_t& i) -> std::string {
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "ostra: %s needs a value\n", args[i].c_str());
      PrintUsage(stderr);
      std::exit(2);
    }
    return args[++i];
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--dut") {
      options.dut = need_value(i);
    } else if (arg == "--d2xx") {
      options.d2xx_path = need_value(i);
    } else if (arg == "--instant") {
      options.instant = true;
    } else if (arg == "--screenshot") {
      options.screenshot = need_value(i);
    } else if (arg == "--quit-after") {
      bool ok = false;
      options.quit_after_ms = QString::fromStdString(need_value(i)).toInt(&ok);
      if (!ok || options.quit_after_ms < 0) {
        std::fprintf(stderr, "ostra: --quit-after needs a number of milliseconds\n");
        std::exit(2);
      }
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      std::exit(0);
    } else {
      std::fprintf(stderr, "ostra: unknown option %s\n", arg.c_str());
      PrintUsage(stderr);
      std::exit(2);
    }
  }
  if (!options.screenshot.empty() && options.quit_after_ms < 0) options.quit_after_ms = 8000;
  return options;
}

// The program's working directory holds cal_data. Started from elsewhere
// (a build directory, say), it moves to the source tree's copy.
std::filesystem::path ChooseAppDirectory() {
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  if (std::filesystem::is_directory(current / "cal_data", ec)) return current;
#ifdef OSTRA_SOURCE_DIR
  const std::filesystem::path source = OSTRA_SOURCE_DIR;
  if (std::filesystem::is_directory(source / "cal_data", ec)) {
    std::filesystem::current_path(source, ec);
    if (!ec) {
      std::fprintf(stderr, "ostra: no cal_data in %s; working in the source tree %s instead\n",
                   current.string().c_str(), source.string().c_str());
      return source;
    }
  }
#endif
  return current;
}

}  // namespace

int main(int argc, char** argv) {
  // --help works without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout);
      return 0;
    }
  }
  QApplication app(argc, argv);
  const Options options = ParseOptions(QApplication::arguments());
  QApplication::setApplicationName("Marlune Ostra 7");
  QApplication::setQuitOnLastWindowClosed(false);
  // Numbers in files and on screen use a point, whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  ostra::InitArtwork();

  // The transport to the instrument.
  std::unique_ptr<ostra::Transport> transport;
  if (options.simulate) {
    auto sim = std::make_unique<ostra::SimulatedInstrument>();
    if (!options.dut.empty()) {
      const auto dut = ostra::ParseDut(options.dut);
      if (!dut) {
        std::fprintf(stderr, "ostra: unknown device under test '%s'\n", options.dut.c_str());
        PrintUsage(stderr);
        return 2;
      }
      sim->SetDut(*dut);
    }
    sim->SetRealTime(!options.instant);
    transport = std::move(sim);
  } else {
    auto library = options.d2xx_path.empty()
                       ? std::make_unique<ostra::D2xxLibrary>()
                       : std::make_unique<ostra::D2xxLibrary>(options.d2xx_path);
    if (!library->Loaded()) {
      std::fprintf(stderr, "ostra: %s\n", library->LoadError().c_str());
    }
    transport = std::move(library);
  }

  const std::filesystem::path app_directory = ChooseAppDirectory();
  ostra::QtPlatform platform;
  ostra::Analyser analyser(platform, *transport, app_directory);
  auto guard = [&analyser](void (ostra::Analyser::*handler)()) {
    return [&analyser, handler] { analyser.Guard([&] { (analyser.*handler)(); }); };
  };
  platform.timer_handler = [&analyser](ostra::TimerId id) {
    analyser.Guard([&] { analyser.OnTimer(id); });
  };

  // The windows, in the program's order: splash, main window, Sweep
  // Parameters dialog, log window, About window.
  ostra::Tsplash_screen splash;
  splash.on_close = [&platform] { platform.Quit(); };
  platform.RegisterWindow(ostra::WindowId::Splash, &splash);

  ostra::MainFormHandlers main_handlers;
  main_handlers.Exit1Click = guard(&ostra::Analyser::Exit1Click);
  main_handlers.sweep_param1Click = guard(&ostra::Analyser::sweep_param1Click);
  main_handlers.Log1Click = guard(&ostra::Analyser::Log1Click);
  main_handlers.About1Click = guard(&ostra::Analyser::About1Click);
  main_handlers.FormClose = guard(&ostra::Analyser::FormClose);
  main_handlers.EndingProgram = [&platform] { return platform.QuitRequested(); };
  main_handlers.LogMagExecute = guard(&ostra::Analyser::LogMagExecute);
  main_handlers.LinMagExecute = guard(&ostra::Analyser::LinMagExecute);
  main_handlers.PhaseExecute = guard(&ostra::Analyser::PhaseExecute);
  main_handlers.VSWRExecute = guard(&ostra::Analyser::VSWRExecute);
  main_handlers.SmithExecute = guard(&ostra::Analyser::SmithExecute);
  main_handlers.show_phaseExecute = guard(&ostra::Analyser::show_phaseExecute);
  main_handlers.TransmissionExecute = guard(&ostra::Analyser::TransmissionExecute);
  main_handlers.ReflectionExecute = guard(&ostra::Analyser::ReflectionExecute);
  main_handlers.SoftKeyClick = [&analyser](int number) {
    analyser.Guard([&] { analyser.SoftKeyClick(number - 1); });
  };
  ostra::TMainForm main_form(main_handlers);
  auto* chart = new ostra::ChartView(analyser.Chart());
  chart->on_point_click = [&analyser](double x, double y) {
    analyser.Guard([&] { analyser.ChartPointClick(x, y); });
  };
  main_form.SetChartWidget(chart);
  platform.RegisterWindow(ostra::WindowId::Main, &main_form);

  ostra::OptionsFormHandlers options_handlers;
  options_handlers.FormShow = guard(&ostra::Analyser::OptionsFormShow);
  options_handlers.FormClose = guard(&ostra::Analyser::OptionsFormClose);
  options_handlers.opt_ok_btnClick = guard(&ostra::Analyser::opt_ok_btnClick);
  options_handlers.opt_cancel_btnClick = guard(&ostra::Analyser::opt_cancel_btnClick);
  options_handlers.info_ok_btnClick = guard(&ostra::Analyser::info_ok_btnClick);
  ostra::TOptionsForm options_form(analyser.Settings(), options_handlers);
  platform.RegisterWindow(ostra::WindowId::SweepParameters, &options_form);

  ostra::TLogForm log_form;
  platform.RegisterWindow(ostra::WindowId::Log, &log_form);

  ostra::TAboutForm about_form;
  platform.RegisterWindow(ostra::WindowId::About, &about_form);

  // The models tell the windows what changed; widgets repaint once per turn
  // of the event loop.
  analyser.Settings().on_change = [&options_form](ostra::Setting s) {
    options_form.ShowSetting(s);
  };
  analyser.Log().on_line = [&log_form](const std::string& line) { log_form.AppendLine(line); };
  log_form.AppendLines(analyser.Log().WindowLines());
  analyser.on_info_change = [&] { options_form.ShowInfo(analyser.Info()); };
  analyser.on_about_change = [&] { about_form.ShowAbout(analyser.About()); };
  analyser.on_splash_change = [&] { splash.ShowSplash(analyser.Splash()); };
  analyser.Chart().on_change = [chart] { chart->ModelChanged(); };
  auto show_soft_keys = [&] {
    for (int i = 0; i < ostra::FrontPanel::kSoftKeys; ++i) {
      const ostra::SoftKey& key = analyser.Panel().Key(i);
      main_form.SetSoftKey(i + 1, QString::fromStdString(key.caption), key.visible, key.lit);
    }
  };
  analyser.Panel().on_change = show_soft_keys;
  show_soft_keys();
  options_form.ShowAllSettings();
  options_form.ShowInfo(analyser.Info());

  // Endings the user did not choose close the program as Exit does.
  ostra::SystemCloseWatcher system_close(
      [&analyser] { analyser.Guard([&] { analyser.CloseFromSystem(); }); });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&analyser](QSessionManager&) {
    analyser.Guard([&] { analyser.CloseFromSystem(); });
  });

  // Creating the main window runs its FormCreate; the splash starts ticking.
  guard (&ostra::Analyser::FormCreate)();
  guard (&ostra::Analyser::splash_FormCreate)();
  splash.ShowSplash(analyser.Splash());
  splash.show();

  if (options.quit_after_ms >= 0) {
    QTimer::singleShot(options.quit_after_ms, &app, [&] {
      if (!options.screenshot.empty()) {
        const QString file = QString::fromStdString(options.screenshot);
        const QString dir = QFileInfo(file).absolutePath();
        QDir().mkpath(dir);
        if (main_form.grab().save(file, "PNG")) {
          std::printf("Screenshot of the main window: %s\n",
                      qPrintable(QFileInfo(file).absoluteFilePath()));
        } else {
          std::fprintf(stderr, "ostra: could not save the screenshot to %s\n", qPrintable(file));
        }
      }
      std::printf("Application log: %s\n", analyser.Log().FilePath().string().c_str());
      std::fflush(stdout);
      guard (&ostra::Analyser::Exit1Click)();
      // A timed run always ends, even when Exit could not save.
      if (!platform.QuitRequested()) platform.Quit();
    });
  }

  int result = 0;
  if (!platform.QuitRequested()) result = QApplication::exec();

  // The windows go before the Analyser: nothing may reach them any more.
  platform.timer_handler = nullptr;
  analyser.Settings().on_change = nullptr;
  analyser.Log().on_line = nullptr;
  analyser.on_info_change = nullptr;
  analyser.on_about_change = nullptr;
  analyser.on_splash_change = nullptr;
  analyser.Chart().on_change = nullptr;
  analyser.Panel().on_change = nullptr;
  return result;
}
