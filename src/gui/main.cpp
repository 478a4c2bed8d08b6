// The Ostra control program: the Qt application, the transport to the
// instrument (a USB library or the built-in simulator), the
// Analyser and its windows.
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QSessionManager>
#include <QStatusBar>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/analyser.h"
#include "app/app_directory.h"
#include "app/app_shell.h"
#include "app/calibration.h"
#include "app/front_panel_keys.h"
#include "base/constants.h"
#include "device/usb_driver.h"
#include "gui/artwork.h"
#include "gui/program_windows.h"
#include "gui/qt_platform.h"
#include "gui/remembered_window.h"
#include "gui/scpi_server.h"
#include "gui/system_close.h"
#include "remote/remote_instrument.h"
#include "sim/bench_standards.h"
#include "sim/simulated_instrument.h"
#include "sweep/sweep_engine.h"

namespace {

struct Options {
  bool simulate = false;
  std::string dut;
  std::string d2xx_path;
  ostra::UsbDriver driver = ostra::UsbDriver::Auto;
  bool instant = false;
  std::string screenshot;
  int quit_after_ms = -1;
  bool scpi = true;
  int scpi_port = 5025;
  std::string scpi_listen = "127.0.0.1";
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: ostra [options]\n"
               "\n"
               "  --simulate          use the built-in simulated instrument instead of USB\n"
               "  --dut NAME          device connected to the simulator: open, short, load,\n"
               "                      thru, rlc or bandpass\n"
               "  --instant           simulator answers at once instead of in real time\n"
               "  --driver NAME       the USB library: d2xx (FTDI's D2XX), ftdi (libftdi1) or\n"
               "                      auto (D2XX when it loads, else libftdi1; the default)\n"
               "  --d2xx PATH         the FTDI D2XX driver library to load\n"
               "  --screenshot FILE   save a picture of the main window (PNG) before quitting\n"
               "  --quit-after MS     close the program as Exit does after MS milliseconds\n"
               "  --scpi-port N       the remote control's TCP port (default 5025)\n"
               "  --scpi-listen ADDR  the address it listens on (default 127.0.0.1)\n"
               "  --scpi off          no remote control\n"
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
    } else if (arg == "--driver") {
      const auto driver = ostra::ParseUsbDriver(need_value(i));
      if (!driver) {
        std::fprintf(stderr, "ostra: --driver is d2xx, ftdi or auto\n");
        std::exit(2);
      }
      options.driver = *driver;
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
    } else if (arg == "--scpi") {
      const std::string value = need_value(i);
      if (value != "off" && value != "on") {
        std::fprintf(stderr, "ostra: --scpi takes on or off\n");
        std::exit(2);
      }
      options.scpi = value == "on";
    } else if (arg == "--scpi-port") {
      bool ok = false;
      options.scpi_port = QString::fromStdString(need_value(i)).toInt(&ok);
      if (!ok || options.scpi_port < 0 || options.scpi_port > 65535) {
        std::fprintf(stderr, "ostra: --scpi-port needs a port number (0 to 65535)\n");
        std::exit(2);
      }
    } else if (arg == "--scpi-listen") {
      options.scpi_listen = need_value(i);
      if (QHostAddress(QString::fromStdString(options.scpi_listen)).isNull()) {
        std::fprintf(stderr, "ostra: --scpi-listen needs an IP address\n");
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

// The application folder: the current folder when it holds cal_data (the
// README's run command starts the program in the source tree), else the
// per-user folder, filled from the factory copies shipped beside the
// program (the build tree's copy, or the installed one).
ostra::AppDirectoryChoice ChooseAppDirectory(const ostra::QtPlatform& platform) {
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  const std::filesystem::path program_dir = QCoreApplication::applicationDirPath().toStdString();
  const std::vector<std::filesystem::path> factory_dirs = {
      program_dir / OSTRA_FACTORY_SUBDIR,
      program_dir.parent_path() / OSTRA_FACTORY_SUBDIR,
  };
  ostra::AppDirectoryChoice choice =
      ostra::ChooseAppDirectory(current, platform.AppDataFolder(), factory_dirs);
  if (choice.directory != current) std::fprintf(stderr, "ostra: %s\n", choice.log_line.c_str());
  return choice;
}

// The transport to the instrument: the built-in simulator or a USB library
// (`driver_note` says which, for the log). Null, after a message, for an
// unknown device under test.
std::unique_ptr<ostra::Transport> MakeTransport(const Options& options,
                                                ostra::SimulatedInstrument*& simulator,
                                                std::string& driver_note) {
  simulator = nullptr;
  if (!options.simulate) {
    ostra::UsbDriverChoice choice = ostra::LoadUsbDriver(options.driver, options.d2xx_path);
    std::fprintf(stderr, "ostra: %s\n", choice.log_line.c_str());
    driver_note = choice.log_line;
    return std::move(choice.transport);
  }
  auto sim = std::make_unique<ostra::SimulatedInstrument>();
  if (!options.dut.empty()) {
    const auto dut = ostra::ParseDut(options.dut);
    if (!dut) {
      std::fprintf(stderr, "ostra: unknown device under test '%s'\n", options.dut.c_str());
      PrintUsage(stderr);
      return nullptr;
    }
    sim->SetDut(*dut);
  }
  sim->SetRealTime(!options.instant);
  simulator = sim.get();
  return sim;
}

// With the simulated instrument, the calibration's prompts are followed on
// its bench (closing "Connect Standard OPEN ..." connects the OPEN, and the
// device under test comes back after the last capture), and a menu connects
// another device under test while it runs, as a user would change the cable.
void ConnectSimulatorBench(ostra::Analyser& analyser, ostra::ProgramWindows& windows,
                           ostra::SimulatedInstrument& simulator,
                           std::unique_ptr<ostra::PromptFollower>& follower) {
  follower = std::make_unique<ostra::PromptFollower>(simulator);
  ostra::PromptFollower* f = follower.get();
  analyser.Cal().on_prompt_answered.Connect(
      [f](const std::string& prompt) { f->PromptAnswered(prompt); });
  analyser.Cal().on_captures_done.Connect([f] { f->CapturesDone(); });

  QMenu* menu = windows.MainForm().menuBar()->addMenu("&Simulator");
  menu->setObjectName("Simulator1");
  auto* group = new QActionGroup(menu);
  for (ostra::Dut dut : {ostra::Dut::Open, ostra::Dut::Short, ostra::Dut::Load, ostra::Dut::Thru,
                         ostra::Dut::SeriesRlc, ostra::Dut::BandPass}) {
    QAction* action = menu->addAction(QString::fromStdString(ostra::DutCaption(dut)));
    action->setCheckable(true);
    action->setChecked(simulator.GetDut() == dut);
    group->addAction(action);
    ostra::SimulatedInstrument* sim = &simulator;
    QObject::connect(action, &QAction::triggered, [sim, dut] { sim->SetDut(dut); });
  }
}

// --quit-after and --screenshot: after the time, the picture of the main
// window, then the program closes as Exit does (and always ends).
void ScheduleTimedEnd(const Options& options, ostra::Analyser& analyser,
                      ostra::ProgramWindows& windows, ostra::QtPlatform& platform) {
  if (options.quit_after_ms < 0) return;
  QTimer::singleShot(options.quit_after_ms, qApp, [&options, &analyser, &windows, &platform] {
    if (!options.screenshot.empty()) {
      const QString file = QString::fromStdString(options.screenshot);
      QDir().mkpath(QFileInfo(file).absolutePath());
      if (windows.MainForm().grab().save(file, "PNG")) {
        std::printf("Screenshot of the main window: %s\n",
                    qPrintable(QFileInfo(file).absoluteFilePath()));
      } else {
        std::fprintf(stderr, "ostra: could not save the screenshot to %s\n", qPrintable(file));
      }
    }
    std::printf("Application log: %s\n", analyser.Log().FilePath().string().c_str());
    std::fflush(stdout);
    analyser.Guard([&] { analyser.Shell().Exit1Click(); });
    if (!platform.QuitRequested()) platform.Quit();
  });
}

// A worker still in flight gets about one read time-out. One stuck in the
// driver past that still writes into the link's buffers, so the process ends
// here without destroying them (the settings were saved before).
void EndAcquisition(ostra::Analyser& analyser, int result) {
  analyser.Engine().EndWithin(ostra::SweepEngine::kEndWaitMs);
  analyser.Engine().Shutdown();
  if (analyser.Engine().WorkerAbandoned()) {
    std::fprintf(stderr,
                 "ostra: the driver did not return a read; ending without waiting for it\n");
    std::fflush(nullptr);
    std::_Exit(result);
  }
}

// The remote control: a status-bar label and the server, listening where the
// options say.
std::unique_ptr<ostra::ScpiServer> StartRemoteControl(const Options& options,
                                                      ostra::RemoteInstrument& instrument,
                                                      ostra::Analyser& analyser,
                                                      ostra::ProgramWindows& windows) {
  if (!options.scpi) return nullptr;
  QStatusBar* status = windows.MainForm().statusBar();
  auto* label = new QLabel(status);
  label->setObjectName("remote_state_lbl");
  status->addPermanentWidget(label);
  auto server = std::make_unique<ostra::ScpiServer>(instrument, analyser.Log(), label);
  const QHostAddress address(QString::fromStdString(options.scpi_listen));
  if (server->Listen(address, static_cast<quint16>(options.scpi_port))) {
    std::printf("Remote control (SCPI) listening on %s:%u\n", options.scpi_listen.c_str(),
                static_cast<unsigned>(server->Port()));
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "ostra: remote control could not listen on %s:%d\n",
                 options.scpi_listen.c_str(), options.scpi_port);
  }
  return server;
}

bool HelpAsked(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // --help works without a display.
  if (HelpAsked(argc, argv)) {
    PrintUsage(stdout);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(
      QString::fromUtf8(ostra::kApplicationTitle.data(), ostra::kApplicationTitle.size()));
  const Options options = ParseOptions(QApplication::arguments());
  QApplication::setQuitOnLastWindowClosed(false);
  // Numbers in files and on screen use a point, whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  ostra::InitArtwork();

  ostra::SimulatedInstrument* simulator = nullptr;
  std::string driver_note;
  const std::unique_ptr<ostra::Transport> transport =
      MakeTransport(options, simulator, driver_note);
  if (!transport) return 2;

  ostra::QtPlatform platform;
  const ostra::AppDirectoryChoice app_directory = ChooseAppDirectory(platform);
  ostra::Analyser analyser(platform, *transport, app_directory.directory);
  analyser.Shell().SetAppDirectoryNote(app_directory.log_line);
  analyser.Shell().SetUsbDriverNote(driver_note);
  ostra::ProgramWindows windows(analyser, platform);

  // Endings the user did not choose close the program as Exit does.
  ostra::SystemCloseWatcher system_close(
      [&analyser] { analyser.Guard([&] { analyser.Shell().CloseFromSystem(); }); });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&analyser](QSessionManager&) {
    analyser.Guard([&] { analyser.Shell().CloseFromSystem(); });
  });
  std::unique_ptr<ostra::PromptFollower> follower;
  if (simulator != nullptr) ConnectSimulatorBench(analyser, windows, *simulator, follower);

  windows.Start();
  // Where the window was when the program last ended.
  ostra::RestoreWindowPlace(windows.MainForm(), analyser,
                            ostra::ReadWindowPlace(ostra::WindowPlaceFile()),
                            ostra::PresentScreens());
  // The remote control listens once the start-up pass has loaded the
  // settings (and started the log afresh).
  ostra::RemoteInstrument remote(analyser);
  remote.SetSimulated(simulator != nullptr);
  std::unique_ptr<ostra::ScpiServer> server;
  QTimer remote_start;
  QObject::connect(&remote_start, &QTimer::timeout, [&] {
    if (!analyser.Shell().SettingsLoaded()) return;
    remote_start.stop();
    server = StartRemoteControl(options, remote, analyser, windows);
  });
  if (options.scpi) remote_start.start(50);
  ScheduleTimedEnd(options, analyser, windows, platform);
  int result = 0;
  if (!platform.QuitRequested()) result = QApplication::exec();
  // A window that was never shown keeps the place it had.
  if (windows.MainForm().windowHandle() != nullptr) {
    ostra::WriteWindowPlace(
        ostra::WindowPlaceFile(),
        ostra::CurrentWindowPlace(windows.MainForm(), analyser.Keys().ControlPanelShown()));
  }
  EndAcquisition(analyser, result);
  return result;
}
