#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "../movie_builder.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

// A timeline mask layer used in setMask, as the mask or as the masked clip,
// stops being a mask layer; released with setMask(null) it draws as itself.
TEST(SetMaskTest, TimelineMaskLayersTakingPartBecomePlainObjects) {
  for (const bool layerIsMask : {true, false}) {
    Movie movie = swf::test::BaseMovie();
    swf::test::AddSprite(movie, 20, {swf::test::MakeFrame({})});
    PlaceObject layer = swf::test::Named(swf::test::Place(1, 20), "layer");
    layer.clipDepth = 5;
    movie.timeline = swf::test::MakeTimeline(
        {swf::test::MakeFrame({layer, swf::test::Named(swf::test::Place(2, 20), "other")})});
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    ClipObject* a = vm.ClipFor(runner.Root().ChildByName("layer"));
    ClipObject* b = vm.ClipFor(runner.Root().ChildByName("other"));
    ClipObject* masked = layerIsMask ? b : a;
    ClipObject* mask = layerIsMask ? a : b;
    const Value arg[] = {Value::Obj(mask)};
    ASSERT_TRUE(vm.CallMethod(masked, "setMask", arg));
    const Value none[] = {Value::Null()};
    ASSERT_TRUE(vm.CallMethod(masked, "setMask", none));
    EXPECT_EQ(runner.Root().List().at(1).clipDepth, 0) << layerIsMask;
  }
}

// A movie of the given version with one empty clip named "clip" at depth 1.
Movie OneClipMovie(uint8_t version) {
  Movie movie = swf::test::BaseMovie();
  movie.header.version = version;
  swf::test::AddSprite(movie, 20, {swf::test::MakeFrame({})});
  movie.timeline = swf::test::MakeTimeline(
      {swf::test::MakeFrame({swf::test::Named(swf::test::Place(1, 20), "clip")})});
  return movie;
}

// A script gives a clip an opaque background as an RGB number, reads it
// back as one, and takes it away with null or undefined; before Flash 8
// clips have no such property.
TEST(OpaqueBackgroundTest, ScriptsSetReadAndClearIt) {
  for (const uint8_t version : {uint8_t{7}, uint8_t{8}}) {
    const Movie movie = OneClipMovie(version);
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    ClipObject* clip = vm.ClipFor(runner.Root().ChildByName("clip"));
    const auto& placed = runner.Root().List().at(1);
    EXPECT_EQ(vm.Get(clip, "opaqueBackground").type, Type::Undefined);
    vm.Set(clip, "opaqueBackground", Value::Num(0x7F00FF20));
    if (version < 8) {
      EXPECT_FALSE(placed.opaqueBackground.has_value());
      continue;
    }
    ASSERT_TRUE(placed.opaqueBackground.has_value());
    EXPECT_EQ(*placed.opaqueBackground, (Rgba{0, 0xFF, 0x20, 255}));
    EXPECT_EQ(vm.ToNumber(vm.Get(clip, "opaqueBackground")), 0x00FF20);
    for (const Value none : {Value::Null(), Value{}}) {
      vm.Set(clip, "opaqueBackground", Value::Num(1));
      vm.Set(clip, "opaqueBackground", none);
      EXPECT_FALSE(placed.opaqueBackground.has_value());
    }
  }
}

