// Row bands drawn in parallel. A WorkerPool owns a few persistent threads;
// the renderer makes its pool the current one for the duration of a frame
// (ScopedWorkers), and the pixel kernels split their rows into bands with
// ForEachBand. Every row is computed by exactly the same code whichever
// band it falls in, so the picture does not depend on the thread count.
// Work too small to pay for waking the threads runs on the calling thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orrivel::swf::raster {

class WorkerPool {
 public:
  // threads counts the calling thread; 1 runs everything in the caller.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Threads() const { return threads_; }

  // Calls band(index) for index 0 .. count - 1, spread over the threads,
  // and returns when every call has returned. Not reentrant: a band that
  // calls Run again runs that work in its own thread.
  void Run(int count, const std::function<void(int)>& band);

  // The machine's hardware threads, at least 1 and at most kMaxThreads.
  static int MachineThreads();
  static constexpr int kMaxThreads = 16;

 private:
  void Work();
  bool TakeBand(int& index);

  const int threads_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int)>* job_ = nullptr;
  int count_ = 0, next_ = 0, running_ = 0;
  uint64_t generation_ = 0;
  bool stop_ = false;
};

// Makes pool the calling thread's current pool until destroyed (nullptr:
// none), restoring the previous one.
class ScopedWorkers {
 public:
  explicit ScopedWorkers(WorkerPool* pool);
  ~ScopedWorkers();
  ScopedWorkers(const ScopedWorkers&) = delete;
  ScopedWorkers& operator=(const ScopedWorkers&) = delete;

 private:
  WorkerPool* previous_;
};

// Calls rows(from, to) over bands that together cover [begin, end) once
// each, in parallel on the current pool when `pixels` (the work's size)
// is large enough to pay for it, else once for the whole range.
void ForEachBand(int begin, int end, int64_t pixels, const std::function<void(int, int)>& rows);

// Whether ForEachBand would split work of this size on this thread.
bool WouldSplit(int rows, int64_t pixels);

}  // namespace orrivel::swf::raster
