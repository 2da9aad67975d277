// Display rules seen on the stage: objects sharing a depth, mask layers and
// setMask, and hit tests in loaded movies. Movies are built by hand and
// drawn by the player at one pixel per stage pixel.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/hit_test.h"
#include "swf/player/movie_runner.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

ShapeDefinition Colored(uint16_t id, int x0, int y0, int x1, int y1, uint32_t rgb) {
  ShapeDefinition s = RectShape(id, x0, y0, x1, y1);
  s.shape.fillStyles[0].color =
      Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
           static_cast<uint8_t>(rgb), 255};
  return s;
}

// The stage's pixels (RGB) after the first frame.
class Stage {
 public:
  explicit Stage(Movie movie) : player_(decoder_) {
    EXPECT_TRUE(player_.LoadParsed(std::make_unique<Movie>(std::move(movie))));
    player_.Advance(0);
    canvas_ = {pixels_.data(), 550, 400, 550};
    player_.Render(canvas_);
  }
  uint32_t At(int x, int y) const { return pixels_[y * 550 + x] & 0xFFFFFF; }

 private:
  NativeImageDecoder decoder_;
  Player player_;
  std::vector<uint32_t> pixels_ = std::vector<uint32_t>(550 * 400);
  raster::Canvas canvas_;
};

struct Probe {
  int x, y;
  uint32_t rgb;
};

void ExpectPixels(const Stage& stage, const std::vector<Probe>& probes, const char* name) {
  for (const Probe& p : probes) {
    EXPECT_EQ(stage.At(p.x, p.y), p.rgb) << name << " at " << p.x << "," << p.y;
  }
}

// Before SWF 6 the object already at a depth stays over the one placed
// behind it there; later versions ignore the second placement.
TEST(DisplayRulesTest, SharedDepthDrawsTheOldObjectOnTop) {
  const struct {
    int version;
    std::vector<Probe> probes;
  } cases[] = {
      {5, {{25, 25, kRed}, {75, 25, kGreen}}},
      {6, {{25, 25, kRed}, {75, 25, kWhite}}},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(c.version);
    m.characters[1] = Colored(1, 0, 0, 50, 50, kRed);
    m.characters[2] = Colored(2, 0, 0, 100, 50, kGreen);
    m.timeline = MakeTimeline({MakeFrame({Place(1, 1), Place(1, 2)})});
    ExpectPixels(Stage(std::move(m)), c.probes, std::to_string(c.version).c_str());
  }
}

Bytes Member(const Bytes& object, const std::string& name) {
  return Cat({object, PushString(name), {0x4E}});
}
Bytes SetMember(const Bytes& object, const std::string& name, const Bytes& value) {
  return Cat({object, PushString(name), value, {0x4F}});
}
Bytes Call(const Bytes& object, const std::string& method, std::initializer_list<Bytes> args) {
  return Cat({CallMethod(object, method, args), {0x17}});
}
const Bytes kNull = Long(0x96, {2});

// A clip made by script holding a filled square 0..size.
Bytes SquareClip(const std::string& name, int depth, int size, uint32_t rgb) {
  const Bytes clip = GetVar(name);
  return Cat({CallRoot("createEmptyMovieClip", {PushString(name), PushInt(depth)}),
              Call(clip, "beginFill", {PushInt(static_cast<int32_t>(rgb))}),
              Call(clip, "moveTo", {PushInt(0), PushInt(0)}),
              Call(clip, "lineTo", {PushInt(size), PushInt(0)}),
              Call(clip, "lineTo", {PushInt(size), PushInt(size)}),
              Call(clip, "lineTo", {PushInt(0), PushInt(size)}),
              Call(clip, "lineTo", {PushInt(0), PushInt(0)}), Call(clip, "endFill", {})});
}

Bytes Field(const std::string& name, int depth, const Bytes& settings) {
  return Cat({CallRoot("createTextField", {PushString(name), PushInt(depth), PushInt(0), PushInt(0),
                                           PushInt(100), PushInt(100)}),
              settings});
}

PlaceObject ClipLayer(uint16_t depth, uint16_t character, uint16_t clipDepth) {
  PlaceObject p = Place(depth, character);
  p.clipDepth = clipDepth;
  return p;
}

// Mask layers, nested and released, and setMask with text fields on
// either side.
TEST(DisplayRulesTest, Masks) {
  const Bytes field = GetVar("t");
  const Bytes redBox = Cat({SetMember(field, "background", PushBool(true)),
                            SetMember(field, "backgroundColor", PushInt(kRed))});
  const Bytes borrowed =
      SetMember(field, "setMask", Member(Member(GetVar("MovieClip"), "prototype"), "setMask"));
  const struct {
    const char* name;
    std::vector<ControlTag> tags;
    std::vector<Probe> probes;
  } cases[] = {
      {"a mask layer inside another is cut by it past the other's range",
       {ClipLayer(1, 1, 10), ClipLayer(2, 2, 20), Place(15, 3)},
       {{25, 25, kRed}, {75, 25, kWhite}, {25, 75, kWhite}}},
      {"masks side by side do not cut each other",
       {ClipLayer(1, 1, 10), Place(5, 3), ClipLayer(11, 2, 20), Place(15, 4)},
       {{25, 75, kRed}, {75, 25, kGreen}, {75, 75, kWhite}}},
      {"a clip layer released by setMask(null) draws as a plain object",
       {Named(ClipLayer(1, 20, 5), "m"), Place(2, 5), Act({Call(GetVar("m"), "setMask", {kNull})})},
       {{25, 25, kBlue}, {75, 25, kGreen}}},
      {"a clip layer still in force",
       {Named(ClipLayer(1, 20, 5), "m"), Place(2, 5)},
       {{25, 25, kWhite}, {75, 25, kWhite}}},
      {"a text field masked through the borrowed method",
       {Act({Field("t", 5, redBox), SquareClip("m", 6, 50, kBlue), borrowed,
             Call(field, "setMask", {GetVar("m")})})},
       {{25, 25, kRed}, {75, 75, kWhite}}},
      {"a device-font field masks nothing in",
       {Act({SquareClip("c", 1, 100, kBlue),
             Field("t", 2, SetMember(field, "text", PushString("AAAA"))),
             Call(GetVar("c"), "setMask", {field})})},
       {{25, 25, kWhite}, {75, 75, kWhite}}},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.characters[1] = Colored(1, 0, 0, 50, 100, kBlue);  // left half
    m.characters[2] = Colored(2, 0, 0, 100, 50, kBlue);  // top half
    m.characters[3] = Colored(3, 0, 0, 100, 100, kRed);  // the whole square
    m.characters[4] = Colored(4, 0, 0, 100, 100, kGreen);
    m.characters[5] = Colored(5, 50, 0, 100, 100, kGreen);  // right half
    m.characters[6] = Colored(6, 0, 0, 50, 50, kBlue);
    AddSprite(m, 20, {MakeFrame({Place(1, 6)})});
    std::vector<ControlTag> tags = c.tags;
    tags.push_back(Act({kStop}));
    m.timeline = MakeTimeline({MakeFrame(std::move(tags))});
    ExpectPixels(Stage(std::move(m)), c.probes, c.name);
  }
}

// A loaded movie's timelines name its own characters: the same id is
// another shape there.
TEST(DisplayRulesTest, HitTestsUseTheLoadedMoviesCharacters) {
  Movie main = BaseMovie();
  main.characters[1] = RectShape(1, 0, 0, 10, 10);
  Movie loaded = BaseMovie();
  loaded.characters[1] = RectShape(1, 50, 50, 60, 60);
  loaded.timeline = MakeTimeline({MakeFrame({Place(1, 1)})});
  MovieRunner runner(loaded);
  NativeImageDecoder decoder;
  HitTester hits(main, decoder);
  const struct {
    double x, y;  // pixels
    bool hit;
  } cases[] = {{55, 55, true}, {5, 5, false}};
  for (const auto& c : cases) {
    hits.Begin(c.x * 20, c.y * 20);
    EXPECT_EQ(hits.OnTimeline(runner.Root(), Matrix{}), c.hit) << c.x;
    hits.Begin(c.x * 20, c.y * 20);
    EXPECT_EQ(hits.OnObject(runner.Root().List().at(1), Matrix{}, &loaded), c.hit) << c.x;
  }
}

}  // namespace
}  // namespace orrivel::swf
