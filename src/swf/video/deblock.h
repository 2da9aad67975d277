// The block edge filter of H.263's deblocking mode, applied to a picture
// before it is shown: across the horizontal edges of the 8x8 blocks, then
// across the vertical ones, harder the coarser the quantizer.
#pragma once

#include "swf/video/yuv.h"

namespace orrivel::swf::video {

void Deblock(YuvPicture& pic, int quantizer);

}  // namespace orrivel::swf::video
