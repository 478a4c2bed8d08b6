// The front panel offscreen, on the whole program and the instant simulator:
// keys pressed by their control names, and what a person sees afterwards
// (captions, which keys are shown, frame and face colours, the entry box),
// the dialog's fields left with the mouse, the sweep indicator and the
// smallest main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/options_dialog.h"
#include "gui/gui_rig.h"
#include "gui/program_windows.h"
#include "gui/qt_platform.h"
#include "sim/simulated_instrument.h"
#include "support/app_folder.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using testing::TestPlatform;

const QColor kLit(255, 0, 199);
const QColor kIdle(192, 192, 192);

class FrontPanelWidgetTest : public ::testing::Test, protected testing::ProgramRig {
 protected:
  FrontPanelWidgetTest() {
    // The start-up pass without the splash; the sweep is held back, so the
    // test's own event processing never enters the acquisition loop.
    analyser.Shell().FormCreate();
    analyser.Shell().startup_timerTimer();
    HoldSweep();
    windows.MainForm().show();
    QApplication::setActiveWindow(&windows.MainForm());
  }
  ~FrontPanelWidgetTest() override { HoldSweep(); }

  void HoldSweep() { analyser.Sweep().CancelRestart(); }

  template <typename T = QWidget>
  T* Find(const char* name) {
    T* widget = windows.MainForm().findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name) {
    QTest::mouseClick(Find(name), Qt::LeftButton);
    HoldSweep();
  }
  QString Caption(int soft_key) { return windows.MainForm().SoftKey(soft_key).Key()->Caption(); }
  bool Shown(int soft_key) {
    return windows.MainForm().SoftKey(soft_key).Frame()->isVisibleTo(&windows.MainForm());
  }
  QColor Colour(const char* name, QPalette::ColorRole role = QPalette::Window) {
    return Find(name)->palette().color(role);
  }
  // The names of the frames lit now.
  QStringList LitFrames() {
    QStringList lit;
    for (QFrame* frame : windows.MainForm().findChildren<QFrame*>()) {
      if (frame->objectName().endsWith("_light") &&
          frame->palette().color(QPalette::Window) == kLit) {
        lit << frame->objectName();
      }
    }
    return lit;
  }
};

TEST_F(FrontPanelWidgetTest, KeysByNameShowTheirMenusLightsAndTheEntry) {
  // The start-up state: two keys, nothing lit, the keypad off.
  EXPECT_EQ(Caption(1), "Transmission");
  EXPECT_EQ(Caption(2), "Reflection");
  for (int i = 3; i <= 7; ++i) EXPECT_FALSE(Shown(i));
  EXPECT_TRUE(LitFrames().isEmpty());
  EXPECT_FALSE(Find("enterbox")->isEnabled());
  EXPECT_FALSE(Find("ptn_5")->isEnabled());

  Click("stimulus_ptn");
  EXPECT_EQ(LitFrames(), QStringList{"stimulus_ptn_light"});
  EXPECT_EQ(Caption(1), "Start");
  EXPECT_EQ(Caption(4), "Span");
  EXPECT_TRUE(Shown(4));
  EXPECT_FALSE(Shown(5));

  Click("opt1_ptn");
  EXPECT_EQ(LitFrames(), QStringList{"opt1_ptn_light"});
  auto* box = Find<QLineEdit>("enterbox");
  EXPECT_TRUE(box->isEnabled());
  EXPECT_EQ(box->palette().color(QPalette::Base), QColor(0, 255, 255));
  EXPECT_TRUE(box->hasFocus());

  // A keypad key goes red while held.
  QWidget* two = Find("ptn_2");
  QTest::mousePress(two, Qt::LeftButton);
  EXPECT_EQ(two->palette().color(QPalette::Window), QColor(255, 0, 0));
  QTest::mouseRelease(two, Qt::LeftButton);
  EXPECT_EQ(two->palette().color(QPalette::Window), kIdle);
  EXPECT_EQ(box->text(), "2");
  Click("ptn_5");
  Click("MHz_ptn");
  EXPECT_EQ(analyser.Settings().Text(Setting::StartFreq), "25000000");
  EXPECT_EQ(box->text(), "");
  EXPECT_FALSE(box->isEnabled());
  EXPECT_EQ(box->palette().color(QPalette::Base), kIdle);
  Click("ptn_7");  // disabled: no entry
  EXPECT_EQ(box->text(), "");

  // The keyboard types into the box; Return applies it.
  Click("amp_ptn");
  Click("opt1_ptn");
  QTest::keyClicks(box, "-12.34");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(analyser.Settings().Text(Setting::RefLevel), "-12.3");
}

