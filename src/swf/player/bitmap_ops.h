// The BitmapData methods that work on pixels alone: colour transforms,
// scrolling, channel copies, merges, comparisons, thresholds, flood fills,
// palette maps, dissolves and noise. Every rectangle is clipped to the
// bitmaps it touches, so no script value can reach outside their pixels.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/color.h"
#include "swf/format/filters.h"
#include "swf/player/bitmap_drawing.h"
#include "swf/render/script_bitmap.h"

namespace orrivel::swf {

// A transparent bitmap holds its pixels premultiplied, so a colour written
// into it reads back rounded through its alpha (0xAABBCCDD reads
// 0xAABBCCDC); an opaque one keeps full alpha. Every write goes through this.
uint32_t KeptPixel(const ScriptBitmap& bitmap, uint32_t argb);

// Straight ARGB of a premultiplied pixel, rounded as the bitmaps round.
uint32_t StraightPixel(uint32_t premultiplied);

// rect clipped to the bitmap; empty when nothing is left.
PixelRect ClipRect(const ScriptBitmap& bitmap, PixelRect rect);

void ColorTransformPixels(ScriptBitmap& dst, PixelRect rect, const ColorTransform& cx);

// Moves every pixel by (dx, dy); what is uncovered keeps its old pixels.
void ScrollPixels(ScriptBitmap& dst, int dx, int dy);

// Channel bits as BitmapDataChannel numbers them.
enum Channel : uint32_t { kRed = 1, kGreen = 2, kBlue = 4, kAlpha = 8 };

void CopyChannel(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                 uint32_t srcChannel, uint32_t dstChannel);

// Each channel: (src * mult + dst * (256 - mult)) / 256.
void MergePixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                 const std::array<uint32_t, 4>& argbMult);

// compare(): 0 when equal; otherwise a bitmap of the differences (an RGB
// difference gives 0xFFrrggbb, an alpha-only one 0xaaFFFFFF).
std::optional<ScriptBitmap> ComparePixels(const ScriptBitmap& a, const ScriptBitmap& b);

// threshold(): how many pixels passed the test.
enum class ThresholdOp : uint8_t { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
std::optional<ThresholdOp> ThresholdOpOf(std::string_view text);
int ThresholdPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                    ThresholdOp op, uint32_t threshold, uint32_t color, uint32_t mask,
                    bool copySource);

// floodFill(): false when (x, y) is outside or nothing changes.
bool FloodFill(ScriptBitmap& dst, int x, int y, uint32_t color);

PixelRect ColorBounds(const ScriptBitmap& bitmap, uint32_t mask, uint32_t color, bool findColor);

// paletteMap(): each channel looked up in its table (a missing table keeps
// the channel); the four looked-up values are added.
struct PaletteTables {
  std::array<std::optional<std::array<uint32_t, 256>>, 4> argb;  // alpha, red, green, blue
};
void PaletteMap(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                const PaletteTables& tables);

// Park-Miller minimal standard generator, which the noise methods use.
class NoiseRandom {
 public:
  explicit NoiseRandom(int32_t seed);
  uint32_t Next();
  uint32_t state() const { return state_; }

 private:
  uint32_t state_;
};

void NoisePixels(ScriptBitmap& dst, int32_t seed, int low, int high, uint32_t channels,
                 bool grayScale);

// pixelDissolve(): the new seed to pass to the next call.
int32_t DissolvePixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                       int32_t seed, int64_t count, uint32_t fillColor);

struct PerlinArgs {
  double baseX = 0, baseY = 0;
  int octaves = 0;
  int32_t seed = 0;
  bool stitch = false, fractal = false;
  uint32_t channels = 7;
  bool grayScale = false;
  std::vector<std::pair<double, double>> offsets;
};
void PerlinNoise(ScriptBitmap& dst, const PerlinArgs& args);

// applyFilter(): src's rect filtered, at (dx, dy) in dst; what the filter
// spreads past the rect is left out, as generateFilterRect tells.
void ApplyFilterPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                       const Filter& filter);
PixelRect FilterRect(PixelRect rect, const Filter& filter);

}  // namespace orrivel::swf
