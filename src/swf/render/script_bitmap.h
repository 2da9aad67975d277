// The pixels of a bitmap a script draws into (BitmapData), shared by the
// script's object and every clip that shows them, so that what a script
// draws shows on the next frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/raster/pixel.h"
#include "swf/raster/raster.h"

namespace orrivel::swf {

struct ScriptBitmap {
  int width = -1, height = -1;  // -1: disposed, or never made
  bool transparent = true;
  std::vector<uint32_t> argb;  // straight (not premultiplied) ARGB, row by row

  bool Valid() const { return width > 0; }

  // After every change of the pixels: the next picture is made afresh.
  void Changed() { picture_.reset(); }

  // The pixels premultiplied, as the renderer draws them; the same picture
  // until the next change, so that an unchanged bitmap redraws nothing.
  std::shared_ptr<const raster::Image> Picture() {
    if (!Valid()) return nullptr;
    if (!picture_) {
      auto image = std::make_shared<raster::Image>();
      image->width = width;
      image->height = height;
      image->pixels.resize(argb.size());
      for (std::size_t i = 0; i < argb.size(); ++i) {
        const uint32_t p = argb[i];
        image->pixels[i] =
            raster::Premultiply(Rgba{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                     static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 24)});
      }
      picture_ = std::move(image);
    }
    return picture_;
  }

 private:
  std::shared_ptr<const raster::Image> picture_;
};

}  // namespace orrivel::swf
