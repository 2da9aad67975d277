#include "swf/player/drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "swf/render/damage.h"

namespace orrivel::swf {
namespace {

class NoImages : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t>, uint64_t) override {
    return std::nullopt;
  }
};

FillStyle Solid() {
  FillStyle f;
  f.color = Rgba{255, 0, 0, 255};
  return f;
}

TEST(DrawingTest, CommandsStopAtTheCapUntilCleared) {
  Drawing d;
  d.SetLineStyle(LineStyle{});
  for (std::size_t i = 0; i < Drawing::kMaxCommands + 1000; ++i) d.LineTo(i % 7, i % 5);
  const auto capped = d.Snapshot();
  ASSERT_TRUE(capped);
  EXPECT_LE(capped->layers[0].path.Points().size(), Drawing::kMaxCommands);
  d.LineTo(1e6, 1e6);  // ignored: the shape neither changes nor grows
  EXPECT_EQ(d.Snapshot(), capped);
  d.Clear();
  EXPECT_TRUE(d.Empty());
  d.SetLineStyle(LineStyle{});
  d.LineTo(100, 100);
  EXPECT_FALSE(d.Empty());
}

// A copy continues the open path: finishing the copy gives the same shape
// as finishing the original, and the shared counter counts both.
TEST(DrawingTest, CopyContinuesTheOpenFillAndPen) {
  std::size_t shared = 0;
  Drawing original(&shared);
  original.SetLineStyle(LineStyle{});
  original.BeginFill(Solid());
  original.MoveTo(0, 0);
  original.LineTo(200, 0);
  Drawing copy(&shared);
  ASSERT_TRUE(copy.CopyFrom(original));
  EXPECT_EQ(shared, 8u) << "each drawing's commands count";
  for (Drawing* d : {&original, &copy}) {
    d->LineTo(200, 200);
    d->EndFill();
  }
  const auto a = original.Snapshot(), b = copy.Snapshot();
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->layers.size(), b->layers.size());
  for (std::size_t i = 0; i < a->layers.size(); ++i)
    EXPECT_EQ(a->layers[i].path.Points().size(), b->layers[i].path.Points().size()) << i;
  EXPECT_EQ(original.Bounds(true).xMax, copy.Bounds(true).xMax);
  EXPECT_EQ(original.Bounds(true).yMax, copy.Bounds(true).yMax);
}

// Many clips that each stay under their own cap still meet the movie's.
TEST(DrawingTest, DrawingsSharingACounterStopTogether) {
  std::size_t shared = 0;
  std::vector<std::unique_ptr<Drawing>> clips;
  const std::size_t full = Drawing::kMaxSharedCommands / Drawing::kMaxCommands;
  for (std::size_t c = 0; c <= full; ++c) {
    clips.push_back(std::make_unique<Drawing>(&shared));
    clips.back()->BeginFill(Solid());
    for (std::size_t i = 0; i < Drawing::kMaxCommands; ++i) clips.back()->LineTo(i % 3, i % 2);
  }
  EXPECT_EQ(shared, Drawing::kMaxSharedCommands);
  EXPECT_TRUE(clips.back()->Empty());
  clips.front()->Clear();
  clips.erase(clips.begin() + 1);
  EXPECT_EQ(shared, Drawing::kMaxSharedCommands - 2 * Drawing::kMaxCommands);
  clips.back()->BeginFill(Solid());
  clips.back()->LineTo(5, 5);
  EXPECT_FALSE(clips.back()->Empty());
}

TEST(DrawingTest, HostileCoordinatesStayFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Drawing d;
  d.BeginFill(Solid());
  d.MoveTo(nan, -inf);
  d.LineTo(inf, 1e300);
  d.CurveTo(-1e300, nan, 5, inf);
  d.EndFill();
  const FloatRect r = d.Bounds(true);
  ASSERT_FALSE(r.Empty());
  for (float v : {r.xMin, r.xMax, r.yMin, r.yMax}) EXPECT_TRUE(std::isfinite(v));
}

// What getBounds reports: strokes widen by their whole width, and curves
// count their control points, as Flash measures drawn shapes.
TEST(DrawingTest, BoundsFollowStrokesAndCurves) {
  struct Case {
    const char* name;
    uint16_t lineWidth;  // 0: fill only
    bool curve;
    FloatRect expect;
  };
  const Case cases[] = {
      {"fill", 0, false, {0, 0, 200, 100}},
      {"stroke", 40, false, {-40, -40, 240, 140}},
      {"curve", 0, true, {0, 0, 200, 100}},
  };
  for (const Case& c : cases) {
    Drawing d;
    if (c.lineWidth) {
      LineStyle line;
      line.width = c.lineWidth;
      d.SetLineStyle(line);
    } else {
      d.BeginFill(Solid());
    }
    if (c.curve) {
      d.CurveTo(100, 100, 200, 0);
    } else {
      d.LineTo(200, 100);
    }
    const FloatRect r = d.Bounds(true);
    EXPECT_FLOAT_EQ(r.xMin, c.expect.xMin) << c.name;
    EXPECT_FLOAT_EQ(r.yMin, c.expect.yMin) << c.name;
    EXPECT_FLOAT_EQ(r.xMax, c.expect.xMax) << c.name;
    EXPECT_FLOAT_EQ(r.yMax, c.expect.yMax) << c.name;
  }
}