// A scroll window given as any object with x, y, width and height reads
// back as a new Rectangle, shows its top left at the clip's origin and cuts
// the rest; anything but an object takes it away.
TEST(ScrollRectTest, ScriptsSetReadAndClearTheWindow) {
  const Movie movie = OneClipMovie(8);
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  ClipObject* clip = vm.ClipFor(runner.Root().ChildByName("clip"));
  const auto& placed = runner.Root().List().at(1);
  Object* window = vm.NewObject();
  vm.Set(window, "x", Value::Num(10));
  vm.Set(window, "y", Value::Str("20"));
  vm.Set(window, "width", Value::Num(30));
  vm.Set(window, "height", Value::Num(NAN));
  vm.Set(clip, "scrollRect", Value::Obj(window));
  ASSERT_TRUE(placed.scrollRect.has_value());
  EXPECT_EQ(*placed.scrollRect, (std::array<double, 4>{10, 20, 30, 0}));
  const Value back = vm.Get(clip, "scrollRect");
  ASSERT_TRUE(back.IsObject());
  EXPECT_NE(back.object, window);
  EXPECT_EQ(vm.ToString(back), "(x=10, y=20, w=30, h=0)");
  const DisplayNode tree = runner.BuildTree(Matrix{});
  ASSERT_EQ(tree.children.size(), 1u);
  EXPECT_EQ(tree.children[0].matrix.tx, -200);
  EXPECT_EQ(tree.children[0].clipRect, (std::array<double, 4>{200, 400, 800, 400}));
  for (const Value none : {Value::Null(), Value{}, Value::Num(5)}) {
    vm.Set(clip, "scrollRect", Value::Obj(window));
    vm.Set(clip, "scrollRect", none);
    EXPECT_FALSE(placed.scrollRect.has_value());
    EXPECT_EQ(vm.Get(clip, "scrollRect").type, Type::Undefined);
  }
}

// hitTest(x, y) takes the point in the space of the clip's level, so a
// script that moves the root moves the point with it, and the point lands on
// whole stage twips; with the shape flag a clip masked by setMask is hit
// only where its mask covers too.
TEST(HitTestTest, PointsInTheLevelsSpaceAndThroughMasks) {
  Movie movie = swf::test::BaseMovie();
  movie.header.version = 7;
  movie.characters.emplace(30, swf::test::RectShape(30, 20, 20, 60, 60));
  movie.characters.emplace(31, swf::test::RectShape(31, 40, 0, 80, 80));
  swf::test::AddSprite(movie, 20, {swf::test::MakeFrame({swf::test::Place(1, 30)})});
  swf::test::AddSprite(movie, 21, {swf::test::MakeFrame({swf::test::Place(1, 31)})});
  movie.timeline = swf::test::MakeTimeline(
      {swf::test::MakeFrame({swf::test::Named(swf::test::Place(1, 20), "a"),
                             swf::test::Named(swf::test::Place(2, 21), "m")})});
  const struct {
    const char* name;
    double rootX;
    double rootXScale;
    bool masked;
    double x;
    bool shape;
    bool hit;
  } cases[] = {
      {"inside", 0, 100, false, 25, true, true},
      {"outside", 0, 100, false, 65, true, false},
      {"moved root, point inside the root's space", 30, 100, false, 25, true, true},
      {"moved root, point inside on the stage only", 30, 100, false, 85, false, false},
      {"shrunk root, point a fraction of a twip past the box", 0, 0.5, false, 61, false, true},
      {"shrunk root, point a whole twip past the box", 0, 0.5, false, 70, false, false},
      {"masked, outside the mask", 0, 100, true, 25, true, false},
      {"masked, inside the mask", 0, 100, true, 50, true, true},
      {"masked, the box ignores the mask", 0, 100, true, 25, false, true},
  };
  for (const auto& c : cases) {
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    ClipObject* a = vm.ClipFor(runner.Root().ChildByName("a"));
    ClipObject* m = vm.ClipFor(runner.Root().ChildByName("m"));
    ClipObject* root = vm.ClipFor(runner.Root().shared_from_this());
    vm.Set(root, "_x", Value::Num(c.rootX));
    vm.Set(root, "_xscale", Value::Num(c.rootXScale));
    if (c.masked) {
      const Value mask[] = {Value::Obj(m)};
      vm.CallMethod(a, "setMask", mask);
    }
    const Value args[] = {Value::Num(c.x), Value::Num(25), Value::Bool(c.shape)};
    Value r;
    ASSERT_TRUE(vm.CallMethod(a, "hitTest", args, &r)) << c.name;
    EXPECT_EQ(r.type == Type::Boolean && r.boolean, c.hit) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
