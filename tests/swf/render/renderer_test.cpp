#include "swf/render/renderer.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <functional>

#include "render_test_util.h"

namespace orrivel::swf {
namespace {

using namespace testing;
using Kind = DisplayNode::Kind;

// Square of side `size` pixels at (x, y) pixels, filled with fill.
ShapeDefinition SquareShape(uint16_t id, int x, int y, int size, FillStyle fill) {
  Shape s;
  s.fillStyles = {fill};
  AddRect(s.records, x * 20, y * 20, (x + size) * 20, (y + size) * 20, 1);
  return ShapeDef(id, std::move(s));
}

class RendererTest : public ::testing::Test {
 protected:
  void Add(Character c) {
    const uint16_t id = std::visit([](const auto& d) { return d.id; }, c);
    movie.characters.emplace(id, std::move(c));
  }
  OwnedCanvas Draw(const DisplayNode& root, int w = 16, int h = 16, Quality q = Quality::High,
                   uint32_t background = 0) {
    OwnedCanvas canvas(w, h, background);
    Renderer renderer(movie, decoder);
    renderer.Render(root, canvas.canvas, q);
    return canvas;
  }
  void KeptNodesFollowEveryChange(bool cacheAsBitmap);

  Movie movie;
  NoDecoder decoder;
};

TEST_F(RendererTest, SolidFillThroughNestedColorTransforms) {
  Add(SquareShape(1, 2, 2, 8, Solid(200, 100, 50)));
  DisplayNode root = Stage();
  DisplayNode group = Node(Kind::Group, 0, 1);
  group.colorTransform.rMult = 128;  // halves red
  DisplayNode shape = Node(Kind::Shape, 1, 1);
  shape.colorTransform.bAdd = 100;
  group.children.push_back(shape);
  root.children.push_back(group);

  const OwnedCanvas c = Draw(root);
  EXPECT_EQ(c.At(5, 5), 0xFF646496u);  // r 100, g 100, b 150
  EXPECT_EQ(c.At(12, 5), 0u);
  EXPECT_EQ(c.At(1, 1), 0u);
}

TEST_F(RendererTest, HoleFollowsTheFillRule) {
  for (bool winding : {false, true}) {
    SCOPED_TRACE(winding);
    movie.characters.clear();
    Shape s;
    s.fillStyles = {Solid(0, 0, 255)};
    AddRect(s.records, 0, 0, 240, 240, 1);
    AddRect(s.records, 80, 80, 160, 160, 1);  // same direction as the outer one
    Add(ShapeDef(1, std::move(s), winding));
    DisplayNode root = Stage();
    root.children.push_back(Node(Kind::Shape, 1, 1));
    const OwnedCanvas c = Draw(root);
    EXPECT_EQ(c.At(1, 1), 0xFF0000FFu);
    EXPECT_EQ(c.At(6, 6), winding ? 0xFF0000FFu : 0u);
  }
}

TEST_F(RendererTest, NodesDrawInOrderAndInvisibleOnesAreSkipped) {
  Add(SquareShape(1, 0, 0, 8, Solid(255, 0, 0)));
  Add(SquareShape(2, 4, 4, 8, Solid(0, 255, 0)));
  DisplayNode root = Stage();
  root.children.push_back(Node(Kind::Shape, 1, 1));
  root.children.push_back(Node(Kind::Shape, 2, 2));
  EXPECT_EQ(Draw(root).At(6, 6), 0xFF00FF00u);
  root.children[1].visible = false;
  EXPECT_EQ(Draw(root).At(6, 6), 0xFFFF0000u);
}

// A node names a character of its own movie (a level's or a loaded one):
// the same id draws what that movie defines.
TEST_F(RendererTest, NodesDrawTheCharactersOfTheirOwnMovie) {
  Add(SquareShape(1, 0, 0, 8, Solid(255, 0, 0)));
  Movie other;
  other.characters.emplace(1, SquareShape(1, 8, 8, 8, Solid(0, 0, 255)));
  DisplayNode root = Stage();
  root.children.push_back(Node(Kind::Shape, 1, 1));
  DisplayNode loaded = Node(Kind::Shape, 1, 2);
  loaded.movie = &other;
  root.children.push_back(loaded);
  const OwnedCanvas c = Draw(root);
  EXPECT_EQ(c.At(4, 4), 0xFFFF0000u);
  EXPECT_EQ(c.At(12, 12), 0xFF0000FFu);
}

TEST_F(RendererTest, MasksHideSiblingsUpToTheirClipDepthAndIntersect) {
  Add(SquareShape(1, 0, 0, 8, Solid(1, 2, 3)));      // the mask: left half
  Add(SquareShape(2, 0, 0, 16, Solid(255, 0, 0)));   // masked
  Add(SquareShape(3, 12, 12, 4, Solid(0, 255, 0)));  // above the clip depth
  Add(SquareShape(4, 0, 0, 16, Solid(255, 0, 0)));
  DisplayNode root = Stage();
  DisplayNode mask = Node(Kind::Shape, 1, 1);
  mask.clipDepth = 2;
  root.children.push_back(mask);
  root.children.push_back(Node(Kind::Shape, 2, 2));
  root.children.push_back(Node(Kind::Shape, 3, 3));

  const OwnedCanvas c = Draw(root);
  EXPECT_EQ(c.At(3, 3), 0xFFFF0000u);    // inside the mask
  EXPECT_EQ(c.At(12, 3), 0u);            // outside: hidden
  EXPECT_EQ(c.At(14, 14), 0xFF00FF00u);  // not masked

  // Nested masks intersect.
  movie.characters.erase(2);
  Add(SquareShape(2, 4, 0, 12, Solid(1, 2, 3)));
  root = Stage();
  DisplayNode outer = Node(Kind::Shape, 1, 1);
  outer.clipDepth = 10;
  DisplayNode group = Node(Kind::Group, 0, 2);
  DisplayNode inner = Node(Kind::Shape, 2, 1);
  inner.clipDepth = 5;
  group.children.push_back(inner);
  group.children.push_back(Node(Kind::Shape, 4, 2));
  root.children.push_back(outer);
  root.children.push_back(group);
  const OwnedCanvas n = Draw(root);
  EXPECT_EQ(n.At(2, 2), 0u);           // outer only
  EXPECT_EQ(n.At(6, 2), 0xFFFF0000u);  // both
  EXPECT_EQ(n.At(10, 2), 0u);          // inner only
}

TEST_F(RendererTest, MultiplyLayerDarkensTheBackground) {
  Add(SquareShape(1, 0, 0, 16, Solid(200, 100, 255)));
  Add(SquareShape(2, 4, 4, 8, Solid(128, 255, 0)));
  DisplayNode root = Stage();
  root.children.push_back(Node(Kind::Shape, 1, 1));
  DisplayNode top = Node(Kind::Shape, 2, 2);
  top.blendMode = BlendMode::Multiply;
  root.children.push_back(top);

  const OwnedCanvas c = Draw(root);
  const uint32_t p = c.At(8, 8);
  EXPECT_EQ(Channel(p, 24), 255u);
  EXPECT_NEAR(Channel(p, 16), 100, 2);
  EXPECT_NEAR(Channel(p, 8), 100, 2);
  EXPECT_NEAR(Channel(p, 0), 0, 2);
  EXPECT_EQ(c.At(1, 1), 0xFFC864FFu);  // outside the layer: untouched
}

TEST_F(RendererTest, LowQualityHasNoPartialCoverage) {
  Shape s;
  s.fillStyles = {Solid(255, 255, 255)};
  AddRect(s.records, 30, 30, 250, 250, 1);  // edges in mid-pixel
  Add(ShapeDef(1, std::move(s)));
  DisplayNode root = Stage();
  root.children.push_back(Node(Kind::Shape, 1, 1));
  for (Quality q : {Quality::Low, Quality::High}) {
    const OwnedCanvas c = Draw(root, 16, 16, q);
    bool partial = false;
    for (uint32_t p : c.pixels) partial |= p != 0 && p != 0xFFFFFFFFu;
    EXPECT_EQ(partial, q == Quality::High);
  }
}

TEST_F(RendererTest, HairlineIsAtLeastOnePixelWide) {
  for (uint16_t width : {0, 4}) {  // none, and a fifth of a pixel
    SCOPED_TRACE(width);
    movie.characters.clear();
    Shape s;
    LineStyle line;
    line.width = width;
    line.color = {0, 0, 0, 255};
    s.lineStyles = {line};
    s.records.push_back(Style(std::make_pair(0, 170), std::nullopt, std::nullopt, 1));
    AddLines(s.records, {0, 170}, {{320, 170}});
    Add(ShapeDef(1, std::move(s)));
    DisplayNode root = Stage();
    root.children.push_back(Node(Kind::Shape, 1, 1));
    const OwnedCanvas c = Draw(root);
    uint32_t column = 0;
    for (int y = 0; y < 16; ++y) column += Channel(c.At(5, y), 24);
    EXPECT_GE(column, 240u);  // about one pixel's worth of alpha
    EXPECT_LE(column, 270u);
  }
}

TEST_F(RendererTest, MissingCharactersAndOffCanvasNodesDrawNothing) {
  Add(SquareShape(1, 0, 0, 8, Solid(255, 0, 0)));
  DisplayNode root = Stage();
  root.children.push_back(Node(Kind::Shape, 99, 1));
  root.children.push_back(Node(Kind::MorphShape, 1, 2));  // wrong kind of character
  DisplayNode far = Node(Kind::Shape, 1, 3);
  far.matrix.tx = 1e9;
  root.children.push_back(far);
  for (uint32_t p : Draw(root).pixels) EXPECT_EQ(p, 0u);
}

// A filtered node drawn through a part of the target (as a partial redraw
// does) gives the pixels of a whole redraw there: the filters see what lies
// past the part's edges.
TEST_F(RendererTest, FilteredNodeIsTheSameThroughAnyPartOfTheTarget) {
  Filter blur, shadow;
  blur.kind = Filter::Kind::Blur;
  blur.blurX = blur.blurY = 9;
  blur.passes = 2;
  shadow.kind = Filter::Kind::DropShadow;
  shadow.blurX = shadow.blurY = 4;
  shadow.distance = 6;
  shadow.angle = 0.7f;
  shadow.color = {0, 0, 255, 255};
  Add(SquareShape(1, 0, 0, 10, Solid(255, 0, 0)));
  for (const FilterList& filters : {FilterList{blur}, FilterList{shadow, blur}}) {
    DisplayNode root = Stage();
    DisplayNode node = Node(Kind::Shape, 1, 1);
    node.matrix.tx = 5 * 20;
    node.matrix.ty = 5 * 20;
    node.filters = filters;
    root.children = {node};
    OwnedCanvas whole(40, 40, 0xFFFFFFFFu), part(40, 40, 0xFFFFFFFFu);
    Renderer renderer(movie, decoder);
    renderer.Render(root, whole.canvas, Quality::High);
    raster::Canvas box{part.pixels.data() + 12 * 40 + 12, 10, 10, 40};
    root.matrix.tx -= 12;
    root.matrix.ty -= 12;
    renderer.Render(root, box, Quality::High);
    for (int y = 12; y < 22; ++y) {
      for (int x = 12; x < 22; ++x) EXPECT_EQ(part.At(x, y), whole.At(x, y)) << x << "," << y;
    }
    EXPECT_NE(whole.At(19, 10), 0xFFFFFFFFu) << "the filters reach past the square";
  }
}

// A renderer that keeps filtered nodes (and nodes cached as bitmaps) from
// render to render draws what a new renderer draws after any change inside,
// to the node, its filters or its place, and when nothing changed.
TEST_F(RendererTest, KeptFilteredNodesFollowEveryChange) {
  for (bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached as a bitmap" : "filtered");
    KeptNodesFollowEveryChange(cached);
  }
}

void RendererTest::KeptNodesFollowEveryChange(bool cacheAsBitmap) {
  Add(SquareShape(1, 0, 0, 10, Solid(255, 0, 0)));
  Add(SquareShape(2, 3, 3, 4, Solid(0, 255, 0)));
  Filter glow;
  glow.kind = Filter::Kind::Glow;
  glow.blurX = glow.blurY = 6;
  glow.strength = 2;
  glow.color = {0, 0, 255, 255};
  DisplayNode group = Node(Kind::Group, 0, 1);
  group.matrix.tx = group.matrix.ty = 8 * 20;
  group.filters = {glow};
  if (cacheAsBitmap) {
    group.filters.clear();
    group.cacheAsBitmap = true;
  }
  group.children = {Node(Kind::Shape, 1, 1), Node(Kind::Shape, 2, 2)};
  const auto changed = [&](const std::function<void(DisplayNode&)>& change) {
    DisplayNode g = group;
    change(g);
    return g;
  };
  struct Step {
    const char* name;
    DisplayNode node;
    Quality quality = Quality::High;
  };
  const Step steps[] = {
      {"first", group},
      {"unchanged", group},
      {"inner colour", changed([](DisplayNode& g) { g.children[1].colorTransform.gAdd = -200; })},
      {"inner move", changed([](DisplayNode& g) { g.children[1].matrix.tx += 40; })},
      {"inner hidden", changed([](DisplayNode& g) { g.children[0].visible = false; })},
      {"filter", changed([](DisplayNode& g) {
         if (!g.filters.empty()) g.filters[0].blurX = 2;
       })},
      {"whole pixels", changed([](DisplayNode& g) { g.matrix.tx += 60; })},
      {"part of a pixel", changed([](DisplayNode& g) { g.matrix.ty += 7; })},
      {"own colour", changed([](DisplayNode& g) { g.colorTransform.rMult = 100; })},
      {"low quality", group, Quality::Low},
      {"back", group},
  };
  Renderer kept(movie, decoder);
  for (const Step& step : steps) {
    DisplayNode root = Stage();
    root.children = {step.node};
    OwnedCanvas canvas(40, 40, 0xFFFFFFFFu);
    kept.Render(root, canvas.canvas, step.quality);
    EXPECT_EQ(canvas.pixels, Draw(root, 40, 40, step.quality, 0xFFFFFFFFu).pixels) << step.name;
  }
}

// A node with a scroll window draws only inside it, in its own space.
TEST_F(RendererTest, ScrollWindowCutsWhatTheNodeDraws) {
  Add(SquareShape(1, 0, 0, 12, Solid(255, 0, 0)));
  DisplayNode root = Stage();
  DisplayNode group = Node(Kind::Group, 0, 1);
  group.matrix.tx = 2 * 20;
  group.children = {Node(Kind::Shape, 1, 1)};
  group.clipRect = std::array<double, 4>{4 * 20, 0, 8 * 20, 6 * 20};
  root.children = {group};
  const OwnedCanvas c = Draw(root);
  const struct {
    int x, y;
    uint32_t pixel;
  } cases[] = {{6, 0, 0xFFFF0000u}, {9, 5, 0xFFFF0000u}, {5, 3, 0u},
               {10, 3, 0u},         {7, 6, 0u},          {3, 3, 0u}};
  for (const auto& k : cases) EXPECT_EQ(c.At(k.x, k.y), k.pixel) << k.x << "," << k.y;
}

// Plain shapes in a row, in groups, under a mask layer and around a node
// that needs a layer of its own, draw as they do one group at a time, with
// one thread and with three, where runs of them go out as one batch.
TEST_F(RendererTest, RunsOfPlainShapesDrawTheSameOnAnyThreadCount) {
  Add(SquareShape(1, 0, 0, 40, Solid(255, 0, 0)));
  Add(SquareShape(2, 10, 10, 30, Solid(0, 90, 255)));
  DisplayNode root = Stage();
  for (uint16_t i = 1; i <= 40; ++i) {
    DisplayNode group = Node(Kind::Group, 0, i);
    group.matrix.tx = (i * 37 % 280) * 20;
    group.matrix.ty = (i * 53 % 200) * 20;
    group.colorTransform.aMult = i % 3 ? 256 : 128;
    group.children = {Node(Kind::Shape, 1, 1), Node(Kind::Shape, 2, 2)};
    group.children[1].visible = i % 5 != 0;
    if (i == 12) group.clipDepth = 20;  // masks the groups up to depth 20
    if (i == 25) group.blendMode = BlendMode::Multiply;
    root.children.push_back(group);
  }
  // Each seen through a window larger than the canvas, the groups draw one
  // by one.
  DisplayNode apart = root;
  for (DisplayNode& group : apart.children)
    group.clipRect = std::array<double, 4>{-1e5, -1e5, 1e5, 1e5};
  Renderer renderer(movie, decoder);
  OwnedCanvas reference(320, 240, 0xFFFFFFFFu);
  renderer.SetThreads(1);
  renderer.Render(apart, reference.canvas, Quality::High);
  for (int threads : {1, 3}) {
    OwnedCanvas canvas(320, 240, 0xFFFFFFFFu);
    renderer.SetThreads(threads);
    renderer.Render(root, canvas.canvas, Quality::High);
    EXPECT_EQ(canvas.pixels, reference.pixels) << threads << " threads";
  }
}

// Under a node that paints the whole canvas opaque nothing shows, and what
// is drawn is what it would be with everything under it drawn too; a cover
// that is translucent, falls short of an edge, is clipped by a mask layer
// below it or has a transparent picture hides nothing.
TEST_F(RendererTest, WhatLiesUnderAnOpaqueCoverIsNotDrawn) {
  Add(SquareShape(1, 2, 2, 10, Solid(255, 0, 0)));
  Add(SquareShape(2, 0, 0, 16, Solid(0, 0, 255)));  // the whole 16 x 16 canvas
  Add(SquareShape(3, 0, 0, 15, Solid(0, 0, 255)));  // one pixel short
  Add(SquareShape(4, 4, 4, 4, Solid(0, 255, 0)));
  struct Case {
    const char* name;
    uint16_t cover;
    int16_t alphaMult;
    bool maskBelow;
  } cases[] = {
      {"opaque", 2, 256, false},
      {"translucent", 2, 128, false},
      {"short of an edge", 3, 256, false},
      {"masked", 2, 256, true},
  };
  for (const Case& c : cases) {
    DisplayNode root = Stage();
    DisplayNode below = Node(Kind::Shape, 1, 1);
    DisplayNode mask = Node(Kind::Shape, 4, 2);
    mask.clipDepth = 3;
    DisplayNode cover = Node(Kind::Group, 0, 3);
    cover.colorTransform.aMult = c.alphaMult;
    cover.children = {Node(Kind::Shape, c.cover, 1)};
    DisplayNode above = Node(Kind::Shape, 4, 4);
    above.colorTransform.aMult = 128;
    root.children = {below};
    if (c.maskBelow) root.children.push_back(mask);
    root.children.push_back(cover);
    root.children.push_back(above);
    // A window larger than the canvas keeps the cover from counting as one.
    DisplayNode all = root;
    all.children[c.maskBelow ? 2 : 1].clipRect = std::array<double, 4>{-1e5, -1e5, 1e5, 1e5};
    EXPECT_EQ(Draw(root, 16, 16, Quality::High, 0xFFFFFFFFu).pixels,
              Draw(all, 16, 16, Quality::High, 0xFFFFFFFFu).pixels)
        << c.name;
  }
}

// Pictures and gradients, drawn again and again by a renderer that keeps
// them sampled, draw what a new renderer draws: unchanged, moved,
// recoloured, at low quality, and one box of a partial redraw at a time.
TEST_F(RendererTest, KeptSampledPaintsDrawWhatANewRendererDraws) {
  constexpr int kSide = 48;
  std::vector<uint8_t> argb;  // translucent at the top left, opaque elsewhere
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const uint8_t a = x + y < 20 ? 128 : 255;
      argb.insert(argb.end(), {a, uint8_t(x * 5 * a / 255), uint8_t(y * 5 * a / 255),
                               uint8_t((x ^ y) * 4 * a / 255)});
    }
  }
  BitmapDefinition bitmap;
  bitmap.id = 7;
  bitmap.kind = BitmapKind::Lossless2;
  bitmap.losslessFormat = 5;
  bitmap.width = bitmap.height = kSide;
  uLongf size = compressBound(static_cast<uLong>(argb.size()));
  bitmap.zlibData.resize(size);
  ASSERT_EQ(compress(bitmap.zlibData.data(), &size, argb.data(), uLong(argb.size())), Z_OK);
  bitmap.zlibData.resize(size);
  Add(bitmap);
  // The same picture as a smoothed, clipped fill of a smaller shape.
  Shape clipped;
  FillStyle fill;
  fill.type = FillType::ClippedBitmap;
  fill.bitmapId = 7;
  clipped.fillStyles = {fill};
  AddRect(clipped.records, 100, 60, 900, 860, 1);
  Add(ShapeDef(8, std::move(clipped)));

