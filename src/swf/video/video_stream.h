// Plays one embedded video stream by frame number: the timeline's ratio
// names the frame to show. Stepping forward decodes the frames in between;
// any other jump goes back to the key frame at or before the target and
// decodes forward from there.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/format/movie.h"
#include "swf/video/video_decoder.h"

namespace orrivel::swf::video {

class VideoStream {
 public:
  // def must outlive the stream.
  explicit VideoStream(const VideoDefinition& def);

  // The picture for frame `frame` (the last frame at or before it that the
  // file holds); nullptr when there is none to show yet.
  const raster::Image* FrameAt(uint32_t frame);

  // Frames decoded so far, for tests of the seeking rule.
  uint64_t DecodedCount() const { return decoded_; }

 private:
  // Pixels decoded per call at most, so that one jump costs a bounded time
  // (about 200 frames of 640x480; a long run from a key frame starts later
  // and shows a picture built on a frame it did not see).
  static constexpr uint64_t kMaxPixelsPerCall = 64ull << 20;
  int MaxDecodesPerCall() const;

  const VideoDefinition& def_;
  std::unique_ptr<VideoDecoder> decoder_;
  int32_t current_ = -1;  // the frame number last decoded into the decoder
  uint64_t decoded_ = 0;
};

}  // namespace orrivel::swf::video
