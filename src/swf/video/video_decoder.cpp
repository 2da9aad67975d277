#include "swf/video/video_decoder.h"

#include "swf/video/h263_decoder.h"
#include "swf/video/screen_video.h"
#include "swf/video/screen_video2.h"

namespace orrivel::swf::video {

std::unique_ptr<VideoDecoder> MakeVideoDecoder(uint8_t codec, uint8_t deblocking) {
  switch (codec) {
    case 2:
      return std::make_unique<SparkDecoder>(deblocking);
    case 3:
      return std::make_unique<ScreenVideoDecoder>();
    case 6:
      return std::make_unique<ScreenVideo2Decoder>();
    default:
      return nullptr;
  }
}

}  // namespace orrivel::swf::video
