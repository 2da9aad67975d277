#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

// new flash.display.BitmapData(4, 4, true, 0): a clear 4 x 4 bitmap.
Bytes NewBitmap() {
  return Cat({Reversed({PushInt(4), PushInt(4), PushBool(true), PushInt(0)}),
              GetVar("flash"),
              PushString("display"),
              {0x4E},
              PushString("BitmapData"),
              {0x53}});
}

Bytes Rect(int x, int y, int w, int h) {
  return Cat({PushString("x"),
              PushInt(x),
              PushString("y"),
              PushInt(y),
              PushString("width"),
              PushInt(w),
              PushString("height"),
              PushInt(h),
              PushInt(4),
              {0x43}});
}

Bytes OnBitmap(const std::string& method, std::initializer_list<Bytes> args) {
  return Cat({CallMethod(GetVar("b"), method, args), {0x17}});
}

// A bitmap attached to the root shows its pixels one per stage pixel, and
// what scripts draw into it later shows on the next frame; disposed, it
// shows nothing.
TEST(BitmapDataTest, AttachedBitmapShowsWhatScriptsDraw) {
  Movie m = BaseMovie();
  const int32_t red = static_cast<int32_t>(0xFFFF0000u), blue = static_cast<int32_t>(0xFF0000FFu);
  m.timeline = MakeTimeline({
      MakeFrame({Act({SetVar("b", NewBitmap()), CallRoot("attachBitmap", {GetVar("b"), PushInt(1)}),
                      OnBitmap("fillRect", {Rect(0, 0, 2, 2), PushInt(red)})})}),
      MakeFrame({Act({OnBitmap("setPixel32", {PushInt(3), PushInt(3), PushInt(blue)})})}),
      MakeFrame({Act({OnBitmap("dispose", {}), kStop})}),
  });
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
  std::vector<uint32_t> pixels(550 * 400);
  raster::Canvas canvas{pixels.data(), 550, 400, 550};
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * 550 + x]; };
  struct Step {
    const char* name;
    bool filled, dot;
  } steps[] = {{"filled", true, false}, {"pixel set", true, true}, {"disposed", false, false}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(steps[i].name);
    if (i > 0) player.Advance(1.0 / 24);
    player.Render(canvas);
    const uint32_t background = at(300, 300);
    EXPECT_EQ(at(0, 0), steps[i].filled ? 0xFFFF0000u : background);
    EXPECT_EQ(at(1, 1), steps[i].filled ? 0xFFFF0000u : background);
    EXPECT_EQ(at(2, 2), background);
    EXPECT_EQ(at(3, 3), steps[i].dot ? 0xFF0000FFu : background);
  }
}

}  // namespace
}  // namespace orrivel::swf
