// Steps that worker threads hand to the user-interface thread. The worker
// waits until its step has run; the user-interface thread runs the queued
// steps when it processes messages.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>

namespace ostra {

class UiStepQueue {
 public:
  // Worker side: queues `step`, to run once the owner's clock reaches `due`,
  // and waits until it has run.
  void PostAndWait(const std::function<void()>& step, int64_t due = 0);
  // User-interface side: runs the queued steps that are due at `now`, in
  // order; true when any ran.
  bool RunDue(int64_t now = std::numeric_limits<int64_t>::max());
  // When the first queued step is due, if any is queued.
  std::optional<int64_t> NextDue();
  // Waits up to `timeout` for a step to be queued; true when one is.
  bool WaitForPost(std::chrono::microseconds timeout);

 private:
  struct Posted {
    const std::function<void()>* step;
    int64_t due;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Posted*> queue_;
};

}  // namespace ostra
