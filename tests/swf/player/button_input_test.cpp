#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "../../../tools/png_io.h"
#include "movie_builder.h"
#include "swf/player/hit_test.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint16_t kUp = 21, kOver = 22, kDown = 23, kHit = 24, kFarHit = 25, kMarker = 26,
                   kMask = 27;
constexpr uint16_t kSprite = 30, kButton = 40;
constexpr uint16_t kRelease = 0x0008;
constexpr uint16_t KeyCondition(uint16_t code) { return static_cast<uint16_t>(code << 9); }

enum class Layout { Plain, FarHitArea, InSprite, Appearing, Masked };

// A record at depth 1 shown in the states named by "u", "o", "d", "h".
ButtonRecord Record(uint16_t character, std::string_view states) {
  ButtonRecord r;
  r.characterId = character;
  r.depth = 1;
  r.stateUp = states.find('u') != states.npos;
  r.stateOver = states.find('o') != states.npos;
  r.stateDown = states.find('d') != states.npos;
  r.stateHitTest = states.find('h') != states.npos;
  return r;
}

// One look per state, all over stage pixels 100..200; a release runs
// gotoAndPlay(3) and the key 'a' gotoAndStop(2) on the timeline holding the
// button. The main timeline stops on frame 1 and drops the button on frame 3.
Movie ButtonMovie(Layout layout) {
  Movie m = BaseMovie();
  for (uint16_t id : {kUp, kOver, kDown, kHit})
    m.characters.emplace(id, RectShape(id, 100, 100, 200, 200));
  m.characters.emplace(kFarHit, RectShape(kFarHit, 300, 300, 400, 400));
  m.characters.emplace(kMarker, RectShape(kMarker, 0, 0, 10, 10));
  ButtonDefinition b;
  b.id = kButton;
  b.version = 2;
  b.records = {Record(kUp, "u"), Record(kOver, "o"), Record(kDown, "d"),
               Record(layout == Layout::FarHitArea ? kFarHit : kHit, "h")};
  b.actions = {{kRelease, Cat({PushInt(3), GotoFrame2(true), kEnd})},
               {KeyCondition('a'), Cat({GotoFrame(1), kEnd})}};
  m.characters.emplace(kButton, b);

  if (layout == Layout::InSprite) {
    // The button 200 px right inside a sprite at half size, 50 px right:
    // its hit area lands on stage pixels 200..250 x 50..100.
    PlaceObject inner = Place(1, kButton, 200 * 20);
    AddSprite(m, kSprite, {MakeFrame({inner, Act({kStop})}), MakeFrame({Place(2, kMarker)})});
    PlaceObject outer = Place(1, kSprite);
    outer.matrix = Matrix{0.5, 0, 0, 0.5, 50 * 20, 0};
    m.timeline = MakeTimeline({MakeFrame({outer})});
  } else if (layout == Layout::Masked) {
    // A mask over the button's top-left quarter only.
    m.characters.emplace(kMask, RectShape(kMask, 100, 100, 150, 150));
    PlaceObject mask = Place(1, kMask);
    mask.clipDepth = 2;
    m.timeline = MakeTimeline({MakeFrame({mask, Place(2, kButton)})});
  } else if (layout == Layout::Appearing) {
    m.timeline = MakeTimeline({MakeFrame({}), MakeFrame({Place(1, kButton), Act({kStop})})});
  } else {
    m.timeline = MakeTimeline(
        {MakeFrame({Place(1, kButton), Act({kStop})}), MakeFrame({}), MakeFrame({Remove(1)})});
  }
  return m;
}

// Characters of the drawn shapes, in drawing order.
void Leaves(const DisplayNode& node, std::string& out) {
  for (const DisplayNode& child : node.children) {
    if (child.kind == DisplayNode::Kind::Group) {
      Leaves(child, out);
      continue;
    }
    if (!out.empty()) out += ' ';
    out += std::to_string(child.characterId);
  }
}

enum class Ev { Move, Down, Up, Leave, Key, Frame };

struct Step {
  Ev ev;
  double x, y;  // Move: the pointer's pixel; Key: x is the code
  bool changed;
  std::string looks;
  int frame;
  bool hand;
};

struct InputCase {
  const char* name;
  Layout layout;
  int viewWidth;  // 0: no Render, the stage size holds
  std::vector<Step> steps;
};

void PrintTo(const InputCase& c, std::ostream* os) { *os << c.name; }

class ButtonInputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(ButtonInputTest, Sequence) {
  const InputCase& c = GetParam();
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(ButtonMovie(c.layout))));
  if (c.viewWidth > 0) {
    const int h = c.viewWidth * 400 / 550;
    std::vector<uint32_t> pixels(static_cast<size_t>(c.viewWidth) * h);
    raster::Canvas canvas{pixels.data(), c.viewWidth, h, c.viewWidth};
    player.Render(canvas);
  }
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    bool changed = false;
    switch (s.ev) {
      case Ev::Move: changed = player.MouseMove(s.x, s.y); break;
      case Ev::Down: changed = player.MouseDown(); break;
      case Ev::Up: changed = player.MouseUp(); break;
      case Ev::Leave: changed = player.MouseLeave(); break;
      case Ev::Key: changed = player.KeyPress(static_cast<uint16_t>(s.x)); break;
      case Ev::Frame: changed = player.Advance(player.SecondsPerFrame()); break;
    }
    std::string looks;
    Leaves(player.BuildDisplayTree(550, 400), looks);
    EXPECT_EQ(changed, s.changed);
    EXPECT_EQ(looks, s.looks);
    EXPECT_EQ(player.FrameNum(), s.frame);
    EXPECT_EQ(player.WantsHandCursor(), s.hand);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonInputTest,
    ::testing::Values(
        InputCase{"ClickRunsReleaseOnTheMainTimeline", Layout::Plain, 0,
                  {{Ev::Move, 50, 50, false, "21", 0, false},
                   {Ev::Move, 150, 150, true, "22", 0, true},
                   {Ev::Move, 160, 150, false, "22", 0, true},
                   {Ev::Down, 0, 0, true, "23", 0, true},
                   // gotoAndPlay(3): frame 3 drops the button.
                   {Ev::Up, 0, 0, true, "", 2, false},
                   // Looping back places it again under the still pointer.
                   {Ev::Frame, 0, 0, true, "22", 0, true}}},
        InputCase{"ReleaseOutsideRunsNothing", Layout::Plain, 0,
                  {{Ev::Move, 150, 150, true, "22", 0, true},
                   {Ev::Down, 0, 0, true, "23", 0, true},
                   {Ev::Move, 50, 50, true, "22", 0, false},
                   {Ev::Move, 150, 150, true, "23", 0, true},
                   {Ev::Move, 250, 50, true, "22", 0, false},
                   {Ev::Up, 0, 0, true, "21", 0, false},
                   {Ev::Move, 199, 199, true, "22", 0, true},
                   {Ev::Leave, 0, 0, true, "21", 0, false},
                   // Keys need no pointer.
                   {Ev::Key, 'a', 0, true, "21", 1, false}}},
        InputCase{"HitAreaIsTheHitStateNotTheLooks", Layout::FarHitArea, 0,
                  {{Ev::Move, 150, 150, false, "21", 0, false},
                   {Ev::Move, 350, 350, true, "22", 0, true},
                   {Ev::Down, 0, 0, true, "23", 0, true},
                   {Ev::Up, 0, 0, true, "", 2, false}}},
        InputCase{"NestedButtonActsOnItsSprite", Layout::InSprite, 0,
                  {{Ev::Move, 150, 150, false, "21", 0, false},
                   {Ev::Move, 225, 75, true, "22", 0, true},
                   {Ev::Down, 0, 0, true, "23", 0, true},
                   {Ev::Up, 0, 0, true, "22 26", 0, true}}},
        InputCase{"KeyMovesTheButtonsTimeline", Layout::InSprite, 0,
                  {{Ev::Key, 'b', 0, false, "21", 0, false},
                   {Ev::Key, 0, 0, false, "21", 0, false},
                   {Ev::Key, 'a' + 512, 0, false, "21", 0, false},
                   {Ev::Key, 'a', 0, true, "21 26", 0, false}}},
        InputCase{"PointerFollowsTheShowAllFit", Layout::Plain, 275,
                  {{Ev::Move, 75, 75, true, "22", 0, true},
                   {Ev::Move, 40, 40, true, "21", 0, false}}},
        InputCase{"MaskedOutPartsDoNotReact", Layout::Masked, 0,
                  {{Ev::Move, 175, 175, false, "27 21", 0, false},
                   {Ev::Move, 125, 125, true, "27 22", 0, true}}},
        InputCase{"ButtonAppearingUnderThePointer", Layout::Appearing, 0,
                  {{Ev::Move, 150, 150, false, "", 0, false},
                   {Ev::Frame, 0, 0, true, "22", 1, true},
                   {Ev::Down, 0, 0, true, "23", 1, true}}}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.name; });

