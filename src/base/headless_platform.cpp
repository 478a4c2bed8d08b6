#include "base/headless_platform.h"

#include <iostream>

namespace ostra {

HeadlessPlatform::HeadlessPlatform() : ui_thread_(std::this_thread::get_id()) {}

MessageResult HeadlessPlatform::ShowMessage(const std::string& text, MessageKind,
                                            MessageButtons buttons) {
  if (!quiet) std::cerr << "[message] " << text << '\n';
  return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Yes;
}

void HeadlessPlatform::SetStatusText(const std::string& text) {
  status_ = text;
  ++status_count_;
}

bool HeadlessPlatform::FireDueTimers() {
  bool fired = false;
  const auto now = Clock::now();
  for (TimerId id : {TimerId::Splash, TimerId::Startup, TimerId::BeginSweep}) {
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second.enabled || it->second.due > now) continue;
    it->second.due = now + std::chrono::milliseconds(it->second.interval_ms);
    fired = true;
    if (timer_handler) timer_handler(id);
    if (quit_) break;
  }
  return fired;
}

HeadlessPlatform::Clock::time_point HeadlessPlatform::NextDue(Clock::time_point limit) const {
  for (const auto& [id, t] : timers_) {
    if (t.enabled && t.due < limit) limit = t.due;
  }
  return limit;
}

void HeadlessPlatform::ProcessMessages() {
  steps_.RunDue();
  FireDueTimers();
}

void HeadlessPlatform::WaitForEvents(int max_wait_ms) {
  if (steps_.RunDue()) return;
  const auto deadline = NextDue(Clock::now() + std::chrono::milliseconds(std::max(max_wait_ms, 0)));
  const auto now = Clock::now();
  if (deadline > now) {
    steps_.WaitForPost(std::chrono::duration_cast<std::chrono::microseconds>(deadline - now));
  }
  steps_.RunDue();
  FireDueTimers();
}

int64_t HeadlessPlatform::PerformanceCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count();
}

uint32_t HeadlessPlatform::TickCount() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
}

void HeadlessPlatform::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::tm HeadlessPlatform::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
#ifdef _WIN32
  localtime_s(&t, &now);
#else
  localtime_r(&now, &t);
#endif
  return t;
}

void HeadlessPlatform::RunOnUiThread(const std::function<void()>& step) {
  if (std::this_thread::get_id() == ui_thread_) {
    step();
    return;
  }
  steps_.PostAndWait(step);
}

void HeadlessPlatform::SetTimer(TimerId id, bool enabled, int interval_ms) {
  TimerState& t = timers_[id];
  t.enabled = enabled;
  t.interval_ms = interval_ms;
  if (enabled) t.due = Clock::now() + std::chrono::milliseconds(interval_ms);
}

void HeadlessPlatform::Run(int max_ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(max_ms);
  while (!quit_ && Clock::now() < end) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    WaitForEvents(static_cast<int>(std::max<int64_t>(left, 1)));
  }
}

}  // namespace ostra
