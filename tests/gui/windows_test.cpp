// The program's windows, offscreen, with hand-made models: names, menus,
// soft keys, the log window and the dialog's two-way binding.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "base/app_log.h"
#include "base/instrument_settings.h"
#include "gui/about_form.h"
#include "gui/log_form.h"
#include "gui/main_form.h"
#include "gui/options_form.h"
#include "gui/qt_platform.h"
#include "gui/splash_screen.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

QStringList ActionNames(QMenu* menu) {
  QStringList names;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) names << a->objectName();
  }
  return names;
}

TEST(MainFormTest, MenusAndActionsCarryTheProgramsNamesAndCallTheirHandlers) {
  std::vector<std::string> calls;
  MainFormHandlers handlers;
  handlers.MenuClick = [&](const MenuCommand& command) {
    if (std::string(command.name) == "Markers1") throw std::runtime_error("must not escape");
    if (command.run != nullptr) calls.push_back(command.name);
  };
  TMainForm form(handlers);
  form.show();

  EXPECT_EQ(form.objectName(), "MainForm");
  EXPECT_EQ(form.windowTitle(), "USB Vector Network Analyser");
  EXPECT_EQ(form.size(), QSize(1000, 680));

  QStringList titles;
  for (QAction* a : form.menuBar()->actions()) titles << QString(a->text()).remove('&');
  EXPECT_EQ(titles, (QStringList{"File", "Edit", "View", "Help"}));
  EXPECT_EQ(ActionNames(form.findChild<QMenu*>("File1")), QStringList{"Exit1"});
  EXPECT_TRUE(ActionNames(form.findChild<QMenu*>("Edit1")).isEmpty());
  EXPECT_EQ(ActionNames(form.findChild<QMenu*>("View1")),
            (QStringList{"sweep_param1", "Markers1", "Log1", "HideControlPanel1"}));
  EXPECT_EQ(ActionNames(form.findChild<QMenu*>("Help1")),
            (QStringList{"About1", "FirmwareUpgrade1"}));
  // The display formats and the mode are on the soft keys, not in a menu.
  EXPECT_EQ(form.findChild<QAction*>("LinMag1"), nullptr);

  for (const char* name :
       {"Exit1", "sweep_param1", "Log1", "About1", "Markers1", "FirmwareUpgrade1"}) {
    form.findChild<QAction*>(name)->trigger();
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"Exit1", "sweep_param1", "Log1", "About1",
                                             "FirmwareUpgrade1"}));

  ASSERT_NE(form.findChild<QStatusBar*>("StatusBar1"), nullptr);
  auto* progress = form.findChild<QProgressBar*>("ProgressBar1");
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(progress->isVisible());
  ASSERT_NE(form.findChild<QWidget*>("Chart1"), nullptr);
}

TEST(MainFormTest, SoftKeysStartAsOptionsAndFollowTheirState) {
  std::vector<int> clicks;
  MainFormHandlers handlers;
  handlers.SoftKeyClick = [&](int n) { clicks.push_back(n); };
  TMainForm form(handlers);
  form.show();
  QWidget* panel = form.findChild<QWidget*>("Panel3_btns");
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->width(), 350);
  EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(213, 209, 202));

  for (int i = 1; i <= kSoftKeyCount; ++i) {
    auto* frame = panel->findChild<QFrame*>(QString("opt%1_ptn_light").arg(i));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->geometry(), QRect(8, 16 + 56 * (i - 1), 86, 42));
    EXPECT_EQ(form.SoftKey(i).Key()->objectName(), QString("opt%1_ptn").arg(i));
    EXPECT_EQ(form.SoftKey(i).Key()->Caption(), QString("Option %1").arg(i));
    EXPECT_EQ(form.SoftKey(i).Key()->size(), QSize(80, 36));
  }

  form.SetSoftKey(1, "Transmission", true);
  form.SetSoftKey(2, "Reflection", true);
  for (int i = 3; i <= kSoftKeyCount; ++i) form.SetSoftKey(i, QString("Option %1").arg(i), false);
  EXPECT_EQ(form.SoftKey(1).Key()->Caption(), "Transmission");
  EXPECT_TRUE(form.SoftKey(2).Frame()->isVisible());
  EXPECT_FALSE(form.SoftKey(3).Frame()->isVisible());

  QTest::mouseClick(form.SoftKey(2).Key(), Qt::LeftButton);
  // A press that ends outside the key is no click.
  QTest::mousePress(form.SoftKey(1).Key(), Qt::LeftButton);
  QTest::mouseRelease(form.SoftKey(1).Key(), Qt::LeftButton, {}, QPoint(200, 200));
  EXPECT_EQ(clicks, std::vector<int>{2});
}

