#include "swf/raster/parallel.h"

#include <algorithm>

namespace orrivel::swf::raster {
namespace {

// Below this many pixels a kernel finishes in about the time it takes to
// wake a sleeping thread.
constexpr int64_t kMinParallelPixels = 64 * 1024;
// Bands per thread: a few, so that a band that happens to hold the costly
// part of a picture does not leave the other threads waiting.
constexpr int kBandsPerThread = 4;
constexpr int kMinBandRows = 8;

thread_local WorkerPool* current = nullptr;

}  // namespace

WorkerPool::WorkerPool(int threads) : threads_(std::clamp(threads, 1, kMaxThreads)) {
  workers_.reserve(static_cast<size_t>(threads_ - 1));
  for (int i = 1; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

int WorkerPool::MachineThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(n), 1, kMaxThreads);
}

bool WorkerPool::TakeBand(int& index) {
  if (job_ == nullptr || next_ >= count_) return false;
  index = next_++;
  ++running_;
  return true;
}

void WorkerPool::Run(int count, const std::function<void(int)>& band) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1 || current != this) {
    for (int i = 0; i < count; ++i) band(i);
    return;
  }
  std::unique_lock lock(mutex_);
  job_ = &band;
  count_ = count;
  next_ = 0;
  ++generation_;
  wake_.notify_all();
  // The calling thread takes bands too; it runs them without the pool
  // current, so nested work stays in the band's thread.
  int index = 0;
  while (TakeBand(index)) {
    lock.unlock();
    current = nullptr;
    band(index);
    current = this;
    lock.lock();
    --running_;
  }
  done_.wait(lock, [this] { return next_ >= count_ && running_ == 0; });
  job_ = nullptr;
}

void WorkerPool::Work() {
  std::unique_lock lock(mutex_);
  uint64_t seen = generation_;
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || (generation_ != seen && job_ != nullptr); });
    if (stop_) return;
    seen = generation_;
    int index = 0;
    while (TakeBand(index)) {
      const std::function<void(int)>& band = *job_;
      lock.unlock();
      band(index);
      lock.lock();
      --running_;
    }
    if (running_ == 0) done_.notify_all();
  }
}

ScopedWorkers::ScopedWorkers(WorkerPool* pool) : previous_(current) { current = pool; }

ScopedWorkers::~ScopedWorkers() { current = previous_; }

bool WouldSplit(int rows, int64_t pixels) {
  return current != nullptr && current->Threads() > 1 && pixels >= kMinParallelPixels &&
         rows >= 2 * kMinBandRows;
}

void ForEachBand(int begin, int end, int64_t pixels, const std::function<void(int, int)>& rows) {
  if (end <= begin) return;
  const int total = end - begin;
  if (!WouldSplit(total, pixels)) {
    rows(begin, end);
    return;
  }
  const int bands = std::clamp(total / kMinBandRows, 1, current->Threads() * kBandsPerThread);
  current->Run(bands, [&](int i) {
    // Even split: band i covers [begin + total * i / bands, ...).
    const int from = begin + static_cast<int>(int64_t{total} * i / bands);
    const int to = begin + static_cast<int>(int64_t{total} * (i + 1) / bands);
    if (to > from) rows(from, to);
  });
}

}  // namespace orrivel::swf::raster
