// The player's worker runs jobs in order, away from the caller's thread,
// and Wait returns only when all of them have run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "moviesaver/frame_worker.h"

namespace orrivel {
namespace {

TEST(FrameWorkerTest, RunsJobsInOrderOffTheCallersThread) {
  std::vector<int> order;
  std::atomic<bool> release = false;
  std::atomic<int> onCaller = 0;
  const auto caller = std::this_thread::get_id();
  std::thread::id started, ended;
  {
    FrameWorker worker([&] { started = std::this_thread::get_id(); },
                       [&] { ended = std::this_thread::get_id(); });
    // The first job holds the worker: the caller goes on meanwhile.
    worker.Post([&] {
      while (!release) std::this_thread::yield();
      order.push_back(0);
    });
    for (int i = 1; i <= 50; ++i) {
      worker.Post([&, i] {
        onCaller += std::this_thread::get_id() == caller;
        order.push_back(i);
      });
    }
    EXPECT_EQ(worker.Pending(), 51u);
    release = true;
    worker.Wait();
    EXPECT_EQ(worker.Pending(), 0u);
    ASSERT_EQ(order.size(), 51u);
    for (int i = 0; i <= 50; ++i) EXPECT_EQ(order[i], i);
    // A job may wait for its own worker without hanging, and jobs handed
    // over just before the end still run.
    worker.Post([&] {
      worker.Wait();
      order.push_back(51);
    });
    worker.Post([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      order.push_back(52);
    });
  }
  EXPECT_EQ(order.size(), 53u);
  // The thread's own set-up and tear-down ran on it.
  EXPECT_NE(started, caller);
  EXPECT_EQ(started, ended);
  EXPECT_EQ(order.back(), 52);
  EXPECT_EQ(onCaller, 0);
}

}  // namespace
}  // namespace orrivel
