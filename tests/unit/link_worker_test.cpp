// The connection and the acquisition worker between threads: the worker's
// stream never shares a buffer with command replies, open, close, reset and
// About wait for a read in flight (About in the event loop), the worker
// reports through the window's thread, and a signal's listeners may change
// while it is emitted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/app_shell.h"
#include "base/signal.h"
#include "files/sweep_record.h"
#include "support/analyser_rig.h"
#include "support/forwarding_transport.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::ElementsAre;

TEST(LinkAndWorker, ACommandSentInsideAPassLeavesTheNextSweepAsMeasured) {
  AnalyserRig rig;
  rig.sim.SetNoise(0.0);
  rig.StartUp();
  Analyser& a = *rig.analyser;
  std::vector<std::complex<double>> before;
  std::vector<std::complex<double>> after;
  int shown = 0;
  a.Engine().on_sweep_done.Connect([&] {
    ++shown;
    const SweepRecord* record = a.Recorder().LastComplete();
    if (record == nullptr) return;
    auto first_points = [&] {
      std::vector<std::complex<double>> v;
      for (size_t i = 0; i < 6; ++i) v.push_back(record->Points()[i].value);
      return v;
    };
    if (shown == 3) {
      // The last sweep of the first pass: once the worker has read the next
      // acquisition, a command's reply passes through the link.
      before = first_points();
      while (a.Engine().AcquisitionPending()) rig.platform.WaitForEvents(5);
      InstrumentIdentity identity{};
      EXPECT_EQ(a.Link().ReadIdentity(identity), 200u);
    } else if (shown == 4) {
      after = first_points();
      a.Sweep().RequestStop();
    }
  });
  rig.platform.RunUntil([&] { return shown >= 4; }, 5000);
  ASSERT_EQ(before.size(), 6u);
  ASSERT_EQ(after.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(std::abs(after[i] - before[i]), 0.0, 1e-6) << i;
}

// A driver that holds each sample-stream read for a while and records any
// open, close or reset that reaches it while a read is in progress.
class SlowRead : public testing::ForwardingTransport {
 public:
  using ForwardingTransport::ForwardingTransport;
  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* read) override {
    if (n > 1000) {
      reading = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(read_ms.load()));
    }
    const FT_STATUS status = ForwardingTransport::FT_Read(h, buffer, n, read);
    reading = false;
    return status;
  }
  FT_STATUS FT_Close(FT_HANDLE h) override { return Note(ForwardingTransport::FT_Close(h)); }
  FT_STATUS FT_ResetDevice(FT_HANDLE h) override {
    return Note(ForwardingTransport::FT_ResetDevice(h));
  }
  FT_STATUS FT_OpenEx(void* a, DWORD flags, FT_HANDLE* h) override {
    return Note(ForwardingTransport::FT_OpenEx(a, flags, h));
  }
  std::atomic<int> read_ms{100};
  std::atomic<bool> reading{false};
  std::atomic<int> during_read{0};

 private:
  FT_STATUS Note(FT_STATUS status) {
    if (reading) ++during_read;
    return status;
  }
};

TEST(LinkAndWorker, OpenCloseAndResetWaitForAReadInFlight) {
  testing::FakePlatform platform;
  SimulatedInstrument sim;
  sim.SetRealTime(false);
  SlowRead driver(sim);
  DeviceLink link(driver, platform);
  ASSERT_NE(link.OpenInstrument(), "NotOpen");
  const std::function<void()> calls[] = {[&] { link.CloseInstrument(); },
                                         [&] { link.OpenInstrument(); },
                                         [&] { link.ResetInstrument(); }};
  for (const auto& call : calls) {
    std::vector<uint8_t> stream(4000);
    std::thread worker([&] { link.StartSweepAndRead(stream); });
    while (!driver.reading) std::this_thread::yield();
    call();
    worker.join();
  }
  EXPECT_EQ(driver.during_read, 0);
}

TEST(LinkAndWorker, AboutDuringAReadInFlightWaitsInTheEventLoop) {
  AnalyserRig rig;
  SlowRead& driver = rig.UseDriver<SlowRead>();
  driver.read_ms = 0;
  rig.StartUp();
  driver.read_ms = 300;
  Analyser& a = *rig.analyser;
  bool in_about = false;
  bool other_ran_inside = false;
  const int64_t at = rig.platform.NowMicroseconds() / 1000 + 500;
  rig.platform.At(at, [&] {
    ASSERT_TRUE(a.Engine().AcquisitionPending());
    in_about = true;
    a.Shell().About1Click();
    in_about = false;
  });
  // A click that arrives meanwhile is handled while About waits.
  rig.platform.At(at, [&] { other_ran_inside = in_about; });
  rig.platform.RunUntil([&] { return !a.Shell().About().serial_no.empty(); }, 5000);
  EXPECT_TRUE(other_ran_inside);
  driver.read_ms = 0;
}

// A driver on which the worker's start-sweep write goes out short once.
class WorkerWriteFails : public testing::ForwardingTransport {
 public:
  using ForwardingTransport::ForwardingTransport;
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, DWORD n, DWORD* written) override {
    if (std::this_thread::get_id() != ui_thread && fail_once.exchange(false)) {
      *written = 10;
      return FT_OK;
    }
    return ForwardingTransport::FT_Write(h, buffer, n, written);
  }
  std::thread::id ui_thread = std::this_thread::get_id();
  std::atomic<bool> fail_once{false};
};

TEST(LinkAndWorker, AStartThatDidNotGoOutIsReportedOnTheWindowsThreadOnce) {
  AnalyserRig rig;
  WorkerWriteFails& driver = rig.UseDriver<WorkerWriteFails>();
  rig.StartUp();
  std::vector<std::string> reported;
  rig.platform.on_message = [&](const testing::RecordedMessage& m) {
    EXPECT_EQ(std::this_thread::get_id(), driver.ui_thread) << m.text;
    reported.push_back(m.text);
  };
  driver.fail_once = true;
  bool swept_on = false;
  bool stopped = false;
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 1000, [&] {
    swept_on = rig.analyser->Engine().RunActive();
    rig.analyser->Sweep().RequestStop();
    stopped = true;
  });
  rig.platform.RunUntil([&] { return stopped && !rig.analyser->Engine().RunActive(); }, 5000);
  EXPECT_FALSE(driver.fail_once);
  EXPECT_THAT(reported, ElementsAre("Device write time out"));
  EXPECT_TRUE(swept_on);
  rig.platform.on_message = nullptr;
}

TEST(SignalListeners, ConnectingAndDisconnectingWhileEmittingIsSafe) {
  Signal<int> signal;
  std::vector<std::string> calls;
  int self = 0;
  // A listener that connects many others (the list grows under it), then
  // disconnects itself, and goes on using what it captured.
  const std::string name = "first";
  self = signal.Connect([&, name](int value) {
    for (int i = 0; i < 64; ++i) signal.Connect([&](int) { calls.push_back("late"); });
    signal.Disconnect(self);
    calls.push_back(name + " " + std::to_string(value));
  });
  const int second =
      signal.Connect([&](int value) { calls.push_back("second " + std::to_string(value)); });
  signal.Emit(1);
  EXPECT_THAT(calls, ElementsAre("first 1", "second 1"));
  calls.clear();
  signal.Disconnect(second);
  signal.Emit(2);
  EXPECT_EQ(calls.size(), 64u);
  EXPECT_EQ(calls.front(), "late");
}

}  // namespace
}  // namespace ostra
