#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orrivel::swf::avm1
