// Pixels as the picture window keeps them: 32-bit BGRA with premultiplied
// alpha, rows top-down (the layout of the imaging component's PBGRA format
// and of a top-down GDI section).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orrivel {

struct BitmapView {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  size_t stride = 0;  // bytes from one row to the next

  const uint8_t* Row(int y) const { return data + static_cast<size_t>(y) * stride; }
  bool Valid() const {
    return data != nullptr && width > 0 && height > 0 && stride >= static_cast<size_t>(width) * 4;
  }
};

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * 4 bytes per row, no padding

  size_t Stride() const { return static_cast<size_t>(width) * 4; }
  uint8_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * Stride(); }
  BitmapView View() const { return {pixels.data(), width, height, Stride()}; }
  bool Empty() const { return width <= 0 || height <= 0; }
};

}  // namespace orrivel
