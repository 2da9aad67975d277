#include "swf/render/video_paint.h"

namespace orrivel::swf {

const raster::Image* VideoFrames::Frame(const VideoDefinition& def, uint32_t frame) {
  auto& stream = streams_[def.id];
  if (!stream) stream = std::make_unique<video::VideoStream>(def);
  return stream->FrameAt(frame);
}

Matrix VideoPictureScale(const VideoDefinition& def, const raster::Image& picture) {
  Matrix m;
  if (picture.width > 0 && picture.height > 0 && def.width > 0 && def.height > 0) {
    m.a = static_cast<double>(def.width) / picture.width;
    m.d = static_cast<double>(def.height) / picture.height;
  }
  return m;
}

}  // namespace orrivel::swf
