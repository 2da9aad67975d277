#include <algorithm>
#include <array>
#include <vector>

#include "swf/sound/sample_source.h"

namespace orrivel::swf {
namespace {

class PcmSource final : public SampleSource {
 public:
  PcmSource(std::span<const uint8_t> data, SoundFormatInfo format)
      : data_(data),
        rate_(format.Rate()),
        channels_(format.Channels()),
        bytesPerSample_(format.is16Bit ? 2 : 1) {}

  size_t Read(int16_t* out, size_t maxFrames) override {
    const size_t frameBytes = static_cast<size_t>(channels_) * bytesPerSample_;
    size_t n = 0;
    for (; n < maxFrames && pos_ + frameBytes <= data_.size(); ++n, pos_ += frameBytes) {
      const int16_t left = Sample(pos_);
      out[2 * n] = left;
      out[2 * n + 1] = channels_ == 2 ? Sample(pos_ + bytesPerSample_) : left;
    }
    return n;
  }
  int Rate() const override { return rate_; }
  void Rewind() override { pos_ = 0; }

 private:
  int16_t Sample(size_t at) const {
    if (bytesPerSample_ == 1) return static_cast<int16_t>((data_[at] - 128) << 8);
    return static_cast<int16_t>(data_[at] | (data_[at + 1] << 8));
  }

  std::span<const uint8_t> data_;
  int rate_, channels_, bytesPerSample_;
  size_t pos_ = 0;
};

int16_t ALawToLinear(uint8_t a) {
  a ^= 0x55;
  int t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0) {
    t += 8;
  } else {
    t = (t + 0x108) << (segment - 1);
  }
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t MuLawToLinear(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  const int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((u & 0x80) ? 0x84 - t : t - 0x84);
}

class G711Source final : public SampleSource {
 public:
  G711Source(std::span<const uint8_t> data, SoundFormatInfo format)
      : data_(data),
        rate_(format.Rate()),
        channels_(format.Channels()),
        aLaw_(format.format == SoundFormat::G711ALaw) {}

  size_t Read(int16_t* out, size_t maxFrames) override {
    size_t n = 0;
    for (; n < maxFrames && pos_ + channels_ <= data_.size(); ++n, pos_ += channels_) {
      out[2 * n] = Decode(data_[pos_]);
      out[2 * n + 1] = Decode(data_[pos_ + channels_ - 1]);
    }
    return n;
  }
  int Rate() const override { return rate_; }
  void Rewind() override { pos_ = 0; }

 private:
  int16_t Decode(uint8_t v) const { return aLaw_ ? ALawToLinear(v) : MuLawToLinear(v); }

  std::span<const uint8_t> data_;
  int rate_;
  size_t channels_;
  bool aLaw_;
  size_t pos_ = 0;
};

constexpr std::array<int16_t, 89> kAdpcmSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Index changes by code magnitude, for 2, 3, 4 and 5 bit codes.
constexpr int8_t kAdpcmIndex2[] = {-1, 2};
constexpr int8_t kAdpcmIndex3[] = {-1, -1, 2, 4};
constexpr int8_t kAdpcmIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kAdpcmIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kAdpcmIndexTables[] = {kAdpcmIndex2, kAdpcmIndex3, kAdpcmIndex4,
                                               kAdpcmIndex5};
constexpr int kAdpcmPacketSamples = 4096;

class AdpcmSource final : public SampleSource {
 public:
  AdpcmSource(std::span<const uint8_t> data, SoundFormatInfo format)
      : data_(data), rate_(format.Rate()), channels_(format.Channels()) {
    Rewind();
  }

  size_t Read(int16_t* out, size_t maxFrames) override {
    size_t n = 0;
    while (n < maxFrames && !ended_) {
      if (left_ == 0 && !StartPacket()) break;
      if (left_ == kAdpcmPacketSamples) {  // the packet's first sample is stored whole
        --left_;
      } else {
        for (int c = 0; c < channels_; ++c) {
          const uint32_t code = Bits(bits_);
          if (ended_) return n;
          Step(channel_[c], code);
        }
        --left_;
      }
      out[2 * n] = static_cast<int16_t>(channel_[0].sample);
      out[2 * n + 1] = static_cast<int16_t>(channel_[channels_ - 1].sample);
      ++n;
    }
    return n;
  }
  int Rate() const override { return rate_; }
  void Rewind() override {
    bitPos_ = 0;
    ended_ = false;
    left_ = 0;
    bits_ = Bits(2) + 2;
  }

 private:
  struct Channel {
    int sample = 0, index = 0;
  };

  bool StartPacket() {
    // A header with nothing after it, or a cut-off header, ends the sound.
    const uint64_t headerBits = 22u * channels_;
    if (bitPos_ + headerBits + bits_ * channels_ > data_.size() * 8) {
      ended_ = true;
      return false;
    }
    for (int c = 0; c < channels_; ++c) {
      channel_[c].sample = static_cast<int16_t>(Bits(16));
      channel_[c].index = static_cast<int>(Bits(6));
    }
    left_ = kAdpcmPacketSamples;
    return true;
  }

  void Step(Channel& ch, uint32_t code) const {
    const uint32_t signBit = 1u << (bits_ - 1);
    int step = kAdpcmSteps[ch.index];
    int delta = step >> (bits_ - 1);
    for (uint32_t k = signBit >> 1; k; k >>= 1, step >>= 1) {
      if (code & k) delta += step;
    }
    ch.sample = std::clamp(ch.sample + ((code & signBit) ? -delta : delta), -32768, 32767);
    ch.index = std::clamp(ch.index + kAdpcmIndexTables[bits_ - 2][code & (signBit - 1)], 0, 88);
  }

