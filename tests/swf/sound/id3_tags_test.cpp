#include "swf/sound/id3_tags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orrivel::swf {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(int version, const std::string& id, const Bytes& body) {
  Bytes out(id.begin(), id.end());
  const auto n = static_cast<uint32_t>(body.size());
  if (version == 2) {
    out.insert(out.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  } else if (version == 4) {
    out.insert(out.end(), {uint8_t(n >> 21 & 0x7F), uint8_t(n >> 14 & 0x7F), uint8_t(n >> 7 & 0x7F),
                           uint8_t(n & 0x7F), 0, 0});
  } else {
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
  }
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Tag(int version, const std::vector<Bytes>& frames, int padding = 4) {
  Bytes body;
  for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
  body.resize(body.size() + padding, 0);
  const auto n = static_cast<uint32_t>(body.size());
  Bytes out{'I',
            'D',
            '3',
            uint8_t(version),
            0,
            0,
            uint8_t(n >> 21 & 0x7F),
            uint8_t(n >> 14 & 0x7F),
            uint8_t(n >> 7 & 0x7F),
            uint8_t(n & 0x7F)};
  for (uint8_t b : body) out.push_back(b);
  for (uint8_t b : {0xFF, 0xFB, 0x90, 0x00}) out.push_back(b);  // audio follows
  return out;
}

std::string Show(const std::vector<Id3Frame>& frames) {
  std::string out;
  for (const Id3Frame& f : frames) out += f.id + "=" + f.text + ";";
  return out;
}

TEST(Id3TagsTest, FramesInFileOrderInEachEncoding) {
  const Bytes latin{0, 'C', 'a', 'f', 0xE9};
  const Bytes utf16{1, 0xFF, 0xFE, 'H', 0, 'i', 0, 0, 0};
  const Bytes utf16be{2, 0, 'O', 0, 'k'};
  const Bytes utf8{3, 'x', 0xC3, 0xA9};
  const Bytes comment{0, 'e', 'n', 'g', 'd', 'e', 's', 'c', 0, 'N', 'o', 't', 'e'};
  Bytes v1(200, 0);
  const std::string v1Tag = "TAG";
  std::copy(v1Tag.begin(), v1Tag.end(), v1.end() - 128);
  const std::string title = "Song   ";
  std::copy(title.begin(), title.end(), v1.end() - 125);
  v1[v1.size() - 3] = 0, v1[v1.size() - 2] = 7, v1[v1.size() - 1] = 17;
  const struct {
    const char* name;
    Bytes file;
    std::string frames;
  } cases[] = {
      {"2.3 encodings",
       Tag(3, {Frame(3, "TIT2", latin), Frame(3, "TPE1", utf16), Frame(3, "TALB", utf16be),
               Frame(3, "TCON", utf8)}),
       "TIT2=Caf\xC3\xA9;TPE1=Hi;TALB=Ok;TCON=x\xC3\xA9;"},
      {"comments skip language and description; other frames are left out",
       Tag(3, {Frame(3, "COMM", comment), Frame(3, "WOAR", {'h'}), Frame(3, "TXXX", latin),
               Frame(3, "COMM", comment)}),
       "COMM=Note;COMM=Note;"},
      {"2.4 sizes are synchsafe",
       Tag(4, {Frame(4, "TRCK",
                     [] {
                       Bytes b(200, '1');
                       b[0] = 0;
                       return b;
                     }())}),
       "TRCK=" + std::string(199, '1') + ";"},
      {"2.2 names become 2.3's", Tag(2, {Frame(2, "TT2", latin), Frame(2, "TYE", {0, '1', '9'})}),
       "TIT2=Caf\xC3\xA9;TYER=19;"},
      {"a frame running past the tag ends it",
       [&] {
         Bytes t = Tag(3, {Frame(3, "TIT2", latin), Frame(3, "TPE1", latin)});
         t[10 + 10 + latin.size() + 7] = 0x7F;  // TPE1's size
         return t;
       }(),
       "TIT2=Caf\xC3\xA9;"},
      {"ID3v1 at the end", v1, "TIT2=Song;TPE1=;TALB=;TYER=;COMM=;TRCK=7;TCON=17;"},
      {"no tag", Bytes{0xFF, 0xFB, 0x90, 0x00}, ""},
      {"a header cut short", Bytes{'I', 'D', '3', 3, 0}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Show(ReadId3Frames(c.file)), c.frames);
  }
}

}  // namespace
}  // namespace orrivel::swf
