// End-to-end runs of the movie saver: the built-in movie playing full
// screen, the ways each kind of run ends under real input, a user's movie,
// the fall-back from one that does not load, no temporary copy left, and
// movies driven by their scripts and buttons.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "saver_fixture.h"
#include "swf/format/swf_writer.h"

namespace orrivel::e2e {
namespace {

constexpr char kPlainSettings[] =
    "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\nINTERACTIVE = FALSE\r\n";

// Temporary copies of the built-in movie in the Wine prefix ("~fs*.tmp").
int CountTempCopies() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr) return 0;
  int n = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(std::string(prefix) + "/drive_c/users", ec),
       end;
       it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("~fs", 0) == 0) ++n;
  }
  return n;
}

// Fraction of pixels that differ between two screenshots.
double Changed(const Image& a, const Image& b) {
  if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0;
  size_t n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += !Near(a.pixels[i], b.pixels[i], 8);
  return static_cast<double>(n) / a.pixels.size();
}

// ---- Movies made for these runs: a 400 x 300 px stage at 24 fps ----------

using swf::test::Cat;
using swf::test::SwfWriter;
using swf::test::Tag;
using Bytes = std::vector<uint8_t>;

std::string MovieFile(uint16_t frames, const Bytes& tags) {
  SwfWriter body;
  body.Rect(15, 0, 8000, 0, 6000).U16(24 << 8).U16(frames).Raw(tags);
  const Bytes rest = body.Take();
  SwfWriter w;
  w.Raw({'F', 'W', 'S', 6}).U32(static_cast<uint32_t>(rest.size() + 8)).Raw(rest);
  const Bytes file = w.Take();
  return std::string(file.begin(), file.end());
}

// DefineShape: a w x h px rectangle of one colour, its corner at the origin.
Bytes RectShape(uint16_t id, int w, int h, uint32_t rgb) {
  SwfWriter s;
  s.U16(id).Rect(15, 0, w * 20, 0, h * 20);
  s.U8(1).U8(0).Rgb(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF).U8(0);  // one solid fill
  s.Bits(4, 1).Bits(4, 0);
  s.Bits(6, 0b000011).Bits(5, 2).Bits(2, 0).Bits(2, 0).Bits(1, 1);  // move to 0,0; fill 1
  const int edges[4][2] = {{0, w}, {1, h}, {0, -w}, {1, -h}};       // vertical?, pixels
  for (const auto& e : edges)
    s.Bits(2, 0b11).Bits(4, 14).Bits(1, 0).Bits(1, e[0]).Bits(16, e[1] * 20);
  s.Bits(6, 0);
  return Tag(2, s.Take());
}

// PlaceObject2 of a character at a depth, with an optional instance name.
Bytes Place(uint16_t depth, uint16_t id, const std::string& name = {}) {
  SwfWriter p;
  p.U8(name.empty() ? 0x06 : 0x26).U16(depth).U16(id).Bits(7, 0).Align();  // identity matrix
  if (!name.empty()) p.Str(name);
  return Tag(26, p.Take());
}

// Action bytes as the file holds them.
Bytes Action(uint8_t code, const Bytes& payload = {}) {
  if (code < 0x80) return {code};
  Bytes out{code, static_cast<uint8_t>(payload.size()), static_cast<uint8_t>(payload.size() >> 8)};
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}
Bytes Push(const std::string& s) { return Action(0x96, SwfWriter().U8(0).Str(s).Take()); }
Bytes Push(int v) { return Action(0x96, SwfWriter().U8(7).U32(static_cast<uint32_t>(v)).Take()); }
Bytes DoAction(const Bytes& actions) { return Tag(12, Cat({actions, Bytes{0}}), true); }
const Bytes kShowFrame = Tag(1, {});

// Thirty copies of a white square, made by duplicateMovieClip and thrown to
// random places by the script every other frame: the only motion is scripted.
std::string ParticleMovie() {
  // The authoring tool writes duplicateMovieClip's depth 100 as 16384 + 100.
  constexpr int kScriptDepth = 16384 + 100;
  Bytes clone, scatter;
  for (int i = 0; i < 30; ++i) {
    const std::string name = "p" + std::to_string(i);
    clone = Cat({clone, Push("c"), Push(name), Push(kScriptDepth + i), Action(0x24)});
    for (int property : {0, 1})  // _x, _y
      scatter = Cat({scatter, Push(name), Push(property), Push(property == 0 ? 380 : 280),
                     Action(0x30), Action(0x23)});
  }
  const Bytes sprite =
      Tag(39, Cat({SwfWriter().U16(2).U16(1).Take(), Place(1, 1), kShowFrame, Tag(0, {})}), true);
  return MovieFile(
      3, Cat({Tag(9, SwfWriter().Rgb(16, 32, 96).Take()), RectShape(1, 20, 20, 0xFFFFFF), sprite,
              Place(1, 2, "c"), DoAction(clone), kShowFrame, DoAction(scatter), kShowFrame,
              DoAction(Cat({Action(0x81, {1, 0}), Action(0x06)})), kShowFrame, Tag(0, {})}));
}

