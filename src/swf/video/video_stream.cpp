#include "swf/video/video_stream.h"

#include <algorithm>
#include <vector>

namespace orrivel::swf::video {

VideoStream::VideoStream(const VideoDefinition& def)
    : def_(def), decoder_(MakeVideoDecoder(def.codec, def.deblocking)) {}

int VideoStream::MaxDecodesPerCall() const {
  const raster::Image& last = decoder_->Picture();
  const uint64_t declared = uint64_t{def_.width} * def_.height;
  const uint64_t decoded = static_cast<uint64_t>(last.width) * last.height;
  const uint64_t pixels = std::max<uint64_t>({declared, decoded, 256});
  return static_cast<int>(std::clamp<uint64_t>(kMaxPixelsPerCall / pixels, 1, 4096));
}

const raster::Image* VideoStream::FrameAt(uint32_t frame) {
  if (!decoder_ || def_.frames.empty()) return nullptr;
  auto target = def_.frames.upper_bound(static_cast<uint16_t>(std::min<uint32_t>(frame, 0xFFFF)));
  if (target == def_.frames.begin()) return nullptr;
  --target;
  const int32_t wanted = target->first;
  if (wanted != current_) {
    // Walk back to a key frame, or to the frame after the current one.
    auto start = target;
    int steps = 0;
    const int maxSteps = MaxDecodesPerCall() - 1;
    for (;;) {
      if (wanted > current_ && start->first == current_ + 1) break;
      if (decoder_->IsKeyFrame(start->second)) break;
      if (start == def_.frames.begin() || steps++ >= maxSteps) break;
      if (std::prev(start)->first == current_ && wanted > current_) break;
      --start;
    }
    for (auto it = start;; ++it) {
      // A damaged frame leaves the last good picture.
      decoder_->Decode(it->second);
      ++decoded_;
      if (it == target) break;
    }
    current_ = wanted;
  }
  const raster::Image& picture = decoder_->Picture();
  return picture.pixels.empty() ? nullptr : &picture;
}

}  // namespace orrivel::swf::video
