// Bitmap filters of a placed object (PlaceObject3, button records). Values
// are kept in stage pixels and radians as stored, already brought into the
// ranges the player honours, so that a hostile file cannot ask for an
// unbounded blur, an unbounded convolution or NaN arithmetic.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/color.h"

namespace orrivel::swf {

struct GradientFilterStop {
  Rgba color;
  uint8_t ratio = 0;
  friend bool operator==(const GradientFilterStop&, const GradientFilterStop&) = default;
};

struct Filter {
  // In the order of the filter ids of the file format.
  enum class Kind : uint8_t {
    DropShadow,
    Blur,
    Glow,
    Bevel,
    GradientGlow,
    Convolution,
    ColorMatrix,
    GradientBevel,
    DisplacementMap,  // made by scripts only; no file stores it
  };
  enum class Displace : uint8_t { Wrap, Clamp, Ignore, Color };
  static constexpr float kMaxBlur = 255;       // stage pixels
  static constexpr float kMaxDistance = 1000;  // stage pixels
  static constexpr float kMaxStrength = 255;   // multiplies alpha
  static constexpr int kMaxPasses = 15;        // quality
  static constexpr int kMaxConvolutionSide = 15;

  Kind kind = Kind::Blur;
  float blurX = 0, blurY = 0;  // box width, stage pixels
  int passes = 1;              // box blur passes (quality); 0 blurs nothing
  double angle = 0;            // radians, of the shadow's offset
  float distance = 0;          // stage pixels
  float strength = 1;          // alpha multiplier
  bool inner = false;
  bool knockout = false;
  bool hideObject = false;                   // the object itself is not drawn, only the effect
  bool onTop = false;                        // bevels: full bevel, over and beside the object
  Rgba color;                                // shadow, glow, bevel shadow
  Rgba highlight;                            // bevel highlight
  std::vector<GradientFilterStop> gradient;  // gradient glow and bevel

  // Convolution: a columns x rows matrix, row by row.
  int columns = 0, rows = 0;
  float divisor = 1, bias = 0;
  std::vector<float> matrix;
  bool clamp = true, preserveAlpha = false;
  // ColorMatrix: 4 rows of r, g, b, a, offset (offsets in 0..255 units).
  std::array<float, 20> colorMatrix{};
  // DisplacementMap: the map's straight ARGB pixels as they were when the
  // filter was set, where its top left lies from the object's (stage
  // pixels), the channel (1 red, 2 green, 4 blue, 8 alpha) and scale moving
  // each axis, and what a pixel moved off the object takes (`color` for
  // Color).
  std::shared_ptr<const std::vector<uint32_t>> map;
  int mapWidth = 0, mapHeight = 0;
  float mapX = 0, mapY = 0;
  uint8_t componentX = 0, componentY = 0;
  float scaleX = 0, scaleY = 0;
  Displace displace = Displace::Wrap;

  friend bool operator==(const Filter&, const Filter&) = default;
};

using FilterList = std::vector<Filter>;

}  // namespace orrivel::swf
