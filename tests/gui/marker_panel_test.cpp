// The marker panel in the whole program, offscreen, on the instant
// simulator: found by the program's control names, its table read cell by
// cell as the sweeps fill it, its arrows shown, pressed and clicked, and
// the panel shown, slid out and in.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "display/marker_table.h"
#include "display/markers.h"
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

// Counts the paints a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

QString CellText(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  return item == nullptr ? QString() : item->text();
}

TEST(MarkerPanelTest, TheTableTheArrowsAndThePanelAsTheUserSeesThem) {
  ProgramRig rig;
  TestPlatform& platform = rig.platform;
  Analyser& analyser = rig.analyser;
  ProgramWindows& windows = rig.windows;
  TMainForm& main_form = windows.MainForm();
  windows.Start();

  QWidget* front = main_form.FrontPanel();
  auto* panel = front->findChild<QWidget*>("MarkerPanel");
  auto* grid = front->findChild<QTableWidget*>("MarkerGrid");
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(grid, nullptr);
  auto arrow = [&](int m, const char* side) {
    return front->findChild<QLabel*>(QString("spin%1_%2").arg(m).arg(side));
  };
  for (int m = 1; m <= 4; ++m) {
    ASSERT_NE(arrow(m, "left"), nullptr);
    ASSERT_NE(arrow(m, "right"), nullptr);
  }
  int sweeps = 0;
  ScopedConnection counting(analyser.Engine().on_sweep_done, [&] { ++sweeps; });

  StepRunner steps;
  steps.Add("start-up", [&] { return main_form.isVisible() && sweeps > 0; });
  steps.Add("hidden at start, then shown by the Markers key", [&] {
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->parentWidget()->geometry(), QRect(4, 480, 342, 113));
    EXPECT_EQ(panel->size(), QSize(342, 113));
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0xA6, 0xCA, 0xF0));
    analyser.Keys().marker_ptnClick();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->pos(), QPoint(0, 0));
    return true;
  });
  steps.Add("the grid's shape", [&] {
    const int widths[] = {34, 68, 32, 40, 58, 44};
    EXPECT_EQ(grid->columnCount(), 6);
    EXPECT_EQ(grid->rowCount(), 5);
    for (int c = 0; c < 6; ++c) EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    for (int r = 0; r < 5; ++r) EXPECT_EQ(grid->rowHeight(r), 18) << r;
    EXPECT_FALSE(grid->showGrid());
    EXPECT_FALSE(grid->horizontalHeader()->isVisible());
    EXPECT_FALSE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(grid->font().pointSize(), 8);
    EXPECT_EQ(CellText(grid, 0, 1), "Freq(MHz)");
    EXPECT_EQ(CellText(grid, 0, 4), "Impedance");
    for (int m = 1; m <= 4; ++m) {
      EXPECT_FALSE(arrow(m, "left")->isVisible()) << m;
      EXPECT_FALSE(arrow(m, "right")->isVisible()) << m;
    }
    EXPECT_EQ(arrow(1, "left")->toolTip(), "Click to step marker");
    EXPECT_EQ(arrow(1, "right")->toolTip(), "Click to step marker");
    // Marker 2 entered as 35 MHz: only its arrows appear.
    analyser.MarkerModel().Select(1);
    analyser.Markers().SetMarkerFromEntry("35", 1000000);
    for (int m = 1; m <= 4; ++m) {
      EXPECT_EQ(arrow(m, "left")->isVisible(), m == 2) << m;
      EXPECT_EQ(arrow(m, "right")->isVisible(), m == 2) << m;
    }
    return true;
  });
  steps.Add("a sweep fills marker 2's row", [&] {
    if (CellText(grid, 2, 0) != "M2") return false;
    EXPECT_EQ(CellText(grid, 2, 1), "35.000");
    EXPECT_TRUE(CellText(grid, 2, 4).endsWith("j"));
    EXPECT_FALSE(CellText(grid, 2, 5).isEmpty());
    EXPECT_EQ(CellText(grid, 1, 0), "");
    return true;
  });
  steps.Add("the arrow's look follows the mouse and a click steps the marker", [&] {
    QLabel* right = arrow(2, "right");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), right->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(right, &enter);
    EXPECT_EQ(right->palette().color(QPalette::WindowText), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(right, &leave);
    EXPECT_EQ(right->palette().color(QPalette::WindowText), QColor(Qt::black));
    QTest::mousePress(right, Qt::LeftButton);
    EXPECT_EQ(right->font().pointSize(), 18);
    EXPECT_EQ(right->palette().color(QPalette::WindowText), QColor(Qt::red));
    QTest::mouseRelease(right, Qt::LeftButton);
    EXPECT_EQ(right->font().pointSize(), 14);
    EXPECT_EQ(right->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(analyser.MarkerModel().At(1).value, 35150000);
    return true;
  });
  steps.Add("the next sweep moves it", [&] { return CellText(grid, 2, 1) == "35.150"; });
  steps.Add("Hide slides it out", [&] {
    analyser.Markers().marker_hideExecute();
    return true;
  });
  // Out through its top edge, then in from below: upwards both ways.
  steps.Add("rising out", [&] {
    if (!panel->isVisible() || panel->y() > -20) return false;
    EXPECT_GT(panel->y(), -113);
    return true;
  });
  steps.Add("hidden", [&] { return !panel->isVisible(); });
  steps.Add("Show slides it in", [&] {
    analyser.Markers().marker_showExecute();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_GT(panel->y(), 0);
    return true;
  });
  steps.Add("rising in", [&] {
    if (panel->y() > 93) return false;
    EXPECT_GE(panel->y(), 0);
    return true;
  });
  steps.Add("shown", [&] { return panel->isVisible() && panel->pos() == QPoint(0, 0); });
  steps.Add("stop the sweep", [&] {
    analyser.SetSweepStopRequest(true);
    return true;
  });
  PaintCounter chart_paints;
  PaintCounter grid_paints;
  steps.Add("the table changes without repainting the chart", [&] {
    if (analyser.Engine().RunActive()) return false;
    QApplication::processEvents();
    windows.Chart().installEventFilter(&chart_paints);
    grid->viewport()->installEventFilter(&grid_paints);
    analyser.Markers().Table().SetCell(1, 2, "12.345");
    return true;
  });
  steps.Add("repainted", [&] {
    if (grid_paints.paints == 0) return false;
    EXPECT_EQ(CellText(grid, 2, 1), "12.345");
    EXPECT_EQ(chart_paints.paints, 0);
    return true;
  });
  steps.Add("Clear hides the arrows and empties the table", [&] {
    analyser.Markers().ClearMarkers();
    QApplication::processEvents();
    EXPECT_FALSE(arrow(2, "left")->isVisible());
    EXPECT_FALSE(arrow(2, "right")->isVisible());
    EXPECT_EQ(CellText(grid, 2, 0), "");
    EXPECT_EQ(CellText(grid, 2, 1), "");
    main_form.findChild<QAction*>("Exit1")->trigger();
    return true;
  });
  EXPECT_EQ(steps.Run(platform, 30000), "");
  EXPECT_TRUE(platform.QuitRequested());
}

}  // namespace
}  // namespace ostra
