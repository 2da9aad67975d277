#include "swf/video/video_stream.h"

#include <vector>

namespace orrivel::swf::video {

VideoStream::VideoStream(const VideoDefinition& def)
    : def_(def), decoder_(MakeVideoDecoder(def.codec, def.deblocking)) {}

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
    for (;;) {
      if (wanted > current_ && start->first == current_ + 1) break;
      if (decoder_->IsKeyFrame(start->second)) break;
      if (start == def_.frames.begin() || ++steps >= kMaxDecodesPerCall) break;
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
