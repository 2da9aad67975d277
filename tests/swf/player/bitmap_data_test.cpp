#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
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

// A bitmap a clip shows, attached or as a drawing's fill, stays when the
// script lets go of it and its object is collected.
TEST(BitmapDataTest, ShownBitmapsOutliveTheirScriptObjects) {
  const int32_t red = static_cast<int32_t>(0xFFFF0000u);
  const Bytes attach = CallRoot("attachBitmap", {GetVar("b"), PushInt(1)});
  const Bytes fill =
      Cat({CallRoot("beginBitmapFill", {GetVar("b")}), CallRoot("lineTo", {PushInt(4), PushInt(0)}),
           CallRoot("lineTo", {PushInt(4), PushInt(4)}),
           CallRoot("lineTo", {PushInt(0), PushInt(4)}), CallRoot("endFill", {})});
  for (const auto& [name, show] : {std::pair{"attached", attach}, std::pair{"fill", fill}}) {
    Movie m = BaseMovie();
    std::vector<Frame> frames = {MakeFrame(
        {Act({SetVar("b", NewBitmap()), OnBitmap("fillRect", {Rect(0, 0, 4, 4), PushInt(red)}),
              show, SetVar("b", PushUndefined())})})};
    for (int i = 0; i < 40; ++i) frames.push_back(MakeFrame({}));
    frames.push_back(MakeFrame({Act({kStop})}));
    m.timeline = MakeTimeline(std::move(frames));
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
    for (int i = 0; i < 41; ++i) player.Advance(1.0 / 24);
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    EXPECT_EQ(pixels[2 * 550 + 2], 0xFFFF0000u) << name;
  }
}

Bytes Member(const Bytes& object, const std::string& name) {
  return Cat({object, PushString(name), {0x4E}});
}
Bytes Call(const std::string& object, const std::string& method,
           std::initializer_list<Bytes> args) {
  return Cat({CallMethod(GetVar(object), method, args), {0x17}});
}
// new flash.<package>.<cls>(args...)
Bytes New(const std::string& package, const std::string& cls, std::initializer_list<Bytes> args) {
  return Cat({Reversed(args), Member(GetVar("flash"), package), PushString(cls), {0x53}});
}
Bytes Bitmap(int w, int h, bool alpha, uint32_t argb) {
  return New("display", "BitmapData",
             {PushInt(w), PushInt(h), PushBool(alpha), PushInt(static_cast<int32_t>(argb))});
}
Bytes GeomRect(int x, int y, int w, int h) {
  return New("geom", "Rectangle", {PushInt(x), PushInt(y), PushInt(w), PushInt(h)});
}
Bytes Point(int x, int y) { return New("geom", "Point", {PushInt(x), PushInt(y)}); }
Bytes Color(uint32_t argb) { return PushInt(static_cast<int32_t>(argb)); }

// A clip at x holding a square 0..size (pixels) filled by `fill` calls.
Bytes ClipAt(const std::string& name, int depth, int x, const Bytes& fill, int size) {
  return Cat({CallRoot("createEmptyMovieClip", {PushString(name), PushInt(depth)}),
              Cat({GetVar(name), PushString("_x"), PushInt(x), {0x4F}}), fill,
              Call(name, "moveTo", {PushInt(0), PushInt(0)}),
              Call(name, "lineTo", {PushInt(size), PushInt(0)}),
              Call(name, "lineTo", {PushInt(size), PushInt(size)}),
              Call(name, "lineTo", {PushInt(0), PushInt(size)}),
              Call(name, "lineTo", {PushInt(0), PushInt(0)}), Call(name, "endFill", {})});
}

// A zlib stream of one stored block (raw bytes, no compression).
std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out{0x78, 0x01, 0x01};
  const auto n = static_cast<uint16_t>(raw.size());
  for (uint16_t v : {n, static_cast<uint16_t>(~n)}) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  out.insert(out.end(), raw.begin(), raw.end());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  const uint32_t adler = b << 16 | a;
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(adler >> shift));
  return out;
}

const uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

