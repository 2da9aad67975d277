// Decoded sound at its own rate, pulled a block at a time: every format's
// decoder turns its data into interleaved stereo 16-bit frames (mono is
// doubled), so the mixer has one kind of input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "swf/format/movie.h"

namespace orrivel::swf {

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Up to maxFrames frames into out (2 * maxFrames values); 0 at the end.
  virtual size_t Read(int16_t* out, size_t maxFrames) = 0;
  // Frames per second; for MP3 known once the first frame is decoded.
  virtual int Rate() const = 0;
  // Back to the first frame (for loops).
  virtual void Rewind() = 0;
};

// An MP3 decoder fed in pieces: frames split anywhere between Feed calls.
class Mp3Decoder {
 public:
  virtual ~Mp3Decoder() = default;
  virtual void Feed(std::span<const uint8_t> bytes) = 0;
  // Decoded stereo frames (mono doubled) into out; 0 when it needs more input.
  virtual size_t Read(int16_t* out, size_t maxFrames) = 0;
  virtual int Rate() const = 0;  // 0 until a frame was decoded
  virtual void Reset() = 0;      // forget everything fed
};

// The system's MP3 decoding (libmpg123 natively, ACM on Windows).
class Mp3DecoderFactory {
 public:
  virtual ~Mp3DecoderFactory() = default;
  // Null when the system has no MP3 decoder: the sound then plays silent.
  virtual std::unique_ptr<Mp3Decoder> Create() = 0;
};

// Decoders for the formats we decode ourselves (sample_decoders.cpp).
// Each reads its bytes in place; `data` must outlive the source.

// Uncompressed 8-bit (unsigned) or 16-bit little-endian samples.
std::unique_ptr<SampleSource> MakePcmSource(std::span<const uint8_t> data, SoundFormatInfo format);
// G.711 A-law or mu-law, 8 bits per sample.
std::unique_ptr<SampleSource> MakeG711Source(std::span<const uint8_t> data, SoundFormatInfo format);
// ADPCM, 2 to 5 bits per code, in packets of 4096 samples.
std::unique_ptr<SampleSource> MakeAdpcmSource(std::span<const uint8_t> data,
                                              SoundFormatInfo format);
// MP3 frames; skips `skipFrames` decoded frames at the start and stops after
// `maxFrames` (0: no limit).
std::unique_ptr<SampleSource> MakeMp3Source(std::span<const uint8_t> frames,
                                            std::unique_ptr<Mp3Decoder> decoder,
                                            uint32_t skipFrames, uint32_t maxFrames);

// The decoder of an event sound; null for formats without one (Nellymoser,
// Speex, MP3 without a system decoder). Keeps `sound` alive.
std::unique_ptr<SampleSource> MakeEventSource(std::shared_ptr<const SoundDefinition> sound,
                                              Mp3DecoderFactory* mp3);

}  // namespace orrivel::swf
