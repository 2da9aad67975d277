// One thread that runs the player's work (frames, input, drawing) in the
// order it was handed over, so that the window's own thread never waits
// for a frame to be drawn: keys, the mouse and the exit watch keep their
// pace while a heavy frame renders.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orrivel {

class FrameWorker {
 public:
  // threadStart and threadEnd run on the worker's thread around its jobs
  // (to set up what the platform wants of a thread that decodes pictures).
  explicit FrameWorker(std::function<void()> threadStart = {},
                       std::function<void()> threadEnd = {});
  // Runs what was handed over, then ends.
  ~FrameWorker();
  FrameWorker(const FrameWorker&) = delete;
  FrameWorker& operator=(const FrameWorker&) = delete;

  // Runs `job` on the worker after every job handed over before it.
  void Post(std::function<void()> job);
  // Returns once every job handed over so far has run.
  void Wait();
  // Jobs handed over and not yet finished (the running one included).
  std::size_t Pending() const;

 private:
  void Run();

  std::function<void()> threadStart_, threadEnd_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orrivel
