#include "moviesaver/frame_worker.h"

#include <utility>

namespace orrivel {

FrameWorker::FrameWorker(std::function<void()> threadStart, std::function<void()> threadEnd)
    : threadStart_(std::move(threadStart)), threadEnd_(std::move(threadEnd)), thread_([this] {
        if (threadStart_) threadStart_();
        Run();
        if (threadEnd_) threadEnd_();
      }) {}

FrameWorker::~FrameWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void FrameWorker::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void FrameWorker::Wait() {
  if (std::this_thread::get_id() == thread_.get_id()) return;  // a job waiting on itself
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

std::size_t FrameWorker::Pending() const {
  std::lock_guard lock(mutex_);
  return jobs_.size() + (running_ ? 1 : 0);
}

void FrameWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, with nothing left to run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();
    lock.lock();
    running_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
}

}  // namespace orrivel
