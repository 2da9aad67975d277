#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

// An uncompressed SWF: 550x400 stage, the given rate, `frames` empty frames.
std::vector<uint8_t> TinySwf(uint8_t fps, int frames) {
  std::vector<uint8_t> swf = {'F', 'W', 'S', 6, 0, 0, 0, 0};
  std::string bits = "01111";  // RECT of 15-bit fields
  for (int v : {0, 11000, 0, 8000}) {
    for (int i = 14; i >= 0; --i) bits += char('0' + (v >> i & 1));
  }
  bits.resize(72, '0');
  for (size_t i = 0; i < bits.size(); i += 8)
    swf.push_back(uint8_t(std::stoi(bits.substr(i, 8), nullptr, 2)));
  swf.insert(swf.end(), {0, fps, uint8_t(frames), 0});
  for (int i = 0; i < frames; ++i) swf.insert(swf.end(), {0x40, 0});  // ShowFrame
  swf.insert(swf.end(), {0, 0});
  for (int i = 0; i < 4; ++i) swf[4 + i] = uint8_t(swf.size() >> (8 * i));
  return swf;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// TinySwf's one frame with `tags` before its ShowFrame.
std::vector<uint8_t> SwfWithTags(const std::vector<uint8_t>& tags) {
  std::vector<uint8_t> swf = TinySwf(12, 1);
  swf.insert(swf.end() - 4, tags.begin(), tags.end());
  swf[4] = uint8_t(swf.size());
  return swf;
}

std::vector<uint8_t> BackgroundTag(uint8_t r, uint8_t g, uint8_t b) {
  return {0x43, 0x02, r, g, b};  // SetBackgroundColor, 3 bytes
}

// A DoAction that loads `url` into `target` (loadMovieNum compiles to this;
// loadMovie into a clip, with `before` run first, sets the clip flag).
std::vector<uint8_t> LoadIntoTag(const std::string& url, const std::string& target,
                                 const Bytes& before = {}) {
  const uint8_t flags = before.empty() ? 0 : 0x40;
  Bytes code = Cat({before, PushString(url), PushString(target), Long(0x9A, {flags}), kEnd});
  std::vector<uint8_t> tag = {0x3F, 0x03};  // DoAction, long form
  for (int i = 0; i < 4; ++i) tag.push_back(static_cast<uint8_t>(code.size() >> (8 * i)));
  tag.insert(tag.end(), code.begin(), code.end());
  return tag;
}

// Tags that fill the whole 550x400 stage with one colour: DefineShape 1
// and its placement at depth 1.
std::vector<uint8_t> StageFillTags(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> body = {1, 0};  // shape id
  int bit = 0;
  const auto bits = [&](int n, int64_t v) {
    for (int i = n - 1; i >= 0; --i) {
      if (bit == 0) body.push_back(0);
      if ((static_cast<uint64_t>(v) >> i) & 1) body.back() |= static_cast<uint8_t>(0x80 >> bit);
      bit = (bit + 1) % 8;
    }
  };
  bits(5, 15);
  for (int v : {0, 11000, 0, 8000}) bits(15, v);
  bit = 0;
  body.insert(body.end(), {1, 0x00, r, g, b, 0, 0x10});  // one solid fill, no lines
  bits(6, 0b000101);                                     // move to (0, 0) with fill style 1
  bits(5, 15), bits(15, 0), bits(15, 0), bits(1, 1);
  for (const auto& [vertical, delta] : {std::pair{0, 11000}, {1, 8000}, {0, -11000}, {1, -8000}})
    bits(2, 0b11), bits(4, 13), bits(1, 0), bits(1, vertical), bits(15, delta);
  bits(6, 0);                                // end of shape
  std::vector<uint8_t> tags = {0xBF, 0x00};  // DefineShape, long form
  for (int i = 0; i < 4; ++i) tags.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
  tags.insert(tags.end(), body.begin(), body.end());
  tags.insert(tags.end(), {0x85, 0x06, 0x02, 1, 0, 1, 0});  // PlaceObject2 of shape 1 at depth 1
  return tags;
}

// A movie loaded into a level draws over level 0.
TEST(PlayerTest, LevelsDrawOverLevelZero) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orrivel_player_level_draw_" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
    WriteFile(dir / name, bytes);
  };
  write("blue.swf", SwfWithTags(StageFillTags(0, 0, 255)));
  // A 1 x 1 green GIF.
  write("dot.gif", {'G', 'I',  'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,    255, 0, 0,   0,
                    0,   0x2C, 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1,   0, 0x3B});
  const struct {
    std::vector<uint8_t> main;
    int x, y;  // the stage pixel looked at
    uint32_t pixel;
  } cases[] = {
      {SwfWithTags(StageFillTags(255, 0, 0)), 270, 200, 0xFFFF0000u},
      {SwfWithTags(Cat({StageFillTags(255, 0, 0), LoadIntoTag("blue.swf", "_level1")})), 270, 200,
       0xFF0000FFu},
      // Level names ignore case.
      {SwfWithTags(Cat({StageFillTags(255, 0, 0), LoadIntoTag("blue.swf", "_LEVEL1")})), 270, 200,
       0xFF0000FFu},
      // A picture loads as a movie showing it at the origin.
      {SwfWithTags(Cat({StageFillTags(255, 0, 0), LoadIntoTag("dot.gif", "_level1")})), 0, 0,
       0xFF00FF00u},
      {SwfWithTags(Cat({StageFillTags(255, 0, 0), LoadIntoTag("dot.gif", "_level1")})), 1, 0,
       0xFFFF0000u},
      // Into a clip a script made, at the clip's origin.
      {SwfWithTags(
           Cat({StageFillTags(255, 0, 0),
                LoadIntoTag("dot.gif", "c",
                            Cat({CallRoot("createEmptyMovieClip", {PushString("c"), PushInt(5)}),
                                 SetVar("c._x", PushInt(3))}))})),
       3, 0, 0xFF00FF00u},
  };
  NativeImageDecoder decoder;
  for (const auto& c : cases) {
    write("main.swf", c.main);
    Player player(decoder);
    ASSERT_TRUE(player.LoadFile((dir / "main.swf").string()));
    for (int i = 0; i < 2; ++i) player.StepFrame();
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    EXPECT_EQ(pixels[c.y * 550 + c.x], c.pixel) << c.x << "," << c.y;
  }
  std::filesystem::remove_all(dir);
}

