#include "swf/render/paint.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace orrivel::swf {
namespace {

constexpr Matrix kTwipsToPixels{1.0 / 20, 0, 0, 1.0 / 20, 0, 0};

TEST(PaintTest, GradientMapsDevicePixelsToTheGradientSquare) {
  FillStyle style;
  style.type = FillType::LinearGradient;
  // The gradient square scaled to 200 twips (10 px) wide, centred at 100 twips.
  style.gradient.matrix = {200.0 / 32768, 0, 0, 200.0 / 32768, 100, 100};
  // Out-of-order ratios step up to the previous one, as Flash draws them.
  style.gradient.records = {{0, {255, 0, 0, 128}}, {255, {0, 0, 255, 255}}, {51, {0, 0, 0, 0}}};
  style.gradient.spread = SpreadMode::Reflect;
  style.gradient.interpolation = InterpolationMode::LinearRgb;
  PaintContext ctx{kTwipsToPixels, {}, true, nullptr};
  ctx.colorTransform.gMult = 0;
  ctx.colorTransform.gAdd = 40;

  const auto paint = MakePaint(style, ctx);
  ASSERT_TRUE(paint);
  EXPECT_EQ(paint->kind, raster::Paint::Kind::LinearGradient);
  const Matrix& m = paint->deviceToGradient;
  EXPECT_NEAR(m.ApplyX(0, 3), -16384, 1e-6);
  EXPECT_NEAR(m.ApplyX(10, 3), 16384, 1e-6);
  EXPECT_NEAR(m.ApplyY(3, 5), 0, 1e-6);
  ASSERT_EQ(paint->stops.size(), 3u);
  EXPECT_EQ(paint->stops[0].position, 0.0f);
  EXPECT_EQ(paint->stops[0].color, (Rgba{255, 40, 0, 128}));
  EXPECT_EQ(paint->stops[1].position, 1.0f);
  EXPECT_EQ(paint->stops[1].color, (Rgba{0, 40, 255, 255}));
  EXPECT_EQ(paint->stops[2].position, 1.0f);
  EXPECT_EQ(paint->spread, raster::Spread::Reflect);
  EXPECT_TRUE(paint->linearRgb);
}

TEST(PaintTest, FocalAndDegenerateGradients) {
  FillStyle style;
  style.type = FillType::FocalRadialGradient;
  style.gradient.records = {{0, {0, 0, 0, 255}}, {255, {9, 9, 9, 255}}};
  style.gradient.focalPoint = -2.5f;
  PaintContext ctx{kTwipsToPixels, {}, true, nullptr};
  auto paint = MakePaint(style, ctx);
  ASSERT_TRUE(paint);
  EXPECT_EQ(paint->kind, raster::Paint::Kind::RadialGradient);
  EXPECT_EQ(paint->focalPoint, -1.0f);

  style.gradient.matrix = {0, 0, 0, 0, 5, 5};  // squashed to a point
  paint = MakePaint(style, ctx);
  ASSERT_TRUE(paint);
  EXPECT_EQ(paint->kind, raster::Paint::Kind::Solid);
  EXPECT_EQ(paint->color, (Rgba{9, 9, 9, 255}));

  // No stops at all: solid opaque black, under the colour transform.
  style.gradient.records.clear();
  for (const FillType type : {FillType::LinearGradient, FillType::FocalRadialGradient}) {
    style.type = type;
    ctx.colorTransform.rAdd = 40;
    paint = MakePaint(style, ctx);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->kind, raster::Paint::Kind::Solid);
    EXPECT_EQ(paint->color, (Rgba{40, 0, 0, 255}));
  }
}

