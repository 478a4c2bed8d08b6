#include "support/fake_platform.h"

#include <chrono>
#include <fstream>

namespace ostra::testing {

FakePlatform::FakePlatform() : ui_thread_(std::this_thread::get_id()) {
  time_base_.tm_year = 2026 - 1900;
  time_base_.tm_mon = 11;
  time_base_.tm_mday = 8;
  time_base_.tm_hour = 10;
}

MessageResult FakePlatform::ShowMessage(const std::string& text, MessageKind kind,
                                        MessageButtons buttons) {
  RecordedMessage message{text, kind, buttons};
  MessageResult answer = MessageResult::Ok;
  {
    std::lock_guard lock(message_mutex_);
    messages_.push_back(message);
    if (buttons != MessageButtons::Ok) {
      answer = buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
      if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
      }
    }
    while (buttons != MessageButtons::YesCancel && !box_gestures.empty()) {
      const BoxGesture gesture = box_gestures.front();
      box_gestures.pop_front();
      if (gesture == BoxGesture::Ok) break;
      if (buttons == MessageButtons::Acknowledge) {
        ++ignored_gestures;
        continue;
      }
      messages_.back().dismissed = true;
      break;
    }
    message = messages_.back();
  }
  if (on_message) on_message(message);
  return answer;
}

std::vector<RecordedMessage> FakePlatform::Messages() const {
  std::lock_guard lock(message_mutex_);
  return messages_;
}

std::vector<std::string> FakePlatform::MessageTexts() const {
  std::lock_guard lock(message_mutex_);
  std::vector<std::string> texts;
  for (const auto& m : messages_) texts.push_back(m.text);
  return texts;
}

void FakePlatform::ClearMessages() {
  std::lock_guard lock(message_mutex_);
  messages_.clear();
}

void FakePlatform::SetStatusText(const std::string& text) { status_texts_.push_back(text); }

void FakePlatform::SetProgress(bool visible, int position) {
  progress_changes_.push_back({visible, position});
}

std::optional<int64_t> FakePlatform::NextPostedDue() { return steps_.NextDue(); }

bool FakePlatform::RunPostedSteps() { return steps_.RunDue(now_us_); }

void FakePlatform::At(int64_t at_ms, std::function<void()> action) {
  actions_.emplace(at_ms * 1000, std::move(action));
}

bool FakePlatform::RunDueActions() {
  bool ran = false;
  while (!actions_.empty() && actions_.begin()->first <= now_us_) {
    auto action = std::move(actions_.begin()->second);
    actions_.erase(actions_.begin());
    action();
    ran = true;
  }
  return ran;
}

std::optional<int64_t> FakePlatform::NextTimerDue() const {
  std::optional<int64_t> next;
  if (!actions_.empty()) next = actions_.begin()->first;
  for (const auto& [id, t] : timers_) {
    if (t.enabled && (!next || t.due_us < *next)) next = t.due_us;
  }
  return next;
}

bool FakePlatform::FireDueTimers() {
  bool fired = false;
  for (TimerId id : {TimerId::Splash, TimerId::Startup, TimerId::BeginSweep}) {
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second.enabled || it->second.due_us > now_us_) continue;
    it->second.due_us = now_us_ + static_cast<int64_t>(it->second.interval_ms) * 1000;
    fired = true;
    if (timer_handler) timer_handler(id);
    if (quit_) break;
  }
  return fired;
}

void FakePlatform::ProcessMessages() {
  RunPostedSteps();
  RunDueActions();
  FireDueTimers();
  RunPostedSteps();
}

void FakePlatform::WaitForEvents(int max_wait_ms) {
  if (RunPostedSteps()) return;
  if (worker_pending && worker_pending()) steps_.WaitForPost(std::chrono::seconds(10));
  const int64_t deadline = now_us_ + static_cast<int64_t>(std::max(max_wait_ms, 0)) * 1000;
  if (const auto posted = NextPostedDue(); posted && *posted <= deadline) {
    now_us_ = std::max<int64_t>(now_us_, *posted);
    RunPostedSteps();
    return;
  }
  const auto next = NextTimerDue();
  if (next && *next <= deadline) {
    if (*next > now_us_) now_us_ = *next;
    RunDueActions();
    FireDueTimers();
    return;
  }
  // Nothing due on the virtual clock: give a worker a moment to post its
  // completion step, then let the virtual time pass.
  steps_.WaitForPost(std::chrono::microseconds(200));
  if (const auto posted = NextPostedDue(); posted && *posted <= deadline) {
    now_us_ = std::max<int64_t>(now_us_, *posted);
    RunPostedSteps();
    return;
  }
  now_us_ = deadline;
}

int64_t FakePlatform::PerformanceCounter() {
  if (counter_frequency_ == 0) return 0;
  return now_us_.load() * counter_frequency_ / 1'000'000;
}

uint32_t FakePlatform::TickCount() { return static_cast<uint32_t>(now_us_.load() / 1000); }

void FakePlatform::Sleep(int ms) {
  if (OnUiThread()) sleeps_.push_back(ms);
  now_us_ += static_cast<int64_t>(ms) * 1000;
}