// A movie whose last frame never got its ShowFrame (the file ended while it
// was still loading) plays into that frame and stays there; a whole one loops.
// A DoAction tag holding `code`.
std::vector<uint8_t> ActionTag(const Bytes& code) {
  Bytes body = Cat({code, kEnd});
  std::vector<uint8_t> tag = {0x3F, 0x03};
  for (int i = 0; i < 4; ++i) tag.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

// A loaded movie's root trades its level with swapDepths, depth d being
// level d + 16384, and keeps its old level as its name; once there it stays.
TEST(PlayerTest, LevelRootsSwapDepthsOnce) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orrivel_player_level_swap_" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  WriteFile(dir / "blue.swf", SwfWithTags(StageFillTags(0, 0, 255)));
  const auto trace = [](const Bytes& v) { return Cat({v, {0x26}}); };
  const auto call = [](const std::string& clip, const std::string& method, int32_t arg) {
    return Cat({CallMethod(GetVar(clip), method, {PushInt(arg)}), {0x17}});
  };
  std::vector<uint8_t> swf = TinySwf(12, 3);
  const std::vector<uint8_t> load = LoadIntoTag("blue.swf", "_level5");
  swf.insert(swf.end() - 8, load.begin(), load.end());  // in the first frame
  const std::vector<uint8_t> swap =
      ActionTag(Cat({call("_level5", "swapDepths", 10), trace(GetVar("_level5")),
                     trace(CallMethod(GetVar("_level16394"), "getDepth", {})),
                     trace(Cat({GetVar("_level16394"), PushString("_name"), {0x4E}})),
                     call("_level16394", "swapDepths", 20),
                     trace(CallMethod(GetVar("_level16394"), "getDepth", {})), kStop}));
  swf.insert(swf.end() - 4, swap.begin(), swap.end());  // in the third
  for (int i = 0; i < 4; ++i) swf[4 + i] = static_cast<uint8_t>(swf.size() >> (8 * i));
  WriteFile(dir / "main.swf", swf);
  NativeImageDecoder decoder;
  Player player(decoder);
  std::vector<std::string> lines;
  player.SetTraceSink([&](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.LoadFile((dir / "main.swf").string()));
  for (int i = 0; i < 3; ++i) player.StepFrame();
  EXPECT_EQ(lines, (std::vector<std::string>{"undefined", "10", "_level5", "10"}));
  std::filesystem::remove_all(dir);
}

TEST(PlayerTest, AnUnfinishedLastFrameIsNotLooped) {
  const auto traceTag = [](const char* text) {
    const Bytes code = Cat({PushString(text), Do(avm1::Op::Trace), kEnd});
    std::vector<uint8_t> tag = {0x3F, 0x03};  // DoAction, long form
    for (int i = 0; i < 4; ++i) tag.push_back(static_cast<uint8_t>(code.size() >> (8 * i)));
    tag.insert(tag.end(), code.begin(), code.end());
    return tag;
  };
  // Whether the last frame has its ShowFrame, whether the End tag follows,
  // and whether the two frames are a sprite's rather than the main movie's.
  const struct {
    bool showFrame, endTag, sprite;
    const char* trace;
  } cases[] = {
      {true, true, false, "ababa"}, {false, true, false, "ab"}, {true, false, false, "ab"},
      {true, true, true, "ababa"},  {false, true, true, "ab"},  {true, false, true, "ab"},
  };
  for (const auto& c : cases) {
    const Bytes frames = Cat({traceTag("a"),
                              {0x40, 0},
                              traceTag("b"),
                              c.showFrame ? Bytes{0x40, 0} : Bytes{},
                              c.endTag ? Bytes{0, 0} : Bytes{}});
    std::vector<uint8_t> swf = TinySwf(12, 0);
    swf.resize(swf.size() - 2);  // the End tag goes last again below
    Bytes tags = frames;
    if (c.sprite) {
      // DefineSprite 1 of two frames, placed at depth 1 of a one-frame movie.
      Bytes body = Cat({{1, 0, 2, 0}, frames});
      tags = {0xFF, 0x09};
      for (int i = 0; i < 4; ++i) tags.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
      tags = Cat({tags, body, {0x85, 0x06, 0x02, 1, 0, 1, 0}, {0x40, 0}, {0, 0}});
    } else {
      swf[19] = 2;  // two frames
    }
    swf.insert(swf.end(), tags.begin(), tags.end());
    for (int i = 0; i < 4; ++i) swf[4 + i] = static_cast<uint8_t>(swf.size() >> (8 * i));
    NativeImageDecoder decoder;
    Player player(decoder);
    std::string trace;
    player.SetTraceSink([&](const std::string& line) { trace += line; });
    ASSERT_TRUE(player.LoadMemory(swf));
    for (int i = 0; i < 4; ++i) player.StepFrame();
    EXPECT_EQ(trace, c.trace) << c.showFrame << c.endTag << c.sprite;
  }
}

// Scripts move, scale, fade and hide a level's root as they do any clip:
// the whole movie follows, and the values read back as the player keeps them.
TEST(PlayerTest, RootTakesItsOwnTransform) {
  using avm1::test::Asm;
  const struct {
    const char* property;
    avm1::test::PushArg value;
    const char* trace;
    uint32_t left, right;  // at (100, 200) and (450, 200)
  } cases[] = {
      {"_x", 275, "275\n", 0xFFFFFFFFu, 0xFF0000FFu},
      {"_y", 300, "300\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      {"_xscale", -100, "-100\n", 0xFFFFFFFFu, 0xFFFFFFFFu},  // mirrored off the stage
      {"_xscale", 50, "50\n", 0xFF0000FFu, 0xFFFFFFFFu},
      {"_alpha", 50, "50\n", 0xFF8080FFu, 0xFF8080FFu},
      {"_visible", false, "false\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      {"_rotation", 90, "90\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      // Values are numbers: what converts to NaN is ignored, what overflows
      // a 32-bit integer of twips is its lowest value.
      {"_visible", "abc", "true\n", 0xFF0000FFu, 0xFF0000FFu},
      {"_x", avm1::test::Undefined(), "0\n", 0xFF0000FFu, 0xFF0000FFu},
      {"_x", 1e10, "-107374182.4\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      {"_alpha", std::numeric_limits<double>::infinity(), "0\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      {"_xscale", std::numeric_limits<double>::infinity(), "Infinity\n", 0xFFFFFFFFu, 0xFFFFFFFFu},
      // The player's settings: kept for scripts, without moving anything.
      {"_quality", "best", "BEST\n", 0xFF0000FFu, 0xFF0000FFu},
      {"_quality", "fast", "HIGH\n", 0xFF0000FFu, 0xFF0000FFu},
      {"_highquality", 0, "0\n", 0xFF0000FFu, 0xFF0000FFu},
      {"_soundbuftime", 2.5, "2\n", 0xFF0000FFu, 0xFF0000FFu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.property);
    Asm a;
    a.Push({"_root"}).Do(avm1::Op::GetVariable).Push({c.property, c.value});
    a.Do(avm1::Op::SetMember);
    a.Push({"_root"}).Do(avm1::Op::GetVariable).Push({c.property}).Do(avm1::Op::GetMember);
    a.Do(avm1::Op::Trace).Do(avm1::Op::End);
    const Bytes code = a.Bytes();
    std::vector<uint8_t> action = {0x3F, 0x03};  // DoAction, long form
    for (int i = 0; i < 4; ++i) action.push_back(static_cast<uint8_t>(code.size() >> (8 * i)));
    action.insert(action.end(), code.begin(), code.end());
    NativeImageDecoder decoder;
    Player player(decoder);
    std::string trace;
    player.SetTraceSink([&](const std::string& line) { trace += line + "\n"; });
    ASSERT_TRUE(player.LoadMemory(SwfWithTags(Cat({StageFillTags(0, 0, 255), action}))));
    player.StepFrame();
    std::vector<uint32_t> pixels(550 * 400);
    raster::Canvas canvas{pixels.data(), 550, 400, 550};
    player.Render(canvas);
    EXPECT_EQ(trace, c.trace);
    EXPECT_EQ(pixels[200 * 550 + 100], c.left);
    EXPECT_EQ(pixels[200 * 550 + 450], c.right);
  }
}

// Version 4 reads text that is no number as 0, but the player's settings
// still ignore it; and a clip is no value there, so a name reaching one reads
// as undefined.
TEST(PlayerTest, Version4SettingsAndClipValues) {
  using avm1::Op;
  using avm1::test::Asm;
  const struct {
    uint8_t version;
    int property;  // set to `value`, then traced; -1 traces _root instead
    avm1::test::PushArg value;
    const char* trace;
  } cases[] = {
      {4, 16, "h", "1\n"}, {4, 17, "g", "1\n"}, {4, 18, "l", "5\n"},       {4, 18, "3", "3\n"},
      {5, 18, "l", "5\n"}, {4, 16, 0, "0\n"},   {4, -1, 0, "undefined\n"}, {5, -1, 0, "_level0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.version) << " " << c.property);
    Asm a;
    if (c.property < 0) {
      a.Push({"_root"}).Do(Op::GetVariable);
    } else {
      a.Push({"", c.property, c.value}).Do(Op::SetProperty);
      a.Push({"", c.property}).Do(Op::GetProperty);
    }
    a.Do(Op::Trace).Do(Op::End);
    const Bytes code = a.Bytes();
    std::vector<uint8_t> action = {0x3F, 0x03};  // DoAction, long form
    for (int i = 0; i < 4; ++i) action.push_back(static_cast<uint8_t>(code.size() >> (8 * i)));
    action.insert(action.end(), code.begin(), code.end());
    std::vector<uint8_t> swf = SwfWithTags(action);
    swf[3] = c.version;
    NativeImageDecoder decoder;
    Player player(decoder);
    std::string trace;
    player.SetTraceSink([&](const std::string& line) { trace += line + "\n"; });
    ASSERT_TRUE(player.LoadMemory(swf));
    player.StepFrame();
    EXPECT_EQ(trace, c.trace);
  }
}

// The first SetBackgroundColor of any level colours the stage; a later
// level's is ignored.
TEST(PlayerTest, FirstBackgroundOfAnyLevelHolds) {
  const auto dir = std::filesystem::temp_directory_path() / "orrivel_player_levels";
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
    WriteFile(dir / name, bytes);
  };
  write("red.swf", SwfWithTags(BackgroundTag(255, 0, 0)));
  const struct {
    std::vector<uint8_t> main;
    Rgba expected;
  } cases[] = {
      {SwfWithTags(LoadIntoTag("red.swf", "_level1")), Rgba{255, 0, 0, 255}},
      {SwfWithTags(Cat({BackgroundTag(0, 0, 255), LoadIntoTag("red.swf", "_level1")})),
       Rgba{0, 0, 255, 255}},
  };
  NativeImageDecoder decoder;
  for (const auto& c : cases) {
    write("main.swf", c.main);
    Player player(decoder);
    ASSERT_TRUE(player.LoadFile((dir / "main.swf").string()));
    for (int i = 0; i < 3; ++i) player.StepFrame();
    EXPECT_EQ(player.BackgroundColor(), c.expected);
  }
  std::filesystem::remove_all(dir);
}

std::vector<uint8_t> DoActionTag(const Bytes& code) {
  std::vector<uint8_t> tag = {0x3F, 0x03};  // DoAction, long form
  for (int i = 0; i < 4; ++i) tag.push_back(static_cast<uint8_t>(code.size() >> (8 * i)));
  tag.insert(tag.end(), code.begin(), code.end());
  return tag;
}

// The log ends a line at every carriage return of a traced text.
TEST(PlayerTest, TraceEndsALineAtEachCarriageReturn) {
  const struct {
    const char* text;
    const char* logged;
  } cases[] = {{"a\rb", "a\nb"}, {"a\r\nb", "a\n\nb"}, {"a\nb", "a\nb"}, {"\r", "\n"}};
  NativeImageDecoder decoder;
  for (const auto& c : cases) {
    std::vector<std::string> traces;
    Player player(decoder);
    player.SetTraceSink([&](const std::string& line) { traces.push_back(line); });
    ASSERT_TRUE(
        player.LoadMemory(SwfWithTags(DoActionTag(Cat({PushString(c.text), {0x26}, kEnd})))));
    EXPECT_EQ(traces, std::vector<std::string>{c.logged}) << c.text;
  }
}

// A movie loaded from a file keeps its SharedObject stores in a folder of
// its own inside the root the host names, and finds them on the next load;
// without a root nothing is written.
TEST(PlayerTest, SharedObjectsLastBetweenLoadsOfTheSameFile) {
  const auto dir = std::filesystem::temp_directory_path() / "orrivel_player_so";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "movies");
  // SharedObject.getLocal("best") on the stack, then .data
  const Bytes data = Cat({PushString("best"),
                          PushInt(1),
                          PushString("SharedObject"),
                          {0x1C},
                          PushString("getLocal"),
                          {0x52},
                          PushString("data"),
                          {0x4E}});
  // data.score = data.score + 1; trace(data.score)
  const Bytes code = Cat({data,
                          PushString("score"),
                          data,
                          PushString("score"),
                          {0x4E},
                          PushInt(1),
                          {0x47, 0x4F},
                          data,
                          PushString("score"),
                          {0x4E},
                          {0x26},
                          kEnd});
  const auto movie = dir / "movies" / "game.swf";
  const std::vector<uint8_t> bytes = SwfWithTags(DoActionTag(code));
  std::ofstream(movie, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  NativeImageDecoder decoder;
  std::vector<std::string> traces;
  const auto run = [&](const std::filesystem::path& root) {
    Player player(decoder);
    player.SetTraceSink([&](const std::string& line) { traces.push_back(line); });
    player.SetSharedObjectRoot(root);
    ASSERT_TRUE(player.LoadFile(movie.string()));
  };
  run(dir / "store");
  run(dir / "store");
  run({});
  run(dir / "store");
  EXPECT_EQ(traces, (std::vector<std::string>{"1", "2", "1", "3"}));
  std::size_t files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "store"))
    files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
  EXPECT_TRUE(std::filesystem::exists(dir / "store" / "game.swf" / "best.sol"));
  std::filesystem::remove_all(dir);
}

TEST(PlayerTest, FailedLoadsExplainInOneLine) {
  NativeImageDecoder decoder;
  Player player(decoder);
  EXPECT_FALSE(player.Advance(1.0));
  player.StepFrame();
  EXPECT_EQ(player.FrameNum(), -1);
  EXPECT_EQ(player.GetMovie(), nullptr);
  const std::vector<std::vector<uint8_t>> bad = {
      {}, {'F', 'W', 'S'}, {'G', 'I', 'F', '8', '9', 'a'}};
  for (const auto& bytes : bad) {
    EXPECT_FALSE(player.LoadMemory(bytes));
    EXPECT_EQ(player.FrameNum(), -1);
    EXPECT_FALSE(player.LastError().empty());
    EXPECT_EQ(player.LastError().find('\n'), std::string::npos);
  }
  EXPECT_FALSE(player.LoadFile("/nonexistent/dir/movie.swf"));
  EXPECT_EQ(player.FrameNum(), -1);
  EXPECT_NE(player.LastError().find("movie.swf"), std::string::npos);
  // Oversized files are refused before they are read (a sparse file costs no disk).
  const auto big = std::filesystem::temp_directory_path() / "orrivel_player_big.swf";
  std::ofstream(big, std::ios::binary).put('F');
  std::filesystem::resize_file(big, (64u << 20) + 1);
  EXPECT_FALSE(player.LoadFile(big.string()));
  EXPECT_NE(player.LastError().find("too large"), std::string::npos);
  std::filesystem::remove(big);
  EXPECT_FALSE(player.LoadFile(std::filesystem::temp_directory_path().string()));
  EXPECT_EQ(player.FrameNum(), -1);
  // A good load after a failed one replaces the failure.
  EXPECT_TRUE(player.LoadMemory(TinySwf(24, 2)));
  EXPECT_EQ(player.FrameNum(), 0);
  EXPECT_TRUE(player.LastError().empty());
  player.Unload();
  EXPECT_EQ(player.FrameNum(), -1);
}

TEST(PlayerTest, LoadsUtf8PathsAndPlaysAtTheFrameRate) {
  const auto dir = std::filesystem::temp_directory_path() / "orrivel_player_test";
  std::filesystem::create_directories(dir);
  const std::string name = "w\xC3\xA4lder \xE2\x98\x85.swf";
  const auto path = dir / std::filesystem::path(std::u8string(
                              reinterpret_cast<const char8_t*>(name.data()), name.size()));
  {
    const auto bytes = TinySwf(10, 3);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  NativeImageDecoder decoder;
  Player player(decoder);
  const std::u8string u8 = path.u8string();
  ASSERT_TRUE(player.LoadFile(std::string(u8.begin(), u8.end()))) << player.LastError();
  EXPECT_NEAR(player.SecondsPerFrame(), 0.1, 1e-9);
  EXPECT_FALSE(player.Advance(0.05));
  EXPECT_TRUE(player.Advance(0.06));
  EXPECT_EQ(player.FrameNum(), 1);
  EXPECT_TRUE(player.Advance(0.1));
  EXPECT_EQ(player.FrameNum(), 2);
  player.StepFrame();
  EXPECT_EQ(player.FrameNum(), 0);  // looped
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(player.LoadMemory(TinySwf(0, 3)));  // a zero rate still advances
  EXPECT_GT(player.SecondsPerFrame(), 0);
  EXPECT_TRUE(player.Advance(1.0));
  EXPECT_NE(player.FrameNum(), 0);
}

TEST(PlayerTest, RendersShowAllWithBackgroundLetterbox) {
  auto movie = std::make_unique<Movie>(BaseMovie());
  movie->backgroundColor = Rgba{255, 0, 0, 255};
  movie->characters.emplace(60, RectShape(60, 0, 0, 550, 400));
  movie->timeline = MakeTimeline({MakeFrame({Place(1, 60)})});
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadParsed(std::move(movie)));
  for (Quality q : {Quality::High, Quality::Low}) {
    player.SetQuality(q);
    // 550x400 into 192x108: scale 0.27, the stage spans x 21..169.5.
    std::vector<uint32_t> pixels(192 * 108, 0);
    raster::Canvas canvas{pixels.data(), 192, 108, 192};
    player.Render(canvas);
    const auto at = [&](int x, int y) { return pixels[y * 192 + x]; };
    EXPECT_EQ(at(5, 54), 0xFFFF0000u);    // left letterbox: background
    EXPECT_EQ(at(186, 54), 0xFFFF0000u);  // right letterbox
    EXPECT_EQ(at(96, 54), 0xFF0000FFu);   // the stage
    EXPECT_EQ(at(22, 0), 0xFF0000FFu);
    EXPECT_EQ(at(168, 107), 0xFF0000FFu);
  }
  // A canvas without pixels is left alone.
  raster::Canvas none{nullptr, 10, 10, 10};
  player.Render(none);
}

// Redrawing only the damage must give the picture a full redraw gives.
TEST(PlayerTest, RedrawingTheChangesMatchesAFullRedraw) {
  for (const std::string& path :
       {std::string(ORRIVEL_SOURCE_DIR) + "/resources/default_movie.swf",
        std::string(ORRIVEL_CORPUS_DIR) + "/ruffle/from_shumway/invalidClipDepth/test.swf"}) {
    SCOPED_TRACE(path);
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadFile(path))
        << "no corpus or movie at " << path << ": " << player.LastError();
    const int w = 331, h = 207;
    std::vector<uint32_t> partial(w * h), full(w * h);
    raster::Canvas partialCanvas{partial.data(), w, h, w}, fullCanvas{full.data(), w, h, w};
    Player::ShownFrame shown;
    long long redrawn = 0;
    for (int frame = 0; frame < 60; ++frame) {
      for (const DamageBox& box : player.RenderChanges(partialCanvas, shown)) redrawn += box.Area();
      player.Render(fullCanvas);
      int worst = 0;
      for (size_t i = 0; i < full.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
          worst = std::max(
              worst, std::abs(int((full[i] >> shift) & 0xFF) - int((partial[i] >> shift) & 0xFF)));
        }
      }
      ASSERT_LE(worst, 2) << "frame " << frame;
      player.StepFrame();
    }
    EXPECT_LT(redrawn, 60LL * w * h) << "some frames were redrawn only in part";
  }
}

}  // namespace
}  // namespace orrivel::swf
