#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/ui_step_queue.h"

namespace ostra {
namespace {

TEST(UiStepQueue, AWorkerWaitsUntilItsStepHasRunOnTheOwnersThreadWhenDue) {
  UiStepQueue queue;
  std::atomic<bool> returned{false};
  std::thread::id ran_on;
  std::thread worker([&] {
    queue.PostAndWait([&] { ran_on = std::this_thread::get_id(); }, /*due=*/100);
    returned = true;
  });
  ASSERT_TRUE(queue.WaitForPost(std::chrono::seconds(10)));
  EXPECT_EQ(queue.NextDue(), 100);
  EXPECT_FALSE(queue.RunDue(99));  // not due yet: nothing runs, the worker waits
  EXPECT_FALSE(returned);
  EXPECT_TRUE(queue.RunDue(100));
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_FALSE(queue.NextDue().has_value());
  EXPECT_FALSE(queue.WaitForPost(std::chrono::microseconds(100)));
}

TEST(UiStepQueue, StepsRunInTheOrderTheyWerePosted) {
  UiStepQueue queue;
  std::vector<int> order;
  std::thread first([&] { queue.PostAndWait([&] { order.push_back(1); }); });
  ASSERT_TRUE(queue.WaitForPost(std::chrono::seconds(10)));
  std::thread second([&] { queue.PostAndWait([&] { order.push_back(2); }); });
  while (order.size() < 2) queue.RunDue();
  first.join();
  second.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace ostra
