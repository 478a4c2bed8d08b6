// The whole program offscreen, driven with the keyboard and the mouse as a
// user of other desktop programs and bench analysers drives it: the entry
// box's keys, Escape, Ctrl+Q, Alt and F1, the remembered window, markers by
// mouse and keys, the tooltips and the About window shown whole.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolTip>

#include "app/app_shell.h"
#include "app/front_panel_keys.h"
#include "display/marker_readout.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "gui/gui_rig.h"
#include "gui/key_tips.h"
#include "gui/remembered_window.h"
#include "sweep/sweep_engine.h"

namespace ostra {
namespace {

using testing::ProgramRig;
using testing::StepRunner;

// Waits until `window` is the active window, so its shortcuts take keys.
bool Active(QWidget& window) {
  window.activateWindow();
  return QApplication::activeWindow() == &window;
}

// Steps the program through its start-up until the main window shows and
// sweeps, active so that its shortcuts take keys.
void AddStartUp(StepRunner& steps, ProgramRig& rig) {
  rig.windows.Start();
  steps.Add("start-up", [&rig] {
    TMainForm& form = rig.windows.MainForm();
    if (!form.isVisible() || rig.windows.Splash().isVisible()) return false;
    return rig.analyser.Engine().RunActive() && Active(form);
  });
}

void ClickKey(QWidget* key) { QTest::mouseClick(key, Qt::LeftButton); }

// Runs the steps and ends the program with Exit, also when a step never
// passes (the sweep would otherwise go on inside the loop); the step that
// was pending, "" when all ran.
std::string RunSteps(StepRunner& steps, ProgramRig& rig, bool exit = true) {
  if (exit) {
    steps.Add("exit", [&rig] {
      rig.analyser.Shell().Exit1Click();
      return true;
    });
  }
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&rig] { rig.analyser.Shell().Exit1Click(); });
  watchdog.start(20000);
  return steps.Run(rig.platform, 30000);
}

TEST(HabitsTest, TheEntryBoxTakesUnitLettersBackspaceAndEscape) {
  ProgramRig rig;
  StepRunner steps;
  AddStartUp(steps, rig);
  TMainForm& form = rig.windows.MainForm();
  QLineEdit* box = form.Keys().EntryBox();
  steps.Add("35M", [&] {
    ClickKey(form.Keys().HardKeyFrame(HardKey::stimulus_ptn).Key());
    ClickKey(form.SoftKey(1).Key());  // Start
    QTest::keyClicks(box, "35m");
    EXPECT_EQ(rig.analyser.Settings().Text(Setting::StartFreq), "35000000");
    EXPECT_FALSE(box->isEnabled());
    return true;
  });
  steps.Add("refused, selected, replaced, escaped", [&] {
    ClickKey(form.SoftKey(2).Key());  // Stop
    QTest::keyClicks(box, "1-2");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->selectedText(), "1-2");
    QTest::keyClicks(box, "4");
    EXPECT_EQ(box->text(), "4");
    QTest::keyClicks(box, "5");
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "4");
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_FALSE(box->isEnabled());
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(rig.analyser.Settings().Text(Setting::StopFreq), "50000000");
    return true;
  });
  steps.Add("sweeping again", [&] {
    return rig.analyser.Engine().RunActive() && !rig.analyser.Sweep().StopRequested();
  });
  EXPECT_EQ(RunSteps(steps, rig), "");
}