// A stage-sized red button whose release action goes to a blue second frame.
std::string ButtonMovie() {
  SwfWriter record;
  record.U8(0x0F).U16(1).U16(1).Bits(7, 0).Align().Bits(6, 0).Align().U8(0);  // all states
  const Bytes records = record.Take();
  const Bytes onRelease =
      Cat({SwfWriter().U16(0).U8(0x08).U8(0).Take(), Action(0x81, {1, 0}), Action(0x07), Bytes{0}});
  const Bytes button =
      Tag(34,
          Cat({SwfWriter().U16(3).U8(0).U16(static_cast<uint32_t>(records.size() + 2)).Take(),
               records, onRelease}),
          true);
  return MovieFile(
      2,
      Cat({Tag(9, SwfWriter().Rgb(64, 64, 64).Take()), RectShape(1, 400, 300, 0xCC2020),
           RectShape(2, 400, 300, 0x2040CC), button, Place(1, 3), DoAction(Action(0x07)),
           kShowFrame, Tag(28, SwfWriter().U16(1).Take()), Place(1, 2), kShowFrame, Tag(0, {})}));
}

class MovieSaverTest : public SaverTest {
 protected:
  // With no settings text, the run starts without a settings file.
  Process StartPlain(const std::string& settings = kPlainSettings) {
    tempBefore_ = CountTempCopies();
    if (!settings.empty()) WriteSettings(settings);
    Process saver = StartSaver({"/s"});
    window_ = WaitForTopWindow("Tavrenn");
    return saver;
  }
  // The movie moves: two screenshots a second apart differ, and the
  // picture is more than a flat colour.
  void ExpectMoviePlays() {
    std::optional<Image> first = WaitForScreen([](const Image&) { return true; });
    ASSERT_TRUE(first) << "nothing drawn";
    std::this_thread::sleep_for(1s);
    std::optional<Image> second = TakeScreenshot();
    ASSERT_TRUE(second);
    EXPECT_GT(Changed(*first, *second), 0.005) << "the movie stands still";
  }
  void ExpectNoTempCopyLeft(Process& saver) {
    ASSERT_TRUE(saver.WaitExit(15s));
    EXPECT_EQ(CountTempCopies(), tempBefore_) << "a temporary copy of the movie was left behind";
  }

  int tempBefore_ = 0;
  std::optional<WinInfo> window_;
};

TEST_F(MovieSaverTest, PlainRunPlaysTheBuiltInMovieAndEndsOnAnyKey) {
  Process saver = StartPlain();
  ASSERT_TRUE(window_) << "no visible window titled \"Tavrenn\"";
  EXPECT_EQ(window_->className, "OrrivelMovieWindow");
  EXPECT_EQ(window_->width(), screen_.width);
  EXPECT_EQ(window_->height(), screen_.height);
  ExpectMoviePlays();
  ASSERT_TRUE(Focus("Tavrenn"));
  Key("Shift_L");  // a modifier alone ends it too
  EXPECT_TRUE(Ends(saver, 5s)) << "a key did not end the saver";
  ExpectNoTempCopyLeft(saver);
  EXPECT_EQ(ReadSettings(), kPlainSettings);
}

TEST_F(MovieSaverTest, PlainRunEndsAfterTwoDiagonalMouseMoves) {
  Process saver = StartPlain();
  ASSERT_TRUE(window_);
  MoveMouse(100, 100);
  std::this_thread::sleep_for(300ms);
  // Moves along one axis do not count.
  for (int i = 1; i <= 4; ++i) MoveMouse(100 + 20 * i, 100), std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(Ends(saver, 500ms)) << "moves along one axis ended the saver";
  MoveMouse(200, 150);
  std::this_thread::sleep_for(100ms);
  MoveMouse(250, 200);
  EXPECT_TRUE(Ends(saver, 5s)) << "two diagonal moves did not end the saver";
  ExpectNoTempCopyLeft(saver);
}

