// The whole program offscreen: the Analyser against the instant simulator,
// its windows wired as main wires them, driven through menus and buttons
// while the sweep runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "gui/gui_rig.h"
#include "gui/program_windows.h"
#include "gui/qt_platform.h"
#include "sim/simulated_instrument.h"
#include "support/app_folder.h"
#include "support/temp_dir.h"
#include "sweep/sweep_engine.h"

namespace ostra {
namespace {

using testing::ProgramRig;
using testing::StepRunner;
using testing::TestPlatform;

TEST(ProgramTest, StartsRunsItsWindowsAndExitsSavingTheSettings) {
  ProgramRig rig;
  const std::filesystem::path& cal_data = rig.cal_data;
  TestPlatform& platform = rig.platform;
  Analyser& analyser = rig.analyser;
  ProgramWindows& windows = rig.windows;
  TMainForm& main_form = windows.MainForm();
  TOptionsForm& options = windows.OptionsForm();
  windows.Start();
  EXPECT_TRUE(windows.Splash().isVisible());

  StepRunner steps;
  steps.Add("start-up", [&] {
    return main_form.isVisible() && analyser.Shell().Info().status == "Opened" &&
           !windows.Splash().isVisible();
  });
  steps.Add("start-up state shown", [&] {
    EXPECT_TRUE(windows.Splash().Square(6)->isVisibleTo(&windows.Splash()));
    EXPECT_FALSE(windows.Splash().Square(7)->isVisibleTo(&windows.Splash()));
    EXPECT_EQ(main_form.SoftKey(1).Key()->Caption(), "Transmission");
    EXPECT_EQ(main_form.SoftKey(2).Key()->Caption(), "Reflection");
    for (int i = 3; i <= 7; ++i) EXPECT_FALSE(main_form.SoftKey(i).Frame()->isVisible()) << i;
    EXPECT_EQ(options.findChild<QLabel*>("status")->text(), "Opened");
    EXPECT_TRUE(options.findChild<QLabel*>("VNAserial")->text().startsWith("Ostra"));
    EXPECT_EQ(options.findChild<QLineEdit*>("opt_rx_gain_box")->text(), "39");
    return true;
  });
  steps.Add("log window", [&] {
    main_form.findChild<QAction*>("Log1")->trigger();
    EXPECT_TRUE(windows.LogForm().isVisible());
    EXPECT_TRUE(windows.LogForm().LogPad()->toPlainText().contains(" is open"));
    windows.LogForm().close();
    return true;
  });
  auto* start = options.findChild<QLineEdit*>("opt_start_freq_box");
  steps.Add("dialog cancel restores", [&] {
    main_form.findChild<QAction*>("sweep_param1")->trigger();
    EXPECT_TRUE(options.isVisible());
    start->selectAll();
    QTest::keyClicks(start, "1000000");
    EXPECT_EQ(analyser.Settings().Text(Setting::StartFreq), "1000000");
    QTest::mouseClick(options.findChild<QPushButton*>("opt_cancel_btn"), Qt::LeftButton);
    EXPECT_FALSE(options.isVisible());
    EXPECT_EQ(analyser.Settings().Text(Setting::StartFreq), "20000000");
    EXPECT_EQ(start->text(), "20000000");
    return true;
  });
  steps.Add("dialog ok keeps", [&] {
    main_form.findChild<QAction*>("sweep_param1")->trigger();
    auto* average = options.findChild<QLineEdit*>("opt_ave_box");
    average->selectAll();
    QTest::keyClicks(average, "16");
    QTest::mouseClick(options.findChild<QPushButton*>("opt_ok_btn"), Qt::LeftButton);
    EXPECT_FALSE(options.isVisible());
    EXPECT_EQ(analyser.Settings().Text(Setting::Average), "16");
    return true;
  });
  steps.Add("about", [&] {
    main_form.findChild<QAction*>("About1")->trigger();
    EXPECT_TRUE(windows.AboutForm().isVisible());
    EXPECT_EQ(windows.AboutForm().findChild<QLabel*>("application_rev")->text(), "1.2");
    EXPECT_FALSE(windows.AboutForm().findChild<QLabel*>("serial_no")->text().isEmpty());
    windows.AboutForm().close();
    return true;
  });
  steps.Add("soft key", [&] {
    QTest::mouseClick(main_form.SoftKey(1).Key(), Qt::LeftButton);
    EXPECT_EQ(options.findChild<QComboBox*>("opt_mode_box")->currentText(), "Transmission");
    EXPECT_EQ(options.findChild<QLineEdit*>("opt_rx_gain_box")->text(), "24");
    return true;
  });
  steps.Add("exit", [&] {
    main_form.findChild<QAction*>("Exit1")->trigger();
    return true;
  });
  EXPECT_EQ(steps.Run(platform, 30000), "");
  EXPECT_TRUE(platform.QuitRequested());
  const std::string config = testing::ReadFile(cal_data / "config.dat");
  EXPECT_NE(config.find("Mode: Transmission\r\n"), std::string::npos);
  EXPECT_NE(config.find("Average: 16\r\n"), std::string::npos);
  EXPECT_NE(config.find("Start Frequency: 20000000\r\n"), std::string::npos);
}

TEST(ProgramTest, ClosingTheWindowWithAFailedSaveKeepsItOpenUntilTheSaveWorks) {
  // As in the program: closing the last window does not quit by itself.
  QApplication::setQuitOnLastWindowClosed(false);
  ProgramRig rig;
  const std::filesystem::path& cal_data = rig.cal_data;
  SimulatedInstrument& instrument = rig.instrument;
  TestPlatform& platform = rig.platform;
  Analyser& analyser = rig.analyser;
  ProgramWindows& windows = rig.windows;
  TMainForm& main_form = windows.MainForm();
  windows.Start();

  StepRunner steps;
  uint64_t sweeps_at_close = 0;
  steps.Add("sweeping", [&] { return main_form.isVisible() && analyser.Engine().RunActive(); });
  steps.Add("close fails", [&] {
    sweeps_at_close = instrument.Counters().start_sweeps;
    analyser.Settings().SetText(Setting::Average, "16");
    std::filesystem::create_directory(cal_data / "config.dat.tmp");  // the save cannot write
    EXPECT_FALSE(main_form.close());
    EXPECT_TRUE(main_form.isVisible());
    EXPECT_FALSE(platform.QuitRequested());
    EXPECT_EQ(platform.messages.size(), 1u);
    return true;
  });
  steps.Add("sweeping again",
            [&] { return instrument.Counters().start_sweeps > sweeps_at_close + 5; });
  steps.Add("close works", [&] {
    std::filesystem::remove(cal_data / "config.dat.tmp");
    EXPECT_TRUE(main_form.close());
    return true;
  });
  EXPECT_EQ(steps.Run(platform, 30000), "");
  EXPECT_TRUE(platform.QuitRequested());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find("Cannot create file"), std::string::npos);
  EXPECT_NE(testing::ReadFile(cal_data / "config.dat").find("Average: 16\r\n"), std::string::npos);
  QApplication::setQuitOnLastWindowClosed(true);
}

}  // namespace
}  // namespace ostra
