#include "swf/raster/filter_kernels.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "swf/raster/parallel.h"
#include "swf/raster/pixel_row.h"

#include "raster_test_util.h"

namespace orrivel::swf::raster {
namespace {

using testing::TestCanvas;

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// One opaque pixel in the middle of a row, blurred along the row: the
// alpha each pixel gets, from the centre outward.
TEST(BoxBlurTest, SpreadOfOnePixel) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float box;
    int passes;
    std::vector<uint32_t> alphaFromCentre;
  } cases[] = {
      {1, 1, {255, 0}},
      {nan, 1, {255, 0}},
      {3, 1, {85, 85, 0}},
      {2, 1, {128, 64, 0}},        // [1 2 1] / 4
      {4, 1, {64, 64, 32, 0}},     // [1 2 2 2 1] / 8
      {3.5f, 1, {73, 73, 18, 0}},  // the pixel past each end weighs a quarter
      {5, 1, {51, 51, 51, 0}},
      {3, 2, {85, 57, 28, 0}},
      {2, 2, {96, 64, 16, 0}},              // [1 4 6 4 1] / 16
      {3, 0, {255, 0}},                     // quality 0 blurs nothing
      {20, 1, {13, 13, 13, 13, 13, 13}},    // 19 whole pixels and two halves
      {1e9f, 1, {11, 11, 11, 11, 11, 11}},  // far wider than the row: thin, and bounded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "box " << c.box << " passes " << c.passes);
    TestCanvas t(11, 1);
    t.pixels[5] = kWhite;
    std::vector<uint32_t> scratch;
    BoxBlur(t.canvas, c.box, 1, c.passes, scratch);
    for (size_t i = 0; i < c.alphaFromCentre.size(); ++i) {
      EXPECT_EQ(t.Alpha(5 + static_cast<int>(i), 0), c.alphaFromCentre[i]) << i;
      EXPECT_EQ(t.Alpha(5 - static_cast<int>(i), 0), c.alphaFromCentre[i]) << i;
    }
    if (c.alphaFromCentre.back() == 0) {
      EXPECT_EQ(BlurReach(c.box, c.passes), int(c.alphaFromCentre.size()) - 2);
    }
  }
}

TEST(BoxBlurTest, VerticalMatchesHorizontalAndStaysPremultiplied) {
  TestCanvas row(9, 1), column(1, 9);
  row.pixels[4] = column.pixels[4] = 0x80402000u;
  std::vector<uint32_t> scratch;
  BoxBlur(row.canvas, 4, 1, 2, scratch);
  BoxBlur(column.canvas, 1, 4, 2, scratch);
  EXPECT_EQ(row.pixels, column.pixels);
  for (uint32_t p : row.pixels) {
    for (int s = 0; s < 24; s += 8) EXPECT_LE((p >> s) & 0xFF, p >> 24);
  }
}

// The blur of an alpha plane is BoxBlur's alpha, to the bit, for boxes
// with and without end weights, wider than the area, in several passes,
// with tails of every length and split over threads or not; and the
// whole-pixel blur itself the same in every vector width.
TEST(BoxBlurTest, PlaneEqualsTheAlphaOfTheWholePixelBlur) {
  struct Case {
    int width, height;
    float boxX, boxY;
    int passes, threads;
  } cases[] = {
      {37, 23, 3, 3, 1, 1},       {37, 23, 2, 4, 2, 1},       {64, 40, 7.25f, 5.5f, 3, 1},
      {5, 300, 1, 9, 1, 1},       {300, 5, 9, 1, 1, 1},       {9, 7, 1e6f, 40, 2, 1},
      {301, 257, 12, 6.5f, 2, 3}, {513, 300, 3.3f, 17, 1, 2}, {1, 1, 5, 5, 2, 1},
  };
  std::mt19937 rng(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " box " << c.boxX << "x"
                                      << c.boxY << " passes " << c.passes);
    TestCanvas whole(c.width, c.height);
    std::vector<uint8_t> plane(whole.pixels.size());
    for (size_t i = 0; i < plane.size(); ++i) {
      // Blobs of opaque and clear with soft edges, like a drawn object.
      plane[i] = static_cast<uint8_t>(rng() % 3 == 0 ? rng() % 256 : (rng() % 2) * 255);
      whole.pixels[i] = uint32_t{plane[i]} << 24 | uint32_t{plane[i]} / 2 << 8 | plane[i] / 3u;
    }
    WorkerPool pool(c.threads);
    const ScopedWorkers scope(&pool);
    std::vector<uint32_t> scratch;
    const TestCanvas start = whole;
    for (SimdLevel level : {SimdLevel::Scalar, BestSimd()}) {
      UseSimd(level);
      TestCanvas colour = start;
      colour.canvas.pixels = colour.pixels.data();
      BoxBlur(colour.canvas, c.boxX, c.boxY, c.passes, scratch);
      if (level == SimdLevel::Scalar) whole.pixels = colour.pixels;
      EXPECT_EQ(colour.pixels, whole.pixels) << SimdName(level);
      std::vector<uint8_t> blurred = plane;
      BoxBlurPlane(blurred.data(), c.width, c.height, c.width, c.boxX, c.boxY, c.passes);
      size_t differ = 0;
      for (size_t i = 0; i < plane.size(); ++i) differ += blurred[i] != whole.pixels[i] >> 24;
      EXPECT_EQ(differ, 0u) << SimdName(level);
    }
    UseSimd(BestSimd());
  }
}