TEST(MainFormTest, HideControlPanelTogglesThePanelAndItsCaption) {
  TMainForm form(MainFormHandlers{});
  form.show();
  QAction* toggle = form.findChild<QAction*>("HideControlPanel1");
  QWidget* panel = form.findChild<QWidget*>("Panel3_btns");
  const int chart_width = form.ChartArea()->width();

  form.SlideControlPanel(false);
  form.SetControlPanelCaption(false);
  EXPECT_EQ(toggle->text(), "Show Control Panel");
  QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 2000);
  QTRY_VERIFY_WITH_TIMEOUT(form.ChartArea()->width() > chart_width, 2000);

  form.SlideControlPanel(true);
  form.SetControlPanelCaption(true);
  EXPECT_EQ(toggle->text(), "Hide Control Panel");
  QTRY_COMPARE_WITH_TIMEOUT(panel->parentWidget()->width(), 350, 2000);
  EXPECT_TRUE(panel->isVisible());
}

TEST(LogFormTest, LogPadReceivesEachLogLine) {
  testing::TempDir dir;
  ostra::testing::FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  TLogForm form;
  log.on_line.Connect([&](const std::string& line) { form.AppendLine(line); });

  EXPECT_EQ(form.windowTitle(), "Application log");
  EXPECT_EQ(form.size(), QSize(429, 594));
  QPlainTextEdit* pad = form.findChild<QPlainTextEdit*>("LogPad");
  ASSERT_EQ(pad, form.LogPad());
  EXPECT_FALSE(pad->isReadOnly());
  EXPECT_EQ(pad->lineWrapMode(), QPlainTextEdit::NoWrap);

  log.WriteLog("Data directory set to somewhere");
  log.WriteLog("Preamp Disabled");
  const QStringList lines = pad->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].endsWith(" Data directory set to somewhere"));
  EXPECT_EQ(lines[1].toStdString(), log.WindowLines()[1]);

  form.show();
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(pad->toPlainText().split('\n').size(), 2);
}

