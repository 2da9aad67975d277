#include "swf/player/script/text_field_object.h"

#include <gtest/gtest.h>

#include "../movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

// createTextField cuts position and size to whole pixels, toward zero.
TEST(TextFieldObjectTest, CreateTextFieldCutsToWholePixels) {
  const struct {
    double x, y, width, height;
    double readX, readY, readWidth, readHeight;
  } cases[] = {
      {10.7, 5.9, 100.5, 20.99, 10, 5, 100, 20},
      {-3.8, 0.2, 0.9, 7, -3, 0, 0, 7},
  };
  for (const auto& c : cases) {
    const Movie movie = swf::test::BaseMovie();
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    TextFieldObject* field =
        CreateTextField(vm, vm.RootClip(), "t", 1, c.x, c.y, c.width, c.height);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_x")), c.readX) << c.x;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_y")), c.readY) << c.y;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_width")), c.readWidth) << c.width;
    EXPECT_EQ(vm.ToNumber(vm.Get(field, "_height")), c.readHeight) << c.height;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
