#include <gtest/gtest.h>

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

using testing::TestCanvas;

uint32_t CompositeOne(BlendMode mode, uint32_t layerPx, uint32_t dstPx,
                      const Mask* clip = nullptr) {
  TestCanvas dst(1, 1, dstPx), layer(1, 1, layerPx);
  Composite(dst.canvas, layer.canvas, mode, clip);
  return dst.At(0, 0);
}

constexpr uint32_t kDst = 0xFFC86432;    // opaque (200, 100, 50)
constexpr uint32_t kLayer = 0xFF6496FA;  // opaque (100, 150, 250)

TEST(CompositeTest, OpaquePairsFollowFlashFormulas) {
  struct Case {
    BlendMode mode;
    uint32_t want;
  };
  const Case cases[] = {
      {BlendMode::Normal, kLayer},
      {BlendMode::Layer, kLayer},
      {BlendMode::Multiply, 0xFF4E3B31},  // s * d / 255
      {BlendMode::Screen, 0xFFDEBFFB},    // s + d - s * d / 255
      {BlendMode::Lighten, 0xFFC896FA},
      {BlendMode::Darken, 0xFF646432},
      {BlendMode::Difference, 0xFF6432C8},
      {BlendMode::Add, 0xFFFFFAFF},       // 300 clamps to 255
      {BlendMode::Subtract, 0xFF640000},  // d - s, floor 0
      {BlendMode::Invert, 0xFF379BCD},    // 255 - d
      {BlendMode::Alpha, kDst},
      {BlendMode::Erase, 0x00000000},
      {BlendMode::Overlay, 0xFFBC7662},    // chooses by the background
      {BlendMode::HardLight, 0xFF9D7FF7},  // chooses by the layer
  };
  for (const Case& k : cases) {
    EXPECT_EQ(CompositeOne(k.mode, kLayer, kDst), k.want) << "mode " << int(k.mode);
  }
}

TEST(CompositeTest, TransparentLayerLeavesBackgroundExceptAlphaMode) {
  for (int m = 2; m <= 14; ++m) {
    const auto mode = static_cast<BlendMode>(m);
    const uint32_t want = mode == BlendMode::Alpha ? 0u : kDst;
    EXPECT_EQ(CompositeOne(mode, 0, kDst), want) << "mode " << m;
  }
}

TEST(CompositeTest, TransparentBackgroundTakesTheLayerForSeparableModes) {
  for (BlendMode mode : {BlendMode::Normal, BlendMode::Multiply, BlendMode::Screen,
                         BlendMode::Lighten, BlendMode::Darken, BlendMode::Difference,
                         BlendMode::Add, BlendMode::Overlay, BlendMode::HardLight}) {
    EXPECT_EQ(CompositeOne(mode, kLayer, 0), kLayer) << "mode " << int(mode);
  }
}

// Add and Invert work on the premultiplied channels as they are.
TEST(CompositeTest, AddAndInvertOnPremultipliedChannels) {
  struct Case {
    const char* name;
    BlendMode mode;
    uint32_t layer, dst, want;
  } cases[] = {
      {"add sums alpha too", BlendMode::Add, 0x80402000u, 0x80102030u, 0xFF504030u},
      {"add onto nothing", BlendMode::Add, kLayer, 0, kLayer},
      {"add clamps alpha", BlendMode::Add, 0xC0000000u, 0xC0000000u, 0xFF000000u},
      {"invert by half alpha", BlendMode::Invert, 0x80000000u, kDst, 0xFF7F8080u},
      {"invert of nothing is white colour", BlendMode::Invert, kLayer, 0, 0x00FFFFFFu},
      {"invert keeps the backdrop alpha", BlendMode::Invert, 0xFF000000u, 0x80404040u, 0x80BFBFBFu},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompositeOne(c.mode, c.layer, c.dst), c.want) << c.name;
  }
}

// Inverted inside a layer over nothing, the layer adds white to the stage.
TEST(CompositeTest, InvertOverTransparentLayerTurnsWhite) {
  TestCanvas layer(1, 1, 0), stage(1, 1, 0xFF000000u), shape(1, 1, 0xFF102030u);
  Composite(layer.canvas, shape.canvas, BlendMode::Invert);
  Composite(stage.canvas, layer.canvas, BlendMode::Normal);
  EXPECT_EQ(stage.At(0, 0), 0xFFFFFFFFu);
}

TEST(CompositeTest, TranslucentLayerAlphaAndErase) {
  const uint32_t half = 0x80000000;  // alpha 128, no colour
  EXPECT_EQ(CompositeOne(BlendMode::Alpha, half, kDst), 0x80643219u);
  EXPECT_EQ(CompositeOne(BlendMode::Erase, half, kDst), 0x7F643219u);
  // Source-over of half-transparent red on the background.
  EXPECT_EQ(CompositeOne(BlendMode::Normal, 0x80800000, kDst), 0xFFE43219u);
}

// Every mode but Invert keeps pixels valid premultiplied.
TEST(CompositeTest, ResultsStayValidPremultiplied) {
  const uint32_t samples[] = {0,          0xFFFFFFFF, 0x80808080, 0x40102030,
                              0xFF000000, 0x01010101, kDst,       kLayer};
  for (int m = 0; m <= 14; ++m) {
    if (static_cast<BlendMode>(m) == BlendMode::Invert) continue;
    for (uint32_t s : samples) {
      for (uint32_t d : samples) {
        const uint32_t r = CompositeOne(static_cast<BlendMode>(m), s, d);
        const uint32_t a = r >> 24;
        EXPECT_LE((r >> 16) & 0xFF, a);
        EXPECT_LE((r >> 8) & 0xFF, a);
        EXPECT_LE(r & 0xFF, a);
      }
    }
  }
}

TEST(CompositeTest, ClipMaskLimitsTheLayer) {
  Mask m{3, 1, {0, 128, 255}};
  TestCanvas dst(3, 1, kDst), layer(3, 1, 0xFF000000);
  Composite(dst.canvas, layer.canvas, BlendMode::Multiply, &m);
  EXPECT_EQ(dst.At(0, 0), kDst);
  EXPECT_EQ(dst.At(1, 0), 0xFF643219u);  // halfway to black
  EXPECT_EQ(dst.At(2, 0), 0xFF000000u);
  // Outside the clip, even Alpha mode leaves the background alone.
  TestCanvas dst2(3, 1, kDst), empty(3, 1, 0);
  Composite(dst2.canvas, empty.canvas, BlendMode::Alpha, &m);
  EXPECT_EQ(dst2.At(0, 0), kDst);
  EXPECT_EQ(dst2.At(2, 0), 0u);
}

TEST(CompositeTest, MismatchedSizesUseTheOverlap) {
  TestCanvas dst(2, 2, kDst), layer(1, 3, kLayer);
  Composite(dst.canvas, layer.canvas, BlendMode::Normal);
  EXPECT_EQ(dst.At(0, 1), kLayer);
  EXPECT_EQ(dst.At(1, 0), kDst);
}

}  // namespace
}  // namespace orrivel::swf::raster
