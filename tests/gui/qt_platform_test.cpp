// QtPlatform's waits, thread hand-over, timers and file filters.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <thread>

#include "gui/qt_platform.h"

namespace ostra {
namespace {

double ProcessCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

TEST(QtPlatformTest, WaitForEventsSleepsUntilItsDeadlineWithoutSpinning) {
  QtPlatform platform;
  QCoreApplication::processEvents();
  QElapsedTimer elapsed;
  const double cpu_before = ProcessCpuSeconds();
  elapsed.start();
  for (int i = 0; i < 5; ++i) platform.WaitForEvents(60);
  const qint64 ms = elapsed.elapsed();
  const double cpu = ProcessCpuSeconds() - cpu_before;
  EXPECT_GE(ms, 5 * 60 - 10);
  EXPECT_LT(ms, 5 * 60 + 400);
  // A spinning wait would burn about as much processor time as it waited.
  EXPECT_LT(cpu, 0.1) << "processor seconds used while waiting";
}

TEST(QtPlatformTest, APostedEventEndsTheWaitEarly) {
  QtPlatform platform;
  QCoreApplication::processEvents();
  bool ran = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
  });
  QElapsedTimer elapsed;
  elapsed.start();
  while (!ran && elapsed.elapsed() < 5000) platform.WaitForEvents(3000);
  poster.join();
  EXPECT_TRUE(ran);
  EXPECT_LT(elapsed.elapsed(), 1500);
}

TEST(QtPlatformTest, RunOnUiThreadRunsTheStepOnTheUserInterfaceThreadAndWaits) {
  QtPlatform platform;
  const auto ui = std::this_thread::get_id();
  std::thread::id ran_on;
  bool returned = false;
  std::atomic<bool> worker_done{false};
  std::thread worker([&] {
    platform.RunOnUiThread([&] { ran_on = std::this_thread::get_id(); });
    returned = ran_on == ui;  // the step has run before the call returns
    worker_done = true;
  });
  QElapsedTimer elapsed;
  elapsed.start();
  while (!worker_done && elapsed.elapsed() < 5000) platform.WaitForEvents(100);
  worker.join();
  EXPECT_EQ(ran_on, ui);
  EXPECT_TRUE(returned);

  // On the user-interface thread the step runs at once.
  bool inline_ran = false;
  platform.RunOnUiThread([&] { inline_ran = true; });
  EXPECT_TRUE(inline_ran);
}

// Answers the next message box once it is open (the box runs its own event
// loop, so the answer comes from a timer ticking inside it).
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      timer_.stop();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      on_ui_thread = box->thread() == QThread::currentThread();
      box->button(answer)->click();
    });
    timer_.start(10);
  }
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool on_ui_thread = false;

 private:
  QTimer timer_;
};

TEST(QtPlatformTest, AWorkersMessageBoxOpensOnTheUserInterfaceThreadAndReturnsTheAnswer) {
  QtPlatform platform;
  std::atomic<int> answer{-1};
  BoxAnswerer yes(QMessageBox::Yes);
  std::thread worker([&] {
    answer = static_cast<int>(platform.ShowMessage("Replace the calibration?", MessageKind::Warning,
                                                   MessageButtons::YesCancel));
  });
  QElapsedTimer elapsed;
  elapsed.start();
  while (answer < 0 && elapsed.elapsed() < 5000) platform.WaitForEvents(20);
  worker.join();
  EXPECT_EQ(answer, static_cast<int>(MessageResult::Yes));
  EXPECT_TRUE(yes.on_ui_thread);
  EXPECT_EQ(yes.text, "Replace the calibration?");
  EXPECT_EQ(yes.icon, QMessageBox::Warning);
  EXPECT_EQ(yes.buttons, QMessageBox::Yes | QMessageBox::Cancel);

  // On the user-interface thread: an error box with OK only.
  BoxAnswerer ok(QMessageBox::Ok);
  EXPECT_EQ(platform.ShowMessage("Calibration directory is lost", MessageKind::Error),
            MessageResult::Ok);
  EXPECT_EQ(ok.icon, QMessageBox::Critical);
  EXPECT_EQ(ok.buttons, QMessageBox::Ok);
  BoxAnswerer cancel(QMessageBox::Cancel);
  EXPECT_EQ(platform.ShowMessage("Overwrite?", MessageKind::Plain, MessageButtons::YesCancel),
            MessageResult::Cancel);
  EXPECT_EQ(cancel.icon, QMessageBox::NoIcon);
}

