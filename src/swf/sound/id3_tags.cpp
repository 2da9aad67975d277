#include "swf/sound/id3_tags.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/utf8.h"

namespace orrivel::swf {

namespace {

constexpr std::size_t kMaxFrames = 256;

uint32_t Synchsafe(const uint8_t* p) {
  return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu);
}
uint32_t Big(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

// Text in one of the four encodings: Latin-1, UTF-16 with a byte order
// mark, UTF-16 big-endian, UTF-8. Ends at the first terminator; `used`
// tells how many bytes that took, terminator included.
std::string Decode(std::span<const uint8_t> b, uint8_t encoding, std::size_t* used = nullptr) {
  std::string out;
  std::size_t i = 0;
  if (encoding == 1 || encoding == 2) {
    bool little = false;
    if (encoding == 1 && b.size() >= 2 &&
        ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
      little = b[0] == 0xFF;
      i = 2;
    }
    for (; i + 1 < b.size(); i += 2) {
      uint32_t u = little ? (b[i] | b[i + 1] << 8) : (b[i] << 8 | b[i + 1]);
      if (u == 0) {
        i += 2;
        break;
      }
      if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
        const uint32_t lo = little ? (b[i + 2] | b[i + 3] << 8) : (b[i + 2] << 8 | b[i + 3]);
        if (lo >= 0xDC00 && lo < 0xE000) {
          u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    if (i > b.size()) i = b.size();
  } else {
    for (; i < b.size(); ++i) {
      if (b[i] == 0) {
        ++i;
        break;
      }
      if (encoding == 3) {
        out += static_cast<char>(b[i]);
      } else {
        AppendUtf8(out, b[i]);
      }
    }
  }
  if (used) *used = i;
  return out;
}

// A frame's text, or false for frames Sound.id3 does not show.
bool FrameText(std::string_view id, std::span<const uint8_t> body, std::string& text) {
  if (body.empty()) return false;
  const uint8_t encoding = body[0];
  if (encoding > 3) return false;
  if (id == "COMM") {
    // Encoding, language, a description, then the comment.
    if (body.size() < 4) return false;
    std::size_t used = 0;
    Decode(body.subspan(4), encoding, &used);
    text = Decode(body.subspan(std::min(body.size(), 4 + used)), encoding);
    return true;
  }
  if (id == "WXXX") {
    std::size_t used = 0;
    Decode(body.subspan(1), encoding, &used);
    text = Decode(body.subspan(std::min(body.size(), 1 + used)), 0);
    return true;
  }
  if (id[0] != 'T' || id == "TXXX") return false;
  text = Decode(body.subspan(1), encoding);
  return true;
}

// ID3v2.2's three-letter frames under the names of 2.3.
std::string_view LongName(std::string_view id) {
  static constexpr std::array<std::array<std::string_view, 2>, 20> kNames{{
      {"COM", "COMM"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
      {"TCR", "TCOP"}, {"TEN", "TENC"}, {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"},
      {"TOF", "TOFN"}, {"TOT", "TOAL"}, {"TOR", "TORY"}, {"TP1", "TPE1"}, {"TP2", "TPE2"},
      {"TPA", "TPOS"}, {"TRK", "TRCK"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TYE", "TYER"},
  }};
  for (const auto& [shortName, longName] : kNames) {
    if (shortName == id) return longName;
  }
  return {};
}

std::vector<Id3Frame> ReadV2(std::span<const uint8_t> bytes) {
  std::vector<Id3Frame> out;
  const int version = bytes[3];
  // A 2.2 tag marked compressed has no defined compression: skipped.
  if (version < 2 || version > 4 || (version == 2 && (bytes[5] & 0x40) != 0)) return out;
  std::size_t end = std::min<std::size_t>(bytes.size(), 10 + std::size_t{Synchsafe(&bytes[6])});
  std::size_t p = 10;
  // An extended header is skipped.
  if (version >= 3 && (bytes[5] & 0x40) != 0 && p + 4 <= end) {
    const uint32_t n = version == 4 ? Synchsafe(&bytes[p]) : Big(&bytes[p], 4) + 4;
    p += n;
  }
  const std::size_t header = version == 2 ? 6 : 10;
  while (p + header <= end && out.size() < kMaxFrames) {
    if (bytes[p] == 0) break;  // padding
    std::string id(reinterpret_cast<const char*>(&bytes[p]), version == 2 ? 3 : 4);
    uint32_t size = version == 2   ? Big(&bytes[p + 3], 3)
                    : version == 4 ? Synchsafe(&bytes[p + 4])
                                   : Big(&bytes[p + 4], 4);
    const bool packed = version >= 3 && (bytes[p + 9] & (version == 4 ? 0x0C : 0xC0)) != 0;
    p += header;
    if (size > end - p) break;
    if (version == 2) {
      id = std::string(LongName(id));
    }
    std::string text;
    if (!id.empty() && !packed && FrameText(id, bytes.subspan(p, size), text))
      out.push_back({id, std::move(text)});
    p += size;
  }
  return out;
}

// The 128-byte tag at the end of the file: title, artist, album, year,
// comment (and in 1.1 a track number), genre.
std::vector<Id3Frame> ReadV1(std::span<const uint8_t> bytes) {
  std::vector<Id3Frame> out;
  const auto tag = bytes.subspan(bytes.size() - 128);
  const auto field = [&](std::size_t at, std::size_t n) {
    std::string s = Decode(tag.subspan(at, n), 0);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  out.push_back({"TIT2", field(3, 30)});
  out.push_back({"TPE1", field(33, 30)});
  out.push_back({"TALB", field(63, 30)});
  out.push_back({"TYER", field(93, 4)});
  out.push_back({"COMM", field(97, tag[125] == 0 && tag[126] != 0 ? 28 : 30)});
  if (tag[125] == 0 && tag[126] != 0) out.push_back({"TRCK", std::to_string(tag[126])});
  out.push_back({"TCON", std::to_string(tag[127])});
  return out;
}

}  // namespace

std::vector<Id3Frame> ReadId3Frames(std::span<const uint8_t> bytes) {
  if (bytes.size() >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3')
    return ReadV2(bytes);
  if (bytes.size() >= 128) {
    const auto tag = bytes.subspan(bytes.size() - 128);
    if (tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G') return ReadV1(bytes);
  }
  return {};
}

}  // namespace orrivel::swf