  uint32_t Bits(unsigned n) {
    if (bitPos_ + n > data_.size() * 8) {
      ended_ = true;
      return 0;
    }
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i, ++bitPos_) {
      v = (v << 1) | ((data_[bitPos_ >> 3] >> (7 - (bitPos_ & 7))) & 1);
    }
    return v;
  }

  std::span<const uint8_t> data_;
  int rate_, channels_;
  uint64_t bitPos_ = 0;
  unsigned bits_ = 2;
  int left_ = 0;
  bool ended_ = false;
  Channel channel_[2];
};

class Mp3Source final : public SampleSource {
 public:
  Mp3Source(std::span<const uint8_t> frames, std::unique_ptr<Mp3Decoder> decoder,
            uint32_t skipFrames, uint32_t maxFrames)
      : data_(frames), decoder_(std::move(decoder)), skip_(skipFrames), max_(maxFrames) {
    Rewind();
  }

  size_t Read(int16_t* out, size_t maxFrames) override {
    while (true) {
      size_t want = maxFrames;
      if (max_ > 0) want = std::min<size_t>(want, max_ - std::min(max_, played_));
      if (want == 0) return 0;
      const size_t n = decoder_->Read(out, want);
      if (n == 0) {
        if (fed_ >= data_.size()) return 0;
        const size_t chunk = std::min<size_t>(kFeedChunk, data_.size() - fed_);
        decoder_->Feed(data_.subspan(fed_, chunk));
        fed_ += chunk;
        continue;
      }
      if (skipLeft_ > 0) {  // drop the encoder's delay
        const size_t drop = std::min<size_t>(skipLeft_, n);
        skipLeft_ -= static_cast<uint32_t>(drop);
        std::copy(out + 2 * drop, out + 2 * n, out);
        if (n == drop) continue;
        played_ += static_cast<uint32_t>(n - drop);
        return n - drop;
      }
      played_ += static_cast<uint32_t>(n);
      return n;
    }
  }
  int Rate() const override { return decoder_->Rate(); }
  void Rewind() override {
    decoder_->Reset();
    fed_ = 0;
    played_ = 0;
    skipLeft_ = skip_;
  }

 private:
  static constexpr size_t kFeedChunk = 4096;
  std::span<const uint8_t> data_;
  std::unique_ptr<Mp3Decoder> decoder_;
  uint32_t skip_, max_, skipLeft_ = 0, played_ = 0;
  size_t fed_ = 0;
};

// Keeps the definition whose bytes a source reads alive while it plays.
class OwningSource final : public SampleSource {
 public:
  OwningSource(std::shared_ptr<const SoundDefinition> sound, std::unique_ptr<SampleSource> inner)
      : sound_(std::move(sound)), inner_(std::move(inner)) {}
  size_t Read(int16_t* out, size_t maxFrames) override { return inner_->Read(out, maxFrames); }
  int Rate() const override { return inner_->Rate(); }
  void Rewind() override { inner_->Rewind(); }

 private:
  std::shared_ptr<const SoundDefinition> sound_;
  std::unique_ptr<SampleSource> inner_;
};

}  // namespace

std::unique_ptr<SampleSource> MakePcmSource(std::span<const uint8_t> data, SoundFormatInfo format) {
  return std::make_unique<PcmSource>(data, format);
}

std::unique_ptr<SampleSource> MakeG711Source(std::span<const uint8_t> data,
                                             SoundFormatInfo format) {
  return std::make_unique<G711Source>(data, format);
}

std::unique_ptr<SampleSource> MakeAdpcmSource(std::span<const uint8_t> data,
                                              SoundFormatInfo format) {
  return std::make_unique<AdpcmSource>(data, format);
}

std::unique_ptr<SampleSource> MakeMp3Source(std::span<const uint8_t> frames,
                                            std::unique_ptr<Mp3Decoder> decoder,
                                            uint32_t skipFrames, uint32_t maxFrames) {
  if (!decoder) return nullptr;
  return std::make_unique<Mp3Source>(frames, std::move(decoder), skipFrames, maxFrames);
}

std::unique_ptr<SampleSource> MakeEventSource(std::shared_ptr<const SoundDefinition> sound,
                                              Mp3DecoderFactory* mp3) {
  if (!sound) return nullptr;
  const std::span<const uint8_t> data = sound->data;
  std::unique_ptr<SampleSource> inner;
  switch (sound->format.format) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittle:
      inner = MakePcmSource(data, sound->format);
      break;
    case SoundFormat::Adpcm:
      inner = MakeAdpcmSource(data, sound->format);
      break;
    case SoundFormat::G711ALaw:
    case SoundFormat::G711MuLaw:
      inner = MakeG711Source(data, sound->format);
      break;
    case SoundFormat::Mp3: {
      if (!mp3 || data.size() < 2) return nullptr;
      const int16_t seek = static_cast<int16_t>(data[0] | (data[1] << 8));
      inner =
          MakeMp3Source(data.subspan(2), mp3->Create(), seek > 0 ? seek : 0, sound->sampleCount);
      break;
    }
    default:
      return nullptr;  // Nellymoser and Speex play silent
  }
  if (!inner) return nullptr;
  return std::make_unique<OwningSource>(std::move(sound), std::move(inner));
}

}  // namespace orrivel::swf