// What scripts draw into a BitmapData reaches the screen: b is a 50 x 50
// opaque red bitmap attached to the root at (0, 0) before each script.
TEST(BitmapDataTest, ScriptsDrawIntoShownBitmaps) {
  const Bytes bitmap = GetVar("b");
  const struct {
    const char* name;
    Bytes script;
    std::vector<std::tuple<int, int, uint32_t>> probes;  // x, y, ARGB; 0: the stage
  } cases[] = {
      {"fillRect and setPixel",
       Cat({Call("b", "fillRect", {GeomRect(0, 0, 10, 10), Color(kGreen)}),
            Call("b", "setPixel", {PushInt(20), PushInt(20), Color(0x0000FF)})}),
       {{5, 5, kGreen}, {20, 20, kBlue}, {30, 30, kRed}, {60, 5, 0}}},
      {"a clone is a copy",
       Cat({SetVar("c", CallMethod(bitmap, "clone", {})),
            Call("c", "fillRect", {GeomRect(0, 0, 10, 10), Color(kGreen)}),
            CallRoot("createEmptyMovieClip", {PushString("h"), PushInt(5)}),
            Cat({GetVar("h"), PushString("_x"), PushInt(100), {0x4F}}),
            Call("h", "attachBitmap", {GetVar("c"), PushInt(1)})}),
       {{5, 5, kRed}, {105, 5, kGreen}, {130, 30, kRed}}},
      {"copyPixels through an alpha bitmap",
       Cat({SetVar("s", Bitmap(50, 50, false, kBlue)), SetVar("a", Bitmap(50, 50, true, 0)),
            Call("a", "fillRect", {GeomRect(0, 0, 25, 50), Color(0xFF000000u)}),
            Call("b", "copyPixels",
                 {GetVar("s"), GeomRect(0, 0, 50, 50), Point(0, 0), GetVar("a"), Point(0, 0),
                  PushBool(false)})}),
       {{10, 25, kBlue}, {40, 25, kRed}}},
      {"copyPixels of a rectangle to a point",
       Cat({SetVar("s", Bitmap(50, 50, false, kBlue)),
            Call("b", "copyPixels", {GetVar("s"), GeomRect(0, 0, 10, 10), Point(30, 30)})}),
       {{35, 35, kBlue}, {25, 25, kRed}, {45, 45, kRed}}},
      {"draw a clip through a matrix",
       Cat({ClipAt("m", 3, 300, Call("m", "beginFill", {Color(0x00FF00)}), 10),
            Call("b", "draw",
                 {GetVar("m"), New("geom", "Matrix",
                                   {PushInt(2), PushInt(0), PushInt(0), PushInt(2), PushInt(20),
                                    PushInt(20)})})}),
       {{30, 30, kGreen}, {5, 5, kRed}, {45, 45, kRed}, {305, 5, kGreen}}},
      {"draw a clip through a colour transform",
       Cat({ClipAt("m", 3, 300, Call("m", "beginFill", {Color(0x00FF00)}), 10),
            Call("b", "draw",
                 {GetVar("m"), New("geom", "Matrix", {}),
                  New("geom", "ColorTransform",
                      {PushInt(0), PushInt(0), PushInt(0), PushInt(1), PushInt(0), PushInt(0),
                       PushInt(255), PushInt(0)})})}),
       {{5, 5, kBlue}, {30, 30, kRed}}},
      {"draw a masked clip: the mask covers the pixels where it covers the stage",
       Cat({ClipAt("m", 3, 300, Call("m", "beginFill", {Color(0x00FF00)}), 40),
            ClipAt("k", 4, 10, Call("k", "beginFill", {Color(0)}), 10),
            Call("m", "setMask", {GetVar("k")}), Call("b", "draw", {GetVar("m")})}),
       {{15, 5, kGreen}, {5, 5, kRed}, {15, 15, kRed}, {30, 30, kRed}}},
      {"draw a bitmap",
       Cat({SetVar("s", Bitmap(10, 10, false, kGreen)),
            Call("b", "draw",
                 {GetVar("s"), New("geom", "Matrix",
                                   {PushInt(1), PushInt(0), PushInt(0), PushInt(1), PushInt(20),
                                    PushInt(0)})})}),
       {{25, 5, kGreen}, {5, 5, kRed}}},
      {"loadBitmap by linkage name",
       Cat({SetVar("l", CallMethod(Member(Member(GetVar("flash"), "display"), "BitmapData"),
                                   "loadBitmap", {PushString("pic")})),
            CallRoot("createEmptyMovieClip", {PushString("h"), PushInt(5)}),
            Cat({GetVar("h"), PushString("_x"), PushInt(100), {0x4F}}),
            Call("h", "attachBitmap", {GetVar("l"), PushInt(1)})}),
       {{100, 0, kGreen}, {101, 1, kGreen}, {102, 2, 0}}},
      {"a bitmap fill shows later changes",
       Cat({ClipAt("f", 3, 200, Call("f", "beginBitmapFill", {GetVar("b")}), 40),
            Call("b", "fillRect", {GeomRect(0, 0, 50, 50), Color(kBlue)})}),
       {{220, 20, kBlue}, {5, 5, kBlue}, {245, 20, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Movie m = BaseMovie();
    // A 2 x 2 green library bitmap exported as "pic".
    BitmapDefinition pic;
    pic.id = 30;
    pic.kind = BitmapKind::Lossless2;
    pic.losslessFormat = 5;
    pic.width = pic.height = 2;
    pic.zlibData = Stored({255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0});
    m.characters.emplace(30, pic);
    m.exports["pic"] = 30;
    m.timeline = MakeTimeline(
        {MakeFrame({Act({SetVar("b", Bitmap(50, 50, false, kRed)),
                         CallRoot("attachBitmap", {GetVar("b"), PushInt(1)}), c.script, kStop})})});
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
    player.Advance(0);
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    const uint32_t stage = pixels[399 * 550 + 549];
    for (const auto& [x, y, argb] : c.probes) {
      EXPECT_EQ(pixels[static_cast<size_t>(y) * 550 + x], argb == 0 ? stage : argb)
          << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
