// Embedded video as the renderer draws it: each stream's decoder, kept from
// frame to frame, and how a decoded picture maps onto the stream's box.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/video/video_stream.h"

namespace orrivel::swf {

class VideoFrames {
 public:
  // The picture of frame `frame` of the stream; nullptr when none is decoded.
  const raster::Image* Frame(const VideoDefinition& def, uint32_t frame);

 private:
  std::unordered_map<uint16_t, std::unique_ptr<video::VideoStream>> streams_;
};

// Scales a picture's pixels onto the stream's declared box (both in pixels).
Matrix VideoPictureScale(const VideoDefinition& def, const raster::Image& picture);

}  // namespace orrivel::swf
