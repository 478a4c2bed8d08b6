#include "base/ui_step_queue.h"

namespace ostra {

void UiStepQueue::PostAndWait(const std::function<void()>& step, int64_t due) {
  Posted posted{&step, due};
  std::unique_lock lock(mutex_);
  queue_.push_back(&posted);
  cv_.notify_all();
  cv_.wait(lock, [&] { return posted.done; });
}

bool UiStepQueue::RunDue(int64_t now) {
  bool ran = false;
  for (;;) {
    Posted* posted = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || queue_.front()->due > now) break;
      posted = queue_.front();
      queue_.pop_front();
    }
    (*posted->step)();
    {
      std::lock_guard lock(mutex_);
      posted->done = true;
    }
    cv_.notify_all();
    ran = true;
  }
  return ran;
}

std::optional<int64_t> UiStepQueue::NextDue() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  return queue_.front()->due;
}

bool UiStepQueue::WaitForPost(std::chrono::microseconds timeout) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
}

}  // namespace ostra