TEST(ColorMatrixTest, Table) {
  struct Case {
    const char* name;
    std::array<float, 20> m;
    uint32_t in, out;
  } cases[] = {
      {"identity",
       {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0},
       0x80402010u,
       0x80402010u},
      {"red and blue swap",
       {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0},
       0xFF102030u,
       0xFF302010u},
      {"alpha offset fills transparent pixels",
       {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255},
       0,
       0xFFFF0000u},
      {"huge weights clamp",
       {1e6f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1e6f, 0},
       0xFF010101u,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestCanvas t(1, 1, c.in);
    ApplyColorMatrix(t.canvas, c.m);
    EXPECT_EQ(t.At(0, 0), c.out);
  }
}

TEST(ConvolveTest, EdgesClampOrTakeTheOutsideColour) {
  const float box[3] = {1, 1, 1};
  for (bool clamp : {true, false}) {
    SCOPED_TRACE(clamp);
    TestCanvas t(3, 1, 0xFF0000FFu);  // blue
    Convolution c;
    c.columns = 3;
    c.rows = 1;
    c.matrix = box;
    c.divisor = 3;
    c.clamp = clamp;
    c.outside = {255, 0, 0, 255};  // red
    std::vector<float> scratch;
    Convolve(t.canvas, c, scratch);
    EXPECT_EQ(t.At(1, 0), 0xFF0000FFu);
    EXPECT_EQ(t.At(0, 0), clamp ? 0xFF0000FFu : 0xFF5500AAu);
  }
}

// Every vector width sums the taps alike, at the edges and inside.
TEST(ConvolveTest, EveryVectorWidthGivesThePixelsOfTheNarrowest) {
  std::mt19937 rng(5);
  std::vector<float> matrix(15);
  for (float& k : matrix) k = static_cast<float>(static_cast<int>(rng() % 200) - 60) / 37.0f;
  for (bool preserveAlpha : {false, true}) {
    SCOPED_TRACE(preserveAlpha);
    TestCanvas start(37, 9);
    for (uint32_t& p : start.pixels) {
      const uint32_t a = rng() % 256;
      p = a << 24 | (rng() % (a + 1)) << 16 | (rng() % (a + 1)) << 8 | rng() % (a + 1);
    }
    Convolution c;
    c.columns = 5;
    c.rows = 3;
    c.matrix = matrix.data();
    c.divisor = 2.5f;
    c.bias = 7;
    c.preserveAlpha = preserveAlpha;
    std::vector<uint32_t> first;
    for (SimdLevel level : {SimdLevel::Scalar, BestSimd()}) {
      UseSimd(level);
      TestCanvas t = start;
      t.canvas.pixels = t.pixels.data();
      std::vector<float> scratch;
      Convolve(t.canvas, c, scratch);
      if (first.empty()) first = t.pixels;
      EXPECT_EQ(t.pixels, first) << SimdName(level);
    }
    UseSimd(BestSimd());
  }
}

// A 4 x 2 area of distinct pixels, displaced by a 2 x 1 map over its top
// row (cells of 2 device pixels, from (1, -1)).
TEST(DisplaceTest, MapChannelsMoveEachPixelAndEdgesFollowTheMode) {
  using Edge = Displacement::Edge;
  auto pixel = [](int x, int y) { return 0xFF000000u | static_cast<uint32_t>(y << 4 | x); };
  // Red 0xC0 moves 64 * 4 / 256 = 1 right, red 0xFF 1.98, cut to 1; blue
  // 0x00 moves -128 * 4 / 256 = 2 up; green 0x80 does not move.
  const uint32_t map[2] = {0xFFC08000u, 0xFFFF8000u};
  struct Case {
    const char* name;
    Edge edge;
    uint8_t componentY;
    std::vector<uint32_t> top;  // the top row after; the bottom row never changes
  };
  const uint32_t red = 0xFFFF0000u;
  const std::vector<Case> cases = {
      // x = 1, 2 take x + 1; x = 3 points past the right edge (to x = 4).
      {"wrap", Edge::Wrap, 2, {pixel(0, 0), pixel(2, 0), pixel(3, 0), pixel(0, 0)}},
      {"clamp", Edge::Clamp, 2, {pixel(0, 0), pixel(2, 0), pixel(3, 0), pixel(3, 0)}},
      {"ignore", Edge::Ignore, 2, {pixel(0, 0), pixel(2, 0), pixel(3, 0), pixel(3, 0)}},
      {"color", Edge::Color, 2, {pixel(0, 0), pixel(2, 0), pixel(3, 0), red}},
      // Blue moves everything 2 up, off the top: wrapped back by the height.
      {"blue up, wrap", Edge::Wrap, 4, {pixel(0, 0), pixel(2, 0), pixel(3, 0), pixel(0, 0)}},
      {"blue up, ignore", Edge::Ignore, 4, {pixel(0, 0), pixel(1, 0), pixel(2, 0), pixel(3, 0)}},
      // A component naming no channel moves nothing.
      {"no channel", Edge::Color, 3, {pixel(0, 0), pixel(2, 0), pixel(3, 0), red}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestCanvas t(4, 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) t.pixels[static_cast<size_t>(y) * 4 + x] = pixel(x, y);
    Displacement d;
    d.map = map;
    d.mapWidth = 2;
    d.mapHeight = 1;
    d.originX = 1;
    d.originY = -1;
    d.cell = 2;
    d.componentX = 1;
    d.componentY = c.componentY;
    d.scaleX = 4;
    d.scaleY = 4;
    d.edge = c.edge;
    d.color = red;
    std::vector<uint32_t> scratch;
    Displace(t.canvas, d, scratch);
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(t.At(x, 0), c.top[static_cast<size_t>(x)]) << x;
      EXPECT_EQ(t.At(x, 1), pixel(x, 1)) << x;
    }
  }
}

}  // namespace
}  // namespace orrivel::swf::raster
