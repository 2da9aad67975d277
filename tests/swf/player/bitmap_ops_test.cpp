#include "swf/player/bitmap_ops.h"

#include "swf/render/native_image_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace orrivel::swf {
namespace {

ScriptBitmap Make(int w, int h, bool transparent, std::vector<uint32_t> pixels) {
  ScriptBitmap b;
  b.width = w;
  b.height = h;
  b.transparent = transparent;
  b.argb = std::move(pixels);
  return b;
}

// Transparent bitmaps keep colours premultiplied: what reads back is the
// colour rounded through its alpha.
TEST(BitmapOpsTest, KeptPixelRoundsThroughAlpha) {
  const ScriptBitmap clear = Make(1, 1, true, {0});
  const ScriptBitmap opaque = Make(1, 1, false, {0});
  struct Case {
    uint32_t in, transparentOut, opaqueOut;
  } cases[] = {
      {0xAABBCCDDu, 0xAABBCCDCu, 0xFFBBCCDDu}, {0x98765432u, 0x98755432u, 0xFF765432u},
      {0x12345678u, 0x12395571u, 0xFF345678u}, {0x00FFFFFFu, 0x00000000u, 0xFFFFFFFFu},
      {0xFF123456u, 0xFF123456u, 0xFF123456u}, {0x43434343u, 0x43444444u, 0xFF434343u},
      {0x10101010u, 0x10101010u, 0xFF101010u}, {0x220000AAu, 0x220000ACu, 0xFF0000AAu},
      {0xFEAABBCCu, 0xFEAABBCCu, 0xFFAABBCCu},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeptPixel(clear, c.in), c.transparentOut) << std::hex << c.in;
    EXPECT_EQ(KeptPixel(opaque, c.in), c.opaqueOut) << std::hex << c.in;
  }
}

