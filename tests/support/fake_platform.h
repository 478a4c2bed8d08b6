// A scripted Platform for tests: a virtual clock, message boxes answered by
// the test and recorded, recorded status texts and window states, timers that
// fire on the virtual clock, and a queue for steps posted by worker threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/platform.h"
#include "base/ui_step_queue.h"

namespace ostra::testing {

struct RecordedMessage {
  std::string text;
  MessageKind kind;
  MessageButtons buttons;
  // Closed by Escape or the title bar's close button rather than by OK.
  bool dismissed = false;
};

// What the user does on a box with an OK button.
enum class BoxGesture { Escape, CloseButton, Ok };

class FakePlatform : public Platform {
 public:
  FakePlatform();

  // --- Platform ------------------------------------------------------------
  MessageResult ShowMessage(const std::string& text, MessageKind kind,
                            MessageButtons buttons) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(bool visible, int position) override;
  void ProcessMessages() override;
  void WaitForEvents(int max_wait_ms) override;
  int64_t PerformanceCounter() override;
  int64_t PerformanceFrequency() override { return counter_frequency_; }
  uint32_t TickCount() override;
  void Sleep(int ms) override;
  std::tm LocalTime() override;
  void RunOnUiThread(const std::function<void()>& step) override;
  void SetTimer(TimerId id, bool enabled, int interval_ms) override;
  void ShowWindow(WindowId id, bool visible) override;
  void MoveWindow(WindowId id, int left, int top) override;
  void ShowPanel(PanelId id, bool visible, bool slide) override;
  std::optional<std::filesystem::path> RunFileDialog(const FileDialogRequest& request) override;
  std::optional<FileDialogChoice> ChooseFile(const FileDialogRequest& request) override;
  bool SaveWindowPicture(const std::filesystem::path& file) override;
  std::optional<std::filesystem::path> DocumentsFolder() override { return documents_folder_; }
  void Quit() override { quit_ = true; }
  bool QuitRequested() const override { return quit_; }

  // --- Scripting -----------------------------------------------------------
  // Receives every timer tick (the test wires it to the Analyser).
  std::function<void(TimerId)> timer_handler;
  // True while a worker thread is expected to post a step (the acquisition
  // in flight): the virtual clock then waits for it in real time instead of
  // running ahead of a thread that has not been scheduled yet.
  std::function<bool()> worker_pending;
  // Called with each message box before it is answered (on the caller's thread).
  std::function<void(const RecordedMessage&)> on_message;
  // Answers for Yes/Cancel and Yes/No boxes, used in order (Cancel or No
  // when none is left); Ok boxes always answer Ok.
  std::deque<MessageResult> answers;
  // Gestures on boxes with an OK button, used in order until one closes the
  // box (none queued: OK). Escape and the close button close an Ok box as
  // OK does; an Acknowledge box ignores them and stays until OK.
  std::deque<BoxGesture> box_gestures;
  int ignored_gestures = 0;
  // What the user types in the file dialogs, in order (nothing: Cancel). As
  // in a real dialog, a relative name is taken in the dialog's folder and a
  // name without extension gets the chosen filter's default extension.
  std::deque<std::optional<std::filesystem::path>> file_dialog_answers;
  // The filter chosen with each answer; 0 (the first) when none is queued.
  std::deque<int> file_dialog_filters;
  std::vector<FileDialogRequest> file_dialogs;
  // Window pictures: each file asked for, and whether saving it succeeds
  // (the fake writes a small bitmap file of its own when it does).
  std::vector<std::filesystem::path> window_pictures;
  bool window_picture_fails = false;
  // Called with the picture's file before it is saved.
  std::function<void(const std::filesystem::path&)> on_window_picture;

  std::vector<RecordedMessage> Messages() const;
  std::vector<std::string> MessageTexts() const;
  void ClearMessages();
  const std::vector<std::string>& StatusTexts() const { return status_texts_; }
  std::string StatusText() const { return status_texts_.empty() ? "" : status_texts_.back(); }
  bool WindowVisible(WindowId id) const;
  bool PanelVisible(PanelId id) const;
  // Every panel change, in order: (panel, visible, slid).
  struct PanelChange {
    PanelId id;
    bool visible;
    bool slide;
  };
  const std::vector<PanelChange>& PanelChanges() const { return panel_changes_; }
  // Every progress-bar change, in order: (visible, position).
  struct ProgressChange {
    bool visible;
    int position;
    bool operator==(const ProgressChange&) const = default;
  };
  const std::vector<ProgressChange>& ProgressChanges() const { return progress_changes_; }
  std::pair<int, int> WindowPosition(WindowId id) const;
  bool TimerEnabled(TimerId id) const;
  int TimerInterval(TimerId id) const;

  void SetCounterFrequency(int64_t frequency) { counter_frequency_ = frequency; }
  // Virtual time that passes before a worker's step reaches this thread
  // (the acquisition it stands for); 67 ms by default, the default sweep's.
  void SetWorkerStepDelayMs(int ms) { worker_step_delay_us_ = static_cast<int64_t>(ms) * 1000; }
  void SetDocumentsFolder(std::optional<std::filesystem::path> dir) {
    documents_folder_ = std::move(dir);
  }
  void SetLocalTimeBase(const std::tm& base) { time_base_ = base; }
  int64_t NowMicroseconds() const { return now_us_.load(); }
  void AdvanceMicroseconds(int64_t us) { now_us_ += us; }

  // The outer event loop: fires timers and posted steps for `ms` of virtual
  // time, or until Quit.
  void RunFor(int ms);
  // Runs the outer loop until `done` holds, Quit, or `max_ms` of virtual time.
  bool RunUntil(const std::function<bool()>& done, int max_ms);
  // Runs `action` on the user-interface thread once the virtual clock has
  // reached `at_ms` (the next time messages are processed), as a key press
  // or a menu click would arrive.
  void At(int64_t at_ms, std::function<void()> action);
  // Counts the sleeps that did not process messages (the 20 ms waits).
  const std::vector<int>& Sleeps() const { return sleeps_; }

 private:
  struct TimerState {
    bool enabled = false;
    int interval_ms = 0;
    int64_t due_us = 0;
  };
  bool RunPostedSteps();
  bool RunDueActions();
  bool FireDueTimers();
  std::optional<int64_t> NextTimerDue() const;
  bool OnUiThread() const { return std::this_thread::get_id() == ui_thread_; }

  std::thread::id ui_thread_;
  std::atomic<int64_t> now_us_{0};
  int64_t counter_frequency_ = 1'000'000;
  std::atomic<int64_t> worker_step_delay_us_{67'000};
  std::tm time_base_{};
  std::optional<std::filesystem::path> documents_folder_;
  bool quit_ = false;

  mutable std::mutex message_mutex_;
  std::vector<RecordedMessage> messages_;
  std::vector<std::string> status_texts_;
  std::vector<int> sleeps_;
  std::map<WindowId, bool> windows_;
  std::map<PanelId, bool> panels_{{PanelId::ControlPanel, true}, {PanelId::MarkerPanel, false}};
  std::vector<PanelChange> panel_changes_;
  std::vector<ProgressChange> progress_changes_;
  std::map<WindowId, std::pair<int, int>> positions_;
  std::map<TimerId, TimerState> timers_;
  std::multimap<int64_t, std::function<void()>> actions_;

  std::optional<int64_t> NextPostedDue();
  UiStepQueue steps_;
};

}  // namespace ostra::testing