// A button movie with Flash Player's own pictures of its up, over, down and
// released looks, taken after a frame following each input event.
TEST(ButtonInputTest, MatchesFlashPlayerPictures) {
  const std::filesystem::path dir =
      std::filesystem::path(ORRIVEL_CORPUS_DIR) / "ruffle/from_shumway/button3";
  if (!std::filesystem::exists(dir / "test.swf")) GTEST_SKIP() << "no corpus at " << dir;
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadFile((dir / "test.swf").string())) << player.LastError();
  player.SetQuality(Quality::Low);
  std::vector<uint32_t> pixels(550 * 400);
  raster::Canvas canvas{pixels.data(), 550, 400, 550};
  player.Render(canvas);
  const std::vector<std::function<void()>> events = {
      [] {}, [&] { player.MouseMove(250, 200); }, [&] { player.MouseDown(); },
      [&] { player.MouseUp(); }};
  for (size_t i = 0; i < events.size(); ++i) {
    events[i]();
    player.StepFrame();
    player.Render(canvas);
    tools::RgbaImage ref;
    std::string error;
    const auto name = "output." + std::to_string(i + 1) + ".expected.png";
    ASSERT_TRUE(tools::ReadPng((dir / name).string(), ref, error)) << error;
    ASSERT_EQ(ref.rgba.size(), pixels.size() * 4);
    int outliers = 0;  // channel values that differ, the test's own measure
    for (size_t p = 0; p < pixels.size(); ++p) {
      for (int ch = 0; ch < 3; ++ch) {
        outliers += ((pixels[p] >> (16 - 8 * ch)) & 0xFF) != ref.rgba[p * 4 + ch];
      }
    }
    EXPECT_LE(outliers, 3500) << name;
  }
}

TEST(ButtonInputTest, NothingLoadedOrNonsenseInputDoesNothing) {
  NativeImageDecoder decoder;
  Player player(decoder);
  EXPECT_FALSE(player.MouseMove(150, 150));
  EXPECT_FALSE(player.MouseDown());
  EXPECT_FALSE(player.MouseUp());
  EXPECT_FALSE(player.KeyPress('a'));
  EXPECT_FALSE(player.WantsHandCursor());
  ASSERT_TRUE(player.LoadParsed(std::make_unique<Movie>(ButtonMovie(Layout::Plain))));
  EXPECT_FALSE(player.MouseMove(NAN, 150));
  EXPECT_FALSE(player.MouseMove(1e300, -1e300));
  EXPECT_FALSE(player.MouseUp());  // a release without a press
}

// Hit tests follow the renderer's geometry: the fill rule, strokes, and boxes.
TEST(HitTesterTest, ShapesTextAndBitmaps) {
  Movie m = BaseMovie();
  // Two nested squares drawn the same way round: a hole under even-odd only.
  ShapeDefinition ring = RectShape(50, 0, 0, 100, 100);
  const ShapeDefinition inner = RectShape(0, 25, 25, 75, 75);
  ring.shape.records.insert(ring.shape.records.end(), inner.shape.records.begin(),
                            inner.shape.records.end());
  m.characters.emplace(50, ring);
  ring.id = 51;
  ring.usesFillWindingRule = true;
  m.characters.emplace(51, ring);
  // A 10 px wide line from (0, 0) to (100, 0), no fill.
  ShapeDefinition line;
  line.id = 52;
  line.bounds = Rect{0, 2000, 0, 0};
  LineStyle thick;
  thick.width = 200;
  line.shape.lineStyles.push_back(thick);
  StyleChangeRecord start;
  start.moveTo = std::make_pair(0, 0);
  start.lineStyle = 1;
  line.shape.records = {start, StraightEdgeRecord{2000, 0}};
  m.characters.emplace(52, line);
  EditTextDefinition field;
  field.id = 53;
  field.bounds = Rect{0, 2000, 0, 400};
  m.characters.emplace(53, field);
  BitmapDefinition bitmap;
  bitmap.id = 54;
  bitmap.kind = BitmapKind::Lossless2;
  bitmap.width = bitmap.height = 10;
  m.characters.emplace(54, bitmap);

  struct Probe {
    uint16_t character;
    double x, y;
    bool hit;
  };
  const Probe probes[] = {
      {50, 10, 10, true}, {50, 50, 50, false}, {50, 150, 50, false},
      {51, 50, 50, true}, {52, 50, 3, true},   {52, 50, -4, true},
      {52, 50, 20, false}, {53, 90, 15, true}, {53, 90, 25, false},
      {54, 9, 9, true},   {54, 11, 5, false},
  };
  NativeImageDecoder decoder;
  HitTester tester(m, decoder);
  const Matrix toPixels{0.05, 0, 0, 0.05, 0, 0};
  for (const Probe& p : probes) {
    ButtonDefinition b;
    b.records = {Record(p.character, "h")};
    tester.Begin(p.x, p.y);
    EXPECT_EQ(tester.InButtonArea(b, toPixels), p.hit)
        << p.character << " at " << p.x << "," << p.y;
  }
}

}  // namespace
}  // namespace orrivel::swf