TEST_F(FrontPanelWidgetTest, KeysSitWhereTheyBelongWithTheirFaces) {
  EXPECT_EQ(Find("measure_ptn_light")->geometry(), QRect(120, 14, 68, 36));
  EXPECT_EQ(Find("display_ptn_light")->geometry(), QRect(268, 62, 68, 36));
  EXPECT_EQ(Find("save_recall_ptn_light")->geometry(), QRect(268, 160, 68, 36));
  EXPECT_EQ(Find("display_btn")->size(), QSize(62, 30));
  EXPECT_EQ(Find("display_btn")->parentWidget()->objectName(), "display_ptn_light");
  EXPECT_EQ(Colour("format_ptn"), QColor(196, 204, 191));
  EXPECT_EQ(Colour("cal_ptn"), QColor(196, 204, 191));
  EXPECT_EQ(Colour("measure_ptn"), kIdle);
  EXPECT_EQ(Colour("save_recall_ptn"), kIdle);
  // Every caption is whole on its face, whatever font the system gives.
  for (QLabel* caption : Find("hard_key_group")->findChildren<QLabel*>()) {
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->width())
        << caption->text().toStdString();
  }
  EXPECT_EQ(Find("ptn_1")->geometry(), QRect(128, 264, 25, 25));
  EXPECT_EQ(Find("MHz_ptn")->geometry(), QRect(232, 264, 49, 25));
  EXPECT_EQ(Find("enter_ptn")->geometry(), QRect(232, 360, 49, 41));
  EXPECT_EQ(Find("enterbox")->geometry(), QRect(128, 220, 153, 37));
  EXPECT_EQ(Find("keypad_group")->geometry(), QRect(112, 210, 185, 199));
  EXPECT_EQ(Find("hard_key_group")->geometry(), QRect(112, 8, 233, 197));
  // Nothing of the front panel but the marker panel lies in its area.
  const QRect marker_area(4, 480, 342, 113);
  for (QWidget* child : Find("Panel3_btns")->findChildren<QWidget*>()) {
    if (child->parentWidget()->objectName() != "Panel3_btns") continue;
    if (child->objectName() == "MarkerPanel_holder") continue;
    EXPECT_FALSE(child->geometry().intersects(marker_area)) << child->objectName().toStdString();
  }
}

TEST_F(FrontPanelWidgetTest, TheSaveRecallCaptionsActAsTheKey) {
  auto* key = Find<QFrame>("save_recall_ptn");
  const QFrame::Shadow look = key->frameShadow();
  Click("save_lbl");
  EXPECT_EQ(Caption(1), "Save State");
  EXPECT_EQ(LitFrames(), QStringList{"save_recall_ptn_light"});
  EXPECT_EQ(key->frameShadow(), look);
  Click("measure_ptn");
  Click("recall_lbl");
  EXPECT_EQ(Caption(3), "Recall State");
  EXPECT_EQ(Find<QLabel>("save_lbl")->text(), "Save /");
  EXPECT_EQ(Find<QLabel>("recall_lbl")->text(), "Recall");
}

