#include "swf/sound/sound_output_win32.h"

namespace orrivel::swf {

bool SoundOutput::Start(Mixer& mixer) {
  Stop();
  event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!event_) return false;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = Mixer::kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = Mixer::kRate * 4;
  if (waveOutOpen(&wave_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_.get()), 0,
                  CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    wave_ = nullptr;
    event_.reset();
    return false;
  }
  mixer_ = &mixer;
  samples_.assign(2 * kFramesPerBuffer * kBuffers, 0);
  for (int i = 0; i < kBuffers; ++i) {
    WAVEHDR& h = headers_[i];
    h = WAVEHDR{};
    h.lpData = reinterpret_cast<LPSTR>(samples_.data() + 2 * kFramesPerBuffer * i);
    h.dwBufferLength = kFramesPerBuffer * 4;
    waveOutPrepareHeader(wave_, &h, sizeof(h));
    h.dwFlags |= WHDR_DONE;  // free: the thread fills it first
  }
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void SoundOutput::Run() {
  while (!stop_) {
    for (WAVEHDR& h : headers_) {
      if (stop_ || !(h.dwFlags & WHDR_DONE)) continue;
      mixer_->Mix(reinterpret_cast<int16_t*>(h.lpData), kFramesPerBuffer);
      h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
      if (waveOutWrite(wave_, &h, sizeof(h)) != MMSYSERR_NOERROR) h.dwFlags |= WHDR_DONE;
    }
    WaitForSingleObject(event_.get(), 50);
  }
}

void SoundOutput::Stop() {
  if (!wave_) return;
  stop_ = true;
  waveOutReset(wave_);  // silent now, whatever the thread is doing
  SetEvent(event_.get());
  if (thread_.joinable()) thread_.join();
  waveOutReset(wave_);  // buffers the thread queued while it wound down
  for (WAVEHDR& h : headers_) waveOutUnprepareHeader(wave_, &h, sizeof(h));
  waveOutClose(wave_);
  wave_ = nullptr;
  event_.reset();
  mixer_ = nullptr;
}

}  // namespace orrivel::swf
