#include "swf/avm1/clip_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

// A clip's names for for..in: the named clips inside it first, by depth,
// then its own variables (the root's $version among them); a variable named
// as a child is listed once.
TEST(ClipObjectTest, OwnNamesListChildrenBeforeVariables) {
  const struct {
    const char* name;
    std::vector<const char*> variables;
    std::vector<std::string> keys;
  } cases[] = {
      {"children only", {}, {"low", "high", "$version"}},
      {"a variable", {"v"}, {"low", "high", "$version", "v"}},
      {"a variable named as a child", {"w", "HIGH"}, {"low", "high", "$version", "w"}},
  };
  for (const auto& c : cases) {
    Movie movie = swf::test::BaseMovie();
    movie.header.version = 6;
    swf::test::AddSprite(movie, 20, {swf::test::MakeFrame({})});
    movie.timeline = swf::test::MakeTimeline(
        {swf::test::MakeFrame({swf::test::Named(swf::test::Place(2, 20), "high"),
                               swf::test::Named(swf::test::Place(1, 20), "low")})});
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    ClipObject* root = vm.RootClip();
    for (const char* v : c.variables) root->Define(vm, v, Value::Num(1), 0);
    std::vector<std::string> keys;
    root->OwnKeys(vm, keys);
    EXPECT_EQ(keys, c.keys) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
