// DefineVideoStream and VideoFrame: the stream's fields, and which frame
// bodies end up in it.
#include <gtest/gtest.h>

#include "swf/format/tag_codes.h"
#include "swf_writer.h"

namespace orrivel::swf::test {
namespace {

std::vector<uint8_t> Stream(uint16_t id, uint16_t frames, uint16_t w, uint16_t h, uint8_t flags,
                            uint8_t codec) {
  return Tag(tag::kDefineVideoStream,
             SwfWriter().U16(id).U16(frames).U16(w).U16(h).U8(flags).U8(codec).Take());
}

std::vector<uint8_t> Frame(uint16_t stream, uint16_t number, std::vector<uint8_t> data) {
  return Tag(tag::kVideoFrame, SwfWriter().U16(stream).U16(number).Raw(data).Take());
}

TEST(VideoTags, StreamFieldsAndFrames) {
  struct Case {
    const char* name;
    std::vector<uint8_t> tags;
    uint16_t frameCount, width, height;
    uint8_t deblocking;
    bool smoothing;
    uint8_t codec;
    std::map<uint16_t, std::vector<uint8_t>> frames;
    int damaged;
  };
  const Case cases[] = {
      {"fields", Cat({Stream(1, 30, 320, 240, 0x05, 2)}), 30, 320, 240, 2, true, 2, {}, 0},
      {"flags: deblocking 5, no smoothing",
       Cat({Stream(1, 1, 16, 16, 0x0A, 4)}),
       1,
       16,
       16,
       5,
       false,
       4,
       {},
       0},
      {"frames by number, first wins",
       Cat({Stream(1, 3, 16, 16, 0, 2), Frame(1, 1, {7, 8}), Frame(1, 0, {5}), Frame(1, 1, {9}),
            Frame(1, 2, {})}),
       3,
       16,
       16,
       0,
       false,
       2,
       {{0, {5}}, {1, {7, 8}}, {2, {}}},
       0},
      {"frames for no stream or another kind are ignored",
       Cat({Stream(1, 1, 16, 16, 0, 2), Frame(2, 0, {1}),
            Tag(tag::kSetBackgroundColor, {1, 2, 3})}),
       1,
       16,
       16,
       0,
       false,
       2,
       {},
       0},
      {"cut tags are damaged",
       Cat({Stream(1, 1, 16, 16, 0, 2), Tag(tag::kVideoFrame, {1, 0, 0}),
            Tag(tag::kDefineVideoStream, {2, 0, 1, 0, 16, 0, 16, 0, 0})}),
       1,
       16,
       16,
       0,
       false,
       2,
       {},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = Load(Fws(6, c.tags));
    ASSERT_TRUE(result.movie);
    const auto it = result.movie->characters.find(1);
    ASSERT_NE(it, result.movie->characters.end());
    const auto* v = std::get_if<VideoDefinition>(&it->second);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->frameCount, c.frameCount);
    EXPECT_EQ(v->width, c.width);
    EXPECT_EQ(v->height, c.height);
    EXPECT_EQ(v->deblocking, c.deblocking);
    EXPECT_EQ(v->smoothing, c.smoothing);
    EXPECT_EQ(v->codec, c.codec);
    EXPECT_EQ(v->frames, c.frames);
    int damaged = 0;
    for (const TagInfo& t : result.movie->tags) damaged += t.damaged;
    EXPECT_EQ(damaged, c.damaged);
    EXPECT_EQ(result.movie->characters.size(), 1u);
  }
}

}  // namespace
}  // namespace orrivel::swf::test
