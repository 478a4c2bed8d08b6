// How the program ends when something is wrong: an ending before the
// settings are loaded, a save that fails at Exit and at a signal, a driver
// read that never returns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/analyser_rig.h"
#include "support/forwarding_transport.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::HasSubstr;
using testing::ReadFile;

int64_t NowMs(AnalyserRig& rig) { return rig.platform.NowMicroseconds() / 1000; }

// A user's own settings in config.dat.
std::string WriteUsersSettings(AnalyserRig& rig) {
  InstrumentSettings users;
  users.SetText(Setting::Points, "401");
  users.SetText(Setting::StartFreq, "1000000");
  save_parameters(users, rig.CalFile("config.dat"));
  return ReadFile(rig.CalFile("config.dat"));
}

TEST(Ending, ASignalDuringTheSplashLeavesTheSettingsFileByteForByte) {
  AnalyserRig rig;
  const std::string before = WriteUsersSettings(rig);
  rig.Start();
  rig.platform.At(1500, [&] { rig.analyser->Shell().CloseFromSystem(); });
  rig.platform.RunFor(5000);
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_FALSE(rig.analyser->Shell().SettingsLoaded());
  EXPECT_EQ(ReadFile(rig.CalFile("config.dat")), before);
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
}

TEST(Ending, ASettingsFileThatIsAFolderIsAnErrorAndIsLeftAlone) {
  AnalyserRig rig;
  std::filesystem::create_directory(rig.CalFile("config.dat"));
  rig.StartUp();
  ASSERT_EQ(rig.platform.MessageTexts().size(), 1u);
  EXPECT_THAT(rig.platform.MessageTexts()[0], HasSubstr("Cannot open file"));
  // The 28 settings keep their values instead of going blank.
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::SweepType), "Frequency");
  EXPECT_EQ(rig.analyser->Settings().Text(Setting::Points), "201");
  rig.analyser->Shell().Exit1Click();
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_TRUE(std::filesystem::is_directory(rig.CalFile("config.dat")));
  EXPECT_EQ(rig.platform.MessageTexts().size(), 1u);
}

TEST(Ending, ExitWithAFailedSaveKeepsTheProgramUpAndSweepingUntilTheSaveWorks) {
  AnalyserRig rig;
  rig.StartUp();
  rig.analyser->Settings().SetText(Setting::StopFreq, "40000000");
  // The temporary beside config.dat cannot be created.
  std::filesystem::create_directory(rig.CalFile("config.dat.tmp"));
  uint64_t sweeps_at_exit = 0;
  rig.platform.At(NowMs(rig) + 300, [&] {
    rig.analyser->Shell().Exit1Click();
    sweeps_at_exit = rig.sim.Counters().start_sweeps;
  });
  rig.platform.At(NowMs(rig) + 1300, [&] {
    EXPECT_FALSE(rig.platform.QuitRequested());
    EXPECT_GT(rig.sim.Counters().start_sweeps, sweeps_at_exit + 5);  // sweeping again
    // The user mends the folder and tries again.
    std::filesystem::remove(rig.CalFile("config.dat.tmp"));
    rig.analyser->Shell().FormClose();
  });
  rig.platform.RunFor(5000);
  ASSERT_EQ(rig.platform.MessageTexts().size(), 1u);
  EXPECT_THAT(rig.platform.MessageTexts()[0], HasSubstr("Cannot create file"));
  EXPECT_EQ(rig.platform.Messages()[0].kind, MessageKind::Error);
  EXPECT_TRUE(rig.platform.QuitRequested());
  InstrumentSettings saved;
  Load_parameters(saved, rig.CalFile("config.dat"));
  EXPECT_EQ(saved.Text(Setting::StopFreq), "40000000");
}

TEST(Ending, ASignalWithAFailedSaveLogsItAndEndsWithoutABox) {
  AnalyserRig rig;
  rig.StartUp();
  std::filesystem::create_directory(rig.CalFile("config.dat.tmp"));
  rig.platform.At(NowMs(rig) + 300, [&] { rig.analyser->Shell().CloseFromSystem(); });
  rig.platform.RunFor(2000);
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_TRUE(rig.platform.MessageTexts().empty());
  EXPECT_THAT(rig.LogLines().back(),
              HasSubstr("Settings not saved at the end: Cannot create file"));
}

// A driver whose next read from the acquisition thread blocks until the
// test releases it (or 30 s pass).
class StallingDriver : public testing::ForwardingTransport {
 public:
  explicit StallingDriver(Transport& inner)
      : ForwardingTransport(inner), ui_thread_(std::this_thread::get_id()) {}
  void StallNextWorkerRead() {
    std::lock_guard lock(mutex_);
    armed_ = true;
  }
  // Armed or stalled: the worker will not hand its step over.
  bool Holding() {
    std::lock_guard lock(mutex_);
    return armed_ || stalled_;
  }
  bool Stalled() {
    std::lock_guard lock(mutex_);
    return stalled_;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    cv_.notify_all();
  }
  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* read) override {
    if (std::this_thread::get_id() != ui_thread_) {
      std::unique_lock lock(mutex_);
      if (armed_) {
        armed_ = false;
        stalled_ = true;
        cv_.wait_for(lock, std::chrono::seconds(30), [this] { return released_; });
        stalled_ = false;
      }
    }
    return ForwardingTransport::FT_Read(h, buffer, n, read);
  }

 private:
  std::thread::id ui_thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool armed_ = false;
  bool stalled_ = false;
  bool released_ = false;
};

TEST(Ending, AReadStuckInTheDriverHoldsTheEndForAboutOneReadTimeOut) {
  AnalyserRig rig;
  StallingDriver& driver = rig.UseDriver<StallingDriver>();
  // A stuck worker posts nothing: the virtual clock does not wait for it.
  rig.platform.worker_pending = [&] {
    return !driver.Holding() && rig.analyser->Engine().AcquisitionPending();
  };
  rig.StartUp();

  int64_t asked_ms = -1;
  std::chrono::steady_clock::time_point asked_real;
  std::function<void()> close_when_stalled = [&] {
    if (!driver.Stalled()) {
      rig.platform.At(NowMs(rig) + 5, close_when_stalled);
      return;
    }
    asked_ms = NowMs(rig);
    asked_real = std::chrono::steady_clock::now();
    rig.analyser->Shell().CloseFromSystem();
  };
  rig.platform.At(NowMs(rig) + 300, [&] {
    driver.StallNextWorkerRead();
    close_when_stalled();
  });
  rig.platform.RunUntil([] { return false; }, 20000);

  ASSERT_GE(asked_ms, 0);
  EXPECT_TRUE(rig.platform.QuitRequested());
  EXPECT_FALSE(rig.analyser->Engine().RunActive());
  EXPECT_TRUE(rig.analyser->Engine().WorkerAbandoned());
  EXPECT_LE(NowMs(rig) - asked_ms, SweepEngine::kEndWaitMs + 300);
  EXPECT_LT(std::chrono::steady_clock::now() - asked_real, std::chrono::seconds(10));
  EXPECT_THAT(rig.LogLines().back(), HasSubstr("did not return from the driver"));
  // The settings were saved before the wait.
  InstrumentSettings saved;
  Load_parameters(saved, rig.CalFile("config.dat"));
  EXPECT_EQ(saved.Text(Setting::RxGain), "39");
  driver.Release();  // the rig's end joins the worker
}

}  // namespace
}  // namespace ostra
