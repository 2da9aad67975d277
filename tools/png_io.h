// PNG files to and from straight-alpha RGBA pixels (libpng's simplified API),
// shared by the native tools and the corpus tests. Header-only so that test
// programs can use it without a library of their own.
#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "swf/raster/raster.h"

namespace orrivel::tools {

struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4, straight alpha
};

// False (with a one-line reason) when the file is missing or not a PNG.
inline bool ReadPng(const std::string& path, RgbaImage& out, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    error = path + ": " + image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  if (image.width > 16384 || image.height > 16384) {
    png_image_free(&image);
    error = path + ": picture too large";
    return false;
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
    error = path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

// Premultiplied BGRA canvas pixels to straight RGBA.
inline RgbaImage FromCanvas(const swf::raster::Canvas& canvas) {
  RgbaImage img;
  img.width = canvas.width;
  img.height = canvas.height;
  img.rgba.resize(static_cast<std::size_t>(canvas.width) * canvas.height * 4);
  uint8_t* d = img.rgba.data();
  for (int y = 0; y < canvas.height; ++y) {
    const uint32_t* row = canvas.pixels + static_cast<std::size_t>(y) * canvas.stride;
    for (int x = 0; x < canvas.width; ++x, d += 4) {
      const uint32_t p = row[x];
      const uint32_t a = p >> 24;
      uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (a != 0 && a != 255) {
        r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
        g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
        b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
      }
      d[0] = static_cast<uint8_t>(r);
      d[1] = static_cast<uint8_t>(g);
      d[2] = static_cast<uint8_t>(b);
      d[3] = static_cast<uint8_t>(a);
    }
  }
  return img;
}

inline bool WritePng(const std::string& path, const RgbaImage& img, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(img.width);
  image.height = static_cast<png_uint_32>(img.height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, img.rgba.data(), 0, nullptr)) {
    error = path + ": " + image.message;
    return false;
  }
  return true;
}

}  // namespace orrivel::tools
