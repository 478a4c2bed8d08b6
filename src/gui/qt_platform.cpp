#include "gui/qt_platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <future>
#include <memory>

namespace ostra {

namespace {

size_t TimerIndex(TimerId id) { return static_cast<size_t>(id); }
size_t WindowIndex(WindowId id) { return static_cast<size_t>(id); }

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Plain:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtPlatform::QtPlatform() : ui_thread_(std::this_thread::get_id()) {
  status_timer_.setSingleShot(true);
  QObject::connect(&status_timer_, &QTimer::timeout, [this] { ShowStatusText(status_pending_); });
  for (size_t i = 0; i < timers_.size(); ++i) {
    auto* timer = new QTimer();
    timer->setSingleShot(false);
    timer->setTimerType(Qt::PreciseTimer);
    const auto id = static_cast<TimerId>(i);
    QObject::connect(timer, &QTimer::timeout, [this, id] {
      if (!timer_handler) return;
      try {
        timer_handler(id);
      } catch (const std::exception& e) {
        // The Analyser's handlers show their own errors; anything that still
        // escapes must not unwind through Qt's event dispatch.
        std::fprintf(stderr, "ostra: timer handler failed: %s\n", e.what());
      }
    });
    timers_[i] = timer;
  }
}

QtPlatform::~QtPlatform() {
  status_timer_.stop();
  wait_deadline_.stop();
  for (QTimer* timer : timers_) delete timer;
}

bool QtPlatform::OnUiThread() const { return std::this_thread::get_id() == ui_thread_; }

void QtPlatform::RegisterWindow(WindowId id, QWidget* window) {
  windows_[WindowIndex(id)] = window;
}

QWidget* QtPlatform::Window(WindowId id) const { return windows_[WindowIndex(id)].data(); }

MessageResult QtPlatform::ShowMessage(const std::string& text, MessageKind kind,
                                      MessageButtons buttons) {
  if (OnUiThread()) return ShowMessageHere(text, kind, buttons);
  MessageResult result = MessageResult::Ok;
  QMetaObject::invokeMethod(
      qApp, [&] { result = ShowMessageHere(text, kind, buttons); }, Qt::BlockingQueuedConnection);
  return result;
}

namespace {

// A box that only its OK button closes: Escape and the window's close button
// leave it where it is (the program's end still ends its event loop).
class AcknowledgeBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

}  // namespace

MessageResult QtPlatform::ShowMessageHere(const std::string& text, MessageKind kind,
                                          MessageButtons buttons) {
  QWidget* parent = QApplication::activeWindow();
  if (parent == nullptr) {
    QWidget* main = Window(WindowId::Main);
    if (main != nullptr && main->isVisible()) parent = main;
  }
  const QString title = QCoreApplication::applicationName();
  const QString message = QString::fromStdString(text);
  std::unique_ptr<QMessageBox> made;
  if (buttons == MessageButtons::Acknowledge) {
    made = std::make_unique<AcknowledgeBox>(IconOf(kind), title, message, QMessageBox::NoButton,
                                            parent);
  } else {
    made =
        std::make_unique<QMessageBox>(IconOf(kind), title, message, QMessageBox::NoButton, parent);
  }
  QMessageBox& box = *made;
  if (buttons == MessageButtons::YesCancel) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
  } else if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (buttons == MessageButtons::YesCancel) {
    return answer == QMessageBox::Yes ? MessageResult::Yes : MessageResult::Cancel;
  }
  if (buttons == MessageButtons::YesNo) {
    return answer == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  }
  return MessageResult::Ok;
}

// The acquisition loop sets the text after every sweep, up to sixty times a
// second, and each new text repaints the whole bar. The bar shows the newest
// text at most every kStatusHoldMs, which a person reads no differently.
constexpr int kStatusHoldMs = 250;

void QtPlatform::SetStatusText(const std::string& text) {
  const QString message = QString::fromStdString(text);
  if (status_timer_.isActive()) {
    status_pending_ = message;
    return;
  }
  if (status_clock_.isValid() && status_clock_.elapsed() < kStatusHoldMs) {
    status_pending_ = message;
    status_timer_.start(static_cast<int>(kStatusHoldMs - status_clock_.elapsed()));
    return;
  }
  ShowStatusText(message);
}

void QtPlatform::ShowStatusText(const QString& message) {
  auto* main = qobject_cast<QMainWindow*>(Window(WindowId::Main));
  if (main == nullptr) return;
  // The same text again costs no repaint.
  if (main->statusBar()->currentMessage() == message) return;
  main->statusBar()->showMessage(message);
  status_clock_.start();
}

QProgressBar* QtPlatform::ProgressBar() {
  QWidget* main = Window(WindowId::Main);
  if (main == nullptr) return nullptr;
  return main->findChild<QProgressBar*>("ProgressBar1");
}

void QtPlatform::SetProgress(bool visible, int position) {
  QProgressBar* bar = ProgressBar();
  if (bar == nullptr) return;
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  bar->setVisible(visible);
}

void QtPlatform::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPlatform::WaitForEvents(int max_wait_ms) {
  if (max_wait_ms <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // The deadline is itself an event: whichever comes first, a window message
  // or this timer, ends the wait. The processor sleeps in between. A wait
  // inside a wait (a handler that waits) has a timer of its own.
  QTimer local;
  QTimer& deadline = deadline_busy_ ? local : wait_deadline_;
  const bool outer = !deadline_busy_;
  deadline_busy_ = true;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  deadline.start(max_wait_ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  deadline.stop();
  if (outer) deadline_busy_ = false;
}

int64_t QtPlatform::PerformanceCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t QtPlatform::PerformanceFrequency() { return 1'000'000'000; }

uint32_t QtPlatform::TickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return static_cast<uint32_t>(ms);
}

void QtPlatform::Sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::tm QtPlatform::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm result{};
#ifdef _WIN32
  localtime_s(&result, &now);
#else
  localtime_r(&now, &result);
#endif
  return result;
}

void QtPlatform::RunOnUiThread(const std::function<void()>& step) {
  if (OnUiThread()) {
    step();
    return;
  }
  // A queued call and a promise rather than a blocking queued call: the
  // hand-over is then visible to the thread sanitizer (the promise orders the
  // step's writes before the worker goes on), which Qt's own wait is not.
  // The call owns the promise: a call dropped undelivered (the program
  // ending) breaks it, and the worker goes on as it did after Qt's own wait.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ran = done->get_future();
  QMetaObject::invokeMethod(
      qApp,
      [&step, done] {
        try {
          step();
          done->set_value();
        } catch (...) {
          done->set_exception(std::current_exception());
        }
      },
      Qt::QueuedConnection);
  try {
    ran.get();
  } catch (const std::future_error&) {
    // Never delivered: nothing ran.
  }
}

void QtPlatform::SetTimer(TimerId id, bool enabled, int interval_ms) {
  QTimer* timer = timers_[TimerIndex(id)];
  if (!enabled) {
    timer->stop();
    return;
  }
  interval_ms = std::max(interval_ms, 0);
  // Like a TTimer: enabling a running timer with the same interval leaves its
  // schedule alone; a new interval starts the count again.
  if (timer->isActive() && timer->interval() == interval_ms) return;
  timer->start(interval_ms);
}

bool QtPlatform::TimerActive(TimerId id) const { return timers_[TimerIndex(id)]->isActive(); }

int QtPlatform::TimerInterval(TimerId id) const { return timers_[TimerIndex(id)]->interval(); }

void QtPlatform::ShowWindow(WindowId id, bool visible) {
  QWidget* window = Window(id);
  if (window == nullptr) return;
  if (!visible) {
    window->hide();
    return;
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void QtPlatform::MoveWindow(WindowId id, int left, int top) {
  QWidget* window = Window(id);
  if (window != nullptr) window->move(left, top);
}

void QtPlatform::ShowPanel(PanelId id, bool visible, bool slide) {
  if (panel_handler) panel_handler(id, visible, slide);
}

QString QtPlatform::ConvertFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    const QString joined = patterns.join(' ');
    // A description that already names its patterns is kept as it reads.
    if (description.endsWith("(" + joined + ")") && !joined.isEmpty()) {
      // Qt reads the patterns from the last parenthesised group.
      filters << description;
    } else {
      filters << QString("%1 (%2)").arg(description, joined);
    }
  }
  if (parts.size() % 2 == 1 && !parts.back().isEmpty() && filters.isEmpty()) {
    filters << parts.back();  // a bare pattern
  }
  return filters.join(";;");
}

std::optional<std::filesystem::path> QtPlatform::RunFileDialog(const FileDialogRequest& request) {
  auto choice = ChooseFile(request);
  if (!choice) return std::nullopt;
  return choice->path;
}

namespace {

// The extension appended to a name typed without one while filter `index`
// is chosen.
QString DefaultSuffixFor(const FileDialogRequest& request, int index) {
  const auto k = static_cast<size_t>(index);
  if (index >= 0 && k < request.filter_extensions.size() && !request.filter_extensions[k].empty()) {
    return QString::fromStdString(request.filter_extensions[k]);
  }
  return QString::fromStdString(request.default_extension);
}

}  // namespace

std::optional<FileDialogChoice> QtPlatform::ChooseFile(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // The system's save dialogs do not ask before overwriting.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QStringList filters = ConvertFileFilter(request.filter).split(";;", Qt::SkipEmptyParts);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(DefaultSuffixFor(request, 0));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, &request, &filters](const QString& filter) {
                     dialog.setDefaultSuffix(
                         DefaultSuffixFor(request, static_cast<int>(filters.indexOf(filter))));
                   });
  if (!request.initial_dir.empty()) {
    dialog.setDirectory(QString::fromStdU16String(request.initial_dir.u16string()));
  }
  if (!request.file_name.empty()) dialog.selectFile(QString::fromStdString(request.file_name));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  FileDialogChoice choice;
  choice.path = std::filesystem::path(files.front().toStdU16String());
  choice.filter_index =
      std::max<int>(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
  return choice;
}

bool QtPlatform::SaveWindowPicture(const std::filesystem::path& file) {
  QWidget* window = Window(WindowId::Main);
  if (window == nullptr) return false;
  // The screen's pixels of the window's frame, title bar included; where the
  // platform cannot read the screen, the window draws itself.
  QPixmap picture;
  if (QScreen* screen = window->screen()) {
    const QRect frame = window->frameGeometry().translated(-screen->geometry().topLeft());
    picture = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  if (picture.isNull()) picture = window->grab();
  QSaveFile out(QString::fromStdU16String(file.u16string()));
  if (!out.open(QIODevice::WriteOnly)) return false;
  if (!picture.save(&out, "BMP")) return false;  // the temporary is dropped
  return out.commit();
}

std::optional<std::filesystem::path> QtPlatform::DocumentsFolder() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (dir.isEmpty()) return std::nullopt;
  // On a fresh Linux account the folder may not exist yet; the data
  // directory beneath it is created one level deep only, so make it here.
  if (!QDir().mkpath(dir)) return std::nullopt;
  return std::filesystem::path(QDir::toNativeSeparators(dir).toStdU16String());
}

std::optional<std::filesystem::path> QtPlatform::AppDataFolder() const {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dir.isEmpty()) return std::nullopt;
  return std::filesystem::path(QDir::toNativeSeparators(dir).toStdU16String());
}

void QtPlatform::Quit() {
  quit_requested_ = true;
  // exit() ends every running event loop, the nested ones too, without
  // closing the windows one by one; quit() would do nothing outside exec().
  // Before any loop runs, exit() would be forgotten; the program checks
  // QuitRequested() before it starts its main loop.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

}  // namespace ostra
