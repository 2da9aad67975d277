// Sound tags: open-flash-db's tag vectors (with their parsed values written
// out below) and the swf crate's one-tag movies, through the whole reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "swf/format/reader.h"
#include "swf/format/sound_readers.h"

namespace orrivel::swf {
namespace {

namespace fs = std::filesystem;
const fs::path kCorpus = ORRIVEL_CORPUS_DIR;

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SoundTags, StartSoundVectors) {
  struct Case {
    const char* dir;
    uint16_t id;
    bool stop, noMultiple;
    uint16_t loops;
    std::vector<uint32_t> envelopePos;
  };
  const Case cases[] = {
      {"start-sound1-id18", 18, false, true, 1, {}},
      {"start-sound1-stop17", 17, true, false, 1, {}},
      {"start-sound1-play17", 17, false, true, 10, {0, 106398, 212796, 2127960}},
  };
  const fs::path root = kCorpus / "misc/open-flash-db-tags/start-sound";
  ASSERT_TRUE(fs::exists(root)) << "no corpus at " << root;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    const auto bytes = ReadBytes(root / c.dir / "input.bytes");
    ByteReader r(bytes);
    r.Skip(2);  // the short tag header
    const auto start = ReadStartSound(r, 1);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->soundId, c.id);
    EXPECT_EQ(start->info.syncStop, c.stop);
    EXPECT_EQ(start->info.syncNoMultiple, c.noMultiple);
    EXPECT_EQ(start->info.loopCount, c.loops);
    std::vector<uint32_t> pos;
    for (const auto& p : start->info.envelope) pos.push_back(p.pos44);
    EXPECT_EQ(pos, c.envelopePos);
    EXPECT_TRUE(r.AtEnd());
    // Every cut of the tag fails instead of reading on.
    for (size_t n = 2; n < bytes.size(); ++n) {
      ByteReader cut(std::span<const uint8_t>(bytes).subspan(2, n - 2));
      EXPECT_FALSE(ReadStartSound(cut, 1)) << n;
    }
  }
}

// The body of the first top-level tag with this code in an uncompressed SWF
// (these files also hold DoABC, so the whole reader refuses them).
std::vector<uint8_t> TagBody(const std::vector<uint8_t>& swf, uint16_t code) {
  ByteReader r(swf);
  r.Skip(8);
  const unsigned rectBits = 5 + 4 * (r.U8() >> 3);
  r.Skip((rectBits + 7) / 8 - 1 + 4);
  while (!r.AtEnd() && !r.Failed()) {
    const uint16_t header = r.U16();
    uint32_t length = header & 0x3F;
    if (length == 0x3F) length = r.U32();
    const auto body = r.Bytes(length);
    if (header >> 6 == code) return {body.begin(), body.end()};
  }
  return {};
}

TEST(SoundTags, OneTagMovies) {
  const fs::path root = kCorpus / "misc/ruffle-swf-crate/swf/tests/swfs";
  ASSERT_TRUE(fs::exists(root)) << "no corpus at " << root;
  const auto body = [&](const char* name, uint16_t code) {
    return TagBody(ReadBytes(root / name), code);
  };
  LoadLimits limits;
  Budget budget(1 << 20);
  ParseContext ctx{10, limits, budget};
  auto bytes = body("DefineSound.swf", 14);
  ByteReader r(bytes);
  const auto sound = ReadDefineSound(r, ctx);
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->format.format, SoundFormat::PcmLittle);
  EXPECT_EQ(sound->format.Rate(), 44100);
  EXPECT_EQ(sound->sampleCount, 10u);
  EXPECT_EQ(sound->data.size(), 20u);

  bytes = body("SoundStreamHead2.swf", 45);
  r = ByteReader(bytes);
  const auto head = ReadSoundStreamHead(r);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->stream.format, SoundFormat::PcmLittle);
  EXPECT_EQ(head->samplesPerBlock, 229u);

  bytes = body("StartSound2.swf", 89);
  r = ByteReader(bytes);
  const auto named = ReadStartSound(r, 2);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->className, "TestSound");

  bytes = body("DefineButtonCxformSound-MX.swf", 17);
  r = ByteReader(bytes);
  const auto button = ReadDefineButtonSound(r);
  ASSERT_TRUE(button);
  EXPECT_FALSE(button->second.sounds[0]);
  ASSERT_TRUE(button->second.sounds[1]);
  EXPECT_EQ(button->second.sounds[1]->soundId, 2u);
}

}  // namespace
}  // namespace orrivel::swf
