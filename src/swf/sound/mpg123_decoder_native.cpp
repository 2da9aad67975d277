#include "swf/sound/mpg123_decoder_native.h"

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace orrivel::swf {
namespace {

// A decoder buffers at most this much undecoded input; more is dropped, so a
// stream of garbage cannot grow it.
constexpr size_t kMaxBuffered = 1u << 20;

class Mpg123Decoder final : public Mp3Decoder {
 public:
  Mpg123Decoder() {
    static std::once_flag init;
    std::call_once(init, [] { mpg123_init(); });
    Open();
  }
  ~Mpg123Decoder() override {
    if (handle_) mpg123_delete(handle_);
  }

  void Feed(std::span<const uint8_t> bytes) override {
    if (!handle_ || bytes.empty() || buffered_ + bytes.size() > kMaxBuffered) return;
    if (mpg123_feed(handle_, bytes.data(), bytes.size()) == MPG123_OK) buffered_ += bytes.size();
  }

  size_t Read(int16_t* out, size_t maxFrames) override {
    if (!handle_) return 0;
    for (int attempts = 0; attempts < 64; ++attempts) {
      size_t done = 0;
      const int channels = channels_ > 0 ? channels_ : 1;
      // Mono is decoded into the second half of out, then spread to both sides.
      unsigned char* target =
          reinterpret_cast<unsigned char*>(channels == 1 ? out + maxFrames : out);
      const int err = mpg123_read(handle_, target, maxFrames * channels * sizeof(int16_t), &done);
      if (err == MPG123_NEW_FORMAT) {
        long rate = 0;
        int ch = 0, enc = 0;
        mpg123_getformat(handle_, &rate, &ch, &enc);
        rate_ = static_cast<int>(rate);
        channels_ = ch;
        continue;
      }
      const size_t frames = done / (channels * sizeof(int16_t));
      if (channels == 1) {
        for (size_t i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = out[maxFrames + i];
      }
      if (frames > 0) {
        buffered_ = 0;  // something was consumed; the cap only guards undecodable input
        return frames;
      }
      if (err == MPG123_NEED_MORE || err == MPG123_DONE || err != MPG123_OK) return 0;
    }
    return 0;
  }

  int Rate() const override { return rate_; }
  void Reset() override {
    if (handle_) mpg123_delete(handle_);
    Open();
  }

 private:
  void Open() {
    handle_ = mpg123_new(nullptr, nullptr);
    buffered_ = 0;
    rate_ = 0;
    channels_ = 0;
    if (!handle_) return;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(handle_);
    for (const long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
      mpg123_format(handle_, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(handle_) != MPG123_OK) {
      mpg123_delete(handle_);
      handle_ = nullptr;
    }
  }

  mpg123_handle* handle_ = nullptr;
  size_t buffered_ = 0;
  int rate_ = 0, channels_ = 0;
};

}  // namespace

std::unique_ptr<Mp3Decoder> Mpg123DecoderFactory::Create() {
  return std::make_unique<Mpg123Decoder>();
}

}  // namespace orrivel::swf
