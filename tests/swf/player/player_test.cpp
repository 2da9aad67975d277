#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

// Writes bit fields most significant bit first, as SWF records are stored.
class BitWriter {
 public:
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (bit_ == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> bit_);
      bit_ = (bit_ + 1) % 8;
    }
  }
  void Align() { bit_ = 0; }
  void Byte(uint8_t b) {
    Align();
    bytes.push_back(b);
  }
  std::vector<uint8_t> bytes;

 private:
  int bit_ = 0;
};

// An uncompressed SWF: 550x400 stage, the given rate, `frames` empty frames.
std::vector<uint8_t> TinySwf(uint8_t fpsWhole, int frames) {
  BitWriter w;
  for (char c : std::string("FWS")) w.Byte(static_cast<uint8_t>(c));
  w.Byte(6);
  for (int i = 0; i < 4; ++i) w.Byte(0);  // length, patched below
  w.Bits(15, 5);
  for (uint32_t v : {0u, 11000u, 0u, 8000u}) w.Bits(v, 15);
  w.Byte(0);
  w.Byte(fpsWhole);
  w.Byte(static_cast<uint8_t>(frames));
  w.Byte(0);
  for (int i = 0; i < frames; ++i) {
    w.Byte(0x40);  // ShowFrame: code 1, length 0
    w.Byte(0x00);
  }
  w.Byte(0);  // End
  w.Byte(0);
  const auto n = static_cast<uint32_t>(w.bytes.size());
  for (int i = 0; i < 4; ++i) w.bytes[4 + i] = static_cast<uint8_t>(n >> (8 * i));
  return w.bytes;
}

// A solid rectangle covering the whole 550x400 stage.
ShapeDefinition StageRectangle(uint16_t id, Rgba color) {
  ShapeDefinition s;
  s.id = id;
  s.bounds = Rect{0, 11000, 0, 8000};
  FillStyle fill;
  fill.color = color;
  s.shape.fillStyles.push_back(fill);
  StyleChangeRecord start;
  start.moveTo = std::make_pair(0, 0);
  start.fillStyle1 = 1;
  s.shape.records = {start, StraightEdgeRecord{11000, 0}, StraightEdgeRecord{0, 8000},
                     StraightEdgeRecord{-11000, 0}, StraightEdgeRecord{0, -8000}};
  return s;
}

TEST(PlayerTest, NothingLoadedReadsMinusOne) {
  NativeImageDecoder decoder;
  Player player(decoder);
  EXPECT_EQ(player.FrameNum(), -1);
  EXPECT_FALSE(player.Advance(1.0));
  player.StepFrame();
  EXPECT_EQ(player.FrameNum(), -1);
  EXPECT_EQ(player.GetMovie(), nullptr);
}

TEST(PlayerTest, FailedLoadsExplainInOneLine) {
  NativeImageDecoder decoder;
  Player player(decoder);
  const std::vector<std::vector<uint8_t>> bad = {{}, {'F', 'W', 'S'}, {'G', 'I', 'F', '8', '9', 'a'}};
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
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
}

TEST(PlayerTest, ZeroFrameRateStillAdvances) {
  NativeImageDecoder decoder;
  Player player(decoder);
  ASSERT_TRUE(player.LoadMemory(TinySwf(0, 3)));
  EXPECT_GT(player.SecondsPerFrame(), 0);
  EXPECT_TRUE(player.Advance(1.0));
  EXPECT_NE(player.FrameNum(), 0);
}

TEST(PlayerTest, RendersShowAllWithBackgroundLetterbox) {
  auto movie = std::make_unique<Movie>(BaseMovie());
  movie->backgroundColor = Rgba{255, 0, 0, 255};
  movie->characters.emplace(60, StageRectangle(60, Rgba{0, 0, 255, 255}));
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
  for (const std::string path :
       {std::string(ORRIVEL_SOURCE_DIR) + "/resources/default_movie.swf",
        std::string(ORRIVEL_CORPUS_DIR) + "/ruffle/from_shumway/invalidClipDepth/test.swf"}) {
    SCOPED_TRACE(path);
    NativeImageDecoder decoder;
    Player player(decoder);
    ASSERT_TRUE(player.LoadFile(path)) << player.LastError();
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
          worst = std::max(worst, std::abs(int((full[i] >> shift) & 0xFF) -
                                           int((partial[i] >> shift) & 0xFF)));
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