// A box that must be acknowledged stays through Escape and the close button
// until OK is pressed; an ordinary OK box still closes with Escape.
TEST(QtPlatformTest, AnAcknowledgeBoxClosesOnlyWithOk) {
  QtPlatform platform;
  for (const MessageButtons buttons : {MessageButtons::Acknowledge, MessageButtons::Ok}) {
    int gestures = 0;
    bool stayed = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      if (gestures == 0) QTest::keyClick(box, Qt::Key_Escape);
      if (gestures == 1) box->close();  // what the title bar's close button sends
      if (gestures == 2) {
        stayed = box->isVisible();
        box->button(QMessageBox::Ok)->click();
      }
      ++gestures;
    });
    timer.start(10);
    EXPECT_EQ(platform.ShowMessage("Connect Standard LOAD and click OK", MessageKind::Information,
                                   buttons),
              MessageResult::Ok);
    if (buttons == MessageButtons::Acknowledge) {
      EXPECT_EQ(gestures, 3);
      EXPECT_TRUE(stayed);
    } else {
      EXPECT_EQ(gestures, 1);  // Escape closed it
    }
  }
}

TEST(QtPlatformTest, TimersTickWhileEnabledLikeATTimer) {
  QtPlatform platform;
  std::vector<TimerId> ticks;
  platform.timer_handler = [&](TimerId id) {
    ticks.push_back(id);
    // The start-up timer acts as a one-shot: its tick disables it.
    if (id == TimerId::Startup) platform.SetTimer(TimerId::Startup, false, 10);
  };
  platform.SetTimer(TimerId::Splash, true, 20);
  platform.SetTimer(TimerId::Startup, true, 10);
  EXPECT_TRUE(platform.TimerActive(TimerId::Splash));
  EXPECT_EQ(platform.TimerInterval(TimerId::Splash), 20);
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < 150) platform.WaitForEvents(20);
  platform.SetTimer(TimerId::Splash, false, 20);
  EXPECT_FALSE(platform.TimerActive(TimerId::Splash));
  const auto splash_ticks = std::count(ticks.begin(), ticks.end(), TimerId::Splash);
  EXPECT_GE(splash_ticks, 3);
  EXPECT_EQ(std::count(ticks.begin(), ticks.end(), TimerId::Startup), 1);
  EXPECT_EQ(std::count(ticks.begin(), ticks.end(), TimerId::BeginSweep), 0);
}

TEST(QtPlatformTest, ClocksAndQuit) {
  QtPlatform platform;
  EXPECT_EQ(platform.PerformanceFrequency(), 1'000'000'000);
  const int64_t c0 = platform.PerformanceCounter();
  const uint32_t t0 = platform.TickCount();
  platform.Sleep(20);
  EXPECT_GE(platform.PerformanceCounter() - c0, 19'000'000);
  EXPECT_GE(platform.TickCount() - t0, 19u);
  const std::tm now = platform.LocalTime();
  EXPECT_GE(now.tm_year, 120);
  EXPECT_FALSE(platform.QuitRequested());
}

TEST(QtPlatformTest, FileFiltersBecomeQtFilters) {
  EXPECT_EQ(QtPlatform::ConvertFileFilter("Instrument states|*.sta"), "Instrument states (*.sta)");
  EXPECT_EQ(QtPlatform::ConvertFileFilter("Instrument states(*.sta)|*.sta"),
            "Instrument states(*.sta)");
  EXPECT_EQ(QtPlatform::ConvertFileFilter("Data|*.csv;*.txt|All files|*.*"),
            "Data (*.csv *.txt);;All files (*.*)");
  EXPECT_EQ(QtPlatform::ConvertFileFilter(""), "");
}

}  // namespace
}  // namespace ostra