// Records out of order: each ratio ramps from the record before the first
// one reaching it, and past the highest ratio the first record below it
// (else the last at it) fills the rest.
TEST(PaintTest, GradientRecordsOutOfOrder) {
  const Rgba a{255, 0, 0, 255}, b{0, 255, 0, 255}, c{0, 0, 0, 255}, d{90, 90, 90, 255},
      e{9, 9, 9, 255};
  const struct {
    const char* name;
    std::vector<GradientRecord> records;
    std::vector<std::pair<int, Rgba>> stops;  // ratio, colour
  } cases[] = {
      {"in order", {{0, a}, {200, b}, {250, d}}, {{0, a}, {200, b}, {250, d}}},
      {"a record going down starts the next ramp where it stands",
       {{0, a}, {200, b}, {100, c}, {250, d}},
       {{0, a}, {200, b}, {200, {60, 60, 60, 255}}, {250, d}}},
      {"the first below the highest pads",
       {{0, a}, {200, b}, {100, c}, {150, d}},
       {{0, a}, {200, b}, {200, c}}},
      {"records sharing a ratio take the next entries",
       {{0, a}, {100, b}, {100, c}, {100, d}, {200, e}},
       {{0, a}, {100, b}, {101, c}, {102, d}, {200, e}}},
      {"a shared ratio at the end leaves no pad",
       {{0, a}, {100, b}, {100, c}, {100, d}},
       {{0, a}, {100, b}, {101, c}, {102, d}}},
      {"no entry past 255: the last record pads",
       {{0, a}, {255, b}, {255, c}, {255, d}},
       {{0, a}, {255, b}, {255, d}}},
      {"one below beats one equal",
       {{0, a}, {100, b}, {100, e}, {50, c}, {100, d}},
       {{0, a}, {100, b}, {101, e}, {101, c}}},
  };
  for (const auto& tc : cases) {
    FillStyle style;
    style.type = FillType::LinearGradient;
    style.gradient.records = tc.records;
    const auto paint = MakePaint(style, PaintContext{kTwipsToPixels, {}, true, nullptr});
    ASSERT_TRUE(paint) << tc.name;
    ASSERT_EQ(paint->stops.size(), tc.stops.size()) << tc.name;
    for (size_t i = 0; i < tc.stops.size(); ++i) {
      EXPECT_EQ(paint->stops[i].position, tc.stops[i].first / 255.0f) << tc.name << " " << i;
      EXPECT_EQ(paint->stops[i].color, tc.stops[i].second) << tc.name << " " << i;
    }
  }
}

TEST(PaintTest, BitmapFills) {
  raster::Image image{2, 2, {1, 2, 3, 4}};
  struct Case {
    FillType type;
    bool allowSmoothing;
    bool repeat, smooth;
  };
  const Case cases[] = {
      {FillType::RepeatingBitmap, true, true, true},
      {FillType::ClippedBitmap, true, false, true},
      {FillType::NonSmoothedRepeatingBitmap, true, true, false},
      {FillType::NonSmoothedClippedBitmap, true, false, false},
      {FillType::RepeatingBitmap, false, true, false},  // low quality
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(static_cast<int>(tc.type));
    FillStyle style;
    style.type = tc.type;
    style.bitmapId = 7;
    style.bitmapMatrix = {20, 0, 0, 20, 40, 0};  // 1:1, two pixels to the right
    PaintContext ctx{kTwipsToPixels, {}, tc.allowSmoothing, [&](uint16_t id) {
                       return id == 7 ? &image : nullptr;
                     }};
    ctx.colorTransform.aMult = 128;
    const auto paint = MakePaint(style, ctx);
    ASSERT_TRUE(paint);
    EXPECT_EQ(paint->bitmap, &image);
    EXPECT_NEAR(paint->deviceToBitmap.ApplyX(3, 1), 1, 1e-9);
    EXPECT_NEAR(paint->deviceToBitmap.ApplyY(3, 1), 1, 1e-9);
    EXPECT_EQ(paint->repeat, tc.repeat);
    EXPECT_EQ(paint->smooth, tc.smooth);
    EXPECT_EQ(paint->colorTransform.aMult, 128);

    style.bitmapId = 8;
    EXPECT_FALSE(MakePaint(style, ctx)) << "missing bitmaps leave the fill empty";
  }
}

}  // namespace
}  // namespace orrivel::swf
