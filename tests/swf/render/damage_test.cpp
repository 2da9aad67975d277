#include "swf/render/damage.h"

#include <gtest/gtest.h>

#include <functional>

#include "render_test_util.h"

namespace orrivel::swf {
namespace {

using namespace testing;

constexpr int kSize = 200;
constexpr uint16_t kRed = 1, kBlue = 2, kWide = 3;

Movie MakeMovie() {
  Movie movie;
  Shape red;
  red.fillStyles = {Solid(255, 0, 0)};
  AddRect(red.records, 0, 0, 400, 400, 1);  // 20 x 20 px
  movie.characters[kRed] = ShapeDef(kRed, red);
  Shape blue;
  blue.fillStyles = {Solid(0, 0, 255)};
  AddRect(blue.records, 0, 0, 600, 600, 1);
  movie.characters[kBlue] = ShapeDef(kBlue, blue);
  Shape wide;
  wide.fillStyles = {Solid(0, 200, 0)};
  AddRect(wide.records, 0, 0, 4000, 4000, 1);  // the whole target
  movie.characters[kWide] = ShapeDef(kWide, wide);
  return movie;
}

DisplayNode Placed(uint16_t id, uint16_t depth, double x, double y) {
  DisplayNode n = Node(DisplayNode::Kind::Shape, id, depth);
  n.matrix.tx = x * 20;
  n.matrix.ty = y * 20;
  return n;
}

DisplayNode Group(uint16_t depth, std::vector<DisplayNode> children) {
  DisplayNode g = Node(DisplayNode::Kind::Group, 0, depth);
  g.children = std::move(children);
  return g;
}

DisplayNode Scene(std::vector<DisplayNode> children) {
  DisplayNode root = Stage();
  root.children = std::move(children);
  return root;
}

DisplayNode Glowing(DisplayNode n, float blur = 12) {
  Filter glow;
  glow.kind = Filter::Kind::Glow;
  glow.blurX = glow.blurY = blur;
  glow.strength = 2;
  glow.color = {255, 255, 0, 255};
  n.filters = {glow};
  return n;
}

TEST(FrameDamageTest, EveryChangedPixelLiesInADamageBoxAndLittleElseIsRedrawn) {
  DisplayNode mask = Placed(kBlue, 1, 50, 50);
  mask.clipDepth = 3;
  DisplayNode faded = Group(1, {Placed(kRed, 1, 10, 10), Placed(kRed, 2, 150, 150)});
  faded.colorTransform.aMult = 0.5f;
  struct Case {
    const char* name;
    DisplayNode before, after;
    double maxShare;  // of the target that may be redrawn
  } cases[] = {
      {"nothing changed", Scene({Placed(kRed, 1, 10, 10)}), Scene({Placed(kRed, 1, 10, 10)}), 0},
      {"moved a little", Scene({Placed(kRed, 1, 10, 10)}), Scene({Placed(kRed, 1, 14, 12)}), 0.05},
      {"two far apart moved", Scene({Placed(kRed, 1, 0, 0), Placed(kRed, 2, 170, 170)}),
       Scene({Placed(kRed, 1, 3, 3), Placed(kRed, 2, 173, 173)}), 0.1},
      {"appeared", Scene({}), Scene({Placed(kBlue, 4, 100, 20)}), 0.05},
      {"went", Scene({Placed(kBlue, 4, 100, 20)}), Scene({}), 0.05},
      {"group colour", Scene({Group(1, {Placed(kRed, 1, 10, 10), Placed(kRed, 2, 150, 150)})}),
       Scene({faded}), 0.1},
      {"mask moved", Scene({mask, Placed(kWide, 2, 0, 0)}),
       Scene({Placed(kBlue, 1, 60, 60), Placed(kWide, 2, 0, 0)}), 1},
      {"mask removed reveals everything", Scene({mask, Placed(kWide, 2, 0, 0)}),
       Scene({Placed(kWide, 2, 0, 0)}), 1},
      {"glowing shape moved", Scene({Glowing(Placed(kRed, 1, 60, 60))}),
       Scene({Glowing(Placed(kRed, 1, 62, 60))}), 0.15},
      {"child of a glowing group moved",
       Scene({Glowing(Group(1, {Placed(kRed, 1, 60, 60), Placed(kRed, 2, 100, 60)}))}),
       Scene({Glowing(Group(1, {Placed(kRed, 1, 60, 60), Placed(kRed, 2, 101, 60)}))}), 0.3},
      {"glow grew", Scene({Glowing(Group(1, {Placed(kRed, 1, 60, 60)}))}),
       Scene({Glowing(Group(1, {Placed(kRed, 1, 60, 60)}), 30)}), 0.3},
      {"covered by a sibling", Scene({Placed(kRed, 1, 10, 10), Placed(kBlue, 2, 5, 5)}),
       Scene({Placed(kRed, 1, 12, 10), Placed(kBlue, 2, 5, 5)}), 0.05},
  };
  // A moved mask stays a mask in the "mask moved" case.
  cases[6].after.children[0].clipDepth = 3;
  Movie movie = MakeMovie();
  NoDecoder decoder;
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    Renderer renderer(movie, decoder);
    OwnedCanvas a(kSize, kSize, 0xFF000000u), b(kSize, kSize, 0xFF000000u);
    renderer.Render(c.before, a.canvas, Quality::High);
    renderer.Render(c.after, b.canvas, Quality::High);
    const std::vector<DamageBox> boxes = FrameDamage(renderer, c.before, c.after, kSize, kSize);
    long long area = 0;
    for (const DamageBox& box : boxes) area += box.Area();
    EXPECT_LE(area, c.maxShare * kSize * kSize);
    int missed = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        if (a.At(x, y) == b.At(x, y)) continue;
        bool inside = std::any_of(boxes.begin(), boxes.end(), [&](const DamageBox& d) {
          return x >= d.x0 && x < d.x1 && y >= d.y0 && y < d.y1;
        });
        missed += !inside;
      }
    }
    EXPECT_EQ(missed, 0) << "changed pixels outside the damage";
  }
}

