#include "swf/sound/acm_mp3_decoder_win32.h"

#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "swf/sound/mp3_header.h"

namespace orrivel::swf {
namespace {

constexpr size_t kMaxPending = 1u << 20;  // undecoded bytes kept at most
constexpr DWORD kOutBytes = 1u << 16;

class AcmMp3Decoder final : public Mp3Decoder {
 public:
  ~AcmMp3Decoder() override { Close(); }

  void Feed(std::span<const uint8_t> bytes) override {
    if (failed_ || pending_.size() + bytes.size() > kMaxPending) return;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  }

  size_t Read(int16_t* out, size_t maxFrames) override {
    if (pcm_.size() / channels_ <= pcmPos_ / channels_ && !Convert()) return 0;
    const size_t frames = std::min(maxFrames, (pcm_.size() - pcmPos_) / channels_);
    for (size_t i = 0; i < frames; ++i) {
      out[2 * i] = pcm_[pcmPos_];
      out[2 * i + 1] = pcm_[pcmPos_ + channels_ - 1];
      pcmPos_ += channels_;
    }
    return frames;
  }

  int Rate() const override { return rate_; }
  void Reset() override {
    Close();
    pending_.clear();
    pcm_.clear();
    pcmPos_ = 0;
    failed_ = false;
    rate_ = 0;
    channels_ = 1;
  }

 private:
  bool Open() {
    const auto info = FindMp3Frame(pending_);
    if (!info) return false;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(info->offset));
    MPEGLAYER3WAVEFORMAT mp3{};
    mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    mp3.wfx.nChannels = static_cast<WORD>(info->channels);
    mp3.wfx.nSamplesPerSec = static_cast<DWORD>(info->rate);
    mp3.wfx.nAvgBytesPerSec = static_cast<DWORD>(info->bitrateKbps * 1000 / 8);
    mp3.wfx.nBlockAlign = 1;
    mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    mp3.wID = MPEGLAYER3_ID_MPEG;
    mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    mp3.nBlockSize = static_cast<WORD>(std::max(1, 144 * info->bitrateKbps * 1000 / info->rate));
    mp3.nFramesPerBlock = 1;
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = mp3.wfx.nChannels;
    pcm.nSamplesPerSec = mp3.wfx.nSamplesPerSec;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(2 * pcm.nChannels);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    if (acmStreamOpen(&stream_, nullptr, &mp3.wfx, &pcm, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0) {
      stream_ = nullptr;
      failed_ = true;  // no codec: this sound stays silent
      pending_.clear();
      return false;
    }
    rate_ = info->rate;
    channels_ = static_cast<size_t>(info->channels);
    return true;
  }

  // Decodes what is pending; false when nothing came out.
  bool Convert() {
    if (failed_ || pending_.empty() || (!stream_ && !Open())) return false;
    pcm_.clear();
    pcmPos_ = 0;
    std::vector<BYTE> decoded(kOutBytes);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof(h);
    h.pbSrc = pending_.data();
    h.cbSrcLength = static_cast<DWORD>(pending_.size());
    h.pbDst = decoded.data();
    h.cbDstLength = kOutBytes;
    if (acmStreamPrepareHeader(stream_, &h, 0) != 0) return false;
    const MMRESULT result = acmStreamConvert(stream_, &h, 0);
    h.cbSrcLength = static_cast<DWORD>(pending_.size());
    h.cbDstLength = kOutBytes;
    acmStreamUnprepareHeader(stream_, &h, 0);
    if (result != 0) {
      pending_.clear();
      return false;
    }
    const size_t used = std::min<size_t>(h.cbSrcLengthUsed, pending_.size());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(used));
    pcm_.resize(h.cbDstLengthUsed / 2 / channels_ * channels_);
    std::memcpy(pcm_.data(), decoded.data(), pcm_.size() * 2);
    if (used == 0 && pcm_.empty() && pending_.size() > kOutBytes) pending_.clear();  // stuck
    return !pcm_.empty();
  }

  void Close() {
    if (stream_) acmStreamClose(stream_, 0);
    stream_ = nullptr;
  }

  HACMSTREAM stream_ = nullptr;
  std::vector<uint8_t> pending_;
  std::vector<int16_t> pcm_;
  size_t pcmPos_ = 0;
  size_t channels_ = 1;
  int rate_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Mp3Decoder> AcmMp3DecoderFactory::Create() {
  return std::make_unique<AcmMp3Decoder>();
}

}  // namespace orrivel::swf
