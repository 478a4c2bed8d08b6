// The one interface through which the instrument logic reaches what a desktop
// provides: message boxes, the status bar, window-message processing, clocks,
// sleeping, the user-interface thread, the one-shot timers, file dialogs and
// the window's picture.
// QtPlatform implements it for the program; tests use a scripted double.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ostra {

enum class MessageKind { Information, Warning, Error, Plain };
// Acknowledge: an OK button only, which nothing else closes (not Escape, not
// the title bar's close button): a step the user must confirm on purpose.
enum class MessageButtons { Ok, YesCancel, YesNo, Acknowledge };
enum class MessageResult { Ok, Yes, Cancel, No };

// The program's timers. Each is periodic while enabled, as a Delphi TTimer is;
// the handlers that use one as a one-shot disable it in their tick.
enum class TimerId { Splash, Startup, BeginSweep };

// The windows the program shows and hides.
enum class WindowId { Splash, Main, SweepParameters, Log, About };

// The panels of the main window that show and hide, at once or sliding.
enum class PanelId { ControlPanel, MarkerPanel };

struct FileDialogRequest {
  bool save = false;                  // save dialog, else open dialog
  std::string title;                  // "Save instrument state"
  std::string filter;                 // "Instrument states(*.sta)|*.sta"
  std::string default_extension;      // "sta"
  std::string file_name;              // proposed name
  std::filesystem::path initial_dir;  // starting folder
  // When the filter string holds several filters ("A|*.a|B|*.b"): the
  // extension appended to a name typed without one while filter k is chosen.
  // A filter without an entry (or with an empty one) takes default_extension.
  std::vector<std::string> filter_extensions;
};

// What the user chose in a file dialog: the file, and which of the request's
// filters was selected (0 for the first).
struct FileDialogChoice {
  std::filesystem::path path;
  int filter_index = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Modal message box; returns when the user has answered. Safe to call from
  // any thread (a worker's box is marshalled to the user-interface thread).
  virtual MessageResult ShowMessage(const std::string& text,
                                    MessageKind kind = MessageKind::Information,
                                    MessageButtons buttons = MessageButtons::Ok) = 0;

  // Status bar simple text.
  virtual void SetStatusText(const std::string& text) = 0;
  // Progress bar (firmware upgrade): visibility and position in percent.
  virtual void SetProgress(bool visible, int position) = 0;

  // Processes pending window messages (timers, key presses, repaints) and
  // returns when none is left. Runs handlers re-entrantly.
  virtual void ProcessMessages() = 0;
  // Sleeps in the event loop until the next event arrives or `max_wait_ms`
  // has passed, processing what arrives. Never spins the processor.
  virtual void WaitForEvents(int max_wait_ms) = 0;

  // High-resolution performance counter and its frequency in ticks per
  // second (0 when the machine has none).
  virtual int64_t PerformanceCounter() = 0;
  virtual int64_t PerformanceFrequency() = 0;
  // Millisecond tick count.
  virtual uint32_t TickCount() = 0;
  // Blocks the calling thread without processing window messages.
  virtual void Sleep(int ms) = 0;
  // Local wall-clock time for the log's timestamps.
  virtual std::tm LocalTime() = 0;

  // Runs `step` on the user-interface thread and waits until it has run.
  // Called from a worker thread; the step runs the next time the
  // user-interface thread processes messages.
  virtual void RunOnUiThread(const std::function<void()>& step) = 0;

  // Enables (interval in ms) or disables a timer. Ticks are delivered while
  // the user-interface thread processes messages.
  virtual void SetTimer(TimerId id, bool enabled, int interval_ms) = 0;

  // Shows or hides a window; `modal_wait` is never used for the program's
  // non-modal windows.
  virtual void ShowWindow(WindowId id, bool visible) = 0;
  // Moves a window's top-left corner on the screen.
  virtual void MoveWindow(WindowId id, int left, int top) = 0;
  // Shows or hides a panel of the main window; `slide` animates it over
  // 200 ms (the control panel slides right to hide and left to show, the
  // marker panel upwards either way).
  virtual void ShowPanel(PanelId id, bool visible, bool slide) = 0;

  // File dialogs: the chosen path, or nothing when cancelled.
  virtual std::optional<std::filesystem::path> RunFileDialog(const FileDialogRequest& request) = 0;
  // The same dialog, telling also which filter the user chose.
  virtual std::optional<FileDialogChoice> ChooseFile(const FileDialogRequest& request) = 0;

  // Saves a picture of the main window, frame and title bar included where
  // the platform can take them, as a Windows bitmap file (written under a
  // temporary name and renamed). False when it could not be written.
  virtual bool SaveWindowPicture(const std::filesystem::path& file) = 0;

  // The user's documents folder, when the platform knows one.
  virtual std::optional<std::filesystem::path> DocumentsFolder() = 0;

  // Ends the program once control returns to the outermost event loop.
  virtual void Quit() = 0;
  virtual bool QuitRequested() const = 0;
};

}  // namespace ostra
