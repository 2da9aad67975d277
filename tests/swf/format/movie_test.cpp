// Whole-file loading: header, compression, refusals, timelines and limits.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <tuple>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf {
namespace {

using namespace test;
namespace tc = tag;
using std::tuple;

const std::vector<uint8_t> kShowFrame = Tag(tc::kShowFrame, {});
const std::vector<uint8_t> kEnd = Tag(tc::kEnd, {});

std::vector<uint8_t> Compress(const std::vector<uint8_t>& fws) {
  std::vector<uint8_t> body(fws.begin() + 8, fws.end());
  uLongf size = compressBound(body.size());
  std::vector<uint8_t> z(size);
  EXPECT_EQ(compress(z.data(), &size, body.data(), body.size()), Z_OK);
  z.resize(size);
  std::vector<uint8_t> cws = {'C'};
  cws.insert(cws.end(), fws.begin() + 1, fws.begin() + 8);
  cws.insert(cws.end(), z.begin(), z.end());
  return cws;
}

TEST(Movie, ReadsHeader) {
  const auto file = Fws(
      10, Cat({Tag(tc::kSetBackgroundColor, SwfWriter().Rgb(1, 2, 3).Take()), kShowFrame, kEnd}));
  const auto result = Load(file);
  ASSERT_TRUE(result.movie) << result.message;
  const Movie& m = *result.movie;
  EXPECT_STREQ(m.header.signature, "FWS");
  EXPECT_EQ(tuple(m.header.version, m.header.fileLength, m.header.frameRate, m.header.frameCount),
            tuple(10, file.size(), 24.0f, 1));
  EXPECT_EQ(m.header.frameSize, (Rect{0, 11000, 0, 8000}));
  EXPECT_EQ(m.backgroundColor, (Rgba{1, 2, 3, 255}));
  ASSERT_EQ(m.tags.size(), 3u);
  EXPECT_EQ(tuple(m.tags[0].offset, m.tags[0].length), tuple(file.size() - 2 - 2 - 5, 3u));
}

TEST(Movie, CompressedRoundTrip) {
  const auto fws = Fws(6, Cat({Tag(tc::kDoAction, {0x07, 0x00}), kShowFrame, kEnd}));
  const auto result = Load(Compress(fws));
  ASSERT_TRUE(result.movie) << result.message;
  ASSERT_EQ(result.movie->timeline.frames.size(), 1u);
  const auto& action = std::get<DoAction>(result.movie->timeline.frames[0].tags[0]);
  EXPECT_EQ(action.actions, (std::vector<uint8_t>{0x07, 0x00}));
}

struct RefusalCase {
  const char* name;
  std::vector<uint8_t> file;
  LoadErrorKind error;
};

std::vector<uint8_t> WithLength(std::vector<uint8_t> f, uint32_t length) {
  std::memcpy(f.data() + 4, &length, 4);
  return f;
}

std::vector<uint8_t> ZipBomb() {
  // 32 MB of zeros compress to about 32 KB; declared at 32 MB + 8.
  std::vector<uint8_t> fws = Fws(8, std::vector<uint8_t>(32u << 20, 0));
  return Compress(fws);
}

TEST(Movie, RefusalsFailWithTheirKind) {
  const RefusalCase cases[] = {
      {"empty", {}, LoadErrorKind::TooShort},
      {"seven_bytes", {'F', 'W', 'S', 8, 20, 0, 0}, LoadErrorKind::TooShort},
      {"bad_signature", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, LoadErrorKind::BadSignature},
      {"lzma",
       {'Z', 'W', 'S', 13, 100, 0, 0, 0, 5, 0, 0, 0, 0x5D, 0, 0, 0, 1},
       LoadErrorKind::Lzma},
      {"header_cut_in_rect", {'F', 'W', 'S', 8, 10, 0, 0, 0, 0xF8}, LoadErrorKind::Malformed},
      {"zlib_garbage",
       {'C', 'W', 'S', 8, 100, 0, 0, 0, 0x78, 0x9C, 0xFF, 0xFF, 0xFF},
       LoadErrorKind::Compression},
      {"zip_bomb_declared_too_large", ZipBomb(), LoadErrorKind::TooLarge},
      {"doabc", Fws(9, Cat({Tag(tc::kDoAbc2, {0, 0, 0, 0, 0}), kShowFrame, kEnd})),
       LoadErrorKind::ActionScript3},
      {"doabc_in_sprite",
       Fws(9, Cat({Tag(tc::kDefineSprite,
                       Cat({SwfWriter().U16(1).U16(1).Take(), Tag(tc::kDoAbc, {1}), kEnd})),
                   kEnd})),
       LoadErrorKind::ActionScript3},
  };
  LoadLimits limits;
  limits.maxUncompressedBytes = 1u << 20;
  for (const RefusalCase& c : cases) {
    const auto result = Load(c.file, limits);
    EXPECT_EQ(result.error, c.error) << c.name << ": " << result.message;
    EXPECT_TRUE(result.movie == nullptr && !result.message.empty()) << c.name;
  }
}

TEST(Movie, BombWithSmallDeclaredLengthIsCutAtThatLength) {
  auto bomb = WithLength(ZipBomb(), 1000);
  const auto result = Load(bomb);
  ASSERT_TRUE(result.movie) << result.message;
  EXPECT_LE(result.movie->tags.size(), 1000u / 2);
}

// The declared length ends the movie: later bytes are ignored, a longer
// length loads what is there, and one too short for the header is no movie.
TEST(Movie, DeclaredLengthBoundsTheFile) {
  const auto place = Tag(tc::kRemoveObject2, {5, 0});
  const auto file = Fws(8, Cat({place, kShowFrame, place, kShowFrame, kEnd}));
  const auto size = static_cast<uint32_t>(file.size());
  const uint32_t firstFrameEnd = size - static_cast<uint32_t>(place.size() + 2 + 2);
  struct Case {
    uint32_t length;
    std::size_t frames;  // 0: no movie
    uint32_t loaded;
  } cases[] = {{size, 2, size},
               {size + 400, 2, size},
               {firstFrameEnd, 1, firstFrameEnd},
               {8, 0, 0},
               {0, 0, 0}};
  for (const Case& c : cases) {
    const auto result = Load(WithLength(file, c.length));
    ASSERT_EQ(result.movie != nullptr, c.frames > 0) << c.length;
    if (!result.movie) continue;
    EXPECT_EQ(tuple(result.movie->timeline.frames.size(), result.movie->header.bytesLoaded,
                    result.movie->header.fileLength),
              tuple(c.frames, c.loaded, c.length));
  }
}

TEST(Movie, As3FlagWithoutDoAbcLoads) {
  const auto file = Fws(10, Cat({Tag(tc::kFileAttributes, {0x08, 0, 0, 0}), kShowFrame, kEnd}));
  const auto result = Load(file);
  ASSERT_TRUE(result.movie) << result.message;
  EXPECT_TRUE(result.movie->fileAttributesAs3 && !result.movie->hasDoAbc);
}

TEST(Movie, FramesEndAtShowFrameAndKeepOnlyNonEmptyTail) {
  const auto place = Tag(tc::kRemoveObject2, {5, 0});
  struct Case {
    std::vector<uint8_t> tags;
    size_t frames;
  } cases[] = {
      {Cat({place, kShowFrame, kShowFrame, kEnd}), 2},
      {Cat({place, kShowFrame, place, kEnd}), 2},              // tail kept
      {Cat({place, kShowFrame, kEnd, place, kShowFrame}), 1},  // nothing after End
      {Cat({place, kShowFrame}), 1},                           // no End tag at all
      {Cat({kShowFrame, Tag(tc::kFrameLabel, SwfWriter().Str("tail").Take())}), 2},
  };
  for (const auto& c : cases) {
    const auto result = Load(Fws(8, c.tags));
    ASSERT_TRUE(result.movie);
    EXPECT_EQ(result.movie->timeline.frames.size(), c.frames);
  }
}

TEST(Movie, FrameLabelAndLongTagHeaders) {
  const auto file = Fws(8, Cat({Tag(tc::kFrameLabel, SwfWriter().Str("intro").Take(), true),
                                Tag(tc::kShowFrame, {}, true), kEnd}));
  const auto result = Load(file);
  ASSERT_TRUE(result.movie);
  ASSERT_EQ(result.movie->timeline.frames.size(), 1u);
  EXPECT_EQ(tuple(result.movie->timeline.frames[0].label, result.movie->tags[0].length),
            tuple("intro", 6u));
}

TEST(Movie, UnknownAndNonStandardTagsAreSkippedByLength) {
  const auto file = Fws(8, Cat({Tag(777, {1, 2, 3, 4, 5}), Tag(526, {}),
                                Tag(tc::kRemoveObject2, {7, 0}), kShowFrame, kEnd}));
  const auto result = Load(file);
  ASSERT_TRUE(result.movie);
  EXPECT_EQ(std::get<RemoveObject>(result.movie->timeline.frames.at(0).tags.at(0)).depth, 7);
  EXPECT_EQ(result.movie->tags[0].code, 777);
}

TEST(Movie, TruncatedTagDoesNotRunIntoTheNext) {
  // The RemoveObject2 body claims 1 byte but needs 2: it must fail on its own
  // and leave the following tag intact.
  const auto file = Fws(
      8, Cat({Tag(tc::kRemoveObject2, {9}), Tag(tc::kRemoveObject2, {4, 0}), kShowFrame, kEnd}));
  const auto result = Load(file);
  ASSERT_TRUE(result.movie);
  const auto& frame = result.movie->timeline.frames.at(0);
  ASSERT_EQ(frame.tags.size(), 1u);
  EXPECT_EQ(std::get<RemoveObject>(frame.tags[0]).depth, 4);
  EXPECT_EQ(tuple(result.movie->tags[0].damaged, result.movie->tags[1].damaged),
            tuple(true, false));
}

TEST(Movie, TagLongerThanTheFileEndsTheTimeline) {
  auto tags = Cat({Tag(tc::kRemoveObject2, {4, 0}), kShowFrame});
  const auto cut = SwfWriter().U16(tc::kDoAction << 6 | 0x3F).U32(0xFFFFFFF0).U8(0).Take();
  const auto result = Load(Fws(8, Cat({tags, cut})));
  ASSERT_TRUE(result.movie);
  EXPECT_EQ(result.movie->timeline.frames.size(), 1u);
  EXPECT_TRUE(result.movie->tags.back().damaged);
}

TEST(Movie, SpriteHasItsOwnTimelineAndNestingIsCapped) {
  auto sprite = [](uint16_t id, const std::vector<uint8_t>& inner) {
    return Tag(tc::kDefineSprite, Cat({SwfWriter().U16(id).U16(2).Take(), inner}));
  };
  const auto body = Cat({Tag(tc::kRemoveObject2, {1, 0}), kShowFrame, kShowFrame, kEnd});
  const auto result = Load(Fws(8, Cat({sprite(3, body), kShowFrame, kEnd})));
  ASSERT_TRUE(result.movie);
  const auto& def = std::get<SpriteDefinition>(result.movie->characters.at(3));
  EXPECT_EQ(tuple(def.timeline.declaredFrameCount, def.timeline.frames.size(),
                  result.movie->tags[1].spriteDepth),
            tuple(2, 2u, 1));
  // file header, stage rect, rate and count, sprite tag header, id and count
  EXPECT_EQ(result.movie->tags[1].offset, 8u + 9 + 4 + 2 + 4);

  auto deep = body;
  for (int i = 0; i < 40; ++i) deep = sprite(static_cast<uint16_t>(100 + i), deep);
  const auto nested = Load(Fws(8, Cat({deep, kShowFrame, kEnd})));
  ASSERT_TRUE(nested.movie);
  EXPECT_TRUE(std::any_of(nested.movie->tags.begin(), nested.movie->tags.end(),
                          [](const TagInfo& t) { return t.damaged; }));
}

TEST(Movie, FrameCapStopsTheTimeline) {
  std::vector<uint8_t> tags;
  for (int i = 0; i < 100; ++i) tags = Cat({tags, kShowFrame});
  LoadLimits limits;
  limits.maxFrames = 10;
  const auto result = Load(Fws(8, tags), limits);
  ASSERT_TRUE(result.movie);
  EXPECT_EQ(result.movie->timeline.frames.size(), 10u);
}

TEST(Movie, ModelBudgetBoundsMemoryPerInputByte) {
  // A shape of nothing but minimal straight edges (10 bits each) is the
  // densest way to make model records out of file bytes.
  SwfWriter shape;
  shape.U16(1).Rect(0, 0, 0, 0, 0).U8(0).U8(0).Bits(4, 0).Bits(4, 0);
  for (int i = 0; i < 20000; ++i) shape.Bits(2, 0b11).Bits(4, 0).Bits(1, 0).Bits(1, 0).Bits(2, 1);
  shape.Bits(6, 0);
  LoadLimits limits;
  limits.maxModelBytes = 100000;
  const auto result = Load(Fws(8, Cat({Tag(tc::kDefineShape, shape.Take()), kShowFrame})), limits);
  ASSERT_TRUE(result.movie);
  EXPECT_TRUE(result.movie->characters.empty());
  EXPECT_NE(result.message.find("limit"), std::string::npos);
}

}  // namespace
}  // namespace orrivel::swf
