// The Platform of the desktop program, built on Qt: message boxes, the main
// window's status bar and progress bar, event processing and waiting, clocks,
// the user-interface thread, the three program timers, window placement,
// file dialogs, the documents folder and the main window's picture.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

#include "base/platform.h"

class QMainWindow;
class QProgressBar;

namespace ostra {

class QtPlatform : public Platform {
 public:
  // Must be constructed on the user-interface thread, after the QApplication.
  QtPlatform();
  ~QtPlatform() override;
  QtPlatform(const QtPlatform&) = delete;
  QtPlatform& operator=(const QtPlatform&) = delete;

  // --- Wiring by the program ------------------------------------------------
  // Receives every timer tick (the Analyser's OnTimer).
  std::function<void(TimerId)> timer_handler;
  // The window shown and moved for `id`; the main window also carries the
  // status bar ("StatusBar1") and the progress bar ("ProgressBar1").
  void RegisterWindow(WindowId id, QWidget* window);
  // Shows, hides or slides the main window's panels.
  std::function<void(PanelId, bool visible, bool slide)> panel_handler;
  QWidget* Window(WindowId id) const;

  // --- Platform ---------------------------------------------------------------
  MessageResult ShowMessage(const std::string& text, MessageKind kind = MessageKind::Information,
                            MessageButtons buttons = MessageButtons::Ok) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(bool visible, int position) override;
  void ProcessMessages() override;
  void WaitForEvents(int max_wait_ms) override;
  int64_t PerformanceCounter() override;
  int64_t PerformanceFrequency() override;
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
  std::optional<std::filesystem::path> DocumentsFolder() override;
  void Quit() override;
  bool QuitRequested() const override { return quit_requested_; }

  // The user's application-data location (~/.local/share, AppData\Local),
  // below which the per-user application folder lives; nothing when the
  // platform knows none.
  std::optional<std::filesystem::path> AppDataFolder() const;

  // Whether a timer is running, and its interval (for tests and diagnostics).
  bool TimerActive(TimerId id) const;
  int TimerInterval(TimerId id) const;

  // "Description|*.ext|Other|*.a;*.b" as Qt's "Description (*.ext);;Other (*.a *.b)".
  static QString ConvertFileFilter(const std::string& filter);

 private:
  bool OnUiThread() const;
  QProgressBar* ProgressBar();
  MessageResult ShowMessageHere(const std::string& text, MessageKind kind, MessageButtons buttons);

  void ShowStatusText(const QString& message);

  std::thread::id ui_thread_;
  std::array<QTimer*, 3> timers_{};
  // The status bar's newest text waits here while the bar is held back.
  QString status_pending_;
  QTimer status_timer_;
  QElapsedTimer status_clock_;
  // The deadline of WaitForEvents, kept rather than made for every wait.
  QTimer wait_deadline_;
  bool deadline_busy_ = false;
  std::array<QPointer<QWidget>, 5> windows_{};
  std::atomic<bool> quit_requested_{false};
};

}  // namespace ostra
