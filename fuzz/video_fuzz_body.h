// Video frames from a hostile file, for one codec per fuzz target: the first
// byte picks the deblocking setting, the rest is cut into frames by two-byte
// lengths and decoded in order, then shown through a stream in a jumping
// order so the seeking is reached too. Frame sizes are capped, so every run
// is bounded.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "swf/video/video_decoder.h"
#include "swf/video/video_stream.h"

inline int FuzzVideo(uint8_t codec, const uint8_t* data, size_t size) {
  using namespace orrivel::swf;
  if (size < 1) return 0;
  const uint8_t deblocking = static_cast<uint8_t>((data[0] >> 2) & 7);
  VideoDefinition def;
  def.codec = codec;
  def.deblocking = deblocking;
  size_t pos = 1;
  uint16_t number = 0;
  while (pos + 2 <= size && def.frames.size() < 16) {
    const size_t n =
        std::min<size_t>(size_t{data[pos]} | size_t{data[pos + 1]} << 8, size - pos - 2);
    def.frames[number] = std::vector<uint8_t>(data + pos + 2, data + pos + 2 + n);
    number = static_cast<uint16_t>(number + 1 + (data[pos] & 1));
    pos += 2 + n;
  }
  auto decoder = video::MakeVideoDecoder(codec, deblocking);
  if (!decoder) return 0;
  for (const auto& [n, frame] : def.frames) {
    decoder->IsKeyFrame(frame);
    if (decoder->Decode(frame)) {
      const auto& p = decoder->Picture();
      if (p.pixels.size() != static_cast<size_t>(p.width) * p.height) __builtin_trap();
    }
  }
  video::VideoStream stream(def);
  for (uint32_t f : {3u, 0u, 7u, 2u, 40u, 1u}) stream.FrameAt(f);
  return 0;
}
