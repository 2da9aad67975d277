// The FLV container: a header, then tags of audio, video and script data,
// each with its time in milliseconds. The reader indexes the tags of a file
// held in memory without copying them; a damaged file keeps the tags before
// the damage and says what was wrong.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orrivel::swf::video {

enum class FlvTagType : uint8_t { Audio = 8, Video = 9, Script = 18 };

struct FlvTag {
  FlvTagType type = FlvTagType::Video;
  int64_t timeMs = 0;      // 32-bit signed: the extended byte is the top 8 bits
  std::size_t offset = 0;  // of the tag's data in the file
  std::size_t size = 0;
};

struct FlvFile {
  bool hasAudio = false, hasVideo = false;  // as the header states
  std::vector<FlvTag> tags;                 // audio, video and script tags, in file order
  std::string error;                        // empty when the whole file was read
};

// The first byte of a video tag's data.
struct FlvVideoHeader {
  uint8_t frameType = 0;  // 1 key frame, 2 inter frame, 3 disposable, 4 generated key, 5 command
  uint8_t codec = 0;      // 2 Sorenson H.263, 3 Screen Video, 4 VP6, 5 VP6 alpha, 6 Screen Video 2
};

// The first byte of an audio tag's data.
struct FlvAudioHeader {
  uint8_t format = 0;  // 0 PCM, 1 ADPCM, 2 MP3, 3 PCM little-endian, 6 Nellymoser ...
  int rate = 0;        // samples per second: 5512, 11025, 22050 or 44100
  bool sixteenBit = false, stereo = false;
};

// Tags that are neither audio, video nor script data are skipped. Files
// bigger than maxTags tags keep the first maxTags.
FlvFile ReadFlv(std::span<const uint8_t> file, std::size_t maxTags = 1u << 22);

FlvVideoHeader ReadFlvVideoHeader(std::span<const uint8_t> tagData);
FlvAudioHeader ReadFlvAudioHeader(std::span<const uint8_t> tagData);

}  // namespace orrivel::swf::video
