#include "moviesaver/frame_ticker_win32.h"

#include <algorithm>
#include <cmath>

namespace orrivel {
namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

HANDLE CreateFrameTimer() {
  // High resolution where the system has it (Windows 10 1803 on); a plain
  // waitable timer elsewhere.
  HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS);
  if (timer == nullptr) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  return timer;
}

int64_t Now100ns() {
  static const double ticksPer100ns = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1e7;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<int64_t>(static_cast<double>(c.QuadPart) / ticksPer100ns);
}

// The pause after a frame before the next may be posted, in 100 ns units.
constexpr int64_t kBreath = 20000;

}  // namespace

FrameTicker::FrameTicker(HWND target, UINT message)
    : target_(target),
      message_(message),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      drawn_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

FrameTicker::~FrameTicker() { Stop(); }

void FrameTicker::Start(double secondsPerFrame) {
  Stop();
  if (!(secondsPerFrame > 0) || !stop_ || !drawn_) return;
  ResetEvent(stop_.get());
  ResetEvent(drawn_.get());
  thread_ = std::thread([this, secondsPerFrame] { Run(secondsPerFrame); });
}

void FrameTicker::Stop() {
  if (!thread_.joinable()) return;
  SetEvent(stop_.get());
  thread_.join();
}

void FrameTicker::Run(double secondsPerFrame) {
  win32::UniqueKernelHandle timer(CreateFrameTimer());
  const int64_t period = std::max<int64_t>(1, std::llround(secondsPerFrame * 1e7));
  int64_t due = Now100ns() + period;
  HANDLE untilDue[2] = {stop_.get(), timer.get()};
  HANDLE untilDrawn[2] = {stop_.get(), drawn_.get()};
  for (;;) {
    const int64_t wait = due - Now100ns();
    if (wait > 0) {
      DWORD result;
      if (timer) {
        LARGE_INTEGER relative;
        relative.QuadPart = -wait;
        SetWaitableTimer(timer.get(), &relative, 0, nullptr, nullptr, FALSE);
        result = WaitForMultipleObjects(2, untilDue, FALSE, INFINITE);
      } else {
        result = WaitForSingleObject(stop_.get(), static_cast<DWORD>((wait + 9999) / 10000));
        if (result == WAIT_TIMEOUT) result = WAIT_OBJECT_0 + 1;
      }
      if (result != WAIT_OBJECT_0 + 1) return;  // stopped, or the wait failed
    }
    if (!PostMessageW(target_, message_, 0, 0)) return;  // the window is gone
    if (WaitForMultipleObjects(2, untilDrawn, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    // Behind the movie's rate, the next frame waits only for the breath.
    due = std::max(due + period, Now100ns() + kBreath);
  }
}

}  // namespace orrivel