class OptionsFormTest : public ::testing::Test {
 protected:
  OptionsFormTest() : form(settings, Handlers()) {
    listener = settings.on_change.Connect([this](Setting s) { form.ShowSetting(s); });
  }
  OptionsFormHandlers Handlers() {
    OptionsFormHandlers h;
    h.FormShow = [this] { calls.push_back("FormShow"); };
    h.FormClose = [this] { calls.push_back("FormClose"); };
    h.opt_ok_btnClick = [this] { calls.push_back("opt_ok_btnClick"); };
    h.opt_cancel_btnClick = [this] { calls.push_back("opt_cancel_btnClick"); };
    h.info_ok_btnClick = [this] { calls.push_back("info_ok_btnClick"); };
    return h;
  }
  template <typename T>
  T* Find(const char* name) {
    T* widget = form.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  InstrumentSettings settings;
  std::vector<std::string> calls;
  TOptionsForm form;
  int listener = 0;
};

TEST_F(OptionsFormTest, EveryBoxIsNamedAfterItsSettingAndShowsItsDefault) {
  EXPECT_EQ(form.windowTitle(), "Sweep Parameters");
  EXPECT_EQ(form.size(), QSize(412, 381));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  for (const SettingInfo& info : SettingTable()) {
    QWidget* box = form.findChild<QWidget*>(info.control);
    ASSERT_NE(box, nullptr) << info.control;
    if (auto* check = qobject_cast<QCheckBox*>(box)) {
      EXPECT_TRUE(info.is_check);
      EXPECT_FALSE(check->isChecked());
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
      EXPECT_TRUE(combo->isEditable());
      EXPECT_EQ(combo->currentText().toStdString(), info.default_text);
    } else {
      EXPECT_EQ(qobject_cast<QLineEdit*>(box)->text().toStdString(), info.default_text);
    }
  }
  for (const char* name : {"opt_points_box", "opt_dwell_box", "opt_rx_gain_box", "opt_preamp"}) {
    EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(Find<QWidget>("opt_ave_box")->isEnabled());
  EXPECT_EQ(Find<QCheckBox>("opt_ave_enable")->text(), "Average Enable");
  EXPECT_EQ(Find<QCheckBox>("opt_preamp")->text(), "Preamp Enable");
  EXPECT_EQ(Find<QComboBox>("opt_format_box")->count(), 5);
  EXPECT_EQ(form.Pages()->tabText(0), "Parameters");
  EXPECT_EQ(form.Pages()->tabText(1), "Info");
  EXPECT_EQ(Find<QLabel>("status")->text(), "Not Opened");
}

TEST_F(OptionsFormTest, BoxesFollowTheSettingsAndWriteBackWhatTheUserDoes) {
  form.show();
  settings.SetText(Setting::StartFreq, "1000000");
  settings.SetText(Setting::Mode, "Transmission");
  settings.SetChecked(Setting::AveEnable, true);
  EXPECT_EQ(Find<QLineEdit>("opt_start_freq_box")->text(), "1000000");
  EXPECT_EQ(Find<QComboBox>("opt_mode_box")->currentText(), "Transmission");
  EXPECT_TRUE(Find<QCheckBox>("opt_ave_enable")->isChecked());

  auto* scale = Find<QLineEdit>("opt_scale_box");
  scale->selectAll();
  QTest::keyClicks(scale, "2.5");
  EXPECT_EQ(settings.Text(Setting::Scale), "2.5");

  // Free text in a combo box is kept as typed.
  auto* format = Find<QComboBox>("opt_format_box");
  format->lineEdit()->selectAll();
  QTest::keyClicks(format->lineEdit(), "Polar");
  EXPECT_EQ(settings.Text(Setting::Format), "Polar");
  emit format->textActivated("Smith");
  EXPECT_EQ(settings.Text(Setting::Format), "Smith");

  QTest::mouseClick(Find<QCheckBox>("opt_ave_enable"), Qt::LeftButton);
  EXPECT_FALSE(settings.Checked(Setting::AveEnable));

  // Loading a whole file shows every value.
  settings.on_change.Disconnect(listener);
  settings.SetText(Setting::StopPhase, "270");
  form.ShowAllSettings();
  EXPECT_EQ(Find<QLineEdit>("opt_stop_phase_box")->text(), "270");
}

TEST_F(OptionsFormTest, ShowingClosingAndButtonsReachTheirHandlers) {
  form.show();
  QTest::mouseClick(Find<QPushButton>("opt_ok_btn"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>("opt_cancel_btn"), Qt::LeftButton);
  form.Pages()->setCurrentIndex(1);
  QTest::mouseClick(Find<QPushButton>("info_ok_btn"), Qt::LeftButton);
  form.close();
  EXPECT_EQ(calls, (std::vector<std::string>{"FormShow", "opt_ok_btnClick", "opt_cancel_btnClick",
                                             "info_ok_btnClick", "FormClose"}));

  InfoPage info;
  info.status = "Opened";
  info.serial = "Ostra VECTOR [OS000123]";
  info.VNAserial = "Ostra123";
  info.FirmRev = "01.02";
  info.HardRev = "0007";
  info.Date_id = "15/06/12";
  form.ShowInfo(info);
  EXPECT_EQ(Find<QLabel>("status")->text(), "Opened");
  EXPECT_EQ(Find<QLabel>("serial")->text(), "Ostra VECTOR [OS000123]");
  EXPECT_EQ(Find<QLabel>("VNAserial")->text(), "Ostra123");
  EXPECT_EQ(Find<QLabel>("FirmRev")->text(), "01.02");
  EXPECT_EQ(Find<QLabel>("HardRev")->text(), "0007");
  EXPECT_EQ(Find<QLabel>("Date_id")->text(), "15/06/12");
}

TEST(SplashAndAboutTest, FollowTheirModels) {
  Tsplash_screen splash;
  EXPECT_EQ(splash.size(), QSize(400, 240));
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(splash.windowFlags() & Qt::WindowStaysOnTopHint);
  splash.show();
  SplashState state;
  for (int i = 1; i <= 8; ++i) {
    QWidget* square = splash.findChild<QWidget*>(QString("Shape%1").arg(i));
    ASSERT_EQ(square, splash.Square(i));
    EXPECT_EQ(square->geometry(), QRect(8 + 16 * (i - 1), 216, 12, 12));
    EXPECT_FALSE(square->isVisible());
  }
  state.squares[0] = state.squares[5] = true;
  splash.ShowSplash(state);
  EXPECT_TRUE(splash.Square(1)->isVisible());
  EXPECT_FALSE(splash.Square(2)->isVisible());
  EXPECT_TRUE(splash.Square(6)->isVisible());
  bool closed = false;
  splash.on_close = [&] { closed = true; };
  splash.close();
  EXPECT_TRUE(closed);

  TAboutForm about;
  EXPECT_EQ(about.windowTitle(), "About Ostra");
  EXPECT_EQ(about.size(), QSize(189, 168));
  AboutPage page{"123", "1.2", "Ostra07A", "1.2"};
  about.ShowAbout(page);
  EXPECT_EQ(about.findChild<QLabel*>("serial_no")->text(), "123");
  EXPECT_EQ(about.findChild<QLabel*>("application_rev")->text(), "1.2");
  EXPECT_EQ(about.findChild<QLabel*>("hardware_rev")->text(), "Ostra07A");
  EXPECT_EQ(about.findChild<QLabel*>("firmware_rev")->text(), "1.2");
}

TEST(QtPlatformWindowsTest, StatusTextProgressAndWindowsReachTheMainWindow) {
  QtPlatform platform;
  TMainForm form(MainFormHandlers{});
  TLogForm log;
  platform.RegisterWindow(WindowId::Main, &form);
  platform.RegisterWindow(WindowId::Log, &log);
  platform.ShowWindow(WindowId::Main, true);
  platform.SetStatusText("Transmission mode selected");
  EXPECT_EQ(form.statusBar()->currentMessage(), "Transmission mode selected");
  // A text a sweep: the bar is held back a moment, then shows the newest.
  for (int ms = 10; ms < 40; ++ms) platform.SetStatusText("Refresh rate: " + std::to_string(ms));
  EXPECT_EQ(form.statusBar()->currentMessage(), "Transmission mode selected");
  for (int wait = 0; wait < 100 && form.statusBar()->currentMessage() != "Refresh rate: 39";
       ++wait) {
    QTest::qWait(10);
  }
  EXPECT_EQ(form.statusBar()->currentMessage(), "Refresh rate: 39");
  platform.SetProgress(true, 40);
  auto* bar = form.findChild<QProgressBar*>("ProgressBar1");
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->value(), 40);
  platform.SetProgress(false, 0);
  EXPECT_FALSE(bar->isVisible());

  platform.ShowWindow(WindowId::Log, true);
  EXPECT_TRUE(log.isVisible());
  platform.MoveWindow(WindowId::Log, 180, 180);
  EXPECT_EQ(log.pos(), QPoint(180, 180));
  platform.ShowWindow(WindowId::Log, false);
  EXPECT_FALSE(log.isVisible());
  // Windows that were never registered are ignored.
  platform.ShowWindow(WindowId::About, true);
}

}  // namespace
}  // namespace ostra
