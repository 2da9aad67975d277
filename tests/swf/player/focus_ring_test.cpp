#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../corpus/corpus_scoring.h"
#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint16_t kLook = 20, kButton = 40;
constexpr int kTab = 9;

// A button over stage pixels 100..200, placed with the given scale.
Movie ScaledButton(double scale) {
  Movie m = BaseMovie();
  m.characters.emplace(kLook, RectShape(kLook, 100, 100, 200, 200));
  ButtonDefinition b;
  b.id = kButton;
  b.version = 2;
  ButtonRecord r;
  r.characterId = kLook;
  r.depth = 1;
  r.stateUp = r.stateOver = r.stateDown = r.stateHitTest = true;
  b.records = {r};
  m.characters.emplace(kButton, b);
  PlaceObject p = Place(1, kButton);
  p.matrix = Matrix{scale, 0, 0, scale, 0, 0};
  m.timeline = MakeTimeline({MakeFrame({p})});
  return m;
}

struct RingCase {
  std::string name;
  double scale;
  bool ring;  // the band shows at the button's left edge
};

void PrintTo(const RingCase& c, std::ostream* os) { *os << c.name; }

class FocusRingTest : public ::testing::TestWithParam<RingCase> {};

// Tab focuses the button; the band is drawn inside its box, and boxes no
// screen holds (a huge or a flattened clip) draw nothing and break nothing.
TEST_P(FocusRingTest, TabShowsBandInsideTheBox) {
  const RingCase& c = GetParam();
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(ScaledButton(c.scale))));
  player.KeyDown(kTab, 0);
  std::vector<uint32_t> pixels(550 * 400);
  raster::Canvas canvas{pixels.data(), 550, 400, 550};
  player.Render(canvas);
  const tools::RgbaImage image = tools::FromCanvas(canvas);
  const std::size_t at = (150 * 550 + 101) * 4;  // one pixel in from the left edge
  const bool yellow = image.rgba[at] == 255 && image.rgba[at + 1] == 255 && image.rgba[at + 2] == 0;
  EXPECT_EQ(yellow, c.ring);
  // The pointer moving takes the band away.
  player.MouseMove(10, 10);
  player.Render(canvas);
  const tools::RgbaImage after = tools::FromCanvas(canvas);
  EXPECT_FALSE(after.rgba[at] == 255 && after.rgba[at + 1] == 255 && after.rgba[at + 2] == 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, FocusRingTest,
                         ::testing::Values(RingCase{"Plain", 1, true},
                                           RingCase{"Flattened", 0, false},
                                           RingCase{"Huge", 1e9, false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace orrivel::swf
