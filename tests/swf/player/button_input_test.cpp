#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "../corpus/corpus_scoring.h"
#include "movie_builder.h"
#include "swf/player/button_input.h"
#include "swf/player/hit_test.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint16_t kUp = 21, kOver = 22, kDown = 23, kHit = 24, kMarker = 26, kMask = 27;
constexpr uint16_t kSprite = 30, kButton = 40;

enum class Layout { None, Plain, InSprite, Masked };

// A record at depth 1 shown in one state.
ButtonRecord Record(uint16_t character, bool ButtonRecord::*state) {
  ButtonRecord r;
  r.characterId = character;
  r.depth = 1;
  r.*state = true;
  return r;
}

// Every look over stage pixels 100..200, the hit area apart at 300..400. A
// release runs gotoAndPlay(3) and the key 'a' gotoAndStop(2) on the timeline
// holding the button; the main timeline stops on frame 1, drops the button
// on frame 3 and places it again on looping.
Movie ButtonMovie(Layout layout) {
  Movie m = BaseMovie();
  for (uint16_t id : {kUp, kOver, kDown}) {
    m.characters.emplace(id, RectShape(id, 100, 100, 200, 200));
  }
  m.characters.emplace(kHit, RectShape(kHit, 300, 300, 400, 400));
  m.characters.emplace(kMarker, RectShape(kMarker, 0, 0, 10, 10));
  ButtonDefinition b;
  b.id = kButton;
  b.version = 2;
  b.records = {Record(kUp, &ButtonRecord::stateUp), Record(kOver, &ButtonRecord::stateOver),
               Record(kDown, &ButtonRecord::stateDown), Record(kHit, &ButtonRecord::stateHitTest)};
  b.actions = {{button_condition::kOverDownToOverUp, Cat({PushInt(3), GotoFrame2(true), kEnd})},
               {static_cast<uint16_t>('a' << 9), Cat({GotoFrame(1), kEnd})}};
  m.characters.emplace(kButton, b);
  if (layout == Layout::InSprite) {
    // The button 200 px right in a sprite at half size, 50 px right: its hit
    // area lands on stage pixels 300..350 x 150..200.
    AddSprite(
        m, kSprite,
        {MakeFrame({Place(1, kButton, 200 * 20), Act({kStop})}), MakeFrame({Place(2, kMarker)})});
    PlaceObject outer = Place(1, kSprite);
    outer.matrix = Matrix{0.5, 0, 0, 0.5, 50 * 20, 0};
    m.timeline = MakeTimeline({MakeFrame({outer})});
  } else if (layout == Layout::Masked) {
    // A mask over the hit area's top-left quarter only.
    m.characters.emplace(kMask, RectShape(kMask, 300, 300, 350, 350));
    PlaceObject mask = Place(1, kMask);
    mask.clipDepth = 2;
    m.timeline = MakeTimeline({MakeFrame({mask, Place(2, kButton)})});
  } else {
    m.timeline = MakeTimeline(
        {MakeFrame({Place(1, kButton), Act({kStop})}), MakeFrame({}), MakeFrame({Remove(1)})});
  }
  return m;
}

// Characters of the drawn shapes, in drawing order.
std::string Leaves(const DisplayNode& node) {
  std::string out;
  for (const DisplayNode& child : node.children) {
    const std::string leaf =
        child.kind == DisplayNode::Kind::Group ? Leaves(child) : std::to_string(child.characterId);
    if (!leaf.empty()) out += (out.empty() ? "" : " ") + leaf;
  }
  return out;
}

enum class Ev { Move, Down, Up, Leave, Key, Frame };

// An event (Move: x, y the pointer's pixel; Key: x the code) and what follows
// it: the call's answer, the looks drawn, the main frame and the hand cursor.
struct Step {
  Ev ev;
  double x, y;
  bool changed;
  std::string looks;
  int frame;
  bool hand;
};

struct InputCase {
  const char* name;
  Layout layout;
  int viewWidth;  // of the target rendered into, showing all of the stage
  std::vector<Step> steps;
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class ButtonInputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(ButtonInputTest, Sequence) {
  const InputCase& c = GetParam();
  NativeImageDecoder decoder;
  Player player(decoder);
  if (c.layout != Layout::None) {
    ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(ButtonMovie(c.layout))));
  }
  std::vector<uint32_t> pixels(static_cast<size_t>(c.viewWidth) * c.viewWidth);
  raster::Canvas canvas{pixels.data(), c.viewWidth, c.viewWidth * 400 / 550, c.viewWidth};
  player.Render(canvas);
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    bool changed = false;
    switch (s.ev) {
      case Ev::Move:
        changed = player.MouseMove(s.x, s.y);
        break;
      case Ev::Down:
        changed = player.MouseDown();
        break;
      case Ev::Up:
        changed = player.MouseUp();
        break;
      case Ev::Leave:
        changed = player.MouseLeave();
        break;
      case Ev::Key:
        changed = player.KeyPress(static_cast<uint16_t>(s.x));
        break;
      case Ev::Frame:
        changed = player.Advance(player.SecondsPerFrame());
        break;
    }
    EXPECT_EQ(changed, s.changed);
    EXPECT_EQ(Leaves(player.BuildDisplayTree(550, 400)), s.looks);
    EXPECT_EQ(player.FrameNum(), s.frame);
    EXPECT_EQ(player.WantsHandCursor(), s.hand);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonInputTest,
    ::testing::Values(InputCase{"ClickOnTheHitAreaRunsRelease",
                                Layout::Plain,
                                550,
                                {{Ev::Move, 150, 150, false, "21", 0,
                                  false},  // the looks do not react
                                 {Ev::Move, 350, 350, true, "22", 0, true},
                                 {Ev::Down, 0, 0, true, "23", 0, true},
                                 {Ev::Up, 0, 0, true, "", 2, false},
                                 // Placed again under the still pointer, it reacts at once.
                                 {Ev::Frame, 0, 0, true, "22", 0, true},
                                 {Ev::Down, 0, 0, true, "23", 0, true}}},
                      InputCase{"ReleaseOutsideRunsNothing",
                                Layout::Plain,
                                550,
                                {{Ev::Move, 350, 350, true, "22", 0, true},
                                 {Ev::Down, 0, 0, true, "23", 0, true},
                                 {Ev::Move, 50, 50, true, "22", 0, false},
                                 {Ev::Up, 0, 0, true, "21", 0, false},
                                 {Ev::Move, 399, 399, true, "22", 0, true},
                                 {Ev::Leave, 0, 0, true, "21", 0, false},
                                 {Ev::Move, NAN, 350, false, "21", 0, false},
                                 {Ev::Move, 1e300, -1e300, false, "21", 0, false},
                                 {Ev::Up, 0, 0, false, "21", 0, false}}},
                      // The pointer at half size: stage pixels 351,351 then 321,171.
                      InputCase{"NestedButtonActsOnItsSprite",
                                Layout::InSprite,
                                275,
                                {{Ev::Move, 175, 175, false, "21", 0, false},
                                 {Ev::Move, 160, 85, true, "22", 0, true},
                                 {Ev::Down, 0, 0, true, "23", 0, true},
                                 {Ev::Up, 0, 0, true, "22 26", 0, true}}},
                      InputCase{"KeyRunsOnTheButtonsTimeline",
                                Layout::InSprite,
                                550,
                                {{Ev::Key, 'b', 0, false, "21", 0, false},
                                 {Ev::Key, 'a', 0, true, "21 26", 0, false}}},
                      InputCase{"MaskedOutPartsDoNotReact",
                                Layout::Masked,
                                550,
                                {{Ev::Move, 375, 375, false, "27 21", 0, false},
                                 {Ev::Move, 325, 325, true, "27 22", 0, true}}},
                      InputCase{"NothingLoadedDoesNothing",
                                Layout::None,
                                550,
                                {{Ev::Move, 350, 350, false, "", -1, false},
                                 {Ev::Down, 0, 0, false, "", -1, false},
                                 {Ev::Key, 'a', 0, false, "", -1, false}}}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.name; });