TEST(FrameDamageTest, NewTargetMappingRedrawsEverything) {
  Movie movie = MakeMovie();
  NoDecoder decoder;
  Renderer renderer(movie, decoder);
  DisplayNode before = Scene({Placed(kRed, 1, 10, 10)});
  DisplayNode after = before;
  after.matrix.a = after.matrix.d = 1.0 / 10;
  EXPECT_EQ(FrameDamage(renderer, before, after, kSize, kSize),
            (std::vector<DamageBox>{{0, 0, kSize, kSize}}));
}

TEST(MergeDamageTest, Table) {
  struct Case {
    const char* name;
    std::vector<DamageBox> in;
    size_t maxBoxes;
    std::vector<DamageBox> out;
  } cases[] = {
      {"empty boxes go", {{5, 5, 5, 9}}, 4, {}},
      {"overlapping become one", {{0, 0, 10, 10}, {5, 5, 20, 20}}, 4, {{0, 0, 20, 20}}},
      {"a union that overlaps a third",
       {{0, 0, 10, 10}, {8, 8, 30, 12}, {25, 0, 40, 5}},
       4,
       {{0, 0, 40, 12}}},
      {"apart stay apart",
       {{0, 0, 10, 10}, {50, 50, 60, 60}},
       4,
       {{0, 0, 10, 10}, {50, 50, 60, 60}}},
      {"too many: the cheapest pair merges",
       {{0, 0, 10, 10}, {12, 0, 22, 10}, {80, 80, 90, 90}},
       2,
       {{0, 0, 22, 10}, {80, 80, 90, 90}}},
      {"most of the target: one full redraw", {{0, 0, 100, 70}}, 4, {{0, 0, 100, 100}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MergeDamage(c.in, 100, 100, c.maxBoxes), c.out) << c.name;
  }
  // Hundreds of small boxes (a frame of many moving clips) become their bounds at once.
  std::vector<DamageBox> many;
  for (int i = 0; i < 500; ++i) many.push_back({i % 50, i / 50, i % 50 + 1, i / 50 + 1});
  EXPECT_EQ(MergeDamage(many, 100, 100, 4), (std::vector<DamageBox>{{0, 0, 50, 10}}));
}

}  // namespace
}  // namespace orrivel::swf
