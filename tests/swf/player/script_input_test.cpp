// The order in which clips hear the pointer and the keys, read off the
// trace lines of small movies.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint16_t kClip = 20, kHolder = 21;

PlaceObject Hearing(uint16_t depth, uint16_t character, const std::string& name) {
  PlaceObject p = Named(Place(depth, character), name);
  p.hasClipActions = true;
  const Bytes trace = Cat({PushString(name), {0x26}});
  p.clipActionRecords = {ClipAction{kClipEventKeyDown | kClipEventMouseDown, 0, Cat({trace, {0}})}};
  return p;
}

// The newest clip hears an event first, whatever its depth or parent.
TEST(ScriptInputTest, NewestClipHearsFirst) {
  const struct {
    const char* name;
    std::vector<Frame> frames;
    std::vector<std::string> traces;
  } cases[] = {
      {"placed one frame after another at falling depths",
       {MakeFrame({Hearing(30, kClip, "a")}), MakeFrame({Hearing(31, kClip, "b")}),
        MakeFrame({Hearing(29, kClip, "c"), Act({kStop})})},
       {"c", "b", "a", "c", "b", "a"}},
      {"a clip inside an older one",
       {MakeFrame({Hearing(1, kClip, "a")}), MakeFrame({Hearing(2, kHolder, "h"), Act({kStop})})},
       {"inner", "h", "a", "inner", "h", "a"}},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.header.version = 6;
    AddSprite(m, kClip, {MakeFrame({})});
    AddSprite(m, kHolder, {MakeFrame({Hearing(1, kClip, "inner")})});
    m.timeline = MakeTimeline(c.frames);
    NativeImageDecoder decoder;
    Player player(decoder);
    std::vector<std::string> lines;
    player.SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
    for (std::size_t i = 1; i < c.frames.size(); ++i) player.StepFrame();
    player.KeyDown(65, 'a');
    player.MouseDown();
    EXPECT_EQ(lines, c.traces) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf
