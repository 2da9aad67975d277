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

// A 100 x 100 pixel box matrix.
Bytes BoxMatrix() {
  return Cat({PushString("matrixType"),
              PushString("box"),
              PushString("x"),
              PushInt(0),
              PushString("y"),
              PushInt(0),
              PushString("w"),
              PushInt(100),
              PushString("h"),
              PushInt(100),
              PushString("r"),
              PushInt(0),
              PushInt(6),
              {0x43}});
}

struct FillCase {
  const char* name;
  int version;
  Bytes color, alpha, matrix;
  enum { kRed, kBlack, kNothing } want;
};

// beginGradientFill with two equal stops over the square 0..100; the
// stage pixel in its middle.
TEST(GradientFillTest, ArgumentsConvertByVersion) {
  const FillCase cases[] = {
      {"number colour", 7, PushInt(0xFF0000), PushInt(100), BoxMatrix(), FillCase::kRed},
      {"string colour before 8 is black", 7, PushString("0xFF0000"), PushInt(100), BoxMatrix(),
       FillCase::kBlack},
      {"string colour from 8 converts", 8, PushString("0xFF0000"), PushInt(100), BoxMatrix(),
       FillCase::kRed},
      {"undefined alpha before 8 is 0", 7, PushInt(0xFF0000), PushUndefined(), BoxMatrix(),
       FillCase::kNothing},
      {"undefined alpha from 8 is opaque", 8, PushInt(0xFF0000), PushUndefined(), BoxMatrix(),
       FillCase::kRed},
      {"number matrix before 8 makes no fill", 6, PushInt(0xFF0000), PushInt(100), PushInt(5),
       FillCase::kNothing},
      {"undefined matrix before 8 makes no fill", 7, PushInt(0xFF0000), PushInt(100),
       PushUndefined(), FillCase::kNothing},
      {"number matrix from 8 fills", 8, PushInt(0xFF0000), PushInt(100), PushInt(5),
       FillCase::kRed},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(c.version);
    const Bytes colors = Array({c.color, c.color}), alphas = Array({c.alpha, c.alpha});
    const Bytes ratios = Array({PushInt(0), PushInt(255)});
    const DoAction script = Act({
        CallRoot("beginGradientFill", {PushString("linear"), colors, alphas, ratios, c.matrix}),
        CallRoot("moveTo", {PushInt(0), PushInt(0)}),
        CallRoot("lineTo", {PushInt(100), PushInt(0)}),
        CallRoot("lineTo", {PushInt(100), PushInt(100)}),
        CallRoot("lineTo", {PushInt(0), PushInt(100)}),
        CallRoot("lineTo", {PushInt(0), PushInt(0)}),
        CallRoot("endFill", {}),
        kStop,
    });
    m.timeline = MakeTimeline({MakeFrame({script})});
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
    player.Advance(0);
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    const uint32_t inside = pixels[50 * 550 + 50], outside = pixels[300 * 550 + 300];
    switch (c.want) {
      case FillCase::kRed:
        EXPECT_EQ(inside & 0xFFFFFFu, 0xFF0000u);
        break;
      case FillCase::kBlack:
        EXPECT_EQ(inside & 0xFFFFFFu, 0u);
        break;
      case FillCase::kNothing:
        EXPECT_EQ(inside, outside);
        break;
    }
  }
}

// Stops in file order over the box 0..100 (red, green, blue, white): one
// whose ratio goes down steps at its predecessor's; of those raised to the
// last ratio the first fills everything past it, whatever the spread; no
// stops at all fill solid black.
TEST(GradientFillTest, StopsOutOfOrderAndNone) {
  constexpr uint32_t kBlend = 0xFFFFFF;  // blue blending toward white
  const struct {
    const char* name;
    std::vector<int> ratios;
    const char* spread;
    uint32_t at90;  // the pixel at x = 90 (ratio 229)
  } cases[] = {
      {"in order", {0, 100, 200, 255}, "pad", kBlend},
      {"a middle stop goes down: the ramp goes on", {0, 200, 100, 255}, "pad", kBlend},
      {"the last goes down", {0, 100, 200, 150}, "pad", 0xFFFFFF},
      {"the last two go down: the first pads", {0, 200, 100, 150}, "pad", 0x0000FF},
      {"the same with repeat", {0, 200, 100, 150}, "repeat", 0x0000FF},
      {"the same with reflect", {0, 200, 100, 150}, "reflect", 0x0000FF},
      {"no stops", {}, "pad", 0x000000},
  };
  const int32_t colors[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Movie m = BaseMovie();
    Bytes colorItems, alphaItems, ratioItems;
    for (std::size_t i = c.ratios.size(); i-- > 0;) {
      colorItems = Cat({colorItems, PushInt(colors[i])});
      alphaItems = Cat({alphaItems, PushInt(100)});
      ratioItems = Cat({ratioItems, PushInt(c.ratios[i])});
    }
    const Bytes count = PushInt(static_cast<int32_t>(c.ratios.size()));
    const auto array = [&](const Bytes& items) { return Cat({items, count, {0x42}}); };
    const DoAction script = Act({
        CallRoot("beginGradientFill", {PushString("linear"), array(colorItems), array(alphaItems),
                                       array(ratioItems), BoxMatrix(), PushString(c.spread)}),
        CallRoot("moveTo", {PushInt(0), PushInt(0)}),
        CallRoot("lineTo", {PushInt(100), PushInt(0)}),
        CallRoot("lineTo", {PushInt(100), PushInt(100)}),
        CallRoot("lineTo", {PushInt(0), PushInt(100)}),
        CallRoot("lineTo", {PushInt(0), PushInt(0)}),
        CallRoot("endFill", {}),
        kStop,
    });
    m.timeline = MakeTimeline({MakeFrame({script})});
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(m))));
    player.Advance(0);
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    const uint32_t at90 = pixels[50 * 550 + 90] & 0xFFFFFFu;
    if (c.at90 == kBlend) {
      // Blending toward white: blue and red high.
      EXPECT_GT(at90 & 0xFF, 0x80u);
      EXPECT_GT((at90 >> 16) & 0xFF, 0x80u);
    } else {
      EXPECT_EQ(at90, c.at90);
    }
  }
}

}  // namespace
}  // namespace orrivel::swf