// Closing an open fill (endFill, or a new beginFill) adds a stroked line
// back to the fill's start, but the pen stays: a following fill starts
// where the last line ended, and the next line's stroke starts there too.
TEST(DrawingTest, ClosingAFillKeepsThePen) {
  enum class Close { EndFill, BeginFill, EndFillThenLine };
  struct Case {
    const char* name;
    Close close;
    std::size_t layers;  // fill, its stroke, then what the next lineTo makes
  };
  const Case cases[] = {
      {"endFill, beginFill", Close::EndFill, 4},
      {"beginFill", Close::BeginFill, 4},
      {"endFill, lineTo", Close::EndFillThenLine, 2},
  };
  for (const Case& c : cases) {
    Drawing d;
    d.SetLineStyle(LineStyle{});
    d.BeginFill(Solid());
    d.LineTo(0, 200);
    d.LineTo(200, 200);
    if (c.close != Close::BeginFill) d.EndFill();
    if (c.close != Close::EndFillThenLine) d.BeginFill(Solid());
    d.LineTo(200, 0);
    const auto shape = d.Snapshot();
    ASSERT_TRUE(shape) << c.name;
    ASSERT_EQ(shape->layers.size(), c.layers) << c.name;
    const auto& fill = shape->layers[0].path.Points();
    EXPECT_EQ(fill.back().x, 0) << c.name << ": the fill closes at its start";
    EXPECT_EQ(fill.back().y, 0) << c.name;
    const auto& stroke = shape->layers[1].path.Points();
    ASSERT_GE(stroke.size(), 4u) << c.name;
    EXPECT_EQ(stroke[3].x, 0) << c.name << ": the closing line is stroked";
    EXPECT_EQ(stroke[3].y, 0) << c.name;
    // The last line starts at the pen, where the outline ended.
    const auto& last = shape->layers.back().path.Points();
    ASSERT_GE(last.size(), 2u) << c.name;
    EXPECT_EQ(last[last.size() - 2].x, 200) << c.name;
    EXPECT_EQ(last[last.size() - 2].y, 200) << c.name;
    if (c.close != Close::EndFillThenLine) {
      const auto& next = shape->layers[2].path.Points();
      EXPECT_EQ(next.front().x, 200) << c.name << ": the next fill starts at the pen";
      EXPECT_EQ(next.front().y, 200) << c.name;
    }
  }
}

// A drawing that changes redraws where it was and where it is now; one
// that stays the same redraws nothing.
TEST(DrawingTest, ChangesDamageOldAndNewBounds) {
  Movie movie;
  NoImages images;
  Renderer renderer(movie, images);
  Drawing d;
  d.BeginFill(Solid());
  d.MoveTo(0, 0);
  d.LineTo(200, 0);
  d.LineTo(200, 200);
  d.EndFill();
  auto tree = [&](const Drawing& drawing) {
    DisplayNode root;
    DisplayNode clip;
    DisplayNode shape;
    shape.kind = DisplayNode::Kind::Shape;
    shape.drawing = drawing.Snapshot();
    clip.children.push_back(shape);
    root.children.push_back(clip);
    root.matrix = Matrix{1 / 20.0, 0, 0, 1 / 20.0, 0, 0};
    return root;
  };
  const DisplayNode before = tree(d);
  EXPECT_TRUE(FrameDamage(renderer, before, tree(d), 400, 400).empty());
  d.Clear();
  d.MoveTo(4000, 4000);
  d.BeginFill(Solid());
  d.LineTo(4200, 4000);
  d.LineTo(4200, 4200);
  const auto boxes = FrameDamage(renderer, before, tree(d), 400, 400);
  auto covered = [&](int x, int y) {
    for (const DamageBox& b : boxes) {
      if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1) return true;
    }
    return false;
  };
  EXPECT_TRUE(covered(9, 1));      // where the drawing was
  EXPECT_TRUE(covered(209, 201));  // where it is now
  EXPECT_FALSE(covered(100, 300));
}

}  // namespace
}  // namespace orrivel::swf
