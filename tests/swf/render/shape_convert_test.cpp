#include "swf/render/shape_convert.h"

#include <gtest/gtest.h>

#include "render_test_util.h"

namespace orrivel::swf {
namespace {

using namespace testing;
using Verb = raster::Path::Verb;

struct Contour {
  std::vector<raster::Point> points;
  bool closed = false;
};

std::vector<Contour> Contours(const raster::Path& path) {
  std::vector<Contour> out;
  size_t p = 0;
  for (Verb v : path.Verbs()) {
    switch (v) {
      case Verb::Move:
        out.push_back({{path.Points()[p++]}, false});
        break;
      case Verb::Line:
        out.back().points.push_back(path.Points()[p++]);
        break;
      case Verb::Quad:
        p++;  // control point
        out.back().points.push_back(path.Points()[p++]);
        break;
      case Verb::Close:
        out.back().closed = true;
        break;
    }
  }
  return out;
}

// Shoelace area; positive for clockwise on screen (y down).
double SignedArea(const Contour& c) {
  double a = 0;
  for (size_t i = 0; i < c.points.size(); ++i) {
    const auto& p = c.points[i];
    const auto& q = c.points[(i + 1) % c.points.size()];
    a += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
  }
  return a / 2;
}

TEST(ShapeConvertTest, SharedEdgeWithFillsOnBothSidesGivesTwoClosedRegions) {
  Shape s;
  s.fillStyles = {Solid(255, 0, 0), Solid(0, 0, 255)};
  auto& r = s.records;
  // Left square; its right edge has red (1) on the right, blue (2) on the left.
  r.push_back(Style(std::make_pair(0, 0), 0, 1));
  AddLines(r, {0, 0}, {{100, 0}});
  r.push_back(Style(std::nullopt, 2, 1));
  AddLines(r, {100, 0}, {{100, 100}});
  r.push_back(Style(std::nullopt, 0, 1));
  AddLines(r, {100, 100}, {{0, 100}, {0, 0}});
  // Right square without the shared edge.
  r.push_back(Style(std::make_pair(100, 0), 0, 2));
  AddLines(r, {100, 0}, {{200, 0}, {200, 100}, {100, 100}});

  const ConvertedShape c = ConvertShape(s, false);
  ASSERT_EQ(c.layers.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(c.layers[i].isLine);
    const auto contours = Contours(c.layers[i].path);
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_TRUE(contours[0].closed);
    EXPECT_EQ(contours[0].points.size(), 5u);  // four edges back to the start
    EXPECT_DOUBLE_EQ(SignedArea(contours[0]), 10000.0);
  }
  EXPECT_EQ(c.layers[0].fill.color, (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(c.layers[1].fill.color, (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(c.bounds.xMin, 0);
  EXPECT_EQ(c.bounds.xMax, 200);
}

TEST(ShapeConvertTest, EdgesOutOfOrderStillLinkIntoOneLoop) {
  Shape s;
  s.fillStyles = {Solid(1, 2, 3)};
  // The square's edges arrive scattered and with fill0 on two of them.
  s.records.push_back(Style(std::make_pair(100, 100), 1, 0));
  AddLines(s.records, {100, 100}, {{100, 0}});  // reversed: right edge going down
  s.records.push_back(Style(std::make_pair(0, 0), 0, 1));
  AddLines(s.records, {0, 0}, {{100, 0}});
  s.records.push_back(Style(std::make_pair(0, 100), 1, 0));
  AddLines(s.records, {0, 100}, {{100, 100}});  // reversed: bottom going left
  s.records.push_back(Style(std::make_pair(0, 100), 0, 1));
  AddLines(s.records, {0, 100}, {{0, 0}});

  const auto contours = Contours(ConvertShape(s, false).layers.at(0).path);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_DOUBLE_EQ(SignedArea(contours[0]), 10000.0);
}

TEST(ShapeConvertTest, UnmatchedChainIsClosed) {
  Shape s;
  s.fillStyles = {Solid(1, 2, 3)};
  s.records.push_back(Style(std::make_pair(0, 0), 0, 1));
  AddLines(s.records, {0, 0}, {{100, 0}, {100, 100}});
  const auto contours = Contours(ConvertShape(s, false).layers.at(0).path);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_TRUE(contours[0].closed);
}

TEST(ShapeConvertTest, NewStylesStartAGroupDrawnAfterThePreviousLines) {
  Shape s;
  s.fillStyles = {Solid(255, 0, 0)};
  LineStyle black;
  black.width = 20;
  s.lineStyles = {black};
  AddRect(s.records, 0, 0, 100, 100, 1);
  s.records.push_back(Style(std::make_pair(0, 0), std::nullopt, std::nullopt, 1));
  AddLines(s.records, {0, 0}, {{50, 50}});
  StyleChangeRecord fresh = Style(std::nullopt, std::nullopt, 1);
  fresh.newFillStyles = std::vector<FillStyle>{Solid(0, 0, 255)};
  fresh.newLineStyles = std::vector<LineStyle>{};
  s.records.push_back(fresh);
  // The old line style must not continue into the new group.
  AddLines(s.records, {50, 50}, {{150, 50}, {150, 150}, {50, 150}, {50, 50}});

  const ConvertedShape c = ConvertShape(s, false);
  ASSERT_EQ(c.layers.size(), 3u);
  EXPECT_FALSE(c.layers[0].isLine);
  EXPECT_EQ(c.layers[0].fill.color.r, 255);
  EXPECT_TRUE(c.layers[1].isLine);
  EXPECT_EQ(Contours(c.layers[1].path).size(), 1u);
  EXPECT_FALSE(c.layers[2].isLine);
  EXPECT_EQ(c.layers[2].fill.color.b, 255);
  EXPECT_FLOAT_EQ(c.maxLineWidth, 20.0f);
}

TEST(ShapeConvertTest, LinePathsKeepDrawingOrderAndCloseLoops) {
  struct Case {
    bool noClose;
    bool expectClosed;
  };
  for (const Case& tc : {Case{false, true}, Case{true, false}}) {
    SCOPED_TRACE(tc.noClose);
    Shape s;
    LineStyle line;
    line.width = 20;
    line.noClose = tc.noClose;
    s.lineStyles = {line};
    s.records.push_back(Style(std::make_pair(0, 0), std::nullopt, std::nullopt, 1));
    AddLines(s.records, {0, 0}, {{10, 0}, {10, 10}});
    s.records.push_back(Style(std::make_pair(50, 50), std::nullopt, std::nullopt, std::nullopt));
    AddLines(s.records, {50, 50}, {{60, 50}, {60, 60}, {50, 50}});

    const ConvertedShape c = ConvertShape(s, false);
    ASSERT_EQ(c.layers.size(), 1u);
    const auto contours = Contours(c.layers[0].path);
    ASSERT_EQ(contours.size(), 2u);
    EXPECT_FALSE(contours[0].closed);
    EXPECT_EQ(contours[0].points.size(), 3u);
    EXPECT_EQ(contours[0].points[2].x, 10);
    EXPECT_EQ(contours[0].points[2].y, 10);
    EXPECT_EQ(contours[1].points[0].x, 50);
    EXPECT_EQ(contours[1].closed, tc.expectClosed);
  }
}

TEST(ShapeConvertTest, StyleIndicesPastTheArraysDrawNothing) {
  Shape s;
  s.fillStyles = {Solid(1, 2, 3)};
  s.records.push_back(Style(std::make_pair(0, 0), 7, 9, 4));
  AddLines(s.records, {0, 0}, {{100, 0}, {100, 100}, {0, 0}});
  EXPECT_TRUE(ConvertShape(s, false).layers.empty());
}

TEST(ShapeConvertTest, CurvesKeepTheirControlPoints) {
  Shape s;
  s.fillStyles = {Solid(1, 2, 3)};
  s.records.push_back(Style(std::make_pair(0, 0), 0, 1));
  s.records.push_back(CurvedEdgeRecord{50, -50, 50, 50});
  AddLines(s.records, {100, 0}, {{0, 0}});
  const ConvertedShape c = ConvertShape(s, false);
  const raster::Path& p = c.layers.at(0).path;
  ASSERT_EQ(p.Verbs().size(), 4u);
  EXPECT_EQ(p.Verbs()[1], Verb::Quad);
  EXPECT_EQ(p.Points()[1].x, 50);
  EXPECT_EQ(p.Points()[1].y, -50);
}

}  // namespace
}  // namespace orrivel::swf
