#include "swf/render/morph.h"

#include <gtest/gtest.h>

#include "render_test_util.h"
#include "swf/render/renderer.h"

namespace orrivel::swf {
namespace {

using namespace testing;

// A square growing from 10 to 20 pixels while turning from red to blue; its
// top edge is straight at the start and bowed at the end.
MorphShapeDefinition GrowingSquare() {
  MorphShapeDefinition m;
  m.id = 5;
  m.start.fillStyles = {Solid(255, 0, 0)};
  m.end.fillStyles = {Solid(0, 0, 255)};
  LineStyle thin, thick;
  thin.width = 20;
  thick.width = 60;
  m.start.lineStyles = {thin};
  m.end.lineStyles = {thick};
  m.start.records.push_back(Style(std::make_pair(0, 0), 0, 1));
  AddLines(m.start.records, {0, 0}, {{200, 0}, {200, 200}, {0, 200}, {0, 0}});
  m.end.records.push_back(Style(std::make_pair(0, 0), std::nullopt, std::nullopt));
  m.end.records.push_back(CurvedEdgeRecord{200, -100, 200, 100});
  AddLines(m.end.records, {400, 0}, {{400, 400}, {0, 400}, {0, 0}});
  return m;
}

TEST(MorphTest, EdgesAndStylesInterpolate) {
  const MorphShapeDefinition m = GrowingSquare();
  struct Case {
    float ratio;
    uint8_t red;
    uint16_t lineWidth;
    int32_t right;  // x of the square's right side, twips
  };
  for (const Case& tc : {Case{0, 255, 20, 200}, Case{0.5f, 128, 40, 300}, Case{1, 0, 60, 400},
                         Case{7, 0, 60, 400}}) {
    SCOPED_TRACE(tc.ratio);
    const Shape s = InterpolateMorph(m, tc.ratio);
    ASSERT_EQ(s.fillStyles.size(), 1u);
    EXPECT_NEAR(s.fillStyles[0].color.r, tc.red, 1);
    EXPECT_NEAR(s.fillStyles[0].color.b, 255 - tc.red, 1);
    EXPECT_EQ(s.lineStyles.at(0).width, tc.lineWidth);

    // Walk the records: the top edge is a curve (paired with the end's
    // curve), the others straight; the contour closes exactly.
    int32_t x = 0, y = 0, maxX = 0;
    int curves = 0, straights = 0;
    for (const ShapeRecord& r : s.records) {
      if (const auto* sc = std::get_if<StyleChangeRecord>(&r)) {
        if (sc->moveTo) std::tie(x, y) = *sc->moveTo;
      } else if (const auto* e = std::get_if<StraightEdgeRecord>(&r)) {
        x += e->dx;
        y += e->dy;
        ++straights;
      } else {
        const auto& c = std::get<CurvedEdgeRecord>(r);
        if (curves++ == 0) {
          EXPECT_EQ(x + c.controlDx, tc.right / 2);
          EXPECT_EQ(y + c.controlDy, tc.ratio >= 1 ? -100 : static_cast<int>(-100 * tc.ratio));
        }
        x += c.controlDx + c.anchorDx;
        y += c.controlDy + c.anchorDy;
      }
      maxX = std::max(maxX, x);
    }
    EXPECT_EQ(curves, 1);
    EXPECT_EQ(straights, 3);
    EXPECT_EQ(maxX, tc.right);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
  }
}

TEST(MorphTest, MissingEndEdgesKeepTheStartShape) {
  MorphShapeDefinition m = GrowingSquare();
  m.end.records.resize(2);  // only the first end edge is there
  const Shape s = InterpolateMorph(m, 1);
  std::vector<int32_t> dx;
  for (const ShapeRecord& r : s.records) {
    if (const auto* e = std::get_if<StraightEdgeRecord>(&r)) dx.push_back(e->dx);
  }
  EXPECT_EQ(dx, (std::vector<int32_t>{0, -200, 0}));  // the start's right, bottom, left
}

TEST(MorphTest, RendererDrawsTheRatioOfTheNode) {
  Movie movie;
  movie.characters.emplace(5, GrowingSquare());
  NoDecoder decoder;
  Renderer renderer(movie, decoder);
  for (float ratio : {0.0f, 0.5f, 1.0f, 0.0f}) {
    SCOPED_TRACE(ratio);
    DisplayNode root = Stage();
    DisplayNode node = Node(DisplayNode::Kind::MorphShape, 5, 1);
    node.ratio = ratio;
    root.children.push_back(node);
    OwnedCanvas c(24, 24);
    renderer.Render(root, c.canvas, Quality::High);
    const int side = static_cast<int>(10 + 10 * ratio);
    const uint32_t inside = c.At(side / 2, side - 3);
    EXPECT_EQ(Channel(inside, 24), 255u);
    EXPECT_NEAR(Channel(inside, 16), 255 * (1 - ratio), 2);
    EXPECT_EQ(c.At(side + 3, side / 2), 0u);
  }
}

}  // namespace
}  // namespace orrivel::swf