std::tm FakePlatform::LocalTime() {
  std::tm t = time_base_;
  t.tm_sec += static_cast<int>(now_us_.load() / 1'000'000);
  std::mktime(&t);
  return t;
}

void FakePlatform::RunOnUiThread(const std::function<void()>& step) {
  if (OnUiThread()) {
    step();
    return;
  }
  // A worker's step arrives after the time its work takes on the instrument.
  steps_.PostAndWait(step, now_us_ + worker_step_delay_us_);
}

void FakePlatform::SetTimer(TimerId id, bool enabled, int interval_ms) {
  TimerState& t = timers_[id];
  t.enabled = enabled;
  t.interval_ms = interval_ms;
  if (enabled) t.due_us = now_us_ + static_cast<int64_t>(interval_ms) * 1000;
}

bool FakePlatform::TimerEnabled(TimerId id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second.enabled;
}

int FakePlatform::TimerInterval(TimerId id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second.interval_ms;
}

void FakePlatform::ShowWindow(WindowId id, bool visible) { windows_[id] = visible; }

void FakePlatform::MoveWindow(WindowId id, int left, int top) { positions_[id] = {left, top}; }

void FakePlatform::ShowPanel(PanelId id, bool visible, bool slide) {
  panels_[id] = visible;
  panel_changes_.push_back({id, visible, slide});
}

bool FakePlatform::PanelVisible(PanelId id) const {
  auto it = panels_.find(id);
  return it != panels_.end() && it->second;
}

bool FakePlatform::WindowVisible(WindowId id) const {
  auto it = windows_.find(id);
  return it != windows_.end() && it->second;
}

std::pair<int, int> FakePlatform::WindowPosition(WindowId id) const {
  auto it = positions_.find(id);
  return it == positions_.end() ? std::pair{0, 0} : it->second;
}

std::optional<std::filesystem::path> FakePlatform::RunFileDialog(const FileDialogRequest& request) {
  auto choice = ChooseFile(request);
  if (!choice) return std::nullopt;
  return choice->path;
}

std::optional<FileDialogChoice> FakePlatform::ChooseFile(const FileDialogRequest& request) {
  file_dialogs.push_back(request);
  int filter = 0;
  if (!file_dialog_filters.empty()) {
    filter = file_dialog_filters.front();
    file_dialog_filters.pop_front();
  }
  if (file_dialog_answers.empty()) return std::nullopt;
  auto answer = file_dialog_answers.front();
  file_dialog_answers.pop_front();
  if (!answer) return std::nullopt;
  std::filesystem::path path = *answer;
  if (path.is_relative()) path = request.initial_dir / path;
  std::string extension = request.default_extension;
  const auto k = static_cast<size_t>(filter);
  if (filter >= 0 && k < request.filter_extensions.size() && !request.filter_extensions[k].empty())
    extension = request.filter_extensions[k];
  if (!path.has_extension() && !extension.empty()) path += "." + extension;
  return FileDialogChoice{path, filter};
}

bool FakePlatform::SaveWindowPicture(const std::filesystem::path& file) {
  window_pictures.push_back(file);
  if (on_window_picture) on_window_picture(file);
  if (window_picture_fails) return false;
  // A 1 x 1 bitmap, 24 bits a pixel: file header, info header, one pixel
  // padded to four bytes.
  std::string bitmap;
  auto put = [&bitmap](uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) bitmap += static_cast<char>((value >> (8 * b)) & 0xFF);
  };
  bitmap += "BM";
  put(58, 4);  // file size
  put(0, 4);
  put(54, 4);  // offset of the pixels
  put(40, 4);  // info header size
  put(1, 4);   // width
  put(1, 4);   // height
  put(1, 2);   // planes
  put(24, 2);  // bits per pixel
  put(0, 4);   // no compression
  put(4, 4);   // size of the pixels
  for (int i = 0; i < 4; ++i) put(0, 4);
  put(0, 4);  // one black pixel and its padding
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bitmap;
  return static_cast<bool>(out);
}

void FakePlatform::RunFor(int ms) {
  const int64_t end = now_us_ + static_cast<int64_t>(ms) * 1000;
  while (!quit_ && now_us_ < end) {
    ProcessMessages();
    if (quit_) break;
    const auto next = NextTimerDue();
    const int64_t step_to = next && *next > now_us_ ? std::min(*next, end) : end;
    if (!next || *next > now_us_) WaitForEvents(static_cast<int>((step_to - now_us_ + 999) / 1000));
  }
}

bool FakePlatform::RunUntil(const std::function<bool()>& done, int max_ms) {
  const int64_t end = now_us_ + static_cast<int64_t>(max_ms) * 1000;
  while (!quit_ && !done() && now_us_ < end) {
    ProcessMessages();
    if (done() || quit_) break;
    const auto next = NextTimerDue();
    const int64_t wait_us = next && *next > now_us_ ? std::min(*next, end) - now_us_ : 1000;
    WaitForEvents(static_cast<int>(std::max<int64_t>((wait_us + 999) / 1000, 1)));
  }
  return done();
}

}  // namespace ostra::testing