// A button movie with Flash Player's own pictures of its up, over, down and
// released looks, taken after a frame following each input event.
TEST(ButtonInputTest, MatchesFlashPlayerPictures) {
  const auto dir = std::filesystem::path(ORRIVEL_CORPUS_DIR) / "ruffle/from_shumway/button3";
  if (!std::filesystem::exists(dir / "test.swf")) GTEST_SKIP() << "no corpus at " << dir;
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadFile((dir / "test.swf").string())) << player.LastError();
  player.SetQuality(Quality::Low);
  std::vector<uint32_t> pixels(550 * 400);
  raster::Canvas canvas{pixels.data(), 550, 400, 550};
  player.Render(canvas);
  for (int i = 0; i < 4; ++i) {  // nothing, over the button, press, release
    if (i == 1) player.MouseMove(250, 200);
    if (i == 2) player.MouseDown();
    if (i == 3) player.MouseUp();
    player.StepFrame();
    player.Render(canvas);
    tools::RgbaImage ref;
    std::string error;
    const auto name = "output." + std::to_string(i + 1) + ".expected.png";
    ASSERT_TRUE(tools::ReadPng((dir / name).string(), ref, error)) << error;
    ASSERT_EQ(ref.rgba.size(), pixels.size() * 4);
    // Channel values that differ at all: the measure the corpus test names.
    EXPECT_LE(CountOutliers(ref, tools::FromCanvas(canvas), 0), 3500) << name;
  }
}

// Hit areas follow the renderer's geometry: the fill rule, strokes, and boxes.
TEST(HitTesterTest, ShapesTextAndBitmaps) {
  Movie m = BaseMovie();
  // Two nested squares drawn the same way round: a hole under even-odd only.
  ShapeDefinition ring = RectShape(50, 0, 0, 100, 100);
  const auto inner = RectShape(0, 25, 25, 75, 75).shape.records;
  ring.shape.records.insert(ring.shape.records.end(), inner.begin(), inner.end());
  m.characters.emplace(50, ring);
  ring.usesFillWindingRule = true;
  m.characters.emplace(51, ring);
  ShapeDefinition line;  // 10 px wide from (0, 0) to (100, 0), no fill
  line.bounds = Rect{0, 2000, 0, 0};
  line.shape.lineStyles.emplace_back().width = 200;
  StyleChangeRecord start;
  start.moveTo = std::make_pair(0, 0);
  start.lineStyle = 1;
  line.shape.records = {start, StraightEdgeRecord{2000, 0}};
  m.characters.emplace(52, line);
  EditTextDefinition field;
  field.bounds = Rect{0, 2000, 0, 400};
  m.characters.emplace(53, field);
  BitmapDefinition bitmap;
  bitmap.id = 54;
  bitmap.kind = BitmapKind::Lossless2;
  bitmap.width = bitmap.height = 10;
  m.characters.emplace(54, bitmap);
  const struct {
    uint16_t character;
    double x, y;
    bool hit;
  } probes[] = {{50, 10, 10, true},  {50, 50, 50, false}, {50, 150, 50, false}, {51, 50, 50, true},
                {52, 50, 3, true},   {52, 50, -4, true},  {52, 50, 20, false},  {53, 90, 15, true},
                {53, 90, 25, false}, {54, 9, 9, true},    {54, 11, 5, false}};
  NativeImageDecoder decoder;
  HitTester tester(m, decoder);
  for (const auto& p : probes) {
    ButtonDefinition b;
    b.records = {Record(p.character, &ButtonRecord::stateHitTest)};
    tester.Begin(p.x, p.y);
    EXPECT_EQ(tester.InButtonArea(b, Matrix{0.05, 0, 0, 0.05, 0, 0}), p.hit)
        << p.character << " at " << p.x << "," << p.y;
  }
}

}  // namespace
}  // namespace orrivel::swf
