// Plays a Mixer through waveOut in shared mode: a thread of its own keeps a
// few short buffers queued, refilling each from the mixer as the device
// returns it. A machine without an audio device plays silently: Start
// returns false and nothing else happens.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <thread>
#include <vector>

#include "swf/sound/mixer.h"
#include "win32/unique_handle_win32.h"

namespace orrivel::swf {

class SoundOutput {
 public:
  SoundOutput() = default;
  ~SoundOutput() { Stop(); }
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  // Starts pulling from mixer (which must outlive Stop). False when there is
  // no device or it refused the format; the movie then plays without sound.
  bool Start(Mixer& mixer);
  // Silences the device at once and ends the thread; after it returns the
  // mixer is no longer called. Safe to call when not started.
  void Stop();
  bool Playing() const { return wave_ != nullptr; }

 private:
  static constexpr int kBuffers = 4;
  static constexpr DWORD kFramesPerBuffer = 2048;  // 46 ms each at 44.1 kHz

  void Run();

  Mixer* mixer_ = nullptr;
  HWAVEOUT wave_ = nullptr;
  win32::UniqueKernelHandle event_;  // set by the device as it returns a buffer
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<int16_t> samples_;
  WAVEHDR headers_[kBuffers] = {};
};

}  // namespace orrivel::swf
