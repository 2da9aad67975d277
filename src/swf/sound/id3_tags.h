// The ID3 tags of an MP3 file that Sound.id3 shows: the text frames and
// comments of an ID3v2 tag (versions 2.3 and 2.4, and 2.2's three-letter
// frames under their later names), or the fields of an ID3v1 tag.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orrivel::swf {

struct Id3Frame {
  std::string id;    // four letters: "TIT2", "COMM", ...
  std::string text;  // UTF-8
};

// The frames in file order; empty when the file has no tag. A damaged tag
// gives the frames before the damage.
std::vector<Id3Frame> ReadId3Frames(std::span<const uint8_t> bytes);

}  // namespace orrivel::swf