  // A focal radial gradient that repeats, in a sheared square.
  Shape shaded;
  FillStyle radial;
  radial.type = FillType::FocalRadialGradient;
  radial.gradient.matrix = {0.04, 0.01, -0.02, 0.03, 600, 500};
  radial.gradient.spread = SpreadMode::Repeat;
  radial.gradient.focalPoint = 0.4f;
  radial.gradient.records = {
      {0, {255, 0, 0, 255}}, {128, {0, 0, 255, 160}}, {255, {0, 255, 0, 255}}};
  shaded.fillStyles = {radial};
  AddRect(shaded.records, 0, 0, 1400, 1200, 1);
  Add(ShapeDef(9, std::move(shaded)));

  DisplayNode picture = Node(Kind::Bitmap, 7, 1);
  picture.matrix = {1.3, 0.5, -0.5, 1.3, 40 * 20, -10 * 20};
  DisplayNode filled = Node(Kind::Shape, 8, 2);
  filled.matrix = {0.9, -0.4, 0.4, 0.9, 10 * 20 + 7, 60 * 20 + 3};
  DisplayNode gradient = Node(Kind::Shape, 9, 3);
  gradient.matrix = {1, 0, 0.3, 1, 20 * 20 + 11, 5 * 20};
  const auto frame = [&](const std::function<void(DisplayNode&, DisplayNode&)>& change) {
    DisplayNode root = Stage();
    root.children = {picture, filled, gradient};
    change(root.children[0], root.children[1]);
    return root;
  };
  const auto same = [](DisplayNode&, DisplayNode&) {};
  const auto moved = [](DisplayNode& p, DisplayNode& f) {
    p.matrix.tx += 20;
    f.matrix.ty -= 40;
  };
  const auto recoloured = [&](DisplayNode& p, DisplayNode& f) {
    moved(p, f);
    p.colorTransform.gMult = 80;
    f.colorTransform.aMult = 128;
  };
  struct Step {
    const char* name;
    std::function<void(DisplayNode&, DisplayNode&)> change;
    Quality quality = Quality::High;
    int x = 0, y = 0, w = 0, h = 0;  // w 0: the whole picture
  };
  const Step steps[] = {
      {"first", same},
      {"second, kept", same},
      {"third, from what was kept", same},
      {"moved", moved},
      {"moved, kept", moved},
      {"moved, a box", moved, Quality::High, 30, 20, 50, 40},
      {"another box", moved, Quality::High, 5, 70, 90, 25},
      {"recoloured", recoloured},
      {"recoloured, kept", recoloured},
      {"low quality", recoloured, Quality::Low},
      {"low quality, kept", recoloured, Quality::Low},
      {"back", same},
  };
  constexpr int kWidth = 120, kHeight = 100;
  Renderer kept(movie, decoder);
  for (const Step& step : steps) {
    const DisplayNode root = frame(step.change);
    const int w = step.w ? step.w : kWidth, h = step.w ? step.h : kHeight;
    const auto draw = [&](Renderer& renderer) {
      DisplayNode shifted = root;
      shifted.matrix.tx -= step.x;
      shifted.matrix.ty -= step.y;
      OwnedCanvas canvas(w, h, 0xFF204060u);
      renderer.Render(shifted, canvas.canvas, step.quality,
                      {step.x, step.y, step.w ? kWidth : 0, kHeight});
      return canvas.pixels;
    };
    Renderer fresh(movie, decoder);
    EXPECT_EQ(draw(kept), draw(fresh)) << step.name;
  }
}

}  // namespace
}  // namespace orrivel::swf