TEST(HabitsTest, EscapeCtrlQAltAndF1) {
  ProgramRig rig;
  StepRunner steps;
  AddStartUp(steps, rig);
  TMainForm& form = rig.windows.MainForm();
  TOptionsForm& dialog = rig.windows.OptionsForm();
  steps.Add("the dialog", [&] {
    form.MenuAction("sweep_param1")->trigger();
    return true;
  });
  steps.Add("the dialog's Escape is Cancel", [&] {
    if (!Active(dialog)) return false;
    auto* start = dialog.findChild<QLineEdit*>("opt_start_freq_box");
    start->setFocus();
    start->selectAll();
    QTest::keyClicks(start, "1000000");
    QTest::keyClick(start, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(rig.analyser.Settings().Text(Setting::StartFreq), "20000000");
    return true;
  });
  TAboutForm& about = rig.windows.AboutForm();
  steps.Add("About", [&] {
    form.MenuAction("About1")->trigger();
    return true;
  });
  steps.Add("About shown whole, closed with Escape", [&] {
    if (!Active(about)) return false;
    EXPECT_TRUE(about.isVisible());
    for (QLabel* label : about.findChildren<QLabel*>()) {
      const QRect in_window(label->mapTo(&about, QPoint(0, 0)), label->size());
      EXPECT_TRUE(about.rect().contains(in_window)) << label->text().toStdString();
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    return true;
  });
  steps.Add("F1, Alt and the log window", [&] {
    if (!Active(form)) return false;
    QTest::keyClick(&form, Qt::Key_F1);
    HelpWindow& help = form.Help();
    EXPECT_TRUE(help.isVisible());
    const QString text = help.Browser()->toPlainText();
    EXPECT_TRUE(text.startsWith("Using the front panel")) << text.left(80).toStdString();
    EXPECT_TRUE(text.contains("Marker to maximum"));
    EXPECT_TRUE(text.contains("Ctrl+Q"));
    help.close();
    QStringList titles;
    for (QAction* menu : form.menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles.mid(0, 4), (QStringList{"&File", "&Edit", "&View", "&Help"}));
    form.MenuAction("Log1")->trigger();
    QTest::keyClick(&rig.windows.LogForm(), Qt::Key_Escape);
    EXPECT_TRUE(rig.windows.LogForm().isVisible());  // it stays where View put it
    rig.windows.LogForm().close();
    return true;
  });
  steps.Add("Ctrl+Q", [&] {
    if (!Active(form)) return false;
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    return true;
  });
  EXPECT_EQ(RunSteps(steps, rig, false), "");
  EXPECT_TRUE(rig.platform.QuitRequested());
}

TEST(HabitsTest, TheWindowComesBackOnlyWhereAScreenIs) {
  ProgramRig rig;
  rig.windows.Start();
  TMainForm& form = rig.windows.MainForm();
  const QList<QRect> screens = {QRect(0, 0, 1280, 1024)};
  EXPECT_TRUE(PlaceIsOnScreen(QRect(1150, 20, 900, 700), screens));     // its left end grasped
  EXPECT_FALSE(PlaceIsOnScreen(QRect(-1900, 40, 1000, 680), screens));  // the unplugged monitor
  EXPECT_FALSE(PlaceIsOnScreen(QRect(100, 1040, 1000, 680), screens));  // title bar below it

  RestoreWindowPlace(form, rig.analyser, WindowPlace{-1900, 40, 1000, 680, false, false}, screens);
  EXPECT_EQ(form.pos(), QPoint(100, 100));
  RestoreWindowPlace(form, rig.analyser, WindowPlace{200, 150, 1100, 700, false, true}, screens);
  EXPECT_EQ(form.geometry(), QRect(200, 150, 1100, 700));
  EXPECT_FALSE(rig.analyser.Keys().ControlPanelShown());
  EXPECT_EQ(CurrentWindowPlace(form, rig.analyser.Keys().ControlPanelShown()),
            (WindowPlace{200, 150, 1100, 700, false, true}));
  RestoreWindowPlace(form, rig.analyser, std::nullopt, screens);  // no file: as it is
  EXPECT_EQ(form.geometry(), QRect(200, 150, 1100, 700));
}

TEST(HabitsTest, MarkersByMouseArrowKeysAndTheTablesSearch) {
  ProgramRig rig;
  StepRunner steps;
  AddStartUp(steps, rig);
  TMainForm& form = rig.windows.MainForm();
  ChartView& chart = rig.windows.Chart();
  MarkerPanel& panel = rig.windows.MarkerPanelWidget();
  const MarkerState& markers = rig.analyser.MarkerModel();
  auto point_of = [&](int m) {
    return MarkerPointIndex(rig.analyser.Settings(), markers.At(m).value);
  };
  steps.Add("a whole sweep shown", [&] { return rig.analyser.Display().TraceX()[200] > 0; });
  steps.Add("click", [&] {
    if (!Active(form)) return false;
    const double mhz = rig.analyser.Display().TraceX()[60] / 1e6;
    const QPointF at = chart.MapToWidget(mhz, -10);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, at.toPoint());
    EXPECT_TRUE(markers.At(0).enabled);
    EXPECT_NEAR(point_of(0), 60, 1);
    ClickKey(form.Keys().HardKeyFrame(HardKey::marker_ptn).Key());
    panel.Grid()->selectRow(3);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, at.toPoint());
    EXPECT_TRUE(markers.At(2).enabled);
    const int before = point_of(2);
    QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_Right);
    QTest::keyClick(&form, Qt::Key_Left);
    EXPECT_EQ(point_of(2), before + 1);
    return true;
  });
  steps.Add("the table's search", [&] {
    QMenu* menu = panel.MakeSearchMenu(1);
    QStringList captions;
    for (QAction* action : menu->actions()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Marker to maximum", "Marker to minimum"}));
    menu->actions().at(1)->trigger();
    menu->deleteLater();
    EXPECT_TRUE(markers.At(1).enabled);
    return true;
  });
  steps.Add("its row shown", [&] { return panel.Grid()->item(2, 0)->text() == "M2"; });
  EXPECT_EQ(RunSteps(steps, rig), "");
}

TEST(HabitsTest, KeysMarksAndTheIndicatorSayWhatTheyAre) {
  ProgramRig rig;
  StepRunner steps;
  AddStartUp(steps, rig);
  TMainForm& form = rig.windows.MainForm();
  steps.Add("tips", [&] {
    for (const HardKeyInfo& info : HardKeys()) {
      EXPECT_TRUE(form.Keys().HardKeyFrame(info.key).Key()->toolTip().contains("menu"))
          << info.name;
    }
    ClickKey(form.Keys().HardKeyFrame(HardKey::stimulus_ptn).Key());
    EXPECT_TRUE(form.SoftKey(1).Key()->toolTip().contains("MHz, kHz or Hz"));
    ClickKey(form.Keys().HardKeyFrame(HardKey::sweep_ptn).Key());
    ClickKey(form.SoftKey(3).Key());  // power sweep
    ClickKey(form.Keys().HardKeyFrame(HardKey::stimulus_ptn).Key());
    EXPECT_TRUE(form.SoftKey(1).Key()->toolTip().contains("dBm"));
    EXPECT_EQ(form.findChild<QLabel*>("sweep_state_lbl")->toolTip(), SweepIndicatorTip());

    ChartView& chart = rig.windows.Chart();
    const QRectF mark = chart.LabelRect(LabelId::cal_label);
    EXPECT_FALSE(mark.isEmpty());
    const QPoint at = mark.center().toPoint();
    QHelpEvent help(QEvent::ToolTip, at, chart.mapToGlobal(at));
    QApplication::sendEvent(&chart, &help);
    const std::string text =
        rig.analyser.Chart().AllLabels()[static_cast<size_t>(LabelId::cal_label)].text;
    EXPECT_EQ(QToolTip::text(), CalibrationMarkTip(text));
    EXPECT_FALSE(QToolTip::text().isEmpty());
    return true;
  });
  EXPECT_EQ(RunSteps(steps, rig), "");
}

}  // namespace
}  // namespace ostra
