// StartSound: open-flash-db's tag vectors, with their parsed values written
// out below.
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

}  // namespace
}  // namespace orrivel::swf