TEST_F(MovieSaverTest, InteractiveRunEndsOnlyThroughItsButton) {
  // A first run, without a settings file, is interactive.
  Process saver = StartPlain("");
  ASSERT_TRUE(window_);
  auto button = WaitForWindow(
      [](const WinInfo& w) { return !w.topLevel && w.title == "End Screen Saver" && w.visible; });
  ASSERT_TRUE(button) << "no visible \"End Screen Saver\" button";
  EXPECT_EQ(button->bottom, window_->bottom);
  ASSERT_TRUE(Focus("Tavrenn"));
  Key("a");
  for (int i = 0; i < 6; ++i) MoveMouse(50 + 40 * i, 60 + 30 * i);
  EXPECT_FALSE(Ends(saver, 1s)) << "keys or the mouse ended an interactive run";
  // The button slides: find it where it is now and click it.
  auto now = WaitForWindow([](const WinInfo& w) { return w.title == "End Screen Saver"; });
  ASSERT_TRUE(now);
  EXPECT_NE(now->left, button->left) << "the button does not move";
  MoveMouse((now->left + now->right) / 2 + 10, (now->top + now->bottom) / 2);
  Capture("xdotool click 1");
  EXPECT_TRUE(Ends(saver, 5s)) << "clicking the button did not end the saver";
  ExpectNoTempCopyLeft(saver);
}

TEST_F(MovieSaverTest, UsersMoviePlaysAndAMissingOneFallsBack) {
  const std::string corpus = std::string(ORRIVEL_CORPUS_DIR);
  ASSERT_TRUE(FileExists(corpus)) << "no corpus at " << corpus;
  struct Case {
    std::string movie;
    bool loads;
  } cases[] = {
      {corpus + "/ruffle/visual/gradient_issue_9892/test.swf", true},
      {dir_ / "gone.swf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.movie);
    const std::string settings = "MOVIEORPIC = MOVIE\r\nSWFMOVIE = " + WinePath(c.movie) +
                                 "\r\nINTERACTIVE = FALSE\r\nQUALITY = HIGH\r\n";
    Process saver = StartPlain(settings);
    ASSERT_TRUE(window_);
    EXPECT_TRUE(WaitForScreen([](const Image&) { return true; })) << "nothing drawn";
    if (c.loads) {
      EXPECT_EQ(ReadSettings(), settings);
    } else {
      EXPECT_TRUE(PollUntil([&] { return ReadSettings() == kDefaultSettings; }, 10s))
          << "settings hold \"" << ReadSettings() << "\"";
      ExpectMoviePlays();
    }
    ASSERT_TRUE(Focus("Tavrenn"));
    Key("a");
    ExpectNoTempCopyLeft(saver);
  }
}

TEST_F(MovieSaverTest, ScriptedMovieMovesAndItsButtonAnswersAClickInAnInteractiveRun) {
  const std::string particles = dir_ / "particles.swf", button = dir_ / "button.swf";
  WriteFileBytes(particles, ParticleMovie());
  WriteFileBytes(button, ButtonMovie());
  {
    Process saver = StartPlain("MOVIEORPIC = MOVIE\r\nSWFMOVIE = " + WinePath(particles) +
                               "\r\nINTERACTIVE = FALSE\r\n");
    ASSERT_TRUE(window_);
    ExpectMoviePlays();
    ASSERT_TRUE(Focus("Tavrenn"));
    Key("a");
    ExpectNoTempCopyLeft(saver);
  }
  Process saver = StartPlain("MOVIEORPIC = MOVIE\r\nSWFMOVIE = " + WinePath(button) +
                             "\r\nINTERACTIVE = TRUE\r\n");
  ASSERT_TRUE(window_);
  const int cx = (window_->left + window_->right) / 2, cy = (window_->top + window_->bottom) / 2;
  const auto centreIs = [&](uint32_t colour) {
    return [=](const Image& img) { return Near(img.At(cx, cy), colour, 40); };
  };
  ASSERT_TRUE(WaitForScreen(centreIs(0xCC2020))) << "the button is not drawn";
  MoveMouse(cx, cy);
  Capture("xdotool click 1");
  EXPECT_TRUE(WaitForScreen(centreIs(0x2040CC))) << "the button's release action did not run";
  EXPECT_FALSE(Ends(saver, 1s)) << "a click on the movie ended an interactive run";
}

}  // namespace
}  // namespace orrivel::e2e
