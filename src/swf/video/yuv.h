// Planar YUV 4:2:0 pictures with a border around each plane (motion vectors
// may point past the edges), and their conversion to BGRA as Flash shows it.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/raster/raster.h"

namespace orrivel::swf::video {

struct Plane {
  int width = 0, height = 0;  // the coded area
  int border = 0;
  int stride = 0;
  std::vector<uint8_t> data;
  void Resize(int w, int h, int pad);
  uint8_t* Row(int y) { return data.data() + static_cast<size_t>(y + border) * stride + border; }
  const uint8_t* Row(int y) const {
    return data.data() + static_cast<size_t>(y + border) * stride + border;
  }
  // Copies the outermost pixels into the border.
  void ExtendEdges();
};

struct YuvPicture {
  Plane y, u, v;
  // Coded sizes are whole 16x16 macroblocks; chroma is half each way.
  void Resize(int codedWidth, int codedHeight, int lumaBorder);
};

// BT.601 video range to full-range RGB, chroma taken from the sample that
// covers each pixel. The picture's visible width and height are given.
void YuvToBgra(const YuvPicture& pic, int width, int height, raster::Image& out);
// Converts only the pixels from (x0, y0) up to (x1, y1) of an `out` already
// sized by YuvToBgra.
void YuvToBgraRect(const YuvPicture& pic, int x0, int y0, int x1, int y1, raster::Image& out);

}  // namespace orrivel::swf::video
