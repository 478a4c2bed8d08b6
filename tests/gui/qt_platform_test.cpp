// QtPlatform's waits, thread hand-over, timers and file filters.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
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
  EXPECT_TRUE(platform.DocumentsFolder().has_value());
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