TEST_F(FrontPanelWidgetTest, DialogFieldsLeftWithTheMouseRunTheirValidators) {
  TOptionsForm& form = windows.OptionsForm();
  form.show();
  QApplication::setActiveWindow(&form);
  auto* start = form.findChild<QLineEdit*>("opt_start_freq_box");
  auto* stop = form.findChild<QLineEdit*>("opt_stop_freq_box");
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(analyser.Dialog().PreviousFieldText(), "20000000");
  start->selectAll();
  QTest::keyClicks(start, "10000000");
  QTest::mouseClick(stop, Qt::LeftButton);
  EXPECT_EQ(form.findChild<QLineEdit*>("opt_centre_freq_box")->text(), "30000000");
  EXPECT_EQ(form.findChild<QLineEdit*>("opt_span_freq_box")->text(), "40000000");

  auto* sweep_type = form.findChild<QComboBox*>("opt_sweep_type_box");
  emit sweep_type->textActivated("Phase");
  EXPECT_EQ(form.findChild<QComboBox*>("opt_mode_box")->currentText(), "Transmission");
  EXPECT_EQ(form.findChild<QComboBox*>("opt_format_box")->currentText(), "Phase");
  // The program setting a box is no user change, nor is passing through it.
  analyser.Settings().SetText(Setting::Format, "Smith");
  EXPECT_EQ(analyser.Settings().Text(Setting::RefLevel), "30");
  auto* format = form.findChild<QComboBox*>("opt_format_box");
  QTest::mouseClick(format->lineEdit(), Qt::LeftButton);
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(analyser.Settings().Text(Setting::RefLevel), "30");
  emit format->textActivated("Lin");
  EXPECT_EQ(form.findChild<QLineEdit*>("opt_reflevel_box")->text(), "2");

  // The Info page shows its values whole, the instrument's long name too.
  auto* identity = form.findChild<QLabel*>("serial");
  EXPECT_TRUE(identity->text().startsWith("OSTRA")) << identity->text().toStdString();
  EXPECT_LE(identity->heightForWidth(identity->width()), identity->height());
  for (const char* name : {"status", "VNAserial", "FirmRev", "HardRev", "Date_id"}) {
    auto* value = form.findChild<QLabel*>(name);
    EXPECT_LE(value->sizeHint().width(), value->width()) << name;
  }
  form.close();
  HoldSweep();
}

TEST_F(FrontPanelWidgetTest, SweepIndicatorAndTheSmallestWindowKeepTheLabelsApart) {
  EXPECT_EQ(Find<QLabel>("sweep_state_lbl")->text(), "Stopped");
  windows.MainForm().SetSweepState(true);
  EXPECT_EQ(Find<QLabel>("sweep_state_lbl")->text(), "Sweeping");

  ChartModel& chart = analyser.Chart();
  chart.SetLabelText(LabelId::modelabel, "Transmission [S21] -- Frequency Sweep");
  chart.SetLabelText(LabelId::format_lbl,
                     "Format: Smith   Scale: 0.1   RefLevel: -12.3   Ave: 256");
  chart.SetLabelText(LabelId::source_lbl,
                     "Start: 100.000MHz   Stop: 120.000MHz   Centre: 110.000MHz   Span: "
                     "20.000MHz   Power: -20.5dBm");
  chart.SetLabelVisible(LabelId::ave_en_lbl, true);
  TMainForm& form = windows.MainForm();
  form.resize(kMainFormMinimumSize);
  QApplication::processEvents();
  EXPECT_EQ(form.size(), kMainFormMinimumSize);
  EXPECT_EQ(form.minimumSize(), kMainFormMinimumSize);
  QWidget* panel = Find("Panel3_btns");
  EXPECT_GE(panel->height(), 593);  // the marker panel's bottom
  const QRectF chart_area(QPointF(0, 0), windows.Chart().size());
  std::vector<QRectF> boxes;
  for (LabelId id : {LabelId::modelabel, LabelId::cal_label, LabelId::format_lbl,
                     LabelId::source_lbl, LabelId::ave_en_lbl}) {
    const QRectF box = windows.Chart().LabelRect(id);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_TRUE(chart_area.contains(box)) << static_cast<int>(id);
    for (const QRectF& other : boxes) EXPECT_FALSE(box.intersects(other)) << static_cast<int>(id);
    boxes.push_back(box);
  }
}

}  // namespace
}  // namespace ostra