// Operations that copy from a source rectangle clip it against both
// bitmaps, whatever the script gives.
TEST(BitmapOpsTest, SourceOperationsClipToBothBitmaps) {
  const uint32_t r = 0xFFFF0000u, g = 0xFF00FF00u, k = 0xFF000000u;
  struct Case {
    const char* name;
    PixelRect rect;
    int dx, dy;
    std::vector<uint32_t> expect;  // 3 x 2 destination
  } cases[] = {
      {"inside", {0, 0, 1, 1}, 1, 1, {k, k, k, k, r, k}},
      {"negative source corner", {-1, -1, 2, 2}, 0, 0, {k, k, k, k, r, k}},
      {"past the right edge", {0, 0, 2, 2}, 2, 0, {k, k, r, k, k, k}},
      {"negative destination", {0, 0, 2, 2}, -1, -1, {g, k, k, k, k, k}},
      {"far corner", {-1000000, -1000000, 2000000, 2000000}, 0, 0, {k, k, k, k, k, k}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptBitmap src = Make(2, 2, false, {r, k, k, g});
    ScriptBitmap dst = Make(3, 2, false, std::vector<uint32_t>(6, k));
    // A merge taking all of every channel is a copy.
    MergePixels(dst, src, c.rect, c.dx, c.dy, {256, 256, 256, 256});
    EXPECT_EQ(dst.argb, c.expect);
  }
}

TEST(BitmapOpsTest, ChannelMergeThresholdAndPaletteRules) {
  const uint32_t src = 0xFF102030u, dst = 0xFF405060u;
  const auto run = [&](auto op) {
    ScriptBitmap s = Make(1, 1, false, {src});
    ScriptBitmap d = Make(1, 1, false, {dst});
    op(d, s);
    return d.argb[0];
  };
  // Blue into red; a source naming no single channel gives zeros, a
  // destination naming several is left alone.
  EXPECT_EQ(run([](auto& d, auto& s) {
              CopyChannel(d, s, {0, 0, 1, 1}, 0, 0, kBlue, kRed);
            }),
            0xFF305060u);
  EXPECT_EQ(run([](auto& d, auto& s) { CopyChannel(d, s, {0, 0, 1, 1}, 0, 0, kBlue, 3); }), dst);
  for (uint32_t bad : {0u, 3u, 5u, 16u}) {
    EXPECT_EQ(run([bad](auto& d, auto& s) {
                CopyChannel(d, s, {0, 0, 1, 1}, 0, 0, bad, kRed);
              }),
              0xFF005060u);
  }
  // Merge: 256 takes the source, 0 keeps the destination, 128 halves.
  EXPECT_EQ(run([](auto& d, auto& s) {
              MergePixels(d, s, {0, 0, 1, 1}, 0, 0, {256, 256, 0, 128});
            }),
            0xFF105048u);
  // threshold tests the masked source against the masked threshold.
  EXPECT_EQ(run([](auto& d, auto& s) {
              ThresholdPixels(d, s, {0, 0, 1, 1}, 0, 0, ThresholdOp::Less, 0x00110000, 0xFFABCDEF,
                              0x00FF0000, false);
            }),
            0xFFABCDEFu);
  EXPECT_EQ(run([](auto& d, auto& s) {
              ThresholdPixels(d, s, {0, 0, 1, 1}, 0, 0, ThresholdOp::Greater, 0x00110000, 0,
                              0x00FF0000, true);
            }),
            src);
  // paletteMap: a missing table keeps its channel; the looked-up values add.
  EXPECT_EQ(run([](auto& d, auto& s) {
              PaletteTables t;
              auto& red = t.argb[1].emplace();
              for (uint32_t i = 0; i < 256; ++i) red[i] = 0x00000001u * i;
              PaletteMap(d, s, {0, 0, 1, 1}, 0, 0, t);
            }),
            0xFF002040u);
}

TEST(BitmapOpsTest, FloodFillBoundsAndCompare) {
  const uint32_t w = 0xFFFFFFFFu, b = 0xFF000000u, x = 0xFF00FF00u;
  ScriptBitmap bm = Make(4, 3, false,
                         {w, w, b, w,  //
                          b, w, b, w,  //
                          w, w, b, w});
  EXPECT_TRUE(FloodFill(bm, 1, 1, x));
  EXPECT_EQ(bm.argb, (std::vector<uint32_t>{x, x, b, w, b, x, b, w, x, x, b, w}));
  EXPECT_FALSE(FloodFill(bm, 0, 0, x));  // nothing changes
  EXPECT_FALSE(FloodFill(bm, 9, 0, b));  // outside
  const PixelRect found = ColorBounds(bm, 0xFFFFFFFFu, w, true);
  EXPECT_EQ((std::vector<int>{found.x, found.y, found.width, found.height}),
            (std::vector<int>{3, 0, 1, 3}));
  const PixelRect none = ColorBounds(bm, 0xFFFFFFFFu, 0xFF123456u, true);
  EXPECT_EQ(none.width, 0);

  ScriptBitmap a = Make(2, 1, true, {0xFF102030u, 0x80FFFFFFu});
  ScriptBitmap c = Make(2, 1, true, {0xFF102030u, 0x80FFFFFFu});
  EXPECT_FALSE(ComparePixels(a, c));
  c.argb = {0xFF0F2231u, 0x40FFFFFFu};
  const auto diff = ComparePixels(a, c);
  ASSERT_TRUE(diff);
  EXPECT_EQ(diff->argb, (std::vector<uint32_t>{0xFF01FEFFu, 0x40FFFFFFu}));
}

// noise() draws from the Park-Miller generator in red, green, blue, alpha
// order; seeds up to zero count as 1 - seed.
TEST(BitmapOpsTest, NoiseFollowsTheGenerator) {
  ScriptBitmap a = Make(3, 1, false, std::vector<uint32_t>(3));
  NoisePixels(a, 128, 0, 255, kRed, false);
  EXPECT_EQ(a.argb, (std::vector<uint32_t>{0xFF800000u, 0xFF900000u, 0xFFE00000u}));
  ScriptBitmap zero = a, one = a, minus = a, two = a;
  NoisePixels(zero, 0, 0, 255, 7, true);
  NoisePixels(one, 1, 0, 255, 7, true);
  NoisePixels(minus, -1, 0, 255, 7, true);
  NoisePixels(two, 2, 0, 255, 7, true);
  EXPECT_EQ(zero.argb, one.argb);
  EXPECT_EQ(minus.argb, two.argb);
  ScriptBitmap narrow = a;
  NoisePixels(narrow, 5, -20, 3, 7, true);  // limits clamp to 0..255
  for (uint32_t p : narrow.argb) EXPECT_LE(p & 0xFF, 3u);
  // A high below the low gives the low everywhere, after both clamp.
  for (const auto& [low, high, value] : {std::tuple{60, 50, 60u}, {10, 2, 10u}, {1, -1, 1u}}) {
    ScriptBitmap flat = a;
    NoisePixels(flat, 203, low, high, 7, true);
    for (uint32_t p : flat.argb)
      EXPECT_EQ(p, 0xFF000000u | value * 0x010101u) << low << "," << high;
  }
}

TEST(BitmapOpsTest, DissolveChangesExactlyTheCount) {
  ScriptBitmap d = Make(10, 10, false, std::vector<uint32_t>(100, 0xFF000000u));
  DissolvePixels(d, d, {0, 0, 10, 10}, 0, 0, 7, 37, 0xFFFFFFFFu);
  EXPECT_EQ(std::count(d.argb.begin(), d.argb.end(), 0xFFFFFFFFu), 37);
  DissolvePixels(d, d, {0, 0, 10, 10}, 0, 0, 7, 1 << 30, 0xFFFFFFFFu);
  EXPECT_EQ(std::count(d.argb.begin(), d.argb.end(), 0xFFFFFFFFu), 100);
}

// draw's clip rectangle limits what changes; its blend mode combines the
// drawing with the pixels below.
TEST(BitmapOpsTest, DrawHonoursClipAndBlend) {
  const uint32_t grey = 0xFF404040u, dark = 0xFF101010u;
  struct Case {
    const char* name;
    DrawOptions options;
    uint32_t inside, outside;
  } cases[] = {
      {"plain", {}, dark, dark},
      {"clipped", {BlendMode::Normal, PixelRect{1, 1, 2, 2}, false}, dark, grey},
      {"clip outside the bitmap", {BlendMode::Normal, PixelRect{9, 9, 2, 2}, false}, grey, grey},
      {"add", {BlendMode::Add, std::nullopt, false}, 0xFF505050u, 0xFF505050u},
      {"clipped subtract", {BlendMode::Subtract, PixelRect{1, 1, 1, 1}, false}, 0xFF303030u, grey},
  };
  NativeImageDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptBitmap dst = Make(4, 4, false, std::vector<uint32_t>(16, grey));
    ScriptBitmap src = Make(4, 4, false, std::vector<uint32_t>(16, dark));
    DrawBitmap(dst, src, Matrix{}, ColorTransform{}, decoder, c.options);
    EXPECT_EQ(dst.argb[5], c.inside);
    EXPECT_EQ(dst.argb[0], c.outside);
  }
}

}  // namespace
}  // namespace orrivel::swf
