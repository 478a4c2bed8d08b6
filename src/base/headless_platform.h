// A Platform without a window, on the real clock: timers and steps posted by
// worker threads run on the thread that calls Run. Message boxes are answered
// at once (OK, or the configured answer) and written to standard error.
// The factory-file tool and the benchmarks drive the program with it.
#pragma once

#include <chrono>
#include <map>
#include <thread>

#include "base/platform.h"
#include "base/ui_step_queue.h"

namespace ostra {

class HeadlessPlatform : public Platform {
 public:
  HeadlessPlatform();

  MessageResult ShowMessage(const std::string& text, MessageKind kind,
                            MessageButtons buttons) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(bool, int) override {}
  void ProcessMessages() override;
  void WaitForEvents(int max_wait_ms) override;
  int64_t PerformanceCounter() override;
  int64_t PerformanceFrequency() override { return 1'000'000'000; }
  uint32_t TickCount() override;
  void Sleep(int ms) override;
  std::tm LocalTime() override;
  void RunOnUiThread(const std::function<void()>& step) override;
  void SetTimer(TimerId id, bool enabled, int interval_ms) override;
  void ShowWindow(WindowId, bool) override {}
  void MoveWindow(WindowId, int, int) override {}
  void ShowPanel(PanelId, bool, bool) override {}
  std::optional<std::filesystem::path> RunFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<FileDialogChoice> ChooseFile(const FileDialogRequest&) override {
    return std::nullopt;
  }
  bool SaveWindowPicture(const std::filesystem::path&) override { return false; }
  std::optional<std::filesystem::path> DocumentsFolder() override { return documents_; }
  void Quit() override { quit_ = true; }
  bool QuitRequested() const override { return quit_; }

  std::function<void(TimerId)> timer_handler;
  // When set, message boxes are not written to standard error.
  bool quiet = false;
  void SetDocumentsFolder(std::filesystem::path dir) { documents_ = std::move(dir); }
  const std::string& StatusText() const { return status_; }
  uint64_t StatusTextCount() const { return status_count_; }

  // The outer event loop: runs until Quit or `max_ms` of real time.
  void Run(int max_ms);

 private:
  using Clock = std::chrono::steady_clock;
  struct TimerState {
    bool enabled = false;
    int interval_ms = 0;
    Clock::time_point due;
  };
  bool FireDueTimers();
  Clock::time_point NextDue(Clock::time_point limit) const;

  const Clock::time_point start_ = Clock::now();
  std::thread::id ui_thread_;
  bool quit_ = false;
  std::optional<std::filesystem::path> documents_;
  std::string status_;
  uint64_t status_count_ = 0;
  std::map<TimerId, TimerState> timers_;

  UiStepQueue steps_;
};

}  // namespace ostra
